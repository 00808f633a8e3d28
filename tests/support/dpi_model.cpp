#include "support/dpi_model.h"

#include <cstring>

#include "support/console.h"

namespace {

const HANDLE kAware = reinterpret_cast<HANDLE>(-4);  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
const HANDLE kUnaware = reinterpret_cast<HANDLE>(-1);
HANDLE context = kAware;

COORD screenFont{0, 0};  // the console's real cell; 0: the console's own cells

LONG Scaled(LONG v) { return context == kAware ? v * 3 / 2 : v; }
LONG Unscaled(LONG v) { return context == kAware ? v * 2 / 3 : v; }
void Scale(RECT& r) { r = {Scaled(r.left), Scaled(r.top), Scaled(r.right), Scaled(r.bottom)}; }

HANDLE WINAPI SetContext(HANDLE wanted) {
    if (wanted != kAware && wanted != kUnaware) return nullptr;
    const HANDLE previous = context;
    context = wanted;
    return previous;
}

decltype(&GetProcAddress) realProc;
decltype(&GetWindowRect) realWindowRect;
decltype(&GetClientRect) realClientRect;
decltype(&SystemParametersInfoW) realParameters;
decltype(&GetSystemMetrics) realMetrics;
decltype(&GetCursorPos) realCursor;
decltype(&ScreenToClient) realToClient;
decltype(&AdjustWindowRectEx) realAdjust;

FARPROC WINAPI FindProc(HMODULE module, LPCSTR name) {
    if (!IS_INTRESOURCE(name) && std::strcmp(name, "SetThreadDpiAwarenessContext") == 0)
        return reinterpret_cast<FARPROC>(SetContext);
    return realProc(module, name);
}
BOOL WINAPI WindowRect(HWND w, LPRECT r) {
    const BOOL ok = realWindowRect(w, r);
    if (ok) Scale(*r);
    return ok;
}
decltype(&GetCurrentConsoleFontEx) realFont;

BOOL WINAPI ClientRect(HWND w, LPRECT r) {
    const BOOL ok = realClientRect(w, r);
    if (ok) Scale(*r);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!ok || screenFont.X == 0 || w != GetConsoleWindow() ||
        !GetConsoleScreenBufferInfo(tconsole::Out(), &info))
        return ok;
    const auto pixels = [](int cells, SHORT cell) {
        return context == kAware ? LONG(cells * cell) : LONG(MulDiv(cells, cell * 2, 3));
    };
    *r = {0, 0, pixels(info.srWindow.Right - info.srWindow.Left + 1, screenFont.X),
          pixels(info.srWindow.Bottom - info.srWindow.Top + 1, screenFont.Y)};
    return ok;
}
BOOL WINAPI Font(HANDLE h, BOOL maximum, PCONSOLE_FONT_INFOEX font) {
    const BOOL ok = realFont(h, maximum, font);
    if (ok) font->dwFontSize = {SHORT(MulDiv(screenFont.X, 96, 144)), SHORT(MulDiv(screenFont.Y, 96, 144))};
    return ok;
}
BOOL WINAPI Parameters(UINT action, UINT u, PVOID p, UINT flags) {
    const BOOL ok = realParameters(action, u, p, flags);
    if (ok && action == SPI_GETWORKAREA) Scale(*static_cast<RECT*>(p));
    return ok;
}
int WINAPI Metrics(int index) { return Scaled(realMetrics(index)); }
BOOL WINAPI Cursor(LPPOINT p) {
    const BOOL ok = realCursor(p);
    if (ok) *p = {Scaled(p->x), Scaled(p->y)};
    return ok;
}
BOOL WINAPI ToClient(HWND w, LPPOINT p) {
    *p = {Unscaled(p->x), Unscaled(p->y)};
    const BOOL ok = realToClient(w, p);
    *p = {Scaled(p->x), Scaled(p->y)};
    return ok;
}

BOOL WINAPI Adjust(LPRECT r, DWORD style, BOOL menu, DWORD extended) {
    RECT frame{0, 0, 0, 0};
    if (!realAdjust(&frame, style, menu, extended)) return FALSE;
    *r = {r->left + Scaled(frame.left), r->top + Scaled(frame.top), r->right + Scaled(frame.right),
          r->bottom + Scaled(frame.bottom)};
    return TRUE;
}

template <class F>
void Patch(std::vector<std::unique_ptr<ImportPatch>>& patches, HMODULE m, const char* dll, const char* name,
           F* replacement, F*& original) {
    patches.push_back(std::make_unique<ImportPatch>(m, dll, name, reinterpret_cast<void*>(replacement)));
    original = patches.back()->OriginalAs<F>();
}

}  // namespace

ScaledDesktop::ScaledDesktop(HMODULE m, COORD font) {
    context = kAware;
    screenFont = font;
    if (font.X != 0) Patch(patches_, m, "kernel32.dll", "GetCurrentConsoleFontEx", Font, realFont);
    Patch(patches_, m, "kernel32.dll", "GetProcAddress", FindProc, realProc);
    Patch(patches_, m, "user32.dll", "GetWindowRect", WindowRect, realWindowRect);
    Patch(patches_, m, "user32.dll", "GetClientRect", ClientRect, realClientRect);
    Patch(patches_, m, "user32.dll", "SystemParametersInfoW", Parameters, realParameters);
    Patch(patches_, m, "user32.dll", "GetSystemMetrics", Metrics, realMetrics);
    Patch(patches_, m, "user32.dll", "GetCursorPos", Cursor, realCursor);
    Patch(patches_, m, "user32.dll", "ScreenToClient", ToClient, realToClient);
    Patch(patches_, m, "user32.dll", "AdjustWindowRectEx", Adjust, realAdjust);
}

ScaledDesktop::~ScaledDesktop() {
    while (!patches_.empty()) patches_.pop_back();  // the last patch first, so chained ones unwind
    screenFont = {0, 0};
}

bool ScaledDesktop::Applied() const {
    for (const auto& p : patches_)
        if (!p->Applied()) return false;
    return true;
}

bool ScaledDesktop::ContextRestored() { return context == kAware; }
