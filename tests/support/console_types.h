// Comparison and printing of the console's own records, so that a failing case reads
// "{Left 0, Top 3, Right 79, Bottom 5}" rather than a dump of bytes.
#pragma once
#include <windows.h>

#include <ostream>

inline bool operator==(const COORD& a, const COORD& b) { return a.X == b.X && a.Y == b.Y; }
inline bool operator==(const SMALL_RECT& a, const SMALL_RECT& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}
inline bool operator==(const CHAR_INFO& a, const CHAR_INFO& b) {
    return a.Char.UnicodeChar == b.Char.UnicodeChar && a.Attributes == b.Attributes;
}

inline void PrintTo(const COORD& c, std::ostream* os) { *os << "{X " << c.X << ", Y " << c.Y << "}"; }
inline void PrintTo(const SMALL_RECT& r, std::ostream* os) {
    *os << "{Left " << r.Left << ", Top " << r.Top << ", Right " << r.Right << ", Bottom " << r.Bottom << "}";
}
inline void PrintTo(const CHAR_INFO& c, std::ostream* os) {
    *os << "{U+" << std::hex << unsigned(c.Char.UnicodeChar) << ", attribute 0x" << c.Attributes << std::dec << "}";
}
