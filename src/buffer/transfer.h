// Bulk console transfers cut into pieces that every Windows version accepts (under 64 KB each).
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "buffer/blank_rows.h"

namespace zarnith {

// Whole rows of `width` cells that fit into one transfer (at least one, however wide the row).
inline int RowsPerTransfer(int width) noexcept {
    return width <= 0 ? 1 : std::max(1, int(kMaxTransferCells / uint32_t(width)));
}

// Calls move(bufferSize, bufferCoord, region) for the rectangle transfers that cover `rows` rows
// from `top` of a buffer `width` cells wide, the cells held in a width x rows array. Rows that fit
// go in one transfer; a row wider than one transfer goes in column pieces.
template <class Move>
void TransferRows(int width, int top, int rows, Move&& move) {
    if (width <= 0 || rows <= 0) return;
    const COORD size{SHORT(width), SHORT(rows)};
    if (uint32_t(width) * uint32_t(rows) <= kMaxTransferCells || rows > 1) {
        SMALL_RECT region{0, SHORT(top), SHORT(width - 1), SHORT(top + rows - 1)};
        move(size, COORD{0, 0}, region);
        return;
    }
    for (int left = 0; left < width; left += int(kMaxTransferCells)) {
        const int right = std::min(width - 1, left + int(kMaxTransferCells) - 1);
        SMALL_RECT region{SHORT(left), SHORT(top), SHORT(right), SHORT(top)};
        move(size, COORD{SHORT(left), 0}, region);
    }
}

// Reads `count` characters from `start` on, following rows as the console does, in pieces.
inline void ReadCharacters(HANDLE console, wchar_t* destination, int width, COORD start, uint32_t count) noexcept {
    uint64_t position = uint64_t(start.Y) * uint32_t(width) + uint32_t(start.X);
    while (count > 0) {
        const uint32_t piece = std::min(count, kMaxTransferCells);
        const COORD at{SHORT(position % uint32_t(width)), SHORT(position / uint32_t(width))};
        DWORD done = 0;
        if (!ReadConsoleOutputCharacterW(console, destination, piece, at, &done)) done = 0;
        // A short read leaves blanks, never stale text from an earlier row.
        std::fill(destination + done, destination + piece, L' ');
        destination += piece;
        position += piece;
        count -= piece;
    }
}

}  // namespace zarnith
