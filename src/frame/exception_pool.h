// Makes C++ exceptions safe to throw when the heap is exhausted (see the .cpp for why).
#pragma once
#include <windows.h>

namespace zarnith {

// Called once when the library is attached to the host process.
void PrimeExceptionPool(HMODULE self) noexcept;

}  // namespace zarnith
