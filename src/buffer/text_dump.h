// SAVECSB: the text of the screen buffer, rows 0 to the cursor's, between dated begin and end lines.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "frame/rows.h"

namespace zarnith {

// Local date (short format) and time of the user's locale; a text that cannot be made is empty.
struct DumpStamp {
    std::wstring date;
    std::wstring time;
};
DumpStamp CurrentDumpStamp();

// The pieces of a dump. `count` is what the host reported writing for the begin line (its line
// end included), from which both rules take their length.
std::wstring DumpBeginLine(const DumpStamp& stamp);
std::wstring DumpFirstRule(int count);
std::wstring DumpRowLine(std::wstring_view cells);  // trailing blanks removed, then cut at a NUL
std::wstring DumpEnd(int count, const DumpStamp& stamp, int width);

// A whole dump as the command writes it, from rows of cells (for checking the layout).
std::wstring ComposeDump(const std::vector<std::wstring>& rows, const DumpStamp& stamp, int width);

int RunSavecsb(Row self, wchar_t* line);

}  // namespace zarnith
