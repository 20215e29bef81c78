// The formats beyond the twenty layouts: character sets, CharPad projects,
// SpritePad sets and the rest, each a row of one table: its names, file name
// extensions and MIME type, a cheap test of its bytes, and the functions
// that measure and draw its picture. A picture here has the size its file
// gives; it is drawn as C64 colour numbers, which the caller turns into
// pixels. The readers live one family a file (characters.cpp, charpad.cpp,
// sprites.cpp), each with the table of its formats' rows; formats.cpp
// lists the families.
#ifndef TARNEL_CORE_FORMATS_FORMATS_H
#define TARNEL_CORE_FORMATS_FORMATS_H

#include <cstddef>
#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"

namespace tarnel {

// Files of these formats are refused above this size: a CharPad project of
// 65,536 characters and a large map is the largest.
constexpr uint32_t MAX_ANY_FILE_BYTES = 8u * 1024 * 1024;
// The largest picture drawn, a side and in all.
constexpr uint32_t MAX_PICTURE_SIDE = 16384;
constexpr uint32_t MAX_PICTURE_PIXELS = 16u * 1024 * 1024;

struct PictureSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// Whether a picture of `size` may be drawn: neither side 0 nor above
// MAX_PICTURE_SIDE, and at most MAX_PICTURE_PIXELS in all.
constexpr bool DrawableSize(PictureSize size) {
    return size.width > 0 && size.height > 0 && size.width <= MAX_PICTURE_SIDE &&
           size.height <= MAX_PICTURE_SIDE &&
           uint64_t{size.width} * size.height <= MAX_PICTURE_PIXELS;
}

// A picture as C64 colour numbers 0 to 15, a byte a pixel, the top row first.
struct ColourCanvas {
    uint8_t* pixels;
    uint32_t width;
    uint32_t height;

    uint8_t* Row(uint32_t y) const { return pixels + size_t{y} * width; }
    void Fill(uint8_t colour) const;
    // Fills the rectangle, clipped to the canvas.
    void FillRect(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint8_t colour) const;
};

struct TextScreen;  // text_screens.h

// A character screen format's reader: screen `screen` (from 0) of `file`;
// `companion` is the second file some formats keep their colours in (empty
// when there is none). False for a file it cannot read, or a screen the
// file does not hold.
using ReadTextScreenFn = bool (*)(ByteView file, ByteView companion, uint32_t screen,
                                  TextScreen* out);

// How strongly a file's bytes say it is a format.
enum class Evidence : uint8_t {
    None,       // its bytes are not this format
    Shape,      // its size and fixed bytes fit, nothing marks it: taken by name only
    Signature,  // it carries the format's mark: taken by its bytes alone
};

struct FormatReader {
    FormatCode code;
    const char* key;         // the short name users give it
    const char* name;        // what it is, in words
    const char* extensions;  // lower case, space-separated
    const char* mime;        // its MIME type
    bool loadAddress;        // its files start with a C64 load address
    bool signature;          // some of its files carry a mark (Evidence::Signature)
    const char* what;        // what its files hold, for a refusal's words
    // How well `file` fits; reads only inside it.
    Evidence (*sniff)(ByteView file);
    // The picture's size; only for a file `sniff` takes.
    PictureSize (*measure)(ByteView file);
    // The colour around the picture (the C64's background); likewise.
    uint8_t (*background)(ByteView file);
    // Draws every pixel of a canvas of measure's size; likewise. nullptr
    // for a format with `drawFrame`, which draws its every frame and view.
    void (*draw)(ByteView file, const ColourCanvas& canvas);
    // Formats of two frames (interlaced) and formats a C64 shows otherwise
    // than they store it (an FLI's strip): the number of frames (nullptr:
    // one), and frame `frame` (0 or 1) drawn alone at its own place, as
    // stored or as a C64 shows it (nullptr: `draw` for every frame and view).
    uint32_t (*frames)(ByteView file) = nullptr;
    void (*drawFrame)(ByteView file, const ColourCanvas& canvas, uint32_t frame,
                      bool c64View) = nullptr;
    // Character screens, drawn by the library with the glyphs it finds: the
    // screen reader (nullptr for every other format; `draw` is then nullptr
    // and `frames` counts the screens), and the extension of the companion
    // file its files need beside them ("col"), if any.
    ReadTextScreenFn readText = nullptr;
    const char* companion = nullptr;
};

// A family's formats: its table of rows, in its own file.
struct FormatFamily {
    const FormatReader* readers;
    size_t count;
};

// Every format's reader, in code order.
size_t FormatReaderCount();
const FormatReader& FormatReaderAt(size_t index);

// The MIME type of one of the twenty layouts or of a layout opened on
// request, by family (image/x-c64-koala, ...); the common type
// image/x-c64-picture for the layouts of no family.
const char* LayoutMimeType(FormatCode code);

// The reader of `code`, or nullptr.
const FormatReader* FindFormatReader(FormatCode code);

// The extension of a file name: the text after the last '.' of its last
// path component, or the whole text when it has no '.' and no separator
// (an extension given alone). Lower case into `out` (at most 15 characters);
// empty when there is none or it is longer.
void ExtensionOf(const char* fileName, char out[16]);

// Whether `extension` (lower case) is one of `extensions` (space-separated).
bool ListsExtension(const char* extensions, const char* extension);

// The format `file` is among these readers: the first whose mark it
// carries; otherwise the first that `extension` (ExtensionOf's, may be
// empty) names and whose shape it fits; else FORMAT_UNKNOWN.
FormatCode FindFormat(ByteView file, const char* extension);

}  // namespace tarnel

#endif  // TARNEL_CORE_FORMATS_FORMATS_H
