// CONSIZE on a real console through the stand-in host.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>

#include "geometry/metrics.h"
#include "support/console_types.h"
#include "support/dpi_model.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

SHORT Columns(const CONSOLE_SCREEN_BUFFER_INFO& i) { return SHORT(i.srWindow.Right - i.srWindow.Left + 1); }
SHORT Rows(const CONSOLE_SCREEN_BUFFER_INFO& i) { return SHORT(i.srWindow.Bottom - i.srWindow.Top + 1); }

RECT ConsoleRect() {
    RECT r{};
    GetWindowRect(GetConsoleWindow(), &r);
    return r;
}

// Counts the calls that change the console or install the hook, passing them on.
int windowInfoCalls = 0, bufferSizeCalls = 0, hookCalls = 0, unhookCalls = 0;
decltype(&SetConsoleWindowInfo) realWindowInfo;
decltype(&SetConsoleScreenBufferSize) realBufferSize;
decltype(&SetWinEventHook) realHook;
decltype(&UnhookWinEvent) realUnhook;
BOOL WINAPI CountWindowInfo(HANDLE h, BOOL a, const SMALL_RECT* r) { return ++windowInfoCalls, realWindowInfo(h, a, r); }
BOOL WINAPI CountBufferSize(HANDLE h, COORD c) { return ++bufferSizeCalls, realBufferSize(h, c); }
HWINEVENTHOOK WINAPI CountHook(DWORD a, DWORD b, HMODULE m, WINEVENTPROC p, DWORD c, DWORD d, DWORD f) {
    return ++hookCalls, realHook(a, b, m, p, c, d, f);
}
BOOL WINAPI CountUnhook(HWINEVENTHOOK h) { return ++unhookCalls, realUnhook(h); }

BOOL WINAPI FailScreenBufferInfo(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
BOOL WINAPI RefuseWideWindow(HANDLE h, BOOL a, const SMALL_RECT* r) {
    if (r->Right - r->Left + 1 > 100) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return realWindowInfo(h, a, r);
}
BOOL WINAPI NoFontSize(HANDLE, BOOL, PCONSOLE_FONT_INFOEX font) {
    font->dwFontSize = COORD{0, 0};
    return TRUE;
}
// A screen that shows windows of at most 100 x 40 cells; or one without a limit worth the name.
COORD WINAPI SmallScreen(HANDLE) { return COORD{100, 40}; }
COORD WINAPI HugeScreen(HANDLE) { return COORD{1000, 1000}; }
// A window that never seems to follow: the wait must end on its own.
BOOL WINAPI FrozenWindowRect(HWND, LPRECT r) {
    *r = RECT{0, 0, 600, 400};
    return TRUE;
}

// A console window that reports each change late and more than once, and whose record shows a
// window change only once it has been reported: the width step's change raises one
// location-change signal during its wait and another just as that wait ends; the height step's
// change is reported on the third poll of its wait.
WINEVENTPROC locationCallback = nullptr;
int windowChanges = 0, heightPolls = 0, heightSignalledAt = 0;
bool recordLags = false;
SMALL_RECT shownWindow{};
decltype(&WaitForSingleObject) realWait;
decltype(&GetConsoleScreenBufferInfo) realInfo;
void LocationChanged() {
    recordLags = false;
    locationCallback(nullptr, EVENT_OBJECT_LOCATIONCHANGE, GetConsoleWindow(), 0, 0, 0, 0);
}
HWINEVENTHOOK WINAPI CaptureHook(DWORD a, DWORD b, HMODULE m, WINEVENTPROC p, DWORD c, DWORD d, DWORD f) {
    locationCallback = p;
    return realHook(a, b, m, p, c, d, f);
}
BOOL WINAPI LaggingRecord(HANDLE h, PCONSOLE_SCREEN_BUFFER_INFO info) {
    const BOOL ok = realInfo(h, info);
    if (ok && recordLags) info->srWindow = shownWindow;
    return ok;
}
BOOL WINAPI CountWindowChanges(HANDLE h, BOOL a, const SMALL_RECT* r) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (realInfo(h, &info)) shownWindow = info.srWindow, recordLags = true;
    return ++windowChanges, realWindowInfo(h, a, r);
}
DWORD WINAPI PollResize(HANDLE event, DWORD ms) {
    if (windowChanges == 1) {
        LocationChanged();
        const DWORD result = realWait(event, ms);
        if (result == WAIT_OBJECT_0) LocationChanged();
        return result;
    }
    if (windowChanges == 2 && heightSignalledAt == 0 && ++heightPolls == 3) LocationChanged();
    const DWORD result = realWait(event, ms);
    if (windowChanges == 2 && heightSignalledAt == 0 && result == WAIT_OBJECT_0) heightSignalledAt = heightPolls;
    return result;
}

// A maximised console window; or one in full screen (GetConsoleDisplayMode, looked up at run time).
BOOL WINAPI Zoomed(HWND) { return TRUE; }
BOOL WINAPI FullScreen(LPDWORD flags) {
    *flags = CONSOLE_FULLSCREEN_MODE;
    return TRUE;
}
decltype(&GetProcAddress) realProc;
FARPROC WINAPI FullScreenExported(HMODULE module, LPCSTR name) {
    if (!IS_INTRESOURCE(name) && std::string_view(name) == "GetConsoleDisplayMode") return (FARPROC)FullScreen;
    return realProc(module, name);
}

// The primary monitor's work area with a task bar 60 pixels wide on the left and 30 high at the top.
BOOL WINAPI TaskBarLeftAndTop(UINT action, UINT, PVOID value, UINT) {
    if (action != SPI_GETWORKAREA) return FALSE;
    *static_cast<RECT*>(value) = RECT{60, 30, 900, 700};
    return TRUE;
}

// The console window's rectangle once Wine's frame, which follows the console late, has settled.
RECT SettledRect() {
    RECT last = ConsoleRect();
    for (int i = 0; i < 20; ++i) {
        Sleep(50);
        const RECT now = ConsoleRect();
        if (EqualRect(&now, &last)) break;
        last = now;
    }
    return last;
}

class ConsizeTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(80, 150, 80, 25);
        const COORD font = tconsole::FontSize();
        max_ = ComputeMaxConsole(*QueryMaxClientSize(), font, GetSystemMetrics(SM_CXVSCROLL),
                                 GetSystemMetrics(SM_CYHSCROLL));
        corner_ = ConsoleRect();
        windowInfoCalls = bufferSizeCalls = hookCalls = unhookCalls = 0;
    }
    void TearDown() override {
        SetWindowPos(GetConsoleWindow(), nullptr, corner_.left, corner_.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PluginTest::TearDown();
    }
    void ExpectConsole(SHORT w, SHORT h, SHORT bx, SHORT by) {
        const auto info = tconsole::Info();
        EXPECT_EQ(WindowSize(info.srWindow), (COORD{w, h}));
        EXPECT_EQ(info.dwSize, (COORD{bx, by}));
    }
    MaxConsole max_;
    RECT corner_{};
};

TEST_F(ConsizeTest, MalformedLinesPrintTheUsageAndReturnTwo) {
    const std::wstring kUsage =
        L"Manipulate console screen buffer and window\r\n\r\n"
        L"CONSIZE ...\r\n\r\n"
        L"Options:  /W(indow)   X Y  (characters)\r\n"
        L"\t  /B(uffer)   X Y  (characters)\r\n"
        L"\t  /P(osition) X Y  (upper-left corner\r\n"
        L"     (or) /C(anonical)  N  (N=1-9, various centered positions)\r\n"
        L"\t  /R(elative) X Y  (pixels [+/-] from current position)\r\n"
        L"\t\t\t   (after /P or /C to get to second monitor)\r\n"
        L"\t  /Q(uery)\r\n\r\n"
        L"/W, /B: the one spec'd first is enforced; the other\r\n"
        L"is enforced within the limits imposed by the first.\r\n\r\n"
        L"If /W is missing or X (Y) is 0 the window dimension remains\r\n"
        L"unchanged or is minimally decreased to match the buffer.\r\n\r\n"
        L"If /B is missing or X (Y) is 0 the buffer dimension remains\r\n"
        L"unchanged or is minimally increased to match the window.\r\n\r\n"
        L"/B: X (Y) equal to -1 eliminates scrolling in that direction and\r\n"
        L"forces precedence of the window specification.\r\n";
    for (const wchar_t* line : {L"", L"/?", L"80 25", L"/W 80", L"/X 1 2", L"/B 90 200 /C"}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"CONSIZE", line), 2) << std::wstring(line).size();
        EXPECT_EQ(Out(), kUsage);
    }
    ExpectConsole(80, 25, 80, 150);
}

TEST_F(ConsizeTest, QueryReportsTheConsoleAndChangesNothing) {
    for (const wchar_t* line : {L"/Q", L"/W 60 20 /Q", L"/Q /W", L"/B 90 300 /q"}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"CONSIZE", line), 0);
        const std::wstring out = Out();
        EXPECT_EQ(out.rfind(L"Window (screen coords)\r\n\r\n\tConsole:\t", 0), 0u);
        EXPECT_NE(out.find(L"\tWindow:\t\t  80 x 25\r\n\tBuffer:\t\t  80 x 150\r\n"), std::wstring::npos);
        std::wstring columns = std::to_wstring(max_.columns);
        columns.insert(0, columns.size() < 4 ? 4 - columns.size() : 0, L' ');
        const std::wstring maxLine = L"\tMax console:\t" + columns + L" x " + std::to_wstring(max_.rows) + L"\r\n";
        EXPECT_NE(out.find(maxLine), std::wstring::npos) << std::string(out.begin(), out.end());
        EXPECT_EQ(StandIn_MostLineEnds(), 1) << "the report reaches the host a line at a time";
    }
    ExpectConsole(80, 25, 80, 150);
}

TEST_F(ConsizeTest, InsideATakeCommandTabNothingHappens) {
    StandIn_SetVariable(L"_TCTAB", L"1");
    EXPECT_EQ(Run(L"CONSIZE", L"/W 60 20"), 0);
    EXPECT_EQ(Out(), L"CONSIZE is not available in a TakeCommand tab\r\n");
    ExpectConsole(80, 25, 80, 150);
}

TEST_F(ConsizeTest, SizesAreAppliedAndReadBack) {
    ASSERT_GE(max_.columns, 90);
    ASSERT_GE(max_.rows, 30);
    EXPECT_EQ(Run(L"CONSIZE", L"/W 70 20 /B 0 0"), 0);
    ExpectConsole(70, 20, 80, 150);
    EXPECT_EQ(Run(L"CONSIZE", L"/B 60 300 /W 90 30"), 0);
    ExpectConsole(60, 30, 60, 300);
    EXPECT_EQ(Run(L"CONSIZE", L"/W 90 30 /B 60 300"), 0);
    ExpectConsole(90, 30, 90, 300);
    EXPECT_EQ(Run(L"CONSIZE", L"/B -1 -1"), 0);
    ExpectConsole(90, 30, 90, 30);
    EXPECT_EQ(Run(L"CONSIZE", L"/B -1 0 /W 85 28"), 0);
    ExpectConsole(85, 28, 85, 30);
    EXPECT_EQ(Run(L"CONSIZE", L"/b 100 -1 /w 40 12"), 0);
    ExpectConsole(40, 12, 100, 12);
    EXPECT_TRUE(Err().empty()) << std::string(Err().begin(), Err().end());
}

TEST_F(ConsizeTest, AWindowChangeHooksForItsDurationOnly) {
    ImportPatch a(Plugin().Module(), "kernel32.dll", "SetConsoleWindowInfo", (void*)CountWindowInfo);
    ImportPatch b(Plugin().Module(), "kernel32.dll", "SetConsoleScreenBufferSize", (void*)CountBufferSize);
    ImportPatch c(Plugin().Module(), "user32.dll", "SetWinEventHook", (void*)CountHook);
    ImportPatch d(Plugin().Module(), "user32.dll", "UnhookWinEvent", (void*)CountUnhook);
    ASSERT_TRUE(a.Applied() && b.Applied() && c.Applied() && d.Applied());
    realWindowInfo = a.OriginalAs<BOOL WINAPI(HANDLE, BOOL, const SMALL_RECT*)>();
    realBufferSize = b.OriginalAs<BOOL WINAPI(HANDLE, COORD)>();
    realHook = c.OriginalAs<HWINEVENTHOOK WINAPI(DWORD, DWORD, HMODULE, WINEVENTPROC, DWORD, DWORD, DWORD)>();
    realUnhook = d.OriginalAs<BOOL WINAPI(HWINEVENTHOOK)>();

    EXPECT_EQ(Run(L"CONSIZE", L"/W 70 20"), 0);
    EXPECT_EQ(windowInfoCalls, 2);
    EXPECT_EQ(bufferSizeCalls, 0);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(unhookCalls, hookCalls);

    windowInfoCalls = bufferSizeCalls = hookCalls = unhookCalls = 0;
    EXPECT_EQ(Run(L"CONSIZE", L"/B 0 400"), 0);  // the buffer alone: no window to wait for
    EXPECT_EQ(bufferSizeCalls, 1);
    EXPECT_EQ(windowInfoCalls + hookCalls + unhookCalls, 0);

    windowInfoCalls = bufferSizeCalls = hookCalls = unhookCalls = 0;
    const RECT before = SettledRect();
    ExpectConsole(70, 20, 80, 400);  // the frame that followed late changed nothing
    EXPECT_EQ(Run(L"CONSIZE", L"/P 37 41"), 0);
    EXPECT_EQ(windowInfoCalls + bufferSizeCalls + hookCalls + unhookCalls, 0);
    const RECT after = ConsoleRect();
    EXPECT_EQ(after.left, 37);
    EXPECT_EQ(after.top, 41);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    ExpectConsole(70, 20, 80, 400);
}

TEST_F(ConsizeTest, PlacesTheWindowAtPositionsAndCells) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(Run(L"CONSIZE", L"/P 0 0 /R 30 20"), 0);
    EXPECT_EQ(ConsoleRect().left, 30);
    EXPECT_EQ(ConsoleRect().top, 20);
    EXPECT_EQ(Run(L"CONSIZE", L"/P 30 100"), 0);  // only a fully equal corner is skipped
    EXPECT_EQ(ConsoleRect().left, 30);
    EXPECT_EQ(ConsoleRect().top, 100);
    EXPECT_EQ(Run(L"CONSIZE", L"/C 5"), 0);
    RECT r = ConsoleRect();
    EXPECT_EQ(r.left, (work.right - work.left - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (work.bottom - work.top - (r.bottom - r.top)) / 2);
    EXPECT_EQ(Run(L"CONSIZE", L"/C 9"), 0);
    r = ConsoleRect();
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    EXPECT_EQ(Run(L"CONSIZE", L"/C 0"), 0);
    EXPECT_EQ(ConsoleRect().left, 0);
    EXPECT_EQ(ConsoleRect().top, 0);
    // A cell is measured from the frame the new size gives.
    EXPECT_EQ(Run(L"CONSIZE", L"/W 60 20 /C 9"), 0);
    r = ConsoleRect();
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
}

TEST_F(ConsizeTest, CellsLieWithinAWorkAreaThatStartsRightOfOrBelowTheTaskBar) {
    ImportPatch patch(Plugin().Module(), "user32.dll", "SystemParametersInfoW", (void*)TaskBarLeftAndTop);
    ASSERT_TRUE(patch.Applied());
    const RECT work{60, 30, 900, 700};
    EXPECT_EQ(Run(L"CONSIZE", L"/C 1"), 0);
    RECT r = ConsoleRect();
    EXPECT_EQ(r.left, work.left);
    EXPECT_EQ(r.top, work.top);
    EXPECT_EQ(Run(L"CONSIZE", L"/C 5"), 0);
    r = ConsoleRect();
    EXPECT_EQ(r.left, work.left + (work.right - work.left - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, work.top + (work.bottom - work.top - (r.bottom - r.top)) / 2);
    EXPECT_EQ(Run(L"CONSIZE", L"/C 9"), 0);
    r = ConsoleRect();
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    // /R after /C still reaches past the work area (a second monitor).
    EXPECT_EQ(Run(L"CONSIZE", L"/C 7 /R 1920 0"), 0);
    r = ConsoleRect();
    EXPECT_EQ(r.left, work.left + 1920);
    EXPECT_EQ(r.bottom, work.bottom);
}

// There conhost changes only the view, and the frame never follows (window.cpp,
// _InternalSetWindowSize): neither size nor place is touched, and the user hears why at once.
TEST_F(ConsizeTest, AMaximisedOrFullScreenWindowSaysWhyItKeepsItsFrame) {
    ImportPatch count(Plugin().Module(), "kernel32.dll", "SetConsoleWindowInfo", (void*)CountWindowInfo);
    ASSERT_TRUE(count.Applied());
    realWindowInfo = count.OriginalAs<BOOL WINAPI(HANDLE, BOOL, const SMALL_RECT*)>();
    for (auto [module, function, replacement, state] :
         {std::tuple{"kernel32.dll", "GetProcAddress", (void*)FullScreenExported, L"full screen"},
          {"user32.dll", "IsZoomed", (void*)Zoomed, L"maximised"}}) {
        ImportPatch patch(Plugin().Module(), module, function, replacement);
        ASSERT_TRUE(patch.Applied()) << function;
        realProc = patch.OriginalAs<FARPROC WINAPI(HMODULE, LPCSTR)>();
        for (const wchar_t* line : {L"/W 70 20", L"/P 10 10"}) {
            StandIn_ClearOutput();
            EXPECT_EQ(Run(L"CONSIZE", line), 1);
            EXPECT_EQ(Err(), L"CONSIZE: the window is " + std::wstring(state) +
                                 L", where the console changes only its view: restore the window first\r\n");
        }
        EXPECT_EQ(StandIn_YieldCount(), 0);
        EXPECT_EQ(Run(L"CONSIZE", L"/B 0 200"), 0);  // the buffer alone needs no frame
    }
    EXPECT_EQ(windowInfoCalls, 0);
    ExpectConsole(80, 25, 80, 200);
    EXPECT_EQ(ConsoleRect().left, corner_.left);
}

TEST_F(ConsizeTest, ALineComposedFromTheCurrentStateChangesNothing) {
    const auto info = tconsole::Info();
    const RECT r = ConsoleRect();
    const std::wstring line = L"/B " + std::to_wstring(info.dwSize.X) + L" " + std::to_wstring(info.dwSize.Y) +
                              L" /W " + std::to_wstring(Columns(info)) + L" " + std::to_wstring(Rows(info)) +
                              L" /P " + std::to_wstring(r.left) + L" " + std::to_wstring(r.top);
    std::wstring writable = line;
    EXPECT_EQ(Entry<int(LPWSTR)>("CONSIZE")(writable.data()), 0);  // the export other commands call
    ExpectConsole(80, 25, 80, 150);
    EXPECT_EQ(ConsoleRect().left, r.left);
}

TEST_F(ConsizeTest, AWindowTooLargeFailsAndTheGrownBufferStays) {
    // Wine's console takes windows of any width; Windows refuses those wider than the screen.
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "SetConsoleWindowInfo", (void*)RefuseWideWindow);
    ImportPatch screen(Plugin().Module(), "kernel32.dll", "GetLargestConsoleWindowSize", (void*)HugeScreen);
    ASSERT_TRUE(patch.Applied() && screen.Applied());
    realWindowInfo = patch.OriginalAs<BOOL WINAPI(HANDLE, BOOL, const SMALL_RECT*)>();
    EXPECT_EQ(Run(L"CONSIZE", L"/W 150 20 /P 10 10"), 1);
    EXPECT_NE(Err().find(L"TCC: (Sys)"), std::wstring::npos);
    const auto info = tconsole::Info();
    EXPECT_EQ(info.dwSize.X, 150);  // the buffer grew before the window was refused
    ExpectConsole(80, 25, 150, 150);  // the height step never ran
    EXPECT_NE(ConsoleRect().left, 10);  // nor the move
}

TEST_F(ConsizeTest, NothingIsWorkedOutFromAnUnreadableRecord) {
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "GetConsoleScreenBufferInfo", (void*)FailScreenBufferInfo);
    ASSERT_TRUE(patch.Applied());
    EXPECT_EQ(Run(L"CONSIZE", L"/W 60 20 /B 70 70"), 1);
    EXPECT_EQ(Run(L"CONSIZE", L"/Q"), 1);
    EXPECT_TRUE(Out().empty());
    EXPECT_NE(Err().find(L"TCC: (Sys)"), std::wstring::npos);
    ExpectConsole(80, 25, 80, 150);
}

// conhost refuses a buffer dimension of 32,767 and a window larger than the largest
// (src/host/getset.cpp): such a request changes nothing at all, not even its first step.
TEST_F(ConsizeTest, ImpossibleSizesAreRefusedBeforeTheConsoleSeesThem) {
    ImportPatch screen(Plugin().Module(), "kernel32.dll", "GetLargestConsoleWindowSize", (void*)SmallScreen);
    ImportPatch window(Plugin().Module(), "kernel32.dll", "SetConsoleWindowInfo", (void*)CountWindowInfo);
    ImportPatch buffer(Plugin().Module(), "kernel32.dll", "SetConsoleScreenBufferSize", (void*)CountBufferSize);
    ASSERT_TRUE(screen.Applied() && window.Applied() && buffer.Applied());
    realWindowInfo = window.OriginalAs<BOOL WINAPI(HANDLE, BOOL, const SMALL_RECT*)>();
    realBufferSize = buffer.OriginalAs<BOOL WINAPI(HANDLE, COORD)>();
    for (auto [line, size] : {std::pair{L"/W 80 25 /B 32767 300 /P 10 10", L"32767 x 300"},
                              {L"/W 120 30 /P 10 10", L"120 x 30"}, {L"/W 90 41", L"90 x 41"}}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"CONSIZE", line), 1);
        const std::wstring err = Err();
        EXPECT_EQ(err.rfind(L"CONSIZE: ", 0), 0u);
        EXPECT_NE(err.find(size), std::wstring::npos);
        EXPECT_EQ(err.find(L"\r\n"), err.size() - 2) << "one line";
    }
    EXPECT_EQ(windowInfoCalls + bufferSizeCalls, 0);
    EXPECT_EQ(ConsoleRect().left, corner_.left);
    // What follows from the first size is fitted in: the window is cut to the largest.
    EXPECT_EQ(Run(L"CONSIZE", L"/B 110 200 /W 110 50"), 0);
    ExpectConsole(100, 40, 110, 200);

    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"CONSIZE", L"/B -5 100"), 1);
    EXPECT_FALSE(Err().empty());
}

void SetFontHeight(SHORT height) {
    CONSOLE_FONT_INFOEX font{};
    font.cbSize = sizeof font;
    GetCurrentConsoleFontEx(tconsole::Out(), FALSE, &font);
    font.dwFontSize = {0, height};
    SetCurrentConsoleFontEx(tconsole::Out(), FALSE, &font);
    SettledRect();
}

// conhost's smallest window is real pixels over the screen font's real cell (src/host/screenInfo.cpp
// GetMinWindowSizeInCharacters, src/interactivity/win32/WindowMetrics.cpp GetMinClientRectInPixels),
// and it refuses a smaller buffer (getset.cpp SetConsoleScreenBufferSizeImpl). At 150 % Wine's
// 11-pixel font is laid out in 16-pixel cells, not 16.5: the 96-DPI figures allow a column less.
TEST_F(ConsizeTest, TheSmallestBufferIsConhostsFromRealPixels) {
    SetFontHeight(22);
    if (tconsole::FontSize().X != 11) GTEST_SKIP() << "Wine gave no 11-pixel font";
    const HWND window = GetConsoleWindow();
    RECT frame{0, 0, 0, 0}, client{};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(window, GWL_EXSTYLE)));
    GetClientRect(window, &client);
    const auto scaled = [](LONG v) { return v * 3 / 2; };  // as the model scales
    const LONG cell = scaled(client.right) / Columns(tconsole::Info());
    const LONG smallest = (scaled(GetSystemMetrics(SM_CXMIN)) - (scaled(frame.right) - scaled(frame.left))) / cell;
    ASSERT_GT(smallest, 1);

    const ScaledDesktop desktop(Plugin().Module());
    ImportPatch a(Plugin().Module(), "kernel32.dll", "SetConsoleWindowInfo", (void*)CountWindowInfo);
    ImportPatch b(Plugin().Module(), "kernel32.dll", "SetConsoleScreenBufferSize", (void*)CountBufferSize);
    ASSERT_TRUE(desktop.Applied() && a.Applied() && b.Applied());
    realWindowInfo = a.OriginalAs<BOOL WINAPI(HANDLE, BOOL, const SMALL_RECT*)>();
    realBufferSize = b.OriginalAs<BOOL WINAPI(HANDLE, COORD)>();
    EXPECT_EQ(Run(L"CONSIZE", L"/B " + std::to_wstring(smallest - 1) + L" 50"), 1);
    EXPECT_NE(Err().find(L"smaller than the console's smallest window"), std::wstring::npos);
    EXPECT_EQ(windowInfoCalls + bufferSizeCalls, 0) << "refused before any step";
    EXPECT_EQ(Run(L"CONSIZE", L"/B " + std::to_wstring(smallest) + L" 50"), 0);
    EXPECT_EQ(tconsole::Info().dwSize.X, smallest);
    Sleep(100);  // Wine's console host needs a moment before the buffer grows again
    SetFontHeight(16);
}

TEST_F(ConsizeTest, QueryMeasuresInOneDpiContext) {
    SettledRect();  // both reports must see the same frame
    ASSERT_EQ(Run(L"CONSIZE", L"/Q"), 0);
    const std::wstring unscaled = Out();
    StandIn_ClearOutput();
    const ScaledDesktop scaled(Plugin().Module());
    ASSERT_TRUE(scaled.Applied());
    EXPECT_EQ(Run(L"CONSIZE", L"/Q"), 0);
    EXPECT_EQ(Out(), unscaled);
    EXPECT_TRUE(ScaledDesktop::ContextRestored());
}

TEST_F(ConsizeTest, ReportShowsMinusOneForAFontWithoutSize) {
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "GetCurrentConsoleFontEx", (void*)NoFontSize);
    ASSERT_TRUE(patch.Applied());
    EXPECT_EQ(Run(L"CONSIZE", L"/Q"), 0);
    EXPECT_NE(Out().find(L"\tFont size:\t   0 x 0\r\n"), std::wstring::npos);
    EXPECT_NE(Out().find(L"\tMax console:\t  -1 x -1\r\n\tMax w/scroll:\t  -1 x -1\r\n"), std::wstring::npos);
    EXPECT_EQ(Var(L"_MAXCON"), L"-1 -1 -1 -1");
}

TEST_F(ConsizeTest, ASignalLeftFromTheWidthStepDoesNotEndTheHeightStepsWait) {
    ImportPatch rect(Plugin().Module(), "user32.dll", "GetWindowRect", (void*)FrozenWindowRect);
    ImportPatch hook(Plugin().Module(), "user32.dll", "SetWinEventHook", (void*)CaptureHook);
    ImportPatch info(Plugin().Module(), "kernel32.dll", "SetConsoleWindowInfo", (void*)CountWindowChanges);
    ImportPatch wait(Plugin().Module(), "kernel32.dll", "WaitForSingleObject", (void*)PollResize);
    ImportPatch record(Plugin().Module(), "kernel32.dll", "GetConsoleScreenBufferInfo", (void*)LaggingRecord);
    ASSERT_TRUE(rect.Applied() && hook.Applied() && info.Applied() && wait.Applied() && record.Applied());
    realInfo = record.OriginalAs<BOOL WINAPI(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO)>();
    recordLags = false;
    realHook = hook.OriginalAs<HWINEVENTHOOK WINAPI(DWORD, DWORD, HMODULE, WINEVENTPROC, DWORD, DWORD, DWORD)>();
    realWindowInfo = info.OriginalAs<BOOL WINAPI(HANDLE, BOOL, const SMALL_RECT*)>();
    realWait = wait.OriginalAs<DWORD WINAPI(HANDLE, DWORD)>();
    windowChanges = heightPolls = heightSignalledAt = 0;

    EXPECT_EQ(Run(L"CONSIZE", L"/W 70 20"), 0);
    ASSERT_EQ(windowChanges, 2);
    EXPECT_EQ(heightSignalledAt, 3) << "the height step's wait must end on its own window's change";
    ExpectConsole(70, 20, 80, 150);
}

// The frame may never follow (already the size, or the window maximised: conhost's
// window.cpp, _InternalSetWindowSize): a step is done once the console's record shows its window,
// without a single wait for the frame.
TEST_F(ConsizeTest, AStepIsDoneOnceTheRecordShowsItsWindow) {
    ImportPatch patch(Plugin().Module(), "user32.dll", "GetWindowRect", (void*)FrozenWindowRect);
    ASSERT_TRUE(patch.Applied());
    EXPECT_EQ(Run(L"CONSIZE", L"/W 70 20"), 0);
    EXPECT_EQ(StandIn_YieldCount(), 0);
    ExpectConsole(70, 20, 80, 150);
}

}  // namespace
