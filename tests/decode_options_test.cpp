// The C library's decode options (tarnel_decode_ex): each frame of every
// layout's sample against the colours the generator encoded it with, the
// border, the blend unchanged, and bad options refused with nothing written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "authoring/sample_pictures.h"
#include "tarnel/tarnel.h"
#include "testing/c64_model.h"
#include "testing/random_memory.h"

namespace {

using tarnel::FormatCode;
using tarnel_test::AllCodes;
using tarnel_test::CodeName;
using tarnel_test::ModelPalette;
using tarnel_test::Rgb;
using tarnel_tools::MakeSample;
using tarnel_tools::SamplePicture;

struct Decoded {
    int result = TARNEL_E_NULL_ARGUMENT;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows of width RGB pixels, no padding
    tarnel_info_ex info{};
};

Decoded Decode(const std::vector<uint8_t>& file, const tarnel_decode_options& options) {
    Decoded d;
    if (tarnel_output_size(&options, &d.width, &d.height) != TARNEL_OK) return d;
    d.rgb.assign(static_cast<size_t>(d.width) * d.height * 3, 0);
    d.info.size = sizeof d.info;
    tarnel_decoder* decoder = tarnel_decoder_new();
    d.result = tarnel_decode_ex(decoder, file.data(), file.size(), &options, d.rgb.data(),
                                static_cast<size_t>(d.width) * 3, &d.info);
    tarnel_decoder_free(decoder);
    return d;
}

Rgb At(const Decoded& d, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * d.width + x) * 3;
    return Rgb{d.rgb[at], d.rgb[at + 1], d.rgb[at + 2]};
}

tarnel_decode_options Options(int frame, int border, int borderColour) {
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.frame = frame;
    options.border = border;
    options.border_colour = borderColour;
    return options;
}

class DecodeOptionsTest : public ::testing::TestWithParam<FormatCode> {};

// Frame k of a sample is frame k's colours as encoded; a single-frame
// sample gives its one frame for both.
TEST_P(DecodeOptionsTest, EachFrameIsTheFrameItWasDrawnAs) {
    const SamplePicture sample = MakeSample(GetParam());
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const Decoded d =
            Decode(sample.bytes, Options(k == 0 ? TARNEL_FRAME_0 : TARNEL_FRAME_1, 0, -1));
        ASSERT_EQ(d.result, TARNEL_OK) << tarnel_strerror(d.result);
        ASSERT_EQ(d.width, 320);
        EXPECT_EQ(d.info.frame_count, static_cast<int>(sample.frames.size()));
        const auto& frame = sample.frames[std::min<size_t>(k, sample.frames.size() - 1)];
        int wrong = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 320; ++x) {
                const Rgb want = ModelPalette(frame.At(frame.width == 160 ? x / 2 : x, y));
                if (!(At(d, x, y) == want) && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The default options give tarnel_decode's bytes; the border puts them at
// (32, 35) inside one colour: a chosen one, or the picture's background.
TEST_P(DecodeOptionsTest, BlendUnchangedAndBorderAroundIt) {
    const SamplePicture sample = MakeSample(GetParam());
    std::vector<uint8_t> plain(320 * 200 * 3);
    tarnel_decoder* decoder = tarnel_decoder_new();
    ASSERT_EQ(tarnel_decode(decoder, sample.bytes.data(), sample.bytes.size(), nullptr,
                            plain.data(), 960, nullptr),
              TARNEL_OK);
    tarnel_decoder_free(decoder);
    EXPECT_EQ(Decode(sample.bytes, Options(TARNEL_FRAME_BLEND, 0, -1)).rgb, plain);

    const int chosen = GetParam() % 16;
    // The background as the model reads it, where the file is the image.
    int background = -1;
    if (GetParam() == 2 || GetParam() == 3 || GetParam() == 6 || GetParam() == 20 ||
        GetParam() == 9 || GetParam() == 5 || GetParam() == 18) {
        std::vector<uint8_t> image = sample.bytes;
        image.resize(61440, 0);
        background = tarnel_test::ModelBackground(GetParam(), image);
    }
    for (int colour : {chosen, background}) {
        if (colour < 0) continue;
        SCOPED_TRACE(colour);
        const Decoded d = Decode(
            sample.bytes, Options(TARNEL_FRAME_BLEND, TARNEL_BORDER_FULL,
                                  colour == chosen ? chosen : TARNEL_BORDER_COLOUR_BACKGROUND));
        ASSERT_EQ(d.result, TARNEL_OK);
        ASSERT_EQ(d.width, 384);
        ASSERT_EQ(d.height, 272);
        EXPECT_EQ(d.info.output_width, 384);
        EXPECT_EQ(d.info.output_height, 272);
        int wrong = 0;
        for (int y = 0; y < 272; ++y) {
            for (int x = 0; x < 384; ++x) {
                const bool inside = x >= 32 && x < 352 && y >= 35 && y < 235;
                const size_t at = inside ? (static_cast<size_t>(y - 35) * 320 + (x - 32)) * 3 : 0;
                const Rgb want =
                    inside ? Rgb{plain[at], plain[at + 1], plain[at + 2]} : ModelPalette(colour);
                wrong += At(d, x, y) == want ? 0 : 1;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, DecodeOptionsTest, ::testing::ValuesIn(AllCodes()), CodeName);

// Every bad value: refused with TARNEL_E_BAD_OPTIONS by each entry point,
// and neither the pixels nor the info are written.
TEST(DecodeOptions, BadValuesAreRefusedWithNothingWritten) {
    struct Case {
        const char* what;
        void (*spoil)(tarnel_decode_options*);
    };
    const Case cases[] = {
        {"size 0", [](tarnel_decode_options* o) { o->size = 0; }},
        {"size short by one", [](tarnel_decode_options* o) { o->size -= 1; }},
        {"size far too large", [](tarnel_decode_options* o) { o->size = size_t{1} << 30; }},
        {"pixel format", [](tarnel_decode_options* o) { o->pixel_format = 4; }},
        {"frame -1", [](tarnel_decode_options* o) { o->frame = -1; }},
        {"frame past any", [](tarnel_decode_options* o) { o->frame = TARNEL_FRAME_AT(65536); }},
        {"frame 3 of a 1.2 record",
         [](tarnel_decode_options* o) {
             o->size = TARNEL_DECODE_OPTIONS_SIZE_1_2;
             o->frame = 3;
         }},
        {"border 2", [](tarnel_decode_options* o) { o->border = 2; }},
        {"border colour 16", [](tarnel_decode_options* o) { o->border_colour = 16; }},
        {"border colour -2", [](tarnel_decode_options* o) { o->border_colour = -2; }},
    };
    const SamplePicture sample = MakeSample(6);
    tarnel_decoder* decoder = tarnel_decoder_new();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tarnel_decode_options options;
        tarnel_decode_options_init(&options);
        c.spoil(&options);
        std::vector<uint8_t> pixels(384 * 4 * 272, 0xA5);
        tarnel_info_ex info;
        std::memset(&info, 0xA5, sizeof info);
        info.size = sizeof info;
        const tarnel_info_ex before = info;
        EXPECT_EQ(tarnel_decode_ex(decoder, sample.bytes.data(), sample.bytes.size(), &options,
                                   pixels.data(), 384 * 4, &info),
                  TARNEL_E_BAD_OPTIONS);
        EXPECT_EQ(tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), &options, &info),
                  TARNEL_E_BAD_OPTIONS);
        int width = -5;
        int height = -5;
        EXPECT_EQ(tarnel_output_size(&options, &width, &height), TARNEL_E_BAD_OPTIONS);
        EXPECT_EQ(width, -5);
        EXPECT_EQ(height, -5);
        EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xA5), static_cast<long>(pixels.size()));
    }
    tarnel_decoder_free(decoder);
}

// A record from a later version: zeros past this version's record are its
// defaults and accepted; anything else there is an option this library
// cannot honour. An info record shorter than this version's is refused.
TEST(DecodeOptions, LongerRecordsAndShortInfo) {
    struct Later {
        tarnel_decode_options options;
        int next[4];
    } later;
    std::memset(&later, 0, sizeof later);
    tarnel_decode_options_init(&later.options);
    later.options.size = sizeof later;
    int width = 0;
    int height = 0;
    EXPECT_EQ(tarnel_output_size(&later.options, &width, &height), TARNEL_OK);
    later.next[3] = 1;
    EXPECT_EQ(tarnel_output_size(&later.options, &width, &height), TARNEL_E_BAD_OPTIONS);

    const SamplePicture sample = MakeSample(20);
    tarnel_info_ex info{};
    info.size = sizeof info - 1;
    EXPECT_EQ(tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), nullptr, &info),
              TARNEL_E_BAD_OPTIONS);
    info.size = sizeof info;
    EXPECT_EQ(tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), nullptr, &info),
              TARNEL_OK);
    EXPECT_EQ(info.frame_count, 1);
    EXPECT_EQ(info.info.layout, 20);
    // NULL options are the defaults.
    EXPECT_EQ(tarnel_output_size(nullptr, &width, &height), TARNEL_OK);
    EXPECT_EQ(width * 1000 + height, 320 * 1000 + 200);
}

// The border's stride: a row of 384 pixels; one of 320 is too short.
TEST(DecodeOptions, BorderNeedsWideRows) {
    const SamplePicture sample = MakeSample(20);
    const tarnel_decode_options options = Options(TARNEL_FRAME_BLEND, TARNEL_BORDER_FULL, 3);
    std::vector<uint8_t> pixels(384 * 3 * 272, 0x11);
    tarnel_decoder* decoder = tarnel_decoder_new();
    EXPECT_EQ(tarnel_decode_ex(decoder, sample.bytes.data(), sample.bytes.size(), &options,
                               pixels.data(), 320 * 3, nullptr),
              TARNEL_E_STRIDE);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0x11), static_cast<long>(pixels.size()));
    tarnel_decoder_free(decoder);
}

}  // namespace
