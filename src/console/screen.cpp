#include "console/screen.h"

#include <algorithm>

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

// The cells of one transfer as blanks in the console's default colours.
void BlankTransfer(const RectTransfer& t, CHAR_INFO* cells) noexcept {
    CHAR_INFO blank{};
    blank.Char.UnicodeChar = L' ';
    blank.Attributes = kDefaultAttribute;
    for (int y = 0; y < Height(t.region); ++y)
        std::fill_n(cells + t.offset + size_t(t.at.Y + y) * size_t(t.size.X) + size_t(t.at.X), Width(t.region), blank);
}

}  // namespace

bool ScreenBuffer::ReadRows(int top, int rows, int width, CHAR_INFO* cells) const noexcept {
    bool ok = true;
    DWORD error = ERROR_SUCCESS;
    ForEachRectTransfer(width, top, rows, [&](const RectTransfer& t) {
        SMALL_RECT region = t.region;
        // The console answers with the region it read: one cut short (a buffer that shrank since
        // it was measured) leaves cells unread, as a failure leaves them all.
        if (ReadConsoleOutputW(get(), cells + t.offset, t.size, t.at, &region) && SameRect(region, t.region)) return;
        if (ok) error = GetLastError();
        ok = false;
        // What the console did not read is blank, never what the array held before.
        BlankTransfer(t, cells);
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

void ScreenBuffer::ReadCharacters(COORD start, uint32_t count, int width, wchar_t* text) const noexcept {
    ForEachRunTransfer(start, count, width, sizeof(wchar_t), [&](uint32_t offset, COORD at, uint32_t n) {
        DWORD done = 0;
        if (!ReadConsoleOutputCharacterW(get(), text + offset, n, at, &done)) done = 0;
        std::fill(text + offset + std::min<DWORD>(done, n), text + offset + n, L' ');
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

bool ScreenBuffer::ReadCharacterAt(COORD cell, wchar_t& character) const noexcept {
    DWORD done = 0;
    return ReadConsoleOutputCharacterW(get(), &character, 1, cell, &done) && done == 1;
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
