// What the sweep measures around each call: this process's kernel handles, heap use, the
// plug-in's live allocations, the console's geometry, and a watchdog that ends the run when one
// call or measurement does not return.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "support/import_patch.h"

namespace sweep {

// Entries of the system handle table that belong to this process; -1 when the table cannot be
// read (GetProcessHandleCount answers 0 under Wine).
long CountProcessHandles();

struct HeapUsage {
    uint64_t blocks = 0;
    uint64_t bytes = 0;
    bool ok = false;
};
// Busy blocks and bytes over every heap of the process (HeapWalk).
HeapUsage MeasureHeaps();

// Whether Wine checks its heaps (WINEDEBUG names the heap channel). Every heap call then
// validates the whole heap, so a walk costs the square of the blocks: minutes in a long run.
bool HeapCheckingOn();

// While alive, counts the blocks that `modules` hold through their imports: the C runtime's
// malloc, calloc, realloc, _strdup and free (the plug-in's operator new ends there, and so do
// the regular-expression library's objects), and the argument arrays of CommandLineToArgvW
// handed back with LocalFree. A per-call leak grows it by one block per call; reading it costs
// nothing whatever Wine's heap checking does. One counter at a time.
class AllocationCount {
public:
    explicit AllocationCount(std::initializer_list<HMODULE> modules);
    ~AllocationCount();
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;
    static long long LiveBlocks();  // allocations less frees since the first counter

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

// Empty when the screen buffer's record reads and is sane (sizes >= 1, window inside the buffer,
// cursor inside the buffer); otherwise what is wrong. `info` receives the record.
std::string CheckConsoleGeometry(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO& info);

// Holds the current call on disk before it runs (seed, index, name, input), so a crash that
// takes the process down leaves its cause behind. One small file, rewritten per call.
class CallLog {
public:
    explicit CallLog(const std::wstring& path);
    ~CallLog();
    void Record(const std::string& text);
    const std::wstring& Path() const { return path_; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::wstring path_;
};

// When a call or measurement runs longer than the limit, reports it ("SWEEP HANG: `headline`
// ran longer than ... ms", then `detail`) and, by default, ends the process.
class Watchdog {
public:
    using HangAction = std::function<void(const std::string& report)>;
    explicit Watchdog(DWORD limitMs, HangAction onHang = {});
    ~Watchdog();
    void Begin(const std::string& headline, const std::string& detail = {});
    void End();
    DWORD LimitMs() const { return limitMs_; }

private:
    static DWORD WINAPI Thread(void* self);
    DWORD limitMs_;
    HangAction onHang_;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    std::atomic<uint64_t> started_{0};  // GetTickCount64 at Begin, 0 when idle
    CRITICAL_SECTION lock_;
    std::string headline_, detail_;
};

// What the sweep compares between two points of a run.
struct Levels {
    long handles = -1;           // -1: the handle table cannot be read
    long long pluginBlocks = 0;  // AllocationCount::LiveBlocks
    HeapUsage heap;              // walked only without Wine's heap checking (ok false otherwise)
    int hostBlocks = 0;          // the host's AllocMem blocks
    double ms = 0;               // what measuring took
};
// Measures under the watchdog as "heap measurement at call `call`". `stall` runs inside the
// watched stretch; a test makes the measurement hang with it.
Levels Measure(Watchdog& dog, long call, const std::function<void()>& stall = {});
std::string Describe(const char* what, const Levels& levels);
// What grew from `before` to `after` by more than a run without a leak grows; empty if nothing.
std::vector<std::string> Leaks(const Levels& before, const Levels& after);

// "\t" and the like written visibly, cut to `most` characters with the full length noted.
std::string Printable(const std::wstring& text, size_t most = 200);

}  // namespace sweep
