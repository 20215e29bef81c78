#include "converter/picture_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tarnel_converter {

const char* const NOT_PICTURE_TEXT = "not a C64 picture this module knows";
const char* const STDIN_PATH = "-";

std::string DisplayName(const std::string& path) {
    return path == STDIN_PATH ? "stdin" : path;
}

namespace {

// A stream larger than a picture is read on to learn its size (and so that
// whatever writes into a pipe is not cut off), but only this far: a device
// such as /dev/zero never ends.
constexpr uint64_t MAX_STREAM_COUNT = uint64_t{1} << 30;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != stdin) std::fclose(file);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

PictureFile CannotRead(PictureFile picture, const std::string& what) {
    picture.reason = "cannot be read: " + what;
    return picture;
}

// 1234567 as "1,234,567".
std::string Thousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(static_cast<size_t>(i), ",");
    }
    return digits;
}

}  // namespace

bool ReadCharacterSet(const std::string& path, CharacterSet* charset, std::string* why) {
    constexpr size_t BOTH_SETS = 4096;
    constexpr size_t ONE_SET = 2048;
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    struct stat status {};
    if (!file || fstat(fileno(file.get()), &status) != 0) {
        *why = path + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        *why = path + ": cannot be read: " + std::strerror(EISDIR);
        return false;
    }
    // One byte more than the larger size tells a larger file.
    std::vector<uint8_t> bytes(BOTH_SETS + 1);
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()) != 0) {
        *why = path + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    if (got != BOTH_SETS && got != ONE_SET) {
        *why = path + ": " + (got > BOTH_SETS ? "more than 4,096" : Thousands(got)) +
               " bytes, not a character set: that is 4,096 bytes (the upper case set, then the "
               "lower case one, as VICE keeps the C64's character ROM) or 2,048 (one set)";
        return false;
    }
    bytes.resize(got);
    charset->path = path;
    charset->bytes = std::move(bytes);
    return true;
}

void UseCharacterSet(const CharacterSet& charset, tarnel_decode_options* options) {
    options->charset = charset.bytes.empty() ? nullptr : charset.bytes.data();
    options->charset_size = charset.bytes.size();
}

namespace {

// "; if it is a Koala Painter file, open it with --as koala" for a file
// that the unpacked layouts' own tests take with another load address or
// none; packed layouts' tests are left out, as a stray file can pass them by
// chance.
std::string OpenAsAdvice(const std::vector<uint8_t>& bytes) {
    std::string layouts;
    std::string options;
    tarnel_decode_options chosen;
    tarnel_decode_options_init(&chosen);
    for (int index = 0; index < TARNEL_LAYOUT_COUNT; ++index) {
        tarnel_info layout;
        if (tarnel_layout(index, &layout) != TARNEL_OK || layout.packed != 0) continue;
        chosen.layout = layout.layout;
        tarnel_info_ex info{};
        info.size = sizeof info;
        if (tarnel_identify_ex(bytes.data(), bytes.size(), &chosen, &info) != TARNEL_OK) continue;
        // A file that starts with the layout's own address and is two bytes
        // short is a cut file rather than one without an address.
        if (info.headerless != 0 && bytes.size() >= 2 &&
            (bytes[0] | bytes[1] << 8) == info.info.load_address) {
            continue;
        }
        const bool first = layouts.empty();
        layouts += (first ? "" : " or ") + std::string(layout.name);
        options +=
            (first ? "--as " : " or --as ") + std::string(tarnel_layout_short_name(layout.layout));
    }
    if (layouts.empty()) return "";
    const char* article = std::strchr("AEIOU", layouts[0]) != nullptr ? "an" : "a";
    return "; if it is " + std::string(article) + " " + layouts + " file, open it with " + options;
}

}  // namespace

PictureFile ReadPicture(const std::string& path, int layout, const CharacterSet& charset) {
    PictureFile picture;
    errno = 0;
    File file(path == STDIN_PATH ? stdin : std::fopen(path.c_str(), "rb"));
    if (!file) return CannotRead(picture, std::strerror(errno));
    struct stat status {};
    if (fstat(fileno(file.get()), &status) != 0) return CannotRead(picture, std::strerror(errno));
    if (S_ISDIR(status.st_mode)) return CannotRead(picture, std::strerror(EISDIR));

    // Enough to hold any picture and to know that a larger file is larger.
    std::vector<uint8_t> bytes(TARNEL_MAX_ANY_FILE_SIZE + 1);
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()) != 0) return CannotRead(picture, std::strerror(errno));
    bytes.resize(got);
    const bool regular = S_ISREG(status.st_mode);
    picture.fileSize = regular ? static_cast<uint64_t>(status.st_size) : got;
    if (!regular && got > TARNEL_MAX_ANY_FILE_SIZE) {
        // Count the rest of the stream.
        std::vector<uint8_t> rest(65536);
        size_t more = 0;
        while (picture.fileSize < MAX_STREAM_COUNT &&
               (more = std::fread(rest.data(), 1, rest.size(), file.get())) > 0) {
            picture.fileSize += more;
        }
        if (std::ferror(file.get()) != 0) return CannotRead(picture, std::strerror(errno));
        if (picture.fileSize >= MAX_STREAM_COUNT) {
            picture.reason = "too large: an endless stream, or above 1 GiB";
            return picture;
        }
    }
    picture.sizeKnown = true;
    if (picture.fileSize <= TARNEL_MAX_ANY_FILE_SIZE && got != picture.fileSize) {
        return CannotRead(picture, "the file ended before its size");
    }
    // The name helps where the bytes carry no signature.
    if (path != STDIN_PATH) picture.fileName = path;
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.layout = layout;
    options.file_name = picture.fileName.empty() ? nullptr : picture.fileName.c_str();
    UseCharacterSet(charset, &options);
    picture.layout = layout;
    int result = TARNEL_E_TOO_LARGE;
    if (picture.fileSize <= TARNEL_MAX_ANY_FILE_SIZE) {
        picture.bytes = std::move(bytes);
        tarnel_info_ex info{};
        info.size = sizeof info;
        result = tarnel_identify_ex(picture.bytes.data(), picture.bytes.size(), &options, &info);
        picture.info = info.info;
        picture.frameCount = info.frame_count;
        picture.headerless = info.headerless != 0;
        picture.chosen = info.chosen != 0;
        picture.ignoredBytes = info.ignored_bytes;
        picture.charsetSource = info.charset_source;
        picture.charsetCase = info.charset_case;
        picture.charsetPath =
            info.charset_source == TARNEL_CHARSET_CALLER ? charset.path : info.charset_path;
    }
    if (result != TARNEL_OK) {
        // A file above the limit is judged by its size alone: the library
        // reads none of its bytes, so the first ones read are enough.
        char reason[1024];
        const void* data = picture.bytes.empty() ? bytes.data() : picture.bytes.data();
        tarnel_explain_ex(data, static_cast<size_t>(picture.fileSize), &options, reason,
                          sizeof reason);
        picture.reason = reason;
        if (result == TARNEL_E_NOT_RECOGNISED &&
            picture.reason == tarnel_strerror(TARNEL_E_NOT_RECOGNISED)) {
            picture.reason = NOT_PICTURE_TEXT;
        }
        if (result == TARNEL_E_NOT_RECOGNISED && layout == 0) {
            picture.reason += OpenAsAdvice(picture.bytes);
        }
        return picture;
    }
    picture.recognised = true;
    return picture;
}

bool DecodePicture(tarnel_decoder* decoder, const PictureFile& file,
                   const tarnel_decode_options& options, std::vector<uint8_t>* pixels,
                   uint32_t* width, uint32_t* height, std::string* why) {
    tarnel_decode_options chosen = options;
    chosen.layout = file.layout;
    chosen.file_name = file.fileName.empty() ? nullptr : file.fileName.c_str();
    // The picture's size with these options: each format's own.
    tarnel_info_ex info{};
    info.size = sizeof info;
    int result = tarnel_identify_ex(file.bytes.data(), file.bytes.size(), &chosen, &info);
    const int w = info.output_width;
    const int h = info.output_height;
    if (result == TARNEL_OK) {
        const size_t stride = static_cast<size_t>(w) * tarnel_bytes_per_pixel(options.pixel_format);
        pixels->resize(stride * static_cast<size_t>(h));
        result = tarnel_decode_ex(decoder, file.bytes.data(), file.bytes.size(), &chosen,
                                  pixels->data(), stride, nullptr);
    }
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    if (result == TARNEL_OK) return true;
    // The library's words, which name what is missing (a character set and
    // the ways to give one, the frame asked for); its short text where the
    // failure is none the file's bytes explain (memory).
    char reason[1024];
    const int explained =
        tarnel_explain_ex(file.bytes.data(), file.bytes.size(), &chosen, reason, sizeof reason);
    *why = explained == result ? reason : tarnel_strerror(result);
    return false;
}

}  // namespace tarnel_converter
