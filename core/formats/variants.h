// The twenty layouts' files in forms their content rules do not take: saved
// at another load address or without one, or in another size their
// programs (or others of the same layout) save. Opened only when the file's
// name says which layout it is; identification by content is untouched.
#ifndef TARNEL_CORE_FORMATS_VARIANTS_H
#define TARNEL_CORE_FORMATS_VARIANTS_H

#include <cstddef>
#include <cstdint>

#include "core/byte_view.h"
#include "core/identify.h"
#include "core/layouts.h"

namespace tarnel {

struct LayoutVariants {
    FormatCode code;
    // Every extension that names the layout: its own and those of the
    // programs that save the same layout; lower case, space-separated.
    const char* extensions;
    uint32_t sizes[3];  // other sizes of the layout's files, at any load address (the rest 0)
    // A packed stream's escape byte, when its files may hold bytes after
    // the stream's end marker (escape, 0): the file is read to the marker.
    uint8_t endMarkerEscape;
};

// The variants of `code`, or nullptr.
const LayoutVariants* FindLayoutVariants(FormatCode code);

struct VariantMatch {
    FormatCode code = FORMAT_UNKNOWN;
    OpenAs how = OpenAs::Refused;
    ByteView file;              // the bytes drawn: `file` itself, or rebuilt in `out`
    uint32_t ignoredBytes = 0;  // bytes after the picture's data, not drawn
};

// The layout `extension` (lower case) names whose file `file` is in one of
// these forms; `out` holds OPEN_AS_BYTES. Reads only inside `file`.
VariantMatch FindLayoutVariant(ByteView file, const char* extension, uint8_t* out);

// Whether `extension` names another format than layout `code`, which the
// content rules found `file` to be, that `file` fits as well: the layout's
// rule is its size and load address (or the length its stream unpacks to),
// no signature, and the named format takes the file (a Hires Manager file,
// named .him, has the size and address of an AFLI file). `out` as above.
bool NameGivesAnother(FormatCode code, ByteView file, const char* extension, uint8_t* out);

}  // namespace tarnel

#endif  // TARNEL_CORE_FORMATS_VARIANTS_H
