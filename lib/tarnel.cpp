// The C library: bytes in, pixels out, over the same decoding core as the
// viewer module.
#include "tarnel/tarnel.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/byte_view.h"
#include "core/decode.h"
#include "core/formats/formats.h"
#include "core/formats/text_screens.h"
#include "core/formats/variants.h"
#include "core/identify.h"
#include "core/layouts.h"
#include "core/on_request.h"
#include "core/palette.h"
#include "core/pixels.h"
#include "core/prepare.h"
#include "core/render.h"
#include "lib/charsets.h"
#include "lib/palettes.h"

using tarnel::MAX_FILE_BYTES;

static_assert(TARNEL_WIDTH == tarnel::PICTURE_WIDTH && TARNEL_HEIGHT == tarnel::PICTURE_HEIGHT,
              "picture size");
static_assert(TARNEL_MAX_FILE_SIZE == MAX_FILE_BYTES, "file size limit");
static_assert(TARNEL_LAYOUT_COUNT == tarnel::LAYOUT_COUNT, "layout count");
static_assert(TARNEL_MAX_ANY_FILE_SIZE == tarnel::MAX_ANY_FILE_BYTES, "file size limit, 1.3");
static_assert(TARNEL_MAX_PICTURE_SIDE == tarnel::MAX_PICTURE_SIDE &&
                  TARNEL_MAX_PICTURE_PIXELS == tarnel::MAX_PICTURE_PIXELS,
              "picture size limit");
static_assert(TARNEL_FORMAT_CGFX == 31 && TARNEL_FORMAT_HIRES_MANAGER == 22 &&
                  TARNEL_FORMAT_MULTICOLOUR_WINDOW == 46 && TARNEL_FORMAT_SHP == 54 &&
                  TARNEL_FORMAT_SHE == 66 && TARNEL_FORMAT_SHX == 84 && TARNEL_FORMAT_SHI == 113 &&
                  TARNEL_FORMAT_SIF == 116,
              "format codes");

// All working memory of a decode, kept from one file to the next.
struct tarnel_decoder {
    // The memory image the renderer reads where the file itself cannot be
    // (DecodeLayout's scratch): the unpacked image, or a short file padded.
    alignas(8) uint8_t image[tarnel::LARGEST_IMAGE_BYTES];
    // A file opened as the caller's layout, with that layout's load address.
    uint8_t opened[tarnel::OPEN_AS_BYTES];
    tarnel::PixelTable pixels;
    // What `pixels` was built for; rebuilt only when a decode asks otherwise.
    bool tableBuilt;
    bool tableInterlaced;
    tarnel::PixelFormat tableFormat;
    tarnel::Palette tablePalette;
    // The colour numbers of a picture of another format than the twenty,
    // grown to the largest picture decoded so far.
    std::unique_ptr<uint8_t[]> colours;
    size_t colourBytes = 0;
    // The second frame of such a picture of two, blended with the first.
    std::unique_ptr<uint8_t[]> secondColours;
    size_t secondColourBytes = 0;
    // Two pixels of those pictures by their two colours (6 or 8 bytes, kept
    // in 8), and what they were built for.
    uint8_t pairs[256][8];
    bool pairsBuilt = false;
    tarnel::PixelFormat pairsFormat;
    tarnel::Palette pairsPalette;
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

void FillReaderInfo(const tarnel::FormatReader& reader, tarnel::PictureSize size,
                    const uint8_t* data, size_t sizeBytes, tarnel_info* info) {
    info->layout = reader.code;
    info->name = reader.name;
    info->packed = 0;
    info->interlaced = 0;
    info->width = static_cast<int>(size.width);
    info->height = static_cast<int>(size.height);
    info->unpacked_as = reader.code;
    info->load_address =
        reader.loadAddress && data != nullptr && sizeBytes >= 2 ? data[0] | data[1] << 8 : 0;
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
    return std::strchr("AEIOU", tarnel::FindAnyLayout(code)->name[0]) != nullptr ? "an" : "a";
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

// What the files of a layout recognised otherwise than by its sizes are.
const char* OwnTestWords(tarnel::FormatCode code) {
    using tarnel::Layout;
    switch (static_cast<Layout>(code)) {
        case Layout::FunpaintPacked:
            return "starts with the text \"FUNPAINT (MT) \" after its load address, then a "
                   "byte that is not 0";
        case Layout::Funpaint:
            return "starts with the text \"FUNPAINT (MT) \" after its load address, then a 0 "
                   "byte";
        case Layout::Gunpaint:
            return "holds the text \"GUNPAINT (JZ)\" at offset 1,002 (1,000 without its load "
                   "address)";
        case Layout::DrazlacePacked:
            return "starts with the text \"DRAZLACE! 1.0\" after its load address";
        case Layout::FliGraphPacked:
            return "holds the bytes $3F $7F $00 at offsets 5 to 7 (3 to 5 without its load "
                   "address)";
        case Layout::AmicaPaintPacked:
            return "is below 12,000 bytes and ends with the end marker of its packed stream";
        case Layout::BitmapBackwardPacked:
            return "holds a stream that, read backwards, unpacks to 10,003 bytes";
        default:
            return "is another file";
    }
}

// Why the file is not the caller's layout: the layout's sizes, or what its
// files hold.
void ExplainChosen(tarnel::FormatCode code, size_t size, char* text, size_t text_size) {
    const tarnel::LayoutInfo& layout = *tarnel::FindAnyLayout(code);
    const tarnel::FixedSizes fixed = tarnel::FixedSizesOf(code);
    const Thousands bytes(size);
    if (fixed.count == 0) {
        std::snprintf(text, text_size, "%s bytes, not %s %s file: such a file %s", bytes.c_str(),
                      Article(code), layout.name, OwnTestWords(code));
        return;
    }
    char sizes[80];
    char without[80];
    if (fixed.count == 1) {
        std::snprintf(sizes, sizeof sizes, "%s", Thousands(fixed.sizes[0]).c_str());
        std::snprintf(without, sizeof without, "%s", Thousands(fixed.sizes[0] - 2).c_str());
    } else {
        std::snprintf(sizes, sizeof sizes, "%s or %s", Thousands(fixed.sizes[0]).c_str(),
                      Thousands(fixed.sizes[1]).c_str());
        std::snprintf(without, sizeof without, "%s or %s", Thousands(fixed.sizes[0] - 2).c_str(),
                      Thousands(fixed.sizes[1] - 2).c_str());
    }
    const tarnel::OnRequestLayout* onRequest = tarnel::FindOnRequestLayout(code);
    if (onRequest != nullptr) {
        // Only unpacked files are opened: what the packed ones hold is not
        // documented well enough to unpack them safely.
        std::snprintf(text, text_size,
                      "%s bytes, but an unpacked %s file is %s bytes, or %s without its load "
                      "address, with $%02X at offset %u; packed %s files are not opened",
                      bytes.c_str(), layout.name, sizes, without, onRequest->mark,
                      static_cast<unsigned>(onRequest->markOffset), layout.name);
        return;
    }
    std::snprintf(text, text_size,
                  "%s bytes, but %s %s file is %s bytes, or %s without its load address",
                  bytes.c_str(), Article(code), layout.name, sizes, without);
}

// Writes the words for `result` into `text` (nothing when there is no room)
// and returns it: `notRecognised` words a file no layout takes.
template <typename Words>
int WriteRefusal(int result, size_t size, char* text, size_t text_size, Words notRecognised) {
    if (text == nullptr || text_size == 0) return result;
    if (result == TARNEL_E_TOO_LARGE) {
        std::snprintf(text, text_size, "too large: %s bytes, the largest layout is %s",
                      Thousands(size).c_str(), Thousands(MAX_FILE_BYTES).c_str());
    } else if (result == TARNEL_E_NOT_RECOGNISED) {
        notRecognised();
    } else {
        std::snprintf(text, text_size, "%s", tarnel_strerror(result));
    }
    return result;
}

// The options of tarnel_decode_ex, checked: what a decode needs of them.
struct DecodeChoices {
    tarnel::PixelFormat format = tarnel::PixelFormat::Rgb24;
    tarnel::Palette palette = tarnel::C64_PALETTE;
    int frame = TARNEL_FRAME_BLEND;
    bool border = false;
    int borderColour = TARNEL_BORDER_COLOUR_BACKGROUND;
    tarnel::FormatCode layout = tarnel::FORMAT_UNKNOWN;  // the caller's layout, if any
    tarnel::View view = tarnel::View::Stored;
    size_t width = TARNEL_WIDTH;
    size_t height = TARNEL_HEIGHT;
    // A 1.3 record: the formats beyond the twenty open too.
    bool anyFormat = false;
    char extension[16] = {};  // of the caller's file name, lower case
    const char* fileName = nullptr;
    // Character screens: the caller's set (or nullptr), whether the system's
    // may be looked for, raw screens' colours (characters, background), and
    // the companion file the caller gives (data nullptr: none).
    const uint8_t* charset = nullptr;
    size_t charsetSize = 0;
    bool systemCharset = true;
    uint8_t screenInk = 14;
    uint8_t screenPaper = 6;
    tarnel::ByteView companion;
};

// The largest frame or screen index a caller may ask for.
constexpr int LAST_FRAME = TARNEL_FRAME_AT(65535);

// Reads `options` (NULL: the defaults) as far as its size reaches; false for
// a size below the 1.2 record, a nonzero byte past the record this library
// knows, or a bad value.
bool ReadDecodeOptions(const tarnel_decode_options* options, DecodeChoices* choices) {
    *choices = DecodeChoices{};
    if (options == nullptr) return true;
    // A size far beyond any record is no record (an uninitialised field).
    constexpr size_t LARGEST_RECORD = 4096;
    // A program built against 1.2 passes the 1.2 record, and opens what 1.2 opens.
    const bool record12 = options->size == TARNEL_DECODE_OPTIONS_SIZE_1_2;
    if ((!record12 && options->size < sizeof(tarnel_decode_options)) ||
        options->size > LARGEST_RECORD) {
        return false;
    }
    if (!record12) {
        choices->anyFormat = true;
        tarnel::ExtensionOf(options->file_name, choices->extension);
        choices->fileName = options->file_name;
        if ((options->charset == nullptr) != (options->charset_size == 0) ||
            (options->charset != nullptr && options->charset_size != tarnel::CHARGEN_BYTES &&
             options->charset_size != tarnel::CHARSET_BYTES)) {
            return false;
        }
        choices->charset = options->charset;
        choices->charsetSize = options->charset_size;
        choices->systemCharset = options->no_system_charset == 0;
        if (options->screen_colours != 0) {
            if (options->screen_colours < 0x100 || options->screen_colours > 0x1FF) return false;
            choices->screenInk = static_cast<uint8_t>(options->screen_colours >> 4 & 15);
            choices->screenPaper = static_cast<uint8_t>(options->screen_colours & 15);
        }
        if ((options->companion == nullptr) != (options->companion_size == 0) ||
            options->companion_size > tarnel::MAX_ANY_FILE_BYTES) {
            return false;
        }
        choices->companion = {options->companion, static_cast<uint32_t>(options->companion_size)};
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(options);
    for (size_t at = sizeof(tarnel_decode_options); at < options->size; ++at) {
        if (bytes[at] != 0) return false;
    }
    if (!ToPixelFormat(options->pixel_format, &choices->format)) return false;
    if (options->use_palette != 0) choices->palette = ToPalette(options->palette);
    if (options->frame < TARNEL_FRAME_BLEND ||
        options->frame > (choices->anyFormat ? LAST_FRAME : TARNEL_FRAME_1)) {
        return false;
    }
    choices->frame = options->frame;
    if (options->border != TARNEL_BORDER_NONE && options->border != TARNEL_BORDER_FULL) {
        return false;
    }
    choices->border = options->border == TARNEL_BORDER_FULL;
    if (options->border_colour != TARNEL_BORDER_COLOUR_BACKGROUND &&
        (options->border_colour < 0 || options->border_colour > 15)) {
        return false;
    }
    choices->borderColour = options->border_colour;
    if (options->layout != 0) {
        if (options->layout < 0 || options->layout > 255) return false;
        const auto code = static_cast<tarnel::FormatCode>(options->layout);
        if (tarnel::FindAnyLayout(code) == nullptr &&
            (!choices->anyFormat || tarnel::FindFormatReader(code) == nullptr)) {
            return false;
        }
        choices->layout = code;
    }
    if (options->view != TARNEL_VIEW_STORED && options->view != TARNEL_VIEW_C64) return false;
    choices->view = options->view == TARNEL_VIEW_C64 ? tarnel::View::C64 : tarnel::View::Stored;
    if (choices->border) {
        choices->width = TARNEL_BORDER_WIDTH;
        choices->height = TARNEL_BORDER_HEIGHT;
    }
    return true;
}

// A file and the layout it is drawn as.
struct Resolved {
    tarnel::FormatCode code = tarnel::FORMAT_UNKNOWN;
    tarnel::ByteView file;  // the bytes drawn: the caller's, or rebuilt in `opened`
    bool chosen = false;
    bool headerless = false;
    uint32_t ignoredBytes = 0;  // after the picture's data, named so
    // A format beyond the twenty, and its picture's size.
    const tarnel::FormatReader* reader = nullptr;
    tarnel::PictureSize picture;
    // A character screen: the screen drawn, and its glyphs.
    std::shared_ptr<tarnel::TextScreen> text;
    std::shared_ptr<tarnel_lib::Glyphs> glyphs;
};

int Resolve12(const void* data, size_t size, const DecodeChoices& choices, uint8_t* opened,
              Resolved* resolved);

// The frames a format's file holds: 1, or 2 for an interlaced picture.
uint32_t FrameCount(const tarnel::FormatReader& reader, tarnel::ByteView file) {
    return reader.frames != nullptr && reader.frames(file) == 2 ? 2 : 1;
}

// The screen the caller asks for: frame n is screen n - 1, the blend the first.
uint32_t ScreenAskedFor(const DecodeChoices& choices) {
    return choices.frame == TARNEL_FRAME_BLEND ? 0 : static_cast<uint32_t>(choices.frame - 1);
}

// A character screen: the one asked for read (with its companion file),
// and its glyphs found.
int ResolveText(const tarnel::FormatReader& reader, tarnel::ByteView file,
                const DecodeChoices& choices, Resolved* resolved) {
    const tarnel::ReadTextScreenFn read = reader.readText;
    std::vector<uint8_t> companionBytes;
    tarnel::ByteView companion = choices.companion;
    if (const char* extension = reader.companion;
        extension != nullptr && companion.data == nullptr &&
        tarnel_lib::ReadCompanion(choices.fileName, extension, file.size, &companionBytes)) {
        companion = {companionBytes.data(), static_cast<uint32_t>(companionBytes.size())};
    }
    auto text = std::make_shared<tarnel::TextScreen>();
    const uint32_t screen = ScreenAskedFor(choices);
    if (!read(file, companion, screen, text.get())) {
        // A file of one screen gives it for either frame, as every picture
        // of one frame does; a later screen it lacks is out of range.
        if (screen == 0 || !read(file, companion, 0, text.get())) return TARNEL_E_NOT_RECOGNISED;
        if (choices.frame != TARNEL_FRAME_1 || text->screenCount != 1) return TARNEL_E_RANGE;
    }
    // What the file keeps no colours for takes the caller's.
    if (!text->ownColours) std::fill(text->colours.begin(), text->colours.end(), choices.screenInk);
    if (!text->ownBackground) text->background = text->border = choices.screenPaper;
    const tarnel::PictureSize picture{text->columns * 8, text->rows * 8};
    auto glyphs = std::make_shared<tarnel_lib::Glyphs>();
    tarnel_lib::FindGlyphs(*text, choices.charset, choices.charsetSize, choices.systemCharset,
                           glyphs.get());
    if (resolved != nullptr) {
        resolved->code = reader.code;
        resolved->file = file;
        resolved->reader = &reader;
        resolved->picture = picture;
        resolved->text = std::move(text);
        resolved->glyphs = std::move(glyphs);
    }
    return tarnel::DrawableSize(picture) ? TARNEL_OK : TARNEL_E_TOO_LARGE;
}

// A file taken as a format beyond the twenty: its picture measured, and
// refused when that is too large to draw.
int ResolveReader(const tarnel::FormatReader& reader, tarnel::ByteView file, bool chosen,
                  const DecodeChoices& choices, Resolved* resolved) {
    if (reader.readText != nullptr) {
        Resolved text;
        const int result = ResolveText(reader, file, choices, &text);
        text.chosen = chosen;
        if (resolved != nullptr) *resolved = std::move(text);
        return result;
    }
    // One frame, or two: a later one asked for is out of range.
    if (ScreenAskedFor(choices) >= FrameCount(reader, file) && choices.frame > TARNEL_FRAME_1) {
        return TARNEL_E_RANGE;
    }
    const tarnel::PictureSize picture = reader.measure(file);
    if (resolved != nullptr) {
        resolved->code = reader.code;
        resolved->file = file;
        resolved->chosen = chosen;
        resolved->reader = &reader;
        resolved->picture = picture;
    }
    return tarnel::DrawableSize(picture) ? TARNEL_OK : TARNEL_E_TOO_LARGE;
}

// Resolve for a 1.3 caller: the twenty by their bytes, then the formats
// beyond them, by their marks or by the file's name.
int ResolveAny(const void* data, size_t size, const DecodeChoices& choices, uint8_t* opened,
               Resolved* resolved) {
    if (data == nullptr && size > 0) return TARNEL_E_NULL_ARGUMENT;
    if (size > tarnel::MAX_ANY_FILE_BYTES) return TARNEL_E_TOO_LARGE;
    const tarnel::ByteView file{static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
    if (const tarnel::FormatReader* reader = tarnel::FindFormatReader(choices.layout)) {
        if (reader->sniff(file) == tarnel::Evidence::None) return TARNEL_E_NOT_RECOGNISED;
        return ResolveReader(*reader, file, true, choices, resolved);
    }
    if (choices.layout != tarnel::FORMAT_UNKNOWN) {
        if (size > MAX_FILE_BYTES) return TARNEL_E_NOT_RECOGNISED;
        return Resolve12(data, size, choices, opened, resolved);
    }
    if (size <= MAX_FILE_BYTES) {
        tarnel::Identification found;
        // One of the twenty by its bytes, unless they are only its size and
        // load address and the name gives another format they fit as well.
        if (Identify(data, size, &found) == TARNEL_OK &&
            !tarnel::NameGivesAnother(found.code, file, choices.extension, opened)) {
            if (resolved != nullptr) {
                resolved->code = found.code;
                resolved->file = file;
            }
            return TARNEL_OK;
        }
    }
    const tarnel::FormatCode code = tarnel::FindFormat(file, choices.extension);
    if (code != tarnel::FORMAT_UNKNOWN) {
        return ResolveReader(*tarnel::FindFormatReader(code), file, false, choices, resolved);
    }
    // One of the twenty in a form its content rules do not take, named.
    if (size > MAX_FILE_BYTES || opened == nullptr) return TARNEL_E_NOT_RECOGNISED;
    const tarnel::VariantMatch variant = tarnel::FindLayoutVariant(file, choices.extension, opened);
    if (variant.code == tarnel::FORMAT_UNKNOWN) return TARNEL_E_NOT_RECOGNISED;
    if (resolved != nullptr) {
        resolved->code = variant.code;
        resolved->file = variant.file;
        resolved->chosen = true;
        resolved->headerless = variant.how == tarnel::OpenAs::Headerless;
        resolved->ignoredBytes = variant.ignoredBytes;
    }
    return TARNEL_OK;
}

// The layout the file is, found from its bytes or, when the caller names
// one, opened as that layout into `opened` (OPEN_AS_BYTES long). `resolved`
// may be NULL for a caller that wants only the result.
int Resolve12(const void* data, size_t size, const DecodeChoices& choices, uint8_t* opened,
              Resolved* resolved) {
    if (choices.layout == tarnel::FORMAT_UNKNOWN) {
        tarnel::Identification found;
        const int result = Identify(data, size, &found);
        if (result != TARNEL_OK || resolved == nullptr) return result;
        resolved->code = found.code;
        resolved->file = {static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
        return TARNEL_OK;
    }
    if (data == nullptr && size > 0) return TARNEL_E_NULL_ARGUMENT;
    if (size > MAX_FILE_BYTES) return TARNEL_E_TOO_LARGE;
    const tarnel::OpenedAs opened_as = tarnel::OpenFileAs(
        choices.layout, {static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)}, opened);
    if (opened_as.how == tarnel::OpenAs::Refused) return TARNEL_E_NOT_RECOGNISED;
    if (resolved != nullptr) {
        resolved->code = choices.layout;
        resolved->file = opened_as.file;
        resolved->chosen = true;
        resolved->headerless = opened_as.how == tarnel::OpenAs::Headerless;
    }
    return TARNEL_OK;
}

// The layout the file is: as 1.2 finds it, or for a 1.3 record among every
// format.
int Resolve(const void* data, size_t size, const DecodeChoices& choices, uint8_t* opened,
            Resolved* resolved) {
    if (!choices.anyFormat) return Resolve12(data, size, choices, opened, resolved);
    Resolved found;
    const int result = ResolveAny(data, size, choices, opened, &found);
    // The twenty hold one frame or two; a later one is out of range.
    if (result == TARNEL_OK && found.reader == nullptr && choices.frame > TARNEL_FRAME_1) {
        return TARNEL_E_RANGE;
    }
    if (resolved != nullptr) *resolved = std::move(found);
    return result;
}

// The size of the picture drawn: the format's own, inside the border where
// the caller asks for it and the picture is the C64's 320 x 200.
void OutputSize(const Resolved& resolved, const DecodeChoices& choices, size_t* width,
                size_t* height) {
    *width = choices.width;
    *height = choices.height;
    if (resolved.reader == nullptr) return;
    const bool framed = choices.border && resolved.picture.width == TARNEL_WIDTH &&
                        resolved.picture.height == TARNEL_HEIGHT;
    *width = framed ? TARNEL_BORDER_WIDTH : resolved.picture.width;
    *height = framed ? TARNEL_BORDER_HEIGHT : resolved.picture.height;
}

bool InfoExWritable(const tarnel_info_ex* info) {
    return info == nullptr || info->size == TARNEL_INFO_EX_SIZE_1_2 ||
           info->size >= sizeof(tarnel_info_ex);
}

// Whether the caller's record holds the 1.3 fields.
bool InfoEx13(const tarnel_info_ex* info) {
    return info->size >= offsetof(tarnel_info_ex, ignored_bytes) + sizeof info->ignored_bytes;
}

// Fills the character set fields of a record that holds them.
void FillCharsetInfo(const Resolved& resolved, tarnel_info_ex* info) {
    if (info->size < sizeof(tarnel_info_ex)) return;
    info->charset_source = TARNEL_CHARSET_NONE;
    info->charset_case = TARNEL_CHARSET_UPPER;
    info->charset_path[0] = '\0';
    if (!resolved.glyphs) return;
    info->charset_source = resolved.glyphs->source;
    info->charset_case = resolved.glyphs->letterCase;
    std::snprintf(info->charset_path, sizeof info->charset_path, "%s",
                  resolved.glyphs->path.c_str());
}

// Fills the fields of `info` that 1.2 knows; later fields are not touched.
// The load address is the caller's file's, or the layout's own for a
// headerless file.
void FillInfoEx(const Resolved& resolved, const void* data, size_t size,
                const DecodeChoices& choices, tarnel_info_ex* info) {
    if (info == nullptr) return;
    if (resolved.reader != nullptr) {
        FillReaderInfo(*resolved.reader, resolved.picture, static_cast<const uint8_t*>(data), size,
                       &info->info);
        const uint32_t frames = resolved.text ? resolved.text->screenCount
                                              : FrameCount(*resolved.reader, resolved.file);
        info->info.interlaced = !resolved.text && frames == 2 ? 1 : 0;
        size_t width = 0, height = 0;
        OutputSize(resolved, choices, &width, &height);
        info->frame_count = static_cast<int>(frames);
        info->output_width = static_cast<int>(width);
        info->output_height = static_cast<int>(height);
        info->chosen = resolved.chosen ? 1 : 0;
        info->headerless = 0;
        if (InfoEx13(info)) info->ignored_bytes = 0;
        FillCharsetInfo(resolved, info);
        return;
    }
    const tarnel::LayoutInfo& layout = *tarnel::FindAnyLayout(resolved.code);
    if (resolved.headerless) {
        FillInfo(layout, resolved.file.data, resolved.file.size, &info->info);
    } else {
        FillInfo(layout, static_cast<const uint8_t*>(data), size, &info->info);
    }
    info->frame_count = layout.interlaced ? 2 : 1;
    info->output_width = static_cast<int>(choices.width);
    info->output_height = static_cast<int>(choices.height);
    info->chosen = resolved.chosen ? 1 : 0;
    info->headerless = resolved.headerless ? 1 : 0;
    if (InfoEx13(info)) info->ignored_bytes = static_cast<int>(resolved.ignoredBytes);
    FillCharsetInfo(resolved, info);
}

// Fills rows [top, bottom) of the border picture, columns [left, right),
// with one colour.
void FillBorder(uint8_t* pixels, size_t stride, const uint8_t* pixel, size_t bytesPerPixel,
                size_t top, size_t bottom, size_t left, size_t right) {
    for (size_t y = top; y < bottom; ++y) {
        uint8_t* row = pixels + y * stride;
        for (size_t x = left; x < right; ++x) {
            std::memcpy(row + x * bytesPerPixel, pixel, bytesPerPixel);
        }
    }
}

// Fills the border around the 320 x 200 picture at (TARNEL_BORDER_LEFT,
// TARNEL_BORDER_TOP) of the border picture.
void FillFrame(uint8_t* out, size_t stride, const uint8_t* pixel, size_t bytesPerPixel) {
    constexpr size_t left = TARNEL_BORDER_LEFT;
    constexpr size_t top = TARNEL_BORDER_TOP;
    constexpr size_t right = left + TARNEL_WIDTH;
    constexpr size_t bottom = top + TARNEL_HEIGHT;
    FillBorder(out, stride, pixel, bytesPerPixel, 0, top, 0, TARNEL_BORDER_WIDTH);
    FillBorder(out, stride, pixel, bytesPerPixel, top, bottom, 0, left);
    FillBorder(out, stride, pixel, bytesPerPixel, top, bottom, right, TARNEL_BORDER_WIDTH);
    FillBorder(out, stride, pixel, bytesPerPixel, bottom, TARNEL_BORDER_HEIGHT, 0,
               TARNEL_BORDER_WIDTH);
}

// The border colour's pixel in the chosen format.
void BorderPixel(const DecodeChoices& choices, uint8_t colour, uint8_t pixel[4]) {
    const uint8_t red = choices.palette.red[colour];
    const uint8_t green = choices.palette.green[colour];
    const uint8_t blue = choices.palette.blue[colour];
    const bool redFirst = choices.format == tarnel::PixelFormat::Rgb24 ||
                          choices.format == tarnel::PixelFormat::Rgba32;
    pixel[0] = redFirst ? red : blue;
    pixel[1] = green;
    pixel[2] = redFirst ? blue : red;
    pixel[3] = 255;
}

// The border around a picture of another format: the caller's colour, or
// its background.
void FillReaderBorder(const Resolved& resolved, const DecodeChoices& choices,
                      const uint8_t (&pixels)[16][4], uint8_t* out, size_t stride) {
    const uint8_t own =
        resolved.text ? resolved.text->border : resolved.reader->background(resolved.file);
    const uint8_t border = choices.borderColour == TARNEL_BORDER_COLOUR_BACKGROUND
                               ? static_cast<uint8_t>(own & 15)
                               : static_cast<uint8_t>(choices.borderColour);
    FillFrame(out, stride, pixels[border], tarnel::BytesPerPixel(choices.format));
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kLittleEndian = true;
#else
constexpr bool kLittleEndian = false;
#endif

// Draws a picture of a format beyond the twenty into `out`: its colour
// numbers first, then each as a pixel of the caller's format, inside the
// border where OutputSize puts one.
// A canvas of `count` colour numbers in `buffer`, grown when it is smaller.
bool Grow(std::unique_ptr<uint8_t[]>* buffer, size_t* bytes, size_t count) {
    if (*bytes >= count) return true;
    buffer->reset(new (std::nothrow) uint8_t[count]);
    *bytes = *buffer ? count : 0;
    return *bytes != 0;
}

// Draws frame `frame` of the file in the view asked for.
void DrawFrame(const Resolved& resolved, const DecodeChoices& choices, uint32_t frame,
               const tarnel::ColourCanvas& canvas) {
    const tarnel::FormatReader& reader = *resolved.reader;
    if (resolved.text) {
        tarnel::DrawTextScreen(*resolved.text, resolved.glyphs->bytes, canvas);
    } else if (reader.drawFrame != nullptr) {
        reader.drawFrame(resolved.file, canvas, frame, choices.view == tarnel::View::C64);
    } else {
        reader.draw(resolved.file, canvas);
    }
}

int ConvertBlend(const tarnel::ColourCanvas& first, const tarnel::ColourCanvas& second,
                 const Resolved& resolved, const DecodeChoices& choices, uint8_t* out,
                 size_t stride);

int DrawReaderPicture(tarnel_decoder* decoder, const Resolved& resolved,
                      const DecodeChoices& choices, uint8_t* out, size_t stride) {
    if (resolved.text && resolved.glyphs->source == TARNEL_CHARSET_MISSING) {
        return TARNEL_E_NO_CHARSET;
    }
    const tarnel::PictureSize picture = resolved.picture;
    const size_t pixelCount = size_t{picture.width} * picture.height;
    if (!Grow(&decoder->colours, &decoder->colourBytes, pixelCount)) return TARNEL_E_NO_MEMORY;
    const tarnel::ColourCanvas canvas{decoder->colours.get(), picture.width, picture.height};
    // Both frames blended, or the one asked for.
    const bool twoFrames = !resolved.text && FrameCount(*resolved.reader, resolved.file) == 2;
    const bool blend = twoFrames && choices.frame == TARNEL_FRAME_BLEND;
    DrawFrame(resolved, choices, twoFrames && choices.frame == TARNEL_FRAME_1 ? 1 : 0, canvas);
    if (blend) {
        if (!Grow(&decoder->secondColours, &decoder->secondColourBytes, pixelCount)) {
            return TARNEL_E_NO_MEMORY;
        }
        const tarnel::ColourCanvas second{decoder->secondColours.get(), picture.width,
                                          picture.height};
        DrawFrame(resolved, choices, 1, second);
        return ConvertBlend(canvas, second, resolved, choices, out, stride);
    }

    uint8_t pixels[16][4];
    for (uint8_t colour = 0; colour < 16; ++colour) BorderPixel(choices, colour, pixels[colour]);
    const size_t bytesPerPixel = tarnel::BytesPerPixel(choices.format);
    // Two pixels at a time, looked up by both colours.
    if (!decoder->pairsBuilt || decoder->pairsFormat != choices.format ||
        !SamePalette(decoder->pairsPalette, choices.palette)) {
        for (uint32_t key = 0; key < 256; ++key) {
            std::memcpy(decoder->pairs[key], pixels[key >> 4], bytesPerPixel);
            std::memcpy(decoder->pairs[key] + bytesPerPixel, pixels[key & 15], bytesPerPixel);
        }
        decoder->pairsBuilt = true;
        decoder->pairsFormat = choices.format;
        decoder->pairsPalette = choices.palette;
    }
    const uint8_t(&pairs)[256][8] = decoder->pairs;
    const size_t pairBytes = 2 * bytesPerPixel;
    size_t width = 0, height = 0;
    OutputSize(resolved, choices, &width, &height);
    const bool framed = width != picture.width;
    uint8_t* topLeft =
        framed ? out + TARNEL_BORDER_TOP * stride + TARNEL_BORDER_LEFT * bytesPerPixel : out;
    const uint32_t pairCount = picture.width / 2;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint8_t* from = canvas.Row(y);
        uint8_t* to = topLeft + y * stride;
        // Eight bytes a pair, each pair's write overwritten by the next; the
        // last pair and an odd last pixel written to the row's end only.
        uint32_t pair = 0;
        if (bytesPerPixel == 3 && kLittleEndian) {
            // Four pixels as 12 bytes: two pairs of 6 joined in a word and a
            // half, stored without overlap.
            for (; pair + 2 <= pairCount; pair += 2) {
                uint64_t first, second;
                std::memcpy(&first, pairs[(from[2 * pair] & 15) << 4 | (from[2 * pair + 1] & 15)],
                            8);
                std::memcpy(&second,
                            pairs[(from[2 * pair + 2] & 15) << 4 | (from[2 * pair + 3] & 15)], 8);
                const uint64_t low = (first & 0xFFFFFFFFFFFFull) | second << 48;
                const uint32_t high = static_cast<uint32_t>(second >> 16);
                std::memcpy(to + pair * 6, &low, 8);
                std::memcpy(to + pair * 6 + 8, &high, 4);
            }
        }
        for (; pair + 1 < pairCount; ++pair) {
            std::memcpy(to + pair * pairBytes,
                        pairs[(from[2 * pair] & 15) << 4 | (from[2 * pair + 1] & 15)], 8);
        }
        for (uint32_t x = 2 * pair; x < picture.width; ++x) {
            std::memcpy(to + x * bytesPerPixel, pixels[from[x] & 15], bytesPerPixel);
        }
    }
    if (framed) FillReaderBorder(resolved, choices, pixels, out, stride);
    return TARNEL_OK;
}

// Two frames' colour numbers as the blend of their pixels: each channel the
// average of both, rounded down, as the twenty's interlaced layouts blend.
int ConvertBlend(const tarnel::ColourCanvas& first, const tarnel::ColourCanvas& second,
                 const Resolved& resolved, const DecodeChoices& choices, uint8_t* out,
                 size_t stride) {
    const size_t bytesPerPixel = tarnel::BytesPerPixel(choices.format);
    uint8_t pixels[16][4];
    for (uint8_t colour = 0; colour < 16; ++colour) BorderPixel(choices, colour, pixels[colour]);
    uint8_t blended[256][4];
    for (uint32_t key = 0; key < 256; ++key) {
        for (size_t k = 0; k < 4; ++k) {
            blended[key][k] = static_cast<uint8_t>((pixels[key >> 4][k] + pixels[key & 15][k]) / 2);
        }
    }
    size_t width = 0, height = 0;
    OutputSize(resolved, choices, &width, &height);
    const bool framed = width != first.width;
    uint8_t* topLeft =
        framed ? out + TARNEL_BORDER_TOP * stride + TARNEL_BORDER_LEFT * bytesPerPixel : out;
    for (uint32_t y = 0; y < first.height; ++y) {
        const uint8_t* a = first.Row(y);
        const uint8_t* b = second.Row(y);
        uint8_t* to = topLeft + y * stride;
        // Four bytes a pixel, each write's spare bytes overwritten by the
        // next; the last pixel written to the row's end only.
        uint32_t x = 0;
        for (; x + 1 < first.width; ++x) {
            std::memcpy(to + x * bytesPerPixel, blended[(a[x] & 15) << 4 | (b[x] & 15)], 4);
        }
        for (; x < first.width; ++x) {
            std::memcpy(to + x * bytesPerPixel, blended[(a[x] & 15) << 4 | (b[x] & 15)],
                        bytesPerPixel);
        }
    }
    if (framed) FillReaderBorder(resolved, choices, pixels, out, stride);
    return TARNEL_OK;
}

// Why a character screen cannot be drawn: the set it needs, and the ways to
// give the C64's.
void ExplainNoCharset(const Resolved& resolved, char* text, size_t text_size) {
    if (resolved.text->charset == tarnel::CharsetWanted::Other) {
        std::snprintf(text, text_size,
                      "%s: the screen needs the character set \"%s\", which is not the C64's, "
                      "and the file does not carry it",
                      resolved.reader->name, resolved.text->otherName.c_str());
        return;
    }
    const std::string& problem = resolved.glyphs->problem;
    std::snprintf(text, text_size,
                  "%s: no character set to draw it with (the C64's %s set). tarnel ships no "
                  "character ROM: name a 4,096-byte character ROM file (upper case set first, as "
                  "VICE keeps it) with --charset or the charset option, or in the environment "
                  "variable TARNEL_CHARGEN, or install VICE's ROM as chargen-901225-01.bin in "
                  "/usr/share/vice/C64, /usr/lib/vice/C64 or ~/.local/share/vice/C64%s%s",
                  resolved.reader->name,
                  resolved.text->charset == tarnel::CharsetWanted::Lower ? "lower-case"
                                                                         : "upper-case/graphics",
                  problem.empty() ? "" : "; ", problem.c_str());
}

// tarnel_explain_ex for a 1.3 record: among every format, with the name.
int ExplainAny(const void* data, size_t size, const DecodeChoices& choices, char* text,
               size_t text_size) {
    std::unique_ptr<uint8_t[]> opened(new (std::nothrow) uint8_t[tarnel::OPEN_AS_BYTES]);
    if (!opened) return WriteRefusal(TARNEL_E_NO_MEMORY, size, text, text_size, [] {});
    Resolved resolved;
    const int result = Resolve(data, size, choices, opened.get(), &resolved);
    if (text == nullptr || text_size == 0) return result;
    const Thousands bytes(size);
    if (result == TARNEL_E_TOO_LARGE) {
        if (size > tarnel::MAX_ANY_FILE_BYTES) {
            std::snprintf(text, text_size,
                          "too large: %s bytes, the largest file of any format is %s",
                          bytes.c_str(), Thousands(tarnel::MAX_ANY_FILE_BYTES).c_str());
        } else {
            std::snprintf(text, text_size,
                          "%s file of a %s x %s picture, larger than tarnel draws (%s pixels a "
                          "side, %s in all)",
                          resolved.reader->name, Thousands(resolved.picture.width).c_str(),
                          Thousands(resolved.picture.height).c_str(),
                          Thousands(tarnel::MAX_PICTURE_SIDE).c_str(),
                          Thousands(tarnel::MAX_PICTURE_PIXELS).c_str());
        }
        return result;
    }
    if (result == TARNEL_OK && resolved.text && resolved.glyphs->source == TARNEL_CHARSET_MISSING) {
        ExplainNoCharset(resolved, text, text_size);
        return TARNEL_E_NO_CHARSET;
    }
    if (result == TARNEL_E_RANGE) {
        std::snprintf(text, text_size, "the file holds no frame %d", choices.frame - 1);
        return result;
    }
    if (result != TARNEL_E_NOT_RECOGNISED) {
        std::snprintf(text, text_size, "%s", tarnel_strerror(result));
        return result;
    }
    // The format the caller or the file's name gives, if any.
    const tarnel::FormatReader* named = tarnel::FindFormatReader(choices.layout);
    if (named == nullptr && choices.layout == tarnel::FORMAT_UNKNOWN) {
        for (size_t i = 0; i < tarnel::FormatReaderCount() && choices.extension[0] != '\0'; ++i) {
            if (tarnel::ListsExtension(tarnel::FormatReaderAt(i).extensions, choices.extension)) {
                named = &tarnel::FormatReaderAt(i);
                break;
            }
        }
    }
    if (named != nullptr) {
        std::snprintf(text, text_size, "%s bytes, not %s %s file: such a file %s", bytes.c_str(),
                      std::strchr("AEIOU", named->name[0]) != nullptr ? "an" : "a", named->name,
                      named->what);
    } else if (choices.layout != tarnel::FORMAT_UNKNOWN) {
        ExplainChosen(choices.layout, size, text, text_size);
    } else if (size <= MAX_FILE_BYTES) {
        const tarnel::ByteView file{static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
        ExplainNearMiss(tarnel::FindNearMiss(file), size, text, text_size);
    } else {
        std::snprintf(text, text_size, "%s", tarnel_strerror(TARNEL_E_NOT_RECOGNISED));
    }
    return result;
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
    // The 1.1 entry: the 1.2 one with the default frame and no border.
    // The 1.1 entry opens what 1.1 opens: a 1.2 record.
    tarnel_decode_options decoding;
    (tarnel_decode_options_init)(&decoding);
    if (options != nullptr) {
        decoding.pixel_format = options->pixel_format;
        decoding.use_palette = options->use_palette;
        std::memcpy(decoding.palette, options->palette, sizeof decoding.palette);
    }
    tarnel_info_ex found;
    std::memset(&found, 0, sizeof found);
    found.size = sizeof found;
    const int result = tarnel_decode_ex(decoder, data, size, &decoding, pixels, stride, &found);
    if (result == TARNEL_OK && info != nullptr) *info = found.info;
    return result;
}

// Programs built against 1.2 hold a record of TARNEL_DECODE_OPTIONS_SIZE_1_2
// bytes: this writes no further.
void(tarnel_decode_options_init)(tarnel_decode_options* options) {
    if (options == nullptr) return;
    std::memset(options, 0, TARNEL_DECODE_OPTIONS_SIZE_1_2);
    options->size = TARNEL_DECODE_OPTIONS_SIZE_1_2;
    options->pixel_format = TARNEL_RGB24;
    options->use_palette = 0;
    tarnel_palette_colours(0, options->palette);
    options->frame = TARNEL_FRAME_BLEND;
    options->border = TARNEL_BORDER_NONE;
    options->border_colour = TARNEL_BORDER_COLOUR_BACKGROUND;
    options->layout = 0;
    options->view = TARNEL_VIEW_STORED;
}

void tarnel_decode_options_init_ex(tarnel_decode_options* options, size_t size) {
    if (options == nullptr || size < TARNEL_DECODE_OPTIONS_SIZE_1_2 ||
        (size > TARNEL_DECODE_OPTIONS_SIZE_1_2 && size < sizeof *options) || size > 4096) {
        return;
    }
    std::memset(options, 0, size);
    (tarnel_decode_options_init)(options);
    options->size = size;
}

int tarnel_output_size(const tarnel_decode_options* options, int* width, int* height) {
    DecodeChoices choices;
    if (!ReadDecodeOptions(options, &choices)) return TARNEL_E_BAD_OPTIONS;
    if (width == nullptr || height == nullptr) return TARNEL_E_NULL_ARGUMENT;
    // A format beyond the twenty has the size its file gives.
    if (tarnel::FindFormatReader(choices.layout) != nullptr) return TARNEL_E_RANGE;
    *width = static_cast<int>(choices.width);
    *height = static_cast<int>(choices.height);
    return TARNEL_OK;
}

int tarnel_identify_ex(const void* data, size_t size, const tarnel_decode_options* options,
                       tarnel_info_ex* info) {
    DecodeChoices choices;
    if (!ReadDecodeOptions(options, &choices) || !InfoExWritable(info)) {
        return TARNEL_E_BAD_OPTIONS;
    }
    // Room to rebuild a file opened as a layout (chosen, or named by a 1.3
    // caller's file name).
    std::unique_ptr<uint8_t[]> opened;
    if (choices.layout != tarnel::FORMAT_UNKNOWN || choices.anyFormat) {
        opened.reset(new (std::nothrow) uint8_t[tarnel::OPEN_AS_BYTES]);
        if (!opened) return TARNEL_E_NO_MEMORY;
    }
    Resolved resolved;
    const int result = Resolve(data, size, choices, opened.get(), &resolved);
    if (result != TARNEL_OK) return result;
    FillInfoEx(resolved, data, size, choices, info);
    return TARNEL_OK;
}

int tarnel_decode_ex(tarnel_decoder* decoder, const void* data, size_t size,
                     const tarnel_decode_options* options, void* pixels, size_t stride,
                     tarnel_info_ex* info) {
    if (decoder == nullptr || pixels == nullptr) return TARNEL_E_NULL_ARGUMENT;
    DecodeChoices choices;
    if (!ReadDecodeOptions(options, &choices) || !InfoExWritable(info)) {
        return TARNEL_E_BAD_OPTIONS;
    }
    const size_t bytesPerPixel = tarnel::BytesPerPixel(choices.format);
    // A 1.2 record: the stride is checked before the file, as 1.2 does.
    if (!choices.anyFormat) {
        if (stride < choices.width * bytesPerPixel) return TARNEL_E_STRIDE;
        // The last row must be addressable.
        if (stride > (PTRDIFF_MAX - size_t{TARNEL_BORDER_WIDTH} * 4) / choices.height) {
            return TARNEL_E_STRIDE;
        }
    }
    Resolved resolved;
    const int result = Resolve(data, size, choices, decoder->opened, &resolved);
    if (result != TARNEL_OK) return result;
    if (choices.anyFormat) {
        size_t width = 0, height = 0;
        OutputSize(resolved, choices, &width, &height);
        if (stride < width * bytesPerPixel ||
            stride > (PTRDIFF_MAX - size_t{TARNEL_MAX_PICTURE_SIDE} * 4) / height) {
            return TARNEL_E_STRIDE;
        }
    }
    if (resolved.reader != nullptr) {
        const int drawn =
            DrawReaderPicture(decoder, resolved, choices, static_cast<uint8_t*>(pixels), stride);
        if (drawn != TARNEL_OK) return drawn;
        FillInfoEx(resolved, data, size, choices, info);
        return TARNEL_OK;
    }
    const tarnel::FormatCode code = resolved.code;

    const tarnel::ByteView image = tarnel::ChooseImage(code, resolved.file, decoder->image);
    const uint8_t background = tarnel::BackgroundColour(code, image);
    const tarnel::Frame frame = choices.frame == TARNEL_FRAME_0   ? tarnel::Frame::First
                                : choices.frame == TARNEL_FRAME_1 ? tarnel::Frame::Second
                                                                  : tarnel::Frame::Blend;
    PreparePixelTable(decoder, tarnel::DrawsBlended(code, frame), choices.format, choices.palette);

    // The picture first, then the border around it: a decode that fails
    // writes nothing.
    auto* out = static_cast<uint8_t*>(pixels);
    constexpr size_t left = TARNEL_BORDER_LEFT;
    constexpr size_t top = TARNEL_BORDER_TOP;

    uint8_t* picture = choices.border ? out + top * stride + left * bytesPerPixel : out;
    const bool drawn = tarnel::DrawImage(code, image, decoder->pixels, picture,
                                         static_cast<ptrdiff_t>(stride), frame, choices.view);
    if (!drawn) return TARNEL_E_NOT_RECOGNISED;
    if (choices.border) {
        uint8_t pixel[4];
        BorderPixel(choices,
                    choices.borderColour == TARNEL_BORDER_COLOUR_BACKGROUND
                        ? static_cast<uint8_t>(background & 0x0F)
                        : static_cast<uint8_t>(choices.borderColour),
                    pixel);
        FillFrame(out, stride, pixel, bytesPerPixel);
    }
    FillInfoEx(resolved, data, size, choices, info);
    return TARNEL_OK;
}

int tarnel_layout(int index, tarnel_info* info) {
    if (index < 0 || index >= TARNEL_LAYOUT_COUNT) return TARNEL_E_RANGE;
    if (info == nullptr) return TARNEL_E_NULL_ARGUMENT;
    FillInfo(tarnel::LAYOUTS[index], nullptr, 0, info);
    return TARNEL_OK;
}

int tarnel_layout_on_request(int index, tarnel_info* info) {
    if (index < 0 || static_cast<size_t>(index) >= tarnel::ON_REQUEST_LAYOUT_COUNT) {
        return TARNEL_E_RANGE;
    }
    if (info == nullptr) return TARNEL_E_NULL_ARGUMENT;
    FillInfo(tarnel::ON_REQUEST_LAYOUTS[index].info, nullptr, 0, info);
    return TARNEL_OK;
}

int tarnel_explain(const void* data, size_t size, char* text, size_t text_size) {
    tarnel::Identification found;
    const int result = Identify(data, size, &found);
    return WriteRefusal(result, size, text, text_size, [&] {
        const tarnel::ByteView file{static_cast<const uint8_t*>(data), static_cast<uint32_t>(size)};
        ExplainNearMiss(tarnel::FindNearMiss(file), size, text, text_size);
    });
}

int tarnel_explain_ex(const void* data, size_t size, const tarnel_decode_options* options,
                      char* text, size_t text_size) {
    DecodeChoices choices;
    if (!ReadDecodeOptions(options, &choices)) {
        if (text != nullptr && text_size > 0) {
            std::snprintf(text, text_size, "%s", tarnel_strerror(TARNEL_E_BAD_OPTIONS));
        }
        return TARNEL_E_BAD_OPTIONS;
    }
    if (choices.anyFormat) return ExplainAny(data, size, choices, text, text_size);
    if (choices.layout == tarnel::FORMAT_UNKNOWN)
        return tarnel_explain(data, size, text, text_size);
    std::unique_ptr<uint8_t[]> opened(new (std::nothrow) uint8_t[tarnel::OPEN_AS_BYTES]);
    const int result =
        opened ? Resolve(data, size, choices, opened.get(), nullptr) : TARNEL_E_NO_MEMORY;
    return WriteRefusal(result, size, text, text_size,
                        [&] { ExplainChosen(choices.layout, size, text, text_size); });
}

const char* tarnel_layout_short_name(int code) {
    for (size_t i = 0; i < tarnel::LAYOUT_COUNT; ++i) {
        if (tarnel::LAYOUTS[i].code == code) return tarnel::LAYOUT_KEYS[i];
    }
    for (const tarnel::OnRequestLayout& layout : tarnel::ON_REQUEST_LAYOUTS) {
        if (layout.info.code == code) return layout.key;
    }
    if (code > 0 && code < 256) {
        const tarnel::FormatReader* reader =
            tarnel::FindFormatReader(static_cast<tarnel::FormatCode>(code));
        if (reader != nullptr) return reader->key;
    }
    return nullptr;
}

int tarnel_format_count(void) {
    return static_cast<int>(tarnel::LAYOUT_COUNT + tarnel::ON_REQUEST_LAYOUT_COUNT +
                            tarnel::FormatReaderCount());
}

int tarnel_format_at(int index, tarnel_format_info* info) {
    if (index < 0 || index >= tarnel_format_count()) return TARNEL_E_RANGE;
    if (info == nullptr) return TARNEL_E_NULL_ARGUMENT;
    auto at = static_cast<size_t>(index);
    if (at < tarnel::LAYOUT_COUNT) {
        const tarnel::LayoutInfo& layout = tarnel::LAYOUTS[at];
        // Every extension that names it, for 1.3 callers.
        const tarnel::LayoutVariants* variants = tarnel::FindLayoutVariants(layout.code);
        *info = {layout.code,
                 tarnel::LAYOUT_KEYS[at],
                 layout.name,
                 variants != nullptr ? variants->extensions : layout.extensions,
                 tarnel::LayoutMimeType(layout.code),
                 TARNEL_FOUND_BY_CONTENT,
                 0};
        return TARNEL_OK;
    }
    at -= tarnel::LAYOUT_COUNT;
    if (at < tarnel::ON_REQUEST_LAYOUT_COUNT) {
        const tarnel::OnRequestLayout& layout = tarnel::ON_REQUEST_LAYOUTS[at];
        *info = {layout.info.code,
                 layout.key,
                 layout.info.name,
                 layout.info.extensions,
                 tarnel::LayoutMimeType(layout.info.code),
                 TARNEL_FOUND_ON_REQUEST,
                 0};
        return TARNEL_OK;
    }
    const tarnel::FormatReader& reader =
        tarnel::FormatReaderAt(at - tarnel::ON_REQUEST_LAYOUT_COUNT);
    *info = {reader.code,
             reader.key,
             reader.name,
             reader.extensions,
             reader.mime,
             reader.signature               ? TARNEL_FOUND_BY_CONTENT
             : reader.extensions[0] != '\0' ? TARNEL_FOUND_BY_NAME
                                            : TARNEL_FOUND_ON_REQUEST,
             1};
    return TARNEL_OK;
}

int tarnel_layout_find(const char* name) {
    if (name == nullptr || *name == '\0') return TARNEL_E_RANGE;
    // A code in decimal.
    if (std::isdigit(static_cast<unsigned char>(*name)) != 0) {
        int code = 0;
        for (const char* c = name; *c != '\0'; ++c) {
            if (std::isdigit(static_cast<unsigned char>(*c)) == 0 || code > 255) {
                return TARNEL_E_RANGE;
            }
            code = code * 10 + (*c - '0');
        }
        return code <= 255 && tarnel_layout_short_name(code) != nullptr ? code : TARNEL_E_RANGE;
    }
    for (int code = 1; code < 256; ++code) {
        const char* key = tarnel_layout_short_name(code);
        if (key == nullptr) continue;
        size_t n = 0;
        while (key[n] != '\0' && name[n] != '\0' &&
               std::tolower(static_cast<unsigned char>(name[n])) == key[n]) {
            ++n;
        }
        if (key[n] == '\0' && name[n] == '\0') return code;
    }
    return TARNEL_E_RANGE;
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
        case TARNEL_E_NO_CHARSET:
            return "a character screen, and no character set to draw it with";
        default:
            return "unknown result code";
    }
}

const char* tarnel_version(void) {
    return VERSION_TEXT;
}

}  // extern "C"
