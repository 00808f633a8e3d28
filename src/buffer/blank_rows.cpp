#include "buffer/blank_rows.h"

#include <algorithm>

#include "frame/host.h"

namespace zarnith {

namespace {
// Kept for the library's life so that the key handler, which blanks rows on a keystroke,
// allocates only when it needs more cells than ever before.
CHAR_INFO* BlankCells = nullptr;
uint32_t BlankCapacity = 0;

bool EnsureCapacity(uint32_t cells) noexcept {
    if (BlankCells != nullptr && cells <= BlankCapacity) return true;
    const uint64_t bytes = uint64_t(cells) * sizeof(CHAR_INFO);
    if (bytes > 0xFFFFFFFFull) return false;
    void* grown = BlankCells ? ReallocMem(BlankCells, unsigned(bytes)) : AllocMem(unsigned(bytes));
    if (grown == nullptr) return false;  // the old buffer, if any, stays valid
    BlankCells = static_cast<CHAR_INFO*>(grown);
    BlankCapacity = cells;
    return true;
}
}  // namespace

void BlankRows(const CONSOLE_SCREEN_BUFFER_INFO& info, SHORT first, uint32_t count) noexcept {
    const int width = info.dwSize.X;
    const int height = info.dwSize.Y;
    if (width <= 0 || height <= 0 || count == 0) return;
    const int64_t top = std::max<int64_t>(first, 0);
    const int64_t end = std::min<int64_t>(int64_t(first) + count, height);
    if (top >= end) return;

    const uint32_t rowsPerCall = std::max<uint32_t>(1, kMaxTransferCells / uint32_t(width));
    const uint32_t rowsNeeded = uint32_t(std::min<int64_t>(end - top, rowsPerCall));
    const uint32_t cells = rowsNeeded * uint32_t(width);
    if (!EnsureCapacity(cells)) return;

    CHAR_INFO blank{};
    blank.Char.UnicodeChar = L' ';
    blank.Attributes = info.wAttributes;
    std::fill_n(BlankCells, cells, blank);

    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (int64_t row = top; row < end; row += rowsPerCall) {
        const SHORT rows = SHORT(std::min<int64_t>(rowsPerCall, end - row));
        SMALL_RECT region{0, SHORT(row), SHORT(width - 1), SHORT(row + rows - 1)};
        WriteConsoleOutputW(out, BlankCells, COORD{SHORT(width), rows}, COORD{0, 0}, &region);
    }
}

void ReleaseBlankRows() noexcept {
    if (BlankCells) FreeMem(BlankCells);
    BlankCells = nullptr;
    BlankCapacity = 0;
}

}  // namespace zarnith
