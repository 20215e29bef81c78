#include "plugin/c64_decoder.h"

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
    const LayoutInfo* layout = FindLayout(formatCode);
    const uint8_t* image = layout != nullptr && layout->packed ? unpackBuffer : fileData;
    return ByteView{image, image != nullptr ? FILE_BUFFER_BYTES : 0};
}

// The file's bytes stay in fileData as read; the unpacked image goes to
// unpackBuffer and is drawn from there. Each page decode unpacks the same
// stream again over the same bytes, so every decode gives the same picture
// and identification always sees the file itself.
void C64Decoder::UnpackPacked(FormatCode code) {
    const PackedVariant* variant = FindPackedVariant(code);
    if (variant != nullptr && unpackBuffer != nullptr) Unpack(File(), *variant, unpackBuffer);
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
