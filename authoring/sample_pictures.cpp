#include "authoring/sample_pictures.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "authoring/font.h"
#include "authoring/layout_files.h"
#include "core/byte_view.h"
#include "core/fetchers.h"
#include "core/layout_sources.h"
#include "core/palette.h"
#include "core/prepare.h"

namespace tarnel_tools {
namespace {

using tarnel::FormatCode;

// Integer arithmetic only, so that every build (native or 32-bit Windows,
// whatever its floating-point unit) draws exactly the same pictures.

constexpr int WIDTH = 320;  // logical picture size; frames sample it
constexpr int HEIGHT = 200;
constexpr int HORIZON = 120;
constexpr size_t MEMORY_BYTES = tarnel::MEMORY_IMAGE_BYTES;
constexpr size_t TEXT_LINE_CHARS = 26;  // 26 glyphs of 12 pixels fit in 320
constexpr int TEXT_SCALE = 2;           // each font pixel is 2 x 2 picture pixels

// ---------------------------------------------------------------------------
// File names

struct SampleFile {
    FormatCode code;
    const char* slug;
    const char* extension;
};

// clang-format off
constexpr SampleFile SAMPLE_FILES[] = {
    { 1, "funpaint-packed",     "fp2"},
    { 2, "funpaint",            "fun"},
    { 3, "gunpaint",            "gun"},
    { 4, "fli-designer",        "fd2"},
    { 5, "advanced-art-studio", "ocp"},
    { 6, "drazlace",            "drl"},
    { 7, "drazlace-packed",     "drz"},
    { 8, "fli",                 "fli"},
    { 9, "face-painter",        "fpt"},
    {11, "amica-paint",         "ami"},
    {12, "hires-bitmap",        "hbm"},
    {13, "fli-graph",           "bml"},
    {14, "fli-graph-packed",    "fbi"},
    {15, "art-studio",          "art"},
    {16, "doodle-9217",         "dd"},
    {17, "afli",                "afl"},
    {18, "paint-magic",         "pmg"},
    {19, "multicolour-packed",  "rpm"},
    {20, "koala-painter",       "koa"},
    {21, "doodle",              "ddl"},
};
// clang-format on

// ---------------------------------------------------------------------------
// Where each layout keeps its picture comes from the module's own tables:
// the route of a code (which row loop, which sources) and its background
// byte. Offsets count from the file's first byte, load address included.

using tarnel::HiresSources;
using tarnel::InterlacedSources;
using tarnel::MulticolourSources;
constexpr uint32_t BANK_STRIDE = tarnel::SCREEN_BANK_STRIDE;

// Offset of the layout's background byte, or 0 when its background is
// always colour 0.
uint32_t BackgroundOffset(FormatCode code) {
    const tarnel::PagePreparation* preparation = tarnel::FindPagePreparation(code);
    return preparation != nullptr && preparation->backgroundFromImage
               ? preparation->backgroundOffset
               : 0;
}

// ---------------------------------------------------------------------------
// The scene

struct Theme {
    std::array<uint8_t, 5> sky;  // top to horizon
    uint8_t skyCount;
    uint8_t sun;
    uint8_t mountain;
    uint8_t ground[2];
    uint8_t text;
    uint8_t balls[2];  // the interlaced frames' balls
};

// C64 colours: 0 black, 1 white, 2 red, 3 cyan, 4 purple, 5 green, 6 blue,
// 7 yellow, 8 orange, 9 brown, 10 light red, 11 dark grey, 12 grey,
// 13 light green, 14 light blue, 15 light grey.
// clang-format off
constexpr Theme THEMES[] = {
    {{6, 4, 10, 8, 7},  5, 1,  11, {9, 8},   7,  {2, 5}},   // dusk
    {{6, 14, 3, 1, 0},  4, 7,  12, {5, 13},  1,  {2, 4}},   // day
    {{0, 6, 14, 3, 0},  4, 13, 11, {6, 14},  3,  {7, 10}},  // sea
    {{9, 2, 8, 10, 7},  5, 1,  0,  {2, 9},   7,  {6, 14}},  // fire
    {{11, 12, 15, 1, 0}, 4, 7, 5,  {5, 13},  1,  {2, 6}},   // mist
    {{0, 6, 4, 14, 0},  4, 15, 0,  {11, 12}, 15, {7, 13}},  // night
};
constexpr Theme MONO_THEME = {{0, 15, 0, 0, 0}, 2, 15, 0, {0, 15}, 15, {15, 15}};
// clang-format on

// The sixteen colours from dark to light, for the colour bar.
constexpr uint8_t COLOURS_BY_LIGHTNESS[16] = {0, 6, 9, 2, 11, 4, 8, 14, 12, 5, 10, 3, 15, 7, 13, 1};

constexpr uint8_t BAYER4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

struct Scene {
    Theme theme;
    int sunX, sunY, sunRadius;
    std::vector<std::string> textLines;
    int bandTop;  // first row of the black text band
};

struct Canvas {
    uint32_t width = 0;
    std::vector<uint8_t> colours;
    Canvas(uint32_t w) : width(w), colours(static_cast<size_t>(w) * HEIGHT, 0) {}
    uint8_t& At(uint32_t x, uint32_t y) { return colours[y * width + x]; }
    uint8_t At(uint32_t x, uint32_t y) const { return colours[y * width + x]; }
};

int FloorDiv(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

Scene MakeScene(FormatCode code, size_t position) {
    Scene scene{};
    scene.theme = code == 12 ? MONO_THEME : THEMES[position % (sizeof THEMES / sizeof THEMES[0])];
    scene.sunX = 40 + (code * 53) % 240;
    scene.sunY = 44 + (code * 17) % 24;
    scene.sunRadius = 20;
    const tarnel::LayoutInfo* layout = tarnel::FindLayout(code);
    char label[64];
    std::snprintf(label, sizeof label, "%02u %s", static_cast<unsigned>(code),
                  layout != nullptr ? layout->name : "?");
    scene.textLines = WrapText(label, TEXT_LINE_CHARS);
    // A band of whole cell rows, so the text never shares a cell with the scene.
    const int textHeight = static_cast<int>(scene.textLines.size()) * LINE_ADVANCE * TEXT_SCALE;
    const int bandHeight = ((textHeight + 4 + 7) / 8) * 8;
    scene.bandTop = HEIGHT - bandHeight;
    return scene;
}

bool InCircle(int x2, int y2, int cx, int cy, int r) {
    const int dx = x2 - 2 * cx;
    const int dy = y2 - 2 * cy;
    return dx * dx + dy * dy <= 4 * r * r;
}

// Whether the text covers the logical point (x2 / 2, y2 / 2).
bool TextPixel(const Scene& scene, int x2, int y2) {
    const int lines = static_cast<int>(scene.textLines.size());
    const int bandHeight = HEIGHT - scene.bandTop;
    const int top = scene.bandTop + (bandHeight - lines * LINE_ADVANCE * TEXT_SCALE + 2) / 2;
    const int y = y2 / 2 - top;
    if (y < 0) return false;
    const int line = y / (LINE_ADVANCE * TEXT_SCALE);
    if (line >= lines) return false;
    const std::string& text = scene.textLines[static_cast<size_t>(line)];
    const int width = TextWidth(text) * TEXT_SCALE;
    const int left = ((WIDTH - width) / 2) & ~1;
    const int x = x2 / 2 - left;
    if (x < 0 || x >= width) return false;
    const int fx = x / TEXT_SCALE;
    const int fy = (y % (LINE_ADVANCE * TEXT_SCALE)) / TEXT_SCALE;
    const size_t index = static_cast<size_t>(fx / GLYPH_ADVANCE);
    if (index >= text.size()) return false;
    return GlyphPixel(text[index], fx % GLYPH_ADVANCE, fy);
}

// The colour of one pixel of a frame: `x` counts the frame's own columns
// (`width` of them), `frame` is 0 or 1.
uint8_t SceneColour(const Scene& scene, uint32_t width, uint32_t x, uint32_t y, int frame,
                    bool interlaced) {
    const Theme& t = scene.theme;
    // Centre of the pixel in half logical pixels.
    const int x2 = static_cast<int>((2 * x + 1) * (WIDTH / width));
    const int y2 = static_cast<int>(2 * y + 1);
    const int ly = static_cast<int>(y);
    const int lx = x2 / 2;

    if (ly >= scene.bandTop) return TextPixel(scene, x2, y2) ? t.text : 0;

    // The colour bar: one cell row, sixteen swatches of two cells.
    if (ly >= 8 && ly < 16 && lx >= 32 && lx < 288) return COLOURS_BY_LIGHTNESS[(lx - 32) / 16];

    if (interlaced) {
        // A ball in each frame, in different places: each shows half strength
        // where it is alone, and the two mix where they overlap.
        const int ballX = frame == 0 ? 118 : 146;
        if (InCircle(x2, y2, ballX, 84, 22)) return t.balls[frame];
    }

    if (ly < HORIZON) {
        // Mountains in front of the sky.
        struct Peak {
            int x, y, halfWidth;
        };
        constexpr Peak PEAKS[] = {{70, 72, 80}, {190, 86, 90}, {290, 66, 60}};
        for (const Peak& p : PEAKS) {
            const int dx = x2 - 2 * p.x;
            const int adx = dx < 0 ? -dx : dx;
            // Inside when (y - p.y) / (HORIZON - p.y) >= |x - p.x| / halfWidth.
            if ((y2 - 2 * p.y) * p.halfWidth >= adx * (HORIZON - p.y)) return t.mountain;
        }
        if (InCircle(x2, y2, scene.sunX, scene.sunY, scene.sunRadius)) return t.sun;
        // Sky: steps between neighbouring colours of the ramp, dithered. The
        // second frame is half a step further on, so the blend shows the
        // colours in between.
        const int steps = t.skyCount - 1;
        int position = ly * steps * 16 / HORIZON + (frame == 1 ? 8 : 0);
        position = std::min(position, steps * 16 - 1);
        const int step = position / 16;
        const int fraction = position % 16;
        const bool next = fraction > BAYER4[y & 3][x & 3];
        return t.sky[static_cast<size_t>(step + (next ? 1 : 0))];
    }

    // A chequered floor in perspective down to the text band.
    const int depth = ly - HORIZON + 12;
    const int u = FloorDiv((x2 - WIDTH) * 24, depth);
    const int v = 640 / depth;
    return t.ground[static_cast<size_t>((FloorDiv(u, 40) + v / 8) & 1)];
}

Canvas DrawFrame(const Scene& scene, uint32_t width, int frame, bool interlaced) {
    Canvas canvas(width);
    for (uint32_t y = 0; y < static_cast<uint32_t>(HEIGHT); ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            canvas.At(x, y) = SceneColour(scene, width, x, y, frame, interlaced);
        }
    }
    return canvas;
}

// ---------------------------------------------------------------------------
// Fitting colours into cells

struct Counts {
    std::array<uint32_t, 16> n{};
    void Add(uint8_t colour) { n[colour & 15] += 1; }
};

// Fills `out[0..slots)` with the most frequent colours not excluded (ties go
// to the lower colour number); slots nobody needs get `pad`.
void Pick(const Counts& counts, std::array<bool, 16> excluded, size_t slots, uint8_t pad,
          uint8_t* out) {
    for (size_t s = 0; s < slots; ++s) {
        int best = -1;
        for (int c = 0; c < 16; ++c) {
            if (excluded[static_cast<size_t>(c)] || counts.n[static_cast<size_t>(c)] == 0) continue;
            if (best < 0 ||
                counts.n[static_cast<size_t>(c)] > counts.n[static_cast<size_t>(best)]) {
                best = c;
            }
        }
        if (best < 0) {
            out[s] = pad;
        } else {
            out[s] = static_cast<uint8_t>(best);
            excluded[static_cast<size_t>(best)] = true;
        }
    }
}

std::array<bool, 16> Excluding(std::initializer_list<uint8_t> colours) {
    std::array<bool, 16> excluded{};
    for (uint8_t c : colours) excluded[c & 15] = true;
    return excluded;
}

uint8_t MostFrequent(const Counts& counts, std::array<bool, 16> excluded, uint8_t pad) {
    uint8_t colour = pad;
    Pick(counts, excluded, 1, pad, &colour);
    return colour;
}

int Distance(uint8_t a, uint8_t b) {
    const tarnel::Palette& p = tarnel::C64_PALETTE;
    const int dr = p.red[a] - p.red[b];
    const int dg = p.green[a] - p.green[b];
    const int db = p.blue[a] - p.blue[b];
    return dr * dr + dg * dg + db * db;
}

// The index among `candidates` of the colour nearest to `colour`; the first
// of equally near ones.
size_t Nearest(uint8_t colour, const uint8_t* candidates, size_t count) {
    size_t best = 0;
    for (size_t i = 1; i < count; ++i) {
        if (Distance(colour, candidates[i]) < Distance(colour, candidates[best])) best = i;
    }
    return best;
}

uint32_t CellIndex(uint32_t cellX, uint32_t cellY) {
    return cellY * 40 + cellX;
}
uint32_t BitmapByte(uint32_t cellX, uint32_t cellY, uint32_t row) {
    return cellY * 320 + cellX * 8 + row;
}
void SetPair(std::vector<uint8_t>& memory, uint32_t offset, uint32_t column, uint32_t pair) {
    const uint32_t shift = 6 - 2 * column;
    memory[offset] = static_cast<uint8_t>((memory[offset] & ~(3u << shift)) | (pair << shift));
}
void SetBit(std::vector<uint8_t>& memory, uint32_t offset, uint32_t column, uint32_t bit) {
    const uint32_t shift = 7 - column;
    memory[offset] = static_cast<uint8_t>((memory[offset] & ~(1u << shift)) | (bit << shift));
}
uint8_t Nibbles(uint8_t high, uint8_t low) {
    return static_cast<uint8_t>((high << 4) | (low & 15));
}

Counts CountAll(const Canvas& canvas) {
    Counts counts;
    for (uint8_t c : canvas.colours) counts.Add(c);
    return counts;
}

// ---------------------------------------------------------------------------
// Encoders: each writes one layout's memory and returns the colours that the
// memory shows.

Canvas EncodeMulticolour(const MulticolourSources& l, uint32_t backgroundOffset,
                         const Canvas& target, std::vector<uint8_t>& memory) {
    const uint32_t stripCells = l.leftStripColumns / 4;
    Canvas shown(160);
    std::array<uint8_t, HEIGHT> background{};
    if (l.rowBackground) {
        for (uint32_t y = 0; y < HEIGHT; ++y) {
            Counts row;
            for (uint32_t x = 0; x < 160; ++x) row.Add(target.At(x, y));
            background[y] = MostFrequent(row, {}, 0);
        }
    } else {
        const uint8_t colour = backgroundOffset != 0 ? MostFrequent(CountAll(target), {}, 0) : 0;
        background.fill(colour);
        if (backgroundOffset != 0) memory[backgroundOffset] = colour;
    }

    uint8_t shared = 0;
    if (l.sharedColourByte) {
        shared = MostFrequent(CountAll(target), Excluding({background[0]}), 0);
        memory[l.colourBase] = shared;
    }

    // The left strip of layouts with row backgrounds: bit pairs 1 and 2 show
    // one colour for the whole strip (the low nibble of the first screen
    // byte), bit pair 3 the row byte's high nibble.
    uint8_t stripColour = 0;
    std::array<uint8_t, HEIGHT> stripRowColour{};
    if (l.rowBackground) {
        Counts strip;
        for (uint32_t y = 0; y < HEIGHT; ++y) {
            for (uint32_t x = 0; x < stripCells * 4; ++x) {
                if (target.At(x, y) != background[y]) strip.Add(target.At(x, y));
            }
        }
        stripColour = MostFrequent(strip, {}, background[0]);
        memory[l.screenBase] = stripColour;
        for (uint32_t y = 0; y < HEIGHT; ++y) {
            Counts row;
            for (uint32_t x = 0; x < stripCells * 4; ++x) row.Add(target.At(x, y));
            stripRowColour[y] =
                MostFrequent(row, Excluding({background[y], stripColour}), background[y]);
            memory[l.rowTableBase + y] = Nibbles(stripRowColour[y], background[y]);
        }
    }

    for (uint32_t cellY = 0; cellY < 25; ++cellY) {
        for (uint32_t cellX = 0; cellX < 40; ++cellX) {
            const uint32_t cell = CellIndex(cellX, cellY);
            const bool inStrip = cellX < stripCells;
            uint8_t cellColour = 0;  // bit pair 3 in the usual case
            uint8_t cellScreen[2] = {0, 0};
            if (!inStrip && l.screenBanked) {
                Counts counts;
                for (uint32_t r = 0; r < 8; ++r) {
                    const uint32_t y = cellY * 8 + r;
                    for (uint32_t x = cellX * 4; x < cellX * 4 + 4; ++x) {
                        if (target.At(x, y) != background[y]) counts.Add(target.At(x, y));
                    }
                }
                cellColour = MostFrequent(counts, {}, background[cellY * 8]);
                memory[l.colourBase + cell] = cellColour;
            } else if (!inStrip) {
                Counts counts;
                for (uint32_t r = 0; r < 8; ++r) {
                    for (uint32_t x = cellX * 4; x < cellX * 4 + 4; ++x) {
                        counts.Add(target.At(x, cellY * 8 + r));
                    }
                }
                const uint8_t bg = background[cellY * 8];
                if (l.sharedColourByte) {
                    Pick(counts, Excluding({bg, shared}), 2, bg, cellScreen);
                    cellColour = shared;
                } else {
                    uint8_t picked[3];
                    Pick(counts, Excluding({bg}), 3, bg, picked);
                    cellScreen[0] = picked[0];
                    cellScreen[1] = picked[1];
                    cellColour = picked[2];
                    memory[l.colourBase + cell] = cellColour;
                }
                memory[l.screenBase + cell] = Nibbles(cellScreen[0], cellScreen[1]);
            }

            for (uint32_t r = 0; r < 8; ++r) {
                const uint32_t y = cellY * 8 + r;
                uint8_t slots[4];
                if (inStrip) {
                    slots[0] = background[y];
                    slots[1] = slots[2] = stripColour;
                    slots[3] = stripRowColour[y];
                } else if (l.screenBanked) {
                    Counts counts;
                    for (uint32_t x = cellX * 4; x < cellX * 4 + 4; ++x)
                        counts.Add(target.At(x, y));
                    uint8_t screen[2];
                    Pick(counts, Excluding({background[y], cellColour}), 2, background[y], screen);
                    memory[l.screenBase + BANK_STRIDE * r + cell] = Nibbles(screen[0], screen[1]);
                    slots[0] = background[y];
                    slots[1] = screen[0];
                    slots[2] = screen[1];
                    slots[3] = cellColour;
                } else {
                    slots[0] = background[y];
                    slots[1] = cellScreen[0];
                    slots[2] = cellScreen[1];
                    slots[3] = cellColour;
                }
                for (uint32_t c = 0; c < 4; ++c) {
                    const uint32_t x = cellX * 4 + c;
                    const size_t pair = Nearest(target.At(x, y), slots, 4);
                    SetPair(memory, l.bitmapBase + BitmapByte(cellX, cellY, r), c,
                            static_cast<uint32_t>(pair));
                    shown.At(x, y) = slots[pair];
                }
            }
        }
    }
    return shown;
}

Canvas EncodeHires(const HiresSources& l, const Canvas& target, std::vector<uint8_t>& memory) {
    Canvas shown(320);
    for (uint32_t cellY = 0; cellY < 25; ++cellY) {
        for (uint32_t cellX = 0; cellX < 40; ++cellX) {
            const uint32_t cell = CellIndex(cellX, cellY);
            uint8_t cellColours[2] = {15, 0};  // set bit, clear bit
            if (!l.fixedColours && !l.screenBanked) {
                Counts counts;
                for (uint32_t r = 0; r < 8; ++r) {
                    for (uint32_t x = cellX * 8; x < cellX * 8 + 8; ++x) {
                        counts.Add(target.At(x, cellY * 8 + r));
                    }
                }
                Pick(counts, {}, 2, 0, cellColours);
                memory[l.screenBase + cell] = Nibbles(cellColours[0], cellColours[1]);
            }
            for (uint32_t r = 0; r < 8; ++r) {
                const uint32_t y = cellY * 8 + r;
                uint8_t rowColours[2] = {cellColours[0], cellColours[1]};
                if (l.screenBanked) {
                    Counts counts;
                    for (uint32_t x = cellX * 8; x < cellX * 8 + 8; ++x)
                        counts.Add(target.At(x, y));
                    Pick(counts, {}, 2, 0, rowColours);
                    memory[l.screenBase + BANK_STRIDE * r + cell] =
                        Nibbles(rowColours[0], rowColours[1]);
                }
                // Candidates in bit order: clear bit first, so that a colour
                // both slots hold gives a clear bit.
                const uint8_t candidates[2] = {rowColours[1], rowColours[0]};
                for (uint32_t c = 0; c < 8; ++c) {
                    const uint32_t x = cellX * 8 + c;
                    const size_t bit = Nearest(target.At(x, y), candidates, 2);
                    SetBit(memory, l.bitmapBase + BitmapByte(cellX, cellY, r), c,
                           static_cast<uint32_t>(bit));
                    shown.At(x, y) = candidates[bit];
                }
            }
        }
    }
    return shown;
}

// Both frames at once: they share the colour memory (and, unbanked, the
// screen), so the cell's colours are chosen from both. The background is
// colour 0 in every interlaced layout here: where a layout keeps a
// background byte, the memory image leaves it 0.
std::vector<Canvas> EncodeInterlaced(const InterlacedSources& l, const Canvas (&targets)[2],
                                     std::vector<uint8_t>& memory) {
    std::vector<Canvas> shown{Canvas(160), Canvas(160)};
    constexpr uint8_t BACKGROUND = 0;
    for (uint32_t cellY = 0; cellY < 25; ++cellY) {
        for (uint32_t cellX = 0; cellX < 40; ++cellX) {
            const uint32_t cell = CellIndex(cellX, cellY);
            Counts both;
            for (const Canvas& target : targets) {
                for (uint32_t r = 0; r < 8; ++r) {
                    for (uint32_t x = cellX * 4; x < cellX * 4 + 4; ++x) {
                        both.Add(target.At(x, cellY * 8 + r));
                    }
                }
            }
            uint8_t cellColours[3] = {0, 0, 0};  // screen high, screen low, colour memory
            if (l.screenBanked) {
                cellColours[2] = MostFrequent(both, Excluding({BACKGROUND}), BACKGROUND);
            } else {
                Pick(both, Excluding({BACKGROUND}), 3, BACKGROUND, cellColours);
                memory[l.frames[0].screenBase + cell] = Nibbles(cellColours[0], cellColours[1]);
            }
            memory[l.colourBase + cell] = cellColours[2];

            for (size_t f = 0; f < 2; ++f) {
                for (uint32_t r = 0; r < 8; ++r) {
                    const uint32_t y = cellY * 8 + r;
                    uint8_t slots[4] = {BACKGROUND, cellColours[0], cellColours[1], cellColours[2]};
                    if (l.screenBanked) {
                        Counts counts;
                        for (uint32_t x = cellX * 4; x < cellX * 4 + 4; ++x) {
                            counts.Add(targets[f].At(x, y));
                        }
                        Pick(counts, Excluding({BACKGROUND, cellColours[2]}), 2, BACKGROUND,
                             slots + 1);
                        memory[l.frames[f].screenBase + BANK_STRIDE * r + cell] =
                            Nibbles(slots[1], slots[2]);
                    }
                    for (uint32_t c = 0; c < 4; ++c) {
                        const uint32_t x = cellX * 4 + c;
                        const size_t pair = Nearest(targets[f].At(x, y), slots, 4);
                        SetPair(memory, l.frames[f].bitmapBase + BitmapByte(cellX, cellY, r), c,
                                static_cast<uint32_t>(pair));
                        shown[f].At(x, y) = slots[pair];
                    }
                }
            }
        }
    }
    return shown;
}

FrameColours ToFrame(const Canvas& canvas) {
    FrameColours frame;
    frame.width = canvas.width;
    frame.colours = canvas.colours;
    return frame;
}

}  // namespace

SamplePicture MakeSample(FormatCode code) {
    SamplePicture sample;
    sample.code = code;
    const tarnel::LayoutInfo* info = tarnel::FindLayout(code);
    size_t position = 0;
    const SampleFile* file = nullptr;
    for (const SampleFile& f : SAMPLE_FILES) {
        if (f.code == code) {
            file = &f;
            break;
        }
        ++position;
    }
    const tarnel::LayoutRoute* route =
        info != nullptr ? tarnel::FindLayoutRoute(info->unpackedAs) : nullptr;
    if (file == nullptr || route == nullptr) return sample;

    char name[64];
    std::snprintf(name, sizeof name, "%02u-%s.%s", static_cast<unsigned>(code), file->slug,
                  file->extension);
    sample.fileName = name;

    const Scene scene = MakeScene(code, position);
    std::vector<uint8_t> memory(MEMORY_BYTES, 0);
    switch (route->loop) {
        case tarnel::RowLoop::Multicolour: {
            const Canvas target = DrawFrame(scene, 160, 0, false);
            sample.frames.push_back(
                ToFrame(EncodeMulticolour(*tarnel::FindMulticolourSources(route->fetcher),
                                          BackgroundOffset(info->unpackedAs), target, memory)));
            break;
        }
        case tarnel::RowLoop::Hires: {
            const Canvas target = DrawFrame(scene, 320, 0, false);
            sample.frames.push_back(
                ToFrame(EncodeHires(*tarnel::FindHiresSources(route->fetcher), target, memory)));
            break;
        }
        case tarnel::RowLoop::Interlaced: {
            const Canvas targets[2] = {DrawFrame(scene, 160, 0, true),
                                       DrawFrame(scene, 160, 1, true)};
            for (const Canvas& c : EncodeInterlaced(*tarnel::FindInterlacedSources(route->fetcher),
                                                    targets, memory)) {
                sample.frames.push_back(ToFrame(c));
            }
            break;
        }
    }
    sample.bytes = tarnel::BuildLayoutFile(
        code, tarnel::ByteView{memory.data(), static_cast<uint32_t>(memory.size())});
    return sample;
}

std::vector<SamplePicture> MakeAllSamples() {
    std::vector<SamplePicture> samples;
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS)
        samples.push_back(MakeSample(layout.code));
    return samples;
}

}  // namespace tarnel_tools
