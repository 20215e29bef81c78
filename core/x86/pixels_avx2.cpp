// The AVX2 row converter.
#include "core/kernels.h"

#if TARNEL_X86_KERNELS

#include <immintrin.h>

#include "core/layouts.h"
#include "core/x86/interleave.h"

namespace tarnel {
namespace {

// The same with AVX2, thirty-two pixels at a time: each 128-bit half of a
// register does what the SSSE3 loop (pixels_ssse3.cpp) does for sixteen pixels.
TARNEL_TARGET_AVX2 inline __m256i AverageRoundedDown(__m256i x, __m256i y) {
    const __m256i odd = _mm256_and_si256(_mm256_xor_si256(x, y), _mm256_set1_epi8(1));
    return _mm256_sub_epi8(_mm256_avg_epu8(x, y), odd);
}

TARNEL_TARGET_AVX2 void ConvertRow3Avx2(const uint8_t* a, const uint8_t* b, bool pairs,
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

}  // namespace

bool VectorRowAvx2(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                   uint8_t* out) {
    if (!table.fromPalette || BytesPerPixel(table.format) != 3) return false;
    ConvertRow3Avx2(a, b, pairs, table, out);
    return true;
}

}  // namespace tarnel

#endif  // TARNEL_X86_KERNELS
