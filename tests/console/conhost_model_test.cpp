// The conhost model against conhost's own feature tests (src/host/ft_host/CJK_DbcsTests.cpp):
// the tests of full-width text rely on it answering as Windows does.
#include <gtest/gtest.h>

#include <vector>

#include "support/conhost_model.h"
#include "support/console_types.h"
#include "support/plugin_test.h"

namespace {

constexpr WORD kLead = COMMON_LVB_LEADING_BYTE, kTrail = COMMON_LVB_TRAILING_BYTE, kColour = 0x1E;

CHAR_INFO Cell(wchar_t ch, WORD half = 0) {
    CHAR_INFO c{};
    c.Char.UnicodeChar = ch;
    c.Attributes = WORD(kColour | half);
    return c;
}

// PrepPattern::DoubledW: "QいかなZYXWVUTに", each full-width character in two flagged cells.
std::vector<CHAR_INFO> DoubledW() {
    std::vector<CHAR_INFO> cells{Cell(L'Q')};
    auto wide = [&](wchar_t ch) { cells.insert(cells.end(), {Cell(ch, kLead), Cell(ch, kTrail)}); };
    wide(0x3044), wide(0x304B), wide(0x306A);
    for (wchar_t ch : std::wstring_view(L"ZYXWVUT")) cells.push_back(Cell(ch));
    wide(0x306B);
    return cells;
}

class ConhostModelTest : public PluginTest {};

TEST_F(ConhostModelTest, AnswersAsConhostsOwnTests) {
    tconsole::SetBufferAndWindow(20, 10, 20, 10);
    conhost::Model model(nullptr);  // no module: the store alone
    model.Clear(kColour);

    // TestNarrowSurrogate: a surrogate pair in one cell; the older builds answer nothing.
    EXPECT_EQ(model.WriteText({0, 0}, L"a\U00010000b"), 4u);
    EXPECT_EQ(model.ReadText({0, 0}, 3), L"a\uFFFDb");
    model.SetBuild(conhost::Build::From2022To2024);
    EXPECT_EQ(model.ReadText({0, 0}, 3), L"");
    model.WriteText({3, 0}, L"\u4E2D");  // one unit for two cells makes room for the pair's second
    EXPECT_EQ(model.ReadText({1, 0}, 4), L"\U00010000b\u4E2D");
    model.SetBuild(conhost::Build::Current);
    // A lone surrogate: a write replaces it, a fill stores the unit as it is.
    model.WriteText({0, 7}, L"\xD800x");
    EXPECT_EQ(model.ReadText({0, 7}, 2), L"\uFFFDx");
    EXPECT_EQ(model.Fill({0, 7}, 0xDC00, 2), 2u);
    EXPECT_EQ(model.ReadText({0, 7}, 2), L"\xDC00\xDC00");

    // TestDbcsBackupRestore: a backup that cuts the first and last full-width characters in half
    // restores them whole over narrow text.
    for (SHORT y : {1, 2}) model.PutCells(y, 0, DoubledW());
    EXPECT_EQ(model.Cells(1, 0, 16), DoubledW());
    const auto backup = model.Cells(1, 2, 13);
    for (SHORT y : {1, 2}) model.WriteText({1, y}, std::wstring(15, L'x'));
    model.PutCells(1, 2, backup);
    EXPECT_EQ(model.Cells(1, 0, 16), DoubledW());

    // TestInvalidTrailer: the character of a trailing cell after its leading cell is ignored.
    auto invalid = DoubledW();
    for (auto& c : invalid)
        if (c.Attributes & kTrail) c.Char.UnicodeChar = 0xFFFD;
    model.PutCells(3, 0, invalid);
    EXPECT_EQ(model.Cells(3, 0, 16), DoubledW());

    // A read counts cells and answers units; a half at either end is a blank.
    model.WriteText({0, 4}, L"Q\u4E2DZ");
    EXPECT_EQ(model.ReadText({0, 4}, 4), L"Q\u4E2DZ");
    EXPECT_EQ(model.ReadText({0, 4}, 2), L"Q ");
    EXPECT_EQ(model.ReadText({2, 4}, 2), L" Z");
    // Writing over one half blanks the other; a full-width character finds no room in the last
    // column and starts the next row.
    model.WriteText({2, 4}, L"x");
    EXPECT_EQ(model.ReadText({0, 4}, 4), L"Q xZ");
    EXPECT_EQ(model.WriteText({19, 5}, L"\u4E2D"), 1u);
    EXPECT_EQ(model.ReadText({19, 5}, 3), L" \u4E2D");
    EXPECT_EQ(model.Cells(6, 0, 2), (std::vector<CHAR_INFO>{Cell(0x4E2D, kLead), Cell(0x4E2D, kTrail)}));
}

}  // namespace
