// Samples of the packed bitmaps: GG, BDP's three headers, Zoomatic,
// Drazpaint, compressed Doodle, Micro Illustrator's three types and SHP's
// five. Each picture is drawn as bitmap, screen and colour memory bytes;
// the file is those bytes packed (authoring/pack_schemes.h), and the
// picture expected is worked out from the drawing pixel by pixel. Escape
// bytes are planted in the drawings so that the streams hold them as data.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "authoring/font.h"
#include "authoring/format_samples.h"
#include "authoring/pack_schemes.h"

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t COLUMNS = 40;
constexpr uint32_t ROWS = 25;

// A bitmap of cells with its screen and (multicolour) colour memory, as
// drawn; `background` as stored, high nibble and all.
struct Drawing {
    uint32_t columns = COLUMNS;
    uint32_t rows = ROWS;
    bool multicolour = true;
    Bytes bitmap, screen, colour;
    uint8_t background = 0;

    uint32_t Cells() const { return columns * rows; }
    uint8_t& ByteAt(uint32_t x, uint32_t y) {
        return bitmap[((y / 8) * columns + x / 8) * 8 + y % 8];
    }
    // Multicolour pixel px (0 to columns x 4 - 1) of line y.
    void SetPair(uint32_t px, uint32_t y, uint32_t pair) {
        const uint32_t shift = 6 - 2 * (px % 4);
        uint8_t& byte = ByteAt(px * 2, y);
        byte = static_cast<uint8_t>((byte & ~(3u << shift)) | (pair & 3) << shift);
    }
    void SetBit(uint32_t x, uint32_t y, bool on) {
        uint8_t& byte = ByteAt(x, y);
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
        byte = static_cast<uint8_t>(on ? byte | bit : byte & ~bit);
    }
    // Bitmap, screen and colour memory one after another.
    Bytes Sections() const {
        Bytes out = bitmap;
        out.insert(out.end(), screen.begin(), screen.end());
        if (multicolour) out.insert(out.end(), colour.begin(), colour.end());
        return out;
    }
};

// The picture the drawing shows, pixel by pixel.
FormatSample Sample(uint8_t code, const char* slug, Bytes bytes, const Drawing& d) {
    char name[64];
    std::snprintf(name, sizeof name, "%02u-%s", static_cast<unsigned>(code), slug);
    const uint32_t width = d.columns * 8;
    const uint32_t height = d.rows * 8;
    std::vector<uint8_t> colours(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t cell = (y / 8) * d.columns + x / 8;
            const uint8_t byte = d.bitmap[cell * 8 + y % 8];
            const uint8_t screen = d.screen[cell];
            uint8_t colour;
            if (d.multicolour) {
                const uint32_t pair = byte >> (6 - 2 * ((x % 8) / 2)) & 3;
                const uint8_t choices[4] = {d.background, static_cast<uint8_t>(screen >> 4), screen,
                                            d.colour[cell]};
                colour = choices[pair] & 15;
            } else {
                colour = (byte >> (7 - x % 8) & 1) != 0 ? screen >> 4 : screen & 15;
            }
            colours[size_t{y} * width + x] = colour;
        }
    }
    return {code,
            name,
            std::move(bytes),
            width,
            height,
            std::move(colours),
            static_cast<uint8_t>(d.multicolour ? d.background & 15 : 0)};
}

bool GlyphAt(const std::string& text, int x, int y) {
    if (x < 0 || y < 0 || y >= GLYPH_HEIGHT) return false;
    const size_t n = static_cast<size_t>(x / GLYPH_ADVANCE);
    const int column = x % GLYPH_ADVANCE;
    return n < text.size() && column < GLYPH_WIDTH && GlyphPixel(text[n], column, y);
}

// The font's row at line y of text drawn two lines a row from line `top`;
// -1 above it.
int TextRow(uint32_t y, uint32_t top) {
    return y >= top ? static_cast<int>((y - top) / 2) : -1;
}

// A multicolour scene: a sky of background with a few stars, bands, a
// title, a pattern and a disc; colours change cell by cell below the sky.
Drawing Multicolour(uint32_t seed, const std::string& title, uint32_t rows = ROWS) {
    Drawing d;
    d.rows = rows;
    d.bitmap.assign(d.Cells() * 8, 0);
    d.screen.resize(d.Cells());
    d.colour.resize(d.Cells());
    d.background = static_cast<uint8_t>((seed * 5 % 16) << 4 | (6 + seed) % 16);
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < COLUMNS; ++c) {
            const uint32_t cell = r * COLUMNS + c;
            if (r < 5) {
                d.screen[cell] = 0xE3;
                d.colour[cell] = 0x01;
            } else {
                d.screen[cell] = static_cast<uint8_t>((c / 5 + r + seed) % 16 << 4 |
                                                      (c / 3 + 2 * r + seed + 7) % 16);
                d.colour[cell] =
                    static_cast<uint8_t>((c * 5 + r) % 16 << 4 | (c + 3 * r + seed) % 16);
            }
        }
    }
    const uint32_t pixels = COLUMNS * 4;
    for (uint32_t y = 0; y < rows * 8; ++y) {
        for (uint32_t px = 0; px < pixels; ++px) {
            uint32_t pair = 0;
            if (y < 40) {
                // Cell rows 0 and 4 stay empty: runs longer than 256.
                pair = y >= 8 && y < 32 && (px * 7 + y * 13 + seed) % 97 == 0 ? 3 : 0;
            } else if (y < 80) {
                pair = (px / 6 + y / 5 + seed) % 4;
            } else if (y < 120) {
                const bool ink = GlyphAt(title, static_cast<int>(px) - 4, TextRow(y, 88));
                pair = ink ? 3 : 2;
            } else {
                const int dx = static_cast<int>(px * 2 + 1) - 250;
                const int dy = static_cast<int>(y) - 160;
                pair = dx * dx + dy * dy < 32 * 32 ? 1 : (px + y / 2 + (px / 4) * (y / 8)) % 4;
            }
            d.SetPair(px, y, pair);
        }
    }
    return d;
}

// A hires scene of the same kind.
Drawing Hires(uint32_t seed, const std::string& title, uint32_t columns = COLUMNS,
              uint32_t rows = ROWS) {
    Drawing d;
    d.columns = columns;
    d.rows = rows;
    d.multicolour = false;
    d.bitmap.assign(d.Cells() * 8, 0);
    d.screen.resize(d.Cells());
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            d.screen[r * columns + c] = r < 3
                                            ? 0x16
                                            : static_cast<uint8_t>((c / 4 + r + seed) % 16 << 4 |
                                                                   (c / 6 + 2 * r + seed + 9) % 16);
        }
    }
    for (uint32_t y = 0; y < rows * 8; ++y) {
        for (uint32_t x = 0; x < columns * 8; ++x) {
            bool on;
            if (y < 24) {
                on = y >= 8 && (x * 7 + y * 13 + seed) % 101 == 0;
            } else if (y < 64) {
                on = (x + y) / 4 % 2 == 0;
            } else if (y < 96) {
                on = GlyphAt(title, static_cast<int>(x / 2) - 4, TextRow(y, 70));
            } else {
                const int dx = static_cast<int>(x) - static_cast<int>(columns * 8) + 70;
                const int dy = static_cast<int>(y) - 150;
                on = dx * dx + dy * dy < 36 * 36 ? (x ^ y) % 3 == 0 : (x / 8 + y / 8) % 2 == 0;
            }
            d.SetBit(x, y, on);
        }
    }
    return d;
}

// Writes `values` from bytes[at] on.
void Plant(Bytes* bytes, size_t at, std::initializer_list<uint8_t> values) {
    for (uint8_t v : values) bytes->at(at++) = v;
}
// `value` a few times alone and once five times over, in cell row 16 (or
// in the middle row of a shorter picture).
void PlantEscape(Drawing* d, uint8_t value) {
    const uint32_t row = d->rows > 16 ? 16 : d->rows / 2;
    const size_t at = (row * d->columns + 10) * 8;
    Plant(&d->bitmap, at + 1, {value});
    Plant(&d->bitmap, at + 9, {value, 0x00, value});
    Plant(&d->bitmap, at + 20, {value, value, value, value, value});
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Koala Painter's layout without its load address.
Bytes KoalaImage(const Drawing& d) {
    return Concat({d.Sections(), {d.background}});
}

EscapeRunsOptions OneEscape(uint8_t escape, bool zeroIs256, uint32_t emptyRuns = 0) {
    EscapeRunsOptions options;
    options.escapeAt = [escape](uint32_t) { return escape; };
    options.zeroIs256 = zeroIs256;
    options.emptyRuns = emptyRuns;
    return options;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "format_samples_packed: %s\n", what);
    std::abort();
}

void AddGg(std::vector<FormatSample>* samples) {
    Drawing d = Multicolour(1, "KOALA PAINTER, GG");
    PlantEscape(&d, 0xFE);
    samples->push_back(
        Sample(48, "koala-gg.gg", Concat({{0x00, 0x60}, PackKoalaRuns(KoalaImage(d), 5)}), d));
    // A stream that goes on past the picture: a run and literals the
    // picture has no room for.
    Drawing longer = Multicolour(2, "GG, A LONGER STREAM");
    PlantEscape(&longer, 0xFE);
    samples->push_back(Sample(48, "koala-gg-longer.gg",
                              Concat({{0x00, 0x60},
                                      PackKoalaRuns(KoalaImage(longer), 0),
                                      {0xFE, 0x12, 200, 0x01, 0x02, 0x03}}),
                              longer));
}

void AddBdp(std::vector<FormatSample>* samples) {
    {
        constexpr uint8_t ESCAPE = 0x9B;
        Drawing d = Multicolour(3, "BDP, MARKED");
        PlantEscape(&d, ESCAPE);
        const Bytes header = {0x00, 0x60, 0x02, 0x04, 0x10, 0x36, 0x30, 0x30, ESCAPE, 0x00};
        samples->push_back(
            Sample(49, "bdp.bdp",
                   Concat({header, PackEscapeRuns(KoalaImage(d), OneEscape(ESCAPE, true))}), d));
    }
    {
        constexpr uint8_t E1 = 0x9C, E2 = 0x9D;
        Drawing d = Multicolour(4, "BDP 5.00");
        PlantEscape(&d, E1);
        Plant(&d.bitmap, (17 * COLUMNS + 3) * 8, {E2, 0x11, E2, E2, E2, E2, E2, 0x22});
        Bytes header = {0x00, 0x60};
        header.insert(header.end(), {'B', 'D', 'P', ' ', '5', '.', '0', '0', E1, E2});
        samples->push_back(
            Sample(49, "bdp-5.bdp", Concat({header, PackBdp5(KoalaImage(d), E1, E2)}), d));
    }
    {
        Drawing d = Multicolour(5, "BDP 4");
        PlantEscape(&d, 0xFF);
        Plant(&d.bitmap, (17 * COLUMNS + 3) * 8, {0xFE, 0x11, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE});
        samples->push_back(
            Sample(49, "bdp-4.bdp", Concat({{0x00, 0x60}, PackBdp4(KoalaImage(d))}), d));
    }
}

void AddZoomatic(std::vector<FormatSample>* samples) {
    {
        // The escape byte is the load address's high byte too.
        constexpr uint8_t ESCAPE = 0x60;
        Drawing d = Multicolour(6, "ZOOMATIC");
        PlantEscape(&d, ESCAPE);
        samples->push_back(Sample(
            50, "zoomatic.zom",
            Concat({{0x00, 0x60}, PackBackwardRuns(KoalaImage(d), ESCAPE, 0), {ESCAPE}}), d));
    }
    {
        // Bytes before the stream that are never read, and a first run
        // longer than the room left for it.
        constexpr uint8_t ESCAPE = 0x4F;
        Drawing d = Multicolour(7, "ZOOMATIC, LONGER");
        PlantEscape(&d, ESCAPE);
        samples->push_back(Sample(50, "zoomatic-longer.zom",
                                  Concat({{0x00, 0x60, 0x13, 0x37, 0x00, 0xAA},
                                          PackBackwardRuns(KoalaImage(d), ESCAPE, 20),
                                          {ESCAPE}}),
                                  d));
    }
}

// Drazpaint's bytes from $5802 on: colour memory, screen (each padded to
// 1,024 bytes), bitmap, background.
Bytes DrazpaintImage(const Drawing& d) {
    const Bytes pad(24, 0x42);
    return Concat({d.colour, pad, d.screen, pad, d.bitmap, {d.background}});
}

void AddDrazpaint(std::vector<FormatSample>* samples) {
    {
        constexpr uint8_t ESCAPE = 0x8A;
        Drawing d = Multicolour(8, "DRAZPAINT 1.4");
        PlantEscape(&d, ESCAPE);
        Bytes header = {0x00, 0x58};
        for (char c : std::string("DRAZPAINT 1.4")) header.push_back(static_cast<uint8_t>(c));
        header.push_back(ESCAPE);
        samples->push_back(Sample(
            51, "drazpaint.drz",
            Concat({header, PackEscapeRuns(DrazpaintImage(d), OneEscape(ESCAPE, false, 4))}), d));
    }
    {
        Drawing d = Multicolour(9, "DRAZPAINT, RAW");
        samples->push_back(
            Sample(51, "drazpaint-raw.drp", Concat({{0x00, 0x58}, DrazpaintImage(d)}), d));
        // Named as Drazlace's packed files are: their bytes decide.
        Drawing named = Multicolour(10, "DRAZPAINT AS .DRZ");
        samples->push_back(Sample(51, "drazpaint-raw-drz.drz",
                                  Concat({{0x00, 0x58}, DrazpaintImage(named)}), named));
    }
}

void AddDoodleJj(std::vector<FormatSample>* samples) {
    Drawing d = Hires(11, "DOODLE, COMPRESSED");
    PlantEscape(&d, 0xFE);
    const Bytes image = Concat({d.screen, Bytes(24, 0x00), d.bitmap});
    samples->push_back(
        Sample(52, "doodle-jj.jj", Concat({{0x00, 0x5C}, PackKoalaRuns(image, 3)}), d));
}

// Micro Illustrator's header: type at 7, background at 8.
Bytes MilHeader(uint8_t type, uint8_t background) {
    Bytes header(22, 0x00);
    header[7] = type;
    header[8] = background;
    return header;
}

void AddMicroIllustrator(std::vector<FormatSample>* samples) {
    {
        Drawing d = Multicolour(12, "MICRO ILLUSTRATOR");
        samples->push_back(
            Sample(53, "micro-illustrator.mil",
                   Concat({MilHeader(0, d.background), d.screen, d.colour, d.bitmap}), d));
    }
    for (uint8_t type : {1, 2}) {
        Drawing d = Multicolour(
            12u + type, type == 1 ? "MICRO ILLUSTRATOR, COLUMNS" : "MICRO ILLUSTRATOR, LINES");
        Bytes image(10000);
        for (uint32_t r = 0; r < ROWS; ++r) {
            for (uint32_t c = 0; c < COLUMNS; ++c) {
                const uint32_t at =
                    type == 2 ? r * COLUMNS + c : c * ROWS + (r % 2 ? 13 : 0) + r / 2;
                image[at] = d.screen[r * COLUMNS + c];
                image[1000 + at] = d.colour[r * COLUMNS + c];
            }
        }
        for (uint32_t y = 0; y < ROWS * 8; ++y) {
            for (uint32_t c = 0; c < COLUMNS; ++c) {
                const uint32_t at =
                    type == 2 ? y * COLUMNS + c : c * 200 + (y % 2 ? 100 : 0) + y / 2;
                image[2000 + at] = d.ByteAt(c * 8, y);
            }
        }
        samples->push_back(
            Sample(53, type == 1 ? "micro-illustrator-columns.mil" : "micro-illustrator-lines.mil",
                   Concat({MilHeader(type, d.background), PackMicroIllustrator(image)}), d));
    }
}

// The escape bytes of SHP's sections: `bitmap` for the bitmap, then $00
// for the screen, then `colour`.
EscapeRunsOptions ShpEscapes(const Drawing& d, uint8_t bitmap, uint8_t colour) {
    EscapeRunsOptions options;
    const uint32_t bitmapEnd = d.Cells() * 8;
    const uint32_t screenEnd = bitmapEnd + d.Cells();
    options.escapeAt = [=](uint32_t at) -> uint8_t {
        return at < bitmapEnd ? bitmap : at < screenEnd ? 0x00 : colour;
    };
    options.zeroIs256 = true;
    return options;
}

void AddShp(std::vector<FormatSample>* samples) {
    {
        // Multicolour, type $00; the bitmap's last run goes on into the screen.
        constexpr uint8_t ESCAPE = 0x7D;
        Drawing d = Multicolour(15, "SHP, MULTICOLOUR");
        PlantEscape(&d, ESCAPE);
        Plant(&d.bitmap, 7992, {0xE3, 0xE3, 0xE3, 0xE3, 0xE3, 0xE3, 0xE3, 0xE3});
        Plant(&d.screen, 600, {0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00});
        Plant(&d.colour, 700, {0xFF, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        const Bytes header = {0x00, 0x60, 0x00, ESCAPE, d.background};
        samples->push_back(
            Sample(54, "shp-multicolour.shp",
                   Concat({header, PackEscapeRuns(d.Sections(), ShpEscapes(d, ESCAPE, 0xFF))}), d));
    }
    {
        // Multicolour, type $E8: a byte $FF between screen and colour
        // memory, and a run that crosses it.
        constexpr uint8_t ESCAPE = 0x5A;
        Drawing d = Multicolour(16, "SHP, TYPE E8");
        PlantEscape(&d, ESCAPE);
        Plant(&d.screen, 996, {0x25, 0x25, 0x25, 0x25});
        Plant(&d.colour, 0, {0x25, 0x25, 0x25, 0x25, 0x25});
        Plant(&d.colour, 300, {0xD8, 0x12, 0xD8, 0xD8, 0xD8, 0xD8, 0xD8});
        EscapeRunsOptions options = ShpEscapes(d, ESCAPE, 0xD8);
        options.between = {{9000, 0xFF}};
        const Bytes header = {0x00, 0x60, 0xE8, 25, d.background, ESCAPE};
        samples->push_back(Sample(54, "shp-multicolour-e8.shp",
                                  Concat({header, PackEscapeRuns(d.Sections(), options)}), d));
    }
    {
        constexpr uint8_t ESCAPE = 0xC3;
        Drawing d = Hires(17, "SHP, HIRES");
        PlantEscape(&d, ESCAPE);
        Plant(&d.screen, 500, {0x00, 0x61, 0x00, 0x00, 0x00, 0x00});
        samples->push_back(Sample(54, "shp-hires.shp",
                                  Concat({{0x00, 0x60, 0x80, ESCAPE},
                                          PackEscapeRuns(d.Sections(), ShpEscapes(d, ESCAPE, 0))}),
                                  d));
    }
    {
        constexpr uint8_t ESCAPE = 0x3C;
        Drawing d = Hires(18, "SHP, 39 CELLS WIDE", COLUMNS - 1);
        PlantEscape(&d, ESCAPE);
        samples->push_back(Sample(54, "shp-hires-39.shp",
                                  Concat({{0x00, 0x60, 0xA7, 25, ESCAPE},
                                          PackEscapeRuns(d.Sections(), ShpEscapes(d, ESCAPE, 0))}),
                                  d));
    }
    {
        constexpr uint8_t ESCAPE = 0x3D;
        Drawing d = Hires(19, "SHP, 9 ROWS", COLUMNS, 9);
        PlantEscape(&d, ESCAPE);
        samples->push_back(Sample(54, "shp-hires-9-rows.shp",
                                  Concat({{0x00, 0x60, 0xA8, 9, ESCAPE},
                                          PackEscapeRuns(d.Sections(), ShpEscapes(d, ESCAPE, 0))}),
                                  d));
    }
    {
        // 10,018 bytes, the size of Advanced Art Studio's files, though not
        // at $2000: literals stored as runs of one make up the size.
        constexpr uint32_t SIZE = 10018;
        constexpr uint8_t ESCAPE = 0xC4;
        Drawing d = Hires(20, "SHP OF 10,018 BYTES");
        PlantEscape(&d, ESCAPE);
        const Bytes header = {0x00, 0x60, 0x80, ESCAPE};
        EscapeRunsOptions options = ShpEscapes(d, ESCAPE, 0);
        const size_t packed = header.size() + PackEscapeRuns(d.Sections(), options).size();
        if (packed > SIZE) Fail("the SHP picture packs to more than 10,018 bytes");
        size_t missing = SIZE - packed;
        if (missing % 2 != 0) {
            options.splitFirstRun = true;
            missing -= 3;
        }
        options.literalsAsRuns = static_cast<uint32_t>(missing / 2);
        const Bytes file = Concat({header, PackEscapeRuns(d.Sections(), options)});
        if (file.size() != SIZE) Fail("the SHP picture is not 10,018 bytes");
        samples->push_back(Sample(54, "shp-10018.shp", file, d));
    }
}

}  // namespace

void AddPacked(std::vector<FormatSample>* samples) {
    AddGg(samples);
    AddBdp(samples);
    AddZoomatic(samples);
    AddDrazpaint(samples);
    AddDoodleJj(samples);
    AddMicroIllustrator(samples);
    AddShp(samples);
}

}  // namespace tarnel_tools
