// Pixel measurements in one DPI context. conhost answers font sizes unscaled, in 96-DPI units
// (src/host/getset.cpp: GetConsoleFontSizeImpl and GetCurrentConsoleFontExImpl report
// GetUnscaledSize()), while window rectangles, client sizes, system metrics and the work area come
// in the calling thread's DPI context. In a DPI-aware host the two would not divide; so a command
// that measures or places in pixels does it DPI-unaware for its length, as the fonts are.
#pragma once
#include <windows.h>

#include "frame/os_module.h"

namespace zarnith {

// The calling thread's DPI context for a scope. A Windows without per-thread contexts (before
// 10 1607) gives every thread the process's context, and nothing changes.
class ThreadDpiContext {
public:
    explicit ThreadDpiContext(HANDLE context) noexcept
        : set_(OsModule::Named(L"user32.dll"), "SetThreadDpiAwarenessContext") {
        if (set_) previous_ = set_(context);
    }
    ~ThreadDpiContext() {
        if (previous_ != nullptr) set_(previous_);
    }
    ThreadDpiContext(const ThreadDpiContext&) = delete;
    ThreadDpiContext& operator=(const ThreadDpiContext&) = delete;

private:
    RunTimeFunction<HANDLE(HANDLE)> set_;
    HANDLE previous_ = nullptr;  // the context to go back to; null when none was changed
};

// DPI_AWARENESS_CONTEXT_UNAWARE: the 96-DPI units of the console's font sizes.
class UnscaledPixels : ThreadDpiContext {
public:
    UnscaledPixels() noexcept : ThreadDpiContext(reinterpret_cast<HANDLE>(-1)) {}
};

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2: the real pixels conhost itself (per-monitor aware)
// lays its window out in and takes its limits from.
class PhysicalPixels : ThreadDpiContext {
public:
    PhysicalPixels() noexcept : ThreadDpiContext(reinterpret_cast<HANDLE>(-4)) {}
};

}  // namespace zarnith
