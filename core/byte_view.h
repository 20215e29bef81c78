// A read-only view of bytes with the size it may be read within. The decoding
// core takes its input as views so that every read can be checked against
// the end of the file it came from.
#ifndef TARNEL_CORE_BYTE_VIEW_H
#define TARNEL_CORE_BYTE_VIEW_H

#include <cstdint>

namespace tarnel {

struct ByteView {
    const uint8_t* data = nullptr;
    uint32_t size = 0;

    // True when bytes [offset, offset + count) all lie inside the view.
    constexpr bool Holds(uint32_t offset, uint32_t count = 1) const {
        return offset <= size && count <= size - offset;
    }
    constexpr uint8_t operator[](uint32_t offset) const { return data[offset]; }
};

}  // namespace tarnel

#endif  // TARNEL_CORE_BYTE_VIEW_H
