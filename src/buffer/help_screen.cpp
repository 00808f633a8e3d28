// CONHELP after F1: the help on a screen of its own, a key awaited, the user's screen put back.
#include "console/blank_rows.h"
#include "console/cells.h"
#include "frame/handles.h"
#include "frame/help.h"
#include "frame/host.h"
#include "frame/plugin.h"
#include "frame/services.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

namespace {

// Inside a Take Command tab the console is the tab's own: save the rows of the visible window,
// blank them for the help, and write them back afterwards (not copied: its cells are its own).
class TabScreen {
public:
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
        // Without blanks the screen stays as it was and the help starts at the cursor; the saved cells
        // still undo what it writes. Blanks the key handler keeps stay; any had for the help go back.
        const bool kept = State().blankCells != nullptr;
        const bool blanked = BlankRows(screen_, info, window_.Top, uint32_t(rows_));
        if (!kept) ReleaseBlankRows();
        if (blanked) (void)screen_.SetCursor(COORD{0, window_.Top});
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

}  // namespace

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

}  // namespace zarnith
