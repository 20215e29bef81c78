// Samples of the FLI pictures beyond the twenty layouts and of the FLI
// pictures over or under sprites: FBI, FED, FLM, EMC, HCB, Big FLI, FLI
// Profi, HFC, CFLI, UFLI, NUFLI, Mufflon, XFL, SHF and SHX. Each is a memory
// image written byte by byte (bitmap patterns, screens that change line by
// line, sprites, colour tables), saved raw or packed (authoring/
// pack_schemes.h); the pictures expected, as stored and as a C64 shows
// them, are worked out from that image pixel by pixel with each format's
// rules written out here once more, plainly.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>

#include "authoring/format_samples.h"
#include "authoring/pack_schemes.h"

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;
// A pixel's colour: x, y, and whether as a C64 shows it.
using PixelRule = std::function<uint8_t(uint32_t x, uint32_t y, bool c64)>;

constexpr uint32_t W = 320;
constexpr uint32_t H = 200;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "format_samples_fli: %s\n", what);
    std::abort();
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// The sample: its pictures drawn by `rule` in both views (the C64's kept
// only where it differs).
FormatSample Make(uint8_t code, const char* name, Bytes bytes, uint32_t width, uint32_t height,
                  const PixelRule& rule, uint8_t background = 0) {
    char file[64];
    std::snprintf(file, sizeof file, "%02u-%s", static_cast<unsigned>(code), name);
    FormatSample sample;
    sample.code = code;
    sample.fileName = file;
    sample.bytes = std::move(bytes);
    sample.width = width;
    sample.height = height;
    sample.background = background;
    sample.colours.resize(size_t{width} * height);
    sample.c64View.resize(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            sample.colours[size_t{y} * width + x] = rule(x, y, false) & 15;
            sample.c64View[size_t{y} * width + x] = rule(x, y, true) & 15;
        }
    }
    if (sample.c64View == sample.colours) sample.c64View.clear();
    return sample;
}

// A byte sequence that looks like nothing in particular, the same for
// the same seed.
struct Noise {
    uint32_t state;
    uint8_t Next() {
        state = state * 1103515245u + 12345u;
        return static_cast<uint8_t>(state >> 16);
    }
};

void FillNoise(Bytes* m, uint32_t from, uint32_t count, uint32_t seed) {
    Noise noise{seed};
    for (uint32_t n = 0; n < count; ++n) (*m)[from + n] = noise.Next();
}

// A bitmap of 1,000 cells at `at`: cell rows 0 to 14 in diagonal bands
// (multicolour pairs or hires bits) with noise in every fifth cell, rows 15
// to 19 a solid pattern, rows 20 to 24 empty: long runs for the packers.
void FillBitmap(Bytes* m, uint32_t at, uint32_t seed, uint32_t cells = 1000) {
    Noise noise{seed};
    for (uint32_t cell = 0; cell < cells; ++cell) {
        for (uint32_t line = 0; line < 8; ++line) {
            uint8_t byte;
            if (cell < 600) {
                byte = cell % 5 == 0 ? noise.Next()
                                     : static_cast<uint8_t>(0x1B << ((cell + line) % 4) |
                                                            0x1B >> (8 - (cell + line) % 4));
            } else if (cell < 800) {
                byte = 0xE4;
            } else {
                byte = 0x00;
            }
            (*m)[at + cell * 8 + line] = byte;
        }
    }
}

// Screen `bank` at `at`: its cells' colours move with the bank, so that
// each line of a cell shows its own (the point of FLI).
void FillScreen(Bytes* m, uint32_t at, uint32_t bank, uint32_t cells = 1000) {
    for (uint32_t cell = 0; cell < cells; ++cell) {
        const uint32_t column = cell % 40, row = cell / 40;
        const uint8_t high = static_cast<uint8_t>((column / 3 + bank + row) % 16);
        const uint8_t low = static_cast<uint8_t>((column + 2 * bank + 7) % 16);
        (*m)[at + cell] = static_cast<uint8_t>(high << 4 | low);
    }
}
void FillScreens(Bytes* m, uint32_t at, uint32_t count = 8) {
    for (uint32_t bank = 0; bank < count; ++bank) FillScreen(m, at + 1024 * bank, bank);
}
void FillColour(Bytes* m, uint32_t at) {
    for (uint32_t cell = 0; cell < 1000; ++cell) {
        (*m)[at + cell] = static_cast<uint8_t>(0xA0 | (cell * 7 / 40 + cell) % 16);
    }
}

// An FLI pixel, by the rules: line `line`'s screen `bank`; multicolour
// pairs 00 background, 01 and 10 the screen's nibbles, 11 colour memory
// (`colour` < 0: the screen's low nibble); in the strip (the C64's view)
// the screen reads $FF and colour memory `stripRam`.
struct FliRule {
    const Bytes* m;
    int64_t bitmap;  // < 0: every byte $AA
    uint32_t screens;
    int64_t colour;
    bool multicolour;
    uint32_t cellShift = 0;
};
uint8_t FliPixel(const FliRule& r, uint32_t x, uint32_t line, uint32_t bank, uint8_t background,
                 bool strip, uint8_t stripRam = 15) {
    const Bytes& m = *r.m;
    const uint32_t cell = ((line / 8) * 40 + x / 8 + r.cellShift) % 1024;
    const bool inStrip = strip && x < 24;
    const uint8_t screen = inStrip ? 0xFF : m[r.screens + 1024 * bank + cell];
    const uint8_t bits =
        r.bitmap < 0 ? 0xAA : m[static_cast<uint32_t>(r.bitmap) + cell * 8 + line % 8];
    if (!r.multicolour) return (bits >> (7 - x % 8)) & 1 ? screen >> 4 : screen & 15;
    switch ((bits >> (6 - 2 * ((x % 8) / 2))) & 3) {
        case 0:
            return background;
        case 1:
            return screen >> 4;
        case 2:
            return screen & 15;
        default:
            if (inStrip) return stripRam;
            return r.colour < 0 ? screen & 15 : m[static_cast<uint32_t>(r.colour) + cell] & 15;
    }
}

// FLI Designer's memory: colour memory, eight screens, bitmap at `at`.
void FillDesigner(Bytes* m, uint32_t at, uint32_t seed) {
    FillColour(m, at);
    FillScreens(m, at + 1024);
    FillBitmap(m, at + 9216, seed);
}
FliRule DesignerRule(const Bytes* m, uint32_t at, bool multicolour = true) {
    return {m, at + 9216, at + 1024, at, multicolour};
}

// Plants the escape byte as data in a stretch of noise.
void PlantEscape(Bytes* m, uint32_t at, uint8_t escape) {
    (*m)[at] = escape;
    (*m)[at + 1] = escape;
    (*m)[at + 5] = escape;
}

// ---------------------------------------------------------------------------

void AddFbi(std::vector<FormatSample>* samples) {
    constexpr uint8_t ESCAPE = 0xB7;
    Bytes m(17216);
    FillDesigner(&m, 0, 70);
    PlantEscape(&m, 9216 + 40, ESCAPE);
    const Bytes file = Concat({{0x00, 0x3C, ESCAPE}, PackBackwardRuns(m, ESCAPE, 0)});
    const FliRule r = DesignerRule(&m, 0);
    samples->push_back(
        Make(70, "fli-designer-packed.fbi", file, W, H,
             [&](uint32_t x, uint32_t y, bool c64) { return FliPixel(r, x, y, y % 8, 0, c64); }));
}

void AddFed(std::vector<FormatSample>* samples) {
    Bytes m(17665, 0xEE);
    m[0] = 0x00;
    m[1] = 0x40;
    for (uint32_t y = 0; y < 200; ++y) m[8 + y] = static_cast<uint8_t>(0xB0 | (y / 8) % 16);
    FillColour(&m, 258);
    FillScreens(&m, 1282);
    FillBitmap(&m, 9474, 71);
    const FliRule r = {&m, 9474, 1282, 258, true};
    samples->push_back(Make(
        71, "fed.fed", m, W, H,
        [&](uint32_t x, uint32_t y, bool c64) {
            return FliPixel(r, x, y, y % 8, m[8 + y] & 15, c64);
        },
        m[8] & 15));
}

void AddFlm(std::vector<FormatSample>* samples) {
    {
        Bytes m(17410, 0xEE);
        m[0] = 0x00;
        m[1] = 0x40;
        FillDesigner(&m, 2, 72);
        m[17281] = 0x3D;
        const FliRule r = DesignerRule(&m, 2);
        samples->push_back(Make(
            72, "flm.flm", m, W, H,
            [&](uint32_t x, uint32_t y, bool c64) { return FliPixel(r, x, y, y % 8, 13, c64); },
            13));
    }
    {
        constexpr uint8_t ESCAPE = 0x3C;  // the load address's high byte too
        Bytes m(17280, 0);
        FillDesigner(&m, 0, 73);
        m[17279] = 0x06;
        PlantEscape(&m, 9216 + 80, ESCAPE);
        const Bytes file = Concat({{0x00, 0x3C}, PackBackwardRuns(m, ESCAPE, 0), {ESCAPE}});
        const FliRule r = DesignerRule(&m, 0);
        samples->push_back(Make(
            72, "flm-packed.flm", file, W, H,
            [&](uint32_t x, uint32_t y, bool c64) { return FliPixel(r, x, y, y % 8, 6, c64); }, 6));
    }
    {
        // No colour memory: a hires FLI.
        constexpr uint8_t ESCAPE = 0x01;
        Bytes m(17280, 0);
        FillScreens(&m, 1024);
        FillBitmap(&m, 9216, 74);
        m[17279] = 0x05;
        const Bytes file = Concat({{0x00, 0x3C}, PackBackwardRuns(m, ESCAPE, 0), {ESCAPE}});
        const FliRule r = DesignerRule(&m, 0, false);
        samples->push_back(Make(
            72, "flm-hires.flm", file, W, H,
            [&](uint32_t x, uint32_t y, bool c64) { return FliPixel(r, x, y, y % 8, 5, c64); }, 5));
    }
}

void AddEmc(std::vector<FormatSample>* samples) {
    Bytes m(17412, 0xEE);
    m[0] = 0x00;
    m[1] = 0x40;
    FillScreens(&m, 2);
    FillBitmap(&m, 8194, 75);
    FillColour(&m, 16386);
    m[17411] = 0x0B;
    const FliRule r = {&m, 8194, 2, 16386, true};
    samples->push_back(Make(73, "emc.emc", m, W, 192, [&](uint32_t x, uint32_t y, bool c64) {
        return FliPixel(r, x, y + 4, (y + 4) % 8, 11, c64);
    }));
}

void AddHcb(std::vector<FormatSample>* samples) {
    Bytes m(12148, 0xEE);
    m[0] = 0x00;
    m[1] = 0x50;
    FillScreen(&m, 2050, 0);
    FillScreen(&m, 3074, 5);
    FillBitmap(&m, 4098, 76);
    for (uint32_t band = 0; band < 50; ++band) m[12098 + band] = static_cast<uint8_t>(band % 16);
    const FliRule r = {&m, 4098, 2050, -1, true};
    samples->push_back(Make(
        74, "hcb.hcb", m, W, H,
        [&](uint32_t x, uint32_t y, bool c64) {
            return FliPixel(r, x, y, (y % 8) / 4, m[12098 + y / 4] & 15, c64 && y % 8 >= 4);
        },
        0));
}

void AddBigFli(std::vector<FormatSample>* samples) {
    Bytes m(33795, 0);
    m[0] = 0x00;
    m[1] = 0x3B;
    m[2] = 'b';
    for (uint32_t n = 0; n < 1024; ++n) m[3 + n] = static_cast<uint8_t>((n * 5 + n / 40) % 16);
    for (uint32_t bank = 0; bank < 8; ++bank) {
        FillScreen(&m, 1027 + 1024 * bank, bank, 1024);
        FillScreen(&m, 17411 + 1024 * bank, bank + 3, 1024);
    }
    FillBitmap(&m, 9219, 77);
    FillNoise(&m, 9219 + 8000, 192, 78);
    FillBitmap(&m, 25603, 79);
    FillNoise(&m, 25603 + 8000, 192, 80);
    const FliRule top = {&m, 9219, 1027, 3, true};
    const FliRule bottom = {&m, 25603, 17411, 3, true, 1000};
    samples->push_back(Make(75, "big-fli.bfli", m, W, 2 * H, [&](uint32_t x, uint32_t y, bool c64) {
        return y < H ? FliPixel(top, x, y, y % 8, 0, c64)
                     : FliPixel(bottom, x, y - H, (y - H) % 8, 0, c64);
    }));
}

void AddFliProfi(std::vector<FormatSample>* samples) {
    Bytes m(18370, 0xEE);
    m[0] = 0x00;
    m[1] = 0x3C;
    FillNoise(&m, 2, 640, 81);
    for (uint32_t y = 0; y < 200; ++y) {
        m[642 + y] = static_cast<uint8_t>(y % 16);
        m[898 + y] = static_cast<uint8_t>((y / 4 % 16) << 4 | 0x0E);
    }
    m[1098] = 0x02;
    m[1099] = 0x07;
    FillColour(&m, 1154);
    FillScreens(&m, 2178);
    FillBitmap(&m, 10370, 82);
    const FliRule r = {&m, 10370, 2178, 1154, true};
    samples->push_back(Make(76, "fli-profi.fpr", m, W, H, [&](uint32_t x, uint32_t y, bool c64) {
        if (x < 24) {
            const uint32_t sprite = ((y + 1) % 4 >= 2 ? 5 : 0) + y / 42;
            const uint8_t byte = m[2 + 64 * sprite + ((y / 2) % 21) * 3 + x / 8];
            switch ((byte >> (6 - 2 * ((x % 8) / 2))) & 3) {
                case 1:
                    return static_cast<uint8_t>(m[642 + y] & 15);
                case 2:
                    return static_cast<uint8_t>(m[1098] & 15);
                case 3:
                    return static_cast<uint8_t>(m[1099] & 15);
                default:
                    break;
            }
        }
        return FliPixel(r, x, y, y % 8, 0, c64, static_cast<uint8_t>(m[898 + y] >> 4));
    }));
}

void AddHfc(std::vector<FormatSample>* samples) {
    Bytes m(16386, 0xEE);
    m[0] = 0x00;
    m[1] = 0x40;
    FillBitmap(&m, 2, 83);
    FillScreens(&m, 8194);
    const FliRule r = {&m, 2, 8194, -1, false};
    samples->push_back(Make(77, "hfc.hfc", m, W, 112, [&](uint32_t x, uint32_t y, bool c64) {
        return FliPixel(r, x, y, y % 8, 0, c64);
    }));
}

void AddCfli(std::vector<FormatSample>* samples) {
    Bytes m(8170, 0xEE);
    m[0] = 0x00;
    m[1] = 0x40;
    for (uint32_t bank = 0; bank < 8; ++bank) FillScreen(&m, 2 + 1024 * bank, bank);
    const FliRule r = {&m, -1, 2, -1, false};
    samples->push_back(Make(78, "cfli.cfli", m, W, H, [&](uint32_t x, uint32_t y, bool c64) {
        return FliPixel(r, x, y, y % 8, 0, c64);
    }));
}

// ---------------------------------------------------------------------------
// Hires FLI with sprites.

// UFLI's memory: sprites from 2, the sprite colours, four screens at 4,098,
// the bitmap at 8,194; `perColumn` gives each sprite column its colour.
Bytes UfliMemory(bool perColumn) {
    Bytes m(16194, 0);
    m[0] = 0x00;
    m[1] = 0x40;
    FillNoise(&m, 2, 60 * 64, 84);
    m[4081] = perColumn ? 1 : 0;
    m[4082] = 0x0A;
    for (uint32_t c = 0; c < 6; ++c) m[4084 + c] = static_cast<uint8_t>(2 + c);
    for (uint32_t bank = 0; bank < 4; ++bank) FillScreen(&m, 4098 + 1024 * bank, 2 * bank);
    FillBitmap(&m, 8194, 85);
    return m;
}
uint8_t UfliPixel(const Bytes& m, uint32_t x, uint32_t y, bool c64) {
    const uint32_t column = x / 8;
    const uint32_t cell = (y / 8) * 40 + column;
    uint8_t screen = m[4098 + 1024 * ((y / 2) % 4) + cell];
    if (c64 && column < 3 && y % 8 >= 2) screen = 0xFF;
    if ((m[8194 + 8 * cell + y % 8] >> (7 - x % 8)) & 1) return screen >> 4;
    if (column >= 3 && column <= 38) {
        const uint32_t c = column - 3;
        const uint32_t sx = 8 * c + x % 8;
        const uint32_t n = 12 * (y / 40) + (y % 4 >= 2 ? 6 : 0) + c / 6;
        const uint8_t byte = m[2 + 64 * n + (((y + 1) / 2) % 21) * 3 + (c / 2) % 3];
        if ((byte >> (7 - (sx / 2) % 8)) & 1) return m[m[4081] == 1 ? 4084 + c / 6 : 4082] & 15;
    }
    return screen & 15;
}

void AddUfli(std::vector<FormatSample>* samples) {
    {
        const Bytes m = UfliMemory(false);
        samples->push_back(Make(79, "ufli.ufl", m, W, H, [&](uint32_t x, uint32_t y, bool c64) {
            return UfliPixel(m, x, y, c64);
        }));
    }
    {
        constexpr uint8_t ESCAPE = 0x9E;
        Bytes m = UfliMemory(true);
        PlantEscape(&m, 100, ESCAPE);
        EscapeRunsOptions options;
        options.escapeAt = [](uint32_t) { return ESCAPE; };
        options.zeroIs256 = true;
        options.literalsAsRuns = 3;
        options.splitFirstRun = true;
        const Bytes file =
            Concat({{0x00, 0x40, ESCAPE}, PackEscapeRuns(Bytes(m.begin() + 2, m.end()), options)});
        samples->push_back(
            Make(79, "ufli-packed.ufl", file, W, H,
                 [&](uint32_t x, uint32_t y, bool c64) { return UfliPixel(m, x, y, c64); }));
    }
}

constexpr uint32_t TABLES[6] = {0, 128, 1024, 1152, 2048, 2176};

uint32_t NufliScreenOf(uint32_t y) {
    if (y < 128) return 8194 + 1024 * (7 - (y / 2) % 8);
    return 2 + 1024 * (((y / 2) + (y >= 168 ? 1 : 0)) % 4);
}
uint32_t Shift(uint32_t y) {
    return y < 123 ? 0 : y < 165 ? 1 : 2;
}

// NUFLI's memory: noise everywhere, then every line's sprite pointers in
// range, the colour tables and registers, the bitmaps and screens.
Bytes NufliMemory() {
    Bytes m(23042, 0);
    m[0] = 0x00;
    m[1] = 0x20;
    FillNoise(&m, 2, 23040, 86);
    for (uint32_t bank = 0; bank < 8; ++bank) FillScreen(&m, 8194 + 1024 * bank, bank);
    FillBitmap(&m, 16386, 87, 640);  // lines 0 to 127
    for (uint32_t bank = 0; bank < 4; ++bank) {
        for (uint32_t cell = 640; cell < 1000; ++cell) {
            m[2 + 1024 * bank + cell] =
                static_cast<uint8_t>(((cell + bank) % 16) << 4 | (cell / 40 + 3 * bank) % 16);
        }
    }
    for (uint32_t y = 0; y < 200; ++y) {
        const uint32_t screen = NufliScreenOf(y);
        for (uint32_t s = 0; s < 8; ++s) {
            m[screen + 1016 + s] =
                static_cast<uint8_t>(y < 128 ? (y * 3 + s * 29) % 232 : 128 + (y + s * 17) % 128);
        }
    }
    // Colour changes: each kind on some lines of each sprite's table.
    const uint8_t actions[] = {0x00, 0x50, 0x60, 0x70, 0xE0, 0x30};
    for (uint32_t i = 0; i < 6; ++i) {
        for (uint32_t n = 0; n <= 100; ++n) {
            m[1026 + TABLES[i] + n] =
                static_cast<uint8_t>(actions[(n + i) % 6] | (n * 3 + i * 5) % 16);
        }
    }
    m[8185] = 0x01;
    m[8179] = 0x02;
    m[8184] = 0x04;
    m[8178] = 0x05;
    return m;
}

// The registers of every line, moved on line by line.
std::vector<std::array<uint8_t, 10>> NufliRegisters(const Bytes& m) {
    std::vector<std::array<uint8_t, 10>> lines(200);
    std::array<uint8_t, 10> r{};
    r[0] = m[8185] & 15;
    for (uint32_t i = 0; i < 6; ++i) r[1 + i] = m[1026 + TABLES[i]] & 15;
    r[7] = m[8179] & 15;
    r[8] = m[8184] & 15;
    r[9] = m[8178] & 15;
    lines[0] = r;
    for (uint32_t y = 1; y < 200; ++y) {
        for (uint32_t i = 0; i < 6; ++i) {
            const uint8_t b = m[1026 + TABLES[i] + (y + 1) / 2];
            const bool odd = y % 2 == 1;
            const bool parityFits = i == 0 ? odd : !odd;
            switch (b >> 4) {
                case 0:
                    if (odd) r[1 + i] = b & 15;
                    break;
                case 5:
                    if (parityFits) r[7] = b & 15;
                    break;
                case 6:
                    if (parityFits) r[9] = b & 15;
                    break;
                case 7:
                    if (parityFits) r[0] = b & 15;
                    break;
                case 14:
                    if (parityFits) r[8] = b & 15;
                    break;
                default:
                    break;
            }
        }
        lines[y] = r;
    }
    return lines;
}

uint8_t NufliPixel(const Bytes& m, const std::vector<std::array<uint8_t, 10>>& registers,
                   uint32_t x, uint32_t y, bool c64) {
    const uint32_t column = x / 8;
    const uint32_t cell = (y / 8) * 40 + column;
    const uint32_t screen = NufliScreenOf(y);
    uint8_t screenByte = m[screen + cell];
    if (c64 && column < 3 && y % 8 >= 2) screenByte = 0xFF;
    const uint32_t bitmap = y < 128 ? 16386 : 2;
    if ((m[bitmap + 8 * cell + y % 8] >> (7 - x % 8)) & 1) return screenByte >> 4;
    auto spriteByte = [&](uint32_t pointerAt, uint32_t byteInRow) {
        const int32_t index = 128 - (y >= 128 ? 256 : 0) + m[pointerAt];
        if (index < 0 || index >= 360) Fail("a NUFLI sprite pointer out of range");
        return m[2 + 64 * uint32_t(index) + (((y + 47) / 2) * 3 + byteInRow + Shift(y)) % 64];
    };
    if (column <= 38) {
        const uint32_t s = (3 + column) / 6;
        const uint32_t sx = s == 0 ? x : ((x - 24) / 2) % 24;
        if ((spriteByte(screen + 1016 + s, sx / 8) >> (7 - sx % 8)) & 1) return registers[y][s];
    }
    if (column < 3) {
        const uint32_t pair = (spriteByte(screen + 1023, x / 8) >> (6 - 2 * ((x % 8) / 2))) & 3;
        if (pair != 0) return registers[y][6 + pair];
    }
    return screenByte & 15;
}

void AddNufli(std::vector<FormatSample>* samples) {
    const Bytes m = NufliMemory();
    const auto registers = NufliRegisters(m);
    const PixelRule rule = [&](uint32_t x, uint32_t y, bool c64) {
        return NufliPixel(m, registers, x, y, c64);
    };
    samples->push_back(Make(80, "nufli.nuf", m, W, H, rule));
    constexpr uint8_t ESCAPE = 0xFD;  // the mark is the escape byte too
    const Bytes file = Concat(
        {{0x00, 0x20, 0xFD, ESCAPE}, PackBackwardRuns(Bytes(m.begin() + 2, m.end()), ESCAPE, 0)});
    samples->push_back(Make(80, "nufli-packed.nup", file, W, H, rule));
}

// Mufflon's memory: like NUFLI's, its screens 256 bytes lower.
Bytes MufflonMemory() {
    Bytes m(21826, 0);
    m[0] = 0x00;
    m[1] = 0x20;
    FillNoise(&m, 2, 21824, 88);
    for (uint32_t n = 2; n < 10; ++n) m[n] = 0x42;  // a run to start the packed stream
    for (uint32_t bank = 0; bank < 8; ++bank) FillScreen(&m, 8194 - 256 + 1024 * bank, bank);
    FillBitmap(&m, 16130, 89, 640);  // lines 0 to 127
    for (uint32_t y = 0; y < 200; ++y) {
        const uint32_t screen = NufliScreenOf(y) - 256;
        for (uint32_t s = 0; s < 6; ++s) {
            m[screen + 1017 + s] =
                static_cast<uint8_t>(y < 128 ? (y * 5 + s * 31) % 216 : 132 + (y + s * 13) % 124);
        }
    }
    for (uint32_t n = 0; n <= 100; ++n) {
        m[4610 + n] = static_cast<uint8_t>(n * 0x15);  // sprites multicolour line by line
        for (uint32_t s = 0; s < 6; ++s) {
            m[770 + TABLES[s] + n] = static_cast<uint8_t>(0x50 | (n + s * 3) % 16);
        }
    }
    m[7922] = 0x07;
    m[7923] = 0x0D;
    return m;
}

uint8_t MufflonPixel(const Bytes& m, uint32_t x, uint32_t y, bool c64) {
    const uint32_t column = x / 8;
    const uint32_t cell = (y / 8) * 40 + column;
    const uint32_t screen = NufliScreenOf(y) - 256;
    uint8_t screenByte = m[screen + cell];
    if (c64 && column < 3 && y % 8 >= 2) screenByte = 0xFF;
    const uint32_t bitmap = 16130 - (y >= 128 ? 16384 : 0) + 8 * cell + y % 8;
    if ((m[bitmap] >> (7 - x % 8)) & 1) return screenByte >> 4;
    if (column < 3 || column > 38) return screenByte & 15;
    const uint32_t v = column - 3;
    const uint32_t s = v / 6;
    const uint32_t rx = 8 * v + x % 8;  // x counted from column 3
    const int32_t block = 124 - (y >= 128 ? 256 : 0) + m[screen + 1017 + s];
    if (block < 0 || block >= 340) Fail("a Mufflon sprite pointer out of range");
    const uint8_t byte =
        m[2 + 64 * uint32_t(block) + (((y + 47) / 2) * 3 + (v / 2) % 3 + Shift(y)) % 64];
    const uint8_t own = m[770 + TABLES[s] + (y + 1) / 2] & 15;
    if ((m[4610 + (y + 1) / 2] >> (s + 1)) & 1) {
        switch ((byte >> (6 - 2 * (((rx / 2) % 8) / 2))) & 3) {
            case 1:
                return m[7923] & 15;
            case 2:
                return own;
            case 3:
                return m[7922] & 15;
            default:
                return screenByte & 15;
        }
    }
    return (byte >> (7 - (rx / 2) % 8)) & 1 ? own : screenByte & 15;
}

void AddMufflon(std::vector<FormatSample>* samples) {
    const Bytes m = MufflonMemory();
    const PixelRule rule = [&](uint32_t x, uint32_t y, bool c64) {
        return MufflonPixel(m, x, y, c64);
    };
    samples->push_back(Make(81, "mufflon.muf", m, W, H, rule));
    constexpr uint8_t ESCAPE = 0x77;
    Bytes image(m.begin() + 2, m.begin() + 21762);
    PlantEscape(&image, 300, ESCAPE);
    Bytes planted = m;
    std::copy(image.begin(), image.end(), planted.begin() + 2);
    const Bytes file = Concat({{0x00, 0x20, ESCAPE}, PackBackwardRuns(image, ESCAPE, 12)});
    samples->push_back(Make(
        81, "mufflon-packed.mup", file, W, H,
        [planted](uint32_t x, uint32_t y, bool c64) { return MufflonPixel(planted, x, y, c64); }));
}

// ---------------------------------------------------------------------------
// Narrow windows.

constexpr uint8_t XFL_TABLE[64] = {228, 229, 233, 234, 235, 236, 237, 238, 239, 240, 241, 242, 243,
                                   246, 247, 248, 14,  30,  46,  62,  78,  94,  110, 126, 128, 129,
                                   133, 134, 138, 139, 143, 144, 148, 149, 153, 154, 158, 159, 163,
                                   164, 168, 169, 173, 174, 178, 179, 183, 184, 188, 189, 193, 194,
                                   198, 199, 203, 204, 208, 209, 213, 214, 218, 219, 223, 224};

void AddXfl(std::vector<FormatSample>* samples) {
    Bytes m(16192, 0);
    FillNoise(&m, 0, 16192, 90);
    for (uint32_t bank = 0; bank < 8; ++bank) FillScreen(&m, 1024 * bank, bank);
    FillBitmap(&m, 8192, 91);
    for (uint32_t r = 0; r < 10; ++r) m[8174 + r] = static_cast<uint8_t>(r + 2);
    for (uint32_t t = 0; t < 82; ++t) {
        const uint32_t i = 1024 * (t / 28) + t % 28;
        m[988 + i] = static_cast<uint8_t>(t % 16);  // registers 0 to 15, 1 to 10 seen
        m[960 + i] = static_cast<uint8_t>(0x90 | (t * 7) % 16);
    }
    std::vector<std::array<uint8_t, 16>> registers(167);
    std::array<uint8_t, 16> r{};
    for (uint32_t n = 1; n <= 10; ++n) r[n] = m[8173 + n];
    for (uint32_t y = 0; y < 167; ++y) {
        if (y >= 3 && y % 2 == 1) {
            const uint32_t t = (y - 3) / 2;
            const uint32_t i = 1024 * (t / 28) + t % 28;
            r[m[988 + i] & 15] = m[960 + i];
        }
        registers[y] = r;
    }
    constexpr uint8_t ESCAPE = 0x5A;
    PlantEscape(&m, 8192 + 8 * 600 + 3, ESCAPE);
    const Bytes file = Concat({{0x00, 0x40, ESCAPE}, PackBackwardRuns(m, ESCAPE, 0)});
    samples->push_back(Make(82, "xfl.xfl", file, 192, 167, [&](uint32_t x, uint32_t y, bool) {
        const uint32_t c = x / 8;
        const uint32_t cell = ((y + 1) / 8) * 40 + 16 + c;
        const uint8_t screen = m[1024 * ((y - 1) & 7) + cell];
        if ((m[8192 + 8 * cell + (y + 1) % 8] >> (7 - x % 8)) & 1) return uint8_t(screen >> 4);
        const uint8_t byte = m[64 * XFL_TABLE[8 * (y % 8) + c / 3] + ((y / 2) % 21) * 3 + c % 3];
        switch ((byte >> (6 - 2 * ((x % 8) / 2))) & 3) {
            case 1:
                return uint8_t(registers[y][1] & 15);
            case 2:
                return uint8_t(registers[y][3 + c / 3] & 15);
            case 3:
                return uint8_t(registers[y][2] & 15);
            default:
                return uint8_t(screen & 15);
        }
    }));
}

constexpr uint8_t SHF_TABLE[64] = {128, 132, 133, 137, 138, 142, 143, 147, 148, 152, 153, 157, 158,
                                   162, 163, 167, 168, 172, 173, 177, 178, 182, 183, 187, 188, 192,
                                   193, 197, 198, 202, 203, 207, 208, 212, 213, 217, 218, 222, 223,
                                   227, 228, 232, 233, 234, 235, 236, 237, 238, 239, 240, 241, 242,
                                   243, 244, 245, 246, 247, 30,  46,  62,  78,  94,  110, 126};

void AddShf(std::vector<FormatSample>* samples) {
    {
        Bytes m(15874, 0);
        m[0] = 0x00;
        m[1] = 0x40;
        FillNoise(&m, 2, 15872, 92);
        for (uint32_t bank = 0; bank < 8; ++bank) {
            for (uint32_t cell = 0; cell < 1000; ++cell) {
                if (cell % 40 >= 26) continue;
                m[16 + 1024 * bank + cell] =
                    static_cast<uint8_t>((cell + bank) % 16 << 4 | (cell / 40 + 2 * bank + 1) % 16);
            }
        }
        m[1002] = 0x01;
        m[1003] = 0x02;
        samples->push_back(Make(83, "shf.shf", m, 208, 167, [&](uint32_t x, uint32_t y, bool) {
            const uint32_t c = x / 8;
            if (x < 96) {
                const uint32_t index = 8 * (y % 8) + c / 3;
                const uint32_t row = (y % 21) * 3 + c % 3;
                if ((m[2 + 64 * SHF_TABLE[index] + row] >> (7 - x % 8)) & 1) {
                    return uint8_t(m[1002] & 15);
                }
                if ((m[2 + 64 * SHF_TABLE[index + 4] + row] >> (7 - x % 8)) & 1) {
                    return uint8_t(m[1003] & 15);
                }
            }
            const uint32_t line = y + 1;
            const uint32_t cell = (line / 8) * 40 + c;
            const uint8_t screen = m[16 + 1024 * (line % 8) + cell];
            return uint8_t((m[8306 + 8 * cell + line % 8] >> (7 - x % 8)) & 1 ? screen >> 4
                                                                              : screen & 15);
        }));
    }
    {
        Bytes m(8170, 0);
        FillNoise(&m, 0, 4096, 93);
        for (uint32_t n = 0; n < 2004; n += 3) m[n] = 0;  // the front layer thinner
        FillNoise(&m, 4096, 2004, 94);
        for (uint32_t n = 0; n < 2004; ++n) {
            m[6144 + n] =
                n < 1000 ? static_cast<uint8_t>((n / 12) % 16 << 4 | ((n % 12) + 1)) : 0x0B;
        }
        m[8168] = 0x07;
        m[8169] = 0x03;
        constexpr uint8_t ESCAPE = 0x0B;
        EscapeRunsOptions options;
        options.escapeAt = [](uint32_t) { return ESCAPE; };
        options.zeroIs256 = true;
        options.literalsAsRuns = 2;
        const Bytes file = Concat({{0x00, 0x40, ESCAPE}, PackEscapeRuns(m, options)});
        samples->push_back(
            Make(83, "shf-packed.shf", file, 96, 167, [&](uint32_t x, uint32_t y, bool) {
                const uint32_t at = 12 * y + x / 8;
                const uint32_t bit = 7 - x % 8;
                if (((m[at] | m[2048 + at]) >> bit) & 1) return uint8_t(m[8168] & 15);
                const uint8_t colour = m[6144 + at];
                return uint8_t((m[4096 + at] >> bit) & 1 ? colour >> 4 : colour & 15);
            }));
    }
}

void AddShx(std::vector<FormatSample>* samples) {
    {
        Bytes m(15362, 0);
        m[0] = 0x00;
        m[1] = 0x40;
        FillNoise(&m, 2, 15360, 95);
        for (uint32_t bank = 0; bank < 8; ++bank) {
            for (uint32_t cell = 0; cell < 1000; ++cell) {
                if (cell % 40 >= 18 || cell == 990) continue;
                m[13 + 1024 * bank + cell] =
                    static_cast<uint8_t>((cell / 3 + bank) % 16 << 4 | (cell / 40 + bank) % 16);
            }
        }
        m[1003] = 0x0F;
        samples->push_back(Make(84, "shx.shx", m, 144, 168, [&](uint32_t x, uint32_t y, bool) {
            const uint32_t c = x / 8;
            const uint32_t s = c / 3;
            uint32_t n = 15 * ((y - 1) & 7) + s;
            if (n < 105) n += 3 * ((s + 1) / 2);
            if ((m[8194 + 64 * n + (y % 21) * 3 + c % 3] >> (7 - x % 8)) & 1) {
                return uint8_t(m[1003] & 15);
            }
            const uint32_t cell = (y / 8) * 40 + c;
            const uint8_t screen = m[13 + 1024 * (y % 8) + cell];
            return uint8_t((m[8282 + 8 * cell + y % 8] >> (7 - x % 8)) & 1 ? screen >> 4
                                                                           : screen & 15);
        }));
    }
    {
        Bytes m(9168, 0);
        FillNoise(&m, 0, 3024, 96);
        for (uint32_t n = 0; n < 3024; ++n) {
            if (n % 18 >= 9 || n < 6) m[n] = 0;  // sprites over the left half
        }
        m[3025] = 0x0E;
        FillNoise(&m, 3072, 3024, 97);
        for (uint32_t n = 0; n < 3024; ++n) {
            m[6144 + n] = static_cast<uint8_t>((n / 18) % 16 << 4 | (n % 18) % 16);
        }
        constexpr uint8_t ESCAPE = 0xE1;
        PlantEscape(&m, 3100, ESCAPE);
        const Bytes file = Concat({{0x00, 0x40}, PackBackwardRuns(m, ESCAPE, 40), {ESCAPE}});
        samples->push_back(
            Make(84, "shx-packed.shx", file, 144, 168, [&](uint32_t x, uint32_t y, bool) {
                const uint32_t at = 18 * y + x / 8;
                const uint32_t bit = 7 - x % 8;
                if ((m[at] >> bit) & 1) return uint8_t(m[3025] & 15);
                const uint8_t colour = m[6144 + at];
                return uint8_t((m[3072 + at] >> bit) & 1 ? colour >> 4 : colour & 15);
            }));
    }
}

}  // namespace

void AddFli(std::vector<FormatSample>* samples) {
    AddFbi(samples);
    AddFed(samples);
    AddFlm(samples);
    AddEmc(samples);
    AddHcb(samples);
    AddBigFli(samples);
    AddFliProfi(samples);
    AddHfc(samples);
    AddCfli(samples);
    AddUfli(samples);
    AddNufli(samples);
    AddMufflon(samples);
    AddXfl(samples);
    AddShf(samples);
    AddShx(samples);
}

}  // namespace tarnel_tools
