// Sprite sets: SpritePad's .spd (every version, and the headerless files of
// the first SpritePad) and the 127-sprite bank .a. Every sprite is shown,
// 24 x 21 pixels in a slot of 26 x 23, sixteen a row; gaps and empty slots
// take the set's background.
#include <algorithm>
#include <cstring>

#include "core/formats/cells.h"
#include "core/formats/readers.h"

namespace tarnel::readers {

using cells::DrawSprite;
using cells::Le16;
using cells::SPRITE_HEIGHT;
using cells::SPRITE_WIDTH;

namespace {

constexpr uint32_t SPRITE_BYTES = 64;
constexpr uint32_t SLOT_WIDTH = SPRITE_WIDTH + 2;
constexpr uint32_t SLOT_HEIGHT = SPRITE_HEIGHT + 2;
constexpr uint32_t SLOTS_A_ROW = 16;

// A SpritePad set: where its sprites start, how many the file holds, and
// its background and two multicolours.
struct SpriteSet {
    uint32_t first = 0;
    uint32_t count = 0;  // 0 when the file is not a set
    uint8_t background = 0, multicolour1 = 0, multicolour2 = 0;
    bool signature = false;
};

SpriteSet ParseSpritePad(ByteView file) {
    SpriteSet set;
    if (file.size >= 4 && std::memcmp(file.data, "SPD", 3) == 0) {
        // Versions 1 and 2: the count less one in byte 4, the colours at 6;
        // 3 and 4: a 16-bit count at 5, the colours at 13; 5 adds two
        // overlay distances before the sprites.
        uint32_t header = 0, colours = 0, count = 0;
        switch (file[3]) {
            case 1:
            case 2:
                header = 9;
                colours = 6;
                if (file.Holds(4)) count = file[4] + 1u;
                break;
            case 3:
            case 4:
            case 5:
                header = file[3] == 5 ? 20 : 16;
                colours = 13;
                if (file.Holds(5, 2)) count = Le16(file, 5);
                break;
            default:
                return {};
        }
        if (!file.Holds(header, SPRITE_BYTES)) return {};
        set.first = header;
        set.count = std::min(count, (file.size - header) / SPRITE_BYTES);
        set.background = file[colours] & 15;
        set.multicolour1 = file[colours + 1] & 15;
        set.multicolour2 = file[colours + 2] & 15;
        set.signature = true;
        return set;
    }
    // The first SpritePad's files: the three colours, then the sprites.
    if (file.size >= 67 && file.size % SPRITE_BYTES == 3 && file[0] <= 15 && file[1] <= 15 &&
        file[2] <= 15) {
        set.first = 3;
        set.count = file.size / SPRITE_BYTES;
        set.background = file[0];
        set.multicolour1 = file[1];
        set.multicolour2 = file[2];
    }
    return set;
}

PictureSize GridSize(uint32_t sprites) {
    if (sprites <= SLOTS_A_ROW) return {SLOT_WIDTH * sprites - 2, SPRITE_HEIGHT};
    return {SLOT_WIDTH * SLOTS_A_ROW - 2,
            SLOT_HEIGHT * ((sprites + SLOTS_A_ROW - 1) / SLOTS_A_ROW) - 2};
}

}  // namespace

Evidence SpritePadSniff(ByteView file) {
    const SpriteSet set = ParseSpritePad(file);
    if (set.count == 0) return Evidence::None;
    return set.signature ? Evidence::Signature : Evidence::Shape;
}
PictureSize SpritePadMeasure(ByteView file) {
    return GridSize(ParseSpritePad(file).count);
}
uint8_t SpritePadBackground(ByteView file) {
    return ParseSpritePad(file).background;
}
void SpritePadDraw(ByteView file, const ColourCanvas& canvas) {
    const SpriteSet set = ParseSpritePad(file);
    canvas.Fill(set.background);
    for (uint32_t n = 0; n < set.count; ++n) {
        const uint8_t* sprite = file.data + set.first + n * SPRITE_BYTES;
        const uint8_t attributes = sprite[63];
        const uint8_t colours[4] = {set.background, set.multicolour1,
                                    static_cast<uint8_t>(attributes & 15), set.multicolour2};
        DrawSprite(canvas, (n % SLOTS_A_ROW) * SLOT_WIDTH, (n / SLOTS_A_ROW) * SLOT_HEIGHT, sprite,
                   (attributes & 0x80) != 0, colours);
    }
}

// The sprite bank: 127 multicolour sprites at $0042, each colour in its
// 64th byte; dark grey around them, black and white the shared colours.
namespace {
constexpr uint32_t BANK_SPRITES = 127;
constexpr uint8_t BANK_BACKGROUND = 11;
}  // namespace

Evidence SpriteBankSniff(ByteView file) {
    return file.size == 2 + BANK_SPRITES * SPRITE_BYTES && file[0] == 0x42 && file[1] == 0x00
               ? Evidence::Shape
               : Evidence::None;
}
PictureSize SpriteBankMeasure(ByteView) {
    return {SLOT_WIDTH * SLOTS_A_ROW, SLOT_HEIGHT * 8 - 2};
}
uint8_t SpriteBankBackground(ByteView) {
    return BANK_BACKGROUND;
}
void SpriteBankDraw(ByteView file, const ColourCanvas& canvas) {
    canvas.Fill(BANK_BACKGROUND);
    for (uint32_t n = 0; n < BANK_SPRITES; ++n) {
        const uint8_t* sprite = file.data + 2 + n * SPRITE_BYTES;
        const uint8_t colours[4] = {BANK_BACKGROUND, 0, static_cast<uint8_t>(sprite[63] & 15), 1};
        DrawSprite(canvas, (n % SLOTS_A_ROW) * SLOT_WIDTH, (n / SLOTS_A_ROW) * SLOT_HEIGHT, sprite,
                   true, colours);
    }
}

namespace {
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {27, "spritepad", "SpritePad sprites", "spd", "image/x-c64-spritepad", false, true, "starts with \"SPD\" and a version 1 to 5, or holds three colours and 64 bytes a sprite", TARNEL_FORMAT_FUNCTIONS(SpritePad)},
    {28, "sprite-bank", "Sprite bank, 127 sprites", "a", "image/x-c64-sprites", true, false, "is 8,130 bytes at $0042", TARNEL_FORMAT_FUNCTIONS(SpriteBank)},
};
// clang-format on
}  // namespace

const FormatFamily SPRITE_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
