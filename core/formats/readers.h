// What the family files share: the table each keeps of its formats, and
// the row's four functions by one name.
#ifndef TARNEL_CORE_FORMATS_READERS_H
#define TARNEL_CORE_FORMATS_READERS_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/formats/formats.h"

namespace tarnel::readers {

// A row's functions Name##Sniff, Name##Measure, Name##Background and
// Name##Draw.
#define TARNEL_FORMAT_FUNCTIONS(Name) Name##Sniff, Name##Measure, Name##Background, Name##Draw
// The same for a format that draws through its frame function alone.
#define TARNEL_FRAME_FORMAT_FUNCTIONS(Name) Name##Sniff, Name##Measure, Name##Background, nullptr

// characters.cpp: character sets, character-built logos and cell pictures.
extern const FormatFamily CHARACTER_FORMATS;
// charpad.cpp: CharPad projects.
extern const FormatFamily CHARPAD_FORMATS;
// sprites.cpp: sprite sets.
extern const FormatFamily SPRITE_FORMATS;
// other.cpp: Printfox pages, GoDot pictures and clips, hires with sprites.
extern const FormatFamily OTHER_FORMATS;
// bitmaps.cpp: plain hires and multicolour bitmaps.
extern const FormatFamily BITMAP_FORMATS;
// packed.cpp: packed bitmaps (GG, BDP, Zoomatic, Drazpaint, JJ, Micro
// Illustrator, SHP).
extern const FormatFamily PACKED_FORMATS;
// interlace.cpp: interlaced pictures of two frames (True Paint, FP, Pixel
// Perfect, FFLI, the interlaced hires and logo formats, and more).
extern const FormatFamily INTERLACE_FORMATS;
// fli.cpp: FLI pictures beyond the twenty, and FLI over or under sprites
// (FBI, FED, FLM, EMC, HCB, Big FLI, FLI Profi, HFC, CFLI, UFLI, NUFLI,
// Mufflon, XFL, SHF, SHX).
extern const FormatFamily FLI_FORMATS;
// petscii.cpp: character screens (Petmate, C64 OS, PETSCII dumps).
extern const FormatFamily TEXT_SCREEN_FORMATS;

}  // namespace tarnel::readers

#endif  // TARNEL_CORE_FORMATS_READERS_H
