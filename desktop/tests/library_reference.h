// What the C library itself makes of a file: the reference the plug-ins'
// pictures and refusal texts are held to. The plug-ins pass a 1.3 options
// record (every format, at its own size) with the file's name as the hint
// where their host gives one.
#ifndef TARNEL_DESKTOP_LIBRARY_REFERENCE_H
#define TARNEL_DESKTOP_LIBRARY_REFERENCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/tests/host_test_data.h"
#include "tarnel/tarnel.h"

namespace tarnel_desktop_test {

inline tarnel_decode_options Options(const char* hint) {
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = hint;
    return options;
}

// The file decoded, at its own size; empty when it is refused.
inline Pixels LibraryPixels(const std::vector<uint8_t>& bytes, const char* hint = nullptr) {
    const tarnel_decode_options options = Options(hint);
    tarnel_info_ex info;
    info.size = sizeof info;
    Pixels pixels;
    if (bytes.size() > TARNEL_MAX_ANY_FILE_SIZE ||
        tarnel_identify_ex(bytes.data(), bytes.size(), &options, &info) != TARNEL_OK) {
        return pixels;
    }
    pixels.width = info.output_width;
    pixels.height = info.output_height;
    pixels.rgb.resize(static_cast<size_t>(pixels.width) * 3 * static_cast<size_t>(pixels.height));
    tarnel_decoder* decoder = tarnel_decoder_new();
    const int result =
        tarnel_decode_ex(decoder, bytes.data(), bytes.size(), &options, pixels.rgb.data(),
                         static_cast<size_t>(pixels.width) * 3, nullptr);
    tarnel_decoder_free(decoder);
    if (result != TARNEL_OK) pixels = Pixels();
    return pixels;
}

// The words a plug-in gives for refusing the file: the library's
// explanation, or for a file above the limit (whose true size a plug-in
// reading at most one byte past the limit does not know) its text for that.
inline std::string RefusalText(const std::vector<uint8_t>& bytes, const char* hint = nullptr) {
    if (bytes.size() > TARNEL_MAX_ANY_FILE_SIZE) return tarnel_strerror(TARNEL_E_TOO_LARGE);
    const tarnel_decode_options options = Options(hint);
    char text[1024];  // as much room as the plug-ins give
    tarnel_explain_ex(bytes.data(), bytes.size(), &options, text, sizeof text);
    return text;
}

}  // namespace tarnel_desktop_test

#endif  // TARNEL_DESKTOP_LIBRARY_REFERENCE_H
