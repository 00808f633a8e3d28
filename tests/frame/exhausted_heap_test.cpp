// With every malloc failing (the heap exhausted), an entry point must still end with its
// message: throwing std::bad_alloc must not itself need memory it cannot get.
#include <gtest/gtest.h>

#include "support/import_patch.h"
#include "support/plugin_test.h"

namespace {

int mallocCalls = 0;
void* NoMemory(size_t) {
    ++mallocCalls;
    return nullptr;
}

class ExhaustedHeapTest : public PluginTest {};

TEST_F(ExhaustedHeapTest, EntryPointsReportInsteadOfOverflowingTheStack) {
    ImportPatch patch(Plugin().Module(), nullptr, "malloc", reinterpret_cast<void*>(NoMemory));
    ASSERT_TRUE(patch.Applied());
    mallocCalls = 0;
    EXPECT_EQ(Var(L"_RULER"), L"N/A");  // builds its text in a std::wstring
    EXPECT_GT(mallocCalls, 0);
    EXPECT_EQ(Err(), L"ZARNITH: _RULER: memory allocation failed\r\n");
    StandIn_ClearOutput();
    // A line that cannot be split (no memory for it) is answered with the usage line.
    EXPECT_EQ(Run(L"SETFONT", L"1 2 3 4 \"a b\""), 0);
    EXPECT_EQ(Out(), L"SETFONT index width height weight name ... see _FONTINFO\r\n");
}

// C++ throws as this runtime raises them (libgcc's STATUS_GCC_THROW, "GCC ").
constexpr DWORD kCxxThrow = 0x20474343;
int throws = 0;
LONG WINAPI CountThrows(EXCEPTION_POINTERS* e) {
    throws += e->ExceptionRecord->ExceptionCode == kCxxThrow;
    return EXCEPTION_CONTINUE_SEARCH;
}

// The priming throw is made in the host's first call, whichever of the two it is: Windows allows
// little under the loader lock, and neither throwing nor patching an import is among it.
TEST_F(ExhaustedHeapTest, ThePoolIsPreparedByTheFirstHostCallNotWhileLoading) {
    for (const char* first : {"GetPluginInfo", "InitializePlugin"}) {
        SCOPED_TRACE(first);
        Plugin().Unload();
        PVOID handler = AddVectoredExceptionHandler(1, CountThrows);
        throws = 0;
        HMODULE fresh = LoadLibraryW(L"ZARNITH.dll");
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(throws, 0) << "thrown while loading";
        const auto call = [&](const char* name) {
            return reinterpret_cast<intptr_t (*)()>(GetProcAddress(fresh, name))();
        };
        call(first);
        EXPECT_EQ(throws, 1);
        call(first[0] == 'G' ? "InitializePlugin" : "GetPluginInfo");
        EXPECT_EQ(throws, 1) << "prepared once";
        call("ShutdownPlugin");
        RemoveVectoredExceptionHandler(handler);
        FreeLibrary(fresh);
    }
    ASSERT_TRUE(ReloadPlugin());
}

}  // namespace
