#include "buffer/text_dump.h"

#include <algorithm>
#include <cwchar>
#include <string_view>

#include "buffer/dump_frame.h"
#include "console/row_text.h"
#include "console/screen.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"

namespace zarnith {

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

int DumpText(Row self, const wchar_t* name, bool append) {
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
    const int count = WriteLines(file.get(), DumpBeginLine(stamp));
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

}  // namespace zarnith
