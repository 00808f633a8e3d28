// Makes C++ exceptions safe to throw when the heap is exhausted (see the .cpp for why).
#pragma once
#include <windows.h>

namespace zarnith {

// Called once, by the host's first call (never under the loader lock); a null module does nothing.
void PrimeExceptionPool(HMODULE self) noexcept;

}  // namespace zarnith
