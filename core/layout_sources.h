// Where each layout keeps its bitmap, screen and colour memory: one table per
// kind of fetcher. Offsets index the memory image counted from the file's
// first byte (the load address is at 0 and 1), so a C64 address A lies at
// A - load address + 2. Packed layouts are read at the offsets of the layout
// they unpack to.
#ifndef TARNEL_CORE_LAYOUT_SOURCES_H
#define TARNEL_CORE_LAYOUT_SOURCES_H

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "core/layouts.h"

namespace tarnel {

// Video-memory geometry shared by every layout.
constexpr uint32_t CELL_COLUMNS = 40;
constexpr uint32_t CELL_ROWS = 25;
constexpr uint32_t CELL_ROW_BITMAP_BYTES = 320;  // 40 cells of 8 bytes
constexpr uint32_t BITMAP_BYTES = 8000;
constexpr uint32_t SCREEN_BYTES = 1000;
constexpr uint32_t SCREEN_BANK_STRIDE = 1024;  // bank k of a banked screen at base + 1024*k

// Bit-pair and bit positions, leftmost column first.
constexpr uint8_t MULTICOLOUR_SHIFTS[4] = {6, 4, 2, 0};
constexpr uint8_t HIRES_SHIFTS[8] = {7, 6, 5, 4, 3, 2, 1, 0};

// Single-frame multicolour layouts. Bit pair 0 shows the background, 1 the
// screen byte's high nibble, 2 its low nibble, 3 the colour memory's low
// nibble, except where a flag says otherwise.
struct MulticolourSources {
    Fetcher fetcher;
    uint32_t bitmapBase;
    uint32_t screenBase;
    bool screenBanked;      // each pixel row of a cell has its own screen (bank y & 7)
    uint32_t colourBase;    // colour memory, one byte per cell
    bool sharedColourByte;  // bit pair 3 shows lo(colourBase) for every cell
    // Row background table (one byte per row at rowTableBase + y): bit pair 0
    // shows its low nibble instead of the background colour. With a left
    // strip, columns below leftStripColumns show lo(screenBase) for bit pairs
    // 1 and 2 and the row byte's high nibble for bit pair 3.
    bool rowBackground;
    uint32_t rowTableBase;
    uint32_t leftStripColumns;  // multicolour columns 0 .. n-1; 0 = no strip
};

// clang-format off
constexpr MulticolourSources MULTICOLOUR_SOURCES[] = {
    // fetcher                  bitmap screen banked colour shared rowbg  rowtable strip
    {Fetcher::FliDesigner,       9218,  1026,  true,  2,     false, false, 0,       0},
    {Fetcher::AdvancedArtStudio, 2,     8002,  false, 9018,  false, false, 0,       0},
    {Fetcher::Fli,               9474,  1282,  true,  258,   false, false, 0,       0},
    {Fetcher::Koala,             2,     8002,  false, 9002,  false, false, 0,       0},
    {Fetcher::FliGraph,          9474,  1282,  true,  258,   false, true,  2,       12},
    {Fetcher::PaintMagic,        116,   8308,  false, 8119,  true,  false, 0,       0},
};
// clang-format on

// Hires layouts: a set bit shows the screen byte's high nibble, a clear bit
// its low nibble; or, with fixedColours, colour 15 and the background.
struct HiresSources {
    Fetcher fetcher;
    uint32_t bitmapBase;
    uint32_t screenBase;
    bool screenBanked;
    bool fixedColours;
};

// clang-format off
constexpr HiresSources HIRES_SOURCES[] = {
    // fetcher            bitmap screen banked fixed
    {Fetcher::HiresBitmap, 2,     0,     false, true},   // bitmap only
    {Fetcher::ArtStudio,   2,     8002,  false, false},
    {Fetcher::Doodle,      1026,  2,     false, false},
    {Fetcher::Afli,        8194,  2,     true,  false},
};
// clang-format on
constexpr uint8_t HIRES_FIXED_SET_COLOUR = 15;

// Interlaced layouts: two multicolour frames sharing one colour memory.
struct FrameSources {
    uint32_t bitmapBase;
    uint32_t screenBase;
};
struct InterlacedSources {
    Fetcher fetcher;
    FrameSources frames[2];
    bool screenBanked;
    uint32_t colourBase;
};

// clang-format off
constexpr InterlacedSources INTERLACED_SOURCES[] = {
    // fetcher         frame 0        frame 1          banked colour
    {Fetcher::Funpaint, {{8210, 18},   {25594, 17402}}, true,  16402},
    {Fetcher::Gunpaint, {{8194, 2},    {25602, 17410}}, true,  16386},
    {Fetcher::Drazlace, {{2050, 1026}, {10242, 1026}},  false, 2},
};
// clang-format on

// The route of a code, or nullptr for codes with no renderer.
const LayoutRoute* FindLayoutRoute(FormatCode code);

// Position of a fetcher's entry in its sources table (N when absent).
template <typename Sources, size_t N>
constexpr size_t SourcesIndex(const Sources (&table)[N], Fetcher fetcher) {
    for (size_t i = 0; i < N; ++i) {
        if (table[i].fetcher == fetcher) return i;
    }
    return N;
}

// Every layout's route names a fetcher of its row loop's table.
constexpr bool RoutesHaveSources() {
    for (const LayoutInfo& layout : LAYOUTS) {
        const LayoutRoute& route = layout.route;
        const bool found =
            route.loop == RowLoop::Multicolour
                ? SourcesIndex(MULTICOLOUR_SOURCES, route.fetcher) < std::size(MULTICOLOUR_SOURCES)
            : route.loop == RowLoop::Hires
                ? SourcesIndex(HIRES_SOURCES, route.fetcher) < std::size(HIRES_SOURCES)
                : SourcesIndex(INTERLACED_SOURCES, route.fetcher) < std::size(INTERLACED_SOURCES);
        if (!found) return false;
    }
    return true;
}
static_assert(RoutesHaveSources(), "every route's fetcher has sources for its row loop");

// Highest offset any fetcher of a table can read; all must lie inside the
// memory image so the row loops need no per-pixel bounds checks.
constexpr uint32_t ScreenEnd(uint32_t base, bool banked) {
    return base + (banked ? 7 * SCREEN_BANK_STRIDE : 0) + SCREEN_BYTES;
}
constexpr bool SourcesFitBuffer() {
    for (const MulticolourSources& s : MULTICOLOUR_SOURCES) {
        if (s.bitmapBase + BITMAP_BYTES > MEMORY_IMAGE_BYTES ||
            ScreenEnd(s.screenBase, s.screenBanked) > MEMORY_IMAGE_BYTES ||
            s.colourBase + SCREEN_BYTES > MEMORY_IMAGE_BYTES ||
            s.rowTableBase + PICTURE_HEIGHT > MEMORY_IMAGE_BYTES) {
            return false;
        }
    }
    for (const HiresSources& s : HIRES_SOURCES) {
        if (s.bitmapBase + BITMAP_BYTES > MEMORY_IMAGE_BYTES ||
            ScreenEnd(s.screenBase, s.screenBanked) > MEMORY_IMAGE_BYTES) {
            return false;
        }
    }
    for (const InterlacedSources& s : INTERLACED_SOURCES) {
        for (const FrameSources& f : s.frames) {
            if (f.bitmapBase + BITMAP_BYTES > MEMORY_IMAGE_BYTES ||
                ScreenEnd(f.screenBase, s.screenBanked) > MEMORY_IMAGE_BYTES) {
                return false;
            }
        }
        if (s.colourBase + SCREEN_BYTES > MEMORY_IMAGE_BYTES) return false;
    }
    return true;
}
static_assert(SourcesFitBuffer(), "every layout reads inside the memory image");

// How many bytes of the memory image a route's row loop reads: one past the
// highest offset it can read. A memory image that long draws the whole
// picture; nothing past it plays a part.
constexpr uint32_t Larger(uint32_t a, uint32_t b) {
    return a > b ? a : b;
}
constexpr uint32_t RouteImageBytes(const LayoutRoute& route) {
    uint32_t end = 0;
    switch (route.loop) {
        case RowLoop::Multicolour:
            for (const MulticolourSources& s : MULTICOLOUR_SOURCES) {
                if (s.fetcher != route.fetcher) continue;
                end = Larger(s.bitmapBase + BITMAP_BYTES, ScreenEnd(s.screenBase, s.screenBanked));
                end = Larger(end, s.colourBase + (s.sharedColourByte ? 1 : SCREEN_BYTES));
                if (s.rowBackground) end = Larger(end, s.rowTableBase + PICTURE_HEIGHT);
            }
            break;
        case RowLoop::Hires:
            for (const HiresSources& s : HIRES_SOURCES) {
                if (s.fetcher != route.fetcher) continue;
                end = s.bitmapBase + BITMAP_BYTES;
                if (!s.fixedColours) end = Larger(end, ScreenEnd(s.screenBase, s.screenBanked));
            }
            break;
        case RowLoop::Interlaced:
            for (const InterlacedSources& s : INTERLACED_SOURCES) {
                if (s.fetcher != route.fetcher) continue;
                end = s.colourBase + SCREEN_BYTES;
                for (const FrameSources& f : s.frames) {
                    end = Larger(end, f.bitmapBase + BITMAP_BYTES);
                    end = Larger(end, ScreenEnd(f.screenBase, s.screenBanked));
                }
            }
            break;
    }
    return end;
}
constexpr uint32_t LargestRouteImageBytes() {
    uint32_t largest = 0;
    for (const LayoutInfo& layout : LAYOUTS)
        largest = Larger(largest, RouteImageBytes(layout.route));
    return largest;
}
constexpr uint32_t LARGEST_ROUTE_IMAGE_BYTES = LargestRouteImageBytes();
static_assert(LARGEST_ROUTE_IMAGE_BYTES <= MEMORY_IMAGE_BYTES,
              "routes read inside the memory image");

}  // namespace tarnel

#endif  // TARNEL_CORE_LAYOUT_SOURCES_H
