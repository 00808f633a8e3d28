#include "buffer/search.h"

#include <conio.h>

#include <algorithm>
#include <iterator>

#include "console/cells.h"
#include "console/row_text.h"
#include "frame/entry.h"
#include "frame/handles.h"
#include "frame/helpers.h"
#include "frame/host.h"
#include "frame/messages.h"
#include "frame/rows.h"
#include "frame/report.h"

namespace zarnith {

namespace {

const OnigUChar* Bytes(const wchar_t* p) noexcept { return reinterpret_cast<const OnigUChar*>(p); }

}  // namespace

void SwapMatchColours(const ScreenBuffer& screen, int width, COORD first, uint32_t count, WORD* scratch) noexcept {
    if (count == 0 || scratch == nullptr) return;
    uint32_t done = 0;
    (void)screen.ReadAttributes(first, count, width, scratch, done);  // only the cells read are swapped
    std::transform(scratch, scratch + done, scratch, [](WORD a) { return Attribute(a).Swapped().value(); });
    (void)screen.WriteAttributes(first, done, width, scratch);  // a highlight not shown stops no search
}

OnigSyntaxType* SelectRegexSyntax() noexcept {
    // The host copies the whole value; give it room rather than the few characters we read. What
    // its result means is not published: an option it cannot read leaves the value empty (Perl).
    wchar_t value[512] = {};
    QueryOptionValue(L"RegularExpressions", value);
    value[511] = L'\0';
    CharUpperW(value);
    switch (value[0] == L'\0' ? L'\0' : value[1]) {
        case L'A': return ONIG_SYNTAX_JAVA;
        case L'E': return ONIG_SYNTAX_PERL;
        case L'N': return ONIG_SYNTAX_GNU_REGEX;
        case L'O': return ONIG_SYNTAX_POSIX_EXTENDED;
        case L'R': return ONIG_SYNTAX_GREP;
        case L'U': return ONIG_SYNTAX_RUBY;
        default: return ONIG_SYNTAX_PERL;
    }
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

Found FindMatch(const CompiledPattern& pattern, std::wstring_view text) noexcept {
    if (!pattern.regex_ || !pattern.region_) return {};
    const OnigUChar* start = Bytes(text.data());
    const OnigUChar* end = Bytes(text.data() + text.size());
    int result;
    if (pattern.param_) {
        result = pattern.searchWithParam_(pattern.regex_, start, end, start, end, pattern.region_, ONIG_OPTION_NONE,
                                          pattern.param_);
    } else {
        result = onig_search(pattern.regex_, start, end, start, end, pattern.region_, ONIG_OPTION_NONE);
    }
    if (result == ONIG_MISMATCH) return {};
    if (result < 0) return Found{std::nullopt, result};
    if (pattern.region_->num_regs < 1) return {};
    // A high surrogate at the end of the text is taken with the unit after it, so a match can
    // reach one unit past the end: it is cut there.
    const size_t begin = std::min(size_t(pattern.region_->beg[0]) / 2, text.size());
    const size_t finish = std::clamp(size_t(pattern.region_->end[0]) / 2, begin, text.size());
    return Found{Match{begin, finish - begin}};
}

namespace {

// The first search that gave up: its row and Oniguruma's code.
struct Stopped {
    int row = -1;
    int error = 0;
};

// Tells why a row was not searched to its end. Rows are numbered from 0, as _BUFY and GOTOXY
// number them.
void TellStopped(const Stopped& stopped) noexcept {
    switch (stopped.error) {
    case ONIGERR_MATCH_STACK_LIMIT_OVER:
    case ONIGERR_RETRY_LIMIT_IN_MATCH_OVER:
    case ONIGERR_RETRY_LIMIT_IN_SEARCH_OVER:
    case ONIGERR_SUBEXP_CALL_LIMIT_IN_SEARCH_OVER: ReportLine(message::kSearchLimit, stopped.row); return;
    default: break;
    }
    OnigUChar text[ONIG_MAX_ERROR_MESSAGE_LEN + 6] = {};
    onig_error_code_to_str(text, stopped.error);
    wchar_t wide[100] = {};
    ASCIIToUnicode(reinterpret_cast<const char*>(text), wide, int(std::size(wide)));
    ReportLine(message::kSearchFailed, wide, stopped.row);
}

// Shows each match of rows 0 .. rows-1, waiting for a key after each, until "q" or the last row.
// Places are cells: a full-width character before a match moves it two cells, one inside it
// widens the highlight by two. Answers the first search that gave up, for telling once the
// cursor is back: told now, the line would land over the row of the match shown last.
Stopped ShowMatches(const ScreenBuffer& screen, const CompiledPattern& pattern, int width, int rows,
                    RowReader& reader, HostArray<WORD>& scratch) noexcept {
    Stopped stopped;
    reader.ForEachRow(0, rows, [&](int y, const ScreenRow& row) {
        // A NUL cell ends the text, as it would end a string.
        const size_t end = std::min(row.text.find(L'\0'), row.text.size());
        size_t position = 0;
        while (position <= end) {
            const Found found = FindMatch(pattern, row.text.substr(position, end - position));
            if (found.error != 0 && stopped.row < 0) stopped = Stopped{y, found.error};
            if (!found.match) break;
            const size_t start = position + found.match->start;
            const int first = row.CellOf(start);
            const uint32_t cells = uint32_t(row.CellOf(start + found.match->length) - first);
            // An empty match after the row's last cell is shown with the cursor on that cell.
            (void)screen.SetCursor(COORD{SHORT(std::min(first, width - 1)), SHORT(y)});  // the colours still show it
            const COORD at{SHORT(first), SHORT(y)};
            SwapMatchColours(screen, width, at, cells, scratch.data());
            // An empty match steps one character on, or it would be found again forever.
            position = start + std::max<size_t>(found.match->length, 1);
            const wint_t key = _getwch();
            SwapMatchColours(screen, width, at, cells, scratch.data());
            if (key == L'q') return false;
        }
        return true;
    });
    return stopped;
}

}  // namespace

int RunCsbfind(Row self, wchar_t* line) {
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
    Stopped stopped;
    if (rows > 0 && info.dwSize.X > 0) {
        const int width = info.dwSize.X;
        RowReader reader(console, width);
        HostArray<WORD> scratch(static_cast<size_t>(width));
        if (!reader || !scratch) return self.Fail(message::kNoMemory);
        CompiledPattern compiled;
        if (compiled.Compile(pattern, syntax)) {
            compiled.LimitRetries(kSearchRetryLimit);
            stopped = ShowMatches(console, compiled, width, rows, reader, scratch);
        } else {
            // The message took a line of its own.
            cursor.Y = SHORT(std::min<int>(cursor.Y + 1, info.dwSize.Y - 1));
        }
    }
    // A tab resized during the search keeps its new view.
    (void)console.SetWindow(info.srWindow);
    (void)console.SetCursor(cursor);
    // From the cursor on, where the next prompt would go; the line's end moves the cursor below it.
    if (stopped.row >= 0) TellStopped(stopped);
    return 0;
}

}  // namespace zarnith

ZARNITH_SHELL(CSBFIND, zarnith::RunCsbfind)
