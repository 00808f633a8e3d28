#include "harness/faults.h"

#include <shellapi.h>

#include <conio.h>

#include <cstdlib>
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

bool KeyWaiting() {
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    // Only key-down events with a character or a key code make the runtime return.
    INPUT_RECORD records[64];
    DWORD n = 0;
    bool waiting = false;
    if (PeekConsoleInputW(in, records, 64, &n))
        for (DWORD i = 0; i < n && !waiting; ++i)
            waiting = records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown;
    CloseHandle(in);
    return waiting;
}

void WINAPI FakeSleep(DWORD ms) {
    if (ms <= 1) {
        reinterpret_cast<void(WINAPI*)(DWORD)>(realSleep)(ms);
        return;
    }
    sleptMs += ms;
}

BOOL WINAPI FakeBeep(DWORD, DWORD) { return TRUE; }

wint_t FakeGetwch() {
    if (!KeyWaiting()) {
        ++keysInvented;
        return L'q';
    }
    return reinterpret_cast<wint_t (*)()>(realGetwch)();
}

int FakeGetch() {
    if (!KeyWaiting()) {
        ++keysInvented;
        return 'q';
    }
    return reinterpret_cast<int (*)()>(realGetch)();
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
