#include "plugin/c64_decoder.h"

#include <cstring>

#include "formats/identify.h"
#include "formats/prepare.h"
#include "formats/unpack.h"
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

uint32_t C64Decoder::ProbeUnpackedLength() const {
    return tarnel::ProbeUnpackedLength(File());
}

ByteView C64Decoder::Image() const {
    if (imageInUnpackBuffer != 0) return ByteView{unpackBuffer, UNPACK_BUFFER_BYTES};
    return File();
}

// The decoder holds no more than the picture needs: the file, and an image
// buffer only where the file cannot be drawn from as it is. Besides saving
// memory, this keeps an open image and its page small enough that the C
// library's heap does not hand memory back to the system, and fault it in
// again, each time a host opens, decodes and closes a picture.
void C64Decoder::PlaceImage() {
    const LayoutInfo* layout = FindLayout(formatCode);
    if (layout == nullptr || unpackBuffer == nullptr) return;
    if (layout->packed) {
        // Bytes the stream does not reach stay zero.
        std::memset(unpackBuffer, 0, UNPACK_BUFFER_BYTES);
        imageInUnpackBuffer = 1;
    } else if (fileSize < ImageBytes(formatCode)) {
        // A short file: the renderer reads zeros past its end.
        std::memcpy(unpackBuffer, fileData, fileSize);
        std::memset(unpackBuffer + fileSize, 0, UNPACK_BUFFER_BYTES - fileSize);
        imageInUnpackBuffer = 1;
    } else {
        platform::Release(unpackBuffer);
        unpackBuffer = nullptr;
    }
}

// The file's bytes stay in fileData as read; the unpacked image goes to
// unpackBuffer and is drawn from there. Each page decode unpacks the same
// stream again over the same bytes, so every decode gives the same picture
// and identification always sees the file itself. Only what the renderer
// reads is unpacked.
void C64Decoder::UnpackPacked(FormatCode code) {
    const PackedVariant* variant = FindPackedVariant(code);
    if (variant != nullptr && unpackBuffer != nullptr) {
        UnpackWithin(File(), *variant, unpackBuffer, UNPACK_BUFFER_BYTES);
    }
}

void C64Decoder::UnpackForward1() {
    UnpackPacked(1);
}
void C64Decoder::UnpackForward7() {
    UnpackPacked(7);
}
void C64Decoder::UnpackForward11() {
    UnpackPacked(11);
}
void C64Decoder::UnpackBackward14() {
    UnpackPacked(14);
}
void C64Decoder::UnpackBackward19() {
    UnpackPacked(19);
}

void C64Decoder::PreparePage() {
    const PagePreparation* preparation = FindPagePreparation(formatCode);
    if (preparation == nullptr) return;
    if (preparation->unpackFirst) UnpackPacked(formatCode);
    backgroundColour = BackgroundColour(formatCode, Image());
}

}  // namespace tarnel
