#include "support/console.h"

#include <algorithm>

namespace tconsole {

namespace {
HANDLE out = INVALID_HANDLE_VALUE;
HANDLE err = INVALID_HANDLE_VALUE;
HANDLE in = INVALID_HANDLE_VALUE;

HANDLE OpenConsole(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}
}  // namespace

void PrepareConsole() {
    FreeConsole();
    AllocConsole();
    out = OpenConsole(L"CONOUT$");
    err = OpenConsole(L"CONOUT$");
    in = OpenConsole(L"CONIN$");
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
    SetStdHandle(STD_INPUT_HANDLE, in);
}

HANDLE Out() { return out; }
HANDLE In() { return in; }

CONSOLE_SCREEN_BUFFER_INFO Info() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(out, &info);
    return info;
}

void SetBufferAndWindow(SHORT columns, SHORT rows, SHORT windowColumns, SHORT windowRows) {
    // Shrink the window first so that any buffer size is allowed, then grow the window.
    SMALL_RECT tiny{0, 0, 0, 0};
    SetConsoleWindowInfo(out, TRUE, &tiny);
    SetConsoleScreenBufferSize(out, COORD{columns, rows});
    SMALL_RECT window{0, 0, SHORT(windowColumns - 1), SHORT(windowRows - 1)};
    SetConsoleWindowInfo(out, TRUE, &window);
}

void Fill(wchar_t ch, WORD attributes) {
    const auto info = Info();
    const DWORD n = DWORD(info.dwSize.X) * DWORD(info.dwSize.Y);
    DWORD done = 0;
    FillConsoleOutputCharacterW(out, ch, n, COORD{0, 0}, &done);
    FillConsoleOutputAttribute(out, attributes, n, COORD{0, 0}, &done);
}

void WriteText(SHORT x, SHORT y, std::wstring_view text) {
    DWORD done = 0;
    WriteConsoleOutputCharacterW(out, text.data(), DWORD(text.size()), COORD{x, y}, &done);
}

void WriteAttributes(SHORT x, SHORT y, const std::vector<WORD>& attributes) {
    DWORD done = 0;
    WriteConsoleOutputAttribute(out, attributes.data(), DWORD(attributes.size()), COORD{x, y}, &done);
}

std::wstring ReadText(SHORT x, SHORT y, DWORD count) {
    std::wstring text(count, L'\0');
    DWORD done = 0;
    ReadConsoleOutputCharacterW(out, text.data(), count, COORD{x, y}, &done);
    text.resize(done);
    return text;
}

std::wstring ReadRow(SHORT y) { return ReadText(0, y, DWORD(Info().dwSize.X)); }

std::vector<WORD> ReadAttributes(SHORT x, SHORT y, DWORD count) {
    std::vector<WORD> attributes(count);
    DWORD done = 0;
    ReadConsoleOutputAttribute(out, attributes.data(), count, COORD{x, y}, &done);
    attributes.resize(done);
    return attributes;
}

void SetCursor(SHORT x, SHORT y) { SetConsoleCursorPosition(out, COORD{x, y}); }
COORD Cursor() { return Info().dwCursorPosition; }
SMALL_RECT Window() { return Info().srWindow; }
COORD FontSize() { return GetConsoleFontSize(Out(), 0); }

void TypeVirtualKey(WORD vk, wchar_t ch, DWORD controlKeys) {
    INPUT_RECORD records[2]{};
    for (int i = 0; i < 2; ++i) {
        records[i].EventType = KEY_EVENT;
        auto& key = records[i].Event.KeyEvent;
        key.bKeyDown = i == 0;
        key.wRepeatCount = 1;
        key.wVirtualKeyCode = vk;
        key.wVirtualScanCode = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        key.uChar.UnicodeChar = ch;
        key.dwControlKeyState = controlKeys;
    }
    DWORD done = 0;
    WriteConsoleInputW(in, records, 2, &done);
}

void TypeKeys(std::wstring_view text) {
    for (wchar_t c : text) {
        const SHORT scan = VkKeyScanW(c);
        TypeVirtualKey(WORD(scan == -1 ? 0 : scan & 0xFF), c, (scan & 0x100) ? SHIFT_PRESSED : 0);
    }
}

void FlushInput() { FlushConsoleInputBuffer(in); }

Snapshot::Snapshot() {
    info_ = Info();
    GetConsoleCursorInfo(out, &cursor_);
    GetConsoleMode(in, &inputMode_);
}

void Snapshot::Restore() const {
    // The standard handles go back to this program's console, whatever a test redirected.
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
    SetStdHandle(STD_INPUT_HANDLE, in);
    SetConsoleActiveScreenBuffer(out);
    const auto& w = info_.srWindow;
    SetBufferAndWindow(info_.dwSize.X, info_.dwSize.Y, SHORT(w.Right - w.Left + 1), SHORT(w.Bottom - w.Top + 1));
    SetConsoleWindowInfo(out, TRUE, &info_.srWindow);
    SetConsoleTextAttribute(out, info_.wAttributes);
    SetConsoleCursorPosition(out, info_.dwCursorPosition);
    SetConsoleCursorInfo(out, &cursor_);
    SetConsoleMode(in, inputMode_);
    FlushConsoleInputBuffer(in);
}

}  // namespace tconsole
