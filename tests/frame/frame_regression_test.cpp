// Faults the sweep found in the frame, each kept from coming back.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/plugin.h"
#include "support/plugin_state.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

class FrameRegression : public PluginTest {};

// The host expands "%_TCTAB" in place; a value longer than the old 16-character buffer ran over
// the stack. Only the first character decides.
TEST_F(FrameRegression, TakeCommandTabTestSurvivesAnyVariableValue) {
    StandIn_SetVariable(L"_TCTAB", (L"1" + std::wstring(1500, L'x')).c_str());
    EXPECT_TRUE(InTakeCommandTab());
    StandIn_SetVariable(L"_TCTAB", (L"0" + std::wstring(1500, L'1')).c_str());
    EXPECT_FALSE(InTakeCommandTab());
    StandIn_SetVariable(L"_TCTAB", L"");
    EXPECT_FALSE(InTakeCommandTab());
    StandIn_SetVariable(L"_TCTAB", nullptr);
    EXPECT_FALSE(InTakeCommandTab());
    // The plug-in's own start-up takes the same path.
    StandIn_SetVariable(L"_TCTAB", (L"1" + std::wstring(1500, L'y')).c_str());
    EXPECT_EQ(Entry<int()>("InitializePlugin")(), 1);
    StandIn_SetVariable(L"_TCTAB", L"0");
    EXPECT_EQ(Entry<int()>("InitializePlugin")(), 0);
}

}  // namespace

namespace {

// The same for the host's ini-file name, expanded from "%_ININAME".
TEST_F(FrameRegression, KeyActionsSurviveAnyIniName) {
    StandIn_SetVariable(L"_ININAME", (L"C:\\" + std::wstring(3000, L'n') + L".ini").c_str());
    const StateOverride changed(&PluginState::keyActions, {9, 0, 6, 2, 1});
    ReadKeyActions();
    const uint8_t defaults[5] = {0, 0, 6, 2, 1};  // no such file: the built-in "00621"
    EXPECT_EQ(0, memcmp(State().keyActions, defaults, 5));
}

}  // namespace
