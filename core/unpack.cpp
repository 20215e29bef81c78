#include "core/unpack.h"

#include <cstring>

#include "core/cpu.h"

#if defined(__GNUC__) && defined(__x86_64__)
#define TARNEL_UNPACK_AVX512 1
#include <immintrin.h>
// Every processor with AVX-512 VBMI also has LZCNT and BMI1 (their bit
// counts make the backward loop faster), so those are not checked apart.
#define TARNEL_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,lzcnt,bmi")))
#endif

namespace tarnel {
namespace {

// clang-format off
constexpr PackedVariant PACKED_VARIANTS[] = {
    // code, form, E counted from the end?, E's offset, stream, output, most written
    {CodeOf(Layout::FunpaintPacked), StreamForm::Forward,  false, 17, 18,  18,     61422},
    {CodeOf(Layout::DrazlacePacked), StreamForm::Forward,  false, 15, 16,  2,      24578},
    // E is the first byte of the end marker, the file's last two bytes. When
    // the stream opens with a run, byte 2 is E too.
    {CodeOf(Layout::AmicaPaintPacked), StreamForm::Forward,  true,  2,  2,   2,      24578},
    {CodeOf(Layout::FliGraphPacked), StreamForm::Backward, false, 2,  1,   17473,  17472},
    // E is the file's last byte and belongs to no run.
    {CodeOf(Layout::BitmapBackwardPacked), StreamForm::Backward, true,  1,  2,   10002,  10003},
};
// clang-format on

// Exactly the packed layouts have a variant.
constexpr bool VariantsAreThePackedLayouts() {
    size_t packed = 0;
    for (const LayoutInfo& layout : LAYOUTS) packed += layout.packed ? 1 : 0;
    if (packed != sizeof PACKED_VARIANTS / sizeof PACKED_VARIANTS[0]) return false;
    for (const PackedVariant& v : PACKED_VARIANTS) {
        const LayoutInfo* layout = FindLayout(v.code);
        if (layout == nullptr || !layout->packed) return false;
    }
    return true;
}
static_assert(VariantsAreThePackedLayouts(), "one stream variant for each packed layout");

// Every variant's output range lies inside the memory image.
constexpr bool OutputRangesFit() {
    for (const PackedVariant& v : PACKED_VARIANTS) {
        if (v.form == StreamForm::Forward && v.firstOutput + v.maxWritten > MEMORY_IMAGE_BYTES) {
            return false;
        }
        if (v.form == StreamForm::Backward &&
            (v.firstOutput >= MEMORY_IMAGE_BYTES || v.maxWritten > v.firstOutput + 1)) {
            return false;
        }
    }
    return true;
}
static_assert(OutputRangesFit(), "packed variants write inside the unpack buffer");

constexpr bool EscapesCountedFromEndAreInsideTheFile() {
    for (const PackedVariant& v : PACKED_VARIANTS) {
        if (v.escapeFromEnd && v.escapeOffset == 0) return false;
    }
    return true;
}
static_assert(EscapesCountedFromEndAreInsideTheFile(), "an escape byte counted from the end");

bool EscapeByte(ByteView file, const PackedVariant& variant, uint8_t* escape) {
    if (variant.escapeFromEnd) {
        if (file.size < variant.escapeOffset) return false;
        *escape = file[file.size - variant.escapeOffset];
        return true;
    }
    if (!file.Holds(variant.escapeOffset)) return false;
    *escape = file[variant.escapeOffset];
    return true;
}

// Stretches of literals are found and copied whole rather than byte by byte:
// in most pictures they make up much of the stream.

// Literals looked for one by one before a stretch is handed to memchr: the
// stretches between two runs are often this short.
constexpr uint32_t SHORT_STRETCH = 16;

// How many bytes from `from` on, before `end`, differ from `escape`.
uint32_t LiteralsForward(ByteView file, uint32_t from, uint32_t end, uint8_t escape) {
    const uint32_t directEnd = end - from > SHORT_STRETCH ? from + SHORT_STRETCH : end;
    uint32_t at = from;
    while (at < directEnd && file[at] != escape) ++at;
    if (at < directEnd || at == end) return at - from;
    const void* found = std::memchr(file.data + at, escape, end - at);
    const uint32_t stop =
        found != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(found) - file.data)
                         : end;
    return stop - from;
}

// True when one of the eight bytes of `word` equals the byte `spread` holds
// in all eight (the usual test for a zero byte, on word ^ spread).
constexpr bool HasByte(uint64_t word, uint64_t spread) {
    const uint64_t x = word ^ spread;
    return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

}  // namespace

#if TARNEL_UNPACK_AVX512
namespace {
// Sixty-four bytes at a time: the highest escape byte below `end`.
TARNEL_AVX512 uint32_t LiteralsBackwardAvx512(ByteView file, uint32_t end, uint8_t escape) {
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
}  // namespace
#endif

// Skips sixteen bytes at a time (sixty-four with AVX-512) while none of them
// is the escape byte.
uint32_t LiteralsBackward(ByteView file, uint32_t end, uint8_t escape) {
#if TARNEL_UNPACK_AVX512
    if (MayUse(InstructionSet::Avx512)) return LiteralsBackwardAvx512(file, end, escape);
#endif
    const uint64_t spread = escape * 0x0101010101010101ull;
    uint32_t at = end;  // bytes [at, end) are literals
    while (at >= 16) {
        uint64_t words[2];
        std::memcpy(words, file.data + at - 16, sizeof words);
        if (HasByte(words[0], spread) || HasByte(words[1], spread)) break;
        at -= 16;
    }
    while (at > 0 && file[at - 1] != escape) --at;
    return end - at;
}

const PackedVariant* FindPackedVariant(FormatCode code) {
    for (const PackedVariant& variant : PACKED_VARIANTS) {
        if (variant.code == code) return &variant;
    }
    return nullptr;
}

#if TARNEL_UNPACK_AVX512

namespace {

// With AVX-512, each step looks at sixty-four stream bytes at once: one
// compare finds the escape bytes among them, and a literal stretch (up to
// sixty-four bytes) or a short run is written with one masked store, which
// writes exactly its bytes. Short stretches and runs, which picture-like
// files are full of, then cost no call and no loop. The bytes written are
// exactly those of the plain loops.
bool UseAvx512() {
    return MayUse(InstructionSet::Avx512);
}

// The lowest `n` bits (n at most 64).
TARNEL_AVX512 inline __mmask64 LowBits(uint32_t n) {
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

// Forward streams take every run and stretch that lies inside the loaded
// sixty-four bytes before loading again: the escape bytes' places give
// where each begins, and a byte permute brings a stretch to the register's
// start for its store.
TARNEL_AVX512 void UnpackForwardAvx512(ByteView file, const PackedVariant& variant, uint8_t* out,
                                       uint8_t escape) {
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

TARNEL_AVX512 void UnpackBackwardAvx512(ByteView file, const PackedVariant& variant, uint8_t* out,
                                        uint8_t escape) {
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

}  // namespace

#endif  // TARNEL_UNPACK_AVX512

void UnpackForward(ByteView file, const PackedVariant& variant, uint8_t* out) {
    uint8_t escape = 0;
    if (!EscapeByte(file, variant, &escape)) return;  // no stream inside the file
#if TARNEL_UNPACK_AVX512
    if (UseAvx512()) {
        UnpackForwardAvx512(file, variant, out, escape);
        return;
    }
#endif
    uint32_t r = variant.streamStart;
    uint8_t* w = out + variant.firstOutput;
    uint32_t room = variant.maxWritten;
    while (r < file.size && room > 0) {
        if (file[r] != escape) {
            uint32_t literals = LiteralsForward(file, r, file.size, escape);
            if (literals > room) literals = room;  // cut at the output maximum
            std::memcpy(w, file.data + r, literals);
            r += literals;
            w += literals;
            room -= literals;
            continue;
        }
        if (r + 1 >= file.size) break;
        uint32_t length = file[r + 1];
        if (length == 0) break;  // end marker
        if (r + 2 >= file.size) break;
        const uint8_t value = file[r + 2];
        r += 3;
        if (length > room) length = room;  // cut at the output maximum
        std::memset(w, value, length);
        w += length;
        room -= length;
    }
}

void UnpackBackward(ByteView file, const PackedVariant& variant, uint8_t* out) {
    uint8_t escape = 0;
    if (!EscapeByte(file, variant, &escape)) return;
    if (file.size < variant.streamStart) return;  // the stream holds no byte
#if TARNEL_UNPACK_AVX512
    if (UseAvx512()) {
        UnpackBackwardAvx512(file, variant, out, escape);
        return;
    }
#endif
    // Bytes [0, remaining) are still unread; the next one read is remaining-1.
    uint32_t remaining = file.size - variant.streamStart + 1;
    // Bytes are written downwards; [low, high) is still to be written, so
    // the next byte goes to high-1 and `room` is high - low.
    uint32_t high = variant.firstOutput + 1;
    uint32_t room = variant.maxWritten;
    while (remaining > 0 && room > 0) {
        const uint32_t r = remaining - 1;
        if (file[r] != escape) {
            // Literals read downwards land downwards: the stretch keeps its order.
            uint32_t literals = LiteralsBackward(file, remaining, escape);
            if (literals > room) literals = room;  // cut at the lowest output offset
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
        std::memset(out + high - length, value, length);
        high -= length;
        room -= length;
    }
}

void Unpack(ByteView file, const PackedVariant& variant, uint8_t* out) {
    if (variant.form == StreamForm::Forward) {
        UnpackForward(file, variant, out);
    } else {
        UnpackBackward(file, variant, out);
    }
}

void UnpackWithin(ByteView file, const PackedVariant& variant, uint8_t* out, uint32_t outBytes) {
    if (variant.firstOutput >= outBytes) return;
    if (variant.form == StreamForm::Backward) {
        UnpackBackward(file, variant, out);
        return;
    }
    // Forward streams write upwards in order: stopping earlier changes
    // nothing below the stop.
    PackedVariant cut = variant;
    if (cut.maxWritten > outBytes - cut.firstOutput) cut.maxWritten = outBytes - cut.firstOutput;
    UnpackForward(file, cut, out);
}

}  // namespace tarnel
