// Alt-Enter suppression: ALTENTER, _ALTENTER and the low-level keyboard hook behind them.
#pragma once
#include <windows.h>

namespace zarnith {

// The hook procedure: swallows Enter pressed or released with Alt while this console is in front.
LRESULT CALLBACK AltEnterFilter(int code, WPARAM message, LPARAM data) noexcept;

// Removes the keyboard hook if ALTENTER /D installed one (also a shutdown step).
void RemoveAltEnterHook() noexcept;

}  // namespace zarnith
