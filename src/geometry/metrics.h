// The console metric variables: buffer and window sizes, cursor, largest window, full-screen
// state, task bar, ruler, the cell under the mouse, and how the console stores a character; and
// the work-area measures they share with CONSIZE.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "frame/rows.h"

namespace zarnith {

// The primary monitor's work area (screen pixels), nothing when it cannot be read.
std::optional<RECT> QueryWorkArea() noexcept;

// Largest client area (pixels) of a framed, captioned window inside `workArea`.
SIZE MaxClientIn(const RECT& workArea) noexcept;

// The same for the work area read now; nothing when it cannot be read.
std::optional<SIZE> QueryMaxClientSize() noexcept;

// Most columns and rows a maximal client area shows, without and with scroll bars; -1 where the
// font cell dimension is 0 (nothing to divide by).
struct MaxConsole {
    int columns = -1, rows = -1, columnsWithScroll = -1, rowsWithScroll = -1;
};
MaxConsole ComputeMaxConsole(SIZE client, COORD font, int vScrollWidth, int hScrollHeight) noexcept;

// One character per column: "." , "+" at every fifth, the tens digit at every tenth; never
// longer than the host's result buffer holds.
std::wstring RulerText(int columns);

// Task bar height (flag non-zero) or width in pixels; -1 when there is no task bar to measure.
int TrayExtent(int height) noexcept;

// Which value MouseCell writes.
enum MouseSelector { kMouseCharacter = 1, kMouseColumn = 2, kMouseRow = 3 };

// Writes the character code, column or row of the cell under the mouse, or "N/A"; under a pseudo
// console, what the row of the asking `variable` says.
void MouseCell(Row variable, wchar_t* result, int selector) noexcept;

}  // namespace zarnith
