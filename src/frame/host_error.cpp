// The host's Windows-error reporter, found by name at run time.
//
// TCC's TakeCmd.dll has no export `error`, the header's name: its import library (TCC 26-28)
// exports the function undecorated as `TCError` and under its C++ name. A static import of a name
// the host lacks makes Windows refuse the whole plug-in (ERROR_PROC_NOT_FOUND), so the reporter is
// the one host function looked up instead of imported; older hosts may still call it `error`.
#include <windows.h>

#include <iterator>

#include "frame/host.h"
#include "frame/os_module.h"

namespace zarnith {

namespace {

using HostErrorFunction = int(int, LPCWSTR);

// The names in the order they are tried: the C export first, the C++ one a plug-in built with the
// SDK's library binds to, then an older host's.
constexpr const char* kHostErrorNames[] = {"TCError", "?error@@YAHHPEB_W@Z", "error"};

// What the host's own reporter returns after showing a Windows error (the status its commands
// give for a failure), so that a command's result does not depend on which reporter ran.
constexpr int kHostErrorStatus = 2;

RunTimeFunction<HostErrorFunction> hostError;
bool searched = false;

// The report the host writes, for a host that has no reporter by any known name: the system's
// message after "TCC: (Sys) ", and the quoted name on a line of its own.
int ReportItself(int code, LPCWSTR name) noexcept {
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(code), 0, text,
                             DWORD(std::size(text)), nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) text[--n] = L'\0';
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (n > 0)
        Qprintf(err, L"TCC: (Sys) %s\r\n", text);
    else
        Qprintf(err, L"TCC: (Sys) Error %d\r\n", code);
    if (name != nullptr && name[0] != L'\0') Qprintf(err, L" \"%s\"\r\n", name);
    return kHostErrorStatus;
}

}  // namespace

void FindHostError(HMODULE module) noexcept {
    // By default the TakeCmd.dll this module's imports are bound to, whatever its file is called.
    const OsModule host = module != nullptr ? OsModule(module) : OsModule::Holding(reinterpret_cast<const void*>(&Printf));
    hostError = {};
    for (const char* name : kHostErrorNames)
        if ((hostError = RunTimeFunction<HostErrorFunction>(host, name))) break;
    searched = true;
}

int HostError(int code, LPCWSTR name) noexcept {
    if (!searched) FindHostError();
    return hostError ? hostError(code, name) : ReportItself(code, name);
}

}  // namespace zarnith
