#include "core/decode.h"

#include <cstring>

#include "core/c64_view.h"
#include "core/on_request.h"
#include "core/prepare.h"
#include "core/render.h"
#include "core/unpack.h"

namespace tarnel {

bool NeedsScratch(FormatCode code, uint32_t fileSize) {
    const LayoutInfo* layout = FindLayout(code);
    return layout != nullptr && (layout->packed || fileSize < ImageBytes(code));
}

ByteView ChooseImage(FormatCode code, ByteView file, uint8_t* scratch) {
    // A layout opened on request draws from its file, which is its exact size.
    if (const OnRequestLayout* onRequest = FindOnRequestLayout(code)) {
        return file.size == onRequest->size ? file : ByteView{};
    }
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
               ptrdiff_t stride, Frame frame, View view) {
    if (const OnRequestLayout* onRequest = FindOnRequestLayout(code)) {
        return DrawOnRequest(*onRequest, image, pixels, topRow, stride, view == View::C64);
    }
    if (view == View::C64 && ChangesInC64View(code)) {
        return DrawC64View(code, image, pixels, topRow, stride, frame);
    }
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
