// The plug-in's messages, in one place: error lines, refusals and the texts handed to the host's
// error reporter. Usage and help texts stay with their commands.
#pragma once

namespace zarnith::message {

// Through ReportCommandError ("<command>: <text>").
inline constexpr const wchar_t* kNoMemory = L"memory allocation failed";
inline constexpr const wchar_t* kNotConsoleOutput = L"standard output is not a console screen buffer";
inline constexpr const wchar_t* kSavecsbRedirected = L"SAVECSB cannot be run with redirected standard output.";
inline constexpr const wchar_t* kSavecsbSyntax = L"Syntax: SAVECSB [/A] [/C | /H] file";
inline constexpr const wchar_t* kSavecsbAppendPage = L"/A cannot be used with /H (a web page is written as a new file)";
inline constexpr const wchar_t* kFailedToOpenFile = L"Failed to open file \"%s\"";
inline constexpr const wchar_t* kNoExtendedFlags = L"Console extended flags are not enabled.";
// A window-level command under a pseudo console, where the terminal owns the window.
inline constexpr const wchar_t* kNotInPseudoConsole = L"not available in a terminal-hosted console (pseudo console)";

// Sizes no console (or not this one) takes, refused before anything changes; "%s" takes
// "columns x rows".
inline constexpr const wchar_t* kBufferBeyondLimit = L"a screen buffer of %s is more than a console holds (32,766 columns and rows at most)";
inline constexpr const wchar_t* kBufferBelowWindow = L"a screen buffer of %s is smaller than the console's smallest window";
inline constexpr const wchar_t* kWindowBeyondScreen = L"a window of %s is larger than the console's largest window";
// CONSIZE: a window that keeps its frame; "%s" takes its state ("maximised", "full screen").
inline constexpr const wchar_t* kFrameFixed = L"the window is %s, where the console changes only its view: restore the window first";
// RSTRCON: saved rows the console did not take; "%s" takes the rows ("9999-15000").
inline constexpr const wchar_t* kRowsNotRestored = L"rows %s could not be restored: the console did not take the saved size";
// RSTRCON: a saved view the console did not take; "%s" takes "columns x rows".
inline constexpr const wchar_t* kViewNotRestored = L"the saved window of %s could not be restored: the console did not take its size";

// Why a snapshot file cannot be restored; "%s" takes the file name. A file refused for its
// header is most likely some other file given by mistake: that comes first, the detail after it.
inline constexpr const wchar_t* kSnapshotTooShort = L"\"%s\" is not a console snapshot: its first 22 bytes describe no console (the file is shorter than that)";
inline constexpr const wchar_t* kSnapshotBadSize = L"\"%s\" is not a console snapshot: its first 22 bytes describe no console (it holds an impossible screen-buffer size)";
inline constexpr const wchar_t* kSnapshotBadCursor = L"\"%s\" is not a console snapshot: its first 22 bytes describe no console (it puts the cursor outside the screen buffer)";
inline constexpr const wchar_t* kSnapshotBadWindow = L"\"%s\" is not a console snapshot: its first 22 bytes describe no console (it puts the window outside the screen buffer)";
inline constexpr const wchar_t* kSnapshotTruncated = L"\"%s\" ends before its last saved row";

// Whole lines (formats) on standard error.
inline constexpr const wchar_t* kCommandErrorLine = L"%s: %s\r\n";
inline constexpr const wchar_t* kUnexpectedLine = L"ZARNITH: %s: %s\r\n";
inline constexpr const wchar_t* kUnexpectedError = L"unexpected internal error";
inline constexpr const wchar_t* kUnknownLoadNames = L"ZARNITH: ZARNITH_LOAD names that ZARNITH does not have: %s\r\n";
inline constexpr const wchar_t* kItemNotFound = L"ZARNITH: CONHELP: Item not found\r\n";
inline constexpr const wchar_t* kCannotOpenConsole = L"TCC: Can't open console screen buffer\r\n";
inline constexpr const wchar_t* kRegexError = L"Regex: %s\r\n";
inline constexpr const wchar_t* kSearchLimit =
    L"Regex: search limit reached in row %d; the rest of that row was not searched\r\n";
inline constexpr const wchar_t* kSearchFailed = L"Regex: %s in row %d; the rest of that row was not searched\r\n";
inline constexpr const wchar_t* kXcloseUse = L"Use: XCLOSE [ OFF | ON ]\r\n";
inline constexpr const wchar_t* kNoIcon = L"No icon: %s %s\r\n";
inline constexpr const wchar_t* kSeticonError = L"SETICON error: code = %d\r\n";

// On standard output: a refusal that is not an error.
inline constexpr const wchar_t* kConsizeInTab = L"CONSIZE is not available in a TakeCommand tab\r\n";

}  // namespace zarnith::message
