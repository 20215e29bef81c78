// Drawing a layout's memory image into 320x200 colour-table indices.
#ifndef TARNEL_RENDER_RENDER_H
#define TARNEL_RENDER_RENDER_H

#include <cstddef>
#include <cstdint>

#include "formats/byte_view.h"
#include "formats/layouts.h"
#include "render/pixels.h"

namespace tarnel {

// Writes bytes 0 to 63,999 of `pixelIndices` (row-major from the top-left)
// for `code`, reading `image` (a full FILE_BUFFER_BYTES memory image, already
// unpacked). Single-frame layouts give plain indices 0..15; interlaced ones
// the blended merge of their two frames (pair indices 16*frame0 + frame1).
// Codes with no renderer write nothing.
void RenderFrame(FormatCode code, ByteView image, uint8_t background, uint8_t* pixelIndices);

// Draws the same picture straight as pixels: row y (0 at the top) goes to
// topRow + y * stride (a negative stride draws bottom-up), each row 320
// pixels of `table`'s format looked up by their indices. No index picture
// is made. False, with nothing written, for a code with no renderer or an
// image smaller than FILE_BUFFER_BYTES.
bool RenderPicture(FormatCode code, ByteView image, uint8_t background, const PixelTable& table,
                   uint8_t* topRow, ptrdiff_t stride);

}  // namespace tarnel

#endif  // TARNEL_RENDER_RENDER_H
