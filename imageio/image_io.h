// Pictures in and out of files: the module's bitmap block as RGB pixels, BMP
// and PNG files, and writing a file so that it appears whole or not at all.
#ifndef TARNEL_IMAGEIO_IMAGE_IO_H
#define TARNEL_IMAGEIO_IMAGE_IO_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tarnel_tools {

// 8-bit RGB pixels, top row first, no padding.
struct RgbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
};

// The pixels of a packed 24-bit DIB block (a BITMAPINFOHEADER, any colour
// table it announces, then the rows: bottom row first for a positive height,
// blue-green-red, each row padded to four bytes). False, with the reason,
// when the block is not such a bitmap.
bool DibToRgb(const std::vector<uint8_t>& block, RgbImage* image, std::string* why);

// A .bmp file: the 14-byte file header followed by `block` unchanged.
std::vector<uint8_t> BmpFile(const std::vector<uint8_t>& block);

// A packed 24-bit DIB block (a 40-byte BITMAPINFOHEADER with a positive
// height, then the rows bottom row first) from blue-green-red pixels given
// top row first; each row padded with zeros to a multiple of four bytes.
std::vector<uint8_t> DibFromBgr(uint32_t width, uint32_t height, const std::vector<uint8_t>& bgr);

// Each pixel repeated `factor` times across and down.
RgbImage Enlarge(const RgbImage& image, uint32_t factor);

// Writes `image` as an 8-bit RGB PNG.
bool WritePng(std::FILE* file, const RgbImage& image, std::string* why);

// Reads any PNG as 8-bit RGB.
bool ReadPng(const std::string& path, RgbImage* image, std::string* why);

// Runs `write` on a new temporary file beside `path` and renames it to
// `path` only when everything was written; on any failure the temporary
// file is removed and `path` is left as it was.
using FileWriter = std::function<bool(std::FILE* file, std::string* why)>;
bool WriteAtomically(const std::string& path, const FileWriter& write, std::string* why);

// A FileWriter for bytes held in memory.
FileWriter BytesWriter(const std::vector<uint8_t>& bytes);

}  // namespace tarnel_tools

#endif  // TARNEL_IMAGEIO_IMAGE_IO_H
