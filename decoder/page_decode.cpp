// Decoding the page and handing it to the host as a 24-bit DIB in global memory.
#include "decoder/dib.h"
#include "platform/allocation.h"
#include "plugin/c64_decoder.h"

namespace tarnel {
namespace {

// The renderers write the first 64,000 bytes; the buffer is a little larger.
constexpr size_t PIXEL_INDEX_BUFFER_BYTES = 65535;
static_assert(PIXEL_INDEX_BUFFER_BYTES >= PICTURE_PIXELS, "room for the whole index picture");

}  // namespace

// The page index is not looked at: there is one page. When memory runs out,
// everything allocated here is released again and the host's record is left
// as it was, so the host never receives a block that was not filled.
int32_t C64Decoder::PageDecode(int32_t, PageBitmap* bitmap) {
    BuildColourTable();
    PreparePage();

    pixelIndices =
        platform::AllocateZeroed(PIXEL_INDEX_BUFFER_BYTES, platform::AllocationSite::PixelIndices);
    if (pixelIndices == nullptr) return RESULT_NO_MEMORY;
    RenderFrame();

    int32_t result = RESULT_NO_MEMORY;
    HGLOBAL block = platform::AllocateGlobalBlock(TARNEL_BITMAP_BLOCK_BYTES);
    if (block != nullptr) {
        void* bytes = platform::LockGlobalBlock(block);
        if (bytes != nullptr) {
            WriteDib(pixelIndices, colourTable, static_cast<uint8_t*>(bytes));
            GlobalUnlock(block);
            bitmap->bitmap = block;
            bitmap->zero = 0;
            result = RESULT_OK;
        } else {
            GlobalFree(block);
        }
    }

    platform::Release(pixelIndices);
    pixelIndices = nullptr;
    return result;
}

}  // namespace tarnel
