#include "core/pixels.h"

#include <cstring>

#include "core/byte_order.h"
#include "core/cpu.h"
#include "core/layouts.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARNEL_PIXELS_SSSE3 1
#include <immintrin.h>
#endif

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

#if TARNEL_PIXELS_SSSE3

// Sixteen pixels at a time with SSSE3's byte shuffle: the sixteen colours'
// bytes fit one register per byte place, so a shuffle by the indices looks
// sixteen pixels' byte up at once; pairs look both colours up and average
// them. Three shuffles per output register then interleave the three byte
// places into pixels.
__attribute__((target("ssse3"))) inline __m128i AverageRoundedDown(__m128i x, __m128i y) {
    // pavgb rounds up: take back the half where the sum is odd.
    const __m128i odd = _mm_and_si128(_mm_xor_si128(x, y), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(x, y), odd);
}

// Shuffle masks placing byte place k of sixteen pixels into output register
// r (bytes 16r to 16r + 15 of the 48): pixel p's byte k goes to 3p + k.
struct InterleaveMasks {
    uint8_t mask[3][3][16];  // [register][byte place][byte]
};
constexpr InterleaveMasks MakeInterleaveMasks() {
    InterleaveMasks m{};
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 16; ++j) {
                const int q = 16 * r + j;
                m.mask[r][k][j] = q % 3 == k ? static_cast<uint8_t>(q / 3) : 0x80;
            }
        }
    }
    return m;
}
constexpr InterleaveMasks INTERLEAVE = MakeInterleaveMasks();

// Pixel u shows colour a[u] (b null), or the blend of a[u] and b[u]; with
// `pairs`, a holds pair indices 16 * first + second instead.
__attribute__((target("ssse3"))) void ConvertRow3Ssse3(const uint8_t* a, const uint8_t* b,
                                                       bool pairs, const PixelTable& table,
                                                       uint8_t* out) {
    __m128i place[3];
    __m128i masks[3][3];
    for (int k = 0; k < 3; ++k) {
        place[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.paletteBytes[k]));
        for (int r = 0; r < 3; ++r) {
            masks[r][k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(INTERLEAVE.mask[r][k]));
        }
    }
    const __m128i low = _mm_set1_epi8(0x0F);
    for (uint32_t x = 0; x < PICTURE_WIDTH; x += 16, out += 48) {
        __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
        __m128i second = first;
        if (pairs) {
            second = _mm_and_si128(first, low);
            first = _mm_and_si128(_mm_srli_epi16(first, 4), low);
        } else if (b != nullptr) {
            second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        }
        __m128i bytes[3];
        for (int k = 0; k < 3; ++k) {
            bytes[k] = _mm_shuffle_epi8(place[k], first);
            if (pairs || b != nullptr) {
                bytes[k] = AverageRoundedDown(bytes[k], _mm_shuffle_epi8(place[k], second));
            }
        }
        for (int r = 0; r < 3; ++r) {
            const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(bytes[0], masks[r][0]),
                                                        _mm_shuffle_epi8(bytes[1], masks[r][1])),
                                           _mm_shuffle_epi8(bytes[2], masks[r][2]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * r), v);
        }
    }
}

// The same with AVX2, thirty-two pixels at a time: each 128-bit half of a
// register does what the SSSE3 loop does for sixteen pixels.
__attribute__((target("avx2"))) inline __m256i AverageRoundedDown(__m256i x, __m256i y) {
    const __m256i odd = _mm256_and_si256(_mm256_xor_si256(x, y), _mm256_set1_epi8(1));
    return _mm256_sub_epi8(_mm256_avg_epu8(x, y), odd);
}

__attribute__((target("avx2"))) void ConvertRow3Avx2(const uint8_t* a, const uint8_t* b, bool pairs,
                                                     const PixelTable& table, uint8_t* out) {
    static_assert(PICTURE_WIDTH % 32 == 0, "rows are whole 32-pixel runs");
    __m256i place[3];
    __m256i masks[3][3];
    for (int k = 0; k < 3; ++k) {
        place[k] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.paletteBytes[k])));
        for (int r = 0; r < 3; ++r) {
            masks[r][k] = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(INTERLEAVE.mask[r][k])));
        }
    }
    const __m256i low = _mm256_set1_epi8(0x0F);
    for (uint32_t x = 0; x < PICTURE_WIDTH; x += 32, out += 96) {
        __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
        __m256i second = first;
        if (pairs) {
            second = _mm256_and_si256(first, low);
            first = _mm256_and_si256(_mm256_srli_epi16(first, 4), low);
        } else if (b != nullptr) {
            second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x));
        }
        __m256i bytes[3];
        for (int k = 0; k < 3; ++k) {
            bytes[k] = _mm256_shuffle_epi8(place[k], first);
            if (pairs || b != nullptr) {
                bytes[k] = AverageRoundedDown(bytes[k], _mm256_shuffle_epi8(place[k], second));
            }
        }
        for (int r = 0; r < 3; ++r) {
            const __m256i v =
                _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(bytes[0], masks[r][0]),
                                                _mm256_shuffle_epi8(bytes[1], masks[r][1])),
                                _mm256_shuffle_epi8(bytes[2], masks[r][2]));
            // The low half holds pixels 0 to 15 of the run, the high half 16 to 31.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * r), _mm256_castsi256_si128(v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48 + 16 * r),
                             _mm256_extracti128_si256(v, 1));
        }
    }
}

// With AVX-512 (VBMI), sixty-four pixels at a time: a byte permute over two
// registers looks 128 entries up at once, so two of them and a choice by the
// index's top bit give any of the 256 entries of a byte place, exactly the
// table's; pairs of colours become pair indices first. Two more permutes
// per output register interleave the three byte places into pixels.
struct Interleave64 {
    uint8_t firstTwo[3][64];  // places 0 and 1: pixel p of place 1 at 64 + p
    uint8_t third[3][64];     // place 2
    uint64_t thirdMask[3];    // which bytes are place 2
};
constexpr Interleave64 MakeInterleave64() {
    Interleave64 m{};
    for (int r = 0; r < 3; ++r) {
        for (int j = 0; j < 64; ++j) {
            const int q = 64 * r + j;
            const int pixel = q / 3;
            const int place = q % 3;
            m.firstTwo[r][j] = static_cast<uint8_t>(place == 1 ? 64 + pixel : pixel);
            m.third[r][j] = static_cast<uint8_t>(pixel);
            if (place == 2) m.thirdMask[r] |= uint64_t{1} << j;
        }
    }
    return m;
}
constexpr Interleave64 INTERLEAVE64 = MakeInterleave64();

#define TARNEL_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

TARNEL_AVX512 inline __m512i Load64(const uint8_t* bytes) {
    return _mm512_loadu_si512(static_cast<const void*>(bytes));
}

// Pixel u shows entry a[u], or with b the pair 16 * a[u] + b[u].
TARNEL_AVX512 void ConvertRow3Avx512(const uint8_t* a, const uint8_t* b, const PixelTable& table,
                                     uint8_t* out, uint32_t rows = 1, ptrdiff_t stride = 0) {
    static_assert(PICTURE_WIDTH % 64 == 0, "rows are whole 64-pixel runs");
    __m512i entries[3][4];
    for (int k = 0; k < 3; ++k) {
        for (int part = 0; part < 4; ++part)
            entries[k][part] = Load64(table.entryBytes[k] + 64 * part);
    }
    __m512i firstTwo[3];
    __m512i third[3];
    __mmask64 thirdMask[3];
    for (int r = 0; r < 3; ++r) {
        firstTwo[r] = Load64(INTERLEAVE64.firstTwo[r]);
        third[r] = Load64(INTERLEAVE64.third[r]);
        thirdMask[r] = INTERLEAVE64.thirdMask[r];
    }
    // Row k of `rows` (indices one row after another) goes to out + k * stride,
    // with the table's registers loaded once.
    for (uint32_t row = 0; row < rows; ++row) {
        const uint8_t* ra = a + row * PICTURE_WIDTH;
        const uint8_t* rb = b != nullptr ? b + row * PICTURE_WIDTH : nullptr;
        uint8_t* o = out + static_cast<ptrdiff_t>(row) * stride;
        for (uint32_t x = 0; x < PICTURE_WIDTH; x += 64, o += 192) {
            __m512i i = Load64(ra + x);
            // Colours are below 16: shifting 16-bit lanes moves nothing across bytes.
            if (rb != nullptr) i = _mm512_or_si512(_mm512_slli_epi16(i, 4), Load64(rb + x));
            const __mmask64 high = _mm512_movepi8_mask(i);  // entries 128 to 255
            __m512i bytes[3];
            for (int k = 0; k < 3; ++k) {
                const __m512i low = _mm512_permutex2var_epi8(entries[k][0], i, entries[k][1]);
                const __m512i upper = _mm512_permutex2var_epi8(entries[k][2], i, entries[k][3]);
                bytes[k] = _mm512_mask_blend_epi8(high, low, upper);
            }
            for (int r = 0; r < 3; ++r) {
                const __m512i two = _mm512_permutex2var_epi8(bytes[0], firstTwo[r], bytes[1]);
                const __m512i all =
                    _mm512_mask_permutexvar_epi8(two, thirdMask[r], third[r], bytes[2]);
                _mm512_storeu_si512(static_cast<void*>(o + 64 * r), all);
            }
        }
    }
}

#undef TARNEL_AVX512

#endif  // TARNEL_PIXELS_SSSE3

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

// The row converters by instruction set; each returns false, writing
// nothing, for a table it does not serve (the caller then converts plainly).
using VectorRowKernel = bool (*)(const uint8_t* a, const uint8_t* b, bool pairs,
                                 const PixelTable& table, uint8_t* out);

#if TARNEL_PIXELS_SSSE3
bool VectorRowAvx512(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                     uint8_t* out) {
    if (BytesPerPixel(table.format) != 3) return false;
    // Any table: its own entries are looked up.
    ConvertRow3Avx512(a, pairs ? nullptr : b, table, out);
    return true;
}
bool VectorRowAvx2(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                   uint8_t* out) {
    if (!table.fromPalette || BytesPerPixel(table.format) != 3) return false;
    ConvertRow3Avx2(a, b, pairs, table, out);
    return true;
}
bool VectorRowSsse3(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                    uint8_t* out) {
    if (!table.fromPalette || BytesPerPixel(table.format) != 3) return false;
    ConvertRow3Ssse3(a, b, pairs, table, out);
    return true;
}
#endif
bool NoVectorRow(const uint8_t*, const uint8_t*, bool, const PixelTable&, uint8_t*) {
    return false;
}

constexpr KernelVariant<VectorRowKernel> VECTOR_ROW_VARIANTS[] = {
#if TARNEL_PIXELS_SSSE3
    {InstructionSet::Avx512, VectorRowAvx512},
    {InstructionSet::Avx2, VectorRowAvx2},
    {InstructionSet::Ssse3, VectorRowSsse3},
#endif
    {InstructionSet::Plain, NoVectorRow},
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
#if TARNEL_PIXELS_SSSE3
    if (BytesPerPixel(table.format) == 3 && MayUse(InstructionSet::Avx512)) {
        ConvertRow3Avx512(indices, nullptr, table, out, rows, stride);
        return;
    }
#endif
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
