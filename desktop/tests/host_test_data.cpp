#include "desktop/tests/host_test_data.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarnel_desktop_test {

namespace fs = std::filesystem;

std::vector<GoldenPicture> GoldenPictures(const std::string& directories) {
    std::vector<GoldenPicture> pictures;
    size_t start = 0;
    while (start <= directories.size()) {
        const size_t end = std::min(directories.find(':', start), directories.size());
        const std::string directory = directories.substr(start, end - start);
        start = end + 1;
        for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
            const fs::path path = entry.path();
            // A .scr's .col is part of its picture, not one of its own.
            if (!entry.is_regular_file() || path.extension() == ".bmp" ||
                path.extension() == ".col") {
                continue;
            }
            fs::path bmp = path;
            bmp.replace_extension(".bmp");
            if (fs::is_regular_file(bmp)) pictures.push_back({path.string(), bmp.string()});
        }
    }
    std::sort(pictures.begin(), pictures.end(),
              [](const GoldenPicture& a, const GoldenPicture& b) { return a.picture < b.picture; });
    return pictures;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

}  // namespace

bool GoldenPixels(const std::string& bmpPath, Pixels* pixels, std::string* why) {
    constexpr size_t FILE_HEADER = 14;
    constexpr size_t INFO_HEADER = 40;
    constexpr size_t PIXELS_AT = FILE_HEADER + INFO_HEADER;
    std::vector<uint8_t> bmp;
    if (!ReadFile(bmpPath, &bmp)) {
        *why = bmpPath + ": cannot be read";
        return false;
    }
    // Width and height are signed; a bottom-up BMP has a positive height.
    const auto width = static_cast<int32_t>(bmp.size() >= PIXELS_AT ? Le32(bmp, 18) : 0);
    const auto height = static_cast<int32_t>(bmp.size() >= PIXELS_AT ? Le32(bmp, 22) : 0);
    const size_t row = (static_cast<size_t>(width > 0 ? width : 0) * 3 + 3) / 4 * 4;
    if (bmp.size() < PIXELS_AT || bmp[0] != 'B' || bmp[1] != 'M' || Le32(bmp, 10) != PIXELS_AT ||
        width <= 0 || height <= 0 || (bmp[28] | bmp[29] << 8) != 24 ||
        bmp.size() != PIXELS_AT + row * static_cast<size_t>(height)) {
        *why = bmpPath + ": not a 24-bit bottom-up BMP";
        return false;
    }
    pixels->width = width;
    pixels->height = height;
    pixels->rgb.resize(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        const uint8_t* from = &bmp[PIXELS_AT + (static_cast<size_t>(height) - 1 - y) * row];
        uint8_t* to = &pixels->rgb[y * static_cast<size_t>(width) * 3];
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    return true;
}

std::string Pixels::Size() const {
    return std::to_string(width) + " x " + std::to_string(height);
}

bool Checks::Expect(bool ok, const std::string& what) {
    if (!ok) {
        ++failures_;
        std::fprintf(stderr, "%s: FAILED: %s\n", program_, what.c_str());
    }
    return ok;
}

int Checks::Finish(const std::string& summary) const {
    if (failures_ == 0) {
        std::printf("%s: all checks passed: %s\n", program_, summary.c_str());
        return 0;
    }
    std::printf("%s: %d checks FAILED (%s)\n", program_, failures_, summary.c_str());
    return 1;
}

bool LoadGolden(Checks& checks, const GoldenPicture& golden, std::string* name,
                std::vector<uint8_t>* bytes, Pixels* expected) {
    *name = std::filesystem::path(golden.picture).filename().string();
    std::string why;
    if (!checks.Expect(GoldenPixels(golden.bmp, expected, &why), why)) return false;
    return checks.Expect(ReadFile(golden.picture, bytes), *name + ": cannot be read");
}

}  // namespace tarnel_desktop_test
