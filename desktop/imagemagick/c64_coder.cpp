// The ImageMagick 6 coder module (c64.so): C64 pictures in `convert`,
// `identify` and every program built on MagickCore or MagickWand (Wand,
// Imagick), through the C library (tarnel/tarnel.h), each at its own size
// (320 x 200 for the twenty layouts, a character set's or a sprite set's
// own for the other formats).
//
// ImageMagick 6 loads a coder module by the format's name: "KOA" opens
// koa.la, the libtool file that names this library, and calls
// RegisterKOAImage. So the library carries one Register/Unregister pair for
// the format "C64" (any C64 picture, `convert c64:FILE out.png`) and one for
// each file name extension of desktop/mime/tarnel.xml (`convert FILE.koa
// out.png`), each registering its own name. Every format reads every format
// of the library: the bytes decide, helped by a name where they carry no
// signature (a .64c character set is a load address and character bytes).
// That name is the format ImageMagick picked by the file's extension or its
// prefix (`convert lp3:logo.bin out.png`), or, for the format C64, the
// file's name (`convert c64:bank.a out.png`).
//
// Reading only: no format has an encoder, so ImageMagick refuses to write one
// with its usual "no encode delegate" error.
#include <magick/MagickCore.h>

#include <cctype>
#include <cstddef>
#include <string>

#include "magick_formats.h"
#include "tarnel/tarnel.h"

// MagickCore's blob functions, which read the file, the standard input, a
// file descriptor or a blob in memory alike. Every coder reads through them;
// the library exports them, but declares them in a header it does not
// install (magick/blob-private.h), so here they are, as declared there.
extern "C" {
typedef enum {
    UndefinedBlobMode,
    ReadBlobMode,
    ReadBinaryBlobMode,
    WriteBlobMode,
    WriteBinaryBlobMode,
    AppendBlobMode,
    AppendBinaryBlobMode
} BlobMode;
MagickExport MagickBooleanType OpenBlob(const ImageInfo*, Image*, const BlobMode, ExceptionInfo*);
MagickExport ssize_t ReadBlob(Image*, const size_t, unsigned char*);
MagickExport MagickBooleanType CloseBlob(Image*);
}

namespace {

// A file is at most this long; one byte more tells a larger file apart.
constexpr size_t READ_LIMIT = TARNEL_MAX_ANY_FILE_SIZE + 1;
// Room for the library's words on a refused file: the longest, on a
// character screen with no character set, names every way to give one.
constexpr size_t EXPLAIN_SIZE = 1024;

// The image property that names the format (`identify -verbose`, or
// `identify -format '%[c64:layout]'`).
constexpr const char* LAYOUT_PROPERTY = "c64:layout";

// Memory from MagickCore's allocator, released on every path.
class MagickBuffer {
public:
    explicit MagickBuffer(size_t size)
        : bytes_(static_cast<unsigned char*>(AcquireQuantumMemory(size, 1))) {}
    ~MagickBuffer() { RelinquishMagickMemory(bytes_); }
    MagickBuffer(const MagickBuffer&) = delete;
    MagickBuffer& operator=(const MagickBuffer&) = delete;
    unsigned char* get() const { return bytes_; }

private:
    unsigned char* bytes_;
};

// Records why the file is refused and gives up the image.
Image* Refuse(Image* image, ExceptionInfo* exception, ExceptionType severity, const char* why) {
    ThrowMagickException(exception, GetMagickModule(), severity, why, "`%s'", image->filename);
    return DestroyImageList(image);
}

// The file, at most READ_LIMIT bytes of it, into `bytes`; its length.
size_t ReadFile(Image* image, unsigned char* bytes) {
    size_t size = 0;
    while (size < READ_LIMIT) {
        const ssize_t count = ReadBlob(image, READ_LIMIT - size, bytes + size);
        if (count <= 0) break;
        size += static_cast<size_t>(count);
    }
    return size;
}

// The name hint for the library: the format ImageMagick chose, when it is
// an extension's ("LP3" from `logo.lp3` or `lp3:logo.bin`), else the file's
// name (its extension tells, as `c64:bank.a` does).
std::string NameHint(const ImageInfo* image_info) {
    if (image_info->magick[0] != '\0' && LocaleCompare(image_info->magick, "C64") != 0) {
        std::string format = image_info->magick;
        for (char& c : format) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return format;
    }
    return image_info->filename;
}

Image* ReadC64Image(const ImageInfo* image_info, ExceptionInfo* exception) {
    Image* image = AcquireImage(image_info);
    if (OpenBlob(image_info, image, ReadBinaryBlobMode, exception) == MagickFalse) {
        return DestroyImageList(image);
    }
    MagickBuffer bytes(READ_LIMIT);
    if (bytes.get() == nullptr) {
        CloseBlob(image);
        return Refuse(image, exception, ResourceLimitError, tarnel_strerror(TARNEL_E_NO_MEMORY));
    }
    const size_t size = ReadFile(image, bytes.get());
    CloseBlob(image);
    if (size > TARNEL_MAX_ANY_FILE_SIZE) {
        return Refuse(image, exception, CorruptImageError, tarnel_strerror(TARNEL_E_TOO_LARGE));
    }
    // A 1.3 options record: every format, at its own size.
    const std::string hint = NameHint(image_info);
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = hint.empty() ? nullptr : hint.c_str();
    char why[EXPLAIN_SIZE];
    if (tarnel_explain_ex(bytes.get(), size, &options, why, sizeof why) != TARNEL_OK) {
        return Refuse(image, exception, CorruptImageError, why);
    }
    tarnel_info_ex info;
    info.size = sizeof info;
    tarnel_identify_ex(bytes.get(), size, &options, &info);
    const auto width = static_cast<size_t>(info.output_width);
    const auto height = static_cast<size_t>(info.output_height);
    image->columns = width;
    image->rows = height;
    image->depth = 8;
    SetImageProperty(image, LAYOUT_PROPERTY, info.info.name);
    // `identify` and the like ask for the size alone.
    if (image_info->ping != MagickFalse) return image;

    if (SetImageExtent(image, width, height) == MagickFalse) {
        InheritException(exception, &image->exception);
        return DestroyImageList(image);
    }
    const size_t rowBytes = width * 3;
    MagickBuffer pixels(rowBytes * height);
    tarnel_decoder* decoder = tarnel_decoder_new();
    if (pixels.get() == nullptr || decoder == nullptr) {
        tarnel_decoder_free(decoder);
        return Refuse(image, exception, ResourceLimitError, tarnel_strerror(TARNEL_E_NO_MEMORY));
    }
    const int result =
        tarnel_decode_ex(decoder, bytes.get(), size, &options, pixels.get(), rowBytes, nullptr);
    tarnel_decoder_free(decoder);
    if (result != TARNEL_OK) {
        return Refuse(image, exception, CorruptImageError, tarnel_strerror(result));
    }
    if (ImportImagePixels(image, 0, 0, width, height, "RGB", CharPixel, pixels.get()) ==
        MagickFalse) {
        InheritException(exception, &image->exception);
        return DestroyImageList(image);
    }
    return image;
}

size_t RegisterFormat(const char* name, const char* mime_type, const char* description) {
    MagickInfo* entry = SetMagickInfo(name);
    entry->decoder = ReadC64Image;
    entry->description = ConstantString(description);
    entry->mime_type = ConstantString(mime_type);
    entry->version = ConstantString(tarnel_version());
    entry->magick_module = ConstantString(name);
    // One picture a file, read whole from any stream.
    entry->adjoin = MagickFalse;
    entry->seekable_stream = MagickFalse;
    entry->blob_support = MagickTrue;
    RegisterMagickInfo(entry);
    return MagickImageCoderSignature;
}

}  // namespace

// The entry points ImageMagick's module loader looks up by name.
#define TARNEL_MAGICK_ENTRY_POINTS(NAME, MIME_TYPE, DESCRIPTION) \
    extern "C" ModuleExport size_t Register##NAME##Image(void) { \
        return RegisterFormat(#NAME, MIME_TYPE, DESCRIPTION);    \
    }                                                            \
    extern "C" ModuleExport void Unregister##NAME##Image(void) { \
        UnregisterMagickInfo(#NAME);                             \
    }

TARNEL_MAGICK_FORMATS(TARNEL_MAGICK_ENTRY_POINTS)
