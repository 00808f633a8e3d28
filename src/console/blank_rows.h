// BlankRows: whole rows of blanks in the current attribute, from a cell buffer kept between calls.
#pragma once
#include <windows.h>
#include <cstdint>

#include "console/screen.h"

namespace zarnith {

// Blanks `count` rows from `first` of `screen` over the buffer's whole width (info.dwSize.X), in
// info.wAttributes; rows outside the buffer are skipped. False when cells could not be had or written.
[[nodiscard]] bool BlankRows(const ScreenBuffer& screen, const CONSOLE_SCREEN_BUFFER_INFO& info, SHORT first,
               uint32_t count) noexcept;

// Returns the kept cell buffer to the host (a shutdown step).
void ReleaseBlankRows() noexcept;

}  // namespace zarnith
