#include "console/screen.h"

#include <algorithm>
#include <iterator>

#include "console/pseudo_console.h"
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

// The pieces of a transfer are all made; the caller hears of the first failure, its code kept.
struct FirstFailure {
    DWORD error = ERROR_SUCCESS;
    bool failed = false;
    bool Note(bool done) noexcept {
        if (!done && !failed) failed = true, error = GetLastError();
        return done;
    }
    bool Result() const noexcept { return failed ? (SetLastError(error), false) : true; }
};

// Calls write(first, n) for every piece of `chunkRows` rows, whatever the one before answered.
template <class Write>
bool WriteChunks(int top, int rows, int chunkRows, Write&& write) noexcept {
    FirstFailure result;
    ForEachRowChunk(top, rows, chunkRows, [&](int first, int n) { return result.Note(write(first, n)), true; });
    return result.Result();
}

// A single row of a transfer: the same array and width, one row of the region.
RectTransfer TransferRow(const RectTransfer& t, int y) noexcept {
    RectTransfer row = t;
    row.at.Y = SHORT(t.at.Y + y);
    row.region.Top = row.region.Bottom = SHORT(t.region.Top + y);
    return row;
}

CHAR_INFO* FirstCell(const RectTransfer& t, CHAR_INFO* cells) noexcept {
    return cells + t.offset + size_t(t.at.Y) * size_t(t.size.X) + size_t(t.at.X);
}

// A read the console answered as done while delivering less sets no error code of its own: this
// one says the cells were not read, rather than whatever an earlier call left.
bool ShortRead() noexcept {
    SetLastError(ERROR_READ_FAULT);
    return false;
}

bool ReadTransfer(HANDLE console, const RectTransfer& t, CHAR_INFO* cells) noexcept {
    SMALL_RECT region = t.region;
    // The console answers with the region it read: one cut short (a buffer that shrank since it
    // was measured) leaves cells unread, as a failure leaves them all.
    if (!ReadConsoleOutputW(console, cells + t.offset, t.size, t.at, &region)) return false;
    return SameRect(region, t.region) || ShortRead();
}

// A row the console will not give as cells: blanks, in the row's own colours where those can be
// read (attributes hold no characters, so no character can make that read fail).
void BlankRow(const ScreenBuffer& screen, const RectTransfer& row, CHAR_INFO* cells) noexcept {
    CHAR_INFO* first = FirstCell(row, cells);
    WORD attributes[256];
    constexpr uint32_t kPiece = std::size(attributes);
    for (uint32_t done = 0, count = uint32_t(Width(row.region)); done < count; done += kPiece) {
        const uint32_t n = std::min(count - done, kPiece);
        const COORD at{SHORT(row.region.Left + int(done)), row.region.Top};
        uint32_t read = 0;
        (void)screen.ReadAttributes(at, n, row.region.Right + 1, attributes, read);  // the rest: default colours
        for (uint32_t i = 0; i < n; ++i) first[done + i] = {{L' '}, i < read ? attributes[i] : kDefaultAttribute};
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
    FirstFailure result;
    ForEachRectTransfer(width, top, rows, [&](const RectTransfer& t) {
        if (ReadTransfer(get(), t, cells)) return;
        // Some consoles fail a whole read for one row (a surrogate pair in it): read the rows one
        // by one, so that only a row that still fails is lost, and comes back blank.
        for (int y = 0; y < Height(t.region); ++y) {
            const RectTransfer row = TransferRow(t, y);
            if (!result.Note(ReadTransfer(get(), row, cells))) BlankRow(*this, row, cells);
        }
    });
    return result.Result();
}

bool ScreenBuffer::WriteRows(int top, int rows, int width, const CHAR_INFO* cells) const noexcept {
    FirstFailure result;
    ForEachRectTransfer(width, top, rows, [&](const RectTransfer& t) {
        SMALL_RECT region = t.region;
        result.Note(WriteConsoleOutputW(get(), cells + t.offset, t.size, t.at, &region));
    });
    return result.Result();
}

bool ScreenBuffer::RepeatRows(int top, int rows, int width, const CHAR_INFO* block, int blockRows) const noexcept {
    return WriteChunks(top, rows, std::min(blockRows, RowsPerTransfer(width)),
                       [&](int first, int n) { return WriteRows(first, n, width, block); });
}

bool ScreenBuffer::ReadAttributes(COORD start, uint32_t count, int width, WORD* into, uint32_t& read) const noexcept {
    read = 0;
    ForEachRunTransfer(start, count, width, sizeof(WORD), [&](uint32_t offset, COORD at, uint32_t n) {
        DWORD done = 0;
        if (!ReadConsoleOutputAttribute(get(), into + offset, n, at, &done)) return false;
        read += std::min<DWORD>(done, n);
        return done >= n || ShortRead();
    });
    return read == count;
}

bool ScreenBuffer::WriteAttributes(COORD start, uint32_t count, int width, const WORD* from) const noexcept {
    FirstFailure result;
    ForEachRunTransfer(start, count, width, sizeof(WORD), [&](uint32_t offset, COORD at, uint32_t n) {
        DWORD done = 0;
        result.Note(WriteConsoleOutputAttribute(get(), from + offset, n, at, &done));
        return true;
    });
    return result.Result();
}

bool ScreenBuffer::RepeatAttributeRows(int top, int rows, int width, const WORD* block, int blockRows) const noexcept {
    if (width <= 0) return true;
    return WriteChunks(top, rows, std::min(blockRows, RowsPerTransfer(width, sizeof(WORD))), [&](int first, int n) {
        return WriteAttributes(COORD{0, SHORT(first)}, uint32_t(n) * uint32_t(width), width, block);
    });
}

bool ScreenBuffer::FillAttribute(COORD start, uint32_t count, WORD attribute) const noexcept {
    DWORD done = 0;
    return FillConsoleOutputAttribute(get(), attribute, count, start, &done);
}

bool ScreenBuffer::FillCharacter(COORD start, uint32_t count, wchar_t character) const noexcept {
    DWORD done = 0;
    return FillConsoleOutputCharacterW(get(), character, count, start, &done);
}

bool ScreenBuffer::ReadCellAt(COORD cell, CHAR_INFO& info) const noexcept {
    return ReadTransfer(get(), RectTransfer{0, {1, 1}, {0, 0}, {cell.X, cell.Y, cell.X, cell.Y}}, &info);
}

bool ScreenBuffer::WriteCharacterAt(COORD cell, wchar_t character) const noexcept {
    DWORD done = 0;
    return WriteConsoleOutputCharacterW(get(), &character, 1, cell, &done);
}

namespace {

// Inside a pseudo console only the buffer's own size may be asked for (see screen.h).
bool SizeAllowed(const ScreenBuffer& screen, SHORT columns, SHORT rows) noexcept {
    if (!InPseudoConsole()) return true;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (screen.Query(info) && info.dwSize.X == columns && info.dwSize.Y == rows) return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

}  // namespace

bool ScreenBuffer::SetCursor(COORD at) const noexcept { return SetConsoleCursorPosition(get(), at); }

bool ScreenBuffer::SetWindow(const SMALL_RECT& window) const noexcept {
    return SizeAllowed(*this, SHORT(Width(window)), SHORT(Height(window))) &&
           SetConsoleWindowInfo(get(), TRUE, &window);
}

bool ScreenBuffer::ScrollWindow(SHORT rows) const noexcept {
    const SMALL_RECT by{0, rows, 0, rows};
    return SetConsoleWindowInfo(get(), FALSE, &by);
}

bool ScreenBuffer::Resize(COORD size) const noexcept {
    return SizeAllowed(*this, size.X, size.Y) && SetConsoleScreenBufferSize(get(), size);
}

COORD ScreenBuffer::LargestWindow() const noexcept { return GetLargestConsoleWindowSize(get()); }

bool ScreenBuffer::CursorInfo(CONSOLE_CURSOR_INFO& info) const noexcept { return GetConsoleCursorInfo(get(), &info); }

bool ScreenBuffer::SetCursorInfo(const CONSOLE_CURSOR_INFO& info) const noexcept {
    return SetConsoleCursorInfo(get(), &info);
}

bool ScreenBuffer::SetFont(CONSOLE_FONT_INFOEX& font) const noexcept {
    return SetCurrentConsoleFontEx(get(), FALSE, &font);
}

bool StandardInputMode(DWORD& mode) noexcept {
    DWORD read = 0;
    if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &read)) return false;
    mode = read;
    return true;
}

bool SetStandardInputMode(DWORD mode) noexcept { return SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), mode); }

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

bool ScreenBuffer::ReadRowCharacters(int y, int width, wchar_t* units, DWORD& read) const noexcept {
    read = 0;
    return ReadConsoleOutputCharacterW(get(), units, DWORD(width), COORD{0, SHORT(y)}, &read) != FALSE;
}

}  // namespace zarnith
