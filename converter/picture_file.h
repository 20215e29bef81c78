// Reading a picture file and decoding it through the C library.
#ifndef TARNEL_CONVERTER_PICTURE_FILE_H
#define TARNEL_CONVERTER_PICTURE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tarnel/tarnel.h"

namespace tarnel_converter {

// What the converter says of a file that is no picture and comes close to
// none (for one that does, the library says what it is close to).
extern const char* const NOT_PICTURE_TEXT;  // "not a C64 picture this module knows"

// The input name that stands for standard input, and how messages name it.
extern const char* const STDIN_PATH;  // "-"
std::string DisplayName(const std::string& path);

struct PictureFile {
    bool recognised = false;
    std::string reason;          // why it failed, in words; empty on success
    bool sizeKnown = false;      // the file could be read (fileSize is its size)
    uint64_t fileSize = 0;       // as the file system reports it, or as read from a pipe
    std::vector<uint8_t> bytes;  // the whole file, when it is no larger than the limit
    tarnel_info info{};          // on success
    int frameCount = 0;          // on success: 2 for an interlaced layout, otherwise 1
    int layout = 0;              // the layout the user named (--as), or 0
    bool headerless = false;     // on success with --as: the file has no load address
    std::string fileName;        // the path, for the library's name hint (empty for stdin)
    bool chosen = false;         // on success: opened as the layout --as or the name gives
    int ignoredBytes = 0;        // on success: bytes after the picture's data, not read
    // On success, for a character screen: where its glyphs come from (a
    // TARNEL_CHARSET_ source; TARNEL_CHARSET_NONE for other pictures), which
    // set, and the file read for them (--charset's, TARNEL_CHARGEN's, VICE's).
    int charsetSource = TARNEL_CHARSET_NONE;
    int charsetCase = TARNEL_CHARSET_UPPER;
    std::string charsetPath;
};

// A character set named with --charset: its bytes, read whole, and its path.
struct CharacterSet {
    std::string path;
    std::vector<uint8_t> bytes;
};

// Reads --charset's file: 4,096 bytes (the upper-case set, then the
// lower-case one, as VICE keeps the C64's character ROM) or 2,048 (one set);
// false with the reason, naming the file, otherwise.
bool ReadCharacterSet(const std::string& path, CharacterSet* charset, std::string* why);

// Points `options` at the set's bytes (none for an empty set).
void UseCharacterSet(const CharacterSet& charset, tarnel_decode_options* options);

// Reads `path` ("-": standard input) and identifies it; for a file that is
// refused, `reason` says why, and what it comes close to when that is clear.
// A stream (a pipe, a device) larger than the limit is read to its end, to
// learn its size, but not kept. With `layout` (a layout's code, from --as)
// the file is opened as that layout; without it, a refused file's reason
// ends with the --as that would open it, when some layout's own test takes
// it. `charset` (may be empty) is the set character screens are drawn with,
// in place of the one the library finds.
PictureFile ReadPicture(const std::string& path, int layout = 0,
                        const CharacterSet& charset = CharacterSet());

// Decodes a recognised file's bytes into `pixels` (top row first, no padding)
// with `options` (and the file's --as layout), and gives the picture's size; false with the reason
// otherwise, in the library's words (tarnel_explain_ex).
bool DecodePicture(tarnel_decoder* decoder, const PictureFile& file,
                   const tarnel_decode_options& options, std::vector<uint8_t>* pixels,
                   uint32_t* width, uint32_t* height, std::string* why);

}  // namespace tarnel_converter

#endif  // TARNEL_CONVERTER_PICTURE_FILE_H
