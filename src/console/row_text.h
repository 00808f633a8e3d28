// The text of screen-buffer rows as the user sees it, read in large pieces, and the cell each
// character of it is shown in.
//
// A console's character read counts cells but answers UTF-16 units: Windows 10/11 gives one unit
// for the two cells of a full-width character, and for a character outside the BMP either U+FFFD
// or (2022-2024 builds) its two units, or nothing at all when those outnumber the cells read.
// Rows are read as characters first; a piece whose answer is not one unit per cell is read again
// as cells, one record each, and its text built from those. Cells give such a character as
// U+FFFD, so a row holding one is then read alone as characters, which keeps the character
// wherever the console gives it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "console/screen.h"
#include "frame/handles.h"

namespace zarnith {

// One row's text. In memory the unit after the text always belongs to the reader's buffer, so a
// search that looks one character past its end reads nothing foreign.
struct ScreenRow {
    std::wstring_view text;
    const uint16_t* cells = nullptr;  // the first cell of each unit and the row's end; none: unit i is in cell i

    // The first cell of unit `i` (0 .. text.size(); text.size() gives the row's width).
    int CellOf(size_t i) const noexcept { return cells ? int(cells[i]) : int(i); }
};

// Matches a row's character read (`units`) to its cells: each cell but the trailing half of a
// full-width character takes one unit, and a cell read as U+FFFD takes a surrogate pair where
// `units` has one. Fills `text` and `map` (room for cells.size() units, and one more cell
// number) as ScreenRow holds them and answers the units, or -1 (nothing written) when `units`
// do not fit the cells: another answer of the console, or a row that changed between the reads.
int MatchRowText(std::span<const CHAR_INFO> cells, std::wstring_view units, wchar_t* text, uint16_t* map) noexcept;

// Whether a row read as cells may hide a character outside the BMP (a cell holding U+FFFD).
bool MayHidePairs(std::span<const CHAR_INFO> cells) noexcept;

// The characters outside the BMP that cells read as U+FFFD stand for, where the row's character
// read gives them: for the colour dumps, which work on cells.
class RowPairs {
public:
    RowPairs(const ScreenBuffer& screen, int width) noexcept : screen_(screen), width_(width < 1 ? 1 : width) {}
    // Reads row `y` (its cells `cells`) as characters when a cell may hide a pair; false when no
    // cell has one to give (or the memory was not to be had).
    bool Read(int y, std::span<const CHAR_INFO> cells) noexcept;
    // After Read answered true: the character cell `x` stands for, 0 for the cell's own.
    char32_t At(size_t x) const noexcept { return x < pairs_.size() ? pairs_[x] : 0; }

private:
    const ScreenBuffer& screen_;
    int width_;
    HostArray<wchar_t> units_, text_;
    HostArray<uint16_t> map_;
    HostArray<char32_t> pairs_;
};

class RowReader {
public:
    // For rows `width` cells wide; false (operator bool) when the memory was not to be had.
    RowReader(const ScreenBuffer& screen, int width) noexcept;
    explicit operator bool() const noexcept { return text_ && cells_ && map_ && lengths_; }

    // Calls each(row number, ScreenRow) for rows top .. top + rows - 1 in order, until it answers
    // false. A row the console gives neither as characters nor as cells is blank.
    template <class Each>
    void ForEachRow(int top, int rows, Each&& each) noexcept {
        for (int done = 0; done < rows; done += chunkRows_) {
            const int n = rows - done < chunkRows_ ? rows - done : chunkRows_;
            (void)Read(top + done, n);  // an unreadable row is blank, as every reader of text wants it
            for (int i = 0; i < n; ++i)
                if (!each(top + done + i, Row(i))) return;
        }
    }

    // Reads rows top .. top + count - 1 (count at most one chunk); Row(i) is then row top + i.
    // False (the system's error code kept) when a row was read neither way: that row is blank.
    [[nodiscard]] bool Read(int top, int count) noexcept;
    ScreenRow Row(int i) const noexcept;

private:
    bool BuildFromCells(int top) noexcept;
    void KeepPairs(int top, int r) noexcept;

    const ScreenBuffer& screen_;
    int width_;
    int chunkRows_;
    int count_ = 0;
    bool mapped_ = false;
    HostArray<wchar_t> text_;     // chunkRows x width units, then the terminator
    HostArray<CHAR_INFO> cells_;  // the same rows as cells, read only when needed
    HostArray<uint16_t> map_;     // per row: width + 1 cell numbers
    HostArray<uint16_t> lengths_;  // per row: units of text built from cells
    HostArray<wchar_t> rowUnits_;  // one row's character read, taken when a row needs it
};

}  // namespace zarnith
