#include "window/system_menu.h"

#include <cwchar>
#include <string>

#include "console/pseudo_console.h"
#include "frame/entry.h"
#include "frame/guard.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/report.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

bool CloseItemPresent(HMENU menu) noexcept {
    if (menu == nullptr) return false;
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    return GetMenuItemInfoW(menu, SC_CLOSE, FALSE, &item) != FALSE;
}

bool CloseCommandAvailable() noexcept { return CloseItemPresent(GetSystemMenu(State().consoleWindow, FALSE)); }

int RunXclose(wchar_t* line) {
    // Only the first argument counts, copied out by the host (no argument is longer than its
    // line); the keywords are accepted in any letter case.
    std::wstring word(line ? wcslen(line) + 1 : 1, L'\0');
    const wchar_t* first = line ? NthArgument(line, 0, word.data(), nullptr) : nullptr;
    word.resize(first != nullptr ? wcslen(word.c_str()) : 0);
    if (!word.empty()) CharUpperBuffW(word.data(), DWORD(word.size()));
    if (word == L"/?") {
        PrintLines(L"Disable/enable closing the console\r\n\r\nXCLOSE [ OFF | ON ]\r\n");
        return 0;
    }
    // The terminal's window menu is out of reach. GET_STATUS stays quiet, as ever, and answers
    // -1: the item is neither there nor gone.
    if (word != L"GET_STATUS") {
        if (const auto refused = PseudoConsoleAnswer(L"XCLOSE")) return *refused;
    } else if (InPseudoConsole()) {
        return -1;
    }

    HMENU menu = GetSystemMenu(State().consoleWindow, FALSE);
    const bool present = CloseItemPresent(menu);
    if (first == nullptr) {
        Printf(L"XCLOSE is %s\r\n", present ? L"ON" : L"OFF");
        return 0;
    }
    if (word == L"GET_STATUS") return present ? 1 : 0;
    if (word == L"OFF") {
        if (present) {
            DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
            DrawMenuBar(State().consoleWindow);
        }
        return 0;
    }
    if (word == L"ON") {
        if (!present && menu != nullptr) {
            InsertMenuW(menu, kClosePosition, MF_BYPOSITION | MF_STRING, SC_CLOSE, L"Close");
            DrawMenuBar(State().consoleWindow);
        }
        return 0;
    }
    ReportLine(L"%s", message::kXcloseUse);
    return 0;
}

int RunSysmenu(const wchar_t* line) {
    const wchar_t* keys = line ? line : L"";
    while (*keys == L' ' || *keys == L'\t') ++keys;
    if (*keys == L'\0' || std::wcscmp(keys, L"/?") == 0) {
        PrintLines(L"Invoke Console\\SystemMenu\\...\r\n\r\nUsage:  SYSMENU [keys]\r\n");
        return 0;
    }
    // Alt+Space would reach the terminal as a key, not open any system menu of ours.
    if (const auto refused = PseudoConsoleAnswer(L"SYSMENU")) return *refused;
    // Built to the keys' length, so any number of keys reaches the host whole.
    std::wstring command = L"KEYSTACK Alt-\" \" ";
    command += keys;
    Command(command.data(), 0);

    // The stacked keys may leave a modifier logically held; release only those that are down.
    for (const WORD key : {WORD(VK_SHIFT), WORD(VK_CONTROL), WORD(VK_MENU)}) {
        if ((GetAsyncKeyState(key) & 0x8000) == 0) continue;
        INPUT release{};
        release.type = INPUT_KEYBOARD;
        release.ki.wVk = key;
        release.ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(1, &release, sizeof(release));
    }
    return 0;
}

}  // namespace zarnith

ZARNITH_ENTRY int XCLOSE(LPWSTR line) noexcept {
    return zarnith::Guarded(L"XCLOSE", [&] { return zarnith::RunXclose(line); });
}
ZARNITH_ENTRY int _XCLOSE(LPWSTR result) noexcept {
    return zarnith::GuardedResult(L"_XCLOSE", result, [&] {
        if (zarnith::PseudoConsoleAnswer(L"_XCLOSE", result)) return 0;
        zarnith::WriteResult(result, zarnith::CloseCommandAvailable() ? L"1" : L"0");
        return 0;
    });
}
ZARNITH_ENTRY int SYSMENU(LPWSTR line) noexcept {
    return zarnith::Guarded(L"SYSMENU", [&] { return zarnith::RunSysmenu(line); });
}
