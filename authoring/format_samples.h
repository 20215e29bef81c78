// Sample files of the formats beyond the twenty layouts: character sets,
// CharPad projects of every format version, SpritePad sets of every
// version, the sprite bank, Logo Painter, Fluff64 and RIFF CGFX. Each comes
// with the picture it was written to show, as C64 colour numbers, worked out
// from the same drawing the file's bytes were packed from, not by reading
// the file back.
#ifndef TARNEL_AUTHORING_FORMAT_SAMPLES_H
#define TARNEL_AUTHORING_FORMAT_SAMPLES_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/layouts.h"

namespace tarnel_tools {

struct FormatSample {
    FormatSample() = default;
    FormatSample(tarnel::FormatCode code_, std::string fileName_, std::vector<uint8_t> bytes_,
                 uint32_t width_, uint32_t height_, std::vector<uint8_t> colours_,
                 uint8_t background_ = 0)
        : code(code_),
          fileName(std::move(fileName_)),
          bytes(std::move(bytes_)),
          width(width_),
          height(height_),
          colours(std::move(colours_)),
          background(background_) {}

    tarnel::FormatCode code = tarnel::FORMAT_UNKNOWN;
    std::string fileName;  // "NN-slug.ext", NN the format's code
    std::vector<uint8_t> bytes;
    // The picture: width x height C64 colours, the top row first.
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> colours;
    // The colour the border takes around it (pictures of 320 x 200).
    uint8_t background = 0;
    // A picture of two frames (interlaced): its second frame, at its own
    // place, as `colours` is its first; the picture decoded blends the two.
    // Empty for a picture of one frame.
    std::vector<uint8_t> secondFrame;
    // The picture as a C64 shows it (TARNEL_VIEW_C64), where that differs
    // from `colours` (an FLI's strip); empty where it does not.
    std::vector<uint8_t> c64View;
    // A file kept beside it that its picture also needs (a .scr's .col):
    // same name, the extension the format gives. Empty for most.
    std::vector<uint8_t> companion;
    // The screens a file of several holds (a Petmate project), shown one at
    // a time: the picture is its first.
    uint32_t screens = 1;
};

// Every sample, in code order.
std::vector<FormatSample> MakeFormatSamples();

// Character screens (format_samples_petscii.cpp), drawn with MadeUpChargen's
// sets or the file's own glyphs; kept apart, since they need a character set.
std::vector<FormatSample> MakePetsciiSamples();
// A made-up character ROM of 4,096 bytes, laid out as the C64's (the
// upper-case/graphics set, then the lower-case set), for tests and samples.
std::vector<uint8_t> MadeUpChargen();

// Each family's samples, appended.
void AddBitmaps(std::vector<FormatSample>* samples);    // format_samples_bitmaps.cpp
void AddOther(std::vector<FormatSample>* samples);      // format_samples_other.cpp
void AddPacked(std::vector<FormatSample>* samples);     // format_samples_packed.cpp
void AddInterlace(std::vector<FormatSample>* samples);  // format_samples_interlace.cpp
void AddFli(std::vector<FormatSample>* samples);        // format_samples_fli.cpp

}  // namespace tarnel_tools

#endif  // TARNEL_AUTHORING_FORMAT_SAMPLES_H
