// What the desktop host tests compare against: the golden pictures of
// tests/data/pictures, tests/data/formats and tests/data/petscii (each file
// beside its .bmp; the character screens drawn with TARNEL_CHARGEN's set),
// read as plain RGB.
#ifndef TARNEL_DESKTOP_HOST_TEST_DATA_H
#define TARNEL_DESKTOP_HOST_TEST_DATA_H

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel_desktop_test {

struct GoldenPicture {
    std::string picture;  // the C64 file
    std::string bmp;      // its expected picture
};

// A picture as RGB rows, top row first, no padding.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    bool empty() const { return rgb.empty(); }
    bool operator==(const Pixels& other) const {
        return width == other.width && height == other.height && rgb == other.rgb;
    }
    bool operator!=(const Pixels& other) const { return !(*this == other); }
    // "320 x 200"
    std::string Size() const;
};

// Every picture in `directories` (folders separated by ':') that has a .bmp
// beside it, in name order; a .scr's .col is part of the .scr's picture.
std::vector<GoldenPicture> GoldenPictures(const std::string& directories);

// The whole file, or false.
bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes);

// A golden .bmp (a 24-bit bottom-up BMP of any size, rows padded to four
// bytes) as its pixels; false with the reason when it is no such file.
bool GoldenPixels(const std::string& bmpPath, Pixels* pixels, std::string* why);

// Counts and prints failed checks.
class Checks {
public:
    explicit Checks(const char* program) : program_(program) {}
    // Records a failure when `ok` is false; returns `ok`.
    bool Expect(bool ok, const std::string& what);
    int failures() const { return failures_; }
    // The closing line and the exit code.
    int Finish(const std::string& summary) const;

private:
    const char* program_;
    int failures_ = 0;
};

// A golden picture's file name, its bytes and its expected pixels; false,
// with the failure recorded, when either file cannot be read.
bool LoadGolden(Checks& checks, const GoldenPicture& golden, std::string* name,
                std::vector<uint8_t>* bytes, Pixels* expected);

}  // namespace tarnel_desktop_test

#endif  // TARNEL_DESKTOP_HOST_TEST_DATA_H
