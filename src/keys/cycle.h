// Console cycling: CYCLE, _FGCONSOLE and the list of host console windows behind them.
#pragma once
#include <windows.h>

#include <cstdint>

#include "frame/rows.h"
#include "keys/console_table.h"

namespace zarnith {

inline constexpr int kConsoleListCapacity = 128;

// The host consoles found during one CYCLE; `own` is this host's window, always kept.
// `announced` are the windows that loaded ZARNITHs named, with their host's start.
struct ConsoleList {
    ConsoleEntry* entries = nullptr;  // kConsoleListCapacity entries
    int count = 0;
    HWND own = nullptr;
    const ConsoleEntry* announced = nullptr;
    int announcedCount = 0;
};

// Adds one window. A full list keeps the oldest consoles and this host's own window: the newest
// other entry gives way to an older newcomer (or to the own window), so the order stays true.
void AddConsole(ConsoleList& list, const ConsoleEntry& entry) noexcept;

// Oldest first; equal times by window handle, so that the order does not follow the z-order.
void SortConsoles(ConsoleList& list) noexcept;

// Index of the window to bring forward from `own`, or -1 when `own` is not in the sorted list.
int NextConsole(const ConsoleList& list, bool backward) noexcept;

// The window-enumeration callback: keeps visible host console windows (`lParam` a ConsoleList*):
// those a host program owns, those announced, and this host's own whatever process it names.
BOOL CALLBACK CollectConsole(HWND window, LPARAM lParam) noexcept;

// Brings the next (or, backward, the previous) host console window to the front; true when that
// is another console than this host's own.
bool CycleConsoles(bool backward) noexcept;

// CYCLE with a writable argument line: "/?" alone for the usage, "-..." backward.
int RunCycle(Row self, LPWSTR line);

}  // namespace zarnith
