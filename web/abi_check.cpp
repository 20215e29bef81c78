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

static_assert(offsetof(tarnel_decode_options, size) == 0, "DECODE_OPTIONS_SIZE");
static_assert(offsetof(tarnel_decode_options, pixel_format) == 4, "DECODE_OPTIONS_PIXEL_FORMAT");
static_assert(offsetof(tarnel_decode_options, use_palette) == 8, "DECODE_OPTIONS_USE_PALETTE");
static_assert(offsetof(tarnel_decode_options, palette) == 12, "DECODE_OPTIONS_PALETTE");
static_assert(offsetof(tarnel_decode_options, frame) == 60, "DECODE_OPTIONS_FRAME");
static_assert(offsetof(tarnel_decode_options, border) == 64, "DECODE_OPTIONS_BORDER");
static_assert(offsetof(tarnel_decode_options, layout) == 72, "DECODE_OPTIONS_LAYOUT");
static_assert(offsetof(tarnel_decode_options, view) == 76, "DECODE_OPTIONS_VIEW");
static_assert(offsetof(tarnel_decode_options, file_name) == 80, "DECODE_OPTIONS_FILE_NAME");
static_assert(offsetof(tarnel_decode_options, charset) == 84, "DECODE_OPTIONS_CHARSET");
static_assert(offsetof(tarnel_decode_options, charset_size) == 88, "DECODE_OPTIONS_CHARSET_SIZE");
static_assert(offsetof(tarnel_decode_options, no_system_charset) == 92,
              "DECODE_OPTIONS_NO_SYSTEM_CHARSET");
static_assert(offsetof(tarnel_decode_options, screen_colours) == 96,
              "DECODE_OPTIONS_SCREEN_COLOURS");
static_assert(offsetof(tarnel_decode_options, companion) == 100, "DECODE_OPTIONS_COMPANION");
static_assert(offsetof(tarnel_decode_options, companion_size) == 104,
              "DECODE_OPTIONS_COMPANION_SIZE");
static_assert(sizeof(tarnel_decode_options) == 108, "DECODE_OPTIONS_BYTES");

static_assert(offsetof(tarnel_info_ex, size) == 0, "INFO_EX_SIZE");
static_assert(offsetof(tarnel_info_ex, info) == 4, "INFO_EX_INFO");
static_assert(offsetof(tarnel_info_ex, frame_count) == 36, "INFO_EX_FRAME_COUNT");
static_assert(offsetof(tarnel_info_ex, output_width) == 40, "INFO_EX_OUTPUT_WIDTH");
static_assert(offsetof(tarnel_info_ex, output_height) == 44, "INFO_EX_OUTPUT_HEIGHT");
static_assert(offsetof(tarnel_info_ex, chosen) == 48, "INFO_EX_CHOSEN");
static_assert(offsetof(tarnel_info_ex, headerless) == 52, "INFO_EX_HEADERLESS");
static_assert(offsetof(tarnel_info_ex, ignored_bytes) == 56, "INFO_EX_IGNORED_BYTES");
static_assert(offsetof(tarnel_info_ex, charset_source) == 60, "INFO_EX_CHARSET_SOURCE");
static_assert(offsetof(tarnel_info_ex, charset_case) == 64, "INFO_EX_CHARSET_CASE");
static_assert(offsetof(tarnel_info_ex, charset_path) == 68, "INFO_EX_CHARSET_PATH");
static_assert(sizeof(tarnel_info_ex) == 324, "INFO_EX_BYTES");
static_assert(TARNEL_CHARSET_NONE == 0 && TARNEL_CHARSET_FILE == 1 && TARNEL_CHARSET_CALLER == 2 &&
                  TARNEL_CHARSET_MISSING == 5,
              "CHARSET_SOURCES");
static_assert(TARNEL_CHARSET_UPPER == 0 && TARNEL_CHARSET_LOWER == 1 && TARNEL_CHARSET_OWN == 2,
              "CHARSET_CASES");
static_assert(TARNEL_E_NO_CHARSET == -8, "NO_CHARSET");
static_assert(TARNEL_FRAME_AT(0) == 1, "FRAME_AT");

static_assert(offsetof(tarnel_format_info, code) == 0, "FORMAT_CODE");
static_assert(offsetof(tarnel_format_info, short_name) == 4, "FORMAT_SHORT_NAME");
static_assert(offsetof(tarnel_format_info, name) == 8, "FORMAT_NAME");
static_assert(offsetof(tarnel_format_info, extensions) == 12, "FORMAT_EXTENSIONS");
static_assert(offsetof(tarnel_format_info, found_by) == 20, "FORMAT_FOUND_BY");
static_assert(sizeof(tarnel_format_info) == 28, "FORMAT_BYTES");
static_assert(TARNEL_FOUND_BY_CONTENT == 1 && TARNEL_FOUND_BY_NAME == 2 &&
                  TARNEL_FOUND_ON_REQUEST == 3,
              "FOUND_BY");

// The limits viewer.js keeps.
static_assert(TARNEL_MAX_ANY_FILE_SIZE == 8388608, "MAX_FILE_SIZE");
static_assert(TARNEL_BORDER_WIDTH == 384 && TARNEL_BORDER_HEIGHT == 272, "BORDERED");
