#include "platform/allocation.h"

#include <atomic>
#include <new>

namespace tarnel {
namespace platform {
namespace {

std::atomic<AllocationHook> allocationHook{nullptr};

bool Refused(AllocationSite site) {
    const AllocationHook hook = allocationHook.load(std::memory_order_acquire);
    return hook != nullptr && hook(site);
}

}  // namespace

AllocationHook SetAllocationHook(AllocationHook hook) {
    return allocationHook.exchange(hook, std::memory_order_acq_rel);
}

uint8_t* Allocate(size_t bytes, AllocationSite site) {
    if (Refused(site)) return nullptr;
    return new (std::nothrow) uint8_t[bytes];  // not zero-filled: most of it is overwritten
}

void Release(uint8_t* buffer) {
    delete[] buffer;
}

HGLOBAL AllocateGlobalBlock(size_t bytes) {
    if (Refused(AllocationSite::BitmapBlock)) return nullptr;
    return GlobalAlloc(GMEM_FIXED, bytes);
}

void* LockGlobalBlock(HGLOBAL block) {
    if (Refused(AllocationSite::BitmapLock)) return nullptr;
    return GlobalLock(block);
}

}  // namespace platform
}  // namespace tarnel
