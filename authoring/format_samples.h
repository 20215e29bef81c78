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
#include <vector>

#include "core/layouts.h"

namespace tarnel_tools {

struct FormatSample {
    tarnel::FormatCode code = tarnel::FORMAT_UNKNOWN;
    std::string fileName;  // "NN-slug.ext", NN the format's code
    std::vector<uint8_t> bytes;
    // The picture: width x height C64 colours, the top row first.
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> colours;
    // The colour the border takes around it (pictures of 320 x 200).
    uint8_t background = 0;
};

// Every sample, in code order.
std::vector<FormatSample> MakeFormatSamples();

// Each family's samples, appended.
void AddBitmaps(std::vector<FormatSample>* samples);  // format_samples_bitmaps.cpp

}  // namespace tarnel_tools

#endif  // TARNEL_AUTHORING_FORMAT_SAMPLES_H
