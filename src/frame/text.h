// Bounded text helpers: numbers read as the host's commands read them, and results that never
// outgrow the buffer they are written into.
#pragma once
#include <windows.h>

#include <cwchar>
#include <string_view>

#include "frame/host.h"

namespace zarnith {

// Signed decimal number as the runtime reads it: leading white space and a sign accepted,
// stops at the first non-digit, no digits give 0 (values beyond the 32-bit range saturate).
inline long ToLong(const wchar_t* text) noexcept { return text ? std::wcstol(text, nullptr, 10) : 0; }

// Copies at most capacity - 1 characters and always terminates (capacity >= 1).
inline void CopyBounded(wchar_t* destination, size_t capacity, std::wstring_view source) noexcept {
    if (capacity == 0) return;
    const size_t n = source.size() < capacity - 1 ? source.size() : capacity - 1;
    wmemcpy(destination, source.data(), n);
    destination[n] = L'\0';
}

// Writes a variable's value into the host's result buffer, cut to what the buffer holds.
inline void WriteResult(wchar_t* result, std::wstring_view text) noexcept {
    CopyBounded(result, kHostResultCapacity, text);
}

}  // namespace zarnith
