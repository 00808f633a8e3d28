// Entry points of commands not built yet: they say so and fail.
#pragma once
#include "frame/entries.h"
#include "frame/host.h"

namespace zarnith {
inline int NotImplemented(const wchar_t* name) noexcept {
    Printf(L"ZARNITH: %s is not implemented yet\r\n", name);
    return -1;
}
}  // namespace zarnith

#define ZARNITH_PLACEHOLDER(entry, name) \
    int entry(LPWSTR) noexcept { return zarnith::NotImplemented(name); }
