// FCLS, CLUP and REPAINT: clearing and recolouring the screen buffer in bulk, and their plans.
#pragma once
#include <windows.h>

#include <cstdint>

#include "frame/rows.h"

namespace zarnith {

// What one CLUP does to a console: rows [firstRow, firstRow + rowCount) become blank, the cursor
// goes to (0, cursorRow), the window to `window`. rowCount 0: nothing changes.
struct ClupPlan {
    SHORT firstRow = 0;
    uint32_t rowCount = 0;
    SHORT cursorRow = 0;
    SMALL_RECT window{};
};

// The plan for CLUP N (N <= 0 counts as 1) on a console in `info`.
ClupPlan PlanClup(const CONSOLE_SCREEN_BUFFER_INFO& info, long long n) noexcept;

int RunFcls(wchar_t* line);
int RunClup(Row self, wchar_t* line);
int RunRepaint(Row self, wchar_t* line);

}  // namespace zarnith
