// A small bitmap font for the sample pictures and the contact sheet: the
// printable ASCII characters, 5 pixels wide on a 9-row grid (7 rows above
// the baseline, 2 for descenders).
#ifndef TARNEL_AUTHORING_FONT_H
#define TARNEL_AUTHORING_FONT_H

#include <string>
#include <string_view>
#include <vector>

namespace tarnel_tools {

constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_HEIGHT = 9;
constexpr int GLYPH_ADVANCE = 6;  // glyph plus one column of space
constexpr int LINE_ADVANCE = 10;  // glyph plus one row of space

// Whether pixel (x, y) of the glyph of `c` is set; x in 0..4, y in 0..8.
// Characters outside printable ASCII show as a hollow box.
bool GlyphPixel(char c, int x, int y);

// Width of `text` in font pixels (no trailing space column).
int TextWidth(std::string_view text);

// Splits `text` at spaces into lines of at most `maxChars` characters; a
// word longer than that is cut.
std::vector<std::string> WrapText(std::string_view text, size_t maxChars);

}  // namespace tarnel_tools

#endif  // TARNEL_AUTHORING_FONT_H
