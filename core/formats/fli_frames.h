// Frames of the hires FLI pictures over or under sprites, drawn from their
// bytes wherever they lie: UFLI's, Mufflon's and the line-by-line layout of
// packed Super Hires FLI. The FLI family draws its own pictures with them,
// and the interlaced family the two frames of its pictures of those kinds.
#ifndef TARNEL_CORE_FORMATS_FLI_FRAMES_H
#define TARNEL_CORE_FORMATS_FLI_FRAMES_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/formats/formats.h"

namespace tarnel::readers::fli_frames {

constexpr uint32_t NOWHERE = 0xFFFFFFFF;

// Where a UFLI frame's parts lie in an image: 60 sprites of 64 bytes, four
// screens 1,024 bytes apart, the bitmap; the sprites' colour at `colour`,
// or (when `perColumnFlag` holds 1) a colour a sprite column from
// `columnColours`. A `perColumnFlag` of NOWHERE: always the one colour.
struct UfliLayout {
    uint32_t sprites;
    uint32_t screens;
    uint32_t bitmap;
    uint32_t perColumnFlag;
    uint32_t colour;
    uint32_t columnColours;
};

// A UFLI frame, 320 x 200; as a C64 shows it (`c64`), with the FLI strip.
// An image too short for the layout draws black.
void DrawUfli(ByteView image, const UfliLayout& layout, const ColourCanvas& canvas, bool c64);

// The bytes of a Mufflon picture's raw layout that it is drawn from
// (offsets 0 to 21,761: load address and all).
constexpr uint32_t MUFFLON_IMAGE_BYTES = 21762;

// Whether every sprite pointer of a Mufflon image names one of its 340
// sprites. False for an image too short.
bool MufflonPointersFit(ByteView image);

// A Mufflon frame, 320 x 200; an image too short draws black.
void DrawMufflon(ByteView image, const ColourCanvas& canvas, bool c64);

// The 96 x 167 layout of a line at a time, 12 bytes a line: front sprite
// bits, back sprite bits (2,048 on), bitmap (4,096 on), a colour byte a
// cell a line (6,144 on). Front sprites in `front`, back ones in `back`,
// over the hires bitmap. An image too short draws black.
constexpr uint32_t LINE_LAYOUT_BYTES = 6144 + 12 * 167;
void DrawLineLayout(ByteView image, uint8_t front, uint8_t back, const ColourCanvas& canvas);

}  // namespace tarnel::readers::fli_frames

#endif  // TARNEL_CORE_FORMATS_FLI_FRAMES_H
