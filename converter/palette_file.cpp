#include "converter/palette_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "tarnel/tarnel.h"

namespace tarnel_converter {

namespace {

constexpr int PALETTE_SIZE = 16;
// A palette file is 16 short lines and maybe comments; anything larger is
// not one.
constexpr size_t MAX_PALETTE_FILE_BYTES = 65536;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A hex number of one or two digits, 0 to FF.
bool HexByte(const std::string& word, unsigned char* value) {
    if (word.empty() || word.size() > 2) return false;
    int result = 0;
    for (char c : word) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        result = result * 16 + digit;
    }
    *value = static_cast<unsigned char>(result);
    return true;
}

// "#rrggbb" at the start of `line`, followed by nothing but blanks and
// perhaps a comment.
bool HashColour(const std::string& line, unsigned char rgb[3]) {
    if (line.size() < 7 || line[0] != '#') return false;
    for (size_t i = 1; i < 7; ++i) {
        if (HexDigit(line[i]) < 0) return false;
    }
    size_t rest = 7;
    if (rest < line.size() && !IsBlank(line[rest])) return false;
    while (rest < line.size() && IsBlank(line[rest])) ++rest;
    if (rest < line.size() && line[rest] != '#') return false;
    for (int c = 0; c < 3; ++c) {
        rgb[c] =
            static_cast<unsigned char>(HexDigit(line[1 + 2 * c]) * 16 + HexDigit(line[2 + 2 * c]));
    }
    return true;
}

// The blank-separated words of `line` up to a comment.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size() && line[i] != '#') {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i]) && line[i] != '#') ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string At(const std::string& name, size_t line, const std::string& what) {
    return name + ":" + std::to_string(line) + ": " + what;
}

// Shown in messages: the line as written, shortened and with control
// characters as '?'.
std::string Quoted(const std::string& line) {
    std::string shown;
    for (char c : line.substr(0, 40)) {
        shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    }
    return "\"" + shown + (line.size() > 40 ? "...\"" : "\"");
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool ParsePaletteText(const std::string& text, const std::string& name, PaletteColours colours,
                      std::string* error) {
    int count = 0;
    size_t lineNumber = 0;
    size_t start = 0;
    // A UTF-8 byte-order mark, as some editors write, is not part of line 1.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first])) ++first;
        line.erase(0, first);
        while (!line.empty() && IsBlank(line.back())) line.pop_back();
        if (line.empty()) continue;

        unsigned char rgb[3];
        if (line[0] == '#') {
            if (!HashColour(line, rgb)) continue;  // a comment
        } else {
            const std::vector<std::string> words = Words(line);
            unsigned char dither = 0;
            if ((words.size() != 3 && words.size() != 4) || !HexByte(words[0], &rgb[0]) ||
                !HexByte(words[1], &rgb[1]) || !HexByte(words[2], &rgb[2]) ||
                (words.size() == 4 && !HexByte(words[3], &dither))) {
                *error = At(name, lineNumber,
                            Quoted(line) +
                                " is not a colour: give red, green and blue as hex numbers 00 to "
                                "FF (\"68 37 2B\"), or #rrggbb");
                return false;
            }
        }
        if (count == PALETTE_SIZE) {
            *error = At(name, lineNumber, "a 17th colour; a palette has 16");
            return false;
        }
        std::memcpy(colours[count++], rgb, 3);
    }
    if (count < PALETTE_SIZE) {
        *error = At(name, lineNumber == 0 ? 1 : lineNumber,
                    "the file ends after " + std::to_string(count) + " colour" +
                        (count == 1 ? "" : "s") + "; a palette has 16");
        return false;
    }
    return true;
}

bool ResolvePalette(const std::string& argument, PaletteColours colours, std::string* error) {
    const int index = tarnel_palette_find(argument.c_str());
    if (index >= 0) return tarnel_palette_colours(index, colours) == TARNEL_OK;

    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(argument.c_str(), "rb"));
    if (!file) {
        *error = argument + ": no palette of that name (" + PaletteNames() +
                 ") and no palette file: " + std::strerror(errno);
        return false;
    }
    std::string text(MAX_PALETTE_FILE_BYTES + 1, '\0');
    const size_t got = std::fread(&text[0], 1, text.size(), file.get());
    if (std::ferror(file.get()) != 0) {
        *error = argument + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    if (got > MAX_PALETTE_FILE_BYTES) {
        *error = argument + ": larger than 65,536 bytes, too large for a palette file";
        return false;
    }
    text.resize(got);
    return ParsePaletteText(text, argument, colours, error);
}

std::string PaletteNames() {
    std::string names;
    for (int i = 0; i < tarnel_palette_count(); ++i) {
        if (i > 0) names += ", ";
        names += tarnel_palette_name(i);
    }
    return names;
}

}  // namespace tarnel_converter
