// The row loops. Each works a whole bitmap byte (one cell row: four
// multicolour or eight hires columns) at a time, with the layout's sources as
// compile-time constants, so there is no call and no bounds check per pixel.
// They give exactly the colours of the per-pixel fetchers in fetchers.cpp.
//
// The SSSE3 and AVX-512 loops, for pictures drawn as pixels, are in
// core/x86/; what all of them share is in row_loops.h.
#include "core/render.h"

#include <cstring>

#include "core/byte_order.h"
#include "core/cpu.h"
#include "core/fetchers.h"
#include "core/kernels.h"
#include "core/layout_sources.h"
#include "core/row_loops.h"

namespace tarnel {
namespace row_loops {
namespace {

template <Fetcher kFetcher, typename Sink>
void RenderMulticolourRows(const uint8_t* image, uint8_t background, Sink& sink) {
    constexpr MulticolourSources s =
        MULTICOLOUR_SOURCES[SourcesIndex(MULTICOLOUR_SOURCES, kFetcher)];
    static_assert(s.leftStripColumns % 4 == 0, "the left strip covers whole cells");
    constexpr uint32_t stripCells = s.leftStripColumns / 4;
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmap = image + s.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow =
            image + ScreenByte(s.screenBase, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow = image + s.colourBase + cellRow * CELL_COLUMNS;
        const Word pair0 = s.rowBackground ? LoWord(image[s.rowTableBase + y]) : LoWord(background);
        uint8_t* out = sink.Row(y);
        uint32_t cx = 0;
        if (stripCells != 0) {
            const Word strip = LoWord(image[s.screenBase]);
            const Word stripPair3 = HiWord(image[s.rowTableBase + y]);
            for (; cx < stripCells; ++cx) {
                Store(out + cx * 8,
                      MulticolourPixels(bitmap[cx * 8], pair0, strip, strip, stripPair3));
            }
        }
        for (; cx < CELL_COLUMNS; ++cx) {
            const uint8_t screen = screenRow[cx];
            const uint8_t colour = s.sharedColourByte ? image[s.colourBase] : colourRow[cx];
            Store(out + cx * 8, MulticolourPixels(bitmap[cx * 8], pair0, HiWord(screen),
                                                  LoWord(screen), LoWord(colour)));
        }
        sink.Done(y);
    }
}

template <Fetcher kFetcher, typename Sink>
void RenderHiresRows(const uint8_t* image, uint8_t background, Sink& sink) {
    constexpr HiresSources s = HIRES_SOURCES[SourcesIndex(HIRES_SOURCES, kFetcher)];
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmap = image + s.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        uint8_t* out = sink.Row(y);
        if (s.fixedColours) {
            const Word clear = LoWord(background);
            const Word set = LoWord(HIRES_FIXED_SET_COLOUR);
            for (uint32_t cx = 0; cx < CELL_COLUMNS; ++cx) {
                Store(out + cx * 8, HiresPixels(bitmap[cx * 8], clear, set));
            }
            sink.Done(y);
            continue;
        }
        const uint8_t* screenRow =
            image + ScreenByte(s.screenBase, s.screenBanked, cellRow * CELL_COLUMNS, y);
        for (uint32_t cx = 0; cx < CELL_COLUMNS; ++cx) {
            const uint8_t screen = screenRow[cx];
            Store(out + cx * 8, HiresPixels(bitmap[cx * 8], LoWord(screen), HiWord(screen)));
        }
        sink.Done(y);
    }
}
// `word` with every byte moved one place later in memory, the first place
// taking the last byte of `before` (the word stored just before it).
inline Word OneByteLater(Word word, Word before, bool lowByteFirst) {
    return lowByteFirst ? word << 8 | before >> 56 : word >> 8 | before << 56;
}

// The blended merge: frame 1 lies one output column to the right of frame 0.
// Both frames are drawn cell by cell together, each multicolour column
// doubled: the frame-0 colours go to the high nibbles (colour words shifted
// left by four bits) and the frame-1 colours, moved one pixel later, to the
// low nibbles, so output column u pairs frame 0's pixel u with frame 1's
// pixel u - 1. The ends of the row follow other rules: column 0 shows frame
// 0 alone and column 319 frame 1 alone, as plain indices, and column 318
// pairs the last columns of both frames.
template <Fetcher kFetcher, typename Sink>
void RenderInterlacedRows(const uint8_t* image, uint8_t background, Sink& sink) {
    constexpr InterlacedSources s = INTERLACED_SOURCES[SourcesIndex(INTERLACED_SOURCES, kFetcher)];
    constexpr FrameSources f0 = s.frames[0];
    constexpr FrameSources f1 = s.frames[1];
    const bool lowByteFirst = LowByteFirst();
    const Word pair0 = LoWord(background);
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        // The row's bitmap bytes, screen bytes and colour bytes, each array
        // read at its layout's constant base.
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmapRow = image + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow = image + ScreenByte(0, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow = image + cellRow * CELL_COLUMNS;
        uint8_t* out = sink.Row(y);
        Word before = 0;  // frame 1's pixels of the previous cell
        for (uint32_t cx = 0; cx < CELL_COLUMNS; ++cx) {
            const Word colour = LoWord(colourRow[s.colourBase + cx]);
            const uint8_t screen0 = screenRow[f0.screenBase + cx];
            const uint8_t screen1 = screenRow[f1.screenBase + cx];
            const Word pixels0 = MulticolourPixels(bitmapRow[f0.bitmapBase + cx * 8], pair0,
                                                   HiWord(screen0), LoWord(screen0), colour);
            const Word pixels1 = MulticolourPixels(bitmapRow[f1.bitmapBase + cx * 8], pair0,
                                                   HiWord(screen1), LoWord(screen1), colour);
            Store(out + cx * 8, pixels0 << 4 | OneByteLater(pixels1, before, lowByteFirst));
            before = pixels1;
        }
        constexpr uint32_t last = PICTURE_WIDTH - 1;
        out[0] = static_cast<uint8_t>(out[0] >> 4);  // frame 0 alone (nothing came before it)
        out[last - 1] = Pair(Hi(out[last - 1]), Lo(out[last]));
        out[last] = Lo(out[last]);
        sink.Done(y);
    }
}

// One frame of the same layouts alone, as plain colours: the frame's cells
// drawn as a single multicolour frame, at their own place. Seldom asked
// for, so it reads its sources at run time rather than compiling a loop for
// each fetcher.
template <typename Sink>
void RenderInterlacedFrameRows(const InterlacedSources& s, int frame, const uint8_t* image,
                               uint8_t background, Sink& sink) {
    const FrameSources& f = s.frames[frame];
    const Word pair0 = LoWord(background);
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmapRow = image + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow = image + ScreenByte(0, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow = image + cellRow * CELL_COLUMNS;
        uint8_t* out = sink.Row(y);
        for (uint32_t cx = 0; cx < CELL_COLUMNS; ++cx) {
            const uint8_t screen = screenRow[f.screenBase + cx];
            Store(out + cx * 8,
                  MulticolourPixels(bitmapRow[f.bitmapBase + cx * 8], pair0, HiWord(screen),
                                    LoWord(screen), LoWord(colourRow[s.colourBase + cx])));
        }
        sink.Done(y);
    }
}

// Where the plain row loops put each row of indices for the index picture:
// in place. (PixelSink in row_loops.h takes them for a picture drawn as
// pixels.)
struct IndexSink {
    uint8_t* pixelIndices;
    uint8_t* Row(uint32_t y) { return pixelIndices + y * PICTURE_WIDTH; }
    void Done(uint32_t) {}
};

// The plain row loops by kind (see RowLoopOf).
struct PlainLoops {
    template <Fetcher F, typename Sink>
    static constexpr RowLoopFunction<Sink> Multicolour() {
        return RenderMulticolourRows<F, Sink>;
    }
    template <Fetcher F, typename Sink>
    static constexpr RowLoopFunction<Sink> Hires() {
        return RenderHiresRows<F, Sink>;
    }
    template <Fetcher F, typename Sink>
    static constexpr RowLoopFunction<Sink> Interlaced() {
        return RenderInterlacedRows<F, Sink>;
    }
};

constexpr bool EveryRouteHasARowLoop() {
    for (const LayoutInfo& layout : LAYOUTS) {
        const LayoutRoute& route = layout.route;
        if (RowLoopOf<PlainLoops, IndexSink>(route.loop, route.fetcher) == nullptr) return false;
    }
    return true;
}
static_assert(EveryRouteHasARowLoop(), "every layout route names a compiled row loop");

}  // namespace
}  // namespace row_loops

namespace {

// Per code, worked out at compile time: what its row loop reads, and that
// with its background byte.
struct CodeBytes {
    uint32_t route[256];
    uint32_t image[256];
};
constexpr CodeBytes MakeCodeBytes() {
    CodeBytes bytes{};
    for (const LayoutInfo& layout : LAYOUTS) {
        const uint32_t route = RouteImageBytes(layout.route);
        const uint32_t background =
            layout.preparation.backgroundFromImage ? layout.preparation.backgroundOffset + 1 : 0;
        bytes.route[layout.code] = route;
        bytes.image[layout.code] = route > background ? route : background;
    }
    return bytes;
}
constexpr CodeBytes CODE_BYTES = MakeCodeBytes();

}  // namespace

uint32_t ImageBytes(FormatCode code) {
    return CODE_BYTES.image[code];
}

void RenderFrame(FormatCode code, ByteView image, uint8_t background, uint8_t* pixelIndices) {
    if (pixelIndices == nullptr) return;
    const LayoutRoute* route = FindLayoutRoute(code);
    if (route == nullptr || image.size < CODE_BYTES.route[code]) return;
    row_loops::IndexSink sink{pixelIndices};
    row_loops::RowLoopOf<row_loops::PlainLoops, row_loops::IndexSink>(route->loop, route->fetcher)(
        image.data, background, sink);
}

bool RenderPicture(FormatCode code, ByteView image, uint8_t background, const PixelTable& table,
                   uint8_t* topRow, ptrdiff_t stride) {
    if (topRow == nullptr) return false;
    const LayoutRoute* route = FindLayoutRoute(code);
    if (route == nullptr || image.size < CODE_BYTES.route[code]) return false;
    row_loops::PixelSink sink{{}, table, topRow, stride};
    // The row loops by instruction set, widest first (core/kernels.h).
    const KernelVariant<PixelRowLoop> variants[] = {
#if TARNEL_X86_KERNELS
        {InstructionSet::Avx512, RowLoopAvx512(route->loop, route->fetcher)},
        {InstructionSet::Ssse3, RowLoopSsse3(route->loop, route->fetcher)},
#endif
        {InstructionSet::Plain, row_loops::RowLoopOf<row_loops::PlainLoops, row_loops::PixelSink>(
                                    route->loop, route->fetcher)},
    };
    ChooseKernel(variants)(image.data, background, sink);
    return true;
}

bool RenderInterlacedFrame(FormatCode code, int frame, ByteView image, uint8_t background,
                           const PixelTable& table, uint8_t* topRow, ptrdiff_t stride) {
    if (topRow == nullptr || (frame != 0 && frame != 1)) return false;
    const LayoutRoute* route = FindLayoutRoute(code);
    if (route == nullptr || route->loop != RowLoop::Interlaced ||
        image.size < RouteImageBytes(*route)) {
        return false;
    }
    const InterlacedSources* sources = FindInterlacedSources(route->fetcher);
    if (sources == nullptr) return false;
    row_loops::PixelSink sink{{}, table, topRow, stride};
    row_loops::RenderInterlacedFrameRows(*sources, frame, image.data, background, sink);
    return true;
}

}  // namespace tarnel
