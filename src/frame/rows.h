// The registration rows: every name the plug-in registers, in registration order (the order of
// CONHELP LIST and of the default name list), with the entry point behind it and its one-line
// help (null: the command prints its own usage for "/?"). Everything else is made from this list:
// the exported declarations and their shells (frame/entry.h), the registration table and the
// texts. An entry's shell finds its row from the entry's own name while compiling and hands it to
// the body, so inserting or moving a row here cannot point an error line or a help text at another
// command, and no body can speak for another.
#pragma once
#include <array>
#include <string_view>

// ROW(name, entry point, failure, help[, inside a pseudo console: see InTerminal; none where it
// works]). The failure is what the entry returns when something unexpected escapes its body.
#define ZARNITH_ROWS(ROW) \
    ROW(L"_ALTENTER", _ALTENTER, 0, L"_ALTENTER = 0 (disabled) or 1 (enabled)") \
    ROW(L"_BUFROWS", _BUFROWS, 0, L"screen buffer rows") \
    ROW(L"_BUFCOLS", _BUFCOLS, 0, L"screen buffer columns") \
    ROW(L"_BUFX", _BUFX, 0, L"cursor position in buffer") \
    ROW(L"_BUFY", _BUFY, 0, L"cursor position in buffer") \
    ROW(L"_CURCHAR", _CURCHAR, 0, L"character at mouse cursor", Fixed(kUnknown)) \
    ROW(L"_CURSOR", _CURSOR, 0, L"1 (visible) or 0") \
    ROW(L"_FGCONSOLE", _FGCONSOLE, 0, L"1 if console is foreground, else 0", Fixed(L"-1")) \
    ROW(L"_FONTINFO", _FONTINFO, 0, L"index width height weight name (suitable for SETFONT)", Fixed(kUnknown)) \
    ROW(L"_FONTINFO2", _FONTINFO2, 0, L"/Nname /Xwidth /Yheight /Wweight (suitable for TCC's FONT)", Fixed(kUnknown)) \
    ROW(L"_FSMODE", _FSMODE, 0, L"0 (windowed) or 1 (full-screen)", Fixed(L"-1")) \
    ROW(L"_MAXCON", _MAXCON, 0, L"X Y X (scroll) Y (scroll)", Fixed(L"-1 -1 -1 -1")) \
    ROW(L"_MOUSECX", _MOUSECX, 0, L"console column of mouse cursor", Fixed(kUnknown)) \
    ROW(L"_MOUSECY", _MOUSECY, 0, L"console row of mouse cursor", Fixed(kUnknown)) \
    ROW(L"_QE", _QE, 0, L"QuickEdit: 0 = disabled, 1 = enabled") \
    ROW(L"_RULER", _RULER, 0, L"ruler") \
    ROW(L"_TRAYH", _TRAYH, 0, L"task bar height") \
    ROW(L"_TRAYW", _TRAYW, 0, L"task bar width") \
    ROW(L"_WINROWS", _WINROWS, 0, L"console window rows") \
    ROW(L"_WINCOLS", _WINCOLS, 0, L"console window columns") \
    ROW(L"_XCLOSE", _XCLOSE, 0, L"close console available: 0 = no, 1 = yes", Fixed(L"-1")) \
    ROW(L"@BUFCHAR", f_BUFCHAR, 0, L"@BUFCHAR[N] = console screen buffer Unicode representation of char N") \
    ROW(L"@ICONS", f_ICONS, 0, L"number of icon groups in DLL or EXE") \
    ROW(L"ALTENTER", ALTENTER, 0, nullptr, Refused(0, L"its state and /E")) \
    ROW(L"CLUP", CLUP, 0, L"CLUP [N] clear console progressively upward 1 [N] rows") \
    ROW(L"CONHELP", CONHELP, 0, nullptr) \
    ROW(L"CONSIZE", CONSIZE, 1, nullptr, Refused(1, L"/Q")) \
    ROW(L"CSBFIND", CSBFIND, -1, nullptr) \
    ROW(L"CURSOR", CURSOR, -1, L"CURSOR OFF | ON") \
    ROW(L"CYCLE", CYCLE, 0, nullptr, Refused(0)) \
    ROW(L"FCLS", FCLS, 0, L"Clear the console fast") \
    ROW(L"GENBREAK", GENBREAK, -1, nullptr) \
    ROW(L"GOTOXY", GOTOXY, 0, L"GOTOXY < X Y > | /R(eturn) (cursor position, screen buffer coordinates)") \
    ROW(L"QE", QE, -1, nullptr) \
    ROW(L"REPAINT", REPAINT, -1, L"REPAINT [/A] <color_spec>, /A = all") \
    ROW(L"RSTRCON", RSTRCON, -1, L"RSTRCON file - restore saves console (see SAVECON)") \
    ROW(L"SAVECON", SAVECON, -1, L"SAVECON file - save console text, attributes, and metrics") \
    ROW(L"SAVECSB", SAVECSB, -1, nullptr) \
    ROW(L"SCROLL", SCROLL, 0, L"SCROLL [V|H [+|-|H(ome)|E(nd)|P(rev)|N(ext) [nn]]]  default: v+1") \
    ROW(L"SETFONT", SETFONT, 0, L"SETFONT index width height weight name ... see _FONTINFO", Refused(0)) \
    ROW(L"SETICON", SETICON, -1, nullptr, Refused(-3)) \
    ROW(L"SYSMENU", SYSMENU, -1, nullptr, Refused(0)) \
    ROW(L"XCLOSE", XCLOSE, -1, nullptr, Refused(0, L"GET_STATUS, which answers -1 quietly")) \
    ROW(L"VBEEP", VBEEP, -1, L"VBEEP [duration [frequency | system_sound]] (see BEEP)") \
    ROW(L"*KEYHANDLER", KEYHANDLER, 0, L"Binds Alt-Left/Right to CYCLE; disabled (in favor of\r\nhorizontal scrolling) when Scroll-Lock is on\r\n" L"\r\nCtrl-Down/Up - make console one row bigger/smaller\r\n")

namespace zarnith {

// A variable's text where its value cannot be known.
inline constexpr wchar_t kUnknown[] = L"N/A";

// What a name does inside a pseudo console (Windows Terminal and other ConPTY hosts), where the
// terminal owns the window: it works (on the buffer, without the window's part), or a command
// refuses with one line and a result, or a variable answers a fixed text. The console layer
// answers from here (console/pseudo_console.h); nothing else writes these answers down.
struct InTerminal {
    enum Kind : unsigned char { Works, Refused, Fixed } kind;
    int result;            // Refused: what the command returns
    const wchar_t* text;   // Fixed: the variable's text; Refused: what of the command still works
};
// Usage texts ("/?") still show for every refused command; `works` names anything else that does.
constexpr InTerminal Refused(int result, const wchar_t* works = nullptr) {
    return {InTerminal::Refused, result, works};
}
constexpr InTerminal Fixed(const wchar_t* text) { return {InTerminal::Fixed, 0, text}; }

struct RowText {
    std::wstring_view name;
    int failure;  // what the entry returns after an unexpected failure (frame/guard.h)
    const wchar_t* help;
    InTerminal inTerminal = {InTerminal::Works, 0, nullptr};
};

#define ZARNITH_ROW_TEXT(name, entry, failure, help, ...) RowText{name, failure, help, __VA_ARGS__},
inline constexpr RowText kRowTexts[] = {ZARNITH_ROWS(ZARNITH_ROW_TEXT)};
#undef ZARNITH_ROW_TEXT

inline constexpr int kRegistrationRows = int(std::size(kRowTexts));

// Each row by its entry point's name, in row order: EntryRow::CLUP is CLUP's row.
#define ZARNITH_ROW_ID(name, entry, ...) entry,
enum class EntryRow : int { ZARNITH_ROWS(ZARNITH_ROW_ID) };
#undef ZARNITH_ROW_ID

constexpr bool RowNamesAreUnique() noexcept {
    for (int a = 0; a < kRegistrationRows; ++a)
        for (int b = a + 1; b < kRegistrationRows; ++b)
            if (kRowTexts[a].name == kRowTexts[b].name) return false;
    return true;
}
static_assert(RowNamesAreUnique(), "a name registered twice would hide its second row");

// A row's name as the host and the error lines show it.
inline const wchar_t* NameOf(int r) noexcept { return kRowTexts[r].name.data(); }

// The one-line help text of a row ("" never; null when the row has none).
inline const wchar_t* HelpTextOf(int r) noexcept { return kRowTexts[r].help; }

inline const InTerminal& InTerminalOf(int r) noexcept { return kRowTexts[r].inTerminal; }

// The row an entry runs for, handed to its body as `self` by its shell (frame/entry.h): all the
// body needs to speak as its command, so no body spells a registered name.
class Row {
public:
    constexpr explicit Row(EntryRow entry) noexcept : index_(int(entry)) {}
    constexpr int index() const noexcept { return index_; }
    constexpr const wchar_t* Name() const noexcept { return kRowTexts[index_].name.data(); }
    constexpr const wchar_t* Help() const noexcept { return kRowTexts[index_].help; }
    constexpr int Failure() const noexcept { return kRowTexts[index_].failure; }
    constexpr const InTerminal& InTerminalAnswer() const noexcept { return kRowTexts[index_].inTerminal; }
    // A variable or a function: it answers through its result buffer.
    constexpr bool AnswersText() const noexcept { return Name()[0] == L'_' || Name()[0] == L'@'; }

    // "<name>: <text>" on standard error (ReportCommandError); returns -1, which the command returns.
    int Fail(const wchar_t* text, const wchar_t* argument = nullptr) const noexcept;
    // The one-line help text and a line end on standard output; returns 0.
    int ShowHelp() const noexcept;

private:
    int index_;
};

}  // namespace zarnith
