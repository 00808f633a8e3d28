// The noexcept boundary every exported entry point runs its body inside.
#pragma once
#include <windows.h>
#include <cwchar>
#include <exception>
#include <new>
#include "frame/messages.h"
#include "frame/report.h"

namespace zarnith {

// Runs body(); an exception never reaches the host: it becomes a message and `failure`.
template <class Body>
int Guarded(const wchar_t* name, Body&& body, int failure = -1) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        ReportUnexpected(name, message::kNoMemory);
    } catch (...) {
        ReportUnexpected(name, message::kUnexpectedError);
    }
    return failure;
}

// The same for variables and functions, which always answer 0: after an unexpected failure the
// host's result buffer still holds text, "N/A", rather than whatever was there before.
template <class Body>
int GuardedResult(const wchar_t* name, wchar_t* result, Body&& body) noexcept {
    bool answered = false;
    const int status = Guarded(name, [&] {
        const int value = body();
        answered = true;
        return value;
    }, 0);
    if (!answered && result) wmemcpy(result, L"N/A", 4);
    return status;
}

}  // namespace zarnith
