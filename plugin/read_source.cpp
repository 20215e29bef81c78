// Reading the file through the host's callback.
#include <cstring>

#include "plugin/image_decoder.h"

namespace tarnel {

int ImageDecoder::ReadSource(uint8_t* destination, uint32_t count) {
    // Bytes from the start of the file that this copy needs.
    const uint32_t consumed = static_cast<uint32_t>(readPosition - source.data);
    if (count > UINT32_MAX - consumed) return 0;
    const uint32_t needed = consumed + count;
    if (needed > availableBytes) {
        if (source.readCallback == nullptr ||
            source.readCallback(source.userValue, needed, &availableBytes) == 0) {
            return 0;
        }
        // Copy only what the host has promised: a host that reports fewer
        // bytes than asked for has not made the rest valid.
        if (needed > availableBytes) return 0;
    }
    if (count > 0) std::memcpy(destination, readPosition, count);
    readPosition += count;
    return 1;
}

}  // namespace tarnel
