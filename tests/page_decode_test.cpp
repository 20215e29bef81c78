// The decoded page as the host receives it: the block, its header and rows,
// the colour table, and what happens when memory runs out.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "authoring/layout_files.h"
#include "core/palette.h"
#include "platform/allocation.h"
#include "plugin/dib.h"
#include "testing/c64_model.h"
#include "testing/host.h"
#include "testing/random_memory.h"

namespace tarnel {
namespace {

using tarnel_test::RandomBytes;
using tarnel_test::View;

uint32_t U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::vector<uint8_t> KoalaFile(uint32_t seed) {
    const std::vector<uint8_t> memory = RandomBytes(MEMORY_IMAGE_BYTES, seed);
    return BuildLayoutFile(20, View(memory));
}

TEST(ColourTable, PaletteMode) {
    ColourTable table{};
    std::memset(&table, 0x5A, sizeof table);
    BuildColourTable(false, &table);
    const struct {
        int index;
        uint8_t r, g, b;
    } cases[] = {{0, 10, 10, 10},
                 {1, 255, 255, 255},
                 {2, 139, 31, 0},
                 {11, 69, 68, 68},
                 {15, 187, 187, 187}};
    for (const auto& c : cases) {
        EXPECT_EQ(table.red[c.index], c.r) << c.index;
        EXPECT_EQ(table.green[c.index], c.g) << c.index;
        EXPECT_EQ(table.blue[c.index], c.b) << c.index;
    }
    for (int i = 16; i < 256; ++i) EXPECT_EQ(table.red[i], 0x5A) << "entries above 15 untouched";
}

TEST(ColourTable, BlendMode) {
    ColourTable table{};
    BuildColourTable(true, &table);
    const struct {
        int index;
        uint8_t r, g, b;
    } cases[] = {{0x01, 132, 132, 132}, {0x10, 132, 132, 132}, {0x27, 191, 133, 40},
                 {0x72, 191, 133, 40},  {0x77, 243, 235, 81},  {0x0F, 98, 98, 98},
                 {0x00, 10, 10, 10}};
    for (const auto& c : cases) {
        EXPECT_EQ(table.red[c.index], c.r) << c.index;
        EXPECT_EQ(table.green[c.index], c.g) << c.index;
        EXPECT_EQ(table.blue[c.index], c.b) << c.index;
    }
    for (int j = 0; j < 16; ++j) {
        for (int k = 0; k < 16; ++k) {
            EXPECT_EQ(table.red[16 * j + k], table.red[16 * k + j]);
            EXPECT_EQ(table.blue[16 * j + k], table.blue[16 * k + j]);
        }
        const tarnel_test::Rgb own = tarnel_test::ModelPalette(j);
        EXPECT_EQ(table.red[17 * j], own.r);
        EXPECT_EQ(table.green[17 * j], own.g);
        EXPECT_EQ(table.blue[17 * j], own.b);
    }
}

TEST(Bitmap, HeaderRowsAndByteOrder) {
    std::vector<uint8_t> indices(PICTURE_PIXELS);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i % 16);
    indices[0] = 2;                 // top-left
    indices[199 * 320 + 319] = 11;  // bottom-right
    ColourTable table{};
    BuildColourTable(false, &table);
    std::vector<uint8_t> block(TARNEL_BITMAP_BLOCK_BYTES + 16, 0xEE);
    WriteDib(indices.data(), table, block.data());

    EXPECT_EQ(U32(&block[0]), 40u);
    EXPECT_EQ(U32(&block[4]), 320u);
    EXPECT_EQ(U32(&block[8]), 200u);
    EXPECT_EQ(U16(&block[12]), 1u);
    EXPECT_EQ(U16(&block[14]), 24u);
    for (int i = 16; i < 40; ++i) EXPECT_EQ(block[i], 0) << i;
    // The first row in the block is the bottom picture row.
    const uint8_t* bottomRight = &block[40 + 319 * 3];
    EXPECT_EQ(bottomRight[0], 68);
    EXPECT_EQ(bottomRight[1], 68);
    EXPECT_EQ(bottomRight[2], 69);
    const uint8_t* topLeft = &block[40 + 199 * 960];
    EXPECT_EQ(topLeft[0], 0x00);  // blue
    EXPECT_EQ(topLeft[1], 0x1F);  // green
    EXPECT_EQ(topLeft[2], 0x8B);  // red
    for (size_t i = TARNEL_BITMAP_BLOCK_BYTES; i < block.size(); ++i) {
        EXPECT_EQ(block[i], 0xEE) << "nothing written past the block";
    }
    // Every picture row appears exactly once, in reverse order.
    for (int r = 0; r < 200; ++r) {
        for (int x = 0; x < 320; x += 53) {
            const uint8_t index = indices[(199 - r) * 320 + x];
            const uint8_t* p = &block[40 + r * 960 + x * 3];
            ASSERT_EQ(p[0], table.blue[index]);
            ASSERT_EQ(p[1], table.green[index]);
            ASSERT_EQ(p[2], table.red[index]);
        }
    }
}

TEST(PageDecode, BlockRecordAndPageIndex) {
    TarnelImage image = nullptr;
    ASSERT_EQ(tarnel_test::OpenBytes(KoalaFile(3), &image), RESULT_OK);
    std::vector<uint8_t> first;
    std::vector<HGLOBAL> blocks;
    for (int32_t page : {0, 1, -1, 1000}) {
        PageBitmap bitmap;
        bitmap.hostField0 = 0xDEADBEEFu;
        bitmap.bitmap = nullptr;
        bitmap.zero = 0x12345678u;
        ASSERT_EQ(IDP_PageDecode(image, page, &bitmap), RESULT_OK);
        EXPECT_EQ(bitmap.hostField0, 0xDEADBEEFu) << "the host's field is not touched";
        EXPECT_EQ(bitmap.zero, 0u);
        ASSERT_NE(bitmap.bitmap, nullptr);
        EXPECT_EQ(GlobalSize(bitmap.bitmap), static_cast<size_t>(TARNEL_BITMAP_BLOCK_BYTES));
        for (HGLOBAL earlier : blocks) EXPECT_NE(earlier, bitmap.bitmap) << "a new block each time";
        blocks.push_back(bitmap.bitmap);
        const auto* bytes = static_cast<const uint8_t*>(GlobalLock(bitmap.bitmap));
        std::vector<uint8_t> copy(bytes, bytes + TARNEL_BITMAP_BLOCK_BYTES);
        GlobalUnlock(bitmap.bitmap);
        if (first.empty()) {
            first = copy;
        } else {
            EXPECT_TRUE(copy == first) << "page " << page << " decodes the one page";
        }
    }
    for (HGLOBAL block : blocks) GlobalFree(block);
    IDP_CloseImage(image);
}

TEST(PageDecode, BlockOutlivesTheImage) {
    TarnelImage image = nullptr;
    ASSERT_EQ(tarnel_test::OpenBytes(KoalaFile(4), &image), RESULT_OK);
    PageBitmap bitmap{};
    ASSERT_EQ(IDP_PageDecode(image, 0, &bitmap), RESULT_OK);
    const std::vector<uint8_t> before(
        static_cast<uint8_t*>(GlobalLock(bitmap.bitmap)),
        static_cast<uint8_t*>(GlobalLock(bitmap.bitmap)) + TARNEL_BITMAP_BLOCK_BYTES);
    IDP_CloseImage(image);
    const auto* after = static_cast<const uint8_t*>(GlobalLock(bitmap.bitmap));
    EXPECT_EQ(std::memcmp(before.data(), after, before.size()), 0);
    GlobalFree(bitmap.bitmap);
}

// Memory that cannot be had while decoding.
platform::AllocationSite failingSite;
bool FailAt(platform::AllocationSite site) {
    return site == failingSite;
}

class PageDecodeOutOfMemory : public ::testing::TestWithParam<platform::AllocationSite> {
protected:
    void TearDown() override { platform::SetAllocationHook(nullptr); }
};

TEST_P(PageDecodeOutOfMemory, ReportsNoMemoryAndHandsOverNothing) {
    TarnelImage image = nullptr;
    const std::vector<uint8_t> file = KoalaFile(5);
    ASSERT_EQ(tarnel_test::OpenBytes(file, &image), RESULT_OK);
    failingSite = GetParam();
    platform::SetAllocationHook(FailAt);
    PageBitmap bitmap;
    bitmap.hostField0 = 1;
    bitmap.bitmap = reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(0x600DF00Du));
    bitmap.zero = 7;
    EXPECT_EQ(IDP_PageDecode(image, 0, &bitmap), RESULT_NO_MEMORY);
    EXPECT_EQ(bitmap.bitmap, reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(0x600DF00Du)))
        << "no handle to an unfilled block";
    EXPECT_EQ(bitmap.hostField0, 1u);
    // Once memory is back, the same decoder decodes normally.
    platform::SetAllocationHook(nullptr);
    EXPECT_TRUE(tarnel_test::DecodeBlock(image) == tarnel_test::DecodeFile(file));
    IDP_CloseImage(image);
}

INSTANTIATE_TEST_SUITE_P(Sites, PageDecodeOutOfMemory,
                         ::testing::Values(platform::AllocationSite::BitmapBlock,
                                           platform::AllocationSite::BitmapLock));

}  // namespace
}  // namespace tarnel
