// Console cycling: the list's order and bounds, and CYCLE among real windows of other programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "keys/console_table.h"
#include "keys/cycle.h"
#include "keys/key_handler.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

HWND W(uintptr_t n) { return reinterpret_cast<HWND>(n); }

struct List {
    std::vector<ConsoleEntry> storage = std::vector<ConsoleEntry>(kConsoleListCapacity);
    ConsoleList list;
    explicit List(HWND own) { list = ConsoleList{storage.data(), 0, own}; }
    void Add(uint64_t created, HWND window) { AddConsole(list, ConsoleEntry{created, window}); }
    HWND Next(bool backward) {
        SortConsoles(list);
        const int i = NextConsole(list, backward);
        return i < 0 ? nullptr : list.entries[i].window;
    }
};

TEST(ConsoleList, StepsInCreationOrderAndWraps) {
    List l(W(2));
    l.Add(300, W(3));  // enumeration order is z-order, not age
    l.Add(100, W(1));
    l.Add(200, W(2));
    EXPECT_EQ(l.Next(false), W(3));
    EXPECT_EQ(l.Next(true), W(1));
    l.list.own = W(3);
    EXPECT_EQ(l.Next(false), W(1));
    l.list.own = W(1);
    EXPECT_EQ(l.Next(true), W(3));
    l.list.own = W(9);  // our window is not a host console
    EXPECT_EQ(l.Next(false), nullptr);
    l.list.own = nullptr;
    EXPECT_EQ(l.Next(false), nullptr);

    List alone(W(5));
    alone.Add(7, W(5));
    EXPECT_EQ(alone.Next(false), W(5));
    EXPECT_EQ(alone.Next(true), W(5));
    List none(W(5));
    EXPECT_EQ(none.Next(false), nullptr);
}

TEST(ConsoleList, EqualTimesKeepOneOrderWhateverTheEnumeration) {
    // Two consoles started in the same tick must not swap places as the z-order changes.
    List a(W(20)), b(W(20));
    a.Add(5, W(20));
    a.Add(5, W(10));
    b.Add(5, W(10));
    b.Add(5, W(20));
    EXPECT_EQ(a.Next(false), b.Next(false));
    SortConsoles(a.list);
    EXPECT_EQ(a.list.entries[0].window, W(10));
    EXPECT_EQ(a.list.entries[0].created, 5u);
    // The full 64-bit time counts, compared unsigned.
    List c(W(1));
    c.Add(0xFFFFFFFF00000000ull, W(1));
    c.Add(0x00000001FFFFFFFFull, W(2));
    SortConsoles(c.list);
    EXPECT_EQ(c.list.entries[0].window, W(2));
}

TEST(ConsoleList, AFullListKeepsTheOldestAndOurOwnWindow) {
    std::vector<uint64_t> times(300);
    for (size_t i = 0; i < times.size(); ++i) times[i] = 1000 + i * 10;
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(times.begin(), times.end(), random);
        const HWND own = W(times[round] + 1);  // handles follow the times, so they are unique
        List l(own);
        for (uint64_t t : times) l.Add(t, W(t + 1));
        ASSERT_EQ(l.list.count, kConsoleListCapacity);
        SortConsoles(l.list);

        std::vector<uint64_t> expected(times);
        std::sort(expected.begin(), expected.end());
        const uint64_t ownTime = times[round];
        expected.erase(std::remove(expected.begin(), expected.end(), ownTime), expected.end());
        expected.resize(kConsoleListCapacity - 1);
        expected.push_back(ownTime);
        std::sort(expected.begin(), expected.end());
        for (int i = 0; i < kConsoleListCapacity; ++i) {
            ASSERT_EQ(l.list.entries[i].created, expected[size_t(i)]) << "round " << round << " entry " << i;
            ASSERT_EQ(l.list.entries[i].window, W(expected[size_t(i)] + 1));
        }
        EXPECT_NE(NextConsole(l.list, false), -1);
    }
}

// Other host consoles: small programs that show a window of the console class and wait.
class OtherConsole {
public:
    explicit OtherConsole(const std::wstring& program, bool hidden = false) {
        std::wstring command = program + (hidden ? L" hidden" : L"");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_))
            return;
        for (int i = 0; i < 500 && window_ == nullptr; ++i) {
            EnumWindows(
                [](HWND w, LPARAM self) -> BOOL {
                    auto* h = reinterpret_cast<OtherConsole*>(self);
                    DWORD pid = 0;
                    GetWindowThreadProcessId(w, &pid);
                    wchar_t name[64] = {};
                    GetClassNameW(w, name, 64);
                    if (pid != h->info_.dwProcessId || lstrcmpW(name, L"ConsoleWindowClass") != 0) return TRUE;
                    h->window_ = w;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(this));
            if (window_ == nullptr) Sleep(10);
        }
    }
    ~OtherConsole() {
        if (info_.hProcess == nullptr) return;
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    HWND Window() const { return window_; }
    DWORD ProcessId() const { return info_.dwProcessId; }
    uint64_t Start() const {
        FILETIME created{}, exited{}, kernel{}, user{};
        GetProcessTimes(info_.hProcess, &created, &exited, &kernel, &user);
        return (uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    }
    void End() { TerminateProcess(info_.hProcess, 0), WaitForSingleObject(info_.hProcess, 5000); }

private:
    PROCESS_INFORMATION info_{};
    HWND window_ = nullptr;
};

HWND pretendConsole = nullptr;
HWND foreground = nullptr;
std::vector<HWND> raised;
std::vector<bool> raisedMinimised;  // whether each window was still minimised when brought forward
HWND WINAPI FakeConsoleWindow() { return pretendConsole; }
HWND WINAPI FakeForeground() { return foreground; }
BOOL WINAPI RecordRaise(HWND window) {
    raised.push_back(window);
    raisedMinimised.push_back(IsIconic(window) != FALSE);
    return TRUE;
}

class CycleTest : public PluginTest {
protected:
    static void SetUpTestSuite() {
        // Started one after another, each visible before the next starts: first, second, third.
        first_ = new OtherConsole(L"mytcc.exe");
        second_ = new OtherConsole(L"mytcc.exe");
        third_ = new OtherConsole(L"mytcc.exe");
        hidden_ = new OtherConsole(L"mytcc.exe", true);
        other_ = new OtherConsole(L"othercon.exe");
    }
    static void TearDownTestSuite() {
        for (OtherConsole** h : {&first_, &second_, &third_, &hidden_, &other_}) {
            delete *h;
            *h = nullptr;
        }
    }
    void SetUp() override {
        PluginTest::SetUp();
        for (OtherConsole* h : {first_, second_, third_, hidden_, other_}) ASSERT_NE(h->Window(), nullptr);
        raised.clear();
    }
    void TearDown() override {
        // ConsoleWindow back to this program's own console.
        Entry<int()>("InitializePlugin")();
        PluginTest::TearDown();
    }
    // Makes the plug-in take `window` for its host's console, as if it ran inside that host.
    void RunFrom(HWND window) {
        pretendConsole = window;
        ImportPatch patch(Plugin().Module(), "kernel32.dll", "GetConsoleWindow", reinterpret_cast<void*>(FakeConsoleWindow));
        ASSERT_TRUE(patch.Applied());
        ASSERT_EQ(Entry<int()>("InitializePlugin")(), 0);
    }
    HWND Cycle(const std::wstring& line) {
        raised.clear();
        EXPECT_EQ(Run(L"CYCLE", line), 0);
        EXPECT_LE(raised.size(), 1u);
        return raised.empty() ? nullptr : raised.back();
    }

    ImportPatch raise_{Plugin().Module(), "user32.dll", "SetForegroundWindow", reinterpret_cast<void*>(RecordRaise)};
    static OtherConsole* first_;
    static OtherConsole* second_;
    static OtherConsole* third_;
    static OtherConsole* hidden_;
    static OtherConsole* other_;
};
OtherConsole* CycleTest::first_ = nullptr;
OtherConsole* CycleTest::second_ = nullptr;
OtherConsole* CycleTest::third_ = nullptr;
OtherConsole* CycleTest::hidden_ = nullptr;
OtherConsole* CycleTest::other_ = nullptr;

TEST_F(CycleTest, StepsThroughHostConsolesInStartOrder) {
    RunFrom(second_->Window());
    EXPECT_EQ(Cycle(L""), third_->Window());
    EXPECT_EQ(Cycle(L"-"), first_->Window());
    EXPECT_EQ(Cycle(L"-x"), first_->Window());  // only the first character counts
    EXPECT_EQ(Cycle(L"x"), third_->Window());
    EXPECT_EQ(Cycle(L"/?x"), third_->Window());
    RunFrom(third_->Window());
    EXPECT_EQ(Cycle(L""), first_->Window());  // wraps; the hidden one and other programs are skipped
    RunFrom(first_->Window());
    EXPECT_EQ(Cycle(L"-"), third_->Window());
    EXPECT_EQ(Out(), L"");
}

TEST_F(CycleTest, AMinimisedConsoleIsRestoredBeforeItComesToTheFront) {
    ShowWindow(third_->Window(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(third_->Window()));
    RunFrom(second_->Window());
    raisedMinimised.clear();
    EXPECT_EQ(Cycle(L""), third_->Window());
    EXPECT_EQ(raisedMinimised, std::vector<bool>{false});
    EXPECT_FALSE(IsIconic(third_->Window()));
    ShowWindow(third_->Window(), SW_SHOWNOACTIVATE);  // as the other tests expect it, whatever happened
}

// conhost names the console's first client (cmd.exe, a launcher) as the window's owner: this
// host's own window counts whatever program it names, placed by this host's start (the oldest here).
TEST_F(CycleTest, OwnWindowCountsWhateverProgramOwnsIt) {
    RunFrom(other_->Window());
    EXPECT_EQ(Cycle(L""), first_->Window());
    EXPECT_EQ(Cycle(L"-"), third_->Window());
    for (HWND own : {hidden_->Window(), HWND(nullptr)}) {
        RunFrom(own);
        EXPECT_EQ(Cycle(L""), nullptr);
        EXPECT_EQ(Cycle(L"-"), nullptr);
    }
}

// TCCs started from cmd.exe or a launcher: their windows name that program, so each host's
// ZARNITH announces its window with its own start. One of these is announced by its window's
// process, one by a host that ends later (its entry ends with it, the window stays).
TEST_F(CycleTest, AnnouncedConsolesCountWhateverProgramOwnsTheirWindows) {
    OtherConsole launched(L"othercon.exe"), fromCmd(L"othercon.exe"), host(L"othercon.exe", true);
    ASSERT_TRUE(launched.Window() && fromCmd.Window() && host.Window());
    RunFrom(third_->Window());
    EXPECT_EQ(Cycle(L""), first_->Window()) << "nothing announced: both skipped";

    ASSERT_TRUE(AnnounceConsole(launched.ProcessId(), launched.Start(), launched.Window()));
    ASSERT_TRUE(AnnounceConsole(host.ProcessId(), host.Start(), fromCmd.Window()));
    EXPECT_EQ(Cycle(L""), launched.Window());
    RunFrom(first_->Window());
    EXPECT_EQ(Cycle(L"-"), fromCmd.Window());  // its host started last
    host.End();
    EXPECT_EQ(Cycle(L"-"), launched.Window());
    WithdrawConsole(launched.ProcessId());
    EXPECT_EQ(Cycle(L"-"), third_->Window());
}

TEST_F(CycleTest, ShowsItsUsageForAHelpRequest) {
    RunFrom(second_->Window());
    const std::wstring usage = L"CYCLE [-] through interactive 4NT sessions [backward]\r\n"
                               L"In 4NT version 8, bound to <Alt-Right> [<Alt-Left]\r\n"
                               L"CYCLE requires Scroll-Lock to be toggled OFF\r\n";
    // "/?" ended where the host ends an argument: a blank, tab, comma or '/'.
    for (const wchar_t* line : {L"/?", L"/? x", L"/?,x", L"/?/x"}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Cycle(line), nullptr) << line;
        EXPECT_EQ(Out(), usage) << line;
    }
    // The list comes from the host's allocator and goes back to it.
    const int live = StandIn_LiveBlocks();
    Cycle(L"");
    EXPECT_EQ(StandIn_LiveBlocks(), live);
    StandIn_FailAllocationAt(1);
    EXPECT_EQ(Cycle(L""), nullptr);
}

TEST_F(CycleTest, AltArrowsCycleFromThePrompt) {
    RunFrom(second_->Window());
    HostKeyRecord record{};
    record.Key = key::AltRight;
    Plugin().Key(record);
    EXPECT_EQ(record.Key, 0);
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0], third_->Window());
    record.Key = key::AltLeft;
    Plugin().Key(record);
    ASSERT_EQ(raised.size(), 2u);
    EXPECT_EQ(raised[1], first_->Window());

    // No console to go to (the real console kept hidden, as ConEmu does): the keys are the host's.
    RunFrom(hidden_->Window());
    for (int32_t code : {key::AltRight, key::AltLeft}) {
        record.Key = code;
        Plugin().Key(record);
        EXPECT_EQ(record.Key, code);
    }
    EXPECT_EQ(raised.size(), 2u);
}

TEST_F(CycleTest, ForegroundConsoleVariable) {
    ImportPatch patch(Plugin().Module(), "user32.dll", "GetForegroundWindow", reinterpret_cast<void*>(FakeForeground));
    foreground = GetConsoleWindow();
    EXPECT_EQ(Var(L"_FGCONSOLE"), L"1");
    foreground = second_->Window();
    EXPECT_EQ(Var(L"_FGCONSOLE"), L"0");
    foreground = nullptr;
    EXPECT_EQ(Var(L"_FGCONSOLE"), L"0");
    RunFrom(nullptr);  // no console window at all, as some terminals give: not known
    EXPECT_EQ(Var(L"_FGCONSOLE"), L"-1");
}

}  // namespace
