// The console metric variables: buffer and window sizes, cursor, largest window, full-screen
// state, task bar, ruler, the cell under the mouse, and how the console stores a character.
#pragma once
#include <windows.h>

#include <string>

#include "frame/rows.h"

namespace zarnith {

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
