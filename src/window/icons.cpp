#include "window/icons.h"

#include <cwchar>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "console/pseudo_console.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/os_module.h"
#include "frame/report.h"
#include "frame/state.h"
#include "frame/text.h"

namespace zarnith {

namespace {

constexpr wchar_t kUsage[] =
    L"SETICON  iconfile\r\nSETICON  library  index\r\n\r\n  iconfile: *.ICO\r\n  library:  *.DLL or *.EXE\r\n"
    L"  index:    1 to @ICONS[library]\r\n\r\n  Icon search order: system_small, system_default, first available.\r\n";

// A tray tool that stopped answering must not take the shell with it.
constexpr UINT kMessageTimeout = 2000;

LRESULT SendBounded(HWND window, UINT message, WPARAM w, LPARAM l = 0) noexcept {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, w, l, SMTO_ABORTIFHUNG, kMessageTimeout, &answer)) return 0;
    return LRESULT(answer);
}

BOOL CALLBACK CountGroup(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) noexcept {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The wanted group's identifier as the enumeration gave it: an integer, or a name of any length.
struct GroupSearch {
    int Count = 0;
    int Wanted = 0;
    bool Found = false;
    WORD Id = 0;
    std::wstring Name;
};

BOOL CALLBACK FindGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR state) noexcept {
    auto& search = *reinterpret_cast<GroupSearch*>(state);
    if (++search.Count != search.Wanted) return TRUE;
    if (IS_INTRESOURCE(name)) {
        search.Id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        search.Found = true;
    } else {
        try {
            search.Name = name;
            search.Found = true;
        } catch (const std::bad_alloc&) {
        }
    }
    return FALSE;
}

// Three sizes, in order: the system's default, the small icon size, the size the source holds.
HICON LoadIconAnySize(HMODULE module, LPCWSTR resource, UINT flags) noexcept {
    auto load = [&](int cx, int cy, UINT extra) {
        return static_cast<HICON>(LoadImageW(module, resource, IMAGE_ICON, cx, cy, flags | extra));
    };
    HICON icon = load(0, 0, LR_DEFAULTSIZE);
    if (!icon) icon = load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    if (!icon) icon = load(0, 0, 0);
    return icon;
}

void NotifyTrayTools() {
    const std::wstring title = L"WispenWindow" + std::to_wstring(static_cast<unsigned long>(State().hostProcessId));
    if (HWND tool = FindWindowW(L"Class_WispenWindow", title.c_str())) SendBounded(tool, kTrayIconChanged, 0);
    // Without a console window a null parent would search the whole desktop instead.
    if (State().consoleWindow == nullptr) return;
    const std::wstring handle = std::to_wstring(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(State().consoleWindow)));
    if (HWND tool = FindWindowExW(State().consoleWindow, nullptr, L"MORVANE", handle.c_str()))
        SendBounded(tool, kTrayIconChanged, 0);
}

HICON WindowIcon(WPARAM which) noexcept {
    return reinterpret_cast<HICON>(SendBounded(State().consoleWindow, WM_GETICON, which));
}

// Windows 10 and 11 answer the console-icon request as deprecated (conhost's ApiSorter.cpp), so
// the icon goes to the window as conhost sets its own (icon.cpp: WM_SETICON, big and small). The
// window has taken it when it answers it back.
bool SendIconToWindow(HICON icon) noexcept {
    if (State().consoleWindow == nullptr) return false;
    SendBounded(State().consoleWindow, WM_SETICON, ICON_BIG, LPARAM(icon));
    SendBounded(State().consoleWindow, WM_SETICON, ICON_SMALL, LPARAM(icon));
    return WindowIcon(ICON_BIG) == icon || WindowIcon(ICON_SMALL) == icon;
}

// Steps from the setter's look-up on; returns the result code (0, -1, -3 or -4).
int ApplyIcon(HMODULE module, LPCWSTR resource, UINT flags, const wchar_t* first, const wchar_t* second) {
    // Not linked directly: systems without it must still load the plug-in.
    const RunTimeFunction<BOOL(HICON)> setter(OsModule::Named(L"kernel32.dll"), "SetConsoleIcon");

    HICON icon = LoadIconAnySize(module, resource, flags);
    if (icon == nullptr) {
        ReportLine(message::kNoIcon, first, second ? second : L"");
        return -1;
    }
    if (!(setter && setter(icon)) && !SendIconToWindow(icon)) {
        DestroyIcon(icon);
        return setter ? -4 : -3;
    }
    NotifyTrayTools();
    // The window shows the icon for as long as it has it: only the one it replaced may go. Icons
    // that the window had from elsewhere are not ours to destroy.
    if (HICON replaced = std::exchange(WritableState().consoleIcon, icon); replaced && replaced != icon)
        DestroyIcon(replaced);
    return 0;
}

}  // namespace

IconSource ClassifyIconArguments(std::span<const wchar_t* const> args) noexcept {
    IconSource usage;
    if (args.empty() || args.size() > 2 || std::wcscmp(args[0], L"/?") == 0) return usage;
    const wchar_t* extension = std::wcsrchr(args[0], L'.');
    if (extension == nullptr) return usage;
    if (_wcsicmp(extension, L".ico") == 0) return {IconSourceKind::IconFile, 0};
    if (args.size() != 2 || (_wcsicmp(extension, L".dll") != 0 && _wcsicmp(extension, L".exe") != 0)) return usage;
    const long index = ToLong(args[1]);
    if (index <= 0) return usage;
    return {IconSourceKind::Library, index};
}

int RunSetIcon(Row self, const wchar_t* line) {
    ArgumentArray split = SplitArguments(line);
    if (!split) throw std::bad_alloc();
    std::vector<const wchar_t*> args;
    for (int i = 1; i < split.count(); ++i) args.push_back(split[i]);

    const IconSource source = ClassifyIconArguments(args);
    if (source.Kind == IconSourceKind::Usage) {
        PrintLines(kUsage);
        return -1;
    }
    // The terminal shows its own icon: -3, as when this Windows has no console-icon setter.
    if (const auto refused = PseudoConsoleAnswer(self)) return *refused;
    const wchar_t* second = args.size() > 1 ? args[1] : nullptr;
    int code = -2;
    if (source.Kind == IconSourceKind::IconFile) {
        code = ApplyIcon(nullptr, args[0], LR_LOADFROMFILE, args[0], second);
    } else if (UniqueModule module{LoadLibraryExW(args[0], nullptr, LOAD_LIBRARY_AS_DATAFILE)}) {
        GroupSearch search;
        search.Wanted = int(source.Index);
        EnumResourceNamesW(module.get(), RT_GROUP_ICON, FindGroup, reinterpret_cast<LONG_PTR>(&search));
        // A file with fewer groups than asked for has no such resource: an empty name loads nothing.
        const LPCWSTR resource = !search.Found ? L""
                                 : search.Name.empty() ? MAKEINTRESOURCEW(search.Id)
                                                       : search.Name.c_str();
        code = ApplyIcon(module.get(), resource, 0, args[0], second);
    }
    if (code < -1) ReportLine(message::kSeticonError, code);
    return code;
}

void CountIconGroups(wchar_t* buffer) {
    if (buffer == nullptr) return;
    int count = -1;
    try {
        // An argument is never longer than the text it comes from.
        std::wstring path(std::wcslen(buffer) + MAX_PATH, L'\0');
        NthArgument(buffer, 0 | kNthArgumentPathFlag, path.data(), nullptr);
        StripEnclosingQuotes(path.data());
        if (UniqueModule module{LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)}) {
            count = 0;
            EnumResourceNamesW(module.get(), RT_GROUP_ICON, CountGroup, reinterpret_cast<LONG_PTR>(&count));
        }
    } catch (const std::bad_alloc&) {
        count = -1;
    }
    WriteResult(buffer, std::to_wstring(count));
}

}  // namespace zarnith

ZARNITH_SHELL(SETICON, zarnith::RunSetIcon)
ZARNITH_SHELL(f_ICONS, [](LPWSTR buffer) { return zarnith::CountIconGroups(buffer), 0; })
