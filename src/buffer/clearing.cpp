#include "buffer/clearing.h"

#include <algorithm>
#include <string_view>

#include "buffer/blank_rows.h"
#include "frame/entries.h"
#include "frame/guard.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/registry.h"

namespace zarnith {

namespace {
// Attributes REPAINT hands over per call: 32 rows, or fewer rows of a very wide buffer so that
// each transfer stays under 64 KB.
constexpr int kRepaintBlockRows = 32;
constexpr uint32_t kMaxTransferAttributes = 2 * kMaxTransferCells;
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

int RunFcls() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(out, &info);
    const DWORD cells = DWORD(std::max<SHORT>(info.dwSize.X, 0)) * DWORD(std::max<SHORT>(info.dwSize.Y, 0));
    DWORD done = 0;
    FillConsoleOutputAttribute(out, info.wAttributes, cells, COORD{0, 0}, &done);
    FillConsoleOutputCharacterW(out, L' ', cells, COORD{0, 0}, &done);
    // The console brings the window to the cursor, so this also shows the top of the buffer.
    SetConsoleCursorPosition(out, COORD{0, 0});
    return 0;
}

int RunClup(wchar_t* line) {
    const std::wstring_view text = line ? line : L"";
    if (text.find(L'?') != std::wstring_view::npos) {
        Printf(L"%s\r\n", HelpTextOf(row::CLUP));
        return 0;
    }
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(out, &info) || info.dwCursorPosition.Y < 2) return 0;
    int n = 0;
    if (line == nullptr || Sscanf(line, L"%d", &n) != 1) n = 1;
    const ClupPlan plan = PlanClup(info, n);
    BlankRows(info, plan.firstRow, plan.rowCount);
    SetConsoleCursorPosition(out, COORD{0, plan.cursorRow});
    SetConsoleWindowInfo(out, TRUE, &plan.window);
    return 0;
}

int RunRepaint(wchar_t* line) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(out, &info)) return -1;
    const int width = info.dwSize.X;
    const int height = info.dwSize.Y;

    wchar_t empty[1] = {L'\0'};
    wchar_t* colours = line ? line : empty;
    const size_t all = FindNoCase(colours, L"/A");
    if (all != std::wstring_view::npos) colours += all + 2;
    int foreground = info.wAttributes & 0x0F;
    int background = (info.wAttributes >> 4) & 0x0F;
    ParseColors(colours, &foreground, &background);
    const WORD attribute = RepaintAttribute(foreground, background);

    // With /A the whole buffer, else the rows above the cursor; never a row past the last one,
    // whose number would not fit the console's 16-bit coordinates.
    const int rows = all != std::wstring_view::npos ? height : std::min<int>(info.dwCursorPosition.Y, height);
    if (width <= 0 || rows <= 0) return 0;
    const int blockRows =
        std::clamp(int(kMaxTransferAttributes / uint32_t(width)), 1, kRepaintBlockRows);
    HostArray<WORD> block(size_t(blockRows) * size_t(width));
    if (!block) return ReportCommandError(row::REPAINT, L"memory allocation failed", nullptr);
    std::fill_n(block.data(), block.size(), attribute);
    for (int top = 0; top < rows; top += blockRows) {
        const DWORD count = DWORD(std::min(blockRows, rows - top)) * DWORD(width);
        DWORD done = 0;
        WriteConsoleOutputAttribute(out, block.data(), count, COORD{0, SHORT(top)}, &done);
    }
    return 0;
}

}  // namespace zarnith

int FCLS(LPWSTR) noexcept { return zarnith::Guarded(L"FCLS", [] { return zarnith::RunFcls(); }, 0); }
int CLUP(LPWSTR line) noexcept {
    return zarnith::Guarded(L"CLUP", [&] { return zarnith::RunClup(line); }, 0);
}
int REPAINT(LPWSTR line) noexcept {
    return zarnith::Guarded(L"REPAINT", [&] { return zarnith::RunRepaint(line); });
}
