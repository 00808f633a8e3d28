#include "keys/altenter.h"

#include <cwctype>

#include "console/pseudo_console.h"
#include "frame/entry.h"
#include "frame/guard.h"
#include "frame/host.h"
#include "frame/rows.h"
#include "frame/shutdown.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

namespace {

int RunAltEnter(const wchar_t* line) {
    // The first blank-delimited word; only its first two characters count (/DISABLE, /Enable).
    const wchar_t* word = line != nullptr ? line : L"";
    while (*word == L' ') ++word;
    if (word[0] != L'/') {
        Printf(L"<Alt-Enter> is %sABLED\r\n", State().altEnterHook != nullptr ? L"DIS" : L"EN");
        return 0;
    }
    const wchar_t option = word[1] == L' ' ? L'\0' : static_cast<wchar_t>(std::towupper(word[1]));
    if (option == L'D') {
        // The terminal's window, not the console's, takes Alt-Enter there; a hook would guard nothing.
        if (RefusedInPseudoConsole(RowOf(L"ALTENTER"))) return 0;
        // A failed installation leaves Alt-Enter enabled, which the next state line shows.
        HHOOK& hook = WritableState().altEnterHook;
        if (hook == nullptr) hook = SetWindowsHookExW(WH_KEYBOARD_LL, AltEnterFilter, State().module, 0);
    } else if (option == L'E') {
        RemoveAltEnterHook();
    } else {
        Printf(L"%s", L"Usage:  ALTENTER [ /D(isable) | /E(nable) ]\r\n");
    }
    return 0;
}

}  // namespace

LRESULT CALLBACK AltEnterFilter(int code, WPARAM message, LPARAM data) noexcept {
    // The event is only ours to read for HC_ACTION; a console we do not have is never in front.
    if (code == HC_ACTION && data != 0 && State().consoleWindow != nullptr) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        if (event->vkCode == VK_RETURN && (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) &&
            GetForegroundWindow() == State().consoleWindow)
            return 1;
    }
    return CallNextHookEx(State().altEnterHook, code, message, data);
}

void RemoveAltEnterHook() noexcept {
    HHOOK& hook = WritableState().altEnterHook;
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    hook = nullptr;
}

namespace {
// Unloading must let Alt-Enter through again.
const ShutdownRegistrar removeAltEnterHook(RemoveAltEnterHook);
}  // namespace

}  // namespace zarnith

ZARNITH_ENTRY int ALTENTER(LPWSTR line) noexcept {
    return zarnith::Guarded(L"ALTENTER", [&] { return zarnith::RunAltEnter(line); }, 0);
}

ZARNITH_ENTRY int _ALTENTER(LPWSTR result) noexcept {
    return zarnith::GuardedResult(L"_ALTENTER", result, [&] {
        if (result != nullptr) zarnith::WriteResult(result, zarnith::State().altEnterHook == nullptr ? L"1" : L"0");
        return 0;
    });
}
