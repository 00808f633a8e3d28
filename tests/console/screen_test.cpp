// The console layer on a real console: how a command reaches the screen buffer, and bulk
// transfers of regions larger than one transfer.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "console/row_text.h"
#include "console/screen.h"
#include "support/console_types.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

class ScreenTest : public PluginTest {};

TEST_F(ScreenTest, RedirectedOutputReachesTheConsoleOnlyThroughConsoleOutput) {
    TempFile file(L"redirect.txt");
    HANDLE redirected = CreateFileW(file.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(redirected, INVALID_HANDLE_VALUE);
    SetStdHandle(STD_OUTPUT_HANDLE, redirected);
    EXPECT_TRUE(OpenConsoleOutput().valid());
    CONSOLE_SCREEN_BUFFER_INFO info{};
    EXPECT_TRUE(QueryScreenBuffer(info));
    EXPECT_EQ(info.dwSize, tconsole::Info().dwSize);
    EXPECT_FALSE(OpenStandardOutputBuffer().valid()) << "standard output is a file";
    SetStdHandle(STD_OUTPUT_HANDLE, tconsole::Out());
    CloseHandle(redirected);
    EXPECT_TRUE(OpenStandardOutputBuffer().valid());
}

TEST_F(ScreenTest, FailedQueryLeavesTheRecordAlone) {
    FreeConsole();  // no console at all: CONOUT$ cannot be opened
    CONSOLE_SCREEN_BUFFER_INFO info;
    memset(&info, 0xAB, sizeof info);
    EXPECT_FALSE(QueryScreenBuffer(info));
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&info)[0], 0xAB);
    EXPECT_FALSE(OpenConsoleOutput().valid());
    tconsole::PrepareConsole();
}

TEST_F(ScreenTest, RegionsLargerThanOneTransferGoWhole) {
    // 200 x 300 = 60,000 cells: four rectangle transfers each way.
    tconsole::SetBufferAndWindow(200, 300, 80, 25);
    const ScreenBuffer screen = OpenConsoleOutput();
    std::vector<CHAR_INFO> cells(200 * 300);
    for (size_t i = 0; i < cells.size(); ++i) {
        cells[i].Char.UnicodeChar = wchar_t(L'A' + i % 26);
        cells[i].Attributes = WORD(i % 0x7F + 1);
    }
    ASSERT_TRUE(screen.WriteRows(0, 300, 200, cells.data()));
    std::vector<CHAR_INFO> back(cells.size());
    ASSERT_TRUE(screen.ReadRows(0, 300, 200, back.data()));
    for (size_t i = 0; i < cells.size(); i += 997) ASSERT_EQ(back[i], cells[i]) << "cell " << i;
    EXPECT_EQ(back.back(), cells.back());

    // Rows of text, in order, each where it belongs; one unit a cell needs no map.
    RowReader reader(screen, 200);
    ASSERT_TRUE(reader);
    int rows = 0, wrong = 0;
    reader.ForEachRow(0, 300, [&](int y, const ScreenRow& row) {
        std::wstring expected;
        for (size_t x = 0; x < 200; ++x) expected += cells[size_t(y) * 200 + x].Char.UnicodeChar;
        wrong += row.text != expected || row.cells != nullptr || y != rows++;
        return true;
    });
    EXPECT_EQ(rows, 300);
    EXPECT_EQ(wrong, 0);
    std::vector<WORD> attributes(200 * 300);
    uint32_t read = 0;
    EXPECT_TRUE(screen.ReadAttributes(COORD{0, 0}, uint32_t(attributes.size()), 200, attributes.data(), read));
    EXPECT_EQ(read, 60000u);
    EXPECT_EQ(attributes[40000], cells[40000].Attributes);
    // A run past the buffer's end reads what there is, says how much, and why the rest is missing.
    SetLastError(ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(screen.ReadAttributes(COORD{0, 299}, 400, 200, attributes.data(), read));
    EXPECT_EQ(read, 200u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_READ_FAULT));

    const WORD block[2 * 200] = {};
    EXPECT_TRUE(screen.RepeatAttributeRows(10, 290, 200, block, 2));
    EXPECT_EQ(tconsole::ReadAttributes(0, 299, 200), std::vector<WORD>(200, 0));
    EXPECT_EQ(tconsole::ReadAttributes(0, 9, 1)[0], cells[9 * 200].Attributes);
}

// A write the console refuses is the caller's to hear of, with the console's reason.
TEST_F(ScreenTest, RefusedWritesSaySo) {
    const ScreenBuffer closed;
    const CHAR_INFO cells[4] = {};
    const WORD attributes[4] = {};
    const std::function<bool()> writes[] = {
        [&] { return closed.WriteRows(0, 2, 2, cells); },
        [&] { return closed.RepeatRows(0, 4, 2, cells, 2); },
        [&] { return closed.WriteAttributes(COORD{0, 0}, 4, 2, attributes); },
        [&] { return closed.RepeatAttributeRows(0, 4, 2, attributes, 2); },
        [&] { return closed.FillAttribute(COORD{0, 0}, 4, 0x1F); },
        [&] { return closed.FillCharacter(COORD{0, 0}, 4, L'x'); },
        [&] { return closed.WriteCharacterAt(COORD{0, 0}, L'x'); },
    };
    for (size_t i = 0; i < std::size(writes); ++i) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(writes[i]()) << "write " << i;
        EXPECT_NE(GetLastError(), DWORD(ERROR_SUCCESS)) << "write " << i;
    }
}

}  // namespace
