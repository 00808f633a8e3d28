#include "buffer/text_dump.h"

#include <algorithm>
#include <optional>
#include <cwchar>

#include "buffer/colour_dump.h"
#include "console/row_text.h"
#include "console/screen.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/rows.h"
#include "frame/report.h"

namespace zarnith {

namespace {

constexpr const wchar_t* kHelp =
    L"Save the contents of the console screen buffer to a file\r\n\r\n  SAVECSB [/A] [/C | /H] file\r\n\r\n"
    L"    File is created if not found\r\n    /A : append to file (else write new file)\r\n"
    L"    /C : keep the colours as ANSI sequences (TYPE the file in a console with VT processing)\r\n"
    L"    /H : write a web page in the console's colours (a new file; not with /A)\r\n";

}  // namespace

DumpStamp CurrentDumpStamp() {
    DumpStamp stamp;
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    wchar_t date[32] = {};
    wchar_t time[16] = {};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 32) > 0) stamp.date = date;
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, 16) > 0) stamp.time = time;
    return stamp;
}

std::wstring DumpBeginLine(const DumpStamp& stamp) {
    return L"Begin saved console screen buffer: " + stamp.date + L"  " + stamp.time + L"\r\n";
}

std::wstring DumpFirstRule(int count) { return std::wstring(size_t(std::max(count - 2, 0)), L'-') + L"\r\n\r\n"; }

namespace {
// Characters of a row's text: trailing blanks removed from the whole row, then cut at a NUL cell,
// as a row written with "%s" after trimming ends ("ab  ", NUL, "cd" keeps its two blanks). Plain
// loops: this runs over every cell of the buffer.
size_t RowTextLength(std::wstring_view cells) noexcept {
    size_t trimmed = cells.size();
    while (trimmed > 0 && cells[trimmed - 1] == L' ') --trimmed;
    size_t n = 0;
    while (n < trimmed && cells[n] != L'\0') ++n;
    return n;
}
}  // namespace

std::wstring DumpRowLine(std::wstring_view cells) {
    return std::wstring(cells.substr(0, RowTextLength(cells))) + L"\r\n";
}

std::wstring DumpEnd(int count, const DumpStamp& stamp, int width) {
    return std::wstring(size_t(std::max(count - 4, 0)), L'-') + L"\r\nEnd saved console screen buffer: " +
           stamp.date + L"  " + stamp.time + L"\r\n\r\n" + std::wstring(size_t(std::max(width, 0)), L'*') +
           L"\r\n\r\n";
}

std::wstring ComposeDump(const std::vector<std::wstring>& rows, const DumpStamp& stamp, int width) {
    const std::wstring begin = DumpBeginLine(stamp);
    const int count = int(begin.size());
    std::wstring dump = begin + DumpFirstRule(count);
    for (const auto& row : rows) dump += DumpRowLine(row);
    return dump + DumpEnd(count, stamp, width);
}

namespace {

int Dump(Row self, const wchar_t* name, bool append) {
    const ScreenBuffer screen = OpenStandardOutputBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!screen.Query(info)) return self.Fail(message::kSavecsbRedirected);
    // Memory first: a failure then leaves an existing file as it was.
    const int width = std::max<int>(info.dwSize.X, 1);
    const int rows = info.dwCursorPosition.Y + 1;
    RowReader reader(screen, width);
    HostArray<wchar_t> row(size_t(width) + 1);  // one row's text and its terminator
    if (!reader || !row) return self.Fail(message::kNoMemory);
    const UniqueHandle file(
        CreateFileW(name, GENERIC_WRITE, 0, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr));
    if (!file) return self.Fail(message::kFailedToOpenFile, name);
    if (append) SetFilePointer(file.get(), 0, nullptr, FILE_END);

    const DumpStamp stamp = CurrentDumpStamp();
    const int count = Qprintf(file.get(), L"Begin saved console screen buffer: %s  %s\r\n", stamp.date.c_str(),
                              stamp.time.c_str());
    // The console is read in large pieces, but the host is handed one line per call: one row
    // and its line end is the most one call is known to carry.
    WriteLines(file.get(), DumpFirstRule(count));
    // A full-width character is written once, whatever the console's character read makes of it.
    reader.ForEachRow(0, rows, [&](int, const ScreenRow& text) {
        const size_t length = RowTextLength(text.text);
        wmemcpy(row.data(), text.text.data(), length);
        row[length] = L'\0';
        Qprintf(file.get(), L"%s\r\n", row.data());
        return true;
    });
    WriteLines(file.get(), DumpEnd(count, stamp, info.dwSize.X));
    return 0;
}

}  // namespace

int RunSavecsb(Row self, wchar_t* line) {
    const ArgumentArray args = SplitArguments(line);
    if (!args) return self.Fail(message::kNoMemory);
    if (args.count() < 2) {
        PrintLines(kHelp);
        return -1;
    }
    bool append = false;
    std::optional<ColourFormat> colours;
    bool twoFormats = false;
    const wchar_t* name = nullptr;
    for (int i = 1; i < args.count(); ++i) {
        if (lstrcmpiW(args[i], L"/A") == 0) {
            append = true;
        } else if (lstrcmpiW(args[i], L"/C") == 0) {
            twoFormats = twoFormats || colours == ColourFormat::Page;
            colours = ColourFormat::Sequences;
        } else if (lstrcmpiW(args[i], L"/H") == 0) {
            twoFormats = twoFormats || colours == ColourFormat::Sequences;
            colours = ColourFormat::Page;
        } else if (lstrcmpiW(args[i], L"/?") == 0) {
            PrintLines(kHelp);
            return 0;
        } else if (name != nullptr) {
            name = nullptr;  // two file names: a syntax error
            break;
        } else {
            name = args[i];
        }
    }
    if (name == nullptr || twoFormats) return self.Fail(message::kSavecsbSyntax);
    if (!colours) return Dump(self, name, append);
    // A page is one whole document: a second one appended would not be a page.
    if (append && *colours == ColourFormat::Page)
        return self.Fail(message::kSavecsbAppendPage);
    return DumpWithColours(self, name, append, *colours);
}

}  // namespace zarnith

ZARNITH_SHELL(SAVECSB, zarnith::RunSavecsb)
