// The run-length packed streams of the five packed layouts.
//
// Both stream forms use an escape byte E: any other byte is a literal, one
// output byte; E opens a run of three bytes. Forward streams (read from the
// start) store a run as E, length, value, where length 0 is the end marker.
// Backward streams (read from the file's end towards its start) store a run,
// in file order, as value, length, E, where length 0 means 256, and have no
// end marker.
#ifndef TARNEL_CORE_UNPACK_H
#define TARNEL_CORE_UNPACK_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel {

enum class StreamForm : uint8_t { Forward, Backward };

// Where each packed layout keeps its escape byte and stream, and where the
// unpacked bytes go. Output offsets are those of the unpacked layout's file.
struct PackedVariant {
    FormatCode code;
    StreamForm form;
    // E is the byte at escapeOffset, or with escapeFromEnd the byte that many
    // bytes before the file's end (1: the last byte).
    bool escapeFromEnd;
    uint32_t escapeOffset;
    // Forward: offset of the stream's first byte. Backward: how many bytes
    // before the file's end the stream's last byte lies (1: the last byte).
    uint32_t streamStart;
    // Forward: lowest output offset, written upwards. Backward: highest output
    // offset, written downwards.
    uint32_t firstOutput;
    uint32_t maxWritten;  // most bytes written; a run crossing it is cut
};

// The parameters of a packed code, or nullptr for a code that is not packed.
const PackedVariant* FindPackedVariant(FormatCode code);

// Unpacks `file` into `out` (MEMORY_IMAGE_BYTES long) with the variant's
// parameters. Bytes the stream does not reach keep their content. Malformed
// streams never fail: they give a partial image. Reads only inside `file`,
// writes only inside the variant's output range.
void UnpackForward(ByteView file, const PackedVariant& variant, uint8_t* out);
void UnpackBackward(ByteView file, const PackedVariant& variant, uint8_t* out);

// How many bytes before offset `end`, counting down towards offset 0, differ
// from `escape`: the literals a backward stream reads before its next run.
uint32_t LiteralsBackward(ByteView file, uint32_t end, uint8_t escape);
// The variant LiteralsBackward calls, for a loop that calls it many times.
using LiteralsKernel = uint32_t (*)(ByteView file, uint32_t end, uint8_t escape);
LiteralsKernel LiteralsBackwardKernel();

// Dispatches on the variant's form.
void Unpack(ByteView file, const PackedVariant& variant, uint8_t* out);

// Unpacks into `out` of only `outBytes` bytes: what Unpack writes below
// offset outBytes, the same bytes (a forward stream is cut where it reaches
// outBytes). A backward stream's output range must lie below outBytes
// whole; otherwise nothing is written.
void UnpackWithin(ByteView file, const PackedVariant& variant, uint8_t* out, uint32_t outBytes);

}  // namespace tarnel

#endif  // TARNEL_CORE_UNPACK_H
