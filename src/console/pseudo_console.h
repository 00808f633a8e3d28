// Whether the console is hosted by a pseudo console (Windows Terminal, VS Code's terminal, any
// ConPTY host). There the terminal, not the console, owns the window, its size, font, icon and
// system menu; the console window is a hidden stand-in and the screen buffer is the visible view.
// Window-level commands refuse there with one line instead of acting on the stand-in.
#pragma once
#include <windows.h>

namespace zarnith {

// Decided once at start-up from the process's console window (outside a Take Command tab),
// which start-up has recorded in the plug-in state.
void DetectConsoleHost(HWND consoleWindow) noexcept;

// Whether the console is hosted by a pseudo console now: the start-up decision, re-checked with
// one visibility test where start-up saw only a hidden window.
bool InPseudoConsole() noexcept;

// Under a pseudo console: writes "<row's name>: not available in a terminal-hosted console
// (pseudo console)" on standard error and answers true (the command then returns its failure
// result); otherwise answers false and writes nothing.
bool RefusedInPseudoConsole(int row) noexcept;

}  // namespace zarnith
