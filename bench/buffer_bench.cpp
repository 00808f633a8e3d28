// Times the whole-buffer commands on a 300 x 9,999 buffer against plain one-call-per-row loops
// over the same buffer, in the same run; SAVECSB and CSBFIND also against the floor of reading the
// buffer's characters in large pieces, which both must do at least, and SAVECSB's coloured forms
// (/C, /H) against the plain one. Last, SAVECSB and CSBFIND over a buffer full of full-width text
// through the model of the Windows 10/11 console, where every piece is read again as cells.
// Not a test: run it by hand under Wine with a display.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/plugin_host.h"
#include "support/conhost_model.h"
#include "takecmd/standin.h"

extern "C" __declspec(dllimport) int Qprintf(HANDLE handle, const wchar_t* format, ...);

namespace {

constexpr SHORT kWidth = 300;
constexpr SHORT kHeight = 9999;
HANDLE out = INVALID_HANDLE_VALUE;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(f.QuadPart);
}

template <class F>
double Time(F&& f) {
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    f();
    QueryPerformanceCounter(&b);
    return Milliseconds(a, b);
}

// The best of three runs, for figures compared with each other on a busy machine.
template <class F>
double BestTime(F&& f) {
    return std::min({Time(f), Time(f), Time(f)});
}

// The best of five runs of each, taken in turns, so that a busy spell of the machine does not
// fall on one of the two only.
template <class F, class G>
void BestInTurns(F&& f, double& fBest, G&& g, double& gBest) {
    fBest = gBest = 1e300;
    for (int i = 0; i < 5; ++i) {
        fBest = std::min(fBest, Time(f));
        gBest = std::min(gBest, Time(g));
    }
}

void PrepareConsole() {
    FreeConsole();
    AllocConsole();
    out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, out);
    SetStdHandle(STD_INPUT_HANDLE, in);
}

// A large font keeps Wine's console host from repainting the whole buffer off screen after each
// write, as Windows skips rows that are not visible.
std::wstring UseLargeFont() {
    CONSOLE_FONT_INFOEX font{};
    font.cbSize = sizeof font;
    GetCurrentConsoleFontEx(out, FALSE, &font);
    font.dwFontSize = {12, 24};
    SetCurrentConsoleFontEx(out, FALSE, &font);
    GetCurrentConsoleFontEx(out, FALSE, &font);
    return std::to_wstring(font.dwFontSize.X) + L" x " + std::to_wstring(font.dwFontSize.Y);
}

void FillBuffer() {
    SMALL_RECT tiny{0, 0, 0, 0};
    SetConsoleWindowInfo(out, TRUE, &tiny);
    SetConsoleScreenBufferSize(out, COORD{kWidth, kHeight});
    SMALL_RECT window{0, 0, 79, 24};
    SetConsoleWindowInfo(out, TRUE, &window);
    DWORD done = 0;
    const DWORD cells = DWORD(kWidth) * DWORD(kHeight);
    FillConsoleOutputCharacterW(out, L'.', cells, COORD{0, 0}, &done);
    // Two colours in every row, so that the coloured dumps change colour on each.
    std::vector<WORD> attributes(cells, 0x1E);
    for (size_t r = 0; r < size_t(kHeight); ++r) std::fill_n(attributes.begin() + long(r * kWidth), 10, WORD(0x4F));
    for (size_t at = 0; at < attributes.size(); at += 16000) {
        const DWORD n = DWORD(std::min<size_t>(16000, attributes.size() - at));
        const COORD cell{SHORT(at % kWidth), SHORT(at / kWidth)};
        WriteConsoleOutputAttribute(out, attributes.data() + at, n, cell, &done);
    }
    std::wstring text;
    for (int r = 0; r < kHeight; ++r) text += L"row " + std::to_wstring(r) + std::wstring(kWidth - 4 - std::to_wstring(r).size(), L' ');
    for (size_t at = 0; at < text.size(); at += 16000) {
        const DWORD n = DWORD(std::min<size_t>(16000, text.size() - at));
        WriteConsoleOutputCharacterW(out, text.data() + at, n, COORD{SHORT(at % kWidth), SHORT(at / kWidth)}, &done);
    }
    SetConsoleCursorPosition(out, COORD{0, kHeight - 1});  // every row is below-or-at the cursor
    Sleep(500);
}

}  // namespace

int main() {
    PrepareConsole();
    const std::wstring font = UseLargeFont();
    FillBuffer();

    PluginHost host;
    if (!host.Load(L"ZARNITH.dll")) {
        std::printf("ZARNITH.dll did not load\n");
        return 1;
    }
    StandIn_SetEcho(0);
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring snapshot = std::wstring(folder) + L"zarnith-bench.con";
    const std::wstring dump = std::wstring(folder) + L"zarnith-bench.txt";

    std::vector<CHAR_INFO> row(kWidth);
    std::vector<wchar_t> chars(kWidth);
    const double readCells = Time([&] {
        for (SHORT r = 0; r < kHeight; ++r) {
            SMALL_RECT region{0, r, kWidth - 1, r};
            ReadConsoleOutputW(out, row.data(), COORD{kWidth, 1}, COORD{0, 0}, &region);
        }
    });
    const double readChars = Time([&] {
        DWORD done = 0;
        for (SHORT r = 0; r < kHeight; ++r) ReadConsoleOutputCharacterW(out, chars.data(), kWidth, COORD{0, r}, &done);
    });
    // Pieces of 16,000 characters, below the 64 KB that every console host takes in one call.
    std::vector<wchar_t> all(size_t(kWidth) * kHeight);
    auto chunkedRead = [&] {
        DWORD done = 0;
        for (size_t at = 0; at < all.size(); at += 16000) {
            const DWORD n = DWORD(std::min<size_t>(16000, all.size() - at));
            ReadConsoleOutputCharacterW(out, all.data() + at, n, COORD{SHORT(at % kWidth), SHORT(at / kWidth)}, &done);
        }
    };
    // What the host itself costs for one line per call: a row of text and its line end, 9,999 times.
    const std::wstring lines = std::wstring(folder) + L"zarnith-bench-lines.txt";
    const std::wstring rowText(kWidth - 20, L'x');
    const double hostLines = BestTime([&] {
        HANDLE file = CreateFileW(lines.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        for (int r = 0; r < kHeight; ++r) Qprintf(file, L"%s\r\n", rowText.c_str());
        CloseHandle(file);
    });
    DeleteFileW(lines.c_str());
    std::vector<CHAR_INFO> rows(size_t(kWidth) * kHeight);
    for (SHORT r = 0; r < kHeight; ++r) {
        SMALL_RECT region{0, r, kWidth - 1, r};
        ReadConsoleOutputW(out, rows.data() + size_t(r) * kWidth, COORD{kWidth, 1}, COORD{0, 0}, &region);
    }
    const double writeCells = Time([&] {
        for (SHORT r = 0; r < kHeight; ++r) {
            SMALL_RECT region{0, r, kWidth - 1, r};
            WriteConsoleOutputW(out, rows.data() + size_t(r) * kWidth, COORD{kWidth, 1}, COORD{0, 0}, &region);
        }
    });
    Sleep(500);

    int results[6] = {};
    const double savecon = Time([&] { results[0] = host.RunCommand(L"SAVECON", snapshot); });
    const double rstrcon = Time([&] { results[1] = host.RunCommand(L"RSTRCON", snapshot); });
    Sleep(500);
    double savecsb = 0, chunkedChars = 0, csbfind = 0, chunkedAgain = 0;
    BestInTurns([&] { results[2] = host.RunCommand(L"SAVECSB", dump); }, savecsb, chunkedRead, chunkedChars);
    BestInTurns([&] { results[3] = host.RunCommand(L"CSBFIND", L"zq[0-9]zq"); }, csbfind, chunkedRead, chunkedAgain);
    chunkedChars = std::min(chunkedChars, chunkedAgain);


    // The coloured dumps in turns with the plain one, which keeps its best time of all its runs,
    // and with their own floor: reading the buffer's cells in pieces of 64,000 bytes. Twice: with
    // the console's current colours those of the rows' blanks (cut, as in the plain dump), and
    // with other current colours, so that every row is a coloured bar written to its end.
    const std::wstring colourDump = L"/C " + dump, page = L"/H " + dump + L".html";
    const SHORT cellRows = SHORT(64000 / sizeof(CHAR_INFO) / kWidth);
    auto chunkedCells = [&] {
        for (SHORT top = 0; top < kHeight; top = SHORT(top + cellRows)) {
            SMALL_RECT region{0, top, kWidth - 1, SHORT(std::min<int>(top + cellRows, kHeight) - 1)};
            ReadConsoleOutputW(out, rows.data(), COORD{kWidth, cellRows}, COORD{0, 0}, &region);
        }
    };
    struct ColourRound {
        WORD current;
        const char* what;
        double colours = 1e300, html = 1e300;
    } rounds[] = {{0x1E, "blanks in the current colours"}, {0x0F, "every row a coloured bar"}};
    double cellFloor = 1e300;
    for (auto& round : rounds) {
        SetConsoleTextAttribute(out, round.current);
        for (int i = 0; i < 5; ++i) {
            round.colours = std::min(round.colours, Time([&] { results[4] = host.RunCommand(L"SAVECSB", colourDump); }));
            round.html = std::min(round.html, Time([&] { results[5] = host.RunCommand(L"SAVECSB", page); }));
            savecsb = std::min(savecsb, Time([&] { host.RunCommand(L"SAVECSB", dump); }));
            cellFloor = std::min(cellFloor, Time(chunkedCells));
        }
    }

    // The same buffer full of full-width text, as Windows 10/11 keeps it: 150 characters a row.
    double wideSavecsb = 0, wideCsbfind = 0;
    {
        conhost::Model model(host.Module());
        std::wstring wide;
        for (int i = 0; i < kWidth / 2; ++i) wide += wchar_t(0x4E00 + i);
        for (SHORT r = 0; r < kHeight; ++r) model.WriteText(COORD{0, r}, wide);
        wideSavecsb = BestTime([&] { host.RunCommand(L"SAVECSB", dump); });
        wideCsbfind = BestTime([&] { host.RunCommand(L"CSBFIND", L"zq[0-9]zq"); });
    }
    DeleteFileW(snapshot.c_str());
    DeleteFileW(dump.c_str());
    DeleteFileW((dump + L".html").c_str());
    host.Unload();

    std::printf("Buffer %d x %d, console font asked 12 x 24, got %ls (large, so Wine skips its off-screen repaint)\n",
                kWidth, kHeight, font.c_str());
    std::printf("one call per row: ReadConsoleOutputW %.0f ms, ReadConsoleOutputCharacterW %.0f ms, "
                "WriteConsoleOutputW %.0f ms\n", readCells, readChars, writeCells);
    auto line = [](const char* name, double ms, double baseline, const char* against, int result) {
        std::printf("%-10s %8.1f ms  %6.1fx faster than one %s per row  (result %d)%s\n", name, ms, baseline / ms,
                    against, result, baseline / ms >= 20.0 ? "" : "  BELOW 20x");
    };
    line("SAVECON", savecon, readCells, "ReadConsoleOutputW", results[0]);
    line("RSTRCON", rstrcon, writeCells, "WriteConsoleOutputW", results[1]);
    line("SAVECSB", savecsb, readChars, "ReadConsoleOutputCharacterW", results[2]);
    line("CSBFIND", csbfind, readChars, "ReadConsoleOutputCharacterW", results[3]);
    for (const auto& round : rounds) {
        std::printf("SAVECSB /C and /H, %s:\n", round.what);
        line("SAVECSB /C", round.colours, readCells, "ReadConsoleOutputW", results[4]);
        line("SAVECSB /H", round.html, readCells, "ReadConsoleOutputW", results[5]);
        for (const auto& [name, ms] : {std::pair{"/C", round.colours}, std::pair{"/H", round.html}})
            std::printf("SAVECSB %s %.1f ms against plain SAVECSB %.1f ms: %.2fx%s\n", name, ms, savecsb, ms / savecsb,
                        ms <= 2.0 * savecsb ? "" : "  ABOVE 2x");
    }
    std::printf("(reading the buffer's cells alone, in pieces of 64,000 bytes: %.1f ms)\n", cellFloor);
    auto floorLine = [&](const char* name, double ms) {
        std::printf("%-10s %8.1f ms against the chunked-read floor %.1f ms: %.2fx%s\n", name, ms, chunkedChars,
                    ms / chunkedChars, ms <= 1.5 * chunkedChars ? "" : "  ABOVE 1.5x");
    };
    floorLine("SAVECSB", savecsb);
    floorLine("CSBFIND", csbfind);
    std::printf("full-width text through the conhost model: SAVECSB %.1f ms, CSBFIND %.1f ms\n", wideSavecsb,
                wideCsbfind);
    std::printf("(the host's own share: %d Qprintf calls of one %d-character line to a file take %.1f ms)\n",
                int(kHeight), int(rowText.size()) + 2, hostLines);
    return 0;
}
