// The run-length unpackers of the five packed layouts, their packers, and the
// background colour of every layout.
#include "core/unpack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "authoring/layout_files.h"
#include "authoring/pack.h"
#include "core/cpu.h"
#include "core/decode.h"
#include "core/identify.h"
#include "core/prepare.h"
#include "core/render.h"
#include "plugin/c64_decoder.h"
#include "testing/host.h"
#include "testing/random_memory.h"

namespace tarnel {
namespace {

using tarnel_test::RandomMemory;
using tarnel_test::View;

constexpr uint8_t kGuard = 0xA5;

// Unpacks `file` as `code` into a guard-filled buffer.
std::vector<uint8_t> UnpackAs(FormatCode code, const std::vector<uint8_t>& file) {
    const PackedVariant* variant = FindPackedVariant(code);
    EXPECT_NE(variant, nullptr);
    std::vector<uint8_t> out(MEMORY_IMAGE_BYTES, kGuard);
    if (variant != nullptr) Unpack(View(file), *variant, out.data());
    return out;
}

// Number of bytes that differ from the guard in [from, to).
size_t Written(const std::vector<uint8_t>& out, size_t from, size_t to) {
    size_t n = 0;
    for (size_t i = from; i < to; ++i) n += out[i] != kGuard;
    return n;
}

// A code-11 file: load 00 40, then a stream whose escape byte is the byte at
// size-2 (and its first byte, when it opens with a run).
std::vector<uint8_t> Code11(std::vector<uint8_t> stream) {
    stream.insert(stream.begin(), {0x00, 0x40});
    return stream;
}

// A code-7 file: the signature, the escape byte, then the stream.
std::vector<uint8_t> Code7(uint8_t escape, const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> file(DRAZLACE_SIGNATURE, DRAZLACE_SIGNATURE + 15);
    file.push_back(escape);
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

TEST(ForwardUnpacker, LiteralsRunsAndEndMarker) {
    // E = 0x7A. Run of 3 x 0x11, literals 0x22 0x33, run of 255 x 0x44, end;
    // then bytes that are never read, ending with the end marker as code 11
    // files do.
    const auto out =
        UnpackAs(11, Code11({0x7A, 3, 0x11, 0x22, 0x33, 0x7A, 255, 0x44, 0x7A, 0, 0x55, 0x7A, 0}));
    EXPECT_EQ(out[2], 0x11);
    EXPECT_EQ(out[4], 0x11);
    EXPECT_EQ(out[5], 0x22);
    EXPECT_EQ(out[6], 0x33);
    for (size_t i = 7; i < 7 + 255; ++i) ASSERT_EQ(out[i], 0x44) << i;
    EXPECT_EQ(out[7 + 255], kGuard) << "nothing after the end marker";
    EXPECT_EQ(out[0], kGuard);
    EXPECT_EQ(out[1], kGuard);
}

TEST(ForwardUnpacker, EscapeStoredAsRunOfOne) {
    const auto out = UnpackAs(11, Code11({0x7A, 1, 0x7A, 0x7A, 0}));
    EXPECT_EQ(out[2], 0x7A);
    EXPECT_EQ(Written(out, 0, out.size()), 1u);
}

TEST(ForwardUnpacker, EndMarkerFirstWritesNothing) {
    EXPECT_EQ(Written(UnpackAs(11, {0x00, 0x40, 0x7A, 0x00}), 0, MEMORY_IMAGE_BYTES), 0u);
    // Code 1 and 7 too: their stream begins right after the escape byte.
    std::vector<uint8_t> code7(DRAZLACE_SIGNATURE, DRAZLACE_SIGNATURE + 15);
    code7.insert(code7.end(), {0x99, 0x99, 0x00, 0x12});
    EXPECT_EQ(Written(UnpackAs(7, code7), 0, MEMORY_IMAGE_BYTES), 0u);
}

TEST(ForwardUnpacker, StreamWithoutEndMarkerStopsAtTheEndOfTheFile) {
    const auto out = UnpackAs(7, Code7(0x7A, {0x7A, 2, 0x10, 0x20, 0x30}));
    EXPECT_EQ(out[2], 0x10);
    EXPECT_EQ(out[3], 0x10);
    EXPECT_EQ(out[4], 0x20);
    EXPECT_EQ(out[5], 0x30);
    EXPECT_EQ(Written(out, 0, out.size()), 4u);
}

TEST(ForwardUnpacker, RunCutByTheEndOfTheFileWritesNothing) {
    // E and its length are present but the value byte is not.
    EXPECT_EQ(Written(UnpackAs(7, Code7(0x7A, {0x7A, 1, 0x10, 0x7A, 5})), 0, MEMORY_IMAGE_BYTES),
              1u);
    // E as the last byte.
    EXPECT_EQ(Written(UnpackAs(7, Code7(0x7A, {0x7A, 1, 0x10, 0x7A})), 0, MEMORY_IMAGE_BYTES), 1u);
}

TEST(ForwardUnpacker, CutAtTheOutputMaximum) {
    // 97 runs of 255 = 24,735 bytes, more than the 24,578 that codes 7 and 11 may write.
    for (FormatCode code : {FormatCode(7), FormatCode(11)}) {
        std::vector<uint8_t> file;
        if (code == 7) {
            file.assign(DRAZLACE_SIGNATURE, DRAZLACE_SIGNATURE + 15);
            file.push_back(0x7A);
        } else {
            file = {0x00, 0x40};
        }
        for (int i = 0; i < 97; ++i) file.insert(file.end(), {0x7A, 255, static_cast<uint8_t>(i)});
        file.insert(file.end(), {0x7A, 0});
        const auto out = UnpackAs(code, file);
        EXPECT_EQ(Written(out, 2, 24580), 24578u) << int(code);
        EXPECT_EQ(out[24579], 96) << "the last byte written is part of the cut run";
        EXPECT_EQ(out[24580], kGuard);
        EXPECT_EQ(out[0], kGuard);
        EXPECT_EQ(out[1], kGuard);
    }
}

TEST(ForwardUnpacker, Code1WritesFromOffset18ToTheEndOfTheBuffer) {
    std::vector<uint8_t> file(FUNPAINT_SIGNATURE, FUNPAINT_SIGNATURE + 16);
    file.insert(file.end(), {1, 0x7A});
    for (int i = 0; i < 250; ++i) file.insert(file.end(), {0x7A, 255, 0x3C});
    const auto out = UnpackAs(1, file);
    EXPECT_EQ(Written(out, 0, 18), 0u);
    EXPECT_EQ(Written(out, 18, MEMORY_IMAGE_BYTES), MEMORY_IMAGE_BYTES - 18u);
}

// A code-19 file: a backward stream followed by its escape byte.
std::vector<uint8_t> Code19(std::vector<uint8_t> stream, uint8_t escape) {
    stream.push_back(escape);
    return stream;
}

TEST(BackwardUnpacker, ReadsFromTheEndAndWritesDownwards) {
    // In file order: literal 0x01, run (value 0x22, length 3, E), literal 0x04; then E.
    const auto out = UnpackAs(19, Code19({0x01, 0x22, 3, 0xEE, 0x04}, 0xEE));
    EXPECT_EQ(out[10002], 0x04);
    EXPECT_EQ(out[10001], 0x22);
    EXPECT_EQ(out[10000], 0x22);
    EXPECT_EQ(out[9999], 0x22);
    EXPECT_EQ(out[9998], 0x01);
    EXPECT_EQ(Written(out, 0, out.size()), 5u);
}

TEST(BackwardUnpacker, LengthZeroMeans256) {
    const auto out = UnpackAs(19, Code19({0x5B, 0x00, 0xEE}, 0xEE));
    EXPECT_EQ(Written(out, 0, out.size()), 256u);
    EXPECT_EQ(out[10002], 0x5B);
    EXPECT_EQ(out[10002 - 255], 0x5B);
}

TEST(BackwardUnpacker, RunReachingBeforeTheFileStops) {
    // The escape at offset 1 has no value byte inside the file.
    const auto out = UnpackAs(19, Code19({0x03, 0xEE, 0x09}, 0xEE));
    EXPECT_EQ(out[10002], 0x09);
    EXPECT_EQ(Written(out, 0, out.size()), 1u);
}

TEST(BackwardUnpacker, Code19SuppliesOffsetsZeroAndOne) {
    std::vector<uint8_t> image = RandomMemory(19);
    image.resize(10003);
    image[0] = 0x00;
    image[1] = 0x60;
    const std::vector<uint8_t> file = PackFile(19, View(image));
    ASSERT_FALSE(file.empty());
    const auto out = UnpackAs(19, file);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10003), image);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], 0x60);
    EXPECT_EQ(Written(out, 10003, out.size()), 0u);
    EXPECT_EQ(ProbeUnpackedLength(View(file)), 10003u);
}

TEST(BackwardUnpacker, Code14FillsDownToOffsetTwoInReadingOrder) {
    // Literals only: the file's last byte lands at 17,473, the first stream byte at 2.
    std::vector<uint8_t> file(FLI_GRAPH_PACKED_HEADER, FLI_GRAPH_PACKED_HEADER + 8);
    file[2] = 0xFF;  // escape, used nowhere in the stream
    for (uint32_t i = 0; i < 17472 + 5; ++i) file.push_back(static_cast<uint8_t>(i % 251));
    const auto out = UnpackAs(14, file);
    for (uint32_t k = 0; k < 17472; ++k) {
        ASSERT_EQ(out[17473 - k], file[file.size() - 1 - k]) << k;
    }
    EXPECT_EQ(out[0], kGuard);
    EXPECT_EQ(out[1], kGuard);
    EXPECT_EQ(out[17474], kGuard);
}

TEST(BackwardUnpacker, Code14ShortStreamStopsAtTheFileStart) {
    // Header bytes are read as stream too when the stream is short; nothing
    // goes below offset 2 of the output or outside the file.
    std::vector<uint8_t> file(FLI_GRAPH_PACKED_HEADER, FLI_GRAPH_PACKED_HEADER + 8);
    file[2] = 0xFF;
    file.insert(file.end(), {0x10, 0x20});
    const auto out = UnpackAs(14, file);
    EXPECT_EQ(Written(out, 17473 - 9, 17474), 10u);
    EXPECT_EQ(out[17473], 0x20);
}

TEST(BackwardUnpacker, RunCutAtTheLowestOffset) {
    // 40 runs of 256 = 10,240 bytes, more than code 19's 10,003.
    std::vector<uint8_t> stream;
    for (int i = 0; i < 40; ++i) stream.insert(stream.end(), {static_cast<uint8_t>(i), 0, 0xEE});
    const auto out = UnpackAs(19, Code19(stream, 0xEE));
    EXPECT_EQ(Written(out, 0, 10003), 10003u);
    EXPECT_EQ(Written(out, 10003, out.size()), 0u);
    EXPECT_EQ(out[10002], 39);  // the last run in the file is read first
    EXPECT_EQ(out[0], 0);
}

TEST(Unpackers, NotPackedCodesHaveNoVariant) {
    for (const LayoutInfo& layout : LAYOUTS) {
        EXPECT_EQ(FindPackedVariant(layout.code) != nullptr, layout.packed) << int(layout.code);
    }
}

TEST(Unpackers, RandomStreamsStayInsideTheirOutputRange) {
    struct Range {
        FormatCode code;
        uint32_t low, high;  // inclusive output range
    };
    for (const Range& r : {Range{1, 18, 61439}, Range{7, 2, 24579}, Range{11, 2, 24579},
                           Range{14, 2, 17473}, Range{19, 0, 10002}}) {
        for (uint32_t seed = 0; seed < 40; ++seed) {
            std::vector<uint8_t> file = tarnel_test::RandomBytes(1 + seed * 457 % 36864, seed);
            // Escape-heavy streams: make runs frequent.
            for (size_t i = 0; i < file.size(); i += 3) file[i] = file.back();
            const auto out = UnpackAs(r.code, file);
            EXPECT_EQ(Written(out, 0, r.low), 0u);
            EXPECT_EQ(Written(out, r.high + 1, out.size()), 0u);
        }
    }
}

// The plain and the vector unpackers write the same bytes, over packed files
// of every packed code, their every tenth prefix, and escape-heavy random
// streams (on a processor without a vector path both runs are plain).
TEST(Unpackers, PlainAndVectorPathsWriteTheSameBytes) {
    struct Restore {
        ~Restore() { CapInstructionSetForTests(InstructionSet::Avx512); }
    } restore;
    for (FormatCode code :
         {FormatCode{1}, FormatCode{7}, FormatCode{11}, FormatCode{14}, FormatCode{19}}) {
        const LayoutInfo* layout = FindLayout(code);
        ASSERT_NE(layout, nullptr);
        std::vector<std::vector<uint8_t>> files;
        for (uint32_t seed = 0; seed < 6; ++seed) {
            const std::vector<uint8_t> memory = tarnel_test::RandomMemory(700 + seed);
            const std::vector<uint8_t> image = BuildLayoutFile(layout->unpackedAs, View(memory));
            const std::vector<uint8_t> packed = PackFile(code, View(image));
            ASSERT_FALSE(packed.empty()) << "code " << int(code);
            const size_t step = packed.size() / 10 + 1;
            for (size_t cut = packed.size(); cut > step; cut -= step) {
                files.emplace_back(packed.begin(), packed.begin() + static_cast<long>(cut));
            }
            std::vector<uint8_t> random = tarnel_test::RandomBytes(3000 + seed * 4001, seed);
            for (size_t i = 0; i < random.size(); i += 2 + seed) random[i] = random.back();
            files.push_back(random);
        }
        for (const std::vector<uint8_t>& file : files) {
            CapInstructionSetForTests(InstructionSet::Plain);
            const auto plain = UnpackAs(code, file);
            CapInstructionSetForTests(InstructionSet::Avx512);
            const auto fast = UnpackAs(code, file);
            ASSERT_TRUE(plain == fast) << "code " << int(code) << ", " << file.size() << " bytes";
        }
    }
}

class PackedLayout : public ::testing::TestWithParam<FormatCode> {};

// Pack then unpack gives the original image within the output range, and
// the packed file is identified as its code.
TEST_P(PackedLayout, RoundTrip) {
    const FormatCode code = GetParam();
    const LayoutInfo* layout = FindLayout(code);
    const PackedVariant* variant = FindPackedVariant(code);
    ASSERT_NE(variant, nullptr);
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const std::vector<uint8_t> memory = RandomMemory(seed * 31 + code);
        const std::vector<uint8_t> image = BuildLayoutFile(layout->unpackedAs, View(memory));
        const std::vector<uint8_t> file = PackFile(code, View(image));
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(Identify(View(file)).code, code);
        const auto out = UnpackAs(code, file);
        const uint32_t low = variant->form == StreamForm::Forward
                                 ? variant->firstOutput
                                 : variant->firstOutput + 1 - variant->maxWritten;
        for (uint32_t i = low; i < image.size(); ++i) ASSERT_EQ(out[i], image[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, PackedLayout, ::testing::Values(1, 7, 11, 14, 19),
                         tarnel_test::CodeName);

TEST(PackedLayout11, StreamOpeningWithALiteralDrawsLikeOneOpeningWithARun) {
    std::vector<uint8_t> memory = RandomMemory(311);
    memory[2] = 0x3C;  // not the start of a run: the packer stores it as a literal
    memory[3] = 0x3D;
    const std::vector<uint8_t> image = BuildLayoutFile(20, View(memory));
    const std::vector<uint8_t> runFirst = PackFile(11, View(image));
    ASSERT_FALSE(runFirst.empty());
    ASSERT_EQ(runFirst[2], runFirst[runFirst.size() - 2]);

    const ByteView data{image.data() + 2, static_cast<uint32_t>(image.size() - 2)};
    const uint8_t escape = LeastFrequentByte(data);
    ASSERT_NE(escape, 0x3C);
    std::vector<uint8_t> literalFirst = {0x00, 0x40};
    const std::vector<uint8_t> stream = PackForwardStream(data, escape, false);
    literalFirst.insert(literalFirst.end(), stream.begin(), stream.end());
    ASSERT_EQ(literalFirst[2], 0x3C);
    ASSERT_EQ(literalFirst[literalFirst.size() - 2], escape);

    EXPECT_EQ(Identify(View(literalFirst)).code, 11);
    const std::vector<uint8_t> picture = tarnel_test::DecodeFile(literalFirst);
    ASSERT_FALSE(picture.empty());
    EXPECT_TRUE(picture == tarnel_test::DecodeFile(runFirst));
}

TEST(Packers, ForwardStreamStartsWithRunWhenAsked) {
    const std::vector<uint8_t> data = {1, 2, 3};
    const std::vector<uint8_t> stream = PackForwardStream(View(data), 0x99, true);
    EXPECT_EQ(stream, (std::vector<uint8_t>{0x99, 1, 1, 2, 3, 0x99, 0}));
}

TEST(Packers, BackwardStreamStoresLongRunsAs256) {
    const std::vector<uint8_t> data(300, 0x42);
    const std::vector<uint8_t> stream = PackBackwardStream(View(data), 0x99);
    EXPECT_EQ(stream, (std::vector<uint8_t>{0x42, 0, 0x99, 0x42, 44, 0x99}));
}

// Background colour: which byte, and read after unpacking.
TEST(Background, TableOfOffsets) {
    std::vector<uint8_t> image(MEMORY_IMAGE_BYTES, 0);
    image[9003] = 0xF3;
    image[10050] = 0xE4;
    image[10049] = 0x0B;  // last byte of the frame-0 bitmap, not the background
    image[10002] = 0xA5;
    image[10003] = 0x0C;
    image[8116] = 0x76;
    const struct {
        FormatCode code;
        uint8_t expected;
    } cases[] = {{1, 0},  {2, 0},  {3, 0},  {4, 0},  {5, 3},  {6, 4},  {7, 4},  {8, 0},
                 {9, 5},  {11, 5}, {12, 0}, {13, 0}, {14, 0}, {15, 0}, {16, 0}, {17, 0},
                 {18, 6}, {19, 5}, {20, 5}, {21, 0}, {0, 0},  {10, 0}, {22, 0}, {255, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(BackgroundColour(c.code, View(image)), c.expected) << int(c.code);
}

// On a real file: the background is read from the image ChooseImage gives
// (the unpacked image for packed layouts), as every decode reads it.
struct DecodedPage {
    explicit DecodedPage(std::vector<uint8_t> bytes) : file(std::move(bytes)) {
        code = Identify(View(file)).code;
        image = ChooseImage(code, View(file), scratch.data());
        background = BackgroundColour(code, image);
    }
    std::vector<uint8_t> file;
    std::vector<uint8_t> scratch = std::vector<uint8_t>(LARGEST_IMAGE_BYTES, 0xA5);
    FormatCode code = FORMAT_UNKNOWN;
    ByteView image;
    uint8_t background = 0;
};

TEST(Background, FacePainterUsesItsSecondToLastByte) {
    std::vector<uint8_t> memory = RandomMemory(76);
    memory[10002] = 0x27;
    memory[10003] = 0x0E;
    DecodedPage page(BuildLayoutFile(9, View(memory)));
    ASSERT_EQ(page.code, 9);
    EXPECT_EQ(page.background, 7);
}

TEST(Background, KoalaLastByte) {
    std::vector<uint8_t> memory(MEMORY_IMAGE_BYTES, 0x11);
    memory[10002] = 0xF7;
    DecodedPage page(BuildLayoutFile(20, View(memory)));
    ASSERT_EQ(page.code, 20);
    EXPECT_EQ(page.background, 7);
}

TEST(Background, PackedDrazlaceReadsTheUnpackedImage) {
    // Random bytes hardly pack, so the packed file is longer than 10,050 bytes.
    std::vector<uint8_t> memory = tarnel_test::RandomBytes(MEMORY_IMAGE_BYTES, 77);
    memory[10050] = 0x3D;  // background 13 in the unpacked image
    std::vector<uint8_t> file = BuildLayoutFile(7, View(memory));
    ASSERT_GT(file.size(), 10051u);
    file[10050] = 0x02;  // the packed file's own byte at that offset plays no part
    file[10049] = 0x02;
    DecodedPage page(file);
    ASSERT_EQ(page.code, 7);
    EXPECT_EQ(page.background, 13);
}

TEST(Background, UnpackedDrazlaceUsesByte10050) {
    std::vector<uint8_t> memory = RandomMemory(78);
    memory[10049] = 0x01;
    memory[10050] = 0x0C;
    DecodedPage page(BuildLayoutFile(6, View(memory)));
    ASSERT_EQ(page.code, 6);
    EXPECT_EQ(page.background, 12);
}

TEST(Background, PackedLayoutsAreDrawnFromTheUnpackedImage) {
    // For each packed code the image drawn from is the unpacked layout's
    // image, whatever the scratch buffer held before.
    for (FormatCode code :
         {FormatCode(1), FormatCode(7), FormatCode(11), FormatCode(14), FormatCode(19)}) {
        const std::vector<uint8_t> memory = RandomMemory(300 + code);
        const LayoutInfo* layout = FindLayout(code);
        const std::vector<uint8_t> image = BuildLayoutFile(layout->unpackedAs, View(memory));
        DecodedPage page(PackFile(code, View(image)));
        ASSERT_EQ(page.code, code);
        ASSERT_EQ(page.image.data, page.scratch.data());
        const uint32_t drawn = std::min<uint32_t>(ImageBytes(code), image.size());
        // Code 1's stream starts after the header it does not hold.
        const PackedVariant& variant = *FindPackedVariant(code);
        const uint32_t first = variant.form == StreamForm::Forward ? variant.firstOutput : 2;
        for (uint32_t i = first; i < drawn; ++i)
            ASSERT_EQ(page.image[i], image[i]) << int(code) << " at " << i;
        for (uint32_t i = drawn; i < page.image.size; ++i)
            ASSERT_EQ(page.image[i], 0) << int(code) << " at " << i;
    }
}

// Repeated work on one open image gives the same answers.
class RepeatedDecode : public ::testing::TestWithParam<FormatCode> {};

TEST_P(RepeatedDecode, SamePictureAndSameImageInfo) {
    const FormatCode code = GetParam();
    const std::vector<uint8_t> memory = RandomMemory(500 + code);
    const std::vector<uint8_t> file = BuildLayoutFile(code, View(memory));
    TarnelImage image = nullptr;
    ASSERT_EQ(tarnel_test::OpenBytes(file, &image), RESULT_OK);
    auto* decoder = static_cast<C64Decoder*>(static_cast<ImageDecoder*>(image));
    ImageInfo before{};
    ASSERT_EQ(IDP_GetImageInfo(image, &before), RESULT_OK);
    const bool interlaced = decoder->Interlaced();

    const std::vector<uint8_t> first = tarnel_test::DecodeBlock(image);
    ImageInfo after{};
    EXPECT_EQ(IDP_GetImageInfo(image, &after), RESULT_OK);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(decoder->Code(), code);
    EXPECT_EQ(decoder->Interlaced(), interlaced);
    const std::vector<uint8_t> second = tarnel_test::DecodeBlock(image);
    ASSERT_EQ(first.size(), static_cast<size_t>(TARNEL_BITMAP_BLOCK_BYTES));
    EXPECT_TRUE(first == second);
    IDP_CloseImage(image);
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, RepeatedDecode, ::testing::ValuesIn(tarnel_test::AllCodes()),
                         tarnel_test::CodeName);

}  // namespace
}  // namespace tarnel
