// What the sweep measures around each call: this process's kernel handles, heap use, the
// console's geometry, and a watchdog that ends the run when one call does not return.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

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

// Aborts the process (after printing the call) when a call runs longer than the limit.
class Watchdog {
public:
    explicit Watchdog(DWORD limitMs);
    ~Watchdog();
    void Begin(const std::string& what);  // the call about to run
    void End();
    DWORD LimitMs() const { return limitMs_; }

private:
    static DWORD WINAPI Thread(void* self);
    DWORD limitMs_;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    std::atomic<uint64_t> started_{0};  // GetTickCount64 at Begin, 0 when idle
    CRITICAL_SECTION lock_;
    std::string what_;
};

// "\t" and the like written visibly, cut to `most` characters with the full length noted.
std::string Printable(const std::wstring& text, size_t most = 200);

}  // namespace sweep
