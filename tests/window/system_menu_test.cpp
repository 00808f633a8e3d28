// XCLOSE, _XCLOSE and SYSMENU. Wine hands out no system menu for its console window, so the
// plug-in is given the system menu of a window this test owns.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/import_patch.h"
#include "support/plugin_test.h"
#include "window/system_menu.h"

namespace {

HMENU TestMenu = nullptr;
HMENU WINAPI GiveTestMenu(HWND, BOOL) { return TestMenu; }

class XcloseTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        window_ = CreateWindowExW(0, L"STATIC", L"xclose test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        TestMenu = GetSystemMenu(window_, FALSE);
        ASSERT_NE(TestMenu, nullptr);
        ASSERT_EQ(GetMenuItemID(TestMenu, zarnith::kClosePosition), UINT(SC_CLOSE)) << "unexpected standard menu";
        patch_ = std::make_unique<ImportPatch>(Plugin().Module(), "user32.dll", "GetSystemMenu",
                                               reinterpret_cast<void*>(GiveTestMenu));
        ASSERT_TRUE(patch_->Applied());
    }
    void TearDown() override {
        patch_.reset();
        if (window_) DestroyWindow(window_);
        PluginTest::TearDown();
    }
    HWND window_ = nullptr;
    std::unique_ptr<ImportPatch> patch_;
};

TEST_F(XcloseTest, OffAndOnInAnyLetterCase) {
    const int items = GetMenuItemCount(TestMenu);
    EXPECT_EQ(Run(L"XCLOSE"), 0);
    EXPECT_EQ(Out(), L"XCLOSE is ON\r\n");
    EXPECT_EQ(Var(L"_XCLOSE"), L"1");

    EXPECT_EQ(Run(L"XCLOSE", L"off"), 0);
    EXPECT_FALSE(zarnith::CloseItemPresent(TestMenu));
    EXPECT_EQ(GetMenuItemCount(TestMenu), items - 1);
    EXPECT_EQ(Var(L"_XCLOSE"), L"0");
    EXPECT_EQ(Run(L"XCLOSE", L"Off"), 0) << "a second OFF is a silent no-op";
    EXPECT_EQ(GetMenuItemCount(TestMenu), items - 1);
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"XCLOSE"), 0);
    EXPECT_EQ(Out(), L"XCLOSE is OFF\r\n");

    EXPECT_EQ(Run(L"XCLOSE", L"on"), 0);
    EXPECT_EQ(GetMenuItemID(TestMenu, zarnith::kClosePosition), UINT(SC_CLOSE));
    EXPECT_EQ(Run(L"XCLOSE", L"ON"), 0);
    EXPECT_EQ(GetMenuItemCount(TestMenu), items) << "a second ON inserts nothing";
    EXPECT_EQ(Var(L"_XCLOSE"), L"1");
}

struct CloseItem {
    std::wstring text;
    HBITMAP bitmap;
    UINT state;
    int position;
    bool operator==(const CloseItem&) const = default;
};
CloseItem ReadCloseItem() {
    wchar_t text[64] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STRING | MIIM_BITMAP | MIIM_STATE;
    item.dwTypeData = text;
    item.cch = 64;
    GetMenuItemInfoW(TestMenu, SC_CLOSE, FALSE, &item);
    int position = -1;
    for (int i = 0; i < GetMenuItemCount(TestMenu); ++i)
        if (GetMenuItemID(TestMenu, i) == SC_CLOSE) position = i;
    return {text, item.hbmpItem, item.fState, position};
}
void SetCloseItem(const wchar_t* text, UINT state) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STRING | MIIM_BITMAP | MIIM_STATE;
    item.dwTypeData = const_cast<wchar_t*>(text);
    item.hbmpItem = HBMMENU_POPUP_CLOSE;
    item.fState = state;
    ASSERT_TRUE(SetMenuItemInfoW(TestMenu, SC_CLOSE, FALSE, &item));
}

// conhost's Close item has a text in the user's language and the close bitmap
// (src/interactivity/win32/menu.cpp, Menu::CreateInstance): ON puts back what OFF removed.
TEST_F(XcloseTest, OnPutsBackTheItemOffRemoved) {
    SetCloseItem(L"Schlie\u00DFen", MFS_GRAYED);
    ASSERT_TRUE(RemoveMenu(TestMenu, 0, MF_BYPOSITION));  // the item no longer where the standard menu has it
    const CloseItem before = ReadCloseItem();
    ASSERT_EQ(before.position, int(zarnith::kClosePosition) - 1);
    Run(L"XCLOSE", L"OFF");
    Run(L"XCLOSE", L"OFF");  // a second OFF keeps what the first took
    Run(L"XCLOSE", L"ON");
    EXPECT_EQ(ReadCloseItem(), before);

    // Removed by another program: nothing is known of it, so the plain item comes back.
    ASSERT_TRUE(DeleteMenu(TestMenu, SC_CLOSE, MF_BYCOMMAND));
    Run(L"XCLOSE", L"ON");
    EXPECT_EQ(ReadCloseItem(), (CloseItem{L"Close", HBMMENU_POPUP_CLOSE, 0, int(zarnith::kClosePosition)}));
}

TEST_F(XcloseTest, StatusHelpAndWrongArguments) {
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"XCLOSE", L"GET_STATUS"), 1);
    EXPECT_EQ(Run(L"XCLOSE", L"get_status"), 1);
    Run(L"XCLOSE", L"OFF");
    EXPECT_EQ(Run(L"XCLOSE", L"Get_Status"), 0);
    EXPECT_EQ(Out() + Err(), L"") << "GET_STATUS prints nothing";

    EXPECT_EQ(Run(L"XCLOSE", L"/?"), 0);
    EXPECT_EQ(Out(), L"Disable/enable closing the console\r\n\r\nXCLOSE [ OFF | ON ]\r\n");
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"XCLOSE", L"close"), 0);
    EXPECT_EQ(Run(L"XCLOSE", L"ONE"), 0);
    EXPECT_EQ(Err(), L"Use: XCLOSE [ OFF | ON ]\r\nUse: XCLOSE [ OFF | ON ]\r\n");
    EXPECT_FALSE(zarnith::CloseItemPresent(TestMenu));

    // Only the first argument is read, ended where the host ends it (blank, tab, comma or '/').
    StandIn_ClearOutput();
    const std::pair<const wchar_t*, bool> lines[] = {
        {L"off,please", false}, {L"on please", true}, {L"\toff/x", false}, {L"on\tnow", true}};
    for (const auto& [line, present] : lines) {
        EXPECT_EQ(Run(L"XCLOSE", line), 0);
        EXPECT_EQ(zarnith::CloseItemPresent(TestMenu), present) << line;
    }
    EXPECT_EQ(Err(), L"");
}

using SystemMenuTest = PluginTest;

TEST_F(SystemMenuTest, WithoutASystemMenuCloseReadsAsAbsent) {
    if (GetSystemMenu(GetConsoleWindow(), FALSE) != nullptr) GTEST_SKIP() << "this console has a system menu";
    EXPECT_EQ(Run(L"XCLOSE", L"ON"), 0);
    EXPECT_EQ(Var(L"_XCLOSE"), L"0");
    EXPECT_EQ(Run(L"XCLOSE"), 0);
    EXPECT_EQ(Out(), L"XCLOSE is OFF\r\n");
}

std::vector<INPUT> SentInput;
UINT WINAPI RecordInput(UINT count, LPINPUT inputs, int size) {
    if (size == int(sizeof(INPUT)))
        for (UINT i = 0; i < count; ++i) SentInput.push_back(inputs[i]);
    return count;
}
std::vector<int> DownKeys;
SHORT WINAPI FakeKeyState(int key) {
    for (int k : DownKeys)
        if (k == key) return SHORT(0x8001);
    return 0;
}

TEST_F(SystemMenuTest, KeysGoToKeystackAndHeldModifiersAreReleased) {
    ImportPatch send(Plugin().Module(), "user32.dll", "SendInput", reinterpret_cast<void*>(RecordInput));
    ImportPatch state(Plugin().Module(), "user32.dll", "GetAsyncKeyState", reinterpret_cast<void*>(FakeKeyState));
    ASSERT_TRUE(send.Applied() && state.Applied());
    SentInput.clear();

    DownKeys = {};
    EXPECT_EQ(Run(L"SYSMENU", L" \t c"), 0);
    ASSERT_EQ(StandIn_CommandCount(), 1);
    EXPECT_STREQ(StandIn_CommandLine(0), L"KEYSTACK Alt-\" \" c");
    EXPECT_TRUE(SentInput.empty()) << "no modifier down: no key events";

    DownKeys = {VK_MENU, VK_CONTROL};
    const std::wstring keys = L"\"Close\" " + std::wstring(200, L'x');  // far beyond 13 characters
    EXPECT_EQ(Run(L"SYSMENU", keys), 0);
    ASSERT_EQ(StandIn_CommandCount(), 2);
    EXPECT_EQ(std::wstring(StandIn_CommandLine(1)), L"KEYSTACK Alt-\" \" " + keys);
    ASSERT_EQ(SentInput.size(), 2u);
    EXPECT_EQ(SentInput[0].ki.wVk, VK_CONTROL) << "Shift, Ctrl, Alt order";
    EXPECT_EQ(SentInput[1].ki.wVk, VK_MENU);
    for (const INPUT& in : SentInput) {
        EXPECT_EQ(in.type, DWORD(INPUT_KEYBOARD));
        EXPECT_EQ(in.ki.dwFlags, DWORD(KEYEVENTF_KEYUP));
        EXPECT_EQ(in.ki.wScan, 0);
    }
    DownKeys = {};
}

TEST_F(SystemMenuTest, BlankLineOrHelpShowsTheUsage) {
    const std::wstring usage = L"Invoke Console\\SystemMenu\\...\r\n\r\nUsage:  SYSMENU [keys]\r\n";
    for (const wchar_t* line : {L"", L"   ", L" \t ", L"/?", L"  /?"}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"SYSMENU", line), 0);
        EXPECT_EQ(Out(), usage) << "line " << testing::PrintToString(std::wstring(line));
    }
    EXPECT_EQ(StandIn_CommandCount(), 0);
}

}  // namespace
