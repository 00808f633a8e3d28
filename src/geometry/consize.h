// CONSIZE: window and buffer sizes, window placement and the /Q report. Planning is pure; the
// Win32 work stays in consize.cpp.
#pragma once
#include <windows.h>

#include <array>
#include <optional>
#include <span>

namespace zarnith {

// Which of window and buffer sizes was given first.
enum class Precedence { None, Buffer, Window };

// What a resize asks for.
struct SizeRequest {
    SHORT windowColumns = 0, windowRows = 0;  // 0 or less keeps the current dimension
    SHORT bufferColumns = 0, bufferRows = 0;  // 0 keeps, -1 follows the window
    POINT position{};                         // top-left corner wanted, before the cell offset
    int canonical = 0;                        // 1-9: a cell of the work area's 3 x 3 grid
    Precedence precedence = Precedence::None;
    bool query = false;
    bool exactBuffer = false;    // the buffer as asked up to the console's own limit, not CONSIZE's cap
};

// What this console's window can be, in cells (conhost, src/host/screenInfo.cpp): the largest
// window that fits the screen (GetLargestWindowSizeInCharacters), which no window may exceed, and
// the smallest window (GetMinWindowSizeInCharacters), which no buffer may be smaller than.
// {0, 0} as the largest means unknown: no limit is applied.
struct ConsoleLimits {
    COORD largestWindow{0, 0};
    COORD smallestWindow{1, 1};
};

// Reads the options (arguments after "dummy") into `request`, whose position holds the window's
// current corner. False means a malformed line: the caller prints the usage text.
[[nodiscard]] bool ParseConsizeOptions(std::span<const wchar_t* const> arguments, SizeRequest& request) noexcept;

// The resize RestoreConsoleSize (frame/services.h) carries out. A negative position (only a
// snapshot not written by SAVECON has one) has always come out as -1.
SizeRequest RestoreRequest(COORD buffer, COORD window, POINT position) noexcept;

// One resize step: the window rectangle (buffer coordinates) and buffer size to set.
struct ResizeStepPlan {
    SMALL_RECT window{};
    COORD buffer{};
    bool windowChanges = false;
    bool windowFirst = false;
    bool bufferChanges = false;
};

// The final sizes and the width and height steps that reach them without ever making the
// buffer smaller than the window.
struct SizePlan {
    SHORT windowColumns = 0, windowRows = 0;
    SHORT bufferColumns = 0, bufferRows = 0;
    // Set when no plan can give what was asked: the message (its "%s" takes `refused` as
    // "columns x rows"); nothing may change then.
    const wchar_t* refusal = nullptr;
    COORD refused{};
    std::optional<ResizeStepPlan> widthStep;
    std::optional<ResizeStepPlan> heightStep;
    bool Valid() const noexcept {
        return windowColumns > 0 && windowRows > 0 && bufferColumns > 0 && bufferRows > 0;
    }
    bool WindowChanges() const noexcept {
        return (widthStep && widthStep->windowChanges) || (heightStep && heightStep->windowChanges);
    }
};

// Sizes and steps for `request` on a console whose record is `info`, within its `limits`: what was
// asked first (or asked alone) must fit them or is refused; what follows from it is fitted in.
SizePlan PlanConsoleSize(const SizeRequest& request, const CONSOLE_SCREEN_BUFFER_INFO& info,
                         const ConsoleLimits& limits = {}) noexcept;

// Where canonical cell `cell` puts a window's corner within the work area (screen pixels, to be
// added to the position); 0 (none) gives no offset.
POINT CanonicalOffset(const RECT& workArea, const RECT& window, int cell) noexcept;

// Everything the /Q report shows, read before any change.
struct ConsoleMeasures {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    RECT window{}, client{}, workArea{};
    COORD font{};
    SIZE maxClient{};
    int vScrollWidth = 0, hScrollHeight = 0;
};

// The eighteen values of the /Q report, in the order its format takes them. With `windowUnknown`
// (a pseudo console: the window, its font and the largest window are the terminal's) all but the
// Window and Buffer lines are -1.
std::array<int, 18> ReportValues(const ConsoleMeasures& m, bool windowUnknown = false) noexcept;

}  // namespace zarnith
