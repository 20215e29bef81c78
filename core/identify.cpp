#include "core/identify.h"

#include <cstring>

#include "core/on_request.h"
#include "core/unpack.h"

namespace tarnel {

// Compared byte for byte, with no stop at a zero byte.
const uint8_t FUNPAINT_SIGNATURE[16] = {0xF0, 0x3F, 'F', 'U', 'N', 'P', 'A', 'I',
                                        'N',  'T',  ' ', '(', 'M', 'T', ')', ' '};
const uint8_t GUNPAINT_SIGNATURE[13] = {'G', 'U', 'N', 'P', 'A', 'I', 'N',
                                        'T', ' ', '(', 'J', 'Z', ')'};
const uint8_t DRAZLACE_SIGNATURE[15] = {0x00, 0x58, 'D', 'R', 'A', 'Z', 'L', 'A',
                                        'C',  'E',  '!', ' ', '1', '.', '0'};

namespace {

// Face Painter files are exactly this size; see the EscapeEndMarker rule.
constexpr uint32_t FACE_PAINTER_SIZE = 10004;
// The backward-packed multicolour bitmap unpacks to exactly this many bytes.
constexpr uint32_t BACKWARD_BITMAP_UNPACKED_BYTES = 10003;
// A forward-packed multicolour bitmap whose stream opens with a literal must
// unpack to at least this many bytes: offsets 2 to 10,002 (bitmap, screen,
// colour memory and the background byte).
constexpr uint32_t ESCAPE_BITMAP_LEAST_UNPACKED_BYTES = 10001;

enum class Rule : uint8_t {
    FunpaintSignature,  // 16-byte signature at 0; byte 16 picks packed (1) or not (2)
    GunpaintSignature,  // 13-byte signature at 1002
    LoadAndSize,        // load address bytes and exact size
    DrazlaceSignature,  // 15-byte signature at 0
    EscapeEndMarker,    // load 00 40, byte 2 == byte size-2, last byte 0, size < 12,000
    EscapeStreamToEnd,  // load 00 40, size < 12,000, forward stream ends exactly at size-2
    FliGraphHeader,     // F0 38 ?? ?? ?? 3F 7F 00
    UnpacksTo10003,     // the backward length probe counts exactly 10,003
};

struct IdentificationTest {
    Rule rule;
    uint8_t load0, load1;  // LoadAndSize and the two escape-stream rules only
    uint32_t size;         // LoadAndSize: the exact size; escape-stream rules: sizes stay below it
    Layout layout;
};

// The tests in the order they run. Every test runs; the last match wins.
// clang-format off
constexpr IdentificationTest IDENTIFICATION_TESTS[] = {
    {Rule::FunpaintSignature, 0,    0,    0,     Layout::Funpaint},
    {Rule::GunpaintSignature, 0,    0,    0,     Layout::Gunpaint},
    {Rule::LoadAndSize,       0x00, 0x3C, 17409, Layout::FliDesigner},
    {Rule::LoadAndSize,       0x00, 0x20, 10018, Layout::AdvancedArtStudio},
    {Rule::LoadAndSize,       0x00, 0x58, 18242, Layout::Drazlace},
    {Rule::DrazlaceSignature, 0,    0,    0,     Layout::DrazlacePacked},
    {Rule::LoadAndSize,       0x00, 0x3C, 17410, Layout::FliDesigner},
    {Rule::LoadAndSize,       0x00, 0x3B, 17665, Layout::Fli},
    {Rule::LoadAndSize,       0x00, 0x40, 10004, Layout::FacePainter},
    {Rule::EscapeEndMarker,   0x00, 0x40, 12000, Layout::AmicaPaintPacked},
    {Rule::LoadAndSize,       0x00, 0x20, 8002,  Layout::HiresBitmap},
    {Rule::LoadAndSize,       0x00, 0x3B, 17474, Layout::FliGraph},
    {Rule::FliGraphHeader,    0,    0,    0,     Layout::FliGraphPacked},
    {Rule::LoadAndSize,       0x00, 0x20, 9009,  Layout::ArtStudio},
    {Rule::LoadAndSize,       0x00, 0x5C, 9217,  Layout::Doodle9217},
    {Rule::LoadAndSize,       0x00, 0x40, 16385, Layout::Afli},
    {Rule::LoadAndSize,       0x8E, 0x3F, 9332,  Layout::PaintMagic},
    {Rule::UnpacksTo10003,    0,    0,    0,     Layout::BitmapBackwardPacked},
    {Rule::LoadAndSize,       0x00, 0x60, 10003, Layout::Koala},
    {Rule::LoadAndSize,       0x00, 0x5C, 9218,  Layout::Doodle},
};
// clang-format on
static_assert(sizeof(IDENTIFICATION_TESTS) / sizeof(IDENTIFICATION_TESTS[0]) == 20,
              "twenty identification tests");

// Runs only when none of the twenty tests matched: the packed multicolour
// bitmaps whose stream opens with a literal, so that byte 2 is not their
// escape byte and the EscapeEndMarker test misses them.
constexpr IdentificationTest WHEN_NONE_MATCHED = {Rule::EscapeStreamToEnd, 0x00, 0x40, 12000,
                                                  Layout::AmicaPaintPacked};

// Every layout is what some test yields, and the sizes the rules name are
// those of the layouts they stand beside.
constexpr bool TestsCoverEveryLayout() {
    for (const LayoutInfo& layout : LAYOUTS) {
        bool yielded = layout.code == CodeOf(Layout::FunpaintPacked);  // by the Funpaint test
        for (const IdentificationTest& test : IDENTIFICATION_TESTS)
            yielded = yielded || CodeOf(test.layout) == layout.code;
        if (!yielded) return false;
    }
    return true;
}
constexpr uint32_t LoadAndSizeOf(Layout layout) {
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (test.rule == Rule::LoadAndSize && test.layout == layout) return test.size;
    }
    return 0;
}
static_assert(TestsCoverEveryLayout(), "every layout can be identified");
static_assert(LoadAndSizeOf(Layout::FacePainter) == FACE_PAINTER_SIZE, "Face Painter's size");
static_assert(LoadAndSizeOf(Layout::Koala) == BACKWARD_BITMAP_UNPACKED_BYTES,
              "the backward-packed bitmap unpacks to a Koala file");

bool HasBytesAt(ByteView file, uint32_t offset, const uint8_t* bytes, uint32_t count) {
    return file.Holds(offset, count) && std::memcmp(file.data + offset, bytes, count) == 0;
}

bool HasLoad(ByteView file, uint8_t load0, uint8_t load1) {
    return file.Holds(0, 2) && file[0] == load0 && file[1] == load1;
}

// True when the file, read from offset 2 as a forward stream whose escape
// byte E is the byte at size-2, meets its first end marker (E, 0) exactly at
// size-2 and has by then unpacked to at least 10,001 bytes. A stream that
// runs into the end of the file (no end marker, or a run whose length or
// value byte would lie past it) or meets an end marker earlier does not.
bool ForwardStreamEndsAtLastTwoBytes(ByteView file) {
    if (file.size < 4) return false;
    const uint32_t marker = file.size - 2;
    const uint8_t escape = file[marker];
    uint32_t r = 2;
    uint32_t written = 0;
    while (r < marker) {
        if (file[r] != escape) {  // a literal
            written += 1;
            r += 1;
            continue;
        }
        // r < size-2, so the length and value bytes lie inside the file.
        const uint8_t length = file[r + 1];
        if (length == 0) return false;  // an end marker before the last two bytes
        written += length;
        r += 3;
    }
    // r is past size-2 when the last run took the byte at size-2 or size-1.
    return r == marker && file[marker + 1] == 0 && written >= ESCAPE_BITMAP_LEAST_UNPACKED_BYTES;
}

// The forward escape stream whose escape byte is byte 2 ends with the end
// marker: the escape byte, then 0. Needs at least 3 bytes.
bool EndsWithEndMarker(ByteView file) {
    return file[2] == file[file.size - 2] && file[file.size - 1] == 0;
}

// Returns the code the test yields for this file, or FORMAT_UNKNOWN.
FormatCode RunTest(const IdentificationTest& test, ByteView file) {
    switch (test.rule) {
        case Rule::FunpaintSignature:
            // The packing flag must lie inside the file too.
            if (!file.Holds(0, FUNPAINT_PACKING_FLAG + 1) ||
                !HasBytesAt(file, 0, FUNPAINT_SIGNATURE, sizeof FUNPAINT_SIGNATURE)) {
                return FORMAT_UNKNOWN;
            }
            return CodeOf(file[FUNPAINT_PACKING_FLAG] != 0 ? Layout::FunpaintPacked
                                                           : Layout::Funpaint);
        case Rule::GunpaintSignature:
            return HasBytesAt(file, GUNPAINT_SIGNATURE_OFFSET, GUNPAINT_SIGNATURE,
                              sizeof GUNPAINT_SIGNATURE)
                       ? CodeOf(test.layout)
                       : FORMAT_UNKNOWN;
        case Rule::LoadAndSize:
            return file.size == test.size && HasLoad(file, test.load0, test.load1)
                       ? CodeOf(test.layout)
                       : FORMAT_UNKNOWN;
        case Rule::DrazlaceSignature:
            return HasBytesAt(file, 0, DRAZLACE_SIGNATURE, sizeof DRAZLACE_SIGNATURE)
                       ? CodeOf(test.layout)
                       : FORMAT_UNKNOWN;
        case Rule::EscapeEndMarker:
            // Byte 2 is the stream's escape byte; the file ends with the end
            // marker (escape byte, 0). A file of exactly the Face Painter size
            // is left to that layout: such pictures with a black background
            // and an empty first cell have bytes 2, size-2 and size-1 all 0
            // and would otherwise be taken for a packed stream.
            if (file.size < 4 || file.size >= test.size || file.size == FACE_PAINTER_SIZE ||
                !HasLoad(file, test.load0, test.load1)) {
                return FORMAT_UNKNOWN;
            }
            return EndsWithEndMarker(file) ? CodeOf(test.layout) : FORMAT_UNKNOWN;
        case Rule::EscapeStreamToEnd:
            return file.size < test.size && HasLoad(file, test.load0, test.load1) &&
                           ForwardStreamEndsAtLastTwoBytes(file)
                       ? CodeOf(test.layout)
                       : FORMAT_UNKNOWN;
        case Rule::FliGraphHeader:
            // Bytes 2 to 4 (byte 2 is the escape byte) are not compared.
            return file.Holds(0, 8) && file[0] == FLI_GRAPH_PACKED_HEADER[0] &&
                           file[1] == FLI_GRAPH_PACKED_HEADER[1] &&
                           file[5] == FLI_GRAPH_PACKED_HEADER[5] &&
                           file[6] == FLI_GRAPH_PACKED_HEADER[6] &&
                           file[7] == FLI_GRAPH_PACKED_HEADER[7]
                       ? CodeOf(test.layout)
                       : FORMAT_UNKNOWN;
        case Rule::UnpacksTo10003:
            // The probe may stop as soon as the count has passed the length.
            return ProbeUnpackedLengthUpTo(file, BACKWARD_BITMAP_UNPACKED_BYTES) ==
                           BACKWARD_BITMAP_UNPACKED_BYTES
                       ? CodeOf(test.layout)
                       : FORMAT_UNKNOWN;
    }
    return FORMAT_UNKNOWN;
}

}  // namespace

LoadBytes OwnLoadOf(FormatCode code) {
    if (const OnRequestLayout* onRequest = FindOnRequestLayout(code)) {
        return {onRequest->load0, onRequest->load1};
    }
    switch (code) {
        case CodeOf(Layout::FunpaintPacked):
        case CodeOf(Layout::Funpaint):
            return {FUNPAINT_SIGNATURE[0], FUNPAINT_SIGNATURE[1]};
        case CodeOf(Layout::DrazlacePacked):
            return {DRAZLACE_SIGNATURE[0], DRAZLACE_SIGNATURE[1]};
        case CodeOf(Layout::FliGraphPacked):
            return {FLI_GRAPH_PACKED_HEADER[0], FLI_GRAPH_PACKED_HEADER[1]};
        case CodeOf(Layout::Gunpaint):
            return {0x00, 0x40};
        case CodeOf(Layout::BitmapBackwardPacked):
            // Its stream unpacks to a Koala Painter file, address and all.
            return OwnLoadOf(CodeOf(Layout::Koala));
        default:
            break;
    }
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (CodeOf(test.layout) == code && test.rule != Rule::FunpaintSignature &&
            test.rule != Rule::GunpaintSignature && test.rule != Rule::DrazlaceSignature &&
            test.rule != Rule::FliGraphHeader && test.rule != Rule::UnpacksTo10003) {
            return {test.load0, test.load1};
        }
    }
    return {0, 0};
}

FixedSizes FixedSizesOf(FormatCode code) {
    FixedSizes fixed;
    if (const OnRequestLayout* onRequest = FindOnRequestLayout(code)) {
        fixed.sizes[fixed.count++] = onRequest->size;
        return fixed;
    }
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (test.rule == Rule::LoadAndSize && CodeOf(test.layout) == code && fixed.count < 2) {
            fixed.sizes[fixed.count++] = test.size;
        }
    }
    return fixed;
}

namespace {

// Whether `file` passes one of the identification tests that yield `code`.
bool PassesOwnTest(FormatCode code, ByteView file) {
    if (const OnRequestLayout* onRequest = FindOnRequestLayout(code)) {
        return file.size == onRequest->size && file[onRequest->markOffset] == onRequest->mark;
    }
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (RunTest(test, file) == code) return true;
    }
    return RunTest(WHEN_NONE_MATCHED, file) == code;
}

}  // namespace

OpenedAs OpenFileAs(FormatCode code, ByteView file, uint8_t* out) {
    if (FindAnyLayout(code) == nullptr || out == nullptr) return {};
    const LoadBytes load = OwnLoadOf(code);
    // With its first two bytes taken as a load address, replaced by the
    // layout's own.
    if (file.size >= 2 && file.size <= OPEN_AS_BYTES) {
        out[0] = load.load0;
        out[1] = load.load1;
        std::memcpy(out + 2, file.data + 2, file.size - 2);
        const ByteView stored{out, file.size};
        if (PassesOwnTest(code, stored)) return {OpenAs::Stored, stored};
    }
    // With the layout's address put before it.
    if (file.size <= OPEN_AS_BYTES - 2) {
        out[0] = load.load0;
        out[1] = load.load1;
        if (file.size > 0) std::memcpy(out + 2, file.data, file.size);
        const ByteView headerless{out, file.size + 2};
        if (PassesOwnTest(code, headerless)) return {OpenAs::Headerless, headerless};
    }
    return {};
}

bool FindLoadAndSize(FormatCode code, LoadAndSize* found) {
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (test.rule == Rule::LoadAndSize && CodeOf(test.layout) == code) {
            *found = LoadAndSize{test.load0, test.load1, test.size};
            return true;
        }
    }
    return false;
}

// The last test in the table that matches decides. Running the tests from
// the last one back and stopping at the first match gives the same answer
// without the tests before it (the length probe among them, for the
// layouts tested after it).
Identification Identify(ByteView file) {
    Identification result;
    const auto matches = [&result, file](const IdentificationTest& test) {
        const FormatCode code = RunTest(test, file);
        if (code == FORMAT_UNKNOWN) return false;
        result.code = code;
        result.matched = true;
        result.interlaced = FindLayout(code)->interlaced;
        return true;
    };
    constexpr size_t count = sizeof IDENTIFICATION_TESTS / sizeof IDENTIFICATION_TESTS[0];
    for (size_t i = count; i-- > 0;) {
        if (matches(IDENTIFICATION_TESTS[i])) return result;
    }
    matches(WHEN_NONE_MATCHED);
    return result;
}

NearMiss FindNearMiss(ByteView file) {
    NearMiss miss;
    if (!file.Holds(0, 2)) return miss;
    miss.load = static_cast<uint32_t>(file[0] | file[1] << 8);
    const auto found = [&miss](NearMissKind kind, const IdentificationTest& test, uint32_t size) {
        miss.kind = kind;
        miss.code = CodeOf(test.layout);
        miss.layoutLoad = static_cast<uint32_t>(test.load0 | test.load1 << 8);
        miss.layoutSize = size;
        return miss;
    };
    // The exact size of a layout is the clearest sign.
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (test.rule == Rule::LoadAndSize && file.size == test.size &&
            !HasLoad(file, test.load0, test.load1)) {
            return found(NearMissKind::OtherLoad, test, test.size);
        }
    }
    // Then the load address and a size near one of its layouts'.
    const IdentificationTest* nearest = nullptr;
    uint32_t nearestDistance = NEAR_SIZE_BYTES + 1;
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (test.rule != Rule::LoadAndSize || !HasLoad(file, test.load0, test.load1)) continue;
        const uint32_t distance =
            file.size > test.size ? file.size - test.size : test.size - file.size;
        if (distance != 0 && distance < nearestDistance) {
            nearest = &test;
            nearestDistance = distance;
        }
    }
    if (nearest != nullptr) return found(NearMissKind::OtherSize, *nearest, nearest->size);
    // Then the packed layout known by its load address and end marker.
    for (const IdentificationTest& test : IDENTIFICATION_TESTS) {
        if (test.rule != Rule::EscapeEndMarker || file.size < 4 ||
            !HasLoad(file, test.load0, test.load1)) {
            continue;
        }
        if (file.size < test.size && !EndsWithEndMarker(file)) {
            miss.escape = file[2];
            return found(NearMissKind::NoEndMarker, test, test.size);
        }
        if (file.size >= test.size && EndsWithEndMarker(file)) {
            return found(NearMissKind::PackedTooLarge, test, test.size);
        }
    }
    return miss;
}

uint32_t ProbeUnpackedLength(ByteView file) {
    return ProbeUnpackedLengthUpTo(file, UINT32_MAX);
}

uint32_t ProbeUnpackedLengthUpTo(ByteView file, uint32_t limit) {
    if (file.size < 2) return 0;
    const uint8_t escape = file[file.size - 1];
    const LiteralsKernel literalsBackward = LiteralsBackwardKernel();
    uint32_t count = 0;
    // p counts down from size-2; kept as p+1 in an unsigned so that 0 means "before the start".
    uint32_t remaining = file.size - 1;  // bytes at offsets [0, remaining)
    while (remaining > 0) {
        const uint32_t p = remaining - 1;
        if (count > limit) break;  // past the limit: the count can only grow
        if (file[p] != escape) {
            // A stretch of literals, one output byte each. Pictures whose
            // last byte is common have many short ones: the first few bytes
            // are looked at here, the rest of a long one by the kernel, no
            // further back than needed to pass the limit.
            constexpr uint32_t PEEKED_LITERALS = 8;
            uint32_t literals = 1;
            while (literals < PEEKED_LITERALS && literals < remaining &&
                   file[p - literals] != escape) {
                ++literals;
            }
            if (literals == PEEKED_LITERALS && literals < remaining) {
                const uint32_t start = remaining - literals;
                const uint32_t counted = count + literals;
                const uint32_t wanted =
                    limit - counted < UINT32_MAX ? limit - counted + 1 : UINT32_MAX;
                const uint32_t from = start > wanted ? start - wanted : 0;
                literals += literalsBackward(ByteView{file.data + from, start - from}, start - from,
                                             escape);
            }
            count += literals;
            remaining -= literals;
            continue;
        }
        if (p < 2) break;  // its length or value byte would lie before the file
        const uint32_t length = file[p - 1] == 0 ? 256u : file[p - 1];
        count += length;
        remaining -= 3;
    }
    return count;
}

}  // namespace tarnel
