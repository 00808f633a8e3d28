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

// The trailing half of a full-width character repeats the leading half's character.
bool IsTrailingHalf(std::span<const CHAR_INFO> cells, size_t x) noexcept {
    return x > 0 && (cells[x].Attributes & COMMON_LVB_TRAILING_BYTE) &&
           (cells[x - 1].Attributes & COMMON_LVB_LEADING_BYTE) &&
           cells[x - 1].Char.UnicodeChar == cells[x].Char.UnicodeChar;
}

constexpr wchar_t kReplacement = 0xFFFD;

bool IsPairAt(std::wstring_view units, size_t i) noexcept {
    return i + 1 < units.size() && (units[i] & 0xFC00) == 0xD800 && (units[i + 1] & 0xFC00) == 0xDC00;
}

// Calls take(cell, first unit, count) along the walk MatchRowText describes; false as soon as
// the units do not fit.
template <class Take>
bool WalkCells(std::span<const CHAR_INFO> cells, std::wstring_view units, Take&& take) noexcept {
    size_t i = 0;
    for (size_t x = 0; x < cells.size(); ++x) {
        if (IsTrailingHalf(cells, x)) continue;
        if (i >= units.size()) return false;
        const wchar_t own = cells[x].Char.UnicodeChar;
        const size_t count = own == kReplacement && IsPairAt(units, i) ? 2 : 1;
        if (count == 1 && units[i] != own) return false;
        take(x, i, count);
        i += count;
    }
    return i == units.size();
}

}  // namespace

int MatchRowText(std::span<const CHAR_INFO> cells, std::wstring_view units, wchar_t* text, uint16_t* map) noexcept {
    // Never more units than cells: that is all the room a row's text has.
    if (units.size() > cells.size() || !WalkCells(cells, units, [](size_t, size_t, size_t) {})) return -1;
    WalkCells(cells, units, [&](size_t x, size_t i, size_t count) {
        for (size_t k = 0; k < count; ++k) {
            text[i + k] = units[i + k];
            map[i + k] = uint16_t(x);
        }
    });
    map[units.size()] = uint16_t(cells.size());
    return int(units.size());
}

namespace {

// Row `y`'s character read into `units` (room for `width`); empty when the console gives nothing.
std::wstring_view ReadRowUnits(const ScreenBuffer& screen, int y, int width, wchar_t* units) noexcept {
    DWORD done = 0;
    if (!screen.ReadRowCharacters(y, width, units, done)) return {};
    return std::wstring_view(units, std::min<size_t>(done, size_t(width)));
}

}  // namespace

bool MayHidePairs(std::span<const CHAR_INFO> cells) noexcept {
    for (size_t x = 0; x < cells.size(); ++x)
        if (cells[x].Char.UnicodeChar == kReplacement && !IsTrailingHalf(cells, x)) return true;
    return false;
}

bool RowPairs::Read(int y, std::span<const CHAR_INFO> cells) noexcept {
    if (!MayHidePairs(cells) || cells.size() > size_t(width_)) return false;
    if (!units_ && !(units_.allocate(size_t(width_)) && text_.allocate(size_t(width_)) &&
                     map_.allocate(size_t(width_) + 1) && pairs_.allocate(size_t(width_)))) {
        units_.reset();
        return false;
    }
    const int n = MatchRowText(cells, ReadRowUnits(screen_, y, width_, units_.data()), text_.data(), map_.data());
    if (n < 0) return false;
    std::fill(pairs_.data(), pairs_.data() + pairs_.size(), char32_t(0));
    bool any = false;
    for (int i = 0; i + 1 < n; ++i) {
        if (map_[size_t(i)] != map_[size_t(i) + 1]) continue;  // a pair is two units in one cell
        pairs_[map_[size_t(i)]] = 0x10000 + ((char32_t(text_[size_t(i)]) - 0xD800) << 10) +
                                  (char32_t(text_[size_t(i) + 1]) - 0xDC00);
        any = true;
    }
    return any;
}

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
        const std::span<const CHAR_INFO> cells(cell, size_t(width_));
        int n = 0;
        for (int x = 0; x < width_; ++x) {
            if (IsTrailingHalf(cells, size_t(x))) continue;
            text[n] = cell[x].Char.UnicodeChar;
            map[n++] = uint16_t(x);
        }
        map[n] = uint16_t(width_);
        if (n < width_) text[n] = L'\0';
        lengths_[size_t(r)] = uint16_t(n);
        if (MayHidePairs(cells)) KeepPairs(top, r);
    }
    return read;
}

// Row r of the piece from `top` read again alone as characters: its pairs replace the U+FFFD of
// its cells where the console gives them. Anything else leaves the text built from cells.
void RowReader::KeepPairs(int top, int r) noexcept {
    if (!rowUnits_ && !rowUnits_.allocate(size_t(width_))) return;
    const std::span<const CHAR_INFO> cells(cells_.data() + size_t(r) * size_t(width_), size_t(width_));
    wchar_t* text = text_.data() + size_t(r) * size_t(width_);
    uint16_t* map = map_.data() + size_t(r) * size_t(width_ + 1);
    const int n = MatchRowText(cells, ReadRowUnits(screen_, top + r, width_, rowUnits_.data()), text, map);
    if (n < 0) return;
    if (n < width_) text[n] = L'\0';
    lengths_[size_t(r)] = uint16_t(n);
}

ScreenRow RowReader::Row(int i) const noexcept {
    const wchar_t* text = text_.data() + size_t(i) * size_t(width_);
    if (!mapped_) return ScreenRow{std::wstring_view(text, size_t(width_)), nullptr};
    return ScreenRow{std::wstring_view(text, lengths_[size_t(i)]), map_.data() + size_t(i) * size_t(width_ + 1)};
}

}  // namespace zarnith
