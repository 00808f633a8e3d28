// The console window's system menu: the Close item (XCLOSE, _XCLOSE) and opening the menu with
// keys typed into it (SYSMENU).
#pragma once
#include <windows.h>

#include "frame/rows.h"

namespace zarnith {

int RunXclose(Row self, wchar_t* line);
int RunSysmenu(Row self, const wchar_t* line);

// Whether `menu` holds the Close item (found by command, not by position).
bool CloseItemPresent(HMENU menu) noexcept;

// Whether the console window's system menu holds the Close item (XCLOSE GET_STATUS, _XCLOSE).
bool CloseCommandAvailable() noexcept;

// Position at which "XCLOSE ON" puts back a Close item it did not remove: where the standard
// menu has it.
inline constexpr UINT kClosePosition = 6;

}  // namespace zarnith
