// The packed 24-bit DIB the host receives: a 40-byte BITMAPINFOHEADER
// (320 x 200, 24 bits, BI_RGB, positive height) and 200 rows of 960 bytes,
// the bottom picture row first, each pixel blue, green, red.
#ifndef TARNEL_PLUGIN_DIB_H
#define TARNEL_PLUGIN_DIB_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"
#include "core/palette.h"
#include "core/pixels.h"

namespace tarnel {

// Writes the whole 192,040-byte block for `code`, decoded from `file`
// (DecodeLayout, with `scratch` of LARGEST_IMAGE_BYTES where the layout
// needs one) straight into the rows: every byte of the block is written, the
// rows as black (all zero) for a code with no renderer. `interlaced` chooses
// the colour table's blend mode.
void DrawDib(FormatCode code, ByteView file, uint8_t* scratch, bool interlaced, uint8_t* block);

// The same block from an index picture: entry i of the table's planes for
// index i. `pixelIndices` holds 320 x 200 indices from the top-left.
void WriteDib(const uint8_t* pixelIndices, const ColourTable& table, uint8_t* block);

// The module's colour table (BuildColourTable of the C64 palette) in either
// mode as blue-green-red pixels; built once, on first use.
const PixelTable& BitmapPixels(bool interlaced);

}  // namespace tarnel

#endif  // TARNEL_PLUGIN_DIB_H
