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

CONSOLE_FONT_INFOEX ScreenBuffer::CurrentFont() const noexcept {
    CONSOLE_FONT_INFOEX font{};
    font.cbSize = sizeof font;
    if (GetCurrentConsoleFontEx(get(), FALSE, &font)) return font;
    CONSOLE_FONT_INFOEX empty{};
    empty.cbSize = sizeof empty;
    return empty;
}

bool ScreenBuffer::ReadRows(int top, int rows, int width, CHAR_INFO* cells) const noexcept {
    bool ok = true;
    ForEachRectTransfer(width, top, rows, [&](const RectTransfer& t) {
        SMALL_RECT region = t.region;
        ok = ok && ReadConsoleOutputW(get(), cells + t.offset, t.size, t.at, &region);
    });
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

bool ScreenBuffer::ReadNarrowCharacterAt(COORD cell, char& character) const noexcept {
    DWORD done = 0;
    return ReadConsoleOutputCharacterA(get(), &character, 1, cell, &done) && done == 1;
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
