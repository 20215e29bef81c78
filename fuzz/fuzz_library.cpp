// The C library's decode over arbitrary bytes with arbitrary options. The
// input's first four bytes choose the options: pixel format (one value is
// no format at all), row padding, whether a palette replaces the library's
// own, and the seed of that palette; the rest is the file. One decoder is
// kept for the whole run, so every input also proves that a used decoder
// draws as a new one would. Checks: the result the rules give, nothing
// written on failure or outside the rows' pixels, and every pixel as the
// plain model of the layouts draws it in the chosen palette and format.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/layouts.h"
#include "fuzz/fuzz_common.h"
#include "tarnel/tarnel.h"
#include "testing/c64_model.h"
#include "testing/reference.h"

using tarnel_fuzz::Check;

namespace {

constexpr size_t OPTION_BYTES = 4;
constexpr uint8_t UNTOUCHED = 0xA5;

struct Channels {
    uint8_t c[3];
};

// The colour of a model index in `palette`, blended for interlaced layouts.
Channels Colour(const unsigned char palette[16][3], uint8_t index, bool blend) {
    Channels out{};
    for (int k = 0; k < 3; ++k) {
        out.c[k] = blend
                       ? static_cast<uint8_t>((palette[index >> 4][k] + palette[index & 15][k]) / 2)
                       : palette[index & 15][k];
    }
    return out;
}

// The same file through tarnel_decode_ex with the options the input's bytes
// choose: opened by content or as a layout (some codes no layout at all),
// stored or as a C64 shows it, any frame, with or without the border. The
// picture is not modelled here; every call must give a result, write
// nothing on failure and nothing past its rows' pixels.
void DecodeWithOptions(tarnel_decoder* decoder, const uint8_t* data, const uint8_t* file,
                       size_t fileSize) {
    // The 1.2 record: the twenty and Hires Manager (fuzz_formats takes 1.3's).
    tarnel_decode_options options;
    (tarnel_decode_options_init)(&options);
    options.layout = data[1] % 24;  // 0: by content; 10 and 23 are no layout
    options.view = data[2] >> 1 & 1;
    options.frame = data[2] >> 2 & 3;  // 3 is no frame
    options.border = data[2] >> 4 & 1;
    options.pixel_format = data[0] % 4;
    int width = 0;
    int height = 0;
    const bool good = options.frame != 3 && (options.layout == 0 ||
                                             (options.layout <= TARNEL_FORMAT_HIRES_MANAGER &&
                                              tarnel_layout_short_name(options.layout) != nullptr));
    Check((tarnel_output_size(&options, &width, &height) == TARNEL_OK) == good,
          "the output size of good options, and no size for bad ones");
    const size_t row = 384 * 4;
    const size_t stride = row + 8;
    std::vector<uint8_t> pixels(stride * 272, UNTOUCHED);
    tarnel_info_ex info{};
    info.size = sizeof info;
    const int result =
        tarnel_decode_ex(decoder, file, fileSize, &options, pixels.data(), stride, &info);
    Check(result <= TARNEL_OK, "a result code");
    const size_t written = result == TARNEL_OK ? static_cast<size_t>(width) *
                                                     tarnel_bytes_per_pixel(options.pixel_format)
                                               : 0;
    for (size_t y = 0; y < 272; ++y) {
        const size_t rowWritten = y < static_cast<size_t>(height) ? written : 0;
        for (size_t k = rowWritten; k < stride; ++k) {
            Check(pixels[y * stride + k] == UNTOUCHED, "nothing written past the picture");
        }
    }
    if (result == TARNEL_OK && options.layout != 0) {
        Check(info.info.layout == options.layout && info.chosen == 1, "opened as the layout");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tarnel_decoder* decoder = tarnel_decoder_new();
    Check(decoder != nullptr, "a decoder is made");
    if (size < OPTION_BYTES || size > OPTION_BYTES + 2 * tarnel::MAX_FILE_BYTES) return 0;

    tarnel_options options;
    tarnel_options_init(&options);
    options.pixel_format = data[0] % 5;  // 4 is no format
    const size_t padding = data[1] % 32;
    options.use_palette = data[2] & 1;
    uint32_t state = data[3] * 2654435761u + 1;
    for (auto& colour : options.palette) {
        for (unsigned char& channel : colour) {
            state = state * 1103515245u + 12345u;
            channel = static_cast<unsigned char>(state >> 16);
        }
    }
    const uint8_t* file = data + OPTION_BYTES;
    const size_t fileSize = size - OPTION_BYTES;
    DecodeWithOptions(decoder, data, file, fileSize);

    const size_t bytesPerPixel = tarnel_bytes_per_pixel(options.pixel_format);
    const size_t stride = 320 * (bytesPerPixel == 0 ? 3 : bytesPerPixel) + padding;
    std::vector<uint8_t> pixels(stride * 200, UNTOUCHED);
    tarnel_info info;
    std::memset(&info, 0xEE, sizeof info);
    const tarnel_info untouchedInfo = info;
    const int result =
        tarnel_decode(decoder, file, fileSize, &options, pixels.data(), stride, &info);

    const std::vector<uint8_t> bytes(file, file + fileSize);
    const tarnel_reference::Found expected = fileSize > tarnel::MAX_FILE_BYTES
                                                 ? tarnel_reference::Found{}
                                                 : tarnel_reference::Identify(bytes);
    int expectedResult = TARNEL_OK;
    if (bytesPerPixel == 0) {
        expectedResult = TARNEL_E_BAD_OPTIONS;
    } else if (fileSize > tarnel::MAX_FILE_BYTES) {
        expectedResult = TARNEL_E_TOO_LARGE;
    } else if (expected.code == 0) {
        expectedResult = TARNEL_E_NOT_RECOGNISED;
    }
    Check(result == expectedResult, "the result the rules give");
    if (result != TARNEL_OK) {
        for (uint8_t b : pixels) Check(b == UNTOUCHED, "a failed decode writes no pixel");
        Check(std::memcmp(&info, &untouchedInfo, sizeof info) == 0,
              "a failed decode leaves the information alone");
        return 0;
    }
    Check(info.layout == expected.code && info.width == 320 && info.height == 200 &&
              info.name != nullptr &&
              info.interlaced == (tarnel_test::ModelInterlaced(info.layout) ? 1 : 0),
          "the information of the recognised layout");

    // The memory image the layout shows: the file padded with zeros, or the
    // packed stream unpacked step by step into a zeroed buffer.
    std::vector<uint8_t> image(tarnel::MEMORY_IMAGE_BYTES, 0);
    if (!tarnel_reference::Unpack(expected.code, bytes, image.data())) {
        std::memcpy(image.data(), bytes.data(), bytes.size());
    }
    const std::vector<uint8_t> indices = tarnel_test::ModelIndices(expected.code, image);
    const bool blend = tarnel_test::ModelInterlaced(expected.code);
    unsigned char palette[16][3];
    if (options.use_palette != 0) {
        std::memcpy(palette, options.palette, sizeof palette);
    } else {
        tarnel_palette_colours(0, palette);
    }
    const bool redFirst =
        options.pixel_format == TARNEL_RGB24 || options.pixel_format == TARNEL_RGBA32;
    for (int y = 0; y < 200; ++y) {
        const uint8_t* row = pixels.data() + static_cast<size_t>(y) * stride;
        for (int u = 0; u < 320; ++u) {
            const Channels want = Colour(palette, indices[y * 320 + u], blend);
            const uint8_t* p = row + u * bytesPerPixel;
            const bool same = p[0] == want.c[redFirst ? 0 : 2] && p[1] == want.c[1] &&
                              p[2] == want.c[redFirst ? 2 : 0] &&
                              (bytesPerPixel == 3 || p[3] == 255);
            if (!same) {
                std::fprintf(stderr, "layout %d, pixel (%d, %d)\n", expected.code, u, y);
                Check(false, "the picture is the model's picture in the chosen palette");
            }
        }
        for (size_t k = 320 * bytesPerPixel; k < stride; ++k) {
            Check(row[k] == UNTOUCHED, "the padding after each row is not written");
        }
    }
    return 0;
}
