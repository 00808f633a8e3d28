// CONSIZE's planning: options to request, request and console to sizes and steps, cell offsets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/consize.h"
#include "geometry/metrics.h"
#include "support/console_types.h"

using namespace zarnith;

namespace {

bool Parse(std::vector<const wchar_t*> args, SizeRequest& r) { return ParseConsizeOptions(args, r); }

SizeRequest Parsed(std::vector<const wchar_t*> args, POINT corner = {300, 200}) {
    SizeRequest r;
    r.position = corner;
    EXPECT_TRUE(ParseConsizeOptions(args, r));
    return r;
}

// A console with buffer `bx` x `by` showing `w` x `h` cells from (left, top).
CONSOLE_SCREEN_BUFFER_INFO Console(SHORT bx, SHORT by, SHORT w, SHORT h, SHORT left = 0, SHORT top = 0) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    info.dwSize = {bx, by};
    info.srWindow = {left, top, SHORT(left + w - 1), SHORT(top + h - 1)};
    return info;
}

SizePlan Plan(std::vector<const wchar_t*> args, const CONSOLE_SCREEN_BUFFER_INFO& info) {
    return PlanConsoleSize(Parsed(args), info);
}

void ExpectSizes(const SizePlan& p, SHORT w, SHORT h, SHORT bx, SHORT by) {
    EXPECT_EQ(p.windowColumns, w);
    EXPECT_EQ(p.windowRows, h);
    EXPECT_EQ(p.bufferColumns, bx);
    EXPECT_EQ(p.bufferRows, by);
}

// The console's rule: after every call of a step the buffer holds the window.
void ExpectLegalOrder(const SizePlan& p, const CONSOLE_SCREEN_BUFFER_INFO& info) {
    COORD buffer = info.dwSize;
    SHORT w = SHORT(info.srWindow.Right - info.srWindow.Left + 1), h = SHORT(info.srWindow.Bottom - info.srWindow.Top + 1);
    for (const auto* step : {&p.widthStep, &p.heightStep}) {
        if (!*step) continue;
        const ResizeStepPlan& s = **step;
        const SHORT sw = SHORT(s.window.Right - s.window.Left + 1), sh = SHORT(s.window.Bottom - s.window.Top + 1);
        if (s.windowChanges && s.windowFirst) {
            w = sw, h = sh;
            EXPECT_LE(w, buffer.X);
            EXPECT_LE(h, buffer.Y);
        }
        if (s.bufferChanges) buffer = s.buffer;
        EXPECT_LE(w, buffer.X);
        EXPECT_LE(h, buffer.Y);
        if (s.windowChanges) w = sw, h = sh;
        EXPECT_LE(w, buffer.X);
        EXPECT_LE(h, buffer.Y);
    }
    EXPECT_EQ(buffer.X, p.bufferColumns);
    EXPECT_EQ(buffer.Y, p.bufferRows);
}

TEST(ConsizeParse, MalformedLinesAskForTheUsageText) {
    SizeRequest r;
    EXPECT_FALSE(Parse({}, r));
    EXPECT_FALSE(Parse({L"/?"}, r));
    EXPECT_FALSE(Parse({L"80", L"25"}, r));
    EXPECT_FALSE(Parse({L"/W", L"80"}, r));
    EXPECT_FALSE(Parse({L"/C"}, r));
    EXPECT_FALSE(Parse({L"/"}, r));
    EXPECT_FALSE(Parse({L"/W", L"80", L"25", L"extra"}, r));
}

TEST(ConsizeParse, QueryStopsTheWalkWherever_ItStands) {
    EXPECT_TRUE(Parsed({L"/Q", L"/W"}).query);
    EXPECT_TRUE(Parsed({L"/q", L"nonsense", L"/?"}).query);
    const SizeRequest r = Parsed({L"/W", L"80", L"25", L"/Query"});
    EXPECT_TRUE(r.query);
    EXPECT_EQ(r.windowColumns, 80);
}

TEST(ConsizeParse, FirstSizeOptionKeepsPrecedenceAndLaterValuesWin) {
    SizeRequest r = Parsed({L"/b", L"80", L"300", L"/Window", L"100", L"50", L"/B", L"90", L"-1"});
    EXPECT_EQ(r.precedence, Precedence::Buffer);
    EXPECT_EQ(r.bufferColumns, 90);
    EXPECT_EQ(r.bufferRows, -1);
    EXPECT_EQ(r.windowColumns, 100);
    EXPECT_EQ(Parsed({L"/W", L"1", L"1", L"/B", L"2", L"2"}).precedence, Precedence::Window);
    // Numbers read as the runtime reads them, then held in 16 bits.
    r = Parsed({L"/W", L"x", L"70000"});
    EXPECT_EQ(r.windowColumns, 0);
    EXPECT_EQ(r.windowRows, SHORT(70000 - 65536));
}

TEST(ConsizeParse, PositionOptionsActInTheOrderGiven) {
    SizeRequest r = Parsed({L"/R", L"10", L"-20"});
    EXPECT_EQ(r.position.x, 310);
    EXPECT_EQ(r.position.y, 180);
    r = Parsed({L"/P", L"5", L"6", L"/C", L"5"});  // /C discards /P
    EXPECT_EQ(r.canonical, 5);
    EXPECT_EQ(r.position.x, 0);
    EXPECT_EQ(r.position.y, 0);
    r = Parsed({L"/C", L"5", L"/P", L"100", L"0", L"/R", L"1920", L"0"});  // /P keeps the cell
    EXPECT_EQ(r.canonical, 5);
    EXPECT_EQ(r.position.x, 2020);
    r = Parsed({L"/C", L"12"});  // only the first character counts
    EXPECT_EQ(r.canonical, 1);
    r = Parsed({L"/C", L"0"});
    EXPECT_EQ(r.canonical, 0);
    EXPECT_EQ(r.position.x, 0);
}

// RSTRCON's resize: the saved buffer first, then the window's size and place.
TEST(ConsizeRestore, BufferFirstThenWindowAndPlace) {
    SizeRequest size = RestoreRequest({80, 300}, {80, 25}, {100, 50});
    EXPECT_EQ(size.precedence, Precedence::Buffer);
    EXPECT_EQ((COORD{size.bufferColumns, size.bufferRows}), (COORD{80, 300}));
    EXPECT_EQ((COORD{size.windowColumns, size.windowRows}), (COORD{80, 25}));
    EXPECT_EQ(size.position.x, 100);
    EXPECT_EQ(size.position.y, 50);
    EXPECT_EQ(size.canonical, 0);
    EXPECT_FALSE(size.query);
    size = RestoreRequest({80, 300}, {80, 25}, {-25536, 50});  // a saved x of 40000: 16 bits read back negative
    EXPECT_EQ(size.position.x, -1);
    EXPECT_EQ(size.position.y, 50);
}

TEST(ConsizePlan, WindowFirstKeepsOrGrowsTheBuffer) {
    const auto info = Console(80, 150, 80, 25);
    ExpectSizes(Plan({L"/W", L"80", L"25", L"/B", L"0", L"0"}, info), 80, 25, 80, 150);
    ExpectSizes(Plan({L"/W", L"100", L"50", L"/B", L"80", L"300"}, info), 100, 50, 100, 300);
    ExpectSizes(Plan({L"/W", L"80", L"25", L"/B", L"20000", L"20000"}, info), 80, 25, 20000, 20000);
    ExpectSizes(Plan({L"/W", L"60", L"200"}, info), 60, 200, 80, 200);
    ExpectSizes(Plan({L"/W", L"0", L"-3"}, info), 80, 25, 80, 150);
}

TEST(ConsizePlan, BufferFirstCapsTheBufferAndFitsTheWindowInside) {
    const auto info = Console(80, 150, 80, 25);
    ExpectSizes(Plan({L"/B", L"80", L"300", L"/W", L"100", L"50"}, info), 80, 50, 80, 300);
    ExpectSizes(Plan({L"/B", L"20000", L"20000"}, info), 80, 25, 9999, 9999);
    ExpectSizes(Plan({L"/B", L"40", L"10"}, info), 40, 10, 40, 10);
    ExpectSizes(Plan({L"/B", L"0", L"300"}, info), 80, 25, 80, 300);
}

TEST(ConsizePlan, MinusOneFollowsTheWindowAndForcesWindowFirst) {
    const auto info = Console(80, 150, 80, 25);
    ExpectSizes(Plan({L"/B", L"-1", L"-1"}, info), 80, 25, 80, 25);
    const SizePlan p = Plan({L"/B", L"-1", L"0", L"/W", L"120", L"40"}, info);
    ExpectSizes(p, 120, 40, 120, 150);
    // With /B first but a -1 in it, the window rule holds on both axes: 100 is not a cap.
    ExpectSizes(Plan({L"/B", L"100", L"-1", L"/W", L"120", L"30"}, info), 120, 30, 120, 30);
}

TEST(ConsizePlan, StepsNeverLeaveTheBufferSmallerThanTheWindow) {
    const std::vector<std::vector<const wchar_t*>> lines = {
        {L"/W", L"80", L"25", L"/B", L"0", L"0"}, {L"/B", L"80", L"300", L"/W", L"100", L"50"},
        {L"/W", L"100", L"50", L"/B", L"80", L"300"}, {L"/B", L"20000", L"20000"},
        {L"/B", L"-1", L"-1"}, {L"/B", L"-1", L"0", L"/W", L"120", L"40"}, {L"/B", L"100", L"-1"},
        {L"/B", L"30", L"12"}, {L"/W", L"20", L"200", L"/B", L"-1", L"-1"}, {L"/W", L"200", L"10"}};
    const CONSOLE_SCREEN_BUFFER_INFO consoles[] = {Console(80, 150, 80, 25), Console(120, 30, 100, 30, 20, 0),
                                                   Console(40, 9999, 40, 20, 0, 500), Console(9999, 50, 60, 50)};
    for (const auto& info : consoles)
        for (const auto& line : lines) {
            SCOPED_TRACE(testing::Message() << "line of " << line.size() << " args starting " << line[1]);
            const SizePlan p = Plan(line, info);
            ASSERT_TRUE(p.Valid());
            EXPECT_GE(p.bufferColumns, p.windowColumns);
            EXPECT_GE(p.bufferRows, p.windowRows);
            ExpectLegalOrder(p, info);
        }
}

TEST(ConsizePlan, StepRectanglesAndFlags) {
    const auto info = Console(80, 150, 80, 25, 0, 40);
    SizePlan p = Plan({L"/W", L"100", L"20"}, info);
    ASSERT_TRUE(p.widthStep && p.heightStep);
    // Width first: the buffer must grow before a wider window fits.
    EXPECT_FALSE(p.widthStep->windowFirst);
    EXPECT_TRUE(p.widthStep->bufferChanges);
    EXPECT_EQ(p.widthStep->window, (SMALL_RECT{0, 40, 99, 64}));
    EXPECT_EQ(p.widthStep->buffer, (COORD{100, 150}));
    // Height: the view goes to the top row, the buffer stays.
    EXPECT_TRUE(p.heightStep->windowFirst);
    EXPECT_FALSE(p.heightStep->bufferChanges);
    EXPECT_EQ(p.heightStep->window, (SMALL_RECT{0, 0, 99, 19}));

    p = Plan({L"/P", L"100", L"50"}, info);
    EXPECT_FALSE(p.widthStep || p.heightStep);
    EXPECT_FALSE(p.WindowChanges());
    p = Plan({L"/B", L"0", L"300"}, info);  // a buffer change alone needs no wait for the window
    EXPECT_FALSE(p.widthStep);
    ASSERT_TRUE(p.heightStep);
    EXPECT_FALSE(p.WindowChanges());
}

// conhost refuses a buffer dimension of SHRT_MAX and a buffer smaller than the smallest window
// (src/host/getset.cpp SetConsoleScreenBufferSizeImpl; ft_host/API_DimensionsTests.cpp
// TestSetConsoleScreenBufferSize), and a window larger than the largest (SetConsoleWindowInfoImpl).
// What was asked first must fit, or nothing is planned; what follows from it is fitted in.
TEST(ConsizePlan, ConsoleLimitsRefuseWhatCannotBeHadAndFitTheRest) {
    const ConsoleLimits limits{{150, 60}, {15, 1}};
    struct Case {
        std::vector<const wchar_t*> line;
        bool exact;  // a snapshot's size, not a typed one
        CONSOLE_SCREEN_BUFFER_INFO console;
        bool refused;
        COORD window, buffer;
    };
    const auto usual = Console(80, 150, 80, 25);
    const std::vector<Case> cases = {
        {{L"/W", L"80", L"25", L"/B", L"32767", L"300"}, false, usual, true, {}, {}},
        {{L"/B", L"5", L"5"}, false, usual, true, {}, {}},
        {{L"/B", L"80", L"32767"}, true, usual, true, {}, {}},
        {{L"/W", L"200", L"50"}, false, usual, true, {}, {}},
        {{L"/W", L"100", L"61", L"/B", L"0", L"300"}, false, usual, true, {}, {}},
        {{L"/B", L"32767", L"32767"}, false, usual, false, {80, 25}, {9999, 9999}},  // typed: capped
        {{L"/B", L"80", L"20000", L"/W", L"80", L"25"}, true, usual, false, {80, 25}, {80, 20000}},
        {{L"/B", L"100", L"300", L"/W", L"200", L"80"}, false, usual, false, {100, 60}, {100, 300}},
        {{L"/W", L"10", L"1", L"/B", L"-1", L"-1"}, false, usual, false, {10, 1}, {15, 1}},
        {{L"/B", L"0", L"300"}, false, Console(200, 100, 200, 70), false, {150, 60}, {200, 300}},
        {{L"/W", L"0", L"30"}, false, Console(200, 100, 200, 30), false, {150, 30}, {200, 100}},
        // Asking for no size changes none, even of a window dragged from a larger screen.
        {{L"/P", L"100", L"50"}, false, Console(200, 100, 200, 70), false, {200, 70}, {200, 100}},
        {{L"/C", L"5", L"/W", L"0", L"0", L"/B", L"0", L"0"}, false, Console(200, 100, 200, 70), false, {200, 70},
         {200, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "line starting " << c.line[0] << " " << c.line[1] << " " << c.line[2]);
        SizeRequest r = Parsed(c.line);
        r.exactBuffer = c.exact;
        const SizePlan p = PlanConsoleSize(r, c.console, limits);
        EXPECT_EQ(p.refusal != nullptr, c.refused);
        if (c.refused) continue;
        ExpectSizes(p, c.window.X, c.window.Y, c.buffer.X, c.buffer.Y);
        ExpectLegalOrder(p, c.console);
        for (const auto* step : {&p.widthStep, &p.heightStep})
            if (*step && (*step)->windowChanges) {
                EXPECT_LE(WindowSize((*step)->window).X, limits.largestWindow.X);
                EXPECT_LE(WindowSize((*step)->window).Y, limits.largestWindow.Y);
            }
        if (c.window == WindowSize(c.console.srWindow) && c.buffer == c.console.dwSize)
            EXPECT_FALSE(p.widthStep || p.heightStep) << "nothing to change";
    }
}

TEST(ConsizePlan, NonPositiveBufferIsNoConsole) {
    EXPECT_FALSE(Plan({L"/B", L"-5", L"100"}, Console(80, 150, 80, 25)).Valid());
    EXPECT_FALSE(Plan({L"/B", L"80", L"-32768"}, Console(80, 150, 80, 25)).Valid());
}

TEST(ConsizeCanonical, NineCellsAndOutOfRangeNumbers) {
    const RECT work{0, 0, 1024, 738}, window{50, 60, 650, 460};  // 600 x 400
    const POINT expected[10] = {{0, 0},   {0, 0},   {212, 0},   {424, 0},   {0, 169},
                                {212, 169}, {424, 169}, {0, 338}, {212, 338}, {424, 338}};
    for (int n = 0; n <= 9; ++n) {
        const POINT o = CanonicalOffset(work, window, n);
        EXPECT_EQ(o.x, expected[n].x) << "cell " << n;
        EXPECT_EQ(o.y, expected[n].y) << "cell " << n;
    }
    // Above 9: the column repeats and the row falls back to the top.
    EXPECT_EQ(CanonicalOffset(work, window, 11).x, 212);
    EXPECT_EQ(CanonicalOffset(work, window, 11).y, 0);
    EXPECT_EQ(CanonicalOffset(work, window, 12).x, 424);
    for (int n : {-1, -7, -48}) {
        EXPECT_EQ(CanonicalOffset(work, window, n).x, 0) << n;
        EXPECT_EQ(CanonicalOffset(work, window, n).y, 0) << n;
    }
    // A task bar at the left (100 pixels) and at the top (40): the grid lies within the work
    // area, so every cell is measured from its left and top edges.
    const RECT shifted{100, 40, 1024, 768};
    const POINT inside[10] = {{0, 0},     {100, 40},  {262, 40},  {424, 40},  {100, 204},
                              {262, 204}, {424, 204}, {100, 368}, {262, 368}, {424, 368}};
    for (int n = 0; n <= 9; ++n) {
        const POINT o = CanonicalOffset(shifted, window, n);
        EXPECT_EQ(o.x, inside[n].x) << "cell " << n;
        EXPECT_EQ(o.y, inside[n].y) << "cell " << n;
    }
    // A window larger than the work area: halving truncates toward zero.
    EXPECT_EQ(CanonicalOffset(RECT{0, 0, 101, 100}, RECT{0, 0, 200, 200}, 5).x, -49);
}

TEST(ConsizeReport, MaxConsoleDividesOnlyByARealFontSize) {
    MaxConsole m = ComputeMaxConsole(SIZE{1000, 700}, COORD{8, 16}, 17, 17);
    EXPECT_EQ(m.columns, 125);
    EXPECT_EQ(m.rows, 43);
    EXPECT_EQ(m.columnsWithScroll, 122);
    EXPECT_EQ(m.rowsWithScroll, 42);
    m = ComputeMaxConsole(SIZE{1000, 700}, COORD{0, 16}, 17, 17);
    EXPECT_EQ(m.columns, -1);
    EXPECT_EQ(m.columnsWithScroll, -1);
    EXPECT_EQ(m.rows, 43);
    m = ComputeMaxConsole(SIZE{1000, 700}, COORD{8, 0}, 17, 17);
    EXPECT_EQ(m.rows, -1);
    EXPECT_EQ(m.rowsWithScroll, -1);

    ConsoleMeasures cm;
    cm.info = Console(90, 300, 70, 20, 5, 10);
    cm.window = {10, 20, 610, 420};
    cm.client = {0, 0, 560, 320};
    cm.font = {8, 16};
    cm.maxClient = {1000, 700};
    cm.vScrollWidth = cm.hScrollHeight = 17;
    const std::array<int, 18> expected = {600, 400, 560, 320, 10, 20, 610, 420, 8, 16,
                                          70, 20, 90, 300, 125, 43, 122, 42};
    EXPECT_EQ(ReportValues(cm), expected);
    // Under a pseudo console only the Window and Buffer lines are the console's.
    const std::array<int, 18> masked = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 70, 20, 90, 300, -1, -1, -1, -1};
    EXPECT_EQ(ReportValues(cm, true), masked);
}

}  // namespace
