// Pixel fetchers: the colour (0 to 15) a layout shows at one column and row,
// read straight from the memory image, one pixel at a time. They state the
// addressing rules plainly; the row loops in render.cpp produce the same
// colours a whole bitmap byte at a time.
#ifndef TARNEL_CORE_FETCHERS_H
#define TARNEL_CORE_FETCHERS_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/layout_sources.h"

namespace tarnel {

// Cell index of multicolour column x (0..159) or hires column x (0..319), row y.
constexpr uint32_t MulticolourCell(uint32_t x, uint32_t y) {
    return (y / 8) * CELL_COLUMNS + x / 4;
}
constexpr uint32_t HiresCell(uint32_t x, uint32_t y) {
    return (y / 8) * CELL_COLUMNS + x / 8;
}

// Offset of the bitmap byte holding column x of row y, from the bitmap base.
constexpr uint32_t MulticolourBitmapByte(uint32_t x, uint32_t y) {
    return (y / 8) * CELL_ROW_BITMAP_BYTES + (x / 4) * 8 + (y & 7);
}
constexpr uint32_t HiresBitmapByte(uint32_t x, uint32_t y) {
    return (y / 8) * CELL_ROW_BITMAP_BYTES + (x & ~7u) + (y & 7);
}

// Offset of the screen byte of `cell` on row y.
constexpr uint32_t ScreenByte(uint32_t base, bool banked, uint32_t cell, uint32_t y) {
    return base + (banked ? SCREEN_BANK_STRIDE * (y & 7) : 0) + cell;
}

constexpr uint8_t Hi(uint8_t byte) {
    return static_cast<uint8_t>(byte >> 4);
}
constexpr uint8_t Lo(uint8_t byte) {
    return static_cast<uint8_t>(byte & 15);
}

// `image` holds every byte the layout reads (ImageBytes); x and y must be in range.
uint8_t FetchMulticolour(const MulticolourSources& s, ByteView image, uint8_t background,
                         uint32_t x, uint32_t y);
uint8_t FetchHires(const HiresSources& s, ByteView image, uint8_t background, uint32_t x,
                   uint32_t y);
// frame 0 selects frame 0, any other value frame 1.
uint8_t FetchInterlaced(const InterlacedSources& s, ByteView image, uint8_t background, uint32_t x,
                        uint32_t y, uint8_t frame);

// The sources table entry of a fetcher, or nullptr where the table has none.
const MulticolourSources* FindMulticolourSources(Fetcher fetcher);
const HiresSources* FindHiresSources(Fetcher fetcher);
const InterlacedSources* FindInterlacedSources(Fetcher fetcher);

}  // namespace tarnel

#endif  // TARNEL_CORE_FETCHERS_H
