// SETICON and @ICONS against icons the project makes itself: testicons.dll (three groups, the
// first named by a string) and .ico files written here.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/import_patch.h"
#include "support/plugin_test.h"
#include "window/icons.h"

using namespace zarnith;

namespace {

// A 16 x 16, 32-bit .ico file in one colour.
std::string IcoFile() {
    std::string bytes;
    auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes += char((value >> (8 * i)) & 0xFF);
    };
    const uint32_t imageBytes = 40 + 16 * 16 * 4 + 16 * 4;
    put(0, 2), put(1, 2), put(1, 2);                                  // directory: icon, one image
    put(16, 1), put(16, 1), put(0, 1), put(0, 1), put(1, 2), put(32, 2), put(imageBytes, 4), put(22, 4);
    put(40, 4), put(16, 4), put(32, 4), put(1, 2), put(32, 2), put(0, 4), put(imageBytes - 40, 4);
    put(0, 4), put(0, 4), put(0, 4), put(0, 4);
    for (int i = 0; i < 16 * 16; ++i) put(0xFF30A0F0u, 4);
    for (int i = 0; i < 16; ++i) put(0, 4);
    return bytes;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary);
    file << bytes;
}

// A file in the temporary folder, named with the extension SETICON looks at; removed at scope end.
struct IconFileName {
    explicit IconFileName(const wchar_t* stem) {
        wchar_t dir[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        path = std::wstring(dir) + L"zarnith-" + std::to_wstring(GetCurrentProcessId()) + stem;
    }
    ~IconFileName() { DeleteFileW(path.c_str()); }
    std::wstring path;
};

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

TEST(IconArguments, WhatEachArgumentListAsksFor) {
    using K = IconSourceKind;
    struct Case {
        std::vector<const wchar_t*> args;
        IconSourceKind kind;
        long index;
    };
    const std::vector<Case> cases = {
        {{}, K::Usage, 0},
        {{L"/?"}, K::Usage, 0},
        {{L"a.ico"}, K::IconFile, 0},
        {{L"A.ICO", L"7"}, K::IconFile, 0},  // the second argument of an icon file is not read
        {{L"lib.Dll", L"2"}, K::Library, 2},
        {{L"prog.EXE", L"+3"}, K::Library, 3},
        {{L"lib.dll"}, K::Usage, 0},
        {{L"lib.dll", L"0"}, K::Usage, 0},
        {{L"lib.dll", L"-1"}, K::Usage, 0},
        {{L"lib.dll", L"x"}, K::Usage, 0},
        {{L"lib.dll", L"1", L"2"}, K::Usage, 0},
        {{L"a.ico", L"1", L"2"}, K::Usage, 0},
        {{L"noextension", L"1"}, K::Usage, 0},
        {{L"image.png", L"1"}, K::Usage, 0},
        {{L"c:\\my.dll\\file", L"1"}, K::Usage, 0},  // the last point, even in a folder name
        {{L"c:\\my.dir\\icon.ico"}, K::IconFile, 0},
        {{L"lib.dll.bak", L"1"}, K::Usage, 0},
    };
    for (const Case& c : cases) {
        const IconSource s = ClassifyIconArguments(c.args);
        std::wstring shown;
        for (auto* a : c.args) shown += std::wstring(a) + L" ";
        EXPECT_EQ(int(s.Kind), int(c.kind)) << Narrow(shown);
        if (c.kind == K::Library) {
            EXPECT_EQ(s.Index, c.index) << Narrow(shown);
        }
    }
}

// Counts what the plug-in loads as data and frees, so every path can be checked for leaks.
int Loads = 0, Frees = 0;
using LoadLibraryExWFn = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);
LoadLibraryExWFn RealLoad = nullptr;
HMODULE WINAPI CountLoad(LPCWSTR name, HANDLE file, DWORD flags) {
    HMODULE m = RealLoad(name, file, flags);
    if (m) ++Loads;
    return m;
}
BOOL WINAPI CountFree(HMODULE m) {
    ++Frees;
    return FreeLibrary(m);
}

// The console-icon setter as the tests want it: present or not, accepting or refusing.
bool SetterPresent = true;
BOOL SetterAnswer = TRUE;
std::vector<HICON> SetterIcons;
BOOL WINAPI FakeSetConsoleIcon(HICON icon) {
    SetterIcons.push_back(icon);
    return SetterAnswer;
}
FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
    if (!IS_INTRESOURCE(name) && std::string(name) == "SetConsoleIcon")
        return SetterPresent ? reinterpret_cast<FARPROC>(FakeSetConsoleIcon) : nullptr;
    return GetProcAddress(module, name);
}

// Every message the plug-in sends with a timeout is also counted here. With WindowKeepsIcons the
// console window behaves as conhost's does (icon.cpp): it keeps what WM_SETICON gives and answers
// it back to WM_GETICON; Wine's console window keeps nothing.
int TrayMessages = 0;
bool WindowKeepsIcons = false;
HICON KeptIcons[2] = {};
using SendTimeoutFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);
SendTimeoutFn RealSendTimeout = nullptr;
LRESULT WINAPI CountSend(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT flags, UINT timeout, PDWORD_PTR result) {
    if (m == kTrayIconChanged) ++TrayMessages;
    if (WindowKeepsIcons && w == GetConsoleWindow() && (m == WM_SETICON || m == WM_GETICON) && wp <= ICON_BIG) {
        *result = reinterpret_cast<DWORD_PTR>(KeptIcons[wp]);
        if (m == WM_SETICON) KeptIcons[wp] = reinterpret_cast<HICON>(lp);
        return TRUE;
    }
    return RealSendTimeout(w, m, wp, lp, flags, timeout, result);
}

bool Alive(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return false;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

class IconsTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        const HMODULE m = Plugin().Module();
        load_ = std::make_unique<ImportPatch>(m, "kernel32.dll", "LoadLibraryExW", reinterpret_cast<void*>(CountLoad));
        free_ = std::make_unique<ImportPatch>(m, "kernel32.dll", "FreeLibrary", reinterpret_cast<void*>(CountFree));
        proc_ = std::make_unique<ImportPatch>(m, "kernel32.dll", "GetProcAddress",
                                              reinterpret_cast<void*>(FakeGetProcAddress));
        send_ = std::make_unique<ImportPatch>(m, "user32.dll", "SendMessageTimeoutW", reinterpret_cast<void*>(CountSend));
        ASSERT_TRUE(load_->Applied() && free_->Applied() && proc_->Applied() && send_->Applied());
        RealLoad = load_->OriginalAs<std::remove_pointer_t<LoadLibraryExWFn>>();
        RealSendTimeout = send_->OriginalAs<std::remove_pointer_t<SendTimeoutFn>>();
        Loads = Frees = TrayMessages = 0;
        WindowKeepsIcons = false;
        KeptIcons[0] = KeptIcons[1] = nullptr;
        SetterPresent = true;
        SetterAnswer = TRUE;
        SetterIcons.clear();
    }
    void TearDown() override {
        EXPECT_EQ(Loads, Frees) << "a module loaded as data was not freed";
        send_.reset(), proc_.reset(), free_.reset(), load_.reset();
        PluginTest::TearDown();
    }

private:
    std::unique_ptr<ImportPatch> load_, free_, proc_, send_;
};

TEST_F(IconsTest, CountsIconGroups) {
    EXPECT_EQ(Func(L"@ICONS", L"testicons.dll"), L"3");
    EXPECT_EQ(Func(L"@ICONS", L"no-such-library.dll"), L"-1");
    EXPECT_EQ(Func(L"@ICONS", L"ZARNITH.dll"), L"0") << "a library without icon groups";
    EXPECT_EQ(Func(L"@ICONS", L""), L"-1");
    EXPECT_EQ(Func(L"@ICONS", std::wstring(3000, L'a') + L".dll"), L"-1") << "a path longer than any folder";
    EXPECT_EQ(Loads, 2);

    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::wstring folder = std::wstring(dir) + L"zarnith icons " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\test icons.dll";
    ASSERT_TRUE(CopyFileW(L"testicons.dll", copy.c_str(), FALSE));
    EXPECT_EQ(Func(L"@ICONS", L"\"" + copy + L"\""), L"3");
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(IconsTest, UsageCases) {
    const std::wstring usage =
        L"SETICON  iconfile\r\nSETICON  library  index\r\n\r\n  iconfile: *.ICO\r\n  library:  *.DLL or *.EXE\r\n"
        L"  index:    1 to @ICONS[library]\r\n\r\n  Icon search order: system_small, system_default, first "
        L"available.\r\n";
    for (const wchar_t* line : {L"", L"/?", L"testicons.dll 0", L"testicons.png 1"}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"SETICON", line), -1) << Narrow(line);
        EXPECT_EQ(Out(), usage) << Narrow(line);
        EXPECT_EQ(Err(), L"");
    }
    EXPECT_EQ(Loads, 0);
    EXPECT_TRUE(SetterIcons.empty());
}

TEST_F(IconsTest, LibraryFailures) {
    EXPECT_EQ(Run(L"SETICON", L"no-such-library.dll 1"), -2);
    EXPECT_EQ(Err(), L"SETICON error: code = -2\r\n");

    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"SETICON", L"testicons.DLL 4"), -1) << "one past the number of groups";
    EXPECT_EQ(Err(), L"No icon: testicons.DLL 4\r\n");
    EXPECT_TRUE(SetterIcons.empty());

    StandIn_ClearOutput();
    SetterPresent = false;
    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 1"), -3);
    EXPECT_EQ(Err(), L"SETICON error: code = -3\r\n");

    // A refusing setter: its icon is destroyed and no tray tool hears of it.
    StandIn_ClearOutput();
    SetterPresent = true;
    SetterAnswer = FALSE;
    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 2"), -4);
    EXPECT_EQ(Err(), L"SETICON error: code = -4\r\n");
    ASSERT_EQ(SetterIcons.size(), 1u);
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(SetterIcons[0], &info)) << "the refused icon was not destroyed";
    EXPECT_EQ(TrayMessages, 0);
}

// Windows 10/11: the setter is there but refuses (or is gone); the window takes the icon instead.
TEST_F(IconsTest, FallsBackToTheWindowAndKeepsTheIconItShows) {
    WindowKeepsIcons = true;
    SetterAnswer = FALSE;
    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 2"), 0);
    ASSERT_EQ(SetterIcons.size(), 1u);
    const HICON first = SetterIcons[0];
    EXPECT_EQ(KeptIcons[ICON_BIG], first);
    EXPECT_EQ(KeptIcons[ICON_SMALL], first);
    EXPECT_TRUE(Alive(first)) << "the icon the window shows was destroyed";

    SetterPresent = false;
    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 3"), 0);
    const HICON second = KeptIcons[ICON_BIG];
    EXPECT_NE(second, first);
    EXPECT_TRUE(Alive(second));
    EXPECT_FALSE(Alive(first)) << "the replaced icon was kept";
    EXPECT_EQ(Err(), L"");

    // Accepted by the setter the icon is just as much in use.
    WindowKeepsIcons = false;
    SetterPresent = true;
    SetterAnswer = TRUE;
    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 1"), 0);
    EXPECT_TRUE(Alive(SetterIcons.back()));
    EXPECT_FALSE(Alive(second));
}

BOOL CALLBACK FirstGroupName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR out) {
    *reinterpret_cast<std::wstring*>(out) = IS_INTRESOURCE(name) ? L"" : name;
    return FALSE;
}

TEST_F(IconsTest, EveryGroupLoadsAndNothingIsSentWithoutTrayTools) {
    {  // group 1 is the one named by a string: that name is what has to load
        HMODULE data = LoadLibraryExW(L"testicons.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(data, nullptr);
        std::wstring first;
        EnumResourceNamesW(data, RT_GROUP_ICON, FirstGroupName, reinterpret_cast<LONG_PTR>(&first));
        FreeLibrary(data);
        ASSERT_EQ(first, L"ZICONGROUP");
    }
    for (const wchar_t* line : {L"testicons.dll 1", L"testicons.dll 2", L"TESTICONS.Dll 3"}) {
        SetterIcons.clear();
        EXPECT_EQ(Run(L"SETICON", line), 0) << Narrow(line);
        ASSERT_EQ(SetterIcons.size(), 1u);
        EXPECT_NE(SetterIcons[0], nullptr);
    }
    EXPECT_EQ(Err(), L"");
    EXPECT_EQ(TrayMessages, 0);
    EXPECT_EQ(Loads, 3);
}

TEST_F(IconsTest, IconFiles) {
    IconFileName good(L"-good.ico"), broken(L"-broken.Ico");
    WriteFile(good.path, IcoFile());
    WriteFile(broken.path, "not an icon at all");

    EXPECT_EQ(Run(L"SETICON", L"\"" + good.path + L"\" ignored"), 0);
    EXPECT_EQ(SetterIcons.size(), 1u);
    EXPECT_EQ(Loads, 0);

    EXPECT_EQ(Run(L"SETICON", L"\"" + broken.path + L"\""), -1);
    EXPECT_EQ(Err(), L"No icon: " + broken.path + L" \r\n");
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"SETICON", L"\"" + good.path + L".missing.ico\" 5"), -1);
    EXPECT_EQ(Err(), L"No icon: " + good.path + L".missing.ico 5\r\n");
}

// Stand-ins for the two tray tools: each counts the notification it receives.
int WispenSeen = 0, MorvaneSeen = 0;
LRESULT CALLBACK TrayProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kTrayIconChanged && wp == 0 && lp == 0) {
        wchar_t cls[32] = {};
        GetClassNameW(w, cls, 32);
        ++(std::wstring(cls) == L"MORVANE" ? MorvaneSeen : WispenSeen);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

TEST_F(IconsTest, BothTrayToolsAreNotified) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = TrayProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"Class_WispenWindow";
    RegisterClassW(&cls);
    cls.lpszClassName = L"MORVANE";
    RegisterClassW(&cls);

    const std::wstring title = L"WispenWindow" + std::to_wstring(GetCurrentProcessId());
    HWND wispen = CreateWindowExW(0, L"Class_WispenWindow", title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                  nullptr, cls.hInstance, nullptr);
    const HWND console = GetConsoleWindow();
    const std::wstring handle = std::to_wstring(unsigned(uintptr_t(console)));
    HWND morvane = CreateWindowExW(0, L"MORVANE", handle.c_str(), WS_CHILD, 0, 0, 10, 10, console, nullptr,
                                   cls.hInstance, nullptr);
    ASSERT_NE(wispen, nullptr);
    ASSERT_NE(morvane, nullptr) << "no child window of the console could be made";
    WispenSeen = MorvaneSeen = 0;

    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 2"), 0);
    EXPECT_EQ(WispenSeen, 1);
    EXPECT_EQ(MorvaneSeen, 1);

    // A refused icon notifies nobody.
    SetterAnswer = FALSE;
    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 2"), -4);
    EXPECT_EQ(WispenSeen + MorvaneSeen, 2);

    // One tool alone is still found.
    SetterAnswer = TRUE;
    DestroyWindow(wispen);
    EXPECT_EQ(Run(L"SETICON", L"testicons.dll 3"), 0);
    EXPECT_EQ(MorvaneSeen, 2);
    EXPECT_EQ(WispenSeen, 1);
    DestroyWindow(morvane);
    UnregisterClassW(L"Class_WispenWindow", cls.hInstance);
    UnregisterClassW(L"MORVANE", cls.hInstance);
}

}  // namespace
