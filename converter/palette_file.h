// The palette given with --palette: one of the library's named palettes, or
// a palette file.
#ifndef TARNEL_CONVERTER_PALETTE_FILE_H
#define TARNEL_CONVERTER_PALETTE_FILE_H

#include <string>

namespace tarnel_converter {

// C64 colours 0 to 15 as red, green, blue.
using PaletteColours = unsigned char[16][3];

// Reads the text of a palette file. Two forms are taken, also mixed:
//   - VICE's .vpl: a colour a line as hex red, green and blue ("68 37 2B"),
//     optionally a fourth number (VICE's dithering hint, ignored), and
//     comments from "#" to the end of the line;
//   - 16 lines of "#rrggbb".
// Blank lines are skipped. Exactly 16 colours, in C64 colour order. On a
// fault returns false with "NAME:LINE: what is wrong" in `error`.
bool ParsePaletteText(const std::string& text, const std::string& name, PaletteColours colours,
                      std::string* error);

// `argument` names a palette of the library (any case) or else a palette
// file, which is read and parsed. False with the reason in `error`.
bool ResolvePalette(const std::string& argument, PaletteColours colours, std::string* error);

// The library's palette names, "tarnel, colodore, ...".
std::string PaletteNames();

}  // namespace tarnel_converter

#endif  // TARNEL_CONVERTER_PALETTE_FILE_H
