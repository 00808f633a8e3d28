#include "window/system_menu.h"

#include <cwchar>
#include <iterator>
#include <string>

#include "console/pseudo_console.h"
#include "frame/entry.h"
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

namespace {

constexpr UINT kItemFields = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_DATA | MIIM_CHECKMARKS;

// conhost gives the item a text of its own language and the close bitmap
// (src/interactivity/win32/menu.cpp, Menu::CreateInstance); OFF keeps all of it, and where it sat.
void KeepCloseItem(HMENU menu) noexcept {
    KeptMenuItem kept{};
    kept.item.cbSize = sizeof(kept.item);
    kept.item.fMask = kItemFields;
    kept.item.dwTypeData = kept.text;
    kept.item.cch = UINT(std::size(kept.text));
    if (!GetMenuItemInfoW(menu, SC_CLOSE, FALSE, &kept.item)) return;
    kept.item.dwTypeData = nullptr;  // points into a copy that is about to go
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (GetMenuItemID(menu, i) == SC_CLOSE) kept.position = UINT(i);
    kept.menu = menu;
    WritableState().closeItem = kept;
}

// Puts back what OFF kept. When the item went some other way (another program removed it, or
// OFF ran in another menu), nothing is known of it: a plain "Close" with the close bitmap goes
// where the standard menu has it.
void RestoreCloseItem(HMENU menu) noexcept {
    KeptMenuItem& kept = WritableState().closeItem;
    if (kept.menu == menu) {
        MENUITEMINFOW item = kept.item;
        item.fMask = kItemFields;
        item.dwTypeData = kept.text;
        InsertMenuItemW(menu, kept.position, TRUE, &item);
    } else {
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_BITMAP;
        item.fType = MFT_STRING;
        item.wID = SC_CLOSE;
        wchar_t text[] = L"Close";
        item.dwTypeData = text;
        item.hbmpItem = HBMMENU_POPUP_CLOSE;
        InsertMenuItemW(menu, kClosePosition, TRUE, &item);
    }
    kept = {};
}

}  // namespace

bool CloseCommandAvailable() noexcept { return CloseItemPresent(GetSystemMenu(State().consoleWindow, FALSE)); }

int RunXclose(Row self, wchar_t* line) {
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
        if (const auto refused = PseudoConsoleAnswer(self)) return *refused;
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
            KeepCloseItem(menu);
            DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
            DrawMenuBar(State().consoleWindow);
        }
        return 0;
    }
    if (word == L"ON") {
        if (!present && menu != nullptr) {
            RestoreCloseItem(menu);
            DrawMenuBar(State().consoleWindow);
        }
        return 0;
    }
    ReportLine(L"%s", message::kXcloseUse);
    return 0;
}

int RunSysmenu(Row self, const wchar_t* line) {
    const wchar_t* keys = line ? line : L"";
    while (*keys == L' ' || *keys == L'\t') ++keys;
    if (*keys == L'\0' || std::wcscmp(keys, L"/?") == 0) {
        PrintLines(L"Invoke Console\\SystemMenu\\...\r\n\r\nUsage:  SYSMENU [keys]\r\n");
        return 0;
    }
    // Alt+Space would reach the terminal as a key, not open any system menu of ours.
    if (const auto refused = PseudoConsoleAnswer(self)) return *refused;
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

ZARNITH_SHELL(XCLOSE, zarnith::RunXclose)
ZARNITH_SHELL(_XCLOSE, [](zarnith::Row self, LPWSTR result) {
    if (zarnith::PseudoConsoleAnswer(self, result)) return 0;
    zarnith::WriteResult(result, zarnith::CloseCommandAvailable() ? L"1" : L"0");
    return 0;
})
ZARNITH_SHELL(SYSMENU, zarnith::RunSysmenu)
