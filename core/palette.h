// The C64 palette and the decoder's colour table.
#ifndef TARNEL_CORE_PALETTE_H
#define TARNEL_CORE_PALETTE_H

#include <cstdint>

namespace tarnel {

// The one palette, as three channel arrays indexed by C64 colour 0 to 15.
struct Palette {
    uint8_t red[16];
    uint8_t green[16];
    uint8_t blue[16];
};
extern const Palette C64_PALETTE;

// Three planes of 256 entries; a pixel index selects one entry of each.
struct ColourTable {
    uint8_t red[256];
    uint8_t green[256];
    uint8_t blue[256];
};

// Palette mode (not interlaced): entries 0 to 15 are the palette, the rest
// are left as they are. Blend mode (interlaced): entry 16*j+k is the
// channel-wise average of colours j and k, rounded down.
void BuildColourTable(bool interlaced, ColourTable* table);
// The same from another palette.
void BuildColourTable(bool interlaced, const Palette& palette, ColourTable* table);

}  // namespace tarnel

#endif  // TARNEL_CORE_PALETTE_H
