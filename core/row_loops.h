// What the row loops of every instruction set share: the colour words and
// masks the plain loops draw with (the vector loops draw a layout's left
// strip with them too), the sink that turns rows of indices into pixels,
// and the choice of a family's row loop by route.
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
#ifndef TARNEL_CORE_ROW_LOOPS_H
#define TARNEL_CORE_ROW_LOOPS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/layout_sources.h"
#include "core/layouts.h"
#include "core/pixels.h"

namespace tarnel {
namespace row_loops {

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
inline constexpr ChoiceMasks<2> HIRES_MASKS = MakeHiresMasks();
inline constexpr ChoiceMasks<4> MULTICOLOUR_MASKS = MakeMulticolourMasks();

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
inline constexpr ByteWords BYTE_WORDS = MakeByteWords();

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

constexpr uint8_t Pair(uint8_t frame0, uint8_t frame1) {
    return static_cast<uint8_t>(16 * frame0 + frame1);
}

// Where the row loops put each row of indices for a picture drawn as pixels:
// a small buffer that stays in the cache, turned into pixels at once, so no
// index picture is ever made. Rows are converted eight at a time, so the
// conversion sets its tables up once per eight rows; the eight stay in the
// cache all the same. (The index picture takes rows in place: IndexSink in
// render.cpp, for the plain loops alone.)
inline constexpr uint32_t SINK_ROWS = 8;
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

// The row loop of `Loops` compiled for one fetcher's sources, or nullptr.
// `Loops` is one instruction set's row loops by kind (PlainLoops in
// render.cpp, the others in core/x86/): static function templates
// Multicolour, Hires and Interlaced, each giving the loop for a fetcher and
// sink, or nullptr where the set has no loop of that kind.
template <typename Loops, typename Sink>
constexpr RowLoopFunction<Sink> RowLoopOf(RowLoop loop, Fetcher fetcher) {
    switch (loop) {
        case RowLoop::Multicolour:
            switch (fetcher) {
                case Fetcher::FliDesigner:
                    return Loops::template Multicolour<Fetcher::FliDesigner, Sink>();
                case Fetcher::AdvancedArtStudio:
                    return Loops::template Multicolour<Fetcher::AdvancedArtStudio, Sink>();
                case Fetcher::Fli:
                    return Loops::template Multicolour<Fetcher::Fli, Sink>();
                case Fetcher::Koala:
                    return Loops::template Multicolour<Fetcher::Koala, Sink>();
                case Fetcher::FliGraph:
                    return Loops::template Multicolour<Fetcher::FliGraph, Sink>();
                case Fetcher::PaintMagic:
                    return Loops::template Multicolour<Fetcher::PaintMagic, Sink>();
                default:
                    return nullptr;
            }
        case RowLoop::Hires:
            switch (fetcher) {
                case Fetcher::HiresBitmap:
                    return Loops::template Hires<Fetcher::HiresBitmap, Sink>();
                case Fetcher::ArtStudio:
                    return Loops::template Hires<Fetcher::ArtStudio, Sink>();
                case Fetcher::Doodle:
                    return Loops::template Hires<Fetcher::Doodle, Sink>();
                case Fetcher::Afli:
                    return Loops::template Hires<Fetcher::Afli, Sink>();
                default:
                    return nullptr;
            }
        case RowLoop::Interlaced:
            switch (fetcher) {
                case Fetcher::Funpaint:
                    return Loops::template Interlaced<Fetcher::Funpaint, Sink>();
                case Fetcher::Gunpaint:
                    return Loops::template Interlaced<Fetcher::Gunpaint, Sink>();
                case Fetcher::Drazlace:
                    return Loops::template Interlaced<Fetcher::Drazlace, Sink>();
                default:
                    return nullptr;
            }
    }
    return nullptr;
}

}  // namespace row_loops
}  // namespace tarnel

#endif  // TARNEL_CORE_ROW_LOOPS_H
