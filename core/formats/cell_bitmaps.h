// The C64's bitmap modes drawn from their three parts: a bitmap of 8 x 8
// cells (8 bytes a cell, the top line first; cells left to right, then row
// by row), a screen byte a cell and, in multicolour, a colour memory byte a
// cell and a background colour. Koala Painter's layout and most packed
// pictures unpack to these.
#ifndef TARNEL_CORE_FORMATS_CELL_BITMAPS_H
#define TARNEL_CORE_FORMATS_CELL_BITMAPS_H

#include <cstdint>
#include <cstring>

#include "core/byte_order.h"
#include "core/formats/cells.h"
#include "core/formats/formats.h"

namespace tarnel::cells {

struct CellBitmap {
    const uint8_t* bitmap;
    const uint8_t* screen;
    const uint8_t* colour;  // multicolour only; its low nibbles are used
    uint8_t background;     // multicolour only
    uint32_t columns;       // cells a row
    uint32_t rows;          // rows of cells
};

// Hires: in each cell 1 bits take the screen byte's high nibble, 0 bits its
// low nibble. The canvas is at least columns x 8 by rows x 8.
inline void DrawHiresBitmap(const ColourCanvas& canvas, const CellBitmap& picture) {
    for (uint32_t row = 0; row < picture.rows; ++row) {
        for (uint32_t column = 0; column < picture.columns; ++column) {
            const uint32_t cell = row * picture.columns + column;
            const uint8_t screen = picture.screen[cell];
            DrawHiresCell(canvas, column * 8, row * 8, picture.bitmap + cell * 8,
                          static_cast<uint8_t>(screen >> 4), static_cast<uint8_t>(screen & 15));
        }
    }
}

// Multicolour, with the machine's byte order fixed: each line of a cell
// is stored as one word of eight pixels, a pair's colour twice in 16 bits.
template <bool LOW_BYTE_FIRST>
void DrawMulticolourWords(const ColourCanvas& canvas, const CellBitmap& picture) {
    constexpr uint32_t S0 = LOW_BYTE_FIRST ? 0 : 48, S1 = LOW_BYTE_FIRST ? 16 : 32;
    constexpr uint32_t S2 = LOW_BYTE_FIRST ? 32 : 16, S3 = LOW_BYTE_FIRST ? 48 : 0;
    uint64_t twice[4] = {uint64_t{(picture.background & 15u) * 0x0101u}, 0, 0, 0};
    for (uint32_t row = 0; row < picture.rows; ++row) {
        for (uint32_t column = 0; column < picture.columns; ++column) {
            const uint32_t cell = row * picture.columns + column;
            twice[1] = uint64_t{(picture.screen[cell] >> 4) * 0x0101u};
            twice[2] = uint64_t{(picture.screen[cell] & 15u) * 0x0101u};
            twice[3] = uint64_t{(picture.colour[cell] & 15u) * 0x0101u};
            const uint8_t* bytes = picture.bitmap + cell * 8;
            for (uint32_t line = 0; line < 8; ++line) {
                const uint32_t bits = bytes[line];
                const uint64_t pixels = twice[bits >> 6] << S0 | twice[bits >> 4 & 3] << S1 |
                                        twice[bits >> 2 & 3] << S2 | twice[bits & 3] << S3;
                std::memcpy(canvas.Row(row * 8 + line) + column * 8, &pixels, 8);
            }
        }
    }
}

// Multicolour: bit pairs 00 the background, 01 the screen byte's high
// nibble, 10 its low nibble, 11 the colour memory's low nibble; each pair
// two pixels wide. The canvas is at least columns x 8 by rows x 8.
inline void DrawMulticolourBitmap(const ColourCanvas& canvas, const CellBitmap& picture) {
    if (LowByteFirst()) {
        DrawMulticolourWords<true>(canvas, picture);
    } else {
        DrawMulticolourWords<false>(canvas, picture);
    }
}

}  // namespace tarnel::cells

#endif  // TARNEL_CORE_FORMATS_CELL_BITMAPS_H
