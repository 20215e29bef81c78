// Native stand-ins for the Windows global-memory calls. Only GMEM_FIXED
// blocks exist, so a handle is the block's address; a small header in front
// of each block remembers its size for GlobalSize.
#include <cstdlib>
#include <cstring>

#include "platform/win_api.h"

namespace {

struct BlockHeader {
    size_t size;
    size_t padding;  // keeps the block itself 16-byte aligned
};

BlockHeader* HeaderOf(HGLOBAL block) {
    return static_cast<BlockHeader*>(block) - 1;
}

}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    if (flags != GMEM_FIXED) return nullptr;  // movable blocks are not supported here
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
    if (header == nullptr) return nullptr;
    header->size = bytes;
    return header + 1;
}

void* GlobalLock(HGLOBAL block) {
    return block;
}

BOOL GlobalUnlock(HGLOBAL) {
    return FALSE;
}  // a fixed block has no lock count

HGLOBAL GlobalFree(HGLOBAL block) {
    if (block != nullptr) std::free(HeaderOf(block));
    return nullptr;
}

size_t GlobalSize(HGLOBAL block) {
    return block == nullptr ? 0 : HeaderOf(block)->size;
}

}  // extern "C"
