#include "frame/report.h"

#include <new>
#include <string>

#include "frame/messages.h"
#include "frame/rows.h"

namespace zarnith {

int ReportCommandError(int row, const wchar_t* text, const wchar_t* argument) noexcept {
    try {
        std::wstring line = NameOf(row);
        line += L": ";
        line += text;
        line += L"\r\n";
        ReportLine(line.c_str(), argument);
    } catch (const std::bad_alloc&) {
        ReportLine(message::kCommandErrorLine, NameOf(row), message::kNoMemory);
    }
    return -1;
}

int ReportWindowsError(const wchar_t* subject, DWORD code) noexcept {
    return HostError(static_cast<int>(code != 0 ? code : ERROR_GEN_FAILURE), subject);
}

void ReportUnexpected(const wchar_t* name, const wchar_t* what) noexcept {
    ReportLine(message::kUnexpectedLine, name, what);
}

}  // namespace zarnith
