// The AVX-512 unpackers (unpack.cpp holds the plain ones).
//
// Each step looks at sixty-four stream bytes at once: one
// compare finds the escape bytes among them, and a literal stretch (up to
// sixty-four bytes) or a short run is written with one masked store, which
// writes exactly its bytes. Short stretches and runs, which picture-like
// files are full of, then cost no call and no loop. The bytes written are
// exactly those of the plain loops.
#include "core/kernels.h"

#if TARNEL_X86_64_KERNELS

#include <immintrin.h>

#include <cstring>

// Every processor with AVX-512 VBMI also has LZCNT and BMI1 (their bit
// counts make the backward loop faster), so those are not checked apart.
#define TARNEL_TARGET_AVX512_BITS __attribute__((target("avx512f,avx512bw,avx512vbmi,lzcnt,bmi")))

namespace tarnel {

// Sixty-four bytes at a time: the highest escape byte below `end`.
TARNEL_TARGET_AVX512_BITS uint32_t LiteralsBackwardAvx512(ByteView file, uint32_t end,
                                                          uint8_t escape) {
    const __m512i spread = _mm512_set1_epi8(static_cast<char>(escape));
    uint32_t at = end;  // bytes [at, end) are literals
    while (at >= 64) {
        const __mmask64 escapes =
            _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(file.data + at - 64), spread);
        if (escapes != 0) return end - at + static_cast<uint32_t>(__builtin_clzll(escapes));
        at -= 64;
    }
    while (at > 0 && file[at - 1] != escape) --at;
    return end - at;
}

namespace {

// The lowest `n` bits (n at most 64).
TARNEL_TARGET_AVX512_BITS inline __mmask64 LowBits(uint32_t n) {
    return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
}

struct Iota {
    uint8_t bytes[64];
};
constexpr Iota MakeIota() {
    Iota iota{};
    for (int i = 0; i < 64; ++i) iota.bytes[i] = static_cast<uint8_t>(i);
    return iota;
}
constexpr Iota IOTA = MakeIota();

}  // namespace

// Forward streams take every run and stretch that lies inside the loaded
// sixty-four bytes before loading again: the escape bytes' places give
// where each begins, and a byte permute brings a stretch to the register's
// start for its store.
TARNEL_TARGET_AVX512_BITS void UnpackForwardAvx512(ByteView file, const PackedVariant& variant,
                                                   uint8_t* out, uint8_t escape) {
    const __m512i spread = _mm512_set1_epi8(static_cast<char>(escape));
    const __m512i iota = _mm512_loadu_si512(IOTA.bytes);
    const __mmask64 all = ~__mmask64{0};
    uint32_t r = variant.streamStart;
    uint8_t* w = out + variant.firstOutput;
    uint32_t room = variant.maxWritten;
    while (r < file.size && room > 0) {
        const uint32_t available = file.size - r;
        const uint32_t loaded = available < 64 ? available : 64;
        const __m512i bytes = _mm512_maskz_loadu_epi8(LowBits(loaded), file.data + r);
        const __mmask64 escapes = _mm512_mask_cmpeq_epi8_mask(LowBits(loaded), bytes, spread);
        if (escapes == 0 && available > 64) {
            // A long stretch of literals: found with memchr and copied whole.
            uint32_t literals = 64 + LiteralsForward(file, r + 64, file.size, escape);
            if (literals > room) literals = room;  // cut at the output maximum
            std::memcpy(w, file.data + r, literals);
            r += literals;
            w += literals;
            room -= literals;
            continue;
        }
        uint32_t at = 0;  // the next token's place among the loaded bytes
        while (at < loaded) {
            const uint64_t ahead = escapes >> at;
            if ((ahead & 1) == 0) {
                // Literals up to the next escape byte or the loaded bytes' end.
                uint32_t literals =
                    ahead != 0 ? static_cast<uint32_t>(__builtin_ctzll(ahead)) : loaded - at;
                if (literals > room) literals = room;  // cut at the output maximum
                const __m512i from = _mm512_maskz_permutexvar_epi8(
                    all, _mm512_add_epi8(iota, _mm512_set1_epi8(static_cast<char>(at))), bytes);
                _mm512_mask_storeu_epi8(w, LowBits(literals), from);
                at += literals;
                w += literals;
                room -= literals;
            } else {
                if (at + 3 > loaded) break;  // its bytes lie past those loaded: load again
                uint32_t length = file[r + at + 1];
                if (length == 0) return;  // end marker
                const uint8_t value = file[r + at + 2];
                at += 3;
                if (length > room) length = room;  // cut at the output maximum
                if (length <= 64) {
                    _mm512_mask_storeu_epi8(w, LowBits(length),
                                            _mm512_set1_epi8(static_cast<char>(value)));
                } else {
                    std::memset(w, value, length);
                }
                w += length;
                room -= length;
            }
            if (room == 0) return;
        }
        // Nothing taken: a run at the file's end whose length or value byte
        // the file does not hold.
        if (at == 0) break;
        r += at;
    }
}

TARNEL_TARGET_AVX512_BITS void UnpackBackwardAvx512(ByteView file, const PackedVariant& variant,
                                                    uint8_t* out, uint8_t escape) {
    const __m512i spread = _mm512_set1_epi8(static_cast<char>(escape));
    uint32_t remaining = file.size - variant.streamStart + 1;
    uint32_t high = variant.firstOutput + 1;
    uint32_t room = variant.maxWritten;
    while (remaining > 0 && room > 0) {
        const uint32_t r = remaining - 1;
        // Sixty-four bytes ending at the next one read, landing sixty-four
        // bytes ending at the next one written, where both lie inside.
        const bool wide = remaining >= 64 && high >= 64;
        if (wide) {
            const __m512i bytes = _mm512_loadu_si512(file.data + remaining - 64);
            const __mmask64 escapes = _mm512_cmpeq_epi8_mask(bytes, spread);
            if ((escapes >> 63) == 0) {
                // Literals down to the last escape byte among those loaded; a
                // longer stretch is found further down and copied whole.
                uint32_t literals = escapes != 0
                                        ? static_cast<uint32_t>(__builtin_clzll(escapes))
                                        : 64 + LiteralsBackward(file, remaining - 64, escape);
                if (literals > room) literals = room;  // cut at the lowest output offset
                if (literals <= 64) {
                    _mm512_mask_storeu_epi8(out + high - 64, ~LowBits(64 - literals), bytes);
                } else {
                    std::memcpy(out + high - literals, file.data + remaining - literals, literals);
                }
                remaining -= literals;
                high -= literals;
                room -= literals;
                continue;
            }
        } else if (file[r] != escape) {
            uint32_t literals = LiteralsBackward(file, remaining, escape);
            if (literals > room) literals = room;
            std::memcpy(out + high - literals, file.data + remaining - literals, literals);
            remaining -= literals;
            high -= literals;
            room -= literals;
            continue;
        }
        if (r < 2) break;  // its length or value byte would lie before the file
        uint32_t length = file[r - 1] == 0 ? 256u : file[r - 1];
        const uint8_t value = file[r - 2];
        remaining -= 3;
        if (length > room) length = room;  // cut at the lowest output offset
        if (length <= 64 && high >= 64) {
            _mm512_mask_storeu_epi8(out + high - 64, ~LowBits(64 - length),
                                    _mm512_set1_epi8(static_cast<char>(value)));
        } else {
            std::memset(out + high - length, value, length);
        }
        high -= length;
        room -= length;
    }
}

}  // namespace tarnel

#endif  // TARNEL_X86_64_KERNELS
