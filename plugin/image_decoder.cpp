#include "plugin/image_decoder.h"

namespace tarnel {

ImageDecoder::ImageDecoder(const HostImageSource& hostSource)
    : source(hostSource), readPosition(hostSource.data), availableBytes(0) {}

ImageDecoder::~ImageDecoder() = default;

int32_t ImageDecoder::OptionalOperation1(uint32_t, uint32_t) {
    return RESULT_NOT_SUPPORTED;
}
int32_t ImageDecoder::OptionalOperation2(uint32_t, uint32_t) {
    return RESULT_NOT_SUPPORTED;
}
int32_t ImageDecoder::OptionalOperation3(uint32_t) {
    return RESULT_NOT_SUPPORTED;
}
int32_t ImageDecoder::OptionalOperation4() {
    return RESULT_NOT_SUPPORTED;
}
int32_t ImageDecoder::OptionalOperation5(uint32_t) {
    return RESULT_NOT_SUPPORTED;
}

}  // namespace tarnel
