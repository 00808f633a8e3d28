// Loads ZARNITH.dll the way TCC does and calls its entry points by registered name.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HostPluginInfo {
    const wchar_t* Name;
    const wchar_t* Author;
    const wchar_t* Email;
    const wchar_t* WebAddress;
    const wchar_t* Description;
    wchar_t* NameList;
    int32_t Major, Minor, Build;
    uintptr_t HostField1, HostField2;
};

// TCC's key record (the SDK's KEYINFO). Name exists from version 24 on: a key that is no
// character comes as Key 0 and its name ("Ctrl-Alt-Left"), and a handler that took it empties
// the name. An older TCC's record ends after Redraw.
struct HostKeyRecord {
    int32_t Key, StartRow, StartColumn, CursorRow, CursorColumn, Reserved;
    wchar_t* Line;
    wchar_t* LinePosition;
    int32_t Redraw;
    wchar_t* Name;
};
static_assert(offsetof(HostKeyRecord, Redraw) == 40 && offsetof(HostKeyRecord, Name) == 48);
static_assert(sizeof(HostKeyRecord) == 56);

class PluginHost {
public:
    // Characters the host gives a command's argument line and a variable's result buffer.
    static constexpr size_t kLineCapacity = 32768;
    static constexpr size_t kResultCapacity = 2048;

    PluginHost() = default;
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;
    ~PluginHost();

    // GetPluginInfo, then InitializePlugin, as the host does; false when the DLL will not load.
    // A DLL that Windows would refuse for its imports is refused before it is loaded, with the
    // system's code (ERROR_PROC_NOT_FOUND for a missing function) and MissingImports() naming them.
    bool Load(const std::wstring& path = L"ZARNITH.dll");
    const std::vector<std::string>& MissingImports() const { return missingImports_; }
    // ShutdownPlugin and FreeLibrary.
    void Unload();

    HMODULE Module() const { return module_; }
    HostPluginInfo* Info() const { return info_; }
    int InitializeResult() const { return initResult_; }
    const std::vector<std::wstring>& Names() const { return names_; }
    bool IsRegistered(const std::wstring& name) const;

    // Runs a command with a writable copy of `line`; false in `found` when the name is unknown.
    int RunCommand(const std::wstring& name, const std::wstring& line, bool* found = nullptr);
    // Value of "_NAME", or of "@NAME" applied to `args`; empty when unknown.
    std::wstring Variable(const std::wstring& name, bool* found = nullptr);
    std::wstring Function(const std::wstring& name, const std::wstring& args, bool* found = nullptr);
    // Hands the key handler a record; returns its result.
    int Key(HostKeyRecord& record);

    // Export by name (nullptr when missing).
    FARPROC Export(const char* name) const;

    // The host currently serving the stand-in's resolver.
    static PluginHost* Current();

private:
    std::string ExportFor(const std::wstring& name) const;

    HMODULE module_ = nullptr;
    HostPluginInfo* info_ = nullptr;
    int initResult_ = -1;
    std::vector<std::wstring> names_;
    std::vector<std::string> missingImports_;
};

// The imports of the DLL at `path` that Windows could not resolve ("TakeCmd.dll!error", or a DLL's
// name when the DLL itself is not found), with the code its load would fail with in `code`
// (ERROR_SUCCESS when none is missing).
std::vector<std::string> MissingImports(const std::wstring& path, DWORD& code);

// True when a key press waits in the console's input queue (what a command reading keys with
// _getwch would take next); nothing is removed from the queue.
bool ConsoleKeyWaiting();
