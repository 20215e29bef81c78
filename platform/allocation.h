// The module's memory: heap buffers for the decoder and GMEM_FIXED global
// blocks for the host. Every allocation passes one hook, so tests can
// make any of them fail and prove that nothing leaks and nothing half-done
// reaches the host.
#ifndef TARNEL_PLATFORM_ALLOCATION_H
#define TARNEL_PLATFORM_ALLOCATION_H

#include <cstddef>
#include <cstdint>

#include "platform/win_api.h"

namespace tarnel {
namespace platform {

enum class AllocationSite : uint8_t {
    FileData,      // the decoder's copy of the file
    UnpackBuffer,  // the decoder's buffer for unpacked images
    BitmapBlock,   // GlobalAlloc of the page block handed to the host
    BitmapLock,    // GlobalLock of that block
};

// Returns true to refuse the allocation at `site`. Never set in production.
using AllocationHook = bool (*)(AllocationSite site);

// Installs `hook` (nullptr removes it) and returns the previous one.
AllocationHook SetAllocationHook(AllocationHook hook);

// A heap buffer, or nullptr when memory (or the hook) refuses. Its bytes are
// undefined: the caller writes every byte it will ever read.
uint8_t* Allocate(size_t bytes, AllocationSite site);
void Release(uint8_t* buffer);

// GlobalAlloc(GMEM_FIXED, bytes) and GlobalLock, through the hook.
HGLOBAL AllocateGlobalBlock(size_t bytes);
void* LockGlobalBlock(HGLOBAL block);

}  // namespace platform
}  // namespace tarnel

#endif  // TARNEL_PLATFORM_ALLOCATION_H
