// CSBFIND: which matches are shown, in what order, how keys steer it, and what it leaves behind.
#include <gtest/gtest.h>

#include <vector>

#include "buffer/search.h"
#include "support/console_types.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

struct Shown {
    COORD at;
    DWORD count;
    WORD first;  // the first attribute written
};
std::vector<Shown> writes;
std::vector<COORD> cursors;
using WriteAttributesFn = BOOL(WINAPI*)(HANDLE, const WORD*, DWORD, COORD, LPDWORD);
using SetCursorFn = BOOL(WINAPI*)(HANDLE, COORD);
WriteAttributesFn realWrite = nullptr;
SetCursorFn realSetCursor = nullptr;

BOOL WINAPI RecordWrite(HANDLE h, const WORD* a, DWORD n, COORD at, LPDWORD done) {
    writes.push_back({at, n, n ? a[0] : WORD(0)});
    return realWrite(h, a, n, at, done);
}
BOOL WINAPI RecordCursor(HANDLE h, COORD at) {
    cursors.push_back(at);
    return realSetCursor(h, at);
}

class CsbfindTest : public PluginTest {
protected:
    static constexpr SHORT kWidth = 40;
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(kWidth, 60, kWidth, 20);
        tconsole::Fill(L' ', 0x1E);
        tconsole::FlushInput();
        writes.clear();
        cursors.clear();
    }
    void TearDown() override {
        tconsole::FlushInput();
        PluginTest::TearDown();
    }
    // Runs CSBFIND with the keys typed beforehand, recording what it shows.
    int Find(const std::wstring& pattern, const std::wstring& keys, SHORT cursorRow = 10, SHORT windowTop = 0) {
        tconsole::SetCursor(5, cursorRow);
        SMALL_RECT w{0, windowTop, kWidth - 1, SHORT(windowTop + 19)};
        SetConsoleWindowInfo(tconsole::Out(), TRUE, &w);
        tconsole::TypeKeys(keys);
        ImportPatch write(Plugin().Module(), "kernel32.dll", "WriteConsoleOutputAttribute",
                          reinterpret_cast<void*>(&RecordWrite));
        ImportPatch cursor(Plugin().Module(), "kernel32.dll", "SetConsoleCursorPosition",
                           reinterpret_cast<void*>(&RecordCursor));
        realWrite = write.OriginalAs<std::remove_pointer_t<WriteAttributesFn>>();
        realSetCursor = cursor.OriginalAs<std::remove_pointer_t<SetCursorFn>>();
        EXPECT_TRUE(write.Applied() && cursor.Applied());
        return Run(L"CSBFIND", pattern);
    }
    // Columns and rows of the matches shown, in order (each shown once, then put back).
    static std::vector<std::pair<int, int>> Matches() {
        std::vector<std::pair<int, int>> at;
        for (size_t i = 0; i < writes.size(); i += 2) at.emplace_back(writes[i].at.X, writes[i].at.Y);
        return at;
    }
    static DWORD PendingKeys() {
        DWORD n = 0;
        GetNumberOfConsoleInputEvents(tconsole::In(), &n);
        return n / 2;  // a key down and a key up per typed key
    }
    using Places = std::vector<std::pair<int, int>>;
};

TEST_F(CsbfindTest, MatchesInOrderThenWindowAndCursorBack) {
    tconsole::WriteText(0, 1, L"foo bar foo");
    tconsole::WriteText(2, 3, L"foo");
    tconsole::WriteText(0, 38, L"foo");  // the two rows above the cursor are not searched
    EXPECT_EQ(Find(L"foo", L"xyz", 40, 30), 0);
    EXPECT_EQ(Matches(), (Places{{0, 1}, {8, 1}, {2, 3}}));
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_EQ(writes[0].count, 3u);
    EXPECT_EQ(writes[0].first, 0xE1);  // shown swapped
    EXPECT_EQ(writes[1].first, 0x1E);  // and put back
    EXPECT_EQ(tconsole::ReadAttributes(0, 1, kWidth), std::vector<WORD>(kWidth, 0x1E));
    EXPECT_EQ(PendingKeys(), 0u);
    EXPECT_EQ(tconsole::Cursor(), (COORD{5, 40}));
    EXPECT_EQ(tconsole::Window().Top, 30);
}

TEST_F(CsbfindTest, EachRestOfRowIsAFreshSubject) {
    tconsole::WriteText(0, 0, L"aaa a");
    EXPECT_EQ(Find(L"^a", L"123", 3), 0);
    EXPECT_EQ(Matches(), (Places{{0, 0}, {1, 0}, {2, 0}}));

    // "$" lies after the trailing blanks; an empty match is shown once and then stepped over.
    tconsole::WriteText(0, 0, L"abc  ");
    writes.clear();
    cursors.clear();
    EXPECT_EQ(Find(L"c *$", L"1", 3), 0);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].at.X, 2);
    EXPECT_EQ(writes[0].count, DWORD(kWidth - 2));
    cursors.clear();
    EXPECT_EQ(Find(L"$", L"1q", 3), 0);
    EXPECT_EQ(PendingKeys(), 1u);
    ASSERT_EQ(cursors.size(), 2u);  // the match, then the saved cursor
    EXPECT_EQ(cursors[0].X, kWidth - 1);
}

TEST_F(CsbfindTest, NoMatchAcrossRows) {
    tconsole::WriteText(kWidth - 4, 0, L"wrap");
    tconsole::WriteText(0, 1, L"ped");
    EXPECT_EQ(Find(L"wrapped", L"", 5), 0);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(tconsole::Cursor().Y, 5);
}

TEST_F(CsbfindTest, OnlyLowerCaseQEnds) {
    tconsole::WriteText(0, 0, L"x x x x");
    tconsole::TypeKeys(L"Q");
    tconsole::TypeVirtualKey(VK_ESCAPE, 0x1B);
    EXPECT_EQ(Find(L"x", L"qz", 3), 0);
    EXPECT_EQ(Matches(), (Places{{0, 0}, {2, 0}, {4, 0}}));
    EXPECT_EQ(PendingKeys(), 1u);  // "z" was never read
}

TEST_F(CsbfindTest, HighAttributeBitsSurvive) {
    tconsole::WriteText(3, 2, L"mark");
    tconsole::WriteAttributes(3, 2, std::vector<WORD>(4, 0x811E));
    EXPECT_EQ(Find(L"mark", L" ", 5), 0);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].first, 0x81E1);
    EXPECT_EQ(tconsole::ReadAttributes(3, 2, 4), std::vector<WORD>(4, 0x811E));
}

TEST_F(CsbfindTest, BadPatternsAndTopRows) {
    tconsole::WriteText(0, 0, L"text");
    for (SHORT row : {0, 1, 2}) {  // nothing to search: the pattern is never compiled
        EXPECT_EQ(Find(L"(", L"", row), 0);
        EXPECT_EQ(tconsole::Cursor().Y, row);
    }
    EXPECT_EQ(Err(), L"");
    EXPECT_EQ(Find(L"(", L"", 10, 5), 0);
    EXPECT_EQ(Err(), L"Regex: end pattern with unmatched parenthesis\r\n");
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(tconsole::Cursor().Y, 11);
    EXPECT_EQ(tconsole::Window().Top, 5);
    EXPECT_EQ(Find(L"(", L"", 59, 40), 0);  // never below the last row
    EXPECT_EQ(tconsole::Cursor().Y, 59);
}

TEST_F(CsbfindTest, UsageQuotesAndTheHostsSyntax) {
    EXPECT_EQ(Run(L"CSBFIND", L""), 1);
    EXPECT_EQ(Run(L"CSBFIND", L"/?"), 1);
    EXPECT_EQ(Out(), std::wstring(L"CSBFIND regex ... search console screen buffer\r\n") +
                         L"CSBFIND regex ... search console screen buffer\r\n");

    tconsole::WriteText(0, 0, L"aaa a+ b c");
    EXPECT_EQ(Find(L"\"b c\"", L"1", 3), 0);  // quotes removed, blanks kept
    EXPECT_EQ(Matches(), (Places{{7, 0}}));
    writes.clear();
    StandIn_SetOption(L"RegularExpressions", L"grep");  // "+" is a plain character there
    EXPECT_EQ(Find(L"a+", L"1", 3), 0);
    EXPECT_EQ(Matches(), (Places{{4, 0}}));
    writes.clear();
    StandIn_SetOption(L"RegularExpressions", L"Perl");
    EXPECT_EQ(Find(L"a+", L"q", 3), 0);
    EXPECT_EQ(Matches(), (Places{{0, 0}}));
    EXPECT_EQ(writes[0].count, 3u);
}

TEST_F(CsbfindTest, RunawayPatternEndsAndOldLibrariesStillSearch) {
    for (SHORT r = 0; r < 8; ++r) tconsole::WriteText(0, r, std::wstring(kWidth - 1, L'a'));
    EXPECT_EQ(Find(L"(a|aa)+[bc]", L"", 10), 0);  // exponential without a retry limit
    EXPECT_TRUE(writes.empty());

    // An onig.dll without per-search limits: plain searches, same matches.
    ImportPatch noLookUp(Plugin().Module(), "kernel32.dll", "GetProcAddress",
                         reinterpret_cast<void*>(+[](HMODULE, LPCSTR) -> FARPROC { return nullptr; }));
    ASSERT_TRUE(noLookUp.Applied());
    tconsole::WriteText(0, 0, L"b");
    EXPECT_EQ(Find(L"b", L"1", 3), 0);
    EXPECT_EQ(Matches(), (Places{{0, 0}}));
}

int WINAPI FailingSearch(OnigRegex, const OnigUChar*, const OnigUChar*, const OnigUChar*, const OnigUChar*,
                         OnigRegion*, OnigOptionType) {
    return ONIGERR_MEMORY;
}

// A search that gave up is told after the view and cursor are back, on the rows where the next
// prompt would go: never over the rows searched. It names what stopped it.
TEST_F(CsbfindTest, AStoppedSearchIsToldBelowTheSearchedRows) {
    tconsole::WriteText(0, 0, L"x ab");
    tconsole::WriteText(0, 1, std::wstring(kWidth - 1, L'a'));  // exponential for the pattern
    tconsole::WriteText(0, 2, L"ab");
    const auto rows = [] {
        std::vector<std::pair<std::wstring, std::vector<WORD>>> cells;
        for (SHORT y = 0; y < 10; ++y) cells.emplace_back(tconsole::ReadRow(y), tconsole::ReadAttributes(0, y, kWidth));
        return cells;
    };
    const auto before = rows();
    const std::wstring limit = L"Regex: search limit reached in row 1; the rest of that row was not searched";
    StandIn_SetEcho(1);  // the message reaches the console
    EXPECT_EQ(Find(L"(a|aa)+[bc]", L"12", 10), 0);
    EXPECT_EQ(Matches(), (Places{{2, 0}, {0, 2}}));
    EXPECT_EQ(Err(), limit + L"\r\n");
    EXPECT_TRUE(rows() == before);
    EXPECT_EQ(tconsole::ReadText(5, 10, DWORD(limit.size())), limit);  // from the saved cursor on
    EXPECT_EQ(tconsole::Cursor(), (COORD{0, 12}));

    // Any other failure inside the search is named by the library, not taken for a limit.
    ImportPatch noLookUp(Plugin().Module(), "kernel32.dll", "GetProcAddress",
                         reinterpret_cast<void*>(+[](HMODULE, LPCSTR) -> FARPROC { return nullptr; }));
    ImportPatch failing(Plugin().Module(), "onig.dll", "onig_search", reinterpret_cast<void*>(FailingSearch));
    ASSERT_TRUE(noLookUp.Applied() && failing.Applied());
    StandIn_ClearOutput();
    EXPECT_EQ(Find(L"b", L"", 10), 0);
    EXPECT_EQ(Err(), L"Regex: fail to memory allocation in row 0; the rest of that row was not searched\r\n");
}

TEST_F(CsbfindTest, RedirectedOutputAndNoMemory) {
    tconsole::WriteText(0, 0, L"hit");
    {
        const RedirectedOutput redirected;
        EXPECT_EQ(Find(L"hit", L"1", 3), 0);
    }
    EXPECT_EQ(Matches(), (Places{{0, 0}}));

    const int live = StandIn_LiveBlocks();
    StandIn_FailAllocationAt(1);
    writes.clear();
    EXPECT_EQ(Find(L"hit", L"", 3), -1);
    EXPECT_EQ(Err(), L"CSBFIND: memory allocation failed\r\n");
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(StandIn_LiveBlocks(), live);
}

TEST_F(CsbfindTest, RegexOptionSelectsTheSyntax) {
    struct Case {
        const wchar_t* value;
        OnigSyntaxType* syntax;
    } cases[] = {
        {L"Ruby", ONIG_SYNTAX_RUBY},
        {L"grep", ONIG_SYNTAX_GREP},
        {L"Java", ONIG_SYNTAX_JAVA},
        {L"POSIX", ONIG_SYNTAX_POSIX_EXTENDED},
        {L"GNU", ONIG_SYNTAX_GNU_REGEX},
        {L"Perl", ONIG_SYNTAX_PERL},
        {L"P", ONIG_SYNTAX_PERL},
        {L"", ONIG_SYNTAX_PERL},
        {L"xyz", ONIG_SYNTAX_PERL},
        {L"A very long option value that does not fit sixteen characters", ONIG_SYNTAX_PERL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value, c.value + wcslen(c.value)));
        StandIn_SetOption(L"RegularExpressions", c.value);
        EXPECT_EQ(SelectRegexSyntax(), c.syntax);
    }
    StandIn_SetOption(L"RegularExpressions", nullptr);
    EXPECT_EQ(SelectRegexSyntax(), ONIG_SYNTAX_PERL);
}

}  // namespace
