// Whether the console is hosted by a pseudo console (Windows Terminal, VS Code's terminal, any
// ConPTY host). There the terminal, not the console, owns the window, its size, font, icon and
// system menu; the console window is a hidden stand-in and the screen buffer is the visible view.
// Window-level commands refuse there with one line instead of acting on the stand-in, and the
// window variables answer a fixed text.
#pragma once
#include <windows.h>

#include <optional>

#include "frame/rows.h"

namespace zarnith {

// Decided once at start-up from the process's console window (outside a Take Command tab),
// which start-up has recorded in the plug-in state.
void DetectConsoleHost(HWND consoleWindow) noexcept;

// Whether the console is hosted by a pseudo console now: the start-up decision, re-checked with
// one visibility test where start-up saw only a hidden window.
bool InPseudoConsole() noexcept;

// A name's answer under a pseudo console, from its row (frame/rows.h), asked where the name would
// touch the window: a refused command's result, after "<name>: not available in a terminal-hosted
// console (pseudo console)" on standard error; a variable's fixed text, written into `result`
// (the variable then returns 0). Nothing, and nothing written, where no pseudo console hosts the
// console or the name works there.
std::optional<int> PseudoConsoleAnswer(Row row, wchar_t* result = nullptr) noexcept;

}  // namespace zarnith
