// Tells whether a golden picture shows, pixel for pixel and unscaled,
// anywhere in a screenshot.
//
//   tarnel_find_picture SCREENSHOT GOLDEN.bmp
//
// Prints where it was found and exits with 0, or exits with 1.
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "desktop/tests/host_test_data.h"

using namespace tarnel_desktop_test;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCREENSHOT GOLDEN.bmp\n", argv[0]);
        return 2;
    }
    Pixels golden;
    std::string why;
    if (!GoldenPixels(argv[2], &golden, &why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 2;
    }
    const QImage shot =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB888);
    if (shot.isNull()) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 2;
    }
    const size_t row = static_cast<size_t>(golden.width) * 3;
    for (int top = 0; top + golden.height <= shot.height(); ++top) {
        // Where the picture's first row appears in this row of the screen.
        const uchar* line = shot.constScanLine(top);
        const size_t lineBytes = static_cast<size_t>(shot.width()) * 3;
        for (size_t at = 0; at + row <= lineBytes; at += 3) {
            if (std::memcmp(line + at, golden.rgb.data(), row) != 0) continue;
            bool all = true;
            for (int y = 1; all && y < golden.height; ++y) {
                all = std::memcmp(shot.constScanLine(top + y) + at,
                                  &golden.rgb[static_cast<size_t>(y) * row], row) == 0;
            }
            if (all) {
                std::printf("found at %zu,%d\n", at / 3, top);
                return 0;
            }
        }
    }
    std::printf("not found\n");
    return 1;
}
