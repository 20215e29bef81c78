// The built-in sample pictures: one recognisable picture in each of the
// twenty layouts (a sky of C64 colour gradients, a sun, mountains, a
// chequered floor, a bar of the sixteen colours and the layout's name in the
// built-in font), drawn and encoded the same way on every run. The
// interlaced layouts get two frames that differ (the gradient shifted by half
// a band, a ball in a different place), so the blend shows.
#ifndef TARNEL_AUTHORING_SAMPLE_PICTURES_H
#define TARNEL_AUTHORING_SAMPLE_PICTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/layouts.h"

namespace tarnel_tools {

// The colours one frame shows after encoding, one C64 colour (0 to 15) per
// pixel of the layout's own resolution: 160 x 200 for multicolour frames,
// 320 x 200 for hires ones; row-major from the top-left.
struct FrameColours {
    uint32_t width = 0;
    std::vector<uint8_t> colours;
    uint8_t At(uint32_t x, uint32_t y) const { return colours[y * width + x]; }
};

struct SamplePicture {
    tarnel::FormatCode code = tarnel::FORMAT_UNKNOWN;
    std::string fileName;              // "NN-slug.ext", NN the two-digit code
    std::vector<uint8_t> bytes;        // the file; empty if it could not be built
    std::vector<FrameColours> frames;  // two for interlaced layouts, else one
};

// The sample of `code`; a picture with no bytes for codes the module lacks.
SamplePicture MakeSample(tarnel::FormatCode code);

// The samples of all twenty layouts, in the order of the layout table.
std::vector<SamplePicture> MakeAllSamples();

}  // namespace tarnel_tools

#endif  // TARNEL_AUTHORING_SAMPLE_PICTURES_H
