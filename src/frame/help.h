// Built-in help: CONHELP and the host's Help/Usage exports, and the prepared screen that F1 asks for.
#pragma once
#include <windows.h>

namespace zarnith {

// CONHELP: usage line, LIST of active names, or the help of one name. Always 0.
int RunConhelp(LPWSTR line);

// The usage line CONHELP prints for itself.
inline constexpr const wchar_t* kConhelpUsage = L"CONHELP LIST | COMMAND | @FUNCTION | _VARIABLE\r\n";

// Characters the host may write when it expands a text in place or runs a command line: its own
// line length. Every buffer handed to ExpandVariables or Command has this many.
inline constexpr size_t kHostLineCapacity = 32768;

}  // namespace zarnith
