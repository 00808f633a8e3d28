// Pixel measurements in one DPI context. conhost answers font sizes unscaled, in 96-DPI units
// (src/host/getset.cpp: GetConsoleFontSizeImpl and GetCurrentConsoleFontExImpl report
// GetUnscaledSize()), while window rectangles, client sizes, system metrics and the work area come
// in the calling thread's DPI context. In a DPI-aware host the two would not divide; so a command
// that measures or places in pixels does it DPI-unaware for its length, as the fonts are.
#pragma once
#include <windows.h>

#include "frame/os_module.h"

namespace zarnith {

class UnscaledPixels {
public:
    UnscaledPixels() noexcept : set_(OsModule::Named(L"user32.dll"), "SetThreadDpiAwarenessContext") {
        // DPI_AWARENESS_CONTEXT_UNAWARE; a Windows without per-thread contexts (before 10 1607)
        // gives every thread the process's context, and nothing changes.
        if (set_) previous_ = set_(reinterpret_cast<HANDLE>(-1));
    }
    ~UnscaledPixels() {
        if (previous_ != nullptr) set_(previous_);
    }
    UnscaledPixels(const UnscaledPixels&) = delete;
    UnscaledPixels& operator=(const UnscaledPixels&) = delete;

private:
    RunTimeFunction<HANDLE(HANDLE)> set_;
    HANDLE previous_ = nullptr;  // the context to go back to; null when none was changed
};

}  // namespace zarnith
