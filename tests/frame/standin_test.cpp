// The stand-in host must behave as the host's published interface (TakeCmd.h) says, no friendlier,
// or every other test proves nothing about the real host.
#include <gtest/gtest.h>

#include "support/import_patch.h"
#include "support/plugin_test.h"

extern "C" {
__declspec(dllimport) int Sprintf(wchar_t* buffer, const wchar_t* format, ...);
__declspec(dllimport) int Sscanf(const wchar_t* text, const wchar_t* format, ...);
__declspec(dllimport) int Printf(const wchar_t* format, ...);
__declspec(dllimport) int Qprintf(HANDLE handle, const wchar_t* format, ...);
__declspec(dllimport) wchar_t* NthArgument(wchar_t* line, int n, wchar_t* copy, wchar_t** last);
__declspec(dllimport) wchar_t* ParseColors(wchar_t* text, int* foreground, int* background);
__declspec(dllimport) int AddQuotes(wchar_t* text);
__declspec(dllimport) void StripEnclosingQuotes(wchar_t* text);
__declspec(dllimport) void ASCIIToUnicode(const char* narrow, wchar_t* wide, int count);
__declspec(dllimport) void* AllocMem(unsigned int bytes);
__declspec(dllimport) void* ReallocMem(void* block, ULONG_PTR bytes);
__declspec(dllimport) void FreeMem(void* block);
__declspec(dllimport) int Command(wchar_t* line, int flag);
}

namespace {

class StandInTest : public PluginTest {};

TEST_F(StandInTest, FormatsWithWideStringSemantics) {
    wchar_t buffer[100];
    EXPECT_EQ(Sprintf(buffer, L"%s: %s", L"SAVECSB", L"x"), 10);
    EXPECT_STREQ(buffer, L"SAVECSB: x");
    EXPECT_EQ(Sprintf(buffer, L"%%_ININAME"), 9);
    EXPECT_STREQ(buffer, L"%_ININAME");
    Sprintf(buffer, L"%4d x %d|%u|%lu", 7, -3, unsigned(-1), 42ul);
    EXPECT_STREQ(buffer, L"   7 x -3|4294967295|42");
    // Printf and Qprintf take %q and %X as 64-bit integers.
    EXPECT_EQ(Printf(L"%q|%X|%x|%%X", -5000000000LL, 0x123456789ABLL, 255u), 29);
    EXPECT_EQ(Out(), L"-5000000000|123456789AB|ff|%X");
}

TEST_F(StandInTest, ScansLikeTheHost) {
    wchar_t axis = 0, action = 0;
    unsigned long count = 0;
    EXPECT_EQ(Sscanf(L"V+3", L" %c %c %lu", &axis, &action, &count), 3);
    EXPECT_EQ(axis, L'V');
    EXPECT_EQ(action, L'+');
    EXPECT_EQ(count, 3u);
    axis = action = 0;
    count = 0;
    EXPECT_EQ(Sscanf(L"V 5", L" %c %c %lu", &axis, &action, &count), 2);
    EXPECT_EQ(action, L'5');
    EXPECT_EQ(count, 0u);
    int n = 7;
    EXPECT_EQ(Sscanf(L"abc", L"%d", &n), 0);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(Sscanf(L"", L"%d", &n), -1);
    EXPECT_EQ(Sscanf(L"-4", L"%d", &n), 1);
    EXPECT_EQ(n, -4);
    unsigned duration = 0;
    wchar_t word[32] = L"";
    EXPECT_EQ(Sscanf(L" 18 chimes", L" %u %s", &duration, word), 2);
    EXPECT_EQ(duration, 18u);
    EXPECT_STREQ(word, L"chimes");
    int a = 0, b = 0, c = 0;
    EXPECT_EQ(Sscanf(L"3 8 16 400 \"Lucida Console\"", L"%d %d %d", &a, &b, &c), 3);
    EXPECT_EQ(c, 16);
    // %u takes a sign as the runtime does: negated in unsigned arithmetic.
    unsigned u = 0, v = 0;
    EXPECT_EQ(Sscanf(L"-1 +7", L"%u %u", &u, &v), 2);
    EXPECT_EQ(u, 4294967295u);
    EXPECT_EQ(v, 7u);
}

TEST_F(StandInTest, NthArgumentSplitsAsTheHostPublishes) {
    struct Case {
        const wchar_t* line;
        int n;                  // index with flags
        const wchar_t* copy;    // null: no such argument
        int start;              // where the result and the fourth argument point
    } cases[] = {
        {L"  first \"second arg\" third", 1, L"\"second arg\"", 8},
        {L"  first \"second arg\" third", 2, L"third", 21},
        {L"  first \"second arg\" third", 3, nullptr, 0},
        {L"   ", 0, nullptr, 0},
        {L"a,b\tc", 1, L"b", 2},
        {L"a,b\tc", 2, L"c", 4},
        {L"a,,  ,b", 1, L"b", 6},                 // a run of delimiters is one
        {L"C:\\a,b.con", 0, L"C:\\a", 0},      // a comma ends a path ...
        {L"C:\\a,b.con", 0 | 0x8000, L"C:\\a,b.con", 0},  // ... unless commas are no delimiters
        {L"C:/x/y.dll", 0 | 0x8000, L"C:", 0},     // the switch character still separates
        {L"C:/x/y.dll", 1, L"/x", 2},              // and begins the next argument
        {L"C:/x/y.dll", 0 | 0x800, L"C:/x/y.dll", 0},
        {L"off/x", 0, L"off", 0},
        {L"/?", 0, L"/?", 0},
        {L"//a", 1, L"/a", 1},
        {L"`a b`,c", 0, L"`a b`", 0},             // back quotes hold delimiters together
        {L"`a b`,c", 0 | 0x1000, L"`a", 0},
        {L"\"a,b\" c", 0, L"\"a,b\"", 0},
        {L"\"a b\" c", 0 | 0x10000, L"\"a", 0},
        {L"(a b) c", 0, L"(a", 0},
        {L"(a (b) c) d", 0 | 0x4000, L"(a (b) c)", 0},
        {L"[a,b] c", 0 | 0x2000, L"[a,b]", 0},
        {L"x\"a b\"y z", 0, L"x\"a b\"y", 0},     // quotes inside an argument group too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)) + " n=" + std::to_string(c.n));
        std::wstring line = c.line;
        wchar_t copy[64] = L"junk";
        wchar_t* last = line.data();
        wchar_t* p = NthArgument(line.data(), c.n, copy, &last);
        if (c.copy == nullptr) {
            EXPECT_EQ(p, nullptr);
            EXPECT_STREQ(copy, L"");
            continue;
        }
        EXPECT_EQ(p, line.data() + c.start);
        EXPECT_EQ(last, p) << "the fourth argument is the argument's start, never its end";
        EXPECT_STREQ(copy, c.copy);
        EXPECT_EQ(line, c.line) << "the line itself is not changed";
    }
}

TEST_F(StandInTest, ExpansionCountsRecursion) {
    wchar_t text[64] = L"%_TCTAB";
    EXPECT_EQ(ExpandVariables(text, 1), 0);
    EXPECT_STREQ(text, L"0");
    wchar_t loop[64] = L"%_TCTAB";
    EXPECT_NE(ExpandVariables(loop, 1000), 0);  // past the host's nesting: a loop, nothing expanded
    EXPECT_STREQ(loop, L"%_TCTAB");
}

TEST_F(StandInTest, ExpandsHostAndEnvironmentNames) {
    StandIn_SetVariable(L"_ININAME", L"C:\\tcmd\\tcmd.ini");
    SetEnvironmentVariableW(L"ZTEST", L"value");
    wchar_t text[200] = L"%_TCTAB|%_ININAME|%@CHAR[65]|%%|%ZTEST%|%_NOSUCH|";
    ExpandVariables(text, 0);
    EXPECT_STREQ(text, L"0|C:\\tcmd\\tcmd.ini|A|%|value||");
    // The plug-in's own names go through the loaded plug-in.
    wchar_t rows[64] = L"[%_BUFROWS]";
    ExpandVariables(rows, 0);
    // (a command not built yet announces itself instead of answering)
    EXPECT_TRUE(std::wstring(rows) != L"[]" || Out().find(L"_BUFROWS") != std::wstring::npos);
}

TEST_F(StandInTest, ParsesColourWords) {
    struct Case {
        const wchar_t* text;
        int fg, bg;
    } cases[] = {
        {L"white on blue", 7, 1},
        {L"bright white on blue", 15, 1},
        {L"Bri Yel on Bla", 14, 0},
        {L"red", 4, 9},  // background keeps its preset
        {L"green on bright red", 2, 12},
        {L"blink cyan on black", 3, 8},
    };
    for (const auto& c : cases) {
        wchar_t text[64];
        wcscpy(text, c.text);
        int fg = 3, bg = 9;
        EXPECT_NE(ParseColors(text, &fg, &bg), nullptr) << c.text;
        EXPECT_EQ(fg, c.fg) << c.text;
        EXPECT_EQ(bg, c.bg) << c.text;
    }
    wchar_t junk[] = L"nonsense";
    int fg = 3, bg = 9;
    EXPECT_EQ(ParseColors(junk, &fg, &bg), nullptr);
    EXPECT_EQ(fg, 3);
    EXPECT_EQ(bg, 9);
}

TEST_F(StandInTest, QuotesAreAddedAndStripped) {
    const std::pair<const wchar_t*, const wchar_t*> add[] = {
        {L"Lucida Console", L"\"Lucida Console\""},
        {L"Consolas", L"Consolas"},
        {L"a&b", L"\"a&b\""},
        {L"a,b", L"\"a,b\""},
        {L"\"quoted already\"", L"\"quoted already\""},
    };
    for (const auto& [text, quoted] : add) {
        wchar_t buffer[40];
        wcscpy(buffer, text);
        AddQuotes(buffer);
        EXPECT_STREQ(buffer, quoted);
    }
    const std::pair<const wchar_t*, const wchar_t*> strip[] = {
        {L"\"C:\\a b\\x.dll\"", L"C:\\a b\\x.dll"},
        {L"plain", L"plain"},
        {L"say \"hi\"", L"say \"hi"},  // each end on its own
        {L"\"open", L"open"},
        {L"\"", L""},
    };
    for (const auto& [text, stripped] : strip) {
        wchar_t buffer[40];
        wcscpy(buffer, text);
        StripEnclosingQuotes(buffer);
        EXPECT_STREQ(buffer, stripped);
    }
    wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
    ASCIIToUnicode("abcdef", wide, 4);  // the count is the buffer's capacity
    EXPECT_STREQ(wide, L"abc");
}

TEST_F(StandInTest, AllocationSwitchFailsTheNthCall) {
    const int live = StandIn_LiveBlocks();
    StandIn_FailAllocationAt(2);
    void* first = AllocMem(16);
    void* second = AllocMem(16);
    void* third = AllocMem(16);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(StandIn_LiveBlocks(), live + 2);
    // New memory is not zeroed (the interface promises nothing), nor is the grown part of a block.
    EXPECT_NE(static_cast<unsigned char*>(first)[0], 0);
    void* grown = ReallocMem(first, 64);
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(static_cast<unsigned char*>(grown)[40], 0);
    FreeMem(grown);
    FreeMem(third);
    EXPECT_EQ(StandIn_LiveBlocks(), live);
}

TEST_F(StandInTest, CommandsAreRecordedAndOutputCaptured) {
    wchar_t line[] = L"BEEP chimes";
    EXPECT_EQ(Command(line, 0), 0);
    ASSERT_EQ(StandIn_CommandCount(), 1);
    EXPECT_STREQ(StandIn_CommandLine(0), L"BEEP chimes");
    EXPECT_EQ(Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"%s!", L"oops"), 5);
    EXPECT_EQ(Err(), L"oops!");
    EXPECT_EQ(Out(), L"");
    // The size of each call's text is noted, so that tests can hold callers to one line a call.
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"%s", L"one\r\ntwo\r\n");
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"%s", L"a longer single line\r\n");
    EXPECT_EQ(StandIn_LongestWrite(), 22);
    EXPECT_EQ(StandIn_MostLineEnds(), 2);
    StandIn_ClearOutput();
    EXPECT_EQ(StandIn_LongestWrite(), 0);
    EXPECT_EQ(StandIn_MostLineEnds(), 0);
}

// The interception helper, on its own: a patched import answers, the original comes back.
BOOL WINAPI FailingGetConsoleScreenBufferInfo(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

TEST_F(StandInTest, ImportPatchReplacesAndRestoresOneImport) {
    HMODULE plugin = Plugin().Module();
    {
        ImportPatch missing(plugin, "kernel32.dll", "NoSuchFunctionAnywhere", nullptr);
        EXPECT_FALSE(missing.Applied());
    }
    const std::wstring before = Var(L"_BUFROWS");
    {
        ImportPatch patch(plugin, "kernel32.dll", "GetConsoleScreenBufferInfo",
                          reinterpret_cast<void*>(FailingGetConsoleScreenBufferInfo));
        ASSERT_TRUE(patch.Applied());
        EXPECT_NE(patch.Original(), nullptr);
        // Placeholder variables print a message instead; what matters is the table entry.
        CONSOLE_SCREEN_BUFFER_INFO info{};
        auto original = patch.OriginalAs<BOOL WINAPI(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO)>();
        EXPECT_TRUE(original(tconsole::Out(), &info));
    }
    EXPECT_EQ(Var(L"_BUFROWS"), before);
}

}  // namespace
