// SCROLL's messages and GOTOXY's cursor placement and return.
#include <gtest/gtest.h>

#include <string>
#include <memory>
#include <vector>

#include "geometry/scrolling.h"
#include "support/console_types.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

namespace {

struct Sent {
    HWND window;
    UINT message;
    WPARAM code;
    LPARAM l;
};
std::vector<Sent> sent;
LRESULT WINAPI RecordMessage(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    sent.push_back({w, m, wp, lp});
    return 0;
}

BOOL WINAPI FailScreenBufferInfo(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO) { return FALSE; }

class ScrollTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        sent.clear();
        patch_ = std::make_unique<ImportPatch>(Plugin().Module(), "user32.dll", "SendMessageW", (void*)RecordMessage);
        ASSERT_TRUE(patch_->Applied());
    }
    void TearDown() override {
        patch_.reset();
        PluginTest::TearDown();
    }
    // Runs SCROLL and expects `count` copies of one message to the console window.
    void ExpectScroll(const wchar_t* line, UINT message, WPARAM code, size_t count) {
        sent.clear();
        EXPECT_EQ(Run(L"SCROLL", line), 0);
        ASSERT_EQ(sent.size(), count) << "SCROLL " << std::string(line, line + wcslen(line));
        for (const Sent& s : sent) {
            EXPECT_EQ(s.window, GetConsoleWindow());
            EXPECT_EQ(s.message, message);
            EXPECT_EQ(s.code, code);
            EXPECT_EQ(s.l, 0);
        }
    }
    std::unique_ptr<ImportPatch> patch_;
};

TEST_F(ScrollTest, AxisActionAndCountSelectTheMessages) {
    ExpectScroll(L"", WM_VSCROLL, SB_LINEDOWN, 1);
    ExpectScroll(L"V + 5", WM_VSCROLL, SB_LINEDOWN, 5);
    ExpectScroll(L"V+3", WM_VSCROLL, SB_LINEDOWN, 3);
    ExpectScroll(L"V 5", WM_VSCROLL, SB_LINEDOWN, 1);  // "5" is the action, the count is missing
    ExpectScroll(L"-", WM_VSCROLL, SB_LINEDOWN, 1);    // the first character is always the axis
    ExpectScroll(L"v - 2", WM_VSCROLL, SB_LINEUP, 2);
    ExpectScroll(L"V H", WM_VSCROLL, SB_TOP, 1);
    ExpectScroll(L"V E", WM_VSCROLL, SB_BOTTOM, 1);
    ExpectScroll(L"V P", WM_VSCROLL, SB_PAGEUP, 1);
    ExpectScroll(L"V N 0", WM_VSCROLL, SB_PAGEDOWN, 1);
    ExpectScroll(L"h", WM_HSCROLL, SB_LINERIGHT, 1);
    ExpectScroll(L"H -", WM_HSCROLL, SB_LINELEFT, 1);
    ExpectScroll(L"h h", WM_HSCROLL, SB_LEFT, 1);
    ExpectScroll(L"h e", WM_HSCROLL, SB_RIGHT, 1);
    ExpectScroll(L"H P 3", WM_HSCROLL, SB_PAGELEFT, 3);
    ExpectScroll(L"H N 2", WM_HSCROLL, SB_PAGERIGHT, 2);
}

TEST_F(ScrollTest, AQuestionMarkAnywherePrintsOnlyTheHelp) {
    for (const wchar_t* line : {L"/?", L"V + 5?", L"?"}) {
        StandIn_ClearOutput();
        ExpectScroll(line, 0, 0, 0);
        EXPECT_EQ(Out(), L"SCROLL [V|H [+|-|H(ome)|E(nd)|P(rev)|N(ext) [nn]]]  default: v+1\r\n");
    }
}

TEST_F(ScrollTest, RepeatsStopAtTheBuffersExtent) {
    tconsole::SetBufferAndWindow(90, 160, 80, 25);
    ExpectScroll(L"V + 4000000000", WM_VSCROLL, SB_LINEDOWN, 160);
    ExpectScroll(L"H N 100000", WM_HSCROLL, SB_PAGERIGHT, 90);
    ImportPatch unreadable(Plugin().Module(), "kernel32.dll", "GetConsoleScreenBufferInfo", (void*)FailScreenBufferInfo);
    sent.clear();
    EXPECT_EQ(Run(L"SCROLL", L"V + 4000000000"), 0);
    EXPECT_EQ(sent.size(), zarnith::kMaxScrollRepeat);
}

class GotoxyTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(80, 150, 80, 25);
    }
    void ExpectCursor(SHORT x, SHORT y) { EXPECT_EQ(tconsole::Cursor(), (COORD{x, y})); }
};

TEST_F(GotoxyTest, ReturnGoesBackAndForth) {
    tconsole::SetCursor(3, 2);
    const SMALL_RECT start = tconsole::Window();
    EXPECT_EQ(Run(L"GOTOXY", L"10 120"), 0);
    ExpectCursor(10, 120);
    const SMALL_RECT away = tconsole::Window();
    EXPECT_LE(away.Top, 120);  // the view followed the cursor
    EXPECT_GE(away.Bottom, 120);

    EXPECT_EQ(Run(L"GOTOXY", L"/R"), 0);
    ExpectCursor(3, 2);
    EXPECT_EQ(tconsole::Window().Top, start.Top);
    EXPECT_EQ(Run(L"GOTOXY", L"/return"), 0);  // any R is a return once something is saved
    ExpectCursor(10, 120);
    EXPECT_EQ(tconsole::Window().Top, away.Top);
    EXPECT_TRUE(Out().empty());
}

TEST_F(GotoxyTest, FewerThanTwoNumbersDoNotMoveTheCursor) {
    tconsole::SetCursor(7, 8);
    for (const wchar_t* line : {L"", L"5", L"x y"}) {
        EXPECT_EQ(Run(L"GOTOXY", line), 0);
        ExpectCursor(7, 8);
    }
    EXPECT_EQ(Run(L"GOTOXY", L"0 0"), 0);
    ExpectCursor(0, 0);
    EXPECT_EQ(tconsole::Window().Top, 0);
}

TEST_F(GotoxyTest, HelpSavesNothing) {
    tconsole::SetCursor(4, 4);
    EXPECT_EQ(Run(L"GOTOXY", L"1 1"), 0);  // saves (4, 4)
    EXPECT_EQ(Run(L"GOTOXY", L"/?"), 0);
    EXPECT_EQ(Out(), L"GOTOXY < X Y > | /R(eturn) (cursor position, screen buffer coordinates)\r\n");
    EXPECT_EQ(Run(L"GOTOXY", L"/R"), 0);
    ExpectCursor(4, 4);
}

TEST_F(GotoxyTest, AnUnreadableRecordSavesNothing) {
    tconsole::SetCursor(4, 4);
    EXPECT_EQ(Run(L"GOTOXY", L"6 6"), 0);  // saves (4, 4)
    {
        ImportPatch unreadable(Plugin().Module(), "kernel32.dll", "GetConsoleScreenBufferInfo",
                               (void*)FailScreenBufferInfo);
        ASSERT_TRUE(unreadable.Applied());
        EXPECT_EQ(Run(L"GOTOXY", L"9 9"), 0);
        ExpectCursor(9, 9);
    }
    EXPECT_EQ(Run(L"GOTOXY", L"/R"), 0);
    ExpectCursor(4, 4);
}

}  // namespace
