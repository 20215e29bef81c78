#include "core/fetchers.h"

namespace tarnel {

uint8_t FetchMulticolour(const MulticolourSources& s, ByteView image, uint8_t background,
                         uint32_t x, uint32_t y) {
    const uint32_t cell = MulticolourCell(x, y);
    const uint8_t bits = image[s.bitmapBase + MulticolourBitmapByte(x, y)];
    const uint32_t pair = (bits >> MULTICOLOUR_SHIFTS[x & 3]) & 3;
    if (pair == 0) return s.rowBackground ? Lo(image[s.rowTableBase + y]) : background;
    if (x < s.leftStripColumns) {
        return pair == 3 ? Hi(image[s.rowTableBase + y]) : Lo(image[s.screenBase]);
    }
    if (pair == 3) return Lo(image[s.sharedColourByte ? s.colourBase : s.colourBase + cell]);
    const uint8_t screen = image[ScreenByte(s.screenBase, s.screenBanked, cell, y)];
    return pair == 1 ? Hi(screen) : Lo(screen);
}

uint8_t FetchHires(const HiresSources& s, ByteView image, uint8_t background, uint32_t x,
                   uint32_t y) {
    const uint8_t bits = image[s.bitmapBase + HiresBitmapByte(x, y)];
    const bool set = ((bits >> HIRES_SHIFTS[x & 7]) & 1) != 0;
    if (s.fixedColours) return set ? HIRES_FIXED_SET_COLOUR : background;
    const uint8_t screen = image[ScreenByte(s.screenBase, s.screenBanked, HiresCell(x, y), y)];
    return set ? Hi(screen) : Lo(screen);
}

uint8_t FetchInterlaced(const InterlacedSources& s, ByteView image, uint8_t background, uint32_t x,
                        uint32_t y, uint8_t frame) {
    const FrameSources& f = s.frames[frame == 0 ? 0 : 1];
    const uint32_t cell = MulticolourCell(x, y);
    const uint8_t bits = image[f.bitmapBase + MulticolourBitmapByte(x, y)];
    switch ((bits >> MULTICOLOUR_SHIFTS[x & 3]) & 3) {
        case 0:
            return background;
        case 1:
            return Hi(image[ScreenByte(f.screenBase, s.screenBanked, cell, y)]);
        case 2:
            return Lo(image[ScreenByte(f.screenBase, s.screenBanked, cell, y)]);
        default:
            return Lo(image[s.colourBase + cell]);
    }
}

namespace {
template <typename Sources, size_t N>
const Sources* FindSources(const Sources (&table)[N], Fetcher fetcher) {
    for (const Sources& s : table) {
        if (s.fetcher == fetcher) return &s;
    }
    return nullptr;
}
}  // namespace

const LayoutRoute* FindLayoutRoute(FormatCode code) {
    const LayoutInfo* layout = FindLayout(code);
    return layout != nullptr ? &layout->route : nullptr;
}

const MulticolourSources* FindMulticolourSources(Fetcher fetcher) {
    return FindSources(MULTICOLOUR_SOURCES, fetcher);
}
const HiresSources* FindHiresSources(Fetcher fetcher) {
    return FindSources(HIRES_SOURCES, fetcher);
}
const InterlacedSources* FindInterlacedSources(Fetcher fetcher) {
    return FindSources(INTERLACED_SOURCES, fetcher);
}

}  // namespace tarnel
