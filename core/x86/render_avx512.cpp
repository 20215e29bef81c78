// The AVX-512 row loops (render.cpp holds the plain ones).
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

// With AVX-512 (VBMI), both frames of an interlaced row sixty-four pixels
// (eight cells) at a time, straight into the row's pair indices. One load
// takes eight cells' bitmap bytes of all eight pixel rows; a multishift
// picks, for each output pixel, its bit pair out of its cell's byte of this
// pixel row; a permute by that choice plus four times the cell's place looks
// the colour up in a register of the eight cells' four colours. Frame 1's
// colours move one place later across the whole row with a two-register
// permute. The three end columns follow the rules of the plain loop, so the
// indices are exactly its indices.

struct Avx512Constants {
    uint8_t colourPlaces[64];  // per cell c: background, hi(screen c), lo(screen c), colour c
    uint8_t choiceShifts[64];  // per pixel: the bit of its pair within the pixel row's byte
    uint8_t cellOffsets[64];   // per pixel: 4 * its cell
    uint8_t oneLater[64];      // pixel p takes pixel p - 1 (pixel 63 of the previous register)
};
constexpr Avx512Constants MakeAvx512Constants() {
    Avx512Constants k{};
    for (int p = 0; p < 64; ++p) {
        const int cell = (p / 4) % 8;
        const int choice = p % 4;
        // The source register: lo(screen) 0-7, lo(colour) 8-15, hi(screen)
        // 16-23, hi(colour) 24-31, background 32 onwards.
        k.colourPlaces[p] = static_cast<uint8_t>(choice == 0   ? 32
                                                 : choice == 1 ? 16 + cell
                                                 : choice == 2 ? cell
                                                               : 8 + cell);
        k.choiceShifts[p] = MULTICOLOUR_SHIFTS[(p % 8) / 2];
        k.cellOffsets[p] = static_cast<uint8_t>(4 * (p / 8));
        k.oneLater[p] = static_cast<uint8_t>(p == 0 ? 63 : 64 + p - 1);
    }
    return k;
}
constexpr Avx512Constants AVX512_CONSTANTS = MakeAvx512Constants();

// Every byte of a register (the masked forms of the permutes, which GCC
// declares without an undefined source).
constexpr __mmask64 ALL = ~__mmask64{0};

TARNEL_TARGET_AVX512 inline __m512i Load64(const uint8_t* bytes) {
    return _mm512_loadu_si512(static_cast<const void*>(bytes));
}

// Sixty-four pixels' colours of one frame: cells `cells` of the bitmap at
// `bitmapCells` (the cell row's first byte), their screen and colour bytes.
TARNEL_TARGET_AVX512 inline __m512i FrameColours(const uint8_t* bitmapCells, const uint8_t* screen,
                                                 const uint8_t* colour, __m512i shifts,
                                                 __m512i background) {
    const __m512i low = _mm512_set1_epi8(0x0F);
    const __m128i sc =
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(screen)),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(colour)));
    const __m512i both = _mm512_inserti32x4(_mm512_zextsi128_si512(sc), _mm_srli_epi16(sc, 4), 1);
    const __m512i source =
        _mm512_mask_blend_epi8(0xFFFFFFFF00000000ull, _mm512_and_si512(both, low), background);
    const __m512i colours =
        _mm512_maskz_permutexvar_epi8(ALL, Load64(AVX512_CONSTANTS.colourPlaces), source);
    const __m512i choices = _mm512_and_si512(
        _mm512_maskz_multishift_epi64_epi8(ALL, shifts, Load64(bitmapCells)), _mm512_set1_epi8(3));
    return _mm512_maskz_permutexvar_epi8(
        ALL, _mm512_add_epi8(choices, Load64(AVX512_CONSTANTS.cellOffsets)), colours);
}

template <Fetcher kFetcher, typename Sink>
TARNEL_TARGET_AVX512 void RenderInterlacedRowsAvx512(const uint8_t* image, uint8_t background,
                                                     Sink& sink) {
    constexpr InterlacedSources s = INTERLACED_SOURCES[SourcesIndex(INTERLACED_SOURCES, kFetcher)];
    constexpr FrameSources f0 = s.frames[0];
    constexpr FrameSources f1 = s.frames[1];
    static_assert(PICTURE_WIDTH % 64 == 0, "rows are whole 64-pixel runs");
    const __m512i backgroundColour = _mm512_set1_epi8(static_cast<char>(background & 0x0F));
    const __m512i oneLater = Load64(AVX512_CONSTANTS.oneLater);
    const __m512i choiceShifts = Load64(AVX512_CONSTANTS.choiceShifts);
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmapRow = image + cellRow * CELL_ROW_BITMAP_BYTES;
        const uint8_t* screenRow = image + ScreenByte(0, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow = image + s.colourBase + cellRow * CELL_COLUMNS;
        // Byte y & 7 of each cell's eight: its bits 8 (y & 7) onwards.
        const __m512i shifts =
            _mm512_add_epi8(choiceShifts, _mm512_set1_epi8(static_cast<char>(8 * (y & 7))));
        uint8_t* out = sink.Row(y);
        __m512i before = _mm512_setzero_si512();  // frame 1's previous sixty-four pixels
        for (uint32_t cx = 0; cx < CELL_COLUMNS; cx += 8) {
            const __m512i a =
                FrameColours(bitmapRow + f0.bitmapBase + cx * 8, screenRow + f0.screenBase + cx,
                             colourRow + cx, shifts, backgroundColour);
            const __m512i b =
                FrameColours(bitmapRow + f1.bitmapBase + cx * 8, screenRow + f1.screenBase + cx,
                             colourRow + cx, shifts, backgroundColour);
            const __m512i later = _mm512_permutex2var_epi8(before, oneLater, b);
            before = b;
            // Colours are below 16: shifting 16-bit lanes moves nothing across bytes.
            const __m512i high = _mm512_slli_epi16(a, 4);
            __m512i pairs = _mm512_or_si512(high, later);
            if (cx == 0) pairs = _mm512_mask_blend_epi8(1, pairs, a);  // frame 0 alone
            if (cx + 8 == CELL_COLUMNS) {
                // Column 318 pairs both frames' pixel 318; column 319 shows
                // frame 1's pixel 318 alone.
                pairs = _mm512_mask_blend_epi8(uint64_t{1} << 62, pairs, _mm512_or_si512(high, b));
                pairs = _mm512_mask_blend_epi8(uint64_t{1} << 63, pairs, later);
            }
            _mm512_storeu_si512(static_cast<void*>(out + cx * 8), pairs);
        }
        sink.Done(y);
    }
}

// A single multicolour frame the same way, sixty-four pixels at a time;
// the left strip's cells, where the layout has one, drawn again by their own
// rules as in the SSSE3 loop (render_ssse3.cpp).
template <Fetcher kFetcher, typename Sink>
TARNEL_TARGET_AVX512 void RenderMulticolourRowsAvx512(const uint8_t* image, uint8_t background,
                                                      Sink& sink) {
    constexpr MulticolourSources s =
        MULTICOLOUR_SOURCES[SourcesIndex(MULTICOLOUR_SOURCES, kFetcher)];
    constexpr uint32_t stripCells = s.leftStripColumns / 4;
    static_assert(PICTURE_WIDTH % 64 == 0, "rows are whole 64-pixel runs");
    const __m512i choiceShifts = Load64(AVX512_CONSTANTS.choiceShifts);
    uint8_t shared[8];  // the shared colour byte for every cell of a run
    std::memset(shared, image[s.colourBase], sizeof shared);
    for (uint32_t y = 0; y < PICTURE_HEIGHT; ++y) {
        const uint32_t cellRow = y / 8;
        const uint8_t* bitmapRow = image + s.bitmapBase + cellRow * CELL_ROW_BITMAP_BYTES;
        const uint8_t* screenRow =
            image + ScreenByte(s.screenBase, s.screenBanked, cellRow * CELL_COLUMNS, y);
        const uint8_t* colourRow =
            s.sharedColourByte ? shared : image + s.colourBase + cellRow * CELL_COLUMNS;
        const uint8_t rowBackground = s.rowBackground ? image[s.rowTableBase + y] : background;
        const __m512i backgroundColour = _mm512_set1_epi8(static_cast<char>(rowBackground & 0x0F));
        const __m512i shifts =
            _mm512_add_epi8(choiceShifts, _mm512_set1_epi8(static_cast<char>(8 * (y & 7))));
        uint8_t* out = sink.Row(y);
        for (uint32_t cx = 0; cx < CELL_COLUMNS; cx += 8) {
            const __m512i pixels =
                FrameColours(bitmapRow + cx * 8, screenRow + cx,
                             colourRow + (s.sharedColourByte ? 0 : cx), shifts, backgroundColour);
            _mm512_storeu_si512(static_cast<void*>(out + cx * 8), pixels);
        }
        if (stripCells != 0) {
            const uint8_t* bitmap = bitmapRow + (y & 7);
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

// AVX-512 draws the multicolour and interlaced layouts; hires ones keep
// the SSSE3 loops.
struct Avx512Loops {
    template <Fetcher F, typename Sink>
    static RowLoopFunction<Sink> Multicolour() {
        return RenderMulticolourRowsAvx512<F, Sink>;
    }
    template <Fetcher, typename Sink>
    static RowLoopFunction<Sink> Hires() {
        return nullptr;
    }
    template <Fetcher F, typename Sink>
    static RowLoopFunction<Sink> Interlaced() {
        return RenderInterlacedRowsAvx512<F, Sink>;
    }
};

}  // namespace
}  // namespace row_loops

PixelRowLoop RowLoopAvx512(RowLoop loop, Fetcher fetcher) {
    return row_loops::RowLoopOf<row_loops::Avx512Loops, row_loops::PixelSink>(loop, fetcher);
}

}  // namespace tarnel

#endif  // TARNEL_X86_KERNELS
