// The registration rows: every name the plug-in registers, in registration order (the order of
// CONHELP LIST and of the default name list), with the entry point behind it and its one-line
// help (null: the command prints its own usage for "/?"). Everything else is made from this list:
// the exported declarations (frame/entry.h), the registration table and the texts. A row is found
// by its name (RowOf, Row), never by a number written down elsewhere, so inserting or moving a row
// here cannot point an error line or a help text at another command.
#pragma once
#include <array>
#include <string_view>

// ROW(name, entry point, help[, inside a pseudo console: see InTerminal; none where it works]);
// the registration table and the declarations take the first three, everyone else the rest.
#define ZARNITH_ROWS(ROW) \
    ROW(L"_ALTENTER", _ALTENTER, L"_ALTENTER = 0 (disabled) or 1 (enabled)") \
    ROW(L"_BUFROWS", _BUFROWS, L"screen buffer rows") \
    ROW(L"_BUFCOLS", _BUFCOLS, L"screen buffer columns") \
    ROW(L"_BUFX", _BUFX, L"cursor position in buffer") \
    ROW(L"_BUFY", _BUFY, L"cursor position in buffer") \
    ROW(L"_CURCHAR", _CURCHAR, L"character at mouse cursor", Fixed(kUnknown)) \
    ROW(L"_CURSOR", _CURSOR, L"1 (visible) or 0") \
    ROW(L"_FGCONSOLE", _FGCONSOLE, L"1 if console is foreground, else 0", Fixed(L"-1")) \
    ROW(L"_FONTINFO", _FONTINFO, L"index width height weight name (suitable for SETFONT)", Fixed(kUnknown)) \
    ROW(L"_FONTINFO2", _FONTINFO2, L"/Nname /Xwidth /Yheight /Wweight (suitable for TCC's FONT)", Fixed(kUnknown)) \
    ROW(L"_FSMODE", _FSMODE, L"0 (windowed) or 1 (full-screen)", Fixed(L"-1")) \
    ROW(L"_MAXCON", _MAXCON, L"X Y X (scroll) Y (scroll)", Fixed(L"-1 -1 -1 -1")) \
    ROW(L"_MOUSECX", _MOUSECX, L"console column of mouse cursor", Fixed(kUnknown)) \
    ROW(L"_MOUSECY", _MOUSECY, L"console row of mouse cursor", Fixed(kUnknown)) \
    ROW(L"_QE", _QE, L"QuickEdit: 0 = disabled, 1 = enabled") \
    ROW(L"_RULER", _RULER, L"ruler") \
    ROW(L"_TRAYH", _TRAYH, L"task bar height") \
    ROW(L"_TRAYW", _TRAYW, L"task bar width") \
    ROW(L"_WINROWS", _WINROWS, L"console window rows") \
    ROW(L"_WINCOLS", _WINCOLS, L"console window columns") \
    ROW(L"_XCLOSE", _XCLOSE, L"close console available: 0 = no, 1 = yes", Fixed(L"-1")) \
    ROW(L"@BUFCHAR", f_BUFCHAR, L"@BUFCHAR[N] = console screen buffer Unicode representation of char N") \
    ROW(L"@ICONS", f_ICONS, L"number of icon groups in DLL or EXE") \
    ROW(L"ALTENTER", ALTENTER, nullptr, Refused(0, L"its state and /E")) \
    ROW(L"CLUP", CLUP, L"CLUP [N] clear console progressively upward 1 [N] rows") \
    ROW(L"CONHELP", CONHELP, nullptr) \
    ROW(L"CONSIZE", CONSIZE, nullptr, Refused(1, L"/Q")) \
    ROW(L"CSBFIND", CSBFIND, nullptr) \
    ROW(L"CURSOR", CURSOR, L"CURSOR OFF | ON") \
    ROW(L"CYCLE", CYCLE, nullptr, Refused(0)) \
    ROW(L"FCLS", FCLS, L"Clear the console fast") \
    ROW(L"GENBREAK", GENBREAK, nullptr) \
    ROW(L"GOTOXY", GOTOXY, L"GOTOXY < X Y > | /R(eturn) (cursor position, screen buffer coordinates)") \
    ROW(L"QE", QE, nullptr) \
    ROW(L"REPAINT", REPAINT, L"REPAINT [/A] <color_spec>, /A = all") \
    ROW(L"RSTRCON", RSTRCON, L"RSTRCON file - restore saves console (see SAVECON)") \
    ROW(L"SAVECON", SAVECON, L"SAVECON file - save console text, attributes, and metrics") \
    ROW(L"SAVECSB", SAVECSB, nullptr) \
    ROW(L"SCROLL", SCROLL, L"SCROLL [V|H [+|-|H(ome)|E(nd)|P(rev)|N(ext) [nn]]]  default: v+1") \
    ROW(L"SETFONT", SETFONT, L"SETFONT index width height weight name ... see _FONTINFO", Refused(0)) \
    ROW(L"SETICON", SETICON, nullptr, Refused(-3)) \
    ROW(L"SYSMENU", SYSMENU, nullptr, Refused(0)) \
    ROW(L"XCLOSE", XCLOSE, nullptr, Refused(0, L"GET_STATUS, which answers -1 quietly")) \
    ROW(L"VBEEP", VBEEP, L"VBEEP [duration [frequency | system_sound]] (see BEEP)") \
    ROW(L"*KEYHANDLER", KEYHANDLER, L"Binds Alt-Left/Right to CYCLE; disabled (in favor of\r\nhorizontal scrolling) when Scroll-Lock is on\r\n" L"\r\nCtrl-Down/Up - make console one row bigger/smaller\r\n")

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
    const wchar_t* help;
    InTerminal inTerminal = {InTerminal::Works, 0, nullptr};
};

#define ZARNITH_ROW_TEXT(name, entry, help, ...) RowText{name, help, __VA_ARGS__},
inline constexpr RowText kRowTexts[] = {ZARNITH_ROWS(ZARNITH_ROW_TEXT)};
#undef ZARNITH_ROW_TEXT

inline constexpr int kRegistrationRows = int(std::size(kRowTexts));

// The row of a registered name; evaluated while compiling, so a name that is not in the list
// does not compile.
consteval int RowOf(std::wstring_view name) {
    for (int r = 0; r < kRegistrationRows; ++r)
        if (kRowTexts[r].name == name) return r;
    throw "not a registered name";
}

constexpr bool RowNamesAreUnique() noexcept {
    for (int a = 0; a < kRegistrationRows; ++a)
        for (int b = a + 1; b < kRegistrationRows; ++b)
            if (kRowTexts[a].name == kRowTexts[b].name) return false;
    return true;
}
static_assert(RowNamesAreUnique(), "a name registered twice would hide its second row");

// A row named where it is used: a parameter of this type takes the name itself (L"CSBFIND") and
// finds its row while compiling, so a name that is not in the list does not compile.
struct Row {
    int index;
    consteval Row(const wchar_t* name) : index(RowOf(name)) {}
};

// A row's name as the host and the error lines show it.
inline const wchar_t* NameOf(int r) noexcept { return kRowTexts[r].name.data(); }

// The one-line help text of a row ("" never; null when the row has none).
inline const wchar_t* HelpTextOf(int r) noexcept { return kRowTexts[r].help; }

inline const InTerminal& InTerminalOf(int r) noexcept { return kRowTexts[r].inTerminal; }

}  // namespace zarnith
