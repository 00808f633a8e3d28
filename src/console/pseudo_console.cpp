#include "console/pseudo_console.h"

#include "frame/messages.h"
#include "frame/report.h"
#include "frame/state.h"
#include "frame/steps.h"
#include "frame/text.h"

namespace zarnith {

namespace {

// The class conhost gives the stand-in window of a pseudo console on Windows 10 (1809 on) and 11,
// whether the console came from CreatePseudoConsole or from Windows 11's default-terminal handoff.
constexpr wchar_t kPseudoWindowClass[] = L"PseudoConsoleWindow";
// The class of conhost's classic console window.
constexpr wchar_t kClassicWindowClass[] = L"ConsoleWindowClass";

bool HasClass(HWND window, const wchar_t* className) noexcept {
    wchar_t name[32] = {};
    return GetClassNameW(window, name, 32) != 0 && lstrcmpW(name, className) == 0;
}

}  // namespace

void DetectConsoleHost(HWND window) noexcept {
    ConsoleHost& host = WritableState().consoleHost;
    // No window (or a handle that names none: Windows 10 1809 hands out a stale one when there is
    // no window): some pseudo-console hosts give none at all. A classic console always has one;
    // only a console created without a window (CREATE_NO_WINDOW) looks the same, and there is
    // no window to act on either.
    if (window == nullptr || !IsWindow(window)) {
        host = ConsoleHost::PseudoConsole;
        return;
    }
    // The class alone decides: conhost registers it only for pseudo consoles. Its visibility is
    // not trusted there, since a program may have shown the stand-in (it then appears as an empty
    // frame; the terminal still owns the real window).
    if (HasClass(window, kPseudoWindowClass)) {
        host = ConsoleHost::PseudoConsole;
        return;
    }
    // Windows' classic console window is the console's own even when hidden: ConEmu and other
    // wrappers keep the real console hidden and follow its size, and a console may be started
    // hidden. Its commands act on it as they always have.
    if (HasClass(window, kClassicWindowClass)) {
        host = ConsoleHost::Classic;
        return;
    }
    // Any other console host (Wine's pseudo console has a hidden window of its ordinary console
    // class): a hidden window is the signal. A minimised console is still visible (IsWindowVisible
    // answers for WS_VISIBLE, not for being on screen), so it is never taken for one. A console
    // of such a host started hidden looks the same at start-up; it is treated as hidden only
    // while it stays hidden, because InPseudoConsole asks again.
    host = IsWindowVisible(window) ? ConsoleHost::Classic : ConsoleHost::HiddenWindow;
}

const StepRegistrar detectConsoleHost(Phase::ConsoleHost, []() noexcept { DetectConsoleHost(State().consoleWindow); });

bool InPseudoConsole() noexcept {
    switch (State().consoleHost) {
        case ConsoleHost::Classic: return false;
        case ConsoleHost::PseudoConsole: return true;
        case ConsoleHost::HiddenWindow: return !IsWindowVisible(State().consoleWindow);
    }
    return false;
}

std::optional<int> PseudoConsoleAnswer(Row row, wchar_t* result) noexcept {
    const InTerminal& answer = row.InTerminalAnswer();
    if (answer.kind == InTerminal::Works || !InPseudoConsole()) return std::nullopt;
    if (answer.kind == InTerminal::Refused) {
        row.Fail(message::kNotInPseudoConsole);
        return answer.result;
    }
    if (result != nullptr) WriteResult(result, answer.text);
    return 0;
}

}  // namespace zarnith
