#include "core/palette.h"

namespace tarnel {

// clang-format off
const Palette C64_PALETTE = {
    //  0    1    2    3    4    5    6    7    8    9   10   11   12   13   14   15
    { 10, 255, 139, 101, 167,  79,  27, 243, 163,  63, 203,  69, 131, 151,  79, 187},  // red
    { 10, 255,  31, 205,  59, 179,  13, 235,  71,  28, 123,  68, 131, 255, 147, 187},  // green
    { 10, 255,   0, 168, 159,  23, 147,  81,   0,   0, 111,  68, 131, 151, 211, 187},  // blue
};
// clang-format on

void BuildColourTable(bool interlaced, ColourTable* table) {
    BuildColourTable(interlaced, C64_PALETTE, table);
}

void BuildColourTable(bool interlaced, const Palette& palette, ColourTable* table) {
    if (!interlaced) {
        for (int n = 0; n < 16; ++n) {
            table->red[n] = palette.red[n];
            table->green[n] = palette.green[n];
            table->blue[n] = palette.blue[n];
        }
        return;
    }
    for (int j = 0; j < 16; ++j) {
        for (int k = 0; k < 16; ++k) {
            const int i = 16 * j + k;
            table->red[i] = static_cast<uint8_t>((palette.red[j] + palette.red[k]) / 2);
            table->green[i] = static_cast<uint8_t>((palette.green[j] + palette.green[k]) / 2);
            table->blue[i] = static_cast<uint8_t>((palette.blue[j] + palette.blue[k]) / 2);
        }
    }
}

}  // namespace tarnel
