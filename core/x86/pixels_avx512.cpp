// The AVX-512 row converter.
#include "core/kernels.h"

#if TARNEL_X86_KERNELS

#include <immintrin.h>

#include "core/layouts.h"

namespace tarnel {
namespace {

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

TARNEL_TARGET_AVX512 inline __m512i Load64(const uint8_t* bytes) {
    return _mm512_loadu_si512(static_cast<const void*>(bytes));
}

// Pixel u shows entry a[u], or with b the pair 16 * a[u] + b[u].
TARNEL_TARGET_AVX512 void ConvertRow3Avx512(const uint8_t* a, const uint8_t* b,
                                            const PixelTable& table, uint8_t* out,
                                            uint32_t rows = 1, ptrdiff_t stride = 0) {
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

}  // namespace

bool VectorRowAvx512(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                     uint8_t* out) {
    if (BytesPerPixel(table.format) != 3) return false;
    // Any table: its own entries are looked up.
    ConvertRow3Avx512(a, pairs ? nullptr : b, table, out);
    return true;
}

bool VectorRowsAvx512(const uint8_t* indices, uint32_t rows, const PixelTable& table, uint8_t* out,
                      ptrdiff_t stride) {
    if (BytesPerPixel(table.format) != 3) return false;
    ConvertRow3Avx512(indices, nullptr, table, out, rows, stride);
    return true;
}

}  // namespace tarnel

#endif  // TARNEL_X86_KERNELS
