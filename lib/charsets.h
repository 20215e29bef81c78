// Where a character screen's glyphs come from: the file, the caller, the
// file TARNEL_CHARGEN names, or an installed VICE's character ROM. tarnel
// ships no ROM bytes of its own.
#ifndef TARNEL_LIB_CHARSETS_H
#define TARNEL_LIB_CHARSETS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/formats/text_screens.h"

namespace tarnel_lib {

struct Glyphs {
    int source = 0;      // a TARNEL_CHARSET_ source
    int letterCase = 0;  // TARNEL_CHARSET_UPPER, _LOWER or _OWN
    std::string path;    // the file read, for the environment's and VICE's
    // Why a set named by TARNEL_CHARGEN was not used, for the refusal's words.
    std::string problem;
    uint8_t bytes[tarnel::CHARSET_BYTES] = {};
};

// The glyphs `screen` is drawn with: its own, the caller's (`callerSet`,
// 2,048 or 4,096 bytes, or nullptr), or with `lookAround` the system's.
// `out->source` is TARNEL_CHARSET_MISSING when there are none (or the
// screen needs another machine's set).
void FindGlyphs(const tarnel::TextScreen& screen, const uint8_t* callerSet, size_t callerSize,
                bool lookAround, Glyphs* out);

// The file beside `fileName` with its base name and `extension` (lower case
// when the name's extension has a lower-case letter, else upper case), read
// whole into `out` when it exists and is at most `limit` bytes.
bool ReadCompanion(const char* fileName, const char* extension, size_t limit,
                   std::vector<uint8_t>* out);

}  // namespace tarnel_lib

#endif  // TARNEL_LIB_CHARSETS_H
