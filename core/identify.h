// Recognising a C64 picture layout from a file's bytes alone.
#ifndef TARNEL_CORE_IDENTIFY_H
#define TARNEL_CORE_IDENTIFY_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel {

struct Identification {
    FormatCode code = FORMAT_UNKNOWN;  // 0 when no test matched
    bool matched = false;              // some test matched (then `interlaced` is meaningful)
    bool interlaced = false;
};

// Text signatures recognised at fixed offsets.
extern const uint8_t FUNPAINT_SIGNATURE[16];  // at offset 0; byte 16 is the packing flag
extern const uint8_t GUNPAINT_SIGNATURE[13];  // at offset GUNPAINT_SIGNATURE_OFFSET
extern const uint8_t DRAZLACE_SIGNATURE[15];  // at offset 0
constexpr uint32_t FUNPAINT_PACKING_FLAG = 16;
constexpr uint32_t GUNPAINT_SIGNATURE_OFFSET = 1002;
// The header of the packed FLI Graph layout: bytes 0, 1, 5, 6 and 7.
constexpr uint8_t FLI_GRAPH_PACKED_HEADER[8] = {0xF0, 0x38, 0, 0, 0, 0x3F, 0x7F, 0x00};

// Load address bytes and exact size of a layout recognised by them (the
// first such test of the code); false for codes recognised otherwise.
struct LoadAndSize {
    uint8_t load0, load1;
    uint32_t size;
};
bool FindLoadAndSize(FormatCode code, LoadAndSize* found);

// What a file that no test recognises comes closest to, when that is clear.
enum class NearMissKind : uint8_t {
    None,            // nothing is clearly close
    OtherLoad,       // the exact size of a load-and-size layout, but another load address
    OtherSize,       // the load address of a load-and-size layout, the size a little off
    NoEndMarker,     // the load address and a size of the end-marker layout, no end marker
    PackedTooLarge,  // the load address and end marker of that layout, but too large for it
};

struct NearMiss {
    NearMissKind kind = NearMissKind::None;
    FormatCode code = FORMAT_UNKNOWN;  // the layout the file comes close to
    uint32_t load = 0;                 // the file's load address
    uint32_t layoutLoad = 0;           // that layout's load address
    // OtherLoad, OtherSize: the layout's size (the nearest, for a layout of
    // two sizes); PackedTooLarge: the size its files stay below.
    uint32_t layoutSize = 0;
    uint8_t escape = 0;  // NoEndMarker: the stream's escape byte (byte 2)
};

// A size within this many bytes of a layout's size counts as close: a file
// one disk block (254 bytes of data) too long or too short still is.
constexpr uint32_t NEAR_SIZE_BYTES = 256;

// Why `file` is close to a layout, judged by the same tests Identify runs:
// its size and load address against the load-and-size tests, its load
// address, size and last bytes against the end-marker test. Meant for files
// Identify does not recognise; reads only bytes inside `file`.
NearMiss FindNearMiss(ByteView file);

// Runs the twenty ordered identification tests over the whole file; the last
// test that matches decides. When none matches, one more test takes the
// packed multicolour bitmaps (code 11) whose stream opens with a literal: load
// 00 40, under 12,000 bytes, and a forward stream from offset 2, escape byte
// at size-2, that unpacks to at least 10,001 bytes before its first end
// marker, which is the file's last two bytes. Reads only bytes inside `file`.
Identification Identify(ByteView file);

// The number of bytes `file` unpacks to when read from its end towards its
// start as a backward escape stream whose escape byte is the file's last byte.
uint32_t ProbeUnpackedLength(ByteView file);
// The same, but free to stop once the count has passed `limit`: a result up
// to `limit` is exact, one above it says only that the length is above it.
uint32_t ProbeUnpackedLengthUpTo(ByteView file, uint32_t limit);

// Opening a file as the layout its user names. Identification by content
// is untouched by this: the file is taken as `code` when it passes `code`'s
// own identification test with the layout's own load address in its first
// two bytes (a relocated file), or with that address put before it (a
// headerless file). Every rule is then the one a recognised file meets, so
// the same pipeline draws it.
enum class OpenAs : uint8_t {
    Refused,     // it does not pass the layout's test either way
    Stored,      // its first two bytes are a load address (maybe another one)
    Headerless,  // it holds the layout's bytes without the load address
};

struct OpenedAs {
    OpenAs how = OpenAs::Refused;
    ByteView file;  // the file as the layout holds it, in `out`; empty when refused
};

// The load address a layout's files carry, low byte first.
struct LoadBytes {
    uint8_t load0, load1;
};
LoadBytes OwnLoadOf(FormatCode code);

// The bytes `file` gives as layout `code`: written into `out`, which must
// hold OPEN_AS_BYTES; reads only inside `file`. Refused for a code that is
// no layout or a file that does not fit in MAX_FILE_BYTES as the layout.
constexpr uint32_t OPEN_AS_BYTES = MAX_FILE_BYTES;
OpenedAs OpenFileAs(FormatCode code, ByteView file, uint8_t* out);

// The exact sizes of a layout recognised by load address and size (one or
// two; the rest 0), or none for a layout recognised otherwise.
struct FixedSizes {
    uint32_t sizes[2] = {0, 0};
    uint32_t count = 0;
};
FixedSizes FixedSizesOf(FormatCode code);

}  // namespace tarnel

#endif  // TARNEL_CORE_IDENTIFY_H
