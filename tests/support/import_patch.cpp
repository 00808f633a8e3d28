#include "support/import_patch.h"

#include <cstring>

namespace {
void WriteSlot(void** slot, void* value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

// Calls `found` with each import address table slot of `function`, until it answers false.
template <class F>
void ForEachSlot(HMODULE module, const char* dll, const char* function, F found) {
    auto* base = reinterpret_cast<BYTE*>(module);
    if (!base) return;
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        const char* name = reinterpret_cast<const char*>(base + desc->Name);
        if (dll && _stricmp(name, dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk
                                                                                         : desc->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            if (!found(reinterpret_cast<void**>(&slots->u1.Function))) return;
        }
    }
}

}  // namespace

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement) {
    ForEachSlot(module, dll, function, [&](void** slot) {
        if (slots_ == kMaxSlots) return false;
        if (!original_) original_ = *slot;
        slot_[slots_++] = slot;
        WriteSlot(slot, replacement);
        return true;
    });
}

void* ImportPatch::Current(HMODULE module, const char* dll, const char* function) {
    void* current = nullptr;
    ForEachSlot(module, dll, function, [&](void** slot) {
        current = *slot;
        return false;
    });
    return current;
}

ImportPatch::~ImportPatch() {
    for (int i = 0; i < slots_; ++i) WriteSlot(slot_[i], original_);
}
