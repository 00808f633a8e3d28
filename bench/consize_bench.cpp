// Times CONSIZE resizes on a fresh console: each must finish well under a second, waiting for
// the window to follow included.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/plugin_host.h"
#include "takecmd/standin.h"

int main() {
    FreeConsole();
    AllocConsole();
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    PluginHost host;
    if (!host.Load(L"ZARNITH.dll")) {
        std::fprintf(stderr, "ZARNITH.dll did not load\n");
        return 1;
    }
    StandIn_SetEcho(0);
    const wchar_t* lines[] = {L"/W 70 20 /B 0 0", L"/W 80 25 /B 80 300", L"/B 100 200 /W 90 30", L"/W 80 25 /B -1 -1"};
    constexpr int kRounds = 10;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double total = 0, worst = 0;
    int runs = 0, failures = 0;
    for (int round = 0; round < kRounds; ++round)
        for (const wchar_t* line : lines) {
            QueryPerformanceCounter(&start);
            failures += host.RunCommand(L"CONSIZE", line) != 0;
            QueryPerformanceCounter(&end);
            const double ms = 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
            total += ms;
            worst = std::max(worst, ms);
            ++runs;
            if (round == 0) std::printf("%ls: %.1f ms\n", line, ms);
        }
    std::printf("CONSIZE resize: %d runs, mean %.1f ms, worst %.1f ms, %d failed\n", runs, total / runs, worst,
                failures);
    host.Unload();
    return failures == 0 ? 0 : 1;
}
