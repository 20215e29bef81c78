// Finding a character set for a character screen.
#include "lib/charsets.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tarnel/tarnel.h"

namespace tarnel_lib {

namespace {

using tarnel::CHARGEN_BYTES;
using tarnel::CHARSET_BYTES;
using tarnel::CharsetWanted;

#if !defined(__EMSCRIPTEN__)
// Reads a whole file of at most `limit` bytes; false when it cannot be
// opened or is larger.
bool ReadSmallFile(const std::string& path, size_t limit, std::vector<uint8_t>* out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    out->assign(limit + 1, 0);
    const size_t got = std::fread(out->data(), 1, limit + 1, file);
    std::fclose(file);
    if (got > limit) return false;
    out->resize(got);
    return true;
}

// A whole character ROM (both sets) or one set.
bool IsCharset(const std::vector<uint8_t>& bytes) {
    return bytes.size() == CHARGEN_BYTES || bytes.size() == CHARSET_BYTES;
}
#endif

// The set `letterCase` asks for out of a ROM or a single set.
void TakeSet(const uint8_t* bytes, size_t size, int letterCase, Glyphs* out) {
    const size_t from =
        size == CHARGEN_BYTES && letterCase == TARNEL_CHARSET_LOWER ? CHARSET_BYTES : 0;
    std::memcpy(out->bytes, bytes + from, CHARSET_BYTES);
}

#if !defined(__EMSCRIPTEN__)
// The character ROM the system offers: the file TARNEL_CHARGEN names, then
// an installed VICE's.
bool SystemCharset(std::vector<uint8_t>* bytes, Glyphs* out) {
    if (const char* named = std::getenv("TARNEL_CHARGEN"); named != nullptr && *named != '\0') {
        if (ReadSmallFile(named, CHARGEN_BYTES, bytes) && IsCharset(*bytes)) {
            out->source = TARNEL_CHARSET_ENVIRONMENT;
            out->path = named;
            return true;
        }
        out->problem = std::string("TARNEL_CHARGEN names ") + named +
                       ", which is no 4,096- or 2,048-byte character set";
    }
#if !defined(_WIN32)
    std::vector<std::string> folders = {"/usr/share/vice/C64", "/usr/lib/vice/C64"};
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
        folders.push_back(std::string(data) + "/vice/C64");
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        folders.push_back(std::string(home) + "/.local/share/vice/C64");
    }
    for (const std::string& folder : folders) {
        for (const char* name : {"chargen-901225-01.bin", "chargen"}) {
            const std::string path = folder + "/" + name;
            if (ReadSmallFile(path, CHARGEN_BYTES, bytes) && bytes->size() == CHARGEN_BYTES) {
                out->source = TARNEL_CHARSET_VICE;
                out->path = path;
                return true;
            }
        }
    }
#endif
    return false;
}
#endif

}  // namespace

void FindGlyphs(const tarnel::TextScreen& screen, const uint8_t* callerSet, size_t callerSize,
                bool lookAround, Glyphs* out) {
    out->path.clear();
    out->problem.clear();
    switch (screen.charset) {
        case CharsetWanted::Own:
            out->source = TARNEL_CHARSET_FILE;
            out->letterCase = TARNEL_CHARSET_OWN;
            std::memcpy(out->bytes, screen.glyphs.data(), CHARSET_BYTES);
            return;
        case CharsetWanted::Other:
            out->source = TARNEL_CHARSET_MISSING;
            out->letterCase = TARNEL_CHARSET_OWN;
            return;
        case CharsetWanted::Upper:
        case CharsetWanted::Lower:
            break;
    }
    out->letterCase =
        screen.charset == CharsetWanted::Lower ? TARNEL_CHARSET_LOWER : TARNEL_CHARSET_UPPER;
    if (callerSet != nullptr) {
        out->source = TARNEL_CHARSET_CALLER;
        TakeSet(callerSet, callerSize, out->letterCase, out);
        return;
    }
    out->source = TARNEL_CHARSET_MISSING;
#if !defined(__EMSCRIPTEN__)
    std::vector<uint8_t> bytes;
    if (lookAround && SystemCharset(&bytes, out)) {
        TakeSet(bytes.data(), bytes.size(), out->letterCase, out);
    }
#else
    (void)lookAround;
#endif
}

bool ReadCompanion(const char* fileName, const char* extension, size_t limit,
                   std::vector<uint8_t>* out) {
#if defined(__EMSCRIPTEN__)
    (void)fileName, (void)extension, (void)limit, (void)out;
    return false;
#else
    if (fileName == nullptr) return false;
    const std::string name(fileName);
    const size_t slash = name.find_last_of("/\\");
    const size_t dot = name.find_last_of('.');
    // A name with a base before its extension ("/pictures/title.scr"), not
    // an extension alone.
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= base) return false;
    bool lower = false;
    for (size_t n = dot + 1; n < name.size(); ++n) {
        lower = lower || std::islower(static_cast<unsigned char>(name[n])) != 0;
    }
    std::string path = name.substr(0, dot + 1);
    for (const char* c = extension; *c != '\0'; ++c) {
        const auto letter = static_cast<unsigned char>(*c);
        path += static_cast<char>(lower ? std::tolower(letter) : std::toupper(letter));
    }
    return ReadSmallFile(path, limit, out);
#endif
}

}  // namespace tarnel_lib
