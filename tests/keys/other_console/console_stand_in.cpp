// A stand-in for another host console: shows a top-level window of the class that real console
// windows have, then waits until it is closed (or a minute passes, so that none outlives a test).
//   <program> [hidden]
#include <windows.h>

#include <cwchar>

namespace {
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"ConsoleWindowClass";
    if (!RegisterClassW(&windowClass)) return 1;
    HWND window = CreateWindowExW(0, L"ConsoleWindowClass", L"console stand-in", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                  100, nullptr, nullptr, instance, nullptr);
    if (!window) return 2;
    if (std::wcsstr(commandLine, L"hidden") == nullptr) ShowWindow(window, SW_SHOWNOACTIVATE);

    SetTimer(window, 1, 60000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) break;
        DispatchMessageW(&message);
    }
    return 0;
}
