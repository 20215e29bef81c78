// The formats beyond the twenty layouts, through the C library: every
// sample decodes to the picture its generator drew; every file of
// tests/data/formats gives its .bmp, byte for byte; the name decides only
// where the bytes do not; and programs built against 1.1 and 1.2 see none
// of it.
#include "core/formats/formats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "authoring/format_samples.h"
#include "tarnel/tarnel.h"
#include "testing/hostile_formats.h"

#ifndef TARNEL_FORMATS_DIR
#error "TARNEL_FORMATS_DIR names the folder of the formats' golden pictures"
#endif
#ifndef TARNEL_PETSCII_DIR
#error "TARNEL_PETSCII_DIR names the folder of the character screens' golden pictures"
#endif

namespace {

namespace fs = std::filesystem;
using tarnel_tools::FormatSample;
using tarnel_tools::MakeFormatSamples;

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Decoded {
    int result = TARNEL_E_NOT_RECOGNISED;
    tarnel_info_ex info{};
    std::vector<uint8_t> rgb;  // top row first, no padding
};

// Character screens draw with the made-up character ROM, found as a user's
// would be: through TARNEL_CHARGEN.
const bool chargenNamed = [] {
    const std::string path = std::string(TARNEL_PETSCII_DIR) + "/made-up-chargen.bin";
#ifdef _WIN32
    return _putenv_s("TARNEL_CHARGEN", path.c_str()) == 0;
#else
    return setenv("TARNEL_CHARGEN", path.c_str(), 1) == 0;
#endif
}();

// Decodes `bytes` as a 1.3 caller with `name` as the file name hint (and a
// companion file's bytes, if any).
Decoded Decode(const std::vector<uint8_t>& bytes, const char* name, int border = 0,
               int pixelFormat = TARNEL_RGB24, int frame = TARNEL_FRAME_BLEND,
               const std::vector<uint8_t>& companion = {}) {
    Decoded d;
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = name;
    options.companion = companion.empty() ? nullptr : companion.data();
    options.companion_size = companion.size();
    options.border = border;
    options.pixel_format = pixelFormat;
    options.frame = frame;
    d.info.size = sizeof d.info;
    d.result = tarnel_identify_ex(bytes.data(), bytes.size(), &options, &d.info);
    if (d.result != TARNEL_OK) return d;
    const size_t stride = size_t(d.info.output_width) * tarnel_bytes_per_pixel(pixelFormat);
    d.rgb.assign(stride * size_t(d.info.output_height), 0xAB);
    tarnel_decoder* decoder = tarnel_decoder_new();
    d.result = tarnel_decode_ex(decoder, bytes.data(), bytes.size(), &options, d.rgb.data(), stride,
                                &d.info);
    tarnel_decoder_free(decoder);
    return d;
}

class SampleTest : public ::testing::TestWithParam<FormatSample> {};

// The colour the sample's picture has at pixel n, as decoded with `frame`:
// its one frame; of two, either alone or both blended, each channel the
// mean rounded down.
void ExpectedPixel(const FormatSample& sample, size_t n, int frame,
                   const unsigned char palette[16][3], unsigned char out[3]) {
    const unsigned char* a = palette[sample.colours[n]];
    if (sample.secondFrame.empty() || frame == TARNEL_FRAME_0) {
        std::memcpy(out, a, 3);
        return;
    }
    const unsigned char* b = palette[sample.secondFrame[n]];
    for (int k = 0; k < 3; ++k) {
        out[k] = frame == TARNEL_FRAME_1 ? b[k] : static_cast<unsigned char>((a[k] + b[k]) / 2);
    }
}

TEST_P(SampleTest, DecodesToThePictureItWasWrittenFrom) {
    const FormatSample& sample = GetParam();
    unsigned char palette[16][3];
    ASSERT_EQ(tarnel_palette_colours(0, palette), TARNEL_OK);
    // The picture; a picture of two frames also each frame alone.
    for (int frame : {TARNEL_FRAME_BLEND, TARNEL_FRAME_0, TARNEL_FRAME_1}) {
        if (frame != TARNEL_FRAME_BLEND && sample.secondFrame.empty()) break;
        const Decoded d =
            Decode(sample.bytes, sample.fileName.c_str(), 0, TARNEL_RGB24, frame, sample.companion);
        ASSERT_EQ(d.result, TARNEL_OK) << sample.fileName;
        EXPECT_EQ(d.info.info.layout, sample.code);
        ASSERT_EQ(d.info.output_width, int(sample.width));
        ASSERT_EQ(d.info.output_height, int(sample.height));
        EXPECT_EQ(d.info.info.width, int(sample.width));
        EXPECT_EQ(d.info.frame_count, sample.secondFrame.empty() ? int(sample.screens) : 2);
        size_t wrong = 0;
        std::string first;
        for (uint32_t y = 0; y < sample.height; ++y) {
            for (uint32_t x = 0; x < sample.width; ++x) {
                unsigned char expected[3];
                ExpectedPixel(sample, size_t(y) * sample.width + x, frame, palette, expected);
                if (std::memcmp(&d.rgb[(size_t(y) * sample.width + x) * 3], expected, 3) != 0 &&
                    wrong++ == 0) {
                    first = "first at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
                }
            }
        }
        EXPECT_EQ(wrong, 0u) << sample.fileName << " frame " << frame << ": " << first;
    }
}

// Pictures of 320 x 200 get the border in their background colour; others
// keep their own size.
TEST_P(SampleTest, BorderOnlyAroundC64SizedPictures) {
    const FormatSample& sample = GetParam();
    unsigned char palette[16][3];
    ASSERT_EQ(tarnel_palette_colours(0, palette), TARNEL_OK);
    const Decoded d = Decode(sample.bytes, sample.fileName.c_str(), TARNEL_BORDER_FULL,
                             TARNEL_RGB24, TARNEL_FRAME_BLEND, sample.companion);
    ASSERT_EQ(d.result, TARNEL_OK);
    if (sample.width != 320 || sample.height != 200) {
        EXPECT_EQ(d.info.output_width, int(sample.width));
        EXPECT_EQ(d.info.output_height, int(sample.height));
        return;
    }
    ASSERT_EQ(d.info.output_width, TARNEL_BORDER_WIDTH);
    ASSERT_EQ(d.info.output_height, TARNEL_BORDER_HEIGHT);
    EXPECT_EQ(std::memcmp(&d.rgb[0], palette[sample.background], 3), 0);
    const size_t inside =
        (size_t(TARNEL_BORDER_TOP) * TARNEL_BORDER_WIDTH + TARNEL_BORDER_LEFT) * 3;
    unsigned char expected[3];
    ExpectedPixel(sample, 0, TARNEL_FRAME_BLEND, palette, expected);
    EXPECT_EQ(std::memcmp(&d.rgb[inside], expected, 3), 0);
}

// Formats whose files carry a mark open by their bytes alone; the others
// only by their name. Neither opens through the 1.1 and 1.2 entries.
TEST_P(SampleTest, NameNeededOnlyWithoutSignatureAndOnlyFor13Callers) {
    const FormatSample& sample = GetParam();
    const tarnel::FormatReader* reader = tarnel::FindFormatReader(sample.code);
    ASSERT_NE(reader, nullptr);
    const bool marked = reader->sniff({sample.bytes.data(), uint32_t(sample.bytes.size())}) ==
                        tarnel::Evidence::Signature;
    const std::vector<uint8_t>& companion = sample.companion;
    EXPECT_EQ(Decode(sample.bytes, nullptr, 0, TARNEL_RGB24, 0, companion).result == TARNEL_OK,
              marked);
    EXPECT_EQ(
        Decode(sample.bytes, "picture.koa", 0, TARNEL_RGB24, 0, companion).result == TARNEL_OK,
        marked);
    // The extension alone does as well as a path.
    const std::string extension = sample.fileName.substr(sample.fileName.rfind('.') + 1);
    EXPECT_EQ(Decode(sample.bytes, extension.c_str(), 0, TARNEL_RGB24, 0, companion).result,
              TARNEL_OK);

    tarnel_info info;
    EXPECT_EQ(tarnel_identify(sample.bytes.data(), sample.bytes.size(), &info) == TARNEL_OK, false);
    tarnel_decode_options old;
    (tarnel_decode_options_init)(&old);
    EXPECT_EQ(old.size, TARNEL_DECODE_OPTIONS_SIZE_1_2);
    old.layout = sample.code;
    tarnel_info_ex found{};
    found.size = sizeof found;
    EXPECT_EQ(tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), &old, &found),
              TARNEL_E_BAD_OPTIONS);
    old.layout = 0;
    // A file above the 1.2 limit is refused on its size, as 1.2 did.
    EXPECT_EQ(
        tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), &old, &found),
        sample.bytes.size() > TARNEL_MAX_FILE_SIZE ? TARNEL_E_TOO_LARGE : TARNEL_E_NOT_RECOGNISED);
}

// As a C64 shows it: the sample's C64 view where it differs from what the
// file stores (an FLI's strip), else the stored picture.
TEST_P(SampleTest, C64ViewIsThePictureAC64Shows) {
    const FormatSample& sample = GetParam();
    if (!sample.secondFrame.empty()) return;  // interlaced views: the golden views
    unsigned char palette[16][3];
    ASSERT_EQ(tarnel_palette_colours(0, palette), TARNEL_OK);
    const std::vector<uint8_t>& expected = sample.c64View.empty() ? sample.colours : sample.c64View;
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = sample.fileName.c_str();
    options.view = TARNEL_VIEW_C64;
    options.companion = sample.companion.empty() ? nullptr : sample.companion.data();
    options.companion_size = sample.companion.size();
    tarnel_info_ex info{};
    info.size = sizeof info;
    ASSERT_EQ(tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), &options, &info),
              TARNEL_OK);
    ASSERT_EQ(info.output_width, int(sample.width));
    ASSERT_EQ(info.output_height, int(sample.height));
    std::vector<uint8_t> rgb(size_t(sample.width) * sample.height * 3);
    tarnel_decoder* decoder = tarnel_decoder_new();
    ASSERT_EQ(tarnel_decode_ex(decoder, sample.bytes.data(), sample.bytes.size(), &options,
                               rgb.data(), size_t(sample.width) * 3, &info),
              TARNEL_OK);
    tarnel_decoder_free(decoder);
    size_t wrong = 0;
    std::string first;
    for (size_t n = 0; n < expected.size(); ++n) {
        if (std::memcmp(&rgb[n * 3], palette[expected[n]], 3) != 0 && wrong++ == 0) {
            first = "first at (" + std::to_string(n % sample.width) + ", " +
                    std::to_string(n / sample.width) + ")";
        }
    }
    EXPECT_EQ(wrong, 0u) << sample.fileName << ": " << first;
}

// A test's name from its sample's file name.
std::string SampleName(const ::testing::TestParamInfo<FormatSample>& param) {
    std::string name;
    for (char c : param.param.fileName) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Formats, SampleTest, ::testing::ValuesIn(MakeFormatSamples()), SampleName);

INSTANTIATE_TEST_SUITE_P(Petscii, SampleTest,
                         ::testing::ValuesIn(tarnel_tools::MakePetsciiSamples()), SampleName);

// Every file of tests/data/formats and tests/data/petscii beside its .bmp
// (any size, rows padded to four bytes, bottom row first), decoded with its
// path (a .scr finds its .col beside it).
class FormatGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(FormatGolden, EveryFileGivesItsBmp) {
    ASSERT_TRUE(chargenNamed);
    size_t checked = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(GetParam())) {
        const fs::path path = entry.path();
        if (path.extension() == ".bmp" || path.extension() == ".col" ||
            path.extension() == ".bin") {
            continue;
        }
        fs::path bmpPath = path;
        bmpPath.replace_extension(".bmp");
        const std::vector<uint8_t> bmp = ReadFile(bmpPath);
        ASSERT_FALSE(bmp.empty()) << path << " has no .bmp beside it";
        const Decoded d = Decode(ReadFile(path), path.string().c_str(), 0, TARNEL_BGR24);
        ASSERT_EQ(d.result, TARNEL_OK) << path;
        const size_t row = size_t(d.info.output_width) * 3;
        const size_t padded = (row + 3) & ~size_t{3};
        const size_t height = size_t(d.info.output_height);
        ASSERT_EQ(bmp.size(), 54 + padded * height) << path;
        for (size_t y = 0; y < height; ++y) {
            ASSERT_EQ(std::memcmp(&bmp[54 + (height - 1 - y) * padded], &d.rgb[y * row], row), 0)
                << path << " row " << y;
        }
        ++checked;
    }
    EXPECT_GE(checked, std::string(GetParam()) == TARNEL_FORMATS_DIR
                           ? MakeFormatSamples().size()
                           : tarnel_tools::MakePetsciiSamples().size());
}
INSTANTIATE_TEST_SUITE_P(Folders, FormatGolden,
                         ::testing::Values(TARNEL_FORMATS_DIR, TARNEL_PETSCII_DIR));

std::vector<uint8_t> SampleBytes(const char* fileName) {
    for (const FormatSample& sample : MakeFormatSamples()) {
        if (sample.fileName == fileName) return sample.bytes;
    }
    return {};
}

// The bytes decide first: one of the twenty stays what it is whatever its
// name; a file that fits no format is refused, named or not, with words
// that say what the named format's files hold.
TEST(NameHint, BytesDecideFirst) {
    const std::vector<uint8_t> koala =
        ReadFile(fs::path(TARNEL_FORMATS_DIR).parent_path() / "pictures" / "20-koala-painter.koa");
    ASSERT_FALSE(koala.empty());
    EXPECT_EQ(Decode(koala, "not-a-charset.64c").info.info.layout, TARNEL_FORMAT_KOALA);

    std::vector<uint8_t> charset = SampleBytes("23-charset.64c");
    charset[0] = 0x01;  // not at the start of a page
    EXPECT_EQ(Decode(charset, "font.64c").result, TARNEL_E_NOT_RECOGNISED);
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = "font.64c";
    char text[256];
    EXPECT_EQ(tarnel_explain_ex(charset.data(), charset.size(), &options, text, sizeof text),
              TARNEL_E_NOT_RECOGNISED);
    EXPECT_STREQ(text,
                 "2,050 bytes, not a C64 character set file: such a file has a load address at "
                 "the start of a page, then 8 to 2,048 bytes of characters");
}

// The name decides between formats the bytes fit equally: a file of the
// size and load address of one of the twenty, named as another format that
// takes it, is that format; unnamed, it stays what the content rules say.
TEST(NameHint, DecidesBetweenEqualFits) {
    std::vector<uint8_t> inverse = SampleBytes("32-hires-inverse.rpo");
    ASSERT_FALSE(inverse.empty());
    inverse[1] = 0x20;  // the hires bitmap's address
    EXPECT_EQ(Decode(inverse, nullptr).info.info.layout, TARNEL_FORMAT_HIRES);
    EXPECT_EQ(Decode(inverse, "x.hbm").info.info.layout, TARNEL_FORMAT_HIRES);
    EXPECT_EQ(Decode(inverse, "x.rpo").info.info.layout, TARNEL_FORMAT_HIRES_INVERSE);
    const std::vector<uint8_t> manager =
        ReadFile(fs::path(TARNEL_FORMATS_DIR).parent_path() / "views" / "22-hires-manager.him");
    ASSERT_FALSE(manager.empty());
    EXPECT_EQ(Decode(manager, nullptr).info.info.layout, TARNEL_FORMAT_AFLI);
    const Decoded named = Decode(manager, "picture.him");
    EXPECT_EQ(named.info.info.layout, TARNEL_FORMAT_HIRES_MANAGER);
    EXPECT_EQ(named.info.chosen, 1);
    // A name does not overrule a signature.
    const std::vector<uint8_t> funpaint =
        ReadFile(fs::path(TARNEL_FORMATS_DIR).parent_path() / "pictures" / "02-funpaint.fun");
    EXPECT_EQ(Decode(funpaint, "x.him").info.info.layout, TARNEL_FORMAT_FUNPAINT);
}

// Packed bitmaps that share a name or a layout with one of the twenty:
// Drazlace's packed files (.drz, marked) stay Drazlace; Advanced Art
// Studio's 10,018-byte files stay that named .shp, while an SHP stream of
// that size at another address is SHP; a Zoomatic file whose stream the
// backward-packed layout's rule also takes is that layout unnamed and
// Zoomatic named .zom, the same picture either way.
TEST(NameHint, PackedBitmapsBesideTheTwenty) {
    const fs::path pictures = fs::path(TARNEL_FORMATS_DIR).parent_path() / "pictures";
    const std::vector<uint8_t> drazlace = ReadFile(pictures / "07-drazlace-packed.drz");
    ASSERT_FALSE(drazlace.empty());
    EXPECT_EQ(Decode(drazlace, "picture.drz").info.info.layout, TARNEL_FORMAT_DRAZLACE_PACKED);
    EXPECT_EQ(Decode(SampleBytes("51-drazpaint-raw-drz.drz"), "picture.drz").info.info.layout,
              TARNEL_FORMAT_DRAZPAINT);

    const std::vector<uint8_t> studio = ReadFile(pictures / "05-advanced-art-studio.ocp");
    ASSERT_EQ(studio.size(), 10018u);
    EXPECT_EQ(Decode(studio, "picture.shp").info.info.layout, TARNEL_FORMAT_ADVANCED_ART_STUDIO);
    const std::vector<uint8_t> shp = SampleBytes("54-shp-10018.shp");
    ASSERT_EQ(shp.size(), 10018u);
    EXPECT_EQ(Decode(shp, "picture.shp").info.info.layout, TARNEL_FORMAT_SHP);

    const std::vector<uint8_t> zoomatic = SampleBytes("50-zoomatic.zom");
    ASSERT_FALSE(zoomatic.empty());
    std::vector<uint8_t> literalLoad = zoomatic;
    literalLoad[1] = 0x61;  // no longer the escape byte: read as a literal
    const Decoded unnamed = Decode(literalLoad, nullptr);
    const Decoded named = Decode(literalLoad, "picture.zom");
    ASSERT_EQ(unnamed.result, TARNEL_OK);
    ASSERT_EQ(named.result, TARNEL_OK);
    EXPECT_EQ(unnamed.info.info.layout, TARNEL_FORMAT_MULTICOLOUR_PACKED);
    EXPECT_EQ(named.info.info.layout, TARNEL_FORMAT_ZOOMATIC);
    EXPECT_TRUE(unnamed.rgb == named.rgb);
    EXPECT_TRUE(named.rgb == Decode(zoomatic, "picture.zom").rgb);
}

// A 1.2 information record is filled, and nothing after it: the field 1.3
// adds is written only into a record that holds it.
TEST(NameHint, IgnoredBytesOnlyInto13Records) {
    std::vector<uint8_t> amica =
        ReadFile(fs::path(TARNEL_FORMATS_DIR).parent_path() / "pictures" / "11-amica-paint.ami");
    ASSERT_FALSE(amica.empty());
    amica.insert(amica.end(), 40, 0xC2);
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = "x.ami";
    tarnel_info_ex info;
    std::memset(&info, 0x5A, sizeof info);
    info.size = TARNEL_INFO_EX_SIZE_1_2;
    ASSERT_EQ(tarnel_identify_ex(amica.data(), amica.size(), &options, &info), TARNEL_OK);
    EXPECT_EQ(info.info.layout, TARNEL_FORMAT_AMICA_PAINT);
    // Where the 1.2 record's padding holds the field (64-bit), it is written.
    if (TARNEL_INFO_EX_SIZE_1_2 < offsetof(tarnel_info_ex, ignored_bytes) + sizeof(int)) {
        EXPECT_EQ(info.ignored_bytes, 0x5A5A5A5A);
    }
    info.size = sizeof info;
    ASSERT_EQ(tarnel_identify_ex(amica.data(), amica.size(), &options, &info), TARNEL_OK);
    EXPECT_EQ(info.ignored_bytes, 40);
}

// A CharPad map too large to draw is refused before anything is allocated,
// with words that give its size.
TEST(NameHint, PictureTooLargeIsRefusedWithItsSize) {
    std::vector<uint8_t> project = SampleBytes("26-charpad-v5-chars.ctm");
    ASSERT_FALSE(project.empty());
    // 2,000 x 1,500 characters of 8 x 8 pixels; the map's bytes follow.
    project[16] = 2000 & 0xFF;
    project[17] = 2000 >> 8;
    project[18] = 1500 & 0xFF;
    project[19] = 1500 >> 8;
    project.resize(project.size() + 2 * 2000 * 1500, 0);
    const Decoded d = Decode(project, nullptr);
    EXPECT_EQ(d.result, TARNEL_E_TOO_LARGE);
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    char text[256];
    EXPECT_EQ(tarnel_explain_ex(project.data(), project.size(), &options, text, sizeof text),
              TARNEL_E_TOO_LARGE);
    EXPECT_STREQ(text,
                 "CharPad project file of a 16,000 x 12,000 picture, larger than tarnel draws "
                 "(16,384 pixels a side, 16,777,216 in all)");
}

// Hostile files: each opens as its format, partly drawn, or gets its
// refusal, with words; nothing is read outside the file (the sanitizer
// builds run this too).
TEST(HostileFormats, EachGivesItsResult) {
    for (const tarnel_hostile::HostileFormatFile& file : tarnel_hostile::HostileFormatFiles()) {
        SCOPED_TRACE(file.name);
        // An exact copy, so that a read past its end is one past the allocation.
        const std::vector<uint8_t> bytes(file.bytes);
        using tarnel_hostile::Outcome;
        const int result = file.outcome == Outcome::Opens       ? TARNEL_OK
                           : file.outcome == Outcome::Refused   ? TARNEL_E_NOT_RECOGNISED
                           : file.outcome == Outcome::NoCharset ? TARNEL_E_NO_CHARSET
                                                                : TARNEL_E_TOO_LARGE;
        const Decoded d = Decode(bytes, file.name.c_str());
        EXPECT_EQ(d.result, result);
        if (result == TARNEL_OK) {
            EXPECT_EQ(d.info.info.layout, file.code);
        }
        tarnel_decode_options options;
        tarnel_decode_options_init(&options);
        options.file_name = file.name.c_str();
        char text[256] = "";
        EXPECT_EQ(tarnel_explain_ex(bytes.data(), bytes.size(), &options, text, sizeof text),
                  result);
        EXPECT_NE(text[0], '\0');
    }
}

// The table lists every format once, in code order, and the names find them.
TEST(FormatTable, ListsEveryFormatByCodeAndName) {
    int previous = 0;
    for (int index = 0; index < tarnel_format_count(); ++index) {
        tarnel_format_info format{};
        ASSERT_EQ(tarnel_format_at(index, &format), TARNEL_OK);
        EXPECT_GT(format.code, previous);
        previous = format.code;
        EXPECT_EQ(tarnel_layout_find(format.short_name), format.code);
        EXPECT_STREQ(tarnel_layout_short_name(format.code), format.short_name);
        EXPECT_EQ(std::strncmp(format.mime_type, "image/x-c64-", 12), 0) << format.mime_type;
        EXPECT_EQ(format.since_1_3 != 0, format.code > TARNEL_FORMAT_HIRES_MANAGER);
    }
    EXPECT_GE(previous, TARNEL_FORMAT_CGFX);
    EXPECT_EQ(tarnel_format_at(tarnel_format_count(), nullptr), TARNEL_E_RANGE);
}

}  // namespace

// Character screens: where the glyphs come from, and the refusal without any.
TEST(CharacterScreens, GlyphsFromTheCallerTheEnvironmentOrNowhere) {
    ASSERT_TRUE(chargenNamed);
    const std::vector<uint8_t> rom = tarnel_tools::MadeUpChargen();
    const std::vector<uint8_t> petmate =
        ReadFile(fs::path(TARNEL_PETSCII_DIR) / "120-petmate-v2.petmate");
    ASSERT_FALSE(petmate.empty());
    tarnel_decoder* decoder = tarnel_decoder_new();
    std::vector<uint8_t> rgb(320 * 200 * 3);
    auto decode = [&](tarnel_decode_options& options, const std::vector<uint8_t>& file,
                      tarnel_info_ex* info) {
        info->size = sizeof *info;
        return tarnel_decode_ex(decoder, file.data(), file.size(), &options, rgb.data(), 320 * 3,
                                info);
    };
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = "x.petmate";
    tarnel_info_ex info{};
    // TARNEL_CHARGEN's ROM; the project's first screen wants the lower-case set.
    ASSERT_EQ(decode(options, petmate, &info), TARNEL_OK);
    EXPECT_EQ(info.charset_source, TARNEL_CHARSET_ENVIRONMENT);
    EXPECT_EQ(info.charset_case, TARNEL_CHARSET_LOWER);
    EXPECT_NE(std::strstr(info.charset_path, "made-up-chargen.bin"), nullptr);
    const std::vector<uint8_t> fromEnvironment = rgb;
    // The caller's: the whole ROM gives the same picture; its upper-case
    // half alone, used for both cases, another.
    options.charset = rom.data();
    options.charset_size = rom.size();
    ASSERT_EQ(decode(options, petmate, &info), TARNEL_OK);
    EXPECT_EQ(info.charset_source, TARNEL_CHARSET_CALLER);
    EXPECT_EQ(info.charset_path[0], '\0');
    EXPECT_EQ(rgb, fromEnvironment);
    options.charset_size = 2048;
    ASSERT_EQ(decode(options, petmate, &info), TARNEL_OK);
    EXPECT_NE(rgb, fromEnvironment);
    options.charset_size = 1000;
    EXPECT_EQ(decode(options, petmate, &info), TARNEL_E_BAD_OPTIONS);
    // The second screen is the other frame buffer, 40 x 25; there is no third.
    options.charset_size = rom.size();
    options.frame = TARNEL_FRAME_AT(1);
    ASSERT_EQ(decode(options, petmate, &info), TARNEL_OK);
    EXPECT_EQ(info.output_width, 320);
    EXPECT_EQ(info.frame_count, 2);
    EXPECT_EQ(info.charset_case, TARNEL_CHARSET_UPPER);
    options.frame = TARNEL_FRAME_AT(2);
    EXPECT_EQ(decode(options, petmate, &info), TARNEL_E_RANGE);
    // None: refused, with words naming the ways to give one.
    options.frame = TARNEL_FRAME_BLEND;
    options.charset = nullptr;
    options.charset_size = 0;
    options.no_system_charset = 1;
    info.size = sizeof info;
    ASSERT_EQ(tarnel_identify_ex(petmate.data(), petmate.size(), &options, &info), TARNEL_OK);
    EXPECT_EQ(info.charset_source, TARNEL_CHARSET_MISSING);
    EXPECT_EQ(decode(options, petmate, &info), TARNEL_E_NO_CHARSET);
    char text[512];
    EXPECT_EQ(tarnel_explain_ex(petmate.data(), petmate.size(), &options, text, sizeof text),
              TARNEL_E_NO_CHARSET);
    for (const char* way : {"--charset", "TARNEL_CHARGEN", "/usr/share/vice/C64"}) {
        EXPECT_NE(std::strstr(text, way), nullptr) << text;
    }
    // Raw screen memory: only on request, in the caller's colours.
    std::vector<uint8_t> screen(1000, 32);  // spaces
    screen[0] = 0xA0;                       // a reversed space: all ink
    options.file_name = "screen.bin";
    options.charset = rom.data();
    options.charset_size = rom.size();
    EXPECT_EQ(decode(options, screen, &info), TARNEL_E_NOT_RECOGNISED);
    options.layout = TARNEL_FORMAT_SCREEN_1000;
    options.screen_colours = TARNEL_SCREEN_COLOURS(2, 5);
    ASSERT_EQ(decode(options, screen, &info), TARNEL_OK);
    unsigned char palette[16][3];
    ASSERT_EQ(tarnel_palette_colours(0, palette), TARNEL_OK);
    EXPECT_EQ(std::memcmp(&rgb[320 * 3 + 1 * 3], palette[2], 3), 0);  // (1, 1): the first cell
    EXPECT_EQ(std::memcmp(&rgb[320 * 3 + 9 * 3], palette[5], 3), 0);  // (9, 1): a space
    tarnel_decoder_free(decoder);
}

// A character ROM installed with VICE draws the screens when nothing else
// is given.
TEST(CharacterScreens, InstalledViceRomIsFound) {
    const char* folders[] = {"/usr/share/vice/C64", "/usr/lib/vice/C64"};
    bool installed = false;
    for (const char* folder : folders) {
        for (const char* name : {"chargen-901225-01.bin", "chargen"}) {
            std::error_code error;
            installed = installed || fs::file_size(fs::path(folder) / name, error) == 4096;
        }
    }
    if (!installed)
        GTEST_SKIP()
            << "no VICE character ROM installed in /usr/share/vice/C64 or /usr/lib/vice/C64";
    const std::vector<uint8_t> petmate =
        ReadFile(fs::path(TARNEL_PETSCII_DIR) / "120-petmate-v1.petmate");
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = "x.petmate";
    const char* named = std::getenv("TARNEL_CHARGEN");
    const std::string saved = named != nullptr ? named : "";
#ifndef _WIN32
    unsetenv("TARNEL_CHARGEN");
#endif
    tarnel_info_ex info{};
    info.size = sizeof info;
    EXPECT_EQ(tarnel_identify_ex(petmate.data(), petmate.size(), &options, &info), TARNEL_OK);
#ifndef _WIN32
    setenv("TARNEL_CHARGEN", saved.c_str(), 1);
#endif
    EXPECT_EQ(info.charset_source, TARNEL_CHARSET_VICE);
}
