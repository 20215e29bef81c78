#include "core/prepare.h"

namespace tarnel {

const PagePreparation* FindPagePreparation(FormatCode code) {
    const LayoutInfo* layout = FindLayout(code);
    return layout != nullptr ? &layout->preparation : nullptr;
}

uint8_t BackgroundColour(FormatCode code, ByteView image) {
    const PagePreparation* preparation = FindPagePreparation(code);
    if (preparation == nullptr || !preparation->backgroundFromImage ||
        !image.Holds(preparation->backgroundOffset)) {
        return 0;
    }
    return image[preparation->backgroundOffset] & 0x0F;
}

}  // namespace tarnel
