// The sweep's driver: calls any registered name with generated input on the test console, checks
// what must hold after every call, puts the console back, and tallies what happened per kind
// of input or fault for the closing table.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "harness/faults.h"
#include "harness/input.h"
#include "harness/probe.h"
#include "support/console.h"

namespace sweep {

// Environment: ZARNITH_SWEEP_SEED, ZARNITH_SWEEP_CALLS, ZARNITH_SWEEP_FIRST (first call index,
// to replay one call), ZARNITH_SWEEP_TIMEOUT_MS (per call).
struct Settings {
    uint64_t seed = 0x5EED2A2E;
    long calls = 20000;
    long first = 0;
    DWORD timeoutMs = 20000;
    static Settings FromEnvironment();
};

struct Tally {
    long cases = 0, zero = 0, positive = 0, minusOne = 0, otherNegative = 0, stdoutText = 0, stderrText = 0;
    long silentFailures = 0;  // non-zero result with no text at all
    double ms = 0;
};

struct CallInput {
    std::wstring name;
    std::wstring line;  // argument line or function argument; unused for variables and keys
    KeyCase key;
    std::string label;  // row of the summary table this call counts in
    std::string where;  // how to reproduce it
};

class Harness {
public:
    Harness();
    ~Harness();

    // Everything after the call was checked; false and a message in `problem` otherwise.
    struct Result {
        int code = 0;
        bool out = false, err = false;
        double ms = 0;
        std::string problem;
    };
    Result Call(const CallInput& input);

    // Puts geometry back when `now` differs from the start, and for commands (`full`) also the
    // cursor, input mode, font, active buffer and standard handles.
    void RestoreConsole(const CONSOLE_SCREEN_BUFFER_INFO& now, bool full);
    void RestoreConsole();
    // The console's record as the sweep keeps it (read after each call; restored when changed).
    const CONSOLE_SCREEN_BUFFER_INFO& Base() const { return base_; }
    // Fills rows above the cursor with text worth searching and sets the cursor to row 20.
    void PrepareScreen();

    // A fresh snapshot file named `file` in the working folder; returns its label.
    std::string WriteSnapshot(Rng& rng, const std::wstring& file);

    std::map<std::string, Tally>& Table() { return table_; }
    void Count(const std::string& label, const Result& result, double ms);
    std::string FormatTable(const std::string& title) const;

    Watchdog& Dog() { return dog_; }
    long Calls() const { return calls_; }  // made through Call so far
    CallLog& Log() { return log_; }
    const std::wstring& Folder() const { return folder_; }
    const std::wstring& StartFolder() const { return startFolder_; }

private:
    std::wstring startFolder_, folder_;
    tconsole::Snapshot snapshot_;
    CONSOLE_FONT_INFOEX font_{};
    CONSOLE_SCREEN_BUFFER_INFO base_{};
    CONSOLE_CURSOR_INFO baseCursor_{};
    DWORD baseMode_ = 0;
    CallLog log_;
    Watchdog dog_;
    std::unique_ptr<FastFakes> fakes_;
    std::unique_ptr<FileFence> fence_;
    std::unique_ptr<AllocationCount> count_;
    long calls_ = 0;
    std::map<std::string, Tally> table_;
    std::string validSnapshot_;
};

// Input lines that reach each name's main path, for the fault runs (the generic "" and "/?" too).
std::vector<std::wstring> DeepLines(const std::wstring& name);

}  // namespace sweep
