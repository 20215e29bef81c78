// The installed ImageMagick coder module, driven through MagickCore from
// memory (the path of Wand's and Imagick's blobs; `convert` and `identify`
// drive the files).
//
//   tarnel_magick_host_test PICTURES_DIR
//
// Run with MAGICK_CODER_MODULE_PATH reaching the installed module. Checks
// that every golden picture read as "c64" gives the golden pixels and the
// layout's name; and that every file of the hostile corpus either gives the
// library's picture or is refused with an error carrying the library's
// words. One process for the whole corpus, so that valgrind can watch it.
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

// The bytes read from memory as format "c64", the name given only for the
// messages.
void ReadAsC64(const std::vector<uint8_t>& bytes, const std::string& name, Outcome* outcome) {
    ImageInfo* info = AcquireImageInfo();
    FormatLocaleString(info->filename, MaxTextExtent, "c64:%s", name.c_str());
    outcome->image = BlobToImage(info, bytes.data(), bytes.size(), outcome->exception);
    DestroyImageInfo(info);
}

// The image as RGB rows without padding; empty when it is not 320 x 200.
std::vector<uint8_t> RgbOf(const Image* image) {
    if (image == nullptr || image->columns != WIDTH || image->rows != HEIGHT) return {};
    std::vector<uint8_t> rgb(WIDTH * HEIGHT * 3);
    ExceptionInfo* exception = AcquireExceptionInfo();
    const MagickBooleanType ok =
        ExportImagePixels(image, 0, 0, WIDTH, HEIGHT, "RGB", CharPixel, rgb.data(), exception);
    DestroyExceptionInfo(exception);
    if (ok == MagickFalse) rgb.clear();
    return rgb;
}

std::string LayoutOf(const std::vector<uint8_t>& bytes) {
    tarnel_info info;
    if (tarnel_identify(bytes.data(), bytes.size(), &info) != TARNEL_OK) return "";
    return info.name;
}

void CheckGolden(Checks& checks, const GoldenPicture& golden) {
    std::string name;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> expected;
    if (!LoadGolden(checks, golden, &name, &bytes, &expected)) return;
    Outcome outcome;
    ReadAsC64(bytes, name, &outcome);
    if (!checks.Expect(outcome.image != nullptr, name + ": not read: " + outcome.Reason())) {
        return;
    }
    checks.Expect(RgbOf(outcome.image) == expected, name + ": other pixels than the .bmp");
    const char* layout = GetImageProperty(outcome.image, "c64:layout");
    checks.Expect(layout != nullptr && layout == LayoutOf(bytes),
                  name + ": the property c64:layout is not the layout's name");
}

void CheckHostile(Checks& checks, size_t* opened, size_t* refused) {
    for (const tarnel_hostile::HostileFile& file : tarnel_hostile::HostileCorpus()) {
        const std::vector<uint8_t> reference = LibraryPixels(file.bytes);
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
                    outcome.Reason().rfind(RefusalText(file.bytes) + " `", 0) == 0,
                file.name + ": not refused with the library's words (" + outcome.Reason() + ")");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Checks checks("tarnel_magick_host_test");
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PICTURES_DIR\n", argv[0]);
        return 2;
    }
    MagickCoreGenesis(argv[0], MagickFalse);
    // One thread: valgrind watches every read as it happens.
    SetMagickResourceLimit(ThreadResource, 1);

    const std::vector<GoldenPicture> goldens = GoldenPictures(argv[1]);
    checks.Expect(goldens.size() >= 20, "fewer than twenty golden pictures found");
    for (const GoldenPicture& golden : goldens) CheckGolden(checks, golden);

    size_t opened = 0;
    size_t refused = 0;
    CheckHostile(checks, &opened, &refused);
    checks.Expect(opened > 0 && refused > 0, "the hostile corpus is empty");

    MagickCoreTerminus();
    return checks.Finish(std::to_string(goldens.size()) +
                         " golden pictures; hostile corpus: " + std::to_string(opened) +
                         " opened, " + std::to_string(refused) + " refused");
}
