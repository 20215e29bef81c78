// Thumbnails: a picture scaled to fit a square, keeping its proportions.
#ifndef TARNEL_CONVERTER_THUMBNAIL_H
#define TARNEL_CONVERTER_THUMBNAIL_H

#include <cstdint>

#include "imageio/image_io.h"

namespace tarnel_converter {

// The size `image` takes when scaled so that its longer side is `size`
// pixels, the shorter one in proportion (rounded, at least one pixel).
void FitSize(uint32_t width, uint32_t height, uint32_t size, uint32_t* fitWidth,
             uint32_t* fitHeight);

// `image` scaled to `width` x `height` by area averaging: each output pixel
// is the mean of the source area it covers, weighted by how much of each
// source pixel lies inside it. Works both ways; an unchanged size gives the
// image unchanged.
tarnel_tools::RgbImage ScaleByArea(const tarnel_tools::RgbImage& image, uint32_t width,
                                   uint32_t height);

}  // namespace tarnel_converter

#endif  // TARNEL_CONVERTER_THUMBNAIL_H
