// The sweep's own tools: if they measured wrongly, a clean sweep would mean nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "support/plugin_test.h"
#include "harness/faults.h"
#include "harness/input.h"
#include "harness/probe.h"

using namespace sweep;

namespace {

TEST(SweepTools, HandleCountSeesOneHandleComeAndGo) {
    const long before = CountProcessHandles();
    ASSERT_GT(before, 0) << "the system handle table cannot be read for this process";
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(CountProcessHandles(), before + 1);
    CloseHandle(event);
    EXPECT_EQ(CountProcessHandles(), before);
}

TEST(SweepTools, HeapWalkSeesABlockComeAndGo) {
    if (HeapCheckingOn()) GTEST_SKIP() << "the sweep walks no heap while Wine checks them";
    const HeapUsage before = MeasureHeaps();
    ASSERT_TRUE(before.ok);
    void* block = HeapAlloc(GetProcessHeap(), 0, 100000);
    const HeapUsage during = MeasureHeaps();
    HeapFree(GetProcessHeap(), 0, block);
    const HeapUsage after = MeasureHeaps();
    EXPECT_EQ(during.blocks, before.blocks + 1);
    EXPECT_GE(during.bytes, before.bytes + 100000);
    EXPECT_EQ(after.blocks, before.blocks);
    EXPECT_LE(after.bytes + 100000, during.bytes);
}

// A measurement that does not end is named, as a call is, not left to the run's outer limit.
TEST(SweepTools, WatchdogNamesAMeasurementThatHangs) {
    std::string report;
    HANDLE reported = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        Watchdog dog(300, [&](const std::string& text) {
            report = text;
            SetEvent(reported);
        });
        Measure(dog, 10000, [&] { WaitForSingleObject(reported, 20000); });
    }
    CloseHandle(reported);
    EXPECT_EQ(report.rfind("SWEEP HANG: heap measurement at call 10000 ran longer than 300 ms", 0), 0u) << report;
}

TEST(SweepTools, InputDependsOnlyOnSeedAndIndex) {
    for (int kind = 0; kind < int(InputKind::Count); ++kind) {
        Rng a = RngFor(7, 1234), b = RngFor(7, 1234), c = RngFor(8, 1234);
        const auto first = MakeLine(a, L"CONSIZE", InputKind(kind));
        EXPECT_EQ(first, MakeLine(b, L"CONSIZE", InputKind(kind)));
        (void)MakeLine(c, L"CONSIZE", InputKind(kind));
    }
    // Different indexes spread: many distinct lines from one kind.
    std::set<std::wstring> seen;
    for (uint64_t i = 0; i < 200; ++i) {
        Rng rng = RngFor(1, i);
        seen.insert(MakeLine(rng, L"GOTOXY", InputKind::Numbers));
    }
    EXPECT_GT(seen.size(), 100u);
}

TEST(SweepTools, LongLinesStayWithinTheHostLineAndReachItsLimit) {
    size_t longest = 0;
    bool surrogatePair = false, loneSurrogate = false;
    for (uint64_t i = 0; i < 400; ++i) {
        Rng rng = RngFor(3, i);
        const auto line = MakeLine(rng, L"CSBFIND", InputKind::Long);
        EXPECT_LE(line.size(), 32767u);
        longest = std::max(longest, line.size());
        Rng other = RngFor(3, i);
        const auto wide = MakeLine(other, L"CSBFIND", InputKind::Surrogates);
        for (size_t k = 0; k < wide.size(); ++k) {
            const bool high = wide[k] >= 0xD800 && wide[k] <= 0xDBFF;
            const bool low = k + 1 < wide.size() && wide[k + 1] >= 0xDC00 && wide[k + 1] <= 0xDFFF;
            if (high && low) surrogatePair = true;
            if (high && !low) loneSurrogate = true;
        }
    }
    EXPECT_EQ(longest, 32767u);
    EXPECT_TRUE(surrogatePair);
    EXPECT_TRUE(loneSurrogate);
}

TEST(SweepTools, SnapshotHasTheHeaderAndOneRowPerLineToTheCursor) {
    tconsole::Snapshot saved;
    tconsole::SetCursor(3, 4);
    tconsole::WriteText(0, 2, L"snap");
    const auto info = tconsole::Info();
    const std::string bytes = CaptureSnapshot(tconsole::Out(), nullptr);
    saved.Restore();
    ASSERT_EQ(bytes.size(), 22u + 5u * size_t(info.dwSize.X) * 4u);
    EXPECT_EQ(std::memcmp(bytes.data(), &info, 18), 0);
    const size_t cell = 22 + (2 * size_t(info.dwSize.X) + 1) * 4;  // row 2, column 1
    EXPECT_EQ(bytes[cell], 'n');

    Rng rng(5);
    EXPECT_EQ(MutateSnapshot(rng, bytes, SnapshotKind::Valid).substr(0, 22), bytes.substr(0, 22));
    EXPECT_TRUE(MutateSnapshot(rng, bytes, SnapshotKind::Empty).empty());
    for (int i = 0; i < 50; ++i) EXPECT_LT(MutateSnapshot(rng, bytes, SnapshotKind::Truncated).size(), bytes.size());
}

}  // namespace

namespace {

// The fault injection reaches the plug-in's own import: start-up asks for the console window.
class SweepFaultTools : public PluginTest {};

TEST_F(SweepFaultTools, InjectedFailureReachesThePluginsImport) {
    auto initialize = Entry<int()>("InitializePlugin");
    ASSERT_NE(initialize, nullptr);
    size_t target = 0;
    while (target < sweep::FaultTargets().size() &&
           std::strcmp(sweep::FaultTargets()[target].function, "GetConsoleWindow") != 0)
        ++target;
    ASSERT_LT(target, sweep::FaultTargets().size());
    {
        sweep::FaultInjection fault(Plugin().Module(), target, 1);
        ASSERT_TRUE(fault.Applied());
        EXPECT_EQ(initialize(), 0);
        EXPECT_EQ(fault.Calls(), 1);
        EXPECT_TRUE(fault.Fired());
    }
    EXPECT_EQ(initialize(), 0);  // the import is back: start-up records the window again
}

// A copy of an import every _BUFX call makes, which also takes one block from the plug-in's own
// malloc and keeps it: what a forgotten delete in an entry point does.
void* realScreenBufferInfo = nullptr;
void* pluginMalloc = nullptr;
BOOL WINAPI LeakingScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) {
    reinterpret_cast<void* (*)(size_t)>(pluginMalloc)(24);
    return reinterpret_cast<decltype(&GetConsoleScreenBufferInfo)>(realScreenBufferInfo)(console, info);
}

// The sweep's leak check finds one block per call in every build, Wine's heap checking on or not,
// and finds nothing in the same calls without the leak.
TEST_F(SweepFaultTools, LeakCheckCatchesOneBlockPerCall) {
    AllocationCount count({Plugin().Module(), GetModuleHandleW(L"onig.dll")});
    Watchdog dog(60000);
    auto leaksOver100Calls = [&](bool leak) {
        std::unique_ptr<ImportPatch> patch;
        if (leak) {
            pluginMalloc = ImportPatch::Current(Plugin().Module(), nullptr, "malloc");
            patch = std::make_unique<ImportPatch>(Plugin().Module(), nullptr, "GetConsoleScreenBufferInfo",
                                                  reinterpret_cast<void*>(&LeakingScreenBufferInfo));
            realScreenBufferInfo = patch->Original();
        }
        const Levels before = Measure(dog, 0);
        for (int i = 0; i < 100; ++i) Var(L"_BUFX");
        return Leaks(before, Measure(dog, 100));
    };
    leaksOver100Calls(false);  // what the first calls set up once
    const auto clean = leaksOver100Calls(false);
    EXPECT_TRUE(clean.empty()) << clean.front();
    const auto leaks = leaksOver100Calls(true);
    EXPECT_TRUE(std::any_of(leaks.begin(), leaks.end(),
                            [](const std::string& leak) { return leak.rfind("plug-in blocks leak", 0) == 0; }));
}

// The fence keeps the sweep's odd file names off the machine: only the folder itself and the
// devices that store nothing may pass, however the name reaches them.
TEST(SweepTools, FileFenceLetsOnlyTheFolderThrough) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"fence";
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    const wchar_t* allowed[] = {L"x.txt", L"dir\\..\\x.txt", L".\\sub\\x.txt", L"NUL", L"nul.txt", L"CON",
                                L"\\\\.\\NUL", L"CONOUT$"};
    for (const wchar_t* path : allowed) EXPECT_TRUE(FileFence::Allows(folder, path)) << Printable(path);
    EXPECT_TRUE(FileFence::Allows(folder, (folder + L"\\X.TXT").c_str()));
    EXPECT_TRUE(FileFence::Allows(folder, (L"\\\\?\\" + folder + L"\\x.txt").c_str()));
    const wchar_t* refused[] = {L"\\x.txt", L"\\'A", L"..\\x.txt", L"..\\..\\..\\..\\..\\..\\x.txt", L"Z:\\x.txt",
                                L"Z:x.txt", L"\\\\server\\share\\x.txt", L"\\\\'A", L"\\\\.\\PhysicalDrive0",
                                L"\\\\?\\UNC\\server\\share\\x", L"COM1", L"AUX", L"LPT1.txt", L"."};
    for (const wchar_t* path : refused) EXPECT_FALSE(FileFence::Allows(folder, path)) << Printable(path);
    EXPECT_FALSE(FileFence::Allows(folder, (folder + L"-next\\x.txt").c_str()));  // a sibling sharing the prefix
    EXPECT_FALSE(FileFence::Allows(folder, (folder + L"\\" + std::wstring(400, L'n') + L"\\..\\..\\..\\x").c_str()));
    SetCurrentDirectoryW(previous);
    RemoveDirectoryW(folder.c_str());
}

std::wstring Full(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}
void Write(const std::wstring& path, const char* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(file, text, DWORD(strlen(text)), &done, nullptr);
    CloseHandle(file);
}

// After the sweep, a file outside the folder counts only where the plug-in named that path and
// the file was not there as it is now: files other programs write meanwhile are theirs.
TEST(SweepTools, FileFenceFindsOnlyWritesToPathsThePluginNamed) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"fence-own", named = Full(std::wstring(temp) + L"fence-named.txt"),
                       kept = Full(std::wstring(temp) + L"fence-kept.txt"), other = std::wstring(temp) + L"fence-other.txt";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW(named.c_str());
    Write(kept, "");
    {
        const FileFence fence(Plugin().Module(), folder);
        for (const std::wstring& path : {named, kept}) {
            bool found = false;
            Plugin().RunCommand(L"SAVECSB", path, &found);  // refused by the fence
            EXPECT_TRUE(found);
        }
    }
    Write(other, "another program's");
    EXPECT_TRUE(FileFence::Strays().empty()) << Printable(FileFence::Strays().front());
    // Writes that got past a fence: a new file where the plug-in named one, an old one changed.
    Write(named, "stray");
    Write(kept, "changed");
    EXPECT_EQ(FileFence::Strays(), (std::vector<std::wstring>{kept, named}));
    for (const std::wstring& path : {named, kept, other}) DeleteFileW(path.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_TRUE(FileFence::Strays().empty());
}

}  // namespace
