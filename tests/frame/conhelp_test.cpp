// CONHELP, Help and Usage through the loaded plug-in, as the host calls them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/registered_names.h"
#include "support/plugin_test.h"

namespace {

const std::wstring kUsageLine = L"CONHELP LIST | COMMAND | @FUNCTION | _VARIABLE\r\n";
const std::wstring kNotFound = L"ZARNITH: CONHELP: Item not found\r\n";

class ConhelpTest : public PluginTest {
protected:
    // Runs CONHELP and returns its standard output; `result` gets the command's result.
    std::wstring Help(const std::wstring& line, int* result = nullptr) {
        StandIn_ClearOutput();
        const int r = Run(L"CONHELP", line);
        if (result) *result = r;
        return Out();
    }
    // The export itself: with an overriding list CONHELP need not be registered to be called.
    std::wstring HelpDirect(const std::wstring& line) {
        StandIn_ClearOutput();
        std::wstring writable = line;
        Entry<int(wchar_t*)>("CONHELP")(writable.data());
        return Out();
    }
};

// Registers only the names in `list` for the scope (the host reads ZARNITH_LOAD at load time).
class NameListOverride {
public:
    explicit NameListOverride(const wchar_t* list) {
        SetEnvironmentVariableW(L"ZARNITH_LOAD", list);
        reloaded_ = ReloadPlugin();
    }
    ~NameListOverride() {
        SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
        ReloadPlugin();
    }
    bool Reloaded() const { return reloaded_; }

private:
    bool reloaded_ = false;
};

TEST_F(ConhelpTest, UsageLineWithoutArgumentAndForItself) {
    int result = -9;
    EXPECT_EQ(Help(L"", &result), kUsageLine);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Help(L"   "), kUsageLine);
    EXPECT_EQ(Help(L"conhelp", &result), kUsageLine);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Help(L"/?", &result), kUsageLine);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Err(), L"");
    EXPECT_EQ(StandIn_CommandCount(), 0) << "no PAUSE without the help key";
}

TEST_F(ConhelpTest, ListShowsEveryDefaultNameInTableOrder) {
    std::wstring expected;
    for (const RegisteredName& name : kRegisteredNames) expected += std::wstring(name.name) + L"\r\n";
    EXPECT_EQ(Help(L"list"), expected);
    EXPECT_EQ(Help(L"LIST"), expected);
    EXPECT_NE(expected.find(L"\r\n*KEYHANDLER\r\n"), std::wstring::npos);
}

TEST_F(ConhelpTest, OneLineTextsComeFromTheTable) {
    EXPECT_EQ(Help(L"_bufrows"), L"screen buffer rows\r\n");
    EXPECT_EQ(Help(L"@BufChar"), L"@BUFCHAR[N] = console screen buffer Unicode representation of char N\r\n");
    EXPECT_EQ(Help(L"scroll"), L"SCROLL [V|H [+|-|H(ome)|E(nd)|P(rev)|N(ext) [nn]]]  default: v+1\r\n");
    EXPECT_EQ(Help(L"*keyhandler"),
              L"Binds Alt-Left/Right to CYCLE; disabled (in favor of\r\nhorizontal scrolling) when Scroll-Lock is "
              L"on\r\n\r\nCtrl-Down/Up - make console one row bigger/smaller\r\n\r\n");
    // Only the first word names the item.
    EXPECT_EQ(Help(L"_bufrows please"), L"screen buffer rows\r\n");
    EXPECT_EQ(Err(), L"");
}

TEST_F(ConhelpTest, UnknownNameReportsOnStandardError) {
    int result = -9;
    EXPECT_EQ(Help(L"nosuchname", &result), L"");
    EXPECT_EQ(Err(), kNotFound);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Help(L"LIS"), L"");
    EXPECT_EQ(Err(), kNotFound);
}

// Commands without a one-line text show whatever they print for "/?" themselves, so this holds
// whether a command is built yet or not; and no name is left without help. Every help reaches
// the host one line per call, however many lines it has.
TEST_F(ConhelpTest, EveryNameHasHelpAndCommandsShowTheirOwnUsage) {
    for (const RegisteredName& expected : kRegisteredNames) {
        const std::wstring name = expected.name;
        SCOPED_TRACE(testing::PrintToString(name));
        int result = -9;
        const std::wstring shown = Help(name, &result);
        EXPECT_LE(StandIn_MostLineEnds(), 1);
        EXPECT_EQ(result, 0);
        EXPECT_NE(shown, L"");
        EXPECT_EQ(Err(), L"");
        if (expected.help) {
            EXPECT_EQ(shown, std::wstring(expected.help) + L"\r\n");
        } else if (name != L"CONHELP") {
            StandIn_ClearOutput();
            Run(name, L"/?");
            EXPECT_EQ(shown, Out());
            EXPECT_LE(StandIn_MostLineEnds(), 1);
        }
    }
}

TEST_F(ConhelpTest, OverridingListLimitsWhatIsShown) {
    {
        NameListOverride only(L"cycle, _fgconsole");
        ASSERT_TRUE(only.Reloaded());
        EXPECT_EQ(HelpDirect(L"list"), L"_FGCONSOLE\r\nCYCLE\r\n");
        EXPECT_EQ(HelpDirect(L"_bufrows"), L"");
        EXPECT_EQ(Err(), kNotFound);
        EXPECT_EQ(HelpDirect(L"_FGCONSOLE"), L"1 if console is foreground, else 0\r\n");
    }
    {
        NameListOverride withKeys(L"*keyhandler,vbeep,unknownthing");
        ASSERT_TRUE(withKeys.Reloaded());
        EXPECT_EQ(HelpDirect(L"list"), L"VBEEP\r\n*KEYHANDLER\r\n");
        EXPECT_EQ(HelpDirect(L"unknownthing"), L"");
        EXPECT_EQ(Err(), kNotFound);
    }
}

TEST_F(ConhelpTest, UsageExportCopiesOneLineTexts) {
    auto usage = Entry<int(wchar_t*, wchar_t*)>("Usage");
    ASSERT_NE(usage, nullptr);
    std::vector<wchar_t> buffer(1024, L'#');
    buffer.back() = L'\0';

    wchar_t cycle[] = L"CYCLE";
    EXPECT_EQ(usage(cycle, buffer.data()), 0);
    EXPECT_EQ(buffer[0], L'#') << "buffer untouched";

    wchar_t qe[] = L"_QE";
    EXPECT_EQ(usage(qe, buffer.data()), 1);
    EXPECT_STREQ(buffer.data(), L"QuickEdit: 0 = disabled, 1 = enabled");

    wchar_t keys[] = L"*keyhandler";
    EXPECT_EQ(usage(keys, buffer.data()), 1);
    EXPECT_EQ(std::wstring(buffer.data()).size(), 154u);

    wchar_t unknown[] = L"_NOSUCH";
    EXPECT_EQ(usage(unknown, buffer.data()), 0);
    EXPECT_EQ(usage(nullptr, buffer.data()), 0);
    EXPECT_EQ(usage(qe, nullptr), 0);
    EXPECT_EQ(Out() + Err(), L"");
}

TEST_F(ConhelpTest, HelpExportShowsActiveNamesOnly) {
    auto help = Entry<int(wchar_t*)>("Help");
    ASSERT_NE(help, nullptr);
    wchar_t name[] = L"_bufrows";
    EXPECT_EQ(help(name), 1);
    EXPECT_STREQ(name, L"_BUFROWS") << "upper-cased in place";
    EXPECT_EQ(Out(), L"screen buffer rows\r\n");

    StandIn_ClearOutput();
    wchar_t self[] = L"conhelp";
    EXPECT_EQ(help(self), 1);
    EXPECT_EQ(Out(), kUsageLine);

    StandIn_ClearOutput();
    wchar_t inactive[] = L"nosuch";
    EXPECT_EQ(help(inactive), 1);
    EXPECT_EQ(help(nullptr), 1);
    EXPECT_EQ(Out() + Err(), L"") << "an inactive name shows nothing";

    NameListOverride only(L"CYCLE");
    ASSERT_TRUE(only.Reloaded());
    help = Entry<int(wchar_t*)>("Help");
    StandIn_ClearOutput();
    wchar_t dropped[] = L"_BUFROWS";
    EXPECT_EQ(help(dropped), 1);
    EXPECT_EQ(Out() + Err(), L"");
}

}  // namespace
