#include "support/plugin_test.h"

#include <fstream>
#include <iterator>

namespace {
PluginHost host;
bool loaded = false;
}  // namespace

PluginHost& Plugin() {
    if (!loaded) loaded = host.Load(L"ZARNITH.dll");
    return host;
}

bool ReloadPlugin() {
    host.Unload();
    loaded = host.Load(L"ZARNITH.dll");
    return loaded;
}

void PluginTest::SetUp() {
    StandIn_Reset();
    StandIn_SetEcho(0);
    StandIn_ClearOutput();
    std::string missing;
    for (const std::string& name : Plugin().MissingImports()) missing += " " + name;
    ASSERT_TRUE(Plugin().Module() != nullptr) << "ZARNITH.dll did not load; missing imports:" << missing;
    saved_ = new tconsole::Snapshot();
}

void PluginTest::TearDown() {
    if (saved_) saved_->Restore();
    delete saved_;
    saved_ = nullptr;
    StandIn_Reset();
}

int PluginTest::Run(const std::wstring& name, const std::wstring& line) {
    bool found = false;
    const int result = Plugin().RunCommand(name, line, &found);
    EXPECT_TRUE(found) << "not registered: " << std::string(name.begin(), name.end());
    return result;
}

std::wstring PluginTest::Var(const std::wstring& name) { return Plugin().Variable(name); }

std::wstring PluginTest::Func(const std::wstring& name, const std::wstring& args) {
    return Plugin().Function(name, args);
}

TempFile::TempFile(const std::wstring& stem) {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zarnith-" + stem + L"-" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(path_.c_str());
}

TempFile::~TempFile() { DeleteFileW(path_.c_str()); }

bool TempFile::Exists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string TempFile::Bytes() const {
    std::ifstream file(path_.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring TempFile::Text() const {
    const std::string bytes = Bytes();
    std::wstring text(bytes.size(), L'\0');
    text.resize(size_t(
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), int(text.size()))));
    return text;
}

std::vector<std::wstring> TempFile::DumpedRows(size_t rows) const {
    const std::wstring text = Text();
    std::vector<std::wstring> lines;
    for (size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    if (lines.size() < 3 + rows) return {};
    return {lines.begin() + 3, lines.begin() + 3 + long(rows)};
}

RedirectedOutput::RedirectedOutput()
    : file_(CreateFileW(target_.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)) {
    SetStdHandle(STD_OUTPUT_HANDLE, file_);
}

RedirectedOutput::~RedirectedOutput() {
    SetStdHandle(STD_OUTPUT_HANDLE, tconsole::Out());
    CloseHandle(file_);
}
