// Pseudo consoles (Windows Terminal and other ConPTY hosts): window-level commands refuse with one
// line, the window variables say they cannot know, the buffer commands and Ctrl-Del go on working.
// Checked twice: with the plug-in's window signals intercepted, for what Wine cannot show (the
// "PseudoConsoleWindow" class, no window at all, a hidden window shown later), and with zhost
// running inside a real pseudo console that the test creates.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/os_module.h"
#include "frame/rows.h"
#include "support/conhost_model.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

namespace {

constexpr wchar_t kRefusal[] = L": not available in a terminal-hosted console (pseudo console)\r\n";

// What each name does inside a pseudo console, as the README's "Inside Windows Terminal" gives it:
// a command refuses the argument with its usual failure result (0 where it has none), and its
// text says what of it still works; a variable (no argument) answers its text. Every name not
// listed works there. The window variables come in the order one ECHO shows them: the task bar is
// the desktop's, not the window's, and is measured whoever hosts the console; the font is
// conhost's starting one, never drawn there (src/host/screenInfo.cpp, _currentFont).
struct InTerminalRow {
    const wchar_t* name;
    const wchar_t* argument;
    int result;
    const wchar_t* text;
};
constexpr wchar_t kXcloseWorks[] = L"GET_STATUS, which answers -1 quietly";
const InTerminalRow kInTerminal[] = {
    {L"CONSIZE", L"/W 60 20", 1, L"/Q"},      {L"CONSIZE", L"/P 10 10", 1, L"/Q"},
    {L"CONSIZE", L"/C 5", 1, L"/Q"},          {L"CONSIZE", L"/B 0 0 /R 1 1", 1, L"/Q"},
    {L"CONSIZE", L"/B 90 200", 1, L"/Q"},
    {L"SETFONT", L"0 8 16 400 Consolas", 0, nullptr},
    {L"SETICON", L"shell32.dll 1", -3, nullptr},
    {L"XCLOSE", L"OFF", 0, kXcloseWorks},     {L"XCLOSE", L"", 0, kXcloseWorks},
    {L"SYSMENU", L"e", 0, nullptr},           {L"ALTENTER", L"/D", 0, L"its state and /E"},
    {L"CYCLE", L"-", 0, nullptr},
    {L"_MAXCON", nullptr, 0, L"-1 -1 -1 -1"}, {L"_MOUSECX", nullptr, 0, L"N/A"},
    {L"_MOUSECY", nullptr, 0, L"N/A"},        {L"_CURCHAR", nullptr, 0, L"N/A"},
    {L"_FGCONSOLE", nullptr, 0, L"-1"},       {L"_XCLOSE", nullptr, 0, L"-1"},
    {L"_FSMODE", nullptr, 0, L"-1"},          {L"_FONTINFO", nullptr, 0, L"N/A"},
    {L"_FONTINFO2", nullptr, 0, L"N/A"},
};
constexpr wchar_t kTrayVariables[] = L"%_TRAYH|%_TRAYW";

// The window variables as one line to expand ("%_MAXCON|%_MOUSECX|..."), or what it expands to.
std::wstring WindowVariables(bool values) {
    std::wstring line;
    for (const InTerminalRow& row : kInTerminal)
        if (row.argument == nullptr)
            line += (line.empty() ? L"" : L"|") + (values ? std::wstring(row.text) : L"%" + std::wstring(row.name));
    return line;
}

std::wstring Expanded(std::wstring text) {
    text.resize(PluginHost::kLineCapacity, L'\0');
    ExpandVariables(text.data(), 0);
    return text.c_str();
}

// What the plug-in sees of its console window; each intercepted call answers from here.
HWND fakeWindow = nullptr;
const wchar_t* fakeClass = nullptr;  // null: the window's own class
int fakeVisible = -1;                // -1: the window's own visibility
ImportPatch* classPatch = nullptr;
ImportPatch* visiblePatch = nullptr;

HWND WINAPI FakeConsoleWindow() { return fakeWindow; }
int WINAPI FakeClassName(HWND window, LPWSTR name, int capacity) {
    if (fakeClass == nullptr) return classPatch->OriginalAs<int WINAPI(HWND, LPWSTR, int)>()(window, name, capacity);
    lstrcpynW(name, fakeClass, capacity);
    return lstrlenW(name);
}
BOOL WINAPI FakeVisible(HWND window) {
    if (fakeVisible < 0) return visiblePatch->OriginalAs<BOOL WINAPI(HWND)>()(window);
    return fakeVisible;
}
SHORT WINAPI ScrollLockOn(int key) { return key == VK_SCROLL ? 1 : 0; }

class PseudoConsoleTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        fakeWindow = GetConsoleWindow();
        fakeClass = nullptr;
        fakeVisible = -1;
        window_ = std::make_unique<ImportPatch>(Plugin().Module(), "kernel32.dll", "GetConsoleWindow",
                                                reinterpret_cast<void*>(FakeConsoleWindow));
        class_ = std::make_unique<ImportPatch>(Plugin().Module(), "user32.dll", "GetClassNameW",
                                               reinterpret_cast<void*>(FakeClassName));
        visible_ = std::make_unique<ImportPatch>(Plugin().Module(), "user32.dll", "IsWindowVisible",
                                                 reinterpret_cast<void*>(FakeVisible));
        classPatch = class_.get();
        visiblePatch = visible_.get();
        ASSERT_TRUE(window_->Applied() && class_->Applied() && visible_->Applied());
    }
    void TearDown() override {
        window_.reset();
        class_.reset();
        visible_.reset();
        Start();  // the real console again, for the tests that follow
        PluginTest::TearDown();
    }
    // Start-up again, which decides afresh from what the intercepted calls answer.
    static void Start() {
        const auto initialize = reinterpret_cast<int (*)()>(Plugin().Export("InitializePlugin"));
        ASSERT_NE(initialize, nullptr);
        ASSERT_EQ(initialize(), 0);
    }
    // Start-up as inside Windows Terminal on Windows: a hidden window of the stand-in's class.
    void StartInTerminal() {
        fakeClass = L"PseudoConsoleWindow";
        fakeVisible = FALSE;
        Start();
    }
    // Whether the plug-in now takes its console for a pseudo console: only there does XCLOSE
    // GET_STATUS answer -1 (and, as ever, quietly).
    bool Refuses() {
        StandIn_ClearOutput();
        const bool refused = Run(L"XCLOSE", L"GET_STATUS") == -1;
        EXPECT_EQ(Err(), L"");
        return refused;
    }

    std::unique_ptr<ImportPatch> window_, class_, visible_;
};

TEST(PseudoConsoleAnswers, EveryRowSaysWhatTheReadmeAndTheseTestsDo) {
    using zarnith::InTerminal;
    auto same = [](const wchar_t* a, const wchar_t* b) { return std::wstring(a ? a : L"") == (b ? b : L""); };
    size_t listed = 0;
    for (int r = 0; r < zarnith::kRegistrationRows; ++r) {
        const InTerminal& column = zarnith::InTerminalOf(r);
        const wchar_t* name = zarnith::NameOf(r);
        bool found = false;
        for (const InTerminalRow& row : kInTerminal) {
            if (std::wstring_view(name) != row.name) continue;
            found = true;
            ++listed;
            EXPECT_EQ(column.kind, row.argument ? InTerminal::Refused : InTerminal::Fixed) << name;
            EXPECT_EQ(column.result, row.result) << name << ' ' << (row.argument ? row.argument : L"");
            EXPECT_TRUE(same(column.text, row.text)) << name;
        }
        if (!found) {
            EXPECT_EQ(column.kind, InTerminal::Works) << name;
        }
    }
    EXPECT_EQ(listed, std::size(kInTerminal)) << "a listed name has no row";
}

TEST_F(PseudoConsoleTest, DetectionSignals) {
    struct Case {
        const char* what;
        bool window;
        const wchar_t* className;
        int visible;
        bool pseudo;
    };
    const Case cases[] = {
        {"a classic console window", true, nullptr, -1, false},
        {"a classic console window, whatever its class", true, L"ConsoleWindowClass", TRUE, false},
        {"Windows: the stand-in's class, even once shown", true, L"PseudoConsoleWindow", TRUE, true},
        {"Windows: a hidden classic window, as behind ConEmu", true, L"ConsoleWindowClass", FALSE, false},
        {"Wine: a hidden window of the ordinary class", true, nullptr, FALSE, true},
        {"no console window at all", false, nullptr, -1, true},
    };
    for (const Case& c : cases) {
        fakeWindow = c.window ? GetConsoleWindow() : nullptr;
        fakeClass = c.className;
        fakeVisible = c.visible;
        Start();
        EXPECT_EQ(Refuses(), c.pseudo) << c.what;
    }
}

TEST_F(PseudoConsoleTest, AHiddenClassicConsoleActsOnceShown) {
    fakeVisible = FALSE;
    Start();
    EXPECT_TRUE(Refuses());
    fakeVisible = TRUE;  // shown after start-up: asked again at every command
    EXPECT_FALSE(Refuses());
}

TEST_F(PseudoConsoleTest, AMinimisedClassicConsoleIsNotOne) {
    const HWND window = GetConsoleWindow();
    ShowWindow(window, SW_MINIMIZE);
    for (int i = 0; i < 100 && !IsIconic(window); ++i) Sleep(10);
    ASSERT_TRUE(IsIconic(window));
    Start();
    const bool refused = Refuses();
    ShowWindow(window, SW_RESTORE);
    for (int i = 0; i < 100 && IsIconic(window); ++i) Sleep(10);
    EXPECT_FALSE(refused);
}

TEST_F(PseudoConsoleTest, WindowLevelCommandsRefuseWithOneLineAndChangeNothing) {
    const CONSOLE_SCREEN_BUFFER_INFO before = tconsole::Info();
    const auto font = [] {
        CONSOLE_FONT_INFOEX f{};
        f.cbSize = sizeof f;
        GetCurrentConsoleFontEx(tconsole::Out(), FALSE, &f);
        return std::wstring(f.FaceName) + L" " + std::to_wstring(f.dwFontSize.X) + L"x" + std::to_wstring(f.dwFontSize.Y);
    };
    const std::wstring fontBefore = font();
    StartInTerminal();
    for (const InTerminalRow& r : kInTerminal) {
        if (r.argument == nullptr) continue;
        StandIn_ClearOutput();
        EXPECT_EQ(Run(r.name, r.argument), r.result) << r.name << ' ' << r.argument;
        EXPECT_EQ(Err(), std::wstring(r.name) + kRefusal) << r.argument;
        EXPECT_EQ(Out(), L"") << r.name;
    }
    const CONSOLE_SCREEN_BUFFER_INFO after = tconsole::Info();
    EXPECT_EQ(after.dwSize.X, before.dwSize.X);
    EXPECT_EQ(after.dwSize.Y, before.dwSize.Y);
    EXPECT_EQ(after.srWindow.Right, before.srWindow.Right);
    EXPECT_EQ(after.srWindow.Bottom, before.srWindow.Bottom);
    EXPECT_EQ(font(), fontBefore);
    EXPECT_EQ(Var(L"_ALTENTER"), L"1") << "no keyboard hook";
    EXPECT_EQ(StandIn_CommandCount(), 0) << "SYSMENU stacked no keys";
}

TEST_F(PseudoConsoleTest, UsageTextsQueriesAndTheBufferStillWork) {
    StartInTerminal();
    struct Case {
        const wchar_t* name;
        const wchar_t* line;
        int result;
        const wchar_t* output;  // a part of what standard output shows
    };
    const Case cases[] = {
        {L"CONSIZE", L"", 2, L"CONSIZE ..."},
        {L"CONSIZE", L"/W 60 20 /Q", 0, L"\tConsole:\t  -1 x -1\r\n"},
        {L"CONSIZE", L"/Q", 0, L"\tMax console:\t  -1 x -1\r\n"},
        {L"SETFONT", L"1 2", 0, L"SETFONT index"},
        {L"CYCLE", L"/?", 0, L"CYCLE [-]"},
        {L"XCLOSE", L"/?", 0, L"XCLOSE [ OFF | ON ]"},
        {L"XCLOSE", L"GET_STATUS", -1, L""},
        {L"SYSMENU", L"", 0, L"Usage:  SYSMENU"},
        {L"ALTENTER", L"", 0, L"<Alt-Enter> is ENABLED"},
        {L"ALTENTER", L"/E", 0, L""},
        {L"SETICON", L"", -1, L"SETICON  iconfile"},
    };
    for (const Case& c : cases) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(c.name, c.line), c.result) << c.name << ' ' << c.line;
        EXPECT_EQ(Err(), L"") << c.name << ' ' << c.line;
        EXPECT_NE(Out().find(c.output), std::wstring::npos) << c.name << ' ' << c.line;
    }
    EXPECT_EQ(Expanded(WindowVariables(false)), WindowVariables(true));
    RECT tray{};
    ASSERT_TRUE(GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &tray));
    EXPECT_EQ(Expanded(kTrayVariables), std::to_wstring(tray.bottom - tray.top) + L"|" + std::to_wstring(tray.right - tray.left));
}

// Without Scroll Lock the zhost run below shows the same; Ctrl-Del is served there too.
TEST_F(PseudoConsoleTest, KeyHandlerPassesScrollLockKeysOn) {
    StartInTerminal();
    ImportPatch lock(Plugin().Module(), "user32.dll", "GetKeyState", reinterpret_cast<void*>(ScrollLockOn));
    wchar_t line[32] = L"dir";
    for (int32_t code : {0x1008D, 0x10091, 0x100F4, 0x100F6}) {  // Ctrl-Up, Ctrl-Down, Alt-Left, Alt-Right
        HostKeyRecord record{};
        record.Key = code;
        record.Line = record.LinePosition = line;
        Plugin().Key(record);
        EXPECT_EQ(record.Key, code) << std::hex << code;
    }
}

// There conhost makes its buffer the size of any window set, behind the terminal's back: a size
// saved or remembered before the tab was resized is not asked for again.
TEST_F(PseudoConsoleTest, ASizeFromBeforeTheTabWasResizedIsNotAskedFor) {
    TempFile file(L"pseudo.con");
    tconsole::WriteText(0, 0, L"saved row");
    tconsole::SetCursor(0, 2);
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    ASSERT_EQ(Run(L"GOTOXY", L"1 1"), 0);  // remembers the 80 x 25 view
    tconsole::SetBufferAndWindow(100, 40, 100, 40);
    tconsole::WriteText(0, 0, L"changed  ");
    StartInTerminal();
    conhost::Model model(Plugin().Module());
    ASSERT_TRUE(model.Applied());
    model.SetPseudoConsole(true);
    for (auto [name, line] : {std::pair{L"RSTRCON", file.Path()}, {L"GOTOXY", std::wstring(L"/R")}}) {
        StandIn_ClearOutput();
        EXPECT_EQ(Run(name, line), 0) << name;
        EXPECT_EQ(Err(), L"") << name;
        EXPECT_EQ(tconsole::Info().dwSize.X, 100) << name;
        EXPECT_EQ(tconsole::Info().dwSize.Y, 40) << name;
    }
    EXPECT_EQ(model.ReadText(COORD{0, 0}, 9), L"saved row");
}

struct OwnedHandle {
    HANDLE h = nullptr;
    ~OwnedHandle() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

// Moves whatever a pipe holds now into `into`, without ever blocking.
void DrainAvailable(HANDLE pipe, std::string& into) {
    char chunk[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr) || got == 0) return;
        into.append(chunk, got);
    }
}

// The transcript of `script` run by zhost --keep-console inside a pseudo console of 80 x 25 that
// the test creates; `problem` says what failed. The transcript comes back through a pipe of the
// test's own, while the pseudo console's output (the screen as escape sequences) is drained so
// that zhost never blocks on it. Every wait is bounded.
std::string RunInPseudoConsole(const std::string& script, std::string& problem) {
    // Looked up: Debian's mingw headers declare them only for newer Windows targets.
    const auto kernel = zarnith::OsModule::Named(L"kernel32.dll");
    const zarnith::RunTimeFunction<HRESULT(COORD, HANDLE, HANDLE, DWORD, void**)> create(kernel, "CreatePseudoConsole");
    const zarnith::RunTimeFunction<void(void*)> close(kernel, "ClosePseudoConsole");
    if (!create || !close) return problem = "no CreatePseudoConsole", "";

    TempFile scriptFile(L"pseudo.zs");
    std::ofstream(scriptFile.Path().c_str(), std::ios::binary) << script;

    OwnedHandle inRead, inWrite, outRead, outWrite, transcriptRead, transcriptWrite;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    if (!CreatePipe(&inRead.h, &inWrite.h, nullptr, 0) || !CreatePipe(&outRead.h, &outWrite.h, nullptr, 0) ||
        !CreatePipe(&transcriptRead.h, &transcriptWrite.h, &inheritable, 0))
        return problem = "no pipes", "";
    SetHandleInformation(transcriptRead.h, HANDLE_FLAG_INHERIT, 0);
    void* console = nullptr;
    if (create(COORD{80, 25}, inRead.h, outWrite.h, 0, &console) != S_OK)
        return problem = "CreatePseudoConsole failed", "";

    SIZE_T bytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &bytes);
    std::vector<char> attributes(bytes);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    InitializeProcThreadAttributeList(list, 1, 0, &bytes);
    constexpr DWORD_PTR kPseudoConsoleAttribute = 0x00020016;  // PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE
    UpdateProcThreadAttribute(list, 0, kPseudoConsoleAttribute, console, sizeof console, nullptr, nullptr);
    STARTUPINFOEXW start{};
    start.StartupInfo.cb = sizeof start;
    start.lpAttributeList = list;
    // Only the transcript is ours; zhost takes the pseudo console's own handles as its standard ones.
    start.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    start.StartupInfo.hStdOutput = start.StartupInfo.hStdError = transcriptWrite.h;
    // zhost.exe and ZARNITH.dll stand beside the test program.
    wchar_t folder[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    *wcsrchr(folder, L'\\') = L'\0';
    const std::wstring program = std::wstring(folder) + L"\\zhost.exe";
    std::wstring command = L"\"" + program + L"\" --dll \"" + folder + L"\\ZARNITH.dll\" --keep-console \"" +
                           scriptFile.Path() + L"\"";
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE,
                                        EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &start.StartupInfo, &process);
    DeleteProcThreadAttributeList(list);
    CloseHandle(transcriptWrite.h);
    transcriptWrite.h = nullptr;

    std::string transcript, screen;
    if (started) {
        OwnedHandle child{process.hProcess}, thread{process.hThread};
        const ULONGLONG deadline = GetTickCount64() + 60000;
        while (WaitForSingleObject(child.h, 5) == WAIT_TIMEOUT) {
            DrainAvailable(transcriptRead.h, transcript);
            DrainAvailable(outRead.h, screen);
            if (GetTickCount64() > deadline) {
                TerminateProcess(child.h, 99);
                problem = "zhost did not finish within 60 s";
                break;
            }
        }
        DrainAvailable(transcriptRead.h, transcript);
    } else {
        problem = "zhost.exe did not start";
    }
    // Closing waits for the console to finish its output: keep draining meanwhile.
    std::atomic<bool> closed{false};
    std::thread drain([&] {
        while (!closed) {
            DrainAvailable(outRead.h, screen);
            Sleep(5);
        }
    });
    close(console);
    closed = true;
    drain.join();
    return transcript;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += char(c);  // the texts here are ASCII (paths under Wine's temp folder)
    return out;
}

TEST(PseudoConsoleHost, ZhostInsideAPseudoConsole) {
    TempFile saved(L"pseudo-saved.con"), dump(L"pseudo-dump.txt");
    std::string script;
    for (const InTerminalRow& r : kInTerminal)
        if (r.argument) script += Narrow(std::wstring(r.name) + L" " + r.argument) + "\n";
    script += "ECHO window=" + Narrow(WindowVariables(false)) + "\n";
    script += "ECHO tray=" + Narrow(kTrayVariables) + "\n";
    script += "KEY Ctrl-Up Ctrl-Down Alt-Left Alt-Right\n";
    // The buffer commands, on what the pseudo console holds (the view: 80 x 25).
    script += "ECHO marker-in-the-buffer\n"
              "SAVECSB " + Narrow(dump.Path()) + "\n"
              "SAVECON " + Narrow(saved.Path()) + "\n"
              "QUEUEKEYS q\n"
              "CSBFIND marker\n"
              "REPAINT /A bright white on blue\n"
              "FCLS\n"
              "RSTRCON " + Narrow(saved.Path()) + "\n"
              "CLUP 1\n"
              "VBEEP 1\n"
              "GOTOXY 5 3\n"
              "ECHO cursor=%_BUFX,%_BUFY size=%_BUFCOLS x %_BUFROWS\n"
              "CURSOR OFF\n"
              "ECHO cursor-visible=%_CURSOR char=%@BUFCHAR[65]\n"
              "CURSOR ON\n"
              "KEY Ctrl-Del\n";

    std::string problem;
    const std::string transcript = RunInPseudoConsole(script, problem);
    ASSERT_EQ(problem, "") << transcript;
    ASSERT_EQ(transcript.rfind("zhost: loaded ZARNITH", 0), 0u) << transcript;
    ASSERT_EQ(transcript.find("InitializePlugin returned"), std::string::npos) << "started as outside a tab";

    for (const InTerminalRow& r : kInTerminal) {
        if (r.argument == nullptr) continue;
        const std::string line = Narrow(std::wstring(r.name) + L" " + r.argument);
        const std::string step = "> " + (line.back() == ' ' ? line.substr(0, line.size() - 1) : line) + "\r\n" +
                                 "[stderr] " + Narrow(std::wstring(r.name) + kRefusal) + "  [result " +
                                 std::to_string(r.result) + "]\r\n";
        EXPECT_NE(transcript.find(step), std::string::npos) << step;
    }
    EXPECT_NE(transcript.find("\r\nwindow=" + Narrow(WindowVariables(true)) + "\r\n"), std::string::npos);
    EXPECT_NE(transcript.find("\r\ntray="), std::string::npos);
    EXPECT_EQ(transcript.find("\r\ntray=-1|-1\r\n"), std::string::npos) << "the task bar went unmeasured";
    for (const char* key : {"Ctrl-Up", "Ctrl-Down", "Alt-Left", "Alt-Right"})
        EXPECT_NE(transcript.find("  " + std::string(key) + ": passed on to the host\r\n"), std::string::npos) << key;
    EXPECT_NE(transcript.find("  Ctrl-Del: line emptied"), std::string::npos) << "Ctrl-Del still served";

    EXPECT_NE(transcript.find("\r\ncursor=5,3 size=80 x 25\r\n"), std::string::npos) << "the view is the buffer";
    for (const char* command : {"SAVECSB", "SAVECON", "CSBFIND", "REPAINT", "FCLS", "RSTRCON", "CLUP", "VBEEP",
                                "CURSOR OFF", "CURSOR ON"}) {
        const size_t at = transcript.find("\r\n> " + std::string(command));
        ASSERT_NE(at, std::string::npos) << command;
        const size_t result = transcript.find("  [result ", at);
        EXPECT_EQ(transcript.compare(result, 13, "  [result 0]\r"), 0) << transcript.substr(at, result - at + 14);
    }
    EXPECT_EQ(transcript.find("[stderr] SAVE"), std::string::npos);
    EXPECT_EQ(transcript.find("[stderr] RSTRCON"), std::string::npos);
    EXPECT_NE(transcript.find("\r\ncursor-visible=0 char=A\r\n"), std::string::npos);
    std::ifstream text(dump.Path().c_str(), std::ios::binary);
    const std::string dumped((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
    EXPECT_NE(dumped.find("marker-in-the-buffer"), std::string::npos) << dumped;
}

}  // namespace
