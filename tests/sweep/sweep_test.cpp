// The hardening sweep: every registered name, generated input, failing allocations and console
// calls, redirected streams and a Take Command tab. Nothing may crash, hang, leak or leave the
// console broken. ZARNITH_SWEEP_CALLS sets the length of the random part (default 20,000).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "support/plugin_test.h"
#include "harness/driver.h"

using namespace sweep;

namespace {

// Writes the table to the console output of the run and to a file next to the test program.
void Publish(Harness& h, const std::string& title, const std::string& extra = {}) {
    const std::string text = h.FormatTable(title) + extra;
    std::printf("%s", text.c_str());
    std::fflush(stdout);
    if (FILE* f = _wfopen((h.StartFolder() + L"\\sweep-summary.txt").c_str(), L"a")) {
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
}

std::string Where(uint64_t seed, long index) {
    char text[80];
    std::snprintf(text, sizeof text, "seed=0x%llx index=%ld", (unsigned long long)seed, index);
    return text;
}

// Variables are cheap and many; key records and functions get extra weight for their wider input.
int WeightOf(const std::wstring& name) {
    switch (ShapeOf(name)) {
        case EntryShape::Variable: return 3;
        case EntryShape::Function: return 4;
        case EntryShape::Key: return 6;
        default: return 2;
    }
}

// The sweep may write only into its own folder. After the run, no path outside it that the
// plug-in named may hold a file it did not hold before: only those paths are the plug-in's, as
// other programs write into shared folders (the temporary folder) while the sweep runs.
class NothingWrittenOutside : public ::testing::Environment {
public:
    void TearDown() override {
        for (const auto& path : FileFence::Strays())
            ADD_FAILURE() << "the sweep left a file outside its folder: " << Printable(path);
    }
};
[[maybe_unused]] auto* const nothingWrittenOutside = ::testing::AddGlobalTestEnvironment(new NothingWrittenOutside);

class SweepTest : public PluginTest {
protected:
    const std::vector<std::wstring>& Names() { return Plugin().Names(); }

    // A call built from (seed, index) alone, so that the log's pair replays it.
    CallInput Generate(Harness& h, uint64_t seed, long index, const std::vector<int>& cumulative) {
        Rng rng = RngFor(seed, uint64_t(index));
        const auto pick = int(rng.Below(uint32_t(cumulative.back())));
        const size_t which = size_t(std::upper_bound(cumulative.begin(), cumulative.end(), pick) - cumulative.begin());
        CallInput in;
        in.name = Names()[which];
        in.where = Where(seed, index);
        switch (ShapeOf(in.name)) {
            case EntryShape::Variable: in.label = "variable (2048-char buffer)"; break;
            case EntryShape::Key:
                in.key = MakeKey(rng, h.Base());
                in.label = "key record";
                break;
            default: {
                if (in.name == L"RSTRCON" && rng.Chance(70)) {
                    in.label = h.WriteSnapshot(rng, L"snap.bin");
                    in.line = rng.Chance(80) ? L"snap.bin" : L"\"snap.bin\" extra";
                    break;
                }
                const auto kind = InputKind(rng.Below(uint32_t(InputKind::Count)));
                in.line = MakeLine(rng, in.name, kind);
                in.label = std::string(ShapeOf(in.name) == EntryShape::Function ? "function: " : "line: ") +
                           KindName(kind);
            }
        }
        return in;
    }

    // Runs `in`, tallies it under its label and its name, and reports any broken rule.
    bool RunOne(Harness& h, const CallInput& in, int& failures) {
        const auto result = h.Call(in);
        h.Count(in.label, result, result.ms);
        h.Count("name " + Printable(in.name), result, result.ms);
        if (result.problem.empty()) return true;
        ADD_FAILURE() << in.where << " " << Printable(in.name) << " [" << Printable(in.line) << "]: " << result.problem;
        return ++failures < 20;
    }
};

TEST_F(SweepTest, EveryNameSurvivesGeneratedInput) {
    ASSERT_TRUE(ReloadPlugin());
    ASSERT_EQ(Names().size(), 45u);
    const int blocksAtLoad = StandIn_LiveBlocks();
    const Settings settings = Settings::FromEnvironment();
    {
        Harness h;
        std::vector<int> cumulative;
        for (const auto& name : Names()) cumulative.push_back((cumulative.empty() ? 0 : cumulative.back()) + WeightOf(name));

        // Warm-up: every name once per deep line, so that lazily made things exist before measuring.
        int failures = 0;
        for (const auto& name : Names())
            for (const auto& line : DeepLines(name)) {
                CallInput in{name, line, {}, "warm-up", "warm-up"};
                RunOne(h, in, failures);
            }
        h.Table().erase("warm-up");
        for (int k = 0; k < int(InputKind::Count); ++k) {
            h.Table()[std::string("line: ") + KindName(InputKind(k))];
            h.Table()[std::string("function: ") + KindName(InputKind(k))];
        }
        for (int k = 0; k < int(SnapshotKind::Count); ++k) h.Table()[SnapshotKindName(SnapshotKind(k))];
        h.Table()["variable (2048-char buffer)"];
        h.Table()["key record"];

        const long half = settings.first + settings.calls / 2, end = settings.first + settings.calls;
        const Levels start = Measure(h.Dog(), settings.first);
        Levels middle{};
        long i = settings.first;
        for (; i < end && failures < 20; ++i) {
            if (i == half) middle = Measure(h.Dog(), i);
            if (!RunOne(h, Generate(h, settings.seed, i, cumulative), failures)) break;
        }
        if (settings.calls < 2) middle = start;
        const Levels finish = Measure(h.Dog(), i);

        char header[300];
        std::snprintf(header, sizeof header,
                      "Random sweep: %ld calls, seed 0x%llx (Sleep skipped %lld ms, keys invented %ld, paths outside "
                      "the sweep's folder refused %ld)",
                      settings.calls, (unsigned long long)settings.seed, FastFakes::SleptMs(), FastFakes::KeysInvented(),
                      FileFence::Refused());
        Publish(h, header,
                Describe("after warm-up", start) + "\n" + Describe("half-way", middle) + "\n" +
                    Describe("end", finish) + "\n");

        for (const auto& name : Names())
            EXPECT_GT(h.Table()["name " + Printable(name)].cases, 0) << "never called: " << Printable(name);
        // The second half may not add anything the first half did not: per-call leaks show there.
        if (start.handles >= 0) {
            EXPECT_LE(middle.handles - start.handles, 2) << "handles leak";
        }
        for (const auto& leak : Leaks(middle, finish)) ADD_FAILURE() << leak;
    }
    // Shutdown hands back everything the plug-in kept (the blank-row buffer among it).
    ASSERT_TRUE(ReloadPlugin());
    EXPECT_EQ(StandIn_LiveBlocks(), blocksAtLoad);
}

TEST_F(SweepTest, HostAllocationFailuresEndCleanly) {
    Harness h;
    int failures = 0;
    const Levels before = Measure(h.Dog(), h.Calls());
    for (const auto& name : Names()) {
        for (const auto& line : DeepLines(name)) {
            // Fail the first, second, ... allocation until a run makes fewer than that.
            for (int n = 1; n <= 200; ++n) {
                StandIn_Reset();
                StandIn_SetEcho(0);
                StandIn_FailAllocationAt(n);
                Rng keys{uint64_t(n)};
                CallInput in{name, line, MakeKey(keys, h.Base()), "AllocMem fails",
                             "allocation " + std::to_string(n)};
                if (name == L"RSTRCON") {
                    Rng rng(n);
                    h.WriteSnapshot(rng, L"snap.bin");
                }
                const int blocks = StandIn_LiveBlocks();
                RunOne(h, in, failures);
                const int calls = StandIn_AllocationCalls();
                StandIn_FailAllocationAt(0);
                // The blank-row buffer is the only block meant to outlive a call.
                EXPECT_LE(StandIn_LiveBlocks() - blocks, 1) << Printable(name) << " [" << Printable(line)
                                                            << "] keeps host blocks after allocation " << n << " failed";
                if (calls < n) break;
            }
        }
    }
    StandIn_Reset();
    const Levels after = Measure(h.Dog(), h.Calls());
    if (before.handles >= 0) {
        EXPECT_LE(after.handles - before.handles, 2) << "handles leak";
    }
    EXPECT_LE(after.pluginBlocks - before.pluginBlocks, 4) << "plug-in blocks leak on a failure path";
    Publish(h, "Host allocation failures (AllocMem/ReallocMem fail at the n-th call)",
            Describe("before", before) + "\n" + Describe("after", after) + "\n");
}

TEST_F(SweepTest, FailingConsoleCallsEndCleanly) {
    Harness h;
    int failures = 0;
    const auto& targets = FaultTargets();
    // Twice: some failure paths make Wine set up things of its own once (handles it keeps for
    // the process); only what the second pass adds is a leak.
    Levels before{};
    for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) before = Measure(h.Dog(), h.Calls());
    for (const auto& name : Names()) {
        for (const auto& line : DeepLines(name)) {
            for (size_t t = 0; t < targets.size(); ++t) {
                const std::string label = std::string(targets[t].function) + " fails";
                // n = 0 fails every call; then the first, second, ... call until one run needs fewer.
                for (int n = 0; n <= 30; ++n) {
                    if (name == L"RSTRCON") {
                        Rng rng(n);
                        h.WriteSnapshot(rng, L"snap.bin");
                    }
                    Rng keys(uint64_t(n) + t);
                    CallInput in{name, line, MakeKey(keys, h.Base()), label,
                                 label + " at call " + std::to_string(n)};
                    FaultInjection fault(Plugin().Module(), t, n);
                    if (!fault.Applied()) break;  // the plug-in does not import it
                    const long handlesBefore = pass == 1 ? CountProcessHandles() : -1;
                    const auto result = h.Call(in);
                    // ALTENTER /D keeps a thread for its hook (and what Wine gives a thread) until
                    // /E: what outlives Alt-Enter's return is what would leak.
                    if (name == L"ALTENTER") Plugin().RunCommand(L"ALTENTER", L"/E");
                    const long handlesAfter = pass == 1 ? CountProcessHandles() : -1;
                    if (handlesBefore >= 0 && handlesAfter > handlesBefore)
                        ADD_FAILURE() << "handles +" << (handlesAfter - handlesBefore) << ": " << Printable(name) << " ["
                                      << Printable(line) << "] " << in.where;
                    if (fault.Calls() == 0) break;  // this line never reaches it
                    h.Count(label, result, result.ms);
                    h.Count("name " + Printable(name), result, result.ms);
                    if (!result.problem.empty()) {
                        ADD_FAILURE() << Printable(name) << " [" << Printable(line) << "] " << in.where << ": "
                                      << result.problem;
                        if (++failures >= 20) return;
                    }
                    if (n > 0 && !fault.Fired()) break;
                }
            }
        }
    }
    }
    const Levels after = Measure(h.Dog(), h.Calls());
    if (before.handles >= 0) {
        EXPECT_LE(after.handles - before.handles, 2) << "handles leak";
    }
    EXPECT_LE(after.hostBlocks - before.hostBlocks, 1) << "host allocator blocks leak";
    EXPECT_LE(after.pluginBlocks - before.pluginBlocks, 4) << "plug-in blocks leak on a failure path";
    Publish(h, "Failing Windows calls (each import failing at its n-th call, n = 0: every call)",
            Describe("before", before) + "\n" + Describe("after", after) + "\n");
}

TEST_F(SweepTest, RedirectedStreamsAndTakeCommandTab) {
    int failures = 0;
    auto everyName = [&](Harness& h, const std::string& label, auto&& around) {
        for (const auto& name : Names())
            for (const auto& line : DeepLines(name)) {
                Rng keys(line.size());
                CallInput in{name, line, MakeKey(keys, h.Base()), label, label};
                if (name == L"RSTRCON") {
                    Rng rng(1);
                    h.WriteSnapshot(rng, L"snap.bin");
                }
                around([&] { RunOne(h, in, failures); });
            }
    };
    std::string extra;
    {
        Harness h;
        const Levels before = Measure(h.Dog(), h.Calls());
        const std::wstring outPath = h.Folder() + L"\\stdout.txt";
        everyName(h, "stdout is a file", [&](auto call) {
            HANDLE file = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            SetStdHandle(STD_OUTPUT_HANDLE, file);
            call();
            SetStdHandle(STD_OUTPUT_HANDLE, tconsole::Out());
            CloseHandle(file);
        });
        everyName(h, "stdin is a file", [&](auto call) {
            const std::wstring inPath = h.Folder() + L"\\stdin.txt";
            HANDLE file = CreateFileW(inPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            DWORD done = 0;
            WriteFile(file, "q\r\ny\r\n", 6, &done, nullptr);
            SetFilePointer(file, 0, nullptr, FILE_BEGIN);
            SetStdHandle(STD_INPUT_HANDLE, file);
            call();
            SetStdHandle(STD_INPUT_HANDLE, tconsole::In());
            CloseHandle(file);
        });
        everyName(h, "stdin is a pipe", [&](auto call) {
            HANDLE read = nullptr, write = nullptr;
            ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
            DWORD done = 0;
            WriteFile(write, "q\r\n", 3, &done, nullptr);
            CloseHandle(write);  // a reader gets the text, then the end, never a wait
            SetStdHandle(STD_INPUT_HANDLE, read);
            call();
            SetStdHandle(STD_INPUT_HANDLE, tconsole::In());
            CloseHandle(read);
        });
        const Levels after = Measure(h.Dog(), h.Calls());
        if (before.handles >= 0) {
        EXPECT_LE(after.handles - before.handles, 2) << "handles leak";
    }
        extra = Describe("before", before) + "\n" + Describe("after", after) + "\n";
        Publish(h, "Redirected standard streams", extra);
    }
    // A Take Command tab: start-up recorded nothing (no console window) and every name is asked again.
    StandIn_SetVariable(L"_TCTAB", L"1");
    ASSERT_TRUE(ReloadPlugin());
    StandIn_SetVariable(L"_TCTAB", L"1");
    {
        Harness h;
        everyName(h, "Take Command tab", [&](auto call) {
            StandIn_SetVariable(L"_TCTAB", L"1");
            call();
        });
        Publish(h, "Inside a Take Command tab (_TCTAB = 1, InitializePlugin returned 1)");
    }
    StandIn_SetVariable(L"_TCTAB", L"0");
    ASSERT_TRUE(ReloadPlugin());
}

}  // namespace
