#include "keys/cycle.h"

#include <psapi.h>

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "console/pseudo_console.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/state.h"
#include "frame/text.h"
#include "keys/console_table.h"

namespace zarnith {

namespace {

constexpr wchar_t kCycleUsage[] =
    L"CYCLE [-] through interactive 4NT sessions [backward]\r\n"
    L"In 4NT version 8, bound to <Alt-Right> [<Alt-Left]\r\n"
    L"CYCLE requires Scroll-Lock to be toggled OFF\r\n";

bool Earlier(const ConsoleEntry& a, const ConsoleEntry& b) noexcept {
    if (a.created != b.created) return a.created < b.created;
    return reinterpret_cast<uintptr_t>(a.window) < reinterpret_cast<uintptr_t>(b.window);
}

// Only "/?" standing alone asks for help; "/?x" is an ordinary (forward) argument.
bool IsHelpArgument(const wchar_t* arg) noexcept {
    // The host ends an argument at a blank, tab, comma or switch character.
    if (arg[0] != L'/' || arg[1] != L'?') return false;
    const wchar_t after = arg[2];
    return after == L'\0' || std::iswspace(after) || after == L',' || after == L'/';
}

bool IsHostProgram(HANDLE process) noexcept {
    // Room for any module name: a long program name must not lose its "tcc.exe" to truncation.
    wchar_t name[MAX_PATH] = {};
    if (GetModuleBaseNameW(process, nullptr, name, MAX_PATH) == 0) return false;
    const std::wstring_view text(name);
    return FindNoCase(text, L"4nt.exe") != std::wstring_view::npos ||
           FindNoCase(text, L"tcc.exe") != std::wstring_view::npos;
}

uint64_t CreationTime(HANDLE process) noexcept {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool IsConsoleWindow(HWND window) noexcept {
    wchar_t className[32] = {};
    return GetClassNameW(window, className, 32) != 0 && lstrcmpW(className, L"ConsoleWindowClass") == 0;
}

// The start of the host program that owns `window`, a console window; 0 when it is none.
uint64_t HostConsoleStart(HWND window) noexcept {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process || !IsHostProgram(process.get())) return 0;
    return CreationTime(process.get());
}

}  // namespace

void AddConsole(ConsoleList& list, const ConsoleEntry& entry) noexcept {
    if (list.count < kConsoleListCapacity) {
        list.entries[list.count++] = entry;
        return;
    }
    int newest = -1;
    for (int i = 0; i < list.count; ++i) {
        if (list.entries[i].window == list.own) continue;
        if (newest < 0 || Earlier(list.entries[newest], list.entries[i])) newest = i;
    }
    if (newest < 0) return;
    if (entry.window == list.own || Earlier(entry, list.entries[newest])) list.entries[newest] = entry;
}

void SortConsoles(ConsoleList& list) noexcept {
    std::sort(list.entries, list.entries + list.count, Earlier);
}

int NextConsole(const ConsoleList& list, bool backward) noexcept {
    if (list.count <= 0 || list.own == nullptr) return -1;
    for (int i = 0; i < list.count; ++i) {
        if (list.entries[i].window != list.own) continue;
        const int step = backward ? -1 : 1;
        return (i + step + list.count) % list.count;
    }
    return -1;
}

BOOL CALLBACK CollectConsole(HWND window, LPARAM lParam) noexcept {
    auto& list = *reinterpret_cast<ConsoleList*>(lParam);
    if (!IsWindowVisible(window) || !IsConsoleWindow(window)) return TRUE;
    uint64_t start = HostConsoleStart(window);
    // conhost names the console's first client as the window's owner (cmd.exe, PowerShell, a
    // launcher; src/interactivity/win32/windowio.cpp, SetConsoleWindowOwner): this host's own
    // window counts whatever it names, placed by this host's start; another is known by what its
    // hosts' ZARNITHs announced, placed by the first of them.
    if (start == 0 && window == list.own) start = CreationTime(GetCurrentProcess());
    if (start == 0)
        for (int i = 0; i < list.announcedCount; ++i)
            if (list.announced[i].window == window && (start == 0 || list.announced[i].created < start))
                start = list.announced[i].created;
    if (start != 0) AddConsole(list, ConsoleEntry{start, window});
    return TRUE;
}

bool CycleConsoles(bool backward) noexcept {
    HostArray<ConsoleEntry> entries(kConsoleListCapacity);
    if (!entries) return false;
    ConsoleEntry announced[kAnnouncedCapacity];
    const int announcedCount = ReadAnnouncedConsoles(announced, kAnnouncedCapacity);
    ConsoleList list{entries.data(), 0, State().consoleWindow, announced, announcedCount};
    EnumWindows(CollectConsole, reinterpret_cast<LPARAM>(&list));
    SortConsoles(list);
    const int next = NextConsole(list, backward);
    if (next < 0) return false;
    const HWND target = list.entries[next].window;
    // Brought to the front, a minimised window stays an icon and the switch seems to do nothing.
    if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
    SetForegroundWindow(target);
    return target != list.own;
}

int RunCycle(Row self, LPWSTR line) {
    const wchar_t* arg = line != nullptr ? NthArgument(line, 0, nullptr, nullptr) : nullptr;
    if (arg != nullptr && IsHelpArgument(arg)) {
        PrintLines(kCycleUsage);
        return 0;
    }
    // The terminal's window is not a console window that could be brought to the front.
    if (const auto refused = PseudoConsoleAnswer(self)) return *refused;
    CycleConsoles(arg != nullptr && arg[0] == L'-');
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(CYCLE, zarnith::RunCycle)
ZARNITH_SHELL(_FGCONSOLE, [](zarnith::Row self, LPWSTR result) {
    // Without a console window of our own (a Take Command tab) nothing of ours is in front;
    // under a pseudo console the hidden stand-in never is, whatever the terminal's window is.
    const HWND own = zarnith::State().consoleWindow;
    if (result == nullptr) return 0;
    if (!zarnith::PseudoConsoleAnswer(self, result))
        zarnith::WriteResult(result, own != nullptr && GetForegroundWindow() == own ? L"1" : L"0");
    return 0;
})
