// The stand-in TakeCmd.dll's control interface: what tests and the host program set and read back.
// The host functions themselves (Printf, NthArgument, ...) are the ones the plug-in imports.
#pragma once
#include <windows.h>

#ifdef TAKECMD_BUILDING
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C" __declspec(dllimport)
#endif

// Resolves a host name the stand-in does not know itself: "_NAME" (args null) or "@NAME" (args
// the text between the brackets). Writes the value into `out` (capacity characters) and returns
// non-zero when it knows the name.
using StandInResolver = int (*)(const wchar_t* name, const wchar_t* args, wchar_t* out, int capacity);

// Everything back to defaults: captures, recorded commands, variables, options, allocation switch.
STANDIN_API void StandIn_Reset();
// Whether Printf/Qprintf also write to the real standard handles (on by default).
STANDIN_API void StandIn_SetEcho(int echo);
// Text the plug-in wrote: 0 standard output, 1 standard error; valid until the next call here.
STANDIN_API const wchar_t* StandIn_Output(int which);
STANDIN_API void StandIn_ClearOutput();
// What the host's interface leaves open, told on: the characters of the longest text that one
// Printf/Qprintf call carried (to any handle, files included), and the most line ends one such
// call carried, both since the last reset or StandIn_ClearOutput.
STANDIN_API int StandIn_LongestWrite();
STANDIN_API int StandIn_MostLineEnds();
// Host commands the plug-in ran through Command(), in order.
STANDIN_API int StandIn_CommandCount();
// Forgets the recorded commands and expansions (a long run would otherwise keep them all).
STANDIN_API void StandIn_ClearRecords();
STANDIN_API const wchar_t* StandIn_CommandLine(int index);
// Texts the plug-in handed to ExpandVariables (as given, before expansion), in order.
STANDIN_API int StandIn_ExpansionCount();
STANDIN_API const wchar_t* StandIn_Expansion(int index);
// Host internal variables ("_TCTAB", "_ININAME", ...); a null value removes the variable.
STANDIN_API void StandIn_SetVariable(const wchar_t* name, const wchar_t* value);
// Host options for QueryOptionValue; a null value makes the query fail.
STANDIN_API void StandIn_SetOption(const wchar_t* name, const wchar_t* value);
// Makes the n-th AllocMem/ReallocMem call from now fail (1 = the next); 0 switches it off.
STANDIN_API void StandIn_FailAllocationAt(int n);
// Allocation calls made since the reset, and blocks handed out and not yet freed.
STANDIN_API int StandIn_AllocationCalls();
STANDIN_API int StandIn_LiveBlocks();
// Calls of tty_yield since the reset.
STANDIN_API int StandIn_YieldCount();
// Calls of the host's Windows-error reporter since the reset, under whichever name it was found.
STANDIN_API int StandIn_ErrorCalls();
// Hands names the stand-in does not know to the host program (the plug-in's variables).
STANDIN_API void StandIn_SetResolver(StandInResolver resolver);
