// The table of the formats beyond the twenty layouts, and how a file is
// matched against it.
#include "core/formats/formats.h"

#include <cctype>
#include <cstring>

#include "core/formats/readers.h"

namespace tarnel {

void ColourCanvas::Fill(uint8_t colour) const {
    std::memset(pixels, colour, size_t{width} * height);
}

void ColourCanvas::FillRect(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint8_t colour) const {
    if (x >= width || y >= height) return;
    if (w > width - x) w = width - x;
    if (h > height - y) h = height - y;
    for (uint32_t row = y; row < y + h; ++row) std::memset(Row(row) + x, colour, w);
}

namespace {

// Every family's table; each family's codes ascend within it.
const FormatFamily* const FAMILIES[] = {
    &readers::CHARACTER_FORMATS, &readers::CHARPAD_FORMATS, &readers::SPRITE_FORMATS,
    &readers::BITMAP_FORMATS,    &readers::OTHER_FORMATS,   &readers::PACKED_FORMATS,
    &readers::INTERLACE_FORMATS, &readers::FLI_FORMATS,     &readers::TEXT_SCREEN_FORMATS};

// Every reader, in code order.
struct OrderedReaders {
    const FormatReader* readers[256] = {};
    size_t count = 0;
    OrderedReaders() {
        for (const FormatFamily* family : FAMILIES) {
            for (size_t n = 0; n < family->count; ++n) readers[count++] = &family->readers[n];
        }
        // An insertion sort: a few dozen rows, sorted once.
        for (size_t i = 1; i < count; ++i) {
            for (size_t j = i; j > 0 && readers[j - 1]->code > readers[j]->code; --j) {
                const FormatReader* swap = readers[j - 1];
                readers[j - 1] = readers[j];
                readers[j] = swap;
            }
        }
    }
};
const OrderedReaders& Ordered() {
    static const OrderedReaders ordered;
    return ordered;
}

}  // namespace

size_t FormatReaderCount() {
    return Ordered().count;
}

const FormatReader& FormatReaderAt(size_t index) {
    return *Ordered().readers[index];
}

const char* LayoutMimeType(FormatCode code) {
    switch (static_cast<Layout>(code)) {
        case Layout::FunpaintPacked:
        case Layout::Funpaint:
            return "image/x-c64-funpaint";
        case Layout::Gunpaint:
            return "image/x-c64-gunpaint";
        case Layout::FliDesigner:
        case Layout::Fli:
            return "image/x-c64-fli";
        case Layout::AdvancedArtStudio:
            return "image/x-c64-advanced-art-studio";
        case Layout::Drazlace:
        case Layout::DrazlacePacked:
            return "image/x-c64-drazlace";
        case Layout::FacePainter:
            return "image/x-c64-face-painter";
        case Layout::AmicaPaintPacked:
            return "image/x-c64-amica-paint";
        case Layout::HiresBitmap:
            return "image/x-c64-hires";
        case Layout::FliGraph:
        case Layout::FliGraphPacked:
            return "image/x-c64-fli-graph";
        case Layout::ArtStudio:
            return "image/x-c64-art-studio";
        case Layout::Doodle9217:
        case Layout::Doodle:
            return "image/x-c64-doodle";
        case Layout::Afli:
            return "image/x-c64-afli";
        case Layout::PaintMagic:
            return "image/x-c64-paint-magic";
        case Layout::Koala:
            return "image/x-c64-koala";
        case Layout::BitmapBackwardPacked:
        case Layout::HiresManager:
            break;
    }
    return "image/x-c64-picture";
}

const FormatReader* FindFormatReader(FormatCode code) {
    const OrderedReaders& ordered = Ordered();
    for (size_t n = 0; n < ordered.count; ++n) {
        if (ordered.readers[n]->code == code) return ordered.readers[n];
    }
    return nullptr;
}

void ExtensionOf(const char* fileName, char out[16]) {
    out[0] = '\0';
    if (fileName == nullptr) return;
    const char* component = fileName;
    const char* dot = nullptr;
    for (const char* c = fileName; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\') {
            component = c + 1;
            dot = nullptr;
        } else if (*c == '.') {
            dot = c;
        }
    }
    const char* extension = dot != nullptr ? dot + 1 : component;
    // A name without a '.' is an extension only when given alone.
    if (dot == nullptr && component != fileName) return;
    size_t n = 0;
    for (; extension[n] != '\0'; ++n) {
        if (n == 15) {
            out[0] = '\0';
            return;
        }
        out[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(extension[n])));
    }
    out[n] = '\0';
}

bool ListsExtension(const char* extensions, const char* extension) {
    const size_t length = std::strlen(extension);
    if (length == 0) return false;
    for (const char* at = extensions; *at != '\0';) {
        const char* end = std::strchr(at, ' ');
        const size_t n = end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at);
        if (n == length && std::strncmp(at, extension, n) == 0) return true;
        if (end == nullptr) break;
        at = end + 1;
    }
    return false;
}

FormatCode FindFormat(ByteView file, const char* extension) {
    const OrderedReaders& ordered = Ordered();
    // Only formats with a mark can be known by it: the others' tests (some
    // unpack a stream to see that it fills the picture) wait for a name.
    for (size_t n = 0; n < ordered.count; ++n) {
        const FormatReader& reader = *ordered.readers[n];
        if (reader.signature && reader.sniff(file) == Evidence::Signature) return reader.code;
    }
    if (extension == nullptr || extension[0] == '\0') return FORMAT_UNKNOWN;
    for (size_t n = 0; n < ordered.count; ++n) {
        const FormatReader& reader = *ordered.readers[n];
        if (ListsExtension(reader.extensions, extension) && reader.sniff(file) != Evidence::None) {
            return reader.code;
        }
    }
    return FORMAT_UNKNOWN;
}

}  // namespace tarnel
