// The cells of a Windows 10/11 console (conhost) for tests, where Wine's console cannot show them:
// Wine keeps one UTF-16 unit per cell, conhost keeps one character per cell for narrow text and
// one character over two cells for full-width text, and its character calls answer in units.
//
// A Model takes over the console text calls that a module (ZARNITH.dll) imports, for its
// lifetime, and answers them from a cell store of its own. Cursor, window and buffer size stay
// the real console's; the store follows the real buffer's size at every call. The rules, and
// where each comes from in microsoft/terminal (file:line as of the mirrored revision):
//
// - Width: a character is full-width (two cells) when IsFullWidth says so: a documented subset of
//   src/types/CodepointWidthDetector.cpp, asked through IsGlyphFullWidth
//   (src/buffer/out/OutputCellIterator.cpp:403).
// - ReadConsoleOutputCharacterW counts cells but answers UTF-16 units: a trailing half adds
//   nothing, a half glyph at either end of the read comes back as a blank
//   (src/host/output.cpp:185-240). A cell holding a surrogate pair gives U+FFFD today
//   (output.cpp:225-230, PR #16898, test CJK_DbcsTests::TestNarrowSurrogate); from PR #13626
//   (November 2022) to PR #16898 (March 2024) it gave both units, and a read whose units
//   outnumber its cells answered success with 0 characters (src/host/directio.cpp:704, issue
//   #16892). Build selects which.
// - ReadConsoleOutputW gives every cell, a full-width character in both of its cells flagged
//   COMMON_LVB_LEADING_BYTE and COMMON_LVB_TRAILING_BYTE, a surrogate pair as U+FFFD
//   (src/host/consoleInformation.cpp:376-388, directio.cpp:414-461, PR #13321; test pattern
//   CJK_DbcsTests PrepPattern::DoubledW). The region answered is the one read, clipped to the
//   buffer; a region wholly outside reads nothing and succeeds (directio.cpp:424-428).
// - WriteConsoleOutputW honours those flags (src/buffer/out/Row.cpp:428-530, PR #14840, tests
//   TestDbcsBackupRestore, TestInvalidTrailer): a leading cell writes its character over two
//   cells (a blank when it is in the row's last column); a trailing cell is ignored unless it is
//   the first of its row's write, where it writes the character over the cell before and itself
//   (a blank in column 0). Every cell takes its own attributes.
// - WriteConsoleOutputCharacterW and FillConsoleOutputCharacterW follow the rows: a full-width
//   character fills two cells; one that would start in a row's last column leaves a blank there
//   and goes to the next row (Row.cpp:473-486). Attributes stay. A lone surrogate written is
//   stored as U+FFFD (src/inc/til/unicode.h utf16_next); one filled is stored as it is, since the
//   fill's one-character view is the unit itself (src/host/_output.cpp FillConsoleImpl,
//   src/buffer/out/OutputCellIterator.cpp s_GenerateView(const wchar_t&)).
// - Any write over one half of a full-width character blanks its other half, attributes kept
//   (Row.cpp ROW::WriteHelper, _adjustBackward/_adjustForward at :559 and :865).
// - ReadConsoleOutputAttribute adds the leading/trailing flags, except to a half glyph at either
//   end of the read (output.cpp:128-175); attribute writes keep the cells' halves (an attribute
//   keeps no flag of a half, src/buffer/out/TextAttribute.hpp:63).
// - Inside a pseudo console (VT I/O mode, SetPseudoConsole) SetConsoleWindowInfo first makes the
//   buffer the window's size, and the terminal is never told (src/host/getset.cpp,
//   SetConsoleWindowInfoImpl: ResizeScreenBuffer).
// - SetConsoleWindowInfo refuses a window larger than the largest (SetLargestWindow; the smaller
//   of it and the buffer: getset.cpp SetConsoleWindowInfoImpl, GetMaxWindowSizeInCharacters of
//   src/host/screenInfo.cpp), which GetLargestConsoleWindowSize then answers.
// - Not modelled: a leading cell written into a row's last column is also written at the start
//   of the next row by conhost (TextBuffer::Write goes on with the same cell); grapheme clusters;
//   the shape of the A (code page) calls.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace conhost {

// How ReadConsoleOutputCharacterW answers for a cell that holds a surrogate pair.
enum class Build {
    Current,         // U+FFFD (since March 2024)
    From2022To2024,  // the pair's two units; a read they make overflow answers 0 characters
};

// Whether the model gives the character two cells.
bool IsFullWidth(char32_t code) noexcept;

class Model {
public:
    // Patches `module`'s imports; the store starts as a copy of the real console's buffer. One
    // model at a time.
    explicit Model(HMODULE module, Build build = Build::Current);
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // Every console text call of the module now goes to the model.
    bool Applied() const noexcept;
    COORD Size() const noexcept;
    void SetBuild(Build build) noexcept;
    void SetPseudoConsole(bool on) noexcept;
    void SetLargestWindow(COORD largest);

    // The store as a program sees it through the console calls (no real console call is made).
    // WriteText answers the units consumed; ReadText the units a read of `cells` cells answers
    // (empty for the 2022-2024 overflow); Cells one row's cells from `left`, as
    // ReadConsoleOutputW gives them; PutCells writes them back as WriteConsoleOutputW does.
    DWORD WriteText(COORD at, std::wstring_view text);
    std::wstring ReadText(COORD at, DWORD cells) const;
    DWORD Fill(COORD at, wchar_t unit, DWORD cells);  // as FillConsoleOutputCharacterW; answers the cells
    std::vector<CHAR_INFO> Cells(SHORT row, SHORT left = 0, SHORT count = -1) const;
    void PutCells(SHORT row, SHORT left, const std::vector<CHAR_INFO>& cells);
    // Every cell a blank in `attributes`.
    void Clear(WORD attributes);

    struct Store;

private:
    std::unique_ptr<Store> store_;
};

}  // namespace conhost
