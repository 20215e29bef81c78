// Samples of the interlaced pictures: True Paint (raw and self-extracting),
// FP, Pixel Perfect (raw and packed), FFLI, IHE, Hires-Interlace, HLE, VHI
// (raw and packed), ECI and ECP, the logos ILE and MLE, and the hires
// pictures with sprites ISH, ESH and SHI (raw and packed), the UFLI and
// Mufflon pictures of two frames UIF and MUI, and SIF. Each frame is
// drawn as bitmap, screen and colour bytes; the file is those bytes at the
// format's offsets, packed where it is packed; each frame's picture is
// worked out from the drawing pixel by pixel, the second at its own place
// (a pixel right where the format shows it so). The packers here write each
// scheme with runs, literals, escaped bytes and the zero counts it has.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "authoring/font.h"
#include "authoring/format_samples.h"
#include "authoring/pack_schemes.h"

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t COLUMNS = 40;
constexpr uint32_t ROWS = 25;
constexpr uint32_t CELLS = COLUMNS * ROWS;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "format_samples_interlace: %s\n", what);
    std::abort();
}

bool GlyphAt(const std::string& text, int x, int y) {
    if (x < 0 || y < 0 || y >= GLYPH_HEIGHT) return false;
    const size_t n = static_cast<size_t>(x / GLYPH_ADVANCE);
    const int column = x % GLYPH_ADVANCE;
    return n < text.size() && column < GLYPH_WIDTH && GlyphPixel(text[n], column, y);
}

// One frame as drawn: a bitmap of `columns` cells a row, one screen or
// eight (FLI, screen y mod 8 for line y), colour memory and a background a
// line (multicolour), or fixed colours (no screen).
struct Frame {
    uint32_t columns = COLUMNS;
    bool multicolour = true;
    bool shifted = false;
    Bytes bitmap;
    std::vector<Bytes> screens;
    Bytes colour;
    Bytes backgrounds = Bytes(200, 0);  // as stored, high nibble and all
    uint8_t fixedScreen = 0;

    uint8_t& ByteAt(uint32_t x, uint32_t y) {
        return bitmap[((y / 8) * columns + x / 8) * 8 + y % 8];
    }
    // The frame's own pixel (x, y), before any shift.
    uint8_t Own(uint32_t x, uint32_t y) const {
        const uint32_t cell = (y / 8) * columns + x / 8;
        const uint8_t byte = bitmap[cell * 8 + y % 8];
        const uint8_t screen =
            screens.empty() ? fixedScreen : screens[screens.size() == 8 ? y % 8 : 0][cell];
        if (!multicolour) return (byte >> (7 - x % 8) & 1) != 0 ? screen >> 4 : screen & 15;
        const uint32_t pair = byte >> (6 - 2 * ((x % 8) / 2)) & 3;
        const uint8_t choices[4] = {backgrounds[y], static_cast<uint8_t>(screen >> 4), screen,
                                    colour.empty() ? uint8_t{0} : colour[cell]};
        return choices[pair] & 15;
    }
    // Pixel (x, y) where the frame is shown.
    uint8_t Pixel(uint32_t x, uint32_t y) const {
        if (!shifted) return Own(x, y);
        return x == 0 ? backgrounds[y] & 15 : Own(x - 1, y);
    }
};

// A multicolour frame: a sky with a few stars, bands, a title, a disc;
// colours change cell by cell (and, in FLI, line by line).
Frame Multicolour(uint32_t seed, const std::string& title, bool fli) {
    Frame f;
    f.bitmap.assign(CELLS * 8, 0);
    f.screens.assign(fli ? 8 : 1, Bytes(CELLS));
    f.colour.resize(CELLS);
    for (uint32_t y = 0; y < 200; ++y) {
        f.backgrounds[y] = static_cast<uint8_t>((seed * 5 % 16) << 4 | (6 + seed) % 16);
    }
    for (uint32_t k = 0; k < f.screens.size(); ++k) {
        for (uint32_t cell = 0; cell < CELLS; ++cell) {
            const uint32_t r = cell / COLUMNS, c = cell % COLUMNS;
            f.screens[k][cell] =
                r < 4 ? 0xE3
                      : static_cast<uint8_t>((c / 5 + r + seed + k) % 16 << 4 |
                                             (c / 3 + 2 * r + seed + 7 + 3 * k) % 16);
        }
    }
    for (uint32_t cell = 0; cell < CELLS; ++cell) {
        const uint32_t r = cell / COLUMNS, c = cell % COLUMNS;
        f.colour[cell] =
            r < 4 ? 0x01 : static_cast<uint8_t>((c * 5 + r) % 16 << 4 | (c + 3 * r + seed) % 16);
    }
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t px = 0; px < 160; ++px) {
            uint32_t pair;
            if (y < 32) {
                pair = y >= 8 && (px * 7 + y * 13 + seed) % 97 == 0 ? 3 : 0;
            } else if (y < 72) {
                pair = (px / 6 + y / 5 + seed) % 4;
            } else if (y < 112) {
                const int row = y >= 80 ? static_cast<int>((y - 80) / 2) : -1;
                pair = GlyphAt(title, static_cast<int>(px) - 4, row) ? 3 : 2 - (y / 8 + seed) % 2;
            } else {
                const int dx = static_cast<int>(px * 2 + 1) - 200 - static_cast<int>(seed % 5) * 8;
                const int dy = static_cast<int>(y) - 156;
                pair = dx * dx + dy * dy < 36 * 36 ? 1 : (px + y / 2 + (px / 4) * (y / 8)) % 4;
            }
            const uint32_t shift = 6 - 2 * (px % 4);
            uint8_t& byte = f.ByteAt(px * 2, y);
            byte = static_cast<uint8_t>(byte | pair << shift);
        }
    }
    return f;
}

// A hires frame of the same kind, `columns` cells wide.
Frame Hires(uint32_t seed, const std::string& title, bool fli, uint32_t columns = COLUMNS) {
    Frame f;
    f.columns = columns;
    f.multicolour = false;
    const uint32_t cells = columns * ROWS;
    f.bitmap.assign(cells * 8, 0);
    f.screens.assign(fli ? 8 : 1, Bytes(cells));
    for (uint32_t k = 0; k < f.screens.size(); ++k) {
        for (uint32_t cell = 0; cell < cells; ++cell) {
            const uint32_t r = cell / columns, c = cell % columns;
            f.screens[k][cell] =
                r < 3 ? 0x16
                      : static_cast<uint8_t>((c / 4 + r + seed + k) % 16 << 4 |
                                             (c / 6 + 2 * r + seed + 9 + 5 * k) % 16);
        }
    }
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t x = 0; x < columns * 8; ++x) {
            bool on;
            if (y < 24) {
                on = y >= 8 && (x * 7 + y * 13 + seed) % 101 == 0;
            } else if (y < 64) {
                on = (x + y + seed) / 4 % 2 == 0;
            } else if (y < 96) {
                const int row = y >= 70 ? static_cast<int>((y - 70) / 2) : -1;
                on = GlyphAt(title, static_cast<int>(x / 2) - 4, row);
            } else {
                const int dx = static_cast<int>(x) - static_cast<int>(columns * 4) - 20;
                const int dy = static_cast<int>(y) - 150;
                on = dx * dx + dy * dy < 36 * 36 ? (x ^ y) % 3 == 0
                                                 : (x / 8 + y / 8 + seed) % 2 == 0;
            }
            if (on) f.ByteAt(x, y) |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    return f;
}

// `value` a few times alone and once five times over in the bitmap.
void PlantBytes(Frame* f, uint8_t value) {
    const size_t at = (16 * f->columns + 10) * 8;
    f->bitmap.at(at + 1) = value;
    for (size_t n : {9, 11}) f->bitmap.at(at + n) = value;
    for (size_t n = 20; n < 25; ++n) f->bitmap.at(at + n) = value;
}

// Writes `bytes` into `file` at `at`.
void Put(Bytes* file, size_t at, const Bytes& bytes) {
    if (at + bytes.size() > file->size()) Fail("a part past the file's end");
    std::memcpy(file->data() + at, bytes.data(), bytes.size());
}
// A frame's screens at `at`, 1,024 bytes apart.
void PutScreens(Bytes* file, size_t at, const Frame& f) {
    for (size_t k = 0; k < f.screens.size(); ++k) Put(file, at + 1024 * k, f.screens[k]);
}

// A file of `size` bytes with load address `load`, its unused bytes filler.
Bytes Blank(size_t size, uint16_t load) {
    Bytes file(size);
    uint32_t seed = size;
    for (uint8_t& b : file) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    file[0] = static_cast<uint8_t>(load & 0xFF);
    file[1] = static_cast<uint8_t>(load >> 8);
    return file;
}

FormatSample Sample(tarnel::FormatCode code, const char* slug, Bytes bytes, const Frame& first,
                    const Frame& second, uint32_t width = 320, uint32_t height = 200) {
    char name[64];
    std::snprintf(name, sizeof name, "%03u-%s", static_cast<unsigned>(code), slug);
    FormatSample sample{code, name, std::move(bytes), width, height, {}, 0};
    sample.colours.resize(size_t{width} * height);
    sample.secondFrame.resize(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            sample.colours[size_t{y} * width + x] = first.Pixel(x, y);
            sample.secondFrame[size_t{y} * width + x] = second.Pixel(x, y);
        }
    }
    sample.background = first.multicolour ? first.backgrounds[0] & 15 : 0;
    return sample;
}

// Frame 2 of a shifted multicolour pair: another drawing, a pixel right,
// with the colour memory and background of frame 1.
Frame SecondOf(const Frame& first, uint32_t seed, const std::string& title, bool shifted) {
    Frame f = first.multicolour ? Multicolour(seed, title, first.screens.size() == 8)
                                : Hires(seed, title, first.screens.size() == 8, first.columns);
    f.colour = first.colour;
    f.backgrounds = first.backgrounds;
    f.shifted = shifted;
    return f;
}

// --- Packers -------------------------------------------------------------

// The length of the run of equal bytes at data[at], at most `most`.
uint32_t RunAt(const Bytes& data, size_t at, uint32_t most) {
    uint32_t n = 1;
    while (n < most && at + n < data.size() && data[at + n] == data[at]) ++n;
    return n;
}

// Pixel Perfect: `E n value` for n + 1 copies; escape bytes as runs of one.
// One run of 256 and one of one (n 0) at least.
Bytes PackCountPlusOne(const Bytes& data, uint8_t escape) {
    Bytes out;
    for (size_t at = 0; at < data.size();) {
        const uint32_t run = RunAt(data, at, 256);
        if (run >= 4 || data[at] == escape) {
            out.insert(out.end(), {escape, static_cast<uint8_t>(run - 1), data[at]});
            at += run;
        } else {
            out.push_back(data[at++]);
        }
    }
    return out;
}

// VHI: `$00 n` then n literals, `$01 n value` (n 0: 256 in both).
Bytes PackVhi(const Bytes& data) {
    Bytes out;
    Bytes literals;
    auto flush = [&] {
        for (size_t at = 0; at < literals.size(); at += 256) {
            const size_t n = std::min<size_t>(256, literals.size() - at);
            out.push_back(0x00);
            out.push_back(static_cast<uint8_t>(n & 0xFF));
            out.insert(out.end(), literals.begin() + at, literals.begin() + at + n);
        }
        literals.clear();
    };
    for (size_t at = 0; at < data.size();) {
        const uint32_t run = RunAt(data, at, 256);
        if (run >= 3) {
            flush();
            out.insert(out.end(), {0x01, static_cast<uint8_t>(run & 0xFF), data[at]});
            at += run;
        } else {
            literals.push_back(data[at++]);
        }
    }
    flush();
    return out;
}

// ESH and SHI: b < 128 then b literals; 128 + n then a byte n times. An
// empty command of each kind at the start.
Bytes PackCommandRuns(const Bytes& data) {
    Bytes out = {0x00, 0x80, 0x00};
    Bytes literals;
    auto flush = [&] {
        for (size_t at = 0; at < literals.size(); at += 127) {
            const size_t n = std::min<size_t>(127, literals.size() - at);
            out.push_back(static_cast<uint8_t>(n));
            out.insert(out.end(), literals.begin() + at, literals.begin() + at + n);
        }
        literals.clear();
    };
    for (size_t at = 0; at < data.size();) {
        const uint32_t run = RunAt(data, at, 127);
        if (run >= 3) {
            flush();
            out.insert(out.end(), {static_cast<uint8_t>(0x80 + run), data[at]});
            at += run;
        } else {
            literals.push_back(data[at++]);
        }
    }
    flush();
    return out;
}

// True Paint's self-extracting file: a 142-byte program head holding the
// unpacker's table (keys at 129 to 137, their actions at 120 to 128, the
// value of the pair action at 133 + key, the run value at 79), then a
// stream read from the end: tokens are written in reading order and the
// whole turned round.
constexpr uint8_t MCI_KEYS[9] = {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9};
constexpr uint8_t MCI_ACTIONS[9] = {0, 7, 11, 17, 23, 25, 0, 99, 17};
constexpr uint8_t MCI_RUN_VALUE = 0x00;
constexpr uint8_t MCI_PAIR_6 = 0x55;  // byte 139

Bytes PackTruePaint(const Bytes& image) {
    Bytes head = Blank(142, 0x0801);
    head[79] = MCI_RUN_VALUE;
    for (uint32_t e = 0; e < 9; ++e) {
        head[120 + e] = MCI_ACTIONS[e];
        head[129 + e] = MCI_KEYS[e];
    }
    head[139] = MCI_PAIR_6;
    auto pairValue = [&](uint32_t e) { return head[133 + e]; };
    auto key = [&](uint32_t action) -> uint8_t {
        for (uint32_t e = 0; e < 9; ++e) {
            if (MCI_ACTIONS[e] == action) return MCI_KEYS[e];
        }
        Fail("no such action");
    };
    auto actionOf = [&](uint8_t b) -> int {
        for (int e = 8; e >= 0; --e) {
            if (MCI_KEYS[e] == b) return MCI_ACTIONS[e];
        }
        return -1;
    };
    Bytes data(image.rbegin(), image.rend());  // in reading order
    Bytes tokens;
    bool alternate = false;
    for (size_t at = 0; at < data.size();) {
        const uint8_t v = data[at];
        const uint32_t run = RunAt(data, at, 257);
        if (v == MCI_RUN_VALUE && run == 3) {
            tokens.push_back(key(11));
        } else if (v == MCI_RUN_VALUE && run >= 2) {
            tokens.insert(tokens.end(), {key(7), static_cast<uint8_t>(run - 2)});
        } else if (run == 2 && (v == pairValue(0) || v == pairValue(6))) {
            tokens.push_back(v == pairValue(6) ? MCI_KEYS[6] : MCI_KEYS[0]);
        } else if (run == 3) {
            tokens.insert(tokens.end(), {key(23), v});
        } else if (run >= 2) {
            // Both keys of action 17 in turn.
            tokens.insert(tokens.end(), {alternate ? MCI_KEYS[8] : MCI_KEYS[3],
                                         static_cast<uint8_t>(run - 2), v});
            alternate = !alternate;
        } else {
            const int action = actionOf(v);
            if (action >= 0 && action != 99) tokens.push_back(key(25));
            tokens.push_back(v);
        }
        at += run;
    }
    head.insert(head.end(), tokens.rbegin(), tokens.rend());
    return head;
}

// --- Samples --------------------------------------------------------------

void AddTruePaint(std::vector<FormatSample>* samples) {
    for (bool packed : {false, true}) {
        Frame first =
            Multicolour(packed ? 3 : 1, packed ? "TRUE PAINT, PACKED" : "TRUE PAINT", false);
        Frame second = SecondOf(first, packed ? 4 : 2, "TRUE PAINT, FRAME 2", true);
        if (packed) {
            for (uint8_t k : MCI_KEYS) PlantBytes(&first, k);
            PlantBytes(&second, MCI_PAIR_6);
            PlantBytes(&second, MCI_KEYS[4]);  // the pair value of key 0
        }
        Bytes file = Blank(19434, 0x9C00);
        Put(&file, 2, first.screens[0]);
        file[1002] = first.backgrounds[0];
        Put(&file, 1026, first.bitmap);
        Put(&file, 9218, second.bitmap);
        Put(&file, 17410, second.screens[0]);
        Put(&file, 18434, first.colour);
        if (packed) file = PackTruePaint(Bytes(file.begin() + 2, file.end()));
        samples->push_back(Sample(100, packed ? "true-paint-packed.mci" : "true-paint.mci",
                                  std::move(file), first, second));
    }
}

void AddFp(std::vector<FormatSample>* samples) {
    const Frame first = Multicolour(5, "FP INTERLACE", false);
    const Frame second = SecondOf(first, 6, "FP, FRAME 2", true);
    Bytes file = Blank(19266, 0x4000);
    Put(&file, 2, first.colour);
    Put(&file, 1026, first.screens[0]);
    Put(&file, 2050, second.screens[0]);
    Put(&file, 3074, first.bitmap);
    file[11074] = first.backgrounds[0];
    Put(&file, 11266, second.bitmap);
    samples->push_back(Sample(101, "fp.fp", std::move(file), first, second));
}

void AddPixelPerfect(std::vector<FormatSample>* samples) {
    constexpr uint8_t ESCAPE = 0xB7;
    for (bool packed : {false, true}) {
        Frame first =
            Multicolour(packed ? 9 : 7, packed ? "PIXEL PERFECT, PACKED" : "PIXEL PERFECT", true);
        Frame second = SecondOf(first, packed ? 10 : 8, "PIXEL PERFECT, FRAME 2", true);
        if (packed) PlantBytes(&first, ESCAPE);
        Bytes file = Blank(33602, 0x3C00);
        Put(&file, 2, first.colour);
        PutScreens(&file, 1026, first);
        Put(&file, 9218, first.bitmap);
        file[17281] = first.backgrounds[0];
        PutScreens(&file, 17410, second);
        Put(&file, 25602, second.bitmap);
        if (packed) {
            // A run of 256 colour memory bytes.
            std::memset(file.data() + 2, 0x0E, 256);
            std::memset(first.colour.data(), 0x0E, 256);
            second.colour = first.colour;
            Bytes packedFile = {0x00, 0x3C, 0x10, 0x10, 0x10, ESCAPE};
            const Bytes stream = PackCountPlusOne(Bytes(file.begin() + 2, file.end()), ESCAPE);
            packedFile.insert(packedFile.end(), stream.begin(), stream.end());
            file = std::move(packedFile);
        }
        samples->push_back(Sample(102, packed ? "pixel-perfect-packed.ppp" : "pixel-perfect.pp",
                                  std::move(file), first, second));
    }
}

void AddFfli(std::vector<FormatSample>* samples) {
    Frame first = Multicolour(11, "FFLI", true);
    Frame second = Multicolour(12, "FFLI, FRAME 2", true);
    second.bitmap = first.bitmap;  // one bitmap for both
    second.colour = first.colour;
    for (uint32_t y = 0; y < 200; ++y) {
        first.backgrounds[y] = static_cast<uint8_t>(0xA0 | (y / 8) % 16);
        second.backgrounds[y] = static_cast<uint8_t>(0x50 | (y / 5 + 3) % 16);
    }
    Bytes file = Blank(26115, 0x3F00);
    file[2] = 'f';
    Put(&file, 3, first.backgrounds);
    Put(&file, 259, first.colour);
    PutScreens(&file, 1283, first);
    Put(&file, 9475, first.bitmap);
    PutScreens(&file, 17667, second);
    Put(&file, 25859, second.backgrounds);
    samples->push_back(Sample(103, "ffli.ffl", std::move(file), first, second));
}

void AddHires(std::vector<FormatSample>* samples) {
    {
        Frame first = Hires(13, "IHE", false);
        Frame second = Hires(14, "IHE, FRAME 2", false);
        first.screens.clear();
        second.screens.clear();
        first.fixedScreen = second.fixedScreen = 0x0C;
        Bytes file = Blank(16194, 0x2000);
        Put(&file, 2, first.bitmap);
        Put(&file, 8194, second.bitmap);
        samples->push_back(Sample(104, "ihe.ihe", std::move(file), first, second));
    }
    {
        const Frame first = Hires(15, "HIRES-INTERLACE", false);
        const Frame second = Hires(16, "FENIKS, FRAME 2", false);
        Bytes file = Blank(24578, 0x2000);
        Put(&file, 2, first.bitmap);
        Put(&file, 9218, second.screens[0]);
        Put(&file, 10242, first.screens[0]);
        Put(&file, 16386, second.bitmap);
        samples->push_back(Sample(105, "hires-interlace.hlf", std::move(file), first, second));
    }
    {
        const Frame first = Hires(17, "HLE", false);
        const Frame second = Hires(18, "HLE, FRAME 2", false);
        Bytes file = Blank(32770, 0x4000);
        Put(&file, 2, first.bitmap);
        Put(&file, 8194, first.screens[0]);
        Put(&file, 16386, second.screens[0]);
        Put(&file, 24578, second.bitmap);
        samples->push_back(Sample(106, "hle.hle", std::move(file), first, second));
    }
    for (bool packed : {false, true}) {
        const Frame first = Hires(packed ? 21 : 19, packed ? "VHI, PACKED" : "VHI", false);
        Frame second = Hires(packed ? 22 : 20, "VHI, FRAME 2", false);
        second.screens = first.screens;
        Bytes file = Blank(17389, 0x4000);
        Put(&file, 2, first.bitmap);
        Put(&file, 8194, second.bitmap);
        Put(&file, 16386, first.screens[0]);
        if (packed) {
            Bytes packedFile = {0x00, 0x40};
            const Bytes stream = PackVhi(Bytes(file.begin() + 2, file.begin() + 2 + 17384));
            packedFile.insert(packedFile.end(), stream.begin(), stream.end());
            file = std::move(packedFile);
        }
        samples->push_back(
            Sample(107, packed ? "vhi-packed.vhi" : "vhi.vhi", std::move(file), first, second));
    }
    for (bool packed : {false, true}) {
        constexpr uint8_t ESCAPE = 0x3E;
        Frame first = Hires(packed ? 25 : 23, packed ? "ECP" : "ECI", true);
        const Frame second = Hires(packed ? 26 : 24, "ECI, FRAME 2", true);
        if (packed) PlantBytes(&first, ESCAPE);
        Bytes file = Blank(32770, 0x4000);
        Put(&file, 2, first.bitmap);
        PutScreens(&file, 8194, first);
        Put(&file, 16386, second.bitmap);
        PutScreens(&file, 24578, second);
        if (packed) {
            EscapeRunsOptions options;
            options.escapeAt = [](uint32_t) { return ESCAPE; };
            options.emptyRuns = 3;
            options.literalsAsRuns = 2;
            options.splitFirstRun = true;
            Bytes packedFile = {0x00, 0x40, ESCAPE};
            const Bytes stream = PackEscapeRuns(Bytes(file.begin() + 2, file.end()), options);
            packedFile.insert(packedFile.end(), stream.begin(), stream.end());
            file = std::move(packedFile);
        }
        samples->push_back(
            Sample(108, packed ? "ecp.ecp" : "eci.eci", std::move(file), first, second));
    }
}

// A logo frame: cells of `rows` rows, each cell n's bytes at 8n of `block`
// (none past `cells`), in four colours for all of it.
Frame Logo(uint32_t seed, const std::string& title, uint32_t rows, const uint8_t colours[4]) {
    Frame f;
    f.bitmap.assign(CELLS * 8, 0);
    f.screens.assign(1, Bytes(CELLS, static_cast<uint8_t>(colours[1] << 4 | colours[2])));
    f.colour.assign(CELLS, colours[3]);
    f.backgrounds.assign(200, colours[0]);
    for (uint32_t y = 0; y < rows * 8; ++y) {
        for (uint32_t px = 0; px < 160; ++px) {
            const int row = y >= 4 ? static_cast<int>((y - 4) / 2) : -1;
            uint32_t pair = GlyphAt(title, static_cast<int>(px) - 2, row)             ? 3
                            : (px + y + seed) % 9 == 0                                ? 1
                            : y > 40 && (px / 3 + seed) % 2 == 0 && (y + px) % 4 != 0 ? 2
                                                                                      : 0;
            if (y / 8 * COLUMNS + px / 4 >= 256) pair = 0;
            f.ByteAt(px * 2, y) |= static_cast<uint8_t>(pair << (6 - 2 * (px % 4)));
        }
    }
    return f;
}

void AddLogos(std::vector<FormatSample>* samples) {
    {
        const uint8_t colours[4] = {6, 14, 3, 1};
        const Frame first = Logo(1, "ILE LOGO", 6, colours);
        Frame second = Logo(2, "ILE LOGO", 6, colours);
        second.shifted = true;
        Bytes file = Blank(4098, 0x2000);
        Put(&file, 2050, Bytes(first.bitmap.begin(), first.bitmap.begin() + 1920));
        Put(&file, 2, Bytes(second.bitmap.begin(), second.bitmap.begin() + 1920));
        // The colours as stored: high nibbles set, and 11's colour as 8 + 1.
        file[4094] = 0xF6;
        file[4095] = 0x3E;
        file[4096] = 0x03;
        file[4097] = 0xF9;
        samples->push_back(Sample(109, "ile.ile", std::move(file), first, second, 320, 48));
    }
    {
        const uint8_t colours[4] = {0, 9, 8, 5};
        const Frame first = Logo(3, "MLE CHARACTERS", 7, colours);
        Frame second = Logo(4, "MLE CHARACTERS", 7, colours);
        second.shifted = true;
        Bytes file = Blank(4098, 0x2000);
        Put(&file, 2050, Bytes(first.bitmap.begin(), first.bitmap.begin() + 2048));
        Put(&file, 2, Bytes(second.bitmap.begin(), second.bitmap.begin() + 2048));
        samples->push_back(Sample(110, "mle.mle", std::move(file), first, second, 320, 56));
    }
}

// A layer of hires sprites, as drawn: each pixel's bit, and a colour a
// sprite column.
struct Sprites {
    uint32_t width = 0;
    std::vector<uint8_t> bits;  // width x 200
    uint8_t colours[8] = {};
    bool At(uint32_t x, uint32_t y) const { return x < width && bits[y * width + x] != 0; }
};

Sprites SpriteLayer(uint32_t seed, uint32_t columns) {
    Sprites s;
    s.width = columns * 24;
    s.bits.assign(s.width * 200, 0);
    for (uint32_t c = 0; c < 8; ++c)
        s.colours[c] = static_cast<uint8_t>(0x70 | (seed + 3 * c + 2) % 16);
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t x = 0; x < s.width; ++x) {
            const int dx = static_cast<int>(x % 24) - 11, dy = static_cast<int>(y % 21) - 10;
            const int r = static_cast<int>((seed + x / 24 + y / 21) % 4) + 5;
            s.bits[y * s.width + x] = dx * dx + dy * dy < r * r && (x + y + seed) % 5 != 0;
        }
    }
    return s;
}

// Writes a layer's sprites: sprite number perColumn x column + perRow x row.
void PutSprites(Bytes* file, size_t at, const Sprites& s, uint32_t perColumn, uint32_t perRow) {
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t x = 0; x < s.width; ++x) {
            if (!s.At(x, y)) continue;
            const uint32_t n = perColumn * (x / 24) + perRow * (y / 21);
            file->at(at + 64 * n + (y % 21) * 3 + (x % 24) / 8) |=
                static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
}
void ClearSprites(Bytes* file, size_t at, uint32_t count) {
    std::memset(file->data() + at, 0, 64 * count);
}

// A frame with sprites over it: front, then back, then the bitmap.
struct SpriteFrame {
    Frame bitmap;
    Sprites back, front;
    uint8_t Pixel(uint32_t x, uint32_t y) const {
        if (front.At(x, y)) return front.colours[x / 24] & 15;
        if (back.At(x, y)) return back.colours[x / 24] & 15;
        return bitmap.Pixel(x, y);
    }
};

FormatSample SpriteSample(tarnel::FormatCode code, const char* slug, Bytes bytes,
                          const SpriteFrame& first, const SpriteFrame& second, uint32_t width) {
    char name[64];
    std::snprintf(name, sizeof name, "%03u-%s", static_cast<unsigned>(code), slug);
    FormatSample sample{code, name, std::move(bytes), width, 200, {}, 0};
    for (uint32_t y = 0; y < 200; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            sample.colours.push_back(first.Pixel(x, y));
            sample.secondFrame.push_back(second.Pixel(x, y));
        }
    }
    return sample;
}

void AddIsh(std::vector<FormatSample>* samples) {
    SpriteFrame frames[2];
    Bytes file = Blank(30738, 0x4000);
    for (uint32_t n = 0; n < 2; ++n) {
        SpriteFrame& f = frames[n];
        f.bitmap = Hires(27 + n, n == 0 ? "ISH, SPRITES" : "ISH, FRAME 2", false);
        f.back = SpriteLayer(3 + n, 4);
        f.front = SpriteLayer(7 + 2 * n, 4);
        for (uint8_t& b : f.front.bits) b = b && (&b - f.front.bits.data()) % 3 == 0;
        const size_t block = n == 0 ? 2 : 15370;
        Put(&file, block, f.bitmap.bitmap);
        ClearSprites(&file, block + 8192, 80);
        PutSprites(&file, block + 8192, f.back, 10, 1);
        PutSprites(&file, block + 10752, f.front, 10, 1);
        Put(&file, block + 13312, f.bitmap.screens[0]);
        for (uint32_t c = 0; c < 4; ++c) {
            file[block + 15360 + c] = f.back.colours[c];
            file[block + 15364 + c] = f.front.colours[c];
        }
    }
    samples->push_back(
        SpriteSample(111, "ish-interlace.ish", std::move(file), frames[0], frames[1], 320));
}

void AddEsh(std::vector<FormatSample>* samples) {
    for (bool packed : {false, true}) {
        SpriteFrame frames[2];
        Bytes file = Blank(20454, 0x4000);
        file[2] = 0;
        const Frame shared = Hires(packed ? 31 : 29, "ESH", false, 24);
        for (uint32_t n = 0; n < 2; ++n) {
            SpriteFrame& f = frames[n];
            f.bitmap = Hires(29 + n + (packed ? 2 : 0), n == 0 ? "ESH" : "ESH 2", false, 24);
            f.bitmap.screens = shared.screens;
            f.front = SpriteLayer(11 + n, 8);
            for (uint32_t c = 0; c < 8; ++c)
                f.front.colours[c] = static_cast<uint8_t>(0x20 | (c + 9) % 16);
            f.back.width = 0;
            Put(&file, n == 0 ? 3 : 4803, f.bitmap.bitmap);
            ClearSprites(&file, n == 0 ? 9603 : 14723, 80);
            PutSprites(&file, n == 0 ? 9603 : 14723, f.front, 1, 8);
        }
        Put(&file, 19843, shared.screens[0]);
        for (uint32_t c = 0; c < 8; ++c) file[20443 + c] = frames[0].front.colours[c];
        if (packed) {
            Bytes packedFile = {0x00, 0x40, 0x01};
            const Bytes stream = PackCommandRuns(Bytes(file.begin() + 3, file.begin() + 20452));
            packedFile.insert(packedFile.end(), stream.begin(), stream.end());
            file = std::move(packedFile);
        }
        samples->push_back(SpriteSample(112, packed ? "esh-packed.esh" : "esh.esh", std::move(file),
                                        frames[0], frames[1], 192));
    }
}

void AddShi(std::vector<FormatSample>* samples) {
    for (bool packed : {false, true}) {
        SpriteFrame frames[2];
        Bytes file = Blank(15355, 0x4000);
        file[2] = 0;
        const Frame shared = Hires(packed ? 35 : 33, "SHI", false, 12);
        const size_t fronts[2] = {4803, 9923};
        for (uint32_t n = 0; n < 2; ++n) {
            SpriteFrame& f = frames[n];
            f.bitmap = Hires(33 + n + (packed ? 2 : 0), n == 0 ? "SHI" : "SHI 2", false, 12);
            f.bitmap.screens = shared.screens;
            f.front = SpriteLayer(13 + n, 4);
            for (uint8_t& b : f.front.bits) b = b && (&b - f.front.bits.data()) % 2 == 0;
            f.back = SpriteLayer(17 + n, 4);
            for (uint32_t c = 0; c < 4; ++c) {
                f.front.colours[c] = static_cast<uint8_t>((c + 1) % 16);
                f.back.colours[c] = static_cast<uint8_t>(0x90 | (c + 10) % 16);
            }
            Put(&file, n == 0 ? 3 : 2403, f.bitmap.bitmap);
            ClearSprites(&file, fronts[n], 80);
            PutSprites(&file, fronts[n], f.front, 1, 8);
            PutSprites(&file, fronts[n] + 256, f.back, 1, 8);
        }
        Put(&file, 15043, shared.screens[0]);
        for (uint32_t c = 0; c < 4; ++c) {
            file[15343 + c] = frames[0].front.colours[c];
            file[15347 + c] = frames[0].back.colours[c];
        }
        if (packed) {
            Bytes packedFile = {0x00, 0x40, 0x5A};
            const Bytes stream = PackCommandRuns(Bytes(file.begin() + 3, file.end()));
            packedFile.insert(packedFile.end(), stream.begin(), stream.end());
            file = std::move(packedFile);
        }
        samples->push_back(SpriteSample(113, packed ? "shi-packed.shi" : "shi.shi", std::move(file),
                                        frames[0], frames[1], 96));
    }
}

// --- Frames of UFLI, Mufflon and the line layout -----------------------

// A sample whose frames are worked out by `pixel` (frame, x, y).
FormatSample RuleSample(tarnel::FormatCode code, const char* slug, Bytes bytes, uint32_t width,
                        uint32_t height,
                        const std::function<uint8_t(uint32_t, uint32_t, uint32_t)>& pixel) {
    char name[64];
    std::snprintf(name, sizeof name, "%03u-%s", static_cast<unsigned>(code), slug);
    FormatSample sample{code, name, std::move(bytes), width, height, {}, 0};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            sample.colours.push_back(pixel(0, x, y) & 15);
            sample.secondFrame.push_back(pixel(1, x, y) & 15);
        }
    }
    return sample;
}

// A UFLI frame of memory `m` from `base`: four screens (changing every two
// lines), 60 sprites at 4,096, the bitmap at 8,192; the X- and Y-expanded
// sprites over columns 3 to 38 in `spriteColour` where the bitmap has 0.
uint8_t UfliFramePixel(const Bytes& m, uint32_t base, uint8_t spriteColour, uint32_t x,
                       uint32_t y) {
    const uint32_t column = x / 8;
    const uint32_t cell = (y / 8) * COLUMNS + column;
    const uint8_t screen = m[base + 1024 * ((y / 2) % 4) + cell];
    if ((m[base + 8192 + 8 * cell + y % 8] >> (7 - x % 8)) & 1) return screen >> 4;
    if (column >= 3 && column <= 38) {
        const uint32_t c = column - 3;
        const uint32_t sx = 8 * c + x % 8;
        const uint32_t n = 12 * (y / 40) + (y % 4 >= 2 ? 6 : 0) + c / 6;
        const uint8_t byte = m[base + 4096 + 64 * n + (((y + 1) / 2) % 21) * 3 + (c / 2) % 3];
        if ((byte >> (7 - (sx / 2) % 8)) & 1) return spriteColour & 15;
    }
    return screen & 15;
}

// UIF: two UFLI frames 16,384 bytes apart, packed backwards; the sprites of
// both in the colour at 4,080. The stream's last run (read last) is stored
// longer than the room it has; a gap of 256 zero bytes after the sprites
// gives a count of 0.
void AddUif(std::vector<FormatSample>* samples) {
    constexpr uint8_t ESCAPE = 0x9E;
    Bytes m(32576, 0);
    for (uint32_t k = 0; k < 2; ++k) {
        const uint32_t base = 16384 * k;
        Frame f = Hires(40 + 3 * k, k == 0 ? "UIF" : "UIF 2", true);
        PlantBytes(&f, ESCAPE);
        for (uint32_t j = 0; j < 4; ++j) Put(&m, base + 1024 * j, f.screens[2 * j]);
        Put(&m, base + 8192, f.bitmap);
        for (uint32_t n = 0; n < 60; ++n) {
            for (uint32_t i = 0; i < 63; ++i) {
                const uint32_t row = i / 3, dx = i % 3;
                const bool ring = (row + n + k) % 7 < 3;
                m[base + 4096 + 64 * n + i] =
                    static_cast<uint8_t>(ring ? (dx == 1 ? 0xFF : 0x3C >> (n % 3)) : 0);
            }
        }
    }
    m[4080] = 0x0A;
    Bytes file = {0x00, 0x40, ESCAPE};
    const Bytes stream = PackBackwardRuns(m, ESCAPE, 12);
    file.insert(file.end(), stream.begin(), stream.end());
    samples->push_back(RuleSample(114, "uif.uif", std::move(file), 320, 200,
                                  [m](uint32_t frame, uint32_t x, uint32_t y) {
                                      return UfliFramePixel(m, 16384 * frame, m[4080], x, y);
                                  }));
}

constexpr uint32_t MUFFLON_TABLES[6] = {0, 128, 1024, 1152, 2048, 2176};

uint32_t MufflonScreenOf(uint32_t y) {
    if (y < 128) return 8194 - 256 + 1024 * (7 - (y / 2) % 8);
    return 2 - 256 + 1024 * (((y / 2) + (y >= 168 ? 1 : 0)) % 4);
}

// A Mufflon image (21,762 bytes, load address and all): filler, then a
// hires drawing's screens and bitmap where each line finds them, the
// sprite pointers, colour tables and the lines' multicolour bits.
Bytes MufflonImage(uint32_t seed, const std::string& title) {
    Bytes m = Blank(21762, 0x2000);
    const Frame f = Hires(seed, title, true);
    for (uint32_t y = 0; y < 200; ++y) {
        const uint32_t screen = MufflonScreenOf(y);
        for (uint32_t c = 0; c < COLUMNS; ++c) {
            const uint32_t cell = (y / 8) * COLUMNS + c;
            m[screen + cell] = f.screens[(y / 2) % 8][cell];
            m[8 * cell + y % 8 + (y < 128 ? 16130 : 16130 - 16384)] = f.bitmap[8 * cell + y % 8];
        }
        for (uint32_t s = 0; s < 6; ++s) {
            m[screen + 1017 + s] = static_cast<uint8_t>(y < 128 ? (y * 5 + s * 31 + seed) % 216
                                                                : 132 + (y + s * 13 + seed) % 124);
        }
    }
    for (uint32_t n = 0; n <= 100; ++n) {
        m[4610 + n] = static_cast<uint8_t>(n * 0x15 + seed);
        for (uint32_t s = 0; s < 6; ++s) {
            m[770 + MUFFLON_TABLES[s] + n] = static_cast<uint8_t>(0x50 | (n + s * 3 + seed) % 16);
        }
    }
    m[7922] = static_cast<uint8_t>(0x07 + seed % 3);
    m[7923] = 0x0D;
    return m;
}

// A Mufflon frame's pixel, as stored: the bitmap's 1 bits, else the
// X-expanded sprite of the column (hires or multicolour line by line),
// else the screen's low nibble.
uint8_t MufflonFramePixel(const Bytes& m, uint32_t x, uint32_t y) {
    const uint32_t column = x / 8;
    const uint32_t cell = (y / 8) * COLUMNS + column;
    const uint32_t screen = MufflonScreenOf(y);
    const uint8_t screenByte = m[screen + cell];
    const uint32_t bitmap = 16130 - (y >= 128 ? 16384 : 0) + 8 * cell + y % 8;
    if ((m[bitmap] >> (7 - x % 8)) & 1) return screenByte >> 4;
    if (column < 3 || column > 38) return screenByte & 15;
    const uint32_t v = column - 3;
    const uint32_t s = v / 6;
    const uint32_t rx = 8 * v + x % 8;
    const int32_t block = 124 - (y >= 128 ? 256 : 0) + m[screen + 1017 + s];
    if (block < 0 || block >= 340) Fail("a Mufflon sprite pointer out of range");
    const uint32_t k = y < 123 ? 0 : y < 165 ? 1 : 2;
    const uint8_t byte = m[2 + 64 * uint32_t(block) + (((y + 47) / 2) * 3 + (v / 2) % 3 + k) % 64];
    const uint8_t own = m[770 + MUFFLON_TABLES[s] + (y + 1) / 2] & 15;
    if ((m[4610 + (y + 1) / 2] >> (s + 1)) & 1) {
        switch ((byte >> (6 - 2 * (((rx / 2) % 8) / 2))) & 3) {
            case 1:
                return m[7923] & 15;
            case 2:
                return own;
            case 3:
                return m[7922] & 15;
            default:
                return screenByte & 15;
        }
    }
    return (byte >> (7 - (rx / 2) % 8)) & 1 ? own : screenByte & 15;
}

// MUI: frame 1's image is the file's start; frame 2's bytes 2 to 11,265
// at 32,770 and 11,266 to 21,761 at 22,018; filler between.
void AddMui(std::vector<FormatSample>* samples) {
    const Bytes first = MufflonImage(50, "MUI");
    const Bytes second = MufflonImage(53, "MUI 2");
    Bytes file = Blank(44034, 0x2000);
    Put(&file, 0, first);
    Put(&file, 32770, Bytes(second.begin() + 2, second.begin() + 11266));
    Put(&file, 22018, Bytes(second.begin() + 11266, second.end()));
    samples->push_back(RuleSample(115, "mui.mui", std::move(file), 320, 200,
                                  [first, second](uint32_t frame, uint32_t x, uint32_t y) {
                                      return MufflonFramePixel(frame == 0 ? first : second, x, y);
                                  }));
}

// SIF: two frames of the 96 x 167 layout of a line at a time (front and
// back sprite bits, bitmap, a colour byte a cell a line), each packed
// backwards in its own block; frame 1's last run read is stored 20 bytes
// longer, the rest going to the top of frame 2's bytes; a stretch of 256
// zero bytes (no front sprites below line 150) gives a count of 0.
void AddSif(std::vector<FormatSample>* samples) {
    constexpr uint32_t FRAME = 8176;
    constexpr uint32_t OVERSHOOT = 20;
    constexpr uint8_t ESCAPES[2] = {0x6B, 0xB6};
    struct Drawn {
        Frame bitmap;
        Sprites front, back;
        uint8_t frontColour, backColour;
        Bytes bytes;
        bool Front(uint32_t x, uint32_t y) const { return y < 150 && front.At(x, y); }
        uint8_t Colour(uint32_t x, uint32_t y) const {
            const uint8_t screen = bitmap.screens[0][(y / 8) * 12 + x / 8];
            return static_cast<uint8_t>(screen + 0x11 * (y % 3));
        }
        uint8_t Pixel(uint32_t x, uint32_t y) const {
            if (Front(x, y)) return frontColour;
            if (back.At(x, y)) return backColour;
            const uint8_t colour = Colour(x, y);
            const uint8_t bits = bitmap.bitmap[((y / 8) * 12 + x / 8) * 8 + y % 8];
            return (bits >> (7 - x % 8)) & 1 ? colour >> 4 : colour & 15;
        }
    };
    Drawn frames[2];
    for (uint32_t n = 0; n < 2; ++n) {
        Drawn& d = frames[n];
        d.bitmap = Hires(60 + n, n == 0 ? "SIF" : "SIF2", false, 12);
        d.front = SpriteLayer(21 + n, 4);
        d.back = SpriteLayer(25 + n, 4);
        for (uint8_t& b : d.front.bits) b = b && (&b - d.front.bits.data()) % 3 != 0;
        d.frontColour = static_cast<uint8_t>(1 + n);
        d.backColour = static_cast<uint8_t>(9 + 2 * n);
        d.bytes.assign(FRAME, 0);
        for (uint32_t y = 0; y < 167; ++y) {
            for (uint32_t x = 0; x < 96; ++x) {
                const uint32_t at = 12 * y + x / 8;
                const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
                if (d.Front(x, y)) d.bytes[at] |= bit;
                if (d.back.At(x, y)) d.bytes[2048 + at] |= bit;
                if ((d.bitmap.ByteAt(x, y) & bit) != 0) d.bytes[4096 + at] |= bit;
                d.bytes[6144 + at] = d.Colour(x, y);
            }
        }
    }
    if (frames[0].bytes[0] != 0) Fail("SIF's first run is no run");
    // The bytes frame 1's last run carries over (zeros, past the picture).
    for (uint32_t i = FRAME - OVERSHOOT; i < FRAME; ++i) {
        if (frames[1].bytes[i] != 0) Fail("SIF's carried bytes are not the run's");
    }
    Bytes file;
    for (uint32_t n = 0; n < 2; ++n) {
        const Bytes& bytes = frames[n].bytes;
        const Bytes stream =
            n == 0 ? PackBackwardRuns(bytes, ESCAPES[n], OVERSHOOT)
                   : PackBackwardRuns(Bytes(bytes.begin(), bytes.end() - OVERSHOOT), ESCAPES[n], 0);
        const uint32_t length = static_cast<uint32_t>(stream.size()) + 1 + 37890;
        file.push_back(static_cast<uint8_t>(length & 0xFF));
        file.push_back(static_cast<uint8_t>(length >> 8));
        file.push_back(ESCAPES[n]);
        file.insert(file.end(), stream.begin(), stream.end());
    }
    for (const Drawn& d : frames) {
        file.push_back(static_cast<uint8_t>(0xF0 | d.frontColour));
        file.push_back(static_cast<uint8_t>(0x30 | d.backColour));
    }
    samples->push_back(RuleSample(
        116, "sif.sif", std::move(file), 96, 167,
        [frames](uint32_t frame, uint32_t x, uint32_t y) { return frames[frame].Pixel(x, y); }));
}

}  // namespace

void AddInterlace(std::vector<FormatSample>* samples) {
    AddTruePaint(samples);
    AddFp(samples);
    AddPixelPerfect(samples);
    AddFfli(samples);
    AddHires(samples);
    AddLogos(samples);
    AddIsh(samples);
    AddEsh(samples);
    AddShi(samples);
    AddUif(samples);
    AddMui(samples);
    AddSif(samples);
}

}  // namespace tarnel_tools
