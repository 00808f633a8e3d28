#include "buffer/clearing.h"

#include <algorithm>
#include <string_view>

#include "console/blank_rows.h"
#include "console/cells.h"
#include "console/screen.h"
#include "console/transfer.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/rows.h"
#include "frame/report.h"

namespace zarnith {

namespace {
// REPAINT's memory: 32 rows of attributes at most, whatever the buffer's height, written as
// often as the rows need.
constexpr int kRepaintBlockRows = 32;
}  // namespace

ClupPlan PlanClup(const CONSOLE_SCREEN_BUFFER_INFO& info, long long n) noexcept {
    ClupPlan plan;
    plan.window = info.srWindow;
    const int cursorRow = info.dwCursorPosition.Y;
    if (cursorRow < 2) return plan;
    if (n <= 0) n = 1;
    // 64-bit arithmetic: a huge N clears up to row 0 and never wraps a 16-bit row number.
    const long long first = std::max<long long>(cursorRow - (n + 2), 0);
    plan.firstRow = SHORT(first);
    plan.rowCount = uint32_t(cursorRow - first);
    plan.cursorRow = SHORT(first);
    const long long top = std::max<long long>(info.srWindow.Top - n, 0);
    plan.window.Top = SHORT(top);
    plan.window.Bottom = SHORT(top + (info.srWindow.Bottom - info.srWindow.Top));
    return plan;
}

int RunFcls(wchar_t*) {
    const ScreenBuffer out = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    out.Query(info);
    const DWORD cells = DWORD(std::max<SHORT>(info.dwSize.X, 0)) * DWORD(std::max<SHORT>(info.dwSize.Y, 0));
    (void)out.FillAttribute(COORD{0, 0}, cells, info.wAttributes);  // FCLS answers 0 whatever happens
    (void)out.FillCharacter(COORD{0, 0}, cells, L' ');
    // The console brings the window to the cursor, so this also shows the top of the buffer.
    (void)out.SetCursor(COORD{0, 0});
    return 0;
}

int RunClup(Row self, wchar_t* line) {
    const std::wstring_view text = line ? line : L"";
    if (text.find(L'?') != std::wstring_view::npos) return self.ShowHelp();
    const ScreenBuffer out = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!out.Query(info) || info.dwCursorPosition.Y < 2) return 0;
    int n = 0;
    if (line == nullptr || Sscanf(line, L"%d", &n) != 1) n = 1;
    const ClupPlan plan = PlanClup(info, n);
    (void)BlankRows(out, info, plan.firstRow, plan.rowCount);  // CLUP answers 0 whatever the console did
    (void)out.SetCursor(COORD{0, plan.cursorRow});
    (void)out.SetWindow(plan.window);
    return 0;
}

int RunRepaint(Row self, wchar_t* line) {
    const ScreenBuffer out = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!out.Query(info)) return -1;
    const int width = info.dwSize.X;
    const int height = info.dwSize.Y;

    wchar_t empty[1] = {L'\0'};
    wchar_t* colours = line ? line : empty;
    const size_t all = FindNoCase(colours, L"/A");
    if (all != std::wstring_view::npos) colours += all + 2;
    int foreground = Attribute(info.wAttributes).foreground();
    int background = Attribute(info.wAttributes).background();
    ParseColors(colours, &foreground, &background);
    const WORD attribute = Attribute::FromColours(foreground, background).value();

    // With /A the whole buffer, else the rows above the cursor; never a row past the last one,
    // whose number would not fit the console's 16-bit coordinates.
    const int rows = all != std::wstring_view::npos ? height : std::min<int>(info.dwCursorPosition.Y, height);
    if (width <= 0 || rows <= 0) return 0;
    const int blockRows = std::min(kRepaintBlockRows, RowsPerTransfer(width, sizeof(WORD)));
    HostArray<WORD> block(size_t(blockRows) * size_t(width));
    if (!block) return self.Fail(message::kNoMemory);
    std::fill_n(block.data(), block.size(), attribute);
    (void)out.RepeatAttributeRows(0, rows, width, block.data(), blockRows);  // REPAINT has no failure to report
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(FCLS, zarnith::RunFcls)
ZARNITH_SHELL(CLUP, zarnith::RunClup)
ZARNITH_SHELL(REPAINT, zarnith::RunRepaint)
