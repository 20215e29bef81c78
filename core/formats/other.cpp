// Pictures of other programs: Printfox / Pagefox pages (.bs .gb .pg),
// GoDot's 4-bit pictures (.4bt) and clips (.clp), and hires bitmaps with
// sprite layers over them (.shs .sh1 .sh2 .she).
//
// Printfox pages are monochrome, ink black on white paper, packed with runs
// marked by $9B. GoDot keeps 4 bits a pixel in 8 x 8 cells, each a
// brightness-ordered colour index, packed with runs marked by $AD. The
// sprite-layer pictures keep a hires bitmap and one or two layers of hires
// sprites, one colour to each column of sprites; the front layer covers the
// back one, and both cover the bitmap.
#include <cstring>
#include <vector>

#include "core/formats/cells.h"
#include "core/formats/readers.h"

namespace tarnel::readers {

using cells::DrawHiresCell;
using cells::Le16;

namespace {

constexpr uint8_t BLACK = 0;
constexpr uint8_t WHITE = 1;

uint8_t Black(ByteView) {
    return BLACK;
}

// `bits`' 1 bits as `colour` over the eight pixels at `out`; its 0 bits
// leave what is there. No branch: sprite bytes are as often 0 as not.
inline void OverlayByte(uint8_t* out, uint8_t bits, uint8_t colour) {
    constexpr uint64_t EVERY_BYTE = 0x0101010101010101ull;
    uint64_t mask, pixels;
    std::memcpy(&mask, cells::MSB_FIRST.bytes[bits], 8);
    std::memcpy(&pixels, out, 8);
    pixels = (colour * EVERY_BYTE & mask) | (pixels & ~mask);
    std::memcpy(out, &pixels, 8);
}

// A hires bitmap filling the canvas: cells `stride` a row from `bitmap`,
// each cell's 1 bits in its screen byte's high nibble and 0 bits in its low
// one, the screen bytes `stride` a row from `screen`. `data` holds them all.
void DrawHiresBitmap(ByteView data, uint32_t bitmap, uint32_t screen, uint32_t stride,
                     const ColourCanvas& canvas) {
    const uint32_t columns = canvas.width / 8;
    const uint32_t rows = canvas.height / 8;
    for (uint32_t row = 0; row < rows; ++row) {
        for (uint32_t column = 0; column < columns; ++column) {
            const uint32_t cell = row * stride + column;
            const uint8_t colours = data[screen + cell];
            DrawHiresCell(canvas, column * 8, row * 8, data.data + bitmap + cell * 8,
                          static_cast<uint8_t>(colours >> 4), colours & 15);
        }
    }
}

// A grid of hires sprites of 64 bytes each from `layer`, with its top left
// corner at (left, top): the slot in sprite column `column` and row `row`
// shows sprite column * columnStep + row * rowStep.
struct SpriteGrid {
    uint32_t layer;
    uint32_t columns, rows;
    uint32_t columnStep, rowStep;
    uint32_t left, top;
};

// The grid's 1 bits in colours[column] over the canvas; lines below the
// canvas are left out.
void OverlaySprites(ByteView data, const SpriteGrid& grid, const uint8_t* colours,
                    const ColourCanvas& canvas) {
    for (uint32_t row = 0; row < grid.rows; ++row) {
        for (uint32_t column = 0; column < grid.columns; ++column) {
            const uint32_t sprite =
                grid.layer + 64 * (column * grid.columnStep + row * grid.rowStep);
            if (!data.Holds(sprite, cells::SPRITE_DATA_BYTES)) continue;
            const uint32_t x = grid.left + column * cells::SPRITE_WIDTH;
            for (uint32_t line = 0; line < cells::SPRITE_HEIGHT; ++line) {
                const uint32_t y = grid.top + row * cells::SPRITE_HEIGHT + line;
                if (y >= canvas.height) break;
                uint8_t* out = canvas.Row(y) + x;
                for (uint32_t byte = 0; byte < 3; ++byte) {
                    OverlayByte(out + 8 * byte, data[sprite + line * 3 + byte], colours[column]);
                }
            }
        }
    }
}

// Sprite bits kept a column of 8 pixels at a time, the canvas's height in
// bytes a column from `at`; column c's 1 bits in colours[c / 3] (one colour
// to a sprite's width) over the canvas.
void OverlayColumns(ByteView data, uint32_t at, const uint8_t* colours,
                    const ColourCanvas& canvas) {
    for (uint32_t column = 0; column < canvas.width / 8; ++column) {
        const uint8_t* bits = data.data + at + column * canvas.height;
        for (uint32_t y = 0; y < canvas.height; ++y) {
            OverlayByte(canvas.Row(y) + column * 8, bits[y], colours[column / 3]);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Printfox / Pagefox: a type letter, then the page packed; 'B' a screen of
// 40 x 25 cells, 'G' a page of 80 x 50, 'P' its rows and columns in bytes 1
// and 2 and the page after the first $00 byte. The cells run row by row,
// 8 bytes each; a 1 bit is black ink, a 0 bit white paper.

namespace {

constexpr uint8_t PRINTFOX_RUN = 0x9B;

struct PrintfoxPage {
    uint32_t columns = 0, rows = 0;  // 0 when the file is not a page
    uint32_t data = 0;               // offset of the packed page
    bool wideCounts = false;         // 16-bit run counts ('B', 'G') or 8-bit ('P')
    uint32_t Bytes() const { return columns * rows * 8; }
};

PrintfoxPage ParsePrintfox(ByteView file) {
    if (file.size < 4) return {};
    switch (file[0]) {
        case 'B':
            return {40, 25, 1, true};
        case 'G':
            return {80, 50, 1, true};
        case 'P': {
            if (file[1] == 0 || file[2] == 0) return {};
            for (uint32_t at = 3; at < file.size; ++at) {
                if (file[at] == 0) return {file[2], file[1], at + 1, false};
            }
            return {};
        }
        default:
            return {};
    }
}

// Unpacks the page into `out` (`size` bytes; nullptr only counts): $9B, a
// count and a value stand for the value that many times; with 16-bit counts
// (low byte first) a count of 0 stands for nothing, with 8-bit ones for 256.
// Any other byte stands for itself. Returns the bytes unpacked.
uint32_t UnpackPrintfox(ByteView file, const PrintfoxPage& page, uint8_t* out, uint32_t size) {
    uint32_t filled = 0;
    uint32_t at = page.data;
    while (filled < size && at < file.size) {
        const uint8_t byte = file[at++];
        if (byte != PRINTFOX_RUN) {
            if (out != nullptr) out[filled] = byte;
            ++filled;
            continue;
        }
        uint32_t count;
        if (page.wideCounts) {
            if (!file.Holds(at, 3)) break;
            count = Le16(file, at);
            at += 2;
        } else {
            if (!file.Holds(at, 2)) break;
            count = file[at++];
            if (count == 0) count = 256;
        }
        const uint8_t value = file[at++];
        if (count > size - filled) count = size - filled;
        if (out != nullptr) std::memset(out + filled, value, count);
        filled += count;
    }
    return filled;
}

}  // namespace

// The type letter is one byte: a page opens by its name, and only when its
// packed stream fills the page.
Evidence PrintfoxSniff(ByteView file) {
    const PrintfoxPage page = ParsePrintfox(file);
    if (page.columns == 0) return Evidence::None;
    return UnpackPrintfox(file, page, nullptr, page.Bytes()) == page.Bytes() ? Evidence::Shape
                                                                             : Evidence::None;
}
PictureSize PrintfoxMeasure(ByteView file) {
    const PrintfoxPage page = ParsePrintfox(file);
    return {page.columns * 8, page.rows * 8};
}
uint8_t PrintfoxBackground(ByteView) {
    return WHITE;
}
void PrintfoxDraw(ByteView file, const ColourCanvas& canvas) {
    const PrintfoxPage page = ParsePrintfox(file);
    std::vector<uint8_t> bits(page.Bytes(), 0);
    UnpackPrintfox(file, page, bits.data(), page.Bytes());
    for (uint32_t cell = 0; cell < page.columns * page.rows; ++cell) {
        DrawHiresCell(canvas, (cell % page.columns) * 8, (cell / page.columns) * 8,
                      bits.data() + cell * 8, BLACK, WHITE);
    }
}

// ---------------------------------------------------------------------------
// GoDot: 4 bits a pixel in 8 x 8 cells, row by row; a cell's 8 lines of 4
// bytes, each byte two pixels, the left in the high nibble. A 4-bit picture
// is 40 x 25 cells, unpacked after a load address or packed after "GOD0";
// a clip gives its size in cells after "GOD1". Packed, $AD, a count and a
// value stand for the value that many times (a count of 0: 256 times), and
// a last $AD ends the file.

namespace {

constexpr uint8_t GODOT_RUN = 0xAD;
constexpr uint32_t GODOT_CELL_BYTES = 32;
constexpr uint32_t GODOT_PICTURE_BYTES = 40 * 25 * GODOT_CELL_BYTES;
constexpr uint32_t GODOT_RAW_SIZE = 2 + GODOT_PICTURE_BYTES;

// GoDot's colour indexes, dark to bright, as C64 colours.
constexpr uint8_t GODOT_COLOURS[16] = {0, 6, 9, 11, 2, 4, 8, 12, 14, 10, 5, 15, 3, 7, 13, 1};

bool GodotPacked(ByteView file, const char* mark, uint32_t least) {
    return file.size >= least && std::memcmp(file.data, mark, 4) == 0 &&
           file[file.size - 1] == GODOT_RUN;
}

// Unpacks file bytes [at, end) into `out` (`size` bytes). Returns the bytes
// unpacked; a stream that ends early leaves the rest as it was.
uint32_t UnpackGodot(ByteView file, uint32_t at, uint32_t end, uint8_t* out, uint32_t size) {
    uint32_t filled = 0;
    while (filled < size && at < end) {
        const uint8_t byte = file[at++];
        if (byte != GODOT_RUN) {
            out[filled++] = byte;
            continue;
        }
        if (end - at < 2) break;
        uint32_t count = file[at] == 0 ? 256 : file[at];
        const uint8_t value = file[at + 1];
        at += 2;
        if (count > size - filled) count = size - filled;
        std::memset(out + filled, value, count);
        filled += count;
    }
    return filled;
}

// Each byte's two pixels as C64 colours, the left one first.
struct GodotPairs {
    uint8_t colours[256][2];
};
constexpr GodotPairs MakeGodotPairs() {
    GodotPairs pairs{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        pairs.colours[byte][0] = GODOT_COLOURS[byte >> 4];
        pairs.colours[byte][1] = GODOT_COLOURS[byte & 15];
    }
    return pairs;
}
constexpr GodotPairs GODOT_PAIRS = MakeGodotPairs();

// 4-bit cells, `columns` a row, filling the canvas.
void DrawGodotCells(const uint8_t* data, uint32_t columns, const ColourCanvas& canvas) {
    const uint32_t cells = columns * (canvas.height / 8);
    for (uint32_t cell = 0; cell < cells; ++cell) {
        const uint8_t* bytes = data + cell * GODOT_CELL_BYTES;
        const uint32_t x = (cell % columns) * 8;
        const uint32_t y = (cell / columns) * 8;
        for (uint32_t line = 0; line < 8; ++line) {
            uint8_t pixels[8];
            for (uint32_t n = 0; n < 4; ++n) {
                std::memcpy(pixels + 2 * n, GODOT_PAIRS.colours[bytes[line * 4 + n]], 2);
            }
            std::memcpy(canvas.Row(y + line) + x, pixels, 8);
        }
    }
}

}  // namespace

Evidence Godot4BitSniff(ByteView file) {
    if (GodotPacked(file, "GOD0", 5)) return Evidence::Signature;
    return file.size == GODOT_RAW_SIZE && file[0] == 0x00 ? Evidence::Shape : Evidence::None;
}
PictureSize Godot4BitMeasure(ByteView) {
    return {320, 200};
}
uint8_t Godot4BitBackground(ByteView file) {
    return Black(file);
}
void Godot4BitDraw(ByteView file, const ColourCanvas& canvas) {
    if (file.size == GODOT_RAW_SIZE && file[0] == 0x00) {
        DrawGodotCells(file.data + 2, 40, canvas);
        return;
    }
    std::vector<uint8_t> data(GODOT_PICTURE_BYTES, 0);
    UnpackGodot(file, 4, file.size - 1, data.data(), GODOT_PICTURE_BYTES);
    DrawGodotCells(data.data(), 40, canvas);
}

// A clip: where it was cut from in bytes 4 and 5 (not drawn), its width and
// height in cells in bytes 6 and 7, then its cells packed.
Evidence GodotClipSniff(ByteView file) {
    return GodotPacked(file, "GOD1", 9) && file[6] != 0 && file[7] != 0 ? Evidence::Signature
                                                                        : Evidence::None;
}
PictureSize GodotClipMeasure(ByteView file) {
    return {file[6] * 8u, file[7] * 8u};
}
uint8_t GodotClipBackground(ByteView file) {
    return Black(file);
}
void GodotClipDraw(ByteView file, const ColourCanvas& canvas) {
    const uint32_t columns = file[6];
    const uint32_t size = columns * file[7] * GODOT_CELL_BYTES;
    std::vector<uint8_t> data(size, 0);
    UnpackGodot(file, 8, file.size - 1, data.data(), size);
    DrawGodotCells(data.data(), columns, canvas);
}

// ---------------------------------------------------------------------------
// Hires bitmaps with sprites over them.

namespace {

constexpr uint32_t SH_WIDTH_1 = 96;   // four sprites wide
constexpr uint32_t SH_WIDTH_2 = 192;  // eight sprites wide
constexpr uint32_t SH_HEIGHT = 168;   // eight sprites high
constexpr uint32_t SH_RAW_SIZE = 14770;
constexpr uint32_t SH1_PACKED_BYTES = 6304;
constexpr uint32_t SH2_PACKED_BYTES = 8576;

// The packed files: their first byte the escape, then `escape count value`
// for the value count times (a count of 0: nothing); any other byte stands
// for itself. Unpacks into `out` (`size` bytes; nullptr only counts) and
// returns the bytes unpacked.
uint32_t UnpackSh(ByteView file, uint8_t* out, uint32_t size) {
    if (file.size < 1) return 0;
    const uint8_t escape = file[0];
    uint32_t filled = 0;
    uint32_t at = 1;
    while (filled < size && at < file.size) {
        const uint8_t byte = file[at++];
        if (byte != escape) {
            if (out != nullptr) out[filled] = byte;
            ++filled;
            continue;
        }
        if (!file.Holds(at, 2)) break;
        uint32_t count = file[at];
        const uint8_t value = file[at + 1];
        at += 2;
        if (count > size - filled) count = size - filled;
        if (out != nullptr) std::memset(out + filled, value, count);
        filled += count;
    }
    return filled;
}

// A packed file of another size than the unpacked one opens only when its
// stream fills the picture.
Evidence ShSniff(ByteView file, uint32_t packedBytes) {
    if (file.size == SH_RAW_SIZE) return Evidence::Shape;
    return file.size >= 3 && UnpackSh(file, nullptr, packedBytes) == packedBytes ? Evidence::Shape
                                                                                 : Evidence::None;
}

std::vector<uint8_t> UnpackedSh(ByteView file, uint32_t size) {
    std::vector<uint8_t> data(size, 0);
    UnpackSh(file, data.data(), size);
    return data;
}

// Colours from `count` bytes at `at`, each its low nibble.
void LowNibbles(ByteView data, uint32_t at, uint32_t count, uint8_t* colours) {
    for (uint32_t n = 0; n < count; ++n) colours[n] = data[at + n] & 15;
}

}  // namespace

// SHS: a 320 x 200 hires bitmap (screen at 13,314) with a window of 4 x 8
// sprites at (16, 17) in two layers, back at 8,194 and front at 10,242,
// eight sprites down each column; the colours of each column's back and
// front sprites in the bitmap file's spare bytes at 8,002 and 8,006.
Evidence ShsSniff(ByteView file) {
    return file.size == 14338 ? Evidence::Shape : Evidence::None;
}
PictureSize ShsMeasure(ByteView) {
    return {320, 200};
}
uint8_t ShsBackground(ByteView file) {
    return Black(file);
}
void ShsDraw(ByteView file, const ColourCanvas& canvas) {
    DrawHiresBitmap(file, 2, 13314, 40, canvas);
    uint8_t back[4], front[4];
    LowNibbles(file, 8002, 4, back);
    LowNibbles(file, 8006, 4, front);
    OverlaySprites(file, {8194, 4, 8, 8, 1, 16, 17}, back, canvas);
    OverlaySprites(file, {10242, 4, 8, 8, 1, 16, 17}, front, canvas);
}

// SH1: 96 x 168, a back and a front layer. Unpacked (14,770 bytes): a
// bitmap and screen of 40 cells a row (at 6,690 and 448), the sprites four a
// row (back at 2,482, front at 4,530), each column's back colours at 426 and
// front colours at 430. Packed: a bitmap of 12 cells a row, the back and
// front bits a column of 8 pixels at a time (2,016 and 4,032), the screen
// (6,048), then a byte a sprite column: front colour high, back colour low.
Evidence Sh1Sniff(ByteView file) {
    return ShSniff(file, SH1_PACKED_BYTES);
}
PictureSize Sh1Measure(ByteView) {
    return {SH_WIDTH_1, SH_HEIGHT};
}
uint8_t Sh1Background(ByteView file) {
    return Black(file);
}
void Sh1Draw(ByteView file, const ColourCanvas& canvas) {
    uint8_t back[4], front[4];
    if (file.size == SH_RAW_SIZE) {
        DrawHiresBitmap(file, 6690, 448, 40, canvas);
        LowNibbles(file, 426, 4, back);
        LowNibbles(file, 430, 4, front);
        OverlaySprites(file, {2482, 4, 8, 1, 4, 0, 0}, back, canvas);
        OverlaySprites(file, {4530, 4, 8, 1, 4, 0, 0}, front, canvas);
        return;
    }
    const std::vector<uint8_t> unpacked = UnpackedSh(file, SH1_PACKED_BYTES);
    const ByteView data{unpacked.data(), SH1_PACKED_BYTES};
    DrawHiresBitmap(data, 0, 6048, 12, canvas);
    for (uint32_t n = 0; n < 4; ++n) {
        back[n] = data[6300 + n] & 15;
        front[n] = data[6300 + n] >> 4;
    }
    OverlayColumns(data, 2016, back, canvas);
    OverlayColumns(data, 4032, front, canvas);
}

// SH2: 192 x 168, one layer of sprites. Unpacked (14,770 bytes): a bitmap and
// screen of 40 cells a row (at 6,642 and 442), the sprites eight a row at
// 2,482, each column's colour at 426. Packed: a bitmap of 24 cells a row, the
// sprite bits a column of 8 pixels at a time (4,032), the screen (8,064) and
// the colours (8,568).
Evidence Sh2Sniff(ByteView file) {
    return ShSniff(file, SH2_PACKED_BYTES);
}
PictureSize Sh2Measure(ByteView) {
    return {SH_WIDTH_2, SH_HEIGHT};
}
uint8_t Sh2Background(ByteView file) {
    return Black(file);
}
void Sh2Draw(ByteView file, const ColourCanvas& canvas) {
    uint8_t colours[8];
    if (file.size == SH_RAW_SIZE) {
        DrawHiresBitmap(file, 6642, 442, 40, canvas);
        LowNibbles(file, 426, 8, colours);
        OverlaySprites(file, {2482, 8, 8, 1, 8, 0, 0}, colours, canvas);
        return;
    }
    const std::vector<uint8_t> unpacked = UnpackedSh(file, SH2_PACKED_BYTES);
    const ByteView data{unpacked.data(), SH2_PACKED_BYTES};
    DrawHiresBitmap(data, 0, 8064, 24, canvas);
    LowNibbles(data, 8568, 8, colours);
    OverlayColumns(data, 4032, colours, canvas);
}

// SHE: 3,250 bytes, 96 x 88: a bitmap and screen of 12 cells a row (at 2 and
// 1,058), over its top 84 lines four rows of sprites in two layers, the back
// sprites in slots 0-3 and the front ones in slots 4-7 of rows of eight from
// 1,190, one back colour (3,238) and one front colour (3,239). 8,642 bytes,
// 192 x 168: a bitmap and screen of 24 cells a row (at 2 and 8,130), one
// layer of sprites eight a row at 4,034 from line 1, each column's colour at
// 8,634.
namespace {
constexpr uint32_t SHE_SMALL = 3250;
constexpr uint32_t SHE_LARGE = 8642;
}  // namespace

Evidence SheSniff(ByteView file) {
    return file.size == SHE_SMALL || file.size == SHE_LARGE ? Evidence::Shape : Evidence::None;
}
PictureSize SheMeasure(ByteView file) {
    if (file.size == SHE_SMALL) return {SH_WIDTH_1, 88};
    return {SH_WIDTH_2, SH_HEIGHT};
}
uint8_t SheBackground(ByteView file) {
    return Black(file);
}
void SheDraw(ByteView file, const ColourCanvas& canvas) {
    if (file.size == SHE_SMALL) {
        DrawHiresBitmap(file, 2, 1058, 12, canvas);
        uint8_t back[4], front[4];
        std::memset(back, file[3238] & 15, 4);
        std::memset(front, file[3239] & 15, 4);
        OverlaySprites(file, {1190, 4, 4, 1, 8, 0, 0}, back, canvas);
        OverlaySprites(file, {1446, 4, 4, 1, 8, 0, 0}, front, canvas);
        return;
    }
    DrawHiresBitmap(file, 2, 8130, 24, canvas);
    uint8_t colours[8];
    LowNibbles(file, 8634, 8, colours);
    OverlaySprites(file, {4034, 8, 8, 1, 8, 0, 1}, colours, canvas);
}

namespace {
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {60, "printfox", "Printfox / Pagefox page", "bs gb pg", "image/x-c64-printfox", false, false, "starts with the type B (320 x 200), G (640 x 400) or P (its rows, its columns, bytes up to a $00), then a page packed with $9B runs that fills it", TARNEL_FORMAT_FUNCTIONS(Printfox)},
    {61, "godot-4bit", "GoDot 4-bit picture", "4bt", "image/x-c64-godot", false, true, "is 32,002 bytes starting with $00, or starts with \"GOD0\" and ends with $AD", TARNEL_FORMAT_FUNCTIONS(Godot4Bit)},
    {62, "godot-clip", "GoDot clip", "clp", "image/x-c64-godot", false, true, "starts with \"GOD1\", its width and height in cells at bytes 6 and 7 (not 0), and ends with $AD", TARNEL_FORMAT_FUNCTIONS(GodotClip)},
    {63, "shs", "SHS hires picture with sprites", "shs", "image/x-c64-hires-sprites", true, false, "is 14,338 bytes", TARNEL_FORMAT_FUNCTIONS(Shs)},
    {64, "sh1", "SH1 hires picture with sprites", "sh1", "image/x-c64-hires-sprites", false, false, "is 14,770 bytes, or holds an escape byte, then a stream packed with it that fills 6,304 bytes", TARNEL_FORMAT_FUNCTIONS(Sh1)},
    {65, "sh2", "SH2 hires picture with sprites", "sh2", "image/x-c64-hires-sprites", false, false, "is 14,770 bytes, or holds an escape byte, then a stream packed with it that fills 8,576 bytes", TARNEL_FORMAT_FUNCTIONS(Sh2)},
    {66, "she", "SHE hires picture with sprites", "she", "image/x-c64-hires-sprites", true, false, "is 3,250 or 8,642 bytes", TARNEL_FORMAT_FUNCTIONS(She)},
};
// clang-format on
}  // namespace

const FormatFamily OTHER_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
