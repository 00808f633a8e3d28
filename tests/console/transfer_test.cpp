// The console layer's plain parts: how transfers are cut, clipping, cell positions, attributes.
#include <gtest/gtest.h>

#include <vector>

#include "console/cells.h"
#include "console/transfer.h"
#include "support/console_types.h"

using namespace zarnith;

namespace {

// Older Windows versions refuse single transfers much above 64 KB: no transfer may carry more.
constexpr size_t kLimitBytes = 65536;

TEST(TransferTest, RectangleTransfersCoverEveryRowOnceAndStayUnderTheLimit) {
    struct Case {
        int width, top, rows;
        size_t transfers;
    };
    // 80 x 400 = 32,000 cells (two transfers); 300 columns: 53 rows a transfer; a row of 20,000
    // cells goes in two column pieces; a row of exactly 16,000 cells (64,000 bytes) in one.
    for (const Case c : std::vector<Case>{{80, 0, 400, 2}, {300, 7, 9999, 189}, {20000, 3, 2, 4},
                                          {16000, 0, 1, 1}, {1, 5, 1, 1}, {80, 0, 0, 0}, {0, 0, 5, 0}}) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << ", rows " << c.rows);
        std::vector<int> covered(size_t(c.rows) * size_t(std::max(c.width, 0)), 0);
        size_t transfers = 0;
        ForEachRectTransfer(c.width, c.top, c.rows, [&](const RectTransfer& t) {
            ++transfers;
            const int w = Width(t.region), h = Height(t.region);
            EXPECT_LE(size_t(w) * size_t(h) * sizeof(CHAR_INFO), kLimitBytes);
            EXPECT_EQ(t.size.X, c.width);
            EXPECT_GE(t.region.Top, c.top);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    // The cell the console reads into: the transfer's own rows of the caller's array.
                    const size_t index = t.offset + size_t(t.at.Y + y) * size_t(c.width) + size_t(t.at.X + x);
                    const int row = t.region.Top - c.top + y, column = t.region.Left + x;
                    ASSERT_EQ(index, size_t(row) * size_t(c.width) + size_t(column));
                    ++covered[index];
                }
        });
        EXPECT_EQ(transfers, c.transfers);
        for (int n : covered) ASSERT_EQ(n, 1);
    }
}

TEST(TransferTest, RunsFollowRowsInPiecesUnderTheLimit) {
    struct Piece {
        uint32_t offset;
        COORD at;
        uint32_t count;
    };
    std::vector<Piece> pieces;
    // 70,000 characters from column 5 of row 2 of a 300-column buffer: 32,000 + 32,000 + 6,000.
    ForEachRunTransfer(COORD{5, 2}, 70000, 300, sizeof(wchar_t), [&](uint32_t offset, COORD at, uint32_t n) {
        pieces.push_back({offset, at, n});
        return true;
    });
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[1].offset, 32000u);
    EXPECT_EQ(pieces[1].at, (COORD{SHORT((5 + 32000) % 300), SHORT(2 + (5 + 32000) / 300)}));
    EXPECT_EQ(pieces[2].count, 6000u);
    for (const Piece& p : pieces) EXPECT_LE(p.count * sizeof(wchar_t), kLimitBytes);

    int calls = 0;
    ForEachRunTransfer(COORD{0, 0}, 100000, 80, sizeof(WORD), [&](uint32_t, COORD, uint32_t) { return ++calls < 2; });
    EXPECT_EQ(calls, 2) << "a piece that answers false ends the run";
}

TEST(TransferTest, RowChunksAndClipping) {
    std::vector<std::pair<int, int>> chunks;
    EXPECT_TRUE(ForEachRowChunk(10, 70, 32, [&](int top, int n) { return chunks.emplace_back(top, n), true; }));
    EXPECT_EQ(chunks, (std::vector<std::pair<int, int>>{{10, 32}, {42, 32}, {74, 6}}));

    struct Case {
        int64_t first, count;
        int height;
        RowSpan expected;
    };
    for (const Case c : std::vector<Case>{{2, 4, 100, {2, 4}},
                                          {98, 10, 100, {98, 2}},
                                          {-3, 5, 100, {0, 2}},
                                          {-3, 2, 100, {0, 0}},
                                          {100, 1, 100, {0, 0}},
                                          {0, 0xFFFFFFFFll, 9999, {0, 9999}},
                                          {5, 1, 0, {0, 0}}}) {
        const RowSpan r = ClipRows(c.first, c.count, c.height);
        EXPECT_EQ(r.first, c.expected.first) << c.first << " + " << c.count;
        EXPECT_EQ(r.count, c.expected.count) << c.first << " + " << c.count;
    }
    EXPECT_EQ(CellAfter(COORD{78, 3}, 80, 5), (COORD{3, 4}));
    EXPECT_EQ(Width(SMALL_RECT{10, 20, 69, 39}), 60);
    EXPECT_EQ(Height(SMALL_RECT{10, 20, 69, 39}), 20);
}

TEST(AttributeTest, SwapInvertAndRepaintColours) {
    struct Case {
        WORD value, swapped, inverted;
    };
    // Swapped keeps the flags above the low byte (a match shown, then undone); the bell's inverted
    // colours and REPAINT's new colours drop them.
    for (const Case c : std::vector<Case>{{0x1E, 0xE1, 0xE1}, {0x811E, 0x81E1, 0xE1}, {0xC0A7, 0xC07A, 0x7A},
                                          {0x0007, 0x0070, 0x70}}) {
        EXPECT_EQ(Attribute(c.value).Swapped().value(), c.swapped) << std::hex << c.value;
        EXPECT_EQ(Attribute(c.value).Inverted().value(), c.inverted) << std::hex << c.value;
    }
    for (unsigned a = 0; a < 0x10000; a += 0x1F3) EXPECT_EQ(Attribute(WORD(a)).Swapped().Swapped().value(), a);
    EXPECT_EQ(Attribute::FromColours(0x1F, 0x14).value(), 0x4F) << "each colour cut to its nibble";
    EXPECT_EQ(Attribute(0x5B).foreground(), 0xB);
    EXPECT_EQ(Attribute(0x5B).background(), 0x5);
}

}  // namespace
