// An independent, deliberately plain model of what every layout shows: one
// function per kind of layout, with each layout's offsets written out here
// again from the format descriptions (not taken from the module's tables), so
// that tests compare the module against a second reading of the formats.
#ifndef TARNEL_TESTING_C64_MODEL_H
#define TARNEL_TESTING_C64_MODEL_H

#include <cstdint>
#include <vector>

namespace tarnel_test {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The C64 colours as the decoder shows them.
Rgb ModelPalette(int colour);

// The 320 x 200 colour-table indices that `code` shows for `image`, a full
// 61,440-byte memory image laid out as the code's unpacked layout. Plain
// indices 0..15, or pair indices 16 * frame0 + frame1 for interlaced codes.
std::vector<uint8_t> ModelIndices(int code, const std::vector<uint8_t>& image);

// The background colour `code` takes from `image`.
uint8_t ModelBackground(int code, const std::vector<uint8_t>& image);

bool ModelInterlaced(int code);

// The colour an index shows: the palette colour, or in blend mode the
// channel-wise average (rounded down) of the pair's two colours.
Rgb ModelColour(uint8_t index, bool blend);

// Pixel (u, y) of a decoded 192,040-byte block, y = 0 being the top row.
Rgb BlockPixel(const std::vector<uint8_t>& block, int u, int y);

}  // namespace tarnel_test

#endif  // TARNEL_TESTING_C64_MODEL_H
