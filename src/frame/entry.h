// Every entry point the host finds by name: an unmangled, exported name, declared here once. Each
// subsystem defines its own entries with ZARNITH_ENTRY; since the registered names are declared
// from their rows, a definition whose shape differs from what the host calls does not compile.
#pragma once
#include <windows.h>
#include <type_traits>
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

}  // namespace zarnith

#define ZARNITH_DECLARE_ENTRY(name, entry, help, ...) ZARNITH_ENTRY int entry(zarnith::EntryArgument<name[0]>) noexcept;
ZARNITH_ROWS(ZARNITH_DECLARE_ENTRY)
#undef ZARNITH_DECLARE_ENTRY
