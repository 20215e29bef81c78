// The host's whole path through the exports over arbitrary bytes: open,
// image information, page information, the page decoded twice, the blocks
// freed, the image closed. Checks on the way: only the result codes the
// host may see, the file read once and only when it may be, the same
// picture from both decodes, a well-formed bitmap, and every pixel as the
// plain model of the layouts draws it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/layouts.h"
#include "fuzz/fuzz_common.h"
#include "plugin/tarnel_api.h"
#include "testing/c64_model.h"
#include "testing/reference.h"

using tarnel_fuzz::Check;

namespace {

struct Host {
    const uint8_t* data;
    size_t size;
    int calls;
};

int32_t TARNEL_CDECL ReadCallback(uintptr_t userValue, uint32_t needed, uint32_t* available) {
    Host* host = reinterpret_cast<Host*>(userValue);
    host->calls += 1;
    Check(needed == host->size, "the whole file is asked for in one request");
    *available = needed;
    return 1;
}

int32_t Open(const uint8_t* data, size_t size, Host* host, TarnelImage* image) {
    *host = Host{data, size, 0};
    HostImageSource source{};
    source.data = data;
    source.size = static_cast<uint32_t>(size);
    source.readCallback = ReadCallback;
    source.userValue = reinterpret_cast<uintptr_t>(host);
    return IDP_OpenImage(&source, image);
}

// Decodes page 0; returns a copy of the block and frees it.
std::vector<uint8_t> Decode(TarnelImage image) {
    PageBitmap bitmap{};
    bitmap.hostField0 = 0x12345678u;
    bitmap.zero = 0xFFFFFFFFu;
    Check(IDP_PageDecode(image, 0, &bitmap) == RESULT_OK, "an open image decodes");
    Check(bitmap.bitmap != nullptr && bitmap.zero == 0 && bitmap.hostField0 == 0x12345678u,
          "the page record holds the block, a zero, and the host's own field");
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(bitmap.bitmap));
    std::vector<uint8_t> block(bytes, bytes + TARNEL_BITMAP_BLOCK_BYTES);
    GlobalUnlock(bitmap.bitmap);
    GlobalFree(bitmap.bitmap);
    return block;
}

void CheckHeader(const std::vector<uint8_t>& block) {
    static const uint8_t header[16] = {40, 0, 0, 0, 0x40, 1, 0, 0, 200, 0, 0, 0, 1, 0, 24, 0};
    Check(std::memcmp(block.data(), header, sizeof header) == 0,
          "a 40-byte header of a 320 x 200, 24-bit bottom-up bitmap");
}

// The whole picture against the plain model of every layout
// (testing/c64_model), drawn from the memory image the layout must
// show: the file padded with zeros (bytes past its end read as 0), or for
// packed layouts the stream unpacked step by step into a zeroed buffer.
void CheckPicture(uint8_t code, const std::vector<uint8_t>& file,
                  const std::vector<uint8_t>& block) {
    std::vector<uint8_t> image(tarnel::MEMORY_IMAGE_BYTES, 0);
    if (!tarnel_reference::Unpack(code, file, image.data())) {
        std::memcpy(image.data(), file.data(), file.size());
    }
    const std::vector<uint8_t> indices = tarnel_test::ModelIndices(code, image);
    const bool blend = tarnel_test::ModelInterlaced(code);
    for (int y = 0; y < 200; ++y) {
        for (int u = 0; u < 320; ++u) {
            const tarnel_test::Rgb expected = tarnel_test::ModelColour(indices[y * 320 + u], blend);
            if (!(tarnel_test::BlockPixel(block, u, y) == expected)) {
                std::fprintf(stderr, "layout %d, pixel (%d, %d)\n", code, u, y);
                Check(false, "the picture is the model's picture of the file");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2 * tarnel::MAX_FILE_BYTES) return 0;
    Host host{};
    TarnelImage image = nullptr;
    const int32_t opened = Open(data, size, &host, &image);
    if (size > tarnel::MAX_FILE_BYTES) {
        Check(opened == RESULT_BAD_FORMAT && host.calls == 0,
              "a file above the limit is refused unread");
        return 0;
    }
    Check(host.calls == (size > 0 ? 1 : 0), "one read, and none for an empty file");
    const std::vector<uint8_t> file(data, data + size);
    const tarnel_reference::Found expected = tarnel_reference::Identify(file);
    if (expected.code == 0) {
        Check(opened == RESULT_BAD_FORMAT && image == nullptr, "an unknown file is refused");
        return 0;
    }
    Check(opened == RESULT_OK && image != nullptr, "a recognised file opens");

    ImageInfo info;
    std::memset(&info, 0xEE, sizeof info);
    Check(IDP_GetImageInfo(image, &info) == RESULT_OK, "image information of an open image");
    Check(info.reserved0 == 0 && std::memcmp(&info.typeTag, "VIC", 4) == 0 && info.width == 320 &&
              info.height == 200 && info.bitsPerComponent == 8 && info.componentCount == 3 &&
              info.pageCount == 1,
          "the fixed geometry");
    PageInfo page;
    Check(IDP_GetPageInfo(image, 0, &page) == RESULT_OK && page.one == 1 && page.width == 320 &&
              page.height == 200,
          "page 0 information");
    Check(IDP_GetPageInfo(image, 1, &page) == RESULT_BAD_PAGE, "there is no page 1");

    const std::vector<uint8_t> first = Decode(image);
    const std::vector<uint8_t> second = Decode(image);
    Check(first == second, "decoding twice gives the same picture");
    CheckHeader(first);
    Check(IDP_GetImageInfo(image, &info) == RESULT_OK, "image information after decoding");
    Check(host.calls == 1, "the host is asked only while opening");
    IDP_CloseImage(image);

    CheckPicture(expected.code, file, first);
    return 0;
}
