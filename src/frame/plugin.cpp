#include "frame/plugin.h"

#include <cwchar>
#include <new>
#include <string>
#include <vector>
#include <utility>

#include "frame/entry.h"
#include "frame/exception_pool.h"
#include "frame/guard.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/report.h"
#include "frame/registry.h"
#include "frame/steps.h"
#include "frame/state.h"
#include "frame/text.h"
#include "zarnith_version.h"

namespace zarnith {

namespace {

wchar_t PluginName[] = L"ZARNITH";
wchar_t PluginAuthor[] = L"The ZARNITH developers";
wchar_t PluginEmail[] = L"zarnith@users.noreply.invalid";
wchar_t PluginDescription[] = L"Various console-related utilities";

PluginInfo Info = {PluginName, PluginAuthor, PluginEmail, nullptr, PluginDescription, nullptr,
                   ZARNITH_VERSION_MAJOR, ZARNITH_VERSION_MINOR, ZARNITH_VERSION_PATCH, 0, 0};

// Builds the default list: every row's name, comma separated, in table order; answers every row's bit.
uint64_t WriteDefaultNameList(wchar_t* list) noexcept {
    size_t used = 0;
    for (int r = 0; r < kRegistrationRows; ++r) {
        const wchar_t* name = RegistrationTable[r].Name;
        const size_t len = wcslen(name);
        if (used + len + 2 > kNameListCapacity) break;  // cannot happen with this table; stay bounded
        wmemcpy(list + used, name, len);
        used += len;
        if (r + 1 < kRegistrationRows) list[used++] = L',';
    }
    list[used] = L'\0';
    return ~uint64_t(0) >> (64 - kRegistrationRows);
}

// `text` expanded by the host; empty when there is no memory for the host's buffer.
std::wstring ExpandHostText(const wchar_t* text) noexcept {
    try {
        HostLine line;
        line.Compose({text});
        return std::wstring(line.Expand());
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// Leaves the names the table does not have out of an upper-cased ZARNITH_LOAD value, so that a
// typo cannot make the host refuse the plug-in, and names them in one line on standard error. A
// value whose names are all known stays exactly as it is; one without any known name is empty.
// Answers the rows it names, one bit each, taking `value` (the same text) apart on the way.
uint64_t DropUnknownNames(wchar_t* value, wchar_t* list) noexcept {
    static_assert(kRegistrationRows <= 64, "one bit a row");
    std::wstring known, unknown;
    uint64_t named = 0;
    wchar_t* state = nullptr;
    try {
        for (wchar_t* name = wcstok_s(value, L" ,", &state); name; name = wcstok_s(nullptr, L" ,", &state)) {
            const int r = TableRowOf(name);
            if (r >= 0) named |= uint64_t(1) << r;
            std::wstring& to = r >= 0 ? known : unknown;
            if (!to.empty()) to += L',';
            to += name;
        }
        if (unknown.empty()) return named;
        ReportLine(message::kUnknownLoadNames, unknown.c_str());
        wmemcpy(list, known.c_str(), known.size() + 1);  // never longer than the value it comes from
    } catch (const std::bad_alloc&) {
        list[0] = L'\0';
    }
    return named;
}

}  // namespace

bool InTakeCommandTab() noexcept {
    const std::wstring value = ExpandHostText(L"%_TCTAB");
    return !value.empty() && value[0] == L'1';
}

void ApplyKeyActionsValue(const wchar_t* value, int length, uint8_t (&actions)[5]) noexcept {
    // A character that is no digit would make a scroll code nobody asked for: that position
    // keeps its default instead.
    auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    for (int i = 0; i < 4 && i < length && value[i] != L'\0'; ++i)
        actions[i] = digit(value[i]) ? static_cast<uint8_t>(value[i] - L'0') : kDefaultKeyActions[i];
    if (length <= 4) return;
    uint8_t count = 0;
    for (int i = 4; i < length && value[i] != L'\0'; ++i) {
        if (!digit(value[i])) {
            actions[4] = kDefaultKeyActions[4];
            return;
        }
        count = static_cast<uint8_t>(count * 10 + (value[i] - L'0'));
    }
    actions[4] = count;
}

unsigned ProgramMajorVersion(const wchar_t* path) noexcept {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return 0;
    try {
        std::vector<BYTE> data(size);
        if (!GetFileVersionInfoW(path, 0, size, data.data())) return 0;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
            length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE)
            return 0;
        return HIWORD(fixed->dwFileVersionMS);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool HostHandsKeysByName() noexcept {
    constexpr unsigned kFirstVersionWithKeyNames = 24;
    try {
        // Program paths may be longer than MAX_PATH (up to 32,767 characters); a path that was
        // cut names no file.
        constexpr size_t kLongestPath = 32768;
        std::vector<wchar_t> path(MAX_PATH);
        for (;;) {
            const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n == 0) return false;
            if (n < path.size()) break;
            if (path.size() >= kLongestPath) return false;
            path.resize(path.size() * 2);
        }
        return ProgramMajorVersion(path.data()) >= kFirstVersionWithKeyNames;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void ReadKeyActions() noexcept {
    wchar_t name[16] = {};
    Sprintf(name, L"%%_ININAME");
    const std::wstring path = ExpandHostText(name);
    wchar_t value[16] = {};
    // The default text is kDefaultKeyActions written out, as the configuration file would hold it.
    const DWORD n = GetPrivateProfileStringW(L"HSCROLL", L"KeyActions", L"00621", value, 16, path.c_str());
    ApplyKeyActionsValue(value, static_cast<int>(n), WritableState().keyActions);
}

}  // namespace zarnith

using namespace zarnith;

namespace {

// Work that may not run under the loader lock (patching an import, throwing) waits for the
// host's first call; the host may make either of the two first.
void PrepareOnFirstCall() noexcept {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    PrimeExceptionPool(State().module);  // null in a program that links the frame itself
    FindHostError();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        WritableState().module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

int InitializePlugin() noexcept {
    PrepareOnFirstCall();
    return GuardedAs(L"InitializePlugin", [] {
        PluginState& state = WritableState();
        // Before the tab test: the key handler notes F1 inside a Take Command tab as well.
        state.keyNames = HostHandsKeysByName();
        if (InTakeCommandTab()) return 1;
        state.hostProcessId = GetCurrentProcessId();
        state.consoleWindow = GetConsoleWindow();
        RunSteps(Phase::ConsoleHost, Phase::AfterConsoleHost);
        ReadKeyActions();
        return 0;
    }, 1);
}

PluginInfo* GetPluginInfo() noexcept {
    PrepareOnFirstCall();
    wchar_t* list = new (std::nothrow) wchar_t[kNameListCapacity];
    if (list == nullptr) return &Info;  // keep whatever list the host already has
    list[0] = L'\0';

    uint64_t active = 0;
    wchar_t value[kNameListCapacity] = {};
    const DWORD n = GetEnvironmentVariableW(L"ZARNITH_LOAD", value, kNameListCapacity);
    // n >= capacity means the value did not fit: such a list is ignored, never cut.
    if (n > 0 && n < kNameListCapacity) {
        CharUpperW(value);
        wmemcpy(list, value, n + 1);
        active = DropUnknownNames(value, list);
    }
    WritableState().activeRows = list[0] == L'\0' ? WriteDefaultNameList(list) : active;
    delete[] std::exchange(WritableState().nameList, list);
    Info.NameList = list;
    return &Info;
}

int ShutdownPlugin() noexcept {
    delete[] std::exchange(WritableState().nameList, nullptr);
    WritableState().activeRows = 0;
    Info.NameList = nullptr;
    RunSteps(Phase::Shutdown, Phase::Shutdown);
    return 0;
}
