// zhost: a small command host that loads ZARNITH.dll as TCC does and runs script lines through it.
//
//   zhost [--dll PATH] [--keep-console] [--key-codes] [SCRIPT]      zhost --help lists its own words
//
// --keep-console runs in the console zhost was started in (a pseudo console, for example)
// instead of a window of its own. zhost carries the version of a current TCC (33) and hands keys
// as TCC 24 and later do, by name; --key-codes hands them as an older TCC does, as codes.
//
// Lines are read from SCRIPT (UTF-8) or standard input. Each line is expanded (%_NAME, %@NAME[..],
// %ENV%) and then run: one of the host's own words (kHostWords) or a registered plug-in command.
// ":: text" and "REM text" lines are narration: shown in the transcript, not run.
// Every other line is shown as written ("> line"), then its output and result go to the transcript
// (the original standard output); the plug-in itself works on a console of its own, as it would
// inside TCC.
// A command that waits for a key the script did not queue is answered after a few seconds (with a
// note), so a script always ends.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <functional>
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

// Written once, before the first line runs.
HANDLE transcript = INVALID_HANDLE_VALUE;
// The key watcher writes from its own thread while a command waits.
SRWLOCK transcriptLock = SRWLOCK_INIT;

std::string ToUtf8(const std::wstring& text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

std::wstring FromUtf8(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

void Say(const std::wstring& text) {
    if (transcript == INVALID_HANDLE_VALUE || text.empty()) return;
    const std::string narrow = ToUtf8(text);
    DWORD done = 0;
    AcquireSRWLockExclusive(&transcriptLock);
    WriteFile(transcript, narrow.data(), DWORD(narrow.size()), &done, nullptr);
    ReleaseSRWLockExclusive(&transcriptLock);
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
    {L"F1", 0x1003B},        {L"Ctrl-F1", 0x1005E},    {L"Left", 0x1004B},      {L"Right", 0x1004D},
    {L"Del", 0x10053},       {L"Ctrl-Del", 0x10093},   {L"Ctrl-Up", 0x1008D},   {L"Ctrl-Down", 0x10091},
    {L"Ctrl-Left", 0x10073}, {L"Ctrl-Right", 0x10074}, {L"Alt-Left", 0x100F4},  {L"Alt-Right", 0x100F6},
};

int KeyCode(const std::wstring& word) {
    const std::wstring upper = Upper(word);
    for (const auto& k : kKeys)
        if (upper == Upper(k.name)) return k.code;
    if (word.size() == 1) return word[0];
    return int(wcstol(word.c_str(), nullptr, 0));
}

std::wstring KeyName(int code) {
    for (const auto& k : kKeys)
        if (code == k.code) return k.name;
    if (code == 13) return L"Enter";
    if (code > 32 && code < 0x10000) return L"'" + std::wstring(1, wchar_t(code)) + L"'";
    wchar_t text[32];
    swprintf(text, 32, L"key 0x%X", unsigned(code));
    return text;
}

CONSOLE_SCREEN_BUFFER_INFO ConsoleInfo() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info);
    return info;
}

// The key handler's answer in words: what the host would do with the key, and what changed.
// `code` is the key's code whichever way it was handed; `named`: it went as Key 0 and a name.
std::wstring KeyOutcome(int code, bool named, const HostKeyRecord& record, const CONSOLE_SCREEN_BUFFER_INFO& was) {
    std::wstring text;
    // A named key is the handler's only when it emptied the name; with the name left, TCC goes on
    // to the key's own action.
    const bool passed = named ? record.Key == 0 && record.Name[0] != L'\0' : record.Key == code;
    if (passed) text = L"passed on to the host";
    else if (record.Key == 0) text = L"taken by the plug-in";
    else if (record.Key == 13) text = L"line emptied; the plug-in hands the host Enter";
    else text = L"handed to the host as " + KeyName(record.Key);
    if (passed && (code == 0x1003B || code == 0x1005E))
        text += L" (noted: the next CONHELP shows its help on a screen of its own)";
    const CONSOLE_SCREEN_BUFFER_INFO now = ConsoleInfo();
    const int rowsWas = was.srWindow.Bottom - was.srWindow.Top + 1, rowsNow = now.srWindow.Bottom - now.srWindow.Top + 1;
    const int colsWas = was.srWindow.Right - was.srWindow.Left + 1, colsNow = now.srWindow.Right - now.srWindow.Left + 1;
    if (rowsWas != rowsNow || colsWas != colsNow)
        text += L"; window " + std::to_wstring(colsWas) + L" x " + std::to_wstring(rowsWas) + L" -> " +
                std::to_wstring(colsNow) + L" x " + std::to_wstring(rowsNow);
    else if (was.srWindow.Left != now.srWindow.Left || was.srWindow.Top != now.srWindow.Top)
        text += L"; view scrolled to column " + std::to_wstring(now.srWindow.Left) + L", row " +
                std::to_wstring(now.srWindow.Top);
    return text;
}

// `keyCodes`: hand them as an older TCC does, extended keys as codes.
void RunKey(PluginHost& host, const std::wstring& words, bool keyCodes) {
    std::wistringstream in(words);
    std::wstring word;
    while (in >> word) {
        const CONSOLE_SCREEN_BUFFER_INFO info = ConsoleInfo();
        std::vector<wchar_t> line(1024, L'\0'), name(64, L'\0');
        HostKeyRecord record{};
        const int code = KeyCode(word);
        // As TCC 24 and later: what is neither a character nor a number goes by name, as written.
        const bool named = !keyCodes && word.size() > 1 && !iswdigit(word[0]);
        record.Key = named ? 0 : code;
        if (named) wcsncpy(name.data(), word.c_str(), name.size() - 1);
        record.Name = name.data();
        record.StartRow = record.CursorRow = info.dwCursorPosition.Y;
        record.StartColumn = record.CursorColumn = info.dwCursorPosition.X;
        record.Line = record.LinePosition = line.data();
        host.Key(record);
        Flush();
        Say(L"  " + (named ? word : KeyName(code)) + L": " + KeyOutcome(code, named, record, info) + L"\r\n");
    }
}

HANDLE OpenConsoleInput() {
    return CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// Puts keys into the console input now; Escape (U+001B) types the Escape key.
void TypeKeys(const std::wstring& text) {
    HANDLE input = OpenConsoleInput();
    if (input == INVALID_HANDLE_VALUE) return;
    std::vector<INPUT_RECORD> records;
    for (wchar_t c : text) {
        INPUT_RECORD r{};
        r.EventType = KEY_EVENT;
        r.Event.KeyEvent.bKeyDown = TRUE;
        r.Event.KeyEvent.wRepeatCount = 1;
        r.Event.KeyEvent.uChar.UnicodeChar = c;
        r.Event.KeyEvent.wVirtualKeyCode = c == 0x1B ? WORD(VK_ESCAPE) : WORD(VkKeyScanW(c) & 0xFF);
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
    const std::string narrow = ToUtf8(name);
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

// What a script asked for at the next command that waits for keys.
struct Queued {
    std::wstring shot;  // SCREENSHOT /K: the picture taken at its first wait
    std::wstring keys;  // QUEUEKEYS: typed one at each wait
};

std::wstring TypedName(wchar_t key) { return key == 0x1B ? L"Escape" : std::wstring(1, key); }

// While a command that can wait for a key runs: each time it has waited with no key in the console
// input, says what CSBFIND shows, takes the picture asked for with SCREENSHOT /K and types the
// next key the script queued; with none queued, after kAnswerMs it types `answer` itself (with a
// note once), so that a script without QUEUEKEYS still ends. Keys typed that the command did not
// read are taken back afterwards. The watch thread works on its own copy of what was queued, which
// Stop hands back once the thread has ended.
class KeyWatch {
public:
    static constexpr DWORD kAnswerMs = 3000;

    KeyWatch(const std::wstring& command, wchar_t answer, Queued queued)
        : command_(command), answer_(answer), queued_(std::move(queued)),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (stop_) thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~KeyWatch() {
        Stop();
        if (stop_) CloseHandle(stop_);
    }
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;

    // Ends the watch; what it did not use is returned.
    Queued Stop() {
        if (thread_) {
            SetEvent(stop_);
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        if (typed_) {
            HANDLE input = OpenConsoleInput();
            if (input != INVALID_HANDLE_VALUE) {
                FlushConsoleInputBuffer(input);
                CloseHandle(input);
            }
            typed_ = false;
        }
        return std::exchange(queued_, {});
    }
private:
    static DWORD WINAPI Run(void* self) {
        static_cast<KeyWatch*>(self)->Watch();
        return 0;
    }
    void Watch() {
        constexpr DWORD kStep = 100, kSettledMs = 500;
        DWORD idle = 0;
        bool noted = false;
        while (WaitForSingleObject(stop_, kStep) == WAIT_TIMEOUT) {
            if (ConsoleKeyWaiting()) {
                idle = 0;
                continue;
            }
            idle += kStep;
            // Half a second without a key: the command sits in its key read, its screen complete.
            if (idle == kSettledMs) {
                std::wstring note = answer_ == L'q' ? DescribeMatch() : L"";
                const bool scripted = !queued_.keys.empty();
                if (scripted)
                    note += (note.empty() ? L"" : L"; ") + (L"zhost types " + TypedName(queued_.keys.front()) + L", as queued");
                if (!note.empty()) Say(L"  (" + note + L")\r\n");
                if (!queued_.shot.empty()) {
                    Screenshot(queued_.shot);
                    queued_.shot.clear();
                }
                if (scripted) {
                    TypeKeys(queued_.keys.substr(0, 1));
                    queued_.keys.erase(0, 1);
                    typed_ = true;
                    idle = 0;
                    continue;
                }
            }
            if (idle < kAnswerMs) continue;
            const std::wstring key = TypedName(answer_);
            if (!noted) {
                Say(L"  (" + command_ + L" is waiting for a key and the script queued none: zhost types " + key +
                    L". QUEUEKEYS queues keys for the next command that waits, e.g. QUEUEKEYS nq)\r\n");
                noted = true;
            }
            TypeKeys(std::wstring(1, answer_));
            typed_ = true;
            idle = 0;
        }
    }

    // CSBFIND puts the cursor on the match and shows its cells in exchanged colours: the cells
    // from the cursor on that share the cursor cell's colours.
    static std::wstring DescribeMatch() {
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        const CONSOLE_SCREEN_BUFFER_INFO info = ConsoleInfo();
        const COORD at = info.dwCursorPosition;
        const DWORD most = DWORD(std::min<int>(info.dwSize.X - at.X, 80));
        std::vector<wchar_t> text(most + 1, L'\0');
        std::vector<WORD> colours(most + 1, 0);
        DWORD read = 0, coloured = 0;
        ReadConsoleOutputCharacterW(out, text.data(), most, at, &read);
        ReadConsoleOutputAttribute(out, colours.data(), most, at, &coloured);
        DWORD length = 0;
        while (length < read && length < coloured && colours[length] == colours[0]) ++length;
        return L"match shown in exchanged colours at column " + std::to_wstring(at.X) + L", row " +
               std::to_wstring(at.Y) + L": \"" + std::wstring(text.data(), length) + L"\"";
    }

    std::wstring command_;
    wchar_t answer_;
    Queued queued_;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    bool typed_ = false;
};

// Commands that read keys: CSBFIND ends at "q"; the help screen waits for any key.
wchar_t AnswerFor(const std::wstring& upperWord) {
    if (upperWord == L"CSBFIND") return L'q';
    if (upperWord == L"CONHELP" || upperWord == L"HELP") return 0x1B;
    return 0;
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

// TYPE file [lines]: the file's first lines, as the stand-in writes files (UTF-8).
void TypeFile(const std::wstring& rest) {
    std::wstring path = rest;
    long most = -1;
    const size_t gap = rest.find_last_of(L" \t");
    if (gap != std::wstring::npos && iswdigit(rest[gap + 1])) {
        most = wcstol(rest.c_str() + gap + 1, nullptr, 10);
        path = Trim(rest.substr(0, gap));
    }
    if (path.size() > 1 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    bool ok = false;
    const auto lines = ReadLines(path, &ok);
    if (!ok) {
        Say(L"  (cannot read " + path + L")\r\n");
        return;
    }
    size_t shown = 0;
    for (const auto& line : lines) {
        if (most >= 0 && shown == size_t(most)) {
            Say(L"  | ... (" + std::to_wstring(lines.size() - shown) + L" more lines)\r\n");
            break;
        }
        Say(L"  | " + FromUtf8(line) + L"\r\n");
        ++shown;
    }
}

// ROWS [count]: the console window's rows as they stand (the last `count` of them with a count),
// trailing blanks dropped; a run of blank rows is one line.
void ShowRows(const std::wstring& rest) {
    const CONSOLE_SCREEN_BUFFER_INFO info = ConsoleInfo();
    const SMALL_RECT view = info.srWindow;
    const int width = info.dwSize.X;
    const int count = rest.empty() ? view.Bottom - view.Top + 1 : _wtoi(rest.c_str());
    const int top = std::max<int>(view.Top, view.Bottom - count + 1);
    if (width < 1 || top > view.Bottom) return;
    const int rows = view.Bottom - top + 1;
    std::vector<wchar_t> text(size_t(width) * size_t(rows), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), DWORD(text.size()), COORD{0, SHORT(top)},
                                &read);
    int blankFrom = -1;
    auto endBlankRun = [&](int next) {
        if (blankFrom < 0) return;
        const std::wstring span = next - 1 > blankFrom ? std::to_wstring(blankFrom) + L"-" + std::to_wstring(next - 1)
                                                       : std::to_wstring(blankFrom);
        Say(L"  " + span + L" | (blank)\r\n");
        blankFrom = -1;
    };
    for (int i = 0; i < rows; ++i) {
        std::wstring row(text.data() + size_t(i) * size_t(width), size_t(width));
        row.erase(row.find_last_not_of(L' ') + 1);
        if (row.empty()) {
            if (blankFrom < 0) blankFrom = top + i;
            continue;
        }
        endBlankRun(top + i);
        Say(L"  " + std::to_wstring(top + i) + L" | " + row + L"\r\n");
    }
    endBlankRun(view.Bottom + 1);
}

// What a script run carries from one line to the next.
struct Script {
    PluginHost host;
    std::wstring dllPath;
    bool keyCodes = false;  // --key-codes
    std::wstring folder;    // of the script whose lines run now: CALL's relative paths start there
    Queued queued;
    bool lastWasNarration = false;
};

bool RunScript(Script& script, const std::wstring& path);

// Queued keys belong to the one command that follows: what it did not read is not kept for another.
void DropUnreadKeys(Script& script) {
    if (!script.queued.keys.empty()) Say(L"  (queued keys not read: " + script.queued.keys + L")\r\n");
    script.queued.keys.clear();
}

// Runs `run` and moves its output to the transcript; `answer` (nonzero) ends its waits for a key,
// under a watch that hands it the queued keys.
int RunWatched(Script& script, const std::wstring& command, wchar_t answer, const std::function<int()>& run) {
    if (!answer) {
        const int result = run();
        Flush();
        return result;
    }
    KeyWatch watch(command, answer, std::exchange(script.queued, {}));
    const int result = run();
    script.queued = watch.Stop();
    Flush();
    DropUnreadKeys(script);
    return result;
}

void SayResult(int result) { Say(L"  [result " + std::to_wstring(result) + L"]\r\n"); }

// HOSTVAR and OPTION: "name value" sets, "name" alone removes.
bool SetNamed(void (*set)(const wchar_t* name, const wchar_t* value), const std::wstring& rest) {
    const size_t gap = rest.find(L' ');
    const std::wstring value = gap == std::wstring::npos ? L"" : Trim(rest.substr(gap + 1));
    set(rest.substr(0, gap).c_str(), gap == std::wstring::npos ? nullptr : value.c_str());
    return true;
}

struct HostWord {
    const wchar_t* word;
    const wchar_t* arguments;
    const wchar_t* about;  // for --help
    bool shown;            // typed on the console; the words that only look or narrate stay off it
    bool (*run)(Script& script, const std::wstring& rest);  // false ends the script run
};

// The host's own words, ahead of the plug-in's commands.
const HostWord kHostWords[] = {
    {L"ECHO", L"text", L"print text through the host's Printf", false,
     [](Script&, const std::wstring& rest) {
         Printf(L"%s\r\n", rest.c_str());
         Flush();
         return true;
     }},
    {L"SET", L"name=value", L"set an environment variable (SET name= removes it)", true,
     [](Script&, const std::wstring& rest) {
         const size_t eq = rest.find(L'=');
         if (eq != std::wstring::npos)
             SetEnvironmentVariableW(rest.substr(0, eq).c_str(), eq + 1 < rest.size() ? rest.substr(eq + 1).c_str() : nullptr);
         return true;
     }},
    {L"HOSTVAR", L"name [value]", L"set the host's variable (without a value: remove it)", true,
     [](Script&, const std::wstring& rest) { return SetNamed(StandIn_SetVariable, rest); }},
    {L"OPTION", L"name [value]", L"set the host's option (without a value: remove it)", true,
     [](Script&, const std::wstring& rest) { return SetNamed(StandIn_SetOption, rest); }},
    {L"SLEEP", L"ms", L"wait", true,
     [](Script&, const std::wstring& rest) { Sleep(DWORD(_wtoi(rest.c_str()))); return true; }},
    {L"KEY", L"key...",
     L"hand keys to the key handler: names (Ctrl-Up, Alt-Right, F1, Shift-F1, ...), characters (a) or codes (0x1008D)",
     true,
     [](Script& script, const std::wstring& rest) { RunKey(script.host, rest, script.keyCodes); return true; }},
    {L"QUEUEKEYS", L"text",
     L"keys for the next command that waits for keys (CSBFIND, CONHELP, HELP), typed one at each wait, so that the "
     L"transcript can say what each wait showed",
     true,
     [](Script& script, const std::wstring& rest) { script.queued.keys += rest; return true; }},
    {L"ROWS", L"[count]", L"show the console window's rows as they stand (or its last count rows)", false,
     [](Script&, const std::wstring& rest) { ShowRows(rest); return true; }},
    {L"HELP", L"name", L"the plug-in's Help for name", true,
     [](Script& script, const std::wstring& rest) {
         std::vector<wchar_t> name(rest.begin(), rest.end());
         name.push_back(0);
         SayResult(RunWatched(script, L"HELP", AnswerFor(L"HELP"), [&] {
             auto help = reinterpret_cast<int (*)(wchar_t*)>(script.host.Export("Help"));
             return help ? help(name.data()) : 0;
         }));
         return true;
     }},
    {L"USAGE", L"name", L"the plug-in's one-line Usage for name", true,
     [](Script& script, const std::wstring& rest) {
         std::vector<wchar_t> name(rest.begin(), rest.end());
         name.push_back(0);
         int result = 0;
         if (auto usage = reinterpret_cast<int (*)(wchar_t*, wchar_t*)>(script.host.Export("Usage"))) {
             std::vector<wchar_t> out(1024, L'\0');
             result = usage(name.data(), out.data());
             // The host's Usage call answers 0 and leaves the buffer alone for a name without one.
             if (result == 0) Say(L"  (" + rest + L" has no one-line help; CONHELP " + rest + L" shows its usage)\r\n");
             else Say(std::wstring(out.data()) + L"\r\n");
         }
         SayResult(result);
         return true;
     }},
    {L"NAMES", L"", L"the names the plug-in registered", true,
     [](Script& script, const std::wstring&) {
         const auto* info = script.host.Info();
         Say(std::wstring(info && info->NameList ? info->NameList : L"") + L"\r\n");
         return true;
     }},
    {L"RELOAD", L"", L"unload the plug-in and load it again", true,
     [](Script& script, const std::wstring&) { script.host.Load(script.dllPath); return true; }},
    {L"EXIT", L"", L"end the script run", true, [](Script&, const std::wstring&) { return false; }},
    {L"TYPE", L"file [lines]", L"show a file's first lines (all without a count)", false,
     [](Script&, const std::wstring& rest) { TypeFile(rest); return true; }},
    {L"COLOR", L"attr",
     L"colours (two hex digits, background first, as cmd's COLOR) for the text written to the console from then on",
     false,
     [](Script&, const std::wstring& rest) {
         SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), WORD(wcstoul(rest.c_str(), nullptr, 16) & 0xFF));
         return true;
     }},
    // The taker (scripts/screenshots.sh) watches the folder %ZARNITH_SCREENSHOTS%; without it the
    // word does nothing.
    {L"SCREENSHOT", L"[/K] name",
     L"a picture of the screen, taken by scripts/screenshots.sh (at most 20 s); /K: when the next command waits for "
     L"a key instead (a CSBFIND match, the help screen)",
     false,
     [](Script& script, const std::wstring& rest) {
         if (Upper(rest).rfind(L"/K ", 0) == 0) script.queued.shot = Trim(rest.substr(3));
         else Screenshot(rest);
         return true;
     }},
    {L"CALL", L"file", L"run another script's lines (a path relative to the calling script)", false,
     [](Script& script, const std::wstring& rest) {
         const bool absolute = rest.size() > 1 && (rest[1] == L':' || rest[0] == L'\\' || rest[0] == L'/');
         return RunScript(script, absolute ? rest : script.folder + rest);
     }},
};

const HostWord* FindHostWord(const std::wstring& upper) {
    for (const auto& w : kHostWords)
        if (upper == w.word) return &w;
    return nullptr;
}

// Runs one script line; false ends the script run.
bool RunLine(Script& script, const std::wstring& raw) {
    const std::wstring written = Trim(raw);
    if (written.empty()) return true;
    const std::wstring upperWritten = Upper(written);
    if (written.rfind(L"::", 0) == 0 || upperWritten.rfind(L"REM ", 0) == 0 || upperWritten == L"REM") {
        // Narration: a blank line before each block of it, so the transcript reads in paragraphs.
        const std::wstring text = Trim(written.substr(written[0] == L':' ? 2 : 3));
        if (!script.lastWasNarration) Say(L"\r\n");
        Say(text + L"\r\n");
        script.lastWasNarration = true;
        return true;
    }
    script.lastWasNarration = false;
    std::vector<wchar_t> buffer(PluginHost::kLineCapacity, L'\0');
    wcsncpy(buffer.data(), written.c_str(), buffer.size() - 1);
    ExpandVariables(buffer.data(), 0);
    const std::wstring text = Trim(buffer.data());

    const size_t space = text.find_first_of(L" \t");
    const std::wstring word = text.substr(0, space);
    const std::wstring rest = space == std::wstring::npos ? L"" : Trim(text.substr(space + 1));
    const std::wstring upper = Upper(word);
    const HostWord* own = FindHostWord(upper);
    Say(L"> " + written + L"\r\n");
    if (!own || own->shown) ShowOnConsole(written);
    if (own) return own->run(script, rest);

    bool found = false;
    const int result =
        RunWatched(script, word, AnswerFor(upper), [&] { return script.host.RunCommand(word, rest, &found); });
    if (!found) Say(L"  unknown command: " + word + L"\r\n");
    else SayResult(result);
    return true;
}

bool RunLines(Script& script, const std::vector<std::string>& lines, const std::wstring& folder) {
    const std::wstring caller = std::exchange(script.folder, folder);
    bool goOn = true;
    for (const auto& line : lines)
        if (!(goOn = RunLine(script, FromUtf8(line)))) break;
    script.folder = caller;
    return goOn;
}

bool RunScript(Script& script, const std::wstring& path) {
    bool ok = false;
    const auto lines = ReadLines(path, &ok);
    if (!ok) {
        Say(L"zhost: cannot read " + path + L"\r\n");
        return true;
    }
    return RunLines(script, lines, FolderOf(path));
}

// --help. Standard output is in text mode here: "\n" becomes CRLF.
void ShowUsage() {
    std::wstring text = L"zhost [--dll PATH] [--keep-console] [--key-codes] [SCRIPT]\n"
                        L"Runs the lines of SCRIPT (UTF-8) or standard input: a plug-in command or one of these words\n";
    for (const auto& w : kHostWords) {
        std::wstring left = std::wstring(w.word) + (*w.arguments ? L" " : L"") + w.arguments;
        left.resize(std::max<size_t>(left.size() + 1, 22), L' ');
        text += L"  " + left + w.about + L"\n";
    }
    text += L"\":: text\" and \"REM text\" lines are narration, shown and not run.\n";
    const std::string narrow = ToUtf8(text);
    std::fwrite(narrow.data(), 1, narrow.size(), stdout);
}

BOOL WINAPI IgnoreBreak(DWORD type) { return type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Script run;
    run.dllPath = L"ZARNITH.dll";
    std::wstring script;
    bool keepConsole = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--dll" && i + 1 < argc) run.dllPath = argv[++i];
        else if (a == L"--keep-console") keepConsole = true;
        else if (a == L"--key-codes") run.keyCodes = true;
        else if (a == L"--help" || a == L"/?") {
            ShowUsage();
            return 0;
        } else script = a;
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

    PluginHost& host = run.host;
    if (!host.Load(run.dllPath)) {
        std::wstring why = L"zhost: cannot load the plug-in (error " + std::to_wstring(GetLastError()) + L")";
        // As Windows would refuse it: name what its imports lack.
        for (size_t i = 0; i < host.MissingImports().size(); ++i)
            why += (i == 0 ? L": missing " : L", ") + std::wstring(host.MissingImports()[i].begin(), host.MissingImports()[i].end());
        Say(why + L"\r\n");
        return 2;
    }
    std::wstring loaded = L"zhost: loaded " + std::wstring(host.Info()->Name) + L" " +
                          std::to_wstring(host.Info()->Major) + L"." + std::to_wstring(host.Info()->Minor) + L"." +
                          std::to_wstring(host.Info()->Build) + L" (" + host.Info()->Description + L")";
    if (host.InitializeResult() != 0) loaded += L", InitializePlugin returned " + std::to_wstring(host.InitializeResult());
    Say(loaded + L"\r\n");

    RunLines(run, lines, FolderOf(script));
    host.Unload();
    Flush();
    return 0;
}
