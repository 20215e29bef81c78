// The exported image functions: one C64Decoder per open image, its address
// being the host's opaque handle.
#include <new>

#include "plugin/c64_decoder.h"
#include "plugin/tarnel_api.h"

namespace {

tarnel::ImageDecoder* Decoder(TarnelImage image) {
    return static_cast<tarnel::ImageDecoder*>(image);
}

}  // namespace

extern "C" int32_t WINAPI IDP_OpenImage(const HostImageSource* source, TarnelImage* image) {
    tarnel::ImageDecoder* decoder = new (std::nothrow) tarnel::C64Decoder(*source);
    if (decoder == nullptr) return RESULT_BAD_FORMAT;
    ImageInfo scratch = {};
    const int32_t result = decoder->GetImageInfo(&scratch);
    if (result != RESULT_OK) {
        delete decoder;
        return result;
    }
    *image = decoder;
    return RESULT_OK;
}

extern "C" int32_t WINAPI IDP_CloseImage(TarnelImage image) {
    delete Decoder(image);
    return RESULT_OK;
}

extern "C" int32_t WINAPI IDP_GetImageInfo(TarnelImage image, ImageInfo* info) {
    return Decoder(image)->GetImageInfo(info);
}

extern "C" int32_t WINAPI IDP_GetPageInfo(TarnelImage image, int32_t page, PageInfo* info) {
    return Decoder(image)->GetPageInfo(page, info);
}

extern "C" int32_t WINAPI IDP_PageDecode(TarnelImage image, int32_t page, PageBitmap* bitmap) {
    return Decoder(image)->PageDecode(page, bitmap);
}
