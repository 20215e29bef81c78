// An in-memory host for tests: serves a file's bytes through the module's
// read callback and records how it was asked.
#ifndef TARNEL_TESTING_HOST_H
#define TARNEL_TESTING_HOST_H

#include <cstdint>
#include <vector>

#include "plugin/tarnel_api.h"

namespace tarnel_test {

enum class HostBehaviour {
    Honest,       // reports exactly the bytes asked for
    Refuse,       // returns 0
    ReportFewer,  // returns success but reports one byte fewer than asked
    ReportMore,   // returns success and reports more than asked
};

struct FakeHost {
    explicit FakeHost(std::vector<uint8_t> bytes, HostBehaviour behaviour = HostBehaviour::Honest);

    // A source record for IDP_OpenImage; `data` points into `file`.
    HostImageSource Source();

    std::vector<uint8_t> file;
    HostBehaviour behaviour;
    int calls = 0;
    uint32_t lastNeeded = 0;
    uintptr_t lastUserValue = 0;
};

// Opens `file` through the exports; returns the result and stores the handle.
int32_t OpenBytes(const std::vector<uint8_t>& file, TarnelImage* image);

// Decodes page 0 of an open image and returns a copy of the 192,040-byte
// block (empty on failure); the block itself is freed.
std::vector<uint8_t> DecodeBlock(TarnelImage image, int32_t page = 0);

// Opens, decodes and closes: the block for `file`, empty when it fails.
std::vector<uint8_t> DecodeFile(const std::vector<uint8_t>& file);

}  // namespace tarnel_test

#endif  // TARNEL_TESTING_HOST_H
