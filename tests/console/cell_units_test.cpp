// Consoles that answer a character read in UTF-16 units that are not one a cell: a full-width
// character given as one unit for two cells, a surrogate pair as two units in one cell, or a read
// that fails for a row holding one. SAVECSB and CSBFIND must keep every row where it is, the odd
// one read as cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/import_patch.h"
#include "support/plugin_test.h"

namespace {

constexpr SHORT kWidth = 40, kOddRow = 12, kCursorRow = 30;

enum class Odd { FewerUnits, MoreUnits, Fails };
Odd odd = Odd::FewerUnits;

// Any read that covers the odd row gets the odd answer; other reads are the console's own.
BOOL WINAPI OddRead(HANDLE console, LPWSTR text, DWORD count, COORD at, LPDWORD done) {
    std::vector<wchar_t> units(count);
    DWORD got = 0;
    if (!ReadConsoleOutputCharacterW(console, units.data(), count, at, &got)) return FALSE;
    units.resize(got);
    const long first = long(at.Y) * kWidth + at.X, oddStart = long(kOddRow) * kWidth;
    if (oddStart + kWidth > first && oddStart < first + long(got)) {
        if (odd == Odd::Fails) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const auto where = units.begin() + std::max(oddStart - first, 0L);
        if (odd == Odd::FewerUnits) units.erase(where);
        else units.insert(where, L'\u00B7');  // the cell's second unit
    }
    // The array holds `count` units whatever the console counts.
    std::copy_n(units.begin(), std::min<size_t>(units.size(), count), text);
    *done = DWORD(units.size());
    return TRUE;
}

COORD cursorAtKey{};
wint_t __cdecl RecordCursorAndQuit() {
    cursorAtKey = tconsole::Cursor();
    return L'q';
}

class CellUnitsTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(kWidth, 60, kWidth, 20);
        // Full rows, each different, so that a row moved by one unit shows.
        for (SHORT r = 0; r <= kCursorRow; ++r) {
            std::wstring text = L"row " + std::to_wstring(r) + L" ";
            while (text.size() < size_t(kWidth)) text += wchar_t(L'a' + (text.size() + r) % 26);
            rows_.push_back(text);
            tconsole::WriteText(0, r, text);
        }
        tconsole::SetCursor(0, kCursorRow);
    }
    // The row lines of a SAVECSB dump (after the begin line, its rule and an empty line).
    std::vector<std::wstring> DumpRows(Odd kind) {
        odd = kind;
        TempFile file(L"cellunits");
        ImportPatch patch(Plugin().Module(), "kernel32.dll", "ReadConsoleOutputCharacterW", (void*)OddRead);
        EXPECT_TRUE(patch.Applied());
        EXPECT_EQ(Run(L"SAVECSB", file.Path()), 0);
        return file.DumpedRows(kCursorRow + 1);
    }
    std::vector<std::wstring> rows_;
};

TEST_F(CellUnitsTest, SavecsbKeepsEveryRowInPlace) {
    for (const Odd kind : {Odd::FewerUnits, Odd::MoreUnits, Odd::Fails}) {
        SCOPED_TRACE(int(kind));
        EXPECT_EQ(DumpRows(kind), rows_);
    }
}

TEST_F(CellUnitsTest, CsbfindShowsAMatchBelowTheOddRowOnItsOwnCells) {
    tconsole::WriteText(7, 20, L"needle");
    odd = Odd::FewerUnits;
    ImportPatch read(Plugin().Module(), "kernel32.dll", "ReadConsoleOutputCharacterW", (void*)OddRead);
    ImportPatch key(Plugin().Module(), "msvcrt.dll", "_getwch", (void*)RecordCursorAndQuit);
    ASSERT_TRUE(read.Applied() && key.Applied());
    cursorAtKey = COORD{-1, -1};
    EXPECT_EQ(Run(L"CSBFIND", L"needle"), 0);
    EXPECT_EQ(cursorAtKey.X, 7);
    EXPECT_EQ(cursorAtKey.Y, 20);
}

}  // namespace
