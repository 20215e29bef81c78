// The formats beyond the twenty layouts through the C library, one target a
// format (TARNEL_FUZZ_FORMAT, the file opened as that format) and one
// (TARNEL_FUZZ_FORMAT 0) where the input's second byte picks the file name's
// extension from the format table; the first chooses the options. Checks: a result code for every
// input; a picture within the library's limits, drawn into a buffer of exactly its size and nothing
// written past its rows; identification and decoding agree; and a used decoder draws as a new one
// would.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "tarnel/tarnel.h"

#ifndef TARNEL_FUZZ_FORMAT
#error "TARNEL_FUZZ_FORMAT names the format (0: by the input's first byte)"
#endif

using tarnel_fuzz::Check;

namespace {

constexpr uint8_t UNTOUCHED = 0xA5;
// Character screens draw with this made-up ROM, the system's never looked at.
const std::vector<uint8_t> CHARGEN = [] {
    std::vector<uint8_t> rom(4096);
    for (size_t n = 0; n < rom.size(); ++n) rom[n] = static_cast<uint8_t>(n * 37 + n / 8);
    return rom;
}();
constexpr size_t PADDING = 5;

// The extension of the format at `index` of the table, or "" past its end.
std::string ExtensionAt(int index) {
    tarnel_format_info format;
    if (tarnel_format_at(index, &format) != TARNEL_OK) return "";
    const char* space = std::strchr(format.extensions, ' ');
    return space != nullptr ? std::string(format.extensions, space) : format.extensions;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tarnel_decoder* used = tarnel_decoder_new();
    Check(used != nullptr, "a decoder is made");
    if (size < 2) return 0;
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.pixel_format = data[0] & 3;
    options.border = data[0] >> 2 & 1;
    // A screen of several (a Petmate project's second), or the first.
    options.frame = data[0] >> 3 & 1 ? TARNEL_FRAME_AT(1) : TARNEL_FRAME_BLEND;
    options.no_system_charset = 1;
    if (data[0] >> 4 & 1) {
        options.charset = CHARGEN.data();
        options.charset_size = (data[0] >> 5 & 1) != 0 ? 2048 : CHARGEN.size();
    }
    const std::string name = "file." + ExtensionAt(data[1]);
    if (TARNEL_FUZZ_FORMAT != 0) {
        options.layout = TARNEL_FUZZ_FORMAT;
    } else {
        options.file_name = name.c_str();
    }
    // The file, in an allocation of its own size.
    const std::vector<uint8_t> file(data + 2, data + size);

    tarnel_info_ex info{};
    info.size = sizeof info;
    const int identified = tarnel_identify_ex(file.data(), file.size(), &options, &info);
    Check(identified <= TARNEL_OK, "a result code");
    char text[256];
    const int explained = tarnel_explain_ex(file.data(), file.size(), &options, text, sizeof text);
    // A character screen with no character set is known, and refused to be drawn.
    const bool noCharset = identified == TARNEL_OK && info.charset_source == TARNEL_CHARSET_MISSING;
    Check(explained == (noCharset ? TARNEL_E_NO_CHARSET : identified),
          "explaining gives identification's result");
    if (identified != TARNEL_OK) return 0;
    Check(
        info.output_width > 0 && info.output_height > 0 &&
            info.output_width <= TARNEL_BORDER_WIDTH + TARNEL_MAX_PICTURE_SIDE &&
            static_cast<long long>(info.info.width) * info.info.height <= TARNEL_MAX_PICTURE_PIXELS,
        "a picture within the limits");
    if (TARNEL_FUZZ_FORMAT != 0)
        Check(info.info.layout == TARNEL_FUZZ_FORMAT, "the format asked for");

    const size_t bytesPerPixel = tarnel_bytes_per_pixel(options.pixel_format);
    const size_t row = static_cast<size_t>(info.output_width) * bytesPerPixel;
    const size_t stride = row + PADDING;
    const size_t height = static_cast<size_t>(info.output_height);
    std::vector<uint8_t> pixels(stride * height, UNTOUCHED);
    tarnel_info_ex decoded{};
    decoded.size = sizeof decoded;
    const int result =
        tarnel_decode_ex(used, file.data(), file.size(), &options, pixels.data(), stride, &decoded);
    if (noCharset) {
        Check(result == TARNEL_E_NO_CHARSET, "no character set, no picture");
        return 0;
    }
    Check(result == TARNEL_OK || result == TARNEL_E_NO_MEMORY, "an identified file decodes");
    if (result != TARNEL_OK) return 0;
    Check(std::memcmp(&decoded, &info, sizeof info) == 0, "decoding tells what identifying told");
    for (size_t y = 0; y < height; ++y) {
        for (size_t k = row; k < stride; ++k) {
            Check(pixels[y * stride + k] == UNTOUCHED, "nothing written past the picture's rows");
        }
    }
    tarnel_decoder* fresh = tarnel_decoder_new();
    Check(fresh != nullptr, "a decoder is made");
    std::vector<uint8_t> again(pixels.size(), UNTOUCHED);
    Check(tarnel_decode_ex(fresh, file.data(), file.size(), &options, again.data(), stride,
                           nullptr) == TARNEL_OK,
          "a new decoder decodes it too");
    tarnel_decoder_free(fresh);
    Check(again == pixels, "a used decoder draws as a new one");
    return 0;
}
