// Cost of the key handler as the host pays it on every key typed at the prompt: a key it passes
// through (characters, Left, Right, Del) and Ctrl-Up (a window resize, plus a scroll message when
// the cursor is below the window's top row). Run from the folder that holds ZARNITH.dll.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "common/plugin_host.h"
#include "takecmd/standin.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

using KeyEntry = int (*)(HostKeyRecord*);

HostKeyRecord Record(int code, wchar_t* line) {
    HostKeyRecord r{};
    r.Key = code;
    r.Line = r.LinePosition = line;
    return r;
}

// Seconds per Ctrl-Up, each followed (untimed) by a Ctrl-Down that puts the row back.
double CtrlUpCost(KeyEntry handler, HANDLE out, SHORT cursorRow, int rounds, wchar_t* line) {
    SetConsoleCursorPosition(out, COORD{0, cursorRow});
    double spent = 0;
    for (int i = 0; i < rounds; ++i) {
        HostKeyRecord up = Record(0x1008D, line);
        const double start = Now();
        handler(&up);
        spent += Now() - start;
        HostKeyRecord down = Record(0x10091, line);
        handler(&down);
    }
    return spent / rounds;
}

}  // namespace

int main() {
    FreeConsole();
    AllocConsole();
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, out);

    StandIn_Reset();
    StandIn_SetEcho(0);
    PluginHost host;
    if (!host.Load(L"ZARNITH.dll")) {
        std::fprintf(stderr, "ZARNITH.dll did not load\n");
        return 1;
    }
    // Found once, as the host does when it loads the plug-in.
    const auto handler = reinterpret_cast<KeyEntry>(host.Export("KEYHANDLER"));
    if (handler == nullptr) return 1;
    std::vector<wchar_t> line(256, L'\0');

    const int passes = 2000000;
    const int codes[] = {'a', 0x1004B, 0x1004D, 0x10053};  // a character, Left, Right, Del
    const int allocations = StandIn_AllocationCalls();
    double start = Now();
    for (int i = 0; i < passes; ++i) {
        HostKeyRecord r = Record(codes[i & 3], line.data());
        handler(&r);
    }
    const double perPass = (Now() - start) / passes;
    const int allocated = StandIn_AllocationCalls() - allocations;

    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(out, &info);
    const double upTop = CtrlUpCost(handler, out, info.srWindow.Top, 200, line.data());
    const double upBelow = CtrlUpCost(handler, out, SHORT(info.srWindow.Top + 5), 200, line.data());

    // The floor: the query and the resize that any Ctrl-Up needs, without the handler. Under Wine
    // the query waits for the console host to finish repainting after the previous resize.
    double resize = 0;
    for (int i = 0; i < 200; ++i) {
        const double begin = Now();
        GetConsoleScreenBufferInfo(out, &info);
        SMALL_RECT smaller = info.srWindow;
        --smaller.Bottom;
        SetConsoleWindowInfo(out, TRUE, &smaller);
        resize += Now() - begin;
        SetConsoleWindowInfo(out, TRUE, &info.srWindow);
    }
    resize /= 200;

    std::printf("key handler, pass-through key (character, Left, Right, Del): %.1f ns per key over %d keys, "
                "%d host allocations\n", perPass * 1e9, passes, allocated);
    std::printf("key handler, Ctrl-Up with the cursor on the window's top row: %.3f ms per key\n", upTop * 1e3);
    std::printf("key handler, Ctrl-Up with the cursor below the top row (adds WM_VSCROLL): %.3f ms per key\n",
                upBelow * 1e3);
    std::printf("console alone, screen-buffer query + SetConsoleWindowInfo one row smaller: %.3f ms per key\n", resize * 1e3);
    host.Unload();
    return 0;
}
