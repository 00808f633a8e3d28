#include "support/conhost_model.h"

#include <algorithm>
#include <iterator>

#include "support/import_patch.h"

namespace conhost {

bool IsFullWidth(char32_t code) noexcept {
    // East Asian Wide and Fullwidth blocks, and the emoji blocks conhost draws in two cells.
    static constexpr struct {
        char32_t first, last;
    } kWide[] = {{0x1100, 0x115F},   {0x2E80, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
                 {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF},
                 {0x20000, 0x3FFFD}};
    return std::any_of(std::begin(kWide), std::end(kWide), [&](auto r) { return code >= r.first && code <= r.last; });
}

namespace {

constexpr WORD kHalves = COMMON_LVB_LEADING_BYTE | COMMON_LVB_TRAILING_BYTE;
constexpr wchar_t kReplacement = 0xFFFD;

enum class Half : unsigned char { Single, Leading, Trailing };

struct Cell {
    char32_t glyph = L' ';
    WORD attributes = 0;  // never with the flags of a half
    Half half = Half::Single;
};

// One glyph from `text` at `i`: a surrogate pair is one, a lone surrogate is U+FFFD.
char32_t NextGlyph(std::wstring_view text, size_t& i) {
    const wchar_t a = text[i++];
    if ((a & 0xF800) != 0xD800) return a;
    if ((a & 0xFC00) == 0xD800 && i < text.size() && (text[i] & 0xFC00) == 0xDC00)
        return 0x10000 + ((char32_t(a) - 0xD800) << 10) + (text[i++] - 0xDC00);
    return kReplacement;
}

}  // namespace

struct Model::Store {
    Build build = Build::Current;
    bool pseudoConsole = false;
    COORD largest{0, 0};  // {0, 0}: the real console's rule
    int width = 0, height = 0;
    std::vector<Cell> cells;
    std::vector<std::unique_ptr<ImportPatch>> patches;
    HMODULE module = nullptr;

    Cell& At(int x, int y) { return cells[size_t(y) * size_t(width) + size_t(x)]; }
    const Cell& At(int x, int y) const { return cells[size_t(y) * size_t(width) + size_t(x)]; }
    bool Inside(COORD c) const { return c.X >= 0 && c.Y >= 0 && c.X < width && c.Y < height; }
    size_t Index(COORD c) const { return size_t(c.Y) * size_t(width) + size_t(c.X); }

    void Resize(int w, int h) {
        std::vector<Cell> resized(size_t(w) * size_t(h));
        for (int y = 0; y < std::min(h, height); ++y)
            for (int x = 0; x < std::min(w, width); ++x) resized[size_t(y) * size_t(w) + size_t(x)] = At(x, y);
        cells.swap(resized);
        width = w;
        height = h;
    }

    // The character a cell gives as one UTF-16 unit.
    static wchar_t Unit(const Cell& c) { return c.glyph < 0x10000 ? wchar_t(c.glyph) : kReplacement; }

    static WORD HalfFlag(Half h) {
        return h == Half::Leading ? COMMON_LVB_LEADING_BYTE : h == Half::Trailing ? COMMON_LVB_TRAILING_BYTE : 0;
    }

    void Blank(int x, int y) {
        Cell& c = At(x, y);
        c.glyph = L' ';
        c.half = Half::Single;
    }

    // A glyph over `span` (1 or 2) cells from (x, y); a full-width character it cuts loses its
    // other half.
    void Put(int x, int y, char32_t glyph, int span) {
        if (At(x, y).half == Half::Trailing && x > 0) Blank(x - 1, y);
        const int last = x + span - 1;
        if (At(last, y).half == Half::Leading && last + 1 < width) Blank(last + 1, y);
        for (int i = 0; i < span; ++i) {
            Cell& c = At(x + i, y);
            c.glyph = glyph;
            c.half = span == 1 ? Half::Single : i == 0 ? Half::Leading : Half::Trailing;
        }
    }

    // WriteConsoleOutputCharacterW and FillConsoleOutputCharacterW: glyphAt(0 .. count-1) from
    // `at` on until the buffer ends; answers how many found a place.
    template <class GlyphAt>
    size_t WriteGlyphs(COORD at, size_t count, GlyphAt&& glyphAt) {
        if (!Inside(at)) return 0;
        int x = at.X, y = at.Y;
        size_t written = 0;
        while (y < height && written < count) {
            const char32_t glyph = glyphAt(written);
            const int span = IsFullWidth(glyph) ? 2 : 1;
            if (x + span > width) {
                Blank(x, y);  // no room: the glyph starts the next row
            } else {
                Put(x, y, glyph, span);
                ++written;
                x += span - 1;
            }
            if (++x >= width) x = 0, ++y;
        }
        return written;
    }

    // The one unit is the cell's text as it is, a lone surrogate too.
    size_t Fill(COORD at, wchar_t unit, size_t count) {
        return WriteGlyphs(at, count, [&](size_t) { return char32_t(unit); });
    }

    // Answers the units of the glyphs that found a place.
    DWORD WriteText(COORD at, std::wstring_view text) {
        std::vector<char32_t> glyphs;
        std::vector<size_t> ends;  // where each glyph's units end
        for (size_t i = 0; i < text.size();) {
            glyphs.push_back(NextGlyph(text, i));
            ends.push_back(i);
        }
        const size_t written = WriteGlyphs(at, glyphs.size(), [&](size_t i) { return glyphs[i]; });
        return DWORD(written == 0 ? 0 : ends[written - 1]);
    }

    std::wstring ReadText(COORD at, DWORD count) const {
        std::wstring units;
        if (!Inside(at)) return units;
        const size_t first = Index(at), end = std::min(cells.size(), first + count);
        for (size_t i = first; i < end; ++i) {
            const Cell& c = cells[i];
            const bool cutHalf = (i == first && c.half == Half::Trailing) ||
                                 (i == first + count - 1 && c.half == Half::Leading);
            if (cutHalf) {
                units += L' ';
            } else if (c.half != Half::Trailing) {
                if (c.glyph < 0x10000) units += wchar_t(c.glyph);
                else if (build == Build::Current) units += kReplacement;
                else units += {wchar_t(0xD800 + ((c.glyph - 0x10000) >> 10)), wchar_t(0xDC00 + (c.glyph & 0x3FF))};
            }
        }
        if (units.size() > count) units.clear();  // the whole answer or nothing
        return units;
    }

    CHAR_INFO Info(const Cell& c) const {
        CHAR_INFO info{};
        info.Char.UnicodeChar = Unit(c);
        info.Attributes = WORD(c.attributes | HalfFlag(c.half));
        return info;
    }

    // One row's worth of CHAR_INFO from `left` on, as WriteConsoleOutputW writes them.
    void PutRow(int y, int left, const CHAR_INFO* row, int count) {
        for (int i = 0; i < count; ++i) {
            const int x = left + i;
            const CHAR_INFO& in = row[i];
            At(x, y).attributes = WORD(in.Attributes & ~kHalves);
            const wchar_t ch = in.Char.UnicodeChar;
            if (in.Attributes & COMMON_LVB_LEADING_BYTE) {
                if (x == width - 1) Put(x, y, L' ', 1);
                else Put(x, y, ch, 2);
            } else if (in.Attributes & COMMON_LVB_TRAILING_BYTE) {
                if (x == 0) Put(x, y, L' ', 1);
                else if (i == 0) Put(x - 1, y, ch, 2);
            } else {
                Put(x, y, ch, 1);
            }
        }
    }

    // The part of `region` inside both the store and the caller's array of `size` from `coord`;
    // false when nothing is left.
    bool Clip(SMALL_RECT& region, COORD size, COORD coord, COORD& start) const {
        const SMALL_RECT asked = region;
        SMALL_RECT r{std::max<SHORT>(asked.Left, 0), std::max<SHORT>(asked.Top, 0),
                     SHORT(std::min<int>(asked.Right, width - 1)), SHORT(std::min<int>(asked.Bottom, height - 1))};
        r.Right = SHORT(std::min<int>(r.Right, asked.Left + size.X - coord.X - 1));
        r.Bottom = SHORT(std::min<int>(r.Bottom, asked.Top + size.Y - coord.Y - 1));
        if (r.Left > r.Right || r.Top > r.Bottom) {
            region.Right = SHORT(region.Left - 1);
            region.Bottom = SHORT(region.Top - 1);
            return false;
        }
        start = COORD{SHORT(coord.X + r.Left - asked.Left), SHORT(coord.Y + r.Top - asked.Top)};
        region = r;
        return true;
    }

    // The store follows the real buffer's size; a handle that is no screen buffer fails the call.
    bool Sync(HANDLE console) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!GetConsoleScreenBufferInfo(console, &info)) return false;
        if (info.dwSize.X != width || info.dwSize.Y != height) Resize(info.dwSize.X, info.dwSize.Y);
        return true;
    }
};

namespace {

Model::Store* active = nullptr;

BOOL WINAPI ReadCharacters(HANDLE h, LPWSTR text, DWORD count, COORD at, LPDWORD done) {
    if (!active->Sync(h)) return FALSE;
    const std::wstring units = active->ReadText(at, count);
    std::copy(units.begin(), units.end(), text);
    *done = DWORD(units.size());
    return TRUE;
}

BOOL WINAPI WriteCharacters(HANDLE h, LPCWSTR text, DWORD count, COORD at, LPDWORD done) {
    if (!active->Sync(h)) return FALSE;
    *done = active->WriteText(at, std::wstring_view(text, count));
    return TRUE;
}

BOOL WINAPI FillCharacter(HANDLE h, WCHAR ch, DWORD count, COORD at, LPDWORD done) {
    if (!active->Sync(h)) return FALSE;
    *done = DWORD(active->Fill(at, ch, count));
    return TRUE;
}

BOOL WINAPI ReadCells(HANDLE h, PCHAR_INFO cells, COORD size, COORD coord, PSMALL_RECT region) {
    if (!active->Sync(h)) return FALSE;
    COORD start{};
    if (!active->Clip(*region, size, coord, start)) return TRUE;
    for (int y = region->Top; y <= region->Bottom; ++y)
        for (int x = region->Left; x <= region->Right; ++x)
            cells[size_t(start.Y + y - region->Top) * size_t(size.X) + size_t(start.X + x - region->Left)] =
                active->Info(active->At(x, y));
    return TRUE;
}

BOOL WINAPI WriteCells(HANDLE h, const CHAR_INFO* cells, COORD size, COORD coord, PSMALL_RECT region) {
    if (!active->Sync(h)) return FALSE;
    COORD start{};
    if (!active->Clip(*region, size, coord, start)) return TRUE;
    for (int y = region->Top; y <= region->Bottom; ++y)
        active->PutRow(y, region->Left, cells + size_t(start.Y + y - region->Top) * size_t(size.X) + size_t(start.X),
                       region->Right - region->Left + 1);
    return TRUE;
}

BOOL WINAPI ReadAttributes(HANDLE h, LPWORD attributes, DWORD count, COORD at, LPDWORD done) {
    if (!active->Sync(h)) return FALSE;
    *done = 0;
    if (!active->Inside(at)) return TRUE;
    const size_t first = active->Index(at), end = std::min(active->cells.size(), first + count);
    for (size_t i = first; i < end; ++i) {
        const Cell& c = active->cells[i];
        const bool cutHalf = (i == first && c.half == Half::Trailing) || (i == first + count - 1 && c.half == Half::Leading);
        attributes[i - first] = WORD(c.attributes | (cutHalf ? 0 : Model::Store::HalfFlag(c.half)));
    }
    *done = DWORD(end - first);
    return TRUE;
}

template <class AttributeOf>
BOOL SetAttributes(HANDLE h, DWORD count, COORD at, LPDWORD done, AttributeOf&& attributeOf) {
    if (!active->Sync(h)) return FALSE;
    *done = 0;
    if (!active->Inside(at)) return TRUE;
    const size_t first = active->Index(at), end = std::min(active->cells.size(), first + count);
    for (size_t i = first; i < end; ++i) active->cells[i].attributes = WORD(attributeOf(i - first) & ~kHalves);
    *done = DWORD(end - first);
    return TRUE;
}

BOOL WINAPI WriteAttributes(HANDLE h, const WORD* attributes, DWORD count, COORD at, LPDWORD done) {
    return SetAttributes(h, count, at, done, [&](size_t i) { return attributes[i]; });
}

BOOL WINAPI FillAttribute(HANDLE h, WORD attribute, DWORD count, COORD at, LPDWORD done) {
    return SetAttributes(h, count, at, done, [&](size_t) { return attribute; });
}

decltype(&SetConsoleWindowInfo) realWindowInfo = nullptr;

BOOL WINAPI WindowInfo(HANDLE h, BOOL absolute, const SMALL_RECT* window) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(h, &info)) return realWindowInfo(h, absolute, window);
    SMALL_RECT asked = *window;
    if (!absolute) {
        asked = {SHORT(info.srWindow.Left + asked.Left), SHORT(info.srWindow.Top + asked.Top),
                 SHORT(info.srWindow.Right + asked.Right), SHORT(info.srWindow.Bottom + asked.Bottom)};
    }
    const COORD size{SHORT(asked.Right - asked.Left + 1), SHORT(asked.Bottom - asked.Top + 1)};
    if (size.X < 1 || size.Y < 1) return realWindowInfo(h, absolute, window);
    const COORD largest = active->largest;
    if (!active->pseudoConsole && largest.X > 0 &&
        (size.X > std::min(largest.X, info.dwSize.X) || size.Y > std::min(largest.Y, info.dwSize.Y))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!active->pseudoConsole) return realWindowInfo(h, absolute, window);
    // The buffer takes the window's size; the view is then all of it.
    const SMALL_RECT corner{0, 0, 0, 0};
    realWindowInfo(h, TRUE, &corner);
    SetConsoleScreenBufferSize(h, size);
    const SMALL_RECT all{0, 0, SHORT(size.X - 1), SHORT(size.Y - 1)};
    return realWindowInfo(h, TRUE, &all);
}

COORD WINAPI LargestWindow(HANDLE) { return active->largest; }

}  // namespace

Model::Model(HMODULE module, Build build) : store_(std::make_unique<Store>()) {
    store_->build = build;
    store_->module = module;
    // The real console's cells, one unit each, are where the store starts.
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(console, &info);
    store_->Resize(info.dwSize.X, info.dwSize.Y);
    std::vector<CHAR_INFO> row(size_t(std::max<SHORT>(info.dwSize.X, 0)));
    for (SHORT y = 0; y < info.dwSize.Y && !row.empty(); ++y) {
        SMALL_RECT region{0, y, SHORT(info.dwSize.X - 1), y};
        if (!ReadConsoleOutputW(console, row.data(), COORD{info.dwSize.X, 1}, COORD{0, 0}, &region)) continue;
        for (int x = 0; x < info.dwSize.X; ++x) {
            Cell& c = store_->At(x, y);
            c.glyph = row[size_t(x)].Char.UnicodeChar;
            c.attributes = WORD(row[size_t(x)].Attributes & ~kHalves);
        }
    }
    CloseHandle(console);
    active = store_.get();
    const struct {
        const char* name;
        void* function;
    } calls[] = {{"ReadConsoleOutputCharacterW", (void*)ReadCharacters},
                 {"WriteConsoleOutputCharacterW", (void*)WriteCharacters},
                 {"FillConsoleOutputCharacterW", (void*)FillCharacter},
                 {"ReadConsoleOutputW", (void*)ReadCells},
                 {"WriteConsoleOutputW", (void*)WriteCells},
                 {"ReadConsoleOutputAttribute", (void*)ReadAttributes},
                 {"WriteConsoleOutputAttribute", (void*)WriteAttributes},
                 {"FillConsoleOutputAttribute", (void*)FillAttribute},
                 {"SetConsoleWindowInfo", (void*)WindowInfo}};
    for (const auto& call : calls)
        store_->patches.push_back(std::make_unique<ImportPatch>(module, "kernel32.dll", call.name, call.function));
    realWindowInfo = store_->patches.back()->OriginalAs<BOOL WINAPI(HANDLE, BOOL, const SMALL_RECT*)>();
}

Model::~Model() {
    store_->patches.clear();
    active = nullptr;
}

bool Model::Applied() const noexcept {
    return std::all_of(store_->patches.begin(), store_->patches.end(), [](const auto& p) { return p->Applied(); });
}

COORD Model::Size() const noexcept { return COORD{SHORT(store_->width), SHORT(store_->height)}; }

void Model::SetBuild(Build build) noexcept { store_->build = build; }

void Model::SetPseudoConsole(bool on) noexcept { store_->pseudoConsole = on; }

void Model::SetLargestWindow(COORD largest) {
    if (store_->largest.X == 0)
        store_->patches.push_back(std::make_unique<ImportPatch>(store_->module, "kernel32.dll",
                                                                "GetLargestConsoleWindowSize", (void*)LargestWindow));
    store_->largest = largest;
}

DWORD Model::WriteText(COORD at, std::wstring_view text) { return store_->WriteText(at, text); }

std::wstring Model::ReadText(COORD at, DWORD cells) const { return store_->ReadText(at, cells); }

DWORD Model::Fill(COORD at, wchar_t unit, DWORD cells) { return DWORD(store_->Fill(at, unit, cells)); }

std::vector<CHAR_INFO> Model::Cells(SHORT row, SHORT left, SHORT count) const {
    std::vector<CHAR_INFO> cells;
    if (row < 0 || row >= store_->height || left < 0) return cells;
    const int end = count < 0 ? store_->width : std::min(store_->width, left + count);
    for (int x = left; x < end; ++x) cells.push_back(store_->Info(store_->At(x, row)));
    return cells;
}

void Model::PutCells(SHORT row, SHORT left, const std::vector<CHAR_INFO>& cells) {
    if (row < 0 || row >= store_->height || left < 0 || left >= store_->width) return;
    store_->PutRow(row, left, cells.data(), std::min<int>(int(cells.size()), store_->width - left));
}

void Model::Clear(WORD attributes) { std::fill(store_->cells.begin(), store_->cells.end(), Cell{L' ', attributes}); }

}  // namespace conhost
