// Drawing the C64's 8 x 8 character cells and 24 x 21 sprites into a colour
// canvas: the building blocks the character and sprite formats share.
#ifndef TARNEL_CORE_FORMATS_CELLS_H
#define TARNEL_CORE_FORMATS_CELLS_H

#include <cstdint>
#include <cstring>

#include "core/byte_view.h"
#include "core/formats/formats.h"

namespace tarnel::cells {

inline uint16_t Le16(ByteView file, uint32_t at) {
    return static_cast<uint16_t>(file[at] | file[at + 1] << 8);
}

// The 8 bytes of a cell, or nullptr where the file ends before them.
inline const uint8_t* CellBytes(ByteView file, uint32_t at) {
    return file.Holds(at, 8) ? file.data + at : nullptr;
}

// Each byte value's eight bits as eight bytes of $FF or $00, the leftmost
// pixel first: the most significant bit first (the VIC-II's order) or the
// least significant first (MsbFirst false).
struct BitMasks {
    uint8_t bytes[256][8];
};
constexpr BitMasks MakeBitMasks(bool msbFirst) {
    BitMasks masks{};
    for (uint32_t value = 0; value < 256; ++value) {
        for (uint32_t pixel = 0; pixel < 8; ++pixel) {
            const uint32_t bit = msbFirst ? 7 - pixel : pixel;
            masks.bytes[value][pixel] = (value >> bit) & 1 ? 0xFF : 0x00;
        }
    }
    return masks;
}
inline constexpr BitMasks MSB_FIRST = MakeBitMasks(true);
inline constexpr BitMasks LSB_FIRST = MakeBitMasks(false);

// Eight pixels of one byte: its 1 bits `ink`, its 0 bits `paper`.
inline void DrawHiresByte(uint8_t* out, uint8_t bits, uint8_t ink, uint8_t paper,
                          const BitMasks& masks = MSB_FIRST) {
    constexpr uint64_t EVERY_BYTE = 0x0101010101010101ull;
    uint64_t mask;
    std::memcpy(&mask, masks.bytes[bits], 8);
    const uint64_t pixels = (ink * EVERY_BYTE & mask) | (paper * EVERY_BYTE & ~mask);
    std::memcpy(out, &pixels, 8);
}

// A hires cell: 1 bits `ink`, 0 bits `paper`; a missing cell all paper.
// The canvas holds the whole cell at (x, y).
inline void DrawHiresCell(const ColourCanvas& canvas, uint32_t x, uint32_t y, const uint8_t* bytes,
                          uint8_t ink, uint8_t paper) {
    for (uint32_t line = 0; line < 8; ++line) {
        DrawHiresByte(canvas.Row(y + line) + x, bytes != nullptr ? bytes[line] : 0, ink, paper);
    }
}

// A multicolour cell: each bit pair, most significant first, picks one of
// `colours` and fills two pixels; a missing cell all colours[0].
inline void DrawMulticolourCell(const ColourCanvas& canvas, uint32_t x, uint32_t y,
                                const uint8_t* bytes, const uint8_t colours[4]) {
    for (uint32_t line = 0; line < 8; ++line) {
        uint8_t* out = canvas.Row(y + line) + x;
        const uint8_t bits = bytes != nullptr ? bytes[line] : 0;
        for (uint32_t pair = 0; pair < 4; ++pair) {
            const uint8_t colour = colours[(bits >> (6 - 2 * pair)) & 3];
            out[2 * pair] = colour;
            out[2 * pair + 1] = colour;
        }
    }
}

constexpr uint32_t SPRITE_WIDTH = 24;
constexpr uint32_t SPRITE_HEIGHT = 21;
constexpr uint32_t SPRITE_DATA_BYTES = 63;

// A sprite's 63 bytes at (x, y): hires, 1 bits colours[2] and 0 bits
// colours[0]; or multicolour, bit pairs picking colours[0..3] two pixels
// wide.
inline void DrawSprite(const ColourCanvas& canvas, uint32_t x, uint32_t y, const uint8_t* bytes,
                       bool multicolour, const uint8_t colours[4]) {
    for (uint32_t line = 0; line < SPRITE_HEIGHT; ++line) {
        uint8_t* out = canvas.Row(y + line) + x;
        for (uint32_t column = 0; column < 3; ++column) {
            const uint8_t bits = bytes[line * 3 + column];
            uint8_t* cell = out + column * 8;
            if (multicolour) {
                for (uint32_t pair = 0; pair < 4; ++pair) {
                    const uint8_t colour = colours[(bits >> (6 - 2 * pair)) & 3];
                    cell[2 * pair] = colour;
                    cell[2 * pair + 1] = colour;
                }
            } else {
                DrawHiresByte(cell, bits, colours[2], colours[0]);
            }
        }
    }
}

}  // namespace tarnel::cells

#endif  // TARNEL_CORE_FORMATS_CELLS_H
