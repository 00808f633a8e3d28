#include "window/modes.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>
#include <string_view>

#include "console/cells.h"
#include "console/screen.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/rows.h"
#include "frame/report.h"
#include "frame/text.h"

namespace zarnith {

namespace {

constexpr DWORD kExtendedFlags = ENABLE_EXTENDED_FLAGS;   // 0x80
constexpr DWORD kQuickEdit = ENABLE_QUICK_EDIT_MODE;      // 0x40

// An input mode that cannot be read (standard input not a console) counts as no flags at all.
DWORD ReadInputMode() noexcept {
    DWORD mode = 0;
    return StandardInputMode(mode) ? mode : 0;
}

std::wstring_view LineView(const wchar_t* line) noexcept { return line ? std::wstring_view(line) : std::wstring_view(); }

// Whether the line starts with a duration: digits that fit 32 bits, after at most a "+" as " %u"
// reads it. " %u" alone would take a minus (-1 becoming a bell of 66 hours) and wrap larger
// numbers; those count as no number.
bool StartsWithTicks(std::wstring_view line) noexcept {
    size_t i = 0;
    while (i < line.size() && std::iswspace(line[i])) ++i;
    if (i < line.size() && line[i] == L'+') ++i;
    const size_t first = i;
    uint64_t value = 0;
    for (; i < line.size() && line[i] >= L'0' && line[i] <= L'9'; ++i) {
        value = value * 10 + uint64_t(line[i] - L'0');
        if (value > UINT32_MAX) return false;
    }
    return i > first;
}

// Sleep and Beep take 32-bit milliseconds, and 0xFFFFFFFF means for ever: a longer bell goes in pieces.
template <class Wait>
void InPieces(uint64_t milliseconds, Wait&& wait) {
    while (milliseconds > 0) {
        const DWORD piece = DWORD(std::min<uint64_t>(milliseconds, INFINITE - 1));
        wait(piece);
        milliseconds -= piece;
    }
}

// Inverts the visible rows and hides the cursor for as long as it lives; the destructor puts
// back exactly what was read, whatever path leaves the bell.
class Flash {
public:
    Flash(const ScreenBuffer& screen, const CONSOLE_SCREEN_BUFFER_INFO& info) noexcept : screen_(screen) {
        start_ = COORD{0, info.srWindow.Top};
        width_ = info.dwSize.X > 0 ? info.dwSize.X : 0;
        const int rows = Height(info.srWindow);
        cells_ = rows > 0 ? size_t(rows) * size_t(width_) : 0;
        cursorSaved_ = screen_.CursorInfo(cursor_);
        attribute_ = Attribute(info.wAttributes).Inverted().value();
    }
    Flash(const Flash&) = delete;
    Flash& operator=(const Flash&) = delete;

    // False when the saved attributes have no memory: then nothing on screen has changed.
    bool Start() noexcept {
        if (!saved_.allocate(cells_)) return false;
        // A short read ends the region: only what was saved is flashed and put back.
        (void)screen_.ReadAttributes(start_, uint32_t(cells_), width_, saved_.data(), count_);
        if (cursorSaved_) {
            CONSOLE_CURSOR_INFO hidden{1, FALSE};
            (void)screen_.SetCursorInfo(hidden);  // a cursor left shown is no harm
        }
        if (count_ > 0) (void)screen_.FillAttribute(start_, count_, attribute_);  // a refused flash is not seen
        started_ = true;
        return true;
    }

    ~Flash() {
        if (!started_) return;
        (void)screen_.WriteAttributes(start_, count_, width_, saved_.data());  // the most that can be put back
        if (cursorSaved_) (void)screen_.SetCursorInfo(cursor_);
    }

private:
    const ScreenBuffer& screen_;
    COORD start_{};
    int width_ = 0;
    size_t cells_ = 0;
    uint32_t count_ = 0;
    WORD attribute_ = 0;
    CONSOLE_CURSOR_INFO cursor_{};
    bool cursorSaved_ = false;
    bool started_ = false;
    HostArray<WORD> saved_;
};

}  // namespace

int RunQe(Row self, const wchar_t* line) {
    ArgumentArray args = SplitArguments(line);
    if (!args) throw std::bad_alloc();
    const int given = args.count() - 1;
    if (given == 1 && std::wcscmp(args[1], L"/?") == 0) {
        PrintLines(L"Manipulate and query QuickEdit\r\n\r\nQE [ OFF | ON ]\r\n");
        return -1;
    }
    const DWORD mode = ReadInputMode();
    if ((mode & kExtendedFlags) == 0)
        return self.Fail(message::kNoExtendedFlags);
    if (given == 0) {
        Printf(L"QuickEdit is %s\r\n", (mode & kQuickEdit) ? L"ON" : L"OFF");
    } else if (given == 1) {
        // QE reports no failure: _QE tells what the mode is.
        if (_wcsicmp(args[1], L"OFF") == 0) (void)SetStandardInputMode(mode & ~kQuickEdit);
        else if (_wcsicmp(args[1], L"ON") == 0) (void)SetStandardInputMode(mode | kQuickEdit);
    }
    return 0;
}

void QueryQe(wchar_t* result) noexcept {
    const DWORD mode = ReadInputMode();
    WriteResult(result, (mode & kExtendedFlags) == 0 ? L"-1" : (mode & kQuickEdit) ? L"1" : L"0");
}

int RunCursor(Row self, const wchar_t* line) {
    const std::wstring_view text = LineView(line);
    const bool on = FindNoCase(text, L"ON") != std::wstring_view::npos;
    if (!on && FindNoCase(text, L"OFF") == std::wstring_view::npos) {
        return self.ShowHelp();
    }
    const ScreenBuffer out = OpenConsoleOutput();
    CONSOLE_CURSOR_INFO info{};
    // Writing back a record that was never read would set a size of 0; leave such a cursor alone.
    if (out && out.CursorInfo(info)) {
        info.bVisible = on ? TRUE : FALSE;
        (void)out.SetCursorInfo(info);  // CURSOR answers 0 whatever happens
    }
    return 0;
}

void QueryCursor(wchar_t* result) noexcept {
    const ScreenBuffer out = OpenConsoleOutput();
    CONSOLE_CURSOR_INFO info{};
    const bool visible = out && out.CursorInfo(info) && info.bVisible;
    WriteResult(result, visible ? L"1" : L"0");
}

int RunGenbreak(const wchar_t* line) {
    if (FindNoCase(LineView(line), L"/?") != std::wstring_view::npos) {
        Printf(L"%s", L"Generate a CTRL_C_EVENT\r\n");
        return 0;
    }
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    return 0;
}

int RunVbeep(Row self, const wchar_t* line) {
    const std::wstring_view text = LineView(line);
    if (FindNoCase(text, L"/?") != std::wstring_view::npos) {
        return self.ShowHelp();
    }
    unsigned int ticks = 0;
    // Room for the whole line: no sound word, however long, can run past its buffer.
    std::wstring word(text.size() + 1, L'\0');
    // Without a duration the conversion stops at once, leaving no sound word either.
    if (StartsWithTicks(text)) Sscanf(line, L" %u %s", &ticks, word.data());
    word.resize(std::wcslen(word.c_str()));
    const uint64_t milliseconds = BellMilliseconds(ticks);

    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!QueryScreenBuffer(info)) info = CONSOLE_SCREEN_BUFFER_INFO{};  // no console: nothing to flash
    const ScreenBuffer out = OpenConsoleOutput();
    Flash flash(out, info);
    if (!flash.Start()) return 0;

    const auto sleep = [](DWORD piece) { Sleep(piece); };
    if (word.empty()) {
        InPieces(milliseconds, sleep);
    } else if (word[0] <= L'9') {
        const DWORD frequency = DWORD(ToLong(word.c_str()));
        // A tone that fails (no sound device, a frequency out of range) returns at once; the
        // flash still stays for the duration.
        InPieces(milliseconds, [&](DWORD piece) {
            if (!Beep(frequency, piece)) Sleep(piece);
        });
    } else {
        std::wstring command = L"BEEP " + word;
        Command(command.data(), 0);
        InPieces(milliseconds, sleep);
    }
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(_QE, [](LPWSTR result) { return zarnith::QueryQe(result), 0; })
ZARNITH_SHELL(QE, zarnith::RunQe)
ZARNITH_SHELL(_CURSOR, [](LPWSTR result) { return zarnith::QueryCursor(result), 0; })
ZARNITH_SHELL(CURSOR, zarnith::RunCursor)
ZARNITH_SHELL(GENBREAK, zarnith::RunGenbreak)
ZARNITH_SHELL(VBEEP, zarnith::RunVbeep)
