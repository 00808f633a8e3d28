#include "plugin_host.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>

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

// The file's bytes at `rva`, through its section table; null outside every section or the file.
const char* AtRva(const std::string& file, const IMAGE_NT_HEADERS64& nt, const IMAGE_SECTION_HEADER* sections,
                  DWORD rva, size_t bytes) {
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        const IMAGE_SECTION_HEADER& s = sections[i];
        const DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
        if (rva < s.VirtualAddress || rva - s.VirtualAddress >= size) continue;
        const size_t at = size_t(s.PointerToRawData) + (rva - s.VirtualAddress);
        return at + bytes <= file.size() ? file.data() + at : nullptr;
    }
    return nullptr;
}

// A NUL-terminated name at `rva`, or empty when it runs past the file.
std::string NameAt(const std::string& file, const IMAGE_NT_HEADERS64& nt, const IMAGE_SECTION_HEADER* sections,
                   DWORD rva) {
    const char* start = AtRva(file, nt, sections, rva, 1);
    if (!start) return {};
    const char* end = static_cast<const char*>(std::memchr(start, 0, size_t(file.data() + file.size() - start)));
    return end ? std::string(start, end) : std::string();
}

}  // namespace

// Windows resolves every import of a DLL before it runs any of its code and refuses the DLL when
// one is missing; Wine binds a stub that raises when called and loads the DLL anyway. So this
// reads the import table from the file and looks each by-name import up in the DLL it names.
std::vector<std::string> MissingImports(const std::wstring& path, DWORD& code) {
    code = ERROR_SUCCESS;
    std::vector<std::string> missing;
    std::ifstream in(path.c_str(), std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    if (file.size() < sizeof dos) return code = ERROR_BAD_EXE_FORMAT, missing;
    std::memcpy(&dos, file.data(), sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 || size_t(dos.e_lfanew) + sizeof nt > file.size())
        return code = ERROR_BAD_EXE_FORMAT, missing;
    std::memcpy(&nt, file.data() + dos.e_lfanew, sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return code = ERROR_BAD_EXE_FORMAT, missing;
    const size_t sectionsAt = size_t(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                              nt.FileHeader.SizeOfOptionalHeader;
    if (sectionsAt + nt.FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER) > file.size())
        return code = ERROR_BAD_EXE_FORMAT, missing;
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    std::memcpy(sections.data(), file.data() + sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER));

    const IMAGE_DATA_DIRECTORY& imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (DWORD at = imports.VirtualAddress; imports.Size != 0; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const char* entry = AtRva(file, nt, sections.data(), at, sizeof(IMAGE_IMPORT_DESCRIPTOR));
        if (!entry) return code = ERROR_BAD_EXE_FORMAT, missing;
        IMAGE_IMPORT_DESCRIPTOR d{};
        std::memcpy(&d, entry, sizeof d);
        if (d.Name == 0) break;
        const std::string dll = NameAt(file, nt, sections.data(), d.Name);
        // Found as the loader would: already loaded, or by the search order of a plain load.
        HMODULE module = GetModuleHandleA(dll.c_str());
        if (!module) module = LoadLibraryA(dll.c_str());
        if (!module) {
            code = ERROR_MOD_NOT_FOUND;
            missing.push_back(dll);
            continue;
        }
        const DWORD thunks = d.OriginalFirstThunk != 0 ? d.OriginalFirstThunk : d.FirstThunk;
        for (DWORD t = thunks;; t += sizeof(ULONGLONG)) {
            const char* slot = AtRva(file, nt, sections.data(), t, sizeof(ULONGLONG));
            if (!slot) return code = ERROR_BAD_EXE_FORMAT, missing;
            ULONGLONG thunk = 0;
            std::memcpy(&thunk, slot, sizeof thunk);
            if (thunk == 0) break;
            if (thunk & IMAGE_ORDINAL_FLAG64) continue;
            const std::string name = NameAt(file, nt, sections.data(), DWORD(thunk) + sizeof(WORD));
            if (GetProcAddress(module, name.c_str()) == nullptr) {
                if (code == ERROR_SUCCESS) code = ERROR_PROC_NOT_FOUND;
                missing.push_back(dll + "!" + name);
            }
        }
    }
    return missing;
}

PluginHost::~PluginHost() { Unload(); }

PluginHost* PluginHost::Current() { return current; }

bool PluginHost::Load(const std::wstring& path) {
    Unload();
    DWORD refused = ERROR_SUCCESS;
    missingImports_ = ::MissingImports(path, refused);
    if (refused != ERROR_SUCCESS) {
        SetLastError(refused);
        return false;
    }
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
