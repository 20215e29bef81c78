// Golden pictures: every picture file in tests/data/pictures is decoded
// through the exports and must give, byte for byte, the block held in the
// .bmp file of the same name (14-byte file header, then the block); decoded
// through the C library with its default options it must give the same
// pixels, top row first and red first. Adding a picture and its .bmp adds a
// case; a picture without its .bmp fails.
// tests/data/README.md tells how the .bmp files are made.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/layouts.h"
#include "tarnel/tarnel.h"
#include "testing/host.h"

#ifndef TARNEL_GOLDEN_DIR
#error "TARNEL_GOLDEN_DIR names the folder of golden pictures"
#endif
#ifndef TARNEL_VIEWS_DIR
#error "TARNEL_VIEWS_DIR names the folder of golden frames and borders"
#endif

namespace {

namespace fs = std::filesystem;

constexpr size_t BMP_FILE_HEADER_BYTES = 14;

bool ReadFile(const fs::path& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool IsBmp(const fs::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".bmp";
}

struct GoldenFiles {
    std::vector<fs::path> pictures;  // everything that is not a .bmp
    std::vector<fs::path> bitmaps;
};

GoldenFiles ListGoldenFiles() {
    GoldenFiles files;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(TARNEL_GOLDEN_DIR, ec)) {
        if (!entry.is_regular_file()) continue;
        (IsBmp(entry.path()) ? files.bitmaps : files.pictures).push_back(entry.path());
    }
    return files;
}

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// How many of `height` rows of BGR pixels (top row first, `row` bytes each)
// differ from the bottom-up rows of a .bmp file.
size_t RowsDifferingFromBmp(const std::vector<uint8_t>& bmp, const std::vector<uint8_t>& pixels,
                            size_t row, size_t height) {
    size_t differences = 0;
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* golden = bmp.data() + BMP_FILE_HEADER_BYTES + TARNEL_BITMAP_HEADER_BYTES +
                                (height - 1 - y) * row;
        differences += std::memcmp(golden, pixels.data() + y * row, row) != 0;
    }
    return differences;
}

TEST(Golden, FolderHoldsASampleOfEveryLayout) {
    const GoldenFiles files = ListGoldenFiles();
    ASSERT_FALSE(files.pictures.empty()) << "no pictures in " << TARNEL_GOLDEN_DIR;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%02u-", static_cast<unsigned>(layout.code));
        bool found = false;
        for (const fs::path& picture : files.pictures) {
            found = found || picture.filename().string().rfind(prefix, 0) == 0;
        }
        EXPECT_TRUE(found) << "no picture named " << prefix << "* for layout " << layout.name;
    }
}

TEST(Golden, EveryBitmapHasItsPicture) {
    const GoldenFiles files = ListGoldenFiles();
    std::set<fs::path> stems;
    for (const fs::path& picture : files.pictures) stems.insert(picture.stem());
    for (const fs::path& bitmap : files.bitmaps) {
        EXPECT_EQ(stems.count(bitmap.stem()), 1u)
            << bitmap.filename().string() << " has no picture beside it";
    }
}

TEST(Golden, EveryPictureDecodesToItsBitmap) {
    const GoldenFiles files = ListGoldenFiles();
    size_t checked = 0;
    for (const fs::path& picture : files.pictures) {
        SCOPED_TRACE(picture.filename().string());
        fs::path bitmapPath = picture;
        bitmapPath.replace_extension(".bmp");
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> bmp;
        if (!ReadFile(picture, &bytes)) {
            ADD_FAILURE() << "cannot read the picture";
            continue;
        }
        if (!ReadFile(bitmapPath, &bmp)) {
            ADD_FAILURE() << "no " << bitmapPath.filename().string() << " beside it";
            continue;
        }
        // The file header: "BM", the file's size, the pixels after the
        // 14 + 40 header bytes.
        if (bmp.size() != BMP_FILE_HEADER_BYTES + TARNEL_BITMAP_BLOCK_BYTES) {
            ADD_FAILURE() << bitmapPath.filename().string() << " has " << bmp.size()
                          << " bytes, not 14 + 192,040";
            continue;
        }
        EXPECT_EQ(bmp[0], 'B');
        EXPECT_EQ(bmp[1], 'M');
        EXPECT_EQ(Read32(bmp, 2), bmp.size());
        EXPECT_EQ(Read32(bmp, 6), 0u);
        EXPECT_EQ(Read32(bmp, 10), BMP_FILE_HEADER_BYTES + TARNEL_BITMAP_HEADER_BYTES);

        const std::vector<uint8_t> block = tarnel_test::DecodeFile(bytes);
        if (block.size() != TARNEL_BITMAP_BLOCK_BYTES) {
            ADD_FAILURE() << "the module did not decode it";
            continue;
        }
        size_t firstDifference = block.size();
        size_t differences = 0;
        for (size_t i = 0; i < block.size(); ++i) {
            if (block[i] != bmp[BMP_FILE_HEADER_BYTES + i]) {
                if (differences++ == 0) firstDifference = i;
            }
        }
        EXPECT_EQ(differences, 0u) << "first different byte of the block: " << firstDifference;

        // The C library with default options, into rows with padding.
        constexpr size_t ROW = 320 * 3;
        constexpr size_t STRIDE = ROW + 5;
        std::vector<uint8_t> rgb(STRIDE * 200, 0x5A);
        tarnel_decoder* decoder = tarnel_decoder_new();
        ASSERT_NE(decoder, nullptr);
        const int result = tarnel_decode(decoder, bytes.data(), bytes.size(), nullptr, rgb.data(),
                                         STRIDE, nullptr);
        tarnel_decoder_free(decoder);
        EXPECT_EQ(result, TARNEL_OK) << tarnel_strerror(result);
        size_t libraryDifferences = 0;
        for (size_t y = 0; y < 200; ++y) {
            const uint8_t* golden =
                bmp.data() + BMP_FILE_HEADER_BYTES + TARNEL_BITMAP_HEADER_BYTES + (199 - y) * ROW;
            const uint8_t* row = rgb.data() + y * STRIDE;
            for (size_t x = 0; x < ROW; x += 3) {
                libraryDifferences += row[x] != golden[x + 2] || row[x + 1] != golden[x + 1] ||
                                      row[x + 2] != golden[x];
            }
            for (size_t k = ROW; k < STRIDE; ++k) libraryDifferences += row[k] != 0x5A;
        }
        EXPECT_EQ(libraryDifferences, 0u) << "pixels of the C library differ";
        ++checked;
    }
    EXPECT_EQ(checked, files.pictures.size());
}

// tests/data/views: STEM.VIEW.bmp is the picture STEM.* of the golden
// folder (or kept beside the views) decoded through the C library with the
// options VIEW names: frame0, frame1, border (in the background colour),
// border-N, stored, c64 or c64-frameN. A picture whose code prefix is not
// the layout its bytes give is opened as that layout.
bool ViewOptions(const std::string& view, tarnel_decode_options* options) {
    tarnel_decode_options_init(options);
    options->pixel_format = TARNEL_BGR24;
    std::string rest = view;
    if (rest.rfind("c64", 0) == 0) {
        options->view = TARNEL_VIEW_C64;
        rest = rest.size() > 3 && rest[3] == '-' ? rest.substr(4) : "";
    }
    if (rest.empty() || rest == "stored") return true;
    if (rest == "frame0" || rest == "frame1") {
        options->frame = rest == "frame0" ? TARNEL_FRAME_0 : TARNEL_FRAME_1;
        return true;
    }
    if (rest.rfind("border", 0) != 0) return false;
    options->border = TARNEL_BORDER_FULL;
    if (rest.size() > 7 && rest[6] == '-') options->border_colour = std::stoi(rest.substr(7));
    return rest == "border" || rest.size() > 7;
}

TEST(GoldenViews, EveryViewDecodesToItsBitmap) {
    const GoldenFiles files = ListGoldenFiles();
    std::vector<fs::path> pictures = files.pictures;
    std::set<std::string> covered;  // "code view"
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(TARNEL_VIEWS_DIR, ec)) {
        if (!IsBmp(entry.path())) pictures.push_back(entry.path());
    }
    size_t checked = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(TARNEL_VIEWS_DIR, ec)) {
        if (!IsBmp(entry.path())) continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const std::string stem = entry.path().stem().stem().string();
        const std::string view = entry.path().stem().extension().string().substr(1);
        tarnel_decode_options options;
        ASSERT_TRUE(ViewOptions(view, &options)) << "not STEM.VIEW.bmp";
        fs::path picture;
        for (const fs::path& p : pictures) {
            if (p.stem().string() == stem) picture = p;
        }
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> bmp;
        ASSERT_TRUE(ReadFile(picture, &bytes)) << "no picture " << stem << ".*";
        ASSERT_TRUE(ReadFile(entry.path(), &bmp));
        tarnel_info found{};
        const int code = std::stoi(stem.substr(0, 2));
        if (tarnel_identify(bytes.data(), bytes.size(), &found) != TARNEL_OK ||
            found.layout != code) {
            options.layout = code;
        }
        int width = 0;
        int height = 0;
        ASSERT_EQ(tarnel_output_size(&options, &width, &height), TARNEL_OK);
        const size_t row = static_cast<size_t>(width) * 3;
        ASSERT_EQ(bmp.size(), BMP_FILE_HEADER_BYTES + TARNEL_BITMAP_HEADER_BYTES + row * height);
        std::vector<uint8_t> pixels(row * height);
        tarnel_info_ex info{};
        info.size = sizeof info;
        tarnel_decoder* decoder = tarnel_decoder_new();
        const int result = tarnel_decode_ex(decoder, bytes.data(), bytes.size(), &options,
                                            pixels.data(), row, &info);
        tarnel_decoder_free(decoder);
        ASSERT_EQ(result, TARNEL_OK) << tarnel_strerror(result);
        EXPECT_EQ(RowsDifferingFromBmp(bmp, pixels, row, static_cast<size_t>(height)), 0u)
            << "rows differ";
        covered.insert(std::to_string(info.info.layout) + " " + view.substr(0, 6));
        ++checked;
    }
    // Each interlaced layout and a single-frame one, each frame and the
    // border; the C64's view of a Drazlace, an FLI and a hires FLI picture,
    // and Hires Manager.
    for (const char* code : {"1", "2", "3", "6", "7", "20"}) {
        for (const char* view : {"frame0", "frame1", "border"}) {
            EXPECT_EQ(covered.count(std::string(code) + " " + view), 1u) << code << " " << view;
        }
    }
    for (const char* wanted : {"6 c64", "8 c64", "17 c64", "22 stored", "22 c64"}) {
        EXPECT_EQ(covered.count(wanted), 1u) << wanted;
    }
    EXPECT_GT(checked, 0u);
}

// Opened as the layout the user names: every golden picture saved at another
// load address, and again without its two address bytes, gives its golden
// pixels, and so does the unchanged file.
TEST(GoldenOpenAs, RelocatedAndHeaderlessPicturesDecodeToTheirBitmap) {
    const GoldenFiles files = ListGoldenFiles();
    constexpr size_t ROW = 320 * 3;
    tarnel_decoder* decoder = tarnel_decoder_new();
    ASSERT_NE(decoder, nullptr);
    for (const fs::path& picture : files.pictures) {
        SCOPED_TRACE(picture.filename().string());
        fs::path bitmapPath = picture;
        bitmapPath.replace_extension(".bmp");
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> bmp;
        ASSERT_TRUE(ReadFile(picture, &bytes) && ReadFile(bitmapPath, &bmp));
        tarnel_info found;
        ASSERT_EQ(tarnel_identify(bytes.data(), bytes.size(), &found), TARNEL_OK);
        std::vector<uint8_t> relocated = bytes;
        relocated[0] = 0x34;
        relocated[1] = 0x12;
        const std::vector<uint8_t> headerless(bytes.begin() + 2, bytes.end());
        const struct {
            const char* name;
            const std::vector<uint8_t>& file;
            int headerless;
            unsigned loadAddress;
        } variants[] = {
            {"unchanged", bytes, 0, static_cast<unsigned>(found.load_address)},
            {"relocated", relocated, 0, 0x1234u},
            {"headerless", headerless, 1, static_cast<unsigned>(found.load_address)},
        };
        for (const auto& variant : variants) {
            SCOPED_TRACE(variant.name);
            tarnel_decode_options options;
            tarnel_decode_options_init(&options);
            options.pixel_format = TARNEL_BGR24;
            options.layout = found.layout;
            tarnel_info_ex info{};
            info.size = sizeof info;
            std::vector<uint8_t> pixels(ROW * 200);
            const int result = tarnel_decode_ex(decoder, variant.file.data(), variant.file.size(),
                                                &options, pixels.data(), ROW, &info);
            ASSERT_EQ(result, TARNEL_OK) << tarnel_strerror(result);
            EXPECT_EQ(info.info.layout, found.layout);
            EXPECT_EQ(info.chosen, 1);
            EXPECT_EQ(info.headerless, variant.headerless);
            EXPECT_EQ(static_cast<unsigned>(info.info.load_address), variant.loadAddress);
            EXPECT_EQ(RowsDifferingFromBmp(bmp, pixels, ROW, 200), 0u) << "rows differ";
        }
    }
    tarnel_decoder_free(decoder);
}

}  // namespace
