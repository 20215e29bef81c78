// The row loops. Each works a whole bitmap byte (one cell row: four
// multicolour or eight hires columns) at a time, with the layout's sources as
// compile-time constants, so there is no call and no bounds check per pixel.
// They give exactly the colours of the per-pixel fetchers in fetchers.cpp.
//
// A byte's eight output pixels are built in one 64-bit word and stored at
// once; byte k of a word, in memory order, is output pixel k. Colours enter
// as colour words: a source byte copied into all eight bytes of a word, of
// which only the low nibble of each byte counts. So the screen byte's word
// gives its low-nibble colour as it is and its high-nibble colour shifted
// right by four bits. For each bitmap byte a table holds, per colour the
// byte can show, a mask with 0x0F on the pixels that show it and 0 elsewhere;
// AND-ing each colour word with its mask and OR-ing the results gives the
// pixels. The masks never overlap and keep only low nibbles, so nothing
// spills from one pixel into another.
#include "core/render.h"

#include <cstring>

#include "core/byte_order.h"
#include "core/cpu.h"
#include "core/fetchers.h"
#include "core/layout_sources.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARNEL_RENDER_SSSE3 1
#include <immintrin.h>
#define TARNEL_SSSE3 __attribute__((target("ssse3")))
#endif

namespace tarnel {
namespace {

using Word = uint64_t;

// Per bitmap byte, one mask per colour choice, as bytes in memory order.
template <int kChoices>
struct ChoiceMasks {
    uint8_t bytes[256][kChoices][8];
};

// Hires: choice 0 where the pixel's bit is clear, 1 where it is set.
constexpr ChoiceMasks<2> MakeHiresMasks() {
    ChoiceMasks<2> masks{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) masks.bytes[b][(b >> HIRES_SHIFTS[i]) & 1][i] = 0x0F;
    }
    return masks;
}
// Multicolour: each bit pair covers two output pixels and chooses 0 to 3.
constexpr ChoiceMasks<4> MakeMulticolourMasks() {
    ChoiceMasks<4> masks{};
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 8; ++i) masks.bytes[b][(b >> MULTICOLOUR_SHIFTS[i / 2]) & 3][i] = 0x0F;
    }
    return masks;
}
constexpr ChoiceMasks<2> HIRES_MASKS = MakeHiresMasks();
constexpr ChoiceMasks<4> MULTICOLOUR_MASKS = MakeMulticolourMasks();

template <int kChoices>
inline Word Mask(const ChoiceMasks<kChoices>& masks, uint8_t bits, int choice) {
    Word word;
    std::memcpy(&word, masks.bytes[bits][choice], sizeof word);
    return word;
}

// Every byte value copied into all eight bytes of a word.
struct ByteWords {
    Word words[256];
};
constexpr ByteWords MakeByteWords() {
    ByteWords table{};
    for (int b = 0; b < 256; ++b) table.words[b] = b * 0x0101010101010101ull;
    return table;
}
constexpr ByteWords BYTE_WORDS = MakeByteWords();

// The colour word of a byte's low nibble (Lo) and of its high nibble (Hi).
inline Word LoWord(uint8_t byte) {
    return BYTE_WORDS.words[byte];
}
inline Word HiWord(uint8_t byte) {
    return BYTE_WORDS.words[byte] >> 4;
}

inline Word HiresPixels(uint8_t bits, Word clear, Word set) {
    return (Mask(HIRES_MASKS, bits, 0) & clear) | (Mask(HIRES_MASKS, bits, 1) & set);
}

// Bit pairs 0 to 3 show the colours of words c0 to c3.
inline Word MulticolourPixels(uint8_t bits, Word c0, Word c1, Word c2, Word c3) {
    return (Mask(MULTICOLOUR_MASKS, bits, 0) & c0) | (Mask(MULTICOLOUR_MASKS, bits, 1) & c1) |
           (Mask(MULTICOLOUR_MASKS, bits, 2) & c2) | (Mask(MULTICOLOUR_MASKS, bits, 3) & c3);
}

inline void Store(uint8_t* out, Word pixels) {
    std::memcpy(out, &pixels, sizeof pixels);
}

template <FormatCode kFetcher, typename Sink>
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

template <FormatCode kFetcher, typename Sink>
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

constexpr uint8_t Pair(uint8_t frame0, uint8_t frame1) {
    return static_cast<uint8_t>(16 * frame0 + frame1);
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
template <FormatCode kFetcher, typename Sink>
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

// Where the row loops put each row of indices. The index picture takes
// them in place; a pixel picture takes each row through a small buffer that
// stays in the cache and turns it into pixels at once, so no index picture
// is ever made.
struct IndexSink {
    uint8_t* pixelIndices;
    uint8_t* Row(uint32_t y) { return pixelIndices + y * PICTURE_WIDTH; }
    void Done(uint32_t) {}
};
//
// Rows are converted eight at a time, so the conversion sets its tables up
// once per eight rows; the eight stay in the cache all the same.
constexpr uint32_t SINK_ROWS = 8;
static_assert(PICTURE_HEIGHT % SINK_ROWS == 0, "the picture is whole groups of rows");
struct PixelSink {
    alignas(64) uint8_t rows[SINK_ROWS][PICTURE_WIDTH];
    const PixelTable& table;
    uint8_t* topRow;
    ptrdiff_t stride;
    uint8_t* Row(uint32_t y) { return rows[y % SINK_ROWS]; }
    void Done(uint32_t y) {
        if (y % SINK_ROWS != SINK_ROWS - 1) return;
        const uint32_t first = y + 1 - SINK_ROWS;
        ConvertPictureRows(rows[0], SINK_ROWS, table,
                           topRow + static_cast<ptrdiff_t>(first) * stride, stride);
    }
    // Row y as pairs of two rows of colours, where the table can take them so.
    bool Pairs(uint32_t y, const uint8_t* first, const uint8_t* second) {
        return ConvertPairRow(first, second, table, topRow + static_cast<ptrdiff_t>(y) * stride);
    }
};

template <typename Sink>
using RowLoopFunction = void (*)(const uint8_t*, uint8_t, Sink&);

// The row loops of one way of drawing, by kind: the plain loops below, and
// (further down) the SSSE3 and AVX-512 ones. A kind a way has no loops for
// gives nullptr.
struct PlainLoops {
    template <FormatCode F, typename Sink>
    static constexpr RowLoopFunction<Sink> Multicolour() {
        return RenderMulticolourRows<F, Sink>;
    }
    template <FormatCode F, typename Sink>
    static constexpr RowLoopFunction<Sink> Hires() {
        return RenderHiresRows<F, Sink>;
    }
    template <FormatCode F, typename Sink>
    static constexpr RowLoopFunction<Sink> Interlaced() {
        return RenderInterlacedRows<F, Sink>;
    }
};

// The row loop of `Loops` compiled for one fetcher's sources, or nullptr.
template <typename Loops, typename Sink>
constexpr RowLoopFunction<Sink> RowLoopOf(RowLoop loop, FormatCode fetcher) {
    switch (loop) {
        case RowLoop::Multicolour:
            switch (fetcher) {
                case 4:
                    return Loops::template Multicolour<4, Sink>();
                case 5:
                    return Loops::template Multicolour<5, Sink>();
                case 8:
                    return Loops::template Multicolour<8, Sink>();
                case 9:
                    return Loops::template Multicolour<9, Sink>();
                case 13:
                    return Loops::template Multicolour<13, Sink>();
                case 18:
                    return Loops::template Multicolour<18, Sink>();
                default:
                    return nullptr;
            }
        case RowLoop::Hires:
            switch (fetcher) {
                case 12:
                    return Loops::template Hires<12, Sink>();
                case 15:
                    return Loops::template Hires<15, Sink>();
                case 16:
                    return Loops::template Hires<16, Sink>();
                case 17:
                    return Loops::template Hires<17, Sink>();
                default:
                    return nullptr;
            }
        case RowLoop::Interlaced:
            switch (fetcher) {
                case 1:
                    return Loops::template Interlaced<1, Sink>();
                case 3:
                    return Loops::template Interlaced<3, Sink>();
                case 6:
                    return Loops::template Interlaced<6, Sink>();
                default:
                    return nullptr;
            }
    }
    return nullptr;
}

#if TARNEL_RENDER_SSSE3

// The same row loops sixteen pixels at a time with SSSE3's byte shuffle, for
// pictures drawn as pixels. A constant table gives, per bitmap byte, each of
// its eight output pixels' colour choice (multicolour 0 to 3, hires 0 or 1);
// one register holds the colours of the choices of several cells side by
// side, and a shuffle by choice plus the cell's place in the register gives
// the pixels' colours. They give exactly the indices of the loops above.

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
TARNEL_SSSE3 inline __m128i TwoCells(const PixelChoices& choices, uint8_t first, uint8_t second,
                                     __m128i offsets) {
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(choices.bytes[first]));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(choices.bytes[second]));
    return _mm_add_epi8(_mm_unpacklo_epi64(a, b), offsets);
}

TARNEL_SSSE3 inline __m128i LoadFour(const uint8_t* bytes) {
    uint32_t four;
    std::memcpy(&four, bytes, sizeof four);
    return _mm_cvtsi32_si128(static_cast<int>(four));
}

// One row of multicolour cells: bitmap byte of cell cx at bitmap[8 cx],
// screen byte at screen[cx], colour byte at colour[cx] (or `sharedColour`
// for every cell when colour is null), choice 0 showing `background`.
TARNEL_SSSE3 void MulticolourRowSsse3(const uint8_t* bitmap, const uint8_t* screen,
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

template <FormatCode kFetcher, typename Sink>
TARNEL_SSSE3 void RenderMulticolourRowsSsse3(const uint8_t* image, uint8_t background, Sink& sink) {
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

template <FormatCode kFetcher, typename Sink>
TARNEL_SSSE3 void RenderHiresRowsSsse3(const uint8_t* image, uint8_t background, Sink& sink) {
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
// indices; the three end columns follow their rules as above.
template <FormatCode kFetcher, typename Sink>
TARNEL_SSSE3 void RenderInterlacedRowsSsse3(const uint8_t* image, uint8_t background, Sink& sink) {
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
    template <FormatCode F, typename Sink>
    static RowLoopFunction<Sink> Multicolour() {
        return RenderMulticolourRowsSsse3<F, Sink>;
    }
    template <FormatCode F, typename Sink>
    static RowLoopFunction<Sink> Hires() {
        return RenderHiresRowsSsse3<F, Sink>;
    }
    template <FormatCode F, typename Sink>
    static RowLoopFunction<Sink> Interlaced() {
        return RenderInterlacedRowsSsse3<F, Sink>;
    }
};

// With AVX-512 (VBMI), both frames of an interlaced row sixty-four pixels
// (eight cells) at a time, straight into the row's pair indices. One load
// takes eight cells' bitmap bytes of all eight pixel rows; a multishift
// picks, for each output pixel, its bit pair out of its cell's byte of this
// pixel row; a permute by that choice plus four times the cell's place looks
// the colour up in a register of the eight cells' four colours. Frame 1's
// colours move one place later across the whole row with a two-register
// permute. The three end columns follow the rules of the plain loop, so the
// indices are exactly its indices.
#define TARNEL_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

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

TARNEL_AVX512 inline __m512i Load64(const uint8_t* bytes) {
    return _mm512_loadu_si512(static_cast<const void*>(bytes));
}

// Sixty-four pixels' colours of one frame: cells `cells` of the bitmap at
// `bitmapCells` (the cell row's first byte), their screen and colour bytes.
TARNEL_AVX512 inline __m512i FrameColours(const uint8_t* bitmapCells, const uint8_t* screen,
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

template <FormatCode kFetcher, typename Sink>
TARNEL_AVX512 void RenderInterlacedRowsAvx512(const uint8_t* image, uint8_t background,
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
// rules as in the SSSE3 loop.
template <FormatCode kFetcher, typename Sink>
TARNEL_AVX512 void RenderMulticolourRowsAvx512(const uint8_t* image, uint8_t background,
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
    template <FormatCode F, typename Sink>
    static RowLoopFunction<Sink> Multicolour() {
        return RenderMulticolourRowsAvx512<F, Sink>;
    }
    template <FormatCode, typename Sink>
    static RowLoopFunction<Sink> Hires() {
        return nullptr;
    }
    template <FormatCode F, typename Sink>
    static RowLoopFunction<Sink> Interlaced() {
        return RenderInterlacedRowsAvx512<F, Sink>;
    }
};

#undef TARNEL_AVX512

#endif  // TARNEL_RENDER_SSSE3

constexpr bool EveryRouteHasARowLoop() {
    for (const LayoutInfo& layout : LAYOUTS) {
        const LayoutRoute& route = layout.route;
        if (RowLoopOf<PlainLoops, IndexSink>(route.loop, route.fetcher) == nullptr) return false;
    }
    return true;
}
static_assert(EveryRouteHasARowLoop(), "every layout route names a compiled row loop");

}  // namespace

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
    IndexSink sink{pixelIndices};
    RowLoopOf<PlainLoops, IndexSink>(route->loop, route->fetcher)(image.data, background, sink);
}

bool RenderPicture(FormatCode code, ByteView image, uint8_t background, const PixelTable& table,
                   uint8_t* topRow, ptrdiff_t stride) {
    if (topRow == nullptr) return false;
    const LayoutRoute* route = FindLayoutRoute(code);
    if (route == nullptr || image.size < CODE_BYTES.route[code]) return false;
    PixelSink sink{{}, table, topRow, stride};
    const KernelVariant<RowLoopFunction<PixelSink>> variants[] = {
#if TARNEL_RENDER_SSSE3
        {InstructionSet::Avx512, RowLoopOf<Avx512Loops, PixelSink>(route->loop, route->fetcher)},
        {InstructionSet::Ssse3, RowLoopOf<Ssse3Loops, PixelSink>(route->loop, route->fetcher)},
#endif
        {InstructionSet::Plain, RowLoopOf<PlainLoops, PixelSink>(route->loop, route->fetcher)},
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
    PixelSink sink{{}, table, topRow, stride};
    RenderInterlacedFrameRows(*sources, frame, image.data, background, sink);
    return true;
}

}  // namespace tarnel
