#include "buffer/search.h"

#include <conio.h>

#include <algorithm>
#include <iterator>

#include "console/cells.h"
#include "console/transfer.h"
#include "frame/entry.h"
#include "frame/guard.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/plugin.h"
#include "frame/rows.h"
#include "frame/report.h"

namespace zarnith {

namespace {

const OnigUChar* Bytes(const wchar_t* p) noexcept { return reinterpret_cast<const OnigUChar*>(p); }

}  // namespace

void SwapMatchColours(const ScreenBuffer& screen, int width, COORD first, uint32_t count, WORD* scratch) noexcept {
    if (count == 0 || scratch == nullptr) return;
    const uint32_t done = screen.ReadAttributes(first, count, width, scratch);
    std::transform(scratch, scratch + done, scratch, [](WORD a) { return Attribute(a).Swapped().value(); });
    screen.WriteAttributes(first, done, width, scratch);
}

void ShowRegexError(int code, const OnigErrorInfo* info) noexcept {
    OnigUChar message[ONIG_MAX_ERROR_MESSAGE_LEN + 6] = {};
    onig_error_code_to_str(message, code, info);
    wchar_t text[100] = {};
    // The count is the wide buffer's capacity, terminator included.
    ASCIIToUnicode(reinterpret_cast<const char*>(message), text, int(std::size(text)));
    ReportLine(message::kRegexError, text);
}

CompiledPattern::~CompiledPattern() {
    if (param_) freeParam_(param_);
    if (region_) onig_region_free(region_, 1);
    if (regex_) onig_free(regex_);
}

bool CompiledPattern::Compile(std::wstring_view pattern, OnigSyntaxType* syntax) noexcept {
    OnigErrorInfo info{};
    const int code = onig_new(&regex_, Bytes(pattern.data()), Bytes(pattern.data() + pattern.size()),
                              ONIG_OPTION_NONE, &OnigEncodingUTF16_LE, syntax, &info);
    if (code != ONIG_NORMAL) {
        regex_ = nullptr;
        ShowRegexError(code, &info);
        return false;
    }
    region_ = onig_region_new();
    return region_ != nullptr;
}

void CompiledPattern::LimitRetries(unsigned long retries) noexcept {
    // Whatever onig.dll the plug-in is bound to is the one that holds onig_new.
    const OsModule onig = OsModule::Holding(reinterpret_cast<const void*>(&onig_new));
    const RunTimeFunction<OnigMatchParam*()> newParam(onig, "onig_new_match_param");
    const RunTimeFunction<int(OnigMatchParam*, unsigned long)> setSearchLimit(
        onig, "onig_set_retry_limit_in_search_of_match_param");
    const decltype(searchWithParam_) search(onig, "onig_search_with_param");
    const decltype(freeParam_) freeParam(onig, "onig_free_match_param");
    if (!newParam || !setSearchLimit || !search || !freeParam || param_ != nullptr || retries == 0) return;
    param_ = newParam();
    if (param_ && setSearchLimit(param_, retries) != ONIG_NORMAL) {
        freeParam(param_);
        param_ = nullptr;
    }
    if (param_) {
        searchWithParam_ = search;
        freeParam_ = freeParam;
    }
}

std::optional<Match> FindMatch(const CompiledPattern& pattern, std::wstring_view text) noexcept {
    if (!pattern.regex_ || !pattern.region_) return std::nullopt;
    const OnigUChar* start = Bytes(text.data());
    const OnigUChar* end = Bytes(text.data() + text.size());
    int result;
    if (pattern.param_) {
        result = pattern.searchWithParam_(pattern.regex_, start, end, start, end, pattern.region_, ONIG_OPTION_NONE,
                                          pattern.param_);
    } else {
        result = onig_search(pattern.regex_, start, end, start, end, pattern.region_, ONIG_OPTION_NONE);
    }
    // Any negative result (no match, a limit reached, an error) means nothing to show.
    if (result < 0 || pattern.region_->num_regs < 1) return std::nullopt;
    const int begin = pattern.region_->beg[0];
    const int finish = pattern.region_->end[0];
    return Match{size_t(begin) / 2, size_t(finish - begin) / 2};
}

namespace {

// Shows each match of rows 0 .. rows-1, waiting for a key after each, until "q" or the last row.
void ShowMatches(const ScreenBuffer& screen, const CompiledPattern& pattern, int width, int rows,
                 HostArray<wchar_t>& text, HostArray<WORD>& scratch) noexcept {
    ForEachRowChunk(0, rows, int(text.size() / size_t(width)), [&](int top, int count) {
        screen.ReadCharacters(COORD{0, SHORT(top)}, uint32_t(count) * uint32_t(width), width, text.data());
        for (int i = 0; i < count; ++i) {
            const wchar_t* row = text.data() + size_t(i) * size_t(width);
            const SHORT y = SHORT(top + i);
            size_t position = 0;
            while (position <= size_t(width)) {
                // A NUL cell ends the text, as it would end a string.
                const wchar_t* rest = row + position;
                const wchar_t* nul = std::find(rest, row + width, L'\0');
                const auto match = FindMatch(pattern, std::wstring_view(rest, size_t(nul - rest)));
                if (!match) break;
                const size_t column = position + match->start;
                // An empty match after the row's last cell is shown with the cursor on that cell.
                SetConsoleCursorPosition(screen.get(), COORD{SHORT(std::min(column, size_t(width - 1))), y});
                const COORD first{SHORT(column), y};
                SwapMatchColours(screen, width, first, uint32_t(match->length), scratch.data());
                // An empty match steps one character on, or it would be found again forever.
                position = column + std::max<size_t>(match->length, 1);
                const wint_t key = _getwch();
                SwapMatchColours(screen, width, first, uint32_t(match->length), scratch.data());
                if (key == L'q') return false;
            }
        }
        return true;
    });
}

}  // namespace

int RunCsbfind(wchar_t* line) {
    OnigSyntaxType* const syntax = SelectRegexSyntax();
    wchar_t* pattern = line ? NthArgument(line, 0, nullptr, nullptr) : nullptr;
    if (pattern == nullptr || lstrcmpW(pattern, L"/?") == 0) {
        Printf(L"CSBFIND regex ... search console screen buffer\r\n");
        return 1;
    }
    StripEnclosingQuotes(pattern);

    const ScreenBuffer console = OpenConsoleOutput();
    if (!console) {
        ReportLine(message::kCannotOpenConsole);
        return 1;
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!console.Query(info)) return ReportWindowsError();

    // The cursor's row and the two above it (the command line that started the search) are left out.
    const int rows = info.dwCursorPosition.Y - 2;
    COORD cursor = info.dwCursorPosition;
    if (rows > 0 && info.dwSize.X > 0) {
        const int width = info.dwSize.X;
        HostArray<wchar_t> text(size_t(RowsPerTransfer(width, sizeof(wchar_t))) * size_t(width));
        HostArray<WORD> scratch(static_cast<size_t>(width));
        if (!text || !scratch) return ReportCommandError(RowOf(L"CSBFIND"), message::kNoMemory);
        CompiledPattern compiled;
        if (compiled.Compile(pattern, syntax)) {
            compiled.LimitRetries(kSearchRetryLimit);
            ShowMatches(console, compiled, width, rows, text, scratch);
        } else {
            // The message took a line of its own.
            cursor.Y = SHORT(std::min<int>(cursor.Y + 1, info.dwSize.Y - 1));
        }
    }
    SetConsoleWindowInfo(console.get(), TRUE, &info.srWindow);
    SetConsoleCursorPosition(console.get(), cursor);
    return 0;
}

}  // namespace zarnith

ZARNITH_ENTRY int CSBFIND(LPWSTR line) noexcept {
    return zarnith::Guarded(L"CSBFIND", [&] { return zarnith::RunCsbfind(line); });
}
