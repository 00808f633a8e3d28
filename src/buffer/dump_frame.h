// The frame of a SAVECSB dump: the local date and time every format is stamped with, and the
// dated begin line, the rule under it and the end that the plain and /C dumps are written between.
#pragma once
#include <string>

namespace zarnith {

// Local date (short format) and time of the user's locale; a text that cannot be made is empty.
struct DumpStamp {
    std::wstring date;
    std::wstring time;
};
DumpStamp CurrentDumpStamp();

// `count` is what the host reported writing for the begin line (its line end included), from
// which both rules take their length.
std::wstring DumpBeginLine(const DumpStamp& stamp);
std::wstring DumpFirstRule(int count);
std::wstring DumpEnd(int count, const DumpStamp& stamp, int width);

}  // namespace zarnith
