// The desktop's ways of recognising a file agree with the library's format
// table: the magic of mime/tarnel.xml names exactly the load addresses and
// signatures identification tests for the twenty layouts, and picks out the
// sample files of every other format found by its bytes (and none found by
// its name); its globs are exactly the extensions of the format table
// (tarnel_format_at), each under the format's own MIME type, but for the
// extensions left out on purpose below; each type's load addresses are
// those of its layouts; the gdk-pixbuf loader modules (read from the built
// modules through fill_info) take every type once, a module of its own for
// each type whose files open only under their name; and their signature
// patterns pick up a file of every layout that has a fixed header, every
// sample file found by its bytes, and no file of none.
//
//   tarnel_desktop_table_test MIME_XML FORMATS_DIR[:FORMATS_DIR...] LOADER_MODULE...
#include <dlfcn.h>
// The module interface: the record fill_info fills.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/pack.h"
#include "core/identify.h"
#include "core/layouts.h"
#include "tarnel/tarnel.h"
#include "testing/random_memory.h"

namespace {

std::string g_mimeXml;
std::string g_formatsDir;
std::vector<std::string> g_loaderModules;

// Extensions of the format table that tarnel.xml leaves out on purpose, far
// too generic for a glob or another program's (and so no Qt format names
// and no ImageMagick formats, which are made from the globs): ".a", the
// sprite bank's, is every static library's and ar archive's; ".g", the
// 64-character font's, a single letter; ".cs", a sized hires bitmap's, C#
// sources'; ".rpm", a Koala picture's, RPM packages'; ".gih", a
// black-on-white hires bitmap's, GIMP brushes'; ".rp", Rainbow Painter's,
// RealPix's; ".scr", a screen with its colours in a .col beside it, Windows
// screen savers' and ZX Spectrum screens'. Their files open under their names where the host gives
// the name (Qt, ImageMagick's `c64:` prefix, the converter), and through their MIME type in
// gdk-pixbuf. The extensions of formats opened only on request are left out too: no host can ask
// for them.
const std::set<std::string> LEFT_OUT = {"a", "g", "cs", "rpm", "gih", "rp", "scr"};

std::set<std::string> Words(const char* text) {
    std::set<std::string> words;
    std::istringstream in(text != nullptr ? text : "");
    for (std::string word; in >> word;) words.insert(word);
    return words;
}

std::vector<tarnel_format_info> FormatTable() {
    std::vector<tarnel_format_info> formats;
    for (int i = 0; i < tarnel_format_count(); ++i) {
        tarnel_format_info format;
        if (tarnel_format_at(i, &format) == TARNEL_OK) formats.push_back(format);
    }
    return formats;
}

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

// One mime-type element of tarnel.xml: its globs' extensions, the load
// addresses its magic names, and its magic.
struct MimeType {
    std::string name;
    std::set<std::string> extensions;
    std::set<uint32_t> loads;
    std::string body;  // the element's text
};

std::vector<MimeType> ReadMimeTypes(const std::string& xml) {
    std::vector<MimeType> types;
    const std::regex element("<mime-type type=\"([^\"]+)\">([\\s\\S]*?)</mime-type>");
    const std::regex glob("<glob pattern=\"\\*\\.([a-z0-9]+)\"(?: weight=\"[0-9]+\")?/>");
    const std::regex little16("<match type=\"little16\" value=\"0x([0-9a-fA-F]+)\" offset=\"0\"/>");
    for (auto t = std::sregex_iterator(xml.begin(), xml.end(), element);
         t != std::sregex_iterator(); ++t) {
        MimeType type{(*t)[1].str(), {}, {}, (*t)[2].str()};
        const std::string& body = type.body;
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

// The MIME types of the twenty layouts' formats, and the common type.
std::set<std::string> LayoutTypes() {
    std::set<std::string> types = {"image/x-c64-picture"};
    for (const tarnel_format_info& format : FormatTable()) {
        if (!format.since_1_3) types.insert(format.mime_type);
    }
    return types;
}

TEST(DesktopTable, MimeMagicNamesTheLoadAddressesAndSignatures) {
    const std::string xml = ReadText(g_mimeXml);
    ASSERT_FALSE(xml.empty()) << g_mimeXml;
    // The twenty layouts' types; the other formats' magic is held to their
    // sample files below.
    std::string layoutXml;
    const std::set<std::string> layoutTypes = LayoutTypes();
    for (const MimeType& type : ReadMimeTypes(xml)) {
        if (layoutTypes.count(type.name) != 0) layoutXml += type.body;
    }
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
    for (auto m = std::sregex_iterator(layoutXml.begin(), layoutXml.end(), text);
         m != std::sregex_iterator(); ++m) {
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

// The magic of one type, as shared-mime-info reads it: a match holds when
// its bytes are there and, if it has nested matches, one of them holds.
struct Match {
    std::string type;   // "string" or "little16"
    std::string value;  // the bytes, or the number as written
    std::string mask;   // "0x..." or empty
    uint32_t offset = 0;
    uint32_t last = 0;  // the last offset of a range ("1:1024"), else `offset`
    std::vector<Match> nested;
    int id = 0;  // to tell which matches some file meets
};

struct Magic {
    int priority = 50;
    std::vector<Match> matches;
};

// Reads the match elements of `text` from `at` until a closing </match> or
// the end.
std::vector<Match> ReadMatches(const std::string& text, size_t* at, int* nextId) {
    std::vector<Match> matches;
    const std::regex open(
        "^<match type=\"([a-z0-9]+)\" value=\"([^\"]*)\"\\s*(?:mask=\"([^\"]*)\"\\s*)?"
        "offset=\"([0-9]+)(?::([0-9]+))?\"\\s*(/?)>");
    while (true) {
        const size_t tag = text.find('<', *at);
        if (tag == std::string::npos) {
            *at = text.size();
            break;
        }
        if (text.compare(tag, 8, "</match>") == 0) {
            *at = tag + 8;
            break;
        }
        if (text.compare(tag, 4, "<!--") == 0) {
            const size_t end = text.find("-->", tag);
            *at = end == std::string::npos ? text.size() : end + 3;
            continue;
        }
        std::smatch m;
        const std::string rest = text.substr(tag);
        if (!std::regex_search(rest, m, open)) {
            ADD_FAILURE() << "cannot read the magic at " << rest.substr(0, 60);
            *at = text.size();
            break;
        }
        Match match;
        match.type = m[1].str();
        match.value = match.type == "string" ? Unescape(m[2].str()) : m[2].str();
        match.mask = m[3].str();
        match.offset = static_cast<uint32_t>(std::stoul(m[4].str()));
        match.last = m[5].matched ? static_cast<uint32_t>(std::stoul(m[5].str())) : match.offset;
        match.id = (*nextId)++;
        *at = tag + static_cast<size_t>(m.length(0));
        if (m[6].str().empty()) match.nested = ReadMatches(text, at, nextId);
        matches.push_back(match);
    }
    return matches;
}

std::vector<Magic> ReadMagic(const std::string& body, int* nextId) {
    std::vector<Magic> magic;
    const std::regex element("<magic(?: priority=\"([0-9]+)\")?>([\\s\\S]*?)</magic>");
    for (auto m = std::sregex_iterator(body.begin(), body.end(), element);
         m != std::sregex_iterator(); ++m) {
        Magic one;
        if ((*m)[1].matched) one.priority = std::stoi((*m)[1].str());
        const std::string text = (*m)[2].str();
        size_t at = 0;
        one.matches = ReadMatches(text, &at, nextId);
        magic.push_back(one);
    }
    return magic;
}

bool Holds(const Match& match, const std::vector<uint8_t>& file, std::set<int>* met) {
    bool here = false;
    if (match.type == "little16") {
        const auto value = static_cast<uint32_t>(std::stoul(match.value, nullptr, 0));
        here = file.size() >= match.offset + 2u &&
               static_cast<uint32_t>(file[match.offset] | file[match.offset + 1] << 8) == value;
    } else if (match.type == "string") {
        // At any offset of the range.
        for (size_t at = match.offset; !here && at <= match.last; ++at) {
            here = file.size() >= at + match.value.size();
            for (size_t i = 0; here && i < match.value.size(); ++i) {
                const bool compared =
                    match.mask.size() <= 2 || match.mask.substr(2 + 2 * i, 2) != "00";
                here = !compared || file[at + i] == static_cast<uint8_t>(match.value[i]);
            }
        }
    } else {
        ADD_FAILURE() << "a match of type " << match.type << " is not understood here";
    }
    if (!here) return false;
    bool nested = match.nested.empty();
    for (const Match& inner : match.nested) nested = Holds(inner, file, met) || nested;
    if (nested) met->insert(match.id);
    return nested;
}

// The priority of the type's magic that holds for the file, 0 for none.
int MagicPriority(const std::vector<Magic>& magic, const std::vector<uint8_t>& file,
                  std::set<int>* met) {
    int priority = 0;
    for (const Magic& one : magic) {
        for (const Match& match : one.matches) {
            if (Holds(match, file, met)) priority = std::max(priority, one.priority);
        }
    }
    return priority;
}

// A sample file of tests/data/formats or tests/data/petscii (a file with
// its .bmp beside it), and what the library makes of it.
struct Sample {
    std::string path;
    std::vector<uint8_t> bytes;
    tarnel_format_info format{};  // of the format it opens as under its name
    bool opens = false;
    bool byContent = false;  // it opens without its name too
};

std::vector<Sample> Samples() {
    std::vector<Sample> samples;
    std::vector<std::filesystem::path> files;
    std::istringstream folders(g_formatsDir);
    for (std::string folder; std::getline(folders, folder, ':');) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::filesystem::path bmp = entry.path();
            bmp.replace_extension(".bmp");
            // A .scr's .col is part of its picture, not one of its own.
            const std::filesystem::path extension = entry.path().extension();
            if (entry.is_regular_file() && extension != ".bmp" && extension != ".col" &&
                std::filesystem::is_regular_file(bmp)) {
                files.push_back(entry.path());
            }
        }
    }
    for (const std::filesystem::path& file : files) {
        Sample sample;
        sample.path = file.string();
        std::ifstream in(sample.path, std::ios::binary);
        sample.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        tarnel_decode_options options;
        tarnel_decode_options_init(&options);
        options.file_name = sample.path.c_str();
        tarnel_info_ex info;
        info.size = sizeof info;
        sample.opens = tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), &options,
                                          &info) == TARNEL_OK;
        for (const tarnel_format_info& format : FormatTable()) {
            if (sample.opens && format.code == info.info.layout) sample.format = format;
        }
        options.file_name = nullptr;
        sample.byContent = tarnel_identify_ex(sample.bytes.data(), sample.bytes.size(), &options,
                                              &info) == TARNEL_OK;
        samples.push_back(sample);
    }
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.path < b.path; });
    return samples;
}

TEST(DesktopTable, TheOtherFormatsMagicPicksOutTheirSampleFiles) {
    const std::vector<MimeType> types = ReadMimeTypes(ReadText(g_mimeXml));
    const std::set<std::string> layoutTypes = LayoutTypes();
    int nextId = 0;
    std::map<std::string, std::vector<Magic>> magic;
    std::set<int> otherIds;  // the top-level matches of the other formats' types
    for (const MimeType& type : types) {
        magic[type.name] = ReadMagic(type.body, &nextId);
        if (layoutTypes.count(type.name) != 0) continue;
        for (const Magic& one : magic[type.name]) {
            for (const Match& match : one.matches) otherIds.insert(match.id);
        }
    }
    const std::vector<Sample> samples = Samples();
    ASSERT_FALSE(samples.empty()) << g_formatsDir;
    std::set<int> met;
    for (const Sample& sample : samples) {
        ASSERT_TRUE(sample.opens) << sample.path;
        // The type whose magic holds with the highest priority.
        std::string best;
        int bestPriority = 0;
        for (const MimeType& type : types) {
            std::set<int> metHere;
            const int priority = MagicPriority(magic[type.name], sample.bytes, &metHere);
            if (layoutTypes.count(type.name) == 0) met.insert(metHere.begin(), metHere.end());
            if (priority > bestPriority) {
                bestPriority = priority;
                best = type.name;
            }
            if (!sample.byContent && layoutTypes.count(type.name) == 0) {
                EXPECT_EQ(priority, 0) << sample.path << ": found by its name, but the magic of "
                                       << type.name << " picks it out";
            }
        }
        if (sample.byContent) {
            EXPECT_EQ(best, sample.format.mime_type)
                << sample.path << ": found by its bytes, but the magic picks " << best;
        }
    }
    for (const int id : otherIds) {
        EXPECT_EQ(met.count(id), 1u) << "a magic match of the other formats picks out no sample";
    }
}

const MimeType* TypeNamed(const std::vector<MimeType>& types, const std::string& name) {
    for (const MimeType& type : types) {
        if (type.name == name) return &type;
    }
    return nullptr;
}

TEST(DesktopTable, MimeGlobsAgreeWithTheFormatTable) {
    const std::vector<MimeType> types = ReadMimeTypes(ReadText(g_mimeXml));
    ASSERT_GT(types.size(), 1u) << g_mimeXml;
    // The first type is the common one, which every other is a kind of.
    const MimeType& common = types.front();
    ASSERT_EQ(common.name, "image/x-c64-picture");
    EXPECT_TRUE(common.extensions.empty());

    std::set<std::string> globs;
    for (const MimeType& type : types) globs.insert(type.extensions.begin(), type.extensions.end());
    std::set<std::string> table;
    std::set<std::string> tableTypes = {common.name};
    std::set<std::string> leftOut;
    for (const tarnel_format_info& format : FormatTable()) {
        tableTypes.insert(format.mime_type);
        EXPECT_NE(TypeNamed(types, format.mime_type), nullptr)
            << format.name << ": its type " << format.mime_type << " is not in tarnel.xml";
        for (const std::string& extension : Words(format.extensions)) {
            if (format.found_by == TARNEL_FOUND_ON_REQUEST || LEFT_OUT.count(extension) != 0) {
                leftOut.insert(extension);
                continue;
            }
            table.insert(extension);
            // Several types may share a glob (their magic tells them apart).
            const MimeType* type = TypeNamed(types, format.mime_type);
            EXPECT_TRUE(type != nullptr && type->extensions.count(extension) != 0)
                << format.name << ": ." << extension << " is no glob of " << format.mime_type;
        }
    }
    EXPECT_EQ(globs, table);
    // The extensions left out on purpose are still the table's.
    for (const std::string& extension : LEFT_OUT) {
        EXPECT_EQ(leftOut.count(extension), 1u) << "." << extension << " is in no format's row";
    }
    for (const MimeType& type : types) {
        EXPECT_EQ(tableTypes.count(type.name), 1u) << type.name << " is no format's type";
    }
}

TEST(DesktopTable, MimeLoadAddressesAgreeWithTheLayoutRows) {
    const std::vector<MimeType> types = ReadMimeTypes(ReadText(g_mimeXml));
    ASSERT_GT(types.size(), 1u) << g_mimeXml;
    const MimeType& common = types.front();
    std::map<int, std::string> typeOfCode;
    for (const tarnel_format_info& format : FormatTable()) {
        typeOfCode[format.code] = format.mime_type;
    }
    // Per type, the load addresses of its layouts.
    std::map<const MimeType*, std::set<uint32_t>> typeLoads;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        const MimeType* type = TypeNamed(types, typeOfCode[layout.code]);
        if (type == nullptr) continue;  // reported as a missing type above
        tarnel::LoadAndSize found{};
        if (!tarnel::FindLoadAndSize(layout.code, &found)) continue;
        const uint32_t load = found.load0 | found.load1 << 8;
        typeLoads[type].insert(load);
        EXPECT_TRUE(type->loads.count(load) != 0 || common.loads.count(load) != 0)
            << layout.name << ": load address " << std::hex << load << " is no magic of "
            << type->name << " nor of " << common.name;
    }
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

// A built loader module, as gdk-pixbuf-query-loaders reads it.
struct LoaderModule {
    std::string path;
    std::string name;
    std::vector<std::string> mimeTypes;
    std::vector<const GdkPixbufModulePattern*> patterns;
};

std::vector<LoaderModule> LoaderModules() {
    std::vector<LoaderModule> modules;
    for (const std::string& path : g_loaderModules) {
        // Kept loaded: the records fill_info fills point into the module.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            ADD_FAILURE() << dlerror();
            continue;
        }
        using FillInfo = void (*)(GdkPixbufFormat*);
        auto fill = reinterpret_cast<FillInfo>(dlsym(handle, "fill_info"));
        if (fill == nullptr) {
            ADD_FAILURE() << path << ": no fill_info";
            continue;
        }
        GdkPixbufFormat format{};
        fill(&format);
        LoaderModule module{path, format.name, {}, {}};
        for (gchar** t = format.mime_types; t != nullptr && *t != nullptr; ++t) {
            module.mimeTypes.emplace_back(*t);
        }
        for (const GdkPixbufModulePattern* p = format.signature;
             p != nullptr && p->prefix != nullptr; ++p) {
            module.patterns.push_back(p);
        }
        modules.push_back(module);
    }
    return modules;
}

const LoaderModule* ModuleFor(const std::vector<LoaderModule>& modules, const std::string& type) {
    for (const LoaderModule& module : modules) {
        if (std::count(module.mimeTypes.begin(), module.mimeTypes.end(), type) != 0) return &module;
    }
    return nullptr;
}

TEST(DesktopTable, EveryTypeHasALoaderModuleOfItsOwn) {
    const std::vector<LoaderModule> modules = LoaderModules();
    ASSERT_EQ(modules.size(), g_loaderModules.size());
    std::multiset<std::string> taken;
    for (const LoaderModule& module : modules) {
        taken.insert(module.mimeTypes.begin(), module.mimeTypes.end());
        // The main module takes the common type; every other module its one
        // type, named after it.
        const std::string type =
            module.name == "c64" ? "image/x-c64-picture" : "image/x-" + module.name;
        EXPECT_EQ(module.mimeTypes, std::vector<std::string>{type}) << module.path;
    }
    std::multiset<std::string> types;
    for (const MimeType& type : ReadMimeTypes(ReadText(g_mimeXml))) types.insert(type.name);
    EXPECT_EQ(taken, types) << "the loader modules do not take every type of tarnel.xml once";

    // The files that open only under their name, and the formats found by
    // name: their type's module is not the main one, which hands the
    // library no name.
    std::set<std::string> named;
    for (const tarnel_format_info& format : FormatTable()) {
        if (format.found_by == TARNEL_FOUND_BY_NAME) named.insert(format.mime_type);
    }
    for (const Sample& sample : Samples()) {
        if (sample.opens && !sample.byContent) named.insert(sample.format.mime_type);
    }
    EXPECT_GE(named.size(), 4u);
    for (const std::string& type : named) {
        const LoaderModule* module = ModuleFor(modules, type);
        EXPECT_TRUE(module != nullptr && module->name != "c64")
            << type << ": its files open only under their name, but no module of its own takes it";
    }
}

TEST(DesktopTable, LoaderPatternsPickUpEveryLayoutWithAHeaderAndEverySignature) {
    const std::vector<LoaderModule> modules = LoaderModules();
    const LoaderModule* main = nullptr;
    for (const LoaderModule& module : modules) {
        if (module.name == "c64") main = &module;
    }
    ASSERT_NE(main, nullptr) << "no module of the format c64";
    ASSERT_FALSE(main->patterns.empty());

    std::set<const GdkPixbufModulePattern*> used;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        const std::vector<uint8_t> memory = tarnel_test::RandomMemory(900 + layout.code);
        const std::vector<uint8_t> image =
            tarnel::BuildLayoutFile(layout.unpackedAs, tarnel_test::View(memory));
        const std::vector<uint8_t> file =
            layout.packed ? tarnel::PackFile(layout.code, tarnel_test::View(image)) : image;
        ASSERT_EQ(tarnel::Identify(tarnel_test::View(file)).code, layout.code);
        bool matched = false;
        for (const GdkPixbufModulePattern* p : main->patterns) {
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
    // Every sample file found by its bytes meets a pattern of the module of
    // its type, at a header's relevance or more; one found by its name
    // meets none of the patterns of the other formats' modules.
    std::set<const GdkPixbufModulePattern*> otherPatterns;
    for (const LoaderModule& module : modules) {
        if (&module != main) otherPatterns.insert(module.patterns.begin(), module.patterns.end());
    }
    for (const Sample& sample : Samples()) {
        if (!sample.opens) continue;
        const LoaderModule* module = ModuleFor(modules, sample.format.mime_type);
        ASSERT_NE(module, nullptr) << sample.format.mime_type;
        bool matched = false;
        for (const GdkPixbufModulePattern* p : module->patterns) {
            if (Matches(*p, sample.bytes) && p->relevance >= 80) {
                matched = true;
                used.insert(p);
            }
        }
        if (sample.byContent) {
            EXPECT_TRUE(matched) << sample.path << ": no pattern of " << module->name;
        } else {
            for (const GdkPixbufModulePattern* p : otherPatterns) {
                EXPECT_FALSE(Matches(*p, sample.bytes)) << sample.path << ": found by its name, "
                                                        << "but a pattern picks it out";
            }
        }
    }
    // The Gunpaint signature has two patterns, one for each kind of first
    // byte; the layout files here start with a zero byte.
    size_t patterns = 0;
    for (const LoaderModule& module : modules) patterns += module.patterns.size();
    EXPECT_EQ(used.size() + 1, patterns) << "a pattern matches no file";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s MIME_XML FORMATS_DIR[:FORMATS_DIR...] LOADER_MODULE...\n",
                     argv[0]);
        return 2;
    }
    g_mimeXml = argv[1];
    g_formatsDir = argv[2];
    g_loaderModules.assign(argv + 3, argv + argc);
    return RUN_ALL_TESTS();
}
