// The readers of each family, for the table in formats.cpp: each format's
// test of its bytes, its picture size, its background and its drawing.
#ifndef TARNEL_CORE_FORMATS_READERS_H
#define TARNEL_CORE_FORMATS_READERS_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/formats/formats.h"

namespace tarnel::readers {

#define TARNEL_FORMAT_READER(Name)            \
    Evidence Name##Sniff(ByteView file);      \
    PictureSize Name##Measure(ByteView file); \
    uint8_t Name##Background(ByteView file);  \
    void Name##Draw(ByteView file, const ColourCanvas& canvas);

// characters.cpp: character sets, character screens and cell pictures.
TARNEL_FORMAT_READER(Charset)
TARNEL_FORMAT_READER(Font64)
TARNEL_FORMAT_READER(Charset9)
TARNEL_FORMAT_READER(LogoPainter)
TARNEL_FORMAT_READER(Fluff64)
TARNEL_FORMAT_READER(Cgfx)
// charpad.cpp
TARNEL_FORMAT_READER(CharPad)
// sprites.cpp
TARNEL_FORMAT_READER(SpritePad)
TARNEL_FORMAT_READER(SpriteBank)

#undef TARNEL_FORMAT_READER

}  // namespace tarnel::readers

#endif  // TARNEL_CORE_FORMATS_READERS_H
