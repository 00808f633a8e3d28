#include "buffer/colour_dump.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <string>
#include <string_view>

#include "buffer/dump_frame.h"
#include "console/cells.h"
#include "console/row_text.h"
#include "console/screen.h"
#include "console/transfer.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/report.h"
#include "frame/rows.h"

namespace zarnith {

namespace {

// The attribute bits that change how a cell looks in either format: its two colours, underscore
// and reverse video. Grid lines have no equivalent, and the full-width flags say nothing about looks.
constexpr WORD kLookBits = 0x00FF | COMMON_LVB_UNDERSCORE | COMMON_LVB_REVERSE_VIDEO;

// The colours a cell shows: reverse video exchanges them.
constexpr Attribute Shown(WORD look) noexcept {
    return (look & COMMON_LVB_REVERSE_VIDEO) ? Attribute(look).Swapped() : Attribute(look);
}

constexpr bool IsHighSurrogate(wchar_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(wchar_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

// The cells of a row up to its last one that shows anything: trailing blanks go as in the plain
// dump, but not a blank that shows another background than the buffer's current attribute gives
// (a coloured bar stays a bar) or an underscore. The second half of a full-width character counts
// as blank: its first half decides.
size_t ShownCells(std::span<const CHAR_INFO> row, WORD current) noexcept {
    const int background = Shown(current).background();
    size_t n = row.size();
    for (; n > 0; --n) {
        const CHAR_INFO& cell = row[n - 1];
        const wchar_t c = cell.Char.UnicodeChar;
        const bool blank = c == L' ' || c == L'\0' || (cell.Attributes & COMMON_LVB_TRAILING_BYTE);
        if (!blank || (cell.Attributes & COMMON_LVB_UNDERSCORE) || Shown(cell.Attributes).background() != background)
            break;
    }
    return n;
}

// One character as a viewer gets it, and the look of its cell.
struct Glyph {
    char32_t code = 0;
    wchar_t units[2] = {};
    int count = 1;
    WORD look = 0;
};

// Calls each(Glyph) for the characters of a row's cells, in order. The console gives a full-width
// character in two cells (the second flagged COMMON_LVB_TRAILING_BYTE): it is written once. A
// surrogate pair over two cells is one character, and so is one that `pairs` recovered for a
// cell. Every character takes its one place and none acts: a NUL is a blank, and any other
// control character (an ESC would start a sequence in the viewer) or a lone surrogate is U+FFFD.
template <class Each>
void ForEachGlyph(std::span<const CHAR_INFO> row, const RowPairs* pairs, Each&& each) {
    for (size_t i = 0; i < row.size(); ++i) {
        const CHAR_INFO& cell = row[i];
        if (cell.Attributes & COMMON_LVB_TRAILING_BYTE) continue;
        Glyph glyph;
        glyph.look = WORD(cell.Attributes & kLookBits);
        wchar_t c = cell.Char.UnicodeChar;
        if (const char32_t code = pairs ? pairs->At(i) : 0) {
            glyph.code = code;
            glyph.units[0] = wchar_t(0xD800 + ((code - 0x10000) >> 10));
            glyph.units[1] = wchar_t(0xDC00 + (code & 0x3FF));
            glyph.count = 2;
        } else if (IsHighSurrogate(c) && i + 1 < row.size() && IsLowSurrogate(row[i + 1].Char.UnicodeChar)) {
            const wchar_t low = row[++i].Char.UnicodeChar;
            glyph.code = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
            glyph.units[0] = c;
            glyph.units[1] = low;
            glyph.count = 2;
        } else {
            if (c == L'\0') c = L' ';
            else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || IsHighSurrogate(c) || IsLowSurrogate(c)) c = 0xFFFD;
            glyph.code = c;
            glyph.units[0] = c;
        }
        each(glyph);
    }
}

// Calls row(cells, pairs) for rows 0 .. rows - 1, read as cells in the same large pieces as the
// plain dump reads characters; `pairs` (or null) holds the characters outside the BMP that the
// row's character read gives for cells read as U+FFFD.
template <class Row>
void ForEachCellRow(const ScreenBuffer& screen, int rows, int width, HostArray<CHAR_INFO>& cells, Row&& row) {
    const int chunkRows = int(cells.size() / size_t(width));
    RowPairs pairs(screen, width);
    ForEachRowChunk(0, rows, chunkRows, [&](int top, int n) {
        (void)screen.ReadRows(top, n, width, cells.data());  // an unreadable row is dumped blank
        for (int i = 0; i < n; ++i) {
            const std::span<const CHAR_INFO> cellRow(cells.data() + size_t(i) * size_t(width), size_t(width));
            row(cellRow, pairs.Read(top + i, cellRow) ? &pairs : nullptr);
        }
        return true;
    });
}

// ---- /C: select graphic rendition sequences ----

// ANSI numbers its colours red 1, green 2, blue 4; the console's attribute has blue in bit 0.
constexpr int AnsiColour(int colour) noexcept {
    return ((colour & FOREGROUND_RED) ? 1 : 0) | ((colour & FOREGROUND_GREEN) ? 2 : 0) |
           ((colour & FOREGROUND_BLUE) ? 4 : 0);
}

// The longest text one cell adds: a whole sequence ("ESC[0;97;107;4;7m", 15 units) and a unit.
constexpr size_t kMostUnitsPerCell = 16;
constexpr std::wstring_view kReset = L"\x1b[0m";

// Units a row line needs at most: every cell, the reset and a NUL.
constexpr size_t LineCapacity(size_t cells) noexcept { return cells * kMostUnitsPerCell + kReset.size() + 1; }

wchar_t* PutText(wchar_t* at, std::wstring_view text) noexcept { return std::copy(text.begin(), text.end(), at); }

wchar_t* PutNumber(wchar_t* at, int n) noexcept {
    if (n >= 100) *at++ = wchar_t(L'0' + n / 100);
    if (n >= 10) *at++ = wchar_t(L'0' + n / 10 % 10);
    *at++ = wchar_t(L'0' + n % 10);
    return at;
}

// A look in full, whatever came before it ("0" first: no underscore or reverse video remains).
wchar_t* PutSequence(wchar_t* at, WORD look) noexcept {
    const int fg = Attribute(look).foreground(), bg = Attribute(look).background();
    at = PutText(at, L"\x1b[0;");
    at = PutNumber(at, ((fg & FOREGROUND_INTENSITY) ? 90 : 30) + AnsiColour(fg));
    *at++ = L';';
    at = PutNumber(at, ((bg & FOREGROUND_INTENSITY) ? 100 : 40) + AnsiColour(bg));
    if (look & COMMON_LVB_UNDERSCORE) at = PutText(at, L";4");
    if (look & COMMON_LVB_REVERSE_VIDEO) at = PutText(at, L";7");
    *at++ = L'm';
    return at;
}

// A row's text with its looks, as a NUL-terminated line: explicit colours first, a sequence where
// the look changes, a reset at the end. A line too small for the row (never, as allocated) is empty.
void ComposeRow(std::span<const CHAR_INFO> row, const RowPairs* pairs, WORD current,
                HostArray<wchar_t>& line) noexcept {
    wchar_t* at = line.data();
    if (line.size() < LineCapacity(row.size())) {
        *at = L'\0';
        return;
    }
    bool started = false;
    WORD shown = 0;
    ForEachGlyph(row.first(ShownCells(row, current)), pairs, [&](const Glyph& glyph) {
        if (!started || glyph.look != shown) at = PutSequence(at, glyph.look);
        started = true;
        shown = glyph.look;
        *at++ = glyph.units[0];
        if (glyph.count == 2) *at++ = glyph.units[1];
    });
    if (started) at = PutText(at, kReset);
    *at = L'\0';
}

int WriteSequences(const ScreenBuffer& screen, const CONSOLE_SCREEN_BUFFER_INFO& info, HANDLE file,
                   HostArray<CHAR_INFO>& cells, HostArray<wchar_t>& line) {
    const int width = std::max<int>(info.dwSize.X, 1);
    const DumpStamp stamp = CurrentDumpStamp();
    const int count = WriteLines(file, DumpBeginLine(stamp));
    WriteLines(file, DumpFirstRule(count));
    // One row and its line end per host call, as in the plain dump.
    ForEachCellRow(screen, info.dwCursorPosition.Y + 1, width, cells,
                   [&](std::span<const CHAR_INFO> row, const RowPairs* pairs) {
                       ComposeRow(row, pairs, info.wAttributes, line);
                       Qprintf(file, L"%s\r\n", line.data());
                   });
    WriteLines(file, DumpEnd(count, stamp, info.dwSize.X));
    return 0;
}

// ---- /H: a web page ----

// Windows 10's default colours ("Campbell", microsoft/terminal src/types/colorTable.cpp), put in
// the console's attribute order, for a console whose own table cannot be read.
constexpr COLORREF kDefaultColourTable[16] = {
    RGB(0x0C, 0x0C, 0x0C), RGB(0x00, 0x37, 0xDA), RGB(0x13, 0xA1, 0x0E), RGB(0x3A, 0x96, 0xDD),
    RGB(0xC5, 0x0F, 0x1F), RGB(0x88, 0x17, 0x98), RGB(0xC1, 0x9C, 0x00), RGB(0xCC, 0xCC, 0xCC),
    RGB(0x76, 0x76, 0x76), RGB(0x3B, 0x78, 0xFF), RGB(0x16, 0xC6, 0x0C), RGB(0x61, 0xD6, 0xD6),
    RGB(0xE7, 0x48, 0x56), RGB(0xB4, 0x00, 0x9E), RGB(0xF9, 0xF1, 0xA5), RGB(0xF2, 0xF2, 0xF2),
};

// Bytes gathered before each WriteFile.
constexpr size_t kPageBlock = 64 * 1024;

// UTF-8 into a block from the host, handed to WriteFile whenever it fills. After a failed write
// nothing more is written and the first error is kept.
class PageWriter {
public:
    PageWriter(HANDLE file, HostArray<char>& block) noexcept
        : file_(file), first_(block.data()), at_(block.data()), end_(block.data() + block.size()) {}

    void Ascii(std::string_view text) noexcept {
        for (char c : text) Byte(c);
    }
    // One character, escaped where HTML would read it as markup.
    void Character(char32_t c) noexcept {
        if (size_t(end_ - at_) < kMostBytesPerCharacter) Flush();
        if (c < 0x80) {
            switch (c) {
            case U'&': return Raw("&amp;");
            case U'<': return Raw("&lt;");
            case U'>': return Raw("&gt;");
            case U'"': return Raw("&quot;");
            default: *at_++ = char(c); return;
            }
        }
        if (c < 0x800) {
            *at_++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *at_++ = char(0xE0 | (c >> 12));
            *at_++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *at_++ = char(0xF0 | (c >> 18));
            *at_++ = char(0x80 | ((c >> 12) & 0x3F));
            *at_++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *at_++ = char(0x80 | (c & 0x3F));
    }
    // UTF-16 text (the date and time): pairs joined, lone surrogates as U+FFFD.
    void Text(std::wstring_view text) noexcept {
        for (size_t i = 0; i < text.size(); ++i) {
            const wchar_t c = text[i];
            if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
                Character(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[++i]) - 0xDC00));
            else
                Character(IsHighSurrogate(c) || IsLowSurrogate(c) ? char32_t(0xFFFD) : char32_t(c));
        }
    }
    void Colour(COLORREF colour) noexcept {
        static constexpr char kHex[] = "0123456789abcdef";
        Byte('#');
        for (const int shift : {0, 8, 16}) {  // COLORREF is 0x00BBGGRR
            const int value = int((colour >> shift) & 0xFF);
            Byte(kHex[value >> 4]);
            Byte(kHex[value & 0x0F]);
        }
    }
    // Writes what is gathered; answers 0 or the first write's error.
    DWORD Flush() noexcept {
        if (error_ == ERROR_SUCCESS && at_ > first_) {
            DWORD done = 0;
            const DWORD size = DWORD(at_ - first_);
            if (!WriteFile(file_, first_, size, &done, nullptr) || done != size) {
                error_ = GetLastError();
                if (error_ == ERROR_SUCCESS) error_ = ERROR_WRITE_FAULT;
            }
        }
        at_ = first_;
        return error_;
    }

private:
    // The most one character takes: "&quot;".
    static constexpr size_t kMostBytesPerCharacter = 6;

    void Byte(char c) noexcept {
        if (at_ == end_) Flush();
        *at_++ = c;
    }
    // Only where room was made.
    void Raw(std::string_view text) noexcept { at_ = std::copy(text.begin(), text.end(), at_); }

    HANDLE file_;
    char* first_;
    char* at_;
    char* end_;
    DWORD error_ = ERROR_SUCCESS;
};

void PutStyle(PageWriter& out, WORD look, const COLORREF (&table)[16]) noexcept {
    const Attribute shown = Shown(look);
    out.Ascii("color:");
    out.Colour(table[shown.foreground()]);
    out.Ascii(";background:");
    out.Colour(table[shown.background()]);
    if (look & COMMON_LVB_UNDERSCORE) out.Ascii(";text-decoration:underline");
}

void PutPageRow(PageWriter& out, std::span<const CHAR_INFO> row, const RowPairs* pairs, WORD current,
                const COLORREF (&table)[16]) {
    bool open = false;
    WORD shown = 0;
    ForEachGlyph(row.first(ShownCells(row, current)), pairs, [&](const Glyph& glyph) {
        if (!open || glyph.look != shown) {
            if (open) out.Ascii("</span>");
            out.Ascii("<span style=\"");
            PutStyle(out, glyph.look, table);
            out.Ascii("\">");
            open = true;
            shown = glyph.look;
        }
        out.Character(glyph.code);
    });
    if (open) out.Ascii("</span>");
    out.Ascii("\n");
}

int WritePage(const ScreenBuffer& screen, const CONSOLE_SCREEN_BUFFER_INFO& info, HANDLE file, const wchar_t* name,
              HostArray<CHAR_INFO>& cells, HostArray<char>& block) {
    COLORREF table[16];
    if (!screen.ColourTable(table)) std::copy(std::begin(kDefaultColourTable), std::end(kDefaultColourTable), table);
    const DumpStamp stamp = CurrentDumpStamp();
    const std::wstring heading = L"Saved console screen buffer: " + stamp.date + L"  " + stamp.time;
    PageWriter out(file, block);
    out.Ascii("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>");
    out.Text(heading);
    out.Ascii("</title>\n</head>\n<body>\n<h1>");
    out.Text(heading);
    // The rows' box in the buffer's current colours, which the cut trailing blanks had.
    out.Ascii("</h1>\n<pre style=\"display:inline-block;padding:0.5em;");
    PutStyle(out, WORD(info.wAttributes & kLookBits & ~COMMON_LVB_UNDERSCORE), table);
    out.Ascii("\">\n");
    ForEachCellRow(screen, info.dwCursorPosition.Y + 1, std::max<int>(info.dwSize.X, 1), cells,
                   [&](std::span<const CHAR_INFO> row, const RowPairs* pairs) {
                       PutPageRow(out, row, pairs, info.wAttributes, table);
                   });
    out.Ascii("</pre>\n</body>\n</html>\n");
    if (const DWORD error = out.Flush()) return ReportWindowsError(name, error);
    return 0;
}

}  // namespace

int DumpWithColours(Row self, const wchar_t* name, bool append, ColourFormat format) {
    const ScreenBuffer screen = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!screen.Query(info)) return self.Fail(message::kSavecsbRedirected);
    // Memory first, as in the plain dump: a failure then leaves an existing file as it was.
    const int width = std::max<int>(info.dwSize.X, 1);
    HostArray<CHAR_INFO> cells(size_t(RowsPerTransfer(width)) * size_t(width));
    HostArray<wchar_t> line;
    HostArray<char> block;
    const bool output = format == ColourFormat::Sequences
                            ? line.allocate(LineCapacity(size_t(width)))
                            : block.allocate(kPageBlock);
    if (!cells || !output) return self.Fail(message::kNoMemory);
    const UniqueHandle file(
        CreateFileW(name, GENERIC_WRITE, 0, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr));
    if (!file) return self.Fail(message::kFailedToOpenFile, name);
    if (append) SetFilePointer(file.get(), 0, nullptr, FILE_END);
    if (format == ColourFormat::Sequences) return WriteSequences(screen, info, file.get(), cells, line);
    return WritePage(screen, info, file.get(), name, cells, block);
}

}  // namespace zarnith
