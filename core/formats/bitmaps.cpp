// Plain hires and multicolour bitmaps of the paint programs whose files the
// twenty layouts do not cover: each a bitmap, a screen and (multicolour) a
// colour memory at offsets of its own, with the background in a byte of its
// own or black. One row of facts a program; the drawing is shared.
#include <cstring>

#include "core/formats/cells.h"
#include "core/formats/readers.h"

namespace tarnel::readers {

namespace {

constexpr uint32_t CELLS = 1000;
constexpr uint32_t NO_BYTE = 0;  // no offset in these files is 0

// Where a program keeps what.
struct BitmapFacts {
    uint32_t sizes[3];    // the file sizes it saves (the rest 0)
    bool multicolour;     // multicolour, or hires
    uint32_t bitmap;      // 8,000 bytes
    uint32_t screen;      // 1,000 bytes; NO_BYTE: a hires bitmap in fixed colours
    uint32_t colour;      // multicolour: 1,000 bytes of colour memory
    uint32_t background;  // multicolour: its byte, or NO_BYTE for black
    uint8_t ink, paper;   // hires without a screen: the colours of 1 and 0 bits
};

bool SizeFits(const BitmapFacts& facts, uint32_t size) {
    for (uint32_t fits : facts.sizes) {
        if (fits != 0 && fits == size) return true;
    }
    return false;
}

uint8_t BackgroundOf(const BitmapFacts& facts, ByteView file) {
    if (!facts.multicolour && facts.screen == NO_BYTE) return facts.paper;
    return facts.background == NO_BYTE ? 0 : file[facts.background] & 15;
}

void DrawBitmap(const BitmapFacts& facts, ByteView file, const ColourCanvas& canvas) {
    const uint8_t background = BackgroundOf(facts, file);
    for (uint32_t cell = 0; cell < CELLS; ++cell) {
        const uint32_t x = (cell % 40) * 8;
        const uint32_t y = (cell / 40) * 8;
        const uint8_t* bytes = file.data + facts.bitmap + cell * 8;
        if (!facts.multicolour) {
            const uint8_t screen = facts.screen != NO_BYTE ? file[facts.screen + cell] : 0;
            const uint8_t ink = facts.screen != NO_BYTE ? screen >> 4 : facts.ink;
            const uint8_t paper = facts.screen != NO_BYTE ? screen & 15 : facts.paper;
            cells::DrawHiresCell(canvas, x, y, bytes, ink, paper);
            continue;
        }
        const uint8_t screen = file[facts.screen + cell];
        const uint8_t colours[4] = {background, static_cast<uint8_t>(screen >> 4),
                                    static_cast<uint8_t>(screen & 15),
                                    static_cast<uint8_t>(file[facts.colour + cell] & 15)};
        cells::DrawMulticolourCell(canvas, x, y, bytes, colours);
    }
}

// The four functions of a program's row, from its facts.
template <const BitmapFacts& F>
Evidence FactsSniff(ByteView file) {
    return SizeFits(F, file.size) ? Evidence::Shape : Evidence::None;
}
template <const BitmapFacts& F>
PictureSize FactsMeasure(ByteView) {
    return {320, 200};
}
template <const BitmapFacts& F>
uint8_t FactsBackground(ByteView file) {
    return BackgroundOf(F, file);
}
template <const BitmapFacts& F>
void FactsDraw(ByteView file, const ColourCanvas& canvas) {
    DrawBitmap(F, file, canvas);
}
#define TARNEL_FACTS(F) FactsSniff<F>, FactsMeasure<F>, FactsBackground<F>, FactsDraw<F>

// sizes, multicolour, bitmap, screen, colour RAM, background, ink, paper
constexpr BitmapFacts BLACK_ON_WHITE = {{8002}, false, 2, NO_BYTE, NO_BYTE, NO_BYTE, 0, 1};
constexpr BitmapFacts HI_EDDI = {{9218}, false, 2, 8194, NO_BYTE, NO_BYTE, 0, 0};
constexpr BitmapFacts IMAGE_SYSTEM_HIRES = {{9194}, false, 2, 8194, NO_BYTE, NO_BYTE, 0, 0};
constexpr BitmapFacts WIGMORE = {{10242}, true, 2, 8194, 9218, 10241, 0, 0};
constexpr BitmapFacts BLAZING_PADDLES = {{10242}, true, 2, 8194, 9218, 8066, 0, 0};
constexpr BitmapFacts CDU_PAINT = {{10277}, true, 275, 8275, 9275, 10275, 0, 0};
constexpr BitmapFacts CHEESE = {{20482}, true, 2, 16898, 18434, 20479, 0, 0};
constexpr BitmapFacts IMAGE_SYSTEM = {{10218}, true, 1026, 9218, 2, 9217, 0, 0};
constexpr BitmapFacts P64 = {{10050}, true, 2050, 1026, 2, 2049, 0, 0};
constexpr BitmapFacts VIDCOM = {{10241, 10242, 10050}, true, 2050, 1026, 2, 2026, 0, 0};
constexpr BitmapFacts RAINBOW_PAINTER = {{10242}, true, 1026, 2, 9218, NO_BYTE, 0, 0};
constexpr BitmapFacts SARACEN = {{10219}, true, 1026, 2, 9218, 1010, 0, 0};

// A sized hires bitmap: its width and height in cells in its first two
// bytes, then its cells, black on white.
struct SizedCells {
    uint32_t columns = 0, rows = 0;
};
SizedCells SizedOf(ByteView file) {
    if (file.size < 10) return {};
    const SizedCells cells{file[0], file[1]};
    if (cells.columns == 0 || cells.rows == 0 || file.size != 2 + cells.columns * cells.rows * 8) {
        return {};
    }
    return cells;
}

}  // namespace

Evidence SizedHiresSniff(ByteView file) {
    return SizedOf(file).columns != 0 ? Evidence::Shape : Evidence::None;
}
PictureSize SizedHiresMeasure(ByteView file) {
    const SizedCells cells = SizedOf(file);
    return {cells.columns * 8, cells.rows * 8};
}
uint8_t SizedHiresBackground(ByteView) {
    return 1;
}
void SizedHiresDraw(ByteView file, const ColourCanvas& canvas) {
    const SizedCells cells = SizedOf(file);
    for (uint32_t cell = 0; cell < cells.columns * cells.rows; ++cell) {
        cells::DrawHiresCell(canvas, (cell % cells.columns) * 8, (cell / cells.columns) * 8,
                             file.data + 2 + cell * 8, 0, 1);
    }
}

// One palette for the whole multicolour bitmap: 00 the byte after it at
// 8,004, 01 and 10 the nibbles of 8,002, 11 the byte at 8,003.
Evidence SinglePaletteSniff(ByteView file) {
    return file.size == 8194 ? Evidence::Shape : Evidence::None;
}
PictureSize SinglePaletteMeasure(ByteView) {
    return {320, 200};
}
uint8_t SinglePaletteBackground(ByteView file) {
    return file[8004] & 15;
}
void SinglePaletteDraw(ByteView file, const ColourCanvas& canvas) {
    const uint8_t colours[4] = {
        static_cast<uint8_t>(file[8004] & 15), static_cast<uint8_t>(file[8002] >> 4),
        static_cast<uint8_t>(file[8002] & 15), static_cast<uint8_t>(file[8003] & 15)};
    for (uint32_t cell = 0; cell < CELLS; ++cell) {
        cells::DrawMulticolourCell(canvas, (cell % 40) * 8, (cell / 40) * 8,
                                   file.data + 2 + cell * 8, colours);
    }
}

// A multicolour window: where it starts within its first cell, its width in
// multicolour pixels and its height in lines, then its cells of ten bytes
// (screen, colour memory, bitmap), drawn on black and cut to the window.
namespace {
struct Window {
    uint32_t left = 0, top = 0, width = 0, height = 0;  // left in multicolour pixels
    uint32_t columns = 0, rows = 0;                     // cells
};
Window WindowOf(ByteView file) {
    if (file.size < 5) return {};
    Window w;
    w.left = file[1] & 3;
    w.top = file[2] & 7;
    w.width = file[3];
    w.height = file[4];
    w.columns = (2 * w.width + 7) / 8 + (w.left != 0 ? 1 : 0);
    w.rows = (w.height + 7) / 8 + (w.top != 0 ? 1 : 0);
    if (w.width == 0 || w.height == 0 || file.size != 5 + w.rows * w.columns * 10) return {};
    return w;
}
}  // namespace

Evidence WindowSniff(ByteView file) {
    return WindowOf(file).width != 0 ? Evidence::Shape : Evidence::None;
}
PictureSize WindowMeasure(ByteView file) {
    const Window w = WindowOf(file);
    return {2 * w.width, w.height};
}
uint8_t WindowBackground(ByteView) {
    return 0;
}
void WindowDraw(ByteView file, const ColourCanvas& canvas) {
    const Window w = WindowOf(file);
    for (uint32_t y = 0; y < w.height; ++y) {
        const uint32_t line = y + w.top;
        uint8_t* out = canvas.Row(y);
        for (uint32_t x = 0; x < 2 * w.width; ++x) {
            const uint32_t pixel = x + 2 * w.left;  // in output pixels of the cell grid
            const uint32_t at = 5 + 10 * ((line / 8) * w.columns + pixel / 8);
            const uint8_t bits = file[at + 2 + line % 8];
            const uint32_t pair = (bits >> (6 - 2 * ((pixel % 8) / 2))) & 3;
            const uint8_t colours[4] = {0, static_cast<uint8_t>(file[at] >> 4),
                                        static_cast<uint8_t>(file[at] & 15),
                                        static_cast<uint8_t>(file[at + 1] & 15)};
            out[x] = colours[pair];
        }
    }
}

namespace {
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {32, "hires-inverse", "Hires bitmap, black on white", "rpo gih", "image/x-c64-hires", true, false, "is 8,002 bytes: a load address and a bitmap", TARNEL_FACTS(BLACK_ON_WHITE)},
    {33, "hires-sized", "Sized hires bitmap", "gr cs", "image/x-c64-hires", false, false, "gives its width and height in cells in its first two bytes, then 8 bytes a cell", TARNEL_FORMAT_FUNCTIONS(SizedHires)},
    {34, "hi-eddi", "Hi-Eddi", "hed", "image/x-c64-hires", true, false, "is 9,218 bytes: a bitmap and, 8,192 bytes on, a screen", TARNEL_FACTS(HI_EDDI)},
    {35, "image-system-hires", "Image System (hires)", "ish", "image/x-c64-hires", true, false, "is 9,194 bytes: a bitmap and, 8,192 bytes on, a screen", TARNEL_FACTS(IMAGE_SYSTEM_HIRES)},
    {36, "wigmore", "Wigmore Artist 64", "a64 wig", "image/x-c64-multicolour", true, false, "is 10,242 bytes", TARNEL_FACTS(WIGMORE)},
    {37, "blazing-paddles", "Blazing Paddles", "bpl pi vic", "image/x-c64-multicolour", true, false, "is 10,242 bytes", TARNEL_FACTS(BLAZING_PADDLES)},
    {38, "cdu-paint", "CDU-Paint", "cdu", "image/x-c64-multicolour", true, false, "is 10,277 bytes", TARNEL_FACTS(CDU_PAINT)},
    {39, "cheese", "Cheese", "che", "image/x-c64-multicolour", true, false, "is 20,482 bytes", TARNEL_FACTS(CHEESE)},
    {40, "image-system", "Image System (multicolour)", "ism", "image/x-c64-multicolour", true, false, "is 10,218 bytes", TARNEL_FACTS(IMAGE_SYSTEM)},
    {41, "p64", "Multicolour bitmap, colours first (10,050 bytes)", "p64 fly", "image/x-c64-multicolour", true, false, "is 10,050 bytes", TARNEL_FACTS(P64)},
    {42, "vidcom", "Dolphin Ed / Vidcom 64", "dol bed vid vic", "image/x-c64-multicolour", true, false, "is 10,241, 10,242 or 10,050 bytes", TARNEL_FACTS(VIDCOM)},
    {43, "rainbow-painter", "Rainbow Painter", "rp", "image/x-c64-multicolour", true, false, "is 10,242 bytes", TARNEL_FACTS(RAINBOW_PAINTER)},
    {44, "saracen-paint", "Saracen Paint", "sar", "image/x-c64-multicolour", true, false, "is 10,219 bytes", TARNEL_FACTS(SARACEN)},
    {45, "single-palette", "Multicolour bitmap, one palette", "cle", "image/x-c64-multicolour", true, false, "is 8,194 bytes", TARNEL_FORMAT_FUNCTIONS(SinglePalette)},
    {46, "multicolour-window", "Multicolour window", "mwi mwin", "image/x-c64-multicolour", false, false, "gives its window in five bytes, then 10 bytes a cell", TARNEL_FORMAT_FUNCTIONS(Window)},
};
// clang-format on
}  // namespace

const FormatFamily BITMAP_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
