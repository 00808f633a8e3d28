// How bulk console transfers are cut. Older Windows versions refuse single transfers much above
// 64 KB, and each call is a round trip to the console host, so every transfer carries as much as
// fits under that size and no more.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "console/cells.h"

namespace zarnith {

inline constexpr uint32_t kMaxTransferBytes = 64000;

// Elements of `bytes` each that one transfer may carry.
constexpr uint32_t TransferElements(size_t bytes) noexcept { return kMaxTransferBytes / uint32_t(bytes); }

// Cells (CHAR_INFO) that one rectangle transfer may carry.
inline constexpr uint32_t kMaxTransferCells = TransferElements(sizeof(CHAR_INFO));

// Whole rows of `width` elements of `bytes` each that fit into one transfer: at least one,
// however wide the row.
constexpr int RowsPerTransfer(int width, size_t bytes = sizeof(CHAR_INFO)) noexcept {
    return width <= 0 ? 1 : std::max(1, int(TransferElements(bytes) / uint32_t(width)));
}

// Calls each(top, count) for consecutive pieces of at most `chunkRows` rows that cover rows
// top .. top + rows - 1; stops early (and answers false) when `each` answers false.
template <class Each>
bool ForEachRowChunk(int top, int rows, int chunkRows, Each&& each) {
    chunkRows = std::max(chunkRows, 1);
    for (int done = 0; done < rows; done += chunkRows)
        if (!each(top + done, std::min(chunkRows, rows - done))) return false;
    return true;
}

// One rectangle transfer: where its cells start in the caller's width x rows array (in cells),
// and the size, coordinate and screen region the console call takes.
struct RectTransfer {
    size_t offset = 0;
    COORD size{};
    COORD at{};
    SMALL_RECT region{};
};

// Calls move(RectTransfer) for the transfers that cover `rows` whole rows from `top` of a buffer
// `width` cells wide: groups of rows that fit, or column pieces of a row wider than one transfer.
template <class Move>
void ForEachRectTransfer(int width, int top, int rows, Move&& move) {
    if (width <= 0 || rows <= 0) return;
    const int perTransfer = RowsPerTransfer(width);
    for (int done = 0; done < rows; done += perTransfer) {
        const int n = std::min(perTransfer, rows - done);
        const size_t offset = size_t(done) * size_t(width);
        if (uint32_t(width) <= kMaxTransferCells) {
            move(RectTransfer{offset, COORD{SHORT(width), SHORT(n)}, COORD{0, 0}, RowsRect(width, top + done, n)});
            continue;
        }
        const SHORT y = SHORT(top + done);
        for (int left = 0; left < width; left += int(kMaxTransferCells)) {
            const int right = std::min(width - 1, left + int(kMaxTransferCells) - 1);
            move(RectTransfer{offset, COORD{SHORT(width), 1}, COORD{SHORT(left), 0},
                              SMALL_RECT{SHORT(left), y, SHORT(right), y}});
        }
    }
}

// Calls move(offset, at, count) for the pieces of a run of `count` elements of `bytes` each from
// `start` on, the run following rows as the console does.
template <class Move>
void ForEachRunTransfer(COORD start, uint32_t count, int width, size_t bytes, Move&& move) {
    const uint32_t piece = TransferElements(bytes);
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(piece, count - done);
        if (!move(done, CellAfter(start, width, done), n)) return;
        done += n;
    }
}

}  // namespace zarnith
