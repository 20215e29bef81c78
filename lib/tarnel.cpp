// The C library: bytes in, pixels out, over the same decoding core as the
// viewer module.
#include "tarnel/tarnel.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/byte_view.h"
#include "core/decode.h"
#include "core/identify.h"
#include "core/layouts.h"
#include "core/palette.h"
#include "core/pixels.h"
#include "core/render.h"
#include "lib/palettes.h"

using tarnel::MAX_FILE_BYTES;

static_assert(TARNEL_WIDTH == tarnel::PICTURE_WIDTH && TARNEL_HEIGHT == tarnel::PICTURE_HEIGHT,
              "picture size");
static_assert(TARNEL_MAX_FILE_SIZE == MAX_FILE_BYTES, "file size limit");
static_assert(TARNEL_LAYOUT_COUNT == tarnel::LAYOUT_COUNT, "layout count");

// All working memory of a decode, kept from one file to the next.
struct tarnel_decoder {
    // The memory image the renderer reads where the file itself cannot be
    // (DecodeLayout's scratch): the unpacked image, or a short file padded.
    alignas(8) uint8_t image[tarnel::LARGEST_IMAGE_BYTES];
    tarnel::PixelTable pixels;
    // What `pixels` was built for; rebuilt only when a decode asks otherwise.
    bool tableBuilt;
    bool tableInterlaced;
    tarnel::PixelFormat tableFormat;
    tarnel::Palette tablePalette;
};

namespace {

#define TARNEL_STRINGIFY2(x) #x
#define TARNEL_STRINGIFY(x) TARNEL_STRINGIFY2(x)
constexpr const char VERSION_TEXT[] = TARNEL_STRINGIFY(TARNEL_VERSION_MAJOR) "." TARNEL_STRINGIFY(
    TARNEL_VERSION_MINOR) "." TARNEL_STRINGIFY(TARNEL_VERSION_PATCH);

bool ToPixelFormat(int value, tarnel::PixelFormat* format) {
    switch (value) {
        case TARNEL_RGB24:
            *format = tarnel::PixelFormat::Rgb24;
            return true;
        case TARNEL_BGR24:
            *format = tarnel::PixelFormat::Bgr24;
            return true;
        case TARNEL_RGBA32:
            *format = tarnel::PixelFormat::Rgba32;
            return true;
        case TARNEL_BGRA32:
            *format = tarnel::PixelFormat::Bgra32;
            return true;
        default:
            return false;
    }
}

void FillInfo(const tarnel::LayoutInfo& layout, const uint8_t* data, size_t size,
              tarnel_info* info) {
    info->layout = layout.code;
    info->name = layout.name;
    info->packed = layout.packed ? 1 : 0;
    info->interlaced = layout.interlaced ? 1 : 0;
    info->width = TARNEL_WIDTH;
    info->height = TARNEL_HEIGHT;
    info->unpacked_as = layout.unpackedAs;
    info->load_address = data != nullptr && size >= 2 ? data[0] | data[1] << 8 : 0;
}

// Identification shared by tarnel_identify and tarnel_decode.
int Identify(const void* data, size_t size, tarnel::Identification* found) {
    if (data == nullptr && size > 0) return TARNEL_E_NULL_ARGUMENT;
    if (size > MAX_FILE_BYTES) return TARNEL_E_TOO_LARGE;
    const tarnel::ByteView file{static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
    *found = tarnel::Identify(file);
    if (tarnel::FindLayout(found->code) == nullptr) return TARNEL_E_NOT_RECOGNISED;
    return TARNEL_OK;
}

tarnel::Palette ToPalette(const unsigned char rgb[16][3]) {
    tarnel::Palette palette{};
    for (int n = 0; n < 16; ++n) {
        palette.red[n] = rgb[n][0];
        palette.green[n] = rgb[n][1];
        palette.blue[n] = rgb[n][2];
    }
    return palette;
}

bool SamePalette(const tarnel::Palette& a, const tarnel::Palette& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void PreparePixelTable(tarnel_decoder* decoder, bool interlaced, tarnel::PixelFormat format,
                       const tarnel::Palette& palette) {
    if (decoder->tableBuilt && decoder->tableInterlaced == interlaced &&
        decoder->tableFormat == format && SamePalette(decoder->tablePalette, palette)) {
        return;
    }
    tarnel::BuildPixelTable(palette, interlaced, format, &decoder->pixels);
    decoder->tableBuilt = true;
    decoder->tableInterlaced = interlaced;
    decoder->tableFormat = format;
    decoder->tablePalette = palette;
}

// A count with thousands separators, 61700 as "61,700"; no allocation, so
// that explaining a refusal cannot fail.
struct Thousands {
    explicit Thousands(size_t value) {
        char digits[24];
        const int count = std::snprintf(digits, sizeof digits, "%zu", value);
        size_t at = 0;
        for (int i = 0; i < count; ++i) {
            if (i > 0 && (count - i) % 3 == 0) text[at++] = ',';
            text[at++] = digits[i];
        }
        text[at] = '\0';
    }
    const char* c_str() const { return text; }
    char text[32];
};

// "a" or "an" before a layout's name, by its first letter.
const char* Article(tarnel::FormatCode code) {
    return std::strchr("AEIOU", tarnel::FindLayout(code)->name[0]) != nullptr ? "an" : "a";
}

// The words for a file no layout takes; tarnel_strerror's when nothing is
// clearly close.
void ExplainNearMiss(const tarnel::NearMiss& miss, size_t size, char* text, size_t text_size) {
    const Thousands bytes(size);
    const char* name =
        miss.code != tarnel::FORMAT_UNKNOWN ? tarnel::FindLayout(miss.code)->name : "";
    switch (miss.kind) {
        case tarnel::NearMissKind::OtherLoad:
            std::snprintf(
                text, text_size,
                "%s bytes, the size of %s %s file, but it loads at $%04X instead of $%04X",
                bytes.c_str(), Article(miss.code), name, miss.load, miss.layoutLoad);
            return;
        case tarnel::NearMissKind::OtherSize:
            std::snprintf(text, text_size,
                          "loads at $%04X like %s %s file, but is %s bytes instead of %s",
                          miss.load, Article(miss.code), name, bytes.c_str(),
                          Thousands(miss.layoutSize).c_str());
            return;
        case tarnel::NearMissKind::NoEndMarker:
            std::snprintf(text, text_size,
                          "loads at $%04X like %s %s file, but does not end with the end marker "
                          "of its packed stream ($%02X $00)",
                          miss.load, Article(miss.code), name, miss.escape);
            return;
        case tarnel::NearMissKind::PackedTooLarge:
            std::snprintf(text, text_size,
                          "loads at $%04X and ends like %s %s file, but is %s bytes; such files "
                          "are below %s",
                          miss.load, Article(miss.code), name, bytes.c_str(),
                          Thousands(miss.layoutSize).c_str());
            return;
        case tarnel::NearMissKind::None:
            break;
    }
    std::snprintf(text, text_size, "%s", tarnel_strerror(TARNEL_E_NOT_RECOGNISED));
}

}  // namespace

extern "C" {

tarnel_decoder* tarnel_decoder_new(void) {
    tarnel_decoder* decoder = new (std::nothrow) tarnel_decoder;
    if (decoder != nullptr) decoder->tableBuilt = false;
    return decoder;
}

void tarnel_decoder_free(tarnel_decoder* decoder) {
    delete decoder;
}

void tarnel_options_init(tarnel_options* options) {
    if (options == nullptr) return;
    std::memset(options, 0, sizeof *options);
    options->pixel_format = TARNEL_RGB24;
    options->use_palette = 0;
    tarnel_palette_colours(0, options->palette);
}

size_t tarnel_bytes_per_pixel(int pixel_format) {
    tarnel::PixelFormat format;
    return ToPixelFormat(pixel_format, &format) ? tarnel::BytesPerPixel(format) : 0;
}

int tarnel_identify(const void* data, size_t size, tarnel_info* info) {
    tarnel::Identification found;
    const int result = Identify(data, size, &found);
    if (result == TARNEL_OK && info != nullptr) {
        FillInfo(*tarnel::FindLayout(found.code), static_cast<const uint8_t*>(data), size, info);
    }
    return result;
}

int tarnel_decode(tarnel_decoder* decoder, const void* data, size_t size,
                  const tarnel_options* options, void* pixels, size_t stride, tarnel_info* info) {
    if (decoder == nullptr || pixels == nullptr) return TARNEL_E_NULL_ARGUMENT;
    tarnel::PixelFormat format = tarnel::PixelFormat::Rgb24;
    if (options != nullptr && !ToPixelFormat(options->pixel_format, &format)) {
        return TARNEL_E_BAD_OPTIONS;
    }
    if (stride < size_t{TARNEL_WIDTH} * tarnel::BytesPerPixel(format)) return TARNEL_E_STRIDE;
    // Row 199 must be addressable: the last row starts 199 strides in.
    if (stride > (PTRDIFF_MAX - size_t{TARNEL_WIDTH} * 4) / TARNEL_HEIGHT) {
        return TARNEL_E_STRIDE;
    }
    tarnel::Identification found;
    const int result = Identify(data, size, &found);
    if (result != TARNEL_OK) return result;
    const tarnel::LayoutInfo& layout = *tarnel::FindLayout(found.code);

    const tarnel::ByteView file{static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
    const tarnel::Palette palette = options != nullptr && options->use_palette != 0
                                        ? ToPalette(options->palette)
                                        : tarnel::C64_PALETTE;
    PreparePixelTable(decoder, layout.interlaced, format, palette);
    if (!tarnel::DecodeLayout(found.code, file, decoder->image, decoder->pixels,
                              static_cast<uint8_t*>(pixels), static_cast<ptrdiff_t>(stride))) {
        return TARNEL_E_NOT_RECOGNISED;
    }
    if (info != nullptr) FillInfo(layout, file.data, size, info);
    return TARNEL_OK;
}

int tarnel_layout(int index, tarnel_info* info) {
    if (index < 0 || index >= TARNEL_LAYOUT_COUNT) return TARNEL_E_RANGE;
    if (info == nullptr) return TARNEL_E_NULL_ARGUMENT;
    FillInfo(tarnel::LAYOUTS[index], nullptr, 0, info);
    return TARNEL_OK;
}

int tarnel_explain(const void* data, size_t size, char* text, size_t text_size) {
    tarnel::Identification found;
    const int result = Identify(data, size, &found);
    if (text == nullptr || text_size == 0) return result;
    if (result == TARNEL_E_TOO_LARGE) {
        std::snprintf(text, text_size, "too large: %s bytes, the largest layout is %s",
                      Thousands(size).c_str(), Thousands(MAX_FILE_BYTES).c_str());
    } else if (result == TARNEL_E_NOT_RECOGNISED) {
        const tarnel::ByteView file{static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
        ExplainNearMiss(tarnel::FindNearMiss(file), size, text, text_size);
    } else {
        std::snprintf(text, text_size, "%s", tarnel_strerror(result));
    }
    return result;
}

int tarnel_palette_count(void) {
    return static_cast<int>(tarnel_lib::NAMED_PALETTE_COUNT);
}

const char* tarnel_palette_name(int index) {
    if (index < 0 || index >= tarnel_palette_count()) return nullptr;
    return tarnel_lib::NAMED_PALETTES[index].name;
}

const char* tarnel_palette_credit(int index) {
    if (index < 0 || index >= tarnel_palette_count()) return nullptr;
    return tarnel_lib::NAMED_PALETTES[index].credit;
}

int tarnel_palette_find(const char* name) {
    if (name == nullptr) return TARNEL_E_NULL_ARGUMENT;
    for (int i = 0; i < tarnel_palette_count(); ++i) {
        const char* candidate = tarnel_lib::NAMED_PALETTES[i].name;
        size_t k = 0;
        while (name[k] != '\0' && candidate[k] != '\0' &&
               std::tolower(static_cast<unsigned char>(name[k])) ==
                   std::tolower(static_cast<unsigned char>(candidate[k]))) {
            ++k;
        }
        if (name[k] == '\0' && candidate[k] == '\0') return i;
    }
    return TARNEL_E_RANGE;
}

int tarnel_palette_colours(int index, unsigned char palette[16][3]) {
    if (index < 0 || index >= tarnel_palette_count()) return TARNEL_E_RANGE;
    if (palette == nullptr) return TARNEL_E_NULL_ARGUMENT;
    const tarnel::Palette& colours = *tarnel_lib::NAMED_PALETTES[index].colours;
    for (int n = 0; n < 16; ++n) {
        palette[n][0] = colours.red[n];
        palette[n][1] = colours.green[n];
        palette[n][2] = colours.blue[n];
    }
    return TARNEL_OK;
}

const char* tarnel_strerror(int result) {
    switch (result) {
        case TARNEL_OK:
            return "success";
        case TARNEL_E_NULL_ARGUMENT:
            return "a required argument is missing (NULL)";
        case TARNEL_E_NOT_RECOGNISED:
            return "not a C64 picture of a layout tarnel knows";
        case TARNEL_E_TOO_LARGE:
            return "too large for a C64 picture (above 36,864 bytes)";
        case TARNEL_E_STRIDE:
            return "the row stride is too small for a row of pixels";
        case TARNEL_E_BAD_OPTIONS:
            return "unknown pixel format or bad option";
        case TARNEL_E_NO_MEMORY:
            return "out of memory";
        case TARNEL_E_RANGE:
            return "index out of range";
        default:
            return "unknown result code";
    }
}

const char* tarnel_version(void) {
    return VERSION_TEXT;
}

}  // extern "C"
