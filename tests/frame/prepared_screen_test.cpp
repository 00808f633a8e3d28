// Help after F1: shown on a screen of its own, a key awaited, the user's screen put back. The flag
// is not exported, so these tests drive the plug-in's code linked into this program.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/entry.h"
#include "support/console_types.h"
#include "support/import_patch.h"
#include "support/plugin_state.h"
#include "support/plugin_test.h"

namespace {

const std::wstring kPause = L"PAUSE ^r^nPress any key to continue ";

std::vector<CHAR_INFO> ReadCells(HANDLE out, SMALL_RECT region) {
    const SHORT w = SHORT(region.Right - region.Left + 1), h = SHORT(region.Bottom - region.Top + 1);
    std::vector<CHAR_INFO> cells(size_t(w) * size_t(h));
    ReadConsoleOutputW(out, cells.data(), COORD{w, h}, COORD{0, 0}, &region);
    return cells;
}

bool SameCells(const std::vector<CHAR_INFO>& a, const std::vector<CHAR_INFO>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Char.UnicodeChar != b[i].Char.UnicodeChar || a[i].Attributes != b[i].Attributes) return false;
    return true;
}

std::wstring TextOf(const std::vector<CHAR_INFO>& cells, size_t from, size_t count) {
    std::wstring text;
    for (size_t i = from; i < from + count && i < cells.size(); ++i) text += cells[i].Char.UnicodeChar;
    return text;
}

// What the screen and the host's records looked like when the plug-in ran PAUSE.
struct AtPause {
    int calls = 0;
    int expansions = 0;
    std::vector<CHAR_INFO> cells;  // the whole buffer then on standard output
    COORD size{};
} atPause;
int (*realCommand)(wchar_t*, int) = nullptr;

int RecordingCommand(wchar_t* line, int flag) {
    ++atPause.calls;
    atPause.expansions = StandIn_ExpansionCount();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    GetConsoleScreenBufferInfo(out, &info);
    atPause.size = info.dwSize;
    atPause.cells = ReadCells(out, SMALL_RECT{0, 0, SHORT(info.dwSize.X - 1), SHORT(info.dwSize.Y - 1)});
    return realCommand(line, flag);
}

class PreparedScreenTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        StandIn_SetEcho(1);  // the help must reach the console
        ::GetPluginInfo();  // this copy's name list
        helpKey_.emplace(&zarnith::PluginState::helpKey, true);
        atPause = AtPause{};
        // Width kept, rows shrunk: Wine's console host dislikes growing and shrinking in quick turns.
        tconsole::SetBufferAndWindow(80, 60, 60, 20);
        SMALL_RECT window{10, 20, 69, 39};
        SetConsoleWindowInfo(tconsole::Out(), TRUE, &window);
        std::vector<CHAR_INFO> pattern(80 * 60);
        for (size_t i = 0; i < pattern.size(); ++i) {
            pattern[i].Char.UnicodeChar = wchar_t(L'!' + i % 90);
            pattern[i].Attributes = WORD(i % 7 + 1);
        }
        SMALL_RECT all{0, 0, 79, 59};
        WriteConsoleOutputW(tconsole::Out(), pattern.data(), COORD{80, 60}, COORD{0, 0}, &all);
        tconsole::SetCursor(33, 27);
        before_ = ReadCells(tconsole::Out(), all);
        tconsole::FlushInput();
        tconsole::TypeKeys(L"x");  // answers PAUSE
    }
    void TearDown() override {
        helpKey_.reset();
        tconsole::FlushInput();
        SetStdHandle(STD_OUTPUT_HANDLE, tconsole::Out());
        SetConsoleActiveScreenBuffer(tconsole::Out());
        PluginTest::TearDown();
    }

    int Conhelp(const wchar_t* name) {
        ImportPatch patch(GetModuleHandleW(nullptr), "TakeCmd.dll", "Command", reinterpret_cast<void*>(RecordingCommand));
        EXPECT_TRUE(patch.Applied());
        realCommand = patch.OriginalAs<int(wchar_t*, int)>();
        std::wstring line = name;
        return ::CONHELP(line.data());
    }

    bool ScreenAsBefore() const { return SameCells(ReadCells(tconsole::Out(), SMALL_RECT{0, 0, 79, 59}), before_); }

    std::vector<CHAR_INFO> before_;
    std::optional<StateOverride<bool>> helpKey_;
};

TEST_F(PreparedScreenTest, TabBlanksTheWindowAndPutsEveryCellBack) {
    StandIn_SetVariable(L"_TCTAB", L"1");
    const CONSOLE_SCREEN_BUFFER_INFO info = tconsole::Info();
    EXPECT_EQ(Conhelp(L"_bufrows"), 0);

    ASSERT_EQ(atPause.calls, 1);
    EXPECT_EQ(StandIn_CommandLine(0), kPause);
    // The window's rows (20-39), whole width, blank in the current colours but for the help on
    // the first; the rows around them untouched.
    const auto& shown = atPause.cells;
    ASSERT_EQ(shown.size(), before_.size());
    EXPECT_EQ(TextOf(shown, 20 * 80, 18), L"screen buffer rows");
    size_t foreign = 0, changedOutside = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        const size_t row = i / 80;
        if (row < 20 || row > 39) {
            changedOutside += !SameCells({shown[i]}, {before_[i]});
        } else if (i >= 20 * 80 + 18) {
            foreign += shown[i].Char.UnicodeChar != L' ' || shown[i].Attributes != info.wAttributes;
        }
    }
    EXPECT_EQ(foreign, 0u);
    EXPECT_EQ(changedOutside, 0u);

    EXPECT_TRUE(ScreenAsBefore());
    EXPECT_EQ(tconsole::Window(), (SMALL_RECT{10, 20, 69, 39}));
    EXPECT_EQ(tconsole::Cursor(), (COORD{33, 27}));
    EXPECT_EQ(StandIn_LiveBlocks(), 0);
    for (int i = 0; i < StandIn_ExpansionCount(); ++i)
        EXPECT_EQ(std::wstring(StandIn_Expansion(i)).rfind(L"%@CONSOLEB", 0), std::wstring::npos);
}

TEST_F(PreparedScreenTest, TabWithoutMemoryLeavesTheScreenUnblanked) {
    StandIn_SetVariable(L"_TCTAB", L"1");
    // 2: saved but no room for the blanks (put back all the same); 1: no room to save at all.
    const std::vector<CHAR_INFO> lastRow(before_.begin() + 39 * 80, before_.begin() + 40 * 80);
    for (int failAt : {2, 1}) {
        SCOPED_TRACE(failAt);
        atPause = AtPause{};
        tconsole::TypeKeys(L"x");
        StandIn_FailAllocationAt(failAt);
        EXPECT_EQ(Conhelp(L"cursor"), 0);
        StandIn_FailAllocationAt(0);
        ASSERT_EQ(atPause.calls, 1);
        // The window's last row is far below the cursor: the help cannot have reached it.
        ASSERT_EQ(atPause.cells.size(), before_.size());
        EXPECT_TRUE(SameCells({atPause.cells.begin() + 39 * 80, atPause.cells.begin() + 40 * 80}, lastRow));
        EXPECT_EQ(TextOf(atPause.cells, 27 * 80 + 33, 15), L"CURSOR OFF | ON");
        if (failAt == 2) {
            EXPECT_TRUE(ScreenAsBefore());
        }
        EXPECT_EQ(StandIn_LiveBlocks(), 0);
    }
}

TEST_F(PreparedScreenTest, OutsideATabTheHostSwitchesScreenBuffers) {
    HANDLE original = GetStdHandle(STD_OUTPUT_HANDLE);
    const std::wstring originalId = std::to_wstring(uintptr_t(original));
    EXPECT_EQ(Conhelp(L"_bufrows"), 0);

    std::vector<std::wstring> host;  // the expansions that are host functions, in order
    int beforePause = 0;
    for (int i = 0; i < StandIn_ExpansionCount(); ++i) {
        const std::wstring text = StandIn_Expansion(i);
        if (text.rfind(L"%@", 0) != 0) continue;
        host.push_back(text);
        if (i < atPause.expansions) ++beforePause;
    }
    ASSERT_EQ(host.size(), 4u);
    EXPECT_EQ(host[0], L"%@CONSOLEB[-1]");
    EXPECT_EQ(host[1], L"%@CONSOLEB[0]");
    EXPECT_EQ(host[2], L"%@CONSOLEB[" + originalId + L"]");
    EXPECT_EQ(host[3].rfind(L"%@FILECLOSE[", 0), 0u);
    EXPECT_NE(host[3], L"%@FILECLOSE[" + originalId + L"]");
    EXPECT_NE(host[3], L"%@FILECLOSE[]");
    EXPECT_EQ(beforePause, 2) << "PAUSE runs between the switch and the return";
    ASSERT_EQ(StandIn_CommandCount(), 1);
    EXPECT_EQ(StandIn_CommandLine(0), kPause);

    // The help went to the new buffer, at its top-left; the user's buffer is back, untouched.
    EXPECT_EQ(TextOf(atPause.cells, 0, 18), L"screen buffer rows");
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), original);
    HANDLE active = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(SameCells(ReadCells(active, SMALL_RECT{0, 0, 79, 59}), before_)) << "the user's buffer is active again";
    CloseHandle(active);
}

TEST_F(PreparedScreenTest, WithoutTheFlagNothingIsPrepared) {
    const StateOverride noFlag(&zarnith::PluginState::helpKey, false);
    tconsole::FlushInput();
    StandIn_ClearOutput();
    EXPECT_EQ(Conhelp(L"_bufrows"), 0);
    EXPECT_EQ(atPause.calls, 0);
    EXPECT_EQ(StandIn_ExpansionCount(), 0);
    EXPECT_EQ(Out(), L"screen buffer rows\r\n");
}

}  // namespace
