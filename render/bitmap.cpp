#include "render/bitmap.h"

#include <cstring>

#include "formats/layouts.h"
#include "plugin/tarnel_api.h"
#include "render/byte_order.h"

namespace tarnel {
namespace {

void PutLittleEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void WriteHeader(uint8_t* header) {
    std::memset(header, 0, TARNEL_BITMAP_HEADER_BYTES);
    PutLittleEndian(header + 0, TARNEL_BITMAP_HEADER_BYTES, 4);  // biSize
    PutLittleEndian(header + 4, PICTURE_WIDTH, 4);               // biWidth
    PutLittleEndian(header + 8, PICTURE_HEIGHT, 4);              // biHeight: bottom-up
    PutLittleEndian(header + 12, 1, 2);                          // biPlanes
    PutLittleEndian(header + 14, 24, 2);                         // biBitCount
    // biCompression (BI_RGB), biSizeImage, resolutions and colour counts stay 0.
}

// The pixel rows are written eight pixels (24 bytes, three 8-byte words) at
// a time. Within its group a pixel lies at one of ten offsets from the start
// of the word that holds its first or last byte: -2 to 7 (a pixel at 6 or 7
// runs on into the next word, which holds the rest at -2 or -1). For each
// offset a table holds every entry's blue, green and red bytes placed there,
// zeros elsewhere; a word is then the OR of its pixels' placed entries.
constexpr int LOWEST_PLACE = -2;
constexpr int PLACES = 10;  // offsets -2 to 7
constexpr uint32_t GROUP_PIXELS = 8;
static_assert(PICTURE_WIDTH % GROUP_PIXELS == 0, "rows are whole groups");

struct PlacedEntries {
    uint64_t words[PLACES][256];
    const uint64_t* At(int offset) const { return words[offset - LOWEST_PLACE]; }
};

// A word that, stored, holds blue, green and red at bytes `offset` to
// offset + 2 (those of them inside bytes 0 to 7) and zeros elsewhere.
uint64_t PlacedBytes(uint8_t blue, uint8_t green, uint8_t red, int offset, bool lowByteFirst) {
    if (lowByteFirst) {
        const uint64_t atZero = blue | uint64_t{green} << 8 | uint64_t{red} << 16;
        return offset >= 0 ? atZero << (8 * offset) : atZero >> (-8 * offset);
    }
    const uint64_t atZero = uint64_t{blue} << 56 | uint64_t{green} << 48 | uint64_t{red} << 40;
    return offset >= 0 ? atZero >> (8 * offset) : atZero << (-8 * offset);
}

void PlaceEntries(const ColourTable& table, bool lowByteFirst, PlacedEntries* placed) {
    for (int i = 0; i < 256; ++i) {
        const uint8_t blue = table.blue[i];
        const uint8_t green = table.green[i];
        const uint8_t red = table.red[i];
        for (int k = LOWEST_PLACE; k < LOWEST_PLACE + PLACES; ++k) {
            placed->words[k - LOWEST_PLACE][i] = PlacedBytes(blue, green, red, k, lowByteFirst);
        }
    }
}

}  // namespace

void WriteDib(const uint8_t* pixelIndices, const ColourTable& table, uint8_t* block) {
    static_assert(TARNEL_BITMAP_ROW_BYTES == PICTURE_WIDTH * 3, "rows carry no padding");
    static_assert(TARNEL_BITMAP_BLOCK_BYTES ==
                      TARNEL_BITMAP_HEADER_BYTES + TARNEL_BITMAP_ROW_BYTES * PICTURE_HEIGHT,
                  "block size");
    WriteHeader(block);

    const bool lowByteFirst = LowByteFirst();
    PlacedEntries placed;
    PlaceEntries(table, lowByteFirst, &placed);
    const uint64_t* at0 = placed.At(0);
    const uint64_t* at1 = placed.At(1);
    const uint64_t* at2 = placed.At(2);
    const uint64_t* at3 = placed.At(3);
    const uint64_t* at4 = placed.At(4);
    const uint64_t* at5 = placed.At(5);
    const uint64_t* at6 = placed.At(6);
    const uint64_t* at7 = placed.At(7);
    const uint64_t* atMinus1 = placed.At(-1);
    const uint64_t* atMinus2 = placed.At(-2);

    uint8_t* row = block + TARNEL_BITMAP_HEADER_BYTES;
    for (uint32_t r = 0; r < PICTURE_HEIGHT; ++r, row += TARNEL_BITMAP_ROW_BYTES) {
        const uint8_t* in = pixelIndices + (PICTURE_HEIGHT - 1 - r) * PICTURE_WIDTH;
        uint8_t* out = row;
        for (uint32_t x = 0; x < PICTURE_WIDTH; x += GROUP_PIXELS, out += 24) {
            // The group's eight indices in one load, taken apart in registers.
            uint64_t group;
            std::memcpy(&group, in + x, sizeof group);
            uint8_t i[GROUP_PIXELS];
            for (uint32_t p = 0; p < GROUP_PIXELS; ++p) {
                i[p] = static_cast<uint8_t>(group >> (lowByteFirst ? 8 * p : 56 - 8 * p));
            }
            // Pixel p of the group starts at byte 3p: words hold bytes 0-7, 8-15, 16-23.
            const uint64_t first = at0[i[0]] | at3[i[1]] | at6[i[2]];
            const uint64_t second = atMinus2[i[2]] | at1[i[3]] | at4[i[4]] | at7[i[5]];
            const uint64_t third = atMinus1[i[5]] | at2[i[6]] | at5[i[7]];
            std::memcpy(out, &first, 8);
            std::memcpy(out + 8, &second, 8);
            std::memcpy(out + 16, &third, 8);
        }
    }
}

}  // namespace tarnel
