// The installed ImageMagick coder module, driven through MagickCore from
// memory (the path of Wand's and Imagick's blobs; `convert` and `identify`
// drive the files).
//
//   tarnel_magick_host_test PICTURES_DIR FORMATS_DIR
//
// Run with MAGICK_CODER_MODULE_PATH reaching the installed module. Checks
// that every golden picture, of the twenty layouts and of the other
// formats, read as "c64" under its file's name gives the golden pixels at
// its own size and the format's name; and that every file of the hostile
// corpus either gives the library's picture or is refused with an error
// carrying the library's words. One process for the whole corpus, so that
// valgrind can watch it.
#include <magick/MagickCore.h>

#include <cstdio>
#include <string>
#include <vector>

#include "desktop/tests/host_test_data.h"
#include "desktop/tests/library_reference.h"
#include "testing/hostile_corpus.h"

using namespace tarnel_desktop_test;

namespace {

struct Outcome {
    Image* image = nullptr;  // owned
    ExceptionInfo* exception = AcquireExceptionInfo();
    Outcome() = default;
    Outcome(const Outcome&) = delete;
    Outcome& operator=(const Outcome&) = delete;
    ~Outcome() {
        if (image != nullptr) DestroyImageList(image);
        DestroyExceptionInfo(exception);
    }
    // The words of the error, then the file's name and where it was raised.
    std::string Reason() const {
        return exception->reason != nullptr ? exception->reason : "(no reason)";
    }
};

// The bytes read from memory as format "c64" under the file's name (which
// the module hands the library as the name hint).
void ReadAsC64(const std::vector<uint8_t>& bytes, const std::string& name, Outcome* outcome) {
    ImageInfo* info = AcquireImageInfo();
    FormatLocaleString(info->filename, MaxTextExtent, "c64:%s", name.c_str());
    outcome->image = BlobToImage(info, bytes.data(), bytes.size(), outcome->exception);
    DestroyImageInfo(info);
}

// The image's pixels.
Pixels RgbOf(const Image* image) {
    if (image == nullptr) return {};
    Pixels pixels;
    pixels.width = static_cast<int>(image->columns);
    pixels.height = static_cast<int>(image->rows);
    pixels.rgb.resize(image->columns * image->rows * 3);
    ExceptionInfo* exception = AcquireExceptionInfo();
    const MagickBooleanType ok = ExportImagePixels(image, 0, 0, image->columns, image->rows, "RGB",
                                                   CharPixel, pixels.rgb.data(), exception);
    DestroyExceptionInfo(exception);
    if (ok == MagickFalse) return {};
    return pixels;
}

std::string FormatNameOf(const std::vector<uint8_t>& bytes, const std::string& name) {
    const tarnel_decode_options options = Options(name.c_str());
    tarnel_info_ex info;
    info.size = sizeof info;
    if (tarnel_identify_ex(bytes.data(), bytes.size(), &options, &info) != TARNEL_OK) return "";
    return info.info.name;
}

void CheckGolden(Checks& checks, const GoldenPicture& golden) {
    std::string name;
    std::vector<uint8_t> bytes;
    Pixels expected;
    if (!LoadGolden(checks, golden, &name, &bytes, &expected)) return;
    // Under its path, as `convert c64:FILE` reads it: a .scr finds the .col
    // beside it.
    Outcome outcome;
    ReadAsC64(bytes, golden.picture, &outcome);
    if (!checks.Expect(outcome.image != nullptr, name + ": not read: " + outcome.Reason())) {
        return;
    }
    const Pixels got = RgbOf(outcome.image);
    checks.Expect(got == expected,
                  name + ": " + got.Size() + ", other pixels than the .bmp's " + expected.Size());
    const char* layout = GetImageProperty(outcome.image, "c64:layout");
    checks.Expect(layout != nullptr && layout == FormatNameOf(bytes, golden.picture),
                  name + ": the property c64:layout is not the format's name");
}

void CheckHostile(Checks& checks, size_t* opened, size_t* refused) {
    for (const tarnel_hostile::HostileFile& file : tarnel_hostile::HostileCorpus()) {
        const Pixels reference = LibraryPixels(file.bytes, file.name.c_str());
        (reference.empty() ? *refused : *opened) += 1;
        Outcome outcome;
        ReadAsC64(file.bytes, file.name, &outcome);
        if (!reference.empty()) {
            if (checks.Expect(outcome.image != nullptr,
                              file.name + ": refused: " + outcome.Reason())) {
                checks.Expect(RgbOf(outcome.image) == reference,
                              file.name + ": other pixels than the library's");
            }
        } else if (file.bytes.empty()) {
            // MagickCore refuses an empty blob before any coder sees it.
            checks.Expect(outcome.image == nullptr && outcome.exception->severity == BlobError,
                          file.name + ": not refused as an empty blob (" + outcome.Reason() + ")");
        } else {
            checks.Expect(
                outcome.image == nullptr && outcome.exception->severity == CorruptImageError &&
                    outcome.Reason().rfind(RefusalText(file.bytes, file.name.c_str()) + " `", 0) ==
                        0,
                file.name + ": not refused with the library's words (" + outcome.Reason() + ")");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Checks checks("tarnel_magick_host_test");
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PICTURES_DIR FORMATS_DIR\n", argv[0]);
        return 2;
    }
    MagickCoreGenesis(argv[0], MagickFalse);
    // One thread: valgrind watches every read as it happens.
    SetMagickResourceLimit(ThreadResource, 1);

    const std::vector<GoldenPicture> goldens = GoldenPictures(argv[1]);
    checks.Expect(goldens.size() >= 20, "fewer than twenty golden pictures found");
    for (const GoldenPicture& golden : goldens) CheckGolden(checks, golden);
    const std::vector<GoldenPicture> formats = GoldenPictures(argv[2]);
    checks.Expect(!formats.empty(), "no golden pictures of the other formats found");
    for (const GoldenPicture& golden : formats) CheckGolden(checks, golden);

    size_t opened = 0;
    size_t refused = 0;
    CheckHostile(checks, &opened, &refused);
    checks.Expect(opened > 0 && refused > 0, "the hostile corpus is empty");

    MagickCoreTerminus();
    return checks.Finish(std::to_string(goldens.size()) + " golden pictures, " +
                         std::to_string(formats.size()) +
                         " of the other formats; hostile corpus: " + std::to_string(opened) +
                         " opened, " + std::to_string(refused) + " refused");
}
