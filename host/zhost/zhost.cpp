// zhost: a small command host that loads ZARNITH.dll as TCC does and runs script lines through it.
//
//   zhost [--dll PATH] [--keep-console] [SCRIPT]
//
// --keep-console runs in the console zhost was started in (a pseudo console, for example)
// instead of a window of its own.
//
// Lines are read from SCRIPT (UTF-8) or standard input. Each line is expanded (%_NAME, %@NAME[..],
// %ENV%) and then run: a registered plug-in command, or one of the host's own words:
//   ECHO text | SET name=value | HOSTVAR name [value] | OPTION name [value] | SLEEP ms
//   KEY key...        hand key codes (0x1008D, or Ctrl-Up, Alt-Right, F1, ...) to the key handler
//   QUEUEKEYS text    put keystrokes into the console input for commands that wait for keys
//   HELP name | USAGE name | NAMES | RELOAD | EXIT
//   SCREENSHOT name   ask for a picture of the screen: writes name into the file
//                     screenshot.request in the folder %ZARNITH_SCREENSHOTS% and waits (at most
//                     20 s) until the taker (scripts/screenshots.sh) has removed it; without
//                     that variable it does nothing
//   CALL file         run another script's lines (a path relative to the calling script)
// Every command's output and result go to the transcript (the original standard output); the
// plug-in itself works on a console of its own, as it would inside TCC.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../common/plugin_host.h"
#include "../takecmd/standin.h"

extern "C" __declspec(dllimport) int Printf(const wchar_t* format, ...);
extern "C" __declspec(dllimport) int ExpandVariables(wchar_t* text, int flag);

namespace {

HANDLE transcript = INVALID_HANDLE_VALUE;

void Say(const std::wstring& text) {
    if (transcript == INVALID_HANDLE_VALUE || text.empty()) return;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(), bytes, nullptr, nullptr);
    DWORD done = 0;
    WriteFile(transcript, narrow.data(), DWORD(narrow.size()), &done, nullptr);
}

// Moves the plug-in's output that the stand-in captured to the transcript.
void Flush() {
    std::wstring out = StandIn_Output(0), err = StandIn_Output(1);
    StandIn_ClearOutput();
    if (!out.empty()) Say(out);
    if (!err.empty()) Say(L"[stderr] " + err);
    if ((!out.empty() && out.back() != L'\n') || (!err.empty() && err.back() != L'\n')) Say(L"\r\n");
}

std::wstring Trim(const std::wstring& s) {
    size_t a = 0, b = s.size();
    while (a < b && iswspace(s[a])) ++a;
    while (b > a && iswspace(s[b - 1])) --b;
    return s.substr(a, b - a);
}

std::wstring Upper(std::wstring s) {
    for (auto& c : s) c = wchar_t(towupper(c));
    return s;
}

struct NamedKey {
    const wchar_t* name;
    int code;
};
const NamedKey kKeys[] = {
    {L"F1", 0x1003B},        {L"CTRL-F1", 0x1005E},   {L"LEFT", 0x1004B},       {L"RIGHT", 0x1004D},
    {L"DEL", 0x10053},       {L"CTRL-DEL", 0x10093},  {L"CTRL-UP", 0x1008D},    {L"CTRL-DOWN", 0x10091},
    {L"CTRL-LEFT", 0x10073}, {L"CTRL-RIGHT", 0x10074}, {L"ALT-LEFT", 0x100F4},  {L"ALT-RIGHT", 0x100F6},
};

int KeyCode(const std::wstring& word) {
    const std::wstring upper = Upper(word);
    for (const auto& k : kKeys)
        if (upper == k.name) return k.code;
    if (upper.size() == 1) return upper[0];
    return int(wcstol(word.c_str(), nullptr, 0));
}

void RunKey(PluginHost& host, const std::wstring& words) {
    std::wistringstream in(words);
    std::wstring word;
    while (in >> word) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
        std::vector<wchar_t> line(1024, L'\0');
        HostKeyRecord record{};
        record.Key = KeyCode(word);
        record.StartRow = record.CursorRow = info.dwCursorPosition.Y;
        record.StartColumn = record.CursorColumn = info.dwCursorPosition.X;
        record.Line = record.LinePosition = line.data();
        const int before = record.Key;
        const int result = host.Key(record);
        Flush();
        wchar_t text[200];
        swprintf(text, 200, L"  key 0x%X -> key %d, start row %d, cursor row %d (result %d)\r\n", unsigned(before),
                 record.Key, record.StartRow, record.CursorRow, result);
        Say(text);
    }
}

void QueueKeys(const std::wstring& text) {
    HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) return;
    std::vector<INPUT_RECORD> records;
    for (wchar_t c : text) {
        INPUT_RECORD r{};
        r.EventType = KEY_EVENT;
        r.Event.KeyEvent.bKeyDown = TRUE;
        r.Event.KeyEvent.wRepeatCount = 1;
        r.Event.KeyEvent.uChar.UnicodeChar = c;
        r.Event.KeyEvent.wVirtualKeyCode = WORD(VkKeyScanW(c) & 0xFF);
        records.push_back(r);
        r.Event.KeyEvent.bKeyDown = FALSE;
        records.push_back(r);
    }
    DWORD written = 0;
    WriteConsoleInputW(input, records.data(), DWORD(records.size()), &written);
    CloseHandle(input);
}

// Shows a script line in the console as a prompt would, so that a picture of it reads like a TCC window.
void ShowOnConsole(const std::wstring& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0, done = 0;
    if (!GetConsoleMode(out, &mode)) return;
    const std::wstring line = L"> " + text + L"\r\n";
    WriteConsoleW(out, line.data(), DWORD(line.size()), &done, nullptr);
}

void Screenshot(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"ZARNITH_SCREENSHOTS", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || name.empty()) {
        Say(L"  (no screenshot taker)\r\n");
        return;
    }
    const std::wstring request = std::wstring(folder) + L"\\screenshot.request";
    const std::wstring partial = request + L".part";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name.data(), int(name.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.data(), int(name.size()), narrow.data(), bytes, nullptr, nullptr);
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Say(L"  (cannot write " + partial + L")\r\n");
        return;
    }
    DWORD done = 0;
    WriteFile(file, narrow.data(), DWORD(narrow.size()), &done, nullptr);
    CloseHandle(file);
    // Renamed whole, so the taker never reads half a name.
    MoveFileExW(partial.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
    for (int waited = 0; waited < 20000; waited += 50) {
        if (GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES) {
            Say(L"  [screenshot " + name + L"]\r\n");
            return;
        }
        Sleep(50);
    }
    DeleteFileW(request.c_str());
    Say(L"  (screenshot " + name + L" not taken)\r\n");
}

bool RunScript(PluginHost& host, const std::wstring& dllPath, const std::wstring& path);

// Runs one script line; false ends the script run.
bool RunLine(PluginHost& host, const std::wstring& dllPath, const std::wstring& raw, const std::wstring& folder) {
    std::wstring text = Trim(raw);
    if (text.empty() || text.rfind(L"::", 0) == 0 || Upper(text).rfind(L"REM ", 0) == 0 || Upper(text) == L"REM")
        return true;
    std::vector<wchar_t> buffer(PluginHost::kLineCapacity, L'\0');
    wcsncpy(buffer.data(), text.c_str(), buffer.size() - 1);
    ExpandVariables(buffer.data(), 0);
    text = Trim(buffer.data());

    const size_t space = text.find_first_of(L" \t");
    const std::wstring word = text.substr(0, space);
    const std::wstring rest = space == std::wstring::npos ? L"" : Trim(text.substr(space + 1));
    const std::wstring upper = Upper(word);
    Say(L"> " + text + L"\r\n");
    if (upper != L"SCREENSHOT" && upper != L"ECHO") ShowOnConsole(text);

    if (upper == L"EXIT") return false;
    if (upper == L"SCREENSHOT") {
        Screenshot(rest);
        return true;
    }
    if (upper == L"ECHO") {
        Printf(L"%s\r\n", rest.c_str());
        Flush();
        return true;
    }
    if (upper == L"SET") {
        const size_t eq = rest.find(L'=');
        if (eq != std::wstring::npos)
            SetEnvironmentVariableW(rest.substr(0, eq).c_str(), eq + 1 < rest.size() ? rest.substr(eq + 1).c_str() : nullptr);
        return true;
    }
    if (upper == L"HOSTVAR" || upper == L"OPTION") {
        const size_t gap = rest.find(L' ');
        const std::wstring name = rest.substr(0, gap);
        const std::wstring value = gap == std::wstring::npos ? L"" : Trim(rest.substr(gap + 1));
        if (upper == L"HOSTVAR") StandIn_SetVariable(name.c_str(), gap == std::wstring::npos ? nullptr : value.c_str());
        else StandIn_SetOption(name.c_str(), gap == std::wstring::npos ? nullptr : value.c_str());
        return true;
    }
    if (upper == L"CALL") {
        const bool absolute = rest.size() > 1 && (rest[1] == L':' || rest[0] == L'\\' || rest[0] == L'/');
        return RunScript(host, dllPath, absolute ? rest : folder + rest);
    }
    if (upper == L"SLEEP") {
        Sleep(DWORD(_wtoi(rest.c_str())));
        return true;
    }
    if (upper == L"KEY") {
        RunKey(host, rest);
        return true;
    }
    if (upper == L"QUEUEKEYS") {
        QueueKeys(rest);
        return true;
    }
    if (upper == L"NAMES") {
        Say(std::wstring(host.Info() && host.Info()->NameList ? host.Info()->NameList : L"") + L"\r\n");
        return true;
    }
    if (upper == L"RELOAD") {
        host.Load(dllPath);
        return true;
    }
    if (upper == L"HELP" || upper == L"USAGE") {
        std::vector<wchar_t> name(rest.begin(), rest.end());
        name.push_back(0);
        int result = 0;
        if (upper == L"HELP") {
            if (auto help = reinterpret_cast<int (*)(wchar_t*)>(host.Export("Help"))) result = help(name.data());
            Flush();
        } else if (auto usage = reinterpret_cast<int (*)(wchar_t*, wchar_t*)>(host.Export("Usage"))) {
            std::vector<wchar_t> out(1024, L'\0');
            result = usage(name.data(), out.data());
            Say(std::wstring(out.data()) + L"\r\n");
        }
        Say(L"  [result " + std::to_wstring(result) + L"]\r\n");
        return true;
    }
    bool found = false;
    const int result = host.RunCommand(word, rest, &found);
    Flush();
    if (!found) Say(L"  unknown command: " + word + L"\r\n");
    else Say(L"  [result " + std::to_wstring(result) + L"]\r\n");
    return true;
}

std::wstring FromUtf8(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

std::vector<std::string> ReadLines(const std::wstring& path, bool* ok) {
    std::vector<std::string> lines;
    std::string line;
    std::ifstream file(path.c_str());
    *ok = bool(file);
    while (file && std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

bool RunScript(PluginHost& host, const std::wstring& dllPath, const std::wstring& path) {
    bool ok = false;
    const auto lines = ReadLines(path, &ok);
    if (!ok) {
        Say(L"zhost: cannot read " + path + L"\r\n");
        return true;
    }
    for (const auto& line : lines)
        if (!RunLine(host, dllPath, FromUtf8(line), FolderOf(path))) return false;
    return true;
}

BOOL WINAPI IgnoreBreak(DWORD type) { return type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring dll = L"ZARNITH.dll", script;
    bool keepConsole = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--dll" && i + 1 < argc) dll = argv[++i];
        else if (a == L"--keep-console") keepConsole = true;
        else script = a;
    }

    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(), &transcript, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    std::vector<std::string> lines;
    if (!script.empty()) {
        bool ok = false;
        lines = ReadLines(script, &ok);
        if (!ok) {
            std::fprintf(stderr, "zhost: cannot read the script\n");
            return 2;
        }
    } else {
        std::string line;
        while (std::getline(std::cin, line)) lines.push_back(line);
    }

    if (!keepConsole) {
        // A console window of our own: what TCC's users see, and what the plug-in works on.
        FreeConsole();
        AllocConsole();
    }
    // The standard handles are the console's, as TCC's are in a console window and in a
    // terminal's pseudo console, whatever the transcript goes to.
    for (const auto& [which, name] : {std::pair{STD_OUTPUT_HANDLE, L"CONOUT$"}, std::pair{STD_ERROR_HANDLE, L"CONOUT$"},
                                      std::pair{STD_INPUT_HANDLE, L"CONIN$"}}) {
        const HANDLE handle = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle != INVALID_HANDLE_VALUE) SetStdHandle(which, handle);
    }
    // The host survives the console break that GENBREAK sends.
    SetConsoleCtrlHandler(IgnoreBreak, TRUE);

    PluginHost host;
    if (!host.Load(dll)) {
        Say(L"zhost: cannot load the plug-in (error " + std::to_wstring(GetLastError()) + L")\r\n");
        return 2;
    }
    Say(L"zhost: loaded " + std::wstring(host.Info()->Name) + L" " + std::to_wstring(host.Info()->Major) + L"." +
        std::to_wstring(host.Info()->Minor) + L"." + std::to_wstring(host.Info()->Build) + L" (" +
        host.Info()->Description + L"), InitializePlugin returned " + std::to_wstring(host.InitializeResult()) +
        L"\r\n");

    for (const auto& line : lines)
        if (!RunLine(host, dll, FromUtf8(line), FolderOf(script))) break;
    host.Unload();
    Flush();
    return 0;
}
