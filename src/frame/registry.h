// The registration table the host and the help read: the rows of frame/rows.h with their entry
// points. Only the frame includes this (it sees every entry); subsystems use frame/rows.h.
#pragma once
#include <array>
#include "frame/entries.h"
#include "frame/rows.h"

namespace zarnith {

using CommandEntry = int (*)(LPWSTR) noexcept;

struct RegistrationEntry {
    const wchar_t* Name;
    CommandEntry Entry;  // null only for *KEYHANDLER, whose shape differs (KeyHandlerEntry)
    const wchar_t* HelpText;  // null: the command prints its own usage for "/?"
};

extern const std::array<RegistrationEntry, kRegistrationRows> RegistrationTable;

}  // namespace zarnith
