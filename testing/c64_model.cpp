#include "testing/c64_model.h"

#include <cstddef>

namespace tarnel_test {
namespace {

const uint8_t kPalette[16][3] = {
    {10, 10, 10},    {255, 255, 255}, {139, 31, 0},    {101, 205, 168},
    {167, 59, 159},  {79, 179, 23},   {27, 13, 147},   {243, 235, 81},
    {163, 71, 0},    {63, 28, 0},     {203, 123, 111}, {69, 68, 68},
    {131, 131, 131}, {151, 255, 151}, {79, 147, 211},  {187, 187, 187},
};

int Hi(uint8_t b) {
    return b >> 4;
}
int Lo(uint8_t b) {
    return b & 15;
}

// Multicolour: bit pair of column x (0..159) on row y, from a bitmap base.
int Pair(const std::vector<uint8_t>& m, int base, int x, int y) {
    const int byte = m[base + (y / 8) * 320 + (x / 4) * 8 + y % 8];
    return (byte >> (6 - 2 * (x % 4))) & 3;
}

// Hires: bit of column x (0..319) on row y.
int Bit(const std::vector<uint8_t>& m, int base, int x, int y) {
    const int byte = m[base + (y / 8) * 320 + (x / 8) * 8 + y % 8];
    return (byte >> (7 - x % 8)) & 1;
}

int McCell(int x, int y) {
    return (y / 8) * 40 + x / 4;
}
int HiresCell(int x, int y) {
    return (y / 8) * 40 + x / 8;
}
int Bank(int y) {
    return 1024 * (y % 8);
}

// The common multicolour rule: 0 background, 1 screen high, 2 screen low,
// 3 colour memory low.
int Multicolour(int pair, int bg, uint8_t screen, uint8_t colour) {
    switch (pair) {
        case 0:
            return bg;
        case 1:
            return Hi(screen);
        case 2:
            return Lo(screen);
        default:
            return Lo(colour);
    }
}

int SingleFrameColour(int code, const std::vector<uint8_t>& m, int bg, int x, int y) {
    switch (code) {
        case 4: {
            const int c = McCell(x, y);
            return Multicolour(Pair(m, 9218, x, y), bg, m[1026 + Bank(y) + c], m[2 + c]);
        }
        case 5: {
            const int c = McCell(x, y);
            return Multicolour(Pair(m, 2, x, y), bg, m[8002 + c], m[9018 + c]);
        }
        case 8: {
            const int c = McCell(x, y);
            return Multicolour(Pair(m, 9474, x, y), bg, m[1282 + Bank(y) + c], m[258 + c]);
        }
        case 9:
        case 11:
        case 19:
        case 20: {
            const int c = McCell(x, y);
            return Multicolour(Pair(m, 2, x, y), bg, m[8002 + c], m[9002 + c]);
        }
        case 13:
        case 14: {
            const int c = McCell(x, y);
            const int p = Pair(m, 9474, x, y);
            const int rowBackground = Lo(m[2 + y]);
            if (x <= 11) {
                if (p == 0) return rowBackground;
                if (p == 3) return Hi(m[2 + y]);
                return Lo(m[1282]);
            }
            return Multicolour(p, rowBackground, m[1282 + Bank(y) + c], m[258 + c]);
        }
        case 18: {
            const int c = McCell(x, y);
            return Multicolour(Pair(m, 116, x, y), bg, m[8308 + c], m[8119]);
        }
        case 12:
            return Bit(m, 2, x, y) ? 15 : bg;
        case 15: {
            const uint8_t s = m[8002 + HiresCell(x, y)];
            return Bit(m, 2, x, y) ? Hi(s) : Lo(s);
        }
        case 16:
        case 21: {
            const uint8_t s = m[2 + HiresCell(x, y)];
            return Bit(m, 1026, x, y) ? Hi(s) : Lo(s);
        }
        case 17: {
            const uint8_t s = m[2 + Bank(y) + HiresCell(x, y)];
            return Bit(m, 8194, x, y) ? Hi(s) : Lo(s);
        }
        default:
            return -1;
    }
}

struct FrameModel {
    int bitmap, screen;
};
struct InterlacedModel {
    FrameModel frame[2];
    bool banked;
    int colour;
};

bool InterlacedLayout(int code, InterlacedModel* model) {
    switch (code) {
        case 1:
        case 2:
            *model = {{{8210, 18}, {25594, 17402}}, true, 16402};
            return true;
        case 3:
            *model = {{{8194, 2}, {25602, 17410}}, true, 16386};
            return true;
        case 6:
        case 7:
            *model = {{{2050, 1026}, {10242, 1026}}, false, 2};
            return true;
        default:
            return false;
    }
}

int FrameColour(const InterlacedModel& l, const std::vector<uint8_t>& m, int bg, int x, int y,
                int frame) {
    const int c = McCell(x, y);
    const FrameModel& f = l.frame[frame];
    return Multicolour(Pair(m, f.bitmap, x, y), bg, m[f.screen + (l.banked ? Bank(y) : 0) + c],
                       m[l.colour + c]);
}

bool IsMulticolour(int code) {
    switch (code) {
        case 12:
        case 15:
        case 16:
        case 17:
        case 21:
            return false;
        default:
            return true;
    }
}

}  // namespace

Rgb ModelPalette(int colour) {
    return Rgb{kPalette[colour][0], kPalette[colour][1], kPalette[colour][2]};
}

bool ModelInterlaced(int code) {
    InterlacedModel unused;
    return InterlacedLayout(code, &unused);
}

uint8_t ModelBackground(int code, const std::vector<uint8_t>& image) {
    switch (code) {
        case 5:
            return image[9003] & 15;
        case 6:
        case 7:
            return image[10050] & 15;
        case 9:
        case 11:
        case 19:
        case 20:
            return image[10002] & 15;
        case 18:
            return image[8116] & 15;
        default:
            return 0;
    }
}

std::vector<uint8_t> ModelIndices(int code, const std::vector<uint8_t>& m) {
    std::vector<uint8_t> out(320 * 200, 0);
    const int bg = ModelBackground(code, m);
    InterlacedModel l;
    if (InterlacedLayout(code, &l)) {
        for (int y = 0; y < 200; ++y) {
            for (int u = 0; u < 320; ++u) {
                int index;
                if (u == 0) {
                    index = FrameColour(l, m, bg, 0, y, 0);
                } else if (u == 319) {
                    index = FrameColour(l, m, bg, 159, y, 1);
                } else if (u == 318) {
                    index =
                        16 * FrameColour(l, m, bg, 159, y, 0) + FrameColour(l, m, bg, 159, y, 1);
                } else {
                    index = 16 * FrameColour(l, m, bg, u / 2, y, 0) +
                            FrameColour(l, m, bg, (u - 1) / 2, y, 1);
                }
                out[y * 320 + u] = static_cast<uint8_t>(index);
            }
        }
        return out;
    }
    const bool multicolour = IsMulticolour(code);
    for (int y = 0; y < 200; ++y) {
        for (int u = 0; u < 320; ++u) {
            const int colour = SingleFrameColour(code, m, bg, multicolour ? u / 2 : u, y);
            out[y * 320 + u] = static_cast<uint8_t>(colour);
        }
    }
    return out;
}

Rgb ModelColour(uint8_t index, bool blend) {
    if (!blend) return ModelPalette(index);
    const Rgb a = ModelPalette(index >> 4);
    const Rgb b = ModelPalette(index & 15);
    return Rgb{static_cast<uint8_t>((a.r + b.r) / 2), static_cast<uint8_t>((a.g + b.g) / 2),
               static_cast<uint8_t>((a.b + b.b) / 2)};
}

Rgb BlockPixel(const std::vector<uint8_t>& block, int u, int y) {
    const size_t at = 40 + static_cast<size_t>(199 - y) * 960 + static_cast<size_t>(u) * 3;
    return Rgb{block[at + 2], block[at + 1], block[at]};
}

}  // namespace tarnel_test
