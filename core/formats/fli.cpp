// FLI pictures beyond the twenty layouts, and the pictures that put
// sprites under or over an FLI bitmap: FLI Designer's packed files (FBI),
// FED, FLM, EMC, HCB, Big FLI, FLI Profi, HFC, CFLI, UFLI, NUFLI, Mufflon,
// XFL, Super Hires FLI (SHF) and SHX.
//
// The full-width FLI pictures are drawn 320 pixels wide: as stored, every
// cell from its own bytes; as a C64 shows them (drawFrame's c64View), the
// leftmost three cells of each FLI line in light grey for every colour
// taken from screen or colour memory, bit pair 00 keeping the line's
// background (the VIC-II reads $FF there). FLI Profi and NUFLI cover that
// strip with sprites, which both views draw. The pictures of narrow windows
// (XFL, SHF, SHX) keep their own sizes and have no strip.
//
// Only Big FLI carries a mark (its size and a 'b' at offset 2); the others
// open when their name says so and their size fits or their stream fills
// the picture.
#include <cstring>
#include <vector>

#include "core/formats/cells.h"
#include "core/formats/fli_frames.h"
#include "core/formats/readers.h"
#include "core/formats/unpackers.h"

namespace tarnel::readers {

using cells::DrawHiresByte;
using unpackers::ZeroCount;

namespace {

constexpr uint8_t BLACK = 0;
constexpr uint8_t STRIP = 15;  // the nibbles of $FF
constexpr uint32_t WIDTH = 320;
constexpr uint32_t LINES = 200;
constexpr uint32_t COLUMNS = 40;
constexpr uint32_t STRIP_COLUMNS = 3;
constexpr uint32_t SCREEN_STRIDE = 1024;
constexpr uint32_t NONE = 0xFFFFFFFF;
constexpr uint64_t EVERY_BYTE = 0x0101010101010101ull;

// For each byte value, the pixels whose multicolour bit pair is 0, 1, 2
// and 3, as masks of eight bytes ($FF a pixel), the leftmost pixel first.
struct PairMasks {
    uint64_t masks[256][4];
};
PairMasks MakePairMasks() {
    PairMasks p{};
    for (uint32_t value = 0; value < 256; ++value) {
        for (uint32_t pixel = 0; pixel < 8; ++pixel) {
            const uint32_t pair = (value >> (6 - 2 * (pixel / 2))) & 3;
            p.masks[value][pair] |= uint64_t{0xFF} << (8 * pixel);
        }
    }
    return p;
}
const PairMasks& Pairs() {
    static const PairMasks pairs = MakePairMasks();
    return pairs;
}

// Eight multicolour pixels of `bits`, each pair's colour from `colours`.
inline void DrawPairs(uint8_t* out, uint8_t bits, const uint8_t colours[4],
                      const PairMasks& pairs) {
    const uint64_t* m = pairs.masks[bits];
    const uint64_t pixels = (colours[0] * EVERY_BYTE & m[0]) | (colours[1] * EVERY_BYTE & m[1]) |
                            (colours[2] * EVERY_BYTE & m[2]) | (colours[3] * EVERY_BYTE & m[3]);
    std::memcpy(out, &pixels, 8);
}

// The 1 bits of `bits` drawn in `colour` over eight pixels; the rest kept.
inline void Overlay(uint8_t* out, uint8_t bits, uint8_t colour) {
    uint64_t mask, pixels;
    std::memcpy(&mask, cells::MSB_FIRST.bytes[bits], 8);
    std::memcpy(&pixels, out, 8);
    pixels = (colour * EVERY_BYTE & mask) | (pixels & ~mask);
    std::memcpy(out, &pixels, 8);
}

// A file's bytes as the format lays them out: the file itself, or its
// stream unpacked into `owned`.
struct Image {
    std::vector<uint8_t> owned;
    ByteView bytes;
};

Image Raw(ByteView file) {
    return {{}, file};
}

// A backward stream read from `end` - 1 down to offset 2, unpacked into a
// buffer of `offset` zero bytes and then `size` bytes: the format's
// offsets, counted as in its raw files.
Image UnpackedBackward(ByteView file, uint32_t end, uint8_t escape, uint32_t offset,
                       uint32_t size) {
    Image image;
    image.owned.assign(offset + size, 0);
    unpackers::UnpackBackwardRuns(file, 2, end, escape, image.owned.data() + offset, size);
    image.bytes = {image.owned.data(), static_cast<uint32_t>(image.owned.size())};
    return image;
}

// A forward stream of runs `E count value` (count 0: 256) from offset 3,
// its escape byte at 2, unpacked likewise.
Image UnpackedForward(ByteView file, uint32_t offset, uint32_t size) {
    Image image;
    image.owned.assign(offset + size, 0);
    if (file.size > 3) {
        unpackers::UnpackEscapeRuns(file, 3, file[2], ZeroCount::Is256, image.owned.data() + offset,
                                    size);
    }
    image.bytes = {image.owned.data(), static_cast<uint32_t>(image.owned.size())};
    return image;
}

bool FillsBackward(ByteView file, uint32_t end, uint8_t escape, uint32_t size) {
    return unpackers::UnpackBackwardRuns(file, 2, end, escape, nullptr, size) == size;
}

bool FillsForward(ByteView file, uint32_t size) {
    return file.size > 3 &&
           unpackers::UnpackEscapeRuns(file, 3, file[2], ZeroCount::Is256, nullptr, size) == size;
}

// ---------------------------------------------------------------------------
// The FLI bitmap: eight screens (or fewer), a bitmap in cell order and, in
// multicolour, a colour memory.

struct FliLayout {
    uint32_t bitmap;   // NONE: every bitmap byte $AA (CFLI)
    uint32_t screens;  // screen 0; screen n at screens + 1024 n
    uint32_t
        colour;  // colour memory (multicolour); NONE: bit pair 11 takes the screen's low nibble
    bool multicolour;
    uint32_t firstLine;       // the FLI line of the picture's line 0
    uint32_t cellShift;       // added to each cell's index, modulo 1024 (Big FLI's lower half)
    uint32_t linesPerScreen;  // 1: a screen a line; 4: two screens a cell row (HCB)
    uint32_t stripFrom;       // the strip shows on FLI lines whose line in the cell is this or more
};

// The number of the screen FLI line `line` shows.
inline uint32_t ScreenNumber(const FliLayout& fli, uint32_t line) {
    return (line % 8) / fli.linesPerScreen;
}

// The largest offset `fli` reads for `lines` picture lines.
uint32_t Reach(const FliLayout& fli, uint32_t lines) {
    const uint32_t lastLine = fli.firstLine + lines - 1;
    const uint32_t lastCell = fli.cellShift != 0 ? 1023 : (lastLine / 8) * COLUMNS + COLUMNS - 1;
    uint32_t reach = fli.screens + SCREEN_STRIDE * ScreenNumber(fli, 7) + lastCell;
    if (fli.bitmap != NONE && fli.bitmap + 8 * lastCell + 7 > reach) {
        reach = fli.bitmap + 8 * lastCell + 7;
    }
    if (fli.multicolour && fli.colour != NONE && fli.colour + lastCell > reach) {
        reach = fli.colour + lastCell;
    }
    return reach;
}

// Draws `lines` lines of `fli` into the canvas from row `top` on. Line y's
// bit pair 00 shows backgrounds[y]; in the C64's view the strip's bit pair
// 11 shows stripColour[y] (nullptr: light grey). An image too short for
// the layout draws black.
void DrawFli(ByteView image, const FliLayout& fli, const uint8_t* backgrounds,
             const uint8_t* stripColour, uint32_t top, uint32_t lines, bool c64,
             const ColourCanvas& canvas) {
    if (Reach(fli, lines) >= image.size) {
        canvas.FillRect(0, top, canvas.width, lines, BLACK);
        return;
    }
    const uint8_t* data = image.data;
    const PairMasks& pairs = Pairs();
    for (uint32_t y = 0; y < lines; ++y) {
        const uint32_t line = fli.firstLine + y;
        const uint32_t screen = fli.screens + SCREEN_STRIDE * ScreenNumber(fli, line);
        const bool strip = c64 && line % 8 >= fli.stripFrom;
        uint8_t* out = canvas.Row(top + y);
        uint8_t colours[4] = {static_cast<uint8_t>(backgrounds[y] & 15), 0, 0, 0};
        for (uint32_t column = 0; column < COLUMNS; ++column) {
            const uint32_t cell = ((line / 8) * COLUMNS + column + fli.cellShift) % 1024;
            const uint8_t bits = fli.bitmap == NONE ? 0xAA : data[fli.bitmap + cell * 8 + line % 8];
            uint8_t ink = static_cast<uint8_t>(data[screen + cell] >> 4);
            uint8_t paper = static_cast<uint8_t>(data[screen + cell] & 15);
            uint8_t ram =
                fli.colour == NONE ? paper : static_cast<uint8_t>(data[fli.colour + cell] & 15);
            if (strip && column < STRIP_COLUMNS) {
                ink = paper = STRIP;
                ram = stripColour != nullptr ? stripColour[y] : STRIP;
            }
            uint8_t* at = out + column * 8;
            if (!fli.multicolour) {
                DrawHiresByte(at, bits, ink, paper);
                continue;
            }
            colours[1] = ink;
            colours[2] = paper;
            colours[3] = ram;
            DrawPairs(at, bits, colours, pairs);
        }
    }
}

// Every line's background: one colour, or a table of a byte a line.
struct Backgrounds {
    uint8_t lines[LINES];
    explicit Backgrounds(uint8_t colour) { std::memset(lines, colour, sizeof lines); }
    Backgrounds(ByteView image, uint32_t table, uint32_t linesPerByte) {
        for (uint32_t y = 0; y < LINES; ++y) {
            const uint32_t at = table + y / linesPerByte;
            lines[y] = at < image.size ? image[at] & 15 : BLACK;
        }
    }
};

PictureSize FullScreen(ByteView) {
    return {WIDTH, LINES};
}

uint8_t Black(ByteView) {
    return BLACK;
}

uint32_t OneFrame(ByteView) {
    return 1;
}

// The multicolour FLI of FLI Designer's memory: colour memory, eight
// screens, bitmap, from `at`.
constexpr FliLayout DesignerAt(uint32_t at, bool multicolour) {
    return {at + 9216, at + 1024, at, multicolour, 0, 0, 1, 0};
}

}  // namespace

// FBI: FLI Designer's pictures packed backwards (escape byte at offset 2)
// into 17,216 bytes: colour memory, eight screens, bitmap; black behind.
namespace {
constexpr uint32_t FBI_BYTES = 17216;
constexpr uint32_t FBI_LEAST = 19;
Image FbiImage(ByteView file) {
    if (file.size < FBI_LEAST) return Raw({});
    return UnpackedBackward(file, file.size, file[2], 0, FBI_BYTES);
}
}  // namespace

Evidence FbiSniff(ByteView file) {
    return file.size >= FBI_LEAST && FillsBackward(file, file.size, file[2], FBI_BYTES)
               ? Evidence::Shape
               : Evidence::None;
}
PictureSize FbiMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t FbiBackground(ByteView file) {
    return Black(file);
}
void FbiFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Image image = FbiImage(file);
    const Backgrounds black(BLACK);
    DrawFli(image.bytes, DesignerAt(0, true), black.lines, nullptr, 0, LINES, c64, canvas);
}

// FED: 17,665 bytes, FLI Graph's layout (colour memory 258, screens 1,282,
// bitmap 9,474) with each line's background at 8 + y.
namespace {
constexpr uint32_t FED_BYTES = 17665;
constexpr FliLayout FED = {9474, 1282, 258, true, 0, 0, 1, 0};
}  // namespace

Evidence FedSniff(ByteView file) {
    return file.size == FED_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize FedMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t FedBackground(ByteView file) {
    return file.size == FED_BYTES ? file[8] & 15 : BLACK;
}
void FedFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Backgrounds backgrounds(file, 8, 1);
    DrawFli(file, FED, backgrounds.lines, nullptr, 0, LINES, c64, canvas);
}

// FLM: 17,410 bytes of FLI Designer's layout with the background at
// 17,281; or packed backwards, its escape byte last, into 17,280 bytes of
// the same layout from offset 0 (background at 17,279), a hires FLI when
// the colour memory is all 0.
namespace {
constexpr uint32_t FLM_RAW = 17410;
constexpr uint32_t FLM_RAW_BACKGROUND = 17281;
constexpr uint32_t FLM_BYTES = 17280;
constexpr uint32_t FLM_BACKGROUND = 17279;
constexpr uint32_t FLM_LEAST = 6;
Image FlmImage(ByteView file) {
    if (file.size == FLM_RAW) return Raw(file);
    if (file.size < FLM_LEAST) return UnpackedBackward({}, 0, 0, 0, FLM_BYTES);
    return UnpackedBackward(file, file.size - 1, file[file.size - 1], 0, FLM_BYTES);
}
uint8_t FlmBackgroundOf(ByteView image) {
    return image[image.size == FLM_RAW ? FLM_RAW_BACKGROUND : FLM_BACKGROUND] & 15;
}
FliLayout FlmLayout(ByteView image) {
    if (image.size == FLM_RAW) return DesignerAt(2, true);
    bool colourless = true;
    for (uint32_t n = 0; n < 1000 && colourless; ++n) colourless = image[n] == 0;
    return DesignerAt(0, !colourless);
}
}  // namespace

Evidence FlmSniff(ByteView file) {
    if (file.size == FLM_RAW) return Evidence::Shape;
    return file.size >= FLM_LEAST &&
                   FillsBackward(file, file.size - 1, file[file.size - 1], FLM_BYTES)
               ? Evidence::Shape
               : Evidence::None;
}
PictureSize FlmMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t FlmBackground(ByteView file) {
    return FlmBackgroundOf(FlmImage(file).bytes);
}
void FlmFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Image image = FlmImage(file);
    const Backgrounds background(FlmBackgroundOf(image.bytes));
    DrawFli(image.bytes, FlmLayout(image.bytes), background.lines, nullptr, 0, LINES, c64, canvas);
}

// EMC: 17,412 bytes: eight screens at 2, bitmap 8,194, colour memory
// 16,386, background 17,411. Its program shows FLI lines 4 to 195: 320 x
// 192.
namespace {
constexpr uint32_t EMC_BYTES = 17412;
constexpr uint32_t EMC_LINES = 192;
constexpr FliLayout EMC = {8194, 2, 16386, true, 4, 0, 1, 0};
}  // namespace

Evidence EmcSniff(ByteView file) {
    return file.size == EMC_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize EmcMeasure(ByteView) {
    return {WIDTH, EMC_LINES};
}
uint8_t EmcBackground(ByteView file) {
    return file.size == EMC_BYTES ? file[EMC_BYTES - 1] & 15 : BLACK;
}
void EmcFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Backgrounds background(EmcBackground(file));
    DrawFli(file, EMC, background.lines, nullptr, 0, EMC_LINES, c64, canvas);
}

// HCB: 12,148 bytes: two screens (2,050 for the top four lines of each
// cell row, 3,074 for the bottom four), bitmap 4,098, a background a band
// of four lines at 12,098. Bit pair 11 shows the screen's low nibble, as
// 10 does: its files keep no colour memory that is read.
namespace {
constexpr uint32_t HCB_BYTES = 12148;
constexpr uint32_t HCB_BACKGROUNDS = 12098;
constexpr FliLayout HCB = {4098, 2050, NONE, true, 0, 0, 4, 4};
}  // namespace

Evidence HcbSniff(ByteView file) {
    return file.size == HCB_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize HcbMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t HcbBackground(ByteView file) {
    return file.size == HCB_BYTES ? file[HCB_BACKGROUNDS] & 15 : BLACK;
}
void HcbFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Backgrounds backgrounds(file, HCB_BACKGROUNDS, 4);
    DrawFli(file, HCB, backgrounds.lines, nullptr, 0, LINES, c64, canvas);
}

// Big FLI: 33,795 bytes, 'b' at offset 2; one 320 x 400 picture of two FLI
// halves sharing 1,024 bytes of colour memory at 3: the upper half's
// screens at 1,027 and bitmap at 9,219, the lower half's at 17,411 and
// 25,603, its cells counted on from 1,000 (modulo 1,024). Black behind.
namespace {
constexpr uint32_t BFLI_BYTES = 33795;
constexpr uint8_t BFLI_MARK = 'b';
constexpr FliLayout BFLI_TOP = {9219, 1027, 3, true, 0, 0, 1, 0};
constexpr FliLayout BFLI_BOTTOM = {25603, 17411, 3, true, 0, 1000, 1, 0};
}  // namespace

Evidence BfliSniff(ByteView file) {
    // One byte is too little a mark to take a file by: opened by its name.
    return file.size == BFLI_BYTES && file[2] == BFLI_MARK ? Evidence::Shape : Evidence::None;
}
PictureSize BfliMeasure(ByteView) {
    return {WIDTH, 2 * LINES};
}
uint8_t BfliBackground(ByteView file) {
    return Black(file);
}
void BfliFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Backgrounds black(BLACK);
    DrawFli(file, BFLI_TOP, black.lines, nullptr, 0, LINES, c64, canvas);
    DrawFli(file, BFLI_BOTTOM, black.lines, nullptr, LINES, LINES, c64, canvas);
}

// FLI Profi: 18,370 bytes: a multicolour FLI (colour memory 1,154, screens
// 2,178, bitmap 10,370, black behind) whose leftmost three cells lie under
// a column of multicolour sprites, Y-expanded: ten sprites at 2, colour 01
// a line's byte at 642 + y, 10 and 11 the bytes at 1,098 and 1,099. In the
// C64's view the strip's bit pair 11 shows the high nibble of 898 + y.
namespace {
constexpr uint32_t FPR_BYTES = 18370;
constexpr FliLayout FPR = {10370, 2178, 1154, true, 0, 0, 1, 0};
constexpr uint32_t FPR_SPRITES = 2;
constexpr uint32_t FPR_LINE_COLOURS = 642;
constexpr uint32_t FPR_STRIP_COLOURS = 898;
constexpr uint32_t FPR_COLOUR_2 = 1098;
constexpr uint32_t FPR_COLOUR_3 = 1099;

void FprSprites(ByteView file, const ColourCanvas& canvas) {
    for (uint32_t y = 0; y < LINES; ++y) {
        const uint32_t sprite = ((y + 1) % 4 >= 2 ? 5 : 0) + y / 42;
        const uint32_t row = (y / 2) % 21;
        const uint8_t colours[4] = {0, static_cast<uint8_t>(file[FPR_LINE_COLOURS + y] & 15),
                                    static_cast<uint8_t>(file[FPR_COLOUR_2] & 15),
                                    static_cast<uint8_t>(file[FPR_COLOUR_3] & 15)};
        uint8_t* out = canvas.Row(y);
        for (uint32_t x = 0; x < STRIP_COLUMNS * 8; ++x) {
            const uint8_t bits = file[FPR_SPRITES + 64 * sprite + row * 3 + x / 8];
            const uint32_t pair = (bits >> (6 - 2 * ((x % 8) / 2))) & 3;
            if (pair != 0) out[x] = colours[pair];
        }
    }
}
}  // namespace

Evidence FprSniff(ByteView file) {
    return file.size == FPR_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize FprMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t FprBackground(ByteView file) {
    return Black(file);
}
void FprFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    if (file.size != FPR_BYTES) {
        canvas.Fill(BLACK);
        return;
    }
    const Backgrounds black(BLACK);
    uint8_t strip[LINES];
    for (uint32_t y = 0; y < LINES; ++y) strip[y] = file[FPR_STRIP_COLOURS + y] >> 4;
    DrawFli(file, FPR, black.lines, strip, 0, LINES, c64, canvas);
    FprSprites(file, canvas);
}

// HFC: 16,386 bytes: a hires FLI, bitmap at 2 and eight screens at 8,194;
// its program shows the top 112 lines.
namespace {
constexpr uint32_t HFC_BYTES = 16386;
constexpr uint32_t HFC_LINES = 112;
constexpr FliLayout HFC = {2, 8194, NONE, false, 0, 0, 1, 0};
}  // namespace

Evidence HfcSniff(ByteView file) {
    return file.size == HFC_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize HfcMeasure(ByteView) {
    return {WIDTH, HFC_LINES};
}
uint8_t HfcBackground(ByteView file) {
    return Black(file);
}
void HfcFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Backgrounds black(BLACK);
    DrawFli(file, HFC, black.lines, nullptr, 0, HFC_LINES, c64, canvas);
}

// CFLI: 8,170 bytes: eight screens at 2 (the last 24 bytes short) and no
// bitmap: each line of a cell shows its screen byte's nibbles in turn,
// high first.
namespace {
constexpr uint32_t CFLI_BYTES = 8170;
constexpr FliLayout CFLI = {NONE, 2, NONE, false, 0, 0, 1, 0};
}  // namespace

Evidence CfliSniff(ByteView file) {
    return file.size == CFLI_BYTES ? Evidence::Shape : Evidence::None;
}
PictureSize CfliMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t CfliBackground(ByteView file) {
    return Black(file);
}
void CfliFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Backgrounds black(BLACK);
    DrawFli(file, CFLI, black.lines, nullptr, 0, LINES, c64, canvas);
}

// ---------------------------------------------------------------------------
// Hires FLI over sprites.

namespace {

// Each 4-bit value with every bit doubled: an X-expanded sprite's nibble
// as the eight pixels of a cell.
struct Doubled {
    uint8_t bits[16];
};
constexpr Doubled MakeDoubled() {
    Doubled d{};
    for (uint32_t n = 0; n < 16; ++n) {
        for (uint32_t bit = 0; bit < 4; ++bit) {
            if ((n >> bit) & 1) d.bits[n] = static_cast<uint8_t>(d.bits[n] | 3u << (2 * bit));
        }
    }
    return d;
}
constexpr Doubled DOUBLED = MakeDoubled();

inline uint8_t ExpandedNibble(uint8_t byte, bool high) {
    return DOUBLED.bits[high ? byte >> 4 : byte & 15];
}

// Eight pixels: 1 bits of `bitmap` `ink`, else 1 bits of `sprite`
// `spriteColour`, else `paper`.
inline void DrawUnderlaid(uint8_t* out, uint8_t bitmap, uint8_t ink, uint8_t sprite,
                          uint8_t spriteColour, uint8_t paper) {
    uint64_t top, under;
    std::memcpy(&top, cells::MSB_FIRST.bytes[bitmap], 8);
    std::memcpy(&under, cells::MSB_FIRST.bytes[sprite], 8);
    under &= ~top;
    const uint64_t pixels = (ink * EVERY_BYTE & top) | (spriteColour * EVERY_BYTE & under) |
                            (paper * EVERY_BYTE & ~(top | under));
    std::memcpy(out, &pixels, 8);
}

// The offsets of NUFLI's and Mufflon's colour tables of the six sprites.
constexpr uint32_t SPRITE_TABLES[6] = {0, 128, 1024, 1152, 2048, 2176};

// NUFLI's screen for line y, and where its sprite data lies (k).
uint32_t NufliScreen(uint32_t y) {
    if (y < 128) return 8194 + SCREEN_STRIDE * (7 - (y / 2) % 8);
    return 2 + SCREEN_STRIDE * (((y / 2) + (y >= 168 ? 1 : 0)) % 4);
}
uint32_t NufliShift(uint32_t y) {
    return y < 123 ? 0 : y < 165 ? 1 : 2;
}

}  // namespace

// UFLI: 16,194 bytes, or packed forwards (escape byte at 2, from 3) into
// offsets 2 to 16,193: a hires FLI whose screen (four of them, from 4,098)
// changes every two lines, bitmap at 8,194, over six X- and Y-expanded
// sprites a band of lines (from 2) across columns 3 to 38, in the colour
// at 4,082, or each sprite column's at 4,084 when 4,081 holds 1.
namespace {
constexpr uint32_t UFLI_BYTES = 16194;
constexpr uint32_t UFLI_LEAST = 6;
constexpr uint32_t UFLI_STRIP_FROM = 2;  // its screens change every second line

Image UfliImage(ByteView file) {
    if (file.size == UFLI_BYTES) return Raw(file);
    return UnpackedForward(file, 2, UFLI_BYTES - 2);
}

constexpr fli_frames::UfliLayout UFLI_LAYOUT = {2, 4098, 8194, 4081, 4082, 4084};
}  // namespace

void fli_frames::DrawUfli(ByteView image, const UfliLayout& layout, const ColourCanvas& canvas,
                          bool c64) {
    const uint32_t ends[] = {
        layout.sprites + 64 * 60, layout.screens + 4 * SCREEN_STRIDE,
        layout.bitmap + 8000,     layout.colour + 1,
        layout.columnColours + 6, layout.perColumnFlag == NOWHERE ? 0 : layout.perColumnFlag + 1};
    for (uint32_t end : ends) {
        if (end > image.size) {
            canvas.Fill(BLACK);
            return;
        }
    }
    const uint8_t* data = image.data;
    const bool perColumn = layout.perColumnFlag != NOWHERE && data[layout.perColumnFlag] == 1;
    for (uint32_t y = 0; y < LINES; ++y) {
        const uint32_t screen = layout.screens + SCREEN_STRIDE * ((y / 2) % 4);
        const bool strip = c64 && y % 8 >= UFLI_STRIP_FROM;
        const uint32_t sprites = 12 * (y / 40) + (y % 4 >= 2 ? 6 : 0);
        const uint32_t spriteRow = ((y + 1) / 2) % 21;
        uint8_t* out = canvas.Row(y);
        for (uint32_t column = 0; column < COLUMNS; ++column) {
            const uint32_t cell = (y / 8) * COLUMNS + column;
            const uint8_t bits = data[layout.bitmap + cell * 8 + y % 8];
            uint8_t ink = static_cast<uint8_t>(data[screen + cell] >> 4);
            uint8_t paper = static_cast<uint8_t>(data[screen + cell] & 15);
            if (strip && column < STRIP_COLUMNS) ink = paper = STRIP;
            if (column < STRIP_COLUMNS || column == COLUMNS - 1) {
                DrawHiresByte(out + column * 8, bits, ink, paper);
                continue;
            }
            const uint32_t c = column - STRIP_COLUMNS;
            const uint32_t sprite = sprites + c / 6;
            const uint8_t byte = data[layout.sprites + 64 * sprite + spriteRow * 3 + (c / 2) % 3];
            const uint8_t colour =
                data[perColumn ? layout.columnColours + c / 6 : layout.colour] & 15;
            DrawUnderlaid(out + column * 8, bits, ink, ExpandedNibble(byte, c % 2 == 0), colour,
                          paper);
        }
    }
}

Evidence UfliSniff(ByteView file) {
    if (file.size == UFLI_BYTES) return Evidence::Shape;
    return file.size >= UFLI_LEAST && FillsForward(file, UFLI_BYTES - 2) ? Evidence::Shape
                                                                         : Evidence::None;
}
PictureSize UfliMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t UfliBackground(ByteView file) {
    return Black(file);
}
void UfliFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Image image = UfliImage(file);
    fli_frames::DrawUfli(image.bytes, UFLI_LAYOUT, canvas, c64);
}

// NUFLI: 23,042 bytes, or $FD at offset 2 and a stream packed backwards
// (escape byte at 3) into offsets 2 to 23,041. A hires FLI whose screens
// change every two lines (from 8,194 above line 128, from 2 below it), over
// seven hires sprites across the picture (the first at normal width over
// the leftmost three cells, the others X-expanded over six cells each) and a
// multicolour sprite under the leftmost three cells, their colours changed
// line by line from the tables of the six sprites (from 1,026). A pointer
// to a sprite past the file's 360 makes the file no NUFLI picture.
namespace {
constexpr uint32_t NUFLI_BYTES = 23042;
constexpr uint8_t NUFLI_PACKED_MARK = 0xFD;
constexpr uint32_t NUFLI_LEAST = 6;
constexpr uint32_t NUFLI_BLOCKS = 360;

Image NufliImage(ByteView file) {
    if (file.size == NUFLI_BYTES) return Raw(file);
    if (file.size < NUFLI_LEAST) return Raw({});
    return UnpackedBackward(file, file.size, file[3], 2, NUFLI_BYTES - 2);
}

// The sprite block pointer `p` gives on line y, or NUFLI_BLOCKS when it is
// out of range.
uint32_t NufliBlock(uint32_t y, uint8_t p) {
    const int32_t block = 128 - (y >= 128 ? 256 : 0) + p;
    return block >= 0 && block < static_cast<int32_t>(NUFLI_BLOCKS) ? static_cast<uint32_t>(block)
                                                                    : NUFLI_BLOCKS;
}

bool NufliPointersFit(ByteView image) {
    for (uint32_t y = 0; y < LINES; ++y) {
        const uint32_t screen = NufliScreen(y);
        for (uint32_t s = 0; s < 8; ++s) {
            if (NufliBlock(y, image[screen + 1016 + s]) == NUFLI_BLOCKS) return false;
        }
    }
    return true;
}

// The sprite colour registers 0 to 9 at line y, moved on from line y - 1.
void NufliColours(const uint8_t* data, uint32_t y, uint8_t registers[10]) {
    if (y == 0) {
        registers[0] = data[8185] & 15;
        for (uint32_t i = 0; i < 6; ++i) registers[1 + i] = data[1026 + SPRITE_TABLES[i]] & 15;
        registers[7] = data[8179] & 15;
        registers[8] = data[8184] & 15;
        registers[9] = data[8178] & 15;
        return;
    }
    const bool odd = y % 2 == 1;
    for (uint32_t i = 0; i < 6; ++i) {
        const uint8_t b = data[1026 + SPRITE_TABLES[i] + (y + 1) / 2];
        const uint8_t colour = b & 15;
        const uint32_t action = b >> 4;
        if (action == 0) {
            if (odd) registers[1 + i] = colour;
            continue;
        }
        if (odd != (i == 0)) continue;
        switch (action) {
            case 5:
                registers[7] = colour;
                break;
            case 6:
                registers[9] = colour;
                break;
            case 7:
                registers[0] = colour;
                break;
            case 14:
                registers[8] = colour;
                break;
            default:
                break;
        }
    }
}

void DrawNufli(ByteView image, const ColourCanvas& canvas, bool c64) {
    if (image.size < NUFLI_BYTES) {
        canvas.Fill(BLACK);
        return;
    }
    const uint8_t* data = image.data;
    uint8_t registers[10] = {};
    for (uint32_t y = 0; y < LINES; ++y) {
        NufliColours(data, y, registers);
        const uint32_t screen = NufliScreen(y);
        const uint32_t bitmap = y < 128 ? 16386 : 2;
        const bool strip = c64 && y % 8 >= 2;
        const uint32_t rowStart = ((y + 47) / 2) * 3 + NufliShift(y);
        uint32_t blocks[8];
        for (uint32_t s = 0; s < 8; ++s) blocks[s] = NufliBlock(y, data[screen + 1016 + s]);
        // A byte of sprite s's line: 0 for a pointer out of range.
        const auto spriteByte = [&](uint32_t s, uint32_t byteInRow) -> uint8_t {
            if (blocks[s] == NUFLI_BLOCKS) return 0;
            return data[2 + 64 * blocks[s] + (rowStart + byteInRow) % 64];
        };
        uint8_t* out = canvas.Row(y);
        for (uint32_t column = 0; column < COLUMNS; ++column) {
            const uint32_t cell = (y / 8) * COLUMNS + column;
            const uint8_t bits = data[bitmap + cell * 8 + y % 8];
            uint8_t ink = static_cast<uint8_t>(data[screen + cell] >> 4);
            uint8_t paper = static_cast<uint8_t>(data[screen + cell] & 15);
            uint8_t* at = out + column * 8;
            if (column < STRIP_COLUMNS) {
                if (strip) ink = paper = STRIP;
                const uint8_t hires = spriteByte(0, column);
                const uint8_t multi = spriteByte(7, column);
                for (uint32_t pixel = 0; pixel < 8; ++pixel) {
                    const uint32_t pair = (multi >> (6 - 2 * (pixel / 2))) & 3;
                    uint8_t colour = pair != 0 ? registers[6 + pair] : paper;
                    if ((hires >> (7 - pixel)) & 1) colour = registers[0];
                    if ((bits >> (7 - pixel)) & 1) colour = ink;
                    at[pixel] = colour;
                }
                continue;
            }
            if (column == COLUMNS - 1) {
                DrawHiresByte(at, bits, ink, paper);
                continue;
            }
            const uint32_t s = (3 + column) / 6;
            const uint32_t first = (4 * (column - STRIP_COLUMNS)) % 24;  // the cell's sprite x
            const uint8_t sprite = ExpandedNibble(spriteByte(s, first / 8), first % 8 == 0);
            DrawUnderlaid(at, bits, ink, sprite, registers[s], paper);
        }
    }
}
}  // namespace

Evidence NufliSniff(ByteView file) {
    if (file.size != NUFLI_BYTES && (file.size < NUFLI_LEAST || file[2] != NUFLI_PACKED_MARK ||
                                     !FillsBackward(file, file.size, file[3], NUFLI_BYTES - 2))) {
        return Evidence::None;
    }
    const Image image = NufliImage(file);
    return NufliPointersFit(image.bytes) ? Evidence::Shape : Evidence::None;
}
PictureSize NufliMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t NufliBackground(ByteView file) {
    return Black(file);
}
void NufliFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Image image = NufliImage(file);
    DrawNufli(image.bytes, canvas, c64);
}

// Mufflon: 21,826 bytes, or packed backwards (escape byte at 2) into
// offsets 2 to 21,761. A hires FLI with NUFLI's screens 256 bytes lower,
// over six X-expanded sprites across columns 3 to 38, each hires or
// multicolour line by line (the bits of 4,610 + (y + 1) / 2), their colours
// from tables at 770. A pointer to a sprite past the file's 340 makes the
// file no Mufflon picture.
namespace {
constexpr uint32_t MUFFLON_BYTES = 21826;
constexpr uint32_t MUFFLON_UNPACKED = 21760;  // offsets 2 to 21,761
static_assert(MUFFLON_UNPACKED + 2 == fli_frames::MUFFLON_IMAGE_BYTES, "Mufflon's image");
constexpr uint32_t MUFFLON_LEAST = 6;
constexpr uint32_t MUFFLON_BLOCKS = 340;

Image MufflonImage(ByteView file) {
    if (file.size == MUFFLON_BYTES) return Raw(file);
    if (file.size < MUFFLON_LEAST) return Raw({});
    return UnpackedBackward(file, file.size, file[2], 2, MUFFLON_UNPACKED);
}

// Offsets of line y's screen and bitmap bytes of `cell`: 256 bytes below
// NUFLI's screens, and below line 128 the bitmap 16,384 bytes lower (the
// cells of those lines, 640 on, keep both inside the file).
uint32_t MufflonScreenAt(uint32_t y, uint32_t cell) {
    return NufliScreen(y) + cell - 256;
}
uint32_t MufflonBitmapAt(uint32_t y, uint32_t cell) {
    return 8 * cell + y % 8 + (y < 128 ? 16130 : 16130 - 16384);
}

uint32_t MufflonBlock(uint32_t y, uint8_t p) {
    const int32_t block = 124 - (y >= 128 ? 256 : 0) + p;
    return block >= 0 && block < static_cast<int32_t>(MUFFLON_BLOCKS) ? static_cast<uint32_t>(block)
                                                                      : MUFFLON_BLOCKS;
}

// The pointers of line y lie at its screen + 1,017 to 1,022.
uint32_t MufflonPointers(uint32_t y) {
    return NufliScreen(y) + 1017 - 256;
}

}  // namespace

bool fli_frames::MufflonPointersFit(ByteView image) {
    if (image.size < MUFFLON_IMAGE_BYTES) return false;
    for (uint32_t y = 0; y < LINES; ++y) {
        for (uint32_t s = 0; s < 6; ++s) {
            if (MufflonBlock(y, image[MufflonPointers(y) + s]) == MUFFLON_BLOCKS) return false;
        }
    }
    return true;
}

void fli_frames::DrawMufflon(ByteView image, const ColourCanvas& canvas, bool c64) {
    if (image.size < MUFFLON_IMAGE_BYTES) {
        canvas.Fill(BLACK);
        return;
    }
    const uint8_t* data = image.data;
    for (uint32_t y = 0; y < LINES; ++y) {
        const bool strip = c64 && y % 8 >= 2;
        const uint32_t half = (y + 1) / 2;
        const uint32_t rowStart = ((y + 47) / 2) * 3 + NufliShift(y);
        const uint8_t multicolour = data[4610 + half];
        const uint32_t firstCell = (y / 8) * COLUMNS;
        const uint8_t* bitmap = data + MufflonBitmapAt(y, firstCell);
        const uint8_t* screens = data + MufflonScreenAt(y, firstCell);
        uint32_t blocks[6];
        for (uint32_t s = 0; s < 6; ++s) {
            blocks[s] = MufflonBlock(y, data[MufflonPointers(y) + s]);
        }
        uint8_t* out = canvas.Row(y);
        for (uint32_t column = 0; column < COLUMNS; ++column) {
            const uint8_t bits = bitmap[8 * column];
            const uint8_t screen = screens[column];
            uint8_t ink = static_cast<uint8_t>(screen >> 4);
            uint8_t paper = static_cast<uint8_t>(screen & 15);
            uint8_t* at = out + column * 8;
            if (column < STRIP_COLUMNS || column == COLUMNS - 1) {
                if (strip && column < STRIP_COLUMNS) ink = paper = STRIP;
                DrawHiresByte(at, bits, ink, paper);
                continue;
            }
            const uint32_t v = column - STRIP_COLUMNS;
            const uint32_t s = v / 6;
            const uint32_t block = blocks[s];
            const uint8_t byte =
                block == MUFFLON_BLOCKS ? 0 : data[2 + 64 * block + (rowStart + (v / 2) % 3) % 64];
            const uint8_t own = data[770 + SPRITE_TABLES[s] + half] & 15;
            if (((multicolour >> (s + 1)) & 1) == 0) {
                DrawUnderlaid(at, bits, ink, ExpandedNibble(byte, v % 2 == 0), own, paper);
                continue;
            }
            const uint8_t colours[4] = {paper, static_cast<uint8_t>(data[7923] & 15), own,
                                        static_cast<uint8_t>(data[7922] & 15)};
            // Two pairs of the sprite's byte, four pixels each.
            const uint32_t shift = v % 2 == 0 ? 6 : 2;
            std::memset(at, colours[(byte >> shift) & 3], 4);
            std::memset(at + 4, colours[(byte >> (shift - 2)) & 3], 4);
            Overlay(at, bits, ink);
        }
    }
}

Evidence MufflonSniff(ByteView file) {
    if (file.size != MUFFLON_BYTES &&
        (file.size < MUFFLON_LEAST || !FillsBackward(file, file.size, file[2], MUFFLON_UNPACKED))) {
        return Evidence::None;
    }
    const Image image = MufflonImage(file);
    return fli_frames::MufflonPointersFit(image.bytes) ? Evidence::Shape : Evidence::None;
}
PictureSize MufflonMeasure(ByteView file) {
    return FullScreen(file);
}
uint8_t MufflonBackground(ByteView file) {
    return Black(file);
}
void MufflonFrame(ByteView file, const ColourCanvas& canvas, uint32_t, bool c64) {
    const Image image = MufflonImage(file);
    fli_frames::DrawMufflon(image.bytes, canvas, c64);
}

// ---------------------------------------------------------------------------
// Narrow windows of hires FLI and sprites.

// XFL: packed backwards (escape byte at 2) into 16,192 bytes: a 192 x 167
// window of a hires FLI (screen columns 16 to 39; screens at 0, bitmap at
// 8,192) over multicolour sprites, Y-expanded, their colours in registers
// 1 to 10 (from 8,174) that the tables at 960 and 988 change every second
// line.
namespace {
constexpr uint32_t XFL_BYTES = 16192;
constexpr uint32_t XFL_LEAST = 6;
constexpr uint32_t XFL_WIDTH = 192;
constexpr uint32_t XFL_LINES = 167;
constexpr uint8_t XFL_BLOCKS[64] = {228, 229, 233, 234, 235, 236, 237, 238, 239, 240, 241, 242, 243,
                                    246, 247, 248, 14,  30,  46,  62,  78,  94,  110, 126, 128, 129,
                                    133, 134, 138, 139, 143, 144, 148, 149, 153, 154, 158, 159, 163,
                                    164, 168, 169, 173, 174, 178, 179, 183, 184, 188, 189, 193, 194,
                                    198, 199, 203, 204, 208, 209, 213, 214, 218, 219, 223, 224};
}  // namespace

Evidence XflSniff(ByteView file) {
    return file.size >= XFL_LEAST && FillsBackward(file, file.size, file[2], XFL_BYTES)
               ? Evidence::Shape
               : Evidence::None;
}
PictureSize XflMeasure(ByteView) {
    return {XFL_WIDTH, XFL_LINES};
}
uint8_t XflBackground(ByteView file) {
    return Black(file);
}
void XflDraw(ByteView file, const ColourCanvas& canvas) {
    if (file.size < XFL_LEAST) {
        canvas.Fill(BLACK);
        return;
    }
    const Image image = UnpackedBackward(file, file.size, file[2], 0, XFL_BYTES);
    const uint8_t* data = image.bytes.data;
    const PairMasks& pairs = Pairs();
    uint8_t registers[16] = {};
    for (uint32_t r = 1; r <= 10; ++r) registers[r] = data[8173 + r] & 15;
    for (uint32_t y = 0; y < XFL_LINES; ++y) {
        if (y >= 3 && y % 2 == 1) {
            const uint32_t t = (y - 3) / 2;
            const uint32_t i = SCREEN_STRIDE * (t / 28) + t % 28;
            registers[data[988 + i] & 15] = data[960 + i] & 15;
        }
        const uint32_t screen = SCREEN_STRIDE * ((y + 7) % 8);  // (y - 1) & 7
        uint8_t* out = canvas.Row(y);
        for (uint32_t c = 0; c < XFL_WIDTH / 8; ++c) {
            const uint32_t cell = ((y + 1) / 8) * COLUMNS + 16 + c;
            const uint8_t bits = data[8192 + 8 * cell + (y + 1) % 8];
            const uint8_t screenByte = data[screen + cell];
            const uint32_t block = XFL_BLOCKS[8 * (y % 8) + c / 3];
            const uint8_t sprite = data[64 * block + ((y / 2) % 21) * 3 + c % 3];
            const uint8_t colours[4] = {static_cast<uint8_t>(screenByte & 15), registers[1],
                                        registers[3 + c / 3], registers[2]};
            DrawPairs(out + 8 * c, sprite, colours, pairs);
            Overlay(out + 8 * c, bits, static_cast<uint8_t>(screenByte >> 4));
        }
    }
}

// Super Hires FLI (SHF): 15,874 bytes, a 208 x 167 window of a hires FLI
// (screen columns 14 to 39, from its second line) under two layers of
// sprites over its left 96 pixels, in the colours at 1,002 (front) and
// 1,003 (back); or packed forwards (escape byte at 2, from 3) into 8,170
// bytes of a 96 x 167 picture kept a line at a time, 12 bytes a line: front
// sprites, back sprites, bitmap, a colour byte a cell a line, both sprite
// layers in the colour at 8,168.
namespace {
constexpr uint32_t SHF_RAW = 15874;
constexpr uint32_t SHF_PACKED = 8170;
constexpr uint32_t SHF_LEAST = 6;
constexpr uint32_t SHF_LINES = 167;
constexpr uint32_t SHF_RAW_WIDTH = 208;
constexpr uint32_t SHF_PACKED_WIDTH = 96;
constexpr uint8_t SHF_BLOCKS[64] = {128, 132, 133, 137, 138, 142, 143, 147, 148, 152, 153, 157, 158,
                                    162, 163, 167, 168, 172, 173, 177, 178, 182, 183, 187, 188, 192,
                                    193, 197, 198, 202, 203, 207, 208, 212, 213, 217, 218, 222, 223,
                                    227, 228, 232, 233, 234, 235, 236, 237, 238, 239, 240, 241, 242,
                                    243, 244, 245, 246, 247, 30,  46,  62,  78,  94,  110, 126};

void ShfRawDraw(ByteView file, const ColourCanvas& canvas) {
    const uint8_t* data = file.data;
    const uint8_t front = data[1002] & 15;
    const uint8_t back = data[1003] & 15;
    for (uint32_t y = 0; y < SHF_LINES; ++y) {
        const uint32_t line = y + 1;
        uint8_t* out = canvas.Row(y);
        for (uint32_t c = 0; c < SHF_RAW_WIDTH / 8; ++c) {
            const uint32_t cell = (line / 8) * COLUMNS + c;
            const uint8_t screen = data[16 + SCREEN_STRIDE * (line % 8) + cell];
            const uint8_t bits = data[8306 + 8 * cell + line % 8];
            uint8_t* at = out + 8 * c;
            DrawHiresByte(at, bits, static_cast<uint8_t>(screen >> 4),
                          static_cast<uint8_t>(screen & 15));
            if (c >= 12) continue;
            const uint32_t index = 8 * (y % 8) + c / 3;
            const uint32_t row = (y % 21) * 3 + c % 3;
            Overlay(at, data[2 + 64 * SHF_BLOCKS[index + 4] + row], back);
            Overlay(at, data[2 + 64 * SHF_BLOCKS[index] + row], front);
        }
    }
}

void ShfPackedDraw(ByteView file, const ColourCanvas& canvas) {
    const Image image = UnpackedForward(file, 0, SHF_PACKED);
    const uint8_t sprites = image.bytes[8168] & 15;
    fli_frames::DrawLineLayout(image.bytes, sprites, sprites, canvas);
}
}  // namespace

void fli_frames::DrawLineLayout(ByteView image, uint8_t front, uint8_t back,
                                const ColourCanvas& canvas) {
    if (image.size < LINE_LAYOUT_BYTES) {
        canvas.Fill(BLACK);
        return;
    }
    const uint8_t* data = image.data;
    for (uint32_t y = 0; y < SHF_LINES; ++y) {
        uint8_t* out = canvas.Row(y);
        for (uint32_t c = 0; c < SHF_PACKED_WIDTH / 8; ++c) {
            const uint32_t at = 12 * y + c;
            const uint8_t colour = data[6144 + at];
            DrawUnderlaid(out + 8 * c, data[2048 + at], back, data[4096 + at],
                          static_cast<uint8_t>(colour >> 4), static_cast<uint8_t>(colour & 15));
            Overlay(out + 8 * c, data[at], front);
        }
    }
}

Evidence ShfSniff(ByteView file) {
    if (file.size == SHF_RAW) return Evidence::Shape;
    return file.size >= SHF_LEAST && FillsForward(file, SHF_PACKED) ? Evidence::Shape
                                                                    : Evidence::None;
}
PictureSize ShfMeasure(ByteView file) {
    return {file.size == SHF_RAW ? SHF_RAW_WIDTH : SHF_PACKED_WIDTH, SHF_LINES};
}
uint8_t ShfBackground(ByteView file) {
    return Black(file);
}
void ShfDraw(ByteView file, const ColourCanvas& canvas) {
    if (file.size < SHF_LEAST) {
        canvas.Fill(BLACK);
    } else if (file.size == SHF_RAW) {
        ShfRawDraw(file, canvas);
    } else {
        ShfPackedDraw(file, canvas);
    }
}

// SHX: 15,362 bytes, a 144 x 168 window of a hires FLI (screen columns 11
// to 28) under a layer of sprites in the colour at 1,003; or packed
// backwards (its escape byte last) into 9,168 bytes kept a line at a time,
// 18 bytes a line: sprites, their colour (3,025), bitmap, a colour byte a
// cell a line.
namespace {
constexpr uint32_t SHX_RAW = 15362;
constexpr uint32_t SHX_PACKED = 9168;
constexpr uint32_t SHX_LEAST = 6;
constexpr uint32_t SHX_WIDTH = 144;
constexpr uint32_t SHX_LINES = 168;

void ShxRawDraw(ByteView file, const ColourCanvas& canvas) {
    const uint8_t* data = file.data;
    const uint8_t colour = data[1003] & 15;
    for (uint32_t y = 0; y < SHX_LINES; ++y) {
        const uint32_t bank = (y + 7) % 8;  // (y - 1) & 7
        uint8_t* out = canvas.Row(y);
        for (uint32_t c = 0; c < SHX_WIDTH / 8; ++c) {
            const uint32_t cell = (y / 8) * COLUMNS + c;
            const uint8_t screen = data[13 + SCREEN_STRIDE * (y % 8) + cell];
            const uint8_t bits = data[8282 + 8 * cell + y % 8];
            const uint32_t s = c / 3;
            uint32_t block = 15 * bank + s;
            if (block < 105) block += 3 * ((s + 1) / 2);
            const uint8_t sprite = data[8194 + 64 * block + (y % 21) * 3 + c % 3];
            DrawUnderlaid(out + 8 * c, sprite, colour, bits, static_cast<uint8_t>(screen >> 4),
                          static_cast<uint8_t>(screen & 15));
        }
    }
}

void ShxPackedDraw(ByteView file, const ColourCanvas& canvas) {
    const Image image = UnpackedBackward(file, file.size - 1, file[file.size - 1], 0, SHX_PACKED);
    const uint8_t* data = image.bytes.data;
    const uint8_t sprites = data[3025] & 15;
    for (uint32_t y = 0; y < SHX_LINES; ++y) {
        uint8_t* out = canvas.Row(y);
        for (uint32_t c = 0; c < SHX_WIDTH / 8; ++c) {
            const uint32_t at = 18 * y + c;
            const uint8_t colour = data[6144 + at];
            DrawUnderlaid(out + 8 * c, data[at], sprites, data[3072 + at],
                          static_cast<uint8_t>(colour >> 4), static_cast<uint8_t>(colour & 15));
        }
    }
}
}  // namespace

Evidence ShxSniff(ByteView file) {
    if (file.size == SHX_RAW) return Evidence::Shape;
    return file.size >= SHX_LEAST &&
                   FillsBackward(file, file.size - 1, file[file.size - 1], SHX_PACKED)
               ? Evidence::Shape
               : Evidence::None;
}
PictureSize ShxMeasure(ByteView) {
    return {SHX_WIDTH, SHX_LINES};
}
uint8_t ShxBackground(ByteView file) {
    return Black(file);
}
void ShxDraw(ByteView file, const ColourCanvas& canvas) {
    if (file.size < SHX_LEAST) {
        canvas.Fill(BLACK);
    } else if (file.size == SHX_RAW) {
        ShxRawDraw(file, canvas);
    } else {
        ShxPackedDraw(file, canvas);
    }
}

namespace {
// A row of a format the C64 shows otherwise than its file stores it.
#define TARNEL_FLI_VIEWS(Name) OneFrame, Name##Frame
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {70, "fli-designer-packed", "FLI Designer, packed (FBI)", "fbi", "image/x-c64-fli", true, false, "has a load address and its escape byte, then a stream read from its end that unpacks to FLI Designer's 17,216 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Fbi), TARNEL_FLI_VIEWS(Fbi)},
    {71, "fed", "FLI with a background a line (FED)", "fed", "image/x-c64-fli", true, false, "is 17,665 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Fed), TARNEL_FLI_VIEWS(Fed)},
    {72, "flm", "FLI with a background (FLM)", "flm", "image/x-c64-fli", true, false, "is 17,410 bytes, or holds a stream read from its end, its escape byte last, that unpacks to 17,280 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Flm), TARNEL_FLI_VIEWS(Flm)},
    {73, "emc", "FLI, 192 lines (EMC)", "emc", "image/x-c64-fli", true, false, "is 17,412 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Emc), TARNEL_FLI_VIEWS(Emc)},
    {74, "hcb", "FLI of two screens a cell row (HCB)", "hcb", "image/x-c64-fli", true, false, "is 12,148 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Hcb), TARNEL_FLI_VIEWS(Hcb)},
    {75, "big-fli", "Big FLI, 320 x 400", "bfl bfli", "image/x-c64-fli", true, false, "is 33,795 bytes with 'b' at offset 2", TARNEL_FRAME_FORMAT_FUNCTIONS(Bfli), TARNEL_FLI_VIEWS(Bfli)},
    {76, "fli-profi", "FLI Profi", "fpr", "image/x-c64-fli", true, false, "is 18,370 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Fpr), TARNEL_FLI_VIEWS(Fpr)},
    {77, "hfc", "Hires FLI, 112 lines (HFC)", "hfc hfd", "image/x-c64-hires-fli", true, false, "is 16,386 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Hfc), TARNEL_FLI_VIEWS(Hfc)},
    {78, "cfli", "FLI of screens only (CFLI)", "cfli", "image/x-c64-fli", true, false, "is 8,170 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Cfli), TARNEL_FLI_VIEWS(Cfli)},
    {79, "ufli", "UFLI (hires FLI over sprites)", "ufl", "image/x-c64-hires-fli", true, false, "is 16,194 bytes, or holds its escape byte and a stream that unpacks to 16,192 bytes", TARNEL_FRAME_FORMAT_FUNCTIONS(Ufli), TARNEL_FLI_VIEWS(Ufli)},
    {80, "nufli", "NUFLI", "nuf nup", "image/x-c64-hires-fli", true, false, "is 23,042 bytes, or has $FD at offset 2 and a stream read from its end that unpacks to 23,040 bytes, and points to no sprite past its 360th", TARNEL_FRAME_FORMAT_FUNCTIONS(Nufli), TARNEL_FLI_VIEWS(Nufli)},
    {81, "mufflon", "Mufflon", "muf mup", "image/x-c64-hires-fli", true, false, "is 21,826 bytes, or holds its escape byte and a stream read from its end that unpacks to 21,760 bytes, and points to no sprite past its 340th", TARNEL_FRAME_FORMAT_FUNCTIONS(Mufflon), TARNEL_FLI_VIEWS(Mufflon)},
    {82, "xfl", "Hires FLI with sprites, 192 x 167 (XFL)", "xfl", "image/x-c64-hires-fli", true, false, "holds its escape byte and a stream read from its end that unpacks to 16,192 bytes", TARNEL_FORMAT_FUNCTIONS(Xfl)},
    {83, "shf", "Super Hires FLI (SHF)", "shf", "image/x-c64-hires-fli", true, false, "is 15,874 bytes, or holds its escape byte and a stream that unpacks to 8,170 bytes", TARNEL_FORMAT_FUNCTIONS(Shf)},
    {84, "shx", "Hires FLI with sprites, 144 x 168 (SHX)", "shx", "image/x-c64-hires-fli", true, false, "is 15,362 bytes, or holds a stream read from its end, its escape byte last, that unpacks to 9,168 bytes", TARNEL_FORMAT_FUNCTIONS(Shx)},
};
// clang-format on
#undef TARNEL_FLI_VIEWS
}  // namespace

const FormatFamily FLI_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
