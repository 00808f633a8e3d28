// The registration table the host and the help read: the rows of frame/rows.h with their entry
// points. Only the frame includes this; subsystems use frame/rows.h.
#pragma once
#include <array>
#include "frame/entry.h"
#include "frame/rows.h"

namespace zarnith {

using CommandEntry = int (*)(LPWSTR) noexcept;

// A row's entry as the help calls it with "/?": the key handler is no command, so it has none.
constexpr CommandEntry CommandOf(CommandEntry entry) noexcept { return entry; }
constexpr CommandEntry CommandOf(int (*)(KeyRecord*) noexcept) noexcept { return nullptr; }

struct RegistrationEntry {
    const wchar_t* Name;
    CommandEntry Entry;  // null only for *KEYHANDLER, whose shape differs
    const wchar_t* HelpText;  // null: the command prints its own usage for "/?"
};

extern const std::array<RegistrationEntry, kRegistrationRows> RegistrationTable;

// The row named `name` (letter case ignored), active or not; -1 when the table has none.
inline int TableRowOf(const wchar_t* name) noexcept {
    for (int r = 0; r < kRegistrationRows; ++r)
        if (lstrcmpiW(RegistrationTable[r].Name, name) == 0) return r;
    return -1;
}

}  // namespace zarnith
