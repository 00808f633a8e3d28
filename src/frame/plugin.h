// Start-up: reading the host's settings into the plug-in's state (frame/state.h), and the test
// for a Take Command tab that several commands use.
#pragma once
#include <windows.h>
#include <cstdint>

#include "frame/state.h"

namespace zarnith {

// True when the host runs inside a Take Command tab ("%_TCTAB" expands to 1).
bool InTakeCommandTab() noexcept;

// Reads section HSCROLL, key KeyActions of the host's ini file into the state's keyActions.
void ReadKeyActions() noexcept;

// The major part of a program's fixed file version (its version resource); 0 when it has none.
unsigned ProgramMajorVersion(const wchar_t* path) noexcept;

// Whether the host program (this process's own executable) hands keys by name: TCC does from
// version 24 on. Anything else, a program without a version resource included, is taken for an
// older host, whose key record ends before the name field.
bool HostHandsKeysByName() noexcept;

// Applies one KeyActions ini value to `actions` (kept separate so it can be checked on its own).
void ApplyKeyActionsValue(const wchar_t* value, int length, uint8_t (&actions)[5]) noexcept;

}  // namespace zarnith
