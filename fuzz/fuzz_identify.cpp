// Identification, the length probe and the near-miss analysis over arbitrary
// bytes, read from libFuzzer's buffer of exactly the input's size (so any
// read past the file's end is caught), the first two compared with the plain
// restatement of the rules.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/identify.h"
#include "fuzz/fuzz_common.h"
#include "testing/reference.h"

using tarnel_fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4 * tarnel::MAX_FILE_BYTES) return 0;
    const tarnel::ByteView file{size == 0 ? nullptr : data, static_cast<uint32_t>(size)};
    const std::vector<uint8_t> bytes(data, data + size);

    const tarnel::Identification found = tarnel::Identify(file);
    const tarnel_reference::Found expected = tarnel_reference::Identify(bytes);
    Check(found.code == expected.code, "identification gives the code of the last matching test");
    Check(found.matched == (expected.code != 0), "a match is reported exactly when a test matched");
    if (found.matched) {
        Check(found.interlaced == expected.interlaced, "isInterlaced belongs to the code");
        const tarnel::LayoutInfo* layout = tarnel::FindLayout(found.code);
        Check(layout != nullptr && layout->interlaced == found.interlaced,
              "the code is a known layout with its own interlace flag");
    }
    if (size < 4) Check(found.code == 0, "files of fewer than 4 bytes are never recognised");
    if (!found.matched) {
        // What a refused file comes close to: read inside the file only, and
        // always a known layout when anything.
        const tarnel::NearMiss miss = tarnel::FindNearMiss(file);
        Check((miss.kind == tarnel::NearMissKind::None) == (miss.code == 0),
              "a near miss names a layout exactly when there is one");
        Check(miss.code == 0 || tarnel::FindLayout(miss.code) != nullptr,
              "a near miss names a known layout");
    }

    Check(tarnel::ProbeUnpackedLength(file) == tarnel_reference::Probe(bytes),
          "the length probe counts as the backward stream unpacks");
    return 0;
}
