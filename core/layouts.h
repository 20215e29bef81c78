// The twenty C64 picture layouts the module knows, their codes and their
// fixed properties, in one table. Identification rules live in identify.cpp,
// packed-stream parameters in unpack.cpp, background bytes in prepare.cpp and
// video-memory offsets and routes in layout_sources.h.
#ifndef TARNEL_CORE_LAYOUTS_H
#define TARNEL_CORE_LAYOUTS_H

#include <cstddef>
#include <cstdint>

namespace tarnel {

// One byte naming a layout: 1 to 9 and 11 to 21; 0 means unrecognised.
using FormatCode = uint8_t;
constexpr FormatCode FORMAT_UNKNOWN = 0;
// The decoder's code before its first identification.
constexpr FormatCode FORMAT_NOT_IDENTIFIED = 255;

// Files above this size are refused before anything is allocated or read.
constexpr uint32_t MAX_FILE_BYTES = 36864;
// Every offset a layout's tables give (counted from the file's first byte)
// lies below this: the whole memory image any layout can address. Writers of
// test pictures make memory images of this size.
constexpr uint32_t MEMORY_IMAGE_BYTES = 61440;

constexpr uint32_t PICTURE_WIDTH = 320;
constexpr uint32_t PICTURE_HEIGHT = 200;
constexpr uint32_t PICTURE_PIXELS = PICTURE_WIDTH * PICTURE_HEIGHT;

struct LayoutInfo {
    FormatCode code;
    const char* name;       // the usual name of the C64 program that saves it
    bool packed;            // holds a run-length packed stream
    bool interlaced;        // holds two frames that are blended
    FormatCode unpackedAs;  // layout of the unpacked image (own code if not packed)
};

constexpr size_t LAYOUT_COUNT = 20;
extern const LayoutInfo LAYOUTS[LAYOUT_COUNT];

// The layout of a code, or nullptr for 0, 10 and anything above 21.
const LayoutInfo* FindLayout(FormatCode code);

}  // namespace tarnel

#endif  // TARNEL_CORE_LAYOUTS_H
