#include "authoring/layout_files.h"

#include <cstring>
#include <random>

#include "authoring/pack.h"
#include "core/identify.h"

namespace tarnel {
namespace {

// Codes 2 and 3 are recognised by signature; their files end with the last
// byte of the frame-1 bitmap.
constexpr uint32_t FUNPAINT_FILE_BYTES = 33594;
constexpr uint32_t GUNPAINT_FILE_BYTES = 33602;
constexpr uint8_t GUNPAINT_LOAD[2] = {0x00, 0x40};

}  // namespace

uint32_t UnpackedFileSize(FormatCode code) {
    if (code == CodeOf(Layout::Funpaint)) return FUNPAINT_FILE_BYTES;
    if (code == CodeOf(Layout::Gunpaint)) return GUNPAINT_FILE_BYTES;
    LoadAndSize loadAndSize{};
    return FindLoadAndSize(code, &loadAndSize) ? loadAndSize.size : 0;
}

std::vector<uint8_t> BuildLayoutFile(FormatCode code, ByteView memory) {
    const LayoutInfo* layout = FindLayout(code);
    if (layout == nullptr) return {};
    if (layout->packed) {
        const std::vector<uint8_t> unpacked = BuildLayoutFile(layout->unpackedAs, memory);
        if (unpacked.empty()) return {};
        return PackFile(code, ByteView{unpacked.data(), static_cast<uint32_t>(unpacked.size())});
    }
    const uint32_t size = UnpackedFileSize(code);
    if (size == 0 || memory.size < size) return {};
    std::vector<uint8_t> file(memory.data, memory.data + size);
    LoadAndSize loadAndSize{};
    if (code == CodeOf(Layout::Funpaint)) {
        std::memcpy(file.data(), FUNPAINT_SIGNATURE, sizeof FUNPAINT_SIGNATURE);
        file[FUNPAINT_PACKING_FLAG] = 0;
    } else if (code == CodeOf(Layout::Gunpaint)) {
        file[0] = GUNPAINT_LOAD[0];
        file[1] = GUNPAINT_LOAD[1];
        std::memcpy(file.data() + GUNPAINT_SIGNATURE_OFFSET, GUNPAINT_SIGNATURE,
                    sizeof GUNPAINT_SIGNATURE);
    } else if (FindLoadAndSize(code, &loadAndSize)) {
        file[0] = loadAndSize.load0;
        file[1] = loadAndSize.load1;
    }
    return file;
}

std::vector<uint8_t> RandomMemoryImage(uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(MEMORY_IMAGE_BYTES);
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t value = static_cast<uint8_t>(generator() & 0xFF);
        size_t length = (generator() % 4 == 0) ? 1 + generator() % 300 : 1;
        for (; length > 0 && i < bytes.size(); --length) bytes[i++] = value;
    }
    return bytes;
}

}  // namespace tarnel
