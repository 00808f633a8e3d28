// The routines every command shares.
#include <gtest/gtest.h>

#include <utility>

#include "frame/helpers.h"
#include "frame/plugin.h"
#include "frame/registry.h"
#include "frame/report.h"
#include "support/plugin_test.h"

// The stand-in's reporter under the name TCC exports it by.
extern "C" __declspec(dllimport) int TCError(int code, const wchar_t* name);

using namespace zarnith;

namespace {

class HelpersTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
        GetPluginInfo();
    }
};

TEST_F(HelpersTest, FindNoCaseFoldsOnlyAsciiLetters) {
    EXPECT_EQ(FindNoCase(L"red /A", L"/a"), 4u);
    EXPECT_EQ(FindNoCase(L"x/?", L"/?"), 1u);
    EXPECT_EQ(FindNoCase(L"TCC.EXE", L"tcc.exe"), 0u);
    EXPECT_EQ(FindNoCase(L"mytcc.exe", L"tcc.exe"), 2u);
    EXPECT_EQ(FindNoCase(L"abc", L""), 0u);
    EXPECT_EQ(FindNoCase(L"", L""), 0u);
    EXPECT_EQ(FindNoCase(L"ab", L"abc"), std::wstring_view::npos);
    EXPECT_EQ(FindNoCase(L"off", L"ON"), std::wstring_view::npos);
    EXPECT_EQ(FindNoCase(L"\u00C4", L"\u00E4"), std::wstring_view::npos);  // no folding beyond ASCII
    EXPECT_EQ(FindNoCase(L"[a", L"{A"), std::wstring_view::npos);          // '[' is not '{'
    EXPECT_EQ(FindNoCase(L"aaab", L"AAB"), 1u);
}

TEST_F(HelpersTest, SplitArgumentsFollowsThePlatformRules) {
    {
        ArgumentArray args = SplitArguments(LR"(a "b c" d)");
        ASSERT_TRUE(args);
        ASSERT_EQ(args.count(), 4);
        EXPECT_STREQ(args[0], L"dummy");
        EXPECT_STREQ(args[1], L"a");
        EXPECT_STREQ(args[2], L"b c");
        EXPECT_STREQ(args[3], L"d");
    }
    EXPECT_EQ(SplitArguments(L"").count(), 1);
    EXPECT_EQ(SplitArguments(L"   \t ").count(), 1);
    EXPECT_EQ(SplitArguments(nullptr).count(), 1);
    {
        ArgumentArray args = SplitArguments(LR"("unbalanced quote)");
        ASSERT_EQ(args.count(), 2);
        EXPECT_STREQ(args[1], L"unbalanced quote");
    }
    {
        ArgumentArray args = SplitArguments(LR"(a\"b)");
        ASSERT_EQ(args.count(), 2);
        EXPECT_STREQ(args[1], L"a\"b");
    }
}

TEST_F(HelpersTest, SplitArgumentsNeverCutsALongLine) {
    // Far past what a 2,048-character buffer would hold: the last argument survives whole.
    std::wstring line;
    for (int i = 0; i < 3000; ++i) line += L"arg" + std::to_wstring(i) + L" ";
    line += L"last";
    ArgumentArray args = SplitArguments(line.c_str());
    ASSERT_EQ(args.count(), 3002);
    EXPECT_STREQ(args[3001], L"last");
    std::wstring huge(32767, L'x');
    ArgumentArray one = SplitArguments(huge.c_str());
    ASSERT_EQ(one.count(), 2);
    EXPECT_EQ(wcslen(one[1]), 32767u);
}

TEST_F(HelpersTest, RegisteredNamesAreFoundInTheActiveList) {
    EXPECT_EQ(FindRegisteredName(L"conhelp"), 25);
    EXPECT_EQ(FindRegisteredName(L"CONHELP"), 25);
    EXPECT_EQ(FindRegisteredName(L"*keyhandler"), 44);
    EXPECT_EQ(FindRegisteredName(L"_altenter"), 0);
    EXPECT_EQ(FindRegisteredName(L"@bufchar"), 21);
    EXPECT_EQ(FindRegisteredName(L"VBEEP"), 43);
    EXPECT_EQ(FindRegisteredName(L"nosuch"), -1);
    EXPECT_EQ(FindRegisteredName(L""), -1);
    EXPECT_TRUE(IsActiveName(L"Cycle"));

    SetEnvironmentVariableW(L"ZARNITH_LOAD", L"cycle, _fgconsole, NOTINTABLE");
    GetPluginInfo();
    EXPECT_EQ(FindRegisteredName(L"conhelp"), -1);
    EXPECT_EQ(FindRegisteredName(L"cycle"), 29);
    EXPECT_EQ(FindRegisteredName(L"_FGCONSOLE"), 7);
    EXPECT_FALSE(IsActiveName(L"notintable")) << "left out of the list handed to the host";
    SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
    GetPluginInfo();
}

TEST_F(HelpersTest, CommandErrorLineGoesToStandardError) {
    EXPECT_EQ(ReportCommandError(Row(EntryRow::SAVECSB), L"memory allocation failed", nullptr), -1);
    EXPECT_EQ(Err(), L"SAVECSB: memory allocation failed\r\n");
    EXPECT_EQ(Out(), L"");
    StandIn_ClearOutput();
    EXPECT_EQ(ReportCommandError(Row(EntryRow::SAVECSB), L"Failed to open file \"%s\"", L"C:\\x y.txt"), -1);
    EXPECT_EQ(Err(), L"SAVECSB: Failed to open file \"C:\\x y.txt\"\r\n");
    StandIn_ClearOutput();
    // A long text is written whole, not cut at a fixed buffer.
    std::wstring text(600, L'e');
    ReportCommandError(Row(EntryRow::QE), text.c_str(), nullptr);
    EXPECT_EQ(Err(), L"QE: " + text + L"\r\n");
}

TEST_F(HelpersTest, WindowsErrorsGoThroughTheHostButNeverAsSuccess) {
    // What the host's reporter itself says for each code, to compare with.
    auto hostSays = [this](int code, const wchar_t* subject) {
        StandIn_ClearOutput();
        TCError(code, subject);
        return Err();
    };
    const std::wstring notFound = hostSays(ERROR_FILE_NOT_FOUND, L"a.bin");
    const std::wstring failure = hostSays(ERROR_GEN_FAILURE, nullptr);
    ASSERT_NE(hostSays(0, nullptr), failure);
    StandIn_ClearOutput();
    EXPECT_EQ(ReportWindowsError(L"a.bin", ERROR_FILE_NOT_FOUND), TCError(ERROR_FILE_NOT_FOUND, L"a.bin"));
    EXPECT_EQ(Err(), notFound + notFound);
    StandIn_ClearOutput();
    ReportWindowsError(nullptr, 0);
    EXPECT_EQ(Err(), failure) << "a call that failed without a code";
}

}  // namespace
