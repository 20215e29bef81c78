// Samples of the plain bitmaps of the paint programs beyond the twenty
// layouts, each written from a picture drawn cell by cell.
#include <cstdio>
#include <cstring>

#include "authoring/font.h"
#include "authoring/format_samples.h"

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;

FormatSample Make(uint8_t code, const char* name, Bytes bytes, uint32_t width, uint32_t height,
                  std::vector<uint8_t> colours, uint8_t background) {
    char file[64];
    std::snprintf(file, sizeof file, "%02u-%s", static_cast<unsigned>(code), name);
    return {code, file, std::move(bytes), width, height, std::move(colours), background};
}

// A multicolour cell's bit pair p (0 to 3, leftmost first) of line y.
uint8_t Pair(uint32_t cell, uint32_t p, uint32_t y) {
    return static_cast<uint8_t>((p * 3 + y + cell) % 4);
}
uint8_t PairByte(uint32_t cell, uint32_t y) {
    uint8_t bits = 0;
    for (uint32_t p = 0; p < 4; ++p) bits |= static_cast<uint8_t>(Pair(cell, p, y) << (6 - 2 * p));
    return bits;
}
// A hires cell's pixel: a digit of the font on a diagonal stripe.
bool HiresPixel(uint32_t cell, uint32_t x, uint32_t y) {
    const bool glyph = x >= 1 && x <= 5 &&
                       GlyphPixel(static_cast<char>('0' + cell % 10), static_cast<int>(x - 1),
                                  static_cast<int>(y));
    return glyph != ((x + y + cell) % 7 == 0);
}
uint8_t HiresByte(uint32_t cell, uint32_t y) {
    uint8_t bits = 0;
    for (uint32_t x = 0; x < 8; ++x) {
        if (HiresPixel(cell, x, y)) bits |= static_cast<uint8_t>(0x80 >> x);
    }
    return bits;
}
uint8_t High(uint32_t cell) {
    return static_cast<uint8_t>((cell / 40 + cell) % 16);
}
uint8_t Low(uint32_t cell) {
    return static_cast<uint8_t>((cell * 3 + 1) % 16);
}
uint8_t Ram(uint32_t cell) {
    return static_cast<uint8_t>((cell / 40 * 2 + cell % 40) % 16);
}

// Where each program keeps its bitmap, screen, colour memory and
// background, as its files are documented.
struct Layout {
    uint8_t code;
    const char* name;
    uint32_t size;
    uint8_t load0, load1;
    uint32_t bitmap, screen, colour;
    int32_t background;  // -1: black, not stored
};

// clang-format off
constexpr Layout MULTICOLOUR[] = {
    {36, "wigmore.a64", 10242, 0x00, 0x40, 2, 8194, 9218, 10241},
    {37, "blazing-paddles.bpl", 10242, 0x00, 0xA0, 2, 8194, 9218, 8066},
    {38, "cdu-paint.cdu", 10277, 0x01, 0x7F, 275, 8275, 9275, 10275},
    {39, "cheese.che", 20482, 0x00, 0x20, 2, 16898, 18434, 20479},
    {40, "image-system.ism", 10218, 0x00, 0x3C, 1026, 9218, 2, 9217},
    {41, "p64.p64", 10050, 0x00, 0x58, 2050, 1026, 2, 2049},
    {42, "vidcom.vid", 10050, 0x00, 0x58, 2050, 1026, 2, 2026},
    {42, "vidcom-10241.dol", 10241, 0x00, 0x58, 2050, 1026, 2, 2026},
    {42, "vidcom-10242.bed", 10242, 0x00, 0x58, 2050, 1026, 2, 2026},
    {43, "rainbow-painter.rp", 10242, 0x00, 0x5C, 1026, 2, 9218, -1},
    {44, "saracen-paint.sar", 10219, 0x00, 0x78, 1026, 2, 9218, 1010},
};
constexpr Layout HIRES[] = {
    {34, "hi-eddi.hed", 9218, 0x00, 0x20, 2, 8194, 0, 0},
    {35, "image-system-hires.ish", 9194, 0x00, 0x40, 2, 8194, 0, 0},
};
// clang-format on

void AddMulticolour(std::vector<FormatSample>* samples, const Layout& layout) {
    Bytes file(layout.size, 0xEE);  // bytes no program reads stand out
    file[0] = layout.load0;
    file[1] = layout.load1;
    const uint8_t background = layout.background < 0 ? 0 : 6;
    if (layout.background >= 0) file[static_cast<size_t>(layout.background)] = 0xF6;
    std::vector<uint8_t> picture(320 * 200);
    for (uint32_t cell = 0; cell < 1000; ++cell) {
        file[layout.screen + cell] = static_cast<uint8_t>(High(cell) << 4 | Low(cell));
        file[layout.colour + cell] = static_cast<uint8_t>(0xF0 | Ram(cell));
        const uint8_t colours[4] = {background, High(cell), Low(cell), Ram(cell)};
        for (uint32_t y = 0; y < 8; ++y) {
            file[layout.bitmap + cell * 8 + y] = PairByte(cell, y);
            for (uint32_t x = 0; x < 8; ++x) {
                picture[((cell / 40) * 8 + y) * 320 + (cell % 40) * 8 + x] =
                    colours[Pair(cell, x / 2, y)];
            }
        }
    }
    samples->push_back(Make(layout.code, layout.name, file, 320, 200, picture, background));
}

void AddHires(std::vector<FormatSample>* samples, const Layout& layout) {
    Bytes file(layout.size, 0xEE);
    file[0] = layout.load0;
    file[1] = layout.load1;
    std::vector<uint8_t> picture(320 * 200);
    for (uint32_t cell = 0; cell < 1000; ++cell) {
        file[layout.screen + cell] = static_cast<uint8_t>(High(cell) << 4 | Low(cell));
        for (uint32_t y = 0; y < 8; ++y) {
            file[layout.bitmap + cell * 8 + y] = HiresByte(cell, y);
            for (uint32_t x = 0; x < 8; ++x) {
                picture[((cell / 40) * 8 + y) * 320 + (cell % 40) * 8 + x] =
                    HiresPixel(cell, x, y) ? High(cell) : Low(cell);
            }
        }
    }
    samples->push_back(Make(layout.code, layout.name, file, 320, 200, picture, 0));
}

}  // namespace

void AddBitmaps(std::vector<FormatSample>* samples) {
    {
        // Black on white, a bitmap alone.
        Bytes file(8002, 0);
        file[1] = 0x60;
        std::vector<uint8_t> picture(320 * 200);
        for (uint32_t cell = 0; cell < 1000; ++cell) {
            for (uint32_t y = 0; y < 8; ++y) {
                file[2 + cell * 8 + y] = HiresByte(cell, y);
                for (uint32_t x = 0; x < 8; ++x) {
                    picture[((cell / 40) * 8 + y) * 320 + (cell % 40) * 8 + x] =
                        HiresPixel(cell, x, y) ? 0 : 1;
                }
            }
        }
        samples->push_back(Make(32, "hires-inverse.rpo", file, 320, 200, picture, 1));
    }
    {
        // 13 cells by 5, its size first.
        const uint32_t columns = 13, rows = 5;
        Bytes file = {static_cast<uint8_t>(columns), static_cast<uint8_t>(rows)};
        std::vector<uint8_t> picture(columns * 8 * rows * 8);
        for (uint32_t cell = 0; cell < columns * rows; ++cell) {
            for (uint32_t y = 0; y < 8; ++y) {
                file.push_back(HiresByte(cell, y));
                for (uint32_t x = 0; x < 8; ++x) {
                    picture[((cell / columns) * 8 + y) * columns * 8 + (cell % columns) * 8 + x] =
                        HiresPixel(cell, x, y) ? 0 : 1;
                }
            }
        }
        samples->push_back(Make(33, "hires-sized.gr", file, columns * 8, rows * 8, picture, 1));
    }
    for (const Layout& layout : HIRES) AddHires(samples, layout);
    for (const Layout& layout : MULTICOLOUR) AddMulticolour(samples, layout);
    {
        // One palette: 00 at 8,004, 01 and 10 the nibbles of 8,002, 11 at 8,003.
        Bytes file(8194, 0xEE);
        file[0] = 0x00;
        file[1] = 0x60;
        file[8002] = 0x2D;
        file[8003] = 0xF7;
        file[8004] = 0xF0 | 11;
        const uint8_t colours[4] = {11, 2, 13, 7};
        std::vector<uint8_t> picture(320 * 200);
        for (uint32_t cell = 0; cell < 1000; ++cell) {
            for (uint32_t y = 0; y < 8; ++y) {
                file[2 + cell * 8 + y] = PairByte(cell, y);
                for (uint32_t x = 0; x < 8; ++x) {
                    picture[((cell / 40) * 8 + y) * 320 + (cell % 40) * 8 + x] =
                        colours[Pair(cell, x / 2, y)];
                }
            }
        }
        samples->push_back(Make(45, "single-palette.cle", file, 320, 200, picture, 11));
    }
    {
        // A window 45 multicolour pixels wide and 37 lines high, starting at
        // pixel pair 1 and line 3 of its first cell: 13 cells by 6.
        const uint32_t left = 1, top = 3, width = 45, height = 37;
        const uint32_t columns = (2 * width + 7) / 8 + 1, rows = (height + 7) / 8 + 1;
        Bytes file = {0xEE, static_cast<uint8_t>(0xFC | left), static_cast<uint8_t>(0xF8 | top),
                      static_cast<uint8_t>(width), static_cast<uint8_t>(height)};
        for (uint32_t cell = 0; cell < columns * rows; ++cell) {
            file.push_back(static_cast<uint8_t>(High(cell) << 4 | Low(cell)));
            file.push_back(Ram(cell));
            for (uint32_t y = 0; y < 8; ++y) file.push_back(PairByte(cell, y));
        }
        std::vector<uint8_t> picture(2 * width * height);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < 2 * width; ++x) {
                const uint32_t gx = x + 2 * left, gy = y + top;  // in the cell grid
                const uint32_t cell = (gy / 8) * columns + gx / 8;
                const uint8_t colours[4] = {0, High(cell), Low(cell), Ram(cell)};
                picture[y * 2 * width + x] = colours[Pair(cell, (gx % 8) / 2, gy % 8)];
            }
        }
        samples->push_back(Make(46, "multicolour-window.mwi", file, 2 * width, height, picture, 0));
    }
}

}  // namespace tarnel_tools
