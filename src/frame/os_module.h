// Functions looked up by name at run time: exports that an older Windows or an older onig.dll may
// lack. Importing them would stop the plug-in from loading there; looked up, they are typed here
// once and checked before every use.
#pragma once
#include <windows.h>

namespace zarnith {

// A module already loaded into the process; it is not loaded or freed here.
class OsModule {
public:
    explicit OsModule(HMODULE module) noexcept : module_(module) {}
    // A system module by name (kernel32.dll).
    static OsModule Named(const wchar_t* name) noexcept { return OsModule(GetModuleHandleW(name)); }
    // The module that holds `address`: the onig.dll this library is bound to, whichever it is.
    static OsModule Holding(const void* address) noexcept {
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<LPCWSTR>(address), &module))
            module = nullptr;
        return OsModule(module);
    }

    // The export `name` as a function of type F, or null when the module or the export is missing.
    template <class F>
    F* Find(const char* name) const noexcept {
        if (module_ == nullptr) return nullptr;
        return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_ = nullptr;
};

// A function found at run time: test it before calling; calling a missing one is never done.
template <class F>
class RunTimeFunction;

template <class R, class... Args>
class RunTimeFunction<R(Args...)> {
public:
    RunTimeFunction() noexcept = default;
    RunTimeFunction(const OsModule& module, const char* name) noexcept : function_(module.Find<R(Args...)>(name)) {}
    explicit operator bool() const noexcept { return function_ != nullptr; }
    R operator()(Args... args) const { return function_(args...); }

private:
    R (*function_)(Args...) = nullptr;
};

}  // namespace zarnith
