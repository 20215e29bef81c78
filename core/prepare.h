// Per-layout preparation before drawing: which layouts are unpacked first and
// where each layout keeps its background colour.
#ifndef TARNEL_CORE_PREPARE_H
#define TARNEL_CORE_PREPARE_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel {

struct PagePreparation {
    bool unpackFirst;           // the packed stream is unpacked before the background is read
    bool backgroundFromImage;   // false: the background is colour 0
    uint32_t backgroundOffset;  // offset of the background byte in the (unpacked) image
};

// No layout keeps its background byte past this offset.
constexpr uint32_t LARGEST_BACKGROUND_OFFSET = 10050;

// The preparation of a code, or nullptr for 0, 10 and codes above 21.
const PagePreparation* FindPagePreparation(FormatCode code);

// The background colour of `code` read from `image` (the unpacked image for
// packed layouts): the low four bits of the layout's background byte, or 0
// (also when `image` does not hold that byte).
uint8_t BackgroundColour(FormatCode code, ByteView image);

}  // namespace tarnel

#endif  // TARNEL_CORE_PREPARE_H
