#include "frame/helpers.h"

#include <shellapi.h>

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "frame/host.h"
#include "frame/registry.h"
#include "frame/state.h"

namespace zarnith {

ArgumentArray::ArgumentArray(ArgumentArray&& other) noexcept
    : argv_(std::exchange(other.argv_, nullptr)), count_(std::exchange(other.count_, 0)) {}

ArgumentArray::~ArgumentArray() {
    if (argv_) LocalFree(argv_);
}

ArgumentArray SplitArguments(const wchar_t* line) noexcept {
    ArgumentArray result;
    try {
        // "dummy" stands where a command line has its program name, whose quoting rules differ.
        std::wstring text = L"dummy ";
        if (line) text += line;
        int count = 0;
        result.argv_ = CommandLineToArgvW(text.c_str(), &count);
        result.count_ = result.argv_ ? count : 0;
    } catch (const std::bad_alloc&) {
        result.argv_ = nullptr;
    }
    return result;
}

namespace {
inline wchar_t FoldAscii(wchar_t c) noexcept { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }
}  // namespace

size_t FindNoCase(std::wstring_view text, std::wstring_view pattern) noexcept {
    const size_t m = pattern.size(), n = text.size();
    if (m > n) return std::wstring_view::npos;
    for (size_t p = 0; p + m <= n; ++p) {
        size_t i = 0;
        while (i < m && FoldAscii(text[p + i]) == FoldAscii(pattern[i])) ++i;
        if (i == m) return p;
    }
    return std::wstring_view::npos;
}

int FindRegisteredName(const wchar_t* name) noexcept {
    const int r = name ? TableRowOf(name) : -1;
    return r >= 0 && (State().activeRows >> r & 1) ? r : -1;
}

bool IsActiveName(const wchar_t* name) noexcept { return FindRegisteredName(name) >= 0; }

namespace {
// Calls write(line) for each line of `text`, a line ending after its '\n' (or at the end).
template <class Write>
int EachLine(std::wstring_view text, Write&& write) noexcept {
    int written = 0;
    try {
        std::wstring line;
        while (!text.empty()) {
            const size_t end = std::min(text.find(L'\n'), text.size() - 1) + 1;
            line.assign(text.substr(0, end));
            written += write(line.c_str());
            text.remove_prefix(end);
        }
    } catch (const std::bad_alloc&) {
        // Lines already written stay; the rest of a help text is not worth a failure.
    }
    return written;
}
}  // namespace

int PrintLines(std::wstring_view text) noexcept {
    return EachLine(text, [](const wchar_t* line) { return Printf(L"%s", line); });
}

int WriteLines(HANDLE handle, std::wstring_view text) noexcept {
    return EachLine(text, [handle](const wchar_t* line) { return Qprintf(handle, L"%s", line); });
}

}  // namespace zarnith
