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
#define TARNEL_READER(Name) \
    readers::Name##Sniff, readers::Name##Measure, readers::Name##Background, readers::Name##Draw
}  // namespace

// clang-format off
const FormatReader FORMAT_READERS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, reader
    {23, "charset", "C64 character set", "64c", "image/x-c64-charset", true, false, "has a load address at the start of a page, then 8 to 2,048 bytes of characters", TARNEL_READER(Charset)},
    {24, "font-64", "64-character font", "g", "image/x-c64-charset", true, false, "is 514 bytes at $0042", TARNEL_READER(Font64)},
    {25, "charset-9", "Character set, 9 bytes a character", "zs", "image/x-c64-charset", true, false, "is 1,026 bytes at $F0B0", TARNEL_READER(Charset9)},
    {26, "charpad", "CharPad project", "ctm", "image/x-c64-charpad", false, true, "starts with \"CTM\" and a format version 1 to 9, then the blocks that version keeps", TARNEL_READER(CharPad)},
    {27, "spritepad", "SpritePad sprites", "spd", "image/x-c64-spritepad", false, true, "starts with \"SPD\" and a version 1 to 5, or holds three colours and 64 bytes a sprite", TARNEL_READER(SpritePad)},
    {28, "sprite-bank", "Sprite bank, 127 sprites", "a", "image/x-c64-sprites", true, false, "is 8,130 bytes at $0042", TARNEL_READER(SpriteBank)},
    {29, "logo-painter", "Logo Painter 3", "lp3", "image/x-c64-logo-painter", true, false, "is 4,098 or 4,174 bytes at $1800", TARNEL_READER(LogoPainter)},
    {30, "fluff64", "Fluff64 / TRSE image", "flf", "image/x-c64-fluff64", false, true, "starts with \"FLUFF64\" and holds 1,000 cells of a C64 type (1, 4, 5 or 6)", TARNEL_READER(Fluff64)},
    {31, "cgfx", "RIFF CGFX character frames", "cgx", "image/x-c64-cgfx", false, true, "is a RIFF file of type \"CGFX\" with a FRMT chunk and a DATA chunk of its frames", TARNEL_READER(Cgfx)},
};
// clang-format on
const size_t FORMAT_READER_COUNT = sizeof FORMAT_READERS / sizeof FORMAT_READERS[0];

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
    for (const FormatReader& reader : FORMAT_READERS) {
        if (reader.code == code) return &reader;
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
    for (const FormatReader& reader : FORMAT_READERS) {
        if (reader.sniff(file) == Evidence::Signature) return reader.code;
    }
    if (extension == nullptr || extension[0] == '\0') return FORMAT_UNKNOWN;
    for (const FormatReader& reader : FORMAT_READERS) {
        if (ListsExtension(reader.extensions, extension) && reader.sniff(file) != Evidence::None) {
            return reader.code;
        }
    }
    return FORMAT_UNKNOWN;
}

}  // namespace tarnel
