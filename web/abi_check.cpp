// viewer.js reads and writes the library's records in the module's memory at
// fixed offsets; these checks stop the build when the records change.
#include <cstddef>

#include "tarnel/tarnel.h"

static_assert(sizeof(void*) == 4, "viewer.js reads 32-bit pointers");
static_assert(sizeof(int) == 4, "viewer.js reads 32-bit ints");

static_assert(offsetof(tarnel_options, pixel_format) == 0, "OPTIONS_PIXEL_FORMAT");
static_assert(offsetof(tarnel_options, use_palette) == 4, "OPTIONS_USE_PALETTE");
static_assert(offsetof(tarnel_options, palette) == 8, "OPTIONS_PALETTE");
static_assert(sizeof(tarnel_options) == 56, "OPTIONS_BYTES");

static_assert(offsetof(tarnel_info, layout) == 0, "INFO_LAYOUT");
static_assert(offsetof(tarnel_info, name) == 4, "INFO_NAME");
static_assert(offsetof(tarnel_info, packed) == 8, "INFO_PACKED");
static_assert(offsetof(tarnel_info, interlaced) == 12, "INFO_INTERLACED");
static_assert(sizeof(tarnel_info) == 32, "INFO_BYTES");
