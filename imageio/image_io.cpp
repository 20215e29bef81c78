#include "imageio/image_io.h"

#include <png.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstring>

namespace tarnel_tools {
namespace {

// The C64 pictures are 320 x 200 with at most a few dozen colours in large
// flat or regularly dithered areas, so they compress well at any level from
// 4 up (3 to 4 KiB a picture). zlib's default level 6 is the deliberate
// choice: level 9 saves the last 15% of size at over four times the encoding
// time, and encoding is nearly all of a conversion's cost (BENCHMARKS.md).
constexpr int PNG_COMPRESSION_LEVEL = 6;

constexpr uint32_t MAX_DIB_SIDE = 32768;

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Read16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr size_t INFO_HEADER_BYTES = 40;
constexpr size_t FILE_HEADER_BYTES = 14;

// Where the pixel rows start in the block: after the info header and the
// colour table it announces.
size_t PixelOffset(const std::vector<uint8_t>& block) {
    return static_cast<size_t>(Read32(block, 0)) + static_cast<size_t>(Read32(block, 32)) * 4;
}

// libpng reports errors through a callback that must not return; it jumps
// back to the writer. The libpng handles live here, in memory, so the jump
// cannot leave them stale in registers.
struct PngWriter {
    std::jmp_buf jump;
    char message[200];
    png_structp png;
    png_infop info;
};

void PngError(png_structp png, png_const_charp message) {
    auto* writer = static_cast<PngWriter*>(png_get_error_ptr(png));
    std::snprintf(writer->message, sizeof writer->message, "%s", message);
    std::longjmp(writer->jump, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Only plain data lives in this frame, so the jump back skips no destructor.
bool WritePngRows(std::FILE* file, uint32_t width, uint32_t height, png_bytepp rows, PngWriter* w) {
    std::snprintf(w->message, sizeof w->message, "out of memory");
    w->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, w, PngError, PngWarning);
    if (w->png == nullptr) return false;
    w->info = png_create_info_struct(w->png);
    if (w->info == nullptr) {
        png_destroy_write_struct(&w->png, nullptr);
        return false;
    }
    if (setjmp(w->jump) != 0) {
        png_destroy_write_struct(&w->png, &w->info);
        return false;
    }
    png_init_io(w->png, file);
    png_set_compression_level(w->png, PNG_COMPRESSION_LEVEL);
    png_set_IHDR(w->png, w->info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w->png, w->info);
    png_write_image(w->png, rows);
    png_write_end(w->png, nullptr);
    png_destroy_write_struct(&w->png, &w->info);
    return true;
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

bool DibToRgb(const std::vector<uint8_t>& block, RgbImage* image, std::string* why) {
    if (block.size() < INFO_HEADER_BYTES || Read32(block, 0) < INFO_HEADER_BYTES) {
        *why = "the bitmap block has no bitmap header";
        return false;
    }
    const auto width = static_cast<int32_t>(Read32(block, 4));
    const auto height = static_cast<int32_t>(Read32(block, 8));
    if (Read16(block, 12) != 1 || Read16(block, 14) != 24 || Read32(block, 16) != 0) {
        *why = "the bitmap block is not an uncompressed 24-bit bitmap";
        return false;
    }
    const uint32_t w = static_cast<uint32_t>(width);
    const uint32_t h =
        height < 0 ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
    if (width <= 0 || h == 0 || w > MAX_DIB_SIDE || h > MAX_DIB_SIDE) {
        *why = "the bitmap block has an impossible size";
        return false;
    }
    const size_t stride = ((static_cast<size_t>(w) * 24 + 31) / 32) * 4;
    const size_t offset = PixelOffset(block);
    if (offset > block.size() || stride * h > block.size() - offset) {
        *why = "the bitmap block is shorter than its header says";
        return false;
    }
    image->width = w;
    image->height = h;
    image->pixels.assign(static_cast<size_t>(w) * h * 3, 0);
    for (uint32_t y = 0; y < h; ++y) {
        // A positive height stores the bottom row first.
        const uint32_t blockRow = height > 0 ? h - 1 - y : y;
        const uint8_t* in = block.data() + offset + stride * blockRow;
        uint8_t* out = image->pixels.data() + static_cast<size_t>(y) * w * 3;
        for (uint32_t x = 0; x < w; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    return true;
}

std::vector<uint8_t> BmpFile(const std::vector<uint8_t>& block) {
    std::vector<uint8_t> file(FILE_HEADER_BYTES + block.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    // Bytes 6 to 9 are reserved and stay 0.
    Put32(file, 10,
          static_cast<uint32_t>(FILE_HEADER_BYTES +
                                (block.size() >= INFO_HEADER_BYTES ? PixelOffset(block) : 0)));
    if (!block.empty()) std::memcpy(file.data() + FILE_HEADER_BYTES, block.data(), block.size());
    return file;
}

std::vector<uint8_t> DibFromBgr(uint32_t width, uint32_t height, const std::vector<uint8_t>& bgr) {
    const size_t rowBytes = size_t{width} * 3;
    // Each row padded with zeros to four bytes.
    const size_t paddedBytes = (rowBytes + 3) & ~size_t{3};
    std::vector<uint8_t> block(INFO_HEADER_BYTES + paddedBytes * height, 0);
    Put32(block, 0, INFO_HEADER_BYTES);
    Put32(block, 4, width);
    Put32(block, 8, height);
    block[12] = 1;   // planes
    block[14] = 24;  // bits per pixel; BI_RGB, sizes and colour counts stay 0
    for (uint32_t r = 0; r < height && (size_t{height - r} * rowBytes) <= bgr.size(); ++r) {
        std::memcpy(block.data() + INFO_HEADER_BYTES + size_t{r} * paddedBytes,
                    bgr.data() + size_t{height - 1 - r} * rowBytes, rowBytes);
    }
    return block;
}

RgbImage Enlarge(const RgbImage& image, uint32_t factor) {
    if (factor <= 1) return image;
    RgbImage big;
    big.width = image.width * factor;
    big.height = image.height * factor;
    big.pixels.resize(static_cast<size_t>(big.width) * big.height * 3);
    for (uint32_t y = 0; y < big.height; ++y) {
        const uint8_t* in = image.pixels.data() + static_cast<size_t>(y / factor) * image.width * 3;
        uint8_t* out = big.pixels.data() + static_cast<size_t>(y) * big.width * 3;
        for (uint32_t x = 0; x < big.width; ++x) std::memcpy(out + 3 * x, in + 3 * (x / factor), 3);
    }
    return big;
}

bool WritePng(std::FILE* file, const RgbImage& image, std::string* why) {
    std::vector<png_bytep> rows(image.height);
    for (uint32_t y = 0; y < image.height; ++y) {
        rows[y] =
            const_cast<png_bytep>(image.pixels.data()) + static_cast<size_t>(y) * image.width * 3;
    }
    PngWriter writer{};
    if (!WritePngRows(file, image.width, image.height, rows.data(), &writer)) {
        *why = std::string("PNG writing failed: ") + writer.message;
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, RgbImage* image, std::string* why) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0) {
        *why = png.message;
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image->width = png.width;
    image->height = png.height;
    image->pixels.assign(PNG_IMAGE_SIZE(png), 0);
    if (png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr) == 0) {
        *why = png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

bool WriteAtomically(const std::string& path, const FileWriter& write, std::string* why) {
    // The temporary file sits in the same directory, so the rename cannot
    // cross file systems; it starts with a dot so listings skip it.
    const size_t slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string temporary = directory + "." + name + ".tmp-" + std::to_string(getpid()) +
                                  "-" + std::to_string(temporaryCounter++);
    errno = 0;
    std::FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (file == nullptr) {
        *why = std::strerror(errno);
        return false;
    }
    bool ok = write(file, why);
    if (ok && (std::fflush(file) != 0 || std::ferror(file) != 0)) {
        *why = std::strerror(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        *why = std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        *why = std::strerror(errno);
        ok = false;
    }
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

FileWriter BytesWriter(const std::vector<uint8_t>& bytes) {
    return [&bytes](std::FILE* file, std::string* why) {
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            *why = std::strerror(errno);
            return false;
        }
        return true;
    };
}

}  // namespace tarnel_tools
