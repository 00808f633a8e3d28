// A real console for tests: fresh at start, read and written cell by cell, restored after each test.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tconsole {

// FreeConsole + AllocConsole; standard handles set to the new console (output and error apart).
void PrepareConsole();

HANDLE Out();  // the active screen buffer (CONOUT$)
HANDLE In();   // CONIN$
CONSOLE_SCREEN_BUFFER_INFO Info();

void SetBufferAndWindow(SHORT columns, SHORT rows, SHORT windowColumns, SHORT windowRows);
void Fill(wchar_t ch, WORD attributes);
void WriteText(SHORT x, SHORT y, std::wstring_view text);
void WriteAttributes(SHORT x, SHORT y, const std::vector<WORD>& attributes);
std::wstring ReadText(SHORT x, SHORT y, DWORD count);
std::wstring ReadRow(SHORT y);  // whole buffer width
std::vector<WORD> ReadAttributes(SHORT x, SHORT y, DWORD count);
void SetCursor(SHORT x, SHORT y);
COORD Cursor();
SMALL_RECT Window();
COORD FontSize();  // the current font's cell (conhost and Wine keep one font, index 0)

// Puts keystrokes into the console input, as a user typing them.
void TypeKeys(std::wstring_view text);
void TypeVirtualKey(WORD vk, wchar_t ch = 0, DWORD controlKeys = 0);
void FlushInput();

// Geometry, cursor, attributes, modes: taken at construction, put back by Restore().
class Snapshot {
public:
    Snapshot();
    void Restore() const;

private:
    CONSOLE_SCREEN_BUFFER_INFO info_{};
    CONSOLE_CURSOR_INFO cursor_{};
    DWORD inputMode_ = 0;
};

}  // namespace tconsole
