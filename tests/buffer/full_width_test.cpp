// The buffer commands on a Windows 10/11 console holding full-width text and characters outside
// the BMP (through the conhost model): matches and dumps in the cells a user sees, no row lost
// to a character read, snapshots with the halves' flags, and a search that stays inside its
// memory and says when it gave up on a row.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/conhost_model.h"
#include "support/console_types.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

namespace {

using conhost::Build;

constexpr SHORT kWidth = 40;
constexpr WORD kColours = 0x1E, kSwapped = 0xE1;

// What CSBFIND shows at each key: where the cursor is and which cells of its row are swapped.
struct Shown {
    COORD cursor;
    std::vector<int> swapped;
    friend bool operator==(const Shown&, const Shown&) = default;
};
void PrintTo(const Shown& s, std::ostream* os) {
    *os << "{cursor " << s.cursor.X << "," << s.cursor.Y << " swapped";
    for (int x : s.swapped) *os << " " << x;
    *os << "}";
}
const conhost::Model* model = nullptr;
std::vector<Shown> shown;

wint_t __cdecl RecordAndGoOn() {
    Shown s{tconsole::Cursor(), {}};
    const auto cells = model->Cells(s.cursor.Y);
    for (size_t x = 0; x < cells.size(); ++x)
        if ((cells[x].Attributes & 0xFF) == kSwapped) s.swapped.push_back(int(x));
    shown.push_back(s);
    return L' ';
}

Shown At(SHORT x, SHORT y, int cells) {
    Shown s{{x, y}, {}};
    for (int i = 0; i < cells; ++i) s.swapped.push_back(x + i);
    return s;
}

CHAR_INFO Cell(wchar_t ch, WORD flags = 0) {
    CHAR_INFO c{};
    c.Char.UnicodeChar = ch;
    c.Attributes = WORD(kColours | flags);
    return c;
}

// Rows as a program wrote them, where CSBFIND finds "[...]" and what SAVECSB writes for them:
// today's builds give U+FFFD for a character outside the BMP, the 2022-2024 ones its pair where
// a read of the row can carry it (a pair in one cell outnumbers the row's cells: nothing).
const struct {
    const wchar_t* written;
    SHORT first;  // the match's first cell
    int cells;    // and how many it covers
    const wchar_t* dumped;
    const wchar_t* dumpedFrom2022 = nullptr;  // when it differs
} kRows[] = {
    {L"\u4E2D\u6587 [ab]", 5, 4, L"\u4E2D\u6587 [ab]"},            // full-width characters before the match
    {L"[a\u4E2Db]", 0, 6, L"[a\u4E2Db]"},                            // and inside it: both halves shown
    {L"\uFF58[\uFF59]z \uAC00", 2, 4, L"\uFF58[\uFF59]z \uAC00"},    // fullwidth forms, Hangul
    {L"\U0001D400 [x]", 2, 3, L"\uFFFD [x]"},                        // outside the BMP, one cell
    {L"\U0001F600[x]", 2, 3, L"\uFFFD[x]", L"\U0001F600[x]"},        // an emoji, two cells
    {L"\U0001D400\u4E2D[y]", 3, 3, L"\uFFFD\u4E2D[y]", L"\U0001D400\u4E2D[y]"},  // as many units as cells
    {L"plain [ok]", 6, 4, L"plain [ok]"},
};
constexpr SHORT kRowCount = SHORT(std::size(kRows));

class FullWidthTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(kWidth, 60, kWidth, 20);
        tconsole::Fill(L' ', kColours);
        tconsole::FlushInput();
    }
    // CSBFIND over the rows above `cursorRow - 2`, every key going on to the next match.
    std::vector<Shown> Search(const conhost::Model& m, const std::wstring& pattern, SHORT cursorRow) {
        model = &m;
        shown.clear();
        tconsole::SetCursor(0, cursorRow);
        ImportPatch key(Plugin().Module(), "msvcrt.dll", "_getwch", (void*)RecordAndGoOn);
        EXPECT_TRUE(key.Applied());
        EXPECT_EQ(Run(L"CSBFIND", pattern), 0);
        return shown;
    }
    static void WriteRows(conhost::Model& m) {
        for (SHORT y = 0; y < kRowCount; ++y) m.WriteText({0, y}, kRows[y].written);
    }
};

TEST_F(FullWidthTest, CsbfindShowsTheCellsOfEachMatch) {
    std::vector<Shown> expected;
    for (SHORT y = 0; y < kRowCount; ++y) expected.push_back(At(kRows[y].first, y, kRows[y].cells));
    for (const Build build : {Build::Current, Build::From2022To2024}) {
        SCOPED_TRACE(int(build));
        conhost::Model m(Plugin().Module(), build);
        ASSERT_TRUE(m.Applied());
        WriteRows(m);
        EXPECT_EQ(Search(m, L"\\[[^\\]]*\\]", kRowCount + 2), expected);
        // Every colour put back, both halves' flags kept.
        EXPECT_EQ(m.Cells(1, 0, 3), (std::vector<CHAR_INFO>{Cell(L'['), Cell(L'a'), Cell(0x4E2D, COMMON_LVB_LEADING_BYTE)}));
    }
    // The character itself is found where the console gives it.
    for (const Build build : {Build::Current, Build::From2022To2024}) {
        conhost::Model m(Plugin().Module(), build);
        WriteRows(m);
        const std::vector<Shown> kept{At(0, 4, 2), At(0, 5, 1)};
        EXPECT_EQ(Search(m, L"\U0001F600|\U0001D400", kRowCount + 2),
                  build == Build::Current ? std::vector<Shown>{} : kept);
    }
}

TEST_F(FullWidthTest, SavecsbWritesEachCharacterOnceAndLosesNoRow) {
    for (const Build build : {Build::Current, Build::From2022To2024}) {
        SCOPED_TRACE(int(build));
        std::vector<std::wstring> expected;
        for (const auto& row : kRows)
            expected.push_back(build == Build::From2022To2024 && row.dumpedFrom2022 ? row.dumpedFrom2022 : row.dumped);
        conhost::Model m(Plugin().Module(), build);
        WriteRows(m);
        tconsole::SetCursor(0, kRowCount - 1);
        TempFile file(L"fullwidth.txt");
        ASSERT_EQ(Run(L"SAVECSB", file.Path()), 0);
        EXPECT_EQ(file.DumpedRows(kRowCount), expected);
        // The colour dumps keep the same characters, each in its own cell's colours.
        for (const wchar_t* format : {L"/C ", L"/H "}) {
            TempFile coloured(L"fullwidth.col");
            ASSERT_EQ(Run(L"SAVECSB", format + coloured.Path()), 0);
            for (size_t y : {4, 5})
                EXPECT_NE(coloured.Text().find(expected[y]), std::wstring::npos) << format << y;
        }
    }
}

TEST_F(FullWidthTest, SnapshotKeepsBothHalvesWithTheirFlags) {
    conhost::Model m(Plugin().Module());
    m.WriteText({0, 2}, L"Q\u4E2D\u6587Z");
    const auto row = m.Cells(2);
    tconsole::SetCursor(0, 3);
    TempFile file(L"fullwidth.con");
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    const std::string bytes = file.Bytes();
    std::vector<CHAR_INFO> saved(6);
    ASSERT_GE(bytes.size(), 22 + (2 * kWidth + 6) * 4u);
    std::memcpy(saved.data(), bytes.data() + 22 + 2 * kWidth * 4, saved.size() * 4);
    EXPECT_EQ(saved, (std::vector<CHAR_INFO>{Cell(L'Q'), Cell(0x4E2D, COMMON_LVB_LEADING_BYTE),
                                             Cell(0x4E2D, COMMON_LVB_TRAILING_BYTE), Cell(0x6587, COMMON_LVB_LEADING_BYTE),
                                             Cell(0x6587, COMMON_LVB_TRAILING_BYTE), Cell(L'Z')}));
    m.Clear(0x07);
    ASSERT_EQ(Run(L"RSTRCON", file.Path()), 0);
    EXPECT_EQ(m.Cells(2), row);
}

// Host memory that ends where a page nobody may read begins: a read past the end of a block the
// plug-in takes from the host is counted, then let through so that the command goes on.
class EdgeMemory {
public:
    EdgeMemory()
        : alloc_(Plugin().Module(), "TakeCmd.dll", "AllocMem", (void*)Alloc),
          free_(Plugin().Module(), "TakeCmd.dll", "FreeMem", (void*)Free),
          handler_(AddVectoredExceptionHandler(1, Handler)) {
        realFree = free_.OriginalAs<void(void*)>();
        overreads = 0;
    }
    ~EdgeMemory() { RemoveVectoredExceptionHandler(handler_); }
    bool Applied() const { return alloc_.Applied() && free_.Applied() && handler_; }
    static int Overreads() { return overreads; }
    static ptrdiff_t FirstOverread() { return firstOverread; }  // bytes from the block's start
    static size_t Live() { return blocks.size(); }

private:
    static constexpr size_t kPage = 4096;
    struct Block {
        void* data;
        BYTE* base;
        BYTE* edge;
    };
    static inline std::vector<Block> blocks;
    static inline int overreads = 0;
    static inline ptrdiff_t firstOverread = 0;
    static inline void (*realFree)(void*) = nullptr;

    static void* Alloc(unsigned int bytes) {
        const size_t pages = (size_t(bytes) + kPage - 1) / kPage;
        auto* base = static_cast<BYTE*>(VirtualAlloc(nullptr, (pages + 1) * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!base) return nullptr;
        BYTE* edge = base + pages * kPage;
        DWORD old = 0;
        VirtualProtect(edge, kPage, PAGE_NOACCESS, &old);
        // Aligned as the heap aligns: a block whose size is a multiple of 16 ends at the edge.
        void* data = reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(edge) - bytes) & ~uintptr_t(15));
        blocks.push_back({data, base, edge});
        return data;
    }
    static void Free(void* data) {
        for (auto b = blocks.begin(); b != blocks.end(); ++b) {
            if (b->data != data) continue;
            VirtualFree(b->base, 0, MEM_RELEASE);
            blocks.erase(b);
            return;
        }
        realFree(data);
    }
    static LONG WINAPI Handler(EXCEPTION_POINTERS* e) {
        if (e->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
        const auto* at = reinterpret_cast<const BYTE*>(e->ExceptionRecord->ExceptionInformation[1]);
        for (const auto& b : blocks) {
            if (at < b.edge || at >= b.edge + kPage) continue;
            if (overreads++ == 0) firstOverread = at - static_cast<const BYTE*>(b.data);
            DWORD old = 0;
            VirtualProtect(b.edge, kPage, PAGE_READWRITE, &old);
            return EXCEPTION_CONTINUE_EXECUTION;
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    ImportPatch alloc_, free_;
    PVOID handler_;
};

TEST_F(FullWidthTest, SearchedTextEndsInsideItsMemory) {
    // Every row ends in a high surrogate whose pair went to the next row: Oniguruma decodes the
    // unit after it, which at the last row of a full piece of rows is past the text.
    tconsole::SetBufferAndWindow(200, 200, 80, 20);  // more rows than one console transfer carries
    conhost::Model m(Plugin().Module());
    std::vector<CHAR_INFO> row(200, Cell(L' '));
    row.back().Char.UnicodeChar = 0xD83D;
    for (SHORT y = 0; y < 200; ++y) m.PutCells(y, 0, row);
    const EdgeMemory memory;
    ASSERT_TRUE(memory.Applied());
    Search(m, L"\\w", 199);
    EXPECT_EQ(EdgeMemory::Overreads(), 0) << "first at byte " << EdgeMemory::FirstOverread();
    EXPECT_EQ(EdgeMemory::Live(), 0u);
}

TEST_F(FullWidthTest, SearchLimitIsToldOnceAndTheNextRowSearched) {
    conhost::Model m(Plugin().Module());
    for (SHORT y : {1, 2}) m.WriteText({0, y}, std::wstring(kWidth - 1, L'a'));  // exponential for the pattern
    m.WriteText({0, 3}, L"\u4E2D ab");
    EXPECT_EQ(Search(m, L"(a|aa)+[bc]", 8), (std::vector<Shown>{At(3, 3, 2)}));
    EXPECT_EQ(Err(), L"Regex: search limit reached in row 1; the rest of that row was not searched\r\n");
}

}  // namespace
