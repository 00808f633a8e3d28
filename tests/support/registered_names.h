// The 45 names the plug-in must register, in registration order, with their one-line help texts
// (null: the command prints its own usage for "/?"). Written out here so that tests compare the
// plug-in with what it must register, never with its own rows.
#pragma once
#include <string>

struct RegisteredName {
    const wchar_t* name;
    const wchar_t* help;
};

inline constexpr RegisteredName kRegisteredNames[] = {
    {L"_ALTENTER", L"_ALTENTER = 0 (disabled) or 1 (enabled)"},
    {L"_BUFROWS", L"screen buffer rows"},
    {L"_BUFCOLS", L"screen buffer columns"},
    {L"_BUFX", L"cursor position in buffer"},
    {L"_BUFY", L"cursor position in buffer"},
    {L"_CURCHAR", L"character at mouse cursor"},
    {L"_CURSOR", L"1 (visible) or 0"},
    {L"_FGCONSOLE", L"1 if console is foreground, else 0"},
    {L"_FONTINFO", L"index width height weight name (suitable for SETFONT)"},
    {L"_FONTINFO2", L"/Nname /Xwidth /Yheight /Wweight (suitable for TCC's FONT)"},
    {L"_FSMODE", L"0 (windowed) or 1 (full-screen)"},
    {L"_MAXCON", L"X Y X (scroll) Y (scroll)"},
    {L"_MOUSECX", L"console column of mouse cursor"},
    {L"_MOUSECY", L"console row of mouse cursor"},
    {L"_QE", L"QuickEdit: 0 = disabled, 1 = enabled"},
    {L"_RULER", L"ruler"},
    {L"_TRAYH", L"task bar height"},
    {L"_TRAYW", L"task bar width"},
    {L"_WINROWS", L"console window rows"},
    {L"_WINCOLS", L"console window columns"},
    {L"_XCLOSE", L"close console available: 0 = no, 1 = yes"},
    {L"@BUFCHAR", L"@BUFCHAR[N] = console screen buffer Unicode representation of char N"},
    {L"@ICONS", L"number of icon groups in DLL or EXE"},
    {L"ALTENTER", nullptr},
    {L"CLUP", L"CLUP [N] clear console progressively upward 1 [N] rows"},
    {L"CONHELP", nullptr},
    {L"CONSIZE", nullptr},
    {L"CSBFIND", nullptr},
    {L"CURSOR", L"CURSOR OFF | ON"},
    {L"CYCLE", nullptr},
    {L"FCLS", L"Clear the console fast"},
    {L"GENBREAK", nullptr},
    {L"GOTOXY", L"GOTOXY < X Y > | /R(eturn) (cursor position, screen buffer coordinates)"},
    {L"QE", nullptr},
    {L"REPAINT", L"REPAINT [/A] <color_spec>, /A = all"},
    {L"RSTRCON", L"RSTRCON file - restore saves console (see SAVECON)"},
    {L"SAVECON", L"SAVECON file - save console text, attributes, and metrics"},
    {L"SAVECSB", nullptr},
    {L"SCROLL", L"SCROLL [V|H [+|-|H(ome)|E(nd)|P(rev)|N(ext) [nn]]]  default: v+1"},
    {L"SETFONT", L"SETFONT index width height weight name ... see _FONTINFO"},
    {L"SETICON", nullptr},
    {L"SYSMENU", nullptr},
    {L"XCLOSE", nullptr},
    {L"VBEEP", L"VBEEP [duration [frequency | system_sound]] (see BEEP)"},
    {L"*KEYHANDLER", L"Binds Alt-Left/Right to CYCLE; disabled (in favor of\r\nhorizontal scrolling) when Scroll-Lock is "
                     L"on\r\n\r\nCtrl-Down/Up - make console one row bigger/smaller\r\n"},
};

// The export the host calls for a name: f_ plus a function's name without "@", the key handler
// without "*", every other name as it is.
inline std::string ExportOf(const wchar_t* name) {
    std::wstring text = name;
    if (text[0] == L'@') text = L"f_" + text.substr(1);
    if (text[0] == L'*') text = text.substr(1);
    return std::string(text.begin(), text.end());
}
