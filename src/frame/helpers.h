// Routines every command shares: argument splitting, case-blind search and name lookup. The
// console is reached through console/screen.h, errors are reported through frame/report.h.
#pragma once
#include <windows.h>
#include <string_view>

namespace zarnith {

// An argument line split by the platform's command-line rules. Element 0 is always "dummy";
// the real arguments are 1 .. count()-1, so an empty line gives count() == 1.
class ArgumentArray {
public:
    ArgumentArray() noexcept = default;
    ArgumentArray(ArgumentArray&& other) noexcept;
    ArgumentArray& operator=(ArgumentArray&&) = delete;
    ~ArgumentArray();
    explicit operator bool() const noexcept { return argv_ != nullptr; }
    int count() const noexcept { return argv_ ? count_ : 0; }
    wchar_t* operator[](int i) const noexcept { return argv_[i]; }

private:
    friend ArgumentArray SplitArguments(const wchar_t* line) noexcept;
    wchar_t** argv_ = nullptr;
    int count_ = 0;
};

// Splits `line` as the platform splits a command line (no length limit); empty on failure.
ArgumentArray SplitArguments(const wchar_t* line) noexcept;

// Position of the first occurrence of `pattern` in `text`, ASCII letters compared without case;
// npos when there is none. An empty pattern is found at 0.
size_t FindNoCase(std::wstring_view text, std::wstring_view pattern) noexcept;

// True when `name` is among the names of the active name list (letter case ignored).
bool IsActiveName(const wchar_t* name) noexcept;

// The row (frame/rows.h) of an active, registered name, or -1.
int FindRegisteredName(const wchar_t* name) noexcept;

// Writes `text` through the host one line (its line end included) per call: the host documents
// no size for one call's text, and one line is what it is known to take. PrintLines goes to
// standard output with Printf, WriteLines to `handle` with Qprintf; both return the characters
// the host reported writing.
int PrintLines(std::wstring_view text) noexcept;
int WriteLines(HANDLE handle, std::wstring_view text) noexcept;

}  // namespace zarnith
