#include "testing/hostile_formats.h"

#include <cstring>

#include "authoring/format_samples.h"

namespace tarnel_hostile {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes SampleBytes(const char* fileName) {
    for (const tarnel_tools::FormatSample& sample : tarnel_tools::MakeFormatSamples()) {
        if (sample.fileName == fileName) return sample.bytes;
    }
    return {};
}

void Put16(Bytes* bytes, size_t at, uint32_t value) {
    (*bytes)[at] = static_cast<uint8_t>(value & 0xFF);
    (*bytes)[at + 1] = static_cast<uint8_t>(value >> 8);
}

// The offset of the n-th $DA $Bx block mark (0 for the first).
size_t MarkAt(const Bytes& bytes, int n) {
    for (size_t at = 4; at + 1 < bytes.size(); ++at) {
        if (bytes[at] == 0xDA && (bytes[at + 1] & 0xF0) == 0xB0 && n-- == 0) return at;
    }
    return 0;
}

}  // namespace

std::vector<HostileFormatFile> HostileFormatFiles() {
    constexpr Outcome OK = Outcome::Opens;
    constexpr Outcome REFUSED = Outcome::Refused;
    constexpr Outcome TOO_LARGE = Outcome::TooLarge;
    std::vector<HostileFormatFile> files;
    auto add = [&](const char* name, Bytes bytes, Outcome outcome, uint8_t code) {
        files.push_back({name, std::move(bytes), outcome, outcome == OK ? code : uint8_t{0}});
    };

    // CharPad, version 5 (fixed blocks).
    const Bytes v5 = SampleBytes("26-charpad-v5.ctm");
    {
        Bytes b = v5;  // every count at its largest, the file far too short
        Put16(&b, 10, 0xFFFF);
        Put16(&b, 12, 0xFFFF);
        b[14] = b[15] = 0xFF;
        Put16(&b, 16, 0xFFFF);
        Put16(&b, 18, 0xFFFF);
        add("ctm-v5-counts-absurd.ctm", b, REFUSED, 0);
    }
    add("ctm-v5-map-cut.ctm", Bytes(v5.begin(), v5.end() - 1), REFUSED, 0);
    add("ctm-v5-header-only.ctm", Bytes(v5.begin(), v5.begin() + 20), REFUSED, 0);
    {
        Bytes b = v5;  // map entries past the last tile: partly drawn
        for (size_t at = b.size() - 16; at < b.size(); at += 2) Put16(&b, at, 0xFFFE);
        add("ctm-v5-tile-index-out-of-range.ctm", b, OK, 26);
    }
    {
        Bytes b = v5;  // a tile's characters past the last character
        const size_t chars = (b[10] | b[11] << 8) + 1u;
        const size_t tiles = 20 + chars * 9;
        for (size_t at = tiles; at < tiles + 8; at += 2) Put16(&b, at, 0xFFFF);
        add("ctm-v5-char-index-out-of-range.ctm", b, OK, 26);
    }
    {
        Bytes b = v5;
        b[8] = 3;  // no colouring method 3
        add("ctm-v5-method-3.ctm", b, REFUSED, 0);
        b = v5;
        b[14] = 0;  // tiles 0 characters wide
        add("ctm-v5-tile-width-0.ctm", b, REFUSED, 0);
    }
    {
        // A map of characters 2,100 wide: 16,800 pixels, above the widest
        // picture drawn.
        Bytes b = SampleBytes("26-charpad-v5-chars.ctm");
        const size_t map = b.size() - 2u * (b[16] | b[17] << 8) * (b[18] | b[19] << 8);
        b.resize(map);
        Put16(&b, 16, 2100);
        Put16(&b, 18, 1);
        b.resize(map + 2 * 2100, 0);
        add("ctm-v5-map-too-wide.ctm", b, TOO_LARGE, 0);
    }
    {
        Bytes b = v5;
        b[3] = 10;
        add("ctm-version-10.ctm", b, REFUSED, 0);
        b[3] = 0;
        add("ctm-version-0.ctm", b, REFUSED, 0);
    }
    {
        // Version 3, expanded, with fewer characters than its tiles need.
        Bytes b = SampleBytes("26-charpad-v3.ctm");
        b[14] = 5;  // 6 characters instead of 20: the blocks after move up
        add("ctm-v3-expanded-short-of-chars.ctm", b, OK, 26);
        b = SampleBytes("26-charpad-v2.ctm");
        b[17] = 0;
        add("ctm-v2-tile-size-0.ctm", b, REFUSED, 0);
    }
    {
        // Version 6 with a block mark spoilt, and with tile names that never end.
        const Bytes v6 = SampleBytes("26-charpad-v6.ctm");
        Bytes b = v6;
        b[MarkAt(b, 2)] = 0xDB;
        add("ctm-v6-mark-spoilt.ctm", b, REFUSED, 0);
        b = v6;
        const size_t names = MarkAt(b, 5) + 2;
        const size_t map = MarkAt(b, 6);
        for (size_t at = names; at < map; ++at) b[at] = 'x';
        b.resize(map);
        add("ctm-v6-names-never-end.ctm", b, REFUSED, 0);
        b = v6;
        b.resize(MarkAt(b, 3) + 1);
        add("ctm-v6-cut-in-a-mark.ctm", b, REFUSED, 0);
    }
    {
        // Version 8 with a display mode it does not have, and a map that
        // claims more than the file holds.
        const Bytes v8 = SampleBytes("26-charpad-v8.ctm");
        Bytes b = v8;
        b[4] = 7;
        add("ctm-v8-display-mode-7.ctm", b, REFUSED, 0);
        b = v8;
        const size_t map = MarkAt(b, 6) + 2;
        Put16(&b, map, 0xFFFF);
        Put16(&b, map + 2, 0xFFFF);
        add("ctm-v8-map-beyond-the-file.ctm", b, REFUSED, 0);
    }
    {
        // Extended background colour codes of 16 bits.
        Bytes b = SampleBytes("26-charpad-v7.ctm");
        for (size_t at = b.size() - 40; at < b.size(); at += 2) Put16(&b, at, 0xFFC0 + at % 64);
        add("ctm-v7-codes-of-16-bits.ctm", b, OK, 26);
    }

    // SpritePad.
    {
        Bytes b = SampleBytes("27-spritepad-v1.spd");
        b[4] = 0xFF;  // 256 sprites promised, 21 held: the 21 are drawn
        add("spd-v1-count-beyond-the-file.spd", b, OK, 27);
        b = SampleBytes("27-spritepad-v5.spd");
        Put16(&b, 5, 0);
        add("spd-v5-no-sprites.spd", b, REFUSED, 0);
        b = SampleBytes("27-spritepad-v3.spd");
        b[3] = 9;
        add("spd-version-9.spd", b, REFUSED, 0);
        const Bytes v1 = SampleBytes("27-spritepad-v1.spd");
        add("spd-header-only.spd", Bytes(v1.begin(), v1.begin() + 9), REFUSED, 0);
        b = SampleBytes("27-spritepad-headerless.spd");
        b[0] = 16;
        add("spd-headerless-colour-16.spd", b, REFUSED, 0);
        b = SampleBytes("27-spritepad-headerless.spd");
        add("spd-headerless-without-its-name.bin", b, REFUSED, 0);
    }

    // RIFF CGFX.
    const Bytes cgx = SampleBytes("31-cgfx.cgx");
    {
        Bytes b = cgx;
        b[4] ^= 1;
        add("cgx-riff-size-wrong.cgx", b, REFUSED, 0);
        b = cgx;
        std::memcpy(&b[12], "JUNK", 4);
        add("cgx-unknown-chunk.cgx", b, REFUSED, 0);
        b = cgx;
        b[16] = 0xFF;  // the META chunk runs past the end
        b[17] = 0xFF;
        add("cgx-chunk-beyond-the-end.cgx", b, REFUSED, 0);
        b = cgx;
        const size_t frmt = 12 + 8 + 5 + 8;
        b[frmt] = 0;  // no matrix rows
        b[frmt + 4] = 0;
        add("cgx-no-frames.cgx", b, REFUSED, 0);
        b = cgx;
        b.pop_back();
        add("cgx-data-cut.cgx", b, REFUSED, 0);
    }

    // Fluff64.
    {
        Bytes b = SampleBytes("30-fluff64-1.flf");
        b[15 + 9] = 16;
        add("flf-colour-16.flf", b, REFUSED, 0);
        b = SampleBytes("30-fluff64-6.flf");
        b[11] = 7;
        add("flf-type-7.flf", b, REFUSED, 0);
        b.resize(100);
        add("flf-cut.flf", b, REFUSED, 0);
    }

    // Formats known by their names: the name is no licence for any bytes.
    {
        Bytes b = SampleBytes("23-charset.64c");
        add("charset-9-bytes.64c", Bytes(b.begin(), b.begin() + 9), REFUSED, 0);
        Bytes longer = b;
        longer.push_back(0);
        add("charset-2051-bytes.64c", longer, REFUSED, 0);
        add("charset-without-its-name.prg", b, REFUSED, 0);
        Bytes logo = SampleBytes("29-logo-painter.lp3");
        logo[1] = 0x20;
        add("logo-painter-at-2000.lp3", logo, REFUSED, 0);
        Bytes bank = SampleBytes("28-sprite-bank.a");
        bank.pop_back();
        add("sprite-bank-short.a", bank, REFUSED, 0);
    }
    return files;
}

}  // namespace tarnel_hostile
