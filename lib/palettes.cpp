#include "lib/palettes.h"

namespace tarnel_lib {

// Entry 0 is the decoder's own palette, the default everywhere.
const NamedPalette NAMED_PALETTES[] = {
    {"tarnel", "tarnel's own palette, the one the Windows viewer module shows",
     &tarnel::C64_PALETTE},
};
const size_t NAMED_PALETTE_COUNT = sizeof NAMED_PALETTES / sizeof NAMED_PALETTES[0];

}  // namespace tarnel_lib
