#include "harness/driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "support/plugin_test.h"

namespace sweep {

namespace {

constexpr size_t kCanary = 64;
constexpr wchar_t kCanaryChar = 0xFDFD;

BOOL WINAPI SurviveBreak(DWORD) { return TRUE; }

std::wstring TempFolder() {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    std::wstring folder = std::wstring(dir) + L"zarnith-sweep-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring CurrentFolder() {
    wchar_t dir[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, dir);
    return dir;
}

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring path = folder + L"\\" + data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::string Narrow(const std::wstring& text) { return Printable(text, 64); }

std::string ExportName(const std::wstring& name) {
    std::string upper;
    for (wchar_t c : name) upper += char(towupper(c));
    if (!upper.empty() && upper[0] == '@') return "f_" + upper.substr(1);
    if (upper == "*KEYHANDLER") return "KEYHANDLER";
    return upper;
}

bool CanaryIntact(const std::vector<wchar_t>& buffer, size_t from) {
    for (size_t i = from; i < buffer.size(); ++i)
        if (buffer[i] != kCanaryChar) return false;
    return true;
}

bool SameFont(const CONSOLE_FONT_INFOEX& a, const CONSOLE_FONT_INFOEX& b) {
    return a.dwFontSize.X == b.dwFontSize.X && a.dwFontSize.Y == b.dwFontSize.Y && a.FontWeight == b.FontWeight &&
           a.FontFamily == b.FontFamily && std::wcscmp(a.FaceName, b.FaceName) == 0;
}

}  // namespace

Settings Settings::FromEnvironment() {
    Settings s;
    if (const char* v = std::getenv("ZARNITH_SWEEP_SEED"); v && *v) s.seed = std::strtoull(v, nullptr, 0);
    if (const char* v = std::getenv("ZARNITH_SWEEP_CALLS"); v && *v) s.calls = std::max(1L, std::strtol(v, nullptr, 0));
    if (const char* v = std::getenv("ZARNITH_SWEEP_FIRST"); v && *v) s.first = std::max(0L, std::strtol(v, nullptr, 0));
    if (const char* v = std::getenv("ZARNITH_SWEEP_TIMEOUT_MS"); v && *v) s.timeoutMs = DWORD(std::strtoul(v, nullptr, 0));
    return s;
}

Harness::Harness()
    : startFolder_(CurrentFolder()),
      folder_(TempFolder()),
      log_(startFolder_ + L"\\sweep-last-call.txt"),
      dog_(Settings::FromEnvironment().timeoutMs) {
    // GENBREAK raises Ctrl+C on our console; the handler stays for the process's life because
    // the event may be delivered after the call returned.
    SetConsoleCtrlHandler(SurviveBreak, TRUE);
    base_ = tconsole::Info();
    GetConsoleCursorInfo(tconsole::Out(), &baseCursor_);
    GetConsoleMode(tconsole::In(), &baseMode_);
    font_.cbSize = sizeof font_;
    GetCurrentConsoleFontEx(tconsole::Out(), FALSE, &font_);
    validSnapshot_ = CaptureSnapshot(tconsole::Out(), GetConsoleWindow());
    // Files the commands write (snapshots, dumps, names made of junk) land in a folder of ours.
    SetCurrentDirectoryW(folder_.c_str());
    fakes_ = std::make_unique<FastFakes>(Plugin().Module());
    fence_ = std::make_unique<FileFence>(Plugin().Module(), folder_);
}

Harness::~Harness() {
    fence_.reset();
    fakes_.reset();
    // Alt-Enter back on, whatever the sweep left.
    Plugin().RunCommand(L"ALTENTER", L"/E");
    SetCurrentDirectoryW(startFolder_.c_str());
    EmptyFolder(folder_ + L"\\dir");
    RemoveDirectoryW((folder_ + L"\\dir").c_str());
    EmptyFolder(folder_);
    RemoveDirectoryW(folder_.c_str());
    RestoreConsole();
    StandIn_ClearOutput();
}

void Harness::PrepareScreen() {
    // One transfer for all rows: console calls are slow under Wine.
    const SHORT width = base_.dwSize.X, rows = std::min<SHORT>(20, base_.dwSize.Y);
    std::vector<CHAR_INFO> cells(size_t(width) * size_t(rows));
    for (SHORT r = 0; r < rows; ++r) {
        const std::wstring text = L"alpha beta a e \U0001F600 caf\u00E9 [x] (y) ZZ " + std::to_wstring(r);
        for (SHORT c = 0; c < width; ++c) {
            CHAR_INFO& cell = cells[size_t(r) * size_t(width) + size_t(c)];
            cell.Char.UnicodeChar = size_t(c) < text.size() ? text[size_t(c)] : L' ';
            cell.Attributes = WORD(0x07 + (c % 7) * 0x10);
        }
    }
    SMALL_RECT region{0, 0, SHORT(width - 1), SHORT(rows - 1)};
    WriteConsoleOutputW(tconsole::Out(), cells.data(), COORD{width, rows}, COORD{0, 0}, &region);
    tconsole::SetCursor(0, rows);
}

std::string Harness::WriteSnapshot(Rng& rng, const std::wstring& file) {
    const auto kind = SnapshotKind(rng.Below(uint32_t(SnapshotKind::Count)));
    const std::string bytes = MutateSnapshot(rng, validSnapshot_, kind);
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        if (!bytes.empty()) WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr);
        CloseHandle(h);
    }
    return SnapshotKindName(kind);
}

Harness::Result Harness::Call(const CallInput& in) {
    Result r;
    const std::string what = in.where + "\nname=" + Narrow(in.name) + "\nlabel=" + in.label +
                             "\ninput=" + Printable(in.line, 4000) + "\n";
    log_.Record(what);
    StandIn_ClearOutput();
    if (in.name == L"CSBFIND") {
        PrepareScreen();
        tconsole::TypeKeys(L"nq");
    } else if (in.name == L"CONHELP") {
        tconsole::TypeKeys(L"x");  // its pause reads a key through the host
    }

    auto entry = reinterpret_cast<int (*)(wchar_t*)>(Plugin().Export(ExportName(in.name).c_str()));
    if (!entry && ShapeOf(in.name) != EntryShape::Key) {
        r.problem = "no export for " + ExportName(in.name);
        return r;
    }
    LARGE_INTEGER t0, t1, f;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    dog_.Begin(what);
    switch (ShapeOf(in.name)) {
        case EntryShape::Command: r.code = Plugin().RunCommand(in.name, in.line); break;
        case EntryShape::Variable:
        case EntryShape::Function: {
            // The host's result buffer: its old content, then a guard zone the plug-in must not touch.
            std::vector<wchar_t> buffer(PluginHost::kResultCapacity + kCanary, kCanaryChar);
            std::fill_n(buffer.begin(), PluginHost::kResultCapacity, L'Z');
            if (ShapeOf(in.name) == EntryShape::Function) {
                const size_t n = std::min(in.line.size(), PluginHost::kResultCapacity - 1);
                std::copy_n(in.line.begin(), n, buffer.begin());
                buffer[n] = 0;
            }
            r.code = entry(buffer.data());
            dog_.End();
            if (!CanaryIntact(buffer, PluginHost::kResultCapacity))
                r.problem = "wrote past the host's result buffer of " + std::to_string(PluginHost::kResultCapacity);
            else if (r.code == 0 &&
                     std::find(buffer.begin(), buffer.begin() + PluginHost::kResultCapacity, L'\0') ==
                         buffer.begin() + PluginHost::kResultCapacity)
                r.problem = "result 0 but no terminated text in the result buffer";
            break;
        }
        case EntryShape::Key: {
            std::vector<wchar_t> line(in.key.line.size() + 1 + kCanary, kCanaryChar);
            std::copy(in.key.line.begin(), in.key.line.end(), line.begin());
            line[in.key.line.size()] = 0;
            HostKeyRecord record{in.key.key, in.key.startRow, in.key.startColumn, in.key.cursorRow,
                                 in.key.cursorColumn, 0, line.data(), line.data() + in.key.line.size() / 2};
            r.code = Plugin().Key(record);
            dog_.End();
            if (!CanaryIntact(line, in.key.line.size() + 1)) r.problem = "wrote past the key record's line";
            break;
        }
    }
    dog_.End();
    QueryPerformanceCounter(&t1);
    r.ms = double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(f.QuadPart);
    r.out = *StandIn_Output(0) != 0;
    r.err = *StandIn_Output(1) != 0;
    StandIn_ClearOutput();
    StandIn_ClearRecords();
    const bool command = ShapeOf(in.name) == EntryShape::Command || ShapeOf(in.name) == EntryShape::Key;
    if (command) tconsole::FlushInput();
    // A switched active buffer shows as a changed standard output (the host switches both).
    if (GetStdHandle(STD_OUTPUT_HANDLE) != tconsole::Out()) SetConsoleActiveScreenBuffer(tconsole::Out());
    CONSOLE_SCREEN_BUFFER_INFO now{};
    if (std::string bad = CheckConsoleGeometry(tconsole::Out(), now); !bad.empty() && r.problem.empty())
        r.problem = "console left invalid: " + bad;
    RestoreConsole(now, command);
    return r;
}

void Harness::RestoreConsole() {
    CONSOLE_SCREEN_BUFFER_INFO now{};
    GetConsoleScreenBufferInfo(tconsole::Out(), &now);
    RestoreConsole(now, true);
}

void Harness::RestoreConsole(const CONSOLE_SCREEN_BUFFER_INFO& now, bool full) {
    SetStdHandle(STD_OUTPUT_HANDLE, tconsole::Out());
    SetStdHandle(STD_INPUT_HANDLE, tconsole::In());
    bool same = now.dwSize.X == base_.dwSize.X && now.dwSize.Y == base_.dwSize.Y &&
                std::memcmp(&now.srWindow, &base_.srWindow, sizeof base_.srWindow) == 0 &&
                now.wAttributes == base_.wAttributes;
    // Console queries cost milliseconds under Wine: variables and functions only get the geometry.
    if (full) {
        SetConsoleActiveScreenBuffer(tconsole::Out());
        CONSOLE_FONT_INFOEX font{};
        font.cbSize = sizeof font;
        GetCurrentConsoleFontEx(tconsole::Out(), FALSE, &font);
        if (!SameFont(font, font_)) {
            CONSOLE_FONT_INFOEX back = font_;
            SetCurrentConsoleFontEx(tconsole::Out(), FALSE, &back);
            same = false;
        }
        CONSOLE_CURSOR_INFO cursor{};
        GetConsoleCursorInfo(tconsole::Out(), &cursor);
        DWORD mode = 0;
        GetConsoleMode(tconsole::In(), &mode);
        same = same && cursor.bVisible == baseCursor_.bVisible && cursor.dwSize == baseCursor_.dwSize &&
               mode == baseMode_;
    }
    if (same) return;
    // Wine's console host can fall over when a grown and written buffer shrinks at once.
    Sleep(60);
    snapshot_.Restore();
}

void Harness::Count(const std::string& label, const Result& result, double ms) {
    Tally& t = table_[label];
    ++t.cases;
    if (result.code == 0) ++t.zero;
    else if (result.code > 0) ++t.positive;
    else if (result.code == -1) ++t.minusOne;
    else ++t.otherNegative;
    if (result.out) ++t.stdoutText;
    if (result.err) ++t.stderrText;
    if (result.code != 0 && !result.out && !result.err) ++t.silentFailures;
    t.ms += ms;
}

std::string Harness::FormatTable(const std::string& title) const {
    std::string text = "\n" + title + "\n";
    char line[256];
    std::snprintf(line, sizeof line, "%-34s %7s %7s %7s %7s %7s %7s %7s %7s %9s\n", "kind of input / fault", "cases",
                  "res 0", "res >0", "res -1", "res <-1", "stdout", "stderr", "silent", "ms");
    text += line;
    for (const auto& [label, t] : table_) {
        std::snprintf(line, sizeof line, "%-34.34s %7ld %7ld %7ld %7ld %7ld %7ld %7ld %7ld %9.0f\n", label.c_str(),
                      t.cases, t.zero, t.positive, t.minusOne, t.otherNegative, t.stdoutText, t.stderrText,
                      t.silentFailures, t.ms);
        text += line;
    }
    return text;
}

std::vector<std::wstring> DeepLines(const std::wstring& name) {
    static const std::map<std::wstring, std::vector<std::wstring>> table = {
        {L"ALTENTER", {L"/D", L"/E"}},
        {L"CLUP", {L"3"}},
        {L"CONHELP", {L"LIST", L"CONSIZE", L"_QE"}},
        {L"CONSIZE", {L"/Q", L"/W 70 20 /B 90 200", L"/P 10 10", L"/C 5"}},
        {L"CSBFIND", {L"a", L"("}},
        {L"CURSOR", {L"OFF", L"ON"}},
        {L"CYCLE", {L"-"}},
        {L"GENBREAK", {L"0"}},
        {L"GOTOXY", {L"5 5", L"/R"}},
        {L"QE", {L"OFF", L"ON"}},
        {L"REPAINT", {L"/A bright white on blue", L"red"}},
        {L"RSTRCON", {L"snap.bin"}},
        {L"SAVECON", {L"snap.bin"}},
        {L"SAVECSB", {L"dump.txt", L"/A dump.txt", L"/C dump.txt", L"/H dump.html"}},
        {L"SCROLL", {L"V + 2", L"H E"}},
        {L"SETFONT", {L"0 8 16 400 Consolas"}},
        {L"SETICON", {L"ZARNITH.dll 1", L"x.ico"}},
        {L"SYSMENU", {L"c"}},
        {L"XCLOSE", {L"0", L"1"}},
        {L"VBEEP", {L"10 440", L"10 Asterisk"}},
        {L"@BUFCHAR", {L"0", L"100"}},
        {L"@ICONS", {L"ZARNITH.dll", L"shell32.dll"}},
    };
    std::vector<std::wstring> lines = {L"", L"/?"};
    if (auto it = table.find(name); it != table.end()) lines.insert(lines.end(), it->second.begin(), it->second.end());
    return lines;
}

}  // namespace sweep
