#include "console/screen.h"

#include <algorithm>
#include <iterator>

#include "console/transfer.h"

namespace zarnith {

bool ScreenBuffer::Query(CONSOLE_SCREEN_BUFFER_INFO& info) const noexcept {
    CONSOLE_SCREEN_BUFFER_INFO read{};
    if (!GetConsoleScreenBufferInfo(get(), &read)) return false;
    info = read;
    return true;
}

namespace {

constexpr bool SameRect(const SMALL_RECT& a, const SMALL_RECT& b) noexcept {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// A single row of a transfer: the same array and width, one row of the region.
RectTransfer RowOf(const RectTransfer& t, int y) noexcept {
    RectTransfer row = t;
    row.at.Y = SHORT(t.at.Y + y);
    row.region.Top = row.region.Bottom = SHORT(t.region.Top + y);
    return row;
}

CHAR_INFO* FirstCell(const RectTransfer& t, CHAR_INFO* cells) noexcept {
    return cells + t.offset + size_t(t.at.Y) * size_t(t.size.X) + size_t(t.at.X);
}

bool ReadTransfer(HANDLE console, const RectTransfer& t, CHAR_INFO* cells) noexcept {
    SMALL_RECT region = t.region;
    // The console answers with the region it read: one cut short (a buffer that shrank since it
    // was measured) leaves cells unread, as a failure leaves them all.
    return ReadConsoleOutputW(console, cells + t.offset, t.size, t.at, &region) && SameRect(region, t.region);
}

// A row the console will not give as cells: blanks, in the row's own colours where those can be
// read (attributes hold no characters, so no character can make that read fail).
void BlankRow(HANDLE console, const RectTransfer& row, CHAR_INFO* cells) noexcept {
    CHAR_INFO* first = FirstCell(row, cells);
    WORD attributes[256];
    for (int done = 0, count = Width(row.region); done < count;) {
        const int n = std::min<int>(count - done, int(std::size(attributes)));
        DWORD read = 0;
        const COORD at{SHORT(row.region.Left + done), row.region.Top};
        if (!ReadConsoleOutputAttribute(console, attributes, DWORD(n), at, &read)) read = 0;
        for (int i = 0; i < n; ++i) {
            first[done + i].Char.UnicodeChar = L' ';
            first[done + i].Attributes = DWORD(i) < read ? attributes[i] : kDefaultAttribute;
        }
        done += n;
    }
}

}  // namespace

CONSOLE_FONT_INFOEX ScreenBuffer::CurrentFont() const noexcept {
    CONSOLE_FONT_INFOEX font{};
    font.cbSize = sizeof font;
    if (GetCurrentConsoleFontEx(get(), FALSE, &font)) return font;
    CONSOLE_FONT_INFOEX empty{};
    empty.cbSize = sizeof empty;
    return empty;
}

bool ScreenBuffer::ColourTable(COLORREF (&table)[16]) const noexcept {
    CONSOLE_SCREEN_BUFFER_INFOEX info{};
    info.cbSize = sizeof info;
    if (!GetConsoleScreenBufferInfoEx(get(), &info)) return false;
    std::copy(std::begin(info.ColorTable), std::end(info.ColorTable), table);
    return true;
}

bool ScreenBuffer::ReadRows(int top, int rows, int width, CHAR_INFO* cells) const noexcept {
    bool ok = true;
    DWORD error = ERROR_SUCCESS;
    ForEachRectTransfer(width, top, rows, [&](const RectTransfer& t) {
        if (ReadTransfer(get(), t, cells)) return;
        // Some consoles fail a whole read for one row (a surrogate pair in it): read the rows one
        // by one, so that only a row that still fails is lost, and comes back blank.
        for (int y = 0; y < Height(t.region); ++y) {
            const RectTransfer row = RowOf(t, y);
            if (ReadTransfer(get(), row, cells)) continue;
            if (ok) error = GetLastError();
            ok = false;
            BlankRow(get(), row, cells);
        }
    });
    if (!ok) SetLastError(error);
    return ok;
}

void ScreenBuffer::WriteRows(int top, int rows, int width, const CHAR_INFO* cells) const noexcept {
    ForEachRectTransfer(width, top, rows, [&](const RectTransfer& t) {
        SMALL_RECT region = t.region;
        WriteConsoleOutputW(get(), cells + t.offset, t.size, t.at, &region);
    });
}

void ScreenBuffer::RepeatRows(int top, int rows, int width, const CHAR_INFO* block, int blockRows) const noexcept {
    ForEachRowChunk(top, rows, std::min(blockRows, RowsPerTransfer(width)), [&](int first, int n) {
        WriteRows(first, n, width, block);
        return true;
    });
}

uint32_t ScreenBuffer::ReadAttributes(COORD start, uint32_t count, int width, WORD* attributes) const noexcept {
    uint32_t total = 0;
    ForEachRunTransfer(start, count, width, sizeof(WORD), [&](uint32_t offset, COORD at, uint32_t n) {
        DWORD done = 0;
        if (!ReadConsoleOutputAttribute(get(), attributes + offset, n, at, &done)) return false;
        total += std::min<DWORD>(done, n);
        return done >= n;
    });
    return total;
}

void ScreenBuffer::WriteAttributes(COORD start, uint32_t count, int width, const WORD* attributes) const noexcept {
    ForEachRunTransfer(start, count, width, sizeof(WORD), [&](uint32_t offset, COORD at, uint32_t n) {
        DWORD done = 0;
        WriteConsoleOutputAttribute(get(), attributes + offset, n, at, &done);
        return true;
    });
}

void ScreenBuffer::RepeatAttributeRows(int top, int rows, int width, const WORD* block, int blockRows) const noexcept {
    if (width <= 0) return;
    ForEachRowChunk(top, rows, std::min(blockRows, RowsPerTransfer(width, sizeof(WORD))), [&](int first, int n) {
        WriteAttributes(COORD{0, SHORT(first)}, uint32_t(n) * uint32_t(width), width, block);
        return true;
    });
}

void ScreenBuffer::FillAttribute(COORD start, uint32_t count, WORD attribute) const noexcept {
    DWORD done = 0;
    FillConsoleOutputAttribute(get(), attribute, count, start, &done);
}

void ScreenBuffer::FillCharacter(COORD start, uint32_t count, wchar_t character) const noexcept {
    DWORD done = 0;
    FillConsoleOutputCharacterW(get(), character, count, start, &done);
}

bool ScreenBuffer::ReadCellAt(COORD cell, CHAR_INFO& info) const noexcept {
    return ReadTransfer(get(), RectTransfer{0, COORD{1, 1}, COORD{0, 0}, SMALL_RECT{cell.X, cell.Y, cell.X, cell.Y}},
                        &info);
}

void ScreenBuffer::WriteCharacterAt(COORD cell, wchar_t character) const noexcept {
    DWORD done = 0;
    WriteConsoleOutputCharacterW(get(), &character, 1, cell, &done);
}

ScreenBuffer OpenConsoleOutput() noexcept {
    return ScreenBuffer(UniqueHandle(
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)));
}

ScreenBuffer OpenStandardOutputBuffer() noexcept {
    // Only whether standard output is a console at all: a console whose record cannot be read is
    // still the console, and each command says what it does then.
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return ScreenBuffer();
    return OpenConsoleOutput();
}

bool QueryScreenBuffer(CONSOLE_SCREEN_BUFFER_INFO& info) noexcept { return OpenConsoleOutput().Query(info); }

}  // namespace zarnith
