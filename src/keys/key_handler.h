// The key handler: what an extended key typed at the prompt does, decided by plain functions
// (PlanKey, PlanLineClear) so that the Win32 side in KEYHANDLER stays a thin executor.
#pragma once
#include <cstdint>


namespace zarnith {

// Key codes the host hands over: characters below 0x10000, extended keys 0x10000 + key number.
namespace key {
inline constexpr int32_t kExtended = 0x10000;
inline constexpr int32_t F1 = 0x1003B;
inline constexpr int32_t CtrlF1 = 0x1005E;
inline constexpr int32_t Left = 0x1004B;
inline constexpr int32_t Right = 0x1004D;
inline constexpr int32_t Del = 0x10053;
inline constexpr int32_t CtrlDel = 0x10093;
inline constexpr int32_t CtrlUp = 0x1008D;
inline constexpr int32_t CtrlDown = 0x10091;
inline constexpr int32_t CtrlLeft = 0x10073;
inline constexpr int32_t CtrlRight = 0x10074;
inline constexpr int32_t AltLeft = 0x100F4;
inline constexpr int32_t AltRight = 0x100F6;
inline constexpr int32_t Enter = 13;
// An extended key with no binding here (what a named key outside the table stands for).
inline constexpr int32_t Unbound = kExtended;
}  // namespace key

// A key as a host of version 24 and later names it ("Ctrl-Alt-Left"), in the terms of an older
// host's codes: the code, and whether the name carries an Alt that the code leaves to the
// keyboard state.
struct NamedKey {
    int32_t code = 0;  // 0 for no name at all
    bool alt = false;
};

// Letter case is ignored. A name outside the table is key::Unbound; no more of `name` is read than
// the longest name in the table and one character.
NamedKey KeyFromName(const wchar_t* name) noexcept;

// Keys the handler never looks at: ordinary characters and the editing keys Left, Right, Del.
constexpr bool IsUntouchedKey(int32_t code) noexcept {
    return code < key::kExtended || code == key::Left || code == key::Right || code == key::Del;
}

enum class HelpFlagChange { Keep, Set, Clear };

enum class KeyStep {
    Pass,          // the host handles the key as usual
    ClearLine,     // Ctrl-Del: empty the line, blank its rows, hand the host an Enter
    GrowWindow,    // Ctrl-Down
    ShrinkWindow,  // Ctrl-Up
    Scroll,        // WM_HSCROLL `scrollCode`, `repeat` times (Scroll Lock on)
    CycleBack,     // Alt-Left: CYCLE -
    CycleForward,  // Alt-Right: CYCLE
};

struct KeyPlan {
    HelpFlagChange help = HelpFlagChange::Keep;
    KeyStep step = KeyStep::Pass;
    uint16_t scrollCode = 0;
    unsigned repeat = 0;
};

// What the console and keyboard look like when the key arrives.
struct KeyContext {
    bool inTakeCommandTab = false;
    bool scrollLock = false;  // toggled on
    bool altDown = false;
    bool pseudoConsole = false;  // the terminal owns the window: nothing to resize, scroll or cycle
    bool frameFixed = false;     // maximised or full screen: the frame cannot grow or shrink
    const uint8_t* actions = nullptr;  // the five KeyActions values
};

// Decides what `code` does. Every step other than Pass consumes the key.
KeyPlan PlanKey(int32_t code, const KeyContext& context) noexcept;

// Ctrl-Del: which rows to blank and where the (now empty) line starts afterwards.
struct LineClearPlan {
    int32_t firstRow = 0;    // first row blanked
    uint32_t rowCount = 0;   // 0: nothing to blank
    int32_t newRow = 0;      // StartRow and CursorRow after the call
};

// `bufferRows` bounds the rows blanked to those that exist; a cursor above the line's start
// (which the host should never report) blanks nothing rather than a negative count.
LineClearPlan PlanLineClear(int32_t startRow, int32_t cursorRow, int32_t bufferRows) noexcept;

}  // namespace zarnith
