// The plug-in's state, in one place: what start-up records and what commands keep between calls.
// Everyone reads it through State(). The frame writes the start-up part (on attach, in
// InitializePlugin and GetPluginInfo); each kept field is written only by the unit its comment
// names. Tests change fields through tests/support/plugin_state.h, never field by field here.
#pragma once
#include <windows.h>

#include <cstdint>

namespace zarnith {

inline constexpr int kNameListCapacity = 512;

// KeyActions when the host's configuration has none ("00621"): scroll-code bases for the four
// Alt keys, then the repeat count.
inline constexpr uint8_t kDefaultKeyActions[5] = {0, 0, 6, 2, 1};

// How the console is hosted (decided in console/pseudo_console.cpp at start-up).
enum class ConsoleHost : uint8_t {
    Classic,        // a console window of its own, shown: every command acts on it
    PseudoConsole,  // a signal that cannot belong to a classic console
    HiddenWindow,   // a hidden console window: a pseudo console while it stays hidden
};

// XCLOSE: the Close item as OFF took it from `menu`, for ON to put back (menu null: none kept).
struct KeptMenuItem {
    HMENU menu = nullptr;
    UINT position = 0;
    MENUITEMINFOW item{};  // its type, state, bitmap, data and check marks; the text is below
    wchar_t text[64] = {};
};

struct PluginState {
    // Start-up.
    HMODULE module = nullptr;            // this library, recorded on attach
    DWORD hostProcessId = 0;             // the host process
    HWND consoleWindow = nullptr;        // the host's console window (null inside a Take Command tab)
    uint8_t keyActions[5] = {kDefaultKeyActions[0], kDefaultKeyActions[1], kDefaultKeyActions[2],
                             kDefaultKeyActions[3], kDefaultKeyActions[4]};
    wchar_t* nameList = nullptr;         // the active names, comma separated (kNameListCapacity)
    uint64_t activeRows = 0;             // the rows of those names, bit r for row r
    ConsoleHost consoleHost = ConsoleHost::Classic;  // nothing is refused before start-up or in a tab
    bool keyNames = false;               // the host hands keys by name (version 24 and later), so
                                         // its key record has the name field

    // Kept between calls.
    bool helpKey = false;                // key handler: F1 or Ctrl-F1 came last; CONHELP shows its own screen
    HHOOK altEnterHook = nullptr;        // ALTENTER /D; null lets Alt-Enter through
    HANDLE altEnterThread = nullptr;     // ALTENTER: the thread that runs the hook (while disabled)
    DWORD altEnterThreadId = 0;
    KeptMenuItem closeItem;              // XCLOSE: the Close item while OFF has it removed
    HICON consoleIcon = nullptr;         // SETICON: the icon the console window shows, kept while it does
    HANDLE resizeEvent = nullptr;        // CONSIZE: the resize in progress, null between calls
    COORD gotoxyCursor{-1, -1};          // GOTOXY: cursor and view before the last GOTOXY (X -1: none yet)
    SMALL_RECT gotoxyWindow{};
    CHAR_INFO* blankCells = nullptr;     // BlankRows: blanks kept from one keystroke to the next
    uint32_t blankCapacity = 0;
};

const PluginState& State() noexcept;

// For the writers named above, and for the tests' scoped overrides.
PluginState& WritableState() noexcept;

}  // namespace zarnith
