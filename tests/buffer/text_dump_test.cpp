// SAVECSB: the layout of a dump, and the command's arguments, modes and refusals.
#include <gtest/gtest.h>

#include "buffer/dump_frame.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

TEST(DumpFrameTest, NonsenseCountsMakeNoNegativeRules) {
    EXPECT_EQ(DumpFirstRule(1), L"\r\n\r\n");
    EXPECT_EQ(DumpEnd(0, {}, 0), L"\r\nEnd saved console screen buffer:   \r\n\r\n\r\n\r\n");
}

class SavecsbTest : public PluginTest {
protected:
    static constexpr SHORT kWidth = 30;
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(kWidth, 50, kWidth, 20);
        tconsole::Fill(L' ', 0x07);
        // Each row's cells and its line in the dump: trailing blanks go from the whole row first,
        // then a NUL cell ends what is written.
        rows_ = {{L"first row", L"first row"}, {L"", L""}, {L"  indented \u00e9\u4e2d", L"  indented \u00e9\u4e2d"},
                 {L"tab\t", L"tab\t"}, {std::wstring(kWidth, L'z'), std::wstring(kWidth, L'z')}, {L"   ", L""},
                 {L" a b  ", L" a b"}, {L"a\t \u3000", L"a\t \u3000"}, {{L"ab\0cd  ", 7}, L"ab"},
                 {{L"ab  \0cd", 7}, L"ab  "}, {{L"ab \0  ", 6}, L"ab "}};
        for (size_t r = 0; r < rows_.size(); ++r) tconsole::WriteText(0, SHORT(r), rows_[r].first);
        tconsole::WriteText(0, SHORT(rows_.size()), L"below the cursor");
        tconsole::SetCursor(4, SHORT(rows_.size() - 1));
    }
    static std::wstring FileText(const TempFile& file) {
        const std::string bytes = file.Bytes();
        std::wstring text(bytes.size(), L'\0');
        text.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), int(text.size()))));
        return text;
    }
    // The stamp the user's locale gives now, as the test itself computes it.
    static DumpStamp Now() {
        SYSTEMTIME t{};
        GetLocalTime(&t);
        wchar_t date[64] = {}, time[64] = {};
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 64);
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, time, 64);
        return {date, time};
    }
    static std::wstring BeginLine(const DumpStamp& stamp) {
        return L"Begin saved console screen buffer: " + stamp.date + L"  " + stamp.time + L"\r\n";
    }
    // The rules are the begin line's length less 2 and less 4; the stars are the buffer's width.
    std::wstring Expected(const DumpStamp& stamp) const {
        std::wstring dump = BeginLine(stamp) + std::wstring(BeginLine(stamp).size() - 2, L'-') + L"\r\n\r\n";
        for (const auto& row : rows_) dump += row.second + L"\r\n";
        return dump + std::wstring(BeginLine(stamp).size() - 4, L'-') + L"\r\nEnd saved console screen buffer: " +
               stamp.date + L"  " + stamp.time + L"\r\n\r\n" + std::wstring(kWidth, L'*') + L"\r\n\r\n";
    }
    bool MatchesADump(const std::wstring& text, const DumpStamp& before, const DumpStamp& after, int copies = 1) {
        std::wstring a, b;
        for (int i = 0; i < copies; ++i) a += Expected(before), b += Expected(after);
        return text == a || text == b;
    }
    std::vector<std::pair<std::wstring, std::wstring>> rows_;
};

TEST_F(SavecsbTest, WritesRowsToTheCursorBetweenDatedLines) {
    TempFile file(L"savecsb");
    const DumpStamp before = Now();
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"SAVECSB", file.Path()), 0);
    const DumpStamp after = Now();
    EXPECT_TRUE(MatchesADump(FileText(file), before, after)) << FileText(file);
    // The host is handed one line per call: a row, or the begin line, and its line end.
    EXPECT_EQ(StandIn_MostLineEnds(), 1);
    const size_t beginLine = std::max(BeginLine(before).size(), BeginLine(after).size());
    EXPECT_LE(size_t(StandIn_LongestWrite()), std::max<size_t>(kWidth + 2, beginLine));

    // Without /A the file is replaced.
    EXPECT_EQ(Run(L"SAVECSB", L"\"" + file.Path() + L"\""), 0);
    EXPECT_TRUE(MatchesADump(FileText(file), before, Now()));
}

TEST_F(SavecsbTest, AppendModeBeforeOrAfterTheName) {
    TempFile file(L"append");
    const DumpStamp before = Now();
    EXPECT_EQ(Run(L"SAVECSB", L"/A " + file.Path()), 0);  // created when missing
    EXPECT_EQ(Run(L"SAVECSB", file.Path() + L" /a"), 0);
    EXPECT_TRUE(MatchesADump(FileText(file), before, Now(), 2));
}

TEST_F(SavecsbTest, ArgumentsAndRefusals) {
    TempFile file(L"args");
    EXPECT_EQ(Run(L"SAVECSB", L""), -1);
    const std::wstring help = Out();
    EXPECT_EQ(help.rfind(L"Save the contents of the console screen buffer to a file\r\n", 0), 0u);
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"SAVECSB", file.Path() + L" /?"), 0);
    EXPECT_EQ(Out(), help);
    EXPECT_FALSE(file.Exists());

    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"SAVECSB", file.Path() + L" other.txt"), -1);
    EXPECT_EQ(Run(L"SAVECSB", L"/A"), -1);
    EXPECT_EQ(Run(L"SAVECSB", L"Z:\\no\\such\\dir\\f%d.txt"), -1);
    EXPECT_EQ(Err(), L"SAVECSB: Syntax: SAVECSB [/A] [/C | /H] file\r\nSAVECSB: Syntax: SAVECSB [/A] [/C | /H] file\r\n"
                     L"SAVECSB: Failed to open file \"Z:\\no\\such\\dir\\f%d.txt\"\r\n");
    EXPECT_FALSE(file.Exists());
}

TEST_F(SavecsbTest, RedirectedOutputAndNoMemoryLeaveTheFileAlone) {
    for (const std::wstring format : {L"", L"/C ", L"/H "}) {
        SCOPED_TRACE(format);
        TempFile file(L"refused");
        StandIn_ClearOutput();
        {
            const RedirectedOutput redirected;
            EXPECT_EQ(Run(L"SAVECSB", format + file.Path()), -1);
        }
        EXPECT_EQ(Err(), L"SAVECSB: SAVECSB cannot be run with redirected standard output.\r\n");
        EXPECT_FALSE(file.Exists());

        ASSERT_EQ(Run(L"SAVECSB", format + file.Path()), 0);
        const std::string kept = file.Bytes();
        const int live = StandIn_LiveBlocks();
        for (int failAt : {1, 2}) {  // the cells, then the row or page buffer
            StandIn_ClearOutput();
            StandIn_FailAllocationAt(failAt);
            EXPECT_EQ(Run(L"SAVECSB", format + file.Path()), -1);
            EXPECT_EQ(Err(), L"SAVECSB: memory allocation failed\r\n");
            EXPECT_EQ(file.Bytes(), kept);
            EXPECT_EQ(StandIn_LiveBlocks(), live);
        }
    }
}

}  // namespace
