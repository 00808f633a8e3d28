#include "geometry/scrolling.h"

#include <algorithm>
#include <cwchar>

#include "console/screen.h"
#include "frame/entry.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/rows.h"
#include "frame/state.h"

namespace zarnith {

namespace {

// Scroll codes by axis (vertical 0-5, horizontal 6-11) and action (+ - H E P N).
constexpr WPARAM kScrollCodes[12] = {SB_LINEDOWN,  SB_LINEUP,   SB_TOP,  SB_BOTTOM, SB_PAGEUP,   SB_PAGEDOWN,
                                     SB_LINERIGHT, SB_LINELEFT, SB_LEFT, SB_RIGHT,  SB_PAGELEFT, SB_PAGERIGHT};

int ActionIndex(wchar_t action) noexcept {
    switch (action) {
    case L'-': return 1;
    case L'H': return 2;
    case L'E': return 3;
    case L'P': return 4;
    case L'N': return 5;
    default: return 0;
    }
}

}  // namespace

ScrollRequest ParseScroll(const wchar_t* line) noexcept {
    wchar_t axis = 0, action = 0;
    unsigned long count = 0;
    Sscanf(line, L" %c %c %lu", &axis, &action, &count);
    ScrollRequest request;
    const int index = ActionIndex(action) + (axis == L'H' ? 6 : 0);
    request.message = index < 6 ? WM_VSCROLL : WM_HSCROLL;
    request.code = kScrollCodes[index];
    request.count = count == 0 ? 1 : count;
    return request;
}

int RunScroll(Row self, wchar_t* line) {
    if (line == nullptr) line = const_cast<wchar_t*>(L"");
    else CharUpperW(line);
    if (std::wcschr(line, L'?')) return self.ShowHelp();
    ScrollRequest request = ParseScroll(line);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    unsigned long limit = kMaxScrollRepeat;
    if (QueryScreenBuffer(info)) {
        const SHORT extent = request.message == WM_VSCROLL ? info.dwSize.Y : info.dwSize.X;
        limit = static_cast<unsigned long>(std::max<SHORT>(extent, 1));
    }
    request.count = std::min(request.count, limit);
    for (unsigned long i = 0; i < request.count; ++i) SendMessageW(State().consoleWindow, request.message, request.code, 0);
    return 0;
}

int RunGotoxy(Row self, wchar_t* line) {
    const ScreenBuffer output = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO before{};
    const bool known = output.Query(before);
    if (line == nullptr) line = const_cast<wchar_t*>(L"");
    else CharUpperW(line);

    if (std::wcschr(line, L'R') && State().gotoxyCursor.X != -1) {
        // GOTOXY answers 0 whatever happens; a view of another size is refused in a pseudo console.
        (void)output.SetCursor(State().gotoxyCursor);
        (void)output.SetWindow(State().gotoxyWindow);
    } else if (std::wcschr(line, L'?')) {
        return self.ShowHelp();
    } else {
        unsigned int x = 0, y = 0;
        // Fewer than two numbers leave nothing to place the cursor at.
        if (Sscanf(line, L" %u %u", &x, &y) == 2)
            (void)output.SetCursor(COORD{static_cast<SHORT>(x & 0xFFFF), static_cast<SHORT>(y & 0xFFFF)});
    }
    // An unreadable record would save garbage; the earlier place stays saved instead.
    if (known) {
        WritableState().gotoxyCursor = before.dwCursorPosition;
        WritableState().gotoxyWindow = before.srWindow;
    }
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(SCROLL, zarnith::RunScroll)
ZARNITH_SHELL(GOTOXY, zarnith::RunGotoxy)
