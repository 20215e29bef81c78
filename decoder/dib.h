// The packed 24-bit DIB the host receives: a 40-byte BITMAPINFOHEADER
// (320 x 200, 24 bits, BI_RGB, positive height) and 200 rows of 960 bytes,
// the bottom picture row first, each pixel blue, green, red.
#ifndef TARNEL_DECODER_DIB_H
#define TARNEL_DECODER_DIB_H

#include <cstdint>

#include "formats/byte_view.h"
#include "formats/layouts.h"
#include "render/palette.h"
#include "render/pixels.h"

namespace tarnel {

// Writes the whole 192,040-byte block for `code`, drawn straight from
// `image` (a full FILE_BUFFER_BYTES memory image, already unpacked) into
// the rows: every byte of the block is written, the rows as black (all
// zero) for a code with no renderer. `interlaced` chooses the colour
// table's blend mode.
void DrawDib(FormatCode code, ByteView image, uint8_t background, bool interlaced, uint8_t* block);

// The same block from an index picture: entry i of the table's planes for
// index i. `pixelIndices` holds 320 x 200 indices from the top-left.
void WriteDib(const uint8_t* pixelIndices, const ColourTable& table, uint8_t* block);

// The module's colour table (BuildColourTable of the C64 palette) in either
// mode as blue-green-red pixels; built once, on first use.
const PixelTable& BitmapPixels(bool interlaced);

}  // namespace tarnel

#endif  // TARNEL_DECODER_DIB_H
