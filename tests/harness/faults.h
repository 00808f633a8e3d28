// Replacements for what ZARNITH.dll imports: fast fakes for the calls that wait or sound
// (Sleep, Beep, the console key read) and failing versions of the main console, window, file and
// memory calls, each armed to fail at its n-th call.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/import_patch.h"

namespace sweep {

// Sleep above 1 ms returns at once (1 ms polls still sleep), Beep succeeds silently, and a key
// read with no key waiting answers "q" instead of blocking. Counts what was skipped.
class FastFakes {
public:
    explicit FastFakes(HMODULE plugin);
    ~FastFakes();
    static long long SleptMs();      // milliseconds asked for and not slept
    static long KeysInvented();  // key reads answered with "q"

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

// While alive, every file the plug-in creates, opens, moves, copies or deletes through its
// imports must lie inside `folder` (the sweep's own): any other path is refused with
// ERROR_ACCESS_DENIED, as a locked folder would refuse it, so odd paths still reach the failure
// paths and never the machine. The console devices and NUL, which store nothing, stay open.
class FileFence {
public:
    FileFence(HMODULE plugin, const std::wstring& folder);
    ~FileFence();
    static bool Allows(const std::wstring& folder, const wchar_t* path);
    static long Refused();  // paths refused so far
    // The paths outside the folder that the plug-in named, under any fence so far, that now hold
    // a file they did not hold as it was when first named: a write that got past the fence.
    // Files other programs write meanwhile are not among them unless the plug-in named them.
    static std::vector<std::wstring> Strays();

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

struct FaultTarget {
    const char* function;
    const char* dll;  // as the plug-in imports it (null: any)
};
// Every call the fault injection knows how to fail.
const std::vector<FaultTarget>& FaultTargets();

// While alive, the target's import in `plugin` fails at call `failAt` (1 = first) after the
// arming, with ERROR_GEN_FAILURE; 0 = every call. Calls() counts the calls that reached it.
class FaultInjection {
public:
    FaultInjection(HMODULE plugin, size_t target, int failAt);
    ~FaultInjection();
    bool Applied() const { return patch_ && patch_->Applied(); }
    int Calls() const;
    bool Fired() const;

private:
    size_t target_;
    std::unique_ptr<ImportPatch> patch_;
};

}  // namespace sweep
