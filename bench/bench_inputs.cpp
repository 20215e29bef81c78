#include "bench/bench_inputs.h"

#include <cstdint>
#include <cstring>
#include <random>

#include "authoring/layout_files.h"
#include "authoring/pack.h"
#include "core/layout_sources.h"

namespace tarnel_bench {
namespace {

constexpr uint32_t PICTURE_SEED = 20240601;
constexpr uint32_t PROBE_SEED = 36864;
constexpr uint32_t PACKED_SEED = 1001;

// One run starts at about one position in this many; with runs of 4 to 255
// bytes (130 on average) that gives about 40% of the bytes as literals.
constexpr uint32_t RUN_START_ONE_IN = 88;
constexpr uint32_t SHORTEST_RUN = 4;
constexpr uint32_t LONGEST_RUN = 255;

// The lowest offset a variant writes: forward streams write upwards from
// their first output offset, backward streams downwards to this offset.
uint32_t LowestOutput(const tarnel::PackedVariant& variant) {
    return variant.form == tarnel::StreamForm::Forward
               ? variant.firstOutput
               : variant.firstOutput + 1 - variant.maxWritten;
}

std::vector<uint8_t> PictureLikeBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        const uint8_t value = static_cast<uint8_t>(generator() & 0xFF);
        size_t length = 1;
        if (generator() % RUN_START_ONE_IN == 0) {
            length = SHORTEST_RUN + generator() % (LONGEST_RUN - SHORTEST_RUN + 1);
        }
        for (; length > 0 && bytes.size() < count; --length) bytes.push_back(value);
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// Picture-like art: a scene described cell by cell (40 x 25 cells of 8 rows),
// then written into each layout's bitmap, screen and colour memory.

constexpr uint32_t ART_SEED = 6502;
constexpr uint32_t HORIZON_CELL_ROW = 14;  // sky above, ground below
constexpr uint32_t SKY_BANDS = 5;
constexpr uint32_t SHAPES = 7;
constexpr uint32_t DETAIL_ONE_IN = 12;  // cells drawn in fine detail

struct Shape {
    uint32_t left, top, right, bottom;  // cells, right and bottom excluded
    bool round;
    uint8_t fill;       // the bitmap byte of its inside
    uint8_t screen[2];  // per frame
    uint8_t colour;
};

// One cell as a layout stores it: eight bitmap bytes (one per pixel row),
// the screen byte of each pixel row (they differ only in FLI layouts, which
// have one screen per row) and the colour memory byte.
struct ArtCell {
    uint8_t bitmap[8];
    uint8_t screen[8];
    uint8_t colour;
};

class ArtScene {
public:
    ArtScene(tarnel::FormatCode code, bool hires) : hires_(hires), random_(ART_SEED + code) {
        for (uint32_t b = 0; b < SKY_BANDS; ++b) {
            skyScreen_[b] = Byte(random_() % 16, random_() % 16);
            skyColour_[b] = static_cast<uint8_t>(random_() % 16);
        }
        for (uint32_t g = 0; g < 2; ++g) groundScreen_[g] = Byte(random_() % 16, random_() % 16);
        groundColour_ = static_cast<uint8_t>(random_() % 16);
        for (uint32_t i = 0; i < SHAPES; ++i) {
            Shape s{};
            s.left = random_() % 34;
            s.top = 2 + random_() % 18;
            s.right = s.left + 3 + random_() % 10;
            s.bottom = s.top + 2 + random_() % 7;
            if (s.right > tarnel::CELL_COLUMNS) s.right = tarnel::CELL_COLUMNS;
            if (s.bottom > tarnel::CELL_ROWS) s.bottom = tarnel::CELL_ROWS;
            s.round = random_() % 2 == 0;
            s.fill = FlatByte(1 + random_() % 3);
            s.screen[0] = Byte(random_() % 16, random_() % 16);
            s.screen[1] = static_cast<uint8_t>(s.screen[0] << 4 | s.screen[0] >> 4);
            s.colour = static_cast<uint8_t>(random_() % 16);
            shapes_.push_back(s);
        }
    }

    // Cell (cx, cy) of `frame` (0, or 1 for an interlaced layout's second).
    ArtCell Cell(uint32_t cx, uint32_t cy, int frame) const {
        ArtCell cell{};
        const int inside = ShapeAt(cx, cy);
        if (inside >= 0) {
            const Shape& s = shapes_[static_cast<size_t>(inside)];
            const bool edge = ShapeAt(cx - 1, cy) != inside || ShapeAt(cx + 1, cy) != inside ||
                              ShapeAt(cx, cy - 1) != inside || ShapeAt(cx, cy + 1) != inside;
            for (uint32_t r = 0; r < 8; ++r) {
                // A slanted edge: the row's left part keeps the background.
                const uint32_t keep = edge ? ((r + cx + cy) % 4) * 2 : 0;
                cell.bitmap[r] = static_cast<uint8_t>(s.fill & (0xFF >> keep));
            }
            Fill(cell.screen, s.screen[frame]);
            cell.colour = s.colour;
        } else if (cy < HORIZON_CELL_ROW) {
            // Sky: flat bands, dithered in the last cell row of each band;
            // FLI layouts shade each band row by row.
            const uint32_t band = cy * SKY_BANDS / HORIZON_CELL_ROW;
            const bool seam = (cy + 1) * SKY_BANDS / HORIZON_CELL_ROW != band;
            for (uint32_t r = 0; r < 8; ++r) {
                const bool odd = (r + static_cast<uint32_t>(frame)) % 2 == 1;
                cell.bitmap[r] = seam ? DitherByte(odd) : FlatByte(1);
                cell.screen[r] = static_cast<uint8_t>(skyScreen_[band] + (r / 4) * 0x10);
            }
            cell.colour = skyColour_[band];
        } else {
            // Ground: two textures repeating in blocks of cells.
            const uint32_t texture = ((cx / 3) + (cy / 2)) % 2;
            for (uint32_t r = 0; r < 8; ++r) {
                cell.bitmap[r] = GROUND[texture][(r + static_cast<uint32_t>(frame)) % 8];
            }
            Fill(cell.screen, groundScreen_[texture]);
            cell.colour = groundColour_;
        }
        if (Hash(cx, cy) % DETAIL_ONE_IN == 0) {
            for (uint32_t r = 0; r < 8; ++r) {
                cell.bitmap[r] = static_cast<uint8_t>(Hash(cx * 8 + r, cy + 64 * frame));
            }
        }
        return cell;
    }

private:
    static constexpr uint8_t GROUND[2][8] = {
        {0x55, 0x5A, 0xA5, 0x55, 0x5F, 0xF5, 0x55, 0xAA},
        {0xFF, 0xF5, 0x5F, 0xFA, 0xAF, 0xFF, 0x75, 0xDF},
    };

    static uint8_t Byte(uint32_t high, uint32_t low) {
        return static_cast<uint8_t>(high << 4 | low);
    }
    static void Fill(uint8_t (&bytes)[8], uint8_t value) {
        for (uint8_t& b : bytes) b = value;
    }
    static uint32_t Hash(uint32_t x, uint32_t y) {
        uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        return h ^ h >> 12;
    }
    // A byte whose pixels all show choice `c` (multicolour bit pair 0 to 3;
    // in hires 0 clear and anything else set).
    uint8_t FlatByte(uint32_t c) const {
        if (hires_) return c == 0 ? 0x00 : 0xFF;
        return static_cast<uint8_t>(c * 0x55);
    }
    // A checkerboard of two colours, in one of two phases.
    uint8_t DitherByte(bool odd) const {
        if (hires_) return odd ? 0xAA : 0x55;
        return odd ? 0x66 : 0x99;
    }
    int ShapeAt(uint32_t cx, uint32_t cy) const {
        int found = -1;
        for (size_t i = 0; i < shapes_.size(); ++i) {
            const Shape& s = shapes_[i];
            if (cx < s.left || cx >= s.right || cy < s.top || cy >= s.bottom) continue;
            if (s.round) {
                // Inside the ellipse through the rectangle's edges (doubled units).
                const int dx = static_cast<int>(2 * cx + 1) - static_cast<int>(s.left + s.right);
                const int dy = static_cast<int>(2 * cy + 1) - static_cast<int>(s.top + s.bottom);
                const int w = static_cast<int>(s.right - s.left);
                const int h = static_cast<int>(s.bottom - s.top);
                if (dx * dx * h * h + dy * dy * w * w > w * w * h * h) continue;
            }
            found = static_cast<int>(i);
        }
        return found;
    }

    bool hires_;
    std::mt19937 random_;
    uint8_t skyScreen_[SKY_BANDS];
    uint8_t skyColour_[SKY_BANDS];
    uint8_t groundScreen_[2];
    uint8_t groundColour_;
    std::vector<Shape> shapes_;
};

constexpr uint32_t NO_SCREEN = UINT32_MAX;

// Writes the scene's cells into the bitmap at `bitmapBase` and the screen at
// `screenBase` (one screen per pixel row of a cell when `banked`; none for
// NO_SCREEN).
void PutFrame(const ArtScene& scene, int frame, uint32_t bitmapBase, uint32_t screenBase,
              bool banked, std::vector<uint8_t>* memory) {
    uint8_t* m = memory->data();
    for (uint32_t cy = 0; cy < tarnel::CELL_ROWS; ++cy) {
        for (uint32_t cx = 0; cx < tarnel::CELL_COLUMNS; ++cx) {
            const ArtCell cell = scene.Cell(cx, cy, frame);
            const uint32_t index = cy * tarnel::CELL_COLUMNS + cx;
            for (uint32_t r = 0; r < 8; ++r) {
                m[bitmapBase + cy * tarnel::CELL_ROW_BITMAP_BYTES + cx * 8 + r] = cell.bitmap[r];
            }
            if (screenBase == NO_SCREEN) continue;
            if (banked) {
                for (uint32_t r = 0; r < 8; ++r) {
                    m[screenBase + r * tarnel::SCREEN_BANK_STRIDE + index] = cell.screen[r];
                }
            } else {
                m[screenBase + index] = cell.screen[0];
            }
        }
    }
}

void PutColours(const ArtScene& scene, uint32_t colourBase, std::vector<uint8_t>* memory) {
    for (uint32_t cy = 0; cy < tarnel::CELL_ROWS; ++cy) {
        for (uint32_t cx = 0; cx < tarnel::CELL_COLUMNS; ++cx) {
            (*memory)[colourBase + cy * tarnel::CELL_COLUMNS + cx] = scene.Cell(cx, cy, 0).colour;
        }
    }
}

// The memory image of the art for `code`, laid out as the layout it unpacks
// to; bytes no source reads stay 0.
std::vector<uint8_t> ArtMemory(tarnel::FormatCode code) {
    std::vector<uint8_t> memory(tarnel::MEMORY_IMAGE_BYTES, 0);
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        const tarnel::LayoutRoute& route = layout.route;
        if (route.code != code) continue;
        switch (route.loop) {
            case tarnel::RowLoop::Multicolour:
                for (const tarnel::MulticolourSources& s : tarnel::MULTICOLOUR_SOURCES) {
                    if (s.fetcher != route.fetcher) continue;
                    const ArtScene scene(code, false);
                    if (s.sharedColourByte) {
                        memory[s.colourBase] = scene.Cell(0, 0, 0).colour;
                    } else {
                        PutColours(scene, s.colourBase, &memory);
                    }
                    PutFrame(scene, 0, s.bitmapBase, s.screenBase, s.screenBanked, &memory);
                    if (s.rowBackground) {
                        // The row background shades in steps of twelve rows.
                        for (uint32_t y = 0; y < tarnel::PICTURE_HEIGHT; ++y) {
                            memory[s.rowTableBase + y] = static_cast<uint8_t>(0x60 + y / 12 % 4);
                        }
                    }
                }
                break;
            case tarnel::RowLoop::Hires:
                for (const tarnel::HiresSources& s : tarnel::HIRES_SOURCES) {
                    if (s.fetcher != route.fetcher) continue;
                    const ArtScene scene(code, true);
                    PutFrame(scene, 0, s.bitmapBase, s.fixedColours ? NO_SCREEN : s.screenBase,
                             s.screenBanked, &memory);
                }
                break;
            case tarnel::RowLoop::Interlaced:
                for (const tarnel::InterlacedSources& s : tarnel::INTERLACED_SOURCES) {
                    if (s.fetcher != route.fetcher) continue;
                    const ArtScene scene(code, false);
                    PutColours(scene, s.colourBase, &memory);
                    for (int frame = 0; frame < 2; ++frame) {
                        const tarnel::FrameSources& f = s.frames[frame];
                        PutFrame(scene, frame, f.bitmapBase, f.screenBase, s.screenBanked, &memory);
                    }
                }
                break;
        }
    }
    return memory;
}

int32_t TARNEL_CDECL GrantWithinFile(uintptr_t userValue, uint32_t needed, uint32_t* available) {
    const auto* file = reinterpret_cast<const std::vector<uint8_t>*>(userValue);
    if (needed > file->size()) return 0;
    *available = static_cast<uint32_t>(file->size());
    return 1;
}

}  // namespace

HostImageSource MemorySource(const std::vector<uint8_t>& file) {
    HostImageSource source{};
    source.data = file.data();
    source.size = static_cast<uint32_t>(file.size());
    source.readCallback = GrantWithinFile;
    source.userValue = reinterpret_cast<uintptr_t>(&file);
    return source;
}

std::vector<uint8_t> PictureFile(tarnel::FormatCode code) {
    std::mt19937 generator(PICTURE_SEED);
    std::vector<uint8_t> memory(tarnel::MEMORY_IMAGE_BYTES);
    for (uint8_t& b : memory) b = static_cast<uint8_t>(generator() & 0xFF);
    return tarnel::BuildLayoutFile(code, View(memory));
}

std::vector<uint8_t> ArtFile(tarnel::FormatCode code) {
    return tarnel::BuildLayoutFile(code, View(ArtMemory(code)));
}

std::vector<uint8_t> FullProbeFile() {
    std::mt19937 generator(PROBE_SEED);
    std::vector<uint8_t> file(tarnel::MAX_FILE_BYTES);
    for (uint8_t& b : file) b = static_cast<uint8_t>(generator() % 255);  // never 255
    file[0] = 0x01;  // no load address or header of any layout
    file.back() = 255;
    return file;
}

std::vector<uint8_t> FullOutputPackedFile(const tarnel::PackedVariant& variant,
                                          std::vector<uint8_t>* data) {
    // An image of the unpacked layout whose packed part is exactly the
    // output range: the packer stores image bytes [lowest, end) and the
    // unpacker puts them back at the same offsets.
    const uint32_t lowest = LowestOutput(variant);
    std::vector<uint8_t> image = PictureLikeBytes(lowest + variant.maxWritten, PACKED_SEED);
    data->assign(image.begin() + lowest, image.end());
    return tarnel::PackFile(variant.code, View(image));
}

std::string CheckFillsOutput(const std::vector<uint8_t>& file, const tarnel::PackedVariant& variant,
                             const std::vector<uint8_t>& data) {
    const uint32_t lowest = LowestOutput(variant);
    // Two unpacks over different fillings: a byte left unwritten would keep
    // its filling in one of them and differ from the data there.
    for (const uint8_t filling : {uint8_t{0x00}, uint8_t{0xFF}}) {
        std::vector<uint8_t> out(tarnel::MEMORY_IMAGE_BYTES, filling);
        tarnel::Unpack(View(file), variant, out.data());
        if (std::memcmp(out.data() + lowest, data.data(), data.size()) != 0) {
            return "the output range does not hold the packed data";
        }
        for (uint32_t i = 0; i < out.size(); ++i) {
            if ((i < lowest || i >= lowest + data.size()) && out[i] != filling) {
                return "a byte outside the output range was written";
            }
        }
    }
    return {};
}

std::string CodeName(tarnel::FormatCode code) {
    const char digits[] = {static_cast<char>('0' + code / 10), static_cast<char>('0' + code % 10),
                           '\0'};
    return std::string("Code") + digits;
}

}  // namespace tarnel_bench
