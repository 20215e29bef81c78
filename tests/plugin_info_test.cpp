// The plug-in and format records, before and after IDP_Init.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/tarnel_api.h"

namespace {

bool AllZero(const void* bytes, size_t count) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        if (p[i] != 0) return false;
    }
    return true;
}

// A text field holds the text, a zero, and zeros to its end.
void ExpectTextField(const char* field, size_t width, const std::string& text) {
    EXPECT_EQ(std::string(field), text);
    EXPECT_TRUE(AllZero(field + text.size(), width - text.size()));
}

// Runs first in its own program: nothing has called IDP_Init yet.
TEST(PlugInInfo, AAllZeroBeforeInit) {
    PlugInInfo* info = nullptr;
    ASSERT_EQ(IDP_GetPlugInInfo(&info), RESULT_OK);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->formatCount, 0u);
    EXPECT_EQ(info->formats, nullptr);
    EXPECT_TRUE(AllZero(info, sizeof *info));
}

TEST(PlugInInfo, FilledByInit) {
    ASSERT_EQ(IDP_Init(12345), RESULT_OK);
    PlugInInfo* info = nullptr;
    ASSERT_EQ(IDP_GetPlugInInfo(&info), RESULT_OK);
    EXPECT_EQ(info->reserved0, 0u);
    EXPECT_EQ(info->version, 100u);
    ExpectTextField(info->name, sizeof info->name, "Vedozedez64 Oziduruv Evadovu");
    EXPECT_EQ(info->reserved48, 0u);
    ASSERT_EQ(info->formatCount, 1u);
    ASSERT_NE(info->formats, nullptr);

    const FormatInfo& format = info->formats[0];
    EXPECT_EQ(format.reserved0, 0u);
    unsigned char tag[4];
    std::memcpy(tag, &format.typeTag, 4);
    EXPECT_EQ(tag[0], 'v');
    EXPECT_EQ(tag[1], 'i');
    EXPECT_EQ(tag[2], 'c');
    EXPECT_EQ(tag[3], 0);
    EXPECT_EQ(format.typeTag, 0x00636976u);
    ExpectTextField(format.description, sizeof format.description, "Commodore64 Graphic Files");
    ExpectTextField(format.shortName, sizeof format.shortName, "VIC");
    ExpectTextField(format.defaultExtension, sizeof format.defaultExtension, "VIC");
    ASSERT_NE(format.extensionList, nullptr);
    EXPECT_EQ(std::memcmp(format.extensionList, "vic", 4), 0);
    EXPECT_EQ(format.reserved68, 0u);
    EXPECT_EQ(format.one, 1u);
    EXPECT_EQ(format.reserved76, 0u);
}

TEST(PlugInInfo, SameAddressEveryCallAndInitIsRepeatable) {
    PlugInInfo* first = nullptr;
    PlugInInfo* second = nullptr;
    ASSERT_EQ(IDP_Init(0), RESULT_OK);
    IDP_GetPlugInInfo(&first);
    PlugInInfo copy;
    std::memcpy(&copy, first, sizeof copy);
    ASSERT_EQ(IDP_Init(0), RESULT_OK);
    IDP_GetPlugInInfo(&second);
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::memcmp(&copy, second, sizeof copy), 0);
}

}  // namespace
