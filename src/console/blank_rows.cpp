#include "console/blank_rows.h"

#include <algorithm>

#include "console/cells.h"
#include "console/transfer.h"
#include "frame/host.h"
#include "frame/steps.h"
#include "frame/state.h"

namespace zarnith {

namespace {

// Kept in the plug-in's state for the library's life, so that the key handler, which blanks
// rows on a keystroke, allocates only when it needs more cells than ever before.
bool EnsureCapacity(uint32_t cells) noexcept {
    PluginState& kept = WritableState();
    if (kept.blankCells != nullptr && cells <= kept.blankCapacity) return true;
    const uint64_t bytes = uint64_t(cells) * sizeof(CHAR_INFO);
    if (bytes > 0xFFFFFFFFull) return false;
    void* grown = kept.blankCells ? ReallocMem(kept.blankCells, unsigned(bytes)) : AllocMem(unsigned(bytes));
    if (grown == nullptr) return false;  // the old buffer, if any, stays valid
    kept.blankCells = static_cast<CHAR_INFO*>(grown);
    kept.blankCapacity = cells;
    return true;
}

}  // namespace

bool BlankRows(const ScreenBuffer& screen, const CONSOLE_SCREEN_BUFFER_INFO& info, SHORT first,
               uint32_t count) noexcept {
    const int width = info.dwSize.X;
    const RowSpan rows = ClipRows(first, count, info.dwSize.Y);
    if (width <= 0 || rows.count == 0) return true;
    // One transfer's worth of blanks at most, written as often as the rows need.
    const int blockRows = std::min(rows.count, RowsPerTransfer(width));
    const uint32_t cells = uint32_t(blockRows) * uint32_t(width);
    if (!EnsureCapacity(cells)) return false;

    CHAR_INFO* const blanks = State().blankCells;
    std::fill_n(blanks, cells, CHAR_INFO{{L' '}, info.wAttributes});
    return screen.RepeatRows(rows.first, rows.count, width, blanks, blockRows);
}

void ReleaseBlankRows() noexcept {
    PluginState& kept = WritableState();
    if (kept.blankCells) FreeMem(kept.blankCells);
    kept.blankCells = nullptr;
    kept.blankCapacity = 0;
}

const StepRegistrar releaseBlankRows(Phase::Shutdown, ReleaseBlankRows);

}  // namespace zarnith
