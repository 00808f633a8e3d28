// Work one subsystem does for another, called as plain functions. Declared here, in the frame,
// so that no subsystem includes another's header; each is defined by the subsystem named.
#pragma once
#include <windows.h>

namespace zarnith {

// Geometry (CONSIZE): which of window and buffer sizes was given first.
enum class Precedence { None, Buffer, Window };

// Geometry (CONSIZE): what a resize asks for.
struct SizeRequest {
    SHORT windowColumns = 0, windowRows = 0;  // 0 or less keeps the current dimension
    SHORT bufferColumns = 0, bufferRows = 0;  // 0 keeps, -1 follows the window
    POINT position{};                         // top-left corner wanted, before the cell offset
    int canonical = 0;                        // 1-9: a cell of the work area's 3 x 3 grid
    Precedence precedence = Precedence::None;
    bool query = false;
    bool exactBuffer = false;    // the buffer as asked up to the console's own limit, not CONSIZE's cap
};

// Geometry: carries out `request` as CONSIZE does, refusal inside a Take Command tab included;
// 0 done (or refused), 1 after a reported failure.
int SizeConsole(const SizeRequest& request) noexcept;

// Geometry: the console window is maximised or full screen, where conhost changes only the view,
// never the frame (src/interactivity/win32/window.cpp, _InternalSetWindowSize): its state as a
// word ("maximised", "full screen"), or null when its frame follows the console's window.
const wchar_t* FrameFixedAs() noexcept;

}  // namespace zarnith
