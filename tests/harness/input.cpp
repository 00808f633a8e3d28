#include "harness/input.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace sweep {

uint64_t Rng::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

Rng RngFor(uint64_t seed, uint64_t index) {
    Rng mix(seed ^ (index * 0xD1B54A32D192ED03ull));
    return Rng(mix.Next());
}

const char* KindName(InputKind kind) {
    static const char* names[] = {"empty/blank", "options", "/? and ?", "int limits", "quotes",
                                  "control chars", "non-BMP", "long (<=32767)"};
    return names[int(kind)];
}

EntryShape ShapeOf(const std::wstring& name) {
    if (name.empty()) return EntryShape::Command;
    if (name[0] == L'_') return EntryShape::Variable;
    if (name[0] == L'@') return EntryShape::Function;
    if (name[0] == L'*') return EntryShape::Key;
    return EntryShape::Command;
}

const std::vector<std::wstring>& LimitNumbers() {
    static const std::vector<std::wstring> numbers = {
        L"0", L"1", L"-1", L"2", L"9", L"10", L"255", L"256", L"9999", L"10000", L"32766", L"32767", L"32768",
        L"-32767", L"-32768", L"-32769", L"65535", L"65536", L"2147483647", L"2147483648", L"-2147483648",
        L"-2147483649", L"4294967295", L"4294967296", L"99999999999999999999", L"-0", L"+5", L"0x10",
        L"1e9", L"007", L"1.5", L"-", L"+"};
    return numbers;
}

namespace {

// File names that resolve outside the working folder: rooted, drive-relative, other drives, shares,
// devices, reserved names, climbing out, and longer than MAX_PATH. The sweep's file fence refuses
// those outside its folder, so they exercise the failure paths without touching the machine.
std::vector<std::wstring> WithOddPaths(std::vector<std::wstring> names) {
    static const std::wstring longName = L"C:\\" + std::wstring(300, L'L') + L"\\x.txt";
    for (const wchar_t* odd : {L"\\x.txt", L"\\'A", L"C:x.txt", L"C:\\x.txt", L"Z:\\x.txt", L"D:\\x.txt",
                               L"\\\\server\\share\\x.txt", L"\\\\'A", L"\\\\.\\PhysicalDrive0",
                               L"\\\\.\\NUL", L"\\\\?\\C:\\x.txt", L"\\\\?\\UNC\\server\\x", L"CON", L"CONOUT$",
                               L"AUX", L"COM1", L"LPT1.txt", L"..\\..\\..\\..\\..\\x.txt", L"%TEMP%\\x.txt"})
        names.emplace_back(odd);
    names.push_back(longName);
    names.push_back(std::wstring(400, L'n') + L".txt");
    return names;
}

// Options and values each name reads, so that generated lines also get past the usage check.
const std::vector<std::wstring>& VocabularyOf(const std::wstring& name) {
    static const std::map<std::wstring, std::vector<std::wstring>> table = {
        {L"ALTENTER", {L"/D", L"/E", L"/d", L"/Disable", L"/Enable", L"/X"}},
        {L"CLUP", {L"1", L"5", L"40", L"200"}},
        {L"CONHELP", {L"LIST", L"list", L"CONSIZE", L"_QE", L"@BUFCHAR", L"*KEYHANDLER", L"SETICON", L"NOSUCH",
                      L"CYCLE", L"CSBFIND", L"_RULER"}},
        {L"CONSIZE", {L"/W", L"/B", L"/P", L"/C", L"/R", L"/Q", L"/w", L"/Window", L"/Buffer", L"/X", L"80", L"25",
                      L"100", L"50", L"300", L"5", L"9", L"-1", L"0"}},
        {L"CSBFIND", {L"a", L"e", L"\"x y\"", L"(", L"[", L"(a*)*b", L".*", L"^", L"$", L"\\", L"(?<n>a)\\k<n>",
                      L"[[:alpha:]]+", L"\\x{1F600}", L"(?i)Z", L"a{2,}", L"(", L"*"}},
        {L"CURSOR", {L"ON", L"OFF", L"on", L"off", L"1", L"0"}},
        {L"CYCLE", {L"-", L"+", L"--"}},
        {L"GENBREAK", {L"0", L"1", L"C", L"B", L"/C", L"/B"}},
        {L"GOTOXY", {L"/R", L"/r", L"/Return", L"0", L"10", L"79", L"149", L"200"}},
        {L"QE", {L"ON", L"OFF", L"0", L"1", L"/E", L"/D"}},
        {L"REPAINT", {L"/A", L"/a", L"bright", L"white", L"on", L"blue", L"red", L"bla", L"yel", L"blink",
                      L"ON", L"grey"}},
        {L"RSTRCON", WithOddPaths({L"snap.bin", L"nosuch.bin", L".", L"NUL", L"dir\\x.bin", L"\"snap.bin\""})},
        {L"SAVECON", WithOddPaths({L"snap.bin", L"out.bin", L".", L"NUL", L"dir\\x.bin", L"\"sp ace.bin\"", L"<>|"})},
        {L"SAVECSB", WithOddPaths({L"/A", L"/a", L"/C", L"/h", L"dump.txt", L"NUL", L".", L"\"sp ace.txt\"", L"dir\\x.txt"})},
        {L"SCROLL", {L"V", L"H", L"v", L"h", L"+", L"-", L"H", L"E", L"P", L"N", L"Home", L"End", L"Prev", L"Next"}},
        {L"SETFONT", {L"0", L"1", L"8", L"16", L"400", L"700", L"Consolas", L"\"Liberation Mono\"", L"Terminal"}},
        {L"SETICON", {L"x.ico", L"ZARNITH.dll", L"kernel32.dll", L"shell32.dll", L"zhost.exe", L"nosuch.dll",
                      L"a.b.c", L"1", L"2", L"3"}},
        {L"SYSMENU", {L"c", L"x", L"n", L"m", L"\"\""}},
        {L"XCLOSE", {L"0", L"1", L"ON", L"OFF", L"/E", L"/D"}},
        {L"VBEEP", {L"0", L"1", L"50", L"440", L"1000", L"Asterisk", L"SystemHand", L"x"}},
        {L"@BUFCHAR", {L"0", L"1", L"79", L"80", L"12000", L"-1"}},
        {L"@ICONS", {L"ZARNITH.dll", L"kernel32.dll", L"shell32.dll", L"zhost.exe", L"nosuch.dll", L"x.ico", L"\"\""}},
    };
    static const std::vector<std::wstring> generic = {L"/?", L"ON", L"OFF", L"/A", L"/R", L"1", L"0", L"x"};
    auto it = table.find(name);
    return it == table.end() ? generic : it->second;
}

const wchar_t* const kHelpForms[] = {L"/?", L"?", L"/??", L"-?", L"x/?", L"/?x", L"\"/?\"", L"??", L"/ ?"};

std::wstring Token(Rng& rng, const std::wstring& name) {
    switch (rng.Below(6)) {
        case 0: return rng.Pick(LimitNumbers());
        case 1: return kHelpForms[rng.Below(std::size(kHelpForms))];
        default: return rng.Pick(VocabularyOf(name));
    }
}

std::wstring Words(Rng& rng, const std::wstring& name, uint32_t most) {
    std::wstring line;
    const uint32_t n = 1 + rng.Below(most);
    for (uint32_t i = 0; i < n; ++i) {
        if (i) line += rng.Chance(80) ? L" " : (rng.Chance(50) ? L"\t" : L"  ");
        line += Token(rng, name);
    }
    return line;
}

void InsertAt(Rng& rng, std::wstring& line, const std::wstring& piece) {
    line.insert(rng.Below(uint32_t(line.size() + 1)), piece);
}

}  // namespace

std::wstring MakeLine(Rng& rng, const std::wstring& name, InputKind kind) {
    switch (kind) {
        case InputKind::Empty: {
            static const wchar_t* blanks[] = {L"", L" ", L"   ", L"\t", L" \t \t", L"\r\n", L"\"\"", L"\" \""};
            return blanks[rng.Below(std::size(blanks))];
        }
        case InputKind::Vocabulary: return Words(rng, name, 6);
        case InputKind::Help: {
            std::wstring line = rng.Chance(30) ? std::wstring() : Words(rng, name, 3);
            InsertAt(rng, line, rng.Chance(50) ? L" /? " : (rng.Chance(50) ? L"?" : L"/?"));
            return line;
        }
        case InputKind::Numbers: {
            std::wstring line = rng.Chance(50) ? rng.Pick(VocabularyOf(name)) : std::wstring();
            const uint32_t n = 1 + rng.Below(6);
            for (uint32_t i = 0; i < n; ++i) line += (line.empty() ? L"" : L" ") + rng.Pick(LimitNumbers());
            return line;
        }
        case InputKind::Quotes: {
            std::wstring line = Words(rng, name, 4);
            const uint32_t n = 1 + rng.Below(5);
            static const wchar_t* pieces[] = {L"\"", L"\"\"", L"\"a \"b\" c\"", L"\\\"", L"\\\\\"", L"\"\"\"", L"'"};
            for (uint32_t i = 0; i < n; ++i) InsertAt(rng, line, pieces[rng.Below(std::size(pieces))]);
            return line;
        }
        case InputKind::Control: {
            std::wstring line = Words(rng, name, 4);
            const uint32_t n = 1 + rng.Below(6);
            for (uint32_t i = 0; i < n; ++i) {
                wchar_t c = wchar_t(1 + rng.Below(31));
                if (rng.Chance(10)) c = 0x7F;
                if (rng.Chance(10)) c = wchar_t(0x80 + rng.Below(32));
                if (rng.Chance(5)) c = 0;  // the host's line ends there
                InsertAt(rng, line, std::wstring(1, c));
            }
            return line;
        }
        case InputKind::Surrogates: {
            std::wstring line = Words(rng, name, 3);
            static const wchar_t* pieces[] = {L"\U0001F600", L"\U00010000", L"\U0010FFFF", L"\xD800", L"\xDFFF",
                                              L"\xDBFF\xDBFF", L"\xDC00\xD800", L"\xFFFF", L"\xFEFF", L"\x0300"};
            const uint32_t n = 1 + rng.Below(6);
            for (uint32_t i = 0; i < n; ++i) InsertAt(rng, line, pieces[rng.Below(std::size(pieces))]);
            return line;
        }
        case InputKind::Long: {
            static const uint32_t lengths[] = {255, 256, 259, 260, 261, 511, 512, 1023, 1024, 2046, 2047, 2048,
                                               2049, 4096, 8191, 16384, 32766, 32767};
            const uint32_t target = rng.Chance(80) ? lengths[rng.Below(std::size(lengths))] : 1 + rng.Below(32767);
            std::wstring line = rng.Chance(50) ? Words(rng, name, 2) + L" " : std::wstring();
            const wchar_t fill = rng.Chance(50) ? L'a' : (rng.Chance(50) ? L' ' : wchar_t(L'0' + rng.Below(10)));
            const bool words = rng.Chance(30);
            while (line.size() < target) {
                if (words) line += Token(rng, name) + L" ";
                else line += fill;
            }
            line.resize(target);
            return line;
        }
        case InputKind::Count: break;
    }
    return {};
}

KeyCase MakeKey(Rng& rng, const CONSOLE_SCREEN_BUFFER_INFO& info) {
    static const int32_t known[] = {0x1003B, 0x1005E, 0x1004B, 0x1004D, 0x10053, 0x10093, 0x1008D, 0x10091,
                                    0x10073, 0x10074, 0x100F4, 0x100F6};
    static const int32_t odd[] = {0, 13, 27, 0xFFFF, 0x10000, 0x1FFFF, -1, INT32_MIN, INT32_MAX, 0x100FF};
    KeyCase k{};
    // Alt-Left/Right switch console windows; Ctrl-Up/Down resize: keep them but not dominant.
    k.key = rng.Chance(75) ? known[rng.Below(std::size(known))]
                           : (rng.Chance(50) ? odd[rng.Below(std::size(odd))] : int32_t(rng.Next()));
    const int32_t rows = info.dwSize.Y, columns = info.dwSize.X;
    auto row = [&]() -> int32_t {
        switch (rng.Below(5)) {
            case 0: return int32_t(rng.Next());
            case 1: return rng.Chance(50) ? -1 - int32_t(rng.Below(3)) : rows + int32_t(rng.Below(3));
            case 2: return rng.Chance(50) ? 0 : rows - 1;
            default: return int32_t(rng.Below(uint32_t(std::max(rows, 1))));
        }
    };
    k.startRow = row();
    k.cursorRow = rng.Chance(60) ? k.startRow + int32_t(rng.Below(3)) - 1 : row();
    k.startColumn = rng.Chance(80) ? int32_t(rng.Below(uint32_t(std::max(columns, 1)))) : int32_t(rng.Next());
    k.cursorColumn = rng.Chance(80) ? int32_t(rng.Below(uint32_t(std::max(columns, 1)))) : int32_t(rng.Next());
    k.line = rng.Chance(20) ? std::wstring() : std::wstring(rng.Below(300), L'k');
    return k;
}

std::string CaptureSnapshot(HANDLE console, HWND window) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(console, &info)) return {};
    RECT rect{};
    if (window) GetWindowRect(window, &rect);
    std::string bytes(22, '\0');
    std::memcpy(bytes.data(), &info, 18);
    const int16_t left = int16_t(std::max<LONG>(rect.left, 0)), top = int16_t(std::max<LONG>(rect.top, 0));
    std::memcpy(bytes.data() + 18, &left, 2);
    std::memcpy(bytes.data() + 20, &top, 2);
    const SHORT width = info.dwSize.X;
    std::vector<CHAR_INFO> row(size_t(std::max<SHORT>(width, 1)));
    for (SHORT r = 0; r <= info.dwCursorPosition.Y; ++r) {
        SMALL_RECT region{0, r, SHORT(width - 1), r};
        ReadConsoleOutputW(console, row.data(), COORD{width, 1}, COORD{0, 0}, &region);
        bytes.append(reinterpret_cast<const char*>(row.data()), size_t(width) * sizeof(CHAR_INFO));
    }
    return bytes;
}

const char* SnapshotKindName(SnapshotKind kind) {
    static const char* names[] = {"snapshot: valid", "snapshot: bad header", "snapshot: truncated",
                                  "snapshot: extra bytes", "snapshot: garbage", "snapshot: empty"};
    return names[int(kind)];
}

std::string MutateSnapshot(Rng& rng, const std::string& valid, SnapshotKind kind) {
    std::string bytes = valid;
    switch (kind) {
        case SnapshotKind::Valid: break;
        case SnapshotKind::Header: {
            static const int16_t values[] = {0, 1, -1, 2, 24, 25, 79, 80, 150, 300, 9999, 10000, 32767, -32768, 16384};
            const uint32_t n = 1 + rng.Below(4);
            for (uint32_t i = 0; i < n && bytes.size() >= 22; ++i) {
                const int16_t v = rng.Chance(80) ? values[rng.Below(std::size(values))] : int16_t(rng.Next());
                std::memcpy(bytes.data() + 2 * rng.Below(11), &v, 2);
            }
            break;
        }
        case SnapshotKind::Truncated:
            bytes.resize(rng.Chance(50) ? rng.Below(23) : rng.Below(uint32_t(bytes.size())));
            break;
        case SnapshotKind::Extended: {
            const uint32_t n = 1 + rng.Below(rng.Chance(50) ? 8 : 70000);
            for (uint32_t i = 0; i < n; ++i) bytes += char(rng.Next());
            break;
        }
        case SnapshotKind::Garbage: {
            bytes.assign(rng.Below(rng.Chance(50) ? 64 : 100000), '\0');
            for (char& c : bytes) c = char(rng.Next());
            break;
        }
        case SnapshotKind::Empty: bytes.clear(); break;
        case SnapshotKind::Count: break;
    }
    // Cell bytes changed here and there: odd attributes and characters.
    if (kind != SnapshotKind::Empty && bytes.size() > 22 && rng.Chance(50)) {
        const uint32_t n = 1 + rng.Below(32);
        for (uint32_t i = 0; i < n; ++i) bytes[22 + rng.Below(uint32_t(bytes.size() - 22))] = char(rng.Next());
    }
    return bytes;
}

}  // namespace sweep
