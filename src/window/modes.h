// QuickEdit (QE, _QE), cursor visibility (CURSOR, _CURSOR), Ctrl+C to the console (GENBREAK) and
// the visual bell (VBEEP).
#pragma once
#include <windows.h>

#include <cstdint>

#include "frame/rows.h"

namespace zarnith {

int RunQe(Row self, const wchar_t* line);
void QueryQe(wchar_t* result) noexcept;
int RunCursor(Row self, const wchar_t* line);
void QueryCursor(wchar_t* result) noexcept;
int RunGenbreak(const wchar_t* line);
int RunVbeep(Row self, const wchar_t* line);

// Milliseconds a bell of `ticks` clock ticks (1/18 s) lasts; 0 means a quarter of a second.
// Worked out in 64 bits: in 32 the product wraps and a long bell becomes a short one.
inline uint64_t BellMilliseconds(uint32_t ticks) noexcept {
    return ticks == 0 ? 250u : uint64_t(ticks) * 1000u / 18u;
}

}  // namespace zarnith
