// Turning rows of colour-table indices into pixels of a chosen byte layout.
#ifndef TARNEL_RENDER_PIXELS_H
#define TARNEL_RENDER_PIXELS_H

#include <cstdint>

#include "render/palette.h"

namespace tarnel {

// Byte order of one pixel in memory.
enum class PixelFormat : uint8_t {
    Rgb24,   // red, green, blue
    Bgr24,   // blue, green, red (the module's bitmap rows)
    Rgba32,  // red, green, blue, 255
    Bgra32,  // blue, green, red, 255
};

constexpr uint32_t BytesPerPixel(PixelFormat format) {
    return format == PixelFormat::Rgba32 || format == PixelFormat::Bgra32 ? 4 : 3;
}

// A colour table laid out for fast row conversion in one pixel format.
// Three-byte pixels are written eight at a time as three 8-byte words; in
// such a group a pixel starts at one of ten offsets from the word that holds
// its first or last byte, -2 to 7, and `placed` holds, per offset, each
// entry's bytes already shifted there. Four-byte pixels are whole words.
struct PixelTable {
    static constexpr int LOWEST_PLACE = -2;
    static constexpr int PLACES = 10;
    PixelFormat format = PixelFormat::Rgb24;
    uint64_t placed[PLACES][256];
    uint32_t whole[256];
    const uint64_t* At(int offset) const { return placed[offset - LOWEST_PLACE]; }
};

// Fills `table` from the colour table's 256 entries for `format`.
void BuildPixelTable(const ColourTable& colours, PixelFormat format, PixelTable* table);

// Writes the 320 pixels of one row of indices (any index 0 to 255) to `out`:
// exactly 320 * BytesPerPixel bytes, nothing past them.
void ConvertRow(const uint8_t* indices, const PixelTable& table, uint8_t* out);

}  // namespace tarnel

#endif  // TARNEL_RENDER_PIXELS_H
