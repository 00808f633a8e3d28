// The noexcept boundary every exported entry point runs its body inside.
#pragma once
#include <windows.h>
#include <cwchar>
#include <exception>
#include <new>
#include "frame/messages.h"
#include "frame/report.h"
#include "frame/rows.h"

namespace zarnith {

// Runs body(); an exception never reaches the host: it becomes a message naming `entry`, and
// `failure`. The protocol's own entry points, which have no row, name themselves this way.
template <class Body>
int GuardedAs(const wchar_t* entry, Body&& body, int failure) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        ReportUnexpected(entry, message::kNoMemory);
    } catch (...) {
        ReportUnexpected(entry, message::kUnexpectedError);
    }
    return failure;
}

// The same for a registered name's entry point, named by its row (Guarded(L"CLUP", ...)).
template <class Body>
int Guarded(Row row, Body&& body, int failure = -1) noexcept {
    return GuardedAs(NameOf(row.index), body, failure);
}

// The same for variables and functions, which always answer 0: after an unexpected failure the
// host's result buffer still holds text, "N/A", rather than whatever was there before.
template <class Body>
int GuardedResult(Row row, wchar_t* result, Body&& body) noexcept {
    bool answered = false;
    const int status = Guarded(row, [&] {
        const int value = body();
        answered = true;
        return value;
    }, 0);
    if (!answered && result) wmemcpy(result, kUnknown, std::size(kUnknown));
    return status;
}

}  // namespace zarnith
