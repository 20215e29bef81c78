// What the desktop host tests compare against: the golden pictures of
// tests/data/pictures (each file beside its .bmp), read as plain RGB.
#ifndef TARNEL_DESKTOP_HOST_TEST_DATA_H
#define TARNEL_DESKTOP_HOST_TEST_DATA_H

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel_desktop_test {

constexpr int WIDTH = 320;
constexpr int HEIGHT = 200;

struct GoldenPicture {
    std::string picture;  // the C64 file
    std::string bmp;      // its expected picture
};

// Every picture in `directory` that has a .bmp beside it, in name order.
std::vector<GoldenPicture> GoldenPictures(const std::string& directory);

// The whole file, or false.
bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes);

// A golden .bmp (a 24-bit bottom-up 320 x 200 BMP) as RGB rows, top row
// first, no padding; false with the reason when it is no such file.
bool GoldenPixels(const std::string& bmpPath, std::vector<uint8_t>* rgb, std::string* why);

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
                std::vector<uint8_t>* bytes, std::vector<uint8_t>* expected);

}  // namespace tarnel_desktop_test

#endif  // TARNEL_DESKTOP_HOST_TEST_DATA_H
