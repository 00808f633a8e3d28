// Plain values of a console screen buffer: rectangles, cell positions and the colour attribute.
// No console calls here, so planners and tests use them freely.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace zarnith {

// Columns and rows of an inclusive rectangle (a window, a region).
constexpr int Width(const SMALL_RECT& r) noexcept { return r.Right - r.Left + 1; }
constexpr int Height(const SMALL_RECT& r) noexcept { return r.Bottom - r.Top + 1; }

// Whole rows top .. top + rows - 1 of a buffer `width` cells wide.
constexpr SMALL_RECT RowsRect(int width, int top, int rows) noexcept {
    return SMALL_RECT{0, SHORT(top), SHORT(width - 1), SHORT(top + rows - 1)};
}

// A run of whole rows; a count of 0 is no rows at all.
struct RowSpan {
    int first = 0;
    int count = 0;
};

// The rows first .. first + count - 1 that lie inside a buffer of `height` rows. 64-bit, so that
// no count wraps around a 16-bit row number.
constexpr RowSpan ClipRows(int64_t first, int64_t count, int height) noexcept {
    const int64_t top = std::max<int64_t>(first, 0);
    const int64_t end = std::min<int64_t>(first + std::max<int64_t>(count, 0), height);
    return top < end ? RowSpan{int(top), int(end - top)} : RowSpan{};
}

// The cell `offset` cells after `start` in a buffer `width` cells wide, following rows as the
// console does.
constexpr COORD CellAfter(COORD start, int width, uint64_t offset) noexcept {
    const uint64_t w = uint64_t(std::max(width, 1));
    const uint64_t at = uint64_t(std::max<SHORT>(start.Y, 0)) * w + uint64_t(std::max<SHORT>(start.X, 0)) + offset;
    return COORD{SHORT(at % w), SHORT(at / w)};
}

// The console's default colours (light grey on black), for cells that have no colours of their own.
inline constexpr WORD kDefaultAttribute = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;

// A cell's attribute: foreground colour in bits 0-3, background colour in bits 4-7, other flags
// (grid lines, reverse video) above the low byte.
class Attribute {
public:
    constexpr Attribute() noexcept = default;
    constexpr explicit Attribute(WORD value) noexcept : value_(value) {}

    // The two colours alone; the bits above the low byte are 0.
    static constexpr Attribute FromColours(int foreground, int background) noexcept {
        return Attribute(WORD(((background & 0x0F) << 4) | (foreground & 0x0F)));
    }

    constexpr WORD value() const noexcept { return value_; }
    constexpr int foreground() const noexcept { return value_ & 0x0F; }
    constexpr int background() const noexcept { return (value_ >> 4) & 0x0F; }

    // Colours exchanged, the bits above the low byte kept: applied twice it gives the attribute
    // back, so a cell shown this way can be put back exactly.
    constexpr Attribute Swapped() const noexcept {
        return Attribute(WORD(Inverted().value_ | (value_ & 0xFF00)));
    }
    // Colours exchanged and nothing else: the visual bell's flash.
    constexpr Attribute Inverted() const noexcept { return FromColours(background(), foreground()); }

    friend constexpr bool operator==(Attribute, Attribute) noexcept = default;

private:
    WORD value_ = 0;
};

}  // namespace zarnith
