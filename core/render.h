// Drawing a layout's memory image into 320x200 colour-table indices.
#ifndef TARNEL_CORE_RENDER_H
#define TARNEL_CORE_RENDER_H

#include <cstddef>
#include <cstdint>

#include "core/byte_view.h"
#include "core/layout_sources.h"
#include "core/layouts.h"
#include "core/pixels.h"
#include "core/prepare.h"

namespace tarnel {

// How many bytes of the memory image drawing `code` reads (its row loop and
// its background byte): a view of at least this many bytes, zeros where the
// file or the stream does not reach, draws the whole picture. 0 for a code
// with no renderer.
uint32_t ImageBytes(FormatCode code);
// The most ImageBytes gives for any code.
constexpr uint32_t LARGEST_IMAGE_BYTES = LARGEST_ROUTE_IMAGE_BYTES > LARGEST_BACKGROUND_OFFSET
                                             ? LARGEST_ROUTE_IMAGE_BYTES
                                             : LARGEST_BACKGROUND_OFFSET + 1;

// Writes bytes 0 to 63,999 of `pixelIndices` (row-major from the top-left)
// for `code`, reading `image` (a memory image of at least ImageBytes(code),
// already unpacked). Single-frame layouts give plain indices 0..15; interlaced ones
// the blended merge of their two frames (pair indices 16*frame0 + frame1).
// Codes with no renderer write nothing.
void RenderFrame(FormatCode code, ByteView image, uint8_t background, uint8_t* pixelIndices);

// Draws the same picture straight as pixels: row y (0 at the top) goes to
// topRow + y * stride (a negative stride draws bottom-up), each row 320
// pixels of `table`'s format looked up by their indices. No index picture
// is made. False, with nothing written, for a code with no renderer or an
// image smaller than ImageBytes(code).
bool RenderPicture(FormatCode code, ByteView image, uint8_t background, const PixelTable& table,
                   uint8_t* topRow, ptrdiff_t stride);

// Which picture of an interlaced layout to draw: both frames blended, as a
// monitor shows the flicker, or one frame alone. A single-frame layout
// draws its one picture for each.
enum class Frame : uint8_t { Blend, First, Second };

// One frame of an interlaced layout alone (frame 0 or 1), drawn as
// RenderPicture draws the blend but with each pixel the frame's own colour
// 0..15 in its own place (no shift between the frames), converted by
// `table`, which must be made in palette mode. False, with nothing written,
// for a code that is not interlaced, another frame, or a short image.
bool RenderInterlacedFrame(FormatCode code, int frame, ByteView image, uint8_t background,
                           const PixelTable& table, uint8_t* topRow, ptrdiff_t stride);

}  // namespace tarnel

#endif  // TARNEL_CORE_RENDER_H
