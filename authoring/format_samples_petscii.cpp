// Character screens (PETSCII): a sample of each format, drawn with a
// character set made up here (tarnel keeps no ROM bytes) or the file's own.
#include <cstdio>
#include <cstring>
#include <string>

#include "authoring/font.h"
#include "authoring/format_samples.h"

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;

// The made-up set's character `code`'s line `y`: the sample font's
// letters where the C64's sets have letters, digits and signs, stripes for
// its graphics, and from 128 the reverse with one pixel left as it was (so
// that drawing code - 128 reversed and drawing code itself differ).
uint8_t MadeUpLine(bool lower, uint32_t code, uint32_t y) {
    if (code >= 128) return static_cast<uint8_t>(~MadeUpLine(lower, code - 128, y) ^ (y == 0));
    char c = 0;
    if (code < 32) {
        c = static_cast<char>(code == 0 ? '@' : (lower && code <= 26 ? 'a' + code - 1 : 64 + code));
    } else if (code < 64) {
        c = static_cast<char>(code);
    } else if (lower && code >= 65 && code <= 90) {
        c = static_cast<char>(code);
    }
    if (c == 0) {
        // Graphics: diagonal stripes, a pattern each code.
        return static_cast<uint8_t>(((0x11u << (y + code) % 4) * (1 + code % 3)) & 0xFF);
    }
    uint8_t line = 0;
    for (int x = 0; x < 5; ++x) {
        if (GlyphPixel(c, x, static_cast<int>(y))) line |= static_cast<uint8_t>(0x40 >> x);
    }
    return line;
}

// A font of the file's own: bars as wide as the code's low bits.
uint8_t OwnLine(uint32_t code, uint32_t y) {
    return static_cast<uint8_t>((0xFF00u >> (code % 8 + y % 2)) & 0xFF);
}

struct Screen {
    uint32_t columns = 0, rows = 0;
    uint8_t background = 0, border = 0;
    std::vector<uint8_t> codes, colours;
};

// Cell n's code and colour: every code and colour in turn, shifted each
// screen so that no two samples agree.
Screen MakeScreen(uint32_t columns, uint32_t rows, uint8_t background, uint8_t border,
                  uint32_t shift) {
    Screen s{columns, rows, background, border, {}, {}};
    for (uint32_t n = 0; n < columns * rows; ++n) {
        s.codes.push_back(static_cast<uint8_t>((n * 7 + shift) % 256));
        s.colours.push_back(static_cast<uint8_t>((n + shift) % 16));
    }
    return s;
}

enum class Glyphs { Upper, Lower, Own };

// The picture of `s`: each cell's glyph, its 1 pixels the cell's colour,
// the 0 pixels the background; `reverseHigh`: codes from 128 draw code -
// 128 with every pixel inverted.
std::vector<uint8_t> Draw(const Screen& s, Glyphs glyphs, bool reverseHigh) {
    const uint32_t width = s.columns * 8;
    std::vector<uint8_t> picture(size_t{width} * s.rows * 8);
    for (uint32_t cell = 0; cell < s.columns * s.rows; ++cell) {
        const uint32_t code = s.codes[cell];
        const bool reversed = reverseHigh && code >= 128;
        const uint32_t drawn = reversed ? code - 128 : code;
        for (uint32_t y = 0; y < 8; ++y) {
            uint8_t line = glyphs == Glyphs::Own ? OwnLine(drawn, y)
                                                 : MadeUpLine(glyphs == Glyphs::Lower, drawn, y);
            if (reversed) line = static_cast<uint8_t>(~line);
            for (uint32_t x = 0; x < 8; ++x) {
                const bool on = (line >> (7 - x) & 1) != 0;
                picture[size_t{(cell / s.columns) * 8 + y} * width + (cell % s.columns) * 8 + x] =
                    on ? s.colours[cell] : s.background;
            }
        }
    }
    return picture;
}

FormatSample Sample(tarnel::FormatCode code, const char* slug, Bytes bytes, const Screen& s,
                    Glyphs glyphs, bool reverseHigh) {
    char name[64];
    std::snprintf(name, sizeof name, "%03u-%s", static_cast<unsigned>(code), slug);
    FormatSample sample(code, name, std::move(bytes), s.columns * 8, s.rows * 8,
                        Draw(s, glyphs, reverseHigh), s.border);
    return sample;
}

void Append(Bytes* out, const std::vector<uint8_t>& more) {
    out->insert(out->end(), more.begin(), more.end());
}

// A Petmate frame buffer as JSON.
std::string PetmateBuffer(const Screen& s, const char* charset, const char* name) {
    std::string json = "{\"width\": " + std::to_string(s.columns) +
                       ", \"height\": " + std::to_string(s.rows) +
                       ", \"backgroundColor\": " + std::to_string(s.background) +
                       ", \"borderColor\": " + std::to_string(s.border);
    if (charset != nullptr) json += std::string(", \"charset\": \"") + charset + "\"";
    json += std::string(", \"name\": \"") + name + "\", \"framebuf\": [";
    for (uint32_t row = 0; row < s.rows; ++row) {
        json += row == 0 ? "\n  [" : ",\n  [";
        for (uint32_t column = 0; column < s.columns; ++column) {
            const size_t n = size_t{row} * s.columns + column;
            json += (column == 0 ? "" : ",") + std::string("{\"code\":") +
                    std::to_string(s.codes[n]) + ",\"color\":" + std::to_string(s.colours[n]) + "}";
        }
        json += "]";
    }
    return json + "]}";
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

void AddPetmate(std::vector<FormatSample>* samples) {
    // Version 1: no charset field (upper case), one screen.
    const Screen one = MakeScreen(40, 25, 6, 14, 0);
    samples->push_back(Sample(120, "petmate-v1.petmate",
                              Text("{\"version\": 1, \"framebufs\": [" +
                                   PetmateBuffer(one, nullptr, "screen_001") + "]}\n"),
                              one, Glyphs::Upper, false));
    // Version 2: two screens in the order "screens" gives, lower case first.
    const Screen lower = MakeScreen(24, 10, 0, 2, 3);
    const Screen upper = MakeScreen(40, 25, 11, 12, 5);
    FormatSample two =
        Sample(120, "petmate-v2.petmate",
               Text("{\"version\": 2, \"screens\": [1, 0], \"framebufs\": [" +
                    PetmateBuffer(upper, "upper", "second") + ",\n" +
                    PetmateBuffer(lower, "lower", "first") + "], \"customFonts\": {}}\n"),
               lower, Glyphs::Lower, false);
    two.screens = 2;
    samples->push_back(two);
    // Version 4: a font of its own.
    const Screen own = MakeScreen(16, 8, 9, 1, 11);
    std::string bits;
    for (uint32_t n = 0; n < 2048; ++n) {
        bits += (n == 0 ? "" : ",") + std::to_string(OwnLine(n / 8, n % 8));
    }
    samples->push_back(
        Sample(120, "petmate-v4-font.petmate",
               Text("{\"version\": 4, \"framebufs\": [" + PetmateBuffer(own, "mine", "own font") +
                    "], \"customFonts\": {\"mine\": {\"name\": \"bars\", \"font\": {\"bits\": [" +
                    bits + "], \"charOrder\": []}}}}\n"),
               own, Glyphs::Own, false));
}

void AddBinaryScreens(std::vector<FormatSample>* samples) {
    // Petmate's export: width, height, border, background, case (1: lower).
    const Screen pet = MakeScreen(30, 12, 5, 10, 17);
    Bytes file = {30, 12, 10, 5, 1};
    Append(&file, pet.codes);
    Append(&file, pet.colours);
    samples->push_back(Sample(121, "petmate-export.pet", file, pet, Glyphs::Lower, false));

    // C64 OS: "PET2" in shifted PETSCII, codes at 55, colours at 1055,
    // background at 2056, its font at 2057.
    Screen os = MakeScreen(40, 25, 7, 7, 23);
    file.assign(4105, 0);
    const uint8_t mark[] = {0xD0, 0xC5, 0xD4, 0x32};
    std::memcpy(file.data(), mark, 4);
    std::memcpy(&file[55], os.codes.data(), 1000);
    std::memcpy(&file[1055], os.colours.data(), 1000);
    file[2056] = os.background;
    for (uint32_t n = 0; n < 2048; ++n) file[2057 + n] = OwnLine(n / 8, n % 8);
    samples->push_back(Sample(122, "c64os.pet", file, os, Glyphs::Own, false));

    // Screen memory from $0400 with its colours 1,024 bytes on; the
    // background the second spare byte after the screen.
    const Screen dump = MakeScreen(40, 25, 3, 3, 29);
    file.assign(2026, 0);
    file[1] = 0x04;
    std::memcpy(&file[2], dump.codes.data(), 1000);
    file[1003] = dump.background;
    std::memcpy(&file[1026], dump.colours.data(), 1000);
    samples->push_back(Sample(123, "screen.pet", file, dump, Glyphs::Upper, true));

    const Screen pdr = MakeScreen(40, 25, 13, 13, 31);
    file.assign(2029, 0);
    file[3] = pdr.background;
    std::memcpy(&file[5], pdr.codes.data(), 1000);
    std::memcpy(&file[1029], pdr.colours.data(), 1000);
    samples->push_back(Sample(124, "screen.pdr", file, pdr, Glyphs::Upper, true));

    // Tiles: colours first, then codes, on black.
    struct Tiles {
        uint32_t columns, rows;
        const char* slug;
    };
    for (const Tiles& kind : {Tiles{5, 7, "tile.pbot"}, Tiles{12, 16, "tiles.pbot"}}) {
        const Screen tiles = MakeScreen(kind.columns, kind.rows, 0, 0, kind.columns);
        file = tiles.colours;
        Append(&file, tiles.codes);
        samples->push_back(Sample(125, kind.slug, file, tiles, Glyphs::Upper, true));
    }

    // .scr and its .col, each with a load address.
    const Screen scr = MakeScreen(40, 25, 0, 0, 37);
    file = {0x00, 0x04};
    Append(&file, scr.codes);
    FormatSample withColours = Sample(126, "screen.scr", file, scr, Glyphs::Upper, true);
    withColours.companion = {0x00, 0xD8};
    Append(&withColours.companion, scr.colours);
    samples->push_back(withColours);

    // Fluff64, type 7: columns at 15, rows at 16, background at 13, the
    // colours at 29 and then the codes.
    const Screen fluff = MakeScreen(18, 6, 4, 4, 41);
    file.assign(29, 0);
    std::memcpy(file.data(), "FLUFF64", 7);
    file[11] = 7;
    file[13] = fluff.background;
    file[15] = 18;
    file[16] = 6;
    Append(&file, fluff.colours);
    Append(&file, fluff.codes);
    file.resize(file.size() + 16, 0);
    samples->push_back(Sample(127, "petscii.flf", file, fluff, Glyphs::Upper, true));
}

}  // namespace

std::vector<uint8_t> MadeUpChargen() {
    std::vector<uint8_t> rom(4096);
    for (uint32_t n = 0; n < 2048; ++n) {
        rom[n] = MadeUpLine(false, n / 8, n % 8);
        rom[2048 + n] = MadeUpLine(true, n / 8, n % 8);
    }
    return rom;
}

std::vector<FormatSample> MakePetsciiSamples() {
    std::vector<FormatSample> samples;
    AddPetmate(&samples);
    AddBinaryScreens(&samples);
    return samples;
}

}  // namespace tarnel_tools
