#include "console/blank_rows.h"

#include <algorithm>

#include "console/cells.h"
#include "console/transfer.h"
#include "frame/host.h"
#include "frame/shutdown.h"

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

void BlankRows(const ScreenBuffer& screen, const CONSOLE_SCREEN_BUFFER_INFO& info, SHORT first,
               uint32_t count) noexcept {
    const int width = info.dwSize.X;
    const RowSpan rows = ClipRows(first, count, info.dwSize.Y);
    if (width <= 0 || rows.count == 0) return;
    // One transfer's worth of blanks at most, written as often as the rows need.
    const int blockRows = std::min(rows.count, RowsPerTransfer(width));
    const uint32_t cells = uint32_t(blockRows) * uint32_t(width);
    if (!EnsureCapacity(cells)) return;

    CHAR_INFO blank{};
    blank.Char.UnicodeChar = L' ';
    blank.Attributes = info.wAttributes;
    std::fill_n(BlankCells, cells, blank);
    screen.RepeatRows(rows.first, rows.count, width, BlankCells, blockRows);
}

void ReleaseBlankRows() noexcept {
    if (BlankCells) FreeMem(BlankCells);
    BlankCells = nullptr;
    BlankCapacity = 0;
}

namespace {
const ShutdownRegistrar releaseBlankRows(ReleaseBlankRows);
}  // namespace

}  // namespace zarnith
