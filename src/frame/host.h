// The host command processor's functions (TCC's TakeCmd.dll) and the entry-point shapes it calls.
// Shapes as the host's SDK header TakeCmd.h publishes them, checked against the signatures its
// import library TakeCmd.lib spells out (const-ness aside, see host/CONTRACT.md). Each one is
// imported by the name TakeCmd.dll exports it under (host/takecmd-exports.txt); what the plug-in
// relies on beyond the header is listed in host/CONTRACT.md.
#pragma once
#include <windows.h>

extern "C" {
__declspec(dllimport) int Printf(LPCWSTR format, ...);
__declspec(dllimport) int Qprintf(HANDLE handle, LPCWSTR format, ...);
__declspec(dllimport) int Sprintf(LPWSTR buffer, LPCWSTR format, ...);
__declspec(dllimport) int Sscanf(LPCWSTR text, LPCWSTR format, ...);
// Returns argument n's start within `line`. `last` is documented only as "a pointer to the last
// argument": never use it as the end of argument n; copy the argument instead.
__declspec(dllimport) LPWSTR NthArgument(LPWSTR line, int n, LPWSTR copy, LPWSTR* last);
__declspec(dllimport) int ExpandVariables(LPWSTR text, int flag);
__declspec(dllimport) int Command(LPWSTR line, int flag);
__declspec(dllimport) int QueryOptionValue(LPCWSTR name, LPWSTR value);
__declspec(dllimport) void* AllocMem(unsigned int bytes);
__declspec(dllimport) void* ReallocMem(void* block, ULONG_PTR bytes);
__declspec(dllimport) void FreeMem(void* block);
__declspec(dllimport) LPWSTR ParseColors(LPWSTR text, int* foreground, int* background);
__declspec(dllimport) int AddQuotes(LPWSTR text);
__declspec(dllimport) void StripEnclosingQuotes(LPWSTR text);
// `count` is the capacity of `wide`.
__declspec(dllimport) void ASCIIToUnicode(const char* narrow, LPWSTR wide, int count);
__declspec(dllimport) void tty_yield(int flag);
}

namespace zarnith {

// The host's Windows-error reporter (the header's `error`). TakeCmd.dll exports it under other
// names than the header's, which differ between versions, so it is never imported: it is looked
// up by name once, and a host without any of them gets the same report from the plug-in itself.
// Shows the system's message for `code` (and `name`, a file name, when given); returns the host's
// status, which most commands return as their own.
int HostError(int code, LPCWSTR name) noexcept;

// Looks the reporter up in `module`, by default the TakeCmd.dll the plug-in is bound to (a test
// may name another); the first host call does it, and HostError does when none did.
void FindHostError(HMODULE module = nullptr) noexcept;

}  // namespace zarnith

// Characters (terminator included) the host's result buffer holds for an internal variable or
// variable function. Variables that could write more (a ruler of a wide buffer) cut their text here.
inline constexpr int kHostResultCapacity = 2048;

// Index flag for NthArgument: commas are no delimiters (so a file name may hold one; blanks, tabs
// and '/' still separate).
inline constexpr int kNthArgumentPathFlag = 0x8000;
