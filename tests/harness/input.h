// Seeded generator of hostile input for every registered name: argument lines, function
// arguments, key records and snapshot files. Each call's input depends only on (seed, index),
// so one logged pair reproduces it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sweep {

// splitmix64: small, fast, and good enough to spread cases; not for anything secret.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    uint32_t Below(uint32_t n) { return n ? uint32_t(Next() % n) : 0; }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    template <class T>
    const T& Pick(const std::vector<T>& items) { return items[Below(uint32_t(items.size()))]; }

private:
    uint64_t state_;
};

// The generator for call `index` of a run with `seed`.
Rng RngFor(uint64_t seed, uint64_t index);

enum class InputKind : int {
    Empty,       // "" and blank-only lines
    Vocabulary,  // the name's own options and values, shuffled
    Help,        // "/?" and "?" at odd places
    Numbers,     // 16- and 32-bit limits, just past them, negative
    Quotes,      // unbalanced and nested double quotes
    Control,     // tabs, control characters, NULs cut the line
    Surrogates,  // characters outside the BMP, lone surrogates
    Long,        // lines up to 32,767 characters
    Count
};
const char* KindName(InputKind kind);

enum class EntryShape { Command, Variable, Function, Key };
EntryShape ShapeOf(const std::wstring& name);

// A line for `name` of the given kind (a command's line or a function's argument text).
std::wstring MakeLine(Rng& rng, const std::wstring& name, InputKind kind);

// Key codes the handler knows, plus neighbours and plain characters.
struct KeyCase {
    int32_t key, startRow, startColumn, cursorRow, cursorColumn;
    std::wstring line;
};
KeyCase MakeKey(Rng& rng, const CONSOLE_SCREEN_BUFFER_INFO& info);

// Console snapshot files: a 22-byte header (the screen-buffer record with the window's screen
// position in its last four bytes) followed by rows 0..cursor row of 4-byte cells.
std::string CaptureSnapshot(HANDLE console, HWND window);
enum class SnapshotKind : int { Valid, Header, Truncated, Extended, Garbage, Empty, Count };
const char* SnapshotKindName(SnapshotKind kind);
std::string MutateSnapshot(Rng& rng, const std::string& valid, SnapshotKind kind);

// The values the generator puts at and past the integer limits.
const std::vector<std::wstring>& LimitNumbers();

}  // namespace sweep
