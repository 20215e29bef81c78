// Interlaced pictures: two frames a C64 shows one after the other, every
// other screen refresh, so that the eye mixes their colours. Each reader
// draws either frame alone (the library blends them, or shows the one asked
// for) at its own place: some programs show the second frame one pixel to
// the right of the first, so that its first pixel shows what bit pair 00
// stands for there (the line's background, or a logo's 00 colour).
//
// True Paint (raw, and its self-extracting packed files), FP, Pixel Perfect
// (raw and packed), FFLI, IHE, Hires-Interlace (Feniks), HLE, VHI (raw and
// packed), ECI (raw and packed ECP), the interlaced logos ILE and MLE, and
// hires bitmaps with sprite layers (ISH, ESH, SHI); UFLI and Mufflon
// pictures of two frames (UIF, MUI) and SIF, two frames of hires under two
// layers of sprites, 96 x 167, packed. The FLI ones are drawn
// 320 pixels wide: stored, every column as its bytes say; as a C64 shows
// them, the leftmost 24 pixels of each line light grey (the screen's $FF
// the VIC-II reads there) where a colour comes from screen or colour
// memory, and the line's background for bit pair 00.
//
// None of them carries a mark: each opens when its name says so and its
// size (or its stream) fits.
#include <cstring>
#include <vector>

#include "core/formats/cells.h"
#include "core/formats/fli_frames.h"
#include "core/formats/readers.h"
#include "core/formats/unpackers.h"

namespace tarnel::readers {

using unpackers::ZeroCount;

namespace {

constexpr uint8_t BLACK = 0;
constexpr uint32_t COLUMNS = 40;
constexpr uint32_t CELL_ROWS = 25;
constexpr uint32_t WIDTH = COLUMNS * 8;
constexpr uint32_t HEIGHT = CELL_ROWS * 8;
constexpr uint32_t SCREEN_BYTES = 1024;  // one of an FLI's eight screens
constexpr uint32_t FLI_STRIP_COLUMNS = 3;
constexpr uint32_t NONE = 0xFFFFFFFF;

uint32_t TwoFrames(ByteView) {
    return 2;
}

// One frame of a bitmap of 40 x 25 cells, as offsets into the image (the
// raw file's bytes, load address and all).
struct CellFrame {
    bool multicolour;
    bool fli;      // eight screens, line y of a cell row using screen y mod 8
    bool shifted;  // one pixel right; its first pixel the line's background
    uint32_t bitmap;
    uint32_t screen;         // NONE: every cell `fixedScreen`
    uint32_t colour;         // colour memory (multicolour)
    uint32_t background;     // the background's byte (multicolour); NONE: black
    bool backgroundPerLine;  // a table of a byte a line from `background`
    uint8_t fixedScreen;
};

uint8_t LineBackground(ByteView image, const CellFrame& f, uint32_t y) {
    if (f.background == NONE) return BLACK;
    return image[f.background + (f.backgroundPerLine ? y : 0)] & 15;
}

// Draws frame `f` of `image` into a 320 x 200 canvas; as the C64 shows it
// (`c64View`), an FLI's strip as the VIC-II shows it.
void DrawCellFrame(ByteView image, const CellFrame& f, const ColourCanvas& canvas, bool c64View) {
    uint8_t line[WIDTH];
    for (uint32_t y = 0; y < HEIGHT; ++y) {
        const uint8_t background = LineBackground(image, f, y);
        const uint32_t row = y / 8;
        const uint32_t firstCell = row * COLUMNS;
        const uint8_t* bitmap = image.data + f.bitmap + firstCell * 8 + y % 8;
        const uint8_t* screens =
            f.screen == NONE
                ? nullptr
                : image.data + f.screen + (f.fli ? SCREEN_BYTES * (y % 8) : 0) + firstCell;
        const uint8_t* colours = f.multicolour ? image.data + f.colour + firstCell : nullptr;
        // Each colour twice over: the two pixels of a multicolour pair.
        uint16_t pairs[4] = {static_cast<uint16_t>(background * 0x101u), 0, 0, 0};
        for (uint32_t column = 0; column < COLUMNS; ++column) {
            const uint8_t bits = bitmap[column * 8];
            uint8_t screen = screens != nullptr ? screens[column] : f.fixedScreen;
            uint8_t colour = colours != nullptr ? colours[column] : 0;
            if (c64View && f.fli && column < FLI_STRIP_COLUMNS) {
                screen = 0xFF;
                colour = 0x0F;
            }
            uint8_t* out = line + column * 8;
            if (!f.multicolour) {
                cells::DrawHiresByte(out, bits, static_cast<uint8_t>(screen >> 4), screen & 15);
                continue;
            }
            pairs[1] = static_cast<uint16_t>((screen >> 4) * 0x101u);
            pairs[2] = static_cast<uint16_t>((screen & 15) * 0x101u);
            pairs[3] = static_cast<uint16_t>((colour & 15) * 0x101u);
            std::memcpy(out, &pairs[bits >> 6], 2);
            std::memcpy(out + 2, &pairs[(bits >> 4) & 3], 2);
            std::memcpy(out + 4, &pairs[(bits >> 2) & 3], 2);
            std::memcpy(out + 6, &pairs[bits & 3], 2);
        }
        uint8_t* to = canvas.Row(y);
        if (f.shifted) {
            to[0] = background;
            std::memcpy(to + 1, line, WIDTH - 1);
        } else {
            std::memcpy(to, line, WIDTH);
        }
    }
}

// A format of two such frames: its raw layout's bytes (the file itself, or
// unpacked into `scratch` at the offsets of a raw file) and its frames.
struct CellFormat {
    ByteView (*image)(ByteView file, std::vector<uint8_t>* scratch);
    CellFrame frames[2];
};

ByteView FileItself(ByteView file, std::vector<uint8_t>*) {
    return file;
}

uint8_t CellBackground(const CellFormat& format, ByteView file) {
    std::vector<uint8_t> scratch;
    return LineBackground(format.image(file, &scratch), format.frames[0], 0);
}

void DrawCellFormat(const CellFormat& format, ByteView file, const ColourCanvas& canvas,
                    uint32_t frame, bool c64View) {
    std::vector<uint8_t> scratch;
    DrawCellFrame(format.image(file, &scratch), format.frames[frame == 1 ? 1 : 0], canvas, c64View);
}

PictureSize FullScreen(ByteView) {
    return {WIDTH, HEIGHT};
}

// A packed stream unpacked into a raw file's layout: `imageBytes` bytes,
// `count` unpacked ones from offset `from` on (the others 0).
using Unpack = uint32_t (*)(ByteView file, uint8_t* out, uint32_t size);

ByteView Unpacked(ByteView file, Unpack unpack, uint32_t imageBytes, uint32_t from, uint32_t count,
                  std::vector<uint8_t>* scratch) {
    scratch->assign(imageBytes, 0);
    unpack(file, scratch->data() + from, count);
    return {scratch->data(), imageBytes};
}

}  // namespace

// The four functions of a row, and two more for its frames.
#define TARNEL_INTERLACED_FUNCTIONS(Name) \
    TARNEL_FRAME_FORMAT_FUNCTIONS(Name), TwoFrames, Name##DrawFrame

// A format of CellFormat `FORMAT`: its picture, background and frames.
#define TARNEL_CELL_FORMAT(Name, FORMAT)                                            \
    PictureSize Name##Measure(ByteView file) {                                      \
        return FullScreen(file);                                                    \
    }                                                                               \
    uint8_t Name##Background(ByteView file) {                                       \
        return CellBackground(FORMAT, file);                                        \
    }                                                                               \
    void Name##DrawFrame(ByteView file, const ColourCanvas& canvas, uint32_t frame, \
                         bool c64View) {                                            \
        DrawCellFormat(FORMAT, file, canvas, frame, c64View);                       \
    }

// True Paint: screen 1, the background, bitmaps 1 and 2, screen 2 and the
// colour memory both frames share; multicolour, frame 2 a pixel right.
// Unpacked, 19,434 bytes; packed, a program that unpacks itself: its
// stream read from the end, with the keys and actions it uses at 79 and
// 120 to 141 (in the program's code).
namespace {
constexpr uint32_t TRUE_PAINT_BYTES = 19434;
uint32_t TruePaintUnpack(ByteView file, uint8_t* out, uint32_t size) {
    return unpackers::UnpackTruePaint(file, out, size);
}
ByteView TruePaintImage(ByteView file, std::vector<uint8_t>* scratch) {
    if (file.size == TRUE_PAINT_BYTES) return file;
    return Unpacked(file, TruePaintUnpack, TRUE_PAINT_BYTES, 2, TRUE_PAINT_BYTES - 2, scratch);
}
constexpr CellFormat TRUE_PAINT = {TruePaintImage,
                                   {{true, false, false, 1026, 2, 18434, 1002, false, 0},
                                    {true, false, true, 9218, 17410, 18434, 1002, false, 0}}};
}  // namespace

Evidence TruePaintSniff(ByteView file) {
    if (file.size == TRUE_PAINT_BYTES) return Evidence::Shape;
    if (file.size < unpackers::TRUE_PAINT_TABLE_END) return Evidence::None;
    return TruePaintUnpack(file, nullptr, TRUE_PAINT_BYTES - 2) == TRUE_PAINT_BYTES - 2
               ? Evidence::Shape
               : Evidence::None;
}
TARNEL_CELL_FORMAT(TruePaint, TRUE_PAINT)

// FP (19,266 bytes): the colour memory, screens 1 and 2, bitmap 1, the
// background, bitmap 2; as True Paint.
namespace {
constexpr CellFormat FP = {FileItself,
                           {{true, false, false, 3074, 1026, 2, 11074, false, 0},
                            {true, false, true, 11266, 2050, 2, 11074, false, 0}}};
}  // namespace

Evidence FpSniff(ByteView file) {
    return file.size == 19266 ? Evidence::Shape : Evidence::None;
}
TARNEL_CELL_FORMAT(Fp, FP)

// Pixel Perfect: two multicolour FLI frames sharing the colour memory and
// the background, frame 2 a pixel right. Raw, 33,602 bytes; packed, $10 $10
// $10 and the escape byte after the load address, then runs of escape, n,
// value (n + 1 copies) that fill the picture and end where the file does.
namespace {
constexpr uint32_t PIXEL_PERFECT_BYTES = 33602;
constexpr uint32_t PIXEL_PERFECT_STREAM = 6;
bool PixelPerfectPacked(ByteView file) {
    if (file.size < PIXEL_PERFECT_STREAM || file[2] != 0x10 || file[3] != 0x10 || file[4] != 0x10) {
        return false;
    }
    uint32_t next = 0;
    return unpackers::UnpackCountPlusOne(file, PIXEL_PERFECT_STREAM, file[5], nullptr,
                                         PIXEL_PERFECT_BYTES - 2,
                                         &next) == PIXEL_PERFECT_BYTES - 2 &&
           next == file.size;
}
uint32_t PixelPerfectUnpack(ByteView file, uint8_t* out, uint32_t size) {
    return unpackers::UnpackCountPlusOne(file, PIXEL_PERFECT_STREAM, file[5], out, size, nullptr);
}
ByteView PixelPerfectImage(ByteView file, std::vector<uint8_t>* scratch) {
    if (!PixelPerfectPacked(file)) return file;
    return Unpacked(file, PixelPerfectUnpack, PIXEL_PERFECT_BYTES, 2, PIXEL_PERFECT_BYTES - 2,
                    scratch);
}
constexpr CellFormat PIXEL_PERFECT = {PixelPerfectImage,
                                      {{true, true, false, 9218, 1026, 2, 17281, false, 0},
                                       {true, true, true, 25602, 17410, 2, 17281, false, 0}}};
}  // namespace

Evidence PixelPerfectSniff(ByteView file) {
    return PixelPerfectPacked(file) || file.size == PIXEL_PERFECT_BYTES ? Evidence::Shape
                                                                        : Evidence::None;
}
TARNEL_CELL_FORMAT(PixelPerfect, PIXEL_PERFECT)

// FFLI (26,115 bytes, 'f' after the load address): two multicolour FLI
// frames over one bitmap, each with its own screens and a background a line;
// the colour memory shared; neither shifted.
namespace {
constexpr CellFormat FFLI = {FileItself,
                             {{true, true, false, 9475, 1283, 259, 3, true, 0},
                              {true, true, false, 9475, 17667, 259, 25859, true, 0}}};
}  // namespace

Evidence FfliSniff(ByteView file) {
    return file.size == 26115 && file[2] == 'f' ? Evidence::Shape : Evidence::None;
}
TARNEL_CELL_FORMAT(Ffli, FFLI)

// IHE (16,194 bytes): two hires bitmaps without colours, 1 bits black and 0
// bits grey.
namespace {
constexpr uint8_t IHE_COLOURS = 0x0C;
constexpr CellFormat IHE = {FileItself,
                            {{false, false, false, 2, NONE, 0, NONE, false, IHE_COLOURS},
                             {false, false, false, 8194, NONE, 0, NONE, false, IHE_COLOURS}}};
}  // namespace

Evidence IheSniff(ByteView file) {
    return file.size == 16194 ? Evidence::Shape : Evidence::None;
}
TARNEL_CELL_FORMAT(Ihe, IHE)

// Hires-Interlace by Feniks (24,578 bytes): bitmap 1, screen 2, screen 1,
// bitmap 2; two hires frames.
namespace {
constexpr CellFormat HIRES_INTERLACE = {FileItself,
                                        {{false, false, false, 2, 10242, 0, NONE, false, 0},
                                         {false, false, false, 16386, 9218, 0, NONE, false, 0}}};
}  // namespace

Evidence HiresInterlaceSniff(ByteView file) {
    return file.size == 24578 ? Evidence::Shape : Evidence::None;
}
TARNEL_CELL_FORMAT(HiresInterlace, HIRES_INTERLACE)

// HLE (32,770 bytes): bitmap 1, screen 1, screen 2, bitmap 2.
namespace {
constexpr CellFormat HLE = {FileItself,
                            {{false, false, false, 2, 8194, 0, NONE, false, 0},
                             {false, false, false, 24578, 16386, 0, NONE, false, 0}}};
}  // namespace

Evidence HleSniff(ByteView file) {
    return file.size == 32770 ? Evidence::Shape : Evidence::None;
}
TARNEL_CELL_FORMAT(Hle, HLE)

// VHI: bitmaps 1 and 2 and the screen they share; raw (17,389 bytes), or
// packed from offset 2 in commands $00 n (n literals) and $01 n value.
namespace {
constexpr uint32_t VHI_BYTES = 17389;
constexpr uint32_t VHI_UNPACKED = 17384;
uint32_t VhiUnpack(ByteView file, uint8_t* out, uint32_t size) {
    return unpackers::UnpackVhi(file, 2, out, size);
}
ByteView VhiImage(ByteView file, std::vector<uint8_t>* scratch) {
    if (file.size == VHI_BYTES) return file;
    return Unpacked(file, VhiUnpack, VHI_BYTES, 2, VHI_UNPACKED, scratch);
}
constexpr CellFormat VHI = {VhiImage,
                            {{false, false, false, 2, 16386, 0, NONE, false, 0},
                             {false, false, false, 8194, 16386, 0, NONE, false, 0}}};
}  // namespace

Evidence VhiSniff(ByteView file) {
    if (file.size == VHI_BYTES) return Evidence::Shape;
    return VhiUnpack(file, nullptr, VHI_UNPACKED) == VHI_UNPACKED ? Evidence::Shape
                                                                  : Evidence::None;
}
TARNEL_CELL_FORMAT(Vhi, VHI)

// ECI: two hires FLI frames, each a bitmap and eight screens; raw (32,770
// bytes), or packed (ECP) as runs of escape, count, value after the escape
// byte at 2.
namespace {
constexpr uint32_t ECI_BYTES = 32770;
uint32_t EciUnpack(ByteView file, uint8_t* out, uint32_t size) {
    if (file.size < 4) return 0;
    return unpackers::UnpackEscapeRuns(file, 3, file[2], ZeroCount::Nothing, out, size);
}
ByteView EciImage(ByteView file, std::vector<uint8_t>* scratch) {
    if (file.size == ECI_BYTES) return file;
    return Unpacked(file, EciUnpack, ECI_BYTES, 2, ECI_BYTES - 2, scratch);
}
constexpr CellFormat ECI = {EciImage,
                            {{false, true, false, 2, 8194, 0, NONE, false, 0},
                             {false, true, false, 16386, 24578, 0, NONE, false, 0}}};
}  // namespace

Evidence EciSniff(ByteView file) {
    if (file.size == ECI_BYTES) return Evidence::Shape;
    return EciUnpack(file, nullptr, ECI_BYTES - 2) == ECI_BYTES - 2 ? Evidence::Shape
                                                                    : Evidence::None;
}
TARNEL_CELL_FORMAT(Eci, ECI)

// The interlaced logos (4,098 bytes): two blocks of 2,048 bytes, frame 1's
// second, each cell n's eight bytes at 8n; multicolour in four colours for
// the whole logo, frame 2 a pixel right (its first pixel the 00 colour).
//   ILE: 6 rows of cells (320 x 48), the colours in the last four bytes
//        (the last as colour memory holds it, 0 to 7).
//   MLE: 7 rows of cells (320 x 56) showing characters 0 to 255 (the rest
//        black), in black, brown, orange and green.
namespace {
constexpr uint32_t LOGO_BYTES = 4098;
constexpr uint32_t LOGO_BLOCKS[2] = {2050, 2};
constexpr uint32_t LOGO_CHARACTERS = 256;

void DrawLogoFrame(ByteView file, uint32_t frame, uint32_t rows, const uint8_t colours[4],
                   const ColourCanvas& canvas) {
    const uint32_t block = LOGO_BLOCKS[frame == 1 ? 1 : 0];
    uint8_t line[WIDTH];
    for (uint32_t y = 0; y < rows * 8; ++y) {
        for (uint32_t column = 0; column < COLUMNS; ++column) {
            const uint32_t cell = (y / 8) * COLUMNS + column;
            uint8_t* out = line + column * 8;
            if (cell >= LOGO_CHARACTERS) {
                std::memset(out, BLACK, 8);
                continue;
            }
            const uint8_t bits = file[block + cell * 8 + y % 8];
            for (uint32_t pair = 0; pair < 4; ++pair) {
                const uint8_t c = colours[(bits >> (6 - 2 * pair)) & 3];
                out[2 * pair] = c;
                out[2 * pair + 1] = c;
            }
        }
        uint8_t* to = canvas.Row(y);
        if (frame == 1) {
            to[0] = colours[0];
            std::memcpy(to + 1, line, WIDTH - 1);
        } else {
            std::memcpy(to, line, WIDTH);
        }
    }
}

constexpr uint32_t ILE_ROWS = 6;
constexpr uint32_t ILE_COLOURS = 4094;
void IleColours(ByteView file, uint8_t colours[4]) {
    colours[0] = file[ILE_COLOURS] & 15;
    colours[1] = file[ILE_COLOURS + 1] & 15;
    colours[2] = file[ILE_COLOURS + 2] & 15;
    colours[3] = file[ILE_COLOURS + 3] & 7;
}

constexpr uint32_t MLE_ROWS = 7;
constexpr uint8_t MLE_COLOURS[4] = {BLACK, 9, 8, 5};
}  // namespace

Evidence IleSniff(ByteView file) {
    return file.size == LOGO_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize IleMeasure(ByteView) {
    return {WIDTH, ILE_ROWS * 8};
}
uint8_t IleBackground(ByteView file) {
    return file[ILE_COLOURS] & 15;
}
void IleDrawFrame(ByteView file, const ColourCanvas& canvas, uint32_t frame, bool) {
    uint8_t colours[4];
    IleColours(file, colours);
    DrawLogoFrame(file, frame, ILE_ROWS, colours, canvas);
}

Evidence MleSniff(ByteView file) {
    return file.size == LOGO_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize MleMeasure(ByteView) {
    return {WIDTH, MLE_ROWS * 8};
}
uint8_t MleBackground(ByteView) {
    return BLACK;
}
void MleDrawFrame(ByteView file, const ColourCanvas& canvas, uint32_t frame, bool) {
    DrawLogoFrame(file, frame, MLE_ROWS, MLE_COLOURS, canvas);
}

// Hires bitmaps under layers of hires sprites, two frames. The sprites
// stand in columns 24 pixels wide from the left edge, 21 lines a row; each
// layer has a colour a sprite column, and the front layer covers the back
// one, both the bitmap.
namespace {

struct SpriteLayer {
    uint32_t data;       // sprite n's 63 bytes at data + 64 n; NONE: no layer
    uint32_t colours;    // a byte a sprite column
    uint32_t perColumn;  // sprite number: perColumn x column + perRow x row
    uint32_t perRow;
};

struct SpriteFrame {
    uint32_t bitmap;  // `columns` cells a row, with a screen byte each
    uint32_t screen;
    SpriteLayer back, front;
};

struct SpriteFormat {
    uint32_t columns;        // of cells: the picture is columns x 8 by 200
    uint32_t spriteColumns;  // the layers' width, in sprites
    ByteView (*image)(ByteView file, std::vector<uint8_t>* scratch);
    SpriteFrame frames[2];
};

void OverlayLayer(ByteView image, const SpriteLayer& layer, uint32_t spriteColumns,
                  const ColourCanvas& canvas) {
    if (layer.data == NONE) return;
    constexpr uint64_t EVERY_BYTE = 0x0101010101010101ull;
    for (uint32_t y = 0; y < canvas.height; ++y) {
        uint8_t* row = canvas.Row(y);
        for (uint32_t column = 0; column < spriteColumns; ++column) {
            const uint32_t sprite = layer.perColumn * column + layer.perRow * (y / 21);
            const uint8_t* bytes = image.data + layer.data + 64 * sprite + (y % 21) * 3;
            const uint64_t colour = (image[layer.colours + column] & 15) * EVERY_BYTE;
            for (uint32_t n = 0; n < 3; ++n) {
                if (bytes[n] == 0) continue;
                uint8_t* out = row + column * 24 + n * 8;
                uint64_t mask, pixels;
                std::memcpy(&mask, cells::MSB_FIRST.bytes[bytes[n]], 8);
                std::memcpy(&pixels, out, 8);
                pixels = (colour & mask) | (pixels & ~mask);
                std::memcpy(out, &pixels, 8);
            }
        }
    }
}

void DrawSpriteFormat(const SpriteFormat& format, ByteView file, const ColourCanvas& canvas,
                      uint32_t frame) {
    std::vector<uint8_t> scratch;
    const ByteView image = format.image(file, &scratch);
    const SpriteFrame& f = format.frames[frame == 1 ? 1 : 0];
    for (uint32_t row = 0; row < CELL_ROWS; ++row) {
        for (uint32_t column = 0; column < format.columns; ++column) {
            const uint32_t cell = row * format.columns + column;
            const uint8_t screen = image[f.screen + cell];
            cells::DrawHiresCell(canvas, column * 8, row * 8, image.data + f.bitmap + cell * 8,
                                 static_cast<uint8_t>(screen >> 4), screen & 15);
        }
    }
    OverlayLayer(image, f.back, format.spriteColumns, canvas);
    OverlayLayer(image, f.front, format.spriteColumns, canvas);
}

uint8_t Black(ByteView) {
    return BLACK;
}

}  // namespace

#define TARNEL_SPRITE_FORMAT(Name, FORMAT)                                                  \
    PictureSize Name##Measure(ByteView) {                                                   \
        return {FORMAT.columns * 8, HEIGHT};                                                \
    }                                                                                       \
    uint8_t Name##Background(ByteView file) {                                               \
        return Black(file);                                                                 \
    }                                                                                       \
    void Name##DrawFrame(ByteView file, const ColourCanvas& canvas, uint32_t frame, bool) { \
        DrawSpriteFormat(FORMAT, file, canvas, frame);                                      \
    }

// ISH (30,738 bytes): two blocks of 15,368 bytes laid out as a VIC-II bank:
// the bitmap, back and front sprites (four columns of ten, over the left 96
// pixels), the screen at 13,312, then the back and front colours.
namespace {
constexpr uint32_t ISH_BLOCKS[2] = {2, 15370};
constexpr SpriteFrame IshFrame(uint32_t b) {
    return {b, b + 13312, {b + 8192, b + 15360, 10, 1}, {b + 10752, b + 15364, 10, 1}};
}
constexpr SpriteFormat ISH = {
    COLUMNS, 4, FileItself, {IshFrame(ISH_BLOCKS[0]), IshFrame(ISH_BLOCKS[1])}};
}  // namespace

Evidence IshSniff(ByteView file) {
    return file.size == 30738 ? Evidence::Shape : Evidence::None;
}
TARNEL_SPRITE_FORMAT(Ish, ISH)

// ESH and SHI: after the load address a byte 0 and the raw bytes, or
// another byte and a stream of commands (b literals, or b - 128 copies of
// one byte) that unpacks to them.
//   ESH: 192 x 200: bitmaps 1 and 2 (24 cells a row), sprites 1 and 2 (8 a
//        row), the screen both share, a colour a sprite column.
//   SHI: 96 x 200: bitmaps 1 and 2 (12 cells a row), each frame's rows of
//        8 sprites (4 front, 4 back), the screen, the front and back
//        colours.
namespace {
constexpr uint32_t ESH_BYTES = 20454;
constexpr uint32_t ESH_UNPACKED_END = 20452;
constexpr uint32_t SHI_BYTES = 15355;
constexpr uint32_t SHI_UNPACKED_END = 15355;
constexpr uint32_t COMMANDS_START = 3;

bool RawCommands(ByteView file, uint32_t raw) {
    return file.size == raw && file[2] == 0;
}
// ESH's byte 2 says which: 0 raw, any other packed. SHI's files are raw
// only when both size and byte fit.
bool EshPacked(ByteView file) {
    return file.size > COMMANDS_START && file[2] != 0;
}
uint32_t CommandsUnpack(ByteView file, uint8_t* out, uint32_t size) {
    return unpackers::UnpackCommandRuns(file, COMMANDS_START, out, size);
}
Evidence CommandsSniff(ByteView file, uint32_t raw, uint32_t end, bool packed) {
    if (RawCommands(file, raw)) return Evidence::Shape;
    if (!packed || file.size < COMMANDS_START + 1) return Evidence::None;
    return CommandsUnpack(file, nullptr, end - COMMANDS_START) == end - COMMANDS_START
               ? Evidence::Shape
               : Evidence::None;
}
ByteView EshImage(ByteView file, std::vector<uint8_t>* scratch) {
    if (!EshPacked(file)) return file;
    return Unpacked(file, CommandsUnpack, ESH_BYTES, COMMANDS_START,
                    ESH_UNPACKED_END - COMMANDS_START, scratch);
}
ByteView ShiImage(ByteView file, std::vector<uint8_t>* scratch) {
    if (RawCommands(file, SHI_BYTES)) return file;
    return Unpacked(file, CommandsUnpack, SHI_BYTES, COMMANDS_START,
                    SHI_UNPACKED_END - COMMANDS_START, scratch);
}
constexpr SpriteFormat ESH = {24,
                              8,
                              EshImage,
                              {{3, 19843, {NONE, 0, 0, 0}, {9603, 20443, 1, 8}},
                               {4803, 19843, {NONE, 0, 0, 0}, {14723, 20443, 1, 8}}}};
constexpr SpriteFormat SHI = {12,
                              4,
                              ShiImage,
                              {{3, 15043, {5059, 15347, 1, 8}, {4803, 15343, 1, 8}},
                               {2403, 15043, {10179, 15347, 1, 8}, {9923, 15343, 1, 8}}}};
}  // namespace

Evidence EshSniff(ByteView file) {
    return CommandsSniff(file, ESH_BYTES, ESH_UNPACKED_END, EshPacked(file));
}
TARNEL_SPRITE_FORMAT(Esh, ESH)

Evidence ShiSniff(ByteView file) {
    return CommandsSniff(file, SHI_BYTES, SHI_UNPACKED_END, true);
}
TARNEL_SPRITE_FORMAT(Shi, SHI)

// UIF: UFLI pictures of two frames, packed backwards (the escape byte at 2,
// the stream read from the file's end) into 32,576 bytes: each frame's four
// screens, sprites and bitmap, 16,384 bytes apart; the sprites of both in
// the colour at 4,080.
namespace {
constexpr uint32_t UIF_BYTES = 32576;
constexpr uint32_t UIF_LEAST = 6;
constexpr uint32_t UIF_FRAME = 16384;
constexpr fli_frames::UfliLayout UifLayout(uint32_t frame) {
    return {frame * UIF_FRAME + 4096,
            frame * UIF_FRAME,
            frame * UIF_FRAME + 8192,
            fli_frames::NOWHERE,
            4080,
            0};
}
uint32_t UifUnpack(ByteView file, uint8_t* out) {
    if (file.size < UIF_LEAST) return 0;
    return unpackers::UnpackBackwardRuns(file, 2, file.size, file[2], out, UIF_BYTES);
}
}  // namespace

Evidence UifSniff(ByteView file) {
    return UifUnpack(file, nullptr) == UIF_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize UifMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t UifBackground(ByteView) {
    return BLACK;
}
void UifDrawFrame(ByteView file, const ColourCanvas& canvas, uint32_t frame, bool c64View) {
    std::vector<uint8_t> image(UIF_BYTES, 0);
    UifUnpack(file, image.data());
    fli_frames::DrawUfli({image.data(), UIF_BYTES}, UifLayout(frame == 1 ? 1 : 0), canvas, c64View);
}

// MUI (44,034 bytes): two Mufflon pictures. The first is the file itself
// (its first 21,762 bytes); the second's bytes 2 to 11,265 lie at 32,770
// and its bytes 11,266 to 21,761 at 22,018. Every sprite pointer of both
// names one of its sprites.
namespace {
constexpr uint32_t MUI_BYTES = 44034;
constexpr uint32_t MUI_SECOND_LOW = 32770;   // image bytes 2 to 11,265
constexpr uint32_t MUI_SECOND_HIGH = 22018;  // image bytes 11,266 to 21,761
constexpr uint32_t MUI_SPLIT = 11266;
std::vector<uint8_t> MuiSecond(ByteView file) {
    std::vector<uint8_t> image(fli_frames::MUFFLON_IMAGE_BYTES, 0);
    if (file.size != MUI_BYTES) return image;
    std::memcpy(image.data() + 2, file.data + MUI_SECOND_LOW, MUI_SPLIT - 2);
    std::memcpy(image.data() + MUI_SPLIT, file.data + MUI_SECOND_HIGH,
                fli_frames::MUFFLON_IMAGE_BYTES - MUI_SPLIT);
    return image;
}
static_assert(MUI_SECOND_LOW + MUI_SPLIT - 2 == MUI_BYTES, "MUI's second frame, low part");
}  // namespace

Evidence MuiSniff(ByteView file) {
    if (file.size != MUI_BYTES || !fli_frames::MufflonPointersFit(file)) return Evidence::None;
    const std::vector<uint8_t> second = MuiSecond(file);
    return fli_frames::MufflonPointersFit({second.data(), static_cast<uint32_t>(second.size())})
               ? Evidence::Shape
               : Evidence::None;
}
PictureSize MuiMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t MuiBackground(ByteView) {
    return BLACK;
}
void MuiDrawFrame(ByteView file, const ColourCanvas& canvas, uint32_t frame, bool c64View) {
    if (frame != 1) {
        fli_frames::DrawMufflon(file.size == MUI_BYTES ? file : ByteView{}, canvas, c64View);
        return;
    }
    const std::vector<uint8_t> second = MuiSecond(file);
    fli_frames::DrawMufflon({second.data(), static_cast<uint32_t>(second.size())}, canvas, c64View);
}

// SIF: no load address; two blocks, one a frame, then four colours (front
// and back sprites of frame 1, then of frame 2). A block is a 16-bit length
// (plus 37,890), the escape byte and a stream read backwards that unpacks
// to 8,176 bytes of the 96 x 167 layout of a line at a time. A run that
// does not fit frame 1 goes on at the top of frame 2's bytes. The file ends
// with the colours.
namespace {
constexpr uint32_t SIF_FRAME = 8176;
constexpr uint32_t SIF_LENGTH_BASE = 37890;
constexpr uint32_t SIF_COLOURS = 4;
constexpr uint32_t SIF_WIDTH = 96;
constexpr uint32_t SIF_LINES = 167;
static_assert(fli_frames::LINE_LAYOUT_BYTES <= SIF_FRAME, "SIF's frame");

// A run still owed, carried from one block into the next.
struct OwedRun {
    uint32_t count = 0;
    uint8_t value = 0;
};

// Reads the stream of bytes [low, end) from its end down into `out` (null:
// counts), its last byte first; returns how many bytes it wrote.
uint32_t SifUnpackBlock(ByteView file, uint32_t low, uint32_t end, uint8_t escape, OwedRun* owed,
                        uint8_t* out, uint32_t size) {
    uint32_t high = size;
    auto repeat = [&](uint32_t count, uint8_t value) {
        const uint32_t n = count < high ? count : high;
        if (out != nullptr) std::memset(out + high - n, value, n);
        high -= n;
        owed->count = count - n;
        owed->value = value;
    };
    if (owed->count > 0) repeat(owed->count, owed->value);
    uint32_t next = end;
    while (high > 0 && next > low) {
        const uint8_t b = file[next - 1];
        if (b != escape) {
            if (out != nullptr) out[high - 1] = b;
            --high;
            --next;
            continue;
        }
        if (next - low < 3) break;
        const uint32_t count = file[next - 2] == 0 ? 256 : file[next - 2];
        const uint8_t value = file[next - 3];
        next -= 3;
        repeat(count, value);
    }
    return size - high;
}

// The two blocks: where each one's stream lies; false when the file is not
// two blocks and four colours.
struct SifBlocks {
    uint32_t start[2];  // the length's offset
    uint32_t end[2];    // just past the block
};
bool FindSifBlocks(ByteView file, SifBlocks* blocks) {
    uint32_t at = 0;
    for (uint32_t n = 0; n < 2; ++n) {
        if (!file.Holds(at, 3)) return false;
        const uint32_t word = file[at] | static_cast<uint32_t>(file[at + 1]) << 8;
        if (word <= SIF_LENGTH_BASE) return false;
        const uint32_t length = word - SIF_LENGTH_BASE;
        if (!file.Holds(at + 2, length)) return false;
        blocks->start[n] = at;
        blocks->end[n] = at + 2 + length;
        at = blocks->end[n];
    }
    return file.size == at + SIF_COLOURS;
}

// Unpacks both frames (null: counts); true when each is filled.
bool SifUnpack(ByteView file, const SifBlocks& blocks, uint8_t* frames[2]) {
    OwedRun owed;
    bool filled = true;
    for (uint32_t n = 0; n < 2; ++n) {
        const uint32_t start = blocks.start[n];
        filled = SifUnpackBlock(file, start + 3, blocks.end[n], file[start + 2], &owed, frames[n],
                                SIF_FRAME) == SIF_FRAME &&
                 filled;
    }
    return filled;
}
}  // namespace

Evidence SifSniff(ByteView file) {
    SifBlocks blocks;
    uint8_t* none[2] = {nullptr, nullptr};
    return FindSifBlocks(file, &blocks) && SifUnpack(file, blocks, none) ? Evidence::Shape
                                                                         : Evidence::None;
}
PictureSize SifMeasure(ByteView) {
    return {SIF_WIDTH, SIF_LINES};
}
uint8_t SifBackground(ByteView) {
    return BLACK;
}
void SifDrawFrame(ByteView file, const ColourCanvas& canvas, uint32_t frame, bool) {
    SifBlocks blocks;
    if (!FindSifBlocks(file, &blocks)) {
        canvas.Fill(BLACK);
        return;
    }
    std::vector<uint8_t> image(2 * SIF_FRAME, 0);
    uint8_t* frames[2] = {image.data(), image.data() + SIF_FRAME};
    SifUnpack(file, blocks, frames);
    const uint32_t f = frame == 1 ? 1 : 0;
    const uint32_t colours = file.size - SIF_COLOURS + 2 * f;
    fli_frames::DrawLineLayout({frames[f], SIF_FRAME}, file[colours] & 15, file[colours + 1] & 15,
                               canvas);
}

namespace {
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {100, "true-paint", "True Paint (interlaced)", "mci", "image/x-c64-interlace", true, false, "is 19,434 bytes, or at least 142 bytes of a program that unpacks its stream to 19,432 bytes", TARNEL_INTERLACED_FUNCTIONS(TruePaint)},
    {101, "fp", "FP interlaced multicolour", "fp", "image/x-c64-interlace", true, false, "is 19,266 bytes", TARNEL_INTERLACED_FUNCTIONS(Fp)},
    {102, "pixel-perfect", "Pixel Perfect (interlaced FLI)", "pp ppp", "image/x-c64-interlace", true, false, "is 33,602 bytes, or has a load address, $10 $10 $10, an escape byte and runs that unpack to 33,600 bytes and end where the file ends", TARNEL_INTERLACED_FUNCTIONS(PixelPerfect)},
    {103, "ffli", "FFLI (interlaced FLI)", "ffl ffli", "image/x-c64-interlace", true, false, "is 26,115 bytes with 'f' after the load address", TARNEL_INTERLACED_FUNCTIONS(Ffli)},
    {104, "ihe", "IHE interlaced hires", "ihe", "image/x-c64-interlace", true, false, "is 16,194 bytes", TARNEL_INTERLACED_FUNCTIONS(Ihe)},
    {105, "hires-interlace", "Hires-Interlace (Feniks)", "hlf hie", "image/x-c64-interlace", true, false, "is 24,578 bytes", TARNEL_INTERLACED_FUNCTIONS(HiresInterlace)},
    {106, "hle", "HLE interlaced hires", "hle", "image/x-c64-interlace", true, false, "is 32,770 bytes", TARNEL_INTERLACED_FUNCTIONS(Hle)},
    {107, "vhi", "VHI interlaced hires", "vhi", "image/x-c64-interlace", true, false, "is 17,389 bytes, or has a load address and commands that unpack to 17,384 bytes", TARNEL_INTERLACED_FUNCTIONS(Vhi)},
    {108, "eci", "ECI interlaced hires FLI", "eci ecp", "image/x-c64-interlace", true, false, "is 32,770 bytes, or has a load address, an escape byte and runs that unpack to 32,768 bytes", TARNEL_INTERLACED_FUNCTIONS(Eci)},
    {109, "ile", "Interlaced logo (ILE)", "ile", "image/x-c64-interlace", true, false, "is 4,098 bytes", TARNEL_INTERLACED_FUNCTIONS(Ile)},
    {110, "mle", "Interlaced multicolour logo characters (MLE)", "mle", "image/x-c64-interlace", true, false, "is 4,098 bytes", TARNEL_INTERLACED_FUNCTIONS(Mle)},
    {111, "ish-interlace", "Hires and sprites, interlaced (ISH)", "ish", "image/x-c64-interlace", true, false, "is 30,738 bytes", TARNEL_INTERLACED_FUNCTIONS(Ish)},
    {112, "esh", "ESH interlaced hires with sprites", "esh", "image/x-c64-interlace", true, false, "is 20,454 bytes with 0 after the load address, or has a load address, a byte other than 0 and commands that unpack to 20,449 bytes", TARNEL_INTERLACED_FUNCTIONS(Esh)},
    {113, "shi", "Super Hires Interlace", "shi", "image/x-c64-interlace", true, false, "is 15,355 bytes with 0 after the load address, or has a load address, a byte and commands that unpack to 15,352 bytes", TARNEL_INTERLACED_FUNCTIONS(Shi)},
    {114, "uif", "UFLI interlaced (UIF)", "uif", "image/x-c64-interlace", true, false, "has a load address, an escape byte and a stream read from its end that unpacks to 32,576 bytes", TARNEL_INTERLACED_FUNCTIONS(Uif)},
    {115, "mui", "Mufflon interlaced (MUI)", "mui", "image/x-c64-interlace", true, false, "is 44,034 bytes and points to no sprite past the 340th of either frame", TARNEL_INTERLACED_FUNCTIONS(Mui)},
    {116, "sif", "SIF interlaced hires with sprites", "sif", "image/x-c64-interlace", false, false, "is two blocks, each a length (plus 37,890), an escape byte and a stream read from its end that unpacks to 8,176 bytes, then four colour bytes", TARNEL_INTERLACED_FUNCTIONS(Sif)},
};
// clang-format on
}  // namespace

const FormatFamily INTERLACE_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
