// Writing the packed streams: the inverse of unpack.h. Not part of the module;
// used by the converter's sample pictures, the tests, benchmarks and fuzzers.
#ifndef TARNEL_AUTHORING_PACK_H
#define TARNEL_AUTHORING_PACK_H

#include <cstdint>
#include <vector>

#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel {

// The byte value that occurs least often in `data` (the cheapest escape byte).
uint8_t LeastFrequentByte(ByteView data);

// A forward stream that unpacks to `data`, ending with the end marker
// (escape, 0). With `startWithRun` the stream's first byte is the escape byte
// (the first byte of data is stored as a run, of length 1 if need be).
std::vector<uint8_t> PackForwardStream(ByteView data, uint8_t escape, bool startWithRun);

// A backward stream that, read from its last byte towards its first, unpacks
// to `data` written from its last byte downwards. No escape byte is appended.
std::vector<uint8_t> PackBackwardStream(ByteView data, uint8_t escape);

// The packed file of `packedCode` (1, 7, 11, 14 or 19) whose stream unpacks
// to `image`, a file of the unpacked layout (2, 6, 20, 13 and 20). Returns an
// empty vector when the picture cannot be stored in that layout (code 11
// files must stay below 12,000 bytes and not be exactly 10,004).
std::vector<uint8_t> PackFile(FormatCode packedCode, ByteView image);

}  // namespace tarnel

#endif  // TARNEL_AUTHORING_PACK_H
