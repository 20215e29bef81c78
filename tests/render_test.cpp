// What every layout shows: the whole decode path against an independent
// model of the layouts, the per-pixel fetchers against the row loops, and the
// particular rules of the fetchers and of the interlace merge.
#include "core/render.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "authoring/layout_files.h"
#include "core/cpu.h"
#include "core/fetchers.h"
#include "core/palette.h"
#include "core/pixels.h"
#include "testing/c64_model.h"
#include "testing/host.h"
#include "testing/random_memory.h"

namespace tarnel {
namespace {

using tarnel_test::BlockPixel;
using tarnel_test::ModelColour;
using tarnel_test::ModelIndices;
using tarnel_test::RandomBytes;
using tarnel_test::Rgb;
using tarnel_test::View;

// The memory image a code's renderer reads: the unpacked layout's file,
// followed by the zeroed rest of the buffer.
std::vector<uint8_t> DrawnImage(FormatCode code, const std::vector<uint8_t>& memory) {
    std::vector<uint8_t> image = BuildLayoutFile(FindLayout(code)->unpackedAs, View(memory));
    image.resize(MEMORY_IMAGE_BYTES, 0);
    return image;
}

// Compares a decoded block with the model's colours, pixel by pixel.
::testing::AssertionResult BlockMatchesModel(FormatCode code, const std::vector<uint8_t>& block,
                                             const std::vector<uint8_t>& image) {
    if (block.size() != static_cast<size_t>(TARNEL_BITMAP_BLOCK_BYTES)) {
        return ::testing::AssertionFailure() << "no block";
    }
    const std::vector<uint8_t> indices = ModelIndices(code, image);
    const bool blend = tarnel_test::ModelInterlaced(code);
    for (int y = 0; y < 200; ++y) {
        for (int u = 0; u < 320; ++u) {
            const Rgb want = ModelColour(indices[y * 320 + u], blend);
            const Rgb got = BlockPixel(block, u, y);
            if (!(want == got)) {
                return ::testing::AssertionFailure()
                       << "pixel (" << u << ", " << y << ") is " << int(got.r) << "," << int(got.g)
                       << "," << int(got.b) << ", expected " << int(want.r) << "," << int(want.g)
                       << "," << int(want.b) << " (index " << int(indices[y * 320 + u]) << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

class EveryLayoutRendering : public ::testing::TestWithParam<FormatCode> {};

TEST_P(EveryLayoutRendering, RandomPictureMatchesTheModel) {
    const FormatCode code = GetParam();
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        const std::vector<uint8_t> memory = RandomBytes(MEMORY_IMAGE_BYTES, seed * 1000 + code);
        const std::vector<uint8_t> file = BuildLayoutFile(code, View(memory));
        ASSERT_FALSE(file.empty());
        EXPECT_TRUE(
            BlockMatchesModel(code, tarnel_test::DecodeFile(file), DrawnImage(code, memory)))
            << "seed " << seed;
    }
}

// A picture where every cell's four bit pairs (or two bits) show four (two)
// different colours, chosen per cell and per row from its position.
TEST_P(EveryLayoutRendering, DistinctColoursPerBitPairMatchTheModel) {
    const FormatCode code = GetParam();
    std::vector<uint8_t> memory(MEMORY_IMAGE_BYTES);
    for (size_t i = 0; i < memory.size(); ++i) {
        // Bitmap-sized stretches get the bit pattern 0xE4 / 0x1B alternating
        // by row; nibbles elsewhere vary with the offset.
        memory[i] = static_cast<uint8_t>((i * 37 + (i >> 8)) & 0xFF);
    }
    const std::vector<uint8_t> file = BuildLayoutFile(code, View(memory));
    ASSERT_FALSE(file.empty());
    EXPECT_TRUE(BlockMatchesModel(code, tarnel_test::DecodeFile(file), DrawnImage(code, memory)));
}

INSTANTIATE_TEST_SUITE_P(Codes, EveryLayoutRendering, ::testing::ValuesIn(tarnel_test::AllCodes()),
                         tarnel_test::CodeName);

// The per-pixel fetchers state the rules plainly; the row loops must agree.
struct FetcherOf {
    FormatCode code;
    char kind;  // 'm' multicolour, 'h' hires, 'i' interlaced
    Fetcher fetcher;
};
const FetcherOf kFetchers[] = {
    {1, 'i', Fetcher::Funpaint},
    {2, 'i', Fetcher::Funpaint},
    {3, 'i', Fetcher::Gunpaint},
    {4, 'm', Fetcher::FliDesigner},
    {5, 'm', Fetcher::AdvancedArtStudio},
    {6, 'i', Fetcher::Drazlace},
    {7, 'i', Fetcher::Drazlace},
    {8, 'm', Fetcher::Fli},
    {9, 'm', Fetcher::Koala},
    {11, 'm', Fetcher::Koala},
    {12, 'h', Fetcher::HiresBitmap},
    {13, 'm', Fetcher::FliGraph},
    {14, 'm', Fetcher::FliGraph},
    {15, 'h', Fetcher::ArtStudio},
    {16, 'h', Fetcher::Doodle},
    {17, 'h', Fetcher::Afli},
    {18, 'm', Fetcher::PaintMagic},
    {19, 'm', Fetcher::Koala},
    {20, 'm', Fetcher::Koala},
    {21, 'h', Fetcher::Doodle},
};

std::vector<uint8_t> FetchAll(const FetcherOf& f, ByteView image, uint8_t background) {
    std::vector<uint8_t> out(PICTURE_PIXELS);
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t u = 0; u < 320; ++u) {
            uint8_t index = 0;
            if (f.kind == 'm') {
                index = FetchMulticolour(*FindMulticolourSources(f.fetcher), image, background,
                                         u / 2, y);
            } else if (f.kind == 'h') {
                index = FetchHires(*FindHiresSources(f.fetcher), image, background, u, y);
            } else {
                const InterlacedSources& s = *FindInterlacedSources(f.fetcher);
                auto c0 = [&](uint32_t x) {
                    return FetchInterlaced(s, image, background, x, y, 0);
                };
                auto c1 = [&](uint32_t x) {
                    return FetchInterlaced(s, image, background, x, y, 1);
                };
                if (u == 0) {
                    index = c0(0);
                } else if (u == 319) {
                    index = c1(159);
                } else if (u == 318) {
                    index = static_cast<uint8_t>(16 * c0(159) + c1(159));
                } else {
                    index = static_cast<uint8_t>(16 * c0(u / 2) + c1((u - 1) / 2));
                }
            }
            out[y * 320 + u] = index;
        }
    }
    return out;
}

TEST(RowLoops, AgreeWithThePerPixelFetchers) {
    for (const FetcherOf& f : kFetchers) {
        for (uint8_t background : {uint8_t(0), uint8_t(9)}) {
            const std::vector<uint8_t> image = RandomBytes(MEMORY_IMAGE_BYTES, 40 + f.code);
            std::vector<uint8_t> rendered(65535, 0xEE);
            RenderFrame(f.code, View(image), background, rendered.data());
            const std::vector<uint8_t> fetched = FetchAll(f, View(image), background);
            EXPECT_TRUE(std::equal(fetched.begin(), fetched.end(), rendered.begin()))
                << int(f.code);
            for (size_t i = PICTURE_PIXELS; i < rendered.size(); ++i) {
                ASSERT_EQ(rendered[i], 0xEE) << "wrote past the picture at " << i;
            }
        }
    }
}

// Every vector path this processor has draws, for every layout, the same
// bytes as the plain loops: in a three-byte format made from a palette (the
// module's rows, bottom-up) and in a four-byte one.
TEST(RowLoops, EveryVectorPathDrawsTheSameBytes) {
    struct Widest {
        ~Widest() { CapInstructionSetForTests(InstructionSet::Avx512); }
    } restore;
    const InstructionSet paths[] = {InstructionSet::Plain, InstructionSet::Ssse3,
                                    InstructionSet::Avx2, InstructionSet::Avx512};
    for (const LayoutInfo& layout : LAYOUTS) {
        const std::vector<uint8_t> image =
            DrawnImage(layout.code, RandomBytes(MEMORY_IMAGE_BYTES, 1300 + layout.code));
        for (const PixelFormat format : {PixelFormat::Bgr24, PixelFormat::Rgba32}) {
            PixelTable table;
            BuildPixelTable(C64_PALETTE, layout.interlaced, format, &table);
            const ptrdiff_t stride = PICTURE_WIDTH * BytesPerPixel(format);
            std::vector<uint8_t> plain;
            for (const InstructionSet path : paths) {
                if (path > WidestInstructionSet()) break;
                CapInstructionSetForTests(path);
                std::vector<uint8_t> pixels(stride * PICTURE_HEIGHT, 0xEE);
                ASSERT_TRUE(RenderPicture(layout.code, View(image), 5, table,
                                          pixels.data() + stride * (PICTURE_HEIGHT - 1), -stride));
                if (path == InstructionSet::Plain) {
                    plain = pixels;
                } else {
                    EXPECT_TRUE(pixels == plain)
                        << "code " << int(layout.code) << ", path " << int(path);
                }
            }
        }
    }
}

TEST(RowLoops, UnknownCodesWriteNothing) {
    const std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0x55);
    for (FormatCode code : {FormatCode(0), FormatCode(10), FormatCode(22), FormatCode(255)}) {
        std::vector<uint8_t> rendered(65535, 0xEE);
        RenderFrame(code, View(image), 3, rendered.data());
        for (uint8_t b : rendered) ASSERT_EQ(b, 0xEE);
    }
}

TEST(RowLoops, MulticolourColumnsAreDoubled) {
    for (const FetcherOf& f : kFetchers) {
        if (f.kind != 'm') continue;
        const std::vector<uint8_t> image = RandomBytes(MEMORY_IMAGE_BYTES, 90 + f.code);
        std::vector<uint8_t> rendered(65535);
        RenderFrame(f.code, View(image), 5, rendered.data());
        for (size_t i = 0; i < PICTURE_PIXELS; i += 2) ASSERT_EQ(rendered[i], rendered[i + 1]);
    }
}

// Fetcher rules, with hand-placed bytes.
TEST(Fetchers, MulticolourBitPairsLeftToRight) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0);
    const MulticolourSources& koala = *FindMulticolourSources(Fetcher::Koala);
    image[2] = 0xE4;                           // bit pairs 3, 2, 1, 0
    image[8002] = 0x12;                        // screen: high 1, low 2
    image[9002] = 0xF3;                        // colour memory: low 3 (high ignored)
    const uint8_t expected[4] = {3, 2, 1, 7};  // pairs 3, 2, 1, 0 (background 7)
    for (uint32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(FetchMulticolour(koala, View(image), 7, x, 0), expected[x]) << x;
    }
}

TEST(Fetchers, HiresBitSevenIsLeftmost) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0);
    const HiresSources& artStudio = *FindHiresSources(Fetcher::ArtStudio);
    image[2] = 0x80;
    image[8002] = 0xAB;  // set: 10, clear: 11
    for (uint32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(FetchHires(artStudio, View(image), 0, x, 0), x == 0 ? 10 : 11) << x;
    }
}

TEST(Fetchers, NextCellAndNextCellRow) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0);
    const MulticolourSources& koala = *FindMulticolourSources(Fetcher::Koala);
    image[2 + 8] = 0x40;     // column 4 (next cell), pair 1
    image[8002 + 1] = 0x50;  // that cell's screen high nibble: 5
    EXPECT_EQ(FetchMulticolour(koala, View(image), 0, 4, 0), 5);
    image[2 + 320] = 0xC0;  // row 8: next cell row, bitmap byte 320 later
    image[9002 + 40] = 0x0E;
    EXPECT_EQ(FetchMulticolour(koala, View(image), 0, 0, 8), 14);
}

TEST(Fetchers, ScreenBanksFollowTheRowWithinTheCell) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0);
    const MulticolourSources& fliDesigner = *FindMulticolourSources(Fetcher::FliDesigner);
    image[9218 + 7] = 0x40;              // row 7, column 0: pair 1
    image[9218 + 320] = 0x40;            // row 8, column 0: pair 1
    image[1026 + 7 * 1024] = 0x90;       // bank 7, cell 0
    image[1026 + 0 * 1024 + 40] = 0xA0;  // bank 0, cell 40
    EXPECT_EQ(FetchMulticolour(fliDesigner, View(image), 0, 0, 7), 9);
    EXPECT_EQ(FetchMulticolour(fliDesigner, View(image), 0, 0, 8), 10);
    const HiresSources& afli = *FindHiresSources(Fetcher::Afli);
    image[8194 + 7] = 0x80;
    image[2 + 7 * 1024] = 0xC0;
    EXPECT_EQ(FetchHires(afli, View(image), 0, 0, 7), 12);
}

TEST(Fetchers, LastBitmapByte) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0);
    const MulticolourSources& koala = *FindMulticolourSources(Fetcher::Koala);
    image[2 + 7999] = 0x03;  // column 159, row 199: pair 3
    image[9002 + 999] = 0x06;
    EXPECT_EQ(FetchMulticolour(koala, View(image), 0, 159, 199), 6);
    const HiresSources& hires = *FindHiresSources(Fetcher::HiresBitmap);
    image[2 + 7999] = 0x01;
    EXPECT_EQ(FetchHires(hires, View(image), 4, 319, 199), 15);
    EXPECT_EQ(FetchHires(hires, View(image), 4, 318, 199), 4);
}

TEST(Fetchers, FliGraphLeftStripSwitchesAtColumn12) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0);
    const MulticolourSources& fliGraph = *FindMulticolourSources(Fetcher::FliGraph);
    const uint32_t y = 3;
    image[2 + y] = 0x7B;  // row byte: background 11, strip pair-3 colour 7
    image[1282] = 0x2D;   // strip pairs 1 and 2: colour 13
    // Columns 8..11 (cell 2, in the strip) and 12..15 (cell 3) all pair 3, then pair 1.
    image[9474 + 2 * 8 + y] = 0xFF;
    image[9474 + 3 * 8 + y] = 0xFF;
    image[258 + 3] = 0x04;  // cell 3 colour memory
    EXPECT_EQ(FetchMulticolour(fliGraph, View(image), 0, 11, y), 7);
    EXPECT_EQ(FetchMulticolour(fliGraph, View(image), 0, 12, y), 4);
    image[9474 + 2 * 8 + y] = 0x55;  // pair 1 in the strip
    image[9474 + 3 * 8 + y] = 0x55;  // pair 1 outside
    image[1282 + 3 * 1024 + 3] = 0x80;
    EXPECT_EQ(FetchMulticolour(fliGraph, View(image), 0, 11, y), 13);
    EXPECT_EQ(FetchMulticolour(fliGraph, View(image), 0, 12, y), 8);
    image[9474 + 2 * 8 + y] = 0xAA;  // pair 2 in the strip: the same colour as pair 1
    EXPECT_EQ(FetchMulticolour(fliGraph, View(image), 0, 11, y), 13);
    // Pair 0 shows the row's background at any column, whatever the background colour.
    image[9474 + 2 * 8 + y] = 0x00;
    image[9474 + 3 * 8 + y] = 0x00;
    EXPECT_EQ(FetchMulticolour(fliGraph, View(image), 9, 11, y), 11);
    EXPECT_EQ(FetchMulticolour(fliGraph, View(image), 9, 12, y), 11);
}

TEST(Fetchers, PaintMagicSharedColourByte) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0xFF);  // every pixel pair 3
    const MulticolourSources& paintMagic = *FindMulticolourSources(Fetcher::PaintMagic);
    image[8119] = 0x35;
    EXPECT_EQ(FetchMulticolour(paintMagic, View(image), 0, 0, 0), 5);
    EXPECT_EQ(FetchMulticolour(paintMagic, View(image), 0, 159, 199), 5);
    image[8119] = 0x3A;
    EXPECT_EQ(FetchMulticolour(paintMagic, View(image), 0, 80, 100), 10);
}

// Whole pictures through the exports.
std::vector<uint8_t> Decode(FormatCode code, const std::vector<uint8_t>& memory) {
    const std::vector<uint8_t> file = BuildLayoutFile(code, View(memory));
    EXPECT_FALSE(file.empty()) << int(code);
    return tarnel_test::DecodeFile(file);
}

TEST(Pictures, CodesSharingALayoutShowTheSamePicture) {
    const std::vector<uint8_t> memory = RandomBytes(MEMORY_IMAGE_BYTES, 4242);
    const std::vector<uint8_t> koala = Decode(20, memory);
    ASSERT_FALSE(koala.empty());
    EXPECT_TRUE(Decode(9, memory) == koala);
    EXPECT_TRUE(Decode(11, memory) == koala);
    EXPECT_TRUE(Decode(19, memory) == koala);
    EXPECT_TRUE(Decode(13, memory) == Decode(14, memory));
    EXPECT_TRUE(Decode(16, memory) == Decode(21, memory));
    EXPECT_TRUE(Decode(6, memory) == Decode(7, memory));
}

TEST(Pictures, PackedFunpaintShowsItsUnpackedImage) {
    for (uint32_t seed : {1u, 2u}) {
        const std::vector<uint8_t> memory = RandomBytes(MEMORY_IMAGE_BYTES, 777 * seed);
        const std::vector<uint8_t> packed = Decode(1, memory);
        ASSERT_FALSE(packed.empty());
        EXPECT_TRUE(packed == Decode(2, memory));
    }
}

TEST(Pictures, HiresBitmapShowsOnlyWhiteishAndBackground) {
    const std::vector<uint8_t> block = Decode(12, RandomBytes(MEMORY_IMAGE_BYTES, 12));
    ASSERT_FALSE(block.empty());
    const Rgb set = tarnel_test::ModelPalette(15);
    const Rgb clear = tarnel_test::ModelPalette(0);  // its background is always colour 0
    int setCount = 0;
    for (int y = 0; y < 200; ++y) {
        for (int u = 0; u < 320; ++u) {
            const Rgb p = BlockPixel(block, u, y);
            ASSERT_TRUE(p == set || p == clear);
            setCount += p == set;
        }
    }
    EXPECT_GT(setCount, 0);
    EXPECT_LT(setCount, 64000);
}

// Frames of one colour each: column 0 is frame 0 over colour 0, column 319
// frame 1 over colour 0, everything between the average of the two.
TEST(Pictures, InterlaceMergeRowEnds) {
    std::vector<uint8_t> memory(MEMORY_IMAGE_BYTES, 0);
    for (uint32_t i = 0; i < 8000; ++i) {
        memory[2050 + i] = 0xFF;   // frame 0: pair 3, colour memory
        memory[10242 + i] = 0x55;  // frame 1: pair 1, screen high nibble
    }
    for (uint32_t i = 0; i < 1000; ++i) {
        memory[2 + i] = 0x07;     // colour memory: yellow
        memory[1026 + i] = 0x20;  // screen high: red
    }
    const std::vector<uint8_t> block = Decode(6, memory);
    ASSERT_FALSE(block.empty());
    const Rgb yellowOverBlack = ModelColour(0x07, true);
    const Rgb yellowAndRed = ModelColour(0x72, true);
    const Rgb redOverBlack = ModelColour(0x02, true);
    EXPECT_EQ(yellowAndRed.r, (243 + 139) / 2);
    for (int y : {0, 99, 199}) {
        EXPECT_TRUE(BlockPixel(block, 0, y) == yellowOverBlack);
        for (int u = 1; u <= 318; ++u) ASSERT_TRUE(BlockPixel(block, u, y) == yellowAndRed) << u;
        EXPECT_TRUE(BlockPixel(block, 319, y) == redOverBlack);
    }
}

TEST(Pictures, InterlaceColumn318PairsTheLastColumnsOfBothFrames) {
    // Frame 1 differs only in its last column: column 318 must show it, as
    // must column 319; column 317 must not.
    std::vector<uint8_t> memory(MEMORY_IMAGE_BYTES, 0);
    for (uint32_t i = 0; i < 1000; ++i) memory[1026 + i] = 0x1C;  // screen: 1 high, 12 low
    const uint32_t lastCellByte = 39 * 8;                         // row 0, cell 39
    memory[10242 + lastCellByte] = 0x01;  // frame 1, column 159: pair 1 (white); others pair 0
    const std::vector<uint8_t> block = Decode(6, memory);
    ASSERT_FALSE(block.empty());
    EXPECT_TRUE(BlockPixel(block, 317, 0) == ModelColour(0x00, true));
    EXPECT_TRUE(BlockPixel(block, 318, 0) == ModelColour(0x01, true));
    EXPECT_TRUE(BlockPixel(block, 319, 0) == ModelColour(0x01, true));
    EXPECT_TRUE(BlockPixel(block, 319, 1) == ModelColour(0x00, true));
}

TEST(Pictures, TwoIdenticalFramesShowThePaletteColourInside) {
    std::vector<uint8_t> memory = RandomBytes(MEMORY_IMAGE_BYTES, 66);
    std::memcpy(memory.data() + 10242, memory.data() + 2050, 8000);  // frame 1 = frame 0
    const std::vector<uint8_t> image = DrawnImage(6, memory);
    const std::vector<uint8_t> block = Decode(6, memory);
    ASSERT_FALSE(block.empty());
    const std::vector<uint8_t> indices = ModelIndices(6, image);
    for (int y = 0; y < 200; y += 7) {
        for (int u = 2; u <= 317; u += 2) {
            // Columns 2x and 2x+1 pair column x of frame 0 with x-1 and x of frame 1.
            const uint8_t odd = indices[y * 320 + u + 1];
            ASSERT_EQ(odd >> 4, odd & 15);
            ASSERT_TRUE(BlockPixel(block, u + 1, y) == tarnel_test::ModelPalette(odd & 15));
        }
    }
}

}  // namespace
}  // namespace tarnel
