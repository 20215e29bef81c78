// Character sets, character-built logos and pictures of character cells:
// .64c, .g, .zs, Logo Painter 3, Fluff64/TRSE and RIFF CGFX frames.
#include <cstring>

#include "core/formats/cells.h"
#include "core/formats/readers.h"

namespace tarnel::readers {

using cells::DrawHiresCell;
using cells::DrawMulticolourCell;
using cells::Le16;

namespace {

constexpr uint8_t BLACK = 0;
constexpr uint8_t WHITE = 1;
constexpr uint32_t CHARS_A_ROW = 32;
constexpr uint32_t CHARSET_ROW_WIDTH = CHARS_A_ROW * 8;

// Characters of 8 bytes `stride` apart from `first`, 32 a row, white on
// black; those the file does not hold (or past `count`) black.
void DrawCharacters(ByteView file, const ColourCanvas& canvas, uint32_t first, uint32_t stride,
                    uint32_t count) {
    canvas.Fill(BLACK);
    const uint32_t slots = (canvas.height / 8) * CHARS_A_ROW;
    for (uint32_t n = 0; n < slots && n < count; ++n) {
        const uint32_t x = (n % CHARS_A_ROW) * 8;
        const uint32_t y = (n / CHARS_A_ROW) * 8;
        for (uint32_t line = 0; line < 8; ++line) {
            const uint32_t at = first + n * stride + line;
            if (!file.Holds(at)) return;
            cells::DrawHiresByte(canvas.Row(y + line) + x, file[at], WHITE, BLACK);
        }
    }
}

uint8_t Black(ByteView) {
    return BLACK;
}

}  // namespace

// .64c: a page-aligned load address, then up to 256 characters.
Evidence CharsetSniff(ByteView file) {
    return file.size >= 10 && file.size <= 2050 && file[0] == 0x00 ? Evidence::Shape
                                                                   : Evidence::None;
}
PictureSize CharsetMeasure(ByteView file) {
    return {CHARSET_ROW_WIDTH, 8 * ((file.size - 2 + CHARSET_ROW_WIDTH - 1) / CHARSET_ROW_WIDTH)};
}
uint8_t CharsetBackground(ByteView file) {
    return Black(file);
}
void CharsetDraw(ByteView file, const ColourCanvas& canvas) {
    DrawCharacters(file, canvas, 2, 8, (file.size - 2 + 7) / 8);
}

// .g: 64 characters at $0042.
Evidence Font64Sniff(ByteView file) {
    return file.size == 514 && file[0] == 0x42 && file[1] == 0x00 ? Evidence::Shape
                                                                  : Evidence::None;
}
PictureSize Font64Measure(ByteView) {
    return {CHARSET_ROW_WIDTH, 16};
}
uint8_t Font64Background(ByteView file) {
    return Black(file);
}
void Font64Draw(ByteView file, const ColourCanvas& canvas) {
    DrawCharacters(file, canvas, 2, 8, 64);
}

// .zs: 113 characters 9 bytes apart from offset 3, at $F0B0; the ninth
// byte of each is not drawn.
Evidence Charset9Sniff(ByteView file) {
    return file.size == 1026 && file[0] == 0xB0 && file[1] == 0xF0 ? Evidence::Shape
                                                                   : Evidence::None;
}
PictureSize Charset9Measure(ByteView) {
    return {CHARSET_ROW_WIDTH, 32};
}
uint8_t Charset9Background(ByteView file) {
    return Black(file);
}
void Charset9Draw(ByteView file, const ColourCanvas& canvas) {
    DrawCharacters(file, canvas, 3, 9, 113);
}

// Logo Painter 3: at $1800 a 40 x 50 screen of multicolour characters,
// then (from offset 2,050) their 256 characters. The longer files keep the
// colours in the spare bytes after the screen; the shorter ones draw in the
// program's own.
namespace {
constexpr uint32_t LOGO_COLUMNS = 40;
constexpr uint32_t LOGO_ROWS = 50;
constexpr uint32_t LOGO_CHARSET = 2050;
void LogoColours(ByteView file, uint8_t colours[4]) {
    if (file.size == 4174) {
        colours[0] = file[2045] & 15;
        colours[1] = file[2047] & 15;
        colours[2] = file[2048] & 15;
        colours[3] = file[2046] & 7;
    } else {
        const uint8_t own[4] = {0, 10, 2, 1};
        std::memcpy(colours, own, 4);
    }
}
}  // namespace

Evidence LogoPainterSniff(ByteView file) {
    return (file.size == 4098 || file.size == 4174) && file[0] == 0x00 && file[1] == 0x18
               ? Evidence::Shape
               : Evidence::None;
}
PictureSize LogoPainterMeasure(ByteView) {
    return {LOGO_COLUMNS * 8, LOGO_ROWS * 8};
}
uint8_t LogoPainterBackground(ByteView file) {
    uint8_t colours[4];
    LogoColours(file, colours);
    return colours[0];
}
void LogoPainterDraw(ByteView file, const ColourCanvas& canvas) {
    uint8_t colours[4];
    LogoColours(file, colours);
    // One set of colours for the whole screen: each byte's eight pixels
    // looked up once.
    uint8_t lines[256][8];
    for (uint32_t bits = 0; bits < 256; ++bits) {
        for (uint32_t pair = 0; pair < 4; ++pair) {
            lines[bits][2 * pair] = lines[bits][2 * pair + 1] =
                colours[(bits >> (6 - 2 * pair)) & 3];
        }
    }
    for (uint32_t cell = 0; cell < LOGO_COLUMNS * LOGO_ROWS; ++cell) {
        const uint8_t* bytes = file.data + LOGO_CHARSET + file[2 + cell] * 8u;
        const uint32_t x = (cell % LOGO_COLUMNS) * 8;
        const uint32_t y = (cell / LOGO_COLUMNS) * 8;
        for (uint32_t line = 0; line < 8; ++line) {
            std::memcpy(canvas.Row(y + line) + x, lines[bytes[line]], 8);
        }
    }
}

// Fluff64 / TRSE: "FLUFF64", the image type at byte 11, and for the C64's
// cell types 40 x 25 cells of 8 bitmap bytes and 4 colours, the leftmost
// pixel in the lowest bit (pair).
namespace {
constexpr char FLUFF_MARK[] = "FLUFF64";
constexpr uint32_t FLUFF_TYPE = 11;
constexpr uint32_t FLUFF_CELLS = 1000;
constexpr uint32_t FLUFF_CELL_BYTES = 12;

struct FluffLayout {
    uint32_t first = 0;  // offset of the first cell; 0 for no C64 cell type
    bool multicolour = false;
};
FluffLayout FluffLayoutOf(ByteView file) {
    if (file.size < 20 || std::memcmp(file.data, FLUFF_MARK, 7) != 0) return {};
    switch (file[FLUFF_TYPE]) {
        case 1:
            return {15, true};
        case 4:
        case 5:
            return {18, true};
        case 6:
            return {18, false};
        default:
            return {};
    }
}
}  // namespace

Evidence Fluff64Sniff(ByteView file) {
    const FluffLayout layout = FluffLayoutOf(file);
    if (layout.first == 0 || file.size != layout.first + FLUFF_CELLS * FLUFF_CELL_BYTES) {
        return Evidence::None;
    }
    for (uint32_t cell = 0; cell < FLUFF_CELLS; ++cell) {
        const uint8_t* colours = file.data + layout.first + cell * FLUFF_CELL_BYTES + 8;
        for (uint32_t n = 0; n < 4; ++n) {
            if (colours[n] > 15) return Evidence::None;
        }
    }
    return Evidence::Signature;
}
PictureSize Fluff64Measure(ByteView) {
    return {320, 200};
}
uint8_t Fluff64Background(ByteView file) {
    return file[FluffLayoutOf(file).first + 8];
}
void Fluff64Draw(ByteView file, const ColourCanvas& canvas) {
    const FluffLayout layout = FluffLayoutOf(file);
    for (uint32_t cell = 0; cell < FLUFF_CELLS; ++cell) {
        const uint8_t* bytes = file.data + layout.first + cell * FLUFF_CELL_BYTES;
        const uint8_t* colours = bytes + 8;
        const uint32_t x = (cell % 40) * 8;
        const uint32_t y = (cell / 40) * 8;
        for (uint32_t line = 0; line < 8; ++line) {
            uint8_t* out = canvas.Row(y + line) + x;
            const uint8_t bits = bytes[line];
            if (!layout.multicolour) {
                cells::DrawHiresByte(out, bits, colours[1], colours[0], cells::LSB_FIRST);
                continue;
            }
            for (uint32_t pair = 0; pair < 4; ++pair) {
                out[2 * pair] = out[2 * pair + 1] = colours[(bits >> (2 * pair)) & 3];
            }
        }
    }
}

// RIFF "CGFX": a FRMT chunk giving a matrix of frames of character cells,
// then a DATA chunk of the frames, each a multicolour bitmap, screen and
// colour memory, and two bytes of which the last is its background.
namespace {
struct CgfxFrames {
    uint32_t matrixRows = 0, matrixColumns = 0;
    uint32_t frameRows = 0, frameColumns = 0;
    uint32_t data = 0;  // offset of the first frame; 0 when the file is not one
    uint32_t FrameCells() const { return frameRows * frameColumns; }
    uint32_t FrameBytes() const { return FrameCells() * 10 + 2; }
};

uint32_t Le32(ByteView file, uint32_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24;
}

CgfxFrames ParseCgfx(ByteView file) {
    CgfxFrames frames;
    if (file.size < 40 || std::memcmp(file.data, "RIFF", 4) != 0 ||
        std::memcmp(file.data + 8, "CGFX", 4) != 0 || Le32(file, 4) != file.size - 8) {
        return {};
    }
    bool format = false;
    for (uint32_t at = 12; file.Holds(at, 8);) {
        const uint8_t* id = file.data + at;
        const uint32_t length = Le32(file, at + 4);
        const uint32_t body = at + 8;
        if (!file.Holds(body, length)) return {};
        if (std::memcmp(id, "FRMT", 4) == 0) {
            const uint8_t* d = file.data + body;
            if (length != 12 || d[4] != d[0] * d[1] || d[10] != 4 || d[11] != 0) return {};
            frames.matrixRows = d[0];
            frames.matrixColumns = d[1];
            frames.frameRows = d[8];
            frames.frameColumns = d[9];
            format = true;
        } else if (std::memcmp(id, "DATA", 4) == 0) {
            if (!format || frames.matrixRows == 0 || frames.matrixColumns == 0 ||
                frames.FrameCells() == 0 ||
                uint64_t{length} !=
                    uint64_t{frames.matrixRows} * frames.matrixColumns * frames.FrameBytes()) {
                return {};
            }
            frames.data = body;
            return frames;
        } else if (std::memcmp(id, "META", 4) != 0) {
            return {};
        }
        at = body + length;
    }
    return {};
}
}  // namespace

Evidence CgfxSniff(ByteView file) {
    return ParseCgfx(file).data != 0 ? Evidence::Signature : Evidence::None;
}
PictureSize CgfxMeasure(ByteView file) {
    const CgfxFrames frames = ParseCgfx(file);
    return {frames.matrixColumns * frames.frameColumns * 8,
            frames.matrixRows * frames.frameRows * 8};
}
uint8_t CgfxBackground(ByteView file) {
    const CgfxFrames frames = ParseCgfx(file);
    return file[frames.data + frames.FrameBytes() - 1] & 15;
}
void CgfxDraw(ByteView file, const ColourCanvas& canvas) {
    const CgfxFrames frames = ParseCgfx(file);
    const uint32_t cells = frames.FrameCells();
    for (uint32_t frame = 0; frame < frames.matrixRows * frames.matrixColumns; ++frame) {
        const uint32_t base = frames.data + frame * frames.FrameBytes();
        const uint32_t left = (frame % frames.matrixColumns) * frames.frameColumns * 8;
        const uint32_t top = (frame / frames.matrixColumns) * frames.frameRows * 8;
        const uint8_t background = file[base + frames.FrameBytes() - 1] & 15;
        for (uint32_t cell = 0; cell < cells; ++cell) {
            const uint8_t screen = file[base + cells * 8 + cell];
            const uint8_t colours[4] = {background, static_cast<uint8_t>(screen >> 4),
                                        static_cast<uint8_t>(screen & 15),
                                        static_cast<uint8_t>(file[base + cells * 9 + cell] & 15)};
            DrawMulticolourCell(canvas, left + (cell % frames.frameColumns) * 8,
                                top + (cell / frames.frameColumns) * 8, file.data + base + cell * 8,
                                colours);
        }
    }
}

namespace {
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {23, "charset", "C64 character set", "64c", "image/x-c64-charset", true, false, "has a load address at the start of a page, then 8 to 2,048 bytes of characters", TARNEL_FORMAT_FUNCTIONS(Charset)},
    {24, "font-64", "64-character font", "g", "image/x-c64-charset", true, false, "is 514 bytes at $0042", TARNEL_FORMAT_FUNCTIONS(Font64)},
    {25, "charset-9", "Character set, 9 bytes a character", "zs", "image/x-c64-charset", true, false, "is 1,026 bytes at $F0B0", TARNEL_FORMAT_FUNCTIONS(Charset9)},
    {29, "logo-painter", "Logo Painter 3", "lp3", "image/x-c64-logo-painter", true, false, "is 4,098 or 4,174 bytes at $1800", TARNEL_FORMAT_FUNCTIONS(LogoPainter)},
    {30, "fluff64", "Fluff64 / TRSE image", "flf", "image/x-c64-fluff64", false, true, "starts with \"FLUFF64\" and holds 1,000 cells of a C64 type (1, 4, 5 or 6)", TARNEL_FORMAT_FUNCTIONS(Fluff64)},
    {31, "cgfx", "RIFF CGFX character frames", "cgx", "image/x-c64-cgfx", false, true, "is a RIFF file of type \"CGFX\" with a FRMT chunk and a DATA chunk of its frames", TARNEL_FORMAT_FUNCTIONS(Cgfx)},
};
// clang-format on
}  // namespace

const FormatFamily CHARACTER_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
