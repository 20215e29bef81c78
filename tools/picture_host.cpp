#include "picture_host.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "formats/layouts.h"

namespace tarnel_tools {

const char* const NOT_PICTURE_TEXT = "not a C64 picture this module knows";
const char* const TOO_LARGE_TEXT = "larger than 36,864 bytes";

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The host's side of one open file. The buffer has the file's full size from
// the start (the module keeps the address of its first byte); the callback
// reads from the file only as far as the module asks.
struct FileSource {
    std::FILE* file = nullptr;
    std::vector<uint8_t> buffer;
    uint32_t loaded = 0;  // bytes of buffer filled from the file
    std::string error;    // why the callback refused
};

int32_t TARNEL_CDECL ServeBytes(uintptr_t userValue, uint32_t needed, uint32_t* available) {
    FileSource* source = reinterpret_cast<FileSource*>(userValue);
    if (needed > source->buffer.size()) {
        source->error = "the module asked for more bytes than the file has";
        return 0;
    }
    while (source->loaded < needed) {
        const size_t got = std::fread(source->buffer.data() + source->loaded, 1,
                                      needed - source->loaded, source->file);
        if (got == 0) {
            source->error = std::ferror(source->file) != 0 ? std::strerror(errno)
                                                           : "the file ended before its size";
            return 0;
        }
        source->loaded += static_cast<uint32_t>(got);
    }
    *available = source->loaded;
    return 1;
}

std::string CannotRead(const std::string& what) {
    return "cannot be read: " + what;
}

HostedPicture Failure(HostedPicture picture, Outcome outcome, std::string reason) {
    picture.outcome = outcome;
    picture.reason = std::move(reason);
    picture.block.clear();
    return picture;
}

}  // namespace

HostedPicture HostPicture(const std::string& path, bool decode) {
    HostedPicture picture;
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return Failure(picture, Outcome::CannotRead, CannotRead(std::strerror(errno)));
    struct stat status {};
    if (fstat(fileno(file.get()), &status) != 0) {
        return Failure(picture, Outcome::CannotRead, CannotRead(std::strerror(errno)));
    }
    if (S_ISDIR(status.st_mode)) {
        return Failure(picture, Outcome::CannotRead, CannotRead(std::strerror(EISDIR)));
    }

    FileSource source;
    source.file = file.get();
    if (S_ISREG(status.st_mode)) {
        picture.fileSize = static_cast<uint64_t>(status.st_size);
        // The module refuses anything above its limit before asking for a
        // byte, so a larger file gets no buffer (the callback would refuse).
        if (picture.fileSize <= tarnel::MAX_FILE_BYTES) {
            source.buffer.resize(static_cast<size_t>(picture.fileSize));
        }
    } else {
        // A pipe or device has no size until it is read: read it up to one
        // byte past the limit, which is enough to know it is too large.
        std::vector<uint8_t> bytes(tarnel::MAX_FILE_BYTES + 1);
        const size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
        if (std::ferror(file.get()) != 0) {
            return Failure(picture, Outcome::CannotRead, CannotRead(std::strerror(errno)));
        }
        bytes.resize(got);
        picture.fileSize = got;
        if (got <= tarnel::MAX_FILE_BYTES) {
            source.buffer = std::move(bytes);
            source.loaded = static_cast<uint32_t>(got);
        }
    }

    // The record carries the real size (capped to its 32-bit field); `data`
    // is never null, even for an empty file.
    static const uint8_t EMPTY = 0;
    HostImageSource host{};
    host.data = source.buffer.empty() ? &EMPTY : source.buffer.data();
    host.size =
        picture.fileSize > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(picture.fileSize);
    host.readCallback = ServeBytes;
    host.userValue = reinterpret_cast<uintptr_t>(&source);

    TarnelImage image = nullptr;
    const int32_t opened = IDP_OpenImage(&host, &image);
    picture.fileBytes.assign(source.buffer.begin(), source.buffer.begin() + source.loaded);
    switch (opened) {
        case RESULT_OK:
            break;
        case RESULT_BAD_FORMAT:
            return Failure(
                picture,
                picture.fileSize > tarnel::MAX_FILE_BYTES ? Outcome::TooLarge : Outcome::NotPicture,
                picture.fileSize > tarnel::MAX_FILE_BYTES ? TOO_LARGE_TEXT : NOT_PICTURE_TEXT);
        case RESULT_READ_FAILED:
            return Failure(
                picture, Outcome::CannotRead,
                CannotRead(source.error.empty() ? "the module could not read it" : source.error));
        case RESULT_NO_MEMORY:
            return Failure(picture, Outcome::NoMemory, "the module ran out of memory");
        default:
            return Failure(picture, Outcome::ModuleError,
                           "the module refused it (result " + std::to_string(opened) + ")");
    }

    // From here on the image is open and must be closed on every path.
    std::string problem;
    Outcome outcome = Outcome::Opened;
    int32_t result = IDP_GetImageInfo(image, &picture.image);
    if (result == RESULT_OK) result = IDP_GetPageInfo(image, 0, &picture.page);
    if (result != RESULT_OK) {
        outcome = Outcome::ModuleError;
        problem = "the module gave no picture information (result " + std::to_string(result) + ")";
    } else if (decode) {
        PageBitmap bitmap{};
        result = IDP_PageDecode(image, 0, &bitmap);
        if (result == RESULT_OK && bitmap.bitmap != nullptr) {
            const size_t size = GlobalSize(bitmap.bitmap);
            const auto* bytes = static_cast<const uint8_t*>(GlobalLock(bitmap.bitmap));
            if (bytes != nullptr) {
                picture.block.assign(bytes, bytes + size);
                GlobalUnlock(bitmap.bitmap);
            } else {
                outcome = Outcome::ModuleError;
                problem = "the module's bitmap block cannot be locked";
            }
            GlobalFree(bitmap.bitmap);
        } else if (result == RESULT_NO_MEMORY) {
            outcome = Outcome::NoMemory;
            problem = "the module ran out of memory";
        } else {
            outcome = Outcome::ModuleError;
            problem = "the module did not decode it (result " + std::to_string(result) + ")";
        }
    }
    IDP_CloseImage(image);
    if (outcome != Outcome::Opened) return Failure(picture, outcome, problem);
    picture.outcome = Outcome::Opened;
    return picture;
}

}  // namespace tarnel_tools
