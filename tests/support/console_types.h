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

// What a console shows, compared and printed whole: buffer size, visible window and cursor.
struct ConsoleGeometry {
    COORD buffer{};
    SMALL_RECT window{};
    COORD cursor{};
    friend bool operator==(const ConsoleGeometry& a, const ConsoleGeometry& b) {
        return a.buffer == b.buffer && a.window == b.window && a.cursor == b.cursor;
    }
};
inline ConsoleGeometry GeometryOf(const CONSOLE_SCREEN_BUFFER_INFO& info) {
    return {info.dwSize, info.srWindow, info.dwCursorPosition};
}
inline void PrintTo(const ConsoleGeometry& g, std::ostream* os) {
    *os << "{buffer ";
    PrintTo(g.buffer, os);
    *os << ", window ";
    PrintTo(g.window, os);
    *os << ", cursor ";
    PrintTo(g.cursor, os);
    *os << "}";
}

// Columns and rows of an inclusive rectangle, as a console reports a window's size.
inline COORD WindowSize(const SMALL_RECT& r) { return COORD{SHORT(r.Right - r.Left + 1), SHORT(r.Bottom - r.Top + 1)}; }
