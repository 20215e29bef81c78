// Opening the image and answering image and page information.
#include <cstring>

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
        // Both buffers are had before the host is asked for anything. They
        // are not zero-filled on allocation: what is not overwritten is
        // zeroed below, so no picture ever shows leftover heap memory and
        // every decode of the same file is the same.
        if (fileData == nullptr) {
            fileData = platform::Allocate(FILE_BUFFER_BYTES, platform::AllocationSite::FileData);
            if (fileData == nullptr) return RESULT_NO_MEMORY;
        }
        if (unpackBuffer == nullptr) {
            unpackBuffer =
                platform::Allocate(FILE_BUFFER_BYTES, platform::AllocationSite::UnpackBuffer);
            if (unpackBuffer == nullptr) return RESULT_NO_MEMORY;
        }
        // Past the file the renderers read zeros.
        std::memset(fileData + fileSize, 0, FILE_BUFFER_BYTES - fileSize);
        if (ReadSource(fileData, fileSize) == 0) {
            std::memset(fileData, 0, fileSize);
            return RESULT_READ_FAILED;
        }
        fileLoaded = 1;
    }

    // The file never changes once read, so neither does its layout: it is
    // identified once. A packed layout's image starts as zeros, which the
    // bytes its stream does not reach keep; an unpacked layout never reads
    // the unpack buffer.
    if (formatCode == FORMAT_NOT_IDENTIFIED || formatCode == FORMAT_UNKNOWN) {
        formatCode = IdentifyFormat();
        const LayoutInfo* layout = FindLayout(formatCode);
        if (layout != nullptr && layout->packed) std::memset(unpackBuffer, 0, FILE_BUFFER_BYTES);
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
