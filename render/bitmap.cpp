#include "render/bitmap.h"

#include <cstring>

#include "formats/layouts.h"
#include "plugin/tarnel_api.h"

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

}  // namespace

void WriteDib(const uint8_t* pixelIndices, const ColourTable& table, uint8_t* block) {
    static_assert(TARNEL_BITMAP_ROW_BYTES == PICTURE_WIDTH * 3, "rows carry no padding");
    static_assert(TARNEL_BITMAP_BLOCK_BYTES ==
                      TARNEL_BITMAP_HEADER_BYTES + TARNEL_BITMAP_ROW_BYTES * PICTURE_HEIGHT,
                  "block size");
    WriteHeader(block);

    // Each entry as four bytes in memory order blue, green, red, 0, so a
    // pixel is one 4-byte store that the next pixel's store overlaps.
    uint32_t bgr[256];
    for (int i = 0; i < 256; ++i) {
        const uint8_t bytes[4] = {table.blue[i], table.green[i], table.red[i], 0};
        std::memcpy(&bgr[i], bytes, 4);
    }

    uint8_t* row = block + TARNEL_BITMAP_HEADER_BYTES;
    for (uint32_t r = 0; r < PICTURE_HEIGHT; ++r, row += TARNEL_BITMAP_ROW_BYTES) {
        const uint8_t* indices = pixelIndices + (PICTURE_HEIGHT - 1 - r) * PICTURE_WIDTH;
        uint8_t* out = row;
        for (uint32_t x = 0; x + 1 < PICTURE_WIDTH; ++x, out += 3) {
            std::memcpy(out, &bgr[indices[x]], 4);
        }
        // The last pixel of a row must not spill into the next row (or past the block).
        std::memcpy(out, &bgr[indices[PICTURE_WIDTH - 1]], 3);
    }
}

}  // namespace tarnel
