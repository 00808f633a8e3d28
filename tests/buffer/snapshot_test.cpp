// SAVECON and RSTRCON: the file format, a full round trip, and files that must restore nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "buffer/snapshot.h"
#include "support/console_types.h"
#include "support/conhost_model.h"
#include "support/import_patch.h"
#include "support/plugin_test.h"

using namespace zarnith;

namespace {

CONSOLE_SCREEN_BUFFER_INFO WorkedExample() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    info.dwSize = {80, 300};
    info.dwCursorPosition = {0, 24};
    info.wAttributes = 0x07;
    info.srWindow = {0, 0, 79, 24};
    return info;
}

TEST(SnapshotHeaderTest, WorkedExampleBytes) {
    const RECT rect{100, 50, 740, 450};
    const SnapshotHeader h = MakeSnapshotHeader(WorkedExample(), &rect);
    const SnapshotHeaderBytes expected{0x50, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x18, 0x00, 0x07, 0x00, 0x00,
                                       0x00, 0x00, 0x00, 0x4F, 0x00, 0x18, 0x00, 0x64, 0x00, 0x32, 0x00};
    EXPECT_EQ(EncodeSnapshotHeader(h), expected);
    EXPECT_EQ(SnapshotSize(h), 8022u);
    EXPECT_EQ(EncodeSnapshotHeader(DecodeSnapshotHeader(expected)), expected);
}

TEST(SnapshotHeaderTest, ScreenPositionIsNeverNegative) {
    const RECT offScreen{-8, -30, 600, 400};
    SnapshotHeader h = MakeSnapshotHeader(WorkedExample(), &offScreen);
    EXPECT_EQ(h.screenLeft, 0);
    EXPECT_EQ(h.screenTop, 0);
    const RECT distant{70000, 65537, 70100, 65600};  // the low 16 bits are kept
    h = MakeSnapshotHeader(WorkedExample(), &distant);
    EXPECT_EQ(uint16_t(h.screenLeft), 70000 & 0xFFFF);
    EXPECT_EQ(h.screenTop, 1);
    h = MakeSnapshotHeader(WorkedExample(), nullptr);  // the rectangle could not be read
    EXPECT_EQ(h.screenLeft, 0);
    EXPECT_EQ(h.screenTop, 0);
}

TEST(SnapshotHeaderTest, ProblemsAreFoundBeforeRestoring) {
    const SnapshotHeader good = MakeSnapshotHeader(WorkedExample(), nullptr);
    EXPECT_EQ(SnapshotProblem(good, 8022), nullptr);
    EXPECT_EQ(SnapshotProblem(good, 9000), nullptr);  // trailing bytes are ignored
    EXPECT_NE(SnapshotProblem(good, 8021), nullptr);
    EXPECT_NE(SnapshotProblem(good, 21), nullptr);

    auto broken = [&](auto change) {
        SnapshotHeader h = good;
        change(h);
        return SnapshotProblem(h, 1 << 30) != nullptr;
    };
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.width = 0; }));
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.height = -1; }));
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.width = SHORT(0x8000); }));  // 32,768 read back
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.cursorY = 300; }));
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.cursorY = -1; }));
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.cursorX = 80; }));
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.window.Bottom = 300; }));
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.window.Left = -1; }));
    EXPECT_TRUE(broken([](SnapshotHeader& h) { h.window.Right = -5; }));
    EXPECT_FALSE(broken([](SnapshotHeader& h) { h.cursorY = 299; h.window = {79, 299, 79, 299}; }));
}

// A console that cannot give row 10 (as some consoles refuse a row holding certain characters):
// any rectangle read that covers it leaves a scribble in the cells it was to fill, and fails.
BOOL WINAPI RefuseRowTen(HANDLE h, PCHAR_INFO cells, COORD size, COORD at, PSMALL_RECT region) {
    if (region->Top <= 10 && region->Bottom >= 10) {
        for (int y = 0; y <= region->Bottom - region->Top; ++y)
            std::fill_n(cells + (at.Y + y) * size.X + at.X, region->Right - region->Left + 1, CHAR_INFO{{L'?'}, 0x99});
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ReadConsoleOutputW(h, cells, size, at, region);
}

// Row 10 answered as success with a region one column short, the last error left as an earlier
// call (a file opened over an existing one) set it.
BOOL WINAPI CutRowTen(HANDLE h, PCHAR_INFO cells, COORD size, COORD at, PSMALL_RECT region) {
    if (region->Top > 10 || region->Bottom < 10) return ReadConsoleOutputW(h, cells, size, at, region);
    --region->Right;
    const BOOL read = ReadConsoleOutputW(h, cells, size, at, region);
    SetLastError(ERROR_ALREADY_EXISTS);
    return read;
}

std::wstring SystemMessage(DWORD code) {
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 512, nullptr);
    std::wstring message = text;
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

// A snapshot file whose reads go wrong after the size was checked: the `failAt`-th read fails
// outright, or comes back with half of what was asked and the file ends there (it shrank).
int fileReads = 0, failAt = 0;
bool readFails = false;
decltype(&ReadFile) realReadFile;
BOOL WINAPI UnreliableRead(HANDLE file, LPVOID into, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped) {
    if (++fileReads < failAt) return realReadFile(file, into, bytes, done, overlapped);
    if (fileReads > failAt) {
        *done = 0;
        return TRUE;
    }
    if (readFails) {
        *done = 0;
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    return realReadFile(file, into, bytes / 2, done, overlapped);
}

class SnapshotTest : public PluginTest {
protected:
    static constexpr SHORT kWidth = 60, kHeight = 120;

    void SetUp() override {
        PluginTest::SetUp();
        tconsole::SetBufferAndWindow(kWidth, kHeight, kWidth, 20);
        for (SHORT r = 0; r < kHeight; ++r) {
            std::wstring text = L"line " + std::to_wstring(r) + L" \u00e9\u4e2d";
            text.resize(kWidth, wchar_t(L'a' + r % 26));
            tconsole::WriteText(0, r, text);
            std::vector<WORD> attributes(kWidth);
            for (SHORT x = 0; x < kWidth; ++x) attributes[x] = WORD((r * 7 + x) & 0xFF);
            tconsole::WriteAttributes(0, r, attributes);
        }
        Place(7, 45, 30);
    }
    static void Place(SHORT x, SHORT y, SHORT windowTop) {
        tconsole::SetCursor(x, y);
        SMALL_RECT w{0, windowTop, kWidth - 1, SHORT(windowTop + 19)};
        SetConsoleWindowInfo(tconsole::Out(), TRUE, &w);
    }
    struct Cells {
        std::vector<std::wstring> text;
        std::vector<std::vector<WORD>> attributes;
        bool operator==(const Cells&) const = default;
    };
    static Cells Read() {
        Cells c;
        const auto info = tconsole::Info();
        for (SHORT r = 0; r < info.dwSize.Y; ++r) {
            c.text.push_back(tconsole::ReadRow(r));
            c.attributes.push_back(tconsole::ReadAttributes(0, r, DWORD(info.dwSize.X)));
        }
        return c;
    }
    static bool ConsizeIsPlaceholder() {
        StandIn_ClearOutput();
        wchar_t line[] = L"/?";
        Plugin();
        auto consize = reinterpret_cast<int (*)(wchar_t*)>(Plugin().Export("CONSIZE"));
        consize(line);
        const bool placeholder = std::wstring(StandIn_Output(0)).find(L"not implemented") != std::wstring::npos;
        StandIn_ClearOutput();
        return placeholder;
    }
    static void WriteBytes(const TempFile& file, const std::string& bytes) {
        std::ofstream(file.Path().c_str(), std::ios::binary) << bytes;
    }
};

TEST_F(SnapshotTest, SaveWritesHeaderAndRowsToTheCursor) {
    TempFile file(L"savecon");
    WriteBytes(file, std::string(100000, 'x'));  // replaced, never appended to
    EXPECT_EQ(Run(L"SAVECON", file.Path()), 0);
    const std::string bytes = file.Bytes();
    ASSERT_EQ(bytes.size(), 22u + 46u * kWidth * 4u);
    SnapshotHeaderBytes head{};
    std::copy_n(bytes.begin(), 22, head.begin());
    const SnapshotHeader h = DecodeSnapshotHeader(head);
    const auto info = tconsole::Info();
    EXPECT_EQ(h.width, kWidth);
    EXPECT_EQ(h.height, kHeight);
    EXPECT_EQ(h.cursorX, 7);
    EXPECT_EQ(h.cursorY, 45);
    EXPECT_EQ(h.attributes, info.wAttributes);
    EXPECT_EQ(h.window.Top, 30);
    EXPECT_EQ(h.window.Bottom, 49);
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(GetConsoleWindow(), &rect));
    EXPECT_EQ(h.screenLeft, std::max<LONG>(rect.left, 0));
    EXPECT_EQ(h.screenTop, std::max<LONG>(rect.top, 0));
    // Row 45, column 3: character then attribute, little-endian.
    const size_t cell = 22 + (45 * kWidth + 3) * 4;
    EXPECT_EQ(uint8_t(bytes[cell]), uint8_t(tconsole::ReadText(3, 45, 1)[0]));
    EXPECT_EQ(uint8_t(bytes[cell + 2]), (45 * 7 + 3) & 0xFF);
}

TEST_F(SnapshotTest, RoundTripRestoresCellsViewAndCursor) {
    TempFile file(L"roundtrip");
    const Cells before = Read();
    // The cursor in the saved view, and below it (the user had scrolled back to the top).
    for (const SHORT viewTop : {30, 0}) {
        SCOPED_TRACE(viewTop);
        Place(7, 45, viewTop);
        ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);

        tconsole::Fill(L'#', 0x4F);
        Place(1, 100, 90);
        EXPECT_EQ(Run(L"RSTRCON", file.Path()), 0);
        const Cells after = Read();
        for (SHORT r = 0; r <= 45; ++r) {
            EXPECT_EQ(after.text[r], before.text[r]) << r;
            EXPECT_EQ(after.attributes[r], before.attributes[r]) << r;
        }
        // Below the saved rows: blanks in the last saved row's colours, column by column.
        for (SHORT r : {46, 80, kHeight - 1}) {
            EXPECT_EQ(after.text[r], std::wstring(kWidth, L' ')) << r;
            EXPECT_EQ(after.attributes[r], before.attributes[45]) << r;
        }
        EXPECT_EQ(tconsole::Cursor(), (COORD{7, 45}));
        EXPECT_EQ(tconsole::Window().Top, viewTop);
    }
}

TEST_F(SnapshotTest, CursorOnFirstAndLastRow) {
    TempFile file(L"edges");
    Place(0, 0, 0);
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    EXPECT_EQ(file.Bytes().size(), 22u + 4u * kWidth);

    Place(2, kHeight - 1, kHeight - 20);
    const Cells before = Read();
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    EXPECT_EQ(file.Bytes().size(), 22u + 4u * kWidth * kHeight);
    tconsole::Fill(L'#', 0x4F);
    EXPECT_EQ(Run(L"RSTRCON", file.Path()), 0);
    EXPECT_TRUE(Read() == before);
    EXPECT_EQ(tconsole::Cursor().Y, kHeight - 1);
}

TEST_F(SnapshotTest, DamagedFilesLeaveTheConsoleAlone) {
    TempFile file(L"damaged");
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    const std::string good = file.Bytes();
    auto with16 = [&](size_t offset, uint16_t value) {
        std::string b = good;
        b[offset] = char(value & 0xFF);
        b[offset + 1] = char(value >> 8);
        return b;
    };
    // A header no console could have written: some other file, said first. A sound header over
    // too few rows: a snapshot cut short.
    const struct {
        std::string bytes;
        bool snapshot;
    } damaged[] = {
        {"", false}, {good.substr(0, 21), false}, {good.substr(0, good.size() - 1), true},
        {good.substr(0, 22), true}, {with16(0, 0), false}, {with16(2, 0xFFFF), false},
        {with16(0, 0x8000), false}, {with16(6, kHeight), false}, {with16(4, kWidth), false},
        {with16(16, kHeight), false}, {with16(10, 0xFFFF), false},
        {"Begin saved console screen buffer: 1/2/2025  10:00:00\r\n------\r\n", false},
    };
    Place(3, 50, 40);
    tconsole::Fill(L'#', 0x4F);
    const Cells before = Read();
    const ConsoleGeometry shape = GeometryOf(tconsole::Info());
    for (const auto& [bytes, snapshot] : damaged) {
        SCOPED_TRACE(bytes.size());
        WriteBytes(file, bytes);
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"RSTRCON", file.Path()), -1);
        const std::wstring start = L"RSTRCON: \"" + file.Path() + L"\" ";
        EXPECT_EQ(Err().rfind(start, 0), 0u) << Err();
        // What the user can act on first, the precise reason after it.
        const bool foreign =
            Err().rfind(start + L"is not a console snapshot: its first 22 bytes describe no console (", 0) == 0 &&
            Err().ends_with(L")\r\n");
        EXPECT_EQ(foreign, !snapshot) << Err();
        EXPECT_EQ(Out(), L"");  // the geometry was not touched either
        EXPECT_TRUE(Read() == before);
        EXPECT_EQ(GeometryOf(tconsole::Info()), shape);
    }
}

TEST_F(SnapshotTest, AFailedConsoleReadIsReportedAndOnlyTheUnreadableRowIsBlank) {
    // A refused read keeps the console's reason; a region cut short has none and says it was not read.
    for (const auto& [refusal, code] : {std::pair{(void*)RefuseRowTen, DWORD(ERROR_INVALID_PARAMETER)},
                                        std::pair{(void*)CutRowTen, DWORD(ERROR_READ_FAULT)}}) {
        SCOPED_TRACE(code);
        TempFile file(L"unreadable");
        const Cells before = Read();
        StandIn_ClearOutput();
        {
            ImportPatch patch(Plugin().Module(), "kernel32.dll", "ReadConsoleOutputW", refusal);
            ASSERT_TRUE(patch.Applied());
            EXPECT_EQ(Run(L"SAVECON", file.Path()), 2);  // the host's error reporter's result
        }
        EXPECT_EQ(Err(), L"TCC: (Sys) " + SystemMessage(code) + L"\r\n");
        const std::string bytes = file.Bytes();
        ASSERT_EQ(bytes.size(), 22u + 46u * kWidth * 4u) << "the snapshot is complete";
        // Read one row at a time, every other row is saved as it is; the unreadable one is blank in
        // its own colours.
        for (size_t r = 0; r <= 45; ++r) {
            std::wstring text;
            std::vector<WORD> attributes;
            for (size_t x = 0; x < kWidth; ++x) {
                const auto at = [&](size_t byte) { return uint8_t(bytes[22 + (r * kWidth + x) * 4 + byte]); };
                text += wchar_t(at(0) | (at(1) << 8));
                attributes.push_back(WORD(at(2) | (at(3) << 8)));
            }
            EXPECT_EQ(text, r == 10 ? std::wstring(kWidth, L' ') : before.text[r]) << "row " << r;
            EXPECT_EQ(attributes, before.attributes[r]) << "row " << r;
        }
    }
}

TEST_F(SnapshotTest, AFileThatFailsOrShrinksWhileReadRestoresNothing) {
    TempFile file(L"shrinks");
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    tconsole::SetBufferAndWindow(kWidth + 10, kHeight + 10, kWidth, 20);
    Place(3, 50, 40);
    tconsole::Fill(L'#', 0x4F);
    const Cells before = Read();
    ImportPatch patch(Plugin().Module(), "kernel32.dll", "ReadFile", (void*)UnreliableRead);
    ASSERT_TRUE(patch.Applied());
    realReadFile = patch.OriginalAs<BOOL WINAPI(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)>();
    struct Case {
        int failAt;
        bool fails;
        int result;
        const wchar_t* message;
    };
    const Case cases[] = {{1, true, 2, L"TCC: (Sys)"}, {2, true, 2, L"TCC: (Sys)"},
                          {1, false, -1, L"RSTRCON: \""}, {2, false, -1, L"\" ends before its last saved row"}};
    for (const Case c : cases) {
        SCOPED_TRACE(testing::Message() << "read " << c.failAt << (c.fails ? " fails" : " is short"));
        fileReads = 0;
        failAt = c.failAt;
        readFails = c.fails;
        StandIn_ClearOutput();
        EXPECT_EQ(Run(L"RSTRCON", file.Path()), c.result);
        EXPECT_NE(Err().find(c.message), std::wstring::npos) << Err();
        EXPECT_EQ(tconsole::Info().dwSize.X, kWidth + 10) << "the geometry is untouched";
        EXPECT_TRUE(Read() == before);
        EXPECT_EQ(tconsole::Cursor().Y, 50);
        EXPECT_EQ(tconsole::Window().Top, 40);
    }
}

TEST_F(SnapshotTest, UsageAndFileErrors) {
    TempFile file(L"usage");
    EXPECT_EQ(Run(L"SAVECON", L"/?"), 1);
    EXPECT_EQ(Err(), L"SAVECON file - save console text, attributes, and metrics\r\n");
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"RSTRCON", L""), 1);
    EXPECT_EQ(Err(), L"RSTRCON file - restore saves console (see SAVECON)\r\n");
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"RSTRCON", file.Path()), 2);  // the host's error reporter's result
    EXPECT_NE(Err().find(file.Path()), std::wstring::npos);
    EXPECT_EQ(Run(L"SAVECON", L"Z:\\no\\such\\folder\\x.con"), 2);
    // A name far longer than any path buffer is read safely and simply cannot be created.
    EXPECT_NE(Run(L"SAVECON", std::wstring(5000, L'n')), 0);
    // The name is the host's first argument: a comma or '/' ends it, as TCC splits it.
    EXPECT_EQ(Run(L"SAVECON", file.Path() + L",more"), 0);
    EXPECT_TRUE(file.Exists());
    // In double quotes it may hold blanks and commas; the quotes are no part of it.
    TempFile spaced(L"My Files a,1.con");
    for (const wchar_t* command : {L"SAVECON", L"RSTRCON"})
        EXPECT_EQ(Run(command, L"\"" + spaced.Path() + L"\""), 0) << Err();
    EXPECT_TRUE(spaced.Exists());
}

TEST_F(SnapshotTest, RedirectedOutputAndMissingWindowRect) {
    TempFile file(L"redirected");
    {
        const RedirectedOutput redirected;
        EXPECT_EQ(Run(L"SAVECON", file.Path()), -1);
    }
    EXPECT_EQ(Err(), L"SAVECON: standard output is not a console screen buffer\r\n");
    EXPECT_FALSE(file.Exists());

    ImportPatch noRect(Plugin().Module(), "user32.dll", "GetWindowRect",
                       reinterpret_cast<void*>(+[](HWND, RECT*) -> BOOL { return FALSE; }));
    ASSERT_TRUE(noRect.Applied());
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    EXPECT_EQ(file.Bytes().substr(18, 4), std::string(4, '\0'));
}

TEST_F(SnapshotTest, AllocationFailureChangesNothing) {
    TempFile file(L"nomemory");
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    const std::string saved = file.Bytes();
    const int live = StandIn_LiveBlocks();
    tconsole::Fill(L'#', 0x4F);
    const Cells before = Read();

    StandIn_FailAllocationAt(1);
    EXPECT_EQ(Run(L"SAVECON", file.Path()), -1);
    EXPECT_EQ(file.Bytes(), saved);
    StandIn_FailAllocationAt(1);
    EXPECT_EQ(Run(L"RSTRCON", file.Path()), -1);
    EXPECT_EQ(Err(), L"SAVECON: memory allocation failed\r\nRSTRCON: memory allocation failed\r\n");
    EXPECT_TRUE(Read() == before);
    EXPECT_EQ(StandIn_LiveBlocks(), live);
}

// Refuses any buffer taller than 10,000 rows, as a console with a lower limit would.
decltype(&SetConsoleScreenBufferSize) realBufferSize;
BOOL WINAPI RefuseTallBuffer(HANDLE h, COORD size) {
    if (size.Y > 10000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return realBufferSize(h, size);
}

// SAVECON keeps every row down to the cursor however tall the buffer: RSTRCON asks for the whole
// height, past CONSIZE's 9,999-row cap for typed sizes, and names the rows a console refused.
TEST_F(SnapshotTest, ATallBufferComesBackWholeOrSaysWhatIsLost) {
    constexpr SHORT kW = 20, kTall = 12000, kCursorRow = 10500;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    info.dwSize = {kW, kTall};
    info.dwCursorPosition = {3, kCursorRow};
    info.srWindow = {0, SHORT(kCursorRow - 19), kW - 1, kCursorRow};
    const SnapshotHeaderBytes header = EncodeSnapshotHeader(MakeSnapshotHeader(info, nullptr));
    std::string bytes(header.begin(), header.end());
    for (int r = 0; r <= kCursorRow; ++r) {
        char text[kW + 1];
        std::snprintf(text, sizeof text, "%06d%-14s", r, "");
        for (int x = 0; x < kW; ++x) bytes += text[x] == ' ' ? '.' : text[x], bytes += '\0', bytes += '\x1E', bytes += '\0';
    }
    TempFile file(L"tall");
    WriteBytes(file, bytes);

    EXPECT_EQ(Run(L"RSTRCON", file.Path()), 0);
    Sleep(100);  // Wine's console host needs a moment before the buffer shrinks again
    EXPECT_EQ(tconsole::Info().dwSize, (COORD{kW, kTall}));
    EXPECT_EQ(tconsole::ReadRow(kCursorRow), L"010500..............");
    EXPECT_EQ(Err(), L"");

    tconsole::SetBufferAndWindow(kWidth, kHeight, kWidth, 20);
    ImportPatch refuse(Plugin().Module(), "kernel32.dll", "SetConsoleScreenBufferSize", (void*)RefuseTallBuffer);
    ASSERT_TRUE(refuse.Applied());
    realBufferSize = refuse.OriginalAs<BOOL WINAPI(HANDLE, COORD)>();
    StandIn_ClearOutput();
    EXPECT_EQ(Run(L"RSTRCON", file.Path()), -1);
    EXPECT_NE(Err().find(L"RSTRCON: rows 120-10500 "), std::wstring::npos) << Err();
    EXPECT_EQ(tconsole::ReadRow(119), L"000119..............");
}

// conhost refuses a window larger than its largest (src/host/getset.cpp, SetConsoleWindowInfoImpl):
// the saved view that cannot be had is said to be lost, as rows are.
TEST_F(SnapshotTest, AViewLargerThanTheLargestWindowIsSaidToBeLost) {
    TempFile file(L"view");
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    conhost::Model model(Plugin().Module());
    model.SetLargestWindow(COORD{50, 15});
    ASSERT_TRUE(model.Applied());
    EXPECT_EQ(Run(L"RSTRCON", file.Path()), -1);
    EXPECT_EQ(Err(), L"RSTRCON: the saved window of 60 x 20 could not be restored: the console did not take its size\r\n");
    EXPECT_EQ(WindowSize(tconsole::Window()), (COORD{50, 15}));
    EXPECT_EQ(tconsole::Cursor(), (COORD{7, 45}));
}

TEST_F(SnapshotTest, RestoreIntoAnotherWidth) {
    if (ConsizeIsPlaceholder()) GTEST_SKIP() << "waits for CONSIZE";
    TempFile file(L"width");
    const Cells before = Read();
    ASSERT_EQ(Run(L"SAVECON", file.Path()), 0);
    tconsole::SetBufferAndWindow(kWidth + 20, kHeight + 30, kWidth + 10, 25);
    tconsole::Fill(L'#', 0x4F);
    EXPECT_EQ(Run(L"RSTRCON", file.Path()), 0);
    Sleep(100);  // Wine's console host needs a moment before the fixture shrinks the buffer again
    const auto info = tconsole::Info();
    EXPECT_EQ(info.dwSize, (COORD{kWidth, kHeight}));
    EXPECT_EQ(WindowSize(info.srWindow), (COORD{kWidth, 20}));
    const Cells after = Read();
    for (SHORT r = 0; r <= 45; ++r) EXPECT_EQ(after.text[r], before.text[r]) << r;
}

}  // namespace
