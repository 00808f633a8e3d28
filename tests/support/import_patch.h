// Replaces one function that a module imports (its import address table entry) for a scope,
// so a test can make a Win32 call fail or answer what Wine cannot produce.
#pragma once
#include <windows.h>

class ImportPatch {
public:
    // `dll` null matches the function whatever DLL it is imported from.
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Applied() const { return slots_ > 0; }
    void* Original() const { return original_; }
    template <class F>
    F* OriginalAs() const { return reinterpret_cast<F*>(original_); }
    // What the module's import of `function` points at now (null when it has none).
    static void* Current(HMODULE module, const char* dll, const char* function);

private:
    static constexpr int kMaxSlots = 8;
    void** slot_[kMaxSlots] = {};
    int slots_ = 0;
    void* original_ = nullptr;
};
