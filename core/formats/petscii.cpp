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
//
// Read as a stream of JSON events, never built into a document: a frame
// buffer's cells go straight into its codes and colours, and everything
// the reader does not know is passed over.

// A frame buffer as the stream gives it; checked when its object ends.
struct PetmateBuffer {
    int64_t width = -1, height = -1, background = 0, border = 0;
    std::string charset = "upper";
    uint32_t rows = 0;      // rows of "framebuf" seen
    bool ragged = false;    // a row of another length than the first
    uint32_t rowCells = 0;  // cells of the row being read
    uint32_t firstRowCells = 0;
    std::vector<uint8_t> codes, colours;
};

// The most custom fonts and named screens a project is read with.
constexpr size_t MAX_FONTS = 256;
constexpr size_t MAX_SCREENS = 65536;

class PetmateReader : public nlohmann::json_sax<json> {
public:
    std::vector<PetmateBuffer> buffers;
    std::vector<int64_t> screens;  // "screens": the order to show them in
    bool screensValid = true;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> fonts;  // id, 2,048 bytes

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t n) override { return Whole(n); }
    bool number_unsigned(number_unsigned_t n) override {
        return Whole(n > uint64_t{INT64_MAX} ? INT64_MAX : static_cast<int64_t>(n));
    }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t& text) override {
        if (In(Place::Buffer) && key_ == "charset") {
            buffers.back().charset = text.substr(0, 64);
            return true;
        }
        return Value();
    }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override {
        if (!Value(true)) return false;
        const Place place = Inner(true);
        if (place == Place::Elsewhere && Strict()) return false;
        if (place == Place::Buffer) buffers.emplace_back();
        if (place == Place::Cell) code_ = colour_ = -1;
        if (place == Place::FontEntry && !StartFont()) return false;
        stack_.push_back({place, true});
        key_.clear();
        return true;
    }
    bool key(string_t& name) override {
        key_ = name;
        if (In(Place::Fonts)) fontId_ = name.substr(0, 64);
        return true;
    }
    bool end_object() override {
        const Place place = stack_.back().place;
        stack_.pop_back();
        key_.clear();
        if (place == Place::Cell) {
            PetmateBuffer& buffer = buffers.back();
            if (code_ < 0 || colour_ < 0 || buffer.codes.size() >= MAX_SCREEN_CELLS) return false;
            buffer.codes.push_back(static_cast<uint8_t>(code_));
            buffer.colours.push_back(static_cast<uint8_t>(colour_ & 15));
            ++buffer.rowCells;
        }
        if (place == Place::Buffer) return BufferComplete(buffers.back());
        return true;
    }
    bool start_array(std::size_t) override {
        if (!Value(true)) return false;
        const Place place = Inner(false);
        if (place == Place::Elsewhere && Strict()) return false;
        if (place == Place::Row) buffers.back().rowCells = 0;
        if (place == Place::Bits) fonts.back().second.clear();
        stack_.push_back({place, false});
        return true;
    }
    bool end_array() override {
        const Place place = stack_.back().place;
        stack_.pop_back();
        key_.clear();
        if (place == Place::Row) {
            PetmateBuffer& buffer = buffers.back();
            if (buffer.rows == 0) buffer.firstRowCells = buffer.rowCells;
            buffer.ragged = buffer.ragged || buffer.rowCells != buffer.firstRowCells;
            ++buffer.rows;
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    // Where in the document a value lies.
    enum class Place : uint8_t {
        Root,       // the document's object
        Buffers,    // "framebufs"
        Buffer,     // one of them
        Cells,      // its "framebuf": rows
        Row,        // a row of cells
        Cell,       // {"code", "color"}
        Screens,    // "screens"
        Fonts,      // "customFonts"
        FontEntry,  // one of them
        Font,       // its "font" (or the entry itself)
        Bits,       // the font's "bits"
        Elsewhere,  // nothing read
    };
    struct Level {
        Place place;
        bool object;
    };

    bool In(Place place) const { return !stack_.empty() && stack_.back().place == place; }

    // A custom font's entry: one per name (a repeated name replaces the
    // first), and no more than a project could use.
    bool StartFont() {
        for (auto& font : fonts) {
            if (font.first == fontId_) {
                std::swap(font, fonts.back());
                fonts.back().second.clear();
                return true;
            }
        }
        if (fonts.size() >= MAX_FONTS) return false;
        fonts.emplace_back(fontId_, std::vector<uint8_t>{});
        return true;
    }

    // Whether the place now read holds only values of one kind (frame
    // buffers, rows, cells), so that anything else there ends the reading.
    bool Strict() const {
        return In(Place::Buffers) || In(Place::Cells) || In(Place::Row) || In(Place::Fonts);
    }

    // The place of an object or array that starts here.
    Place Inner(bool object) const {
        if (stack_.empty()) return object ? Place::Root : Place::Elsewhere;
        switch (stack_.back().place) {
            case Place::Root:
                if (key_ == "framebufs" && !object) return Place::Buffers;
                if (key_ == "screens" && !object) return Place::Screens;
                if (key_ == "customFonts" && object) return Place::Fonts;
                return Place::Elsewhere;
            case Place::Buffers:
                return object ? Place::Buffer : Place::Elsewhere;
            case Place::Buffer:
                return key_ == "framebuf" && !object ? Place::Cells : Place::Elsewhere;
            case Place::Cells:
                return object ? Place::Elsewhere : Place::Row;
            case Place::Row:
                return object ? Place::Cell : Place::Elsewhere;
            case Place::Fonts:
                return object ? Place::FontEntry : Place::Elsewhere;
            case Place::FontEntry:
                if (key_ == "font" && object) return Place::Font;
                return key_ == "bits" && !object ? Place::Bits : Place::Elsewhere;
            case Place::Font:
                return key_ == "bits" && !object ? Place::Bits : Place::Elsewhere;
            default:
                return Place::Elsewhere;
        }
    }

    // A value that is no whole number (or, `container`, an object or array)
    // where one is wanted ends the reading.
    bool Value(bool container = false) {
        if (stack_.empty()) return container;
        switch (stack_.back().place) {
            case Place::Buffer:
                return key_ != "width" && key_ != "height" && key_ != "backgroundColor" &&
                       key_ != "borderColor" && key_ != "charset" &&
                       (key_ != "framebuf" || container);
            case Place::Buffers:
            case Place::Cells:
            case Place::Row:
            case Place::Fonts:
                return container;
            case Place::Cell:
                return key_ != "code" && key_ != "color";
            case Place::Screens:
                screensValid = false;
                return true;
            case Place::Bits:
                return false;
            default:
                return true;
        }
    }

    bool Whole(int64_t n) {
        if (stack_.empty()) return false;
        switch (stack_.back().place) {
            case Place::Buffer: {
                PetmateBuffer& buffer = buffers.back();
                if (key_ == "width" || key_ == "height") {
                    if (n < 1 || n > MAX_SCREEN_SIDE) return false;
                    (key_ == "width" ? buffer.width : buffer.height) = n;
                } else if (key_ == "backgroundColor" || key_ == "borderColor") {
                    if (n < 0 || n > 255) return false;
                    (key_ == "backgroundColor" ? buffer.background : buffer.border) = n;
                } else if (key_ == "charset" || key_ == "framebuf") {
                    return false;
                }
                return true;
            }
            case Place::Cell:
                if (key_ == "code" || key_ == "color") {
                    if (n < 0 || n > 255) return false;
                    (key_ == "code" ? code_ : colour_) = n;
                }
                return true;
            case Place::Screens:
                // More screens named than any project holds: no order.
                if (screens.size() < MAX_SCREENS)
                    screens.push_back(n);
                else
                    screensValid = false;
                return true;
            case Place::Bits: {
                std::vector<uint8_t>& bits = fonts.back().second;
                if (n < 0 || n > 255) return false;
                // One byte past a font's size is enough to know it is no font.
                if (bits.size() <= CHARSET_BYTES) bits.push_back(static_cast<uint8_t>(n));
                return true;
            }
            case Place::Buffers:
            case Place::Cells:
            case Place::Row:
            case Place::Fonts:
                return false;
            default:
                return true;
        }
    }

    static bool BufferComplete(const PetmateBuffer& buffer) {
        return buffer.width >= 1 && buffer.height >= 1 &&
               buffer.width * buffer.height <= MAX_SCREEN_CELLS && !buffer.ragged &&
               buffer.rows == buffer.height && buffer.firstRowCells == buffer.width;
    }

    std::vector<Level> stack_;
    std::string key_;     // the key of the value now read, in an object
    std::string fontId_;  // the custom font being read
    int64_t code_ = -1, colour_ = -1;
};

bool ReadPetmate(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    PetmateReader reader;
    const auto* first = reinterpret_cast<const char*>(file.data);
#if defined(__cpp_exceptions)
    try {
#endif
        if (!json::sax_parse(first, first + file.size, &reader,
                             nlohmann::detail::input_format_t::json, true, false)) {
            return false;
        }
#if defined(__cpp_exceptions)
    } catch (...) {
        // Memory ran out.
        return false;
    }
#endif
    if (reader.buffers.empty()) return false;
    // The order of the screens, when the project keeps one apart from its
    // frame buffers and it names them all validly.
    std::vector<size_t> order;
    if (reader.screensValid && !reader.screens.empty() &&
        reader.screens.size() <= reader.buffers.size()) {
        for (int64_t index : reader.screens) {
            if (index < 0 || static_cast<uint64_t>(index) >= reader.buffers.size()) {
                order.clear();
                break;
            }
            order.push_back(static_cast<size_t>(index));
        }
    }
    const size_t count = order.empty() ? reader.buffers.size() : order.size();
    if (screen >= count) return false;
    out->screenCount = static_cast<uint32_t>(std::min<size_t>(count, UINT32_MAX));
    PetmateBuffer& buffer = reader.buffers[order.empty() ? screen : order[screen]];
    out->columns = static_cast<uint32_t>(buffer.width);
    out->rows = static_cast<uint32_t>(buffer.height);
    out->background = static_cast<uint8_t>(buffer.background & 15);
    out->border = static_cast<uint8_t>(buffer.border & 15);
    out->codes = std::move(buffer.codes);
    out->colours = std::move(buffer.colours);
    // The character set: the C64's upper or lower case, or a font the
    // project carries; any other (another machine's) is named, not drawn.
    out->reverseHigh = false;
    if (buffer.charset == "upper") {
        out->charset = CharsetWanted::Upper;
    } else if (buffer.charset == "lower") {
        out->charset = CharsetWanted::Lower;
    } else {
        out->charset = CharsetWanted::Other;
        out->otherName = buffer.charset;
        for (auto& font : reader.fonts) {
            if (font.first == buffer.charset && font.second.size() == CHARSET_BYTES) {
                out->charset = CharsetWanted::Own;
                out->glyphs = std::move(font.second);
                break;
            }
        }
    }
    return true;
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
// the caller names it, and drawn in the caller's colours where it keeps none.
bool ReadRawScreen(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != 1000) return false;
    out->ownColours = out->ownBackground = false;
    return FixedScreen(file, 0, file, 0, 40, 25, 0, out);
}
Evidence RawScreenSniff(ByteView file) {
    return file.size == 1000 ? Evidence::Shape : Evidence::None;
}
bool ReadRawScreenColours(ByteView file, ByteView, uint32_t screen, TextScreen* out) {
    if (screen != 0 || file.size != 2000) return false;
    out->ownBackground = false;
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
    Sniff, MeasureText<Read>, TextBackground<Read>, nullptr, TextFrames<Read>, nullptr, Read

// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {120, "petmate", "Petmate project", "petmate", "image/x-c64-petmate", false, true, "is a JSON document with \"framebufs\" of screens", TARNEL_TEXT_FORMAT(PetmateSniff, ReadPetmate)},
    {121, "petmate-pet", "Petmate PETSCII screen", "pet", "image/x-c64-petscii", false, false, "is 5 bytes (width, height, border, background, case) then width x height screen codes and as many colours", TARNEL_TEXT_FORMAT(PetmatePetSniff, ReadPetmatePet)},
    {122, "c64os-pet", "C64 OS PETSCII picture", "pet", "image/x-c64-petscii", false, true, "is 4,105 bytes starting with \"PET2\" in shifted PETSCII", TARNEL_TEXT_FORMAT(C64OsSniff, ReadC64Os)},
    {123, "petscii-screen", "PETSCII screen dump", "pet", "image/x-c64-petscii", true, false, "is 2,026 bytes: screen memory and colours", TARNEL_TEXT_FORMAT(Screen2026Sniff, ReadScreen2026)},
    {124, "pdr", "PETSCII screen (PDR)", "pdr", "image/x-c64-petscii", true, false, "is 2,029 bytes", TARNEL_TEXT_FORMAT(PdrSniff, ReadPdr)},
    {125, "pbot", "PETSCII tiles (PBOT)", "pbot", "image/x-c64-petscii", false, false, "is 70 or 384 bytes", TARNEL_TEXT_FORMAT(PbotSniff, ReadPbot)},
    {126, "scr-col", "Screen with colour file", "scr", "image/x-c64-petscii", true, false, "is 1,002 bytes of screen codes, with a .col file of 1,002 bytes of colours beside it", TARNEL_TEXT_FORMAT(ScrColSniff, ReadScrCol), "col"},
    {127, "fluff64-petscii", "Fluff64 / TRSE PETSCII screen", "flf", "image/x-c64-fluff64", false, true, "starts with \"FLUFF64\", type 7, and holds its screen's colours and codes", TARNEL_TEXT_FORMAT(FluffPetsciiSniff, ReadFluffPetscii)},
    {128, "screen-1000", "Screen memory, 1,000 codes", "", "image/x-c64-petscii", false, false, "is 1,000 screen codes", TARNEL_TEXT_FORMAT(RawScreenSniff, ReadRawScreen)},
    {129, "screen-2000", "Screen and colour memory, 2,000 bytes", "", "image/x-c64-petscii", false, false, "is 1,000 screen codes then 1,000 colours", TARNEL_TEXT_FORMAT(RawScreenColoursSniff, ReadRawScreenColours)},
};
// clang-format on

}  // namespace

const FormatFamily TEXT_SCREEN_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace readers

}  // namespace tarnel
