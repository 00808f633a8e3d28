// SETFONT and the two font variables.
#include <gtest/gtest.h>

#include <string>

#include "support/import_patch.h"
#include "support/plugin_test.h"
#include "window/fonts.h"

namespace {

const std::wstring kUsageLine = L"SETFONT index width height weight name ... see _FONTINFO\r\n";

CONSOLE_FONT_INFOEX CurrentFont() {
    CONSOLE_FONT_INFOEX f{};
    f.cbSize = sizeof f;
    GetCurrentConsoleFontEx(tconsole::Out(), FALSE, &f);
    return f;
}

// What the console would be asked to set, captured instead of set.
CONSOLE_FONT_INFOEX asked{};
int setCalls = 0;
BOOL WINAPI CaptureFont(HANDLE, BOOL, PCONSOLE_FONT_INFOEX f) {
    asked = *f;
    ++setCalls;
    return TRUE;
}
BOOL WINAPI RefuseFont(HANDLE, BOOL, PCONSOLE_FONT_INFOEX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
// A console reporting the given face name and cell size.
const wchar_t* reportedFace = L"";
BOOL WINAPI ReportFont(HANDLE, BOOL, PCONSOLE_FONT_INFOEX f) {
    f->nFont = 7;
    f->dwFontSize = {9, 18};
    f->FontWeight = 700;
    wcsncpy(f->FaceName, reportedFace, LF_FACESIZE);  // a full-length name leaves no terminator
    return TRUE;
}

class FontTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        setCalls = 0;
        asked = {};
    }
    void TearDown() override {
        CONSOLE_FONT_INFOEX f = before_;
        SetCurrentConsoleFontEx(tconsole::Out(), FALSE, &f);
        PluginTest::TearDown();
    }
    CONSOLE_FONT_INFOEX before_ = CurrentFont();
};

TEST_F(FontTest, WrongArgumentCountsAndHelpPrintTheUsageLine) {
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "SetCurrentConsoleFontEx", (void*)CaptureFont);
    ASSERT_TRUE(patch.Applied());
    for (const wchar_t* line : {L"", L"0 8 16 400", L"0 8 16 400 Consolas extra", L"/? 8 16 400 Consolas", L"/?",
                                L"0 8 16 400 ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef"}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"SETFONT", line), 0);
        EXPECT_EQ(Out(), kUsageLine) << std::wstring(line).size();
    }
    EXPECT_EQ(setCalls, 0);
}

TEST_F(FontTest, ValuesReachTheConsoleAsGiven) {
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "SetCurrentConsoleFontEx", (void*)CaptureFont);
    ASSERT_TRUE(patch.Applied());
    EXPECT_EQ(Run(L"SETFONT", L"3 65544 -2 700 \"Lucida Console\""), 0);
    ASSERT_EQ(setCalls, 1);
    EXPECT_EQ(asked.cbSize, 84u);
    EXPECT_EQ(asked.nFont, 3u);
    EXPECT_EQ(asked.dwFontSize.X, 8);  // cut to 16 bits
    EXPECT_EQ(asked.dwFontSize.Y, -2);
    EXPECT_EQ(asked.FontWeight, 700u);
    EXPECT_STREQ(asked.FaceName, L"Lucida Console");
    // Exactly 31 characters still fit.
    EXPECT_EQ(Run(L"SETFONT", L"x 8 16 400 ABCDEFGHIJKLMNOPQRSTUVWXYZabcde"), 0);
    EXPECT_EQ(asked.nFont, 0u);
    EXPECT_STREQ(asked.FaceName, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
}

// conhost sizes a font by its height alone only when its family is marked TrueType
// (src/renderer/base/FontInfoDesired.cpp, GetEngineSize); a family of 0 stretches a TrueType face
// to the typed width. Raster and unknown faces keep 0 and their width.
TEST_F(FontTest, TrueTypeFacesAreMarkedSoTheirWidthFollowsTheHeight) {
    struct Faces {
        std::wstring trueType, raster;
    } faces;
    LOGFONTW every{};
    every.lfCharSet = DEFAULT_CHARSET;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(
        screen, &every,
        [](const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM found) -> int {
            auto& f = *reinterpret_cast<Faces*>(found);
            std::wstring& slot = (type & TRUETYPE_FONTTYPE) ? f.trueType : f.raster;
            if (slot.empty() && font->lfFaceName[0] != L'@') slot = font->lfFaceName;  // '@': vertical
            return 1;
        },
        reinterpret_cast<LPARAM>(&faces), 0);
    ReleaseDC(nullptr, screen);
    ASSERT_FALSE(faces.trueType.empty()) << "no TrueType face to try";

    ImportPatch patch(Plugin().Module(), "kernel32.dll", "SetCurrentConsoleFontEx", (void*)CaptureFont);
    ASSERT_TRUE(patch.Applied());
    const std::pair<std::wstring, bool> cases[] = {
        {faces.trueType, true}, {faces.raster, false}, {L"No Such Face Anywhere", false}};
    for (const auto& [face, trueType] : cases) {
        if (face.empty()) continue;  // no raster face installed
        EXPECT_EQ(Run(L"SETFONT", L"0 12 24 400 \"" + face + L"\""), 0);
        EXPECT_EQ((asked.FontFamily & TMPF_TRUETYPE) != 0, trueType) << face;
        EXPECT_EQ(asked.dwFontSize.X, 12) << face;
    }
}

TEST_F(FontTest, ARefusalIsReportedAndStillReturnsZero) {
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "SetCurrentConsoleFontEx", (void*)RefuseFont);
    ASSERT_TRUE(patch.Applied());
    EXPECT_EQ(Run(L"SETFONT", L"0 8 16 400 Nothing"), 0);
    EXPECT_NE(Err().find(L"TCC: (Sys)"), std::wstring::npos);
}

TEST_F(FontTest, FontinfoDescribesTheCurrentFontAndFeedsSetfont) {
    const CONSOLE_FONT_INFOEX f = CurrentFont();
    std::wstring name = f.FaceName[0] ? f.FaceName : L"Terminal";
    if (name.find(L' ') != std::wstring::npos) name = L"\"" + name + L"\"";
    const std::wstring info = Var(L"_FONTINFO");
    EXPECT_EQ(info, std::to_wstring(f.nFont) + L" " + std::to_wstring(f.dwFontSize.X) + L" " +
                        std::to_wstring(f.dwFontSize.Y) + L" " + std::to_wstring(f.FontWeight) + L" " + name);
    EXPECT_EQ(Var(L"_FONTINFO2"), L"/N" + name + L" /X" + std::to_wstring(f.dwFontSize.X) + L" /Y" +
                                      std::to_wstring(f.dwFontSize.Y) + L" /W" + std::to_wstring(f.FontWeight));

    EXPECT_EQ(Run(L"SETFONT", info), 0);
    EXPECT_TRUE(Out().empty());  // five arguments: no usage line
    EXPECT_TRUE(Err().empty());
    EXPECT_EQ(Var(L"_FONTINFO"), info);
}

TEST_F(FontTest, ReportedNamesAreQuotedOutsideTheRecord) {
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "GetCurrentConsoleFontEx", (void*)ReportFont);
    ASSERT_TRUE(patch.Applied());
    reportedFace = L"";
    EXPECT_EQ(Var(L"_FONTINFO"), L"7 9 18 700 Terminal");
    reportedFace = L"Some Face";
    EXPECT_EQ(Var(L"_FONTINFO2"), L"/N\"Some Face\" /X9 /Y18 /W700");
    reportedFace = L"A Name Of Thirty-Two Characters!";  // fills the field with no terminator
    const std::wstring info = Var(L"_FONTINFO");
    EXPECT_EQ(info, L"7 9 18 700 \"A Name Of Thirty-Two Characters\"");
    EXPECT_LE(info.size(), zarnith::kFontInfoCapacity - 1);
}

}  // namespace
