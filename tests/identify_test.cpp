// Recognising the twenty layouts, the order of the tests, and the length probe.
#include "core/identify.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "authoring/layout_files.h"
#include "testing/random_memory.h"

namespace tarnel {
namespace {

using tarnel_test::RandomBytes;
using tarnel_test::RandomMemory;
using tarnel_test::View;

// Identifies a heap copy of exactly `file`'s size, so that a read past the
// end is caught by the address sanitizer.
Identification IdentifyExact(const std::vector<uint8_t>& file) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[file.size() + 1]);
    if (!file.empty()) std::memcpy(copy.get(), file.data(), file.size());
    return Identify(
        ByteView{file.empty() ? nullptr : copy.get(), static_cast<uint32_t>(file.size())});
}

std::vector<uint8_t> LoadSizeFile(uint8_t load0, uint8_t load1, size_t size, uint32_t seed = 1) {
    std::vector<uint8_t> file = RandomBytes(size, seed);
    file[0] = load0;
    file[1] = load1;
    // Make the last byte occur often so the length probe cannot reach 10,003 by chance.
    return file;
}

class EveryLayout : public ::testing::TestWithParam<FormatCode> {};

TEST_P(EveryLayout, BuiltFileIsIdentifiedAsItsCode) {
    const FormatCode code = GetParam();
    const LayoutInfo* layout = FindLayout(code);
    ASSERT_NE(layout, nullptr);
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        const std::vector<uint8_t> memory = RandomMemory(seed * 100 + code);
        const std::vector<uint8_t> file = BuildLayoutFile(code, View(memory));
        ASSERT_FALSE(file.empty()) << "code " << int(code);
        const Identification found = IdentifyExact(file);
        EXPECT_EQ(found.code, code) << "seed " << seed;
        EXPECT_TRUE(found.matched);
        EXPECT_EQ(found.interlaced, layout->interlaced);
    }
}

TEST_P(EveryLayout, EveryPrefixIsReadInsideTheFile) {
    // Identification of every cut-short file reads only its own bytes
    // (checked by the sanitizers) and never claims a size-tested layout.
    const FormatCode code = GetParam();
    const std::vector<uint8_t> memory = RandomMemory(7000 + code);
    const std::vector<uint8_t> file = BuildLayoutFile(code, View(memory));
    const size_t step = file.size() > 4000 ? 97 : 1;
    for (size_t n = 0; n < file.size(); n += (n < 40 ? 1 : step)) {
        const std::vector<uint8_t> prefix(file.begin(), file.begin() + n);
        const Identification found = IdentifyExact(prefix);
        if (n < 4) {
            EXPECT_EQ(found.code, 0) << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryLayout, ::testing::ValuesIn(tarnel_test::AllCodes()),
                         tarnel_test::CodeName);

TEST(Identify, TinyFilesAreNotRecognised) {
    for (size_t n = 0; n < 4; ++n) {
        for (int value = 0; value < 256; value += 15) {
            const std::vector<uint8_t> file(n, static_cast<uint8_t>(value));
            EXPECT_EQ(IdentifyExact(file).code, 0);
            EXPECT_FALSE(IdentifyExact(file).matched);
        }
    }
    EXPECT_EQ(ProbeUnpackedLength(ByteView{nullptr, 0}), 0u);
}

TEST(Identify, KoalaSizeWinsOverProbe) {
    // A 10,003-byte file beginning 00 60 whose probe also counts 10,003.
    std::vector<uint8_t> file(10003, 0x11);
    file[0] = 0x00;
    file[1] = 0x60;
    file.back() = 0xEE;  // occurs nowhere else: 10,002 literals
    EXPECT_EQ(ProbeUnpackedLength(View(file)), 10002u);
    EXPECT_EQ(IdentifyExact(file).code, 20);
    // With one run of four in place of three literals the probe counts
    // 10,003; the code-20 test runs later and still wins.
    file[10001] = 0xEE;  // escape: a run of file[10000] copies of file[9999]
    file[10000] = 4;
    EXPECT_EQ(ProbeUnpackedLength(View(file)), 10003u);
    EXPECT_EQ(IdentifyExact(file).code, 20);
    file[0] = 0x01;  // no longer a Koala load address: now the backward layout
    EXPECT_EQ(IdentifyExact(file).code, 19);
}

TEST(Identify, FliDesignerBothSizes) {
    EXPECT_EQ(IdentifyExact(LoadSizeFile(0x00, 0x3C, 17409)).code, 4);
    EXPECT_EQ(IdentifyExact(LoadSizeFile(0x00, 0x3C, 17410)).code, 4);
    EXPECT_EQ(IdentifyExact(LoadSizeFile(0x00, 0x3C, 17411)).code, 0);
}

TEST(Identify, DoodleSizes) {
    EXPECT_EQ(IdentifyExact(LoadSizeFile(0x00, 0x5C, 9217)).code, 16);
    EXPECT_EQ(IdentifyExact(LoadSizeFile(0x00, 0x5C, 9218)).code, 21);
}

TEST(Identify, FacePainterSizeIsNeverTheEscapeLayout) {
    // A Face Painter picture with a black background and an empty first
    // cell: bytes 2, 10,002 and 10,003 are all 0. It passes the packed test's
    // byte checks but keeps the Face Painter code.
    std::vector<uint8_t> file = LoadSizeFile(0x00, 0x40, 10004);
    file[2] = 0;
    file[10002] = 0;
    file[10003] = 0;
    EXPECT_EQ(IdentifyExact(file).code, 9);
    // The same bytes in a file of another size below 12,000 are the packed layout.
    std::vector<uint8_t> shorter(file.begin(), file.end() - 1);
    shorter[10001] = 0;
    shorter[10002] = 0;
    EXPECT_EQ(IdentifyExact(shorter).code, 11);
    std::vector<uint8_t> longer = file;
    longer.push_back(0);
    EXPECT_EQ(IdentifyExact(longer).code, 11);
}

TEST(Identify, EscapeLayoutLimits) {
    EXPECT_EQ(IdentifyExact({0x00, 0x40, 0x7A, 0x00}).code, 11);
    EXPECT_EQ(IdentifyExact({0x00, 0x40, 0x7A, 0x01}).code, 0);
    std::vector<uint8_t> big(11999, 0x33);
    big[0] = 0x00;
    big[1] = 0x40;
    big[2] = 0x7A;
    big[11997] = 0x7A;
    big[11998] = 0x00;
    EXPECT_EQ(IdentifyExact(big).code, 11);
    // 12,000 bytes: too long for the ordered test, and for the one that
    // follows the stream to its end marker when nothing matched.
    big.insert(big.begin() + 3, 0x33);
    EXPECT_EQ(IdentifyExact(big).code, 0);
}

// Load 00 40 and the given stream bytes, one after another.
std::vector<uint8_t> EscapeBitmap(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> file = {0x00, 0x40};
    for (const std::vector<uint8_t>& part : parts)
        file.insert(file.end(), part.begin(), part.end());
    return file;
}

// `count` literals, none of them 0x00, 0x05 or 0xEE.
std::vector<uint8_t> Literals(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(0x10 + i % 200);
    return bytes;
}

TEST(Identify, EscapeLayoutStreamOpeningWithALiteral) {
    // Byte 2 is a literal, so the ordered code-11 test misses these; the
    // stream, read with the escape byte at size-2, decides.
    const std::vector<uint8_t> E = {0xEE};
    const std::vector<uint8_t> END = {0xEE, 0x00};
    const struct {
        const char* what;
        std::vector<uint8_t> file;
        FormatCode code;
    } cases[] = {
        {"10,001 bytes written", EscapeBitmap({Literals(1), E, {5, 0x33}, Literals(9995), END}),
         11},
        {"10,000 bytes written", EscapeBitmap({Literals(1), E, {4, 0x33}, Literals(9995), END}), 0},
        // With escape byte 0, a file ending 0, 0 has its end marker there;
        // ending 0, 0, 0 it has it one byte early.
        {"escape 0", EscapeBitmap({Literals(10001), {0x00, 0x00}}), 11},
        {"end marker one byte early", EscapeBitmap({Literals(10001), {0x00, 0x00, 0x00}}), 0},
        {"end marker earlier", EscapeBitmap({Literals(5000), END, Literals(5001), END}), 0},
        // The last two bytes 5, 0 are the length and value of a run opened
        // by the 5 before them: the stream ends with the file, unmarked.
        {"no end marker", EscapeBitmap({Literals(10001), {0x05, 0x05, 0x00}}), 0},
        {"run cut by the end", EscapeBitmap({Literals(10001), {0xEE, 0x07}}), 0},
        // A file one of the twenty tests takes keeps that test's code.
        {"Face Painter size", EscapeBitmap({Literals(1), E, {5, 0x33}, Literals(9996), END}), 9},
    };
    for (const auto& c : cases) {
        const Identification found = IdentifyExact(c.file);
        EXPECT_EQ(found.code, c.code) << c.what;
        EXPECT_EQ(found.matched, c.code != 0) << c.what;
        EXPECT_FALSE(found.interlaced) << c.what;
    }
}

TEST(Identify, GunpaintSignatureThenLaterLoadAndSize) {
    std::vector<uint8_t> file = LoadSizeFile(0x00, 0x40, 16385);
    std::memcpy(file.data() + GUNPAINT_SIGNATURE_OFFSET, GUNPAINT_SIGNATURE, 13);
    const Identification found = IdentifyExact(file);
    EXPECT_EQ(found.code, 17);
    EXPECT_FALSE(found.interlaced);  // the flag belongs to the returned code
}

TEST(Identify, FunpaintAndGunpaintSignaturesTogetherAreGunpaint) {
    std::vector<uint8_t> file = RandomBytes(20000, 3);
    std::memcpy(file.data(), FUNPAINT_SIGNATURE, 16);
    std::memcpy(file.data() + GUNPAINT_SIGNATURE_OFFSET, GUNPAINT_SIGNATURE, 13);
    EXPECT_EQ(IdentifyExact(file).code, 3);
}

TEST(Identify, FunpaintPackingFlag) {
    std::vector<uint8_t> file(17, 0);
    std::memcpy(file.data(), FUNPAINT_SIGNATURE, 16);
    EXPECT_EQ(IdentifyExact(file).code, 2);
    file[16] = 0x80;
    EXPECT_EQ(IdentifyExact(file).code, 1);
    file.pop_back();  // the signature alone, no packing flag
    EXPECT_EQ(IdentifyExact(file).code, 0);
}

TEST(Identify, SignaturesCutByTheEndOfTheFile) {
    std::vector<uint8_t> drazlace(DRAZLACE_SIGNATURE, DRAZLACE_SIGNATURE + 15);
    EXPECT_EQ(IdentifyExact(drazlace).code, 7);
    drazlace.pop_back();
    EXPECT_EQ(IdentifyExact(drazlace).code, 0);

    std::vector<uint8_t> gunpaint(GUNPAINT_SIGNATURE_OFFSET + 13, 0x21);
    std::memcpy(gunpaint.data() + GUNPAINT_SIGNATURE_OFFSET, GUNPAINT_SIGNATURE, 13);
    EXPECT_EQ(IdentifyExact(gunpaint).code, 3);
    gunpaint.pop_back();
    EXPECT_EQ(IdentifyExact(gunpaint).code, 0);

    std::vector<uint8_t> fliGraph = {0xF0, 0x38, 0x00, 0x12, 0x34, 0x3F, 0x7F, 0x00};
    EXPECT_EQ(IdentifyExact(fliGraph).code, 14);
    fliGraph.pop_back();
    EXPECT_EQ(IdentifyExact(fliGraph).code, 0);
}

TEST(Identify, DrazlaceSignatureAtDrazlaceSizeIsPacked) {
    std::vector<uint8_t> file = LoadSizeFile(0x00, 0x58, 18242);
    EXPECT_EQ(IdentifyExact(file).code, 6);
    std::memcpy(file.data(), DRAZLACE_SIGNATURE, 15);
    EXPECT_EQ(IdentifyExact(file).code, 7);
}

TEST(Identify, UniqueLastByteMakesTheBackwardLayout) {
    // A 10,004-byte file whose last byte occurs nowhere else counts 10,003
    // literals and is the backward-packed layout, even when it begins 00 40.
    std::vector<uint8_t> file(10004);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i % 200);
    file[0] = 0x00;
    file[1] = 0x40;
    file.back() = 0xF9;
    EXPECT_EQ(ProbeUnpackedLength(View(file)), 10003u);
    EXPECT_EQ(IdentifyExact(file).code, 19);
}

TEST(Probe, RunsAndTheirLimits) {
    // V, 0, E, E: one run whose length byte 0 means 256.
    EXPECT_EQ(ProbeUnpackedLength(View({0x42, 0x00, 0x99, 0x99})), 256u);
    // A run of 5 and two literals.
    EXPECT_EQ(ProbeUnpackedLength(View({0x10, 0x11, 0x42, 0x05, 0x99, 0x99})), 7u);
    // An escape at offset 1 or 0 would need bytes before the file: not counted, and the probe ends.
    EXPECT_EQ(ProbeUnpackedLength(View({0x10, 0x99, 0x20, 0x99})), 1u);
    EXPECT_EQ(ProbeUnpackedLength(View({0x99, 0x20, 0x99})), 1u);
    EXPECT_EQ(ProbeUnpackedLength(View({0x99})), 0u);
    EXPECT_EQ(ProbeUnpackedLength(View({0x10, 0x99})), 1u);
}

TEST(Probe, LargestFileCannotOverflow) {
    std::vector<uint8_t> file(MAX_FILE_BYTES);
    for (size_t i = 0; i + 2 < file.size(); i += 3) {
        file[i] = 1;
        file[i + 1] = 0;  // 256
        file[i + 2] = 0xEE;
    }
    file.back() = 0xEE;
    // Two literals below the final escape, then 12,287 runs of 256.
    EXPECT_EQ(ProbeUnpackedLength(View(file)), 12287u * 256u + 2u);
}

TEST(LoadAndSize, KnownForSizeTestedLayouts) {
    LoadAndSize found{};
    ASSERT_TRUE(FindLoadAndSize(20, &found));
    EXPECT_EQ(found.load0, 0x00);
    EXPECT_EQ(found.load1, 0x60);
    EXPECT_EQ(found.size, 10003u);
    ASSERT_TRUE(FindLoadAndSize(4, &found));
    EXPECT_EQ(found.size, 17409u);
    EXPECT_FALSE(FindLoadAndSize(3, &found));
    EXPECT_FALSE(FindLoadAndSize(19, &found));
}

}  // namespace
}  // namespace tarnel
