#include "core/decode.h"

#include <cstring>

#include "core/prepare.h"
#include "core/render.h"
#include "core/unpack.h"

namespace tarnel {

bool NeedsScratch(FormatCode code, uint32_t fileSize) {
    const LayoutInfo* layout = FindLayout(code);
    return layout != nullptr && (layout->packed || fileSize < ImageBytes(code));
}

ByteView ChooseImage(FormatCode code, ByteView file, uint8_t* scratch) {
    const uint32_t needed = ImageBytes(code);
    if (needed == 0) return ByteView{};
    if (!NeedsScratch(code, file.size)) return file;
    if (scratch == nullptr) return ByteView{};
    if (const PackedVariant* variant = FindPackedVariant(code)) {
        // Bytes the stream does not reach stay zero.
        std::memset(scratch, 0, needed);
        UnpackWithin(file, *variant, scratch, needed);
    } else {
        // A short file: the renderer reads zeros past its end.
        if (file.size > 0) std::memcpy(scratch, file.data, file.size);
        std::memset(scratch + file.size, 0, needed - file.size);
    }
    return ByteView{scratch, needed};
}

bool DrawsBlended(FormatCode code, Frame frame) {
    const LayoutInfo* layout = FindLayout(code);
    return layout != nullptr && layout->interlaced && frame == Frame::Blend;
}

bool DrawImage(FormatCode code, ByteView image, const PixelTable& pixels, uint8_t* topRow,
               ptrdiff_t stride, Frame frame) {
    const uint8_t background = BackgroundColour(code, image);
    const LayoutInfo* layout = FindLayout(code);
    if (layout != nullptr && layout->interlaced && frame != Frame::Blend) {
        return RenderInterlacedFrame(code, frame == Frame::First ? 0 : 1, image, background, pixels,
                                     topRow, stride);
    }
    return RenderPicture(code, image, background, pixels, topRow, stride);
}

bool DecodeLayout(FormatCode code, ByteView file, uint8_t* scratch, const PixelTable& pixels,
                  uint8_t* topRow, ptrdiff_t stride) {
    return DrawImage(code, ChooseImage(code, file, scratch), pixels, topRow, stride);
}

}  // namespace tarnel
