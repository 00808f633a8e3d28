// The console windows of every loaded ZARNITH on this desktop, in a small shared table.
// conhost names a console's first client as its window's owner (src/interactivity/win32/
// windowio.cpp, SetConsoleWindowOwner), so a TCC started from cmd.exe, PowerShell or a launcher
// cannot be told by its window's program; each one says instead which window its console has.
// An entry counts only while the process that wrote it runs: one that ended without a word
// (killed, crashed) is skipped by readers and its slot taken by the next writer.
#pragma once
#include <windows.h>

#include <cstdint>

namespace zarnith {

struct ConsoleEntry {
    uint64_t created;  // creation time of the window's process (FILETIME as one number)
    HWND window;
};

inline constexpr int kAnnouncedCapacity = 128;

// Writes (or replaces) the entry of the process `processId`, started at `created`; false when the
// table cannot be had or every slot holds a live entry.
bool AnnounceConsole(DWORD processId, uint64_t created, HWND window) noexcept;

// Removes the entry of `processId`, if there is one.
void WithdrawConsole(DWORD processId) noexcept;

// This process's entry as start-up found its console: its window when it has one that the
// console owns (not the terminal's stand-in), else none.
void AnnounceOwnConsole() noexcept;

// Fills `out` with the live entries (their writer's start and window); answers how many.
int ReadAnnouncedConsoles(ConsoleEntry* out, int capacity) noexcept;

}  // namespace zarnith
