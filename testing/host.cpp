#include "testing/host.h"

#include <cstring>

namespace tarnel_test {
namespace {

int32_t TARNEL_CDECL ReadCallback(uintptr_t userValue, uint32_t needed, uint32_t* available) {
    FakeHost* host = reinterpret_cast<FakeHost*>(userValue);
    host->calls += 1;
    host->lastNeeded = needed;
    host->lastUserValue = userValue;
    switch (host->behaviour) {
        case HostBehaviour::Honest:
            *available = needed;
            return 1;
        case HostBehaviour::Refuse:
            return 0;
        case HostBehaviour::ReportFewer:
            *available = needed - 1;
            return 1;
        case HostBehaviour::ReportMore:
            *available = needed + 1000;
            return 1;
    }
    return 0;
}

}  // namespace

FakeHost::FakeHost(std::vector<uint8_t> bytes, HostBehaviour how)
    : file(std::move(bytes)), behaviour(how) {}

HostImageSource FakeHost::Source() {
    HostImageSource source{};
    source.hostField0 = 0x11111111u;
    source.hostField4 = 0x22222222u;
    source.data = file.data();
    source.size = static_cast<uint32_t>(file.size());
    source.readCallback = ReadCallback;
    source.userValue = reinterpret_cast<uintptr_t>(this);
    return source;
}

int32_t OpenBytes(const std::vector<uint8_t>& file, TarnelImage* image) {
    FakeHost host(file);
    const HostImageSource source = host.Source();
    return IDP_OpenImage(&source, image);
}

std::vector<uint8_t> DecodeBlock(TarnelImage image, int32_t page) {
    PageBitmap bitmap{};
    if (IDP_PageDecode(image, page, &bitmap) != RESULT_OK || bitmap.bitmap == nullptr) return {};
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(bitmap.bitmap));
    std::vector<uint8_t> copy(bytes, bytes + TARNEL_BITMAP_BLOCK_BYTES);
    GlobalUnlock(bitmap.bitmap);
    GlobalFree(bitmap.bitmap);
    return copy;
}

std::vector<uint8_t> DecodeFile(const std::vector<uint8_t>& file) {
    TarnelImage image = nullptr;
    if (OpenBytes(file, &image) != RESULT_OK) return {};
    std::vector<uint8_t> block = DecodeBlock(image);
    IDP_CloseImage(image);
    return block;
}

}  // namespace tarnel_test
