// The noexcept boundary every exported entry point runs its body inside.
#pragma once
#include <windows.h>
#include <cwchar>
#include <exception>
#include <new>
#include <type_traits>
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

// A registered name's entry (its shell, frame/entry.h): body(self, argument), or body(argument)
// for a body that never speaks as its command, guarded with its row's failure value. Variables
// and functions always answer 0: after an unexpected failure the host's result buffer still
// holds text, "N/A", rather than whatever was there before.
template <EntryRow Entry, class Argument, class Body>
int RunEntry(Argument argument, Body&& body) noexcept {
    constexpr Row self{Entry};
    const auto run = [&] {
        if constexpr (std::is_invocable_v<Body&, Row, Argument>) return body(self, argument);
        else return body(argument);
    };
    if constexpr (self.AnswersText()) {
        bool answered = false;
        const int status = GuardedAs(self.Name(), [&] {
            const int value = run();
            answered = true;
            return value;
        }, self.Failure());
        if (!answered && argument) wmemcpy(argument, kUnknown, std::size(kUnknown));
        return status;
    } else {
        return GuardedAs(self.Name(), run, self.Failure());
    }
}

}  // namespace zarnith
