// Stand-in for TCC's TakeCmd.dll: the host functions a plug-in imports, with the effects the
// plug-in relies on, plus a control interface (standin.h) for tests and the host program.
#define TAKECMD_BUILDING
#include "standin.h"

#include <conio.h>
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    }
};

struct State {
    bool echo = true;
    std::wstring out, err;
    std::wstring snapshot;  // what StandIn_Output hands out
    std::vector<std::wstring> commands;
    std::vector<std::wstring> expansions;  // texts handed to ExpandVariables, before expansion
    HANDLE previousActive = nullptr;       // the buffer that was active before @CONSOLEB[0]
    std::map<std::wstring, std::wstring, NoCaseLess> variables;
    std::map<std::wstring, std::wstring, NoCaseLess> options;
    int failAt = 0;
    int allocCalls = 0;
    int liveBlocks = 0;
    int yields = 0;
    int errorCalls = 0;  // calls of the Windows-error reporter, by any of its names
    size_t longestWrite = 0;  // characters of the longest text one Printf/Qprintf call carried
    int mostLineEnds = 0;     // line ends in the one call that carried the most
    StandInResolver resolver = nullptr;
    HANDLE heap = nullptr;
};

State& S() {
    static State state;
    return state;
}

void Defaults() {
    State& s = S();
    s.out.clear();
    s.err.clear();
    s.longestWrite = 0;
    s.mostLineEnds = 0;
    s.commands.clear();
    s.expansions.clear();
    s.variables.clear();
    s.variables[L"_TCTAB"] = L"0";
    s.variables[L"_ININAME"] = L"";
    s.options.clear();
    s.options[L"RegularExpressions"] = L"Perl";
    s.failAt = 0;
    s.allocCalls = 0;
    s.yields = 0;
    s.errorCalls = 0;
}

struct Init {
    Init() {
        S().heap = HeapCreate(0, 0, 0);
        Defaults();
    }
} init;

// The formatted text, valid until the next call. Most texts fit a buffer kept between calls
// (plug-ins write many short lines, and a host's write should cost little beside the write).
std::wstring_view Format(const wchar_t* format, va_list args) {
    if (!format) return {};
    static std::vector<wchar_t> buffer(4096);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = _vsnwprintf(buffer.data(), buffer.size() - 1, format, copy);
        va_end(copy);
        if (n >= 0 && size_t(n) < buffer.size() - 1) return std::wstring_view(buffer.data(), size_t(n));
        if (buffer.size() > (1u << 24)) return std::wstring_view(buffer.data(), buffer.size() - 1);
        buffer.resize(buffer.size() * 2);
    }
}

// Printf and Qprintf read %q as a 64-bit decimal and an unsized %X as a 64-bit hexadecimal
// integer (TakeCmd.h); rewritten here into the runtime's own spelling of those conversions.
std::wstring HostConversions(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* f = format; *f; ++f) {
        out += *f;
        if (*f != L'%') continue;
        if (f[1] == L'%') {
            out += *++f;
            continue;
        }
        while (f[1] && wcschr(L"-+ #0123456789.*", f[1])) out += *++f;
        bool sized = false;
        while (f[1] && wcschr(L"hlLIwzjt", f[1])) {
            sized = true;
            out += *++f;
            while (out.back() == L'I' && iswdigit(f[1])) out += *++f;
        }
        if (f[1] == L'q') {
            ++f;
            out += L"lld";
        } else if (f[1] == L'X' && !sized) {
            ++f;
            out += L"llX";
        }
    }
    return out;
}

// Writes text as UTF-8 bytes. Plain ASCII, what nearly every line is, is copied without the
// converter, which costs more than the write itself on long dumps.
void WriteBytes(HANDLE handle, std::wstring_view text) {
    static std::string narrow;
    narrow.resize(text.size() * 3);  // UTF-8 takes at most 3 bytes for one UTF-16 unit
    size_t bytes = 0;
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; })) {
        std::copy(text.begin(), text.end(), narrow.begin());
        bytes = text.size();
    } else {
        bytes = size_t(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(),
                                           int(narrow.size()), nullptr, nullptr));
    }
    DWORD done = 0;
    WriteFile(handle, narrow.data(), DWORD(bytes), &done, nullptr);
}

// Writes text to a standard handle: to a console as characters, to anything else as UTF-8.
void WriteHandle(HANDLE handle, std::wstring_view text) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), DWORD(text.size()), &done, nullptr);
        return;
    }
    WriteBytes(handle, text);
}

int Emit(HANDLE handle, std::wstring_view text) {
    State& s = S();
    if (handle == GetStdHandle(STD_ERROR_HANDLE)) {
        s.err += text;
        if (s.echo) WriteHandle(handle, text);
    } else if (handle == GetStdHandle(STD_OUTPUT_HANDLE)) {
        s.out += text;
        if (s.echo) WriteHandle(handle, text);
    } else if (handle != nullptr && handle != INVALID_HANDLE_VALUE && !text.empty()) {
        // Any other handle is a file to the plug-in (a SAVECSB dump): bytes, without asking
        // whether it is a console, a query that costs more than the write.
        WriteBytes(handle, text);
    }
    return int(text.size());
}

// Notes the size of one Printf/Qprintf call's text, then writes it.
int EmitCall(HANDLE handle, std::wstring_view text) {
    State& s = S();
    s.longestWrite = std::max(s.longestWrite, text.size());
    s.mostLineEnds = std::max(s.mostLineEnds, int(std::count(text.begin(), text.end(), L'\n')));
    return Emit(handle, text);
}

// ---- Sscanf: the Microsoft wide semantics (%s and %c store wide characters) ----

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f'; }

int ScanText(const wchar_t* text, const wchar_t* format, va_list args) {
    if (!text || !format) return -1;
    const wchar_t* in = text;
    int assigned = 0;
    bool converted = false;
    for (const wchar_t* f = format; *f; ++f) {
        if (IsSpace(*f)) {
            while (IsSpace(*in)) ++in;
            continue;
        }
        if (*f != L'%') {
            if (*in != *f) break;
            ++in;
            continue;
        }
        ++f;
        if (*f == L'%') {
            while (IsSpace(*in)) ++in;
            if (*in != L'%') break;
            ++in;
            continue;
        }
        bool suppress = false;
        if (*f == L'*') {
            suppress = true;
            ++f;
        }
        int width = 0;
        while (*f >= L'0' && *f <= L'9') width = width * 10 + (*f++ - L'0');
        int size = 0;  // -1 short, 0 int, 1 long, 2 long long
        if (*f == L'h') { size = -1; ++f; }
        else if (*f == L'l') { size = 1; ++f; if (*f == L'l') { size = 2; ++f; } }
        else if (*f == L'L') { size = 2; ++f; }
        else if (f[0] == L'I' && f[1] == L'6' && f[2] == L'4') { size = 2; f += 3; }
        const wchar_t conv = *f;
        if (conv == 0) break;
        if (conv != L'c' && conv != L'n') while (IsSpace(*in)) ++in;
        if (*in == 0 && conv != L'n') {
            if (!converted) return -1;
            break;
        }
        if (conv == L'c') {
            const int n = width > 0 ? width : 1;
            wchar_t* dest = suppress ? nullptr : va_arg(args, wchar_t*);
            int i = 0;
            for (; i < n && *in; ++i) {
                if (dest) dest[i] = *in;
                ++in;
            }
            if (i < n) break;
            converted = true;
            if (dest) ++assigned;
        } else if (conv == L's') {
            wchar_t* dest = suppress ? nullptr : va_arg(args, wchar_t*);
            int i = 0;
            while (*in && !IsSpace(*in) && (width == 0 || i < width)) {
                if (dest) dest[i] = *in;
                ++in;
                ++i;
            }
            if (dest) dest[i] = 0;
            converted = true;
            if (dest) ++assigned;
        } else if (conv == L'd' || conv == L'i' || conv == L'u' || conv == L'x' || conv == L'X') {
            const wchar_t* start = in;
            const int limit = width > 0 ? width : 1 << 30;
            std::wstring digits;
            int used = 0;
            if ((*in == L'+' || *in == L'-') && used < limit) { digits += *in++; ++used; }
            int base = (conv == L'x' || conv == L'X') ? 16 : 10;
            if (conv == L'i' && in[0] == L'0' && (in[1] == L'x' || in[1] == L'X')) { base = 16; in += 2; used += 2; }
            size_t count = 0;
            while (used < limit && *in && (base == 16 ? iswxdigit(*in) != 0 : (*in >= L'0' && *in <= L'9'))) {
                digits += *in++;
                ++used;
                ++count;
            }
            if (count == 0) {
                in = start;
                break;
            }
            converted = true;
            if (!suppress) {
                const unsigned long long u = (digits[0] == L'-')
                    ? (unsigned long long)(-(long long)wcstoull(digits.c_str() + 1, nullptr, base))
                    : wcstoull(digits.c_str() + (digits[0] == L'+' ? 1 : 0), nullptr, base);
                void* dest = va_arg(args, void*);
                switch (size) {
                    case -1: *static_cast<unsigned short*>(dest) = (unsigned short)u; break;
                    case 0: *static_cast<unsigned int*>(dest) = (unsigned int)u; break;
                    case 1: *static_cast<unsigned long*>(dest) = (unsigned long)u; break;
                    default: *static_cast<unsigned long long*>(dest) = u; break;
                }
                ++assigned;
            }
        } else if (conv == L'n') {
            if (!suppress) *va_arg(args, int*) = int(in - text);
        } else {
            break;  // conversions the plug-in never uses
        }
    }
    return assigned;
}

// ---- Arguments ----

// NthArgument's index flags, as TakeCmd.h lists them; the index itself is below the lowest flag.
constexpr int kNoDoubleQuotes = 0x10000;
constexpr int kCommaNotDelimiter = 0x8000;
constexpr int kParenthesesQuote = 0x4000;
constexpr int kBracketsQuote = 0x2000;
constexpr int kNoBackQuotes = 0x1000;
constexpr int kSwitchNotDelimiter = 0x800;
constexpr int kIndexMask = 0x7FF;

// Start and end of argument n by the host's rules: blanks, tabs and commas separate; the switch
// character '/' ends an argument and begins the next; double and back quotes hold delimiters
// together (the quotes stay part of the argument); the flags change these rules.
bool FindArgument(const wchar_t* line, int n, int flags, const wchar_t** begin, const wchar_t** end) {
    const bool commas = (flags & kCommaNotDelimiter) == 0;
    const bool switches = (flags & kSwitchNotDelimiter) == 0;
    auto separates = [&](wchar_t c) { return c == L' ' || c == L'\t' || (commas && c == L','); };
    auto opener = [&](wchar_t c) -> wchar_t {
        if (c == L'"' && !(flags & kNoDoubleQuotes)) return L'"';
        if (c == L'`' && !(flags & kNoBackQuotes)) return L'`';
        if (c == L'(' && (flags & kParenthesesQuote)) return L')';
        if (c == L'[' && (flags & kBracketsQuote)) return L']';
        return 0;
    };
    const wchar_t* p = line;
    for (int i = 0;; ++i) {
        while (*p && separates(*p)) ++p;
        if (!*p) return false;
        const wchar_t* start = p;
        wchar_t open = 0, close = 0;
        int depth = 0;
        for (; *p; ++p) {
            if (depth > 0) {
                if (*p == close) --depth;
                else if (*p == open && open != close) ++depth;
                continue;
            }
            if (separates(*p) || (switches && *p == L'/' && p != start)) break;
            if (const wchar_t c = opener(*p)) {
                open = *p;
                close = c;
                depth = 1;
            }
        }
        if (i == n) {
            *begin = start;
            *end = p;
            return true;
        }
    }
}

// ---- Variables and functions ----


std::wstring ConsoleB(const std::wstring& arg) {
    State& s = S();
    const long long n = _wtoi64(arg.c_str());
    HANDLE current = GetStdHandle(STD_OUTPUT_HANDLE);
    if (n == -1) return std::to_wstring((unsigned long long)(uintptr_t)current);
    if (n == 0) {
        HANDLE fresh = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
        if (fresh == INVALID_HANDLE_VALUE) return L"-1";
        // Standard output may be a pipe: remember the buffer on screen to go back to.
        if (s.previousActive) CloseHandle(s.previousActive);
        s.previousActive = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
        if (s.previousActive == INVALID_HANDLE_VALUE) s.previousActive = nullptr;
        SetConsoleActiveScreenBuffer(fresh);
        SetStdHandle(STD_OUTPUT_HANDLE, fresh);
        return std::to_wstring((unsigned long long)(uintptr_t)fresh);
    }
    HANDLE target = (HANDLE)(uintptr_t)n;
    DWORD mode = 0;
    if (GetConsoleMode(target, &mode)) {
        if (!SetConsoleActiveScreenBuffer(target)) return L"-1";
    } else if (GetFileType(target) != FILE_TYPE_UNKNOWN) {
        if (s.previousActive) SetConsoleActiveScreenBuffer(s.previousActive);
    } else {
        return L"-1";
    }
    if (s.previousActive) CloseHandle(s.previousActive);
    s.previousActive = nullptr;
    SetStdHandle(STD_OUTPUT_HANDLE, target);
    return L"0";
}

bool Resolve(const std::wstring& name, const std::wstring* args, std::wstring& value) {
    State& s = S();
    if (!args) {
        auto it = s.variables.find(name);
        if (it != s.variables.end()) {
            value = it->second;
            return true;
        }
    } else {
        if (_wcsicmp(name.c_str(), L"@CHAR") == 0) {
            value.assign(1, wchar_t(_wtoi(args->c_str())));
            return true;
        }
        if (_wcsicmp(name.c_str(), L"@CONSOLEB") == 0) {
            value = ConsoleB(*args);
            return true;
        }
        if (_wcsicmp(name.c_str(), L"@FILECLOSE") == 0) {
            value = CloseHandle((HANDLE)(uintptr_t)_wtoi64(args->c_str())) ? L"0" : L"-1";
            return true;
        }
    }
    if (s.resolver) {
        std::vector<wchar_t> out(32768, L'\0');
        if (args) wcsncpy(out.data(), args->c_str(), out.size() - 1);
        if (s.resolver(name.c_str(), args ? args->c_str() : nullptr, out.data(), int(out.size()))) {
            out.back() = 0;
            value = out.data();
            return true;
        }
    }
    return false;
}

bool IsNameChar(wchar_t c) { return iswalnum(c) || c == L'_' || c == L'$'; }

std::wstring Expand(const std::wstring& text, int depth = 0) {
    std::wstring result;
    size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c != L'%' || i + 1 >= text.size()) {
            result += c;
            ++i;
            continue;
        }
        const wchar_t next = text[i + 1];
        if (next == L'%') {
            result += L'%';
            i += 2;
            continue;
        }
        if (next == L'_') {
            size_t j = i + 1;
            while (j < text.size() && IsNameChar(text[j])) ++j;
            std::wstring name = text.substr(i + 1, j - i - 1), value;
            result += Resolve(name, nullptr, value) ? value : std::wstring();
            i = j;
            continue;
        }
        if (next == L'@') {
            size_t j = i + 2;
            while (j < text.size() && IsNameChar(text[j])) ++j;
            if (j < text.size() && text[j] == L'[') {
                // The argument runs to the matching bracket and is expanded first.
                size_t k = j + 1;
                int level = 1;
                while (k < text.size() && level > 0) {
                    if (text[k] == L'[') ++level;
                    else if (text[k] == L']') --level;
                    if (level > 0) ++k;
                }
                std::wstring name = text.substr(i + 1, j - i - 1);
                std::wstring args = text.substr(j + 1, k - j - 1);
                if (depth < 8) args = Expand(args, depth + 1);
                std::wstring value;
                result += Resolve(name, &args, value) ? value : std::wstring();
                i = k < text.size() ? k + 1 : k;
                continue;
            }
        }
        if (iswalpha(next)) {
            const size_t close = text.find(L'%', i + 1);
            if (close != std::wstring::npos) {
                std::wstring name = text.substr(i + 1, close - i - 1);
                const DWORD n = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
                if (n > 0) {
                    std::wstring value(n, L'\0');
                    value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), n));
                    result += value;
                }
                i = close + 1;
                continue;
            }
        }
        result += c;
        ++i;
    }
    return result;
}

// ---- Colours ----

int ColorNumber(std::wstring_view word) {
    static const wchar_t* names[] = {L"BLACK", L"BLUE", L"GREEN", L"CYAN", L"RED", L"MAGENTA", L"YELLOW", L"WHITE"};
    if (word.size() < 3) return -1;
    for (int i = 0; i < 8; ++i) {
        const std::wstring_view name = names[i];
        if (word.size() <= name.size() && _wcsnicmp(name.data(), word.data(), word.size()) == 0) return i;
    }
    if (_wcsnicmp(word.data(), L"BROWN", word.size()) == 0 && word.size() <= 5) return 6;
    return -1;
}

}  // namespace

extern "C" {

namespace {
// Printf's and Qprintf's formatting: the runtime's, with the host's 64-bit conversions.
std::wstring_view HostFormat(const wchar_t* format, va_list args) {
    if (!format) return {};
    if (!wcspbrk(format, L"qX")) return Format(format, args);
    return Format(HostConversions(format).c_str(), args);
}
}  // namespace

__declspec(dllexport) int Printf(LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring_view text = HostFormat(format, args);
    va_end(args);
    return EmitCall(GetStdHandle(STD_OUTPUT_HANDLE), text);
}

__declspec(dllexport) int Qprintf(HANDLE handle, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring_view text = HostFormat(format, args);
    va_end(args);
    return EmitCall(handle, text);
}

__declspec(dllexport) int Sprintf(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring_view text = Format(format, args);
    va_end(args);
    if (buffer) {
        wmemcpy(buffer, text.data(), text.size());
        buffer[text.size()] = 0;
    }
    return int(text.size());
}

__declspec(dllexport) int Sscanf(LPCWSTR text, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    const int n = ScanText(text, format, args);
    va_end(args);
    return n;
}

// The fourth argument is documented only as "a pointer to the last argument": it gets the
// argument's start, so that nobody can take it for the argument's end.
__declspec(dllexport) LPWSTR NthArgument(LPWSTR line, int n, LPWSTR copy, LPWSTR* last) {
    if (copy) copy[0] = 0;
    if (last) *last = nullptr;
    if (!line || n < 0) return nullptr;
    const wchar_t *begin = nullptr, *end = nullptr;
    if (!FindArgument(line, n & kIndexMask, n & ~kIndexMask, &begin, &end)) return nullptr;
    if (copy) {
        wmemcpy(copy, begin, size_t(end - begin));
        copy[end - begin] = 0;
    }
    if (last) *last = const_cast<LPWSTR>(begin);
    return const_cast<LPWSTR>(begin);
}

// Expands in place; the caller's buffer must hold the expanded text (the real host assumes its
// own line length; every text the plug-in expands stays short). The second argument is the host's
// recursion counter: a count past its nesting limit is taken for a loop and expands nothing.
constexpr int kRecursionLimit = 16;

__declspec(dllexport) int ExpandVariables(LPWSTR text, int recursion) {
    if (!text) return 1;
    if (recursion < 0 || recursion > kRecursionLimit) {
        Emit(GetStdHandle(STD_ERROR_HANDLE), L"TCC: Variable loop\r\n");
        return 1;
    }
    S().expansions.push_back(text);
    const std::wstring expanded = Expand(text);
    wmemcpy(text, expanded.c_str(), expanded.size() + 1);
    return 0;
}

__declspec(dllexport) int Command(LPWSTR line, int) {
    State& s = S();
    std::wstring text = line ? line : L"";
    s.commands.push_back(text);
    if (_wcsnicmp(text.c_str(), L"PAUSE", 5) == 0 && (text.size() == 5 || IsSpace(text[5]))) {
        std::wstring prompt = text.substr(text.size() > 5 ? 6 : 5);
        for (size_t p; (p = prompt.find(L"^r")) != std::wstring::npos;) prompt.replace(p, 2, L"\r");
        for (size_t p; (p = prompt.find(L"^n")) != std::wstring::npos;) prompt.replace(p, 2, L"\n");
        Emit(GetStdHandle(STD_OUTPUT_HANDLE), prompt);
        const wint_t key = _getwch();
        if (key == 0 || key == 0xE0) _getwch();
        Emit(GetStdHandle(STD_OUTPUT_HANDLE), L"\r\n");
    }
    return 0;
}

int ShowWindowsError(int code, LPCWSTR name) {
    ++S().errorCalls;
    wchar_t* message = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   DWORD(code), 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    std::wstring text = message ? message : L"Unknown error " + std::to_wstring(code);
    if (message) LocalFree(message);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    std::wstring line = L"TCC: (Sys) " + text;
    if (name && *name) line += L"\r\n \"" + std::wstring(name) + L"\"";
    line += L"\r\n";
    Emit(GetStdHandle(STD_ERROR_HANDLE), line);
    return 2;
}

// The reporter under the names TCC's TakeCmd.dll exports it (its import library for TCC 26-28):
// undecorated as TCError and under its C++ name, never as the header's `error`. The older-host
// build exports only `error`, as a host from before those names would.
#ifdef ZARNITH_STANDIN_OLDER_HOST
__declspec(dllexport) int error(int code, LPCWSTR name) { return ShowWindowsError(code, name); }
#else
__declspec(dllexport) int TCError(int code, LPCWSTR name) { return ShowWindowsError(code, name); }
// Exported under the name the Microsoft compiler gives int error(int, const wchar_t*), which no
// C++ name of this compiler spells: takecmd/decorated.def gives it that name.
int StandInErrorDecorated(int code, LPCWSTR name) { return ShowWindowsError(code, name); }
#endif

__declspec(dllexport) int QueryOptionValue(LPCWSTR name, LPWSTR value) {
    State& s = S();
    if (!name) return 1;
    auto it = s.options.find(name);
    if (it == s.options.end()) return 1;
    if (value) wmemcpy(value, it->second.c_str(), it->second.size() + 1);
    return 0;
}

// The interface promises no content for new memory (CallocMem is the zeroing one): it comes
// filled with a pattern, so that a caller relying on zeros shows.
constexpr unsigned char kFreshMemory = 0xCD;

__declspec(dllexport) void* AllocMem(unsigned int bytes) {
    State& s = S();
    ++s.allocCalls;
    if (s.failAt > 0 && --s.failAt == 0) return nullptr;
    void* block = HeapAlloc(s.heap, 0, bytes ? bytes : 1);
    if (block) {
        memset(block, kFreshMemory, bytes);
        ++s.liveBlocks;
    }
    return block;
}

__declspec(dllexport) void* ReallocMem(void* block, ULONG_PTR bytes) {
    State& s = S();
    if (!block) return bytes > 0xFFFFFFFFu ? nullptr : AllocMem(unsigned(bytes));
    ++s.allocCalls;
    if (s.failAt > 0 && --s.failAt == 0) return nullptr;
    const SIZE_T before = HeapSize(s.heap, 0, block);
    void* grown = HeapReAlloc(s.heap, 0, block, bytes ? bytes : 1);
    if (grown && before != SIZE_T(-1) && bytes > before)
        memset(static_cast<char*>(grown) + before, kFreshMemory, bytes - before);
    return grown;
}

__declspec(dllexport) void FreeMem(void* block) {
    State& s = S();
    if (block && HeapFree(s.heap, 0, block)) --s.liveBlocks;
}

// [BRIGHT] [BLINK] colour [ON] [BRIGHT] colour; words may be cut to three letters.
__declspec(dllexport) LPWSTR ParseColors(LPWSTR text, int* foreground, int* background) {
    if (!text) return nullptr;
    wchar_t* p = text;
    auto word = [&](std::wstring_view& w) {
        while (*p && IsSpace(*p)) ++p;
        wchar_t* start = p;
        while (*p && !IsSpace(*p)) ++p;
        w = std::wstring_view(start, size_t(p - start));
        return !w.empty();
    };
    auto is = [](std::wstring_view w, const wchar_t* full) {
        const size_t n = wcslen(full);
        return w.size() >= 3 && w.size() <= n && _wcsnicmp(w.data(), full, w.size()) == 0;
    };
    std::wstring_view w;
    int fg = -1, bg = -1, fgBright = 0, bgBright = 0;
    wchar_t* after = nullptr;
    bool seenOn = false;
    while (word(w)) {
        if (is(w, L"BRIGHT")) { (seenOn ? bgBright : fgBright) = 8; continue; }
        if (is(w, L"BLINK")) { bgBright = 8; continue; }
        if (_wcsnicmp(w.data(), L"ON", w.size()) == 0 && w.size() == 2) { seenOn = true; continue; }
        const int n = ColorNumber(w);
        if (n < 0) break;
        if (!seenOn) fg = n; else { bg = n; after = p; break; }
        after = p;
    }
    if (fg < 0) return nullptr;
    if (foreground) *foreground = fg | fgBright;
    if (background && bg >= 0) *background = bg | bgBright;
    else if (background && bgBright) *background |= 8;
    return after;
}

// Adds double quotes around a text with blanks or special characters (redirection, command
// separators, argument delimiters); any other text, and one already quoted, stays as it is. The
// result's meaning is not published: 1 when quotes were added, else 0.
__declspec(dllexport) int AddQuotes(LPWSTR text) {
    if (!text || text[0] == L'"') return 0;
    bool needs = false;
    for (const wchar_t* p = text; *p; ++p)
        if (IsSpace(*p) || wcschr(L"&<>|^,;`()", *p)) needs = true;
    if (!needs) return 0;
    const size_t n = wcslen(text);
    wmemmove(text + 1, text, n);
    text[0] = L'"';
    text[n + 1] = L'"';
    text[n + 2] = 0;
    return 1;
}

// "Remove any double quotes at the beginning & end": each end on its own, paired or not.
__declspec(dllexport) void StripEnclosingQuotes(LPWSTR text) {
    if (!text) return;
    size_t n = wcslen(text);
    if (n > 0 && text[0] == L'"') {
        wmemmove(text, text + 1, n);
        --n;
    }
    if (n > 0 && text[n - 1] == L'"') text[n - 1] = 0;
}

// nLength is the capacity of the wide buffer, its terminator included.
__declspec(dllexport) void ASCIIToUnicode(const char* narrow, LPWSTR wide, int count) {
    if (!wide || count <= 0) return;
    int i = 0;
    if (narrow)
        for (; i < count - 1 && narrow[i]; ++i) wide[i] = wchar_t(static_cast<unsigned char>(narrow[i]));
    wide[i] = 0;
}

// The host's idle work: here, dispatch this thread's messages (window-event callbacks need it).
__declspec(dllexport) void tty_yield(int) {
    ++S().yields;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // extern "C"

STANDIN_API void StandIn_Reset() { Defaults(); }
STANDIN_API void StandIn_SetEcho(int echo) { S().echo = echo != 0; }
STANDIN_API const wchar_t* StandIn_Output(int which) {
    State& s = S();
    s.snapshot = which == 0 ? s.out : s.err;
    return s.snapshot.c_str();
}
STANDIN_API void StandIn_ClearOutput() {
    S().out.clear();
    S().err.clear();
    S().longestWrite = 0;
    S().mostLineEnds = 0;
}
STANDIN_API int StandIn_LongestWrite() { return int(S().longestWrite); }
STANDIN_API int StandIn_MostLineEnds() { return S().mostLineEnds; }
STANDIN_API int StandIn_CommandCount() { return int(S().commands.size()); }
STANDIN_API const wchar_t* StandIn_CommandLine(int index) {
    State& s = S();
    if (index < 0 || size_t(index) >= s.commands.size()) return L"";
    return s.commands[size_t(index)].c_str();
}
STANDIN_API void StandIn_ClearRecords() {
    S().commands.clear();
    S().expansions.clear();
}
STANDIN_API int StandIn_ExpansionCount() { return int(S().expansions.size()); }
STANDIN_API const wchar_t* StandIn_Expansion(int index) {
    State& s = S();
    if (index < 0 || size_t(index) >= s.expansions.size()) return L"";
    return s.expansions[size_t(index)].c_str();
}
STANDIN_API void StandIn_SetVariable(const wchar_t* name, const wchar_t* value) {
    if (!name) return;
    if (value) S().variables[name] = value;
    else S().variables.erase(name);
}
STANDIN_API void StandIn_SetOption(const wchar_t* name, const wchar_t* value) {
    if (!name) return;
    if (value) S().options[name] = value;
    else S().options.erase(name);
}
STANDIN_API void StandIn_FailAllocationAt(int n) { S().failAt = n > 0 ? n : 0; }
STANDIN_API int StandIn_AllocationCalls() { return S().allocCalls; }
STANDIN_API int StandIn_LiveBlocks() { return S().liveBlocks; }
STANDIN_API int StandIn_YieldCount() { return S().yields; }
STANDIN_API int StandIn_ErrorCalls() { return S().errorCalls; }
STANDIN_API void StandIn_SetResolver(StandInResolver resolver) { S().resolver = resolver; }
