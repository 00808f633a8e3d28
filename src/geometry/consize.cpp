#include "geometry/consize.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "console/cells.h"
#include "console/pseudo_console.h"
#include "console/screen.h"
#include "frame/dpi.h"
#include "frame/entry.h"
#include "frame/guard.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/plugin.h"
#include "frame/rows.h"
#include "frame/report.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

namespace {

constexpr const wchar_t* kUsage =
    L"Manipulate console screen buffer and window\r\n\r\nCONSIZE ...\r\n\r\n"
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

constexpr const wchar_t* kReportFormat =
    L"Window (screen coords)\r\n\r\n"
    L"\tConsole:\t%4d x %d\r\n"
    L"\tClient:\t\t%4d x %d\r\n"
    L"\tLeft,top:\t%4d , %d\r\n"
    L"\tright,bottom:\t%4d , %d\r\n"
    L"\tFont size:\t%4d x %d\r\n\r\n"
    L"Console (chars)\r\n\r\n"
    L"\tWindow:\t\t%4d x %d\r\n"
    L"\tBuffer:\t\t%4d x %d\r\n"
    L"\tMax console:\t%4d x %d\r\n"
    L"\tMax w/scroll:\t%4d x %d\r\n";

SHORT ToShort(const wchar_t* text) noexcept { return static_cast<SHORT>(ToLong(text)); }

// A failed Win32 call as the host reports it; CONSIZE then returns 1.
int ReportLastError() noexcept {
    ReportWindowsError();
    return 1;
}

SHORT WindowColumns(const SMALL_RECT& r) noexcept { return static_cast<SHORT>(Width(r)); }
SHORT WindowRows(const SMALL_RECT& r) noexcept { return static_cast<SHORT>(Height(r)); }

// The event and the hook exist only while one CONSIZE call changes the window.
class ResizeWatch {
public:
    ResizeWatch() noexcept {
        WritableState().resizeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        hook_ = SetWinEventHook(EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_LOCATIONCHANGE, State().module,
                                LocationChangeCallback, 0, 0, WINEVENT_OUTOFCONTEXT);
    }
    ~ResizeWatch() {
        if (hook_) UnhookWinEvent(hook_);
        HANDLE& event = WritableState().resizeEvent;
        if (event) CloseHandle(event);
        event = nullptr;
    }
    ResizeWatch(const ResizeWatch&) = delete;
    ResizeWatch& operator=(const ResizeWatch&) = delete;

private:
    HWINEVENTHOOK hook_ = nullptr;
};

// Waits until the window has followed a console change: the location-change event, a changed
// window rectangle (Wine sends no event), or the time limit, so a resize can never hang the host.
void WaitForWindow(const RECT& before) noexcept {
    const ULONGLONG deadline = GetTickCount64() + kResizeWaitLimitMs;
    for (;;) {
        if (State().resizeEvent && WaitForSingleObject(State().resizeEvent, 0) != WAIT_TIMEOUT) return;
        RECT now{};
        if (State().consoleWindow && GetWindowRect(State().consoleWindow, &now) && !EqualRect(&now, &before)) return;
        if (GetTickCount64() >= deadline) return;
        Sleep(1);
        tty_yield(0);
    }
}

// Under a pseudo console only the record is the console's: the window, its font and the largest
// window are the terminal's.
bool ReadMeasures(HANDLE console, ConsoleMeasures& m, bool pseudo) noexcept {
    if (!GetConsoleScreenBufferInfo(console, &m.info)) return false;
    if (pseudo) return true;
    if (!GetWindowRect(State().consoleWindow, &m.window) || !GetClientRect(State().consoleWindow, &m.client)) return false;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &m.workArea, 0)) return false;
    const auto maxClient = QueryMaxClientSize();
    if (!maxClient) return false;
    m.maxClient = *maxClient;
    m.font = CurrentFontSize(console);
    m.vScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
    m.hScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
    return true;
}

int PrintUsage() noexcept {
    PrintLines(kUsage);
    return 2;
}

}  // namespace

bool ParseConsizeOptions(std::span<const wchar_t* const> arguments, SizeRequest& request) noexcept {
    if (arguments.empty()) return false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const wchar_t* option = arguments[i];
        if (option == nullptr || option[0] != L'/') return false;
        const size_t remaining = arguments.size() - i - 1;
        const auto value = [&](size_t k) { return ToShort(arguments[i + k]); };
        switch (std::towupper(option[1])) {
        case L'W':
            if (remaining < 2) return false;
            request.touchesWindow = true;
            request.windowColumns = value(1);
            request.windowRows = value(2);
            if (request.precedence == Precedence::None) request.precedence = Precedence::Window;
            i += 2;
            break;
        case L'B':
            if (remaining < 2) return false;
            request.bufferColumns = value(1);
            request.bufferRows = value(2);
            if (request.precedence == Precedence::None) request.precedence = Precedence::Buffer;
            i += 2;
            break;
        case L'P':
            if (remaining < 2) return false;
            request.touchesWindow = true;
            request.position = {value(1), value(2)};
            i += 2;
            break;
        case L'C':
            if (remaining < 1) return false;
            request.touchesWindow = true;
            request.canonical = arguments[i + 1][0] - L'0';
            request.position = {0, 0};
            i += 1;
            break;
        case L'R':
            if (remaining < 2) return false;
            request.touchesWindow = true;
            // Positions are 16-bit values, so the sum wraps as they do.
            request.position.x = static_cast<SHORT>(request.position.x + value(1));
            request.position.y = static_cast<SHORT>(request.position.y + value(2));
            i += 2;
            break;
        case L'Q':
            request.query = true;
            return true;
        default:
            return false;
        }
    }
    return true;
}

SizePlan PlanConsoleSize(const SizeRequest& r, const CONSOLE_SCREEN_BUFFER_INFO& info,
                         const ConsoleLimits& limits) noexcept {
    const SHORT cw = WindowColumns(info.srWindow), ch = WindowRows(info.srWindow);
    const SHORT dx = info.dwSize.X, dy = info.dwSize.Y;
    const COORD largest = limits.largestWindow, smallest = limits.smallestWindow;
    // A window dimension no larger than the largest window, where that is known.
    const auto fitted = [](SHORT cells, SHORT most) { return most > 0 ? std::min(cells, most) : cells; };
    SizePlan plan;
    const auto refuse = [&](const wchar_t* message, SHORT x, SHORT y) {
        plan.refusal = message;
        plan.refused = {x, y};
        return plan;
    };
    const bool bufferFirst =
        r.precedence == Precedence::Buffer && r.bufferColumns != -1 && r.bufferRows != -1;
    if (bufferFirst) {
        // A typed size is capped; a size given exactly (a snapshot's) is had whole or refused.
        const SHORT cap = r.exactBuffer ? kConsoleBufferLimit : kMaxBufferCells;
        if (r.exactBuffer && (r.bufferColumns > cap || r.bufferRows > cap))
            return refuse(message::kBufferBeyondLimit, r.bufferColumns, r.bufferRows);
        plan.bufferColumns = r.bufferColumns != 0 ? std::min(r.bufferColumns, cap) : dx;
        plan.bufferRows = r.bufferRows != 0 ? std::min(r.bufferRows, cap) : dy;
        if ((r.bufferColumns > 0 && plan.bufferColumns < smallest.X) || (r.bufferRows > 0 && plan.bufferRows < smallest.Y))
            return refuse(message::kBufferBelowWindow, plan.bufferColumns, plan.bufferRows);
        plan.windowColumns = fitted(std::min(plan.bufferColumns, r.windowColumns > 0 ? r.windowColumns : cw), largest.X);
        plan.windowRows = fitted(std::min(plan.bufferRows, r.windowRows > 0 ? r.windowRows : ch), largest.Y);
    } else {
        if ((largest.X > 0 && r.windowColumns > largest.X) || (largest.Y > 0 && r.windowRows > largest.Y))
            return refuse(message::kWindowBeyondScreen, r.windowColumns, r.windowRows);
        if (r.bufferColumns > kConsoleBufferLimit || r.bufferRows > kConsoleBufferLimit)
            return refuse(message::kBufferBeyondLimit, r.bufferColumns, r.bufferRows);
        plan.windowColumns = r.windowColumns > 0 ? r.windowColumns : fitted(cw, largest.X);
        plan.windowRows = r.windowRows > 0 ? r.windowRows : fitted(ch, largest.Y);
        const auto candidate = [](SHORT asked, SHORT current, SHORT window) {
            return asked == 0 ? current : asked == -1 ? window : asked;
        };
        plan.bufferColumns = std::max({candidate(r.bufferColumns, dx, plan.windowColumns), plan.windowColumns, smallest.X});
        plan.bufferRows = std::max({candidate(r.bufferRows, dy, plan.windowRows), plan.windowRows, smallest.Y});
    }

    const SHORT w = plan.windowColumns, h = plan.windowRows;
    const SHORT bx = plan.bufferColumns, by = plan.bufferRows;
    if (w != cw || bx != dx) {
        plan.widthStep = ResizeStepPlan{{0, info.srWindow.Top, static_cast<SHORT>(w - 1), info.srWindow.Bottom},
                                        {bx, dy}, w != cw, w <= dx, bx != dx};
    }
    if (h != ch || by != dy) {
        plan.heightStep = ResizeStepPlan{{0, 0, static_cast<SHORT>(w - 1), static_cast<SHORT>(h - 1)},
                                         {bx, by}, h != ch, h <= dy, by != dy};
    }
    return plan;
}

POINT CanonicalOffset(const RECT& work, const RECT& window, int cell) noexcept {
    POINT offset{0, 0};
    if (cell == 0) return offset;
    const LONG width = window.right - window.left, height = window.bottom - window.top;
    const int k = cell - 1, column = k % 3, row = k / 3;
    // The grid lies within the work area: a task bar on the left or at the top moves its left and
    // top edges, which every cell is measured from.
    offset.x = column == 2   ? work.right - width
               : column == 1 ? work.left + (work.right - work.left - width) / 2
                             : work.left;
    offset.y = row == 2   ? work.bottom - height
               : row == 1 ? work.top + (work.bottom - work.top - height) / 2
                          : work.top;
    return offset;
}

MaxConsole ComputeMaxConsole(SIZE client, COORD font, int vScrollWidth, int hScrollHeight) noexcept {
    MaxConsole m;
    if (font.X != 0) {
        m.columns = client.cx / font.X;
        m.columnsWithScroll = static_cast<SHORT>(client.cx - vScrollWidth) / font.X;
    }
    if (font.Y != 0) {
        m.rows = client.cy / font.Y;
        m.rowsWithScroll = static_cast<SHORT>(client.cy - hScrollHeight) / font.Y;
    }
    return m;
}

std::array<int, 18> ReportValues(const ConsoleMeasures& m) noexcept {
    const MaxConsole max = ComputeMaxConsole(m.maxClient, m.font, m.vScrollWidth, m.hScrollHeight);
    return {int(m.window.right - m.window.left), int(m.window.bottom - m.window.top),
            int(m.client.right),                 int(m.client.bottom),
            int(m.window.left),                  int(m.window.top),
            int(m.window.right),                 int(m.window.bottom),
            m.font.X,                            m.font.Y,
            WindowColumns(m.info.srWindow),      WindowRows(m.info.srWindow),
            m.info.dwSize.X,                     m.info.dwSize.Y,
            max.columns,                         max.rows,
            max.columnsWithScroll,               max.rowsWithScroll};
}

std::optional<SIZE> QueryMaxClientSize() noexcept {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return std::nullopt;
    const SHORT width = static_cast<SHORT>(work.right - 2 * GetSystemMetrics(SM_CXFRAME) - work.left);
    const SHORT height = static_cast<SHORT>(work.bottom - 2 * GetSystemMetrics(SM_CYFRAME) - work.top -
                                            GetSystemMetrics(SM_CYCAPTION));
    return SIZE{width, height};
}

DWORD MaxClientSize() noexcept {
    const auto size = QueryMaxClientSize();
    if (!size) return 0;
    return MAKELONG(static_cast<WORD>(size->cx), static_cast<WORD>(size->cy));
}

ConsoleLimits QueryConsoleLimits(HANDLE console, COORD font) noexcept {
    ConsoleLimits limits;
    limits.largestWindow = GetLargestConsoleWindowSize(console);
    if (font.X <= 0 || font.Y <= 0 || State().consoleWindow == nullptr) return limits;
    // The client area of a window at the system's minimum size, in the console window's styles,
    // in cells (conhost: WindowMetrics::GetMinClientRectInPixels, src/interactivity/win32).
    RECT frame{0, 0, 0, 0};
    const auto style = DWORD(GetWindowLongW(State().consoleWindow, GWL_STYLE));
    const auto extended = DWORD(GetWindowLongW(State().consoleWindow, GWL_EXSTYLE));
    if (!AdjustWindowRectEx(&frame, style, FALSE, extended)) return limits;
    const LONG columns = (GetSystemMetrics(SM_CXMIN) - (frame.right - frame.left)) / font.X;
    const LONG rows = (GetSystemMetrics(SM_CYMIN) - (frame.bottom - frame.top)) / font.Y;
    limits.smallestWindow = {SHORT(std::clamp<LONG>(columns, 1, kConsoleBufferLimit)),
                             SHORT(std::clamp<LONG>(rows, 1, kConsoleBufferLimit))};
    return limits;
}

DWORD CurrentFontIndex(HANDLE console) noexcept {
    CONSOLE_FONT_INFOEX font{};
    font.cbSize = sizeof font;
    if (!GetCurrentConsoleFontEx(console, FALSE, &font)) return 0;
    return font.nFont;
}

COORD CurrentFontSize(HANDLE console) noexcept {
    return GetConsoleFontSize(console, CurrentFontIndex(console));
}

bool ResizeStep(HANDLE console, const SMALL_RECT& window, COORD buffer, bool windowChanges, bool windowFirst,
                bool bufferChanges) noexcept {
    // A window reports one change more than once, some reports arriving after the wait they end:
    // one left over from the step before must not end this step's wait before its window follows.
    if (const HANDLE event = State().resizeEvent) ResetEvent(event);
    RECT before{};
    if (State().consoleWindow) GetWindowRect(State().consoleWindow, &before);
    const auto failed = [] {
        ReportLastError();
        return false;
    };
    if (windowChanges && windowFirst && !SetConsoleWindowInfo(console, TRUE, &window)) return failed();
    if (bufferChanges && !SetConsoleScreenBufferSize(console, buffer)) return failed();
    if (!windowChanges) return true;
    if (!windowFirst && !SetConsoleWindowInfo(console, TRUE, &window)) return failed();
    WaitForWindow(before);
    return true;
}

int MoveConsoleWindow(const RECT& work, const RECT& window, int cell, POINT position) noexcept {
    const POINT offset = CanonicalOffset(work, window, cell);
    if (!SetWindowPos(State().consoleWindow, nullptr, position.x + offset.x, position.y + offset.y, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER))
        return ReportLastError();
    return 0;
}

void CALLBACK LocationChangeCallback(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) noexcept {
    if (window == State().consoleWindow && State().resizeEvent) SetEvent(State().resizeEvent);
}

int ApplyConsoleSize(const SizeRequest& request) noexcept {
    const ScreenBuffer console = OpenConsoleOutput();
    if (!console) return ReportLastError();
    // Nothing is worked out from a record, rectangle or work area that could not be read.
    const bool pseudo = InPseudoConsole();
    ConsoleMeasures m;
    if (!ReadMeasures(console.get(), m, pseudo)) return ReportLastError();

    if (request.query) {
        auto v = ReportValues(m);
        // Window pixels, font and largest window (all but the Window and Buffer lines): not known.
        if (pseudo)
            for (size_t i = 0; i < v.size(); ++i)
                if (i < 10 || i > 13) v[i] = -1;
        // Formatted here and handed to the host a line at a time (18 numbers fit many times over).
        wchar_t report[1024] = {};
        std::swprintf(report, std::size(report), kReportFormat, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8],
                      v[9], v[10], v[11], v[12], v[13], v[14], v[15], v[16], v[17]);
        PrintLines(report);
        return 0;
    }

    // Checked against the console's rules before the first step, so a size is never half applied.
    const SizePlan plan = PlanConsoleSize(request, m.info, pseudo ? ConsoleLimits{} : QueryConsoleLimits(console.get(), m.font));
    if (plan.refusal != nullptr) {
        const std::wstring size = std::to_wstring(plan.refused.X) + L" x " + std::to_wstring(plan.refused.Y);
        ReportCommandError(RowOf(L"CONSIZE"), plan.refusal, size.c_str());
        return 1;
    }
    if (!plan.Valid()) {
        // A size of 0 or less cannot be a console; the console must not be asked for one.
        ReportWindowsError(nullptr, ERROR_INVALID_PARAMETER);
        return 1;
    }
    bool ok = true;
    {
        std::optional<ResizeWatch> watch;
        if (plan.WindowChanges()) watch.emplace();
        for (const auto* step : {&plan.widthStep, &plan.heightStep}) {
            if (!ok || !*step) continue;
            const ResizeStepPlan& s = **step;
            ok = ResizeStep(console.get(), s.window, s.buffer, s.windowChanges, s.windowFirst, s.bufferChanges);
        }
    }
    if (!ok) return 1;

    if (pseudo) return 0;  // nothing asked of the window (RunConsize refused that)
    if (request.position.x == m.window.left && request.position.y == m.window.top && request.canonical == 0)
        return 0;
    RECT resized{};
    if (!GetWindowRect(State().consoleWindow, &resized)) return ReportLastError();
    return MoveConsoleWindow(m.workArea, resized, request.canonical, request.position);
}

int SizeConsole(const SizeRequest& request) noexcept {
    if (InTakeCommandTab()) {
        Printf(message::kConsizeInTab);
        return 0;
    }
    const UnscaledPixels unscaled;
    // The window must be there to be placed, as for a typed CONSIZE.
    RECT corner{};
    if (!GetWindowRect(State().consoleWindow, &corner)) return ReportLastError();
    return ApplyConsoleSize(request);
}

int RunConsize(wchar_t* line) {
    if (InTakeCommandTab()) {
        Printf(message::kConsizeInTab);
        return 0;
    }
    ArgumentArray args = SplitArguments(line);
    if (!args) return ReportLastError();
    const UnscaledPixels unscaled;
    SizeRequest request;
    RECT corner{};
    // Under a pseudo console the window is the terminal's: its corner is not needed and may not exist.
    const bool pseudo = InPseudoConsole();
    const bool cornerKnown = pseudo || GetWindowRect(State().consoleWindow, &corner) != FALSE;
    request.position = {corner.left, corner.top};
    std::vector<const wchar_t*> options;
    for (int i = 1; i < args.count(); ++i) options.push_back(args[i]);
    if (!ParseConsizeOptions(options, request)) return PrintUsage();
    // The buffer alone can still change; /Q only reports.
    if (request.touchesWindow && !request.query)
        if (const auto refused = PseudoConsoleAnswer(L"CONSIZE")) return *refused;
    if (!cornerKnown) return ReportLastError();
    return ApplyConsoleSize(request);
}

}  // namespace zarnith

ZARNITH_ENTRY int CONSIZE(LPWSTR line) noexcept {
    return zarnith::Guarded(L"CONSIZE", [&] { return zarnith::RunConsize(line); }, 1);
}
