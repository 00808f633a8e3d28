// CONSIZE: window and buffer sizes, window placement and the /Q report, plus the two console
// metrics other commands share (MaxClientSize, CurrentFontIndex). Planning is pure; Win32 is thin.
#pragma once
#include <windows.h>

#include <array>
#include <optional>
#include <span>

#include "frame/services.h"

namespace zarnith {

// Largest buffer dimension CONSIZE asks for when the buffer is given first.
inline constexpr SHORT kMaxBufferCells = 9999;

// Largest buffer dimension any console takes: conhost refuses SHRT_MAX in either direction
// (src/host/getset.cpp, SetConsoleScreenBufferSizeImpl).
inline constexpr SHORT kConsoleBufferLimit = 32766;

// What this console's window can be, in cells (conhost, src/host/screenInfo.cpp): the largest
// window that fits the screen (GetLargestWindowSizeInCharacters), which no window may exceed, and
// the smallest window (GetMinWindowSizeInCharacters), which no buffer may be smaller than.
// {0, 0} as the largest means unknown: no limit is applied.
struct ConsoleLimits {
    COORD largestWindow{0, 0};
    COORD smallestWindow{1, 1};
};

// How long a resize waits for the window to follow before it goes on anyway.
inline constexpr DWORD kResizeWaitLimitMs = 250;

// Reads the options (arguments after "dummy") into `request`, whose position holds the window's
// current corner. False means a malformed line: the caller prints the usage text.
[[nodiscard]] bool ParseConsizeOptions(std::span<const wchar_t* const> arguments, SizeRequest& request) noexcept;

// One call of ResizeStep: the window rectangle (buffer coordinates) and buffer size to set.
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

// The limits of the console behind `console` whose font cell is `font` (unknown ones left as
// ConsoleLimits has them).
ConsoleLimits QueryConsoleLimits(HANDLE console, COORD font) noexcept;

// Where canonical cell `cell` puts a window's corner within the work area (screen pixels, to be
// added to the position); 0 (none) gives no offset.
POINT CanonicalOffset(const RECT& workArea, const RECT& window, int cell) noexcept;

// Most columns and rows a maximal client area shows, without and with scroll bars; -1 where the
// font cell dimension is 0 (nothing to divide by).
struct MaxConsole {
    int columns = -1, rows = -1, columnsWithScroll = -1, rowsWithScroll = -1;
};
MaxConsole ComputeMaxConsole(SIZE client, COORD font, int vScrollWidth, int hScrollHeight) noexcept;

// Everything the /Q report shows, read before any change.
struct ConsoleMeasures {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    RECT window{}, client{}, workArea{};
    COORD font{};
    SIZE maxClient{};
    int vScrollWidth = 0, hScrollHeight = 0;
};

// The eighteen values of the /Q report, in the order its format takes them.
std::array<int, 18> ReportValues(const ConsoleMeasures& m) noexcept;

// Largest client area (pixels) of a framed, captioned window inside the work area; nothing when
// the work area cannot be read.
std::optional<SIZE> QueryMaxClientSize() noexcept;

// The same packed as width (low 16 bits) and height (high 16 bits); 0 when unreadable.
DWORD MaxClientSize() noexcept;

// Index of the console's current font (normal window), 0 when it cannot be read.
DWORD CurrentFontIndex(HANDLE console) noexcept;

// Cell size of the current font, {0, 0} when unknown.
COORD CurrentFontSize(HANDLE console) noexcept;

// Applies one step; reports a failing console call through the host's error.
[[nodiscard]] bool ResizeStep(HANDLE console, const SMALL_RECT& window, COORD buffer, bool windowChanges,
                              bool windowFirst, bool bufferChanges) noexcept;

// Moves the console window to position + the cell's offset; 0, or 1 after reporting the failure.
int MoveConsoleWindow(const RECT& workArea, const RECT& window, int cell, POINT position) noexcept;

// Window-event procedure: signals the resize in progress when the console window moved or resized.
void CALLBACK LocationChangeCallback(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                     DWORD thread, DWORD time) noexcept;

// Carries out a request: 0 success (or report printed), 1 after a reported failure.
int ApplyConsoleSize(const SizeRequest& request) noexcept;

// The CONSIZE command behind the export.
int RunConsize(wchar_t* line);

}  // namespace zarnith
