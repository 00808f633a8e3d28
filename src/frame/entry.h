// Every entry point the host finds by name: an unmangled, exported name, declared here once. Each
// subsystem defines its registered names' entries with ZARNITH_SHELL, the protocol's own with
// ZARNITH_ENTRY; since the registered names are declared from their rows, a definition whose shape
// differs from what the host calls does not compile.
#pragma once
#include <windows.h>
#include <type_traits>
#include "frame/guard.h"
#include "frame/protocol.h"
#include "frame/rows.h"

#define ZARNITH_ENTRY extern "C" __declspec(dllexport)

ZARNITH_ENTRY int InitializePlugin() noexcept;
ZARNITH_ENTRY PluginInfo* GetPluginInfo() noexcept;
ZARNITH_ENTRY int ShutdownPlugin() noexcept;
ZARNITH_ENTRY int Help(LPWSTR name) noexcept;
ZARNITH_ENTRY int Usage(LPWSTR name, LPWSTR buffer) noexcept;

namespace zarnith {

// What the host hands a registered name's entry, told by the name's first character as the host
// tells it: the key record to the key handler ("*"), a text to every other name (a command's
// line, a variable's result buffer, a function's argument).
template <wchar_t First>
using EntryArgument = std::conditional_t<First == L'*', KeyRecord*, LPWSTR>;

constexpr wchar_t FirstOf(EntryRow entry) noexcept { return Row(entry).Name()[0]; }

}  // namespace zarnith

#define ZARNITH_DECLARE_ENTRY(name, entry, ...) ZARNITH_ENTRY int entry(zarnith::EntryArgument<name[0]>) noexcept;
ZARNITH_ROWS(ZARNITH_DECLARE_ENTRY)
#undef ZARNITH_DECLARE_ENTRY

// The exported entry `entry` of a registered name, running `body` (a function or a lambda taking
// (Row self, argument) or (argument)) inside the guard (frame/guard.h). The row comes from the
// entry's own name, so a shell can neither speak for another row nor pick its own failure value.
#define ZARNITH_SHELL(entry, ...)                                                                      \
    ZARNITH_ENTRY int entry(zarnith::EntryArgument<zarnith::FirstOf(zarnith::EntryRow::entry)> argument) \
        noexcept {                                                                                     \
        return zarnith::RunEntry<zarnith::EntryRow::entry>(argument, __VA_ARGS__);                     \
    }
