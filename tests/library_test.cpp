// The C library's own rules (tarnel/tarnel.h), as a program using it meets
// them: pixel formats and strides, palettes, the layouts list, the refusal
// texts and every error code, with nothing written on failure. The pictures
// themselves are checked against the golden bitmaps elsewhere; here the
// RGB24 decode is the reference the other shapes are compared with.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "authoring/layout_files.h"
#include "tarnel/tarnel.h"
#include "testing/hostile_corpus.h"
#include "testing/random_memory.h"

namespace {

using tarnel_test::RandomMemory;
using tarnel_test::View;

constexpr uint8_t UNTOUCHED = 0xEE;

std::vector<uint8_t> LayoutFile(int code, uint32_t seed) {
    const std::vector<uint8_t> memory = RandomMemory(seed);
    return tarnel::BuildLayoutFile(static_cast<tarnel::FormatCode>(code), View(memory));
}

struct Decoded {
    int result;
    std::vector<uint8_t> pixels;
};

// Decodes into a buffer of `stride`-byte rows, filled with UNTOUCHED first.
Decoded Decode(tarnel_decoder* decoder, const std::vector<uint8_t>& file,
               const tarnel_options* options, size_t stride) {
    Decoded out{0, std::vector<uint8_t>(stride * TARNEL_HEIGHT, UNTOUCHED)};
    out.result = tarnel_decode(decoder, file.data(), file.size(), options, out.pixels.data(),
                               stride, nullptr);
    return out;
}

struct Decoder {
    tarnel_decoder* get() const { return decoder; }
    ~Decoder() { tarnel_decoder_free(decoder); }
    tarnel_decoder* decoder = tarnel_decoder_new();
};

// Where each format puts red, green and blue, and whether it has alpha.
struct FormatCase {
    int format;
    size_t bytes;
    int red, green, blue, alpha;  // byte positions; alpha -1 for none
};
constexpr FormatCase FORMATS[] = {
    {TARNEL_RGB24, 3, 0, 1, 2, -1},
    {TARNEL_BGR24, 3, 2, 1, 0, -1},
    {TARNEL_RGBA32, 4, 0, 1, 2, 3},
    {TARNEL_BGRA32, 4, 2, 1, 0, 3},
};

TEST(Library, EveryPixelFormatAndStrideGivesTheReferencePixels) {
    Decoder decoder;
    // A single-frame and an interlaced layout: the two kinds of pixel table.
    for (int code : {20, 6}) {
        const std::vector<uint8_t> file = LayoutFile(code, 40 + code);
        const Decoded reference = Decode(decoder.get(), file, nullptr, TARNEL_WIDTH * 3);
        ASSERT_EQ(reference.result, TARNEL_OK);
        for (const FormatCase& f : FORMATS) {
            ASSERT_EQ(tarnel_bytes_per_pixel(f.format), f.bytes);
            tarnel_options options;
            tarnel_options_init(&options);
            options.pixel_format = f.format;
            const size_t row = TARNEL_WIDTH * f.bytes;
            for (size_t stride : {row, row + 1, row + 13}) {
                const Decoded got = Decode(decoder.get(), file, &options, stride);
                ASSERT_EQ(got.result, TARNEL_OK) << f.format << " stride " << stride;
                for (size_t y = 0; y < TARNEL_HEIGHT; ++y) {
                    for (size_t x = 0; x < TARNEL_WIDTH; ++x) {
                        const uint8_t* want = &reference.pixels[(y * TARNEL_WIDTH + x) * 3];
                        const uint8_t* p = &got.pixels[y * stride + x * f.bytes];
                        ASSERT_TRUE(p[f.red] == want[0] && p[f.green] == want[1] &&
                                    p[f.blue] == want[2] && (f.alpha < 0 || p[f.alpha] == 255))
                            << "code " << code << " format " << f.format << " stride " << stride
                            << " at " << x << "," << y;
                    }
                    for (size_t k = row; k < stride; ++k)
                        ASSERT_EQ(got.pixels[y * stride + k], UNTOUCHED) << "row padding " << y;
                }
            }
        }
    }
}

TEST(Library, OwnPaletteReplacesTheColoursAndBlendsThem) {
    // The library's palette with red and blue swapped, in RGB24, is the
    // library's palette in BGR24: for plain and blended colours alike. The
    // same decoder decodes with both palettes in turn, so a pixel table kept
    // from the last decode must be rebuilt.
    Decoder decoder;
    tarnel_options own;
    tarnel_options_init(&own);
    own.use_palette = 1;
    for (int n = 0; n < 16; ++n) std::swap(own.palette[n][0], own.palette[n][2]);
    tarnel_options bgr;
    tarnel_options_init(&bgr);
    bgr.pixel_format = TARNEL_BGR24;
    for (int code : {20, 6, 20}) {
        const std::vector<uint8_t> file = LayoutFile(code, 50 + code);
        const Decoded swapped = Decode(decoder.get(), file, &own, TARNEL_WIDTH * 3);
        const Decoded plain = Decode(decoder.get(), file, nullptr, TARNEL_WIDTH * 3);
        const Decoded reference = Decode(decoder.get(), file, &bgr, TARNEL_WIDTH * 3);
        ASSERT_EQ(swapped.result, TARNEL_OK);
        EXPECT_EQ(swapped.pixels, reference.pixels) << code;
        EXPECT_NE(plain.pixels, swapped.pixels) << code;
    }
}

TEST(Library, NamedPalettes) {
    const int count = tarnel_palette_count();
    ASSERT_GE(count, 1);
    tarnel_options defaults;
    tarnel_options_init(&defaults);
    unsigned char colours[16][3];
    ASSERT_EQ(tarnel_palette_colours(0, colours), TARNEL_OK);
    EXPECT_EQ(std::memcmp(colours, defaults.palette, sizeof colours), 0)
        << "index 0 is the default";
    std::set<std::string> names;
    for (int i = 0; i < count; ++i) {
        const char* name = tarnel_palette_name(i);
        ASSERT_NE(name, nullptr);
        ASSERT_NE(tarnel_palette_credit(i), nullptr);
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_EQ(tarnel_palette_find(name), i);
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(tarnel_palette_find(upper.c_str()), i) << "case-insensitive";
        EXPECT_EQ(tarnel_palette_find((std::string(name) + "x").c_str()), TARNEL_E_RANGE);
    }
    for (int i : {-1, count}) {
        EXPECT_EQ(tarnel_palette_name(i), nullptr);
        EXPECT_EQ(tarnel_palette_credit(i), nullptr);
        EXPECT_EQ(tarnel_palette_colours(i, colours), TARNEL_E_RANGE);
    }
    EXPECT_EQ(tarnel_palette_find(nullptr), TARNEL_E_NULL_ARGUMENT);
    EXPECT_EQ(tarnel_palette_colours(0, nullptr), TARNEL_E_NULL_ARGUMENT);
}

TEST(Library, LayoutsListInCodeOrderAgreesWithIdentification) {
    int previous = 0;
    for (int i = 0; i < TARNEL_LAYOUT_COUNT; ++i) {
        tarnel_info info{};
        ASSERT_EQ(tarnel_layout(i, &info), TARNEL_OK);
        EXPECT_GT(info.layout, previous) << "code order";
        previous = info.layout;
        EXPECT_EQ(info.width, TARNEL_WIDTH);
        EXPECT_EQ(info.height, TARNEL_HEIGHT);
        EXPECT_EQ(info.load_address, 0);
        EXPECT_EQ(info.unpacked_as == info.layout, info.packed == 0) << info.layout;
        // A file of the layout identifies as it, with the same description.
        const std::vector<uint8_t> file = LayoutFile(info.layout, 60 + i);
        tarnel_info found{};
        ASSERT_EQ(tarnel_identify(file.data(), file.size(), &found), TARNEL_OK) << info.layout;
        EXPECT_EQ(found.layout, info.layout);
        EXPECT_STREQ(found.name, info.name);
        EXPECT_EQ(found.packed, info.packed);
        EXPECT_EQ(found.interlaced, info.interlaced);
        EXPECT_EQ(found.unpacked_as, info.unpacked_as);
        EXPECT_EQ(found.load_address, file[0] | file[1] << 8);
    }
    tarnel_info untouched;
    std::memset(&untouched, UNTOUCHED, sizeof untouched);
    for (int i : {-1, TARNEL_LAYOUT_COUNT}) {
        tarnel_info info = untouched;
        EXPECT_EQ(tarnel_layout(i, &info), TARNEL_E_RANGE);
        EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0);
    }
    EXPECT_EQ(tarnel_layout(0, nullptr), TARNEL_E_NULL_ARGUMENT);
}

TEST(Library, ExplainSaysWhyAndKeepsToTheBuffer) {
    const std::vector<uint8_t> koala = LayoutFile(20, 70);
    std::vector<uint8_t> otherLoad = koala;
    otherLoad[1] = 0x00;
    const std::vector<uint8_t> tooLarge(TARNEL_MAX_FILE_SIZE + 1, 0);
    const std::vector<uint8_t> nothing(100, 0x55);
    struct Case {
        const std::vector<uint8_t>* file;
        int result;
        const char* text;
    };
    const Case cases[] = {
        {&koala, TARNEL_OK, "success"},
        {&otherLoad, TARNEL_E_NOT_RECOGNISED,
         "10,003 bytes, the size of a Koala Painter file, but it loads at $0000 instead of $6000"},
        {&tooLarge, TARNEL_E_TOO_LARGE, "too large: 36,865 bytes, the largest layout is 36,864"},
        {&nothing, TARNEL_E_NOT_RECOGNISED, tarnel_strerror(TARNEL_E_NOT_RECOGNISED)},
    };
    for (const Case& c : cases) {
        char text[200];
        EXPECT_EQ(tarnel_explain(c.file->data(), c.file->size(), text, sizeof text), c.result);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(tarnel_identify(c.file->data(), c.file->size(), nullptr), c.result);
        // Cut to the buffer, always terminated; nothing past it written.
        char shortText[12];
        std::memset(shortText, UNTOUCHED, sizeof shortText);
        EXPECT_EQ(tarnel_explain(c.file->data(), c.file->size(), shortText, 8), c.result);
        EXPECT_EQ(std::string(shortText), std::string(c.text).substr(0, 7));
        for (size_t k = 8; k < sizeof shortText; ++k)
            EXPECT_EQ(static_cast<uint8_t>(shortText[k]), UNTOUCHED);
        EXPECT_EQ(tarnel_explain(c.file->data(), c.file->size(), nullptr, 0), c.result);
    }
}

TEST(Library, EveryFailureReturnsItsCodeAndWritesNothing) {
    Decoder decoder;
    const std::vector<uint8_t> koala = LayoutFile(20, 80);
    const std::vector<uint8_t> tooLarge(TARNEL_MAX_FILE_SIZE + 1, 0);
    const std::vector<uint8_t> nothing(100, 0x55);
    const size_t row = TARNEL_WIDTH * 3;
    tarnel_options badFormat;
    tarnel_options_init(&badFormat);
    badFormat.pixel_format = 4;
    tarnel_options rgba;
    tarnel_options_init(&rgba);
    rgba.pixel_format = TARNEL_RGBA32;
    struct Case {
        const char* what;
        tarnel_decoder* decoder;
        const void* data;
        size_t size;
        const tarnel_options* options;
        bool pixels;
        size_t stride;
        int result;
    };
    const Case cases[] = {
        {"no decoder", nullptr, koala.data(), koala.size(), nullptr, true, row,
         TARNEL_E_NULL_ARGUMENT},
        {"no pixels", decoder.get(), koala.data(), koala.size(), nullptr, false, row,
         TARNEL_E_NULL_ARGUMENT},
        {"no data", decoder.get(), nullptr, koala.size(), nullptr, true, row,
         TARNEL_E_NULL_ARGUMENT},
        {"too large", decoder.get(), tooLarge.data(), tooLarge.size(), nullptr, true, row,
         TARNEL_E_TOO_LARGE},
        {"not a picture", decoder.get(), nothing.data(), nothing.size(), nullptr, true, row,
         TARNEL_E_NOT_RECOGNISED},
        {"empty", decoder.get(), nullptr, 0, nullptr, true, row, TARNEL_E_NOT_RECOGNISED},
        {"unknown format", decoder.get(), koala.data(), koala.size(), &badFormat, true, row,
         TARNEL_E_BAD_OPTIONS},
        {"stride below a row", decoder.get(), koala.data(), koala.size(), nullptr, true, row - 1,
         TARNEL_E_STRIDE},
        {"stride below a four-byte row", decoder.get(), koala.data(), koala.size(), &rgba, true,
         row + 1, TARNEL_E_STRIDE},
        {"stride past the address space", decoder.get(), koala.data(), koala.size(), nullptr, true,
         SIZE_MAX / 2, TARNEL_E_STRIDE},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> pixels(row * 4 * TARNEL_HEIGHT, UNTOUCHED);
        tarnel_info info;
        std::memset(&info, UNTOUCHED, sizeof info);
        const tarnel_info before = info;
        EXPECT_EQ(tarnel_decode(c.decoder, c.data, c.size, c.options,
                                c.pixels ? pixels.data() : nullptr, c.stride, &info),
                  c.result)
            << c.what;
        EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0) << c.what;
        for (uint8_t b : pixels) ASSERT_EQ(b, UNTOUCHED) << c.what;
    }
    // Every code has a text of its own; unknown codes share one.
    std::set<std::string> all;
    for (int code = TARNEL_OK; code >= TARNEL_E_RANGE; --code) all.insert(tarnel_strerror(code));
    EXPECT_EQ(all.size(), 8u);
    EXPECT_EQ(all.count(tarnel_strerror(1)), 0u);
    EXPECT_STREQ(tarnel_strerror(1), tarnel_strerror(-100));
    // The decoder that saw the failures still decodes.
    std::vector<uint8_t> pixels(row * TARNEL_HEIGHT);
    EXPECT_EQ(tarnel_decode(decoder.get(), koala.data(), koala.size(), nullptr, pixels.data(), row,
                            nullptr),
              TARNEL_OK);
}

// Every hostile file as a C64 shows it, by content and opened as every
// layout (and as a code that is none), with each frame in turn: a result
// for every call, nothing written on failure, nothing past the rows'
// pixels on success. Under the sanitizers this also proves every read stays
// inside the file.
TEST(Library, HostileFilesInEveryViewAndLayout) {
    std::vector<int> layouts = {0, 10};
    tarnel_info info;
    for (int i = 0; tarnel_layout(i, &info) == TARNEL_OK; ++i) layouts.push_back(info.layout);
    for (int i = 0; tarnel_layout_on_request(i, &info) == TARNEL_OK; ++i) {
        layouts.push_back(info.layout);
    }
    tarnel_decoder* decoder = tarnel_decoder_new();
    ASSERT_NE(decoder, nullptr);
    constexpr size_t ROW = TARNEL_WIDTH * 3;
    constexpr size_t STRIDE = ROW + 3;
    std::vector<uint8_t> pixels(STRIDE * TARNEL_HEIGHT);
    size_t opened = 0;
    size_t calls = 0;
    for (const tarnel_hostile::HostileFile& file : tarnel_hostile::HostileCorpus()) {
        SCOPED_TRACE(file.name);
        for (int layout : layouts) {
            tarnel_decode_options options;
            tarnel_decode_options_init(&options);
            options.view = TARNEL_VIEW_C64;
            options.layout = layout;
            options.frame = static_cast<int>(calls++ % 3);
            std::fill(pixels.begin(), pixels.end(), UNTOUCHED);
            const int result = tarnel_decode_ex(decoder, file.bytes.data(), file.bytes.size(),
                                                &options, pixels.data(), STRIDE, nullptr);
            EXPECT_EQ(result == TARNEL_OK || result == TARNEL_E_NOT_RECOGNISED ||
                          result == TARNEL_E_TOO_LARGE ||
                          (layout == 10 && result == TARNEL_E_BAD_OPTIONS),
                      true)
                << "layout " << layout << ": " << result;
            const size_t kept = result == TARNEL_OK ? ROW : 0;
            size_t written = 0;
            for (size_t y = 0; y < TARNEL_HEIGHT; ++y) {
                for (size_t k = kept; k < STRIDE; ++k)
                    written += pixels[y * STRIDE + k] != UNTOUCHED;
            }
            EXPECT_EQ(written, 0u) << "layout " << layout;
            opened += result == TARNEL_OK;
        }
    }
    tarnel_decoder_free(decoder);
    EXPECT_GT(opened, 0u);
}

}  // namespace
