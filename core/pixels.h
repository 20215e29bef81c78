// Turning rows of colour-table indices into pixels of a chosen byte layout.
#ifndef TARNEL_CORE_PIXELS_H
#define TARNEL_CORE_PIXELS_H

#include <cstddef>
#include <cstdint>

#include "core/palette.h"

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
//
// A table made from a palette also keeps the sixteen colours' bytes, by
// their place in the pixel, and whether its entries blend pairs (entry
// 16 * a + b the channel-wise average of colours a and b, rounded down):
// the rows a picture's renderer makes, of plain colours 0 to 15 or of pairs,
// are then converted sixteen pixels at a time where the processor can.
struct PixelTable {
    static constexpr int LOWEST_PLACE = -2;
    static constexpr int PLACES = 10;
    PixelFormat format = PixelFormat::Rgb24;
    uint64_t placed[PLACES][256];
    uint32_t whole[256];
    bool fromPalette = false;
    bool blended = false;
    uint8_t paletteBytes[3][16];  // byte k of colour n's pixel at [k][n]
    uint8_t entryBytes[3][256];   // byte k of entry i's pixel at [k][i] (three-byte formats)
    const uint64_t* At(int offset) const { return placed[offset - LOWEST_PLACE]; }
};

// Fills `table` from the colour table's 256 entries for `format`.
void BuildPixelTable(const ColourTable& colours, PixelFormat format, PixelTable* table);
// Fills `table` from the colour table that BuildColourTable makes of
// `palette` in palette mode or, with `interlaced`, in blend mode.
void BuildPixelTable(const Palette& palette, bool interlaced, PixelFormat format,
                     PixelTable* table);

// Writes the 320 pixels of one row of indices (any index 0 to 255) to `out`:
// exactly 320 * BytesPerPixel bytes, nothing past them.
void ConvertRow(const uint8_t* indices, const PixelTable& table, uint8_t* out);

// The same for a row a renderer made: with a table made from a palette, its
// indices must be colours 0 to 15 in palette mode (any in blend mode).
void ConvertPictureRow(const uint8_t* indices, const PixelTable& table, uint8_t* out);

// The same for `rows` rows, each 320 indices, one after another in
// `indices`: row k goes to out + k * stride.
void ConvertPictureRows(const uint8_t* indices, uint32_t rows, const PixelTable& table,
                        uint8_t* out, ptrdiff_t stride);

// A row of blended pairs given as two rows of colours 0 to 15: pixel u shows
// the pair of first[u] and second[u], as index 16 * first[u] + second[u]
// would. Only for a table made from a palette in blend mode, and only where
// a vector path converts it: false, with nothing written, otherwise.
bool ConvertPairRow(const uint8_t* first, const uint8_t* second, const PixelTable& table,
                    uint8_t* out);

}  // namespace tarnel

#endif  // TARNEL_CORE_PIXELS_H
