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
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/os_module.h"
#include "frame/plugin.h"
#include "frame/rows.h"
#include "frame/report.h"
#include "frame/services.h"
#include "frame/state.h"
#include "frame/text.h"
#include "geometry/metrics.h"

namespace zarnith {

namespace {

// Largest buffer dimension CONSIZE asks for when the buffer is given first.
constexpr SHORT kMaxBufferCells = 9999;

// Largest buffer dimension any console takes: conhost refuses SHRT_MAX in either direction
// (src/host/getset.cpp, SetConsoleScreenBufferSizeImpl).
constexpr SHORT kConsoleBufferLimit = 32766;

// How long a resize waits for the window to follow before it goes on anyway.
constexpr DWORD kResizeWaitLimitMs = 250;

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

// A failed call as the host reports it (the system's error code unless told); CONSIZE then returns 1.
int ReportFailure(DWORD code = GetLastError()) noexcept {
    ReportWindowsError(nullptr, code);
    return 1;
}

SHORT WindowColumns(const SMALL_RECT& r) noexcept { return static_cast<SHORT>(Width(r)); }
SHORT WindowRows(const SMALL_RECT& r) noexcept { return static_cast<SHORT>(Height(r)); }

// Window-event procedure: signals the resize in progress when the console window moved or resized.
void CALLBACK LocationChangeCallback(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) noexcept {
    if (window == State().consoleWindow && State().resizeEvent) SetEvent(State().resizeEvent);
}

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

bool SameRect(const SMALL_RECT& a, const SMALL_RECT& b) noexcept {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

bool SameSize(const SMALL_RECT& a, const SMALL_RECT& b) noexcept {
    return WindowColumns(a) == WindowColumns(b) && WindowRows(a) == WindowRows(b);
}

// Waits until the console has taken a window change: its record shows the asked window (conhost
// sets the view at once and resizes the frame later, or never when the frame is already the
// size or the window is maximised: src/interactivity/win32/window.cpp, _InternalSetWindowSize),
// the location-change event, a changed window rectangle (Wine sends no event), or the time limit,
// so a resize can never hang the host.
void WaitForWindow(const ScreenBuffer& console, const SMALL_RECT& asked, const RECT& before) noexcept {
    const ULONGLONG deadline = GetTickCount64() + kResizeWaitLimitMs;
    for (;;) {
        CONSOLE_SCREEN_BUFFER_INFO record{};
        if (console.Query(record) && SameSize(record.srWindow, asked)) return;
        if (State().resizeEvent && WaitForSingleObject(State().resizeEvent, 0) != WAIT_TIMEOUT) return;
        RECT now{};
        if (State().consoleWindow && GetWindowRect(State().consoleWindow, &now) && !EqualRect(&now, &before)) return;
        if (GetTickCount64() >= deadline) return;
        Sleep(1);
        tty_yield(0);
    }
}

// Waits, within the time limit, until the frame holds `columns` x `rows` cells of the size the
// window showed when measured: a work-area cell is worked out from the frame's final size.
void WaitForFrame(const ConsoleMeasures& m, SHORT columns, SHORT rows) noexcept {
    const LONG cellWidth = m.client.right / std::max<LONG>(WindowColumns(m.info.srWindow), 1);
    const LONG cellHeight = m.client.bottom / std::max<LONG>(WindowRows(m.info.srWindow), 1);
    if (cellWidth <= 0 || cellHeight <= 0) return;
    const ULONGLONG deadline = GetTickCount64() + kResizeWaitLimitMs;
    for (RECT client{}; GetTickCount64() < deadline; Sleep(1), tty_yield(0))
        if (GetClientRect(State().consoleWindow, &client) && client.right / cellWidth == columns &&
            client.bottom / cellHeight == rows)
            return;
}

// Under a pseudo console only the record is the console's: the window, its font and the largest
// window are the terminal's.
bool ReadMeasures(const ScreenBuffer& console, ConsoleMeasures& m, bool pseudo) noexcept {
    if (!console.Query(m.info)) return false;
    if (pseudo) return true;
    if (!GetWindowRect(State().consoleWindow, &m.window) || !GetClientRect(State().consoleWindow, &m.client)) return false;
    const auto work = QueryWorkArea();
    if (!work) return false;
    m.workArea = *work;
    m.maxClient = MaxClientIn(*work);
    m.font = console.CurrentFont().dwFontSize;
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
            request.position = {value(1), value(2)};
            i += 2;
            break;
        case L'C':
            if (remaining < 1) return false;
            request.canonical = arguments[i + 1][0] - L'0';
            request.position = {0, 0};
            i += 1;
            break;
        case L'R':
            if (remaining < 2) return false;
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
    // Options that ask for no size (/P, /C or /R alone, or sizes of 0) change none, not even that
    // of a window larger than the largest (one dragged from a larger screen).
    if (r.windowColumns <= 0 && r.windowRows <= 0 && r.bufferColumns == 0 && r.bufferRows == 0) {
        plan.windowColumns = cw, plan.windowRows = ch;
        plan.bufferColumns = dx, plan.bufferRows = dy;
        return plan;
    }
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
        // The current rows stay for this step, but never more than the largest window (one dragged
        // from a larger screen): conhost would refuse the step.
        const SHORT rows = fitted(ch, largest.Y);
        plan.widthStep = ResizeStepPlan{
            {0, info.srWindow.Top, static_cast<SHORT>(w - 1), static_cast<SHORT>(info.srWindow.Top + rows - 1)},
            {bx, dy}, w != cw || rows != ch, w <= dx, bx != dx};
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

std::array<int, 18> ReportValues(const ConsoleMeasures& m, bool windowUnknown) noexcept {
    const MaxConsole max =
        ComputeMaxConsole(m.maxClient, MeasureCells(m.client, m.info.srWindow, m.font, IsZoomed(State().consoleWindow)),
                          m.vScrollWidth, m.hScrollHeight);
    const auto window = [&](int value) { return windowUnknown ? -1 : value; };
    return {window(m.window.right - m.window.left), window(m.window.bottom - m.window.top),
            window(m.client.right),                 window(m.client.bottom),
            window(m.window.left),                  window(m.window.top),
            window(m.window.right),                 window(m.window.bottom),
            window(m.font.X),                       window(m.font.Y),
            WindowColumns(m.info.srWindow),         WindowRows(m.info.srWindow),
            m.info.dwSize.X,                        m.info.dwSize.Y,
            window(max.columns),                    window(max.rows),
            window(max.columnsWithScroll),          window(max.rowsWithScroll)};
}

namespace {

// The smallest window in cells of `cellX` x `cellY` pixels, measured in the thread's DPI context:
// the client area of a window at the system's minimum size in the console window's styles
// (conhost: WindowMetrics::GetMinClientRectInPixels, src/interactivity/win32/WindowMetrics.cpp).
bool SmallestWindowIn(HWND window, LONG cellX, LONG cellY, COORD& smallest) noexcept {
    if (cellX <= 0 || cellY <= 0) return false;
    RECT frame{0, 0, 0, 0};
    const auto style = DWORD(GetWindowLongW(window, GWL_STYLE));
    const auto extended = DWORD(GetWindowLongW(window, GWL_EXSTYLE));
    if (!AdjustWindowRectEx(&frame, style, FALSE, extended)) return false;
    const LONG columns = (GetSystemMetrics(SM_CXMIN) - (frame.right - frame.left)) / cellX;
    const LONG rows = (GetSystemMetrics(SM_CYMIN) - (frame.bottom - frame.top)) / cellY;
    smallest = {SHORT(std::clamp<LONG>(columns, 1, kConsoleBufferLimit)),
                SHORT(std::clamp<LONG>(rows, 1, kConsoleBufferLimit))};
    return true;
}

// The limits of the console measured in `m` (unknown ones left as ConsoleLimits has them).
ConsoleLimits QueryConsoleLimits(const ScreenBuffer& console, const ConsoleMeasures& m) noexcept {
    ConsoleLimits limits;
    limits.largestWindow = console.LargestWindow();
    const HWND window = State().consoleWindow;
    if (window == nullptr) return limits;
    // conhost's own figures (src/host/screenInfo.cpp, GetMinWindowSizeInCharacters): real pixels
    // over the screen font's real cell, which the window's client area over the cells it shows
    // gives. The font's reported size is rounded to 96-DPI units: on a scaled display it would be
    // a column off, and a buffer refused only after the window step.
    const LONG columns = WindowColumns(m.info.srWindow), rows = WindowRows(m.info.srWindow);
    {
        const PhysicalPixels physical;
        RECT client{};
        const bool laidOut = columns > 0 && rows > 0 && GetClientRect(window, &client) &&
                             client.right >= columns && client.bottom >= rows;
        if (laidOut && SmallestWindowIn(window, client.right / columns, client.bottom / rows, limits.smallestWindow))
            return limits;
    }
    // No layout to measure (a minimised window): the font, in its own 96-DPI units.
    SmallestWindowIn(window, m.font.X, m.font.Y, limits.smallestWindow);
    return limits;
}

// Applies one step; false (the system's error code kept) when a console call fails.
bool ResizeStep(const ScreenBuffer& console, const ResizeStepPlan& step) noexcept {
    // A window reports one change more than once, some reports arriving after the wait they end:
    // one left over from the step before must not end this step's wait before its window follows.
    if (const HANDLE event = State().resizeEvent) ResetEvent(event);
    RECT before{};
    if (State().consoleWindow) GetWindowRect(State().consoleWindow, &before);
    // What the console already has is neither asked for again nor waited for.
    CONSOLE_SCREEN_BUFFER_INFO now{};
    const bool known = console.Query(now);
    const bool windowChanges = step.windowChanges && !(known && SameRect(now.srWindow, step.window));
    const bool bufferChanges =
        step.bufferChanges && !(known && now.dwSize.X == step.buffer.X && now.dwSize.Y == step.buffer.Y);
    if (windowChanges && step.windowFirst && !console.SetWindow(step.window)) return false;
    if (bufferChanges && !console.Resize(step.buffer)) return false;
    if (!windowChanges) return true;
    if (!step.windowFirst && !console.SetWindow(step.window)) return false;
    WaitForWindow(console, step.window, before);
    return true;
}

// Carries out `request` on the measured console: 0 success (or report printed), 1 after a
// reported failure.
int ApplyConsoleSize(Row self, const ScreenBuffer& console, const ConsoleMeasures& m, const SizeRequest& request,
                     bool pseudo) noexcept {
    if (request.query) {
        const auto v = ReportValues(m, pseudo);
        // Formatted here and handed to the host a line at a time (18 numbers fit many times over).
        wchar_t report[1024] = {};
        std::swprintf(report, std::size(report), kReportFormat, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8],
                      v[9], v[10], v[11], v[12], v[13], v[14], v[15], v[16], v[17]);
        PrintLines(report);
        return 0;
    }

    // Checked against the console's rules before the first step, so a size is never half applied.
    const SizePlan plan = PlanConsoleSize(request, m.info, pseudo ? ConsoleLimits{} : QueryConsoleLimits(console, m));
    if (plan.refusal != nullptr) {
        const std::wstring size = std::to_wstring(plan.refused.X) + L" x " + std::to_wstring(plan.refused.Y);
        self.Fail(plan.refusal, size.c_str());
        return 1;
    }
    // A maximised or full-screen frame would never follow (nor wait) and a move would leave it
    // where it is: nothing is done, and the user hears why.
    const bool moves =
        request.canonical != 0 || request.position.x != m.window.left || request.position.y != m.window.top;
    const wchar_t* fixed = !pseudo && (plan.WindowChanges() || moves) ? FrameFixedAs() : nullptr;
    if (fixed != nullptr) {
        self.Fail(message::kFrameFixed, fixed);
        return 1;
    }
    if (!plan.Valid()) {
        // A size of 0 or less cannot be a console; the console must not be asked for one.
        return ReportFailure(ERROR_INVALID_PARAMETER);
    }
    {
        std::optional<ResizeWatch> watch;
        if (plan.WindowChanges()) watch.emplace();
        // Reported before the watch closes its handles, which could change the error code.
        for (const auto* step : {&plan.widthStep, &plan.heightStep})
            if (*step && !ResizeStep(console, **step)) return ReportFailure();
        // The frame follows the view later, maybe in several moves.
        if (watch && request.canonical != 0) WaitForFrame(m, plan.windowColumns, plan.windowRows);
    }

    if (pseudo) return 0;  // nothing asked of the window (RunConsize refused that)
    if (request.position.x == m.window.left && request.position.y == m.window.top && request.canonical == 0)
        return 0;
    RECT resized{};
    if (!GetWindowRect(State().consoleWindow, &resized)) return ReportFailure();
    const POINT offset = CanonicalOffset(m.workArea, resized, request.canonical);
    if (!SetWindowPos(State().consoleWindow, nullptr, request.position.x + offset.x, request.position.y + offset.y,
                      0, 0, SWP_NOSIZE | SWP_NOZORDER))
        return ReportFailure();
    return 0;
}

// CONSIZE cannot size a Take Command tab's console: says so and answers true.
bool RefusedInTab() noexcept {
    if (!InTakeCommandTab()) return false;
    Printf(message::kConsizeInTab);
    return true;
}

// The console and its window, measured once per call in one DPI context and kept for the call.
class SizeCall {
public:
    SizeCall() noexcept {
        // Nothing is worked out from a record, rectangle or work area that could not be read; a
        // malformed line or a refusal is still answered first.
        measured_ = console_ && ReadMeasures(console_, m_, pseudo_);
        if (!measured_) error_ = GetLastError();
    }
    POINT Corner() const noexcept { return {m_.window.left, m_.window.top}; }
    int Apply(Row self, const SizeRequest& request) const noexcept {
        if (!measured_) return ReportFailure(error_);
        return ApplyConsoleSize(self, console_, m_, request, pseudo_);
    }

private:
    const UnscaledPixels unscaled_;
    // Under a pseudo console the window is the terminal's: its corner is not needed and may not exist.
    const bool pseudo_ = InPseudoConsole();
    const ScreenBuffer console_ = OpenConsoleOutput();
    ConsoleMeasures m_;
    bool measured_ = false;
    DWORD error_ = ERROR_SUCCESS;
};

int RunConsize(Row self, wchar_t* line) {
    if (RefusedInTab()) return 0;
    ArgumentArray args = SplitArguments(line);
    if (!args) return ReportFailure();
    const SizeCall call;
    SizeRequest request;
    request.position = call.Corner();
    std::vector<const wchar_t*> options;
    for (int i = 1; i < args.count(); ++i) options.push_back(args[i]);
    if (!ParseConsizeOptions(options, request)) return PrintUsage();
    // /Q only reports. Not even the buffer may change: the console would no longer match the
    // terminal's view, and the terminal is never told (src/host/getset.cpp,
    // SetConsoleScreenBufferSizeImpl).
    if (!request.query)
        if (const auto refused = PseudoConsoleAnswer(self)) return *refused;
    return call.Apply(self, request);
}

}  // namespace

const wchar_t* FrameFixedAs() noexcept {
    const HWND window = State().consoleWindow;
    if (window != nullptr && IsZoomed(window)) return L"maximised";
    // Not linked directly: systems without it must still load the plug-in.
    const RunTimeFunction<BOOL(LPDWORD)> query(OsModule::Named(L"kernel32.dll"), "GetConsoleDisplayMode");
    DWORD flags = 0;
    return query && query(&flags) && flags != 0 ? L"full screen" : nullptr;
}

SizeRequest RestoreRequest(COORD buffer, COORD window, POINT position) noexcept {
    // However tall (exactBuffer): every saved row needs its place, up to what the console itself takes.
    return {.windowColumns = window.X, .windowRows = window.Y, .bufferColumns = buffer.X, .bufferRows = buffer.Y,
            .position = {position.x < 0 ? -1 : position.x, position.y < 0 ? -1 : position.y},
            .precedence = Precedence::Buffer, .exactBuffer = true};
}

int RestoreConsoleSize(COORD buffer, COORD window, POINT position) noexcept {
    if (RefusedInTab()) return 0;
    // RSTRCON's resize is CONSIZE's work, and its error lines say so.
    return SizeCall().Apply(Row(EntryRow::CONSIZE), RestoreRequest(buffer, window, position));
}

}  // namespace zarnith

ZARNITH_SHELL(CONSIZE, zarnith::RunConsize)
