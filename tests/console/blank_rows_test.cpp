// BlankRows: whole rows of blanks from a cell buffer kept between calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/blank_rows.h"
#include "console/screen.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

class BlankRowsTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(40, 100, 40, 20);
        tconsole::Fill(L'x', 0x1E);
        for (SHORT r = 0; r < 100; ++r) tconsole::WriteText(0, r, L"row" + std::to_wstring(r));
    }
    static bool RowIsBlank(SHORT r) { return tconsole::ReadRow(r) == std::wstring(40, L' '); }
    static bool RowHasAttribute(SHORT r, WORD a) {
        return tconsole::ReadAttributes(0, r, 40) == std::vector<WORD>(40, a);
    }
};

TEST_F(BlankRowsTest, UsesEachCallsAttributeAndKeepsItsCells) {
    const int live = StandIn_LiveBlocks();
    CONSOLE_SCREEN_BUFFER_INFO info = tconsole::Info();
    info.wAttributes = 0x1F;
    const ScreenBuffer out = OpenStandardOutputBuffer();
    EXPECT_TRUE(BlankRows(out, info, 2, 4));
    info.wAttributes = 0x2E;
    EXPECT_TRUE(BlankRows(out, info, 3, 1));  // fewer cells than the kept buffer holds
    EXPECT_TRUE(RowHasAttribute(2, 0x1F));
    EXPECT_TRUE(RowHasAttribute(3, 0x2E));
    EXPECT_TRUE(RowHasAttribute(4, 0x1F));
    for (SHORT r = 2; r <= 5; ++r) EXPECT_TRUE(RowIsBlank(r)) << r;
    EXPECT_EQ(tconsole::ReadText(0, 6, 4), L"row6");
    EXPECT_TRUE(BlankRows(out, info, 98, 10));  // rows past the end are skipped
    EXPECT_TRUE(RowIsBlank(99));
    ReleaseBlankRows();
    EXPECT_EQ(StandIn_LiveBlocks(), live);
}

}  // namespace
