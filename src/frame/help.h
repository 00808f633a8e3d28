// Built-in help: CONHELP and the host's Help/Usage exports. The screen of its own that F1 asks
// for is the buffer subsystem's (frame/services.h).
#pragma once
#include <windows.h>

namespace zarnith {

// CONHELP: usage line, LIST of active names, or the help of one name. Always 0.
int RunConhelp(LPWSTR line);

// The usage line CONHELP prints for itself.
inline constexpr const wchar_t* kConhelpUsage = L"CONHELP LIST | COMMAND | @FUNCTION | _VARIABLE\r\n";

// Shows row `r`'s help: its one-line text, CONHELP's usage line, or what the command prints for "/?".
void ShowHelpOf(int r) noexcept;

}  // namespace zarnith
