#include "plugin/dib.h"

#include <cstddef>
#include <cstring>

#include "core/decode.h"
#include "core/render.h"
#include "plugin/tarnel_api.h"

namespace tarnel {
namespace {

static_assert(TARNEL_BITMAP_ROW_BYTES == PICTURE_WIDTH * 3, "rows carry no padding");
static_assert(TARNEL_BITMAP_BLOCK_BYTES ==
                  TARNEL_BITMAP_HEADER_BYTES + TARNEL_BITMAP_ROW_BYTES * PICTURE_HEIGHT,
              "block size");

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

PixelTable MakeBitmapPixels(bool interlaced) {
    PixelTable pixels;
    BuildPixelTable(C64_PALETTE, interlaced, PixelFormat::Bgr24, &pixels);
    return pixels;
}

}  // namespace

const PixelTable& BitmapPixels(bool interlaced) {
    // Built once per process: they depend on nothing but the mode.
    static const PixelTable palette = MakeBitmapPixels(false);
    static const PixelTable blend = MakeBitmapPixels(true);
    return interlaced ? blend : palette;
}

void DrawDib(FormatCode code, ByteView file, uint8_t* scratch, bool interlaced, uint8_t* block) {
    WriteHeader(block);
    uint8_t* rows = block + TARNEL_BITMAP_HEADER_BYTES;
    // The top picture row is the block's last row; each next row lies one
    // row lower in the block.
    uint8_t* topRow = rows + (PICTURE_HEIGHT - 1) * TARNEL_BITMAP_ROW_BYTES;
    if (!DecodeLayout(code, file, scratch, BitmapPixels(interlaced), topRow,
                      -static_cast<ptrdiff_t>(TARNEL_BITMAP_ROW_BYTES))) {
        std::memset(rows, 0, TARNEL_BITMAP_ROW_BYTES * PICTURE_HEIGHT);
    }
}

void WriteDib(const uint8_t* pixelIndices, const ColourTable& table, uint8_t* block) {
    WriteHeader(block);
    PixelTable pixels;
    BuildPixelTable(table, PixelFormat::Bgr24, &pixels);
    uint8_t* row = block + TARNEL_BITMAP_HEADER_BYTES;
    for (uint32_t r = 0; r < PICTURE_HEIGHT; ++r, row += TARNEL_BITMAP_ROW_BYTES) {
        ConvertRow(pixelIndices + (PICTURE_HEIGHT - 1 - r) * PICTURE_WIDTH, pixels, row);
    }
}

}  // namespace tarnel
