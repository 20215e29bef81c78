// The one concrete decoder: all state of one open C64 picture.
#ifndef TARNEL_PLUGIN_C64_DECODER_H
#define TARNEL_PLUGIN_C64_DECODER_H

#include <cstdint>

#include "core/byte_view.h"
#include "core/layouts.h"
#include "core/render.h"
#include "plugin/image_decoder.h"

namespace tarnel {

class C64Decoder final : public ImageDecoder {
public:
    explicit C64Decoder(const HostImageSource& hostSource);
    ~C64Decoder() override;

    // The first call opens the image: size test, buffers, one read from the
    // host. Every call identifies the layout and reports the geometry.
    int32_t GetImageInfo(ImageInfo* info) override;
    int32_t GetPageInfo(int32_t page, PageInfo* info) override;
    // Decodes the one page into a new GMEM_FIXED 24-bit bitmap block.
    int32_t PageDecode(int32_t page, PageBitmap* bitmap) override;

    // Read access for tests and tools.
    FormatCode Code() const { return formatCode; }
    bool Interlaced() const { return isInterlaced != 0; }
    ByteView File() const { return ByteView{fileData, fileLoaded ? fileSize : 0}; }

    // The unpack buffer holds every image a layout draws from.
    static constexpr uint32_t UNPACK_BUFFER_BYTES = LARGEST_IMAGE_BYTES;

private:
    // Identification over the file as read; sets isInterlaced on a match.
    FormatCode IdentifyFormat();
    // Once the layout is known: keeps the unpack buffer only where the page
    // cannot be drawn from the file as it is (ChooseImage fills it).
    void KeepUnpackBufferIfNeeded();

    uint8_t* unpackBuffer = nullptr;
    uint8_t* fileData = nullptr;
    FormatCode formatCode = FORMAT_NOT_IDENTIFIED;
    uint8_t fileLoaded = 0;
    uint32_t fileSize = 0;
    uint8_t isInterlaced = 0;
};

}  // namespace tarnel

#endif  // TARNEL_PLUGIN_C64_DECODER_H
