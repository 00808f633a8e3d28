// The key handler: the decision for every kind of key, and what the DLL does on a real console.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <vector>

#include "frame/entry.h"
#include "keys/key_handler.h"
#include "support/import_patch.h"
#include "support/plugin_state.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

constexpr uint8_t kDefaultActions[5] = {0, 0, 6, 2, 1};

KeyContext Context(bool scrollLock = false, bool altDown = false, bool inTab = false,
                   const uint8_t* actions = kDefaultActions) {
    KeyContext c;
    c.scrollLock = scrollLock;
    c.altDown = altDown;
    c.inTakeCommandTab = inTab;
    c.actions = actions;
    return c;
}

using Step = KeyStep;
using Help = HelpFlagChange;

struct KeyRow {
    const wchar_t* name;  // as TCC 24 and later hands it (any letter case)
    int32_t code;         // as an older TCC hands it (0: no code of its own)
    bool alt;             // Alt held down with the code; a name carries it itself
    bool scrollLock;
    Step step;
    Help help;
    uint16_t scroll = 0;  // Scroll: the WM_HSCROLL code, sent once
    int vscrolls = 0;     // WM_VSCROLL messages sent
};

// Codes from the key table of the handler's documentation; KeyActions at their default 00621.
const KeyRow kKeyRows[] = {
    {L"F1", 0x1003B, false, false, Step::Pass, Help::Set},
    {L"ctrl-f1", 0x1005E, false, false, Step::Pass, Help::Set},
    {L"Left", 0x1004B, false, false, Step::Pass, Help::Keep},
    {L"RIGHT", 0x1004D, false, false, Step::Pass, Help::Keep},
    {L"Del", 0x10053, false, false, Step::Pass, Help::Keep},
    // The window and line keys ignore Scroll Lock.
    {L"Ctrl-Del", 0x10093, false, false, Step::ClearLine, Help::Clear},
    {L"Ctrl-Del", 0x10093, false, true, Step::ClearLine, Help::Clear},
    {L"Ctrl-Up", 0x1008D, false, false, Step::ShrinkWindow, Help::Clear, 0, 1},
    {L"Ctrl-Up", 0x1008D, false, true, Step::ShrinkWindow, Help::Clear, 0, 1},
    {L"ctrl-down", 0x10091, false, true, Step::GrowWindow, Help::Clear},
    {L"Ctrl-Down", 0x10091, false, false, Step::GrowWindow, Help::Clear},
    {L"Ctrl-Left", 0x10073, false, false, Step::Pass, Help::Clear},
    {L"Ctrl-Right", 0x10074, false, false, Step::Pass, Help::Clear},
    // Cycling runs, finds no other console (the enumeration is stubbed) and leaves the key to TCC.
    {L"Alt-Left", 0x100F4, false, false, Step::CycleBack, Help::Clear},
    {L"ALT-RIGHT", 0x100F6, false, false, Step::CycleForward, Help::Clear},
    {L"Ctrl-Alt-Left", 0x10073, true, false, Step::Pass, Help::Clear},
    {L"Ctrl-Alt-Right", 0x10074, true, false, Step::Pass, Help::Clear},
    // Scroll Lock on: sideways instead of cycling.
    {L"Alt-Left", 0x100F4, false, true, Step::Scroll, Help::Clear, SB_LINELEFT},
    {L"Alt-Right", 0x100F6, false, true, Step::Scroll, Help::Clear, SB_LINERIGHT},
    {L"Alt-Left", 0x100F4, true, true, Step::Scroll, Help::Clear, SB_LINELEFT},
    {L"Alt-Right", 0x100F6, true, true, Step::Scroll, Help::Clear, SB_LINERIGHT},
    {L"Ctrl-Alt-Left", 0x10073, true, true, Step::Scroll, Help::Clear, SB_LEFT},
    {L"Ctrl-Alt-Right", 0x10074, true, true, Step::Scroll, Help::Clear, SB_PAGERIGHT},
    {L"Ctrl-Left", 0x10073, false, true, Step::Pass, Help::Clear},
    {L"Ctrl-Right", 0x10074, false, true, Step::Pass, Help::Clear},
    // Keys without a binding pass, and end a help request like any special key.
    {L"F2", 0x1003C, false, false, Step::Pass, Help::Clear},
    {L"Up", 0x10048, true, true, Step::Pass, Help::Clear},
    {L"Shift-F1", 0, false, false, Step::Pass, Help::Clear},
    {L"CtrlUp", 0, false, false, Step::Pass, Help::Clear},
    {L"Alt-Right2", 0, false, false, Step::Pass, Help::Clear},
};

// The decision alone for each key of the table, and again inside a Take Command tab, where every
// key passes whatever Scroll Lock and Alt say (the help flag still moves), and in a maximised or
// full-screen frame, which never grows or shrinks (conhost's window.cpp, _InternalSetWindowSize):
// Ctrl-Up/Down go on to the host, the other keys keep their work.
TEST(PlanKey, EveryKeyOfTheTableInATabAndInAFixedFrame) {
    for (const KeyRow& row : kKeyRows) {
        if (row.code == 0) continue;
        KeyContext fixed = Context(row.scrollLock, row.alt);
        fixed.frameFixed = true;
        const bool resizes = row.step == Step::GrowWindow || row.step == Step::ShrinkWindow;
        const std::pair<KeyContext, Step> cases[] = {
            {Context(row.scrollLock, row.alt), row.step},
            {Context(row.scrollLock, row.alt, true), Step::Pass},
            {Context(true, true, true), Step::Pass},
            {fixed, resizes ? Step::Pass : row.step},
        };
        for (const auto& [context, step] : cases) {
            SCOPED_TRACE(testing::Message() << row.name << (context.inTakeCommandTab ? " in a tab" : "")
                                            << (context.frameFixed ? " in a fixed frame" : ""));
            const KeyPlan plan = PlanKey(row.code, context);
            EXPECT_EQ(plan.step, step);
            EXPECT_EQ(plan.help, row.help);
            EXPECT_EQ(plan.scrollCode, step == Step::Scroll ? row.scroll : 0);
            EXPECT_EQ(plan.repeat, step == Step::Scroll ? 1u : 0u);
        }
    }
}

// Whatever the flags say (the editing keys Left, Right and Del are rows of the table).
TEST(PlanKey, CharactersAreNeverTouched) {
    for (int32_t code : {int32_t('a'), 0, 0xFFFF, -5, INT_MIN}) {
        for (bool flag : {false, true}) {
            const KeyPlan plan = PlanKey(code, Context(flag, flag, flag));
            EXPECT_EQ(plan.help, HelpFlagChange::Keep) << std::hex << code;
            EXPECT_EQ(plan.step, KeyStep::Pass) << std::hex << code;
        }
    }
}

TEST(PlanKey, OnlyOneColumnCodesTakeTheRepeatCount) {
    const uint8_t actions[5] = {2, 0, 0, 6, 5};
    EXPECT_EQ(PlanKey(key::AltLeft, Context(true, false, false, actions)).repeat, 1u);   // page left
    EXPECT_EQ(PlanKey(key::AltRight, Context(true, false, false, actions)).repeat, 5u);  // line right
    EXPECT_EQ(PlanKey(key::CtrlLeft, Context(true, true, false, actions)).repeat, 5u);   // line left
    EXPECT_EQ(PlanKey(key::CtrlRight, Context(true, true, false, actions)).scrollCode, SB_RIGHT);

    const uint8_t none[5] = {0, 0, 6, 2, 0};
    const KeyPlan silent = PlanKey(key::AltRight, Context(true, false, false, none));
    EXPECT_EQ(silent.step, KeyStep::Scroll);  // still consumed
    EXPECT_EQ(silent.repeat, 0u);

    const uint8_t wide[5] = {0, 255, 6, 2, 1};  // a base of 255 + 1 does not wrap to 0
    EXPECT_EQ(PlanKey(key::AltRight, Context(true, false, false, wide)).scrollCode, 256);
}

TEST(PlanLineClear, BlanksTheLineAndTheRowAboveIt) {
    struct Case {
        int32_t start, cursor, rows;
        int32_t first;
        uint32_t count;
        int32_t after;
    };
    const Case cases[] = {
        {10, 10, 150, 9, 2, 8},
        {10, 12, 150, 9, 4, 8},
        {0, 5, 150, 0, 7, 0},
        {1, 1, 150, 0, 2, 0},
        {2, 2, 150, 1, 2, 0},
        {149, 149, 150, 148, 2, 147},
        {150, 150, 150, 149, 1, 148},          // the row below the buffer does not exist
        {200, 200, 150, 199, 0, 198},          // nothing left to blank
        {10, 9, 150, 9, 1, 8},                 // cursor one row above the start: the row above only
        {10, 8, 150, 9, 0, 8},                 // cursor further up: nothing, never a negative count
        {10, 10, 0, 9, 0, 8},                  // unknown buffer
        {INT_MIN, INT_MAX, 150, 0, 150, 0},    // no overflow either way
        {INT_MAX, INT_MIN, 150, INT_MAX - 1, 0, INT_MAX - 2},
    };
    for (const Case& c : cases) {
        const LineClearPlan plan = PlanLineClear(c.start, c.cursor, c.rows);
        SCOPED_TRACE(testing::Message() << "start " << c.start << " cursor " << c.cursor);
        EXPECT_EQ(plan.firstRow, c.first);
        EXPECT_EQ(plan.rowCount, c.count);
        EXPECT_EQ(plan.newRow, c.after);
    }
}

// Records the scroll messages and foreground changes the DLL asks for.
struct Sent {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Sent> sent;
int enumerations = 0;
bool scrollLockOn = false;
bool altDown = false;

LRESULT WINAPI RecordSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    sent.push_back({window, message, wParam, lParam});
    return 0;
}
SHORT WINAPI FakeKeyState(int vk) { return vk == VK_SCROLL && scrollLockOn ? 1 : 0; }
SHORT WINAPI FakeAsyncKeyState(int vk) { return vk == VK_MENU && altDown ? SHORT(0x8000) : 0; }
BOOL WINAPI CountEnumWindows(WNDENUMPROC, LPARAM) {
    ++enumerations;
    return TRUE;
}

class KeyHandlerTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        sent.clear();
        enumerations = 0;
        scrollLockOn = altDown = false;
        tconsole::SetBufferAndWindow(80, 100, 80, 25);
        tconsole::Fill(L'x', 0x1E);
        SetConsoleTextAttribute(tconsole::Out(), 0x2F);
    }

    HostKeyRecord Press(int32_t code, int32_t startRow = 0, int32_t cursorRow = 0) {
        HostKeyRecord record{};
        record.Key = code;
        record.StartRow = startRow;
        record.CursorRow = cursorRow;
        record.StartColumn = 3;
        record.CursorColumn = 7;
        record.Reserved = 0x5A5A;
        record.Line = line_;
        record.LinePosition = line_ + 4;
        EXPECT_EQ(Plugin().Key(record), 0);
        return record;
    }
    int WindowRows() {
        const SMALL_RECT w = tconsole::Window();
        return w.Bottom - w.Top + 1;
    }
    HMODULE Module() { return Plugin().Module(); }

    // The scroll and cycle fakes, in the DLL and in the copy linked into this program (whose
    // state the tests can set: which kind of host hands the keys).
    struct Fakes {
        explicit Fakes(HMODULE module)
            : send{module, "user32.dll", "SendMessageW", reinterpret_cast<void*>(RecordSend)},
              keyState{module, "user32.dll", "GetKeyState", reinterpret_cast<void*>(FakeKeyState)},
              asyncKeyState{module, "user32.dll", "GetAsyncKeyState", reinterpret_cast<void*>(FakeAsyncKeyState)},
              enumWindows{module, "user32.dll", "EnumWindows", reinterpret_cast<void*>(CountEnumWindows)} {}
        ImportPatch send, keyState, asyncKeyState, enumWindows;
    };

    wchar_t line_[32] = L"dir /s *.txt";
    Fakes plugin_{Plugin().Module()};
    Fakes linked_{GetModuleHandleW(nullptr)};
};

// Counts what a pass-through key must never cost.
int consoleCalls = 0;
decltype(&GetConsoleScreenBufferInfo) realQuery = nullptr;
BOOL WINAPI CountedQuery(HANDLE h, PCONSOLE_SCREEN_BUFFER_INFO info) {
    ++consoleCalls;
    return realQuery(h, info);
}
HANDLE WINAPI CountedStdHandle(DWORD which) {
    ++consoleCalls;
    return GetStdHandle(which);
}
int WINAPI CountedExpand(wchar_t* text, int flag) {
    ++consoleCalls;
    return ExpandVariables(text, flag);
}

TEST_F(KeyHandlerTest, PassThroughKeysCostNothingAndChangeNothing) {
    ImportPatch query(Module(), "kernel32.dll", "GetConsoleScreenBufferInfo", reinterpret_cast<void*>(CountedQuery));
    realQuery = reinterpret_cast<decltype(realQuery)>(query.Original());
    ImportPatch stdHandle(Module(), "kernel32.dll", "GetStdHandle", reinterpret_cast<void*>(CountedStdHandle));
    ImportPatch expand(Module(), "TakeCmd.dll", "ExpandVariables", reinterpret_cast<void*>(CountedExpand));
    ASSERT_TRUE(query.Applied() && stdHandle.Applied() && expand.Applied());
    consoleCalls = 0;
    const int allocations = StandIn_AllocationCalls();
    scrollLockOn = true;
    for (int32_t code : {int32_t(L'a'), int32_t(L' '), key::Left, key::Right, key::Del}) {
        const HostKeyRecord r = Press(code, 10, 11);
        EXPECT_EQ(r.Key, code);
        EXPECT_EQ(r.StartRow, 10);
        EXPECT_EQ(r.CursorRow, 11);
        EXPECT_EQ(r.StartColumn, 3);
        EXPECT_EQ(r.CursorColumn, 7);
        EXPECT_EQ(r.LinePosition, line_ + 4);
    }
    EXPECT_STREQ(line_, L"dir /s *.txt");
    EXPECT_EQ(consoleCalls, 0);
    EXPECT_EQ(StandIn_AllocationCalls(), allocations);
    EXPECT_TRUE(sent.empty());
}

TEST_F(KeyHandlerTest, CtrlDelEmptiesTheLineAndBlanksItsRowsAndTheRowAbove) {
    const HostKeyRecord r = Press(key::CtrlDel, 10, 10);
    EXPECT_EQ(r.Key, 13);
    EXPECT_EQ(r.StartRow, 8);
    EXPECT_EQ(r.CursorRow, 8);
    EXPECT_EQ(r.StartColumn, 0);
    EXPECT_EQ(r.CursorColumn, 0);
    EXPECT_EQ(line_[0], L'\0');
    EXPECT_EQ(r.LinePosition, line_);
    EXPECT_EQ(r.Reserved, 0x5A5A);
    EXPECT_EQ(tconsole::ReadRow(8), std::wstring(80, L'x'));
    EXPECT_EQ(tconsole::ReadRow(9), std::wstring(80, L' '));
    EXPECT_EQ(tconsole::ReadRow(10), std::wstring(80, L' '));
    EXPECT_EQ(tconsole::ReadRow(11), std::wstring(80, L'x'));
    EXPECT_EQ(tconsole::ReadAttributes(0, 9, 80), std::vector<WORD>(80, 0x2F));  // current attribute
}

TEST_F(KeyHandlerTest, CtrlDelFromRowZeroBlanksDownToBelowTheCursor) {
    const HostKeyRecord r = Press(key::CtrlDel, 0, 3);
    EXPECT_EQ(r.StartRow, 0);
    EXPECT_EQ(r.CursorRow, 0);
    for (SHORT row = 0; row <= 4; ++row) EXPECT_EQ(tconsole::ReadRow(row), std::wstring(80, L' ')) << row;
    EXPECT_EQ(tconsole::ReadRow(5), std::wstring(80, L'x'));
}

TEST_F(KeyHandlerTest, CtrlDelWithTheCursorAboveTheLineBlanksNothingButStillClears) {
    const HostKeyRecord r = Press(key::CtrlDel, 20, 5);
    EXPECT_EQ(r.Key, 13);
    EXPECT_EQ(r.StartRow, 18);
    EXPECT_EQ(line_[0], L'\0');
    for (SHORT row = 0; row < 100; ++row) ASSERT_EQ(tconsole::ReadRow(row), std::wstring(80, L'x')) << row;
    // Rows past the buffer's end are not written either.
    Press(key::CtrlDel, 99, 30000);
    EXPECT_EQ(tconsole::ReadRow(97), std::wstring(80, L'x'));
    EXPECT_EQ(tconsole::ReadRow(98), std::wstring(80, L' '));
    EXPECT_EQ(tconsole::ReadRow(99), std::wstring(80, L' '));
}

TEST_F(KeyHandlerTest, CtrlDelMovesAScrolledWindowUpOneRow) {
    SMALL_RECT window{0, 30, 79, 54};
    ASSERT_TRUE(SetConsoleWindowInfo(tconsole::Out(), TRUE, &window));
    Press(key::CtrlDel, 40, 40);
    EXPECT_EQ(tconsole::Window().Top, 29);
    EXPECT_EQ(WindowRows(), 25);
}

TEST_F(KeyHandlerTest, CtrlUpAndCtrlDownChangeTheWindowByOneRow) {
    tconsole::SetCursor(0, 10);
    const int rows = WindowRows();
    EXPECT_EQ(Press(key::CtrlUp).Key, 0);
    EXPECT_EQ(WindowRows(), rows - 1);
    ASSERT_EQ(sent.size(), 1u);  // the cursor is below the top row: keep it in view
    EXPECT_EQ(sent[0].window, GetConsoleWindow());
    EXPECT_EQ(sent[0].message, UINT(WM_VSCROLL));
    EXPECT_EQ(sent[0].wParam, WPARAM(SB_LINEDOWN));
    EXPECT_EQ(sent[0].lParam, 0);
    EXPECT_EQ(Press(key::CtrlDown).Key, 0);
    EXPECT_EQ(Press(key::CtrlDown).Key, 0);
    EXPECT_EQ(WindowRows(), rows + 1);
    EXPECT_EQ(sent.size(), 1u);
}

BOOL WINAPI RefuseWindow(HANDLE, BOOL, const SMALL_RECT*) { return FALSE; }

TEST_F(KeyHandlerTest, CtrlUpScrollsOnlyWhenTheCursorWouldLeaveTheView) {
    tconsole::SetCursor(0, tconsole::Window().Top);
    const int rows = WindowRows();
    EXPECT_EQ(Press(key::CtrlUp).Key, 0);
    EXPECT_EQ(WindowRows(), rows - 1);
    EXPECT_TRUE(sent.empty());

    // A window that cannot shrink keeps its view, and the key is still consumed.
    tconsole::SetCursor(0, SHORT(tconsole::Window().Top + 5));
    ImportPatch refuse(Module(), "kernel32.dll", "SetConsoleWindowInfo", reinterpret_cast<void*>(RefuseWindow));
    ASSERT_TRUE(refuse.Applied());
    EXPECT_EQ(Press(key::CtrlUp).Key, 0);
    EXPECT_TRUE(sent.empty());
}

TEST_F(KeyHandlerTest, ScrollLockSendsTheConfiguredHorizontalScroll) {
    scrollLockOn = true;
    HostKeyRecord r = Press(key::AltRight);
    EXPECT_EQ(r.Key, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].message, UINT(WM_HSCROLL));
    EXPECT_EQ(sent[0].wParam, WPARAM(SB_LINERIGHT));
    EXPECT_EQ(sent[0].window, GetConsoleWindow());
    EXPECT_EQ(enumerations, 0);  // no cycling

    sent.clear();
    altDown = true;
    EXPECT_EQ(Press(key::CtrlLeft).Key, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wParam, WPARAM(SB_LEFT));

    sent.clear();
    altDown = false;
    EXPECT_EQ(Press(key::CtrlLeft).Key, key::CtrlLeft);
    EXPECT_TRUE(sent.empty());
}

TEST_F(KeyHandlerTest, ARepeatCountOfZeroSendsNothingButConsumesTheKey) {
    TempFile ini(L"keys.ini");
    std::ofstream(ini.Path().c_str()) << "[HSCROLL]\nKeyActions=00620\n";
    StandIn_SetVariable(L"_ININAME", ini.Path().c_str());
    ASSERT_EQ(Entry<int()>("InitializePlugin")(), 0);
    scrollLockOn = true;
    EXPECT_EQ(Press(key::AltLeft).Key, 0);
    EXPECT_TRUE(sent.empty());
    StandIn_SetVariable(L"_ININAME", nullptr);
    ASSERT_EQ(Entry<int()>("InitializePlugin")(), 0);
    EXPECT_EQ(Press(key::AltLeft).Key, 0);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(KeyHandlerTest, WithoutScrollLockAltArrowsCycleAndCtrlAltArrowsPass) {
    altDown = true;
    EXPECT_EQ(Press(key::CtrlLeft).Key, key::CtrlLeft);
    // Cycling finds no console here (the enumeration is stubbed): the keys go on to the host.
    EXPECT_EQ(Press(key::AltRight).Key, key::AltRight);
    EXPECT_EQ(Press(key::AltLeft).Key, key::AltLeft);
    EXPECT_EQ(enumerations, 2);
    EXPECT_TRUE(sent.empty());
}

TEST_F(KeyHandlerTest, InsideATabEveryKeyPasses) {
    StandIn_SetVariable(L"_TCTAB", L"1");
    const int rows = WindowRows();
    for (int32_t code : {key::CtrlUp, key::CtrlDown, key::AltRight, key::CtrlDel}) {
        EXPECT_EQ(Press(code, 10, 10).Key, code);
    }
    EXPECT_EQ(WindowRows(), rows);
    EXPECT_EQ(tconsole::ReadRow(9), std::wstring(80, L'x'));
    EXPECT_EQ(enumerations, 0);
}

// The flag lives in the plug-in; the copy linked into this program shows how it moves.
TEST_F(KeyHandlerTest, HelpFlagFollowsTheLastExtendedKey) {
    StandIn_SetVariable(L"_TCTAB", L"1");  // keeps this copy's keys away from the console
    auto press = [](int32_t code) {
        KeyRecord record{};
        record.Key = code;
        KEYHANDLER(&record);
        return record.Key;
    };
    const StateOverride cleared(&PluginState::helpKey, false);
    EXPECT_EQ(press(key::F1), key::F1);
    EXPECT_TRUE(State().helpKey);
    for (int32_t code : {int32_t(L'h'), key::Left, key::Right, key::Del}) press(code);
    EXPECT_TRUE(State().helpKey);
    press(0x1003C);  // F2
    EXPECT_FALSE(State().helpKey);
    press(key::CtrlF1);
    EXPECT_TRUE(State().helpKey);
    press(key::CtrlUp);
    EXPECT_FALSE(State().helpKey);
    EXPECT_EQ(KEYHANDLER(nullptr), 0);
}

// A key record as the host hands it, and bytes after it that are not the host's: an older TCC's
// record ends after Redraw (offset 44), a current one's after the name pointer (offset 56).
struct HostRecordImage {
    HostKeyRecord record;
    unsigned char after[24];
};
constexpr unsigned char kGuard = 0xA5;
constexpr size_t kOlderRecordEnd = 44;

HostRecordImage GuardedImage(size_t recordEnd) {
    HostRecordImage image;
    std::memset(&image, kGuard, sizeof image);
    std::memset(&image, 0, recordEnd);
    return image;
}

void ExpectSameBytes(const HostRecordImage& actual, const HostRecordImage& expected) {
    const auto* a = reinterpret_cast<const unsigned char*>(&actual);
    const auto* e = reinterpret_cast<const unsigned char*>(&expected);
    for (size_t i = 0; i < sizeof actual; ++i) EXPECT_EQ(a[i], e[i]) << "byte " << i;
}

// The handler linked into this program, with the host kind set in its state.
void HandleInLinkedCopy(HostRecordImage& image) {
    EXPECT_EQ(KEYHANDLER(reinterpret_cast<KeyRecord*>(&image.record)), 0);
}

enum class HostKind { ByName, CodeToCurrentHost, OlderHost };

// Each key three ways: by name from a current TCC, as a code from a current TCC (codes act on
// any host, and then the name is not the handler's to touch), and as a code from an older TCC,
// whose record ends before the name field.
TEST_F(KeyHandlerTest, EveryKeyActsTheSameByNameAndByCode) {
    const StateOverride window(&PluginState::consoleWindow, GetConsoleWindow());
    for (HostKind kind : {HostKind::ByName, HostKind::CodeToCurrentHost, HostKind::OlderHost}) {
        const StateOverride names(&PluginState::keyNames, kind != HostKind::OlderHost);
        for (const KeyRow& row : kKeyRows) {
            if (kind != HostKind::ByName && row.code == 0) continue;
            SCOPED_TRACE(testing::Message() << "host kind " << int(kind) << ", key " << row.name);
            tconsole::SetBufferAndWindow(80, 100, 80, 25);
            tconsole::Fill(L'x', 0x1E);
            tconsole::SetCursor(0, 10);
            sent.clear();
            enumerations = 0;
            scrollLockOn = row.scrollLock;
            altDown = row.alt && kind != HostKind::ByName;
            const StateOverride help(&PluginState::helpKey, row.help != Help::Set);
            wchar_t line[] = L"dir /s *.txt";
            wchar_t name[20] = {};
            wcscpy(name, row.name);

            HostRecordImage image = GuardedImage(kind == HostKind::OlderHost ? kOlderRecordEnd : sizeof(HostKeyRecord));
            HostKeyRecord& r = image.record;
            r.Key = kind == HostKind::ByName ? 0 : row.code;
            r.StartRow = r.CursorRow = 10;
            r.StartColumn = 3;
            r.CursorColumn = 7;
            r.Line = line;
            r.LinePosition = line + 4;
            if (kind != HostKind::OlderHost) r.Name = name;
            HostRecordImage expected = image;
            HandleInLinkedCopy(image);

            const bool enter = row.step == Step::ClearLine;
            const bool taken = enter || row.step == Step::GrowWindow || row.step == Step::ShrinkWindow ||
                               row.step == Step::Scroll;
            HostKeyRecord& e = expected.record;
            if (taken) e.Key = 0;
            if (enter) {
                e.Key = 13;
                e.StartRow = e.CursorRow = 8;
                e.StartColumn = e.CursorColumn = 0;
                e.LinePosition = line;
            }
            ExpectSameBytes(image, expected);
            EXPECT_STREQ(line, enter ? L"" : L"dir /s *.txt");
            // A key the handler took loses its name's first character, and nothing else of it.
            const bool nameEmptied = kind == HostKind::ByName && taken;
            EXPECT_EQ(name[0], nameEmptied ? L'\0' : row.name[0]);
            EXPECT_STREQ(name + 1, row.name + 1);

            EXPECT_EQ(State().helpKey, row.help != Help::Clear);
            EXPECT_EQ(WindowRows(), 25 + (row.step == Step::GrowWindow) - (row.step == Step::ShrinkWindow));
            const auto count = [](UINT message) {
                return std::count_if(sent.begin(), sent.end(), [&](const Sent& m) { return m.message == message; });
            };
            EXPECT_EQ(count(WM_VSCROLL), row.vscrolls);
            EXPECT_EQ(count(WM_HSCROLL), row.step == Step::Scroll ? 1 : 0);
            if (row.step == Step::Scroll && !sent.empty()) {
                EXPECT_EQ(sent.back().wParam, WPARAM(row.scroll));
            }
            EXPECT_EQ(enumerations, row.step == Step::CycleBack || row.step == Step::CycleForward ? 1 : 0);
            const std::wstring blankOrNot(80, enter ? L' ' : L'x');
            EXPECT_EQ(tconsole::ReadRow(9), blankOrNot);
            EXPECT_EQ(tconsole::ReadRow(10), blankOrNot);
        }
    }
}

// Before each command line the host calls with every field 0: nothing to read, nothing to do.
TEST_F(KeyHandlerTest, TheAllZeroCallChangesNothingOnEitherHost) {
    const int rows = WindowRows();
    for (bool names : {true, false}) {
        const StateOverride protocol(&PluginState::keyNames, names);
        const StateOverride help(&PluginState::helpKey, true);
        HostRecordImage image = GuardedImage(names ? sizeof(HostKeyRecord) : kOlderRecordEnd);
        const HostRecordImage before = image;
        HandleInLinkedCopy(image);
        ExpectSameBytes(image, before);
        EXPECT_TRUE(State().helpKey);
    }
    EXPECT_EQ(WindowRows(), rows);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(enumerations, 0);
    EXPECT_EQ(Err(), L"");
}

}  // namespace
