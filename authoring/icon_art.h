// The module's icon artwork: a document page with a turned-down corner, the
// letters VIC on a teal band above a small landscape. The pixels are drawn
// from readable character rows (authoring/icon_art.cpp), so the committed icon
// file can always be rebuilt and checked byte for byte.
#ifndef TARNEL_AUTHORING_ICON_ART_H
#define TARNEL_AUTHORING_ICON_ART_H

#include <cstdint>
#include <vector>

namespace tarnel_tools {

// One image of the icon, as the icon file and the module's icon resources
// store it: a BITMAPINFOHEADER (height doubled for the mask), the palette,
// the colour rows and the transparency mask rows, both bottom row first.
struct IconImage {
    int size = 0;          // width and height in pixels
    int bitsPerPixel = 0;  // 4 (16 colours) or 8 (256 colours)
    std::vector<uint8_t> bytes;
};

// The three images in their order in the icon: 32 x 32 with 16 colours,
// 16 x 16 with 16 colours, 32 x 32 with 256 colours.
std::vector<IconImage> DrawIconImages();

// An icon (.ico) file holding `images` in the given order.
std::vector<uint8_t> BuildIconFile(const std::vector<IconImage>& images);

}  // namespace tarnel_tools

#endif  // TARNEL_AUTHORING_ICON_ART_H
