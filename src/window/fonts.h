// SETFONT, _FONTINFO and _FONTINFO2: set and describe the console's current font.
#pragma once
#include <windows.h>

#include "frame/rows.h"

namespace zarnith {

// Longest face name the console's font record holds (a terminator follows).
inline constexpr size_t kFaceNameLength = LF_FACESIZE - 1;

// Characters a buffer needs for the _FONTINFO text: four 10-digit numbers, four blanks, a quoted
// face name and the terminator.
inline constexpr size_t kFontInfoCapacity = 4 * 10 + 4 + (kFaceNameLength + 2) + 1;

// Writes the current font into `result`: style 0 "index width height weight name" (SETFONT's
// argument line), style 1 "/Nname /Xwidth /Yheight /Wweight" (the host's FONT options). Returns 0.
int DescribeConsoleFont(Row self, wchar_t* result, int style) noexcept;

int RunSetfont(Row self, const wchar_t* line);

}  // namespace zarnith
