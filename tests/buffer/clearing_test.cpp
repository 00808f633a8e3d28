// FCLS, CLUP and REPAINT on a real console.
#include <gtest/gtest.h>

#include "buffer/clearing.h"
#include "console/screen.h"
#include "support/console_types.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

class ClearingTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(40, 100, 40, 20);
        FillRows();
    }
    static void FillRows() {
        tconsole::Fill(L'x', 0x1E);
        for (SHORT r = 0; r < 100; ++r) tconsole::WriteText(0, r, L"row" + std::to_wstring(r));
    }
    static bool RowIsBlank(SHORT r) { return tconsole::ReadRow(r) == std::wstring(40, L' '); }
    static bool RowHasAttribute(SHORT r, WORD a) {
        return tconsole::ReadAttributes(0, r, 40) == std::vector<WORD>(40, a);
    }
    static void PlaceCursor(SHORT row, SHORT windowTop) {
        tconsole::SetCursor(3, row);
        SMALL_RECT w{0, windowTop, 39, SHORT(windowTop + 19)};
        SetConsoleWindowInfo(tconsole::Out(), TRUE, &w);
    }
};

TEST_F(ClearingTest, FclsBlanksEverythingInTheCurrentAttribute) {
    SetConsoleTextAttribute(tconsole::Out(), 0x2A);
    PlaceCursor(60, 50);
    EXPECT_EQ(Run(L"FCLS", L"ignored words"), 0);
    for (SHORT r : {0, 59, 60, 61, 99}) {
        EXPECT_TRUE(RowIsBlank(r)) << r;
        EXPECT_TRUE(RowHasAttribute(r, 0x2A)) << r;
    }
    EXPECT_EQ(tconsole::Cursor(), (COORD{0, 0}));
    EXPECT_EQ(tconsole::Window().Top, 0);
}

TEST_F(ClearingTest, ClupPlans) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    info.dwSize = {40, 100};
    info.srWindow = {0, 10, 39, 29};
    info.dwCursorPosition = {5, 20};
    ClupPlan p = PlanClup(info, 3);
    EXPECT_EQ(p.firstRow, 15);
    EXPECT_EQ(p.rowCount, 5u);
    EXPECT_EQ(p.cursorRow, 15);
    EXPECT_EQ(p.window.Top, 7);
    EXPECT_EQ(p.window.Bottom, 26);

    info.srWindow = {0, 2, 39, 21};  // the window stops at the top
    p = PlanClup(info, 3);
    EXPECT_EQ(p.window.Top, 0);
    EXPECT_EQ(p.window.Bottom, 19);

    info.dwCursorPosition.Y = 3;  // more rows asked than exist above the cursor
    p = PlanClup(info, 10);
    EXPECT_EQ(p.firstRow, 0);
    EXPECT_EQ(p.rowCount, 3u);
    EXPECT_EQ(p.cursorRow, 0);

    // Extreme counts never wrap a 16-bit row number into the buffer.
    info.dwCursorPosition.Y = 30000;
    info.srWindow = {0, 29990, 39, 30009};
    p = PlanClup(info, 2147483647LL);
    EXPECT_EQ(p.firstRow, 0);
    EXPECT_EQ(p.rowCount, 30000u);
    EXPECT_EQ(p.window.Top, 0);
    EXPECT_EQ(p.window.Bottom, 19);

    for (SHORT row : {0, 1}) {
        info.dwCursorPosition.Y = row;
        EXPECT_EQ(PlanClup(info, 5).rowCount, 0u);
    }
}

TEST_F(ClearingTest, ClupClearsUpwardAndMovesCursorAndWindow) {
    PlaceCursor(20, 10);
    EXPECT_EQ(Run(L"CLUP", L"3"), 0);
    for (SHORT r = 15; r <= 19; ++r) EXPECT_TRUE(RowIsBlank(r)) << r;
    EXPECT_EQ(tconsole::ReadText(0, 14, 5), L"row14");
    EXPECT_EQ(tconsole::ReadText(0, 20, 5), L"row20");
    EXPECT_EQ(tconsole::Cursor(), (COORD{0, 15}));
    EXPECT_EQ(tconsole::Window().Top, 7);
}

TEST_F(ClearingTest, ClupReadsBadCountsAsOne) {
    for (const wchar_t* line : {L"abc", L"0", L"-4", L""}) {
        FillRows();
        PlaceCursor(30, 20);
        EXPECT_EQ(Run(L"CLUP", line), 0);
        EXPECT_EQ(tconsole::ReadText(0, 26, 5), L"row26") << line;
        for (SHORT r = 27; r <= 29; ++r) EXPECT_TRUE(RowIsBlank(r)) << line << r;
        EXPECT_EQ(tconsole::Cursor().Y, 27) << line;
        EXPECT_EQ(tconsole::Window().Top, 19) << line;
    }
}

TEST_F(ClearingTest, ClupHelpAndTopRowsChangeNothing) {
    for (const wchar_t* line : {L"/?", L"?", L"3 what?"}) {
        StandIn_ClearOutput();
        PlaceCursor(30, 20);
        EXPECT_EQ(Run(L"CLUP", line), 0);
        EXPECT_EQ(Out(), L"CLUP [N] clear console progressively upward 1 [N] rows\r\n");
        EXPECT_EQ(tconsole::ReadText(0, 29, 5), L"row29");
    }
    for (SHORT row : {0, 1}) {
        PlaceCursor(row, 0);
        EXPECT_EQ(Run(L"CLUP", L"5"), 0);
        EXPECT_EQ(tconsole::ReadText(0, 0, 4), L"row0");
        EXPECT_EQ(tconsole::Cursor(), (COORD{3, row}));
    }
}

TEST_F(ClearingTest, RepaintRecoloursRowsAboveTheCursor) {
    tconsole::WriteAttributes(0, 10, std::vector<WORD>(40, 0x811E));  // high bits do not survive
    PlaceCursor(0, 0);
    EXPECT_EQ(Run(L"REPAINT", L"red on green"), 0);
    EXPECT_TRUE(RowHasAttribute(0, 0x1E));

    PlaceCursor(64, 50);
    EXPECT_EQ(Run(L"REPAINT", L"red on green"), 0);
    for (SHORT r : {0, 10, 31, 32, 63}) EXPECT_TRUE(RowHasAttribute(r, 0x24)) << r;
    for (SHORT r : {64, 65, 99}) EXPECT_TRUE(RowHasAttribute(r, 0x1E)) << r;
    EXPECT_EQ(tconsole::ReadText(0, 63, 5), L"row63");

    PlaceCursor(45, 30);  // a row count that is not a multiple of 32
    EXPECT_EQ(Run(L"REPAINT", L"blue on cyan"), 0);
    EXPECT_TRUE(RowHasAttribute(44, 0x31));
    EXPECT_TRUE(RowHasAttribute(45, 0x24));
}

TEST_F(ClearingTest, RepaintAllTakesTheColoursAfterTheSwitch) {
    tconsole::SetBufferAndWindow(40, 64, 40, 20);
    PlaceCursor(5, 0);
    EXPECT_EQ(Run(L"REPAINT", L"bright white on blue /a red on green"), 0);
    for (SHORT r : {0, 5, 6, 32, 63}) EXPECT_TRUE(RowHasAttribute(r, 0x24)) << r;
    // Unknown colours leave the current ones.
    SetConsoleTextAttribute(tconsole::Out(), 0x5B);
    EXPECT_EQ(Run(L"REPAINT", L"/A nonsense"), 0);
    EXPECT_TRUE(RowHasAttribute(63, 0x5B));
}

TEST_F(ClearingTest, RepaintFailuresChangeNothing) {
    PlaceCursor(64, 50);
    const int live = StandIn_LiveBlocks();
    StandIn_FailAllocationAt(1);
    EXPECT_EQ(Run(L"REPAINT", L"red on green"), -1);
    EXPECT_EQ(Err(), L"REPAINT: memory allocation failed\r\n");
    EXPECT_TRUE(RowHasAttribute(0, 0x1E));
    EXPECT_EQ(StandIn_LiveBlocks(), live);

    {
        const RedirectedOutput redirected;
        EXPECT_EQ(Run(L"REPAINT", L"/A red"), -1);
    }
    EXPECT_TRUE(RowHasAttribute(0, 0x1E));
}

}  // namespace
