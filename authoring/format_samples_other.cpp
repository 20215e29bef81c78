// Samples of the pictures of other programs: Printfox / Pagefox pages of
// each type, GoDot 4-bit pictures (unpacked and packed) and a clip, and the
// hires pictures with sprite layers (SHS, SH1 and SH2 unpacked and packed,
// SHE of both sizes). Each picture is worked out from the drawing its file
// was written from; the packers here write each program's run-length
// scheme, with runs, literals, the escape byte as data and zero counts
// where the scheme has them.
#include <cstdio>
#include <cstring>
#include <functional>

#include "authoring/font.h"
#include "authoring/format_samples.h"
#include "authoring/sample_picture.h"

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;

// Bytes no reader looks at: the same on every run.
Bytes Filler(size_t size, uint32_t seed) {
    Bytes bytes(size);
    for (size_t n = 0; n < size; ++n) {
        seed = seed * 1103515245u + 12345u;
        bytes[n] = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

// Whether `text`, its glyphs `scale` times their size, sets pixel (x, y)
// when its top left corner is at (left, top).
bool TextPixel(const char* text, uint32_t scale, uint32_t left, uint32_t top, uint32_t x,
               uint32_t y) {
    if (x < left || y < top) return false;
    const uint32_t gx = (x - left) / scale;
    const uint32_t gy = (y - top) / scale;
    const uint32_t n = gx / GLYPH_ADVANCE;
    if (n >= std::strlen(text) || gy >= GLYPH_HEIGHT || gx % GLYPH_ADVANCE >= GLYPH_WIDTH) {
        return false;
    }
    return GlyphPixel(text[n], static_cast<int>(gx % GLYPH_ADVANCE), static_cast<int>(gy));
}

uint32_t Distance2(uint32_t x, uint32_t y, uint32_t cx, uint32_t cy) {
    const int dx = static_cast<int>(x) - static_cast<int>(cx);
    const int dy = static_cast<int>(y) - static_cast<int>(cy);
    return static_cast<uint32_t>(dx * dx + dy * dy);
}

// The length of the run of equal bytes from `at`, at most `limit`.
uint32_t RunLength(const Bytes& data, size_t at, uint32_t limit) {
    uint32_t n = 1;
    while (n < limit && at + n < data.size() && data[at + n] == data[at]) ++n;
    return n;
}

// The value occurring least often in `data`, among those it holds: an
// escape byte that is also data somewhere.
uint8_t RarestPresentByte(const Bytes& data) {
    uint32_t counts[256] = {};
    for (uint8_t byte : data) ++counts[byte];
    uint32_t best = 0;
    for (uint32_t value = 1; value < 256; ++value) {
        if (counts[value] != 0 && (counts[best] == 0 || counts[value] < counts[best])) best = value;
    }
    return static_cast<uint8_t>(best);
}

// Runs `escape count value`, counts 1 to `longest` (a count of 256 written
// as 0); shorter runs as literals unless their value is the escape byte.
void PackRuns(const Bytes& data, uint8_t escape, uint32_t longest, bool wideCounts, Bytes* out) {
    for (size_t at = 0; at < data.size();) {
        const uint8_t value = data[at];
        const uint32_t length = RunLength(data, at, longest);
        if (length >= 4 || value == escape) {
            out->push_back(escape);
            out->push_back(static_cast<uint8_t>(length & 0xFF));
            if (wideCounts) out->push_back(static_cast<uint8_t>(length >> 8));
            out->push_back(value);
            at += length;
        } else {
            out->push_back(value);
            at += 1;
        }
    }
}

// ---------------------------------------------------------------------------
// Printfox / Pagefox: ink on paper, the cells' bytes row by row.

constexpr uint8_t INK = 0;    // black
constexpr uint8_t PAPER = 1;  // white

// A page of width x height: a frame, a title, a striped disc, a checked
// box, a black bar, and lines whose bytes are the packer's escape $9B.
bool PageInk(const char* title, uint32_t width, uint32_t height, uint32_t x, uint32_t y) {
    if (x < 2 || y < 2 || x + 2 >= width || y + 2 >= height) return true;
    const uint32_t scale = width >= 160 ? width / 160 : 1;
    if (TextPixel(title, scale, 8, 8, x, y)) return true;
    const uint32_t r = height / 4;
    if (Distance2(x, y, width * 3 / 4, height / 2) <= r * r) return (y / 2) % 2 == 0;
    if (x >= 8 && x < width / 3 && y >= height / 2 && y < height / 2 + 16) {
        return (x / 4 + y / 4) % 2 == 0;
    }
    if (x >= 8 && x < width / 2 && y >= height - 16 && y < height - 8) return true;
    // A band of whole cells of $9B, and one line of it alone.
    if (x >= 8 && x < width / 2 && ((y >= height - 32 && y < height - 24) || y == height - 36)) {
        return (0x9B >> (7 - x % 8)) & 1;
    }
    return false;
}

// The page's bytes, cell by cell, and its picture.
Bytes PageBytes(const char* title, uint32_t columns, uint32_t rows, Picture* picture) {
    Bytes bits(columns * rows * 8, 0);
    for (uint32_t y = 0; y < rows * 8; ++y) {
        for (uint32_t x = 0; x < columns * 8; ++x) {
            const bool ink = PageInk(title, columns * 8, rows * 8, x, y);
            picture->Set(x, y, ink ? INK : PAPER);
            if (ink) bits[((y / 8) * columns + x / 8) * 8 + y % 8] |= 0x80 >> (x % 8);
        }
    }
    return bits;
}

// Types 'B' and 'G': 16-bit counts, and a run of 0 (nothing) first.
// Type 'P': 8-bit counts up to 256.
Bytes PrintfoxFile(char type, const char* title, uint32_t columns, uint32_t rows,
                   Picture* picture) {
    const Bytes bits = PageBytes(title, columns, rows, picture);
    Bytes file = {static_cast<uint8_t>(type)};
    if (type == 'P') {
        file.insert(file.end(),
                    {static_cast<uint8_t>(rows), static_cast<uint8_t>(columns), 0x11, 0x22, 0x00});
        PackRuns(bits, 0x9B, 256, false, &file);
    } else {
        file.insert(file.end(), {0x9B, 0x00, 0x00, 0xFF});
        PackRuns(bits, 0x9B, 65535, true, &file);
    }
    file.push_back(0x9B);  // past the page: not read
    return file;
}

void AddPrintfox(std::vector<FormatSample>* samples) {
    {
        Picture picture(320, 200, PAPER);
        const Bytes file = PrintfoxFile('B', "PRINTFOX", 40, 25, &picture);
        samples->push_back(Sample(60, "printfox.bs", file, picture, PAPER));
    }
    {
        Picture picture(640, 400, PAPER);
        const Bytes file = PrintfoxFile('G', "PRINTFOX PAGE", 80, 50, &picture);
        samples->push_back(Sample(60, "printfox-page.gb", file, picture, PAPER));
    }
    {
        Picture picture(288, 120, PAPER);
        const Bytes file = PrintfoxFile('P', "PAGEFOX", 36, 15, &picture);
        samples->push_back(Sample(60, "pagefox.pg", file, picture, PAPER));
    }
    {
        // The type, not the name, gives the size.
        Picture picture(80, 40, PAPER);
        const Bytes file = PrintfoxFile('P', "P", 10, 5, &picture);
        samples->push_back(Sample(60, "pagefox-small.bs", file, picture, PAPER));
    }
}

// ---------------------------------------------------------------------------
// GoDot: brightness indexes 0 to 15, two pixels a byte, cell by cell.

constexpr uint8_t GODOT_COLOURS[16] = {0, 6, 9, 11, 2, 4, 8, 12, 14, 10, 5, 15, 3, 7, 13, 1};

// Bands of every brightness, a disc shaded by distance, text, and a box of
// pixel pairs 10 and 13 (bytes $AD, the packer's escape) on the darkest
// index.
uint8_t GodotIndex(const char* text, uint32_t width, uint32_t height, uint32_t x, uint32_t y) {
    if (y < height / 4) return static_cast<uint8_t>(x * 16 / width);
    if (TextPixel(text, 2, 8, height / 4 + 8, x, y)) return 15;
    const uint32_t r = height / 4;
    const uint32_t d = Distance2(x, y, width * 3 / 4, height * 5 / 8);
    if (d <= r * r) return static_cast<uint8_t>(15 - d * 14 / (r * r));
    if (x >= 8 && x < width / 3 && y >= height - 24 && y < height - 8) {
        return x % 2 == 0 ? 10 : 13;
    }
    return 0;
}

Bytes GodotBytes(const char* text, uint32_t columns, uint32_t rows, Picture* picture) {
    Bytes data(columns * rows * 32, 0);
    for (uint32_t y = 0; y < rows * 8; ++y) {
        for (uint32_t x = 0; x < columns * 8; ++x) {
            const uint8_t index = GodotIndex(text, columns * 8, rows * 8, x, y);
            picture->Set(x, y, GODOT_COLOURS[index]);
            const uint32_t at = ((y / 8) * columns + x / 8) * 32 + (y % 8) * 4 + (x % 8) / 2;
            data[at] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
    }
    return data;
}

void AddGodot(std::vector<FormatSample>* samples) {
    {
        Picture picture(320, 200, 0);
        Bytes file = {0x00, 0x40};
        const Bytes data = GodotBytes("GODOT 4 BIT", 40, 25, &picture);
        file.insert(file.end(), data.begin(), data.end());
        samples->push_back(Sample(61, "godot.4bt", file, picture, 0));
    }
    {
        // Runs up to 256 (written as 0), the escape as data, and the last
        // $AD that ends the file.
        Picture picture(320, 200, 0);
        Bytes file = {'G', 'O', 'D', '0'};
        PackRuns(GodotBytes("GODOT PACKED", 40, 25, &picture), 0xAD, 256, false, &file);
        file.push_back(0xAD);
        samples->push_back(Sample(61, "godot-packed.4bt", file, picture, 0));
    }
    {
        // A clip of 13 x 7 cells cut from cell (5, 3).
        Picture picture(104, 56, 0);
        Bytes file = {'G', 'O', 'D', '1', 5, 3, 13, 7};
        PackRuns(GodotBytes("CLIP", 13, 7, &picture), 0xAD, 256, false, &file);
        file.push_back(0xAD);
        samples->push_back(Sample(62, "godot.clp", file, picture, 0));
    }
    {
        // A whole screen as a clip.
        Picture picture(320, 200, 0);
        Bytes file = {'G', 'O', 'D', '1', 0, 0, 40, 25};
        PackRuns(GodotBytes("SCREEN CLIP", 40, 25, &picture), 0xAD, 256, false, &file);
        file.push_back(0xAD);
        samples->push_back(Sample(62, "godot-screen.clp", file, picture, 0));
    }
}

// ---------------------------------------------------------------------------
// Hires bitmaps with sprites over them.

// The bitmap: a letter in each cell, every third cell reversed, its colours
// varied by cell.
bool BitmapBit(uint32_t cell, uint32_t x, uint32_t y) {
    const bool on = x >= 1 && x <= 5 &&
                    GlyphPixel(static_cast<char>('A' + cell % 26), static_cast<int>(x - 1),
                               static_cast<int>(y));
    return on != (cell % 3 == 2);
}
uint8_t InkOf(uint32_t cell) {
    return static_cast<uint8_t>(1 + cell * 5 % 15);
}
uint8_t PaperOf(uint32_t cell) {
    const uint8_t paper = static_cast<uint8_t>((cell * 3 + 11) % 16);
    return paper == InkOf(cell) ? static_cast<uint8_t>((paper + 8) % 16) : paper;
}

// Sprite n of the back layer: a diamond; of the front layer: a square
// frame around the sprite's digit. (x, y) within the sprite.
bool BackBit(uint32_t n, uint32_t x, uint32_t y) {
    const int dx = static_cast<int>(x) - 12 + static_cast<int>(n % 3);
    const int dy = static_cast<int>(y) - 10;
    return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) <= 9;
}
bool FrontBit(uint32_t n, uint32_t x, uint32_t y) {
    const bool frame =
        x >= 2 && x <= 15 && y >= 3 && y <= 16 && (x <= 3 || x >= 14 || y <= 4 || y >= 15);
    const bool digit = x >= 7 && x < 12 && y >= 6 && y < 15 &&
                       GlyphPixel(static_cast<char>('0' + n % 10), static_cast<int>(x - 7),
                                  static_cast<int>(y - 6));
    return frame || digit;
}

// Writes the bitmap (cells `stride` a row at `bitmap`, screen bytes at
// `screen`) for the picture's cells and draws it.
void WriteBitmap(Bytes* file, uint32_t bitmap, uint32_t screen, uint32_t stride, Picture* picture) {
    for (uint32_t y = 0; y < picture->height; ++y) {
        for (uint32_t x = 0; x < picture->width; ++x) {
            const uint32_t column = x / 8, row = y / 8;
            const uint32_t cell = row * picture->width / 8 + column;
            const uint32_t at = row * stride + column;
            uint8_t& bits = (*file)[bitmap + at * 8 + y % 8];
            if (x % 8 == 0) bits = 0;
            const bool on = BitmapBit(cell, x % 8, y % 8);
            if (on) bits |= static_cast<uint8_t>(0x80 >> (x % 8));
            (*file)[screen + at] = static_cast<uint8_t>(InkOf(cell) << 4 | PaperOf(cell));
            picture->Set(x, y, on ? InkOf(cell) : PaperOf(cell));
        }
    }
}

// Where a picture's pixel falls among a layer's sprites.
struct Place {
    bool inside = false;
    uint32_t sprite = 0;  // which sprite of the layer
    uint32_t x = 0, y = 0;
    uint32_t column = 0;  // its sprite column, which gives the colour
};
using Placing = std::function<Place(uint32_t x, uint32_t y)>;

// Sprites `across` a row from the picture's top left corner, less `top`
// lines.
Placing RowsOfSprites(uint32_t across, uint32_t top = 0, uint32_t lines = 168) {
    return [=](uint32_t x, uint32_t y) {
        Place place;
        if (y < top || y - top >= lines) return place;
        place.inside = true;
        place.sprite = across * ((y - top) / 21) + x / 24;
        place.x = x % 24;
        place.y = (y - top) % 21;
        place.column = x / 24;
        return place;
    };
}

// A layer of 64-byte sprites at `layer`, sprite s's bits from `bit`, its
// 1 bits drawn over the picture in colours[column]. The sprites' spare 64th
// bytes stay as the file has them.
void WriteSprites(Bytes* file, uint32_t layer, const Placing& placing,
                  const std::function<bool(uint32_t, uint32_t, uint32_t)>& bit,
                  const std::vector<uint8_t>& colours, Picture* picture) {
    for (uint32_t y = 0; y < picture->height; ++y) {
        for (uint32_t x = 0; x < picture->width; ++x) {
            const Place place = placing(x, y);
            if (!place.inside) continue;
            uint8_t& bits = (*file)[layer + 64 * place.sprite + place.y * 3 + place.x / 8];
            if (place.x % 8 == 0) bits = 0;
            if (!bit(place.sprite, place.x, place.y)) continue;
            bits |= static_cast<uint8_t>(0x80 >> (place.x % 8));
            picture->Set(x, y, colours[place.column]);
        }
    }
}

// Sprite bits a column of 8 pixels at a time, the picture's height in bytes
// a column, from `at`.
void WriteColumns(Bytes* data, uint32_t at, uint32_t across,
                  const std::function<bool(uint32_t, uint32_t, uint32_t)>& bit,
                  const std::vector<uint8_t>& colours, Picture* picture) {
    const Placing placing = RowsOfSprites(across);
    for (uint32_t y = 0; y < picture->height; ++y) {
        for (uint32_t x = 0; x < picture->width; ++x) {
            const Place place = placing(x, y);
            if (!bit(place.sprite, place.x, place.y)) continue;
            (*data)[at + picture->height * (x / 8) + y] |= static_cast<uint8_t>(0x80 >> (x % 8));
            picture->Set(x, y, colours[place.column]);
        }
    }
}

// The packed SH files: the escape byte, a run of 0 (nothing), then runs
// of up to 255.
Bytes PackSh(const Bytes& data) {
    const uint8_t escape = RarestPresentByte(data);
    Bytes file = {escape, escape, 0, 0x77};
    PackRuns(data, escape, 255, false, &file);
    return file;
}

// The colours' bytes: the low nibble used, the high one not.
void PutColours(Bytes* file, uint32_t at, const std::vector<uint8_t>& colours) {
    for (size_t n = 0; n < colours.size(); ++n) {
        (*file)[at + n] = static_cast<uint8_t>(0x50 + 0x30 * n) | colours[n];
    }
}

const std::vector<uint8_t> BACK_COLOURS = {2, 5, 6, 8};
const std::vector<uint8_t> FRONT_COLOURS = {7, 1, 13, 0};
const std::vector<uint8_t> EIGHT_COLOURS = {2, 5, 6, 8, 10, 14, 0, 7};

void AddShs(std::vector<FormatSample>* samples) {
    Bytes file = Filler(14338, 63);
    file[0] = 0x00;
    file[1] = 0x40;
    Picture picture(320, 200, 0);
    WriteBitmap(&file, 2, 13314, 40, &picture);
    // A window of 4 x 8 sprites at (16, 17), eight down each column.
    const Placing window = [](uint32_t x, uint32_t y) {
        Place place;
        if (x < 16 || x >= 112 || y < 17 || y >= 185) return place;
        place.inside = true;
        place.column = (x - 16) / 24;
        place.sprite = 8 * place.column + (y - 17) / 21;
        place.x = (x - 16) % 24;
        place.y = (y - 17) % 21;
        return place;
    };
    PutColours(&file, 8002, BACK_COLOURS);
    PutColours(&file, 8006, FRONT_COLOURS);
    WriteSprites(&file, 8194, window, BackBit, BACK_COLOURS, &picture);
    WriteSprites(&file, 10242, window, FrontBit, FRONT_COLOURS, &picture);
    samples->push_back(Sample(63, "shs.shs", file, picture, 0));
}

void AddSh1(std::vector<FormatSample>* samples) {
    {
        Bytes file = Filler(14770, 64);
        Picture picture(96, 168, 0);
        WriteBitmap(&file, 6690, 448, 40, &picture);
        PutColours(&file, 426, BACK_COLOURS);
        PutColours(&file, 430, FRONT_COLOURS);
        WriteSprites(&file, 2482, RowsOfSprites(4), BackBit, BACK_COLOURS, &picture);
        WriteSprites(&file, 4530, RowsOfSprites(4), FrontBit, FRONT_COLOURS, &picture);
        samples->push_back(Sample(64, "sh1.sh1", file, picture, 0));
    }
    {
        Bytes data(6304, 0);
        Picture picture(96, 168, 0);
        WriteBitmap(&data, 0, 6048, 12, &picture);
        const std::vector<uint8_t> back = {9, 4, 11, 3}, front = {1, 15, 0, 12};
        WriteColumns(&data, 2016, 4, BackBit, back, &picture);
        WriteColumns(&data, 4032, 4, FrontBit, front, &picture);
        for (uint32_t n = 0; n < 4; ++n)
            data[6300 + n] = static_cast<uint8_t>(front[n] << 4 | back[n]);
        samples->push_back(Sample(64, "sh1-packed.sh1", PackSh(data), picture, 0));
    }
}

void AddSh2(std::vector<FormatSample>* samples) {
    {
        Bytes file = Filler(14770, 65);
        Picture picture(192, 168, 0);
        WriteBitmap(&file, 6642, 442, 40, &picture);
        PutColours(&file, 426, EIGHT_COLOURS);
        WriteSprites(&file, 2482, RowsOfSprites(8), FrontBit, EIGHT_COLOURS, &picture);
        samples->push_back(Sample(65, "sh2.sh2", file, picture, 0));
    }
    {
        Bytes data(8576, 0);
        Picture picture(192, 168, 0);
        WriteBitmap(&data, 0, 8064, 24, &picture);
        const std::vector<uint8_t> colours = {1, 3, 7, 13, 15, 9, 4, 0};
        WriteColumns(&data, 4032, 8, BackBit, colours, &picture);
        for (uint32_t n = 0; n < 8; ++n) data[8568 + n] = static_cast<uint8_t>(0xA0 | colours[n]);
        samples->push_back(Sample(65, "sh2-packed.sh2", PackSh(data), picture, 0));
    }
}

void AddShe(std::vector<FormatSample>* samples) {
    {
        // 96 x 88: sprites over the top 84 lines, the back ones in slots 0-3
        // and the front ones in slots 4-7 of rows of eight.
        Bytes file = Filler(3250, 66);
        Picture picture(96, 88, 0);
        WriteBitmap(&file, 2, 1058, 12, &picture);
        const Placing back = RowsOfSprites(8, 0, 84);
        const Placing front = [back](uint32_t x, uint32_t y) {
            Place place = back(x, y);
            place.sprite += 4;
            return place;
        };
        file[3238] = 0xF6;
        file[3239] = 0x07;
        WriteSprites(&file, 1190, back, BackBit, std::vector<uint8_t>(4, 6), &picture);
        WriteSprites(&file, 1190, front, FrontBit, std::vector<uint8_t>(4, 7), &picture);
        samples->push_back(Sample(66, "she.she", file, picture, 0));
    }
    {
        // 192 x 168: one layer eight a row from line 1; its last line below
        // the picture.
        Bytes file = Filler(8642, 67);
        Picture picture(192, 168, 0);
        WriteBitmap(&file, 2, 8130, 24, &picture);
        PutColours(&file, 8634, EIGHT_COLOURS);
        WriteSprites(&file, 4034, RowsOfSprites(8, 1, 167), BackBit, EIGHT_COLOURS, &picture);
        samples->push_back(Sample(66, "she-large.she", file, picture, 0));
    }
}

}  // namespace

void AddOther(std::vector<FormatSample>* samples) {
    AddPrintfox(samples);
    AddGodot(samples);
    AddShs(samples);
    AddSh1(samples);
    AddSh2(samples);
    AddShe(samples);
}

}  // namespace tarnel_tools
