// Writes the module's icon file (resources/tarnel.ico) from the artwork in
// authoring/icon_art.cpp:
//     make_icons resources/tarnel.ico
// The about_dialog_test checks that the committed file is exactly what this
// program writes.
#include <cstdio>
#include <vector>

#include "authoring/icon_art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
        return 2;
    }
    const std::vector<uint8_t> file = tarnel_tools::BuildIconFile(tarnel_tools::DrawIconImages());
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "%s: could not write the icon file\n", argv[1]);
        return 1;
    }
    return 0;
}
