// Pictures drawn a pixel at a time from the fetchers' rules, for what is
// asked for now and then rather than file after file: the picture as a C64
// shows it, where that differs from what the file stores (the FLI layouts'
// leftmost 24 pixels, Drazlace's pixel shift), and the layouts opened on
// request.
#ifndef TARNEL_CORE_C64_VIEW_H
#define TARNEL_CORE_C64_VIEW_H

#include <cstddef>
#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"
#include "core/on_request.h"
#include "core/pixels.h"
#include "core/render.h"

namespace tarnel {

// The FLI strip: in each line of an FLI picture the VIC-II cannot fetch the
// screen bytes of the first three cells, and reads $FF in their place.
constexpr uint32_t FLI_STRIP_PIXELS = 24;
constexpr uint8_t FLI_STRIP_COLOUR = 15;  // light grey, the nibbles of $FF

// Drazlace's flag byte: nonzero asks for bitmap 2 one pixel to the right.
constexpr uint32_t DRAZLACE_SHIFT_FLAG = 10052;

// Whether the C64's view of `code` differs from the stored picture at all.
bool ChangesInC64View(FormatCode code);

// Draws `image` (as ChooseImage gives it) as the C64 shows it, into rows as
// DrawImage does, through a table made as DrawsBlended says. False, with
// nothing written, for a code ChangesInC64View does not name or an image
// shorter than ImageBytes(code).
bool DrawC64View(FormatCode code, ByteView image, const PixelTable& pixels, uint8_t* topRow,
                 ptrdiff_t stride, Frame frame);

// Draws a layout opened on request, stored or (`c64`) as the C64 shows it:
// its hidden lines in the background (black), the rest as a hires layout
// from its sources. False, with nothing written, for an image of another
// size than its files'.
bool DrawOnRequest(const OnRequestLayout& layout, ByteView image, const PixelTable& pixels,
                   uint8_t* topRow, ptrdiff_t stride, bool c64);

}  // namespace tarnel

#endif  // TARNEL_CORE_C64_VIEW_H
