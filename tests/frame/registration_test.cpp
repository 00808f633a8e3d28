// The plug-in protocol as the host sees it: the record, the name list, start-up state.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "console/blank_rows.h"
#include "frame/entry.h"
#include "frame/helpers.h"
#include "frame/plugin.h"
#include "frame/registry.h"
#include "support/registered_names.h"
#include "support/import_patch.h"
#include "support/plugin_state.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

std::wstring DefaultList() {
    SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
    return GetPluginInfo()->NameList;
}

class RegistrationTest : public PluginTest {};

TEST_F(RegistrationTest, InformationRecordAsTheHostReadsIt) {
    HostPluginInfo* info = Plugin().Info();
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->Name, L"ZARNITH");
    EXPECT_STREQ(info->Description, L"Various console-related utilities");
    EXPECT_EQ(info->WebAddress, nullptr);
    EXPECT_NE(info->Author, nullptr);
    EXPECT_NE(info->Email, nullptr);
    EXPECT_EQ(info->Major, 6);
    EXPECT_EQ(info->Minor, 6);
    EXPECT_EQ(info->Build, 6);
    EXPECT_EQ(info->HostField1, 0u);
    EXPECT_EQ(info->HostField2, 0u);
    EXPECT_EQ(Plugin().InitializeResult(), 0);
}

// The version the host's PLUGIN listing shows and the one in the DLL's properties are one number:
// the build's project version (passed in by the test build, not taken from the plug-in's sources).
TEST_F(RegistrationTest, VersionResourceAndRecordCarryTheProjectVersion) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(Plugin().Module(), path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD versionMS = (ZARNITH_PROJECT_VERSION_MAJOR << 16) | ZARNITH_PROJECT_VERSION_MINOR;
    const DWORD versionLS = ZARNITH_PROJECT_VERSION_PATCH << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, versionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLS);
    EXPECT_EQ(fixed->dwProductVersionMS, versionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLS);
    for (const wchar_t* key : {L"FileVersion", L"ProductVersion"}) {
        SCOPED_TRACE(key);
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        wchar_t* text = nullptr;
        ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length));
        EXPECT_EQ(std::wstring(text), ZARNITH_PROJECT_VERSION);
    }

    HostPluginInfo* info = Plugin().Info();
    EXPECT_EQ(info->Major, HIWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(info->Minor, LOWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(info->Build, HIWORD(fixed->dwFileVersionLS));
}

std::wstring programPath;
DWORD WINAPI FakeProgramPath(HMODULE, wchar_t* path, DWORD size) {
    lstrcpynW(path, programPath.c_str(), int(size));
    return DWORD(wcslen(path));
}

// TCC hands keys by name from version 24 on; the stand-in host carries a current TCC's version,
// 33. This test program has no version resource, and the plug-in's own version (6) is older.
TEST_F(RegistrationTest, KeysComeByNameFromHostsOfVersion24On) {
    EXPECT_FALSE(HostHandsKeysByName());
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring folder = std::wstring(self).substr(0, std::wstring(self).find_last_of(L'\\') + 1);
    const ImportPatch path(GetModuleHandleW(nullptr), "kernel32.dll", "GetModuleFileNameW",
                           reinterpret_cast<void*>(FakeProgramPath));
    ASSERT_TRUE(path.Applied());
    const std::pair<const wchar_t*, bool> hosts[] = {{L"zhost.exe", true}, {L"ZARNITH.dll", false}, {L"none.exe", false}};
    for (const auto& [program, byName] : hosts) {
        programPath = folder + program;
        EXPECT_EQ(HostHandsKeysByName(), byName) << program;
    }
    EXPECT_EQ(ProgramMajorVersion((folder + L"zhost.exe").c_str()), 33u);
}

TEST_F(RegistrationTest, DefaultNameListHoldsEveryRowInOrder) {
    const std::wstring list = DefaultList();
    EXPECT_EQ(list.size(), 352u);
    EXPECT_EQ(list.rfind(L"_ALTENTER,_BUFROWS,_BUFCOLS", 0), 0u);
    EXPECT_TRUE(list.ends_with(L"XCLOSE,VBEEP,*KEYHANDLER"));
    std::wstring expected;
    for (const RegisteredName& name : kRegisteredNames) expected += (expected.empty() ? L"" : L",") + std::wstring(name.name);
    EXPECT_EQ(list, expected);
    size_t names = 1;
    for (wchar_t c : list) names += c == L',';
    EXPECT_EQ(names, 45u);
    // The loaded DLL registers the same list.
    EXPECT_EQ(std::wstring(Plugin().Info()->NameList), list);
    EXPECT_EQ(Plugin().Names().size(), 45u);
}

// The rows are the registered names and texts in order, each behind the export the host calls;
// only the key handler has no command entry to call with "/?".
TEST_F(RegistrationTest, RowsAreTheRegisteredNamesBehindTheirExports) {
    ASSERT_EQ(std::size(RegistrationTable), std::size(kRegisteredNames));
    for (size_t r = 0; r < std::size(kRegisteredNames); ++r) {
        const RegisteredName& expected = kRegisteredNames[r];
        SCOPED_TRACE(testing::PrintToString(std::wstring(expected.name)));
        EXPECT_STREQ(RegistrationTable[r].Name, expected.name);
        if (expected.help) EXPECT_STREQ(RegistrationTable[r].HelpText, expected.help);
        else EXPECT_EQ(RegistrationTable[r].HelpText, nullptr);
        EXPECT_EQ(RegistrationTable[r].Entry == nullptr, expected.name[0] == L'*');
        EXPECT_NE(Plugin().Export(ExportOf(expected.name).c_str()), nullptr);
    }
}

TEST_F(RegistrationTest, LoadVariableOverridesTheList) {
    SetEnvironmentVariableW(L"ZARNITH_LOAD", L"cycle, _fgconsole");
    PluginInfo* first = GetPluginInfo();
    EXPECT_STREQ(first->NameList, L"CYCLE, _FGCONSOLE");
    // A second call gives the same record with a freshly built list.
    SetEnvironmentVariableW(L"ZARNITH_LOAD", L"conhelp");
    PluginInfo* second = GetPluginInfo();
    EXPECT_EQ(first, second);
    EXPECT_STREQ(second->NameList, L"CONHELP");
    // Empty: the default list.
    SetEnvironmentVariableW(L"ZARNITH_LOAD", L"");
    EXPECT_EQ(std::wstring(GetPluginInfo()->NameList).size(), 352u);
    SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
}

TEST_F(RegistrationTest, UnknownLoadNamesAreLeftOutAndNamed) {
    struct Case {
        const wchar_t* value;
        const wchar_t* list;  // null: the default list
        const wchar_t* error;
    } cases[] = {
        {L"cycle,  _fgconsole,,", L"CYCLE,  _FGCONSOLE,,", L""},  // all known: exactly as given
        {L"cycle, cycel _fgconsole", L"CYCLE,_FGCONSOLE",
         L"ZARNITH: ZARNITH_LOAD names that ZARNITH does not have: CYCEL\r\n"},
        {L"@bufchar,*keyhandler,nosuch,fcls,xyz", L"@BUFCHAR,*KEYHANDLER,FCLS",
         L"ZARNITH: ZARNITH_LOAD names that ZARNITH does not have: NOSUCH,XYZ\r\n"},
        {L"nosuch", nullptr, L"ZARNITH: ZARNITH_LOAD names that ZARNITH does not have: NOSUCH\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.value)));
        StandIn_ClearOutput();
        SetEnvironmentVariableW(L"ZARNITH_LOAD", c.value);
        const std::wstring list = GetPluginInfo()->NameList;
        if (c.list) EXPECT_EQ(list, c.list);
        else EXPECT_EQ(list.size(), 352u);
        EXPECT_EQ(Err(), c.error);
    }
    SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
    DefaultList();
}

TEST_F(RegistrationTest, OverlongLoadVariableIsIgnored) {
    for (size_t length : {511u, 512u, 600u, 5000u}) {
        SCOPED_TRACE(length);
        std::wstring value;
        while (value.size() + 5 < length) value += L"fcls,";
        value.resize(length, L' ');
        SetEnvironmentVariableW(L"ZARNITH_LOAD", value.c_str());
        const std::wstring list = GetPluginInfo()->NameList;
        if (length < 512) EXPECT_EQ(list, std::wstring(CharUpperW(value.data())));
        else EXPECT_EQ(list.size(), 352u);
    }
    SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
    DefaultList();
}

TEST_F(RegistrationTest, OverridingListLimitsTheLoadedNames) {
    SetEnvironmentVariableW(L"ZARNITH_LOAD", L"cycle, _fgconsole");
    ASSERT_TRUE(ReloadPlugin());
    EXPECT_EQ(Plugin().Names().size(), 2u);
    EXPECT_TRUE(Plugin().IsRegistered(L"CYCLE"));
    EXPECT_FALSE(Plugin().IsRegistered(L"CONSIZE"));
    SetEnvironmentVariableW(L"ZARNITH_LOAD", nullptr);
    ASSERT_TRUE(ReloadPlugin());
    EXPECT_EQ(Plugin().Names().size(), 45u);
}

int consoleWindowCalls = 0;
HWND WINAPI CountingGetConsoleWindow() {
    ++consoleWindowCalls;
    return nullptr;
}

TEST_F(RegistrationTest, InsideATakeCommandTabNothingIsSetUp) {
    Plugin().Unload();
    HMODULE fresh = LoadLibraryW(L"ZARNITH.dll");
    ASSERT_NE(fresh, nullptr);
    {
        ImportPatch patch(fresh, "kernel32.dll", "GetConsoleWindow", reinterpret_cast<void*>(CountingGetConsoleWindow));
        ASSERT_TRUE(patch.Applied());
        StandIn_SetVariable(L"_TCTAB", L"1");
        auto initialize = reinterpret_cast<int (*)()>(GetProcAddress(fresh, "InitializePlugin"));
        consoleWindowCalls = 0;
        EXPECT_EQ(initialize(), 1);
        EXPECT_EQ(consoleWindowCalls, 0);
        StandIn_SetVariable(L"_TCTAB", L"0");
        EXPECT_EQ(initialize(), 0);
        EXPECT_EQ(consoleWindowCalls, 1);
    }
    FreeLibrary(fresh);
    ASSERT_TRUE(ReloadPlugin());

    // The same in this program's own copy of the frame, where the state can be read.
    const StateOverride window(&PluginState::consoleWindow, nullptr);
    const StateOverride actions(&PluginState::keyActions, {0, 0, 6, 2, 1});
    StandIn_SetVariable(L"_TCTAB", L"1");
    EXPECT_EQ(InitializePlugin(), 1);
    EXPECT_EQ(State().consoleWindow, nullptr);
    const uint8_t defaults[5] = {0, 0, 6, 2, 1};
    EXPECT_EQ(0, memcmp(State().keyActions, defaults, 5));
    EXPECT_TRUE(InTakeCommandTab());
    StandIn_SetVariable(L"_TCTAB", L"0");
    EXPECT_FALSE(InTakeCommandTab());
}

TEST_F(RegistrationTest, KeyActionsComeFromTheHostIniFile) {
    TempFile ini(L"keyactions.ini");
    StandIn_SetVariable(L"_ININAME", ini.Path().c_str());
    struct Case {
        const char* value;  // null: no key at all
        uint8_t expected[5];
    } cases[] = {
        {nullptr, {0, 0, 6, 2, 1}},
        {"00621", {0, 0, 6, 2, 1}},
        {"1", {1, 0, 6, 2, 99}},     // fifth value left as it was
        {"0062", {0, 0, 6, 2, 99}},     // fifth value left as it was (preset 99 below)
        {"0062300", {0, 0, 6, 2, 44}},  // 300 modulo 256
        // A character that is no digit keeps that position's default.
        {"A", {0, 0, 6, 2, 99}},
        {"3x7+", {3, 0, 7, 2, 99}},
        {"9999", {9, 9, 9, 9, 99}},
        {"00623-", {0, 0, 6, 2, 1}},
        {"0062 5", {0, 0, 6, 2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(none)");
        {
            std::ofstream file(ini.Path().c_str(), std::ios::trunc);
            file << "[HSCROLL]\n";
            if (c.value) file << "KeyActions=" << c.value << "\n";
        }
        const StateOverride preset(&PluginState::keyActions, {0, 0, 6, 2, 99});
        ReadKeyActions();
        uint8_t expected[5];
        memcpy(expected, c.expected, 5);
        if (c.value == nullptr) expected[4] = 1;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(State().keyActions[i], expected[i]) << "entry " << i;
    }
}

// The name list is the frame's; the kept blanks are a registered shutdown step's.
TEST_F(RegistrationTest, ShutdownReleasesTheNameListAndWhatCommandsKept) {
    DefaultList();
    EXPECT_TRUE(BlankRows(OpenStandardOutputBuffer(), tconsole::Info(), 0, 1));
    ASSERT_NE(State().blankCells, nullptr);
    const int live = StandIn_LiveBlocks();
    EXPECT_EQ(ShutdownPlugin(), 0);
    EXPECT_EQ(State().nameList, nullptr);
    EXPECT_EQ(State().blankCells, nullptr);
    EXPECT_EQ(StandIn_LiveBlocks(), live - 1);
    EXPECT_FALSE(IsActiveName(L"CONSIZE"));
    EXPECT_EQ(ShutdownPlugin(), 0);  // twice is harmless
    DefaultList();
}

}  // namespace
