#include "window/fonts.h"

#include <cwchar>
#include <string_view>

#include "console/pseudo_console.h"
#include "console/screen.h"
#include "frame/entry.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/rows.h"
#include "frame/report.h"
#include "frame/text.h"

namespace zarnith {

namespace {

CONSOLE_FONT_INFOEX EmptyFontRecord() noexcept {
    CONSOLE_FONT_INFOEX font{};
    font.cbSize = sizeof font;
    return font;
}

// The family conhost would give `face`: its own font list keeps GDI's tmPitchAndFamily for each
// face (src/propsheet/misc.cpp), and only a family marked TMPF_TRUETYPE makes it size the font by
// its height alone (src/renderer/base/FontInfoDesired.cpp, GetEngineSize). A family of 0 (a
// raster face, an unknown one, or the default raster font's empty name) keeps the typed width.
BYTE FamilyOf(const wchar_t* face) noexcept {
    if (face[0] == L'\0') return 0;  // an empty name would enumerate every face
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    CopyBounded(wanted.lfFaceName, LF_FACESIZE, face);
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 0;
    BYTE family = 0;
    EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW* metrics, DWORD type, LPARAM found) -> int {
            if ((type & TRUETYPE_FONTTYPE) == 0) return 1;
            *reinterpret_cast<BYTE*>(found) = BYTE(metrics->tmPitchAndFamily | TMPF_TRUETYPE);
            return 0;
        },
        reinterpret_cast<LPARAM>(&family), 0);
    ReleaseDC(nullptr, screen);
    return family;
}

}  // namespace

int RunSetfont(Row self, const wchar_t* line) {
    CONSOLE_FONT_INFOEX font = EmptyFontRecord();
    ArgumentArray args = SplitArguments(line);
    if (args.count() != 6 || std::wcscmp(args[1], L"/?") == 0) return self.ShowHelp();
    // A longer name would not fit the record; cutting it would pick a different font silently.
    const wchar_t* name = args[5];
    if (std::wcslen(name) > kFaceNameLength) return self.ShowHelp();
    // The terminal draws with its own font; the console's font record changes nothing there.
    if (const auto refused = PseudoConsoleAnswer(self)) return *refused;

    font.nFont = static_cast<DWORD>(ToLong(args[1]));
    font.dwFontSize.X = static_cast<SHORT>(ToLong(args[2]));
    font.dwFontSize.Y = static_cast<SHORT>(ToLong(args[3]));
    font.FontWeight = static_cast<UINT>(ToLong(args[4]));
    CopyBounded(font.FaceName, LF_FACESIZE, name);
    font.FontFamily = FamilyOf(name);

    const ScreenBuffer console = OpenConsoleOutput();
    if (!console.SetFont(font)) ReportWindowsError();
    return 0;
}

int DescribeConsoleFont(Row self, wchar_t* result, int style) noexcept {
    // conhost keeps its starting font there and never draws with it; the terminal's font is out
    // of reach, so neither record would say what the user sees.
    if (PseudoConsoleAnswer(self, result)) return 0;
    const CONSOLE_FONT_INFOEX font = OpenConsoleOutput().CurrentFont();
    // Quoting can add two characters, which the record's field has no room for.
    wchar_t name[kFaceNameLength + 3] = {};
    const std::wstring_view face(font.FaceName, wcsnlen(font.FaceName, kFaceNameLength));
    if (face.empty()) {
        CopyBounded(name, std::size(name), L"Terminal");
    } else {
        CopyBounded(name, std::size(name), face);
        AddQuotes(name);
    }
    const int width = font.dwFontSize.X, height = font.dwFontSize.Y;
    if (style == 0)
        Sprintf(result, L"%lu %u %u %u %s", static_cast<unsigned long>(font.nFont), width, height, font.FontWeight,
                name);
    else
        Sprintf(result, L"/N%s /X%u /Y%u /W%u", name, width, height, font.FontWeight);
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(SETFONT, zarnith::RunSetfont)
ZARNITH_SHELL(_FONTINFO, [](zarnith::Row self, LPWSTR result) { return zarnith::DescribeConsoleFont(self, result, 0); })
ZARNITH_SHELL(_FONTINFO2, [](zarnith::Row self, LPWSTR result) { return zarnith::DescribeConsoleFont(self, result, 1); })
