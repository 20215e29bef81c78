// The records crossing the boundary to the host: layout and byte values.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "plugin/tarnel_api.h"

namespace {

// Address fields are as wide as a pointer; every other field is 32 bits.
constexpr size_t kAddress = sizeof(void*);

TEST(Records, FieldWidths) {
    EXPECT_EQ(sizeof(HostImageSource::size), 4u);
    EXPECT_EQ(sizeof(HostImageSource::data), kAddress);
    EXPECT_EQ(sizeof(HostImageSource::readCallback), kAddress);
    EXPECT_EQ(sizeof(HostImageSource::userValue), kAddress);
    EXPECT_EQ(sizeof(ImageInfo), 28u);
    EXPECT_EQ(sizeof(PageInfo), 20u);
    EXPECT_EQ(sizeof(FormatInfo::description), 40u);
    EXPECT_EQ(sizeof(FormatInfo::shortName), 8u);
    EXPECT_EQ(sizeof(FormatInfo::defaultExtension), 8u);
    EXPECT_EQ(sizeof(PlugInInfo::name), 40u);
}

TEST(Records, ThirtyTwoBitLayoutMatchesTheHost) {
    if (kAddress != 4) GTEST_SKIP() << "the host's exact layout applies to 32-bit builds";
    EXPECT_EQ(sizeof(HostImageSource), 24u);
    EXPECT_EQ(offsetof(HostImageSource, readCallback), 16u);
    EXPECT_EQ(sizeof(PlugInInfo), 60u);
    EXPECT_EQ(offsetof(PlugInInfo, formats), 56u);
    EXPECT_EQ(sizeof(FormatInfo), 80u);
    EXPECT_EQ(offsetof(FormatInfo, extensionList), 56u);
    EXPECT_EQ(offsetof(FormatInfo, defaultExtension), 60u);
    EXPECT_EQ(sizeof(PageBitmap), 12u);
}

TEST(Records, ResultCodes) {
    EXPECT_EQ(RESULT_OK, 0);
    EXPECT_EQ(RESULT_NO_MEMORY, -1);
    EXPECT_EQ(RESULT_NOT_SUPPORTED, -4);
    EXPECT_EQ(RESULT_READ_FAILED, -5);
    EXPECT_EQ(RESULT_BAD_FORMAT, -6);
    EXPECT_EQ(RESULT_BAD_PAGE, -9);
}

}  // namespace
