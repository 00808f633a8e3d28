#include "frame/plugin.h"

#include <cwchar>
#include <new>
#include <string>
#include <vector>
#include <utility>

#include "frame/entries.h"
#include "frame/exception_pool.h"
#include "frame/guard.h"
#include "frame/host.h"
#include "frame/registry.h"
#include "frame/shutdown.h"
#include "frame/state.h"
#include "zarnith_version.h"

namespace zarnith {

namespace {

wchar_t PluginName[] = L"ZARNITH";
wchar_t PluginAuthor[] = L"The ZARNITH developers";
wchar_t PluginEmail[] = L"zarnith@users.noreply.invalid";
wchar_t PluginDescription[] = L"Various console-related utilities";

PluginInfo Info = {PluginName, PluginAuthor, PluginEmail, nullptr, PluginDescription, nullptr,
                   ZARNITH_VERSION_MAJOR, ZARNITH_VERSION_MINOR, ZARNITH_VERSION_PATCH, 0, 0};

// Builds the default list: every row's name, comma separated, in table order.
void WriteDefaultNameList(wchar_t* list) noexcept {
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
}

// The host expands in place and assumes a buffer of its own line length, whatever the value's
// length: a short local buffer would let a long value run over the stack.
constexpr size_t kHostLineCapacity = 32768;

// `text` expanded by the host; empty when there is no memory for the host's buffer.
std::wstring ExpandHostText(const wchar_t* text) noexcept {
    try {
        std::vector<wchar_t> buffer(kHostLineCapacity, L'\0');
        wcsncpy(buffer.data(), text, kHostLineCapacity - 1);
        ExpandVariables(buffer.data(), 0);
        buffer.back() = L'\0';
        return std::wstring(buffer.data());
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace

bool InTakeCommandTab() noexcept {
    const std::wstring value = ExpandHostText(L"%_TCTAB");
    return !value.empty() && value[0] == L'1';
}

OnigSyntaxType* SelectRegexSyntax() noexcept {
    // The host copies the whole value; give it room rather than the few characters we read.
    wchar_t value[512] = {};
    if (QueryOptionValue(L"RegularExpressions", value) != 0) return ONIG_SYNTAX_PERL;
    value[511] = L'\0';
    CharUpperW(value);
    switch (value[0] == L'\0' ? L'\0' : value[1]) {
        case L'A': return ONIG_SYNTAX_JAVA;
        case L'E': return ONIG_SYNTAX_PERL;
        case L'N': return ONIG_SYNTAX_GNU_REGEX;
        case L'O': return ONIG_SYNTAX_POSIX_EXTENDED;
        case L'R': return ONIG_SYNTAX_GREP;
        case L'U': return ONIG_SYNTAX_RUBY;
        default: return ONIG_SYNTAX_PERL;
    }
}

void ApplyKeyActionsValue(const wchar_t* value, int length, uint8_t (&actions)[5]) noexcept {
    for (int i = 0; i < 4 && i < length && value[i] != L'\0'; ++i)
        actions[i] = static_cast<uint8_t>(static_cast<uint8_t>(value[i]) - 48);
    if (length <= 4) return;
    uint8_t count = 0;
    for (int i = 4; i < length && value[i] != L'\0'; ++i)
        count = static_cast<uint8_t>(count * 10 + (static_cast<uint8_t>(value[i]) - 48));
    actions[4] = count;
}

void ReadKeyActions() noexcept {
    wchar_t name[16] = {};
    Sprintf(name, L"%%_ININAME");
    const std::wstring path = ExpandHostText(name);
    wchar_t value[16] = {};
    const DWORD n = GetPrivateProfileStringW(L"HSCROLL", L"KeyActions", L"00621", value, 16, path.c_str());
    ApplyKeyActionsValue(value, static_cast<int>(n), WritableState().keyActions);
}

}  // namespace zarnith

using namespace zarnith;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        WritableState().module = instance;
        DisableThreadLibraryCalls(instance);
        PrimeExceptionPool(instance);
    }
    return TRUE;
}

int InitializePlugin() noexcept {
    return Guarded(L"InitializePlugin", [] {
        if (InTakeCommandTab()) return 1;
        PluginState& state = WritableState();
        state.hostProcessId = GetCurrentProcessId();
        state.consoleWindow = GetConsoleWindow();
        ReadKeyActions();
        return 0;
    }, 1);
}

PluginInfo* GetPluginInfo() noexcept {
    wchar_t* list = new (std::nothrow) wchar_t[kNameListCapacity];
    if (list == nullptr) return &Info;  // keep whatever list the host already has
    list[0] = L'\0';

    wchar_t value[kNameListCapacity] = {};
    const DWORD n = GetEnvironmentVariableW(L"ZARNITH_LOAD", value, kNameListCapacity);
    // n >= capacity means the value did not fit: such a list is ignored, never cut.
    if (n > 0 && n < kNameListCapacity) {
        CharUpperW(value);
        wmemcpy(list, value, n + 1);
    } else {
        WriteDefaultNameList(list);
    }
    delete[] std::exchange(WritableState().nameList, list);
    Info.NameList = list;
    return &Info;
}

int ShutdownPlugin() noexcept {
    delete[] std::exchange(WritableState().nameList, nullptr);
    Info.NameList = nullptr;
    RunShutdownSteps();
    return 0;
}
