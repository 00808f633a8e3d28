// The one way the plug-in reports errors and messages: a command's error line, a failed Windows
// call through the host's error reporter, and lines of its own on standard error. The texts are in
// frame/messages.h.
#pragma once
#include <windows.h>

#include "frame/host.h"
#include "frame/rows.h"

namespace zarnith {

// Standard error, as the host's Qprintf wants it.
inline HANDLE StandardError() noexcept { return GetStdHandle(STD_ERROR_HANDLE); }

// Writes "<row's name>: <text>\r\n" to standard error, the line itself being the format for
// `argument` (so "%s" in `text` takes it). Returns -1, which the command returns.
int ReportCommandError(Row row, const wchar_t* text, const wchar_t* argument = nullptr) noexcept;

// A failed Windows call through the host's error reporter, about `subject` (a file name) or
// nothing; returns the reporter's result. A call that failed without an error code is reported
// as ERROR_GEN_FAILURE, never as "The operation completed successfully".
int ReportWindowsError(const wchar_t* subject = nullptr, DWORD code = GetLastError()) noexcept;

// A line of the plug-in's own on standard error, `format` filled as the host's Qprintf fills it.
template <class... Args>
void ReportLine(const wchar_t* format, Args... args) noexcept {
    Qprintf(StandardError(), format, args...);
}

// "ZARNITH: <name>: <what>" on standard error; only for something unexpected that escaped a command.
void ReportUnexpected(const wchar_t* name, const wchar_t* what) noexcept;

}  // namespace zarnith
