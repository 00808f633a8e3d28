#include "console/row_text.h"

#include <algorithm>
#include <cstring>

#include "console/transfer.h"

namespace zarnith {

namespace {

// Whether any unit is half of a surrogate pair (top five bits 11011). It runs over every unit of
// the buffer on the ordinary path, so four units at a time, no early exit: a lane of `v` is zero
// exactly for a surrogate, and (v - 1) & ~v & 0x8000 is set in every such lane.
bool HasSurrogate(const wchar_t* text, size_t count) noexcept {
    constexpr uint64_t kTop = 0xF800F800F800F800ull, kSurrogate = 0xD800D800D800D800ull;
    constexpr uint64_t kOnes = 0x0001000100010001ull, kHigh = 0x8000800080008000ull;
    uint64_t found = 0;
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        uint64_t units;
        std::memcpy(&units, text + i, sizeof units);
        const uint64_t v = (units & kTop) ^ kSurrogate;
        found |= (v - kOnes) & ~v & kHigh;
    }
    for (; i < count; ++i) found |= uint64_t((text[i] & 0xF800) == 0xD800);
    return found != 0;
}

}  // namespace

RowReader::RowReader(const ScreenBuffer& screen, int width) noexcept
    : screen_(screen), width_(std::max(width, 1)), chunkRows_(RowsPerTransfer(width_, sizeof(wchar_t))) {
    const size_t units = size_t(chunkRows_) * size_t(width_);
    text_.allocate(units + 1);
    cells_.allocate(units);
    map_.allocate(units + size_t(chunkRows_));
    lengths_.allocate(size_t(chunkRows_));
}

bool RowReader::Read(int top, int count) noexcept {
    count_ = std::clamp(count, 0, chunkRows_);
    const uint32_t units = uint32_t(count_) * uint32_t(width_);
    bool aligned = true;
    ForEachRunTransfer(COORD{0, SHORT(top)}, units, width_, sizeof(wchar_t), [&](uint32_t offset, COORD at, uint32_t n) {
        DWORD done = 0;
        aligned = ReadConsoleOutputCharacterW(screen_.get(), text_.data() + offset, n, at, &done) && done == n;
        return aligned;
    });
    // As many units as cells can still hide a full-width character when a surrogate pair (two
    // units in one cell) makes up for it.
    mapped_ = !aligned || HasSurrogate(text_.data(), units);
    text_[units] = L'\0';
    return !mapped_ || BuildFromCells(top);
}

bool RowReader::BuildFromCells(int top) noexcept {
    const bool read = screen_.ReadRows(top, count_, width_, cells_.data());
    for (int r = 0; r < count_; ++r) {
        const CHAR_INFO* cell = cells_.data() + size_t(r) * size_t(width_);
        wchar_t* text = text_.data() + size_t(r) * size_t(width_);
        uint16_t* map = map_.data() + size_t(r) * size_t(width_ + 1);
        int n = 0;
        for (int x = 0; x < width_; ++x) {
            // The trailing half of a full-width character repeats the leading half's character.
            const bool trailing = x > 0 && (cell[x].Attributes & COMMON_LVB_TRAILING_BYTE) &&
                                  (cell[x - 1].Attributes & COMMON_LVB_LEADING_BYTE) &&
                                  cell[x - 1].Char.UnicodeChar == cell[x].Char.UnicodeChar;
            if (trailing) continue;
            text[n] = cell[x].Char.UnicodeChar;
            map[n++] = uint16_t(x);
        }
        map[n] = uint16_t(width_);
        if (n < width_) text[n] = L'\0';
        lengths_[size_t(r)] = uint16_t(n);
    }
    return read;
}

ScreenRow RowReader::Row(int i) const noexcept {
    const wchar_t* text = text_.data() + size_t(i) * size_t(width_);
    if (!mapped_) return ScreenRow{std::wstring_view(text, size_t(width_)), nullptr};
    return ScreenRow{std::wstring_view(text, lengths_[size_t(i)]), map_.data() + size_t(i) * size_t(width_ + 1)};
}

}  // namespace zarnith
