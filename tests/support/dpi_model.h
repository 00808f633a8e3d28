// A desktop at 150 % scaling seen from a DPI-aware host: while the calling thread's DPI context is
// aware, window rectangles, client sizes, system metrics, window frames, the work area and the
// mouse position come scaled; in the DPI-unaware context they are the console's own 96-DPI values,
// which is how conhost reports font sizes in any context (src/host/getset.cpp: GetConsoleFontSizeImpl and
// GetCurrentConsoleFontExImpl return GetUnscaledSize()). SetThreadDpiAwarenessContext is supplied
// through the plug-in's run-time look-up, the rest through its imports, for the model's scope.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "support/import_patch.h"

class ScaledDesktop {
public:
    explicit ScaledDesktop(HMODULE plugin);
    ~ScaledDesktop();
    bool Applied() const;
    // Whether the thread is back in the aware context it started in.
    static bool ContextRestored();

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};
