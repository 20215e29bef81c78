// The shuffle masks with which the SSSE3 and AVX2 row converters interleave
// the three byte places of sixteen pixels into pixels.
#ifndef TARNEL_CORE_X86_INTERLEAVE_H
#define TARNEL_CORE_X86_INTERLEAVE_H

#include <cstdint>

namespace tarnel {

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
inline constexpr InterleaveMasks INTERLEAVE = MakeInterleaveMasks();

}  // namespace tarnel

#endif  // TARNEL_CORE_X86_INTERLEAVE_H
