// The installed gdk-pixbuf loader modules, driven through gdk-pixbuf itself.
//
//   tarnel_pixbuf_host_test PICTURES_DIR FORMATS_DIR[:FORMATS_DIR...] WORK_DIR MIME_TYPE...
//
// Run with GDK_PIXBUF_MODULE_FILE naming a loaders cache that holds only the
// installed modules, and XDG_DATA_DIRS reaching the installed MIME types (by
// which gdk-pixbuf picks a loader). Checks that the modules register exactly
// the MIME types given, each once; that every golden picture of the twenty
// layouts loads, whole-file and fed to a GdkPixbufLoader in small pieces,
// with the golden pixels; that every golden picture of the other formats
// loads at its own size through a loader for its MIME type (as Eye of
// GNOME opens a file), by file and with no name or type, each time as the
// module of the type gdk-pixbuf finds must show it: the library's picture
// under that type's names, which is the golden one unless another format
// of the type fits the bytes as well; and that every file of the hostile
// corpus either gives the library's picture or is refused with a GError
// carrying the library's words.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "desktop/tests/host_test_data.h"
#include "desktop/tests/library_reference.h"
#include "testing/hostile_corpus.h"

using namespace tarnel_desktop_test;
namespace fs = std::filesystem;

namespace {

constexpr const char* FORMAT_NAME = "c64";
// Pieces of these sizes in turn, so that every boundary falls somewhere new.
constexpr size_t PIECES[] = {1, 7, 61, 512, 4093};

// The pixbuf's pixels; empty when it is not an 8-bit RGB picture without
// alpha.
Pixels RgbOf(GdkPixbuf* pixbuf) {
    if (pixbuf == nullptr || gdk_pixbuf_get_n_channels(pixbuf) != 3 ||
        gdk_pixbuf_get_has_alpha(pixbuf) || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8) {
        return {};
    }
    Pixels rgb;
    rgb.width = gdk_pixbuf_get_width(pixbuf);
    rgb.height = gdk_pixbuf_get_height(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    const size_t stride = static_cast<size_t>(gdk_pixbuf_get_rowstride(pixbuf));
    const size_t row = static_cast<size_t>(rgb.width) * 3;
    for (size_t y = 0; y < static_cast<size_t>(rgb.height); ++y) {
        rgb.rgb.insert(rgb.rgb.end(), pixels + y * stride, pixels + y * stride + row);
    }
    return rgb;
}

// The size gdk_pixbuf_new_from_file_at_scale gives a picture fitted into a
// square of `side` pixels, keeping its proportions (gdk-pixbuf's rounding).
std::pair<int, int> FittedSize(int width, int height, int side) {
    if (static_cast<double>(height) * side > static_cast<double>(width) * side) {
        return {std::max(1, static_cast<int>(0.5 + static_cast<double>(width) * side / height)),
                side};
    }
    return {side, std::max(1, static_cast<int>(0.5 + static_cast<double>(height) * side / width))};
}

constexpr const char* COMMON_TYPE = "image/x-c64-picture";
// gdk-pixbuf picks a loader by this many first bytes.
constexpr size_t SNIFF_BYTES = 4096;

// The name hints the module of `type` hands the library, in turn: the
// extensions the library's table lists for the type; none for the common
// type, whose module (the main one) goes by the bytes alone.
std::vector<std::string> HintsOf(const std::string& type) {
    std::vector<std::string> hints;
    if (type == COMMON_TYPE) return hints;
    for (int i = 0; i < tarnel_format_count(); ++i) {
        tarnel_format_info format;
        if (tarnel_format_at(i, &format) != TARNEL_OK || type != format.mime_type) continue;
        std::istringstream words(format.extensions);
        for (std::string word; words >> word;) hints.push_back(word);
    }
    return hints;
}

// What the module of `type` must make of a file: the library's picture
// under the first hint that opens it, or the library's words for refusing
// it (under the hint that gave another reason than "not recognised", else
// the first).
struct Reference {
    Pixels pixels;
    std::string refusal;
};

Reference ModuleReference(const std::vector<uint8_t>& bytes, const std::string& type) {
    const std::vector<std::string> hints = HintsOf(type);
    if (hints.empty()) return {LibraryPixels(bytes), RefusalText(bytes)};
    const char* decisive = hints.front().c_str();
    for (const std::string& hint : hints) {
        const tarnel_decode_options options = Options(hint.c_str());
        tarnel_info_ex info;
        info.size = sizeof info;
        if (bytes.size() <= TARNEL_MAX_ANY_FILE_SIZE &&
            tarnel_identify_ex(bytes.data(), bytes.size(), &options, &info) !=
                TARNEL_E_NOT_RECOGNISED) {
            decisive = hint.c_str();
            break;
        }
    }
    return {LibraryPixels(bytes, decisive), RefusalText(bytes, decisive)};
}

// The MIME type by which gdk-pixbuf picks a loader for the bytes, by its
// rule: the first bytes' type, or where that is uncertain, the type with
// the file's name (when there is one).
std::string PickedType(const std::vector<uint8_t>& bytes, const char* path) {
    const size_t sniffed = std::min(bytes.size(), SNIFF_BYTES);
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(nullptr, bytes.data(), sniffed, &uncertain);
    if ((uncertain || g_str_equal(type, "text/plain") || g_str_equal(type, "application/gzip")) &&
        path != nullptr) {
        g_free(type);
        type = g_content_type_guess(path, bytes.data(), sniffed, nullptr);
    }
    std::string picked = type;
    g_free(type);
    return picked;
}

// True when one of the modules takes the type.
bool IsOurType(const std::string& type) {
    if (type == COMMON_TYPE) return true;
    for (int i = 0; i < tarnel_format_count(); ++i) {
        tarnel_format_info format;
        if (tarnel_format_at(i, &format) == TARNEL_OK && type == format.mime_type) return true;
    }
    return false;
}

struct Outcome {
    GdkPixbuf* pixbuf = nullptr;  // owned
    GError* error = nullptr;      // owned
    ~Outcome() {
        if (pixbuf != nullptr) g_object_unref(pixbuf);
        if (error != nullptr) g_error_free(error);
    }
    std::string Message() const { return error != nullptr ? error->message : "(no error)"; }
};

// Feeds `bytes` to `loader` in pieces and closes it.
void Feed(GdkPixbufLoader* loader, const std::vector<uint8_t>& bytes, Outcome* outcome) {
    size_t at = 0;
    for (size_t piece = 0; at < bytes.size(); ++piece) {
        const size_t count = std::min(PIECES[piece % std::size(PIECES)], bytes.size() - at);
        // A failed write closes the loader and is the outcome.
        if (!gdk_pixbuf_loader_write(loader, bytes.data() + at, count, &outcome->error)) {
            g_object_unref(loader);
            return;
        }
        at += count;
    }
    if (gdk_pixbuf_loader_close(loader, &outcome->error)) {
        outcome->pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        if (outcome->pixbuf != nullptr) g_object_ref(outcome->pixbuf);
    }
    g_object_unref(loader);
}

std::string FormatName(GdkPixbufFormat* format) {
    if (format == nullptr) return "(none)";
    gchar* name = gdk_pixbuf_format_get_name(format);
    std::string text = name;
    g_free(name);
    return text;
}

// Ours: "c64" (the main module) and "c64-TYPE" (a module for one type whose
// files are told by their name).
bool IsOurs(const std::string& name) {
    return name == FORMAT_NAME || name.rfind(std::string(FORMAT_NAME) + "-", 0) == 0;
}

void CheckFormat(Checks& checks, const std::set<std::string>& expectedTypes) {
    GSList* formats = gdk_pixbuf_get_formats();
    std::multiset<std::string> types;
    bool main = false;
    for (GSList* f = formats; f != nullptr; f = f->next) {
        auto* format = static_cast<GdkPixbufFormat*>(f->data);
        const std::string name = FormatName(format);
        if (!IsOurs(name)) continue;
        main = main || name == FORMAT_NAME;
        std::vector<std::string> own;
        gchar** mimeTypes = gdk_pixbuf_format_get_mime_types(format);
        for (gchar** t = mimeTypes; *t != nullptr; ++t) own.emplace_back(*t);
        g_strfreev(mimeTypes);
        types.insert(own.begin(), own.end());
        if (name != FORMAT_NAME) {
            // "c64-charset" takes image/x-c64-charset alone.
            checks.Expect(own == std::vector<std::string>{"image/x-" + name},
                          "the format " + name + " does not take its one MIME type alone");
        }
        checks.Expect(!gdk_pixbuf_format_is_writable(format),
                      "the format " + name + " claims to write pictures");
    }
    g_slist_free(formats);
    checks.Expect(main, "gdk-pixbuf lists no format \"c64\"");
    checks.Expect(std::set<std::string>(types.begin(), types.end()) == expectedTypes &&
                      types.size() == expectedTypes.size(),
                  "the loaders' MIME types are not those of the installed tarnel.xml, each once");
}

// The module's signature patterns, as gdk-pixbuf-query-loaders wrote them
// into the loaders cache: gdk-pixbuf builds that do not sniff MIME types
// pick loaders by these alone.
struct Pattern {
    std::string prefix;
    std::string mask;
    int relevance;
};

// The quoted, escaped strings of a cache line, and what follows the last.
std::vector<std::string> QuotedStrings(const std::string& line, std::string* rest) {
    std::vector<std::string> strings;
    size_t at = 0;
    while ((at = line.find('"', at)) != std::string::npos) {
        size_t end = at + 1;
        while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
        if (end >= line.size()) break;
        gchar* text = g_strcompress(line.substr(at + 1, end - at - 1).c_str());
        strings.emplace_back(text);
        g_free(text);
        at = end + 1;
        *rest = line.substr(at);
    }
    return strings;
}

std::vector<Pattern> CachedPatterns(const char* cachePath) {
    std::ifstream cache(cachePath);
    std::vector<Pattern> patterns;
    std::string line;
    int lineInBlock = -1;  // -1 until the module's block
    while (std::getline(cache, line)) {
        std::string rest;
        const std::vector<std::string> strings = QuotedStrings(line, &rest);
        if (lineInBlock < 0) {
            const std::string name = "libpixbufloader-tarnel.so";
            if (strings.size() == 1 && strings[0].size() >= name.size() &&
                strings[0].compare(strings[0].size() - name.size(), name.size(), name) == 0) {
                lineInBlock = 0;
            }
            continue;
        }
        if (line.empty()) break;
        // After the format, MIME type and extension lines: the patterns.
        if (++lineInBlock > 3 && strings.size() == 2) {
            patterns.push_back({strings[0], strings[1], std::atoi(rest.c_str())});
        }
    }
    return patterns;
}

// gdk-pixbuf's rule: the relevance of the first pattern that matches the
// start of the data (anywhere, when the mask begins with '*'), 0 for none.
int PatternRelevance(const std::vector<Pattern>& patterns, const std::vector<uint8_t>& bytes) {
    for (const Pattern& pattern : patterns) {
        const bool anchored = pattern.mask.empty() || pattern.mask[0] != '*';
        const size_t skip = anchored ? 0 : 1;
        for (size_t start = 0; start < bytes.size(); ++start) {
            size_t j = skip;
            for (; j < pattern.prefix.size() && start + j - skip < bytes.size(); ++j) {
                const uint8_t byte = bytes[start + j - skip];
                const char m = pattern.mask.empty() ? ' ' : pattern.mask[j];
                const auto want = static_cast<uint8_t>(pattern.prefix[j]);
                if ((m == ' ' && byte != want) || (m == '!' && byte == want) ||
                    (m == 'z' && byte != 0) || (m == 'n' && byte == 0)) {
                    break;
                }
            }
            if (j == pattern.prefix.size()) return pattern.relevance;
            if (anchored) break;
        }
    }
    return 0;
}

// Every golden picture matches the patterns: its signature or header with
// their relevance, else its load address; the .bmp files match none.
void CheckSignatures(Checks& checks, const std::vector<GoldenPicture>& goldens) {
    const char* cachePath = std::getenv("GDK_PIXBUF_MODULE_FILE");
    if (!checks.Expect(cachePath != nullptr, "GDK_PIXBUF_MODULE_FILE is not set")) return;
    const std::vector<Pattern> patterns = CachedPatterns(cachePath);
    checks.Expect(!patterns.empty(), "the loaders cache holds no patterns of the module");
    for (const GoldenPicture& golden : goldens) {
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> bmp;
        ReadFile(golden.picture, &bytes);
        ReadFile(golden.bmp, &bmp);
        tarnel_info info{};
        tarnel_identify(bytes.data(), bytes.size(), &info);
        const int expected =
            info.layout == 1 || info.layout == 2 || info.layout == 3 || info.layout == 7 ? 100
            : info.layout == 14                                                          ? 80
                                                                                         : 20;
        const int relevance = PatternRelevance(patterns, bytes);
        checks.Expect(relevance == expected, golden.picture + ": the signature patterns give " +
                                                 std::to_string(relevance) + ", not " +
                                                 std::to_string(expected));
        checks.Expect(PatternRelevance(patterns, bmp) == 0,
                      golden.bmp + ": a BMP file matches the signature patterns");
    }
}

void CheckGolden(Checks& checks, const GoldenPicture& golden) {
    std::string name;
    std::vector<uint8_t> bytes;
    Pixels expected;
    if (!LoadGolden(checks, golden, &name, &bytes, &expected)) return;

    {
        Outcome whole;
        whole.pixbuf = gdk_pixbuf_new_from_file(golden.picture.c_str(), &whole.error);
        checks.Expect(whole.pixbuf != nullptr,
                      name + ": gdk_pixbuf_new_from_file failed: " + whole.Message());
        if (whole.pixbuf != nullptr) {
            checks.Expect(RgbOf(whole.pixbuf) == expected,
                          name + ": gdk_pixbuf_new_from_file gives other pixels than the .bmp");
        }
    }
    {
        // Content alone picks the loader here: no name, no type.
        Outcome pieces;
        Feed(gdk_pixbuf_loader_new(), bytes, &pieces);
        checks.Expect(pieces.pixbuf != nullptr,
                      name + ": GdkPixbufLoader fed in pieces failed: " + pieces.Message());
        if (pieces.pixbuf != nullptr) {
            checks.Expect(RgbOf(pieces.pixbuf) == expected,
                          name + ": GdkPixbufLoader gives other pixels than the .bmp");
        }
    }
    {
        int width = 0;
        int height = 0;
        GdkPixbufFormat* format = gdk_pixbuf_get_file_info(golden.picture.c_str(), &width, &height);
        checks.Expect(
            IsOurs(FormatName(format)) && width == expected.width && height == expected.height,
            name + ": gdk_pixbuf_get_file_info gives " + FormatName(format) + " " +
                std::to_string(width) + " x " + std::to_string(height));
    }
    {
        Outcome scaled;
        scaled.pixbuf = gdk_pixbuf_new_from_file_at_scale(golden.picture.c_str(), 160, 160, TRUE,
                                                          &scaled.error);
        checks.Expect(scaled.pixbuf != nullptr && gdk_pixbuf_get_width(scaled.pixbuf) == 160 &&
                          gdk_pixbuf_get_height(scaled.pixbuf) == 100,
                      name + ": not loaded at 160 x 100: " + scaled.Message());
    }
}

// The MIME type the library's table gives the format a golden file of
// tests/data/formats opens as under its own name; empty when it does not.
std::string TypeOfGolden(const std::vector<uint8_t>& bytes, const std::string& path) {
    const tarnel_decode_options options = Options(path.c_str());
    tarnel_info_ex info;
    info.size = sizeof info;
    if (tarnel_identify_ex(bytes.data(), bytes.size(), &options, &info) != TARNEL_OK) return "";
    for (int i = 0; i < tarnel_format_count(); ++i) {
        tarnel_format_info format;
        if (tarnel_format_at(i, &format) == TARNEL_OK && format.code == info.info.layout) {
            return format.mime_type;
        }
    }
    return "";
}

// Holds one way of loading to what the module gdk-pixbuf picks must give.
void CheckAgainst(Checks& checks, const std::string& what, const Outcome& outcome,
                  const Reference& reference) {
    if (reference.pixels.empty()) {
        checks.Expect(outcome.pixbuf == nullptr,
                      what + ": opens, but the library refuses it: " + reference.refusal);
        return;
    }
    const Pixels got = RgbOf(outcome.pixbuf);
    checks.Expect(got == reference.pixels, what + ": gives " + got.Size() +
                                               ", not the library's picture of " +
                                               reference.pixels.Size() + ": " + outcome.Message());
}

// Counts of the golden pictures of the other formats.
struct FormatCounts {
    size_t byType = 0;     // golden through a loader for its type
    size_t sameType = 0;   // another format of its type, which fits as well
    size_t byFile = 0;     // golden by gdk_pixbuf_new_from_file
    size_t byContent = 0;  // golden with no name and no type
};

// A golden picture of the formats beyond the twenty, at its own size. A
// loader for the type the library's table gives it (as Eye of GNOME opens
// a file: GIO gives the type by the name's glob) shows the golden picture,
// unless another format of the same type fits the bytes as well under its
// own name: the module knows the type alone. By file and with no type at
// all, the module of the type gdk-pixbuf finds gives the library's picture
// under that type's names.
void CheckFormatGolden(Checks& checks, const GoldenPicture& golden, FormatCounts* counts) {
    std::string name;
    std::vector<uint8_t> bytes;
    Pixels expected;
    if (!LoadGolden(checks, golden, &name, &bytes, &expected)) return;
    const std::string type = TypeOfGolden(bytes, golden.picture);
    if (!checks.Expect(!type.empty(), name + ": the library does not open it")) return;

    {
        const Reference reference = ModuleReference(bytes, type);
        GError* error = nullptr;
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_mime_type(type.c_str(), &error);
        if (checks.Expect(loader != nullptr, name + ": no loader for " + type)) {
            Outcome typed;
            Feed(loader, bytes, &typed);
            CheckAgainst(checks, name + " (a loader for " + type + ")", typed, reference);
            if (checks.Expect(!reference.pixels.empty(),
                              name + ": its type's names do not open it")) {
                (reference.pixels == expected ? counts->byType : counts->sameType) += 1;
            }
        }
        g_clear_error(&error);
    }
    {
        const std::string picked = PickedType(bytes, nullptr);
        Outcome pieces;
        Feed(gdk_pixbuf_loader_new(), bytes, &pieces);
        if (IsOurType(picked)) {
            const Reference reference = ModuleReference(bytes, picked);
            CheckAgainst(checks, name + " (no name, no type: " + picked + ")", pieces, reference);
            if (reference.pixels == expected) ++counts->byContent;
        } else {
            checks.Expect(pieces.pixbuf == nullptr, name + ": taken for " + picked + ", but opens");
        }
    }
    const std::string picked = PickedType(bytes, golden.picture.c_str());
    if (!IsOurType(picked)) return;
    const Reference reference = ModuleReference(bytes, picked);
    {
        Outcome whole;
        whole.pixbuf = gdk_pixbuf_new_from_file(golden.picture.c_str(), &whole.error);
        CheckAgainst(checks, name + " (gdk_pixbuf_new_from_file, " + picked + ")", whole,
                     reference);
        if (reference.pixels == expected) ++counts->byFile;
    }
    if (reference.pixels.empty()) return;
    {
        int width = 0;
        int height = 0;
        GdkPixbufFormat* found = gdk_pixbuf_get_file_info(golden.picture.c_str(), &width, &height);
        checks.Expect(IsOurs(FormatName(found)) && width == reference.pixels.width &&
                          height == reference.pixels.height,
                      name + ": gdk_pixbuf_get_file_info gives " + FormatName(found) + " " +
                          std::to_string(width) + " x " + std::to_string(height));
    }
    {
        const std::pair<int, int> fitted =
            FittedSize(reference.pixels.width, reference.pixels.height, 160);
        Outcome scaled;
        scaled.pixbuf = gdk_pixbuf_new_from_file_at_scale(golden.picture.c_str(), 160, 160, TRUE,
                                                          &scaled.error);
        checks.Expect(scaled.pixbuf != nullptr &&
                          gdk_pixbuf_get_width(scaled.pixbuf) == fitted.first &&
                          gdk_pixbuf_get_height(scaled.pixbuf) == fitted.second,
                      name + ": not loaded at " + std::to_string(fitted.first) + " x " +
                          std::to_string(fitted.second) + ": " + scaled.Message());
    }
}

// True when `message` is `refusal`, or ends with it after gdk-pixbuf's
// "Failed to load image “NAME”: ".
bool CarriesRefusal(const std::string& message, const std::string& refusal) {
    const std::string tail = ": " + refusal;
    return message == refusal ||
           (message.size() > tail.size() &&
            message.compare(message.size() - tail.size(), tail.size(), tail) == 0);
}

// Checks one way of loading a hostile file: the library's picture when the
// library decodes it, the library's words when it refuses it.
void CheckHostileOutcome(Checks& checks, const std::string& what, const Outcome& outcome,
                         const Pixels& reference, const std::string& refusal) {
    if (!reference.empty()) {
        if (checks.Expect(outcome.pixbuf != nullptr, what + ": refused: " + outcome.Message())) {
            checks.Expect(RgbOf(outcome.pixbuf) == reference,
                          what + ": other pixels than the library's");
        }
        return;
    }
    checks.Expect(
        outcome.pixbuf == nullptr && outcome.error != nullptr &&
            outcome.error->domain == GDK_PIXBUF_ERROR && CarriesRefusal(outcome.Message(), refusal),
        what + ": expected the error \"" + refusal + "\", got \"" + outcome.Message() + "\"");
}

void CheckHostile(Checks& checks, const std::string& workDir, size_t* opened, size_t* refused,
                  size_t* sniffedElsewhere) {
    const fs::path dir = fs::path(workDir) / "pixbuf-hostile";
    fs::create_directories(dir);
    for (const tarnel_hostile::HostileFile& file : tarnel_hostile::HostileCorpus()) {
        const Pixels reference = LibraryPixels(file.bytes);
        const std::string refusal = RefusalText(file.bytes);
        // The corpus's own expectation and the library's must agree.
        checks.Expect((file.code != 0) == !reference.empty(),
                      file.name + ": the library and the corpus disagree on whether it opens");
        (reference.empty() ? *refused : *opened) += 1;

        {
            GError* error = nullptr;
            GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(FORMAT_NAME, &error);
            if (!checks.Expect(loader != nullptr, "no loader of type c64")) {
                g_clear_error(&error);
                return;
            }
            Outcome pieces;
            Feed(loader, file.bytes, &pieces);
            CheckHostileOutcome(checks, file.name + " (GdkPixbufLoader, type c64)", pieces,
                                reference, refusal);
        }
        {
            // As a file named like a Koala picture: gdk-pixbuf goes by the
            // content first and by the name when the content tells nothing.
            const fs::path path = dir / (file.name + ".koa");
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(file.bytes.data()),
                       static_cast<std::streamsize>(file.bytes.size()));
            Outcome whole;
            whole.pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &whole.error);
            if (whole.error != nullptr && whole.error->domain == GDK_PIXBUF_ERROR &&
                whole.error->code == GDK_PIXBUF_ERROR_UNKNOWN_TYPE) {
                // Its content was taken for another type, which no loader
                // of this cache handles: the module was not asked.
                *sniffedElsewhere += 1;
            } else if (file.bytes.empty()) {
                // gdk-pixbuf refuses an empty file itself.
                checks.Expect(whole.pixbuf == nullptr && whole.error != nullptr,
                              file.name + ": an empty file loaded");
            } else {
                // The module of the type gdk-pixbuf finds hands the library
                // that type's names.
                const Reference picked =
                    ModuleReference(file.bytes, PickedType(file.bytes, path.c_str()));
                CheckHostileOutcome(checks, file.name + " (gdk_pixbuf_new_from_file)", whole,
                                    picked.pixels, picked.refusal);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Checks checks("tarnel_pixbuf_host_test");
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PICTURES_DIR FORMATS_DIR WORK_DIR MIME_TYPE...\n", argv[0]);
        return 2;
    }
    const std::set<std::string> types(argv + 4, argv + argc);

    CheckFormat(checks, types);
    const std::vector<GoldenPicture> goldens = GoldenPictures(argv[1]);
    checks.Expect(goldens.size() >= 20, "fewer than twenty golden pictures found");
    for (const GoldenPicture& golden : goldens) CheckGolden(checks, golden);
    CheckSignatures(checks, goldens);

    const std::vector<GoldenPicture> formats = GoldenPictures(argv[2]);
    checks.Expect(!formats.empty(), "no golden pictures of the other formats found");
    FormatCounts counts;
    for (const GoldenPicture& golden : formats) {
        // gdk-pixbuf hands a module the bytes alone, never the file's name:
        // a .scr cannot find the .col beside it, which holds its colours.
        if (fs::path(golden.picture).extension() == ".scr") continue;
        CheckFormatGolden(checks, golden, &counts);
    }
    checks.Expect(counts.byType > counts.sameType && counts.byFile > 0 && counts.byContent > 0,
                  "the other formats' golden pictures are not found each way");

    size_t opened = 0;
    size_t refused = 0;
    size_t sniffedElsewhere = 0;
    CheckHostile(checks, argv[3], &opened, &refused, &sniffedElsewhere);
    checks.Expect(
        opened + refused == tarnel_hostile::HostileCorpus().size() && opened > 0 && refused > 0,
        "the hostile corpus was not all tried, or is empty");

    return checks.Finish(
        std::to_string(goldens.size()) + " golden pictures; " + std::to_string(formats.size()) +
        " of the other formats (golden: " + std::to_string(counts.byType) + " by their type, " +
        std::to_string(counts.byFile) + " by file, " + std::to_string(counts.byContent) +
        " by content alone; " + std::to_string(counts.sameType) +
        " shown as another format of their type); hostile corpus: " + std::to_string(opened) +
        " opened, " + std::to_string(refused) + " refused, " + std::to_string(sniffedElsewhere) +
        " of them not taken for C64 pictures by name and content");
}
