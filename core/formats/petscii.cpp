// Character screens: Petmate projects and exports, C64 OS pictures, the
// PETSCII screen dumps of other editors, Fluff64's PETSCII type and raw
// screen memory. Each reader turns its file into a TextScreen; the library
// finds the glyphs and DrawTextScreen draws it.
#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string_view>

#include "core/formats/cells.h"
#include "core/formats/readers.h"
#include "core/formats/text_screens.h"

namespace tarnel {

void DrawTextScreen(const TextScreen& screen, const uint8_t* glyphs, const ColourCanvas& canvas) {
    for (uint32_t row = 0; row < screen.rows; ++row) {
        for (uint32_t column = 0; column < screen.columns; ++column) {
            const size_t cell = size_t{row} * screen.columns + column;
            const uint8_t code = screen.codes[cell];
            const bool reversed = screen.reverseHigh && code >= 128;
            const uint8_t* glyph = glyphs + (reversed ? code - 128 : code) * 8;
            const uint8_t invert = reversed ? 0xFF : 0x00;
            const uint8_t ink = screen.colours[cell] & 15;
            for (uint32_t line = 0; line < 8; ++line) {
                cells::DrawHiresByte(canvas.Row(row * 8 + line) + column * 8,
                                     static_cast<uint8_t>(glyph[line] ^ invert), ink,
                                     screen.background);
            }
        }
    }
}

namespace readers {
namespace {

using nlohmann::json;

// A screen of `columns` x `rows` whose codes and colours lie at fixed places.
bool FixedScreen(ByteView codes, uint32_t codesAt, ByteView colours, uint32_t coloursAt,
                 uint32_t columns, uint32_t rows, uint8_t background, TextScreen* out) {
    const uint32_t cells = columns * rows;
    if (!codes.Holds(codesAt, cells) || !colours.Holds(coloursAt, cells)) return false;
    out->columns = columns;
    out->rows = rows;
    out->background = background & 15;
    out->border = out->background;
    out->codes.assign(codes.data + codesAt, codes.data + codesAt + cells);
    out->colours.assign(colours.data + coloursAt, colours.data + coloursAt + cells);
    for (uint8_t& colour : out->colours) colour &= 15;
    return true;
}

bool AllBelow16(ByteView file, uint32_t at, uint32_t count) {
    if (!file.Holds(at, count)) return false;
    return std::all_of(file.data + at, file.data + at + count, [](uint8_t b) { return b < 16; });
}

// --- Petmate projects (.petmate): JSON ----------------------------------

// A number of the document that is a whole number from `low` to `high`.
bool WholeNumber(const json& value, int64_t low, int64_t high, int64_t* out) {
    if (!value.is_number_integer()) return false;
    const int64_t n = value.get<int64_t>();
    if (n < low || n > high) return false;
    *out = n;
    return true;
}

// The field `key` of `object` as a whole number, or `fallback` when it is
// missing; false when it is there and not such a number.
bool WholeField(const json& object, const char* key, int64_t low, int64_t high, int64_t fallback,
                int64_t* out) {
    const auto found = object.find(key);
    if (found == object.end()) {
        *out = fallback;
        return true;
    }
    return WholeNumber(*found, low, high, out);
}

// The glyphs of a custom font: "font": {"bits": [2,048 bytes]}.
bool CustomGlyphs(const json& fonts, const std::string& name, std::vector<uint8_t>* glyphs) {
    if (!fonts.is_object()) return false;
    const auto font = fonts.find(name);
    if (font == fonts.end() || !font->is_object()) return false;
    const auto inner = font->find("font");
    const json& holder = inner != font->end() && inner->is_object() ? *inner : *font;
    const auto bits = holder.find("bits");
    if (bits == holder.end() || !bits->is_array() || bits->size() != CHARSET_BYTES) return false;
    glyphs->resize(CHARSET_BYTES);
    for (uint32_t n = 0; n < CHARSET_BYTES; ++n) {
        int64_t byte = 0;
        if (!WholeNumber((*bits)[n], 0, 255, &byte)) return false;
        (*glyphs)[n] = static_cast<uint8_t>(byte);
    }
    return true;
}

bool ReadPetmateDocument(const json& document, uint32_t screen, TextScreen* out) {
    if (!document.is_object()) return false;
    const auto framebufs = document.find("framebufs");
    if (framebufs == document.end() || !framebufs->is_array() || framebufs->empty()) return false;
    // The order of the screens, when the project keeps one apart from its
    // frame buffers.
    std::vector<size_t> order;
    const auto screens = document.find("screens");
    if (screens != document.end() && screens->is_array() && !screens->empty() &&
        screens->size() <= framebufs->size()) {
        for (const json& index : *screens) {
            int64_t n = 0;
            if (!WholeNumber(index, 0, static_cast<int64_t>(framebufs->size()) - 1, &n)) {
                order.clear();
                break;
            }
            order.push_back(static_cast<size_t>(n));
        }
    }
    const size_t count = order.empty() ? framebufs->size() : order.size();
    if (screen >= count) return false;
    out->screenCount = static_cast<uint32_t>(std::min<size_t>(count, UINT32_MAX));
    const json& buffer = (*framebufs)[order.empty() ? screen : order[screen]];
    if (!buffer.is_object()) return false;

    int64_t columns = 0, rows = 0, background = 0, border = 0;
    if (!WholeField(buffer, "width", 1, MAX_SCREEN_SIDE, -1, &columns) || columns < 1 ||
        !WholeField(buffer, "height", 1, MAX_SCREEN_SIDE, -1, &rows) || rows < 1 ||
        !WholeField(buffer, "backgroundColor", 0, 255, 0, &background) ||
        !WholeField(buffer, "borderColor", 0, 255, 0, &border)) {
        return false;
    }
    if (columns * rows > MAX_SCREEN_CELLS) return false;
    const auto cells = buffer.find("framebuf");
    if (cells == buffer.end() || !cells->is_array() || cells->size() != static_cast<size_t>(rows)) {
        return false;
    }
    out->columns = static_cast<uint32_t>(columns);
    out->rows = static_cast<uint32_t>(rows);
    out->background = static_cast<uint8_t>(background & 15);
    out->border = static_cast<uint8_t>(border & 15);
    out->codes.resize(static_cast<size_t>(columns * rows));
    out->colours.resize(out->codes.size());
    size_t at = 0;
    for (const json& row : *cells) {
        if (!row.is_array() || row.size() != static_cast<size_t>(columns)) return false;
        for (const json& cell : row) {
            int64_t code = 0, colour = 0;
            if (!cell.is_object()) return false;
            const auto codeField = cell.find("code");
            const auto colourField = cell.find("color");
            if (codeField == cell.end() || colourField == cell.end() ||
                !WholeNumber(*codeField, 0, 255, &code) ||
                !WholeNumber(*colourField, 0, 255, &colour)) {
                return false;
            }
            out->codes[at] = static_cast<uint8_t>(code);
            out->colours[at] = static_cast<uint8_t>(colour & 15);
            ++at;
        }
    }

    // The character set: the C64's upper or lower case, or a font the
    // project carries; any other (another machine's) is named, not drawn.
    std::string charset = "upper";
    const auto charsetField = buffer.find("charset");
    if (charsetField != buffer.end()) {
        if (!charsetField->is_string()) return false;
        charset = charsetField->get<std::string>();
    }
    out->reverseHigh = false;
    if (charset == "upper") {
        out->charset = CharsetWanted::Upper;
    } else if (charset == "lower") {
        out->charset = CharsetWanted::Lower;
    } else {
        const auto fonts = document.find("customFonts");
        if (fonts != document.end() && CustomGlyphs(*fonts, charset, &out->glyphs)) {
            out->charset = CharsetWanted::Own;
        } else {
            out->charset = CharsetWanted::Other;
            out->otherName = charset.substr(0, 64);
        }
    }
    return true;
}

bool ReadPetmate(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    const auto* first = reinterpret_cast<const char*>(file.data);
#if defined(__cpp_exceptions)
    try {
#endif
        // Without exceptions: a damaged document is discarded, not thrown.
        const json document = json::parse(first, first + file.size, nullptr, false);
        if (document.is_discarded()) return false;
        return ReadPetmateDocument(document, screen, out);
#if defined(__cpp_exceptions)
    } catch (...) {
        // Memory ran out for a document's values.
        return false;
    }
#endif
}

// A JSON object that names "framebufs": read whole only when drawn.
Evidence PetmateSniff(ByteView file) {
    std::string_view text(reinterpret_cast<const char*>(file.data), file.size);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte order mark
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || text[start] != '{') return Evidence::None;
    return text.find("\"framebufs\"") != std::string_view::npos ? Evidence::Signature
                                                                : Evidence::None;
}

// --- Petmate's .pet export: width, height, border, background, case -----

bool ReadPetmatePet(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size < 7) return false;
    const uint32_t columns = file[0];
    const uint32_t rows = file[1];
    if (columns == 0 || rows == 0 || file.size != 5 + 2 * columns * rows) return false;
    if (!FixedScreen(file, 5, file, 5 + columns * rows, columns, rows, file[3], out)) return false;
    out->border = file[2] & 15;
    // 0: the upper-case/graphics set, 1: the lower-case set.
    out->charset = file[4] == 1 ? CharsetWanted::Lower : CharsetWanted::Upper;
    return true;
}
Evidence PetmatePetSniff(ByteView file) {
    if (file.size < 7) return Evidence::None;
    const uint32_t cells = uint32_t{file[0]} * file[1];
    if (cells == 0 || file.size != 5 + 2 * cells || file[2] > 15 || file[3] > 15 || file[4] > 1 ||
        !AllBelow16(file, 5 + cells, cells)) {
        return Evidence::None;
    }
    return Evidence::Shape;
}

// --- C64 OS: "PET2" in shifted PETSCII, with its own font ---------------

constexpr uint8_t C64OS_MARK[] = {0xD0, 0xC5, 0xD4, 0x32};
constexpr uint32_t C64OS_SIZE = 4105;

bool ReadC64Os(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != C64OS_SIZE) return false;
    if (!FixedScreen(file, 55, file, 1055, 40, 25, file[2056], out)) return false;
    out->charset = CharsetWanted::Own;
    out->glyphs.assign(file.data + 2057, file.data + 2057 + CHARSET_BYTES);
    return true;
}
Evidence C64OsSniff(ByteView file) {
    return file.size == C64OS_SIZE && std::memcmp(file.data, C64OS_MARK, 4) == 0
               ? Evidence::Signature
               : Evidence::None;
}

// --- Screen dumps with a load address, and tiles: the C64's upper-case
// set, 128 characters, codes from 128 reversed. ---------------------------

bool ReadScreen2026(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != 2026) return false;
    out->reverseHigh = true;
    return FixedScreen(file, 2, file, 1026, 40, 25, file[1003], out);
}
Evidence Screen2026Sniff(ByteView file) {
    return file.size == 2026 ? Evidence::Shape : Evidence::None;
}

bool ReadPdr(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != 2029) return false;
    out->reverseHigh = true;
    return FixedScreen(file, 5, file, 1029, 40, 25, file[3], out);
}
Evidence PdrSniff(ByteView file) {
    return file.size == 2029 ? Evidence::Shape : Evidence::None;
}

bool ReadPbot(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0) return false;
    const bool small = file.size == 70;
    if (!small && file.size != 384) return false;
    const uint32_t columns = small ? 5 : 12;
    const uint32_t rows = small ? 7 : 16;
    out->reverseHigh = true;
    return FixedScreen(file, columns * rows, file, 0, columns, rows, 0, out);
}
Evidence PbotSniff(ByteView file) {
    return file.size == 70 || file.size == 384 ? Evidence::Shape : Evidence::None;
}

// .scr with its colours in a .col file of the same name beside it.
bool ReadScrCol(ByteView file, ByteView companion, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != 1002 || companion.size != 1002) return false;
    out->reverseHigh = true;
    return FixedScreen(file, 2, companion, 2, 40, 25, 0, out);
}
Evidence ScrColSniff(ByteView file) {
    return file.size == 1002 ? Evidence::Shape : Evidence::None;
}

// Fluff64 / TRSE, type 7: columns at 15, rows at 16, background at 13,
// colours at 29, then the codes.
constexpr char FLUFF_MARK[] = "FLUFF64";
bool ReadFluffPetscii(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size < 45 || std::memcmp(file.data, FLUFF_MARK, 7) != 0 ||
        file[11] != 7) {
        return false;
    }
    const uint32_t columns = file[15];
    const uint32_t rows = file[16];
    const uint32_t cells = columns * rows;
    if (cells == 0 || file.size < 45 + 2 * cells) return false;
    out->reverseHigh = true;
    return FixedScreen(file, 29 + cells, file, 29, columns, rows, file[13], out);
}
Evidence FluffPetsciiSniff(ByteView file) {
    TextScreen screen;
    return ReadFluffPetscii(file, {}, 0, &screen) ? Evidence::Signature : Evidence::None;
}

// Raw screen memory, 40 x 25 codes (and 1,000 colours): opened only when
// the caller names it. The library paints a colourless dump's characters and
// background in the caller's colours.
bool ReadRawScreen(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != 1000) return false;
    return FixedScreen(file, 0, file, 0, 40, 25, 0, out);
}
Evidence RawScreenSniff(ByteView file) {
    return file.size == 1000 ? Evidence::Shape : Evidence::None;
}
bool ReadRawScreenColours(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != 2000) return false;
    return FixedScreen(file, 0, file, 1000, 40, 25, 0, out);
}
Evidence RawScreenColoursSniff(ByteView file) {
    return file.size == 2000 ? Evidence::Shape : Evidence::None;
}

// The table's measure, background and frames, from the first screen (a
// .scr's size without its companion).
template <ReadTextScreenFn Read>
PictureSize MeasureText(ByteView file) {
    TextScreen screen;
    if (!Read(file, {}, 0, &screen)) return {320, 200};
    return {screen.columns * 8, screen.rows * 8};
}
template <ReadTextScreenFn Read>
uint8_t TextBackground(ByteView file) {
    TextScreen screen;
    return Read(file, {}, 0, &screen) ? screen.background : 0;
}
template <ReadTextScreenFn Read>
uint32_t TextFrames(ByteView file) {
    TextScreen screen;
    return Read(file, {}, 0, &screen) ? screen.screenCount : 1;
}

#define TARNEL_TEXT_FORMAT(Sniff, Read) \
    Sniff, MeasureText<Read>, TextBackground<Read>, nullptr, TextFrames<Read>, nullptr

// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {120, "petmate", "Petmate project", "petmate", "image/x-c64-petmate", false, true, "is a JSON document with \"framebufs\" of screens", TARNEL_TEXT_FORMAT(PetmateSniff, ReadPetmate)},
    {121, "petmate-pet", "Petmate PETSCII screen", "pet", "image/x-c64-petscii", false, false, "is 5 bytes (width, height, border, background, case) then width x height screen codes and as many colours", TARNEL_TEXT_FORMAT(PetmatePetSniff, ReadPetmatePet)},
    {122, "c64os-pet", "C64 OS PETSCII picture", "pet", "image/x-c64-petscii", false, true, "is 4,105 bytes starting with \"PET2\" in shifted PETSCII", TARNEL_TEXT_FORMAT(C64OsSniff, ReadC64Os)},
    {123, "petscii-screen", "PETSCII screen dump", "pet", "image/x-c64-petscii", true, false, "is 2,026 bytes: screen memory and colours", TARNEL_TEXT_FORMAT(Screen2026Sniff, ReadScreen2026)},
    {124, "pdr", "PETSCII screen (PDR)", "pdr", "image/x-c64-petscii", true, false, "is 2,029 bytes", TARNEL_TEXT_FORMAT(PdrSniff, ReadPdr)},
    {125, "pbot", "PETSCII tiles (PBOT)", "pbot", "image/x-c64-petscii", false, false, "is 70 or 384 bytes", TARNEL_TEXT_FORMAT(PbotSniff, ReadPbot)},
    {126, "scr-col", "Screen with colour file", "scr", "image/x-c64-petscii", true, false, "is 1,002 bytes of screen codes, with a .col file of 1,002 bytes of colours beside it", TARNEL_TEXT_FORMAT(ScrColSniff, ReadScrCol)},
    {127, "fluff64-petscii", "Fluff64 / TRSE PETSCII screen", "flf", "image/x-c64-fluff64", false, true, "starts with \"FLUFF64\", type 7, and holds its screen's colours and codes", TARNEL_TEXT_FORMAT(FluffPetsciiSniff, ReadFluffPetscii)},
    {128, "screen-1000", "Screen memory, 1,000 codes", "", "image/x-c64-petscii", false, false, "is 1,000 screen codes", TARNEL_TEXT_FORMAT(RawScreenSniff, ReadRawScreen)},
    {129, "screen-2000", "Screen and colour memory, 2,000 bytes", "", "image/x-c64-petscii", false, false, "is 1,000 screen codes then 1,000 colours", TARNEL_TEXT_FORMAT(RawScreenColoursSniff, ReadRawScreenColours)},
};
// clang-format on

}  // namespace

const FormatFamily TEXT_SCREEN_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace readers

namespace {
struct TextReader {
    FormatCode code;
    ReadTextScreenFn read;
    const char* companion;
};
constexpr TextReader TEXT_READERS[] = {
    {120, readers::ReadPetmate, nullptr},   {121, readers::ReadPetmatePet, nullptr},
    {122, readers::ReadC64Os, nullptr},     {123, readers::ReadScreen2026, nullptr},
    {124, readers::ReadPdr, nullptr},       {125, readers::ReadPbot, nullptr},
    {126, readers::ReadScrCol, "col"},      {127, readers::ReadFluffPetscii, nullptr},
    {128, readers::ReadRawScreen, nullptr}, {129, readers::ReadRawScreenColours, nullptr},
};
}  // namespace

ReadTextScreenFn TextScreenReader(FormatCode code) {
    for (const TextReader& reader : TEXT_READERS) {
        if (reader.code == code) return reader.read;
    }
    return nullptr;
}

const char* TextScreenCompanion(FormatCode code) {
    for (const TextReader& reader : TEXT_READERS) {
        if (reader.code == code) return reader.companion;
    }
    return nullptr;
}

}  // namespace tarnel
