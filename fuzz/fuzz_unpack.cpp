// One unpacker (TARNEL_FUZZ_CODE: 1, 7, 11, 14 or 19) over arbitrary bytes.
// The input lies in libFuzzer's buffer of exactly its size and the output in
// a heap buffer of exactly MEMORY_IMAGE_BYTES, so a read past the file or a
// write past the buffer is caught; the bytes written, and those left alone,
// must be those of the plain step-by-step unpacker.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/layouts.h"
#include "core/unpack.h"
#include "fuzz/fuzz_common.h"
#include "testing/reference.h"

#ifndef TARNEL_FUZZ_CODE
#error "TARNEL_FUZZ_CODE names the packed layout whose unpacker is fuzzed"
#endif

using tarnel_fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > tarnel::MAX_FILE_BYTES) return 0;  // the decoder never reads more
    static const tarnel::PackedVariant* const variant = tarnel::FindPackedVariant(TARNEL_FUZZ_CODE);
    Check(variant != nullptr, "the fuzzed code is packed");

    const tarnel::ByteView file{size == 0 ? nullptr : data, static_cast<uint32_t>(size)};
    const std::vector<uint8_t> bytes(data, data + size);
    // Both outputs start with the same non-zero pattern, so bytes the stream
    // does not reach must keep it. The buffers are made once (each exactly
    // MEMORY_IMAGE_BYTES long) and reset for every input.
    static const std::vector<uint8_t> pattern = [] {
        std::vector<uint8_t> p(tarnel::MEMORY_IMAGE_BYTES);
        for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i * 7 + 3);
        return p;
    }();
    static std::vector<uint8_t> unpacked(tarnel::MEMORY_IMAGE_BYTES);
    static std::vector<uint8_t> expected(tarnel::MEMORY_IMAGE_BYTES);
    std::memcpy(unpacked.data(), pattern.data(), pattern.size());
    std::memcpy(expected.data(), pattern.data(), pattern.size());

    tarnel::Unpack(file, *variant, unpacked.data());
    tarnel_reference::Unpack(TARNEL_FUZZ_CODE, bytes, expected.data());
    if (std::memcmp(unpacked.data(), expected.data(), unpacked.size()) != 0) {
        for (size_t i = 0; i < unpacked.size(); ++i) {
            if (unpacked[i] != expected[i]) {
                std::fprintf(stderr, "offset %zu: unpacked %u, expected %u\n", i, unpacked[i],
                             expected[i]);
                break;
            }
        }
        Check(false, "the unpacker writes what the stream says, and nothing else");
    }
    return 0;
}
