// BlankRows: whole rows of blanks in the current attribute, from a cell buffer kept between calls.
#pragma once
#include <windows.h>
#include <cstdint>

namespace zarnith {

// Blanks `count` rows from `first` over the buffer's whole width (info.dwSize.X) of standard
// output, in info.wAttributes. Rows outside the buffer are skipped, as the console would clip them.
void BlankRows(const CONSOLE_SCREEN_BUFFER_INFO& info, SHORT first, uint32_t count) noexcept;

// Returns the kept cell buffer to the host (ShutdownPlugin).
void ReleaseBlankRows() noexcept;

// Cells a single console transfer may carry: under 64 KB, which every Windows version accepts.
inline constexpr uint32_t kMaxTransferCells = 16000;

}  // namespace zarnith
