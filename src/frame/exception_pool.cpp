#include "frame/exception_pool.h"

#include <cstdlib>
#include <cstring>

namespace zarnith {

namespace {

using MallocFn = void* (*)(size_t);
MallocFn RealMalloc = nullptr;
bool FailNext = false;

void* MallocFailingOnce(size_t bytes) {
    if (FailNext) {
        FailNext = false;
        return nullptr;
    }
    return RealMalloc(bytes);
}

// This module's import slot for msvcrt's malloc, or null.
void** MallocSlot(HMODULE self) noexcept {
    auto* base = reinterpret_cast<BYTE*>(self);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return nullptr;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        if (!d->OriginalFirstThunk) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "malloc") == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void WriteSlot(void** slot, void* value) noexcept {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return;
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

// When malloc fails, the C++ runtime takes the memory for an exception (std::bad_alloc itself)
// from an emergency pool guarded by a mutex, and winpthreads creates that mutex with malloc on
// its first use. Under real exhaustion that first use fails, which throws, which needs the pool
// again: the recursion ends only when the host's stack overflows. One exception thrown here
// while malloc is made to fail once takes the pool path while memory is plentiful, so the mutex
// exists before it is ever needed.
void PrimeExceptionPool(HMODULE self) noexcept {
    void** slot = self ? MallocSlot(self) : nullptr;
    if (slot == nullptr) return;
    RealMalloc = reinterpret_cast<MallocFn>(*slot);
    WriteSlot(slot, reinterpret_cast<void*>(&MallocFailingOnce));
    if (*slot == reinterpret_cast<void*>(&MallocFailingOnce)) {
        FailNext = true;
        try {
            throw 1;
        } catch (...) {
        }
        FailNext = false;
        WriteSlot(slot, reinterpret_cast<void*>(RealMalloc));
    }
}

}  // namespace zarnith
