#include "geometry/metrics.h"

#include <algorithm>

#include "console/pseudo_console.h"
#include "console/screen.h"
#include "frame/dpi.h"
#include "frame/entry.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/os_module.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

namespace {

// A 16-bit field printed with "%u" is widened with its sign first.
unsigned int Widened(SHORT value) noexcept { return static_cast<unsigned int>(static_cast<int>(value)); }

// Writes one value of the screen-buffer record, or "-1" when the record cannot be read.
template <class Field>
int BufferVariable(wchar_t* result, Field field) noexcept {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!QueryScreenBuffer(info)) {
        WriteResult(result, L"-1");
        return 0;
    }
    Sprintf(result, L"%u", Widened(field(info)));
    return 0;
}

int MaxConsoleVariable(Row self, wchar_t* result) noexcept {
    // Under a pseudo console the largest window is the terminal's to know.
    if (PseudoConsoleAnswer(self, result)) return 0;
    const UnscaledPixels unscaled;
    const ScreenBuffer console = OpenConsoleOutput();
    const auto client = QueryMaxClientSize();
    if (!console || !client) {
        WriteResult(result, L"-1 -1 -1 -1");
        return 0;
    }
    // Without the view or the window's area the font's size is all there is to count by.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    RECT shown{};
    if (!console.Query(info) || !GetClientRect(State().consoleWindow, &shown)) shown = {};
    const CellLayout cells =
        MeasureCells(shown, info.srWindow, console.CurrentFont().dwFontSize, IsZoomed(State().consoleWindow) != FALSE);
    const MaxConsole max = ComputeMaxConsole(*client, cells,
                                             GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
    Sprintf(result, L"%d %d %d %d", max.columns, max.rows, max.columnsWithScroll, max.rowsWithScroll);
    return 0;
}

int FullScreenVariable(Row self, wchar_t* result) noexcept {
    // Under a pseudo console the answer would describe the hidden stand-in, not the terminal.
    if (PseudoConsoleAnswer(self, result)) return 0;
    const wchar_t* text = L"-1";
    // Not linked directly: systems without it must still load the plug-in.
    const RunTimeFunction<BOOL(LPDWORD)> query(OsModule::Named(L"kernel32.dll"), "GetConsoleDisplayMode");
    DWORD flags = 0;
    if (query && query(&flags)) text = flags != 0 ? L"1" : L"0";
    Sprintf(result, L"%s", text);
    return 0;
}

int CharacterStoredFor(wchar_t* buffer) noexcept {
    wchar_t code = static_cast<wchar_t>(ToLong(buffer) & 0xFFFF);
    const ScreenBuffer console = OpenConsoleOutput();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    // The cells a one-character write at (0, 0) can change: a full-width character takes two, and
    // a character written over half of a full-width one blanks its other half, which can reach a
    // third. They go back as records, halves and colours included.
    CHAR_INFO kept[3] = {};
    const int touched = console.Query(info) ? std::min<int>(info.dwSize.X, 3) : 0;
    // Without those cells in hand nothing is touched at all.
    if (touched < 1 || !console.ReadRows(0, 1, touched, kept)) {
        WriteResult(buffer, kUnknown);
        return 0;
    }
    const COORD origin{0, 0};
    (void)console.WriteCharacterAt(origin, code);  // the cell read back shows what was stored
    CHAR_INFO stored{};
    if (console.ReadCellAt(origin, stored)) code = stored.Char.UnicodeChar;
    (void)console.WriteRows(0, 1, touched, kept);  // the most that can be put back
    Sprintf(buffer, L"%%@CHAR[%u]", static_cast<unsigned int>(code));
    ExpandVariables(buffer, 1);
    return 0;
}

}  // namespace

std::optional<RECT> QueryWorkArea() noexcept {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return std::nullopt;
    return work;
}

SIZE MaxClientIn(const RECT& work) noexcept {
    const SHORT width = static_cast<SHORT>(work.right - 2 * GetSystemMetrics(SM_CXFRAME) - work.left);
    const SHORT height = static_cast<SHORT>(work.bottom - 2 * GetSystemMetrics(SM_CYFRAME) - work.top -
                                            GetSystemMetrics(SM_CYCAPTION));
    return SIZE{width, height};
}

std::optional<SIZE> QueryMaxClientSize() noexcept {
    const auto work = QueryWorkArea();
    if (!work) return std::nullopt;
    return MaxClientIn(*work);
}

int CellAxis::CellsIn(LONG length) const noexcept {
    if (pixels <= 0 || cells <= 0) return -1;
    return static_cast<int>(static_cast<long long>(length) * cells / pixels);
}

CellLayout MeasureCells(const RECT& client, const SMALL_RECT& view, COORD font, bool maximised) noexcept {
    const auto axis = [maximised](LONG area, int shown, SHORT fontSize) {
        if (fontSize <= 0) return CellAxis{};
        if (area <= 0 || shown <= 0) return CellAxis{fontSize, 1};
        const bool fits = LONG(fontSize) * shown <= area && area < LONG(fontSize) * (shown + 1);
        return maximised && fits ? CellAxis{fontSize, 1} : CellAxis{area, shown};
    };
    return {axis(client.right - client.left, view.Right - view.Left + 1, font.X),
            axis(client.bottom - client.top, view.Bottom - view.Top + 1, font.Y)};
}

MaxConsole ComputeMaxConsole(SIZE client, const CellLayout& cells, int vScrollWidth, int hScrollHeight) noexcept {
    MaxConsole m;
    m.columns = cells.columns.CellsIn(client.cx);
    m.columnsWithScroll = cells.columns.CellsIn(static_cast<SHORT>(client.cx - vScrollWidth));
    m.rows = cells.rows.CellsIn(client.cy);
    m.rowsWithScroll = cells.rows.CellsIn(static_cast<SHORT>(client.cy - hScrollHeight));
    return m;
}

MaxConsole ComputeMaxConsole(SIZE client, COORD font, int vScrollWidth, int hScrollHeight) noexcept {
    return ComputeMaxConsole(client, MeasureCells(RECT{}, SMALL_RECT{}, font), vScrollWidth, hScrollHeight);
}

std::wstring RulerText(int columns) {
    const int length = columns < 0 ? 0 : (columns < kHostResultCapacity - 1 ? columns : kHostResultCapacity - 1);
    std::wstring ruler(static_cast<size_t>(length), L'.');
    for (int i = 5; i <= length; i += 5)
        ruler[static_cast<size_t>(i - 1)] = i % 10 != 0 ? L'+' : static_cast<wchar_t>(L'0' + (i / 10) % 10);
    return ruler;
}

int TrayExtent(int height) noexcept {
    // The task bar is the desktop's, whoever hosts the console: a pseudo console measures it too.
    const UnscaledPixels unscaled;
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT r{};
    if (!tray || !GetWindowRect(tray, &r)) return -1;
    return height ? r.bottom - r.top : r.right - r.left;
}

void MouseCell(Row self, wchar_t* result, int selector) noexcept {
    // The mouse is over the terminal's window, whose cells the hidden stand-in knows nothing of.
    if (PseudoConsoleAnswer(self, result)) return;
    const UnscaledPixels unscaled;
    POINT p{};
    RECT client{};
    const HWND window = State().consoleWindow;
    if (!GetCursorPos(&p) || !ScreenToClient(window, &p) || !GetClientRect(window, &client) ||
        p.x < 0 || p.x >= client.right || p.y < 0 || p.y >= client.bottom) {
        WriteResult(result, kUnknown);
        return;
    }
    const ScreenBuffer console = OpenConsoleOutput();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const bool viewKnown = console.Query(info);
    const CellLayout cells = MeasureCells(viewKnown ? client : RECT{}, info.srWindow, console.CurrentFont().dwFontSize,
                                          IsZoomed(window) != FALSE);
    const int column = cells.columns.CellsIn(p.x), row = cells.rows.CellsIn(p.y);
    if (column < 0 || row < 0) {
        WriteResult(result, kUnknown);
        return;
    }
    if (selector == kMouseColumn) {
        Sprintf(result, L"%d", column);
        return;
    }
    if (selector == kMouseRow) {
        Sprintf(result, L"%d", row);
        return;
    }
    if (!viewKnown) {
        WriteResult(result, kUnknown);
        return;
    }
    const COORD cell{static_cast<SHORT>(column + info.srWindow.Left), static_cast<SHORT>(row + info.srWindow.Top)};
    // The cell's own UTF-16 unit: a byte of the output code page read back through the ANSI code
    // page would name another character for anything outside ASCII. Read as a cell, since a
    // one-character read gives a blank for either half of a full-width character.
    CHAR_INFO read{};
    // A partly visible row or column can lie one past the buffer: no character there.
    if (!console || !console.ReadCellAt(cell, read)) {
        WriteResult(result, kUnknown);
        return;
    }
    Sprintf(result, L"%u", static_cast<unsigned int>(read.Char.UnicodeChar));
}

}  // namespace zarnith

using zarnith::BufferVariable;
using zarnith::Row;

ZARNITH_SHELL(_BUFCOLS, [](LPWSTR r) { return BufferVariable(r, [](auto& i) { return i.dwSize.X; }); })
ZARNITH_SHELL(_BUFROWS, [](LPWSTR r) { return BufferVariable(r, [](auto& i) { return i.dwSize.Y; }); })
ZARNITH_SHELL(_BUFX, [](LPWSTR r) { return BufferVariable(r, [](auto& i) { return i.dwCursorPosition.X; }); })
ZARNITH_SHELL(_BUFY, [](LPWSTR r) { return BufferVariable(r, [](auto& i) { return i.dwCursorPosition.Y; }); })
ZARNITH_SHELL(_WINCOLS, [](LPWSTR r) {
    return BufferVariable(r, [](auto& i) { return SHORT(i.srWindow.Right - i.srWindow.Left + 1); });
})
ZARNITH_SHELL(_WINROWS, [](LPWSTR r) {
    return BufferVariable(r, [](auto& i) { return SHORT(i.srWindow.Bottom - i.srWindow.Top + 1); });
})
ZARNITH_SHELL(_MAXCON, zarnith::MaxConsoleVariable)
ZARNITH_SHELL(_FSMODE, zarnith::FullScreenVariable)
ZARNITH_SHELL(_TRAYH, [](LPWSTR r) { return Sprintf(r, L"%d", zarnith::TrayExtent(1)), 0; })
ZARNITH_SHELL(_TRAYW, [](LPWSTR r) { return Sprintf(r, L"%d", zarnith::TrayExtent(0)), 0; })
ZARNITH_SHELL(_RULER, [](LPWSTR r) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    zarnith::WriteResult(r, zarnith::QueryScreenBuffer(info) ? zarnith::RulerText(info.dwSize.X) : zarnith::kUnknown);
    return 0;
})
ZARNITH_SHELL(_MOUSECX, [](Row self, LPWSTR r) { return zarnith::MouseCell(self, r, zarnith::kMouseColumn), 0; })
ZARNITH_SHELL(_MOUSECY, [](Row self, LPWSTR r) { return zarnith::MouseCell(self, r, zarnith::kMouseRow), 0; })
ZARNITH_SHELL(_CURCHAR, [](Row self, LPWSTR r) { return zarnith::MouseCell(self, r, zarnith::kMouseCharacter), 0; })
ZARNITH_SHELL(f_BUFCHAR, zarnith::CharacterStoredFor)
