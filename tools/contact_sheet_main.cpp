// tarnel-sheet: lays PNG pictures out side by side on one PNG, each with its
// file name underneath, for looking at many conversions at once.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/font.h"
#include "imageio/image_io.h"

using namespace tarnel_tools;

namespace {

constexpr int CAPTION_SCALE = 2;  // font pixels are 2 x 2 sheet pixels
constexpr uint32_t GAP = 16;      // around and between the tiles
constexpr uint8_t SHEET_COLOUR[3] = {40, 40, 48};
constexpr uint8_t FRAME_COLOUR[3] = {90, 90, 100};
constexpr uint8_t TEXT_COLOUR[3] = {230, 230, 230};

void Fill(RgbImage& sheet, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, const uint8_t* rgb) {
    for (uint32_t y = y0; y < y0 + h && y < sheet.height; ++y) {
        for (uint32_t x = x0; x < x0 + w && x < sheet.width; ++x) {
            std::copy(rgb, rgb + 3,
                      sheet.pixels.begin() + (static_cast<size_t>(y) * sheet.width + x) * 3);
        }
    }
}

void Text(RgbImage& sheet, uint32_t x0, uint32_t y0, const std::string& text, uint32_t maxWidth) {
    // Cut what does not fit, rather than run into the next tile.
    const size_t fits = maxWidth / (GLYPH_ADVANCE * CAPTION_SCALE);
    const std::string shown = text.size() > fits ? text.substr(0, fits) : text;
    for (size_t i = 0; i < shown.size(); ++i) {
        for (int fy = 0; fy < GLYPH_HEIGHT; ++fy) {
            for (int fx = 0; fx < GLYPH_WIDTH; ++fx) {
                if (!GlyphPixel(shown[i], fx, fy)) continue;
                Fill(sheet,
                     x0 + static_cast<uint32_t>((static_cast<int>(i) * GLYPH_ADVANCE + fx) *
                                                CAPTION_SCALE),
                     y0 + static_cast<uint32_t>(fy * CAPTION_SCALE), CAPTION_SCALE, CAPTION_SCALE,
                     TEXT_COLOUR);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Lays PNG pictures out side by side on one PNG, captioned with their names.",
                 "tarnel-sheet"};
    std::string output;
    std::vector<std::string> inputs;
    unsigned columns = 5;
    std::string title;
    app.add_option("OUT", output, "The contact sheet to write (PNG)")->required();
    app.add_option("PNG", inputs, "The pictures, in the order to show them")->required();
    app.add_option("--columns", columns, "Pictures per row")->check(CLI::Range(1, 64));
    app.add_option("--title", title, "A line of text above the pictures");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    std::vector<RgbImage> pictures;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    for (const std::string& path : inputs) {
        RgbImage picture;
        std::string why;
        if (!ReadPng(path, &picture, &why)) {
            std::fprintf(stderr, "%s: cannot be read: %s\n", path.c_str(), why.c_str());
            return 1;
        }
        tileWidth = std::max(tileWidth, picture.width);
        tileHeight = std::max(tileHeight, picture.height);
        pictures.push_back(std::move(picture));
    }

    const uint32_t lineHeight = LINE_ADVANCE * CAPTION_SCALE;
    const uint32_t titleHeight = title.empty() ? 0 : lineHeight + GAP;
    const uint32_t count = static_cast<uint32_t>(pictures.size());
    const uint32_t across = std::min<uint32_t>(columns, count);
    const uint32_t down = (count + across - 1) / across;
    const uint32_t cellWidth = tileWidth + GAP;
    const uint32_t cellHeight = tileHeight + 4 + lineHeight + GAP;

    RgbImage sheet;
    sheet.width = GAP + across * cellWidth;
    sheet.height = GAP + titleHeight + down * cellHeight;
    sheet.pixels.resize(static_cast<size_t>(sheet.width) * sheet.height * 3);
    Fill(sheet, 0, 0, sheet.width, sheet.height, SHEET_COLOUR);
    if (!title.empty()) Text(sheet, GAP, GAP, title, sheet.width - 2 * GAP);

    for (uint32_t i = 0; i < count; ++i) {
        const RgbImage& picture = pictures[i];
        const uint32_t x0 = GAP + (i % across) * cellWidth;
        const uint32_t y0 = GAP + titleHeight + (i / across) * cellHeight;
        // A one-pixel frame, then the picture centred in its tile.
        const uint32_t px = x0 + (tileWidth - picture.width) / 2;
        const uint32_t py = y0 + (tileHeight - picture.height) / 2;
        Fill(sheet, px - 1, py - 1, picture.width + 2, picture.height + 2, FRAME_COLOUR);
        for (uint32_t y = 0; y < picture.height; ++y) {
            std::copy_n(
                picture.pixels.begin() + static_cast<size_t>(y) * picture.width * 3,
                static_cast<size_t>(picture.width) * 3,
                sheet.pixels.begin() + (static_cast<size_t>(py + y) * sheet.width + px) * 3);
        }
        const std::string name = std::filesystem::path(inputs[i]).stem().string();
        Text(sheet, x0, y0 + tileHeight + 4, name, tileWidth);
    }

    std::string why;
    if (!WriteAtomically(
            output,
            [&sheet](std::FILE* file, std::string* error) { return WritePng(file, sheet, error); },
            &why)) {
        std::fprintf(stderr, "%s: cannot be written: %s\n", output.c_str(), why.c_str());
        return 1;
    }
    std::printf("%s: %u pictures, %u x %u pixels\n", output.c_str(), count, sheet.width,
                sheet.height);
    return 0;
}
