#include "window/fonts.h"

#include <cwchar>
#include <string_view>

#include "console/pseudo_console.h"
#include "console/screen.h"
#include "frame/entry.h"
#include "frame/guard.h"
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

int PrintUsage() noexcept {
    Printf(L"%s\r\n", HelpTextOf(RowOf(L"SETFONT")));
    return 0;
}

}  // namespace

int RunSetfont(const wchar_t* line) {
    CONSOLE_FONT_INFOEX font = EmptyFontRecord();
    ArgumentArray args = SplitArguments(line);
    if (args.count() != 6 || std::wcscmp(args[1], L"/?") == 0) return PrintUsage();
    // A longer name would not fit the record; cutting it would pick a different font silently.
    const wchar_t* name = args[5];
    if (std::wcslen(name) > kFaceNameLength) return PrintUsage();
    // The terminal draws with its own font; the console's font record changes nothing there.
    if (const auto refused = PseudoConsoleAnswer(L"SETFONT")) return *refused;

    font.nFont = static_cast<DWORD>(ToLong(args[1]));
    font.dwFontSize.X = static_cast<SHORT>(ToLong(args[2]));
    font.dwFontSize.Y = static_cast<SHORT>(ToLong(args[3]));
    font.FontWeight = static_cast<UINT>(ToLong(args[4]));
    CopyBounded(font.FaceName, LF_FACESIZE, name);

    const ScreenBuffer console = OpenConsoleOutput();
    if (!console.SetFont(font)) ReportWindowsError();
    return 0;
}

int DescribeConsoleFont(wchar_t* result, int style) noexcept {
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

ZARNITH_ENTRY int SETFONT(LPWSTR line) noexcept {
    return zarnith::Guarded(L"SETFONT", [&] { return zarnith::RunSetfont(line); }, 0);
}

ZARNITH_ENTRY int _FONTINFO(LPWSTR result) noexcept {
    return zarnith::GuardedResult(L"_FONTINFO", result, [&] { return zarnith::DescribeConsoleFont(result, 0); });
}

ZARNITH_ENTRY int _FONTINFO2(LPWSTR result) noexcept {
    return zarnith::GuardedResult(L"_FONTINFO2", result, [&] { return zarnith::DescribeConsoleFont(result, 1); });
}
