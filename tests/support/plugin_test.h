// The fixture every plug-in test starts from: the real ZARNITH.dll in the stand-in host, on a
// console that is put back as it was after each test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/plugin_host.h"
#include "support/console.h"
#include "takecmd/standin.h"

extern "C" __declspec(dllimport) int ExpandVariables(wchar_t* text, int flag);

// The plug-in loaded once per program (reloaded by tests that need a fresh start-up).
PluginHost& Plugin();
// Unloads and loads the plug-in again (GetPluginInfo, InitializePlugin), e.g. after env changes.
bool ReloadPlugin();

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    int Run(const std::wstring& name, const std::wstring& line = L"");
    std::wstring Var(const std::wstring& name);
    std::wstring Func(const std::wstring& name, const std::wstring& args);
    std::wstring Out() const { return StandIn_Output(0); }
    std::wstring Err() const { return StandIn_Output(1); }
    template <class F>
    F* Entry(const char* name) { return reinterpret_cast<F*>(Plugin().Export(name)); }

private:
    tconsole::Snapshot* saved_ = nullptr;
};

// A temporary file path in the test's folder, removed at the end of the scope.
class TempFile {
public:
    explicit TempFile(const std::wstring& stem);
    ~TempFile();
    const std::wstring& Path() const { return path_; }
    std::string Bytes() const;
    std::wstring Text() const;  // the bytes read as UTF-8
    // The lines of a SAVECSB dump's rows: `rows` lines after the begin line, its rule and an empty line.
    std::vector<std::wstring> DumpedRows(size_t rows) const;
    bool Exists() const;

private:
    std::wstring path_;
};

// Standard output sent to a file for the scope, as when the host's output is redirected.
class RedirectedOutput {
public:
    RedirectedOutput();
    ~RedirectedOutput();
    RedirectedOutput(const RedirectedOutput&) = delete;
    RedirectedOutput& operator=(const RedirectedOutput&) = delete;

private:
    TempFile target_{L"redirected-output"};
    HANDLE file_;
};
