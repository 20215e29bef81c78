// The resources of the built tarnel.apl, read back the way the viewer and
// Windows read them (LoadLibrary, FindResourceEx, LoadResource): the About
// box's template byte for byte, the string table, and both icon groups with
// their three images, which must be the artwork's own.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "authoring/icon_art.h"
#include "resources/about_dialog_template.h"
#include "tests/about_dialog_expected.h"

#ifndef TARNEL_MODULE_PATH
#error "TARNEL_MODULE_PATH must name the built tarnel.apl"
#endif

namespace {

constexpr WORD kEnglishUs = 1033;

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = LoadLibraryA(TARNEL_MODULE_PATH); }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load " << TARNEL_MODULE_PATH; }

    // The bytes of a resource in US English; empty when there is none.
    static std::vector<uint8_t> Bytes(LPCSTR type, WORD id) {
        HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), kEnglishUs);
        if (found == nullptr) return {};
        HGLOBAL loaded = LoadResource(module_, found);
        const DWORD size = SizeofResource(module_, found);
        const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
        if (data == nullptr) return {};
        return std::vector<uint8_t>(data, data + size);
    }

    static HMODULE module_;
};

HMODULE Resources::module_ = nullptr;

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR into) {
    reinterpret_cast<std::set<WORD>*>(into)->insert(language);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR into) {
    if (IS_INTRESOURCE(name))
        reinterpret_cast<std::set<int>*>(into)->insert(
            static_cast<int>(reinterpret_cast<uintptr_t>(name)));
    else
        reinterpret_cast<std::set<int>*>(into)->insert(-1);  // a named resource
    return TRUE;
}

std::set<int> NamesOf(HMODULE module, LPCSTR type) {
    std::set<int> names;
    EnumResourceNamesA(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

std::set<WORD> LanguagesOf(HMODULE module, LPCSTR type, WORD id) {
    std::set<WORD> languages;
    EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// The six free credit lines, as the template data gives them.
std::vector<std::string> CreditLines() {
    struct Entry {
        int classAtom;
        const char* text;
    };
#define TARNEL_TEST_ENTRY(id, classAtom, text, style, x, y, width, height) {classAtom, text},
    const Entry entries[] = {TARNEL_ABOUT_CONTROLS(TARNEL_TEST_ENTRY)};
#undef TARNEL_TEST_ENTRY
    std::vector<std::string> lines;
    for (const Entry& entry : entries) {
        if (entry.classAtom == TARNEL_CLASS_STATIC &&
            entry.text != std::string(tarnel_test::kSupportedTypesLine))
            lines.push_back(entry.text);
    }
    return lines;
}

// ---------------------------------------------------------------------------

TEST_F(Resources, AboutTemplateIsTheClassicTemplateOfTheTable) {
    EXPECT_EQ(NamesOf(module_, MAKEINTRESOURCEA(5) /* RT_DIALOG */), (std::set<int>{3}));
    EXPECT_EQ(LanguagesOf(module_, RT_DIALOG, 3), (std::set<WORD>{kEnglishUs}));
    const std::vector<uint8_t> bytes = Bytes(RT_DIALOG, 3);
    ASSERT_GE(bytes.size(), 18u) << "no dialog 3";
    // An extended template begins with version 1 and signature 0xFFFF.
    EXPECT_FALSE(Le16(bytes, 0) == 1 && Le16(bytes, 2) == 0xFFFF) << "extended template";
    const std::vector<std::string> credits = CreditLines();
    ASSERT_EQ(credits.size(), static_cast<size_t>(tarnel_test::kCreditLineCount));
    const std::vector<uint8_t> expected = tarnel_test::ClassicTemplateBytes(credits);
    ASSERT_EQ(bytes.size(), expected.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ(bytes[i], expected[i]) << "first difference at byte " << i;
    }
    // Spot checks of the fields in the header, in plain numbers.
    EXPECT_EQ(Le32(bytes, 0), 0x80C800C0u);  // style
    EXPECT_EQ(Le32(bytes, 4), 0u);           // extended style
    EXPECT_EQ(Le16(bytes, 8), 17u);          // controls
    EXPECT_EQ(Le16(bytes, 14), 227u);
    EXPECT_EQ(Le16(bytes, 16), 186u);
}

TEST_F(Resources, StringTable) {
    const struct {
        UINT id;
        const char* text;
    } strings[] = {
        {1, "Vedozedez64 Oziduruv Evadovu"},
        {4, "VIC"},
        {5, "Commodore64 Graphic Files"},
        {6, "VIC"},
    };
    for (const auto& s : strings) {
        char buffer[64] = {};
        EXPECT_EQ(LoadStringA(module_, s.id, buffer, sizeof buffer),
                  static_cast<int>(std::string(s.text).size()));
        EXPECT_EQ(std::string(buffer), s.text) << "string " << s.id;
    }
    // The raw block of strings 0 to 15: sixteen counted UTF-16 strings, only
    // the four above not empty.
    EXPECT_EQ(LanguagesOf(module_, RT_STRING, 1), (std::set<WORD>{kEnglishUs}));
    const std::vector<uint8_t> block = Bytes(RT_STRING, 1);
    ASSERT_FALSE(block.empty());
    std::vector<std::string> texts;
    size_t at = 0;
    for (int i = 0; i < 16; ++i) {
        const uint32_t length = Le16(block, at);
        at += 2;
        std::string text;
        for (uint32_t c = 0; c < length; ++c, at += 2)
            text.push_back(static_cast<char>(Le16(block, at)));
        texts.push_back(text);
    }
    const std::vector<std::string> expected = {"",    "Vedozedez64 Oziduruv Evadovu",
                                               "",    "",
                                               "VIC", "Commodore64 Graphic Files",
                                               "VIC", "",
                                               "",    "",
                                               "",    "",
                                               "",    "",
                                               "",    ""};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(NamesOf(module_, RT_STRING), (std::set<int>{1}));
}

struct GroupEntry {
    uint32_t width, height, colourCount, planes, bitsPerPixel, bytes, id;
};

std::vector<GroupEntry> ParseGroup(const std::vector<uint8_t>& group) {
    std::vector<GroupEntry> entries;
    if (group.size() < 6 || Le16(group, 0) != 0 || Le16(group, 2) != 1) return entries;
    const uint32_t count = Le16(group, 4);
    if (group.size() != 6 + 14 * count) return entries;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t e = 6 + 14 * i;
        entries.push_back({group[e], group[e + 1], group[e + 2], Le16(group, e + 4),
                           Le16(group, e + 6), Le32(group, e + 8), Le16(group, e + 12)});
    }
    return entries;
}

TEST_F(Resources, IconGroupsTwoAndSevenHoldTheArtwork) {
    EXPECT_EQ(NamesOf(module_, RT_GROUP_ICON), (std::set<int>{2, 7}));
    const std::vector<tarnel_tools::IconImage> art = tarnel_tools::DrawIconImages();
    ASSERT_EQ(art.size(), 3u);
    const GroupEntry sizes[3] = {
        {32, 32, 16, 1, 4, 0, 0}, {16, 16, 16, 1, 4, 0, 0}, {32, 32, 0, 1, 8, 0, 0}};
    std::vector<std::vector<uint8_t>> imagesOfGroup[2];
    int g = 0;
    for (WORD groupId : {WORD{2}, WORD{7}}) {
        SCOPED_TRACE(groupId);
        EXPECT_EQ(LanguagesOf(module_, RT_GROUP_ICON, groupId), (std::set<WORD>{kEnglishUs}));
        const std::vector<uint8_t> group = Bytes(RT_GROUP_ICON, groupId);
        const std::vector<GroupEntry> entries = ParseGroup(group);
        ASSERT_EQ(entries.size(), 3u) << "group " << groupId << " is not three images";
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(entries[i].width, sizes[i].width);
            EXPECT_EQ(entries[i].height, sizes[i].height);
            EXPECT_EQ(entries[i].colourCount, sizes[i].colourCount);
            EXPECT_EQ(entries[i].planes, 1u);
            EXPECT_EQ(entries[i].bitsPerPixel, sizes[i].bitsPerPixel);
            const std::vector<uint8_t> image = Bytes(RT_ICON, static_cast<WORD>(entries[i].id));
            EXPECT_EQ(image.size(), entries[i].bytes);
            EXPECT_TRUE(image == art[i].bytes) << "icon image differs from the artwork";
            imagesOfGroup[g].push_back(image);

            // Windows itself can make an icon of it, of the stated size.
            HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(image.data()),
                                                  static_cast<DWORD>(image.size()), TRUE,
                                                  0x00030000, 0, 0, LR_DEFAULTCOLOR);
            ASSERT_NE(icon, nullptr);
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP mask{};
            GetObjectA(info.hbmMask, sizeof mask, &mask);
            EXPECT_EQ(static_cast<uint32_t>(mask.bmWidth), sizes[i].width);
            if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
        // Windows picks the small image for a 16 x 16 request.
        const int picked =
            LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data()), TRUE, 16, 16, 0);
        EXPECT_EQ(static_cast<uint32_t>(picked), entries[1].id);
        ++g;
    }
    EXPECT_TRUE(imagesOfGroup[0] == imagesOfGroup[1]) << "the two groups differ";
}

}  // namespace
