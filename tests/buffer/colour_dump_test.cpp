// SAVECSB /C and /H: rows of known characters and colours are dumped, the file is parsed back into
// cells, and every cell is compared with what the console holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "support/import_patch.h"
#include "support/plugin_test.h"

namespace {

// The bits a dump keeps of an attribute: both colours, underscore, reverse video.
constexpr WORD kLook = 0x00FF | COMMON_LVB_UNDERSCORE | COMMON_LVB_REVERSE_VIDEO;
constexpr WORD kCurrent = 0x07;  // the buffer's current attribute in these tests

struct Cell {
    char32_t code = 0;
    WORD look = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};
using Row = std::vector<Cell>;

void PrintTo(const Cell& c, std::ostream* os) { *os << "U+" << std::hex << uint32_t(c.code) << "/" << c.look; }

// A file (UTF-8, strictly) as code points, split at "\n" (a "\r" before it dropped).
std::vector<std::u32string> Lines(const std::string& bytes) {
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), wide.data(),
                                           int(wide.size()))));
    EXPECT_TRUE(bytes.empty() || !wide.empty()) << "not UTF-8";
    std::vector<std::u32string> lines(1);
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        if (c == U'\n') {
            if (!lines.back().empty() && lines.back().back() == U'\r') lines.back().pop_back();
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

// ANSI numbers colours red 1, green 2, blue 4; the console's attribute constants name the bits.
WORD ConsoleColour(int ansi) {
    return WORD((ansi & 1 ? FOREGROUND_RED : 0) | (ansi & 2 ? FOREGROUND_GREEN : 0) | (ansi & 4 ? FOREGROUND_BLUE : 0));
}

// One /C row line back into cells. Strict: a character needs explicit colours set since the last
// reset, every parameter must be one the dump may write, and a row with text ends with ESC[0m.
Row ParseSequenceRow(const std::u32string& line, int* sequences) {
    Row row;
    WORD look = 0;
    bool fg = false, bg = false, resetLast = false;
    *sequences = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != U'\x1b') {
            EXPECT_TRUE(fg && bg) << "a character in the viewer's own colours at " << i;
            row.push_back({line[i], look});
            resetLast = false;
            continue;
        }
        const size_t end = line.find(U'm', i);
        EXPECT_TRUE(i + 1 < line.size() && line[i + 1] == U'[' && end != std::u32string::npos) << "not an SGR sequence";
        if (end == std::u32string::npos) break;
        ++*sequences;
        std::string params(line.begin() + long(i) + 2, line.begin() + long(end));
        params += ';';
        for (size_t at = 0, semi; (semi = params.find(';', at)) != std::string::npos; at = semi + 1) {
            const int n = std::stoi(params.substr(at, semi - at));
            if (n == 0) look = 0, fg = bg = false, resetLast = true;
            else if (n == 4) look |= COMMON_LVB_UNDERSCORE;
            else if (n == 7) look |= COMMON_LVB_REVERSE_VIDEO;
            else if (n >= 30 && n <= 37) look |= ConsoleColour(n - 30), fg = true;
            else if (n >= 90 && n <= 97) look |= ConsoleColour(n - 90) | FOREGROUND_INTENSITY, fg = true;
            else if (n >= 40 && n <= 47) look |= WORD(ConsoleColour(n - 40) << 4), bg = true;
            else if (n >= 100 && n <= 107) look |= WORD(ConsoleColour(n - 100) << 4 | BACKGROUND_INTENSITY), bg = true;
            else ADD_FAILURE() << "unexpected SGR parameter " << n;
        }
        i = end;
    }
    EXPECT_TRUE(row.empty() || (resetLast && line.size() >= 4 && line.substr(line.size() - 4) == U"\x1b[0m"))
        << "row not reset at its end";
    return row;
}

struct Page {
    std::u32string title, heading;
    std::vector<Row> rows;
};

COLORREF Hex(const std::string& rrggbb) {
    const unsigned long v = std::stoul(rrggbb, nullptr, 16);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// The console's colour table, as the test reads it.
std::vector<COLORREF> ColourTable() {
    CONSOLE_SCREEN_BUFFER_INFOEX info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetConsoleScreenBufferInfoEx(tconsole::Out(), &info));
    return std::vector<COLORREF>(std::begin(info.ColorTable), std::end(info.ColorTable));
}

// A span's style back into a look, through the console's colour table: the foreground is the
// entry its colour is found at, likewise the background (so the table must hold distinct colours).
WORD LookOfStyle(const std::string& style, const std::vector<COLORREF>& table) {
    static const std::regex form("color:#([0-9a-f]{6});background:#([0-9a-f]{6})(;text-decoration:underline)?");
    std::smatch m;
    if (!std::regex_match(style, m, form)) {
        ADD_FAILURE() << "style " << style;
        return 0xFFFF;
    }
    auto index = [&](COLORREF c) { return int(std::find(table.begin(), table.end(), c) - table.begin()); };
    return WORD(index(Hex(m[1].str())) | (index(Hex(m[2].str())) << 4) | (m[3].matched ? COMMON_LVB_UNDERSCORE : 0));
}

// A small, strict reading of the page: only the tags the dump writes, each closed in order, every
// "&" an entity, no raw "<" or ">" in text, every character of the rows inside a span.
Page ParsePage(const std::string& bytes, const std::vector<COLORREF>& table) {
    std::u32string text;
    for (const auto& line : Lines(bytes)) text += line + U"\n";
    Page page;
    std::vector<std::string> open;
    WORD look = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == U'<') {
            const size_t close = text.find(U'>', i);
            if (close == std::u32string::npos) {
                ADD_FAILURE() << "unclosed tag";
                break;
            }
            const std::string tag(text.begin() + long(i) + 1, text.begin() + long(close));
            i = close;
            const std::string name = tag.substr(0, tag.find(' '));
            if (tag == "!DOCTYPE html" || tag == "meta charset=\"utf-8\"") continue;
            if (name[0] == '/') {
                EXPECT_TRUE(!open.empty() && open.back() == name.substr(1)) << "misnested </" << name << ">";
                if (!open.empty()) open.pop_back();
                continue;
            }
            static const std::vector<std::string> known = {"html", "head", "title", "body", "h1", "pre", "span"};
            EXPECT_NE(std::find(known.begin(), known.end(), name), known.end()) << "tag <" << tag << ">";
            if (name == "span") {
                EXPECT_TRUE(!open.empty() && open.back() == "pre") << "span outside the rows";
                EXPECT_EQ(tag.rfind("span style=\"", 0), 0u);
                EXPECT_EQ(tag.back(), '"');
                look = LookOfStyle(tag.substr(12, tag.size() - 13), table);
            }
            if (name == "pre") {
                if (i + 1 < text.size() && text[i + 1] == U'\n') ++i;  // HTML drops it
                page.rows.emplace_back();
            }
            open.push_back(name);
            continue;
        }
        EXPECT_TRUE(c != U'>') << "raw > in text";
        if (c == U'&') {
            static const std::vector<std::pair<std::u32string, char32_t>> entities = {
                {U"&amp;", U'&'}, {U"&lt;", U'<'}, {U"&gt;", U'>'}, {U"&quot;", U'"'}};
            bool known = false;
            for (const auto& [name, value] : entities) {
                if (text.compare(i, name.size(), name) == 0) {
                    c = value, i += name.size() - 1, known = true;
                    break;
                }
            }
            EXPECT_TRUE(known) << "unescaped &";
        }
        const std::string where = open.empty() ? "" : open.back();
        if (where == "title") page.title += c;
        else if (where == "h1") page.heading += c;
        else if (where == "pre" && c == U'\n') page.rows.emplace_back();
        else if (where == "span") page.rows.back().push_back({c, look});
        else EXPECT_TRUE(c == U'\n') << "text outside the page's parts";
    }
    EXPECT_TRUE(open.empty()) << "unclosed <" << open.back() << ">";
    EXPECT_TRUE(!page.rows.empty() && page.rows.back().empty());  // after the last row's "\n"
    if (!page.rows.empty()) page.rows.pop_back();
    return page;
}

// Rows written into the console: each run of text in one attribute.
struct TextRun {
    std::wstring text;
    WORD attribute;
};

class ColourDumpTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(40, 50, 40, 20);
        SetConsoleTextAttribute(tconsole::Out(), kCurrent);
        tconsole::Fill(L' ', kCurrent);
        std::vector<TextRun> colours;  // all 16 foregrounds and all 16 backgrounds
        for (int i = 0; i < 16; ++i) colours.push_back({{L"0123456789ABCDEF"[i]}, WORD(i | (15 - i) << 4)});
        Write(0, colours);
        // Underscore, reverse, both; grid lines change nothing that is shown; markup characters.
        Write(1, {{L"aa", kCurrent},
                  {L"bb", 0x1E | COMMON_LVB_UNDERSCORE},
                  {L"cc", 0x2C | COMMON_LVB_REVERSE_VIDEO},
                  {L"dd", 0x2C | COMMON_LVB_REVERSE_VIDEO | COMMON_LVB_GRID_HORIZONTAL},
                  {L"ee", 0x70 | COMMON_LVB_UNDERSCORE | COMMON_LVB_REVERSE_VIDEO},
                  {L"<&>\"", kCurrent}});
        // Control characters, NUL, a lone surrogate, a surrogate pair in two cells, then a bar of
        // blanks in another background, which stays; the blanks after it are in the current one and go.
        Write(2, {{std::wstring(L"x\x1b\t", 3) + L'\0' + L'\xDC00', 0x0A}, {L"\xD83D\xDE00", 0x0B}, {L"   ", 0x40}});
        Write(4, {{L"  z", 0x1F}, {L" ", kCurrent | COMMON_LVB_REVERSE_VIDEO}});  // a reversed blank shows grey
        tconsole::SetCursor(0, 4);
        // The same rows as they should read back: one character per cell, NUL a blank, controls U+FFFD.
        shown_ = {U"0123456789ABCDEF", U"aabbccddee<&>\"", U"x\xFFFD\xFFFD \xFFFD\U0001F600   ", U"", U"  z "};
    }

    void Write(SHORT y, const std::vector<TextRun>& runs) {
        SHORT x = 0;
        for (const auto& run : runs) {
            tconsole::WriteText(x, y, run.text);
            tconsole::WriteAttributes(x, y, std::vector<WORD>(run.text.size(), run.attribute));
            x = SHORT(x + run.text.size());
        }
    }

    // What each row should show, with the look of each character's (first) cell as the console holds it.
    std::vector<Row> Expected() const {
        std::vector<Row> rows;
        for (SHORT y = 0; y < SHORT(shown_.size()); ++y) {
            const std::vector<WORD> attributes = tconsole::ReadAttributes(0, y, 40);
            Row row;
            size_t cell = 0;
            for (char32_t c : shown_[size_t(y)]) {
                row.push_back({c, WORD(attributes[cell] & kLook)});
                cell += c > 0xFFFF ? 2 : 1;
            }
            rows.push_back(row);
        }
        return rows;
    }

    std::string Dump(const std::wstring& switches, const TempFile& file) {
        EXPECT_EQ(Run(L"SAVECSB", switches + L" " + file.Path()), 0) << Err();
        return file.Bytes();
    }

    std::vector<std::u32string> shown_;
};

// Runs of one look in a row: the dump writes a sequence for each, then the reset, and no more.
int Runs(const Row& row) {
    int runs = 0;
    for (size_t i = 0; i < row.size(); ++i) runs += i == 0 || row[i].look != row[i - 1].look;
    return runs;
}

TEST_F(ColourDumpTest, SequencesGiveBackEveryCell) {
    TempFile file(L"colours");
    StandIn_ClearOutput();
    const auto lines = Lines(Dump(L"/C", file));
    EXPECT_EQ(StandIn_MostLineEnds(), 1);  // one row per host call, as the plain dump
    const std::vector<Row> expected = Expected();
    // Begin line, rule, empty line, the rows, rule, end line, empty, stars, empty, and the final "\n".
    ASSERT_EQ(lines.size(), 3 + expected.size() + 6);
    EXPECT_EQ(lines[0].rfind(U"Begin saved console screen buffer: ", 0), 0u);
    EXPECT_EQ(lines[3 + expected.size() + 3], std::u32string(40, U'*'));
    for (size_t y = 0; y < expected.size(); ++y) {
        SCOPED_TRACE("row " + std::to_string(y));
        int sequences = 0;
        EXPECT_EQ(ParseSequenceRow(lines[3 + y], &sequences), expected[y]);
        EXPECT_EQ(sequences, expected[y].empty() ? 0 : Runs(expected[y]) + 1);
    }
}

TEST_F(ColourDumpTest, PageGivesBackEveryCellInTheConsolesColours) {
    TempFile file(L"page");
    const std::string bytes = Dump(L"/H", file);
    EXPECT_EQ(bytes.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_NE(bytes.find("<meta charset=\"utf-8\">"), std::string::npos);
    const std::vector<COLORREF> table = ColourTable();
    const Page page = ParsePage(bytes, table);
    std::vector<Row> expected = Expected();
    // A page shows reverse video as exchanged colours.
    for (auto& row : expected) {
        for (auto& cell : row) {
            const int fg = cell.look & 0x0F, bg = cell.look >> 4 & 0x0F;
            if (cell.look & COMMON_LVB_REVERSE_VIDEO) cell.look = WORD(fg << 4 | bg | (cell.look & COMMON_LVB_UNDERSCORE));
        }
    }
    EXPECT_EQ(page.rows, expected);
    EXPECT_EQ(page.title, page.heading);
    EXPECT_EQ(page.title.rfind(U"Saved console screen buffer: ", 0), 0u);
}

// conhost gives a full-width character in two cells, the second flagged COMMON_LVB_TRAILING_BYTE
// (microsoft/terminal src/host/directio.cpp:387-391, ft_host/CJK_DbcsTests.cpp:298-299); Wine
// gives one. This read marks each pair of cells holding the same CJK character the way conhost does.
BOOL WINAPI PairedRead(HANDLE console, CHAR_INFO* cells, COORD size, COORD at, SMALL_RECT* region) {
    if (!ReadConsoleOutputW(console, cells, size, at, region)) return FALSE;
    for (SHORT y = 0; y < size.Y; ++y) {
        CHAR_INFO* row = cells + size_t(y) * size_t(size.X);
        for (SHORT x = 0; x + 1 < size.X; ++x) {
            if (row[x].Char.UnicodeChar == L'\x4E2D' && row[x + 1].Char.UnicodeChar == L'\x4E2D') {
                row[x].Attributes |= COMMON_LVB_LEADING_BYTE;
                row[++x].Attributes |= COMMON_LVB_TRAILING_BYTE;
            }
        }
    }
    return TRUE;
}

TEST_F(ColourDumpTest, FullWidthCharacterIsWrittenOnce) {
    Write(3, {{L"a\x4E2D\x4E2D", 0x1E}, {L"b\x4E2D\x4E2D", 0x2F}});  // ends in one: the cut keeps it whole
    ImportPatch patch(Plugin().Module(), nullptr, "ReadConsoleOutputW", reinterpret_cast<void*>(PairedRead));
    ASSERT_TRUE(patch.Applied());
    const Row expected = {{U'a', 0x1E}, {U'\x4E2D', 0x1E}, {U'b', 0x2F}, {U'\x4E2D', 0x2F}};
    TempFile colours(L"wide"), page(L"wide-page");
    int sequences = 0;
    EXPECT_EQ(ParseSequenceRow(Lines(Dump(L"/C", colours))[3 + 3], &sequences), expected);
    EXPECT_EQ(ParsePage(Dump(L"/H", page), ColourTable()).rows.at(3), expected);
}

// Each line with "%f" for the test's file; what the file holds afterwards.
enum class Holds { Nothing, Sequences, Page };
struct ArgumentCase {
    const wchar_t* line;
    int result;
    const wchar_t* error;
    Holds holds;
};

TEST_F(ColourDumpTest, Arguments) {
    const wchar_t* syntax = L"SAVECSB: Syntax: SAVECSB [/A] [/C | /H] file\r\n";
    const ArgumentCase cases[] = {
        {L"/C /H %f", -1, syntax, Holds::Nothing},
        {L"%f /h /c", -1, syntax, Holds::Nothing},
        {L"/A /H %f", -1, L"SAVECSB: /A cannot be used with /H (a web page is written as a new file)\r\n",
         Holds::Nothing},
        {L"/h %f", 0, L"", Holds::Page},
        {L"%f /C", 0, L"", Holds::Sequences},
        {L"/c /a %f", 0, L"", Holds::Sequences},
        {L"/C %f other.txt", -1, syntax, Holds::Nothing},
        {L"/H", -1, syntax, Holds::Nothing},
        {L"/H %f /?", 0, L"", Holds::Nothing},
    };
    for (const auto& c : cases) {
        TempFile file(L"args");
        std::wstring line = c.line;
        if (const size_t at = line.find(L"%f"); at != std::wstring::npos) line.replace(at, 2, file.Path());
        SCOPED_TRACE(line);
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"SAVECSB", line), c.result);
        EXPECT_EQ(Err(), c.error);
        const std::string bytes = file.Exists() ? file.Bytes() : "";
        EXPECT_EQ(file.Exists(), c.holds != Holds::Nothing);
        EXPECT_EQ(bytes.find("\x1b[") != std::string::npos, c.holds == Holds::Sequences);
        EXPECT_EQ(bytes.rfind("<!DOCTYPE html>", 0) == 0, c.holds == Holds::Page);
    }
}

DWORD failedWrites = 0;
BOOL WINAPI FullDisk(HANDLE, LPCVOID, DWORD, LPDWORD done, LPOVERLAPPED) {
    ++failedWrites;
    if (done) *done = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(ColourDumpTest, PageThatCannotBeWrittenIsAnError) {
    TempFile file(L"full");
    ImportPatch patch(Plugin().Module(), nullptr, "WriteFile", reinterpret_cast<void*>(FullDisk));
    ASSERT_TRUE(patch.Applied());
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"SAVECSB", L"/H " + file.Path()), 2);  // what the stand-in's error answers
    EXPECT_GE(failedWrites, 1u);
    EXPECT_EQ(Err().rfind(L"TCC: (Sys)", 0), 0u) << Err();
    EXPECT_NE(Err().find(file.Path()), std::wstring::npos) << Err();
}

}  // namespace
