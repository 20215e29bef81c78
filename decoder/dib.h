// Turning the index picture into the packed 24-bit DIB the host receives.
#ifndef TARNEL_DECODER_DIB_H
#define TARNEL_DECODER_DIB_H

#include <cstdint>

#include "render/palette.h"

namespace tarnel {

// Writes the 192,040-byte block: a 40-byte BITMAPINFOHEADER (320 x 200,
// 24 bits, BI_RGB, positive height) and 200 rows of 960 bytes, the bottom
// picture row first, each pixel blue, green, red from entry i of the table's
// planes for index i. `pixelIndices` holds 320 x 200 indices from the top-left.
void WriteDib(const uint8_t* pixelIndices, const ColourTable& table, uint8_t* block);

}  // namespace tarnel

#endif  // TARNEL_DECODER_DIB_H
