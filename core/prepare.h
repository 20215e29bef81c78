// Where each layout keeps its background colour (the `preparation` column
// of LAYOUTS).
#ifndef TARNEL_CORE_PREPARE_H
#define TARNEL_CORE_PREPARE_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel {

// The preparation of a code, or nullptr for 0, 10 and codes above 21.
const PagePreparation* FindPagePreparation(FormatCode code);

// The background colour of `code` read from `image` (the unpacked image for
// packed layouts): the low four bits of the layout's background byte, or 0
// (also when `image` does not hold that byte).
uint8_t BackgroundColour(FormatCode code, ByteView image);

}  // namespace tarnel

#endif  // TARNEL_CORE_PREPARE_H
