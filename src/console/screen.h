// How a command reaches the console screen buffer, and every bulk transfer to and from it.
//
// One rule for redirected output: console work always goes to the active screen buffer, opened
// as "CONOUT$". A command whose documented result depends on standard output being the console
// (the screen-buffer content commands, GOTOXY, the key handler's edits, the help's own screen)
// opens it with OpenStandardOutputBuffer, which gives no buffer when standard output is
// redirected; every other command uses OpenConsoleOutput and works whatever standard output is.
#pragma once
#include <windows.h>

#include <cstdint>
#include <utility>

#include "frame/handles.h"

namespace zarnith {

// An open screen buffer (owned, closed on destruction) and the transfers on it. Every transfer is
// cut into pieces under the per-call limit here; callers hand over whole regions. On a buffer
// that is not open every call fails, as the console call on a bad handle would.
class ScreenBuffer {
public:
    explicit ScreenBuffer(UniqueHandle handle = UniqueHandle()) noexcept : handle_(std::move(handle)) {}

    bool valid() const noexcept { return handle_.valid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Fills `info`; false (record untouched, the system's error code kept) when the query fails.
    bool Query(CONSOLE_SCREEN_BUFFER_INFO& info) const noexcept;

    // The current font of the normal window; an empty record (sizes 0, no face name) when it
    // cannot be read.
    CONSOLE_FONT_INFOEX CurrentFont() const noexcept;

    // The console's 16 colours (COLORREF, 0x00BBGGRR) in attribute order: entry 1 is the colour
    // FOREGROUND_BLUE shows. False (table untouched) when they cannot be read.
    bool ColourTable(COLORREF (&table)[16]) const noexcept;

    // Every transfer below answers true when all of it was done. A write with a failed piece still
    // makes the others, GetLastError giving the first failure's code; each read says its own.
    // Whole rows top .. top + rows - 1 of a buffer `width` cells wide, to or from `cells`
    // (rows x width). A read that fails is made again one row at a time; a row that still fails
    // comes back as blanks in its own colours (or the default ones), never as stale contents.
    [[nodiscard]] bool ReadRows(int top, int rows, int width, CHAR_INFO* cells) const noexcept;
    [[nodiscard]] bool WriteRows(int top, int rows, int width, const CHAR_INFO* cells) const noexcept;
    // `block` (blockRows x width cells) written over and over, from row `top` for `rows` rows.
    [[nodiscard]] bool RepeatRows(int top, int rows, int width, const CHAR_INFO* block, int blockRows) const noexcept;

    // `read` answers how many attributes were read into `into`: a failed or short read ends the run.
    [[nodiscard]] bool ReadAttributes(COORD start, uint32_t count, int width, WORD* into, uint32_t& read) const noexcept;
    [[nodiscard]] bool WriteAttributes(COORD start, uint32_t count, int width, const WORD* from) const noexcept;
    // `block` (blockRows x width attributes) written over and over, from row `top` for `rows` rows.
    [[nodiscard]] bool RepeatAttributeRows(int top, int rows, int width, const WORD* block,
                                           int blockRows) const noexcept;
    // The same attribute or character in `count` cells from `start` on (one call: nothing is sent).
    [[nodiscard]] bool FillAttribute(COORD start, uint32_t count, WORD attribute) const noexcept;
    [[nodiscard]] bool FillCharacter(COORD start, uint32_t count, wchar_t character) const noexcept;

    // One cell as a record: unlike a one-character read, either half of a full-width character has it.
    [[nodiscard]] bool ReadCellAt(COORD cell, CHAR_INFO& info) const noexcept;
    [[nodiscard]] bool WriteCharacterAt(COORD cell, wchar_t character) const noexcept;
    // Row `y`'s characters as one read (room for `width` units): unlike cells, the 2022-2024
    // builds' character read can give a pair outside the BMP. `read` answers the units given.
    [[nodiscard]] bool ReadRowCharacters(int y, int width, wchar_t* units, DWORD& read) const noexcept;

    // The cursor, the view and the size. Inside a pseudo console conhost makes its buffer the size
    // of any window set there and never tells the terminal (src/host/getset.cpp,
    // SetConsoleWindowInfoImpl), so there a window or buffer of another size than the buffer has
    // is not asked for: false with ERROR_INVALID_PARAMETER, nothing changed.
    [[nodiscard]] bool SetCursor(COORD at) const noexcept;
    // `window` in buffer coordinates (inclusive).
    [[nodiscard]] bool SetWindow(const SMALL_RECT& window) const noexcept;
    // The view moved by `rows` rows (up when negative), its size kept.
    [[nodiscard]] bool ScrollWindow(SHORT rows) const noexcept;
    [[nodiscard]] bool Resize(COORD size) const noexcept;
    // The largest window the screen holds, in cells; {0, 0} when unknown.
    COORD LargestWindow() const noexcept;
    [[nodiscard]] bool CursorInfo(CONSOLE_CURSOR_INFO& info) const noexcept;
    [[nodiscard]] bool SetCursorInfo(const CONSOLE_CURSOR_INFO& info) const noexcept;
    [[nodiscard]] bool SetFont(CONSOLE_FONT_INFOEX& font) const noexcept;

private:
    friend class RowReader;  // its character reads, pieced as rows need them
    HANDLE get() const noexcept { return handle_.get(); }
    UniqueHandle handle_;
};

// Standard input's console mode; false (`mode` untouched) when standard input is no console.
[[nodiscard]] bool StandardInputMode(DWORD& mode) noexcept;
[[nodiscard]] bool SetStandardInputMode(DWORD mode) noexcept;

// The active screen buffer ("CONOUT$", read and write), even when standard output is redirected.
ScreenBuffer OpenConsoleOutput() noexcept;

// The active screen buffer for a command tied to standard output: none when standard output is
// not a console screen buffer (redirected to a file or a pipe).
ScreenBuffer OpenStandardOutputBuffer() noexcept;

// Fills `info` from the active screen buffer; false (record untouched) when the query fails.
[[nodiscard]] bool QueryScreenBuffer(CONSOLE_SCREEN_BUFFER_INFO& info) noexcept;

}  // namespace zarnith
