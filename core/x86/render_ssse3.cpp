// The SSSE3 row loops (render.cpp holds the plain ones).
#include "core/kernels.h"

#if TARNEL_X86_KERNELS

#include <immintrin.h>

#include <cstring>

#include "core/fetchers.h"
#include "core/layout_sources.h"
#include "core/row_loops.h"

namespace tarnel {
namespace row_loops {
namespace {

// The row loops of render.cpp sixteen pixels at a time with SSSE3's byte
// shuffle, for pictures drawn as pixels. A constant table gives, per bitmap
// byte, each of its eight output pixels' colour choice (multicolour 0 to 3,
// hires 0 or 1); one register holds the colours of the choices of several
// cells side by side, and a shuffle by choice plus the cell's place in the
// register gives the pixels' colours. They give exactly the indices of the
// plain loops.

struct PixelChoices {
    uint8_t bytes[256][8];
};
constexpr PixelChoices MakeMulticolourChoices() {
    PixelChoices c{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) {
            c.bytes[b][i] = static_cast<uint8_t>((b >> MULTICOLOUR_SHIFTS[i / 2]) & 3);
        }
    }
    return c;
}
constexpr PixelChoices MakeHiresChoices() {
    PixelChoices c{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i)
            c.bytes[b][i] = static_cast<uint8_t>((b >> HIRES_SHIFTS[i]) & 1);
    }
    return c;
}
constexpr PixelChoices MULTICOLOUR_CHOICES = MakeMulticolourChoices();
constexpr PixelChoices HIRES_CHOICES = MakeHiresChoices();

// The choices of two cells' bitmap bytes, the first cell's eight pixels in
// the low half, plus `offsets` (each cell's place in the colour register).
TARNEL_TARGET_SSSE3 inline __m128i TwoCells(const PixelChoices& choices, uint8_t first,
                                            uint8_t second, __m128i offsets) {
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(choices.bytes[first]));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(choices.bytes[second]));
    return _mm_add_epi8(_mm_unpacklo_epi64(a, b), offsets);
}

TARNEL_TARGET_SSSE3 inline __m128i LoadFour(const uint8_t* bytes) {
    uint32_t four;
    std::memcpy(&four, bytes, sizeof four);
    return _mm_cvtsi32_si128(static_cast<int>(four));
}

// One row of multicolour cells: bitmap byte of cell cx at bitmap[8 cx],
// screen byte at screen[cx], colour byte at colour[cx] (or `sharedColour`
// for every cell when colour is null), choice 0 showing `background`.
TARNEL_TARGET_SSSE3 void MulticolourRowSsse3(const uint8_t* bitmap, const uint8_t* screen,
                                             const uint8_t* colour, uint8_t sharedColour,
                                             uint8_t background, uint8_t* out) {
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i choice0 = _mm_set1_epi8(static_cast<char>(background & 0x0F));
    const __m128i shared = _mm_set1_epi8(static_cast<char>(sharedColour & 0x0F));
    const __m128i cells01 = _mm_set_epi8(4, 4, 4, 4, 4, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i cells23 = _mm_set_epi8(12, 12, 12, 12, 12, 12, 12, 12, 8, 8, 8, 8, 8, 8, 8, 8);
    for (uint32_t cx = 0; cx < CELL_COLUMNS; cx += 4, out += 32) {
        // Four cells' colours: [choice 0, hi(screen), lo(screen), lo(colour)] each.
        const __m128i s = LoadFour(screen + cx);
        const __m128i hi = _mm_and_si128(_mm_srli_epi16(s, 4), low);
        const __m128i lo = _mm_and_si128(s, low);
        const __m128i c = colour != nullptr ? _mm_and_si128(LoadFour(colour + cx), low) : shared;
        const __m128i colours =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(choice0, hi), _mm_unpacklo_epi8(lo, c));
        const uint8_t* b = bitmap + cx * 8;
        const __m128i first =
            _mm_shuffle_epi8(colours, TwoCells(MULTICOLOUR_CHOICES, b[0], b[8], cells01));
        const __m128i second =
            _mm_shuffle_epi8(colours, TwoCells(MULTICOLOUR_CHOICES, b[16], b[24], cells23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), second);
    }
}

template <Fetcher kFetcher, typename Sink>
TARNEL_TARGET_SSSE3 void RenderMulticolourRowsSsse3(const uint8_t* image, uint8_t background,
                                                    Sink& sink) {
    constexpr MulticolourSources s =
        MULTICOLOUR_SOURCES[SourcesIndex(MULTICOLOUR_SOURCES, kFetcher)];
    constexpr uint32_t stripCells = s.leftStripColumns / 4;
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmap = image + s.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow =
            image + ScreenByte(s.screenBase, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow =
            s.sharedColourByte ? nullptr : image + s.colourBase + cellRow * CELL_COLUMNS;
        const uint8_t rowBackground = s.rowBackground ? image[s.rowTableBase + y] : background;
        uint8_t* out = sink.Row(y);
        MulticolourRowSsse3(bitmap, screenRow, colourRow, image[s.colourBase], rowBackground, out);
        if (stripCells != 0) {
            // The left strip's cells, drawn again by their own rules.
            const Word pair0 = LoWord(rowBackground);
            const Word strip = LoWord(image[s.screenBase]);
            const Word stripPair3 = HiWord(image[s.rowTableBase + y]);
            for (uint32_t cx = 0; cx < stripCells; ++cx) {
                Store(out + cx * 8,
                      MulticolourPixels(bitmap[cx * 8], pair0, strip, strip, stripPair3));
            }
        }
        sink.Done(y);
    }
}

template <Fetcher kFetcher, typename Sink>
TARNEL_TARGET_SSSE3 void RenderHiresRowsSsse3(const uint8_t* image, uint8_t background,
                                              Sink& sink) {
    constexpr HiresSources s = HIRES_SOURCES[SourcesIndex(HIRES_SOURCES, kFetcher)];
    const __m128i low = _mm_set1_epi8(0x0F);
    // Fixed colours: every cell shows the background where a bit is clear
    // and colour 15 where it is set.
    const __m128i fixedColours =
        _mm_unpacklo_epi8(_mm_set1_epi8(static_cast<char>(background & 0x0F)),
                          _mm_set1_epi8(static_cast<char>(HIRES_FIXED_SET_COLOUR)));
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmap = image + s.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow = s.fixedColours ? nullptr
                                                  : image + ScreenByte(s.screenBase, s.screenBanked,
                                                                       cellRow * CELL_COLUMNS, y);
        uint8_t* out = sink.Row(y);
        for (uint32_t cx = 0; cx < CELL_COLUMNS; cx += 8, out += 64) {
            // Eight cells' colours: [lo(screen), hi(screen)] each (clear, set).
            __m128i colours = fixedColours;
            if (!s.fixedColours) {
                const __m128i screen =
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(screenRow + cx));
                colours = _mm_unpacklo_epi8(_mm_and_si128(screen, low),
                                            _mm_and_si128(_mm_srli_epi16(screen, 4), low));
            }
            const uint8_t* b = bitmap + cx * 8;
            for (int pair = 0; pair < 4; ++pair) {
                const char c0 = static_cast<char>(4 * pair);
                const char c1 = static_cast<char>(4 * pair + 2);
                const __m128i offsets =
                    _mm_set_epi8(c1, c1, c1, c1, c1, c1, c1, c1, c0, c0, c0, c0, c0, c0, c0, c0);
                const __m128i pixels = _mm_shuffle_epi8(
                    colours, TwoCells(HIRES_CHOICES, b[16 * pair], b[16 * pair + 8], offsets));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * pair), pixels);
            }
        }
        sink.Done(y);
    }
}

// Both frames drawn as plain colours into two rows, frame 1 one place later
// (its row starts with a 0), then merged sixteen pixels at a time into pair
// indices; the three end columns follow the rules of the plain loop.
template <Fetcher kFetcher, typename Sink>
TARNEL_TARGET_SSSE3 void RenderInterlacedRowsSsse3(const uint8_t* image, uint8_t background,
                                                   Sink& sink) {
    constexpr InterlacedSources s = INTERLACED_SOURCES[SourcesIndex(INTERLACED_SOURCES, kFetcher)];
    constexpr FrameSources f0 = s.frames[0];
    constexpr FrameSources f1 = s.frames[1];
    alignas(16) uint8_t frame0[PICTURE_WIDTH];
    alignas(16) uint8_t frame1[PICTURE_WIDTH + 16] = {};  // frame 1's pixel u at u + 1
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmapRow = image + cellRow * CELL_ROW_BITMAP_BYTES + (y & 7);
        const uint8_t* screenRow = image + ScreenByte(0, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow = image + s.colourBase + cellRow * CELL_COLUMNS;
        MulticolourRowSsse3(bitmapRow + f0.bitmapBase, screenRow + f0.screenBase, colourRow, 0,
                            background, frame0);
        MulticolourRowSsse3(bitmapRow + f1.bitmapBase, screenRow + f1.screenBase, colourRow, 0,
                            background, frame1 + 1);
        constexpr uint32_t last = PICTURE_WIDTH - 1;
        // Pairs converted straight from the two rows: column 0 pairs frame
        // 0 with the 0 before frame 1, column 318 takes frame 1's pixel 318,
        // and column 319 shows frame 1 alone, that is paired with 0.
        const uint8_t frame0Last = frame0[last];
        const uint8_t frame1At318 = frame1[last - 1];
        frame0[last] = 0;
        frame1[last - 1] = frame1[last];
        if (sink.Pairs(y, frame0, frame1)) continue;
        frame0[last] = frame0Last;
        frame1[last - 1] = frame1At318;
        uint8_t* out = sink.Row(y);
        for (uint32_t u = 0; u < PICTURE_WIDTH; u += 16) {
            const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(frame0 + u));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame1 + u));
            // Colours are below 16: shifting 16-bit lanes moves nothing across bytes.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + u),
                             _mm_or_si128(_mm_slli_epi16(a, 4), b));
        }
        out[0] = frame0[0];  // frame 0 alone
        out[last - 1] = Pair(frame0[last - 1], frame1[last]);
        out[last] = frame1[last];  // frame 1 alone: its pixel 318
        sink.Done(y);
    }
}

struct Ssse3Loops {
    template <Fetcher F, typename Sink>
    static RowLoopFunction<Sink> Multicolour() {
        return RenderMulticolourRowsSsse3<F, Sink>;
    }
    template <Fetcher F, typename Sink>
    static RowLoopFunction<Sink> Hires() {
        return RenderHiresRowsSsse3<F, Sink>;
    }
    template <Fetcher F, typename Sink>
    static RowLoopFunction<Sink> Interlaced() {
        return RenderInterlacedRowsSsse3<F, Sink>;
    }
};

}  // namespace
}  // namespace row_loops

PixelRowLoop RowLoopSsse3(RowLoop loop, Fetcher fetcher) {
    return row_loops::RowLoopOf<row_loops::Ssse3Loops, row_loops::PixelSink>(loop, fetcher);
}

}  // namespace tarnel

#endif  // TARNEL_X86_KERNELS
