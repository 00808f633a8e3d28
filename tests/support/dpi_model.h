// A desktop at 150 % scaling seen from a DPI-aware host: while the calling thread's DPI context is
// aware, window rectangles, client sizes, system metrics, window frames, the work area and the
// mouse position come scaled; in the DPI-unaware context they are the console's own 96-DPI values,
// which is how conhost reports font sizes in any context (src/host/getset.cpp: GetConsoleFontSizeImpl and
// GetCurrentConsoleFontExImpl return GetUnscaledSize()). SetThreadDpiAwarenessContext is supplied
// through the plug-in's run-time look-up, the rest through its imports, for the model's scope.
//
// Given the screen font's real cell, the console window is laid out as conhost lays it out: its
// client area is the view's columns and rows times that cell (src/interactivity/win32/window.cpp,
// s_CalculateWindowRect), in real pixels, and 96-DPI units in the unaware context; the font
// reports its width rounded to 96-DPI units, MulDiv(width, 96, 144) (src/renderer/gdi/state.cpp,
// _GetProposedFont; math.cpp, s_ShrinkByDpi), its height the one asked for, here rounded the same.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "support/import_patch.h"

class ScaledDesktop {
public:
    explicit ScaledDesktop(HMODULE plugin, COORD screenFont = {0, 0});
    ~ScaledDesktop();
    bool Applied() const;
    // Whether the thread is back in the aware context it started in.
    static bool ContextRestored();

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};
