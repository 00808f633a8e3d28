// ZARNITH loads in a host that exports what TCC's TakeCmd.dll exports, and a Windows error reaches
// the user through that host's reporter. This program runs twice: beside the current stand-in
// (TCError and the C++ name) and beside the older-host one (plain `error` only).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "frame/host.h"
#include "frame/report.h"
#include "support/plugin_test.h"

namespace {

class HostErrorTest : public PluginTest {};

// What the host shows for `code` about `name`: "TCC: (Sys) " and the system's own message, then
// the quoted name on a line of its own.
std::wstring HostReport(DWORD code, const std::wstring& name) {
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 512,
                             nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) text[--n] = 0;
    return L"TCC: (Sys) " + std::wstring(text) + L"\r\n \"" + name + L"\"\r\n";
}

TEST_F(HostErrorTest, AWindowsErrorIsReportedByTheHost) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring missing = std::wstring(folder) + L"zarnith-no-such-folder\\saved.con";
    EXPECT_EQ(Run(L"RSTRCON", missing), 2);  // the host reporter's status
    EXPECT_EQ(StandIn_ErrorCalls(), 1);
    EXPECT_EQ(Err(), HostReport(ERROR_PATH_NOT_FOUND, missing));
}

TEST_F(HostErrorTest, WithoutAReporterThePluginWritesTheHostsReport) {
    // kernel32 stands for a host that has the reporter under none of its names.
    zarnith::FindHostError(GetModuleHandleW(L"kernel32.dll"));
    const int result = zarnith::ReportWindowsError(L"C:\\x\\a.con", ERROR_ACCESS_DENIED);
    zarnith::FindHostError();
    EXPECT_EQ(result, 2);
    EXPECT_EQ(StandIn_ErrorCalls(), 0);
    EXPECT_EQ(Err(), HostReport(ERROR_ACCESS_DENIED, L"C:\\x\\a.con"));
}

// Windows refuses a DLL whose import its DLL does not export (Wine would load it with a stub):
// the stand-in's loader must refuse it as well, with the code and the name.
TEST_F(HostErrorTest, ALoadIsRefusedForAnImportTheHostLacks) {
    std::ifstream in(L"ZARNITH.dll", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The import's name in the hint/name table, spelled as no host exports it.
    const size_t at = bytes.find(std::string("Printf\0", 7));
    ASSERT_NE(at, std::string::npos);
    ASSERT_FALSE(isalpha(static_cast<unsigned char>(bytes[at - 1])));
    bytes[at] = 'Q';
    TempFile copy(L"import.dll");
    std::ofstream(copy.Path().c_str(), std::ios::binary) << bytes;

    PluginHost other;
    EXPECT_FALSE(other.Load(copy.Path()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(other.MissingImports(), std::vector<std::string>{"TakeCmd.dll!Qrintf"});
    EXPECT_EQ(other.Module(), nullptr);
}

}  // namespace
