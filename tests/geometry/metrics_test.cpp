// The console metric variables, read through the stand-in host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/host.h"
#include "geometry/metrics.h"
#include "support/conhost_model.h"
#include "support/console_types.h"
#include "support/dpi_model.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

POINT mouse{};
BOOL WINAPI FakeCursorPos(LPPOINT p) {
    *p = mouse;
    return TRUE;
}
BOOL WINAPI FailScreenBufferInfo(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO) { return FALSE; }
HWND WINAPI NoWindow(LPCWSTR, LPCWSTR) { return nullptr; }
FARPROC WINAPI NothingExported(HMODULE, LPCSTR) { return nullptr; }
BOOL WINAPI FullScreen(LPDWORD flags) {
    *flags = 2;
    return TRUE;
}
FARPROC WINAPI FullScreenExported(HMODULE, LPCSTR name) {
    return strcmp(name, "GetConsoleDisplayMode") == 0 ? reinterpret_cast<FARPROC>(FullScreen) : nullptr;
}
BOOL WINAPI NoFont(HANDLE, BOOL, PCONSOLE_FONT_INFOEX) { return FALSE; }

class MetricsTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(90, 160, 80, 25);
    }
    // Puts the mouse pointer at a point of the console's client area.
    void MouseAtClient(int x, int y) {
        mouse = {x, y};
        ClientToScreen(GetConsoleWindow(), &mouse);
    }
};

TEST_F(MetricsTest, BufferAndWindowVariablesMatchTheRecord) {
    tconsole::SetCursor(17, 140);  // the view follows the cursor down
    const auto info = tconsole::Info();
    EXPECT_EQ(Var(L"_BUFCOLS"), L"90");
    EXPECT_EQ(Var(L"_BUFROWS"), L"160");
    EXPECT_EQ(Var(L"_BUFX"), L"17");
    EXPECT_EQ(Var(L"_BUFY"), L"140");
    EXPECT_EQ(Var(L"_WINCOLS"), L"80");  // columns 0 to 79 inclusive
    EXPECT_EQ(Var(L"_WINROWS"), L"25");
    EXPECT_EQ(Var(L"_WINROWS"), std::to_wstring(info.srWindow.Bottom - info.srWindow.Top + 1));
}

TEST_F(MetricsTest, AnUnreadableRecordGivesNoNumbers) {
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "GetConsoleScreenBufferInfo", (void*)FailScreenBufferInfo);
    ASSERT_TRUE(patch.Applied());
    for (const wchar_t* name : {L"_BUFCOLS", L"_BUFROWS", L"_BUFX", L"_BUFY", L"_WINCOLS", L"_WINROWS"})
        EXPECT_EQ(Var(name), L"-1");
    EXPECT_EQ(Var(L"_RULER"), L"N/A");
}

TEST_F(MetricsTest, RulerMarksFivesAndTens) {
    EXPECT_EQ(RulerText(0), L"");
    EXPECT_EQ(RulerText(-3), L"");
    const std::wstring ruler110 = RulerText(110);
    EXPECT_EQ(ruler110.substr(90), L"....+....0....+....1");  // 100 gives 0, 110 gives 1
    // The host's result buffer holds at most this many characters.
    EXPECT_EQ(RulerText(9999).size(), size_t(kHostResultCapacity - 1));
    EXPECT_EQ(RulerText(9999).substr(1990, 10), L"....+....0");

    for (SHORT width : {9, 10, 80, 110}) {
        tconsole::SetBufferAndWindow(width, 50, width < 80 ? width : 80, 20);
        EXPECT_EQ(Var(L"_RULER"), RulerText(width)) << width;
    }
    tconsole::SetBufferAndWindow(9, 50, 9, 20);
    EXPECT_EQ(Var(L"_RULER"), L"....+....");
    tconsole::SetBufferAndWindow(10, 50, 10, 20);
    EXPECT_EQ(Var(L"_RULER"), L"....+....1");
    tconsole::SetBufferAndWindow(80, 50, 80, 20);
    EXPECT_EQ(Var(L"_RULER"), L"....+....1....+....2....+....3....+....4....+....5....+....6....+....7....+....8");
}

TEST_F(MetricsTest, WideBufferRulerIsCutToTheResultBuffer) {
    tconsole::SetBufferAndWindow(3000, 30, 80, 20);
    EXPECT_EQ(Var(L"_RULER").size(), size_t(kHostResultCapacity - 1));
}

TEST_F(MetricsTest, BufcharShowsWhatTheConsoleStoresAndLeavesTheCell) {
    tconsole::WriteText(0, 0, L"Q");
    EXPECT_EQ(Func(L"@BUFCHAR", L"65"), L"A");
    EXPECT_EQ(Func(L"@BUFCHAR", L"65601"), L"A");  // only the low 16 bits count
    EXPECT_EQ(tconsole::ReadText(0, 0, 1), L"Q");
}

TEST_F(MetricsTest, TaskBarAndFullScreen) {
    const HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT r{};
    if (tray && GetWindowRect(tray, &r)) {
        EXPECT_EQ(Var(L"_TRAYH"), std::to_wstring(r.bottom - r.top));
        EXPECT_EQ(Var(L"_TRAYW"), std::to_wstring(r.right - r.left));
    }
    {
        ImportPatch patch(Plugin().Module(), "user32.dll", "FindWindowW", (void*)NoWindow);
        ASSERT_TRUE(patch.Applied());
        EXPECT_EQ(Var(L"_TRAYH"), L"-1");
        EXPECT_EQ(Var(L"_TRAYW"), L"-1");
    }
    EXPECT_EQ(Var(L"_FSMODE"), L"0");  // windowed
    {
        ImportPatch patch(Plugin().Module(), "kernel32.dll", "GetProcAddress", (void*)NothingExported);
        ASSERT_TRUE(patch.Applied());
        EXPECT_EQ(Var(L"_FSMODE"), L"-1");
    }
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "GetProcAddress", (void*)FullScreenExported);
    EXPECT_EQ(Var(L"_FSMODE"), L"1");
}

// Frame, caption and scroll bars of distinct sizes, so that one taken for another shows.
int WINAPI DistinctMetrics(int index) {
    switch (index) {
    case SM_CXFRAME: return 4;
    case SM_CYFRAME: return 7;
    case SM_CYCAPTION: return 23;
    case SM_CXVSCROLL: return 17;
    case SM_CYHSCROLL: return 13;
    default: return GetSystemMetrics(index);
    }
}

TEST_F(MetricsTest, MaxconFitsAFramedCaptionedWindowIntoTheWorkArea) {
    ImportPatch patch(Plugin().Module(), "user32.dll", "GetSystemMetrics", (void*)DistinctMetrics);
    ASSERT_TRUE(patch.Applied());
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const int cw = work.right - work.left - 2 * 4, ch = work.bottom - work.top - 2 * 7 - 23;
    const COORD font = tconsole::FontSize();
    ASSERT_GT(font.X, 0);
    EXPECT_EQ(Var(L"_MAXCON"), std::to_wstring(cw / font.X) + L" " + std::to_wstring(ch / font.Y) + L" " +
                                   std::to_wstring((cw - 17) / font.X) + L" " + std::to_wstring((ch - 13) / font.Y));
}

TEST_F(MetricsTest, MouseVariablesCountCellsOfTheWindow) {
    ImportPatch patch(Plugin().Module(), "user32.dll", "GetCursorPos", (void*)FakeCursorPos);
    ASSERT_TRUE(patch.Applied());
    const COORD font = tconsole::FontSize();
    ASSERT_GT(font.X, 0);
    // Scroll the view right and down: the variables still count from the window's corner.
    SMALL_RECT view{5, 30, 84, 54};
    ASSERT_TRUE(SetConsoleWindowInfo(tconsole::Out(), TRUE, &view));
    tconsole::WriteText(5 + 3, 30 + 2, L"Z");

    MouseAtClient(3 * font.X + 1, 2 * font.Y + 1);
    EXPECT_EQ(Var(L"_MOUSECX"), L"3");
    EXPECT_EQ(Var(L"_MOUSECY"), L"2");
    EXPECT_EQ(Var(L"_CURCHAR"), L"90");
    MouseAtClient(0, 0);
    EXPECT_EQ(Var(L"_MOUSECX"), L"0");

    RECT client{};
    GetClientRect(GetConsoleWindow(), &client);
    for (POINT outside : {POINT{-1, 5}, POINT{5, -1}, POINT{client.right, 5}, POINT{5, client.bottom}}) {
        MouseAtClient(outside.x, outside.y);
        EXPECT_EQ(Var(L"_MOUSECX"), L"N/A");
        EXPECT_EQ(Var(L"_MOUSECY"), L"N/A");
        EXPECT_EQ(Var(L"_CURCHAR"), L"N/A");
    }
}

TEST_F(MetricsTest, CurcharGivesTheUtf16CodeOfAnyCharacter) {
    ImportPatch patch(Plugin().Module(), "user32.dll", "GetCursorPos", (void*)FakeCursorPos);
    ASSERT_TRUE(patch.Applied());
    const COORD font = tconsole::FontSize();
    ASSERT_GT(font.X, 0);
    SMALL_RECT view{0, 0, 79, 24};
    ASSERT_TRUE(SetConsoleWindowInfo(tconsole::Out(), TRUE, &view));
    // Whatever the code pages, the code is the character's own: e acute, the euro sign, a Greek letter.
    tconsole::WriteText(0, 4, L"\u00E9\u20AC\u03A9~");
    for (const auto& [column, code] : std::vector<std::pair<int, std::wstring>>{
             {0, L"233"}, {1, L"8364"}, {2, L"937"}, {3, L"126"}}) {
        MouseAtClient(column * font.X + 1, 4 * font.Y + 1);
        EXPECT_EQ(Var(L"_CURCHAR"), code) << "column " << column;
    }
}

// Through the console of Windows 10/11, where a full-width character takes two cells.
TEST_F(MetricsTest, FullWidthCharactersUnderTheMouseAndInTheTopLeftCell) {
    conhost::Model model(Plugin().Module());
    ASSERT_TRUE(model.Applied());
    ImportPatch patch(Plugin().Module(), "user32.dll", "GetCursorPos", (void*)FakeCursorPos);
    const COORD font = tconsole::FontSize();
    ASSERT_GT(font.X, 0);
    SMALL_RECT view{0, 0, 79, 24};
    ASSERT_TRUE(SetConsoleWindowInfo(tconsole::Out(), TRUE, &view));
    model.WriteText({0, 4}, L"a\u4E2Db\U0001D400");
    for (const auto& [column, code] : std::vector<std::pair<int, std::wstring>>{
             {0, L"97"}, {1, L"20013"}, {2, L"20013"}, {3, L"98"}, {4, L"65533"}}) {
        MouseAtClient(column * font.X + 1, 4 * font.Y + 1);
        EXPECT_EQ(Var(L"_CURCHAR"), code) << "column " << column;
    }

    // @BUFCHAR answers what the console stores and leaves every cell of the top row as it was,
    // halves and colours included, wherever a full-width character lies.
    for (const wchar_t* row : {L"Qxyz", L"\u4E2Dxy", L"x\u4E2Dy", L"xy\u4E2D"}) {
        SCOPED_TRACE(std::wstring(L"over ") + row);
        model.WriteText({0, 0}, row);
        auto cells = model.Cells(0, 0, 5);
        for (size_t x = 0; x < cells.size(); ++x) cells[x].Attributes = WORD((cells[x].Attributes & 0xFF00) | (x + 1));
        model.PutCells(0, 0, cells);
        const auto before = model.Cells(0);
        for (const auto& [code, stored] : std::vector<std::pair<std::wstring, std::wstring>>{
                 {L"65", L"A"}, {L"20013", L"\u4E2D"}, {L"55296", L"\uFFFD"}}) {
            EXPECT_EQ(Func(L"@BUFCHAR", code), stored) << code;
            EXPECT_EQ(model.Cells(0), before) << code;
        }
    }
}

// A DPI-aware host at 150 %: pixels scale, conhost's font sizes do not; each variable measures in
// one context and hands the thread back as it found it.
TEST_F(MetricsTest, PixelsAreMeasuredInOneDpiContext) {
    ImportPatch cursor(Plugin().Module(), "user32.dll", "GetCursorPos", (void*)FakeCursorPos);
    ASSERT_TRUE(cursor.Applied());
    const COORD font = tconsole::FontSize();
    MouseAtClient(3 * font.X + 1, 2 * font.Y + 1);
    const std::wstring maxcon = Var(L"_MAXCON");
    {
        const ScaledDesktop scaled(Plugin().Module());
        ASSERT_TRUE(scaled.Applied());
        EXPECT_EQ(Var(L"_MAXCON"), maxcon);
        EXPECT_EQ(Var(L"_MOUSECX"), L"3");
        EXPECT_EQ(Var(L"_MOUSECY"), L"2");
        EXPECT_TRUE(ScaledDesktop::ContextRestored());
    }

    // A screen font of 13 x 26 real pixels, reported as 9 x 17: a window of 78 x 24 cells is
    // 676 x 416 in 96-DPI units, its cells 8 2/3 x 17 1/3 wide and high. Counted by the reported
    // font, column 77 would read as 74 and the largest window would be a ninth narrower.
    tconsole::SetBufferAndWindow(90, 160, 78, 24);
    const SMALL_RECT view = tconsole::Info().srWindow;
    tconsole::WriteText(view.Left + 77, view.Top + 23, L"Z");
    const ScaledDesktop scaled(Plugin().Module(), COORD{13, 26});
    ASSERT_TRUE(scaled.Applied());
    for (const auto& [column, row] : std::vector<std::pair<int, int>>{{0, 0}, {40, 12}, {77, 23}}) {
        MouseAtClient((column * 13 + 6) * 2 / 3, (row * 26 + 13) * 2 / 3);  // a cell's middle
        EXPECT_EQ(Var(L"_MOUSECX"), std::to_wstring(column));
        EXPECT_EQ(Var(L"_MOUSECY"), std::to_wstring(row));
    }
    EXPECT_EQ(Var(L"_CURCHAR"), L"90");
    // The largest window as conhost counts it: real pixels over the real cell.
    const SIZE max = *QueryMaxClientSize();
    const LONG vScroll = GetSystemMetrics(SM_CXVSCROLL), hScroll = GetSystemMetrics(SM_CYHSCROLL);
    const auto cells = [](LONG pixels96, LONG cell) { return std::to_wstring(pixels96 * 3 / 2 / cell); };
    EXPECT_EQ(Var(L"_MAXCON"), cells(max.cx, 13) + L" " + cells(max.cy, 26) + L" " + cells(max.cx - vScroll, 13) +
                                   L" " + cells(max.cy - hScroll, 26));
    StandIn_ClearOutput();
    ASSERT_EQ(Run(L"CONSIZE", L"/Q"), 0);
    wchar_t line[64] = {};
    swprintf(line, 64, L"\tMax console:\t%4ld x %ld\r\n", max.cx * 3 / 2 / 13, max.cy * 3 / 2 / 26);
    EXPECT_NE(Out().find(line), std::wstring::npos) << testing::PrintToString(Out());
}

// A maximised window spares less than a cell beyond its cells: counted by the layout, the spare
// pixels would shift the far columns; the font's size fits that area and counts.
TEST(CellLayout, AMaximisedWindowsSparePixelsShiftNoColumn) {
    const RECT client{0, 0, 80 * 12 + 11, 25 * 16 + 15};
    const SMALL_RECT view{0, 0, 79, 24};
    const CellLayout maximised = MeasureCells(client, view, COORD{12, 16}, true);
    EXPECT_EQ(maximised.columns.CellsIn(79 * 12 + 1), 79);
    EXPECT_EQ(maximised.rows.CellsIn(24 * 16 + 1), 24);
    // A font that does not fit the area (a scaled display's rounding) leaves the layout to count.
    EXPECT_EQ(MeasureCells(client, view, COORD{13, 16}, true).columns.pixels, client.right);
}

TEST_F(MetricsTest, MouseVariablesNeedAFontSize) {
    ImportPatch cursor(Plugin().Module(), "user32.dll", "GetCursorPos", (void*)FakeCursorPos);
    ImportPatch font(Plugin().Module(), "kernel32.dll", "GetCurrentConsoleFontEx", (void*)NoFont);
    ASSERT_TRUE(cursor.Applied() && font.Applied());
    MouseAtClient(10, 10);
    EXPECT_EQ(Var(L"_MOUSECX"), L"N/A");
    EXPECT_EQ(Var(L"_MOUSECY"), L"N/A");
    EXPECT_EQ(Var(L"_CURCHAR"), L"N/A");
}

}  // namespace
