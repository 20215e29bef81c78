// Packed bitmap pictures: Koala Painter's compressed GG files, BDP (three
// headers), Zoomatic, Drazpaint (packed and raw), compressed Doodle (JJ),
// Micro Illustrator (raw, and packed in two orders of its bytes) and the
// SHP files (multicolour, hires, hires 39 cells wide, hires of any number
// of rows). Each stream is unpacked into a buffer of the size of the
// picture it holds, and drawn from there.
//
// Only BDP's two headers and Drazpaint's name mark a file: the others are
// taken when their name says so and their stream fills the whole picture
// (or, for SHP, fills it and ends where the file does). A marked file whose
// stream ends early is drawn as far as it goes; the rest of its bytes count
// as 0.
#include <cstring>
#include <vector>

#include "core/formats/cell_bitmaps.h"
#include "core/formats/readers.h"
#include "core/formats/unpackers.h"

namespace tarnel::readers {

using cells::CellBitmap;
using cells::DrawHiresBitmap;
using cells::DrawMulticolourBitmap;
using unpackers::ZeroCount;

namespace {

constexpr uint8_t BLACK = 0;
constexpr uint32_t COLUMNS = 40;
constexpr uint32_t CELL_ROWS = 25;
constexpr uint32_t CELLS = COLUMNS * CELL_ROWS;
constexpr uint32_t BITMAP_BYTES = CELLS * 8;

// Koala Painter's layout without its load address: bitmap, screen, colour
// memory, background.
constexpr uint32_t KOALA_SCREEN = BITMAP_BYTES;
constexpr uint32_t KOALA_COLOUR = KOALA_SCREEN + CELLS;
constexpr uint32_t KOALA_BACKGROUND = KOALA_COLOUR + CELLS;
constexpr uint32_t KOALA_BYTES = KOALA_BACKGROUND + 1;

PictureSize FullScreen(ByteView) {
    return {COLUMNS * 8, CELL_ROWS * 8};
}

uint8_t Black(ByteView) {
    return BLACK;
}

// Unpacks a file into KOALA_BYTES at `out` (null: counts); returns how many
// bytes its stream gave.
using KoalaUnpacker = uint32_t (*)(ByteView file, uint8_t* out);

std::vector<uint8_t> UnpackKoala(ByteView file, KoalaUnpacker unpack) {
    std::vector<uint8_t> image(KOALA_BYTES, 0);
    unpack(file, image.data());
    return image;
}

bool FillsKoala(ByteView file, KoalaUnpacker unpack) {
    return unpack(file, nullptr) == KOALA_BYTES;
}

uint8_t KoalaBackground(ByteView file, KoalaUnpacker unpack) {
    return UnpackKoala(file, unpack)[KOALA_BACKGROUND] & 15;
}

void DrawKoala(const uint8_t* image, const ColourCanvas& canvas) {
    DrawMulticolourBitmap(canvas, {image, image + KOALA_SCREEN, image + KOALA_COLOUR,
                                   image[KOALA_BACKGROUND], COLUMNS, CELL_ROWS});
}

void KoalaDraw(ByteView file, const ColourCanvas& canvas, KoalaUnpacker unpack) {
    DrawKoala(UnpackKoala(file, unpack).data(), canvas);
}

}  // namespace

// Koala Painter's compressed files (GG): a load address, then runs of $FE,
// value, count.
// The four functions of a format whose stream, unpacked by U, is a Koala
// Painter picture without its load address, and which has no mark: taken
// when the stream fills the picture.
template <KoalaUnpacker U>
Evidence KoalaStreamSniff(ByteView file) {
    return FillsKoala(file, U) ? Evidence::Shape : Evidence::None;
}
template <KoalaUnpacker U>
uint8_t KoalaStreamBackground(ByteView file) {
    return KoalaBackground(file, U);
}
template <KoalaUnpacker U>
void KoalaStreamDraw(ByteView file, const ColourCanvas& canvas) {
    KoalaDraw(file, canvas, U);
}
#define TARNEL_KOALA_STREAM(U) \
    KoalaStreamSniff<U>, FullScreen, KoalaStreamBackground<U>, KoalaStreamDraw<U>

namespace {
uint32_t GgUnpack(ByteView file, uint8_t* out) {
    return file.size > 2 ? unpackers::UnpackKoalaRuns(file, 2, out, KOALA_BYTES) : 0;
}
}  // namespace

// BDP: after the load address either $02 $04 $10 "600", the escape byte at
// 8 and runs of escape, count, value from 10; or "BDP 5.00", two escape
// bytes and their runs from 12; or, unmarked, BDP 4's commands from 2.
namespace {
constexpr uint32_t BDP_LEAST_BYTES = 13;
constexpr uint8_t BDP_MARK[6] = {0x02, 0x04, 0x10, 0x36, 0x30, 0x30};
constexpr char BDP5_MARK[8] = {'B', 'D', 'P', ' ', '5', '.', '0', '0'};

enum class BdpHeader : uint8_t { None, Marked, Version5, Version4 };

BdpHeader BdpHeaderOf(ByteView file) {
    if (file.size < BDP_LEAST_BYTES) return BdpHeader::None;
    if (std::memcmp(file.data + 2, BDP_MARK, sizeof BDP_MARK) == 0) return BdpHeader::Marked;
    if (std::memcmp(file.data + 2, BDP5_MARK, sizeof BDP5_MARK) == 0) return BdpHeader::Version5;
    return BdpHeader::Version4;
}

uint32_t BdpUnpack(ByteView file, uint8_t* out) {
    switch (BdpHeaderOf(file)) {
        case BdpHeader::Marked:
            return unpackers::UnpackEscapeRuns(file, 10, file[8], ZeroCount::Is256, out,
                                               KOALA_BYTES);
        case BdpHeader::Version5:
            return unpackers::UnpackBdp5(file, 12, file[10], file[11], out, KOALA_BYTES);
        case BdpHeader::Version4:
            return unpackers::UnpackBdp4(file, 2, out, KOALA_BYTES);
        case BdpHeader::None:
            break;
    }
    return 0;
}
}  // namespace

Evidence BdpSniff(ByteView file) {
    switch (BdpHeaderOf(file)) {
        case BdpHeader::Marked:
        case BdpHeader::Version5:
            return Evidence::Signature;
        case BdpHeader::Version4:
            return FillsKoala(file, BdpUnpack) ? Evidence::Shape : Evidence::None;
        case BdpHeader::None:
            break;
    }
    return Evidence::None;
}
PictureSize BdpMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t BdpBackground(ByteView file) {
    return KoalaBackground(file, BdpUnpack);
}
void BdpDraw(ByteView file, const ColourCanvas& canvas) {
    KoalaDraw(file, canvas, BdpUnpack);
}

// Zoomatic: a stream read backwards from the byte before the last (the last
// is its escape byte) down to offset 2, filling Koala's layout from its end.
namespace {
constexpr uint32_t ZOOMATIC_LEAST_BYTES = 6;
uint32_t ZoomaticUnpack(ByteView file, uint8_t* out) {
    if (file.size < ZOOMATIC_LEAST_BYTES) return 0;
    return unpackers::UnpackBackwardRuns(file, 2, file.size - 1, file[file.size - 1], out,
                                         KOALA_BYTES);
}
}  // namespace

// Drazpaint: colour memory, screen, bitmap and background from offset 2,
// as they lie in the C64's memory from $5800; raw (10,051 bytes) or, after
// "DRAZPAINT 1.4" and the escape byte, runs of escape, count, value.
namespace {
constexpr uint32_t DRAZPAINT_RAW_BYTES = 10051;
constexpr uint32_t DRAZPAINT_IMAGE_BYTES = DRAZPAINT_RAW_BYTES - 2;  // from offset 2
constexpr uint32_t DRAZPAINT_SCREEN = 1024;
constexpr uint32_t DRAZPAINT_BITMAP = 2048;
constexpr uint32_t DRAZPAINT_BACKGROUND = 10048;
constexpr char DRAZPAINT_MARK[13] = {'D', 'R', 'A', 'Z', 'P', 'A', 'I',
                                     'N', 'T', ' ', '1', '.', '4'};
constexpr uint32_t DRAZPAINT_ESCAPE = 15;
constexpr uint32_t DRAZPAINT_STREAM = 16;

bool DrazpaintPacked(ByteView file) {
    return file.size > DRAZPAINT_STREAM &&
           std::memcmp(file.data + 2, DRAZPAINT_MARK, sizeof DRAZPAINT_MARK) == 0;
}

// The picture's bytes from offset 2: the file's own, or unpacked into
// `scratch`.
const uint8_t* DrazpaintImage(ByteView file, std::vector<uint8_t>* scratch) {
    if (!DrazpaintPacked(file)) return file.data + 2;
    scratch->assign(DRAZPAINT_IMAGE_BYTES, 0);
    unpackers::UnpackEscapeRuns(file, DRAZPAINT_STREAM, file[DRAZPAINT_ESCAPE], ZeroCount::Nothing,
                                scratch->data(), DRAZPAINT_IMAGE_BYTES);
    return scratch->data();
}
}  // namespace

Evidence DrazpaintSniff(ByteView file) {
    if (DrazpaintPacked(file)) return Evidence::Signature;
    return file.size == DRAZPAINT_RAW_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize DrazpaintMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t DrazpaintBackground(ByteView file) {
    std::vector<uint8_t> scratch;
    return DrazpaintImage(file, &scratch)[DRAZPAINT_BACKGROUND] & 15;
}
void DrazpaintDraw(ByteView file, const ColourCanvas& canvas) {
    std::vector<uint8_t> scratch;
    const uint8_t* image = DrazpaintImage(file, &scratch);
    DrawMulticolourBitmap(canvas, {image + DRAZPAINT_BITMAP, image + DRAZPAINT_SCREEN, image,
                                   image[DRAZPAINT_BACKGROUND], COLUMNS, CELL_ROWS});
}

// Compressed Doodle (JJ): GG's runs unpacking to Doodle's screen (1,024
// bytes) and hires bitmap.
namespace {
constexpr uint32_t DOODLE_BITMAP = 1024;
constexpr uint32_t DOODLE_BYTES = DOODLE_BITMAP + BITMAP_BYTES;
uint32_t DoodleJjUnpack(ByteView file, uint8_t* out) {
    return file.size > 2 ? unpackers::UnpackKoalaRuns(file, 2, out, DOODLE_BYTES) : 0;
}
}  // namespace

Evidence DoodleJjSniff(ByteView file) {
    return DoodleJjUnpack(file, nullptr) == DOODLE_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize DoodleJjMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t DoodleJjBackground(ByteView file) {
    return Black(file);
}
void DoodleJjDraw(ByteView file, const ColourCanvas& canvas) {
    std::vector<uint8_t> image(DOODLE_BYTES, 0);
    DoodleJjUnpack(file, image.data());
    DrawHiresBitmap(canvas,
                    {image.data() + DOODLE_BITMAP, image.data(), nullptr, 0, COLUMNS, CELL_ROWS});
}

// Micro Illustrator: a 22-byte header (the type at 7, the background at
// 8), then screen, colour memory and bitmap: as they are (type 0), or
// packed with their bytes in another order: column by column, the even
// rows and lines of each column before the odd ones (type 1), or the
// bitmap line by line, a byte a column (type 2).
namespace {
constexpr uint32_t MIL_HEADER = 22;
constexpr uint32_t MIL_LEAST_BYTES = 26;
constexpr uint32_t MIL_TYPE = 7;
constexpr uint32_t MIL_BACKGROUND = 8;
constexpr uint32_t MIL_IMAGE_BYTES = 2 * CELLS + BITMAP_BYTES;
constexpr uint32_t MIL_RAW_BYTES = MIL_HEADER + MIL_IMAGE_BYTES;

enum class MilType : uint8_t { None, Raw, Columns, Lines };

MilType MilTypeOf(ByteView file) {
    if (file.size < MIL_LEAST_BYTES) return MilType::None;
    switch (file[MIL_TYPE]) {
        case 0:
            return file.size == MIL_RAW_BYTES ? MilType::Raw : MilType::None;
        case 1:
            return MilType::Columns;
        case 2:
            return MilType::Lines;
        default:
            return MilType::None;
    }
}

// Where the packed types keep cell (column, row) of the screen and colour
// memory, and line y of a column of the bitmap.
uint32_t MilCellAt(MilType type, uint32_t column, uint32_t row) {
    if (type == MilType::Lines) return row * COLUMNS + column;
    return column * CELL_ROWS + (row % 2 != 0 ? (CELL_ROWS + 1) / 2 : 0) + row / 2;
}
uint32_t MilLineAt(MilType type, uint32_t column, uint32_t y) {
    if (type == MilType::Lines) return y * COLUMNS + column;
    return column * (CELL_ROWS * 8) + (y % 2 != 0 ? CELL_ROWS * 4 : 0) + y / 2;
}
}  // namespace

Evidence MicroIllustratorSniff(ByteView file) {
    switch (MilTypeOf(file)) {
        case MilType::Raw:
            return Evidence::Shape;
        case MilType::Columns:
        case MilType::Lines:
            return unpackers::UnpackMicroIllustrator(file, MIL_HEADER, nullptr, MIL_IMAGE_BYTES) ==
                           MIL_IMAGE_BYTES
                       ? Evidence::Shape
                       : Evidence::None;
        case MilType::None:
            break;
    }
    return Evidence::None;
}
PictureSize MicroIllustratorMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t MicroIllustratorBackground(ByteView file) {
    return file[MIL_BACKGROUND] & 15;
}
void MicroIllustratorDraw(ByteView file, const ColourCanvas& canvas) {
    const MilType type = MilTypeOf(file);
    const uint8_t background = file[MIL_BACKGROUND];
    if (type == MilType::Raw) {
        const uint8_t* image = file.data + MIL_HEADER;
        DrawMulticolourBitmap(
            canvas, {image + 2 * CELLS, image, image + CELLS, background, COLUMNS, CELL_ROWS});
        return;
    }
    std::vector<uint8_t> packed(MIL_IMAGE_BYTES, 0);
    unpackers::UnpackMicroIllustrator(file, MIL_HEADER, packed.data(), MIL_IMAGE_BYTES);
    // Into the usual order: screen, colour memory, bitmap in cells.
    std::vector<uint8_t> image(MIL_IMAGE_BYTES);
    const uint8_t* screen = packed.data();
    const uint8_t* colour = screen + CELLS;
    const uint8_t* lines = colour + CELLS;
    for (uint32_t row = 0; row < CELL_ROWS; ++row) {
        for (uint32_t column = 0; column < COLUMNS; ++column) {
            const uint32_t cell = row * COLUMNS + column;
            const uint32_t at = MilCellAt(type, column, row);
            image[cell] = screen[at];
            image[CELLS + cell] = colour[at];
            for (uint32_t line = 0; line < 8; ++line) {
                image[2 * CELLS + cell * 8 + line] = lines[MilLineAt(type, column, row * 8 + line)];
            }
        }
    }
    DrawMulticolourBitmap(canvas, {image.data() + 2 * CELLS, image.data(), image.data() + CELLS,
                                   background, COLUMNS, CELL_ROWS});
}

// SHP: a load address and a type byte, then bitmap, screen and (in
// multicolour) colour memory packed one after another as runs of escape,
// count, value (count 0: 256), each section with its own escape byte and a
// run that overflows one section carrying on into the next. The stream ends
// exactly at the file's end.
//   $00  multicolour: escape at 3, background at 4, stream from 5; the
//        screen's escape $00, the colour memory's $FF.
//   $E8  multicolour: 25 at 3, background at 4, escape at 5, stream from 6;
//        the screen's escape $00, then a byte $FF, then the colour memory
//        with escape $D8.
//   $80  hires: escape at 3, stream from 4; the screen's escape $00.
//   $A7  hires, 39 cells a row: 25 at 3, escape at 4, stream from 5.
//   $A8  hires, 1 to 25 rows (at 3): escape at 4, stream from 5.
namespace {
constexpr uint32_t SHP_LEAST_BYTES = 8;
constexpr uint32_t SHP_TYPE = 2;

struct ShpLayout {
    uint8_t type = 0;
    bool valid = false;
    bool multicolour = false;
    uint32_t columns = COLUMNS;
    uint32_t rows = CELL_ROWS;
    uint8_t background = BLACK;
    uint8_t escape = 0;
    uint32_t stream = 0;
    uint32_t Cells() const { return columns * rows; }
    // Bitmap, screen and colour memory, one after another.
    uint32_t ImageBytes() const { return Cells() * (multicolour ? 10 : 9); }
};

ShpLayout ShpLayoutOf(ByteView file) {
    ShpLayout layout;
    if (file.size < SHP_LEAST_BYTES) return layout;
    layout.type = file[SHP_TYPE];
    switch (layout.type) {
        case 0x00:
            layout.multicolour = true;
            layout.escape = file[3];
            layout.background = file[4];
            layout.stream = 5;
            break;
        case 0xE8:
            if (file[3] != CELL_ROWS) return layout;
            layout.multicolour = true;
            layout.background = file[4];
            layout.escape = file[5];
            layout.stream = 6;
            break;
        case 0x80:
            layout.escape = file[3];
            layout.stream = 4;
            break;
        case 0xA7:
            if (file[3] != CELL_ROWS) return layout;
            layout.columns = COLUMNS - 1;
            layout.escape = file[4];
            layout.stream = 5;
            break;
        case 0xA8:
            if (file[3] < 1 || file[3] > CELL_ROWS) return layout;
            layout.rows = file[3];
            layout.escape = file[4];
            layout.stream = 5;
            break;
        default:
            return layout;
    }
    layout.valid = true;
    return layout;
}

// Unpacks the sections into `out` (layout.ImageBytes(); null: reads only);
// true when they are all full and the stream ends at the file's end.
bool ShpUnpack(ByteView file, const ShpLayout& layout, uint8_t* out) {
    constexpr uint8_t SCREEN_ESCAPE = 0x00;
    constexpr uint8_t COLOUR_ESCAPE = 0xFF;
    constexpr uint8_t E8_SEPARATOR = 0xFF;
    constexpr uint8_t E8_COLOUR_ESCAPE = 0xD8;
    const uint32_t cells = layout.Cells();
    uint8_t* screen = out != nullptr ? out + cells * 8 : nullptr;
    uint8_t* colour = out != nullptr ? out + cells * 9 : nullptr;
    unpackers::EscapeRuns runs(file, layout.stream, ZeroCount::Is256);
    if (runs.Fill(out, cells * 8, layout.escape) != cells * 8 ||
        runs.Fill(screen, cells, SCREEN_ESCAPE) != cells) {
        return false;
    }
    if (layout.type == 0x00) {
        if (runs.Fill(colour, cells, COLOUR_ESCAPE) != cells) return false;
    } else if (layout.type == 0xE8) {
        uint8_t separator = 0;
        if (!runs.Take(&separator) || separator != E8_SEPARATOR ||
            runs.Fill(colour, cells, E8_COLOUR_ESCAPE) != cells) {
            return false;
        }
    }
    return runs.Position() == file.size;
}
}  // namespace

Evidence ShpSniff(ByteView file) {
    const ShpLayout layout = ShpLayoutOf(file);
    return layout.valid && ShpUnpack(file, layout, nullptr) ? Evidence::Shape : Evidence::None;
}
PictureSize ShpMeasure(ByteView file) {
    const ShpLayout layout = ShpLayoutOf(file);
    return {layout.columns * 8, layout.rows * 8};
}
uint8_t ShpBackground(ByteView file) {
    return ShpLayoutOf(file).background & 15;
}
void ShpDraw(ByteView file, const ColourCanvas& canvas) {
    const ShpLayout layout = ShpLayoutOf(file);
    std::vector<uint8_t> image(layout.ImageBytes(), 0);
    ShpUnpack(file, layout, image.data());
    const uint32_t cells = layout.Cells();
    const CellBitmap picture = {
        image.data(),      image.data() + cells * 8, image.data() + cells * 9,
        layout.background, layout.columns,           layout.rows};
    if (layout.multicolour) {
        DrawMulticolourBitmap(canvas, picture);
    } else {
        DrawHiresBitmap(canvas, picture);
    }
}

namespace {
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {48, "koala-gg", "Koala Painter, compressed (GG)", "gg", "image/x-c64-koala", true, false, "has a load address, then literals and runs of $FE, value, count that unpack to Koala Painter's 10,001 bytes", TARNEL_KOALA_STREAM(GgUnpack)},
    {49, "bdp", "BDP multicolour picture", "bdp", "image/x-c64-multicolour", true, true, "is at least 13 bytes: a load address, then $02 $04 $10 \"600\", \"BDP 5.00\" or BDP 4 commands that unpack to 10,001 bytes", TARNEL_FORMAT_FUNCTIONS(Bdp)},
    {50, "zoomatic", "Zoomatic", "zom", "image/x-c64-multicolour", true, false, "has a load address, then a stream read from its end that unpacks to 10,001 bytes, its escape byte last", TARNEL_KOALA_STREAM(ZoomaticUnpack)},
    {51, "drazpaint", "Drazpaint", "drz drp", "image/x-c64-multicolour", true, true, "is 10,051 bytes, or has a load address and \"DRAZPAINT 1.4\"", TARNEL_FORMAT_FUNCTIONS(Drazpaint)},
    {52, "doodle-jj", "Doodle, compressed (JJ)", "jj", "image/x-c64-doodle", true, false, "has a load address, then literals and runs of $FE, value, count that unpack to 9,024 bytes", TARNEL_FORMAT_FUNCTIONS(DoodleJj)},
    {53, "micro-illustrator", "Micro Illustrator", "mil", "image/x-c64-multicolour", false, false, "has a 22-byte header of type 0 and is 10,022 bytes, or of type 1 or 2 and a stream that unpacks to 10,000 bytes", TARNEL_FORMAT_FUNCTIONS(MicroIllustrator)},
    {54, "shp", "SHP packed bitmap", "shp", "image/x-c64-multicolour", true, false, "has a load address, a type $00, $E8, $80, $A7 or $A8 and packed sections that end where the file ends", TARNEL_FORMAT_FUNCTIONS(Shp)},
};
// clang-format on
}  // namespace

const FormatFamily PACKED_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
