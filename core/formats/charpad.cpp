// CharPad projects (.ctm), format versions 1 to 9: characters, tiles built
// of them and a map built of tiles, in hires, multicolour or extended
// background colour mode, coloured globally, per tile, per tile cell or per
// character. The map is drawn; a project without a map shows its tiles, one
// without tiles its characters.
//
// Versions 1 to 5 keep their blocks one after another at sizes the header
// gives; versions 6 to 9 mark each block with $DA $Bn, and the marks are
// checked where each block should start.
#include <algorithm>
#include <cstring>

#include "core/formats/cells.h"
#include "core/formats/readers.h"

namespace tarnel::readers {

using cells::DrawHiresCell;
using cells::DrawMulticolourCell;
using cells::Le16;

namespace {

enum class Mode : uint8_t { Hires, Multicolour, ExtendedBackground, HiresCells, MulticolourCells };
enum Method : uint8_t { GLOBAL = 0, PER_TILE = 1, PER_CELL = 2 };

// Where a project keeps what, as offsets into the file (0: not kept).
struct Project {
    bool valid = false;
    uint8_t version = 0;
    // background, multicolour 1 (background 2), multicolour 2 (background
    // 3), character colour, background 4.
    uint8_t colours[5] = {};
    Mode mode = Mode::Hires;
    uint8_t method = GLOBAL;
    bool expanded = false;
    uint32_t chars = 0, charData = 0, charStride = 8;
    uint32_t charColours = 0, charColourBytes = 1;  // per character
    uint32_t tiles = 0, tileWidth = 1, tileHeight = 1;
    uint32_t tileData = 0, tileCellBytes = 2;
    uint32_t tileColours = 0, tileColourBytes = 1;  // per tile
    uint32_t cellColours = 0;                       // per tile cell
    uint32_t mapWidth = 0, mapHeight = 0, mapData = 0, mapCellBytes = 2;
    bool hasTiles = false;
};

// Reads the blocks of versions 1 to 5 one after another.
class Blocks {
public:
    Blocks(ByteView file, uint32_t at) : file_(file), at_(at) {}
    // The offset of a block of `bytes`, or 0 (and the cursor spoilt) when
    // the file ends first.
    uint32_t Take(uint64_t bytes) {
        if (failed_ || bytes > file_.size || !file_.Holds(at_, static_cast<uint32_t>(bytes))) {
            failed_ = true;
            return 0;
        }
        const uint32_t start = at_;
        at_ += static_cast<uint32_t>(bytes);
        return start;
    }
    // A block with the mark $DA $Bn before it (versions 6 on).
    uint32_t Marked(uint64_t bytes) {
        if (failed_ || !file_.Holds(at_, 2) || file_[at_] != 0xDA ||
            (file_[at_ + 1] & 0xF0) != 0xB0) {
            failed_ = true;
            return 0;
        }
        at_ += 2;
        return Take(bytes);
    }
    bool Failed() const { return failed_; }
    uint32_t At() const { return at_; }
    void Skip(uint32_t bytes) { Take(bytes); }

private:
    ByteView file_;
    uint32_t at_;
    bool failed_ = false;
};

void SetColours(Project* p, ByteView file, uint32_t at, uint32_t count) {
    for (uint32_t n = 0; n < 5 && n < count; ++n) p->colours[n] = file[at + n] & 15;
}

Project ParseFixed(ByteView file, uint8_t version) {
    Project p;
    p.version = version;
    const uint32_t header = version == 4 ? 24 : 20;
    if (!file.Holds(0, header)) return {};
    SetColours(&p, file, 4, 4);
    p.method = file[8];
    bool multicolour = false;
    p.hasTiles = true;
    switch (version) {
        case 1:
            multicolour = file[9] != 0;
            p.mapWidth = Le16(file, 10);
            p.mapHeight = Le16(file, 12);
            p.chars = file[14] + 1u;
            p.tiles = file[15] + 1u;
            p.tileWidth = p.tileHeight = 4;
            p.tileCellBytes = 1;
            p.mapCellBytes = 1;
            break;
        case 2:
        case 3:
            multicolour = file[9] != 0;
            p.mapWidth = Le16(file, 10);
            p.mapHeight = Le16(file, 12);
            p.chars = Le16(file, 14) + 1u;
            p.tiles = file[16] + 1u;
            p.tileWidth = p.tileHeight = file[17];
            p.expanded = version == 3 && file[18] != 0;
            p.charStride = version == 2 ? 9 : 8;
            p.mapCellBytes = 1;
            break;
        case 4:
            multicolour = file[9] != 0;
            p.chars = Le16(file, 10) + 1u;
            p.tiles = file[12] + 1u;
            p.tileWidth = file[13];
            p.tileHeight = file[14];
            p.mapWidth = Le16(file, 15);
            p.mapHeight = Le16(file, 17);
            p.expanded = file[19] != 0;
            p.mapCellBytes = 1;
            break;
        default:  // 5
            p.hasTiles = (file[9] & 1) != 0;
            p.expanded = (file[9] & 2) != 0;
            multicolour = (file[9] & 4) != 0;
            p.chars = Le16(file, 10) + 1u;
            p.tiles = p.hasTiles ? Le16(file, 12) + 1u : 0;
            p.tileWidth = p.hasTiles ? file[14] : 1;
            p.tileHeight = p.hasTiles ? file[15] : 1;
            p.mapWidth = Le16(file, 16);
            p.mapHeight = Le16(file, 18);
            break;
    }
    p.mode = multicolour ? Mode::Multicolour : Mode::Hires;
    if (p.method > PER_CELL || (p.method == PER_TILE && !p.hasTiles) || p.tileWidth == 0 ||
        p.tileHeight == 0) {
        return {};
    }
    const uint64_t tileCells = uint64_t{p.tiles} * p.tileWidth * p.tileHeight;
    Blocks blocks(file, header);
    p.charData = blocks.Take(uint64_t{p.chars} * p.charStride);
    if (version >= 4) p.charColours = blocks.Take(p.chars);
    if (version == 1) {
        p.tileData = blocks.Take(tileCells);
        if (p.method == PER_CELL) p.cellColours = blocks.Take(tileCells);
        if (p.method == PER_TILE) p.tileColours = blocks.Take(p.tiles);
    } else if (version == 2) {
        p.tileData = blocks.Take(tileCells * 2);
        if (p.method == PER_TILE) p.tileColours = blocks.Take(p.tiles);
        if (p.method == PER_CELL) p.cellColours = blocks.Take(tileCells);
    } else {
        if (p.hasTiles && !p.expanded) p.tileData = blocks.Take(tileCells * 2);
        if (version <= 4) p.cellColours = blocks.Take(tileCells);
        if (p.method == PER_TILE) p.tileColours = blocks.Take(p.tiles);
    }
    // Version 5 colours per character, the earlier ones per tile cell.
    if (version < 5 || p.method != PER_CELL) p.charColours = 0;
    if (version >= 5) p.cellColours = 0;
    p.mapData = blocks.Take(uint64_t{p.mapWidth} * p.mapHeight * p.mapCellBytes);
    p.valid = !blocks.Failed();
    return p;
}

// Versions 6 to 9. `attributesTogether`: colour and material share a byte
// per character (version 6's way); otherwise each has a block (version 8's).
Project ParseMarked(ByteView file, uint8_t version, uint32_t header, bool attributesTogether) {
    Project p;
    p.version = version;
    if (!file.Holds(0, header)) return {};
    uint32_t colourBytes = 1;
    if (version == 6) {
        SetColours(&p, file, 4, 4);
        p.method = file[8];
        p.mode = (file[9] & 1) != 0 ? Mode::Multicolour : Mode::Hires;
        p.hasTiles = (file[9] & 2) != 0;
    } else {
        const uint32_t colours = version == 9 ? 12 : 7;
        if (header <= colours) return {};
        SetColours(&p, file, colours, header - colours);
        switch (file[4]) {
            case 0:
                p.mode = Mode::Hires;
                break;
            case 1:
                p.mode = Mode::Multicolour;
                break;
            case 2:
                p.mode = Mode::ExtendedBackground;
                break;
            case 3:
                p.mode = Mode::HiresCells;
                colourBytes = 2;
                break;
            case 4:
                p.mode = Mode::MulticolourCells;
                colourBytes = 3;
                break;
            default:
                return {};
        }
        p.method = file[5];
        p.hasTiles = (file[6] & 1) != 0;
    }
    if (p.method > PER_CELL || (p.method == PER_TILE && !p.hasTiles)) return {};
    Blocks blocks(file, header);
    const uint32_t count = blocks.Marked(2);
    if (blocks.Failed()) return {};
    p.chars = Le16(file, count) + 1u;
    p.charData = blocks.Take(uint64_t{p.chars} * 8);
    if (attributesTogether) {
        p.charColours = blocks.Marked(p.chars);
    } else {
        blocks.Marked(p.chars);  // materials
        if (p.method == PER_CELL) p.charColours = blocks.Marked(uint64_t{p.chars} * colourBytes);
    }
    p.charColourBytes = attributesTogether ? 1 : colourBytes;
    if (p.method != PER_CELL) p.charColours = 0;
    if (p.hasTiles) {
        const uint32_t head = blocks.Marked(4);
        if (blocks.Failed()) return {};
        p.tiles = Le16(file, head) + 1u;
        p.tileWidth = file[head + 2];
        p.tileHeight = file[head + 3];
        if (p.tileWidth == 0 || p.tileHeight == 0) return {};
        p.tileData = blocks.Take(uint64_t{p.tiles} * p.tileWidth * p.tileHeight * 2);
        if (p.method == PER_TILE) {
            p.tileColourBytes = attributesTogether ? 1 : colourBytes;
            p.tileColours = blocks.Marked(uint64_t{p.tiles} * p.tileColourBytes);
        }
        blocks.Marked(p.tiles);  // tags
        blocks.Marked(0);        // names: a string a tile
        for (uint32_t n = 0; n < p.tiles && !blocks.Failed(); ++n) {
            while (!blocks.Failed() && file.Holds(blocks.At()) && file[blocks.At()] != 0) {
                blocks.Skip(1);
            }
            blocks.Skip(1);
        }
    }
    const uint32_t map = blocks.Marked(4);
    if (blocks.Failed()) return {};
    p.mapWidth = Le16(file, map);
    p.mapHeight = Le16(file, map + 2);
    p.mapData = blocks.Take(uint64_t{p.mapWidth} * p.mapHeight * 2);
    p.valid = !blocks.Failed();
    return p;
}

Project Parse(ByteView file) {
    if (file.size < 10 || std::memcmp(file.data, "CTM", 3) != 0) return {};
    const uint8_t version = file[3];
    if (version >= 1 && version <= 5) return ParseFixed(file, version);
    if (version == 6) return ParseMarked(file, 6, 10, true);
    if (version < 7 || version > 9) return {};
    // The header ends where the character block's mark is; version 7 is
    // read both ways its attributes may be kept.
    uint32_t header = version == 9 ? 13 : 8;
    while (header < 40 && file.Holds(header, 2) &&
           !(file[header] == 0xDA && file[header + 1] == 0xB0)) {
        ++header;
    }
    if (version == 7) {
        const Project together = ParseMarked(file, 7, header, true);
        if (together.valid) return together;
    }
    return ParseMarked(file, version, header, false);
}

// What the picture shows: the map, else the tiles, else the characters.
enum class Shows : uint8_t { Map, Tiles, Characters };
Shows WhatItShows(const Project& p) {
    if (p.mapWidth > 0 && p.mapHeight > 0) return Shows::Map;
    return p.hasTiles ? Shows::Tiles : Shows::Characters;
}

constexpr uint32_t CHARS_A_ROW = 32;

uint32_t TilesARow(const Project& p) {
    return std::max<uint32_t>(1, CHARS_A_ROW / p.tileWidth);
}

uint8_t ColourAt(ByteView file, uint32_t offset) {
    return file[offset] & 15;
}

// Draws character `code` of tile `tile` (its cell `cell`) at (x, y).
void DrawCharacter(ByteView file, const Project& p, const ColourCanvas& canvas, uint32_t x,
                   uint32_t y, uint32_t code, uint32_t tile, uint32_t cell) {
    const uint8_t background = p.colours[0];
    uint32_t image = code;
    uint8_t paper = background;
    if (p.mode == Mode::ExtendedBackground) {
        image = code & 63;
        const uint32_t which = (code >> 6) & 3;
        paper = p.colours[which == 3 ? 4 : which];
    }
    const uint8_t* bytes = image < p.chars && p.charData != 0
                               ? file.data + p.charData + image * p.charStride
                               : nullptr;
    if (bytes == nullptr) {
        DrawHiresCell(canvas, x, y, nullptr, background, background);
        return;
    }
    // The colours this cell takes from where the project keeps them.
    uint32_t from = 0;
    uint32_t width = 1;
    if (p.method == PER_TILE && p.tileColours != 0 && tile < p.tiles) {
        from = p.tileColours + tile * p.tileColourBytes;
        width = p.tileColourBytes;
    } else if (p.method == PER_CELL && p.charColours != 0) {
        from = p.charColours + image * p.charColourBytes;
        width = p.charColourBytes;
    } else if (p.method == PER_CELL && p.cellColours != 0 && tile < p.tiles) {
        from = p.cellColours + tile * p.tileWidth * p.tileHeight + cell;
    }
    const uint8_t ink = from != 0 ? ColourAt(file, from) : p.colours[3];
    switch (p.mode) {
        case Mode::Hires:
        case Mode::ExtendedBackground:
            DrawHiresCell(canvas, x, y, bytes, ink, paper);
            return;
        case Mode::HiresCells:
            DrawHiresCell(canvas, x, y, bytes, ink,
                          from != 0 && width > 1 ? ColourAt(file, from + 1) : background);
            return;
        case Mode::MulticolourCells: {
            const uint8_t colours[4] = {
                background, ink, from != 0 && width > 1 ? ColourAt(file, from + 1) : p.colours[1],
                from != 0 && width > 2 ? ColourAt(file, from + 2) : p.colours[2]};
            DrawMulticolourCell(canvas, x, y, bytes, colours);
            return;
        }
        case Mode::Multicolour: {
            // Version 5 draws every character in multicolour; the others as
            // the VIC-II does, in multicolour where the colour's bit 3 is set.
            if (p.version != 5 && (ink & 8) == 0) {
                DrawHiresCell(canvas, x, y, bytes, ink & 7, background);
                return;
            }
            const uint8_t colours[4] = {background, p.colours[1], p.colours[2],
                                        static_cast<uint8_t>(ink & 7)};
            DrawMulticolourCell(canvas, x, y, bytes, colours);
            return;
        }
    }
}

// The character in cell (row, column) of a tile.
uint32_t TileCell(ByteView file, const Project& p, uint32_t tile, uint32_t row, uint32_t column) {
    if (p.expanded || p.tileData == 0) return (tile * p.tileHeight + row) * p.tileWidth + column;
    const uint32_t at =
        p.tileData + ((tile * p.tileHeight + row) * p.tileWidth + column) * p.tileCellBytes;
    return p.tileCellBytes == 1 ? file[at] : Le16(file, at);
}

void DrawTile(ByteView file, const Project& p, const ColourCanvas& canvas, uint32_t x, uint32_t y,
              uint32_t tile) {
    for (uint32_t row = 0; row < p.tileHeight; ++row) {
        for (uint32_t column = 0; column < p.tileWidth; ++column) {
            const uint32_t cx = x + column * 8;
            const uint32_t cy = y + row * 8;
            if (tile >= p.tiles) {
                DrawHiresCell(canvas, cx, cy, nullptr, p.colours[0], p.colours[0]);
                continue;
            }
            DrawCharacter(file, p, canvas, cx, cy, TileCell(file, p, tile, row, column), tile,
                          row * p.tileWidth + column);
        }
    }
}

}  // namespace

Evidence CharPadSniff(ByteView file) {
    return Parse(file).valid ? Evidence::Signature : Evidence::None;
}

PictureSize CharPadMeasure(ByteView file) {
    const Project p = Parse(file);
    switch (WhatItShows(p)) {
        case Shows::Map:
            return {p.mapWidth * p.tileWidth * 8, p.mapHeight * p.tileHeight * 8};
        case Shows::Tiles: {
            const uint32_t across = std::min(p.tiles, TilesARow(p));
            return {across * p.tileWidth * 8, ((p.tiles + across - 1) / across) * p.tileHeight * 8};
        }
        case Shows::Characters:
            break;
    }
    const uint32_t across = std::min(p.chars, CHARS_A_ROW);
    return {across * 8, ((p.chars + across - 1) / across) * 8};
}

uint8_t CharPadBackground(ByteView file) {
    return Parse(file).colours[0];
}

void CharPadDraw(ByteView file, const ColourCanvas& canvas) {
    const Project p = Parse(file);
    switch (WhatItShows(p)) {
        case Shows::Map: {
            const bool tiles = p.hasTiles;
            for (uint32_t my = 0; my < p.mapHeight; ++my) {
                for (uint32_t mx = 0; mx < p.mapWidth; ++mx) {
                    const uint32_t at = p.mapData + (my * p.mapWidth + mx) * p.mapCellBytes;
                    const uint32_t entry = p.mapCellBytes == 1 ? file[at] : Le16(file, at);
                    const uint32_t x = mx * p.tileWidth * 8;
                    const uint32_t y = my * p.tileHeight * 8;
                    if (tiles) {
                        DrawTile(file, p, canvas, x, y, entry);
                    } else {
                        DrawCharacter(file, p, canvas, x, y, entry, 0, 0);
                    }
                }
            }
            return;
        }
        case Shows::Tiles: {
            canvas.Fill(p.colours[0]);
            const uint32_t across = std::min(p.tiles, TilesARow(p));
            for (uint32_t tile = 0; tile < p.tiles; ++tile) {
                DrawTile(file, p, canvas, (tile % across) * p.tileWidth * 8,
                         (tile / across) * p.tileHeight * 8, tile);
            }
            return;
        }
        case Shows::Characters:
            break;
    }
    canvas.Fill(p.colours[0]);
    const uint32_t across = std::min(p.chars, CHARS_A_ROW);
    for (uint32_t code = 0; code < p.chars; ++code) {
        DrawCharacter(file, p, canvas, (code % across) * 8, (code / across) * 8, code, p.tiles, 0);
    }
}

namespace {
// clang-format off
const FormatReader ROWS[] = {
    // code, short name, name, extensions, MIME type, load address, signature, what its files hold, functions
    {26, "charpad", "CharPad project", "ctm", "image/x-c64-charpad", false, true, "starts with \"CTM\" and a format version 1 to 9, then the blocks that version keeps", TARNEL_FORMAT_FUNCTIONS(CharPad)},
};
// clang-format on
}  // namespace

const FormatFamily CHARPAD_FORMATS = {ROWS, sizeof ROWS / sizeof ROWS[0]};

}  // namespace tarnel::readers
