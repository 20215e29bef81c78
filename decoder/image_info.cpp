// Opening the image and answering image and page information.
#include "formats/layouts.h"
#include "platform/allocation.h"
#include "plugin/c64_decoder.h"

namespace tarnel {
namespace {

constexpr uint32_t IMAGE_TYPE_TAG = 0x00434956;  // "VIC\0" read little-endian
constexpr uint32_t BITS_PER_COMPONENT = 8;
constexpr uint32_t COMPONENTS_PER_PIXEL = 3;

}  // namespace

int32_t C64Decoder::GetImageInfo(ImageInfo* info) {
    if (fileLoaded == 0) {
        fileSize = source.size;
        if (fileSize > MAX_FILE_BYTES) return RESULT_BAD_FORMAT;
        // Both buffers start zeroed, so no picture ever shows leftover heap
        // memory and every decode of the same file is the same.
        if (fileData == nullptr) {
            fileData =
                platform::AllocateZeroed(FILE_BUFFER_BYTES, platform::AllocationSite::FileData);
            if (fileData == nullptr) return RESULT_NO_MEMORY;
        }
        if (unpackBuffer == nullptr) {
            unpackBuffer =
                platform::AllocateZeroed(FILE_BUFFER_BYTES, platform::AllocationSite::UnpackBuffer);
            if (unpackBuffer == nullptr) return RESULT_NO_MEMORY;
        }
        if (ReadSource(fileData, fileSize) == 0) return RESULT_READ_FAILED;
        fileLoaded = 1;
    }

    formatCode = IdentifyFormat();
    if (formatCode == FORMAT_UNKNOWN) return RESULT_BAD_FORMAT;

    info->reserved0 = 0;
    info->typeTag = IMAGE_TYPE_TAG;
    info->width = PICTURE_WIDTH;
    info->height = PICTURE_HEIGHT;
    info->bitsPerComponent = BITS_PER_COMPONENT;
    info->componentCount = COMPONENTS_PER_PIXEL;
    info->pageCount = 1;
    return RESULT_OK;
}

int32_t C64Decoder::GetPageInfo(int32_t page, PageInfo* info) {
    if (page != 0) return RESULT_BAD_PAGE;
    info->one = 1;
    info->width = PICTURE_WIDTH;
    info->height = PICTURE_HEIGHT;
    info->bitsPerComponent = BITS_PER_COMPONENT;
    info->componentCount = COMPONENTS_PER_PIXEL;
    return RESULT_OK;
}

}  // namespace tarnel
