// CSBFIND: regular-expression search of the screen buffer above the cursor, one match at a time.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include <oniguruma.h>

#include "console/screen.h"
#include "frame/os_module.h"
#include "frame/rows.h"

namespace zarnith {

// Exchanges the colours of `count` cells from `first` on (a buffer `width` cells wide), keeping
// the bits above the low byte, through `scratch` (count attributes). Twice puts them back.
void SwapMatchColours(const ScreenBuffer& screen, int width, COORD first, uint32_t count, WORD* scratch) noexcept;

// The Oniguruma syntax that the host's "RegularExpressions" option names (Perl by default).
OnigSyntaxType* SelectRegexSyntax() noexcept;

// Writes "Regex: <Oniguruma's message>" to standard error.
void ShowRegexError(int code, const OnigErrorInfo* info) noexcept;

struct Match {
    size_t start = 0;   // in UTF-16 units from the start of the searched text
    size_t length = 0;  // in UTF-16 units
};

// What one search found: a match, or none; `error` (Oniguruma's negative code) when the search
// gave up before the end of the text (a retry limit reached, or another error inside the
// search), so that "no match" is not the whole truth.
struct Found {
    std::optional<Match> match;
    int error = 0;
};

// A pattern compiled once for UTF-16LE text, searched in many subjects. Each search is bounded
// by a retry limit when the loaded onig.dll can take one, so a runaway pattern cannot hang the host.
class CompiledPattern {
public:
    CompiledPattern() noexcept = default;
    CompiledPattern(const CompiledPattern&) = delete;
    CompiledPattern& operator=(const CompiledPattern&) = delete;
    ~CompiledPattern();

    // False after showing the compile error (or when nothing can be allocated).
    bool Compile(std::wstring_view pattern, OnigSyntaxType* syntax) noexcept;
    // Retries one search may spend before it counts as no match (0: Oniguruma's own limits).
    void LimitRetries(unsigned long retries) noexcept;
    bool Limited() const noexcept { return param_ != nullptr; }

private:
    friend Found FindMatch(const CompiledPattern& pattern, std::wstring_view text) noexcept;
    OnigRegex regex_ = nullptr;
    OnigRegion* region_ = nullptr;
    OnigMatchParam* param_ = nullptr;
    // Per-search limits arrived in Oniguruma 6.8; the host may have an older onig.dll loaded, so
    // these are looked up, never imported.
    RunTimeFunction<int(OnigRegex, const OnigUChar*, const OnigUChar*, const OnigUChar*, const OnigUChar*,
                        OnigRegion*, OnigOptionType, OnigMatchParam*)>
        searchWithParam_;
    RunTimeFunction<void(OnigMatchParam*)> freeParam_;
};

// The first match in `text`, which is a subject of its own ("^" matches at its start); no match
// for a pattern that did not compile either. Oniguruma may look one unit past the end of `text`
// (at a lone high surrogate), so that unit must be readable memory.
Found FindMatch(const CompiledPattern& pattern, std::wstring_view text) noexcept;

// Retries one CSBFIND search (one rest of a row) may spend: far more than any sensible pattern
// needs on a console row, a fraction of a second for a runaway one.
inline constexpr unsigned long kSearchRetryLimit = 1000000;

int RunCsbfind(Row self, wchar_t* line);

}  // namespace zarnith
