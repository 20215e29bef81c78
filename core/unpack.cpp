#include "core/unpack.h"

#include <cstring>

#include "core/cpu.h"
#include "core/kernels.h"

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
// in most pictures they make up much of the stream (LiteralsForward in
// core/kernels.h, LiteralsBackward below).

// True when one of the eight bytes of `word` equals the byte `spread` holds
// in all eight (the usual test for a zero byte, on word ^ spread).
constexpr bool HasByte(uint64_t word, uint64_t spread) {
    const uint64_t x = word ^ spread;
    return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
}

// The plain variant: skips sixteen bytes at a time while none of them is
// the escape byte.
uint32_t LiteralsBackwardPlain(ByteView file, uint32_t end, uint8_t escape) {
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

// (UnpackForwardPlain and UnpackBackwardPlain below.)
void UnpackForwardPlain(ByteView file, const PackedVariant& variant, uint8_t* out, uint8_t escape);
void UnpackBackwardPlain(ByteView file, const PackedVariant& variant, uint8_t* out, uint8_t escape);

// The unpackers by instruction set, widest first (core/kernels.h).
constexpr KernelVariant<LiteralsKernel> LITERALS_BACKWARD_VARIANTS[] = {
#if TARNEL_X86_64_KERNELS
    {InstructionSet::Avx512, LiteralsBackwardAvx512},
#endif
    {InstructionSet::Plain, LiteralsBackwardPlain},
};
constexpr KernelVariant<UnpackKernel> UNPACK_FORWARD_VARIANTS[] = {
#if TARNEL_X86_64_KERNELS
    {InstructionSet::Avx512, UnpackForwardAvx512},
#endif
    {InstructionSet::Plain, UnpackForwardPlain},
};
constexpr KernelVariant<UnpackKernel> UNPACK_BACKWARD_VARIANTS[] = {
#if TARNEL_X86_64_KERNELS
    {InstructionSet::Avx512, UnpackBackwardAvx512},
#endif
    {InstructionSet::Plain, UnpackBackwardPlain},
};

}  // namespace

LiteralsKernel LiteralsBackwardKernel() {
    return ChooseKernel(LITERALS_BACKWARD_VARIANTS);
}

uint32_t LiteralsBackward(ByteView file, uint32_t end, uint8_t escape) {
    return LiteralsBackwardKernel()(file, end, escape);
}

const PackedVariant* FindPackedVariant(FormatCode code) {
    for (const PackedVariant& variant : PACKED_VARIANTS) {
        if (variant.code == code) return &variant;
    }
    return nullptr;
}

namespace {

void UnpackForwardPlain(ByteView file, const PackedVariant& variant, uint8_t* out, uint8_t escape) {
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

void UnpackBackwardPlain(ByteView file, const PackedVariant& variant, uint8_t* out,
                         uint8_t escape) {
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

}  // namespace

void UnpackForward(ByteView file, const PackedVariant& variant, uint8_t* out) {
    uint8_t escape = 0;
    if (!EscapeByte(file, variant, &escape)) return;  // no stream inside the file
    ChooseKernel(UNPACK_FORWARD_VARIANTS)(file, variant, out, escape);
}

void UnpackBackward(ByteView file, const PackedVariant& variant, uint8_t* out) {
    uint8_t escape = 0;
    if (!EscapeByte(file, variant, &escape)) return;
    if (file.size < variant.streamStart) return;  // the stream holds no byte
    ChooseKernel(UNPACK_BACKWARD_VARIANTS)(file, variant, out, escape);
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
