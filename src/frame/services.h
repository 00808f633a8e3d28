// Work a subsystem does for another or for the frame, called as plain functions. Declared here, in
// the frame, so that nothing includes a subsystem's header but its own; each is defined by the one named.
#pragma once
#include <windows.h>

namespace zarnith {

// Geometry: brings back a saved geometry as RSTRCON does: the buffer first (as saved, up to the
// console's own limit), then the window's size and its screen position, with CONSIZE's refusal
// inside a Take Command tab; 0 done (or refused), 1 after a reported failure.
int RestoreConsoleSize(COORD buffer, COORD window, POINT position) noexcept;

// Geometry: the console window is maximised or full screen, where conhost changes only the view,
// never the frame (src/interactivity/win32/window.cpp, _InternalSetWindowSize): its state as a
// word ("maximised", "full screen"), or null when its frame follows the console's window.
const wchar_t* FrameFixedAs() noexcept;

// Buffer (CONHELP after F1): row `r`'s help (frame/help.h, ShowHelpOf) on a screen of its own,
// then PAUSE, then the user's screen as it was.
void ShowOnPreparedScreen(int r);

}  // namespace zarnith
