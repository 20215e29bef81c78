#include "testing/hostile_formats.h"

#include <cstring>
#include <initializer_list>

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

Bytes PetsciiBytes(const char* fileName) {
    for (const tarnel_tools::FormatSample& sample : tarnel_tools::MakePetsciiSamples()) {
        if (sample.fileName == fileName) return sample.bytes;
    }
    return {};
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A Petmate project of one frame buffer whose fields are `fields`, with one
// row of `cells`, and a font of its own "f" (so that it needs no character
// ROM to open).
Bytes Petmate(const std::string& fields, const std::string& cells = "{\"code\":1,\"color\":2}") {
    std::string bits;
    for (int n = 0; n < 2048; ++n) bits += n == 0 ? "85" : ",85";
    return Text("{\"version\":2,\"framebufs\":[{" + fields + ",\"framebuf\":[[" + cells +
                "]]}],\"customFonts\":{\"f\":{\"font\":{\"bits\":[" + bits + "]}}}}");
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

    // Printfox / Pagefox: a type letter of one byte, so the page must fill.
    {
        const Bytes page = SampleBytes("60-printfox.bs");
        Bytes b = page;
        b[0] = 'X';
        add("printfox-type-x.bs", b, REFUSED, 0);
        add("printfox-page-cut.bs", Bytes(page.begin(), page.begin() + page.size() / 2), REFUSED,
            0);
        add("printfox-3-bytes.bs", {'B', 0x9B, 0x40}, REFUSED, 0);
        // One run of 65,535 bytes for a page of 8,000: cut at the page's end.
        add("printfox-run-beyond-the-page.bs", {'B', 0x9B, 0xFF, 0xFF, 0x55}, OK, 60);
        // A run that ends before its value.
        add("printfox-run-cut.gb", {'G', 0x12, 0x9B, 0x00, 0x7D}, REFUSED, 0);
        add("printfox-without-its-name.bin", page, REFUSED, 0);
        b = SampleBytes("60-pagefox.pg");
        b[1] = 0;
        add("pagefox-rows-0.pg", b, REFUSED, 0);
        add("pagefox-no-zero-byte.pg", {'P', 3, 4, 0x11, 0x22, 0x9B, 0x60, 0xFF}, REFUSED, 0);
        // The largest page, 2,040 x 2,040, of runs of 256.
        Bytes largest = {'P', 255, 255, 0x00};
        for (int n = 0; n < 2033; ++n) largest.insert(largest.end(), {0x9B, 0x00, 0x3C});
        add("pagefox-largest.pg", largest, OK, 60);
    }

    // GoDot: a mark and a last $AD open a picture, drawn as far as its
    // stream goes.
    {
        const Bytes packed = SampleBytes("61-godot-packed.4bt");
        Bytes b(packed.begin(), packed.end() - 1);
        b.push_back(0x00);
        add("godot-no-end-mark.4bt", b, REFUSED, 0);
        add("godot-stream-short.4bt", {'G', 'O', 'D', '0', 0x12, 0x34, 0xAD, 0x00, 0x56, 0xAD}, OK,
            61);
        add("godot-run-cut.4bt", {'G', 'O', 'D', '0', 0x11, 0xAD, 0x05, 0xAD}, OK, 61);
        add("godot-packed-without-its-name.bin", packed, OK, 61);
        const Bytes raw = SampleBytes("61-godot.4bt");
        b = raw;
        b[0] = 0x01;
        add("godot-raw-not-at-a-page.4bt", b, REFUSED, 0);
        add("godot-raw-short.4bt", Bytes(raw.begin(), raw.end() - 1), REFUSED, 0);
        add("godot-raw-without-its-name.bin", raw, REFUSED, 0);
        b = SampleBytes("62-godot.clp");
        b[6] = 0;
        add("godot-clip-width-0.clp", b, REFUSED, 0);
        add("godot-clip-8-bytes.clp", {'G', 'O', 'D', '1', 0, 0, 1, 0xAD}, REFUSED, 0);
        add("godot-clip-empty.clp", {'G', 'O', 'D', '1', 0, 0, 1, 1, 0xAD}, OK, 62);
        // 255 x 255 cells, 2,040 pixels a side, from a few bytes.
        add("godot-clip-largest.clp", {'G', 'O', 'D', '1', 0, 0, 255, 255, 0xAD, 0x00, 0x77, 0xAD},
            OK, 62);
    }

    // Hires with sprites: by size, or a packed stream that fills the picture.
    {
        Bytes b = SampleBytes("63-shs.shs");
        b.pop_back();
        add("shs-short.shs", b, REFUSED, 0);
        add("shs-without-its-name.bin", SampleBytes("63-shs.shs"), REFUSED, 0);
        const Bytes sh1 = SampleBytes("64-sh1-packed.sh1");
        add("sh1-packed-cut.sh1", Bytes(sh1.begin(), sh1.begin() + sh1.size() / 2), REFUSED, 0);
        b = Bytes(sh1.begin(), sh1.begin() + sh1.size() / 2);
        b.insert(b.end(), {sh1[0], 0xFF});
        add("sh1-packed-run-cut.sh1", b, REFUSED, 0);
        b = {0x01};
        for (int n = 0; n < 3000; ++n) b.insert(b.end(), {0x01, 0x00, 0x44});
        add("sh1-packed-runs-of-nothing.sh1", b, REFUSED, 0);
        add("sh1-2-bytes.sh1", {0x00, 0x00}, REFUSED, 0);
        // The unpacked SH2 file is as long as an unpacked SH1 file: the name
        // decides.
        add("sh2-named-sh1.sh1", SampleBytes("65-sh2.sh2"), OK, 64);
        b = {0xFE};
        for (int n = 0; n < 34; ++n) b.insert(b.end(), {0xFE, 0xFF, static_cast<uint8_t>(n)});
        add("sh2-packed-runs-beyond-the-picture.sh2", b, OK, 65);
        b = SampleBytes("66-she.she");
        b.push_back(0);
        add("she-3251-bytes.she", b, REFUSED, 0);
    }

    // Packed bitmaps: unmarked ones open only when their stream fills the
    // picture; marked ones are drawn as far as their stream goes; streams
    // longer than the picture are cut.
    {
        const std::vector<tarnel_tools::FormatSample> samples = tarnel_tools::MakeFormatSamples();
        auto sample = [&](const char* fileName) {
            for (const tarnel_tools::FormatSample& s : samples) {
                if (s.fileName == fileName) return s.bytes;
            }
            return Bytes{};
        };
        auto cut = [](const Bytes& bytes, size_t size) {
            return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size));
        };
        auto repeat = [](Bytes head, std::initializer_list<uint8_t> token, int times) {
            for (int n = 0; n < times; ++n) head.insert(head.end(), token);
            return head;
        };

        const Bytes gg = sample("48-koala-gg.gg");
        add("gg-cut.gg", cut(gg, gg.size() / 2), REFUSED, 0);
        add("gg-a-byte-short.gg", cut(gg, gg.size() - 1), REFUSED, 0);
        add("gg-load-address-only.gg", {0x00, 0x60}, REFUSED, 0);
        add("gg-runs-of-nothing.gg", repeat({0x00, 0x60}, {0xFE, 0x55, 0x00}, 4000), REFUSED, 0);
        add("gg-runs-past-the-picture.gg", repeat({0x00, 0x60}, {0xFE, 0x55, 0xFF}, 40), OK, 48);
        Bytes b = cut(gg, 4000);
        b.insert(b.end(), {0xFE, 0x55});
        add("gg-run-cut.gg", b, REFUSED, 0);
        add("gg-without-its-name.prg", gg, REFUSED, 0);

        const Bytes bdp = sample("49-bdp.bdp");
        add("bdp-marked-cut.bdp", cut(bdp, 2000), OK, 49);
        add("bdp-marked-stream-of-nothing.bdp", cut(bdp, 13), OK, 49);
        const Bytes bdp5 = sample("49-bdp-5.bdp");
        add("bdp-5-12-bytes.bdp", cut(bdp5, 12), REFUSED, 0);
        b = cut(bdp5, 12);
        b.insert(b.end(), {bdp5[11], 0xFF, 0xFF, 0x07});
        add("bdp-5-longest-run.bdp", b, OK, 49);
        add("bdp-5-without-its-name.prg", bdp5, OK, 49);
        const Bytes bdp4 = sample("49-bdp-4.bdp");
        add("bdp-4-cut.bdp", cut(bdp4, bdp4.size() - 10), REFUSED, 0);
        add("bdp-4-no-such-command.bdp", repeat({0x00, 0x60, 0xFF, 0x00, 0x01, 0x12}, {0x00}, 20),
            REFUSED, 0);
        add("bdp-4-literals-past-the-end.bdp", repeat({0x00, 0x60, 0xFE, 0xFF, 0xFF}, {0x31}, 9000),
            REFUSED, 0);
        add("bdp-4-runs-of-256.bdp", repeat({0x00, 0x60}, {0xFF, 0x00, 0x29}, 40), OK, 49);

        const Bytes zom = sample("50-zoomatic.zom");
        add("zom-5-bytes.zom", cut(zom, 5), REFUSED, 0);
        add("zom-run-below-the-stream.zom", {0x00, 0x60, 0x4F, 0x10, 0x20, 0x4F}, REFUSED, 0);
        b = zom;
        b.erase(b.begin() + 2, b.begin() + 1002);
        add("zom-start-cut.zom", b, REFUSED, 0);
        b = repeat({0x00, 0x60}, {0x29, 0x00, 0x4F}, 40);
        b.push_back(0x4F);
        add("zom-runs-of-256.zom", b, OK, 50);

        const Bytes drz = sample("51-drazpaint.drz");
        add("drazpaint-mark-only.drz", cut(drz, 16), REFUSED, 0);
        add("drazpaint-cut.drz", cut(drz, 3000), OK, 51);
        b = repeat(cut(drz, 16), {drz[15], 0x00, 0x44}, 5000);
        add("drazpaint-runs-of-nothing.drp", b, OK, 51);
        const Bytes drp = sample("51-drazpaint-raw.drp");
        add("drazpaint-raw-short.drp", cut(drp, drp.size() - 1), REFUSED, 0);
        add("drazpaint-raw-without-its-name.bin", drp, REFUSED, 0);

        const Bytes jj = sample("52-doodle-jj.jj");
        add("jj-cut.jj", cut(jj, jj.size() - 100), REFUSED, 0);
        add("jj-runs-past-the-picture.jj", repeat({0x00, 0x5C}, {0xFE, 0x55, 0xFF}, 36), OK, 52);

        const Bytes mil = sample("53-micro-illustrator.mil");
        add("mil-25-bytes.mil", cut(mil, 25), REFUSED, 0);
        b = mil;
        b[7] = 3;
        add("mil-type-3.mil", b, REFUSED, 0);
        add("mil-raw-short.mil", cut(mil, mil.size() - 1), REFUSED, 0);
        const Bytes columns = sample("53-micro-illustrator-columns.mil");
        add("mil-columns-cut.mil", cut(columns, columns.size() - 50), REFUSED, 0);
        b = repeat(cut(mil, 22), {0x00, 0x00, 0x00, 0x55}, 10);
        b[7] = 2;
        b.insert(b.end(), {0x00, 0x27, 0x10, 0x77});
        add("mil-counts-of-0.mil", b, OK, 53);
        b = repeat(cut(mil, 22), {0x31}, 500);
        b[7] = 1;
        b.insert(b.begin() + 22, {0x80, 0xFF, 0xFF});
        add("mil-literals-past-the-end.mil", b, REFUSED, 0);

        const Bytes shp = sample("54-shp-multicolour.shp");
        add("shp-7-bytes.shp", cut(shp, 7), REFUSED, 0);
        b = shp;
        b.push_back(0x00);
        add("shp-multicolour-a-byte-more.shp", b, REFUSED, 0);
        add("shp-multicolour-a-byte-short.shp", cut(shp, shp.size() - 1), REFUSED, 0);
        b = sample("54-shp-hires.shp");
        b[2] = 0x01;
        add("shp-type-01.shp", b, REFUSED, 0);
        b = sample("54-shp-multicolour-e8.shp");
        b[3] = 24;
        add("shp-e8-24-rows.shp", b, REFUSED, 0);
        b = sample("54-shp-hires-39.shp");
        b[3] = 24;
        add("shp-a7-24-rows.shp", b, REFUSED, 0);
        b = sample("54-shp-hires-9-rows.shp");
        b[3] = 0;
        add("shp-a8-0-rows.shp", b, REFUSED, 0);
        b[3] = 26;
        add("shp-a8-26-rows.shp", b, REFUSED, 0);
        // Type $E8 built of runs of 256: the bitmap, the screen, the byte
        // between them and the colour memory.
        b = repeat({0x00, 0x60, 0xE8, 25, 0x06, 0x5A}, {0x5A, 0x00, 0x11}, 31);
        b.insert(b.end(), {0x5A, 64, 0x11});
        b = repeat(b, {0x00, 0x00, 0x16}, 3);
        b.insert(b.end(), {0x00, 232, 0x16, 0xFF});
        b = repeat(b, {0xD8, 0x00, 0x05}, 3);
        b.insert(b.end(), {0xD8, 232, 0x05});
        add("shp-e8-runs.shp", b, OK, 54);
        b[6 + 32 * 3 + 4 * 3] = 0xFE;
        add("shp-e8-separator-fe.shp", b, REFUSED, 0);
        // A hires screen whose last run goes past the picture.
        b = repeat({0x00, 0x60, 0x80, 0xC3}, {0xC3, 0x00, 0x55}, 31);
        b.insert(b.end(), {0xC3, 64, 0x55});
        b = repeat(b, {0x00, 0x00, 0x16}, 4);
        add("shp-hires-run-past-the-picture.shp", b, OK, 54);

        // Where one of the twenty's rules fits, it decides whatever the name.
        b = sample("54-shp-10018.shp");
        b[1] = 0x20;
        add("shp-10018-at-2000-is-advanced-art-studio.shp", b, OK, 5);
    }

    // Interlaced pictures: by size, or a stream that fills the picture.
    {
        auto cut = [](const Bytes& bytes, size_t size) {
            return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size));
        };
        // (A raw SHI file cut short is read as packed: its bytes as
        // commands fill the picture.)
        for (const char* name :
             {"100-true-paint.mci", "101-fp.fp", "102-pixel-perfect.pp", "103-ffli.ffl",
              "104-ihe.ihe", "105-hires-interlace.hlf", "106-hle.hle", "107-vhi.vhi", "108-eci.eci",
              "109-ile.ile", "110-mle.mle", "111-ish-interlace.ish", "112-esh.esh"}) {
            const Bytes b = SampleBytes(name);
            const std::string extension = std::string(name).substr(std::string(name).rfind('.'));
            add(("interlace-short-" + std::string(name)).c_str(), cut(b, b.size() - 1), REFUSED, 0);
            add(("interlace-unnamed-" + std::string(name) + ".bin").c_str(), b, REFUSED, 0);
        }
        Bytes b = SampleBytes("103-ffli.ffl");
        b[2] = 'g';
        add("ffli-without-its-f.ffl", b, REFUSED, 0);
        // Packed streams cut short, or broken, do not fill the picture.
        const Bytes mci = SampleBytes("100-true-paint-packed.mci");
        add("true-paint-packed-cut.mci", cut(mci, mci.size() / 2), REFUSED, 0);
        add("true-paint-141-bytes.mci", cut(mci, 141), REFUSED, 0);
        b = cut(mci, 142);  // only the program's head: its bytes as literals
        add("true-paint-head-only.mci", b, REFUSED, 0);
        // The table's largest runs from a few bytes: keys of action 17 and 7
        // with counts of 255, over and over.
        b = cut(mci, 142);
        for (int n = 0; n < 100; ++n) b.insert(b.end(), {0x33, 0xFF, b[132]});
        add("true-paint-long-runs.mci", b, OK, 100);
        b = cut(mci, 142);
        b.push_back(b[132]);  // a run's key with nothing below it but the head
        add("true-paint-key-last.mci", b, REFUSED, 0);
        const Bytes pp = SampleBytes("102-pixel-perfect-packed.ppp");
        add("pixel-perfect-packed-cut.ppp", cut(pp, pp.size() - 1), REFUSED, 0);
        b = pp;
        b.push_back(0x00);  // a byte after the stream's end
        add("pixel-perfect-packed-trailing.ppp", b, REFUSED, 0);
        b = {0x00, 0x3C, 0x10, 0x10, 0x10, 0x99};
        for (int n = 0; n < 133; ++n) b.insert(b.end(), {0x99, 0xFF, static_cast<uint8_t>(n)});
        add("pixel-perfect-runs-past-the-picture.ppp", b, REFUSED, 0);
        b = {0x00, 0x3C, 0x10, 0x10, 0x10, 0x99};
        for (int n = 0; n < 131; ++n) b.insert(b.end(), {0x99, 0xFF, static_cast<uint8_t>(n)});
        b.insert(b.end(), {0x99, 63, 0x42});  // 33,600 bytes exactly
        add("pixel-perfect-runs.ppp", b, OK, 102);
        const Bytes vhi = SampleBytes("107-vhi-packed.vhi");
        add("vhi-packed-cut.vhi", cut(vhi, vhi.size() - 1), REFUSED, 0);
        b = cut(vhi, 100);
        b.insert(b.end(), {0x02, 0x10});  // no such command
        b.insert(b.end(), vhi.begin() + 100, vhi.end());
        add("vhi-packed-bad-command.vhi", b, REFUSED, 0);
        b = {0x00, 0x40};
        for (int n = 0; n < 68; ++n) b.insert(b.end(), {0x01, 0x00, static_cast<uint8_t>(n)});
        add("vhi-runs-of-256.vhi", b, OK, 107);
        b = {0x00, 0x60, 0x00, 0x00};  // 256 literals, the file ends after 200
        b.insert(b.end(), 200, 0x11);
        add("vhi-literals-cut.vhi", b, REFUSED, 0);
        const Bytes ecp = SampleBytes("108-ecp.ecp");
        add("ecp-cut.ecp", cut(ecp, ecp.size() - 2), REFUSED, 0);
        b = {0x00, 0x40, 0x77};
        for (int n = 0; n < 5000; ++n) b.insert(b.end(), {0x77, 0x00, 0x44});
        add("ecp-runs-of-nothing.ecp", b, REFUSED, 0);
        b = {0x00, 0x40, 0x77};
        for (int n = 0; n < 129; ++n) b.insert(b.end(), {0x77, 0xFF, static_cast<uint8_t>(n)});
        add("ecp-runs-past-the-picture.eci", b, OK, 108);
        const Bytes esh = SampleBytes("112-esh-packed.esh");
        add("esh-packed-cut.esh", cut(esh, esh.size() - 1), REFUSED, 0);
        b = {0x00, 0x40, 0x01};
        for (int n = 0; n < 100; ++n) b.insert(b.end(), {0xFF, static_cast<uint8_t>(n)});
        b.push_back(0x7F);  // literals cut by the file's end
        add("esh-literals-cut.esh", b, REFUSED, 0);
        b = {0x00, 0x40, 0x01};
        for (int n = 0; n < 200; ++n) b.insert(b.end(), {0xFF, static_cast<uint8_t>(n)});
        add("shi-runs.shi", b, OK, 113);
        b = SampleBytes("113-shi.shi");
        add("shi-raw-cut-read-as-packed.shi", cut(b, b.size() - 1), OK, 113);
        b[2] = 1;  // marked packed: its raw bytes are no stream that fits
        add("shi-raw-marked-packed.shi", b, OK, 113);
        // An ISH file's size taken by name as Image System's hires
        // pictures are: only 30,738 bytes is the interlaced one.
        b = SampleBytes("111-ish-interlace.ish");
        b.resize(9194);
        add("ish-9194-not-interlaced.ish", b, OK, 35);
        // UIF: a stream read from the end that fills 32,576 bytes.
        const Bytes uif = SampleBytes("114-uif.uif");
        add("uif-unnamed.bin", uif, REFUSED, 0);
        b = uif;  // without the run read last: the picture's first bytes missing
        b.erase(b.begin() + 3, b.begin() + 6);
        add("uif-first-run-missing.uif", b, REFUSED, 0);
        add("uif-escape-only.uif", {0x00, 0x40, 0x5A}, REFUSED, 0);
        b = {0x00, 0x40, 0x5A};
        for (int n = 0; n < 127; ++n) b.insert(b.end(), {static_cast<uint8_t>(n), 0x00, 0x5A});
        add("uif-127-runs-of-256.uif", b, REFUSED, 0);
        b.insert(b.end(), {0x11, 0x00, 0x5A});  // one more: past the picture's start
        add("uif-128-runs-of-256.uif", b, OK, 114);
        // MUI: 44,034 bytes, every sprite pointer of both frames in range.
        const Bytes mui = SampleBytes("115-mui.mui");
        add("mui-short.mui", cut(mui, mui.size() - 1), REFUSED, 0);
        add("mui-unnamed.bin", mui, REFUSED, 0);
        b = mui;
        b[7938 + 1017] = 0xFF;  // frame 1, line 14: sprite 379
        add("mui-frame1-pointer-out-of-range.mui", b, REFUSED, 0);
        b = mui;
        b[32770 + 7938 + 1017 - 2] = 0xFF;  // the same in frame 2
        add("mui-frame2-pointer-out-of-range.mui", b, REFUSED, 0);
        add("mufflon-named-mui.mui", SampleBytes("81-mufflon.muf"), REFUSED, 0);
        // SIF: two blocks of a length, an escape byte and a stream, then
        // four colours, and nothing more.
        const Bytes sif = SampleBytes("116-sif.sif");
        add("sif-unnamed.bin", sif, REFUSED, 0);
        add("sif-short.sif", cut(sif, sif.size() - 1), REFUSED, 0);
        b = sif;
        b.push_back(0);
        add("sif-trailing.sif", b, REFUSED, 0);
        b = sif;
        Put16(&b, 0, 0xFFFF);  // a block past the file's end
        add("sif-length-absurd.sif", b, REFUSED, 0);
        b = sif;
        Put16(&b, 0, 37890);  // a block of nothing
        add("sif-length-zero.sif", b, REFUSED, 0);
        add("sif-colours-only.sif", {1, 2, 3, 4}, REFUSED, 0);
        // Runs of 256 only: frame 1's 32 runs reach 16 bytes into frame 2,
        // whose own 8,160 then fill it; 8,159 leave it a byte short.
        auto sifRuns = [](uint8_t lastRun) {
            Bytes s;
            for (uint32_t n = 0; n < 2; ++n) {
                const uint32_t runs = n == 0 ? 32 : 31;
                const size_t start = s.size();
                s.resize(start + 2);  // the length, written below
                s.push_back(0x5A);
                for (uint32_t r = 0; r < runs; ++r) {
                    s.insert(s.end(), {static_cast<uint8_t>(r * 7), 0x00, 0x5A});
                }
                if (n == 1) s.insert(s.end(), {0x42, lastRun, 0x5A});
                Put16(&s, start, static_cast<uint32_t>(37890 + s.size() - start - 2));
            }
            s.insert(s.end(), {0x01, 0x02, 0x03, 0x04});
            return s;
        };
        add("sif-run-carried-into-frame-2.sif", sifRuns(224), OK, 116);
        add("sif-frame-2-a-byte-short.sif", sifRuns(223), REFUSED, 0);
    }
    // FLI pictures: by size, or a stream that fills the picture; Big FLI by
    // its size and mark; NUFLI and Mufflon only with every sprite pointer in
    // range.
    {
        const auto cut = [](const Bytes& bytes, size_t size) {
            return Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
        };
        Bytes b = SampleBytes("70-fli-designer-packed.fbi");
        add("fbi-stream-cut.fbi", cut(b, b.size() / 2), REFUSED, 0);
        add("fbi-two-bytes.fbi", {0x00, 0x3C}, REFUSED, 0);
        add("fbi-nineteen-bytes.fbi", Bytes(19, 0x00), REFUSED, 0);
        b = SampleBytes("71-fed.fed");
        add("fed-one-byte-short.fed", cut(b, b.size() - 1), REFUSED, 0);
        b[1] = 0x3B;  // the 17,665-byte FLI layout's address: the name decides
        add("fed-at-3b00.fed", b, OK, 71);
        add("fed-at-3b00-named-fli.fli", b, OK, 8);
        b = SampleBytes("72-flm.flm");
        b[1] = 0x3C;  // FLI Designer's size and address: the name decides
        add("flm-at-3c00.flm", b, OK, 72);
        add("flm-at-3c00-named-fd2.fd2", b, OK, 4);
        b = SampleBytes("72-flm-packed.flm");
        add("flm-stream-cut.flm", cut(b, b.size() - 200), REFUSED, 0);
        add("flm-five-bytes.flm", Bytes(5, 0xFF), REFUSED, 0);
        add("emc-one-byte-short.emc", cut(SampleBytes("73-emc.emc"), 17411), REFUSED, 0);
        add("hcb-one-byte-long.hcb", Bytes(12149, 0x11), REFUSED, 0);
        b = SampleBytes("75-big-fli.bfli");
        add("big-fli-unnamed.bin", b, REFUSED, 0);  // one byte is no mark
        add("big-fli-cut.bfl", cut(b, b.size() - 1), REFUSED, 0);
        b[2] = 'f';
        add("big-fli-no-mark.bfl", b, REFUSED, 0);
        add("fli-profi-cut.fpr", cut(SampleBytes("76-fli-profi.fpr"), 18000), REFUSED, 0);
        // AFLI's size and address: named HFC, still AFLI (HFC is a byte longer).
        b = cut(SampleBytes("77-hfc.hfc"), 16385);
        add("hfc-afli-size.hfc", b, OK, 17);
        add("cfli-cut.cfli", cut(SampleBytes("78-cfli.cfli"), 8000), REFUSED, 0);
        b = SampleBytes("79-ufli-packed.ufl");
        add("ufli-stream-cut.ufl", cut(b, b.size() - 100), REFUSED, 0);
        b.insert(b.end(), 300, 0x9E);  // runs past the picture, cut
        add("ufli-stream-runs-on.ufl", b, OK, 79);
        b = SampleBytes("80-nufli.nuf");
        b[8194 + 7 * 1024 + 1016] = 250;  // line 0's first sprite past block 359
        add("nufli-pointer-out-of-range.nuf", b, REFUSED, 0);
        b = SampleBytes("80-nufli-packed.nup");
        b[2] = 0xFE;
        add("nufli-packed-unmarked.nup", b, REFUSED, 0);
        add("nufli-packed-cut.nup", cut(SampleBytes("80-nufli-packed.nup"), 4000), REFUSED, 0);
        b = SampleBytes("81-mufflon.muf");
        b[8194 + 7 * 1024 - 256 + 1017] = 255;  // line 0's first sprite past block 339
        add("mufflon-pointer-out-of-range.muf", b, REFUSED, 0);
        add("mufflon-packed-cut.mup", cut(SampleBytes("81-mufflon-packed.mup"), 900), REFUSED, 0);
        add("xfl-cut.xfl", cut(SampleBytes("82-xfl.xfl"), 5000), REFUSED, 0);
        add("xfl-three-bytes.xfl", {0x00, 0x40, 0x5A}, REFUSED, 0);
        b = {0x00, 0x40, 0x5A};
        for (int n = 0; n < 64; ++n) b.insert(b.end(), {0x11, 0x00, 0x5A});  // runs of 256
        add("xfl-runs-of-256.xfl", b, OK, 82);
        add("shf-packed-cut.shf", cut(SampleBytes("83-shf-packed.shf"), 3000), REFUSED, 0);
        add("shx-packed-cut.shx", cut(SampleBytes("84-shx-packed.shx"), 3000), REFUSED, 0);
        // Any size but the raw one is a packed stream: a raw file a byte
        // short reads as one, literals all, that fills the picture.
        add("shx-raw-short-read-packed.shx", cut(SampleBytes("84-shx.shx"), 15361), OK, 84);
    }
    {
        // Character screens. A Petmate project: JSON, with every field checked.
        constexpr Outcome NO_CHARSET = Outcome::NoCharset;
        Bytes b;
        const auto cut = [](const Bytes& bytes, size_t size) {
            return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        };
        const std::string one = "\"width\":1,\"height\":1,\"charset\":\"f\"";
        add("petmate-one-cell.petmate", Petmate(one), OK, 120);
        b = Petmate(one);
        b.insert(b.begin(), {0xEF, 0xBB, 0xBF});  // a UTF-8 byte order mark
        add("petmate-byte-order-mark.petmate", b, OK, 120);
        add("petmate-huge.petmate", Petmate("\"width\":100000,\"height\":100000"), REFUSED, 0);
        add("petmate-too-many-cells.petmate", Petmate("\"width\":2048,\"height\":2048"), REFUSED,
            0);
        add("petmate-negative.petmate", Petmate("\"width\":-1,\"height\":1"), REFUSED, 0);
        add("petmate-no-width.petmate", Petmate("\"height\":1"), REFUSED, 0);
        add("petmate-width-text.petmate", Petmate("\"width\":\"1\",\"height\":1"), REFUSED, 0);
        add("petmate-width-fraction.petmate", Petmate("\"width\":1.5,\"height\":1"), REFUSED, 0);
        add("petmate-rows-short.petmate", Petmate("\"width\":2,\"height\":1"), REFUSED, 0);
        add("petmate-code-too-big.petmate", Petmate(one, "{\"code\":256,\"color\":2}"), REFUSED, 0);
        add("petmate-cell-not-object.petmate", Petmate(one, "7"), REFUSED, 0);
        add("petmate-cell-an-array.petmate", Petmate(one, "[{\"code\":1,\"color\":2}]"), REFUSED,
            0);
        add("petmate-no-colour.petmate", Petmate(one, "{\"code\":1}"), REFUSED, 0);
        add("petmate-charset-number.petmate", Petmate("\"width\":1,\"height\":1,\"charset\":4"),
            REFUSED, 0);
        add("petmate-no-framebufs.petmate", Text("{\"framebufs\":[]}"), REFUSED, 0);
        b = Petmate(one);
        b.insert(b.begin() + 1,
                 {'"', 's', 'c', 'r', 'e', 'e', 'n', 's', '"', ':', '[', '5', ']', ','});
        add("petmate-screens-out-of-range.petmate", b, OK, 120);
        b = PetsciiBytes("120-petmate-v1.petmate");
        add("petmate-cut.petmate", Bytes(b.begin(), b.begin() + b.size() / 2), REFUSED, 0);
        add("petmate-deep.petmate",
            Text("{\"framebufs\":" + std::string(5000, '[') + std::string(5000, ']') + "}"),
            REFUSED, 0);
        add("petmate-pet-charset.petmate",
            Petmate("\"width\":1,\"height\":1,\"charset\":\"petGfx\""), NO_CHARSET, 0);
        add("petmate-font-short.petmate",
            Text("{\"framebufs\":[{" + one +
                 ",\"charset\":\"f\",\"framebuf\":[[{\"code\":1,\"color\":2}]]}],"
                 "\"customFonts\":{\"f\":{\"font\":{\"bits\":[1,2,3]}}}}"),
            NO_CHARSET, 0);
        // Petmate's export: its size must be the header's.
        b = PetsciiBytes("121-petmate-export.pet");
        add("petmate-export-cut.pet", Bytes(b.begin(), b.end() - 1), REFUSED, 0);
        b[0] = 255;
        add("petmate-export-wider-than-held.pet", b, REFUSED, 0);
        add("fluff64-petscii-cut.flf", cut(PetsciiBytes("127-petscii.flf"), 100), REFUSED, 0);
        b = PetsciiBytes("127-petscii.flf");
        b[15] = 0;  // no columns
        add("fluff64-petscii-empty.flf", b, REFUSED, 0);
        add("scr-without-col.scr", PetsciiBytes("126-screen.scr"), REFUSED, 0);
    }
    return files;
}

}  // namespace tarnel_hostile
