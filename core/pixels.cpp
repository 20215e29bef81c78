#include "core/pixels.h"

#include <cstring>

#include "core/byte_order.h"
#include "core/cpu.h"
#include "core/kernels.h"
#include "core/layouts.h"

namespace tarnel {
namespace {

constexpr uint32_t GROUP_PIXELS = 8;
static_assert(PICTURE_WIDTH % GROUP_PIXELS == 0, "rows are whole groups");

// The three bytes of an entry in the format's order.
struct Bytes3 {
    uint8_t b[3];
};
Bytes3 EntryBytes(const ColourTable& colours, int i, PixelFormat format) {
    const bool redFirst = format == PixelFormat::Rgb24 || format == PixelFormat::Rgba32;
    return redFirst ? Bytes3{{colours.red[i], colours.green[i], colours.blue[i]}}
                    : Bytes3{{colours.blue[i], colours.green[i], colours.red[i]}};
}

// A word that, stored, holds the three bytes at bytes `offset` to offset + 2
// (those of them inside bytes 0 to 7) and zeros elsewhere.
uint64_t PlacedBytes(Bytes3 e, int offset, bool lowByteFirst) {
    if (lowByteFirst) {
        const uint64_t atZero = e.b[0] | uint64_t{e.b[1]} << 8 | uint64_t{e.b[2]} << 16;
        return offset >= 0 ? atZero << (8 * offset) : atZero >> (-8 * offset);
    }
    const uint64_t atZero =
        uint64_t{e.b[0]} << 56 | uint64_t{e.b[1]} << 48 | uint64_t{e.b[2]} << 40;
    return offset >= 0 ? atZero >> (8 * offset) : atZero << (-8 * offset);
}

// The group's eight indices, taken apart from one load.
inline void GroupIndices(const uint8_t* in, bool lowByteFirst, uint8_t i[GROUP_PIXELS]) {
    uint64_t group;
    std::memcpy(&group, in, sizeof group);
    for (uint32_t p = 0; p < GROUP_PIXELS; ++p) {
        i[p] = static_cast<uint8_t>(group >> (lowByteFirst ? 8 * p : 56 - 8 * p));
    }
}

void ConvertRow3(const uint8_t* indices, const PixelTable& table, uint8_t* out) {
    const bool lowByteFirst = LowByteFirst();
    const uint64_t* at0 = table.At(0);
    const uint64_t* at1 = table.At(1);
    const uint64_t* at2 = table.At(2);
    const uint64_t* at3 = table.At(3);
    const uint64_t* at4 = table.At(4);
    const uint64_t* at5 = table.At(5);
    const uint64_t* at6 = table.At(6);
    const uint64_t* at7 = table.At(7);
    const uint64_t* atMinus1 = table.At(-1);
    const uint64_t* atMinus2 = table.At(-2);
    for (uint32_t x = 0; x < PICTURE_WIDTH; x += GROUP_PIXELS, out += 3 * GROUP_PIXELS) {
        uint8_t i[GROUP_PIXELS];
        GroupIndices(indices + x, lowByteFirst, i);
        // Pixel p of the group starts at byte 3p: words hold bytes 0-7, 8-15, 16-23.
        const uint64_t first = at0[i[0]] | at3[i[1]] | at6[i[2]];
        const uint64_t second = atMinus2[i[2]] | at1[i[3]] | at4[i[4]] | at7[i[5]];
        const uint64_t third = atMinus1[i[5]] | at2[i[6]] | at5[i[7]];
        std::memcpy(out, &first, 8);
        std::memcpy(out + 8, &second, 8);
        std::memcpy(out + 16, &third, 8);
    }
}

void ConvertRow4(const uint8_t* indices, const PixelTable& table, uint8_t* out) {
    for (uint32_t x = 0; x < PICTURE_WIDTH; ++x, out += 4) {
        std::memcpy(out, &table.whole[indices[x]], 4);
    }
}

}  // namespace

void BuildPixelTable(const Palette& palette, bool interlaced, PixelFormat format,
                     PixelTable* table) {
    ColourTable colours{};
    BuildColourTable(interlaced, palette, &colours);
    BuildPixelTable(colours, format, table);
    table->fromPalette = true;
    table->blended = interlaced;
    for (int n = 0; n < 16; ++n) {
        // Colour n is entry n in palette mode, the pair of n with itself in blend mode.
        const Bytes3 e = EntryBytes(colours, interlaced ? 17 * n : n, format);
        for (int k = 0; k < 3; ++k) table->paletteBytes[k][n] = e.b[k];
    }
}

namespace {

// The plain variants: no vector path, so the caller converts plainly.
bool NoVectorRow(const uint8_t*, const uint8_t*, bool, const PixelTable&, uint8_t*) {
    return false;
}
bool NoVectorRows(const uint8_t*, uint32_t, const PixelTable&, uint8_t*, ptrdiff_t) {
    return false;
}

// The row converters by instruction set, widest first (core/kernels.h).
constexpr KernelVariant<VectorRowKernel> VECTOR_ROW_VARIANTS[] = {
#if TARNEL_X86_KERNELS
    {InstructionSet::Avx512, VectorRowAvx512},
    {InstructionSet::Avx2, VectorRowAvx2},
    {InstructionSet::Ssse3, VectorRowSsse3},
#endif
    {InstructionSet::Plain, NoVectorRow},
};
// Whole groups of rows, with the table set up once for all of them.
constexpr KernelVariant<VectorRowsKernel> VECTOR_ROWS_VARIANTS[] = {
#if TARNEL_X86_KERNELS
    {InstructionSet::Avx512, VectorRowsAvx512},
#endif
    {InstructionSet::Plain, NoVectorRows},
};

// Converts with the widest vector path there is; false when there is none
// for this table.
bool ConvertVectors(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                    uint8_t* out) {
    return ChooseKernel(VECTOR_ROW_VARIANTS)(a, b, pairs, table, out);
}

}  // namespace

void ConvertPictureRow(const uint8_t* indices, const PixelTable& table, uint8_t* out) {
    if (!ConvertVectors(indices, nullptr, table.blended, table, out)) {
        ConvertRow(indices, table, out);
    }
}

void ConvertPictureRows(const uint8_t* indices, uint32_t rows, const PixelTable& table,
                        uint8_t* out, ptrdiff_t stride) {
    if (ChooseKernel(VECTOR_ROWS_VARIANTS)(indices, rows, table, out, stride)) return;
    for (uint32_t row = 0; row < rows; ++row) {
        ConvertPictureRow(indices + row * PICTURE_WIDTH, table,
                          out + static_cast<ptrdiff_t>(row) * stride);
    }
}

bool ConvertPairRow(const uint8_t* first, const uint8_t* second, const PixelTable& table,
                    uint8_t* out) {
    return table.blended && ConvertVectors(first, second, false, table, out);
}

void BuildPixelTable(const ColourTable& colours, PixelFormat format, PixelTable* table) {
    const bool lowByteFirst = LowByteFirst();
    table->format = format;
    table->fromPalette = false;
    table->blended = false;
    for (int i = 0; i < 256; ++i) {
        const Bytes3 e = EntryBytes(colours, i, format);
        for (int k = PixelTable::LOWEST_PLACE; k < PixelTable::LOWEST_PLACE + PixelTable::PLACES;
             ++k) {
            table->placed[k - PixelTable::LOWEST_PLACE][i] = PlacedBytes(e, k, lowByteFirst);
        }
        for (int k = 0; k < 3; ++k) table->entryBytes[k][i] = e.b[k];
        const uint8_t pixel[4] = {e.b[0], e.b[1], e.b[2], 255};
        std::memcpy(&table->whole[i], pixel, 4);
    }
}

void ConvertRow(const uint8_t* indices, const PixelTable& table, uint8_t* out) {
    if (BytesPerPixel(table.format) == 4) {
        ConvertRow4(indices, table, out);
    } else {
        ConvertRow3(indices, table, out);
    }
}

}  // namespace tarnel
