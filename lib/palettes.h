// The named palettes the library offers, in one table.
#ifndef TARNEL_LIB_PALETTES_H
#define TARNEL_LIB_PALETTES_H

#include <cstddef>

#include "core/palette.h"

namespace tarnel_lib {

struct NamedPalette {
    const char* name;    // short name, as given on command lines
    const char* credit;  // where the values come from
    const tarnel::Palette* colours;
};

extern const NamedPalette NAMED_PALETTES[];
extern const size_t NAMED_PALETTE_COUNT;

}  // namespace tarnel_lib

#endif  // TARNEL_LIB_PALETTES_H
