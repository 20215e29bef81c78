#include "picture_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tarnel_converter {

const char* const NOT_PICTURE_TEXT = "not a C64 picture this module knows";
const char* const TOO_LARGE_TEXT = "larger than 36,864 bytes";

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

PictureFile CannotRead(PictureFile picture, const std::string& what) {
    picture.reason = "cannot be read: " + what;
    return picture;
}

}  // namespace

PictureFile ReadPicture(const std::string& path) {
    PictureFile picture;
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return CannotRead(picture, std::strerror(errno));
    struct stat status {};
    if (fstat(fileno(file.get()), &status) != 0) return CannotRead(picture, std::strerror(errno));
    if (S_ISDIR(status.st_mode)) return CannotRead(picture, std::strerror(EISDIR));

    // Enough to hold any picture and to know that a larger file is larger.
    std::vector<uint8_t> bytes(TARNEL_MAX_FILE_SIZE + 1);
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()) != 0) return CannotRead(picture, std::strerror(errno));
    bytes.resize(got);
    picture.sizeKnown = true;
    picture.fileSize = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : got;
    if (picture.fileSize > TARNEL_MAX_FILE_SIZE || got > TARNEL_MAX_FILE_SIZE) {
        picture.reason = TOO_LARGE_TEXT;
        return picture;
    }
    if (got != picture.fileSize) return CannotRead(picture, "the file ended before its size");
    picture.bytes = std::move(bytes);
    const int result = tarnel_identify(picture.bytes.data(), picture.bytes.size(), &picture.info);
    if (result != TARNEL_OK) {
        picture.reason =
            result == TARNEL_E_NOT_RECOGNISED ? NOT_PICTURE_TEXT : tarnel_strerror(result);
        return picture;
    }
    picture.recognised = true;
    return picture;
}

bool DecodePicture(tarnel_decoder* decoder, const PictureFile& file, const tarnel_options& options,
                   std::vector<uint8_t>* pixels, std::string* why) {
    const size_t stride = TARNEL_WIDTH * tarnel_bytes_per_pixel(options.pixel_format);
    pixels->resize(stride * TARNEL_HEIGHT);
    const int result = tarnel_decode(decoder, file.bytes.data(), file.bytes.size(), &options,
                                     pixels->data(), stride, nullptr);
    if (result == TARNEL_OK) return true;
    *why = tarnel_strerror(result);
    return false;
}

}  // namespace tarnel_converter
