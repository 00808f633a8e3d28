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

// One direction of the window's cells: `cells` of them over `pixels` pixels.
struct CellAxis {
    LONG pixels = 0;
    int cells = 0;
    // How many whole cells `length` pixels hold (so also which cell an offset lies in); -1 with
    // no size to divide by.
    int CellsIn(LONG length) const noexcept;
};
struct CellLayout {
    CellAxis columns, rows;
};

// The console window's cells in the calling thread's pixels. conhost reports a TrueType font's
// width rounded to 96-DPI units (src/renderer/gdi/state.cpp, _GetProposedFont, with
// s_ShrinkByDpi of math.cpp) but lays the window out as columns times the screen font's real
// width (src/interactivity/win32/window.cpp, s_CalculateWindowRect): at 150 % a 13-pixel cell is
// reported as 9 and the columns drift by one every 26. So the window's client area over the
// columns and rows it shows decides; the font's size only where it shows no area (minimised). A
// maximised or full-screen window keeps less than a cell to spare beyond its cells (conhost lets
// it take any size, src/interactivity/win32/windowproc.cpp, WM_WINDOWPOSCHANGING): there the
// font's size counts when it fits that area, which at 100 % it always does. A font without a
// size, or no font, gives no cells.
CellLayout MeasureCells(const RECT& client, const SMALL_RECT& view, COORD font, bool maximised = false) noexcept;

// Most columns and rows a maximal client area shows, without and with scroll bars; -1 where the
// cell dimension is unknown (nothing to divide by).
struct MaxConsole {
    int columns = -1, rows = -1, columnsWithScroll = -1, rowsWithScroll = -1;
};
MaxConsole ComputeMaxConsole(SIZE client, const CellLayout& cells, int vScrollWidth, int hScrollHeight) noexcept;
// The same with cells of the font's size.
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
void MouseCell(Row self, wchar_t* result, int selector) noexcept;

}  // namespace zarnith
