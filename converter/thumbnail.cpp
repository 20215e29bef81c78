#include "converter/thumbnail.h"

#include <algorithm>
#include <vector>

namespace tarnel_converter {

namespace {

struct Tap {
    uint32_t source;
    uint32_t weight;
};

// For each of `to` output pixels along one axis, the source pixels (of
// `from`) it covers and by how much. In units where a source pixel is `to`
// long and an output pixel `from` long, every output pixel's weights add up
// to `from`.
std::vector<std::vector<Tap>> AxisTaps(uint32_t from, uint32_t to) {
    std::vector<std::vector<Tap>> taps(to);
    for (uint32_t o = 0; o < to; ++o) {
        const uint64_t start = static_cast<uint64_t>(o) * from;
        const uint64_t end = start + from;
        for (auto i = static_cast<uint32_t>(start / to); i < from && uint64_t{i} * to < end; ++i) {
            const uint64_t overlap = std::min<uint64_t>(uint64_t{i + 1} * to, end) -
                                     std::max<uint64_t>(uint64_t{i} * to, start);
            if (overlap > 0) taps[o].push_back({i, static_cast<uint32_t>(overlap)});
        }
    }
    return taps;
}

}  // namespace

void FitSize(uint32_t width, uint32_t height, uint32_t size, uint32_t* fitWidth,
             uint32_t* fitHeight) {
    const uint32_t longer = std::max(width, height);
    const auto scaled = [&](uint32_t side) {
        const uint64_t value = (uint64_t{side} * size + longer / 2) / longer;
        return static_cast<uint32_t>(std::max<uint64_t>(value, 1));
    };
    *fitWidth = width >= height ? size : scaled(width);
    *fitHeight = height >= width ? size : scaled(height);
}

tarnel_tools::RgbImage ScaleByArea(const tarnel_tools::RgbImage& image, uint32_t width,
                                   uint32_t height) {
    const std::vector<std::vector<Tap>> across = AxisTaps(image.width, width);
    const std::vector<std::vector<Tap>> down = AxisTaps(image.height, height);

    // Across first: sums of source rows, weighted to add up to image.width.
    std::vector<uint32_t> rows(static_cast<size_t>(image.height) * width * 3);
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* source = &image.pixels[static_cast<size_t>(y) * image.width * 3];
        uint32_t* row = &rows[static_cast<size_t>(y) * width * 3];
        for (uint32_t x = 0; x < width; ++x) {
            for (const Tap& tap : across[x]) {
                for (int c = 0; c < 3; ++c)
                    row[3 * x + c] += source[3 * tap.source + c] * tap.weight;
            }
        }
    }
    // Then down, and divide by both weight totals, rounding to nearest.
    const uint64_t total = uint64_t{image.width} * image.height;
    tarnel_tools::RgbImage scaled;
    scaled.width = width;
    scaled.height = height;
    scaled.pixels.resize(static_cast<size_t>(width) * height * 3);
    std::vector<uint64_t> sums(static_cast<size_t>(width) * 3);
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (const Tap& tap : down[y]) {
            const uint32_t* row = &rows[static_cast<size_t>(tap.source) * width * 3];
            for (size_t k = 0; k < sums.size(); ++k) sums[k] += uint64_t{row[k]} * tap.weight;
        }
        uint8_t* out = &scaled.pixels[static_cast<size_t>(y) * width * 3];
        for (size_t k = 0; k < sums.size(); ++k) {
            out[k] = static_cast<uint8_t>((sums[k] + total / 2) / total);
        }
    }
    return scaled;
}

}  // namespace tarnel_converter
