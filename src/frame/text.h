// Bounded text helpers: numbers read as the host's commands read them, results that never
// outgrow the buffer they are written into, and the line the host expands or runs.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <string_view>
#include <vector>

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

// Characters the host may write when it expands a text in place or runs a command line: its own
// line length. Every buffer handed to ExpandVariables or Command has this many.
inline constexpr size_t kHostLineCapacity = 32768;

// A writable line of kHostLineCapacity characters, filled from parts and always terminated.
class HostLine {
public:
    HostLine() : text_(kHostLineCapacity, L'\0') {}
    wchar_t* data() noexcept { return text_.data(); }
    void Compose(std::initializer_list<std::wstring_view> parts) noexcept {
        size_t used = 0;
        for (std::wstring_view part : parts) {
            const size_t n = std::min(part.size(), text_.size() - 1 - used);
            wmemcpy(text_.data() + used, part.data(), n);
            used += n;
        }
        text_[used] = L'\0';
    }
    // Expands in place through the host, which writes at most its own line length: this line.
    std::wstring_view Expand() noexcept {
        ExpandVariables(text_.data(), 0);
        text_.back() = L'\0';
        return text_.data();
    }

private:
    std::vector<wchar_t> text_;
};

}  // namespace zarnith
