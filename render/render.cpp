// The row loops. Each works a whole bitmap byte (one cell row: four
// multicolour or eight hires columns) at a time, with the layout's sources as
// compile-time constants, so there is no call and no bounds check per pixel.
// They give exactly the colours of the per-pixel fetchers in fetchers.cpp.
#include "render/render.h"

#include <cstring>

#include "render/fetchers.h"
#include "render/layout_sources.h"

namespace tarnel {
namespace {

// For each bitmap byte, the eight hires pixels as an 8-byte mask, 0xFF where
// the bit is set, leftmost pixel first in memory.
struct HiresMasks {
    uint8_t bytes[256][8];
};
constexpr HiresMasks MakeHiresMasks() {
    HiresMasks masks{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) masks.bytes[b][i] = ((b >> HIRES_SHIFTS[i]) & 1) ? 0xFF : 0x00;
    }
    return masks;
}
constexpr HiresMasks HIRES_MASKS = MakeHiresMasks();
constexpr uint64_t EVERY_BYTE = 0x0101010101010101ull;

// The four colours of one cell on one row, by bit pair.
template <FormatCode kFetcher>
inline void MulticolourCellColours(const uint8_t* image, uint8_t pair0, uint32_t cellColumn,
                                   uint32_t y, const uint8_t* screenRow, const uint8_t* colourRow,
                                   uint8_t colours[4]) {
    constexpr MulticolourSources s =
        MULTICOLOUR_SOURCES[SourcesIndex(MULTICOLOUR_SOURCES, kFetcher)];
    static_assert(s.leftStripColumns % 4 == 0, "the left strip covers whole cells");
    colours[0] = pair0;
    if (s.leftStripColumns != 0 && cellColumn < s.leftStripColumns / 4) {
        colours[1] = colours[2] = Lo(image[s.screenBase]);
        colours[3] = Hi(image[s.rowTableBase + y]);
        return;
    }
    colours[1] = Hi(screenRow[cellColumn]);
    colours[2] = Lo(screenRow[cellColumn]);
    colours[3] = Lo(s.sharedColourByte ? image[s.colourBase] : colourRow[cellColumn]);
}

// Four multicolour columns of one bitmap byte, as indices.
inline void ExpandMulticolourByte(uint8_t bits, const uint8_t colours[4], uint8_t out[4]) {
    out[0] = colours[bits >> 6];
    out[1] = colours[(bits >> 4) & 3];
    out[2] = colours[(bits >> 2) & 3];
    out[3] = colours[bits & 3];
}

template <FormatCode kFetcher>
void RenderMulticolourRows(const uint8_t* image, uint8_t background, uint8_t* pixelIndices) {
    constexpr MulticolourSources s =
        MULTICOLOUR_SOURCES[SourcesIndex(MULTICOLOUR_SOURCES, kFetcher)];
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmap = image + s.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow =
            image + ScreenByte(s.screenBase, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow = image + s.colourBase + cellRow * CELL_COLUMNS;
        const uint8_t pair0 = s.rowBackground ? Lo(image[s.rowTableBase + y]) : background;
        uint8_t* out = pixelIndices + y * PICTURE_WIDTH;
        for (uint32_t cx = 0; cx < CELL_COLUMNS; ++cx) {
            uint8_t colours[4];
            MulticolourCellColours<kFetcher>(image, pair0, cx, y, screenRow, colourRow, colours);
            uint8_t columns[4];
            ExpandMulticolourByte(bitmap[cx * 8], colours, columns);
            // Each multicolour column is two equal output pixels.
            const uint8_t doubled[8] = {columns[0], columns[0], columns[1], columns[1],
                                        columns[2], columns[2], columns[3], columns[3]};
            std::memcpy(out + cx * 8, doubled, 8);
        }
    }
}

template <FormatCode kFetcher>
void RenderHiresRows(const uint8_t* image, uint8_t background, uint8_t* pixelIndices) {
    constexpr HiresSources s = HIRES_SOURCES[SourcesIndex(HIRES_SOURCES, kFetcher)];
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmap = image + s.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow = s.fixedColours ? nullptr
                                                  : image + ScreenByte(s.screenBase, s.screenBanked,
                                                                       cellRow * CELL_COLUMNS, y);
        uint8_t* out = pixelIndices + y * PICTURE_WIDTH;
        for (uint32_t cx = 0; cx < CELL_COLUMNS; ++cx) {
            uint8_t set = HIRES_FIXED_SET_COLOUR;
            uint8_t clear = background;
            if (!s.fixedColours) {
                set = Hi(screenRow[cx]);
                clear = Lo(screenRow[cx]);
            }
            uint64_t mask;
            std::memcpy(&mask, HIRES_MASKS.bytes[bitmap[cx * 8]], 8);
            const uint64_t pixels = (mask & (set * EVERY_BYTE)) | (~mask & (clear * EVERY_BYTE));
            std::memcpy(out + cx * 8, &pixels, 8);
        }
    }
}

// One row of one interlaced frame: 160 colours.
template <FormatCode kFetcher>
inline void RenderFrameRow(const uint8_t* image, uint8_t background, uint32_t y, int frame,
                           uint8_t colours[MULTICOLOUR_COLUMNS]) {
    constexpr InterlacedSources s = INTERLACED_SOURCES[SourcesIndex(INTERLACED_SOURCES, kFetcher)];
    const FrameSources f = s.frames[frame];
    const uint32_t cellRow = y / 8;
    const uint8_t* bitmap = image + f.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
    const uint8_t* screenRow =
        image + ScreenByte(f.screenBase, s.screenBanked, cellRow * CELL_COLUMNS, y);
    const uint8_t* colourRow = image + s.colourBase + cellRow * CELL_COLUMNS;
    for (uint32_t cx = 0; cx < CELL_COLUMNS; ++cx) {
        const uint8_t cell[4] = {background, Hi(screenRow[cx]), Lo(screenRow[cx]),
                                 Lo(colourRow[cx])};
        ExpandMulticolourByte(bitmap[cx * 8], cell, colours + cx * 4);
    }
}

constexpr uint8_t Pair(uint8_t frame0, uint8_t frame1) {
    return static_cast<uint8_t>(16 * frame0 + frame1);
}

// The blended merge: frame 1 lies one output column to the right of frame 0.
// Column 0 shows frame 0 alone and column 319 frame 1 alone, as plain indices.
template <FormatCode kFetcher>
void RenderInterlacedRows(const uint8_t* image, uint8_t background, uint8_t* pixelIndices) {
    constexpr uint32_t last = MULTICOLOUR_COLUMNS - 1;
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        uint8_t c0[MULTICOLOUR_COLUMNS];
        uint8_t c1[MULTICOLOUR_COLUMNS];
        RenderFrameRow<kFetcher>(image, background, y, 0, c0);
        RenderFrameRow<kFetcher>(image, background, y, 1, c1);
        uint8_t* out = pixelIndices + y * PICTURE_WIDTH;
        out[0] = c0[0];
        out[1] = Pair(c0[0], c1[0]);
        for (uint32_t x = 1; x < last; ++x) {
            out[2 * x] = Pair(c0[x], c1[x - 1]);
            out[2 * x + 1] = Pair(c0[x], c1[x]);
        }
        out[2 * last] = Pair(c0[last], c1[last]);
        out[2 * last + 1] = c1[last];
    }
}

using RowLoopFunction = void (*)(const uint8_t*, uint8_t, uint8_t*);

struct RenderEntry {
    FormatCode code;
    RowLoopFunction loop;
};

// Which row loop, with which layout's sources, draws each code. Packed codes
// draw their unpacked image with the loop of the layout they unpack to.
// clang-format off
constexpr RenderEntry RENDER_TABLE[] = {
    { 1, RenderInterlacedRows<1>},   // unpacked as code 2
    { 2, RenderInterlacedRows<1>},
    { 3, RenderInterlacedRows<3>},
    { 4, RenderMulticolourRows<4>},
    { 5, RenderMulticolourRows<5>},
    { 6, RenderInterlacedRows<6>},
    { 7, RenderInterlacedRows<6>},   // unpacked as code 6
    { 8, RenderMulticolourRows<8>},
    { 9, RenderMulticolourRows<9>},
    {11, RenderMulticolourRows<9>},  // unpacked as code 20
    {12, RenderHiresRows<12>},
    {13, RenderMulticolourRows<13>},
    {14, RenderMulticolourRows<13>},  // unpacked as code 13
    {15, RenderHiresRows<15>},
    {16, RenderHiresRows<16>},
    {17, RenderHiresRows<17>},
    {18, RenderMulticolourRows<18>},
    {19, RenderMulticolourRows<9>},  // unpacked as code 20
    {20, RenderMulticolourRows<9>},
    {21, RenderHiresRows<16>},
};
// clang-format on

}  // namespace

void RenderFrame(FormatCode code, ByteView image, uint8_t background, uint8_t* pixelIndices) {
    if (image.size < FILE_BUFFER_BYTES || pixelIndices == nullptr) return;
    for (const RenderEntry& entry : RENDER_TABLE) {
        if (entry.code == code) {
            entry.loop(image.data, background, pixelIndices);
            return;
        }
    }
}

}  // namespace tarnel
