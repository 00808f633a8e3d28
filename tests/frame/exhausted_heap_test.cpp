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

}  // namespace
