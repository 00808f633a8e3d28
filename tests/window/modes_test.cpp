// QE, _QE, CURSOR, _CURSOR, GENBREAK and VBEEP on the test program's own console.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/import_patch.h"
#include "support/plugin_test.h"
#include "window/modes.h"

using namespace zarnith;

namespace {

DWORD FakeMode = 0;
BOOL FakeModeReadable = TRUE;
int ModeWrites = 0;
BOOL WINAPI FakeGetConsoleMode(HANDLE, LPDWORD mode) {
    if (!FakeModeReadable) return FALSE;
    *mode = FakeMode;
    return TRUE;
}
BOOL WINAPI CountingSetConsoleMode(HANDLE, DWORD) {
    ++ModeWrites;
    return TRUE;
}

DWORD InputMode() {
    DWORD mode = 0;
    GetConsoleMode(tconsole::In(), &mode);
    return mode;
}

CONSOLE_CURSOR_INFO CursorInfo() {
    CONSOLE_CURSOR_INFO info{};
    GetConsoleCursorInfo(tconsole::Out(), &info);
    return info;
}

using ModesTest = PluginTest;

TEST_F(ModesTest, QuickEditIsReportedAndSwitchedInAnyLetterCase) {
    SetConsoleMode(tconsole::In(), InputMode() | ENABLE_EXTENDED_FLAGS | ENABLE_QUICK_EDIT_MODE);
    ASSERT_TRUE(InputMode() & ENABLE_EXTENDED_FLAGS) << "this console keeps no extended flags";
    const DWORD others = InputMode() & ~DWORD(ENABLE_QUICK_EDIT_MODE);

    EXPECT_EQ(Run(L"QE"), 0);
    EXPECT_EQ(Out(), L"QuickEdit is ON\r\n");
    EXPECT_EQ(Var(L"_QE"), L"1");

    EXPECT_EQ(Run(L"QE", L"off"), 0);
    EXPECT_EQ(InputMode(), others) << "only the QuickEdit bit changes";
    EXPECT_EQ(Var(L"_QE"), L"0");
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"QE"), 0);
    EXPECT_EQ(Out(), L"QuickEdit is OFF\r\n");

    EXPECT_EQ(Run(L"QE", L"on"), 0);
    EXPECT_EQ(InputMode(), others | ENABLE_QUICK_EDIT_MODE);
    EXPECT_EQ(Var(L"_QE"), L"1");

    // Anything else changes nothing and says nothing.
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"QE", L"maybe"), 0);
    EXPECT_EQ(Run(L"QE", L"OFF now"), 0);
    EXPECT_EQ(InputMode(), others | ENABLE_QUICK_EDIT_MODE);
    EXPECT_EQ(Out() + Err(), L"");

    EXPECT_EQ(Run(L"QE", L"/?"), -1);
    EXPECT_EQ(Out(), L"Manipulate and query QuickEdit\r\n\r\nQE [ OFF | ON ]\r\n");
}

TEST_F(ModesTest, QuickEditNeedsExtendedFlagsAndAReadableMode) {
    ImportPatch get(Plugin().Module(), "kernel32.dll", "GetConsoleMode", reinterpret_cast<void*>(FakeGetConsoleMode));
    ImportPatch set(Plugin().Module(), "kernel32.dll", "SetConsoleMode", reinterpret_cast<void*>(CountingSetConsoleMode));
    ASSERT_TRUE(get.Applied() && set.Applied());
    ModeWrites = 0;
    const std::wstring message = L"QE: Console extended flags are not enabled.\r\n";

    FakeModeReadable = TRUE;
    FakeMode = ENABLE_QUICK_EDIT_MODE | ENABLE_ECHO_INPUT;
    EXPECT_EQ(Var(L"_QE"), L"-1");
    EXPECT_EQ(Run(L"QE", L"ON"), -1);
    EXPECT_EQ(Err(), message);
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"QE"), -1);
    EXPECT_EQ(Out(), L"");
    EXPECT_EQ(Err(), message);

    // A mode that cannot be read counts as no flags at all.
    FakeModeReadable = FALSE;
    EXPECT_EQ(Var(L"_QE"), L"-1");
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"QE", L"off"), -1);
    EXPECT_EQ(Err(), message);
    EXPECT_EQ(ModeWrites, 0);
    FakeModeReadable = TRUE;
}

TEST_F(ModesTest, CursorVisibilityChangesAndKeepsItsSize) {
    CONSOLE_CURSOR_INFO start{60, TRUE};
    SetConsoleCursorInfo(tconsole::Out(), &start);
    EXPECT_EQ(Var(L"_CURSOR"), L"1");

    EXPECT_EQ(Run(L"CURSOR", L"off"), 0);
    EXPECT_FALSE(CursorInfo().bVisible);
    EXPECT_EQ(CursorInfo().dwSize, 60u);
    EXPECT_EQ(Var(L"_CURSOR"), L"0");

    EXPECT_EQ(Run(L"CURSOR", L"On"), 0);
    EXPECT_TRUE(CursorInfo().bVisible);
    EXPECT_EQ(CursorInfo().dwSize, 60u);
    Run(L"CURSOR", L"OFF");
    EXPECT_EQ(Run(L"CURSOR", L"OFF ON"), 0) << "ON wins when both are given";
    EXPECT_TRUE(CursorInfo().bVisible);

    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"CURSOR", L"hide"), 0);
    EXPECT_EQ(Out(), L"CURSOR OFF | ON\r\n");
    EXPECT_TRUE(CursorInfo().bVisible);
}

BOOL WINAPI FailingCursorInfo(HANDLE, PCONSOLE_CURSOR_INFO) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
int CursorWrites = 0;
BOOL WINAPI CountingSetCursorInfo(HANDLE, const CONSOLE_CURSOR_INFO*) {
    ++CursorWrites;
    return TRUE;
}

TEST_F(ModesTest, UnreadableCursorReadsAsHiddenAndIsLeftAlone) {
    ImportPatch get(Plugin().Module(), "kernel32.dll", "GetConsoleCursorInfo", reinterpret_cast<void*>(FailingCursorInfo));
    ImportPatch set(Plugin().Module(), "kernel32.dll", "SetConsoleCursorInfo",
                    reinterpret_cast<void*>(CountingSetCursorInfo));
    ASSERT_TRUE(get.Applied() && set.Applied());
    CursorWrites = 0;
    EXPECT_EQ(Var(L"_CURSOR"), L"0");
    EXPECT_EQ(Run(L"CURSOR", L"ON"), 0);
    EXPECT_EQ(CursorWrites, 0) << "a record never read must not be written back";
}

HANDLE BreakSeen = nullptr;
BOOL WINAPI CountBreak(DWORD type) {
    if (type != CTRL_C_EVENT) return FALSE;
    SetEvent(BreakSeen);
    return TRUE;
}

TEST_F(ModesTest, GenbreakReachesTheHostsControlHandler) {
    BreakSeen = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(nullptr, FALSE);  // Ctrl+C must not be ignored by this process
    ASSERT_TRUE(SetConsoleCtrlHandler(CountBreak, TRUE));

    EXPECT_EQ(Run(L"GENBREAK", L"/?"), 0);
    EXPECT_EQ(Out(), L"Generate a CTRL_C_EVENT\r\n");
    EXPECT_EQ(Run(L"GENBREAK"), 0);
    // The handler runs on a thread of its own; the bound only keeps a broken run from hanging.
    EXPECT_EQ(WaitForSingleObject(BreakSeen, 20000), WAIT_OBJECT_0);

    SetConsoleCtrlHandler(CountBreak, FALSE);
    CloseHandle(BreakSeen);
}

// The bell's waits and tones are recorded, not spent; what the screen shows at that moment is
// kept so the test can see the flash itself.
struct BellRecord {
    std::vector<DWORD> sleeps;
    std::vector<std::pair<DWORD, DWORD>> beeps;  // frequency, duration
    std::vector<WORD> during;                    // visible rows' attributes while flashing
    CONSOLE_CURSOR_INFO cursor{};
};
BellRecord Bell;
BOOL BeepWorks = TRUE;  // FALSE: a tone that fails at once (no sound device)
SHORT WatchTop = 0;
DWORD WatchCells = 0;

void Observe() {
    Bell.during = tconsole::ReadAttributes(0, WatchTop, WatchCells);
    GetConsoleCursorInfo(tconsole::Out(), &Bell.cursor);
}
void WINAPI RecordSleep(DWORD ms) {
    Bell.sleeps.push_back(ms);
    Observe();
}
BOOL WINAPI RecordBeep(DWORD frequency, DWORD ms) {
    Bell.beeps.push_back({frequency, ms});
    Observe();
    return BeepWorks;
}

class VbeepTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        Bell = BellRecord{};
        BeepWorks = TRUE;
        sleep_ = std::make_unique<ImportPatch>(Plugin().Module(), "kernel32.dll", "Sleep",
                                               reinterpret_cast<void*>(RecordSleep));
        beep_ = std::make_unique<ImportPatch>(Plugin().Module(), "kernel32.dll", "Beep",
                                              reinterpret_cast<void*>(RecordBeep));
        ASSERT_TRUE(sleep_->Applied() && beep_->Applied());
    }
    void TearDown() override {
        sleep_.reset();
        beep_.reset();
        PluginTest::TearDown();
    }
    // Visible rows in a pattern of many attributes, so that a cell put back wrong shows.
    void Paint() {
        const auto info = tconsole::Info();
        WatchTop = info.srWindow.Top;
        WatchCells = DWORD(info.srWindow.Bottom - info.srWindow.Top + 1) * DWORD(info.dwSize.X);
        std::vector<WORD> pattern(WatchCells);
        for (DWORD i = 0; i < WatchCells; ++i) pattern[i] = WORD((i * 7 + i / 13) & 0xFF);
        tconsole::WriteAttributes(0, WatchTop, pattern);
        before_ = tconsole::ReadAttributes(0, WatchTop, WatchCells);
        CONSOLE_CURSOR_INFO cursor{37, TRUE};
        SetConsoleCursorInfo(tconsole::Out(), &cursor);
    }
    void ExpectRestored() {
        EXPECT_EQ(tconsole::ReadAttributes(0, WatchTop, WatchCells), before_);
        const auto cursor = CursorInfo();
        EXPECT_EQ(cursor.dwSize, 37u);
        EXPECT_TRUE(cursor.bVisible);
    }
    void ExpectFlashed() {
        const WORD current = tconsole::Info().wAttributes;
        const WORD flash = WORD(((current & 0x0F) << 4) | ((current >> 4) & 0x0F));
        ASSERT_EQ(Bell.during.size(), WatchCells);
        for (WORD a : Bell.during) ASSERT_EQ(a, flash);
        EXPECT_FALSE(Bell.cursor.bVisible);
    }
    std::vector<WORD> before_;

private:
    std::unique_ptr<ImportPatch> sleep_, beep_;
};

TEST_F(VbeepTest, DurationsInTicksAndTheirDefault) {
    Paint();
    for (const auto& [line, ms] : std::vector<std::pair<std::wstring, DWORD>>{
             {L"", 250}, {L"0", 250}, {L"1", 55}, {L"9", 500}, {L"18", 1000}, {L" +18", 1000}, {L"soon", 250}}) {
        SCOPED_TRACE(line);
        Bell = BellRecord{};
        EXPECT_EQ(Run(L"VBEEP", line), 0);
        ASSERT_EQ(Bell.sleeps, std::vector<DWORD>{ms});
        EXPECT_TRUE(Bell.beeps.empty());
        ExpectFlashed();
        ExpectRestored();
    }
    EXPECT_EQ(StandIn_CommandCount(), 0);
}

TEST_F(VbeepTest, SignedOrOversizedDurationsAreNoNumberAndLongOnesDoNotWrap) {
    Paint();
    const auto ms = [](uint64_t ticks) { return ticks * 1000 / 18; };  // 1/18 s ticks, never wrapped
    for (const auto& [line, total] : std::vector<std::pair<std::wstring, uint64_t>>{
             {L"-1", 250}, {L"+-18", 250}, {L"-1 440", 250}, {L"4294967314", 250},  // 2^32 + 18
             {L"4294968", ms(4294968)}, {L"4294967295", ms(4294967295)}}) {
        SCOPED_TRACE(line);
        Bell = BellRecord{};
        EXPECT_EQ(Run(L"VBEEP", line), 0);
        uint64_t slept = 0;
        for (DWORD s : Bell.sleeps) {
            EXPECT_NE(s, INFINITE);
            slept += s;
        }
        EXPECT_EQ(slept, total);
        EXPECT_TRUE(Bell.beeps.empty());
        ExpectFlashed();
        ExpectRestored();
    }
    // A tone that fails at once still leaves the flash up for the duration.
    BeepWorks = FALSE;
    Bell = BellRecord{};
    EXPECT_EQ(Run(L"VBEEP", L"18 440"), 0);
    ASSERT_EQ(Bell.beeps.size(), 1u);
    EXPECT_EQ(Bell.beeps[0], std::make_pair(DWORD(440), DWORD(1000)));
    EXPECT_EQ(Bell.sleeps, std::vector<DWORD>{1000});
    ExpectFlashed();
    ExpectRestored();
}

TEST_F(VbeepTest, ToneOrHostSoundDuringTheFlash) {
    Paint();
    EXPECT_EQ(Run(L"VBEEP", L"18 440"), 0);
    ASSERT_EQ(Bell.beeps.size(), 1u);
    EXPECT_EQ(Bell.beeps[0], std::make_pair(DWORD(440), DWORD(1000)));
    EXPECT_TRUE(Bell.sleeps.empty()) << "the tone is the wait";
    ExpectFlashed();
    ExpectRestored();

    for (const auto& [line, tone] : std::vector<std::pair<std::wstring, std::pair<DWORD, DWORD>>>{
             {L"0 880", {880, 250}}, {L"+18 660", {660, 1000}}}) {
        Bell = BellRecord{};
        EXPECT_EQ(Run(L"VBEEP", line), 0);
        ASSERT_EQ(Bell.beeps.size(), 1u) << line;
        EXPECT_EQ(Bell.beeps[0], tone);
    }

    Bell = BellRecord{};
    EXPECT_EQ(Run(L"VBEEP", L"9 asterisk"), 0);
    ASSERT_EQ(StandIn_CommandCount(), 1);
    EXPECT_STREQ(StandIn_CommandLine(0), L"BEEP asterisk");
    EXPECT_EQ(Bell.sleeps, std::vector<DWORD>{500});
    ExpectFlashed();
    ExpectRestored();

    // A word far longer than any fixed buffer reaches the host whole.
    const std::wstring word(600, L'w');
    EXPECT_EQ(Run(L"VBEEP", L"1 " + word), 0);
    ASSERT_EQ(StandIn_CommandCount(), 2);
    EXPECT_EQ(std::wstring(StandIn_CommandLine(1)), L"BEEP " + word);
    ExpectRestored();

    StandIn_ClearOutput();
    Bell = BellRecord{};
    EXPECT_EQ(Run(L"VBEEP", L"5 /?"), 0);
    EXPECT_EQ(Out(), L"VBEEP [duration [frequency | system_sound]] (see BEEP)\r\n");
    EXPECT_TRUE(Bell.sleeps.empty());
}

TEST_F(VbeepTest, OnlyTheVisibleRowsOfATallBufferFlash) {
    const auto info = tconsole::Info();
    const SHORT width = info.dwSize.X, rows = SHORT(info.srWindow.Bottom - info.srWindow.Top + 1);
    tconsole::SetBufferAndWindow(SHORT(width + 20), 400, width, rows);
    SMALL_RECT view{0, 200, SHORT(width - 1), SHORT(200 + rows - 1)};
    ASSERT_TRUE(SetConsoleWindowInfo(tconsole::Out(), TRUE, &view));
    ASSERT_EQ(tconsole::Window().Top, 200);
    tconsole::Fill(L'x', 0x1E);
    Paint();
    ASSERT_EQ(WatchCells, DWORD(rows) * DWORD(width + 20)) << "the full buffer width, not the window's";

    EXPECT_EQ(Run(L"VBEEP"), 0);
    ExpectFlashed();
    ExpectRestored();
    // The rows just outside the window never changed.
    const auto above = tconsole::ReadAttributes(0, 199, DWORD(width + 20));
    const auto below = tconsole::ReadAttributes(0, SHORT(200 + rows), DWORD(width + 20));
    for (WORD a : above) EXPECT_EQ(a, 0x1E);
    for (WORD a : below) EXPECT_EQ(a, 0x1E);
    EXPECT_EQ(tconsole::ReadText(0, 200, 5), L"xxxxx") << "characters are never touched";
}

TEST_F(VbeepTest, WithoutMemoryForTheSavedCellsNothingFlashes) {
    Paint();
    StandIn_FailAllocationAt(1);
    EXPECT_EQ(Run(L"VBEEP", L"18"), 0);
    StandIn_FailAllocationAt(0);
    EXPECT_TRUE(Bell.sleeps.empty());
    EXPECT_TRUE(Bell.beeps.empty());
    ExpectRestored();
    EXPECT_EQ(StandIn_LiveBlocks(), 0);
}

}  // namespace
