#include "harness/faults.h"

#include "common/plugin_host.h"

#include <shellapi.h>

#include <conio.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <string>
#include <type_traits>

// decltype of a runtime function carries attributes a template argument cannot keep; harmless here.
#pragma GCC diagnostic ignored "-Wignored-attributes"

namespace sweep {

namespace {

// ---- Fast fakes ----

void* realSleep = nullptr;
void* realGetwch = nullptr;
void* realGetch = nullptr;
long long sleptMs = 0;
long keysInvented = 0;

void WINAPI FakeSleep(DWORD ms) {
    if (ms <= 1) {
        reinterpret_cast<void(WINAPI*)(DWORD)>(realSleep)(ms);
        return;
    }
    sleptMs += ms;
}

BOOL WINAPI FakeBeep(DWORD, DWORD) { return TRUE; }

wint_t FakeGetwch() {
    if (!ConsoleKeyWaiting()) {
        ++keysInvented;
        return L'q';
    }
    return reinterpret_cast<wint_t (*)()>(realGetwch)();
}

int FakeGetch() {
    if (!ConsoleKeyWaiting()) {
        ++keysInvented;
        return 'q';
    }
    return reinterpret_cast<int (*)()>(realGetch)();
}

// ---- File fence ----

std::wstring fenceFolder;
long refusedPaths = 0;
void* realCreateFileW = nullptr;
void* realMoveFileExW = nullptr;
void* realMoveFileW = nullptr;
void* realCopyFileW = nullptr;
void* realReplaceFileW = nullptr;
void* realDeleteFileW = nullptr;
void* realCreateDirectoryW = nullptr;
void* realWfopen = nullptr;

std::wstring FullPath(const wchar_t* path) {
    const DWORD need = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (need == 0) return {};
    std::wstring full(need, L'\0');
    const DWORD n = GetFullPathNameW(path, need, full.data(), nullptr);
    full.resize(n < need ? n : 0);
    return full;
}

std::wstring UpperCase(std::wstring s) {
    CharUpperBuffW(s.data(), DWORD(s.size()));
    return s;
}

// What stood at a path: nothing, or a file of this size last written then.
struct FileState {
    bool exists = false;
    ULONGLONG size = 0;
    FILETIME written{};
    bool operator==(const FileState& o) const {
        return exists == o.exists && size == o.size && CompareFileTime(&written, &o.written) == 0;
    }
};

FileState StateOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {};
    return {true, (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow, data.ftLastWriteTime};
}

// Every path outside the fence that the plug-in named, with what stood there when it first did.
std::map<std::wstring, FileState> namedOutside;

void NoteOutside(const wchar_t* path) {
    const std::wstring full = FullPath(path);
    if (full.empty() || full.rfind(L"\\\\.\\", 0) == 0) return;  // devices store nothing
    if (!namedOutside.count(full)) namedOutside.emplace(full, StateOf(full));
}

// Refuses with ERROR_ACCESS_DENIED when any of the paths lies outside the fence.
bool Refuse(std::initializer_list<const wchar_t*> paths) {
    for (const wchar_t* path : paths)
        if (path && !FileFence::Allows(fenceFolder, path)) {
            NoteOutside(path);
            ++refusedPaths;
            SetLastError(ERROR_ACCESS_DENIED);
            return true;
        }
    return false;
}

HANDLE WINAPI FencedCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (Refuse({name})) return INVALID_HANDLE_VALUE;
    return reinterpret_cast<decltype(&CreateFileW)>(realCreateFileW)(name, access, share, security, disposition, flags,
                                                                     templateFile);
}
BOOL WINAPI FencedMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (Refuse({from, to})) return FALSE;
    return reinterpret_cast<decltype(&MoveFileExW)>(realMoveFileExW)(from, to, flags);
}
BOOL WINAPI FencedMoveFileW(LPCWSTR from, LPCWSTR to) {
    if (Refuse({from, to})) return FALSE;
    return reinterpret_cast<decltype(&MoveFileW)>(realMoveFileW)(from, to);
}
BOOL WINAPI FencedCopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
    if (Refuse({to})) return FALSE;
    return reinterpret_cast<decltype(&CopyFileW)>(realCopyFileW)(from, to, failIfExists);
}
BOOL WINAPI FencedReplaceFileW(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID) {
    if (Refuse({replaced, replacement, backup})) return FALSE;
    return reinterpret_cast<decltype(&ReplaceFileW)>(realReplaceFileW)(replaced, replacement, backup, flags, nullptr,
                                                                       nullptr);
}
BOOL WINAPI FencedDeleteFileW(LPCWSTR name) {
    if (Refuse({name})) return FALSE;
    return reinterpret_cast<decltype(&DeleteFileW)>(realDeleteFileW)(name);
}
BOOL WINAPI FencedCreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES security) {
    if (Refuse({name})) return FALSE;
    return reinterpret_cast<decltype(&CreateDirectoryW)>(realCreateDirectoryW)(name, security);
}
FILE* FencedWfopen(const wchar_t* name, const wchar_t* mode) {
    if (Refuse({name})) {
        errno = EACCES;
        return nullptr;
    }
    return reinterpret_cast<FILE* (*)(const wchar_t*, const wchar_t*)>(realWfopen)(name, mode);
}

// ---- Failing imports ----

struct Slot {
    void* original = nullptr;
    int failAt = -1;  // -1 disarmed, 0 always, n the n-th call
    int calls = 0;
    bool fired = false;
};

constexpr size_t kTargets = 34;
Slot slots[kTargets];

template <size_t I, class F>
struct Failing;

template <size_t I, class R, class... A>
struct Failing<I, R (*)(A...)> {
    static R Call(A... args) {
        Slot& s = slots[I];
        if (s.failAt >= 0) {
            ++s.calls;
            if (s.failAt == 0 || s.calls == s.failAt) {
                s.fired = true;
                SetLastError(ERROR_GEN_FAILURE);
                if constexpr (std::is_same_v<R, HANDLE>) {
                    // CreateFileW and GetStdHandle fail with INVALID_HANDLE_VALUE; the others with null.
                    return I == 18 || I == 30 ? INVALID_HANDLE_VALUE : nullptr;
                } else if constexpr (std::is_pointer_v<R>) {
                    return nullptr;
                } else {
                    return R{};
                }
            }
        }
        return reinterpret_cast<R (*)(A...)>(s.original)(args...);
    }
};

#define ZARNITH_FAULT(i, fn, dll) {#fn, dll, reinterpret_cast<void*>(&Failing<i, decltype(&fn)>::Call)}

struct TargetRow {
    const char* function;
    const char* dll;
    void* replacement;
};

const TargetRow rows[kTargets] = {
    ZARNITH_FAULT(0, GetConsoleScreenBufferInfo, nullptr),
    ZARNITH_FAULT(1, ReadConsoleOutputW, nullptr),
    ZARNITH_FAULT(2, WriteConsoleOutputW, nullptr),
    ZARNITH_FAULT(3, ReadConsoleOutputCharacterW, nullptr),
    ZARNITH_FAULT(4, ReadConsoleOutputAttribute, nullptr),
    ZARNITH_FAULT(5, WriteConsoleOutputAttribute, nullptr),
    ZARNITH_FAULT(6, WriteConsoleOutputCharacterW, nullptr),
    ZARNITH_FAULT(7, FillConsoleOutputCharacterW, nullptr),
    ZARNITH_FAULT(8, FillConsoleOutputAttribute, nullptr),
    ZARNITH_FAULT(9, SetConsoleWindowInfo, nullptr),
    ZARNITH_FAULT(10, SetConsoleScreenBufferSize, nullptr),
    ZARNITH_FAULT(11, SetConsoleCursorPosition, nullptr),
    ZARNITH_FAULT(12, GetConsoleCursorInfo, nullptr),
    ZARNITH_FAULT(13, SetConsoleCursorInfo, nullptr),
    ZARNITH_FAULT(14, GetConsoleMode, nullptr),
    ZARNITH_FAULT(15, SetConsoleMode, nullptr),
    ZARNITH_FAULT(16, GetCurrentConsoleFontEx, nullptr),
    ZARNITH_FAULT(17, SetCurrentConsoleFontEx, nullptr),
    ZARNITH_FAULT(18, CreateFileW, nullptr),
    ZARNITH_FAULT(19, ReadFile, nullptr),
    ZARNITH_FAULT(20, WriteFile, nullptr),
    ZARNITH_FAULT(21, GetWindowRect, nullptr),
    ZARNITH_FAULT(22, GetClientRect, nullptr),
    ZARNITH_FAULT(23, SystemParametersInfoW, nullptr),
    ZARNITH_FAULT(24, SetWindowPos, nullptr),
    ZARNITH_FAULT(25, SetConsoleTextAttribute, nullptr),
    ZARNITH_FAULT(26, CreateEventW, nullptr),
    ZARNITH_FAULT(27, SetWinEventHook, nullptr),
    ZARNITH_FAULT(28, LoadLibraryExW, nullptr),
    ZARNITH_FAULT(29, malloc, nullptr),
    ZARNITH_FAULT(30, GetStdHandle, nullptr),
    ZARNITH_FAULT(31, CommandLineToArgvW, nullptr),
    ZARNITH_FAULT(32, GetConsoleWindow, nullptr),
    ZARNITH_FAULT(33, SetWindowsHookExW, nullptr),
};

}  // namespace

FastFakes::FastFakes(HMODULE plugin) {
    auto add = [&](const char* function, void* fake, void** original) {
        auto patch = std::make_unique<ImportPatch>(plugin, nullptr, function, fake);
        if (patch->Applied()) *original = patch->Original();
        patches_.push_back(std::move(patch));
    };
    void* unused = nullptr;
    add("Sleep", reinterpret_cast<void*>(&FakeSleep), &realSleep);
    add("Beep", reinterpret_cast<void*>(&FakeBeep), &unused);
    add("_getwch", reinterpret_cast<void*>(&FakeGetwch), &realGetwch);
    add("_getch", reinterpret_cast<void*>(&FakeGetch), &realGetch);
}

FastFakes::~FastFakes() = default;

FileFence::FileFence(HMODULE plugin, const std::wstring& folder) {
    fenceFolder = FullPath(folder.c_str());
    auto add = [&](const char* function, void* fenced, void** original) {
        auto patch = std::make_unique<ImportPatch>(plugin, nullptr, function, fenced);
        if (patch->Applied()) *original = patch->Original();
        patches_.push_back(std::move(patch));
    };
    add("CreateFileW", reinterpret_cast<void*>(&FencedCreateFileW), &realCreateFileW);
    add("MoveFileExW", reinterpret_cast<void*>(&FencedMoveFileExW), &realMoveFileExW);
    add("MoveFileW", reinterpret_cast<void*>(&FencedMoveFileW), &realMoveFileW);
    add("CopyFileW", reinterpret_cast<void*>(&FencedCopyFileW), &realCopyFileW);
    add("ReplaceFileW", reinterpret_cast<void*>(&FencedReplaceFileW), &realReplaceFileW);
    add("DeleteFileW", reinterpret_cast<void*>(&FencedDeleteFileW), &realDeleteFileW);
    add("CreateDirectoryW", reinterpret_cast<void*>(&FencedCreateDirectoryW), &realCreateDirectoryW);
    add("_wfopen", reinterpret_cast<void*>(&FencedWfopen), &realWfopen);
}

FileFence::~FileFence() = default;
long FileFence::Refused() { return refusedPaths; }

std::vector<std::wstring> FileFence::Strays() {
    std::vector<std::wstring> strays;
    for (const auto& [path, before] : namedOutside) {
        const FileState now = StateOf(path);
        if (now.exists && !(now == before)) strays.push_back(path);
    }
    return strays;
}

bool FileFence::Allows(const std::wstring& folder, const wchar_t* path) {
    // What the system makes of the name: relative parts, "..", drive-relative "C:x", "NUL".
    const std::wstring full = UpperCase(FullPath(path));
    if (full.empty()) return true;  // no such path: the real call fails on its own
    for (const wchar_t* device : {L"\\\\.\\NUL", L"\\\\.\\CON", L"\\\\.\\CONIN$", L"\\\\.\\CONOUT$"})
        if (full == device) return true;
    std::wstring local = full;
    if (local.rfind(L"\\\\?\\", 0) == 0) local.erase(0, 4);
    // Shares, other devices (COM1 is a serial port under Wine) and \\?\UNC paths are never the folder.
    if (local.rfind(L"\\\\", 0) == 0 || local.rfind(L"UNC\\", 0) == 0) return false;
    const std::wstring inside = UpperCase(FullPath(folder.c_str()));
    if (inside.empty()) return false;
    return local.size() > inside.size() && local.rfind(inside, 0) == 0 && local[inside.size()] == L'\\';
}
long long FastFakes::SleptMs() { return sleptMs; }
long FastFakes::KeysInvented() { return keysInvented; }

const std::vector<FaultTarget>& FaultTargets() {
    static const std::vector<FaultTarget> targets = [] {
        std::vector<FaultTarget> list;
        for (const auto& row : rows) list.push_back({row.function, row.dll});
        return list;
    }();
    return targets;
}

FaultInjection::FaultInjection(HMODULE plugin, size_t target, int failAt) : target_(target) {
    Slot& s = slots[target];
    s = Slot{};
    patch_ = std::make_unique<ImportPatch>(plugin, rows[target].dll, rows[target].function, rows[target].replacement);
    if (patch_->Applied()) {
        s.original = patch_->Original();
        s.failAt = failAt;
    }
}

FaultInjection::~FaultInjection() {
    patch_.reset();
    slots[target_].failAt = -1;
}

int FaultInjection::Calls() const { return slots[target_].calls; }
bool FaultInjection::Fired() const { return slots[target_].fired; }

}  // namespace sweep
