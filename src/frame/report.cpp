#include "frame/report.h"

#include <new>
#include <string>

#include "frame/messages.h"
#include "frame/rows.h"

namespace zarnith {

int ReportCommandError(Row row, const wchar_t* text, const wchar_t* argument) noexcept {
    try {
        std::wstring line = row.Name();
        line += L": ";
        line += text;
        line += L"\r\n";
        ReportLine(line.c_str(), argument);
    } catch (const std::bad_alloc&) {
        ReportLine(message::kCommandErrorLine, row.Name(), message::kNoMemory);
    }
    return -1;
}

int Row::Fail(const wchar_t* text, const wchar_t* argument) const noexcept {
    return ReportCommandError(*this, text, argument);
}

int Row::ShowHelp() const noexcept {
    Printf(L"%s\r\n", Help());
    return 0;
}

int ReportWindowsError(const wchar_t* subject, DWORD code) noexcept {
    return HostError(static_cast<int>(code != 0 ? code : ERROR_GEN_FAILURE), subject);
}

void ReportUnexpected(const wchar_t* name, const wchar_t* what) noexcept {
    ReportLine(message::kUnexpectedLine, name, what);
}

}  // namespace zarnith
