// The host command processor's functions (TCC's TakeCmd.dll) and the entry-point shapes it calls.
#pragma once
#include <windows.h>

extern "C" {
__declspec(dllimport) int Printf(LPCWSTR format, ...);
__declspec(dllimport) int Qprintf(HANDLE handle, LPCWSTR format, ...);
__declspec(dllimport) int Sprintf(LPWSTR buffer, LPCWSTR format, ...);
__declspec(dllimport) int Sscanf(LPCWSTR text, LPCWSTR format, ...);
__declspec(dllimport) LPWSTR NthArgument(LPWSTR line, int n, LPWSTR copy, LPWSTR* next);
__declspec(dllimport) int ExpandVariables(LPWSTR text, int flag);
__declspec(dllimport) int Command(LPWSTR line, int flag);
__declspec(dllimport) int error(int code, LPCWSTR name);
__declspec(dllimport) int QueryOptionValue(LPCWSTR name, LPWSTR value);
__declspec(dllimport) void* AllocMem(unsigned int bytes);
__declspec(dllimport) void* ReallocMem(void* block, unsigned int bytes);
__declspec(dllimport) void FreeMem(void* block);
__declspec(dllimport) LPWSTR ParseColors(LPWSTR text, int* foreground, int* background);
__declspec(dllimport) LPWSTR AddQuotes(LPWSTR text);
__declspec(dllimport) LPWSTR StripEnclosingQuotes(LPWSTR text);
__declspec(dllimport) int ASCIIToUnicode(const char* narrow, LPWSTR wide, int count);
__declspec(dllimport) void tty_yield(int flag);
}

// Characters (terminator included) the host's result buffer holds for an internal variable or
// variable function. Variables that could write more (a ruler of a wide buffer) cut their text here.
inline constexpr int kHostResultCapacity = 2048;

// Index flag for NthArgument that the host understands as "argument of a file name".
inline constexpr int kNthArgumentPathFlag = 0x8000;
