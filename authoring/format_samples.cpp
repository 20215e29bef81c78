#include "authoring/format_samples.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>

#include "authoring/font.h"
#include "authoring/sample_picture.h"

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;
using Cell = std::array<uint8_t, 8>;

void Put16(Bytes* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>(value & 0xFF));
    out->push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(Bytes* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}
void Append(Bytes* out, const Bytes& more) {
    out->insert(out->end(), more.begin(), more.end());
}
void AppendText(Bytes* out, const char* text) {
    out->insert(out->end(), text, text + std::strlen(text));
}

// Whether pixel (x, y) of an 8 x 8 character is set: the font's glyph of
// `c` one column in, or its reverse.
bool CharPixel(char c, bool reversed, int x, int y) {
    const bool on = x >= 1 && x <= 5 && GlyphPixel(c, x - 1, y);
    return on != reversed;
}

Cell GlyphCell(char c, bool reversed) {
    Cell cell{};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            if (CharPixel(c, reversed, x, y)) cell[y] |= static_cast<uint8_t>(0x80 >> x);
        }
    }
    return cell;
}

// A multicolour pattern: bit pair p (0 to 3, the leftmost first) of line y
// of pattern n.
uint8_t PatternPair(uint32_t n, uint32_t pair, uint32_t y) {
    return static_cast<uint8_t>((pair + y / 2 + n) % 4);
}
Cell PatternCell(uint32_t n) {
    Cell cell{};
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t pair = 0; pair < 4; ++pair) {
            cell[y] |= static_cast<uint8_t>(PatternPair(n, pair, y) << (6 - 2 * pair));
        }
    }
    return cell;
}

// ---------------------------------------------------------------------------
// Character sets: glyph n is character 33 + n % 94, reversed from 94 on.

char CharOf(uint32_t n) {
    return static_cast<char>(33 + n % 94);
}
bool ReversedOf(uint32_t n) {
    return (n / 94) % 2 == 1;
}

// `count` characters, 32 a row, white on black; bytes from the glyphs.
Picture CharsetPicture(uint32_t count, uint32_t rows, uint32_t partialLines) {
    Picture picture(256, rows * 8, 0);
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t lines = n + 1 == count && partialLines > 0 ? partialLines : 8;
        for (uint32_t y = 0; y < lines; ++y) {
            for (uint32_t x = 0; x < 8; ++x) {
                if (CharPixel(CharOf(n), ReversedOf(n), static_cast<int>(x), static_cast<int>(y))) {
                    picture.Set((n % 32) * 8 + x, (n / 32) * 8 + y, 1);
                }
            }
        }
    }
    return picture;
}

void AppendGlyphs(Bytes* out, uint32_t count, uint32_t stride, uint8_t filler) {
    for (uint32_t n = 0; n < count; ++n) {
        const Cell cell = GlyphCell(CharOf(n), ReversedOf(n));
        out->insert(out->end(), cell.begin(), cell.end());
        for (uint32_t k = 8; k < stride; ++k) out->push_back(filler);
    }
}

void AddCharsets(std::vector<FormatSample>* samples) {
    {
        Bytes file = {0x00, 0x30};
        AppendGlyphs(&file, 256, 8, 0);
        samples->push_back(Sample(23, "charset.64c", file, CharsetPicture(256, 8, 0)));
    }
    {
        // 100 characters and three lines of a 101st: 4 rows, the rest black.
        Bytes file = {0x00, 0x38};
        AppendGlyphs(&file, 101, 8, 0);
        file.resize(2 + 100 * 8 + 3);
        samples->push_back(Sample(23, "charset-short.64c", file, CharsetPicture(101, 4, 3)));
    }
    {
        Bytes file = {0x42, 0x00};
        AppendGlyphs(&file, 64, 8, 0);
        samples->push_back(Sample(24, "font-64.g", file, CharsetPicture(64, 2, 0)));
    }
    {
        // The ninth byte of each character is not drawn: all set here.
        Bytes file = {0xB0, 0xF0, 0x00};
        AppendGlyphs(&file, 113, 9, 0xFF);
        file.resize(1026, 0xFF);
        samples->push_back(Sample(25, "charset-9.zs", file, CharsetPicture(113, 4, 0)));
    }
}

// ---------------------------------------------------------------------------
// CharPad: a project model, the picture it shows, and its bytes in each
// format version.

enum class CtmMode { Hires, Multicolour, Extended };

struct Project {
    uint8_t version = 5;
    CtmMode mode = CtmMode::Hires;
    uint8_t method = 0;  // 0 global, 1 per tile, 2 per tile cell (1-4) or per character (5-9)
    bool tiles = true;
    bool expanded = false;
    uint8_t colours[5] = {0, 11, 12, 1, 6};  // background, mc 1, mc 2, character, background 4
    std::vector<Cell> chars;
    std::vector<uint8_t> charColours;  // per character, low nibble; materials above
    uint32_t tileWidth = 1, tileHeight = 1;
    std::vector<uint16_t> tileCells;   // tiles x height x width characters
    std::vector<uint8_t> tileColours;  // per tile
    std::vector<uint8_t> cellColours;  // per tile cell
    uint32_t mapWidth = 0, mapHeight = 0;
    std::vector<uint16_t> map;

    uint32_t TileCount() const {
        return static_cast<uint32_t>(tileCells.size() / (tileWidth * tileHeight));
    }
    uint32_t CharAt(uint32_t tile, uint32_t cell) const {
        if (expanded) return tile * tileWidth * tileHeight + cell;
        return tileCells[tile * tileWidth * tileHeight + cell];
    }
};

// The colour of pixel (x, y) of character `code` drawn as tile `tile`'s
// cell `cell` (tile ~0u: no tile).
uint8_t ProjectPixel(const Project& p, uint32_t code, uint32_t tile, uint32_t cell, uint32_t x,
                     uint32_t y) {
    uint32_t image = code;
    uint8_t paper = p.colours[0];
    if (p.mode == CtmMode::Extended) {
        image = code % 64;
        const uint32_t which = (code / 64) % 4;
        paper = p.colours[which == 3 ? 4 : which];
    }
    if (image >= p.chars.size()) return p.colours[0];
    uint8_t ink = p.colours[3];
    if (p.method == 1 && tile != ~0u) ink = p.tileColours[tile] & 15;
    if (p.method == 2 && p.version >= 5) ink = p.charColours[image] & 15;
    if (p.method == 2 && p.version < 5 && tile != ~0u) {
        ink = p.cellColours[tile * p.tileWidth * p.tileHeight + cell] & 15;
    }
    const uint8_t line = p.chars[image][y];
    const bool multicolour = p.mode == CtmMode::Multicolour && (p.version == 5 || (ink & 8) != 0);
    if (!multicolour) {
        const bool on = (line >> (7 - x)) & 1;
        if (p.mode == CtmMode::Multicolour) return on ? ink & 7 : p.colours[0];
        return on ? ink : paper;
    }
    const uint32_t pair = (line >> (6 - 2 * (x / 2))) & 3;
    const uint8_t colours[4] = {p.colours[0], p.colours[1], p.colours[2],
                                static_cast<uint8_t>(ink & 7)};
    return colours[pair];
}

Picture ProjectPicture(const Project& p) {
    const uint32_t tw = p.tiles ? p.tileWidth : 1;
    const uint32_t th = p.tiles ? p.tileHeight : 1;
    if (p.mapWidth > 0 && p.mapHeight > 0) {
        Picture picture(p.mapWidth * tw * 8, p.mapHeight * th * 8, 0);
        for (uint32_t y = 0; y < picture.height; ++y) {
            for (uint32_t x = 0; x < picture.width; ++x) {
                const uint32_t entry = p.map[(y / (th * 8)) * p.mapWidth + x / (tw * 8)];
                if (!p.tiles) {
                    picture.Set(x, y, ProjectPixel(p, entry, ~0u, 0, x % 8, y % 8));
                    continue;
                }
                const uint32_t cell = ((y / 8) % th) * tw + (x / 8) % tw;
                picture.Set(x, y,
                            entry < p.TileCount()
                                ? ProjectPixel(p, p.CharAt(entry, cell), entry, cell, x % 8, y % 8)
                                : p.colours[0]);
            }
        }
        return picture;
    }
    if (p.tiles) {
        const uint32_t tiles = p.TileCount();
        const uint32_t across = std::min<uint32_t>(tiles, std::max<uint32_t>(1, 32 / tw));
        Picture picture(across * tw * 8, ((tiles + across - 1) / across) * th * 8, p.colours[0]);
        for (uint32_t tile = 0; tile < tiles; ++tile) {
            for (uint32_t y = 0; y < th * 8; ++y) {
                for (uint32_t x = 0; x < tw * 8; ++x) {
                    const uint32_t cell = (y / 8) * tw + x / 8;
                    picture.Set((tile % across) * tw * 8 + x, (tile / across) * th * 8 + y,
                                ProjectPixel(p, p.CharAt(tile, cell), tile, cell, x % 8, y % 8));
                }
            }
        }
        return picture;
    }
    const uint32_t count = static_cast<uint32_t>(p.chars.size());
    const uint32_t across = std::min<uint32_t>(count, 32);
    Picture picture(across * 8, ((count + across - 1) / across) * 8, p.colours[0]);
    for (uint32_t code = 0; code < count; ++code) {
        for (uint32_t y = 0; y < 8; ++y) {
            for (uint32_t x = 0; x < 8; ++x) {
                picture.Set((code % across) * 8 + x, (code / across) * 8 + y,
                            ProjectPixel(p, code, ~0u, 0, x, y));
            }
        }
    }
    return picture;
}

void AppendChars(Bytes* out, const Project& p, bool material) {
    for (size_t n = 0; n < p.chars.size(); ++n) {
        out->insert(out->end(), p.chars[n].begin(), p.chars[n].end());
        if (material) out->push_back(static_cast<uint8_t>(n % 16));
    }
}
void AppendTileCells(Bytes* out, const Project& p, bool wide) {
    for (uint16_t code : p.tileCells) {
        if (wide) {
            Put16(out, code);
        } else {
            out->push_back(static_cast<uint8_t>(code));
        }
    }
}
void AppendMap(Bytes* out, const Project& p, bool wide) {
    for (uint16_t entry : p.map) {
        if (wide) {
            Put16(out, entry);
        } else {
            out->push_back(static_cast<uint8_t>(entry));
        }
    }
}
void Mark(Bytes* out, uint8_t* block) {
    out->push_back(0xDA);
    out->push_back(static_cast<uint8_t>(0xB0 | (*block)++));
}

Bytes ProjectBytes(const Project& p) {
    Bytes out = {'C', 'T', 'M', p.version};
    const uint32_t chars = static_cast<uint32_t>(p.chars.size());
    const uint32_t tiles = p.TileCount();
    const bool multicolour = p.mode == CtmMode::Multicolour;
    if (p.version <= 5) {
        out.insert(out.end(), p.colours, p.colours + 4);
        out.push_back(p.method);
    }
    switch (p.version) {
        case 1:
            out.push_back(multicolour ? 1 : 0);
            Put16(&out, p.mapWidth);
            Put16(&out, p.mapHeight);
            out.push_back(static_cast<uint8_t>(chars - 1));
            out.push_back(static_cast<uint8_t>(tiles - 1));
            out.resize(20, 0);
            AppendChars(&out, p, false);
            AppendTileCells(&out, p, false);
            if (p.method == 2) Append(&out, p.cellColours);
            if (p.method == 1) Append(&out, p.tileColours);
            AppendMap(&out, p, false);
            return out;
        case 2:
        case 3:
            out.push_back(multicolour ? 1 : 0);
            Put16(&out, p.mapWidth);
            Put16(&out, p.mapHeight);
            Put16(&out, chars - 1);
            out.push_back(static_cast<uint8_t>(tiles - 1));
            out.push_back(static_cast<uint8_t>(p.tileWidth));
            out.push_back(p.version == 3 && p.expanded ? 1 : 0);
            out.resize(20, 0);
            AppendChars(&out, p, p.version == 2);
            if (p.version == 2) {
                AppendTileCells(&out, p, true);
                if (p.method == 1) Append(&out, p.tileColours);
                if (p.method == 2) Append(&out, p.cellColours);
            } else {
                if (!p.expanded) AppendTileCells(&out, p, true);
                Append(&out, p.cellColours);
                if (p.method == 1) Append(&out, p.tileColours);
            }
            AppendMap(&out, p, false);
            return out;
        case 4:
            out.push_back(multicolour ? 1 : 0);
            Put16(&out, chars - 1);
            out.push_back(static_cast<uint8_t>(tiles - 1));
            out.push_back(static_cast<uint8_t>(p.tileWidth));
            out.push_back(static_cast<uint8_t>(p.tileHeight));
            Put16(&out, p.mapWidth);
            Put16(&out, p.mapHeight);
            out.push_back(p.expanded ? 1 : 0);
            out.resize(24, 0);
            AppendChars(&out, p, false);
            Append(&out, p.charColours);
            if (!p.expanded) AppendTileCells(&out, p, true);
            Append(&out, p.cellColours);
            if (p.method == 1) Append(&out, p.tileColours);
            AppendMap(&out, p, false);
            return out;
        case 5:
            out.push_back(static_cast<uint8_t>((p.tiles ? 1 : 0) | (p.expanded ? 2 : 0) |
                                               (multicolour ? 4 : 0)));
            Put16(&out, chars - 1);
            Put16(&out, p.tiles ? tiles - 1 : 0);
            out.push_back(static_cast<uint8_t>(p.tiles ? p.tileWidth : 1));
            out.push_back(static_cast<uint8_t>(p.tiles ? p.tileHeight : 1));
            Put16(&out, p.mapWidth);
            Put16(&out, p.mapHeight);
            AppendChars(&out, p, false);
            Append(&out, p.charColours);
            if (p.tiles && !p.expanded) AppendTileCells(&out, p, true);
            if (p.method == 1) Append(&out, p.tileColours);
            AppendMap(&out, p, true);
            return out;
        default:
            break;
    }
    // Versions 6 to 9: a header, then marked blocks.
    const bool together = p.version <= 7;
    if (p.version == 6) {
        out.insert(out.end(), p.colours, p.colours + 4);
        out.push_back(p.method);
        out.push_back(static_cast<uint8_t>((multicolour ? 1 : 0) | (p.tiles ? 2 : 0)));
    } else {
        out.push_back(static_cast<uint8_t>(p.mode == CtmMode::Hires         ? 0
                                           : p.mode == CtmMode::Multicolour ? 1
                                                                            : 2));
        out.push_back(p.method);
        out.push_back(p.tiles ? 1 : 0);
        if (p.version == 9) {
            Put16(&out, 40);  // a grid the picture does not use
            Put16(&out, 25);
            out.push_back(0);
        }
        out.insert(out.end(), p.colours, p.colours + 5);
        if (p.version >= 8) {
            out.push_back(9);  // two colours this project does not use
            out.push_back(10);
        }
    }
    uint8_t block = 0;
    Mark(&out, &block);
    Put16(&out, chars - 1);
    AppendChars(&out, p, false);
    Mark(&out, &block);
    if (together) {
        for (size_t n = 0; n < p.chars.size(); ++n) {
            out.push_back(static_cast<uint8_t>((n % 16) << 4 | (p.charColours[n] & 15)));
        }
    } else {
        for (size_t n = 0; n < p.chars.size(); ++n) out.push_back(static_cast<uint8_t>(n % 16));
        if (p.method == 2) {
            Mark(&out, &block);
            Append(&out, p.charColours);
        }
    }
    if (p.tiles) {
        Mark(&out, &block);
        Put16(&out, tiles - 1);
        out.push_back(static_cast<uint8_t>(p.tileWidth));
        out.push_back(static_cast<uint8_t>(p.tileHeight));
        AppendTileCells(&out, p, true);
        if (p.method == 1) {
            Mark(&out, &block);
            Append(&out, p.tileColours);
        }
        Mark(&out, &block);
        for (uint32_t t = 0; t < tiles; ++t) out.push_back(static_cast<uint8_t>(t));
        Mark(&out, &block);
        for (uint32_t t = 0; t < tiles; ++t) {
            char name[16];
            std::snprintf(name, sizeof name, "tile %u", static_cast<unsigned>(t));
            out.insert(out.end(), name, name + std::strlen(name) + 1);
        }
    }
    Mark(&out, &block);
    Put16(&out, p.mapWidth);
    Put16(&out, p.mapHeight);
    AppendMap(&out, p, true);
    return out;
}

// A project of `chars` characters (glyphs for hires, patterns for
// multicolour), `tiles` tiles of w x h and a map of mw x mh tiles; its
// colours varied by character and tile.
Project MakeProject(uint8_t version, CtmMode mode, uint8_t method, uint32_t chars, uint32_t tiles,
                    uint32_t w, uint32_t h, uint32_t mw, uint32_t mh) {
    Project p;
    p.version = version;
    p.mode = mode;
    p.method = method;
    p.tileWidth = w;
    p.tileHeight = h;
    for (uint32_t n = 0; n < chars; ++n) {
        p.chars.push_back(mode == CtmMode::Multicolour && n % 3 != 0
                              ? PatternCell(n)
                              : GlyphCell(static_cast<char>('A' + n % 26), n % 5 == 4));
        // Multicolour where the colour asks for it (bit 3), hires otherwise.
        const uint8_t ink = static_cast<uint8_t>(2 + n % 6);
        p.charColours.push_back(mode == CtmMode::Multicolour && n % 4 != 3 ? ink | 8 : ink);
    }
    for (uint32_t t = 0; t < tiles; ++t) {
        for (uint32_t c = 0; c < w * h; ++c) {
            p.tileCells.push_back(static_cast<uint16_t>((t * 7 + c * 3) % chars));
            p.cellColours.push_back(static_cast<uint8_t>((t + c) % 7 + 9));
        }
        p.tileColours.push_back(static_cast<uint8_t>(t % 2 == 0 ? 13 : 10));
    }
    p.mapWidth = mw;
    p.mapHeight = mh;
    for (uint32_t n = 0; n < mw * mh; ++n) {
        p.map.push_back(static_cast<uint16_t>((n * 5 + n / mw) % (tiles > 0 ? tiles : chars)));
    }
    return p;
}

void AddCharPad(std::vector<FormatSample>* samples) {
    auto add = [&](const char* slug, const Project& p) {
        samples->push_back(Sample(26, slug, ProjectBytes(p), ProjectPicture(p), p.colours[0]));
    };
    // Version 1: hires, one colour, 4 x 4 tiles of 8-bit characters.
    add("charpad-v1.ctm", MakeProject(1, CtmMode::Hires, 0, 12, 3, 4, 4, 5, 2));
    // Version 2: multicolour per tile, 3 x 3 tiles, characters with materials.
    add("charpad-v2.ctm", MakeProject(2, CtmMode::Multicolour, 1, 16, 4, 3, 3, 4, 3));
    {
        // Version 3: expanded (no tile table), coloured per tile cell.
        Project p = MakeProject(3, CtmMode::Hires, 2, 20, 5, 2, 2, 6, 3);
        p.expanded = true;
        p.tileCells.assign(p.tileCells.size(), 0);
        add("charpad-v3.ctm", p);
    }
    // Version 4: multicolour per tile cell, tiles 3 wide and 2 high.
    add("charpad-v4.ctm", MakeProject(4, CtmMode::Multicolour, 2, 18, 6, 3, 2, 5, 4));
    // Version 5: multicolour per character; every character in multicolour.
    add("charpad-v5.ctm", MakeProject(5, CtmMode::Multicolour, 2, 24, 6, 2, 2, 8, 5));
    {
        // Version 5 without tiles: the map holds characters.
        Project p = MakeProject(5, CtmMode::Hires, 2, 30, 0, 1, 1, 16, 6);
        p.tiles = false;
        add("charpad-v5-chars.ctm", p);
    }
    // Version 5 with tiles and no map: the tiles are shown.
    add("charpad-v5-tiles.ctm", MakeProject(5, CtmMode::Hires, 1, 20, 9, 4, 2, 0, 0));
    // Version 6: marked blocks, hires per tile.
    add("charpad-v6.ctm", MakeProject(6, CtmMode::Hires, 1, 16, 4, 2, 3, 7, 3));
    {
        // Version 6 with neither tiles nor map: the characters are shown.
        Project p = MakeProject(6, CtmMode::Multicolour, 2, 40, 0, 1, 1, 0, 0);
        p.tiles = false;
        add("charpad-v6-chars.ctm", p);
    }
    {
        // Version 7: extended background colour mode, the map of characters
        // choosing backgrounds by their top two bits.
        Project p = MakeProject(7, CtmMode::Extended, 2, 64, 0, 1, 1, 20, 6);
        p.tiles = false;
        p.colours[1] = 2;
        p.colours[2] = 5;
        p.colours[4] = 14;
        for (uint32_t n = 0; n < p.map.size(); ++n) {
            p.map[n] = static_cast<uint16_t>(n % 64 + 64 * ((n / 7) % 4));
        }
        add("charpad-v7.ctm", p);
    }
    // Version 8: multicolour per character, colours in a block of their own.
    add("charpad-v8.ctm", MakeProject(8, CtmMode::Multicolour, 2, 22, 5, 2, 2, 9, 4));
    {
        // Version 9: hires in one colour, no tiles.
        Project p = MakeProject(9, CtmMode::Hires, 0, 26, 0, 1, 1, 26, 3);
        p.tiles = false;
        add("charpad-v9.ctm", p);
    }
}

// ---------------------------------------------------------------------------
// Sprites: sprite n shows a diamond around a letter, hires or multicolour.

struct Sprite {
    std::array<uint8_t, 63> data{};
    uint8_t attributes = 0;
};

// Colour index 0 to 3 of pixel (x, y) of sprite n: for hires 0 or 2, for
// multicolour one bit pair per two pixels.
uint8_t SpriteIndex(uint32_t n, bool multicolour, uint32_t x, uint32_t y) {
    const int dx = static_cast<int>(x) - 12;
    const int dy = static_cast<int>(y) - 10;
    const int distance = (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
    if (multicolour) {
        const uint32_t px = x / 2;
        const int mdx = static_cast<int>(px) - 6;
        const int mdistance = (mdx < 0 ? -mdx : mdx) * 2 + (dy < 0 ? -dy : dy);
        if (mdistance > 11) return 0;
        return static_cast<uint8_t>(1 + (mdistance / 3 + n) % 3);
    }
    if (x >= 9 && x < 14 && y >= 6 && y < 15) {
        return GlyphPixel(static_cast<char>('A' + n % 26), static_cast<int>(x - 9),
                          static_cast<int>(y - 6))
                   ? 0
                   : 2;
    }
    return distance <= 10 ? 2 : 0;
}

Sprite MakeSprite(uint32_t n, bool multicolour, uint8_t colour) {
    Sprite sprite;
    for (uint32_t y = 0; y < 21; ++y) {
        for (uint32_t x = 0; x < 24; ++x) {
            const uint8_t index = SpriteIndex(n, multicolour, x, y);
            if (multicolour) {
                if (x % 2 == 0) {
                    sprite.data[y * 3 + x / 8] |= static_cast<uint8_t>(index << (6 - (x % 8)));
                }
            } else if (index == 2) {
                sprite.data[y * 3 + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    sprite.attributes = static_cast<uint8_t>((multicolour ? 0x80 : 0) | colour);
    return sprite;
}

// The sprites in a grid of 26 x 23 slots, sixteen a row, on `background`;
// colours[] maps a sprite's index 0 to 3 given its own colour.
Picture SpriteGrid(const std::vector<Sprite>& sprites, uint32_t width, uint32_t height,
                   uint8_t background, const std::function<uint8_t(uint32_t, uint8_t)>& colour) {
    Picture picture(width, height, background);
    for (uint32_t n = 0; n < sprites.size(); ++n) {
        const bool multicolour = (sprites[n].attributes & 0x80) != 0;
        for (uint32_t y = 0; y < 21; ++y) {
            for (uint32_t x = 0; x < 24; ++x) {
                const uint8_t index = SpriteIndex(n, multicolour, multicolour ? x & ~1u : x, y);
                picture.Set((n % 16) * 26 + x, (n / 16) * 23 + y, colour(n, index));
            }
        }
    }
    return picture;
}

void AppendSprites(Bytes* out, const std::vector<Sprite>& sprites) {
    for (const Sprite& sprite : sprites) {
        out->insert(out->end(), sprite.data.begin(), sprite.data.end());
        out->push_back(sprite.attributes);
    }
}

void AddSprites(std::vector<FormatSample>* samples) {
    const uint8_t background = 6, multicolour1 = 1, multicolour2 = 7;
    auto set = [&](uint32_t count, uint32_t first) {
        std::vector<Sprite> sprites;
        for (uint32_t n = 0; n < count; ++n) {
            sprites.push_back(
                MakeSprite(n, (n + first) % 3 != 0, static_cast<uint8_t>(2 + n % 13)));
        }
        return sprites;
    };
    auto grid = [&](const std::vector<Sprite>& sprites) {
        const uint32_t count = static_cast<uint32_t>(sprites.size());
        const uint32_t width = count <= 16 ? 26 * count - 2 : 414;
        const uint32_t height = count <= 16 ? 21 : 23 * ((count + 15) / 16) - 2;
        return SpriteGrid(sprites, width, height, background, [&](uint32_t n, uint8_t index) {
            const uint8_t colours[4] = {background, multicolour1,
                                        static_cast<uint8_t>(sprites[n].attributes & 15),
                                        multicolour2};
            return colours[index];
        });
    };
    {
        // The first SpritePad: three colours, then the sprites.
        const std::vector<Sprite> sprites = set(5, 0);
        Bytes file = {background, multicolour1, multicolour2};
        AppendSprites(&file, sprites);
        samples->push_back(Sample(27, "spritepad-headerless.spd", file, grid(sprites), background));
    }
    for (uint8_t version = 1; version <= 5; ++version) {
        // Version 1 with more than a row of sprites.
        const std::vector<Sprite> sprites = set(version == 1 ? 21 : 3 + version, version);
        Bytes file = {'S', 'P', 'D', version};
        if (version <= 2) {
            file.push_back(static_cast<uint8_t>(sprites.size() - 1));
            file.push_back(0);  // one animation
            file.insert(file.end(), {background, multicolour1, multicolour2});
        } else {
            file.push_back(0);  // flags
            Put16(&file, static_cast<uint32_t>(sprites.size()));
            Put16(&file, 0);  // no tiles
            file.insert(file.end(), {0, 0, 1, 1, background, multicolour1, multicolour2});
            if (version == 5) {
                Put16(&file, 1);
                Put16(&file, 1);
            }
        }
        AppendSprites(&file, sprites);
        // What follows the sprites (animations) is not drawn.
        file.insert(file.end(), {0, 0, 0, 0, 4, 0x10});
        char slug[32];
        std::snprintf(slug, sizeof slug, "spritepad-v%u.spd", static_cast<unsigned>(version));
        samples->push_back(Sample(27, slug, file, grid(sprites), background));
    }
    {
        // The sprite bank: 127 multicolour sprites, colours in their 64th byte.
        std::vector<Sprite> sprites;
        for (uint32_t n = 0; n < 127; ++n) {
            sprites.push_back(MakeSprite(n, true, static_cast<uint8_t>(n % 16)));
        }
        Bytes file = {0x42, 0x00};
        AppendSprites(&file, sprites);
        const Picture picture = SpriteGrid(sprites, 416, 182, 11, [&](uint32_t n, uint8_t index) {
            const uint8_t colours[4] = {11, 0, static_cast<uint8_t>(sprites[n].attributes & 15), 1};
            return colours[index];
        });
        samples->push_back(Sample(28, "sprite-bank.a", file, picture, 11));
    }
}

// ---------------------------------------------------------------------------
// Logo Painter 3, Fluff64, RIFF CGFX.

void AddLogoPainter(std::vector<FormatSample>* samples) {
    for (bool coloured : {true, false}) {
        Bytes file(coloured ? 4174 : 4098, 0);
        file[0] = 0x00;
        file[1] = 0x18;
        // 40 x 50 screen codes: rows of patterns; characters 0-255 patterns.
        for (uint32_t cell = 0; cell < 2000; ++cell) {
            file[2 + cell] = static_cast<uint8_t>((cell % 40 + (cell / 40) * 3) % 256);
        }
        for (uint32_t code = 0; code < 256; ++code) {
            const Cell cell = PatternCell(code);
            std::memcpy(&file[2050 + code * 8], cell.data(), 8);
        }
        uint8_t colours[4] = {0, 10, 2, 1};
        if (coloured) {
            file[2045] = 6;
            file[2046] = 0x0F;  // drawn as 7: only three bits
            file[2047] = 14;
            file[2048] = 3;
            const uint8_t own[4] = {6, 14, 3, 7};
            std::memcpy(colours, own, 4);
        }
        Picture picture(320, 400, 0);
        for (uint32_t y = 0; y < 400; ++y) {
            for (uint32_t x = 0; x < 320; ++x) {
                const uint32_t code = file[2 + (y / 8) * 40 + x / 8];
                picture.Set(x, y, colours[PatternPair(code, (x % 8) / 2, y % 8)]);
            }
        }
        samples->push_back(Sample(29, coloured ? "logo-painter.lp3" : "logo-painter-4098.lp3", file,
                                  picture, colours[0]));
    }
}

void AddFluff64(std::vector<FormatSample>* samples) {
    struct Kind {
        uint8_t type;
        uint32_t first;
        const char* slug;
    };
    for (const Kind& kind : {Kind{1, 15, "fluff64-1.flf"}, Kind{4, 18, "fluff64-4.flf"},
                             Kind{6, 18, "fluff64-6.flf"}}) {
        const bool multicolour = kind.type != 6;
        Bytes file;
        AppendText(&file, "FLUFF64");
        file.resize(kind.first, 0);
        file[11] = kind.type;
        Picture picture(320, 200, 0);
        for (uint32_t cell = 0; cell < 1000; ++cell) {
            const uint8_t colours[4] = {
                static_cast<uint8_t>(cell % 3), static_cast<uint8_t>(3 + cell % 5),
                static_cast<uint8_t>(8 + (cell / 40) % 4), static_cast<uint8_t>(12 + cell % 4)};
            Cell bits{};
            for (uint32_t y = 0; y < 8; ++y) {
                for (uint32_t x = 0; x < 8; ++x) {
                    // The leftmost pixel in the lowest bit (pair).
                    uint8_t index;
                    if (multicolour) {
                        index = PatternPair(cell, x / 2, y);
                        if (x % 2 == 0) bits[y] |= static_cast<uint8_t>(index << x);
                    } else {
                        index = CharPixel(static_cast<char>('0' + cell % 10), false,
                                          static_cast<int>(x), static_cast<int>(y))
                                    ? 1
                                    : 0;
                        if (index != 0) bits[y] |= static_cast<uint8_t>(1 << x);
                    }
                    picture.Set((cell % 40) * 8 + x, (cell / 40) * 8 + y, colours[index]);
                }
            }
            file.insert(file.end(), bits.begin(), bits.end());
            file.insert(file.end(), colours, colours + 4);
        }
        samples->push_back(Sample(30, kind.slug, file, picture, 0));
    }
}

void AddCgfx(std::vector<FormatSample>* samples) {
    const uint32_t matrixRows = 2, matrixColumns = 3, frameRows = 8, frameColumns = 10;
    const uint32_t cells = frameRows * frameColumns;
    Picture picture(matrixColumns * frameColumns * 8, matrixRows * frameRows * 8, 0);
    Bytes data;
    for (uint32_t frame = 0; frame < matrixRows * matrixColumns; ++frame) {
        const uint8_t background = static_cast<uint8_t>(frame % 4 == 0 ? 6 : frame);
        Bytes bitmap, screen, colourRam;
        for (uint32_t cell = 0; cell < cells; ++cell) {
            const Cell bits = PatternCell(frame * 5 + cell);
            bitmap.insert(bitmap.end(), bits.begin(), bits.end());
            const uint8_t high = static_cast<uint8_t>((cell + frame) % 16);
            const uint8_t low = static_cast<uint8_t>((cell * 3 + 1) % 16);
            const uint8_t ram = static_cast<uint8_t>((frame * 2 + cell) % 16);
            screen.push_back(static_cast<uint8_t>(high << 4 | low));
            colourRam.push_back(static_cast<uint8_t>(0xF0 | ram));  // the high nibble unused
            const uint8_t colours[4] = {background, high, low, ram};
            for (uint32_t y = 0; y < 8; ++y) {
                for (uint32_t x = 0; x < 8; ++x) {
                    picture.Set(
                        (frame % matrixColumns) * frameColumns * 8 + (cell % frameColumns) * 8 + x,
                        (frame / matrixColumns) * frameRows * 8 + (cell / frameColumns) * 8 + y,
                        colours[PatternPair(frame * 5 + cell, x / 2, y)]);
                }
            }
        }
        Append(&data, bitmap);
        Append(&data, screen);
        Append(&data, colourRam);
        data.push_back(0x0E);  // not used
        data.push_back(background);
    }
    Bytes file;
    AppendText(&file, "RIFF");
    Put32(&file, 0);
    AppendText(&file, "CGFX");
    AppendText(&file, "META");
    Put32(&file, 5);
    AppendText(&file, "tarnl");
    AppendText(&file, "FRMT");
    Put32(&file, 12);
    file.insert(file.end(),
                {static_cast<uint8_t>(matrixRows), static_cast<uint8_t>(matrixColumns), 0, 0,
                 static_cast<uint8_t>(matrixRows * matrixColumns), 0, 0, 0,
                 static_cast<uint8_t>(frameRows), static_cast<uint8_t>(frameColumns), 4, 0});
    AppendText(&file, "DATA");
    Put32(&file, static_cast<uint32_t>(data.size()));
    Append(&file, data);
    const uint32_t riffSize = static_cast<uint32_t>(file.size() - 8);
    for (int k = 0; k < 4; ++k) file[4 + k] = static_cast<uint8_t>(riffSize >> (8 * k));
    samples->push_back(Sample(31, "cgfx.cgx", file, picture, 6));
}

}  // namespace

std::vector<FormatSample> MakeFormatSamples() {
    std::vector<FormatSample> samples;
    AddCharsets(&samples);
    AddCharPad(&samples);
    AddSprites(&samples);
    AddLogoPainter(&samples);
    AddFluff64(&samples);
    AddCgfx(&samples);
    AddBitmaps(&samples);
    AddPacked(&samples);
    AddOther(&samples);
    AddFli(&samples);
    AddInterlace(&samples);
    return samples;
}

}  // namespace tarnel_tools
