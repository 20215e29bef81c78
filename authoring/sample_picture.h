// A picture drawn for a format's sample, as C64 colours, and the sample
// that shows it.
#ifndef TARNEL_AUTHORING_SAMPLE_PICTURE_H
#define TARNEL_AUTHORING_SAMPLE_PICTURE_H

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "authoring/format_samples.h"

namespace tarnel_tools {

// A picture being drawn: C64 colours, the top row first.
struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> colours;
    Picture(uint32_t w, uint32_t h, uint8_t fill) : width(w), height(h), colours(w * h, fill) {}
    void Set(uint32_t x, uint32_t y, uint8_t colour) { colours[y * width + x] = colour; }
};

// The sample "NN-slug" of format `code`: `bytes`, showing `picture` with
// `background` around it.
inline FormatSample Sample(tarnel::FormatCode code, const char* slug, std::vector<uint8_t> bytes,
                           const Picture& picture, uint8_t background = 0) {
    char name[64];
    std::snprintf(name, sizeof name, "%02u-%s", static_cast<unsigned>(code), slug);
    return {code,      name, std::move(bytes), picture.width, picture.height, picture.colours,
            background};
}

}  // namespace tarnel_tools

#endif  // TARNEL_AUTHORING_SAMPLE_PICTURE_H
