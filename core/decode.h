// The decode pipeline every front end runs once it knows a file's layout:
// choose the memory image the layout draws from (the file itself, a
// zero-padded copy or the unpacked image), read the background colour from
// it, and draw the rows as pixels. The C library identifies the file and
// calls DecodeLayout in one call; the viewer module identifies the file when
// it is opened and calls DecodeLayout for the page.
#ifndef TARNEL_CORE_DECODE_H
#define TARNEL_CORE_DECODE_H

#include <cstddef>
#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"
#include "core/pixels.h"
#include "core/render.h"

namespace tarnel {

// True when `code` cannot draw from a file of `fileSize` bytes as it is:
// a packed layout, or a file shorter than what the layout reads. Then
// ChooseImage needs a scratch buffer of ImageBytes(code) bytes.
bool NeedsScratch(FormatCode code, uint32_t fileSize);

// The memory image `code` draws from: `file` itself when it holds every byte
// the layout reads; otherwise `scratch`, where the file (or, for packed
// layouts, the image its stream unpacks to) is followed by zeros, so that a
// scratch buffer used before gives the same picture as a new one. Only the
// ImageBytes(code) bytes the layout reads are written. An empty view for a
// code with no renderer, or when scratch is needed and missing.
ByteView ChooseImage(FormatCode code, ByteView file, uint8_t* scratch);

// How to show it: as the file stores it, or as a C64 shows it
// (core/c64_view.h).
enum class View : uint8_t { Stored, C64 };

// Whether `code` with `frame` draws through a blending pixel table
// (BuildPixelTable's `interlaced`) rather than a plain one.
bool DrawsBlended(FormatCode code, Frame frame);

// Draws `image` (as ChooseImage gives it) with its background colour: row y
// (0 at the top) goes to topRow + y * stride, each row 320 pixels of
// `pixels`' format, a table made as DrawsBlended says. False, with nothing
// written, for a code with no renderer or an image shorter than
// ImageBytes(code).
bool DrawImage(FormatCode code, ByteView image, const PixelTable& pixels, uint8_t* topRow,
               ptrdiff_t stride, Frame frame = Frame::Blend, View view = View::Stored);

// ChooseImage, then DrawImage: the whole decode of an identified file.
bool DecodeLayout(FormatCode code, ByteView file, uint8_t* scratch, const PixelTable& pixels,
                  uint8_t* topRow, ptrdiff_t stride);

}  // namespace tarnel

#endif  // TARNEL_CORE_DECODE_H
