#include "frame/help.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "console/cells.h"
#include "console/screen.h"
#include "console/transfer.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/plugin.h"
#include "frame/registry.h"
#include "frame/report.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

namespace {

// A writable line of kHostLineCapacity characters, filled from parts and always terminated.
class HostLine {
public:
    HostLine() : text_(kHostLineCapacity, L'\0') {}
    wchar_t* data() noexcept { return text_.data(); }
    void Compose(std::initializer_list<std::wstring_view> parts) noexcept {
        size_t used = 0;
        for (std::wstring_view part : parts) {
            const size_t n = std::min(part.size(), text_.size() - 1 - used);
            wmemcpy(text_.data() + used, part.data(), n);
            used += n;
        }
        text_[used] = L'\0';
    }
    // Expands in place through the host, which writes at most its own line length: this line.
    std::wstring_view Expand() noexcept {
        ExpandVariables(text_.data(), 0);
        text_.back() = L'\0';
        return text_.data();
    }

private:
    std::vector<wchar_t> text_;
};

// Inside a Take Command tab the console is the tab's own: save the rows of the visible window,
// blank them for the help, and write them back afterwards.
class TabScreen {
public:
    TabScreen() = default;
    TabScreen(const TabScreen&) = delete;
    TabScreen& operator=(const TabScreen&) = delete;
    ~TabScreen() { Restore(); }

    void SaveAndBlank() noexcept {
        screen_ = OpenStandardOutputBuffer();
        CONSOLE_SCREEN_BUFFER_INFO info{};
        // Output that is not a console (redirected) has no screen to save.
        if (!screen_.Query(info)) return;
        window_ = info.srWindow;
        cursor_ = info.dwCursorPosition;
        // Whole rows, not just the visible columns: every line of the help and of PAUSE starts
        // at column 0, which a view scrolled to the right does not show.
        width_ = info.dwSize.X;
        rows_ = Height(window_);
        if (width_ <= 0 || rows_ <= 0) return;
        if (!cells_.allocate(size_t(width_) * size_t(rows_))) return;
        if (!screen_.ReadRows(window_.Top, rows_, width_, cells_.data())) {
            cells_.reset();
            return;
        }
        // Without room for the blanks the screen stays as it was; the saved cells still undo
        // whatever the help writes over it.
        const int blankRows = std::min(rows_, RowsPerTransfer(width_));
        HostArray<CHAR_INFO> blanks(size_t(width_) * size_t(blankRows));
        if (!blanks) return;
        std::fill_n(blanks.data(), blanks.size(), CHAR_INFO{{L' '}, info.wAttributes});
        (void)screen_.RepeatRows(window_.Top, rows_, width_, blanks.data(), blankRows);  // else the old screen shows
        (void)screen_.SetCursor(COORD{0, window_.Top});  // the help still shows, from the cursor
    }

    void Restore() noexcept {
        if (!cells_) return;
        (void)screen_.WriteRows(window_.Top, rows_, width_, cells_.data());  // the most that can be put back
        cells_.reset();
        (void)screen_.SetWindow(window_);  // a tab resized meanwhile keeps its view
        // The host goes on editing its line where the cursor was before the help.
        (void)screen_.SetCursor(cursor_);
    }

private:
    ScreenBuffer screen_;
    HostArray<CHAR_INFO> cells_;
    SMALL_RECT window_{};
    COORD cursor_{};
    int width_ = 0, rows_ = 0;
};

// Outside a tab the host switches to a new screen buffer for the help and back afterwards. Every
// line is allocated before the switch, so nothing can fail between leaving the user's screen and
// returning to it.
class HostScreen {
public:
    HostScreen() = default;
    HostScreen(const HostScreen&) = delete;
    HostScreen& operator=(const HostScreen&) = delete;
    ~HostScreen() { Restore(); }

    void Switch() noexcept {
        expansion_.Compose({L"%@CONSOLEB[-1]"});
        const std::wstring_view previous = expansion_.Expand();
        back_.Compose({L"%@CONSOLEB[", previous, L"]"});
        expansion_.Compose({L"%@CONSOLEB[0]"});
        const std::wstring_view fresh = expansion_.Expand();
        close_.Compose({L"%@FILECLOSE[", fresh, L"]"});
        switched_ = true;
        (void)OpenStandardOutputBuffer().SetCursor(COORD{0, 0});
    }

    void Restore() noexcept {
        if (!switched_) return;
        switched_ = false;
        back_.Expand();
        close_.Expand();
    }

private:
    HostLine expansion_, back_, close_;
    bool switched_ = false;
};

void RunPause(HostLine& line) noexcept {
    line.Compose({L"PAUSE ^r^nPress any key to continue "});
    Command(line.data(), 0);
}

// The one-line text of a row, or CONHELP's usage line, or what the command prints for "/?".
void ShowHelpOf(int r) noexcept {
    if (const wchar_t* text = HelpTextOf(r)) {
        PrintLines(text);  // a help text may have lines of its own
        Printf(L"\r\n");
    } else if (r == int(EntryRow::CONHELP)) {
        Printf(L"%s", kConhelpUsage);
    } else if (CommandEntry entry = RegistrationTable[r].Entry) {
        // Commands may write into their line (a tokenizer's terminator): give them room.
        wchar_t request[256] = L"/?";
        entry(request);
    }
}

void ShowOnPreparedScreen(int r) {
    HostLine pause;
    if (InTakeCommandTab()) {
        TabScreen screen;
        screen.SaveAndBlank();
        ShowHelpOf(r);
        RunPause(pause);
        screen.Restore();
    } else {
        HostScreen screen;
        screen.Switch();
        ShowHelpOf(r);
        RunPause(pause);
        screen.Restore();
    }
}

}  // namespace

int RunConhelp(LPWSTR line) {
    if (line == nullptr || NthArgument(line, 0, nullptr, nullptr) == nullptr) {
        Printf(L"%s", kConhelpUsage);
        return 0;
    }
    // Argument 0 on its own (no argument is longer than the line), so that anything after the
    // name does not spoil the lookup.
    std::wstring name(wcslen(line) + 1, L'\0');
    NthArgument(line, 0, name.data(), nullptr);
    name.resize(wcslen(name.c_str()));
    CharUpperW(name.data());

    if (name == L"/?") {
        Printf(L"%s", kConhelpUsage);
        return 0;
    }
    if (name == L"LIST") {
        for (const RegistrationEntry& entry : RegistrationTable)
            if (IsActiveName(entry.Name)) Printf(L"%s\r\n", entry.Name);
        return 0;
    }
    const int r = FindRegisteredName(name.c_str());
    if (r < 0) {
        ReportLine(message::kItemNotFound);
        return 0;
    }
    if (State().helpKey) ShowOnPreparedScreen(r);
    else ShowHelpOf(r);
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(CONHELP, zarnith::RunConhelp)

ZARNITH_ENTRY int Help(LPWSTR name) noexcept {
    return zarnith::GuardedAs(
        L"Help",
        [&] {
            if (name == nullptr) return 1;
            CharUpperW(name);
            if (zarnith::IsActiveName(name)) zarnith::RunConhelp(name);
            return 1;
        },
        1);
}

ZARNITH_ENTRY int Usage(LPWSTR name, LPWSTR buffer) noexcept {
    return zarnith::GuardedAs(
        L"Usage",
        [&] {
            if (name == nullptr || buffer == nullptr) return 0;
            const int r = zarnith::FindRegisteredName(name);
            const wchar_t* text = r < 0 ? nullptr : zarnith::HelpTextOf(r);
            if (text == nullptr) return 0;
            zarnith::CopyBounded(buffer, kHostResultCapacity, text);
            return 1;
        },
        0);
}
