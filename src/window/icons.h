// The console icon: SETICON sets it from an icon file or a library's icon group; @ICONS counts
// a library's icon groups.
#pragma once
#include <windows.h>

#include <span>

#include "frame/rows.h"

namespace zarnith {

int RunSetIcon(Row self, const wchar_t* line);
void CountIconGroups(wchar_t* buffer);

// What SETICON's arguments (without the command name) ask for.
enum class IconSourceKind { Usage, IconFile, Library };
struct IconSource {
    IconSourceKind Kind = IconSourceKind::Usage;
    long Index = 0;  // 1-based icon group, for a library
};
IconSource ClassifyIconArguments(std::span<const wchar_t* const> args) noexcept;

// The message both tray tools understand as "the console's icon changed".
inline constexpr UINT kTrayIconChanged = WM_APP + 8;

}  // namespace zarnith
