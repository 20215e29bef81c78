// The desktop's ways of recognising a file agree with the decoder's table:
// the magic of mime/tarnel.xml names exactly the load addresses and
// signatures identification tests, its globs exactly the extensions of the
// layout rows, each type's globs and load addresses those of the same
// layouts, and the gdk-pixbuf loader's signature
// patterns (read from the built module through fill_info) pick up a file
// of every layout that has a fixed header and no file of none.
//
//   tarnel_desktop_table_test MIME_XML LOADER_MODULE
#include <dlfcn.h>
// The module interface: the record fill_info fills.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/pack.h"
#include "core/identify.h"
#include "core/layouts.h"
#include "testing/random_memory.h"

namespace {

std::string g_mimeXml;
std::string g_loaderModule;

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "\xf0?FUNPAINT" as bytes.
std::string Unescape(const std::string& value) {
    std::string bytes;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 3 < value.size() + 1 && value[i + 1] == 'x') {
            bytes += static_cast<char>(std::stoi(value.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            bytes += value[i];
        }
    }
    return bytes;
}

std::set<uint32_t> IdentifiedLoadAddresses() {
    std::set<uint32_t> loads;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        tarnel::LoadAndSize found{};
        if (tarnel::FindLoadAndSize(layout.code, &found))
            loads.insert(found.load0 | found.load1 << 8);
    }
    return loads;
}

std::string Bytes(const uint8_t* bytes, size_t count) {
    return std::string(reinterpret_cast<const char*>(bytes), count);
}

TEST(DesktopTable, MimeMagicNamesTheLoadAddressesAndSignatures) {
    const std::string xml = ReadText(g_mimeXml);
    ASSERT_FALSE(xml.empty()) << g_mimeXml;
    std::set<uint32_t> loads;
    const std::regex little16("<match type=\"little16\" value=\"0x([0-9a-fA-F]+)\" offset=\"0\"/>");
    for (auto m = std::sregex_iterator(xml.begin(), xml.end(), little16);
         m != std::sregex_iterator(); ++m) {
        loads.insert(static_cast<uint32_t>(std::stoul((*m)[1].str(), nullptr, 16)));
    }
    EXPECT_EQ(loads, IdentifiedLoadAddresses());

    std::set<std::pair<std::string, uint32_t>> strings;
    const std::regex text(
        "<match type=\"string\" value=\"([^\"]*)\"\\s*(?:mask=\"([^\"]*)\"\\s*)?"
        "offset=\"([0-9]+)\"/>");
    for (auto m = std::sregex_iterator(xml.begin(), xml.end(), text); m != std::sregex_iterator();
         ++m) {
        std::string value = Unescape((*m)[1].str());
        const std::string mask = (*m)[2].str();
        // Masked bytes are not compared: show them as '.'.
        for (size_t i = 0; mask.size() > 2 && i < value.size(); ++i) {
            if (mask.substr(2 + 2 * i, 2) == "00") value[i] = '.';
        }
        strings.insert({value, static_cast<uint32_t>(std::stoul((*m)[3].str()))});
    }
    std::string fliGraph = Bytes(tarnel::FLI_GRAPH_PACKED_HEADER, 8);
    for (int i = 2; i <= 4; ++i) fliGraph[i] = '.';
    const std::set<std::pair<std::string, uint32_t>> expected = {
        {Bytes(tarnel::FUNPAINT_SIGNATURE, sizeof tarnel::FUNPAINT_SIGNATURE), 0},
        {Bytes(tarnel::DRAZLACE_SIGNATURE, sizeof tarnel::DRAZLACE_SIGNATURE), 0},
        {Bytes(tarnel::GUNPAINT_SIGNATURE, sizeof tarnel::GUNPAINT_SIGNATURE),
         tarnel::GUNPAINT_SIGNATURE_OFFSET},
        {fliGraph, 0},
    };
    EXPECT_EQ(strings, expected);
}

// One mime-type element of tarnel.xml: its globs' extensions and the load
// addresses its magic names.
struct MimeType {
    std::string name;
    std::set<std::string> extensions;
    std::set<uint32_t> loads;
};

std::vector<MimeType> ReadMimeTypes(const std::string& xml) {
    std::vector<MimeType> types;
    const std::regex element("<mime-type type=\"([^\"]+)\">([\\s\\S]*?)</mime-type>");
    const std::regex glob("<glob pattern=\"\\*\\.([a-z0-9]+)\"/>");
    const std::regex little16("<match type=\"little16\" value=\"0x([0-9a-fA-F]+)\" offset=\"0\"/>");
    for (auto t = std::sregex_iterator(xml.begin(), xml.end(), element);
         t != std::sregex_iterator(); ++t) {
        MimeType type{(*t)[1].str(), {}, {}};
        const std::string body = (*t)[2].str();
        for (auto m = std::sregex_iterator(body.begin(), body.end(), glob);
             m != std::sregex_iterator(); ++m) {
            type.extensions.insert((*m)[1].str());
        }
        for (auto m = std::sregex_iterator(body.begin(), body.end(), little16);
             m != std::sregex_iterator(); ++m) {
            type.loads.insert(static_cast<uint32_t>(std::stoul((*m)[1].str(), nullptr, 16)));
        }
        types.push_back(type);
    }
    return types;
}

std::set<std::string> Extensions(const tarnel::LayoutInfo& layout) {
    std::set<std::string> extensions;
    std::istringstream words(layout.extensions);
    for (std::string word; words >> word;) extensions.insert(word);
    return extensions;
}

// The type whose globs hold `extension`, or nullptr.
const MimeType* TypeOf(const std::vector<MimeType>& types, const std::string& extension) {
    for (const MimeType& type : types) {
        if (type.extensions.count(extension) != 0) return &type;
    }
    return nullptr;
}

TEST(DesktopTable, MimeGlobsAndLoadAddressesAgreeWithTheLayoutRows) {
    const std::vector<MimeType> types = ReadMimeTypes(ReadText(g_mimeXml));
    ASSERT_GT(types.size(), 1u) << g_mimeXml;
    // The first type is the common one, which every other is a kind of.
    const MimeType& common = types.front();
    ASSERT_EQ(common.name, "image/x-c64-picture");
    EXPECT_TRUE(common.extensions.empty());

    std::set<std::string> globs;
    for (const MimeType& type : types) globs.insert(type.extensions.begin(), type.extensions.end());
    std::set<std::string> rows;
    // Per type, the load addresses of the layouts whose extensions it has.
    std::map<const MimeType*, std::set<uint32_t>> typeLoads;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        const std::set<std::string> extensions = Extensions(layout);
        rows.insert(extensions.begin(), extensions.end());
        if (extensions.empty()) continue;
        const MimeType* type = TypeOf(types, *extensions.begin());
        if (type == nullptr) continue;  // reported as a missing glob below
        for (const std::string& extension : extensions) {
            EXPECT_EQ(TypeOf(types, extension), type)
                << layout.name << ": ." << extension << " belongs to another type";
        }
        tarnel::LoadAndSize found{};
        if (!tarnel::FindLoadAndSize(layout.code, &found)) continue;
        const uint32_t load = found.load0 | found.load1 << 8;
        typeLoads[type].insert(load);
        EXPECT_TRUE(type->loads.count(load) != 0 || common.loads.count(load) != 0)
            << layout.name << ": load address " << std::hex << load << " is no magic of "
            << type->name << " nor of " << common.name;
    }
    EXPECT_EQ(globs, rows);
    for (const MimeType& type : types) {
        if (&type == &common) continue;
        for (const uint32_t load : type.loads) {
            EXPECT_EQ(typeLoads[&type].count(load), 1u)
                << type.name << ": magic load address " << std::hex << load
                << " is no layout's of this type";
        }
    }
}

// gdk-pixbuf's rule for one pattern at the file's start.
bool Matches(const GdkPixbufModulePattern& pattern, const std::vector<uint8_t>& file) {
    const std::string prefix = pattern.prefix;
    const std::string mask = pattern.mask != nullptr ? pattern.mask : std::string();
    if (file.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char m = i < mask.size() ? mask[i] : ' ';
        const uint8_t b = file[i];
        if ((m == ' ' && b != static_cast<uint8_t>(prefix[i])) ||
            (m == '!' && b == static_cast<uint8_t>(prefix[i])) || (m == 'z' && b != 0) ||
            (m == 'n' && b == 0)) {
            return false;
        }
    }
    return true;
}

TEST(DesktopTable, LoaderPatternsPickUpEveryLayoutWithAHeader) {
    void* module = dlopen(g_loaderModule.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using FillInfo = void (*)(GdkPixbufFormat*);
    auto fill = reinterpret_cast<FillInfo>(dlsym(module, "fill_info"));
    ASSERT_NE(fill, nullptr);
    GdkPixbufFormat format{};
    fill(&format);
    ASSERT_NE(format.signature, nullptr);
    std::vector<const GdkPixbufModulePattern*> patterns;
    for (const GdkPixbufModulePattern* p = format.signature; p->prefix != nullptr; ++p)
        patterns.push_back(p);

    std::set<const GdkPixbufModulePattern*> used;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        const std::vector<uint8_t> memory = tarnel_test::RandomMemory(900 + layout.code);
        const std::vector<uint8_t> image =
            tarnel::BuildLayoutFile(layout.unpackedAs, tarnel_test::View(memory));
        const std::vector<uint8_t> file =
            layout.packed ? tarnel::PackFile(layout.code, tarnel_test::View(image)) : image;
        ASSERT_EQ(tarnel::Identify(tarnel_test::View(file)).code, layout.code);
        bool matched = false;
        for (const GdkPixbufModulePattern* p : patterns) {
            if (Matches(*p, file)) {
                matched = true;
                used.insert(p);
            }
        }
        // The backward-packed bitmap has no header (only its length tells);
        // any pattern may or may not meet its first bytes.
        if (layout.code != tarnel::CodeOf(tarnel::Layout::BitmapBackwardPacked)) {
            EXPECT_TRUE(matched) << layout.name;
        }
    }
    // The Gunpaint signature has two patterns, one for each kind of first
    // byte; the files here start with a zero byte.
    EXPECT_EQ(used.size() + 1, patterns.size()) << "a pattern matches no layout";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MIME_XML LOADER_MODULE\n", argv[0]);
        return 2;
    }
    g_mimeXml = argv[1];
    g_loaderModule = argv[2];
    return RUN_ALL_TESTS();
}
