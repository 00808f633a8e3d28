// The registration table: every name the plug-in registers, its entry point and one-line help.
#pragma once
#include <array>
#include "frame/entries.h"

namespace zarnith {

using CommandEntry = int (*)(LPWSTR) noexcept;

struct RegistrationEntry {
    const wchar_t* Name;
    CommandEntry Entry;  // null only for *KEYHANDLER, whose shape differs (KeyHandlerEntry)
    const wchar_t* HelpText;  // null: the command prints its own usage for "/?"
};

inline constexpr int kRegistrationRows = 45;
extern const std::array<RegistrationEntry, kRegistrationRows> RegistrationTable;

// Row numbers of the commands, by which error lines and help address them.
namespace row {
inline constexpr int ALTENTER = 23;
inline constexpr int CLUP = 24;
inline constexpr int CONHELP = 25;
inline constexpr int CONSIZE = 26;
inline constexpr int CSBFIND = 27;
inline constexpr int CURSOR = 28;
inline constexpr int CYCLE = 29;
inline constexpr int FCLS = 30;
inline constexpr int GENBREAK = 31;
inline constexpr int GOTOXY = 32;
inline constexpr int QE = 33;
inline constexpr int REPAINT = 34;
inline constexpr int RSTRCON = 35;
inline constexpr int SAVECON = 36;
inline constexpr int SAVECSB = 37;
inline constexpr int SCROLL = 38;
inline constexpr int SETFONT = 39;
inline constexpr int SETICON = 40;
inline constexpr int SYSMENU = 41;
inline constexpr int XCLOSE = 42;
inline constexpr int VBEEP = 43;
inline constexpr int KEYHANDLER = 44;
}  // namespace row

// The one-line help text of a row ("" never; null when the row has none).
inline const wchar_t* HelpTextOf(int r) noexcept { return RegistrationTable[r].HelpText; }

}  // namespace zarnith
