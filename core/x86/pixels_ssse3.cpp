// The SSSE3 row converter.
#include "core/kernels.h"

#if TARNEL_X86_KERNELS

#include <immintrin.h>

#include "core/layouts.h"
#include "core/x86/interleave.h"

namespace tarnel {
namespace {

// Sixteen pixels at a time with SSSE3's byte shuffle: the sixteen colours'
// bytes fit one register per byte place, so a shuffle by the indices looks
// sixteen pixels' byte up at once; pairs look both colours up and average
// them. Three shuffles per output register then interleave the three byte
// places into pixels.
TARNEL_TARGET_SSSE3 inline __m128i AverageRoundedDown(__m128i x, __m128i y) {
    // pavgb rounds up: take back the half where the sum is odd.
    const __m128i odd = _mm_and_si128(_mm_xor_si128(x, y), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(x, y), odd);
}

// Pixel u shows colour a[u] (b null), or the blend of a[u] and b[u]; with
// `pairs`, a holds pair indices 16 * first + second instead.
TARNEL_TARGET_SSSE3 void ConvertRow3Ssse3(const uint8_t* a, const uint8_t* b, bool pairs,
                                          const PixelTable& table, uint8_t* out) {
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

}  // namespace

bool VectorRowSsse3(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                    uint8_t* out) {
    if (!table.fromPalette || BytesPerPixel(table.format) != 3) return false;
    ConvertRow3Ssse3(a, b, pairs, table, out);
    return true;
}

}  // namespace tarnel

#endif  // TARNEL_X86_KERNELS
