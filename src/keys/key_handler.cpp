#include "keys/key_handler.h"

#include <windows.h>

#include <algorithm>

#include "console/blank_rows.h"
#include "console/pseudo_console.h"
#include "console/screen.h"
#include "frame/entry.h"
#include "frame/plugin.h"
#include "frame/protocol.h"
#include "frame/services.h"
#include "frame/state.h"
#include "keys/cycle.h"

namespace zarnith {

namespace {

// Scroll Lock on: Alt-Left/Right and, with Alt held, Ctrl-Left/Right scroll sideways by the
// configured code; a left key sends the base, a right key the base + 1.
KeyPlan PlanScroll(int32_t code, const KeyContext& context) noexcept {
    KeyPlan plan;
    plan.help = HelpFlagChange::Clear;
    const uint8_t* a = context.actions;
    unsigned scroll = 0;
    switch (code) {
        case key::AltLeft: scroll = a[0]; break;
        case key::AltRight: scroll = a[1] + 1u; break;
        case key::CtrlLeft:
            if (!context.altDown) return plan;
            scroll = a[2];
            break;
        case key::CtrlRight:
            if (!context.altDown) return plan;
            scroll = a[3] + 1u;
            break;
        default: return plan;
    }
    plan.step = KeyStep::Scroll;
    plan.scrollCode = static_cast<uint16_t>(scroll);
    // Only the one-column codes repeat; a page or an end is one message.
    plan.repeat = plan.scrollCode < SB_PAGELEFT ? a[4] : 1u;
    return plan;
}

}  // namespace

KeyPlan PlanKey(int32_t code, const KeyContext& context) noexcept {
    KeyPlan plan;
    if (IsUntouchedKey(code)) return plan;
    if (code == key::F1 || code == key::CtrlF1) {
        plan.help = HelpFlagChange::Set;
        return plan;
    }
    plan.help = HelpFlagChange::Clear;
    if (context.inTakeCommandTab) return plan;

    if (code == key::CtrlDel) {
        plan.step = KeyStep::ClearLine;
        return plan;
    }
    // The other bindings act on the console window; under a pseudo console the key goes on to
    // the host (and so to the terminal), rather than to a hidden stand-in.
    if (context.pseudoConsole) return plan;
    // A maximised or full-screen window would change only its view: the key goes on to the host.
    if (context.frameFixed && (code == key::CtrlDown || code == key::CtrlUp)) return plan;
    switch (code) {
        case key::CtrlDown: plan.step = KeyStep::GrowWindow; return plan;
        case key::CtrlUp: plan.step = KeyStep::ShrinkWindow; return plan;
        default: break;
    }
    if (context.scrollLock) {
        KeyContext withActions = context;
        if (withActions.actions == nullptr) withActions.actions = kDefaultKeyActions;
        return PlanScroll(code, withActions);
    }
    if (code == key::AltLeft) plan.step = KeyStep::CycleBack;
    if (code == key::AltRight) plan.step = KeyStep::CycleForward;
    return plan;
}

namespace {

struct KeyName {
    const wchar_t* name;
    NamedKey key;
};
constexpr KeyName kKeyNames[] = {
    {L"F1", {key::F1}},
    {L"Ctrl-F1", {key::CtrlF1}},
    {L"Left", {key::Left}},
    {L"Right", {key::Right}},
    {L"Del", {key::Del}},
    {L"Ctrl-Del", {key::CtrlDel}},
    {L"Ctrl-Up", {key::CtrlUp}},
    {L"Ctrl-Down", {key::CtrlDown}},
    {L"Ctrl-Left", {key::CtrlLeft}},
    {L"Ctrl-Right", {key::CtrlRight}},
    {L"Alt-Left", {key::AltLeft}},
    {L"Alt-Right", {key::AltRight}},
    {L"Ctrl-Alt-Left", {key::CtrlLeft, true}},
    {L"Ctrl-Alt-Right", {key::CtrlRight, true}},
};

// The names are ASCII: folding a-z alone keeps the match exact whatever the user's locale (a
// locale-aware comparison such as lstrcmpiW sorts words, and treats hyphens specially).
constexpr wchar_t FoldCase(wchar_t c) noexcept { return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c; }

// Stops at the first difference, so the host's text is read no further than `known` and its end.
bool SameName(const wchar_t* known, const wchar_t* name) noexcept {
    for (;; ++known, ++name) {
        if (FoldCase(*known) != FoldCase(*name)) return false;
        if (*known == L'\0') return true;
    }
}

}  // namespace

NamedKey KeyFromName(const wchar_t* name) noexcept {
    if (name == nullptr || name[0] == L'\0') return {};
    for (const KeyName& entry : kKeyNames)
        if (SameName(entry.name, name)) return entry.key;
    return {key::Unbound};
}

LineClearPlan PlanLineClear(int32_t startRow, int32_t cursorRow, int32_t bufferRows) noexcept {
    LineClearPlan plan;
    const int32_t first = startRow < 1 ? 0 : startRow - 1;
    plan.firstRow = first;
    plan.newRow = first < 1 ? 0 : first - 1;
    // The line's rows and the row above them; 64-bit so that no pair of rows overflows.
    const int64_t count = int64_t(cursorRow) - int64_t(startRow) + 2;
    if (count < 1 || first >= bufferRows) return plan;
    plan.rowCount = static_cast<uint32_t>(std::min<int64_t>(count, int64_t(bufferRows) - first));
    return plan;
}

namespace {

void ClearLine(KeyRecord& record) noexcept {
    const ScreenBuffer out = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const bool known = out.Query(info);

    if (record.Line != nullptr) record.Line[0] = L'\0';
    record.LinePosition = record.Line;
    record.StartColumn = 0;
    record.CursorColumn = 0;
    record.Key = key::Enter;

    const LineClearPlan plan = PlanLineClear(record.StartRow, record.CursorRow, known ? info.dwSize.Y : 0);
    // A keystroke has no one to tell: rows left unblanked still show the old line.
    if (plan.rowCount > 0) (void)BlankRows(out, info, static_cast<SHORT>(plan.firstRow), plan.rowCount);
    record.StartRow = plan.newRow;
    record.CursorRow = plan.newRow;

    if (known && info.srWindow.Top > 0) {
        (void)out.ScrollWindow(-1);  // a keystroke has no one to tell
    }
}

void ResizeWindow(int rows) noexcept {
    const ScreenBuffer out = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!out.Query(info)) return;
    SMALL_RECT window = info.srWindow;
    window.Bottom = static_cast<SHORT>(window.Bottom + rows);
    const bool resized = out.SetWindow(window);
    // Shrinking takes the bottom row away; scroll one line so the cursor's row stays in view.
    // A window that could not shrink keeps its view.
    if (rows < 0 && resized && info.dwCursorPosition.Y > info.srWindow.Top)
        SendMessageW(State().consoleWindow, WM_VSCROLL, SB_LINEDOWN, 0);
}

int HandleKey(KeyRecord* record) {
    if (record == nullptr) return 0;
    // A host of version 24 and later hands a key that is no character as Key 0 and its name. The
    // record of an older host ends before the name: it is read only from a host known to have it.
    const bool byName = record->Key == 0 && State().keyNames && record->KeyName != nullptr;
    const NamedKey named = byName ? KeyFromName(record->KeyName) : NamedKey{record->Key};
    const int32_t code = named.code;
    // Characters and the editing keys arrive on every keystroke: no host or console call here.
    if (IsUntouchedKey(code)) return 0;

    KeyContext context;
    context.actions = State().keyActions;
    if (code != key::F1 && code != key::CtrlF1) {
        context.inTakeCommandTab = InTakeCommandTab();
        context.pseudoConsole = InPseudoConsole();
        context.frameFixed = (code == key::CtrlUp || code == key::CtrlDown) && FrameFixedAs() != nullptr;
        context.scrollLock = (GetKeyState(VK_SCROLL) & 1) != 0;
        if (context.scrollLock && (code == key::CtrlLeft || code == key::CtrlRight))
            context.altDown = named.alt || GetAsyncKeyState(VK_MENU) < 0;
    }
    const KeyPlan plan = PlanKey(code, context);
    if (plan.help != HelpFlagChange::Keep) WritableState().helpKey = plan.help == HelpFlagChange::Set;

    switch (plan.step) {
        case KeyStep::Pass: return 0;
        case KeyStep::ClearLine: ClearLine(*record); break;
        case KeyStep::GrowWindow: ResizeWindow(+1); break;
        case KeyStep::ShrinkWindow: ResizeWindow(-1); break;
        case KeyStep::Scroll:
            for (unsigned i = 0; i < plan.repeat; ++i) SendMessageW(State().consoleWindow, WM_HSCROLL, plan.scrollCode, 0);
            break;
        // With no other console to go to (or the real console hidden, as ConEmu keeps it) the
        // key is the host's.
        case KeyStep::CycleBack:
            if (!CycleConsoles(true)) return 0;
            break;
        case KeyStep::CycleForward:
            if (!CycleConsoles(false)) return 0;
            break;
    }
    if (plan.step != KeyStep::ClearLine) record->Key = 0;
    // With the name left, the host would go on to the key's own action; the Enter that Ctrl-Del
    // hands over is a character, which comes without a name. Only the first character is ours to
    // write: the host owns the text and its size.
    if (byName) record->KeyName[0] = L'\0';
    return 0;
}

}  // namespace

}  // namespace zarnith

ZARNITH_SHELL(KEYHANDLER, zarnith::HandleKey)
