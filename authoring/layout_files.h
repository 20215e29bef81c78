// Writing whole files of each layout from a C64 memory image. Not part of the
// module; used by the sample pictures, tests, benchmarks and fuzz corpora.
#ifndef TARNEL_AUTHORING_LAYOUT_FILES_H
#define TARNEL_AUTHORING_LAYOUT_FILES_H

#include <cstdint>
#include <vector>

#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel {

// Size of the file of an unpacked layout (2 to 6, 8, 9, 12, 13, 15 to 18, 20,
// 21): its exact recognised size, or for codes 2 and 3, which are recognised
// by signature, just large enough for both frames. 0 for packed codes.
uint32_t UnpackedFileSize(FormatCode code);

// A file of `code` whose picture is drawn from `memory`, a memory image laid
// out as the file of the layout `code` unpacks to (offsets from the file's
// first byte). The load address and signature bytes are set; every other
// byte of the unpacked layout comes from `memory`. Empty when `memory` is
// too short or the picture cannot be stored in that layout.
std::vector<uint8_t> BuildLayoutFile(FormatCode code, ByteView memory);

// A deterministic memory image of MEMORY_IMAGE_BYTES for test pictures and
// corpora: random bytes with runs of equal bytes mixed in (about one run in
// four, up to 300 bytes long), so that the packers have something to pack.
std::vector<uint8_t> RandomMemoryImage(uint32_t seed);

}  // namespace tarnel

#endif  // TARNEL_AUTHORING_LAYOUT_FILES_H
