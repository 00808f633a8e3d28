#include "keys/altenter.h"

#include <atomic>
#include <cwctype>
#include <new>

#include "console/pseudo_console.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/host.h"
#include "frame/steps.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

namespace {

// Bounds on waiting for the hook's thread: the host's thread must never hang on it, on unload
// least of all. The thread holds a reference to this library, so it may outlive a wait safely.
constexpr DWORD kHookStartWaitMs = 5000;
constexpr DWORD kHookEndWaitMs = 2000;

// Shared by the host's thread and the hook's thread; whichever lets go last frees it, so neither
// depends on how long the other takes.
struct HookStart {
    HMODULE library = nullptr;  // the thread's own reference to this library
    std::atomic<int> holders{2};
    UniqueHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<HHOOK> hook{nullptr};
};

void LetGo(HookStart* start) noexcept {
    if (start->holders.fetch_sub(1) == 1) delete start;
}

// Windows calls a low-level hook through the messages of the thread that installed it, and every
// key press on the machine waits for that thread (LowLevelKeyboardProc: LowLevelHooksTimeout).
// The host's thread is often busy for seconds, so the hook lives on this thread, which does
// nothing but take messages.
DWORD WINAPI RunHookThread(void* parameter) noexcept {
    auto* start = static_cast<HookStart*>(parameter);
    const HMODULE library = start->library;
    MSG message;
    // The queue exists before the start is signalled, so the quit message that ends the thread
    // can never be posted too early.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, AltEnterFilter, State().module, 0);
    start->hook = hook;
    SetEvent(start->ready.get());
    LetGo(start);
    if (hook != nullptr) {
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        UnhookWindowsHookEx(hook);
    }
    FreeLibraryAndExitThread(library, 0);
}

// Ends the hook's thread (which removes the hook) and waits a bounded time for it.
void EndHookThread(HANDLE thread, DWORD id) noexcept {
    PostThreadMessageW(id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, kHookEndWaitMs);
    CloseHandle(thread);
}

// Starts the hook's thread and waits until the hook is installed; false leaves Alt-Enter enabled.
bool StartHookThread() noexcept {
    auto* start = new (std::nothrow) HookStart;
    if (start == nullptr) return false;
    // The library stays loaded until the thread is gone, even if the host frees it first.
    if (!start->ready || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                             reinterpret_cast<LPCWSTR>(&RunHookThread), &start->library)) {
        delete start;
        return false;
    }
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, RunHookThread, start, 0, &id);
    if (thread == nullptr) {
        FreeLibrary(start->library);
        delete start;
        return false;
    }
    const bool started = WaitForSingleObject(start->ready.get(), kHookStartWaitMs) == WAIT_OBJECT_0;
    const HHOOK hook = started ? start->hook.load() : nullptr;
    LetGo(start);
    if (hook == nullptr) {
        EndHookThread(thread, id);
        return false;
    }
    PluginState& state = WritableState();
    state.altEnterHook = hook;
    state.altEnterThread = thread;
    state.altEnterThreadId = id;
    return true;
}

int RunAltEnter(Row self, const wchar_t* line) {
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
        if (const auto refused = PseudoConsoleAnswer(self)) return *refused;
        // A failed installation leaves Alt-Enter enabled, which the next state line shows.
        if (State().altEnterThread == nullptr) StartHookThread();
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
    // The hook handle is ignored by the system; the host's thread may be changing it meanwhile.
    return CallNextHookEx(nullptr, code, message, data);
}

void RemoveAltEnterHook() noexcept {
    PluginState& state = WritableState();
    if (state.altEnterThread != nullptr) EndHookThread(state.altEnterThread, state.altEnterThreadId);
    state.altEnterThread = nullptr;
    state.altEnterThreadId = 0;
    state.altEnterHook = nullptr;
}

namespace {
// Unloading must let Alt-Enter through again. ShutdownPlugin is an ordinary call from the host
// (DllMain never makes it); were it made under the loader lock, the thread could not end there
// and the bounded wait would run out rather than deadlock.
const StepRegistrar removeAltEnterHook(Phase::Shutdown, RemoveAltEnterHook);
}  // namespace

}  // namespace zarnith

ZARNITH_SHELL(ALTENTER, zarnith::RunAltEnter)
ZARNITH_SHELL(_ALTENTER, [](LPWSTR result) {
    if (result != nullptr) zarnith::WriteResult(result, zarnith::State().altEnterHook == nullptr ? L"1" : L"0");
    return 0;
})
