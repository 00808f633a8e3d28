// Alt-Enter suppression: the command's states, the hook's lifetime and what the filter swallows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "frame/plugin.h"
#include "keys/altenter.h"
#include "support/import_patch.h"
#include "support/plugin_state.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

int installs = 0;
int removals = 0;
bool failInstall = false;
decltype(&SetWindowsHookExW) realInstall = nullptr;
decltype(&UnhookWindowsHookEx) realRemove = nullptr;

HHOOK WINAPI CountedInstall(int type, HOOKPROC procedure, HINSTANCE module, DWORD thread) {
    ++installs;
    EXPECT_EQ(type, WH_KEYBOARD_LL);
    EXPECT_EQ(thread, 0u);
    if (failInstall) return nullptr;
    return realInstall(type, procedure, module, thread);
}
BOOL WINAPI CountedRemove(HHOOK hook) {
    ++removals;
    return realRemove(hook);
}

const wchar_t kEnabled[] = L"<Alt-Enter> is ENABLED\r\n";
const wchar_t kDisabled[] = L"<Alt-Enter> is DISABLED\r\n";
const wchar_t kUsage[] = L"Usage:  ALTENTER [ /D(isable) | /E(nable) ]\r\n";

class AltEnterTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        installs = removals = 0;
        failInstall = false;
        realInstall = reinterpret_cast<decltype(realInstall)>(install_.Original());
        realRemove = reinterpret_cast<decltype(realRemove)>(remove_.Original());
        ASSERT_TRUE(install_.Applied() && remove_.Applied());
    }
    void TearDown() override {
        Run(L"ALTENTER", L"/E");
        PluginTest::TearDown();
    }
    std::wstring State() {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"ALTENTER", L""), 0);
        return Out();
    }
    std::wstring Quiet(const std::wstring& line) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"ALTENTER", line), 0);
        return Out();
    }

    ImportPatch install_{Plugin().Module(), "user32.dll", "SetWindowsHookExW", reinterpret_cast<void*>(CountedInstall)};
    ImportPatch remove_{Plugin().Module(), "user32.dll", "UnhookWindowsHookEx", reinterpret_cast<void*>(CountedRemove)};
};

TEST_F(AltEnterTest, StateLineAndUsage) {
    EXPECT_EQ(State(), kEnabled);
    EXPECT_EQ(Quiet(L"abc /D"), kEnabled);  // only the first word counts, and it is no option
    EXPECT_EQ(Quiet(L"/X"), kUsage);
    EXPECT_EQ(Quiet(L"/"), kUsage);
    EXPECT_EQ(Quiet(L"/?"), kUsage);
    EXPECT_EQ(installs + removals, 0);
    EXPECT_EQ(Var(L"_ALTENTER"), L"1");
}

TEST_F(AltEnterTest, DisableTwiceInstallsOneHookAndEnableRemovesIt) {
    EXPECT_EQ(Quiet(L"/D"), L"");
    EXPECT_EQ(Quiet(L"  /disable"), L"");
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(Var(L"_ALTENTER"), L"0");
    EXPECT_EQ(State(), kDisabled);

    EXPECT_EQ(Quiet(L"/Enable"), L"");
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(Var(L"_ALTENTER"), L"1");
    EXPECT_EQ(Quiet(L"/e"), L"");
    EXPECT_EQ(removals, 1);  // nothing left to remove
    EXPECT_EQ(State(), kEnabled);
}

TEST_F(AltEnterTest, AFailedInstallationLeavesItEnabled) {
    failInstall = true;
    EXPECT_EQ(Quiet(L"/D"), L"");
    EXPECT_EQ(Var(L"_ALTENTER"), L"1");
    EXPECT_EQ(State(), kEnabled);
    failInstall = false;
    Quiet(L"/D");
    EXPECT_EQ(installs, 2);
    EXPECT_EQ(Var(L"_ALTENTER"), L"0");
}

TEST_F(AltEnterTest, ShutdownRemovesTheHook) {
    Quiet(L"/D");
    ASSERT_EQ(installs, 1);
    EXPECT_EQ(Entry<int()>("ShutdownPlugin")(), 0);
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(Var(L"_ALTENTER"), L"1");
    Entry<void*()>("GetPluginInfo")();  // the name list back for the tests that follow
}

// What the plug-in's filter does with real key events: it asks for the foreground window only
// for Alt-Enter, and passes every event it does not swallow to CallNextHookEx.
std::atomic<int> altEnterSeen{0};
std::mutex passedLock;
std::vector<std::pair<DWORD, WPARAM>> passedKeys;  // key and message
decltype(&CallNextHookEx) realNext = nullptr;
HWND WINAPI ConsoleInFront() {
    ++altEnterSeen;
    return GetConsoleWindow();
}
LRESULT WINAPI RecordPassed(HHOOK hook, int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION) {
        const std::lock_guard<std::mutex> lock(passedLock);
        const DWORD vk = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data)->vkCode;
        passedKeys.emplace_back(vk, message);
        if (vk == VK_F24) return 1;  // a marker only: no window needs it
    }
    return realNext(hook, code, message, data);
}
std::vector<std::pair<DWORD, WPARAM>> PassedKeys() {
    const std::lock_guard<std::mutex> lock(passedLock);
    return passedKeys;
}
void Type(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

// Types Alt-Enter, then F24, as the keyboard would, and waits (bounded) until the filter has passed
// F24 on: all of it while the host's thread is busy elsewhere. Wine's X11 driver may reset the Alt
// key between two events (a focus change syncs the key state), so Alt-Enter is typed again if the
// system did not see one.
DWORD WINAPI TypeAltEnterThenF24(void*) {
    for (int attempt = 0; attempt < 3 && altEnterSeen == 0; ++attempt)
        Type(VK_MENU, false), Type(VK_RETURN, false), Type(VK_RETURN, true), Type(VK_MENU, true);
    Type(VK_F24, false), Type(VK_F24, true);
    for (int i = 0; i < 500; ++i) {
        const auto passed = PassedKeys();
        if (std::count_if(passed.begin(), passed.end(), [](auto& p) { return p.first == VK_F24; }) == 2) return 0;
        Sleep(10);
    }
    return 1;
}

// Windows waits for a low-level hook's thread on every key press; the host's thread is often busy
// for seconds, so the hook must not depend on it.
TEST_F(AltEnterTest, KeysPassWhileTheHostIsBusyAndAltEnterIsStillSwallowed) {
    ImportPatch fg(Plugin().Module(), "user32.dll", "GetForegroundWindow", reinterpret_cast<void*>(ConsoleInFront));
    ImportPatch next(Plugin().Module(), "user32.dll", "CallNextHookEx", reinterpret_cast<void*>(RecordPassed));
    ASSERT_TRUE(fg.Applied() && next.Applied());
    realNext = next.OriginalAs<std::remove_pointer_t<decltype(realNext)>>();
    passedKeys.clear();
    altEnterSeen = 0;
    Quiet(L"/D");
    ASSERT_EQ(Var(L"_ALTENTER"), L"0");

    // This thread, the host's, now waits without taking any message.
    const HANDLE typist = CreateThread(nullptr, 0, TypeAltEnterThenF24, nullptr, 0, nullptr);
    ASSERT_NE(typist, nullptr);
    ASSERT_EQ(WaitForSingleObject(typist, 30000), WAIT_OBJECT_0);
    DWORD typed = 1;
    GetExitCodeThread(typist, &typed);
    CloseHandle(typist);
    EXPECT_EQ(typed, 0u) << "the key events waited for the host's thread";
    EXPECT_GE(altEnterSeen, 1);
    for (const auto& [vk, message] : PassedKeys())
        EXPECT_FALSE(vk == VK_RETURN && (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP)) << "Alt-Enter passed";

    Quiet(L"/E");
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(Var(L"_ALTENTER"), L"1");
}

HWND foreground = nullptr;
LRESULT nextResult = 0;
int passedOn = 0;
HWND WINAPI FakeForeground() { return foreground; }
LRESULT WINAPI FakeNext(HHOOK, int, WPARAM, LPARAM) {
    ++passedOn;
    return nextResult;
}

// The filter as the system calls it, in the copy of the plug-in linked into this program.
TEST(AltEnterFilter, SwallowsAltEnterOnlyForThisConsoleInFront) {
    ImportPatch fg(GetModuleHandleW(nullptr), "user32.dll", "GetForegroundWindow", reinterpret_cast<void*>(FakeForeground));
    ImportPatch next(GetModuleHandleW(nullptr), "user32.dll", "CallNextHookEx", reinterpret_cast<void*>(FakeNext));
    ASSERT_TRUE(fg.Applied() && next.Applied());
    std::optional<StateOverride<HWND>> window;
    window.emplace(&PluginState::consoleWindow, reinterpret_cast<HWND>(0x1234));
    nextResult = 77;

    auto filter = [](int code, WPARAM message, DWORD vk) {
        KBDLLHOOKSTRUCT event{};
        event.vkCode = vk;
        return AltEnterFilter(code, message, reinterpret_cast<LPARAM>(&event));
    };
    foreground = State().consoleWindow;
    passedOn = 0;
    EXPECT_EQ(filter(HC_ACTION, WM_SYSKEYDOWN, VK_RETURN), 1);
    EXPECT_EQ(filter(HC_ACTION, WM_SYSKEYUP, VK_RETURN), 1);
    EXPECT_EQ(passedOn, 0);
    EXPECT_EQ(filter(HC_ACTION, WM_KEYDOWN, VK_RETURN), 77);    // Enter without Alt
    EXPECT_EQ(filter(HC_ACTION, WM_SYSKEYDOWN, 'A'), 77);      // another Alt key
    EXPECT_EQ(filter(-1, WM_SYSKEYDOWN, VK_RETURN), 77);       // not ours to act on
    EXPECT_EQ(AltEnterFilter(-1, WM_SYSKEYDOWN, 0), 77);
    foreground = reinterpret_cast<HWND>(0x9999);              // another window in front
    EXPECT_EQ(filter(HC_ACTION, WM_SYSKEYDOWN, VK_RETURN), 77);
    window.reset();
    window.emplace(&PluginState::consoleWindow, nullptr);       // no console of our own
    foreground = nullptr;
    EXPECT_EQ(filter(HC_ACTION, WM_SYSKEYDOWN, VK_RETURN), 77);
    EXPECT_EQ(passedOn, 6);
}

}  // namespace
