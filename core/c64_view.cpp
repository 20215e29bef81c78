#include "core/c64_view.h"

#include "core/fetchers.h"
#include "core/prepare.h"
#include "core/render.h"

namespace tarnel {

namespace {

// Whether a layout's screen bytes change from line to line (FLI).
bool IsFli(const LayoutRoute& route) {
    switch (route.loop) {
        case RowLoop::Multicolour:
            return FindMulticolourSources(route.fetcher)->screenBanked;
        case RowLoop::Hires:
            return FindHiresSources(route.fetcher)->screenBanked;
        case RowLoop::Interlaced:
            return FindInterlacedSources(route.fetcher)->screenBanked;
    }
    return false;
}

bool IsDrazlace(const LayoutRoute& route) {
    return route.loop == RowLoop::Interlaced && route.fetcher == Fetcher::Drazlace;
}

// A multicolour pixel of the FLI strip: bit pair 00 keeps the line's
// background (what the stored picture shows there); the screen's nibbles
// and colour RAM show light grey.
uint8_t StripMulticolour(uint32_t bitmapBase, ByteView image, uint32_t x, uint32_t y,
                         uint8_t stored) {
    const uint8_t bits = image[bitmapBase + MulticolourBitmapByte(x, y)];
    return ((bits >> MULTICOLOUR_SHIFTS[x & 3]) & 3) == 0 ? stored : FLI_STRIP_COLOUR;
}

// One frame's row of plain colours, the strip drawn as the C64 shows it.
void FrameRow(const InterlacedSources& s, ByteView image, uint8_t background, uint32_t y,
              uint8_t frame, uint8_t* row) {
    for (uint32_t x = 0; x < PICTURE_WIDTH; ++x) {
        const uint32_t mx = x / 2;
        uint8_t colour = FetchInterlaced(s, image, background, mx, y, frame);
        if (s.screenBanked && x < FLI_STRIP_PIXELS) {
            colour = StripMulticolour(s.frames[frame].bitmapBase, image, mx, y, colour);
        }
        row[x] = colour;
    }
}

// Row y of an interlaced layout: one frame, or the pairs of both.
void InterlacedRow(const InterlacedSources& s, ByteView image, uint8_t background, uint32_t y,
                   Frame frame, bool drazlace, uint8_t* row) {
    uint8_t first[PICTURE_WIDTH];
    uint8_t second[PICTURE_WIDTH];
    FrameRow(s, image, background, y, 0, first);
    FrameRow(s, image, background, y, 1, second);
    // Drazlace's displayer moves bitmap 2 one pixel right when the flag asks:
    // its first pixel shows the background, its 321st is not shown.
    const bool shifted = drazlace && image[DRAZLACE_SHIFT_FLAG] != 0;
    if (shifted) {
        for (uint32_t x = PICTURE_WIDTH - 1; x > 0; --x) second[x] = second[x - 1];
        second[0] = background;
    }
    if (frame != Frame::Blend) {
        const uint8_t* shown = frame == Frame::First ? first : second;
        for (uint32_t x = 0; x < PICTURE_WIDTH; ++x) row[x] = shown[x];
        return;
    }
    if (drazlace) {
        for (uint32_t x = 0; x < PICTURE_WIDTH; ++x) {
            row[x] = static_cast<uint8_t>(16 * first[x] + second[x]);
        }
        return;
    }
    // The other interlaced layouts blend as stored: frame 1 one column to
    // the right, column 0 frame 0 alone, 318 the last columns of both, and
    // 319 frame 1's last column alone.
    constexpr uint32_t last = PICTURE_WIDTH - 1;
    row[0] = first[0];
    for (uint32_t x = 1; x < last - 1; ++x) {
        row[x] = static_cast<uint8_t>(16 * first[x] + second[x - 1]);
    }
    row[last - 1] = static_cast<uint8_t>(16 * first[last - 1] + second[last - 1]);
    row[last] = second[last - 1];
}

}  // namespace

bool ChangesInC64View(FormatCode code) {
    const LayoutRoute* route = FindLayoutRoute(code);
    return route != nullptr && (IsFli(*route) || IsDrazlace(*route));
}

bool DrawC64View(FormatCode code, ByteView image, const PixelTable& pixels, uint8_t* topRow,
                 ptrdiff_t stride, Frame frame) {
    const LayoutRoute* route = FindLayoutRoute(code);
    if (topRow == nullptr || route == nullptr || !ChangesInC64View(code) ||
        image.size < ImageBytes(code)) {
        return false;
    }
    const uint8_t background = BackgroundColour(code, image);
    uint8_t row[PICTURE_WIDTH];
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        switch (route->loop) {
            case RowLoop::Multicolour: {
                const MulticolourSources& s = *FindMulticolourSources(route->fetcher);
                for (uint32_t x = 0; x < PICTURE_WIDTH; ++x) {
                    const uint8_t colour = FetchMulticolour(s, image, background, x / 2, y);
                    row[x] = x < FLI_STRIP_PIXELS
                                 ? StripMulticolour(s.bitmapBase, image, x / 2, y, colour)
                                 : colour;
                }
                break;
            }
            case RowLoop::Hires: {
                // Both colours of a hires cell come from the screen byte.
                const HiresSources& s = *FindHiresSources(route->fetcher);
                for (uint32_t x = 0; x < PICTURE_WIDTH; ++x) {
                    row[x] = x < FLI_STRIP_PIXELS ? FLI_STRIP_COLOUR
                                                  : FetchHires(s, image, background, x, y);
                }
                break;
            }
            case RowLoop::Interlaced:
                InterlacedRow(*FindInterlacedSources(route->fetcher), image, background, y, frame,
                              IsDrazlace(*route), row);
                break;
        }
        ConvertPictureRow(row, pixels, topRow + static_cast<ptrdiff_t>(y) * stride);
    }
    return true;
}

bool DrawOnRequest(const OnRequestLayout& layout, ByteView image, const PixelTable& pixels,
                   uint8_t* topRow, ptrdiff_t stride, bool c64) {
    if (topRow == nullptr || image.size != layout.size) return false;
    const HiresSources& s = layout.sources;
    constexpr uint8_t background = 0;
    uint8_t row[PICTURE_WIDTH];
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        for (uint32_t x = 0; x < PICTURE_WIDTH; ++x) {
            if (y < layout.hiddenLines) {
                row[x] = background;
            } else if (c64 && s.screenBanked && x < FLI_STRIP_PIXELS) {
                row[x] = FLI_STRIP_COLOUR;
            } else {
                row[x] = FetchHires(s, image, background, x, y);
            }
        }
        ConvertPictureRow(row, pixels, topRow + static_cast<ptrdiff_t>(y) * stride);
    }
    return true;
}

}  // namespace tarnel
