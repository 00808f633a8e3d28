#include "plugin_host.h"

#include <cwchar>

#include "../takecmd/standin.h"

namespace {

PluginHost* current = nullptr;

int Resolver(const wchar_t* name, const wchar_t* args, wchar_t* out, int capacity) {
    if (!current || !name) return 0;
    bool found = false;
    std::wstring value = args ? current->Function(name, args, &found) : current->Variable(name, &found);
    if (!found) return 0;
    const size_t n = value.size() < size_t(capacity - 1) ? value.size() : size_t(capacity - 1);
    wmemcpy(out, value.c_str(), n);
    out[n] = 0;
    return 1;
}

std::string Narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) result += char(c);
    return result;
}

}  // namespace

PluginHost::~PluginHost() { Unload(); }

PluginHost* PluginHost::Current() { return current; }

bool PluginHost::Load(const std::wstring& path) {
    Unload();
    module_ = LoadLibraryW(path.c_str());
    if (!module_) return false;
    auto getInfo = reinterpret_cast<HostPluginInfo* (*)()>(Export("GetPluginInfo"));
    auto initialize = reinterpret_cast<int (*)()>(Export("InitializePlugin"));
    if (!getInfo || !initialize) {
        Unload();
        return false;
    }
    info_ = getInfo();
    names_.clear();
    if (info_ && info_->NameList) {
        std::wstring list = info_->NameList, token;
        for (wchar_t c : list + L",") {
            if (c == L',' || c == L' ') {
                if (!token.empty()) names_.push_back(token);
                token.clear();
            } else {
                token += c;
            }
        }
    }
    initResult_ = initialize();
    current = this;
    StandIn_SetResolver(Resolver);
    return true;
}

void PluginHost::Unload() {
    if (!module_) return;
    if (auto shutdown = reinterpret_cast<int (*)()>(Export("ShutdownPlugin"))) shutdown();
    FreeLibrary(module_);
    module_ = nullptr;
    info_ = nullptr;
    names_.clear();
    if (current == this) {
        current = nullptr;
        StandIn_SetResolver(nullptr);
    }
}

bool PluginHost::IsRegistered(const std::wstring& name) const {
    for (const auto& n : names_)
        if (_wcsicmp(n.c_str(), name.c_str()) == 0) return true;
    return false;
}

FARPROC PluginHost::Export(const char* name) const {
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

std::string PluginHost::ExportFor(const std::wstring& name) const {
    std::wstring upper = name;
    for (auto& c : upper) c = wchar_t(towupper(c));
    if (!upper.empty() && upper[0] == L'@') return "f_" + Narrow(upper.substr(1));
    if (upper == L"*KEYHANDLER") return "KEYHANDLER";
    return Narrow(upper);
}

int PluginHost::RunCommand(const std::wstring& name, const std::wstring& line, bool* found) {
    auto entry = IsRegistered(name) ? reinterpret_cast<int (*)(wchar_t*)>(Export(ExportFor(name).c_str())) : nullptr;
    if (found) *found = entry != nullptr;
    if (!entry) return -1;
    std::vector<wchar_t> buffer(kLineCapacity + line.size() + 1, L'\0');
    wmemcpy(buffer.data(), line.c_str(), line.size());
    return entry(buffer.data());
}

std::wstring PluginHost::Variable(const std::wstring& name, bool* found) {
    auto entry = IsRegistered(name) ? reinterpret_cast<int (*)(wchar_t*)>(Export(ExportFor(name).c_str())) : nullptr;
    if (found) *found = entry != nullptr;
    if (!entry) return {};
    std::vector<wchar_t> buffer(kResultCapacity, L'\0');
    entry(buffer.data());
    buffer.back() = 0;
    return buffer.data();
}

std::wstring PluginHost::Function(const std::wstring& name, const std::wstring& args, bool* found) {
    auto entry = IsRegistered(name) ? reinterpret_cast<int (*)(wchar_t*)>(Export(ExportFor(name).c_str())) : nullptr;
    if (found) *found = entry != nullptr;
    if (!entry) return {};
    std::vector<wchar_t> buffer(kResultCapacity, L'\0');
    wcsncpy(buffer.data(), args.c_str(), kResultCapacity - 1);
    entry(buffer.data());
    buffer.back() = 0;
    return buffer.data();
}

int PluginHost::Key(HostKeyRecord& record) {
    auto entry = IsRegistered(L"*KEYHANDLER") ? reinterpret_cast<int (*)(HostKeyRecord*)>(Export("KEYHANDLER")) : nullptr;
    return entry ? entry(&record) : 0;
}

bool ConsoleKeyWaiting() {
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    INPUT_RECORD records[64];
    DWORD n = 0;
    bool waiting = false;
    if (PeekConsoleInputW(in, records, 64, &n))
        for (DWORD i = 0; i < n && !waiting; ++i)
            waiting = records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown;
    CloseHandle(in);
    return waiting;
}
