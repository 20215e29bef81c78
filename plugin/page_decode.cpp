// Decoding the page and handing it to the host as a 24-bit DIB in global memory.
#include "platform/allocation.h"
#include "plugin/c64_decoder.h"
#include "plugin/dib.h"

namespace tarnel {

// The page index is not looked at: there is one page. The picture is drawn
// straight into the block's rows, bottom row first, with no index picture
// in between; a packed file is unpacked again into the unpack buffer for
// every page, so every decode gives the same picture. When memory runs out,
// the block is released again and the host's record is left as it was, so
// the host never receives a block that was not filled.
int32_t C64Decoder::PageDecode(int32_t, PageBitmap* bitmap) {
    HGLOBAL block = platform::AllocateGlobalBlock(TARNEL_BITMAP_BLOCK_BYTES);
    if (block == nullptr) return RESULT_NO_MEMORY;
    void* bytes = platform::LockGlobalBlock(block);
    if (bytes == nullptr) {
        GlobalFree(block);
        return RESULT_NO_MEMORY;
    }
    DrawDib(formatCode, File(), unpackBuffer, isInterlaced != 0, static_cast<uint8_t*>(bytes));
    GlobalUnlock(block);
    bitmap->bitmap = block;
    bitmap->zero = 0;
    return RESULT_OK;
}

}  // namespace tarnel
