// Opening the image and answering image and page information.
#include "core/layouts.h"
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
        // Both buffers are had before the host is asked for anything: the
        // file's own, exactly its size, and one for the image the layout
        // draws from; what of it is needed is filled once the layout is known.
        if (fileData == nullptr) {
            fileData = platform::Allocate(fileSize, platform::AllocationSite::FileData);
            if (fileData == nullptr) return RESULT_NO_MEMORY;
        }
        if (unpackBuffer == nullptr) {
            unpackBuffer =
                platform::Allocate(UNPACK_BUFFER_BYTES, platform::AllocationSite::UnpackBuffer);
            if (unpackBuffer == nullptr) return RESULT_NO_MEMORY;
        }
        if (ReadSource(fileData, fileSize) == 0) return RESULT_READ_FAILED;
        fileLoaded = 1;
    }

    // The file never changes once read, so neither does its layout: it is
    // identified once.
    if (formatCode == FORMAT_NOT_IDENTIFIED || formatCode == FORMAT_UNKNOWN) {
        formatCode = IdentifyFormat();
        KeepUnpackBufferIfNeeded();
    }
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
