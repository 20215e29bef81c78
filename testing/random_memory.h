// Deterministic random memory images for tests.
#ifndef TARNEL_TESTING_RANDOM_MEMORY_H
#define TARNEL_TESTING_RANDOM_MEMORY_H

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "authoring/layout_files.h"
#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel_test {

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator() & 0xFF);
    return bytes;
}

// A full memory image, random, with runs mixed in so that packers have
// something to pack.
inline std::vector<uint8_t> RandomMemory(uint32_t seed) {
    return tarnel::RandomMemoryImage(seed);
}

inline tarnel::ByteView View(const std::vector<uint8_t>& bytes) {
    return tarnel::ByteView{bytes.data(), static_cast<uint32_t>(bytes.size())};
}

// Every code the module recognises.
inline std::vector<tarnel::FormatCode> AllCodes() {
    std::vector<tarnel::FormatCode> codes;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) codes.push_back(layout.code);
    return codes;
}

// Names parameterised tests by layout code ("Code20").
inline std::string CodeName(const ::testing::TestParamInfo<tarnel::FormatCode>& param) {
    return "Code" + std::to_string(param.param);
}

}  // namespace tarnel_test

#endif  // TARNEL_TESTING_RANDOM_MEMORY_H
