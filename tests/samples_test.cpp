// The built-in sample pictures: one per layout, each recognised as its own
// layout, and each decoded by the module to exactly the picture the
// generator meant to draw.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "authoring/sample_pictures.h"
#include "core/identify.h"
#include "testing/host.h"
#include "testing/random_memory.h"

namespace {

using tarnel::FormatCode;
using tarnel_test::AllCodes;
using tarnel_test::CodeName;
using tarnel_tools::MakeSample;
using tarnel_tools::SamplePicture;

// The C64 colours as red, green, blue, written out here rather than taken
// from the module, so that the expected pictures do not share its table.
constexpr uint8_t PALETTE[16][3] = {
    {10, 10, 10},    {255, 255, 255}, {139, 31, 0},    {101, 205, 168},
    {167, 59, 159},  {79, 179, 23},   {27, 13, 147},   {243, 235, 81},
    {163, 71, 0},    {63, 28, 0},     {203, 123, 111}, {69, 68, 68},
    {131, 131, 131}, {151, 255, 151}, {79, 147, 211},  {187, 187, 187},
};

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb Colour(uint8_t c) {
    return {PALETTE[c][0], PALETTE[c][1], PALETTE[c][2]};
}

// Two colours shown alternately: the channel-wise average, rounded down.
Rgb Blend(uint8_t a, uint8_t b) {
    return {(PALETTE[a][0] + PALETTE[b][0]) / 2, (PALETTE[a][1] + PALETTE[b][1]) / 2,
            (PALETTE[a][2] + PALETTE[b][2]) / 2};
}

// What output pixel (x, y) of a sample must look like, from the colours its
// frames were encoded with. Multicolour pixels are two output pixels wide.
// Interlaced frames: frame 1 lies one output pixel right of frame 0, so
// output column c pairs frame-0 pixel c / 2 with frame-1 pixel (c - 1) / 2;
// the first column has only frame 0 (blended with black, colour 0) and the
// last only frame 1, except that column 318 pairs the last pixels of both.
Rgb Expected(const SamplePicture& sample, uint32_t x, uint32_t y) {
    const auto& f0 = sample.frames[0];
    if (sample.frames.size() == 1) return Colour(f0.At(f0.width == 160 ? x / 2 : x, y));
    const auto& f1 = sample.frames[1];
    if (x == 0) return Blend(0, f0.At(0, y));
    if (x == 319) return Blend(0, f1.At(159, y));
    if (x == 318) return Blend(f0.At(159, y), f1.At(159, y));
    return Blend(f0.At(x / 2, y), f1.At((x - 1) / 2, y));
}

// Output pixel (x, y) of the module's block: rows bottom-up after the
// 40-byte header, blue, green, red.
Rgb BlockPixel(const std::vector<uint8_t>& block, uint32_t x, uint32_t y) {
    const size_t at = 40 + static_cast<size_t>(199 - y) * 960 + x * 3;
    return {block[at + 2], block[at + 1], block[at]};
}

class SampleTest : public ::testing::TestWithParam<FormatCode> {};

TEST_P(SampleTest, IsNamedAfterItsCode) {
    const SamplePicture sample = MakeSample(GetParam());
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02u-", static_cast<unsigned>(GetParam()));
    EXPECT_EQ(sample.fileName.rfind(prefix, 0), 0u) << sample.fileName;
    EXPECT_NE(sample.fileName.find('.'), std::string::npos) << sample.fileName;
}

TEST_P(SampleTest, IsIdentifiedAsItsCode) {
    const SamplePicture sample = MakeSample(GetParam());
    ASSERT_FALSE(sample.bytes.empty());
    ASSERT_LE(sample.bytes.size(), tarnel::MAX_FILE_BYTES);
    const tarnel::Identification found = tarnel::Identify(tarnel_test::View(sample.bytes));
    EXPECT_EQ(found.code, GetParam());
    // And through the exports, as a host sees it.
    TarnelImage image = nullptr;
    ASSERT_EQ(tarnel_test::OpenBytes(sample.bytes, &image), RESULT_OK);
    IDP_CloseImage(image);
}

TEST_P(SampleTest, IsTheSameOnEveryRun) {
    const SamplePicture first = MakeSample(GetParam());
    const SamplePicture second = MakeSample(GetParam());
    EXPECT_EQ(first.fileName, second.fileName);
    EXPECT_EQ(first.bytes, second.bytes);
}

TEST_P(SampleTest, HasTheFramesOfItsLayout) {
    const SamplePicture sample = MakeSample(GetParam());
    const tarnel::LayoutInfo* layout = tarnel::FindLayout(GetParam());
    ASSERT_NE(layout, nullptr);
    ASSERT_EQ(sample.frames.size(), layout->interlaced ? 2u : 1u);
    const tarnel::FormatCode unpacked = layout->unpackedAs;
    const bool hires =
        unpacked == 12 || unpacked == 15 || unpacked == 16 || unpacked == 17 || unpacked == 21;
    for (const auto& frame : sample.frames) {
        EXPECT_EQ(frame.width, hires ? 320u : 160u);
        ASSERT_EQ(frame.colours.size(), frame.width * 200u);
        for (uint8_t c : frame.colours) ASSERT_LT(c, 16);
    }
}

TEST_P(SampleTest, DecodesToThePictureItWasDrawnAs) {
    const SamplePicture sample = MakeSample(GetParam());
    ASSERT_FALSE(sample.frames.empty());
    const std::vector<uint8_t> block = tarnel_test::DecodeFile(sample.bytes);
    ASSERT_EQ(block.size(), static_cast<size_t>(TARNEL_BITMAP_BLOCK_BYTES));
    int wrong = 0;
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t x = 0; x < 320; ++x) {
            const Rgb want = Expected(sample, x, y);
            const Rgb got = BlockPixel(block, x, y);
            if (!(want == got) && ++wrong <= 5) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): expected " << want.r << ","
                              << want.g << "," << want.b << " got " << got.r << "," << got.g << ","
                              << got.b;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

// A picture, not noise: large areas of one colour next to each other, and
// enough different colours to show gradients.
TEST_P(SampleTest, LooksLikeAPicture) {
    const SamplePicture sample = MakeSample(GetParam());
    const auto& frame = sample.frames.at(0);
    std::set<uint8_t> colours(frame.colours.begin(), frame.colours.end());
    EXPECT_GE(colours.size(), GetParam() == 12 ? 2u : 8u);
    size_t sameAsLeft = 0;
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t x = 1; x < frame.width; ++x)
            sameAsLeft += frame.At(x, y) == frame.At(x - 1, y);
    }
    // Random colours would match their neighbour about one time in sixteen.
    EXPECT_GT(sameAsLeft, frame.colours.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, SampleTest, ::testing::ValuesIn(AllCodes()), CodeName);

TEST(Samples, OnePerLayoutWithDistinctNames) {
    const std::vector<SamplePicture> samples = tarnel_tools::MakeAllSamples();
    ASSERT_EQ(samples.size(), tarnel::LAYOUT_COUNT);
    std::set<std::string> names;
    std::set<FormatCode> codes;
    for (const SamplePicture& sample : samples) {
        names.insert(sample.fileName);
        codes.insert(sample.code);
    }
    EXPECT_EQ(names.size(), tarnel::LAYOUT_COUNT);
    EXPECT_EQ(codes.size(), tarnel::LAYOUT_COUNT);
}

// The two frames of each interlaced sample differ, so the blend shows
// colours that no single C64 colour has.
TEST(Samples, InterlacedFramesDiffer) {
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        if (!layout.interlaced) continue;
        SCOPED_TRACE(layout.name);
        const SamplePicture sample = MakeSample(layout.code);
        ASSERT_EQ(sample.frames.size(), 2u);
        size_t different = 0;
        for (size_t i = 0; i < sample.frames[0].colours.size(); ++i) {
            different += sample.frames[0].colours[i] != sample.frames[1].colours[i];
        }
        EXPECT_GT(different, 1000u);
    }
}

TEST(Samples, UnknownCodeGivesNoFile) {
    EXPECT_TRUE(MakeSample(10).bytes.empty());
    EXPECT_TRUE(MakeSample(0).bytes.empty());
    EXPECT_TRUE(MakeSample(22).bytes.empty());
}

}  // namespace
