// The decoder classes behind the image handles the host holds.
#ifndef TARNEL_PLUGIN_IMAGE_DECODER_H
#define TARNEL_PLUGIN_IMAGE_DECODER_H

#include <cstdint>

#include "plugin/tarnel_api.h"

namespace tarnel {

// The abstract decoder: the host's source record, the reading state, and the
// nine operations in the order the host interface has them.
class ImageDecoder {
public:
    explicit ImageDecoder(const HostImageSource& hostSource);
    virtual ~ImageDecoder();

    virtual int32_t GetImageInfo(ImageInfo* info) = 0;
    virtual int32_t GetPageInfo(int32_t page, PageInfo* info) = 0;
    virtual int32_t PageDecode(int32_t page, PageBitmap* bitmap) = 0;
    // Operations of the host interface this module does not provide.
    virtual int32_t OptionalOperation1(uint32_t first, uint32_t second);
    virtual int32_t OptionalOperation2(uint32_t first, uint32_t second);
    virtual int32_t OptionalOperation3(uint32_t first);
    virtual int32_t OptionalOperation4();
    virtual int32_t OptionalOperation5(uint32_t first);

    // Copies `count` bytes from the host's data at the read position into
    // `destination`, asking the host first when they are not yet available.
    // Returns 1 when copied, 0 when the host refused or promised too little.
    int ReadSource(uint8_t* destination, uint32_t count);

    ImageDecoder(const ImageDecoder&) = delete;
    ImageDecoder& operator=(const ImageDecoder&) = delete;

protected:
    HostImageSource source;
    const uint8_t* readPosition;
    uint32_t availableBytes;
};

}  // namespace tarnel

#endif  // TARNEL_PLUGIN_IMAGE_DECODER_H
