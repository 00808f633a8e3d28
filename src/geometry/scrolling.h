// SCROLL (scroll-bar messages to the console window) and GOTOXY (cursor placement with a return
// to the place before).
#pragma once
#include <windows.h>

#include "frame/rows.h"

namespace zarnith {

// The message SCROLL sends, and how often.
struct ScrollRequest {
    UINT message = WM_VSCROLL;
    WPARAM code = SB_LINEDOWN;
    unsigned long count = 1;
};

// Reads "axis action count" from an upper-cased argument line; missing items take the defaults.
ScrollRequest ParseScroll(const wchar_t* line) noexcept;

// Repeats beyond the buffer's extent scroll no further, so SCROLL stops there instead of
// keeping the host busy; this bounds it when the extent is unknown.
inline constexpr unsigned long kMaxScrollRepeat = 9999;

int RunScroll(Row self, wchar_t* line);
int RunGotoxy(Row self, wchar_t* line);

}  // namespace zarnith
