#include "plugin/c64_decoder.h"

#include "core/decode.h"
#include "core/identify.h"
#include "platform/allocation.h"

namespace tarnel {

C64Decoder::C64Decoder(const HostImageSource& hostSource) : ImageDecoder(hostSource) {}

C64Decoder::~C64Decoder() {
    platform::Release(fileData);
    platform::Release(unpackBuffer);
}

FormatCode C64Decoder::IdentifyFormat() {
    const Identification found = Identify(File());
    if (found.matched) isInterlaced = found.interlaced ? 1 : 0;
    return found.code;
}

// The decoder holds no more than the picture needs: the file, and an image
// buffer only where the file cannot be drawn from as it is. Besides saving
// memory, this keeps an open image and its page small enough that the C
// library's heap does not hand memory back to the system, and fault it in
// again, each time a host opens, decodes and closes a picture.
void C64Decoder::KeepUnpackBufferIfNeeded() {
    if (FindLayout(formatCode) == nullptr || unpackBuffer == nullptr) return;
    if (!NeedsScratch(formatCode, fileSize)) {
        platform::Release(unpackBuffer);
        unpackBuffer = nullptr;
    }
}

}  // namespace tarnel
