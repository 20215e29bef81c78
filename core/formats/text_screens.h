// Character screens (PETSCII art): screen codes and colours drawn with a
// character set. Most files carry no glyphs; the caller finds a set (the
// C64's character ROM, which tarnel does not ship) and hands it in.
#ifndef TARNEL_CORE_FORMATS_TEXT_SCREENS_H
#define TARNEL_CORE_FORMATS_TEXT_SCREENS_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_view.h"
#include "core/formats/formats.h"

namespace tarnel {

// One character set: 256 characters of 8 bytes, the top line first.
constexpr uint32_t CHARSET_BYTES = 2048;
// The C64's character ROM as VICE keeps it: the upper-case/graphics set,
// then the lower-case set.
constexpr uint32_t CHARGEN_BYTES = 2 * CHARSET_BYTES;
// The largest screen, in characters: a side and in all.
constexpr uint32_t MAX_SCREEN_SIDE = MAX_PICTURE_SIDE / 8;
constexpr uint32_t MAX_SCREEN_CELLS = MAX_PICTURE_PIXELS / 64;

// The glyphs a screen is drawn with.
enum class CharsetWanted : uint8_t {
    Upper,  // the C64's upper-case/graphics set
    Lower,  // the C64's lower-case set
    Own,    // the file's own, in TextScreen::glyphs
    Other,  // another machine's set the file does not carry: not drawn
};

struct TextScreen {
    uint32_t columns = 0;
    uint32_t rows = 0;
    uint8_t background = 0;
    uint8_t border = 0;
    CharsetWanted charset = CharsetWanted::Upper;
    std::string otherName;  // for Other: the set's name, as the file gives it
    // Screen codes from 128 draw character (code - 128) with its pixels
    // inverted, as a C64 program that holds only 128 glyphs draws them.
    bool reverseHigh = false;
    // Raw screen memory keeps no colours (codes alone) or no background:
    // the caller's are drawn.
    bool ownColours = true;
    bool ownBackground = true;
    std::vector<uint8_t> codes;    // columns * rows, row by row
    std::vector<uint8_t> colours;  // the same, 0 to 15
    std::vector<uint8_t> glyphs;   // CHARSET_BYTES for Own
    uint32_t screenCount = 1;      // the screens the file holds
};

// Draws `screen` with `glyphs` (CHARSET_BYTES) into a canvas of columns * 8
// by rows * 8 pixels.
void DrawTextScreen(const TextScreen& screen, const uint8_t* glyphs, const ColourCanvas& canvas);

}  // namespace tarnel

#endif  // TARNEL_CORE_FORMATS_TEXT_SCREENS_H
