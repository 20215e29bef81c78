// tarnel_memory: the heap the module holds per open decoder and during one
// page decode, counted exactly by replacing the program's operator new and
// delete with counting ones. The module allocates its decoders and buffers
// with new; the page's bitmap block comes from GlobalAlloc and is counted by
// its size.
//
//   tarnel_memory [decoders per code, default 32]
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "bench/bench_inputs.h"
#include "platform/allocation.h"
#include "plugin/c64_decoder.h"
#include "plugin/tarnel_api.h"

namespace {

// Every counted block carries its size in a header in front of it; the
// header keeps the block aligned for any fundamental type.
constexpr size_t HEADER_BYTES = alignof(std::max_align_t) > sizeof(size_t)
                                    ? alignof(std::max_align_t)
                                    : sizeof(size_t);

size_t liveBytes = 0;   // requested bytes of the blocks not yet deleted
size_t liveBlocks = 0;  // their number
size_t peakBytes = 0;   // highest liveBytes since the last ResetPeak

void* CountedAllocate(size_t bytes) {
    auto* header = static_cast<unsigned char*>(std::malloc(HEADER_BYTES + bytes));
    if (header == nullptr) return nullptr;
    *reinterpret_cast<size_t*>(header) = bytes;
    liveBytes += bytes;
    liveBlocks += 1;
    if (liveBytes > peakBytes) peakBytes = liveBytes;
    return header + HEADER_BYTES;
}

void CountedRelease(void* block) {
    if (block == nullptr) return;
    unsigned char* header = static_cast<unsigned char*>(block) - HEADER_BYTES;
    liveBytes -= *reinterpret_cast<size_t*>(header);
    liveBlocks -= 1;
    std::free(header);
}

void* CountedAllocateOrThrow(size_t bytes) {
    void* block = CountedAllocate(bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(size_t bytes) {
    return CountedAllocateOrThrow(bytes);
}
void* operator new[](size_t bytes) {
    return CountedAllocateOrThrow(bytes);
}
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    return CountedAllocate(bytes);
}
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept {
    return CountedAllocate(bytes);
}
void operator delete(void* block) noexcept {
    CountedRelease(block);
}
void operator delete[](void* block) noexcept {
    CountedRelease(block);
}
void operator delete(void* block, size_t) noexcept {
    CountedRelease(block);
}
void operator delete[](void* block, size_t) noexcept {
    CountedRelease(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    CountedRelease(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    CountedRelease(block);
}

namespace {

// Bytes live from operator new when the bitmap block is about to be locked:
// the moment the page decode holds the block (and whatever else it needs).
size_t liveAtLock = 0;
bool RecordAtLock(tarnel::platform::AllocationSite site) {
    if (site == tarnel::platform::AllocationSite::BitmapLock) liveAtLock = liveBytes;
    return false;  // never refuse
}

struct Range {
    size_t low = SIZE_MAX;
    size_t high = 0;
    void Add(size_t value) {
        if (value < low) low = value;
        if (value > high) high = value;
    }
};

std::ostream& operator<<(std::ostream& out, const Range& range) {
    out << range.low;
    if (range.high != range.low) out << " to " << range.high;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int perCode = argc > 1 ? std::atoi(argv[1]) : 32;
    if (perCode < 1) {
        std::cerr << "usage: tarnel_memory [decoders per code, at least 1]\n";
        return 2;
    }

    Range perDecoder;
    Range decodeNew;
    Range decodeBlock;
    Range decodePeak;
    bool released = true;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        const std::vector<uint8_t> file = tarnel_bench::PictureFile(layout.code);
        const HostImageSource source = tarnel_bench::MemorySource(file);
        std::vector<TarnelImage> images(static_cast<size_t>(perCode), nullptr);

        const size_t beforeOpen = liveBytes;
        const size_t blocksBeforeOpen = liveBlocks;
        for (TarnelImage& image : images) {
            if (IDP_OpenImage(&source, &image) != RESULT_OK) {
                std::cerr << tarnel_bench::CodeName(layout.code) << " does not open\n";
                return 1;
            }
        }
        perDecoder.Add((liveBytes - beforeOpen) / images.size());

        const size_t beforeDecode = liveBytes;
        tarnel::platform::SetAllocationHook(RecordAtLock);
        liveAtLock = 0;
        PageBitmap bitmap{};
        const int32_t decoded = IDP_PageDecode(images.front(), 0, &bitmap);
        tarnel::platform::SetAllocationHook(nullptr);
        if (decoded != RESULT_OK || liveAtLock < beforeDecode) {
            std::cerr << tarnel_bench::CodeName(layout.code) << " does not decode\n";
            return 1;
        }
        const size_t blockBytes = GlobalSize(bitmap.bitmap);
        decodeNew.Add(liveAtLock - beforeDecode);
        decodeBlock.Add(blockBytes);
        decodePeak.Add(liveAtLock - beforeDecode + blockBytes);
        if (liveBytes != beforeDecode) released = false;  // the decode keeps nothing
        GlobalFree(bitmap.bitmap);

        for (TarnelImage image : images) IDP_CloseImage(image);
        if (liveBytes != beforeOpen || liveBlocks != blocksBeforeOpen) released = false;
    }

    std::cout << "Heap requested by the module (operator new, exact bytes, without the C\n"
              << "library's own per-block overhead), files of all twenty codes, " << perCode
              << " decoders of each open at once:\n"
              << "  bytes held per open decoder: " << perDecoder
              << " (of which the decoder object: " << sizeof(tarnel::C64Decoder) << ")\n"
              << "  during one page decode, when the block is locked: " << decodeNew
              << " bytes from new + " << decodeBlock << " bytes of bitmap block = " << decodePeak
              << " above the open decoder\n"
              << "  everything released by the decode and by closing: " << (released ? "yes" : "NO")
              << "\n";
    return released ? 0 : 1;
}
