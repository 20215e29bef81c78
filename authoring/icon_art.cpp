#include "authoring/icon_art.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace tarnel_tools {
namespace {

// The artwork, one character per pixel, top row first. The large image is
// drawn once and stored at both colour depths.
//   .  transparent        K  outline          W  page, letters
//   S  folded corner      D  drop shadow      T  teal band
//   b  sky                y  sun              l  near hill    g  far hill
constexpr int LARGE = 32;
constexpr const char* LARGE_ART[LARGE] = {
    "................................",  //
    "....KKKKKKKKKKKKKKKKK...........",  //
    "....KWWWWWWWWWWWWWWWKK..........",  //
    "....KWWWWWWWWWWWWWWWKSK.........",  //
    "....KWWWWWWWWWWWWWWWKSSK........",  //
    "....KWWWWWWWWWWWWWWWKSSSK.......",  //
    "....KWWWWWWWWWWWWWWWKSSSSK......",  //
    "....KWWWWWWWWWWWWWWWKSSSSSK.....",  //
    "....KWWWWWWWWWWWWWWWKKKKKKKK....",  //
    "....KWWWWWWWWWWWWWWWWWWWWWWKD...",  //
    "....KTTTTTTTTTTTTTTTTTTTTTTKD...",  //
    "....KTTWTTTWTTWWWTTTWWWTTTTKD...",  //
    "....KTTWTTTWTTTWTTTWTTTWTTTKD...",  //
    "....KTTWTTTWTTTWTTTWTTTTTTTKD...",  //
    "....KTTWTTTWTTTWTTTWTTTTTTTKD...",  //
    "....KTTTWTWTTTTWTTTWTTTTTTTKD...",  //
    "....KTTTWTWTTTTWTTTWTTTWTTTKD...",  //
    "....KTTTTWTTTTWWWTTTWWWTTTTKD...",  //
    "....KTTTTTTTTTTTTTTTTTTTTTTKD...",  //
    "....KWWWWWWWWWWWWWWWWWWWWWWKD...",  //
    "....KWWKKKKKKKKKKKKKKKKKKWWKD...",  //
    "....KWWKbbbbbbbbbbbbybbbKWWKD...",  //
    "....KWWKbbbbbbbbbbbyyybbKWWKD...",  //
    "....KWWKbbbllbbbbbbbybbbKWWKD...",  //
    "....KWWKbbllllbbbbbbbbggKWWKD...",  //
    "....KWWKblllllllbbbgggggKWWKD...",  //
    "....KWWKllllllllggggggggKWWKD...",  //
    "....KWWKggggggggggggggggKWWKD...",  //
    "....KWWKKKKKKKKKKKKKKKKKKWWKD...",  //
    "....KWWWWWWWWWWWWWWWWWWWWWWKD...",  //
    "....KKKKKKKKKKKKKKKKKKKKKKKKD...",  //
    ".....DDDDDDDDDDDDDDDDDDDDDDDD...",  //
};

constexpr int SMALL = 16;
constexpr const char* SMALL_ART[SMALL] = {
    ".KKKKKKKKKK.....",  //
    ".KWWWWWWWWKK....",  //
    ".KWWWWWWWWKSK...",  //
    ".KWWWWWWWWKKKK..",  //
    ".KTTTTTTTTTTTKD.",  //
    ".KTWTWTWTTWWTKD.",  //
    ".KTWTWTWTWTTTKD.",  //
    ".KTWTWTWTWTTTKD.",  //
    ".KTTWTTWTWTTTKD.",  //
    ".KTTWTTWTTWWTKD.",  //
    ".KTTTTTTTTTTTKD.",  //
    ".KbbbbbbbbybbKD.",  //
    ".KbllbbbbbbggKD.",  //
    ".KlllllggggggKD.",  //
    ".KKKKKKKKKKKKKD.",  //
    "..DDDDDDDDDDDDD.",  //
};

struct Rgb {
    uint8_t red, green, blue;
};

// The standard 16-colour palette of 4-bit images; 256-colour images begin
// with it too.
constexpr Rgb STANDARD_COLOURS[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

// Each artwork character: its colour among the 16 standard ones, and its own
// colour in the 256-colour image (entry 16 + its place in this table).
struct Ink {
    char symbol;
    uint8_t standardIndex;
    Rgb ownColour;
};
constexpr Ink INKS[] = {
    {'K', 0, {24, 24, 24}},    {'W', 15, {255, 255, 255}}, {'S', 7, {204, 204, 204}},
    {'D', 8, {150, 150, 150}}, {'T', 6, {0, 128, 128}},    {'b', 12, {96, 144, 240}},
    {'y', 11, {255, 224, 32}}, {'l', 10, {112, 200, 64}},  {'g', 2, {24, 120, 48}},
};
constexpr size_t INK_COUNT = sizeof INKS / sizeof INKS[0];

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Palette index of one artwork character at the given depth; -1 transparent.
int IndexOf(char symbol, int bitsPerPixel) {
    if (symbol == '.') return -1;
    for (size_t i = 0; i < INK_COUNT; ++i) {
        if (INKS[i].symbol != symbol) continue;
        return bitsPerPixel == 4 ? INKS[i].standardIndex : static_cast<int>(16 + i);
    }
    throw std::logic_error(std::string("icon artwork uses an unknown character: ") + symbol);
}

// Rows of `bits` bits per pixel are padded to whole 32-bit words.
uint32_t RowBytes(int size, int bits) {
    return static_cast<uint32_t>((size * bits + 31) / 32 * 4);
}

IconImage Draw(const char* const* art, int size, int bitsPerPixel) {
    const uint32_t colourRow = RowBytes(size, bitsPerPixel);
    const uint32_t maskRow = RowBytes(size, 1);
    const uint32_t paletteEntries = 1u << bitsPerPixel;

    IconImage image;
    image.size = size;
    image.bitsPerPixel = bitsPerPixel;
    std::vector<uint8_t>& out = image.bytes;

    // BITMAPINFOHEADER; the height counts the colour rows and the mask rows.
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(size));
    Put32(out, static_cast<uint32_t>(size * 2));
    Put16(out, 1);  // planes
    Put16(out, static_cast<uint32_t>(bitsPerPixel));
    Put32(out, 0);  // no compression
    Put32(out, (colourRow + maskRow) * static_cast<uint32_t>(size));
    Put32(out, 0);  // resolution: none given
    Put32(out, 0);
    Put32(out, 0);  // colours used: all the depth allows
    Put32(out, 0);  // important colours: all

    // Palette, blue-green-red-zero.
    for (uint32_t i = 0; i < paletteEntries; ++i) {
        Rgb colour{0, 0, 0};
        if (i < 16) {
            colour = STANDARD_COLOURS[i];
        } else if (i - 16 < INK_COUNT) {
            colour = INKS[i - 16].ownColour;
        }
        out.push_back(colour.blue);
        out.push_back(colour.green);
        out.push_back(colour.red);
        out.push_back(0);
    }

    // Colour rows, bottom row first; transparent pixels are index 0 so that
    // they leave the screen as it is when the mask has been applied.
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(colourRow, 0);
        for (int x = 0; x < size; ++x) {
            const int index = IndexOf(art[y][x], bitsPerPixel);
            if (index < 0) continue;
            if (bitsPerPixel == 8) {
                row[static_cast<size_t>(x)] = static_cast<uint8_t>(index);
            } else {
                const int shift = (x % 2 == 0) ? 4 : 0;  // left pixel in the high half
                row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(index << shift);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }

    // Mask rows, bottom row first: a set bit keeps the screen (transparent).
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int x = 0; x < size; ++x) {
            if (art[y][x] == '.')
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return image;
}

}  // namespace

std::vector<IconImage> DrawIconImages() {
    return {Draw(LARGE_ART, LARGE, 4), Draw(SMALL_ART, SMALL, 4), Draw(LARGE_ART, LARGE, 8)};
}

std::vector<uint8_t> BuildIconFile(const std::vector<IconImage>& images) {
    std::vector<uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IconImage& image : images) {
        out.push_back(static_cast<uint8_t>(image.size));
        out.push_back(static_cast<uint8_t>(image.size));
        // Colour count: 0 stands for 256 or more.
        out.push_back(image.bitsPerPixel >= 8 ? 0 : static_cast<uint8_t>(1u << image.bitsPerPixel));
        out.push_back(0);  // reserved
        Put16(out, 1);     // planes
        Put16(out, static_cast<uint32_t>(image.bitsPerPixel));
        Put32(out, static_cast<uint32_t>(image.bytes.size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(image.bytes.size());
    }
    for (const IconImage& image : images)
        out.insert(out.end(), image.bytes.begin(), image.bytes.end());
    return out;
}

}  // namespace tarnel_tools
