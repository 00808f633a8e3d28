// Start-up state shared by every command, and the two small tests several commands use.
#pragma once
#include <windows.h>
#include <cstdint>
#include <oniguruma.h>

namespace zarnith {

extern HMODULE PluginModule;     // this library, recorded on attach
extern DWORD HostProcessId;      // the host process
extern HWND ConsoleWindow;       // the host's console window (null inside a Take Command tab)
extern OnigSyntaxType* RegexSyntax;
extern uint8_t KeyActions[5];    // scroll-code bases for the four Alt keys, then the repeat count
extern wchar_t* NameList;        // the active names, comma separated (512 characters)

inline constexpr int kNameListCapacity = 512;

// True when the host runs inside a Take Command tab ("%_TCTAB" expands to 1).
bool InTakeCommandTab() noexcept;

// The Oniguruma syntax that the host's "RegularExpressions" option names (Perl by default).
OnigSyntaxType* SelectRegexSyntax() noexcept;

// Reads section HSCROLL, key KeyActions of the host's ini file into KeyActions.
void ReadKeyActions() noexcept;

// Applies one KeyActions ini value to `actions` (kept separate so it can be checked on its own).
void ApplyKeyActionsValue(const wchar_t* value, int length, uint8_t (&actions)[5]) noexcept;

}  // namespace zarnith
