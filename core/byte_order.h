// The machine's byte order, for code that builds pixels in 64-bit words and
// stores them whole.
#ifndef TARNEL_CORE_BYTE_ORDER_H
#define TARNEL_CORE_BYTE_ORDER_H

#include <cstdint>
#include <cstring>

namespace tarnel {

// Whether a stored word's lowest-value byte comes first in memory.
inline bool LowByteFirst() {
    const uint16_t one = 1;
    uint8_t first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

}  // namespace tarnel

#endif  // TARNEL_CORE_BYTE_ORDER_H
