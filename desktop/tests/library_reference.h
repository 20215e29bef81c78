// What the C library itself makes of a file: the reference the plug-ins'
// pictures and refusal texts are held to.
#ifndef TARNEL_DESKTOP_LIBRARY_REFERENCE_H
#define TARNEL_DESKTOP_LIBRARY_REFERENCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tarnel/tarnel.h"

namespace tarnel_desktop_test {

// The file decoded as RGB rows, top row first; empty when it is refused.
inline std::vector<uint8_t> LibraryPixels(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> rgb(TARNEL_WIDTH * 3 * TARNEL_HEIGHT);
    tarnel_decoder* decoder = tarnel_decoder_new();
    const int result = tarnel_decode(decoder, bytes.data(), bytes.size(), nullptr, rgb.data(),
                                     TARNEL_WIDTH * 3, nullptr);
    tarnel_decoder_free(decoder);
    if (result != TARNEL_OK) rgb.clear();
    return rgb;
}

// The words a plug-in gives for refusing the file: the library's
// explanation, or for a file above the limit (whose true size a plug-in
// reading at most one byte past the limit does not know) its text for that.
inline std::string RefusalText(const std::vector<uint8_t>& bytes) {
    if (bytes.size() > TARNEL_MAX_FILE_SIZE) return tarnel_strerror(TARNEL_E_TOO_LARGE);
    char text[256];
    tarnel_explain(bytes.data(), bytes.size(), text, sizeof text);
    return text;
}

}  // namespace tarnel_desktop_test

#endif  // TARNEL_DESKTOP_LIBRARY_REFERENCE_H
