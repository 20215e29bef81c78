#include "testing/hostile_corpus.h"

#include <cstdio>
#include <cstring>
#include <random>

#include "authoring/layout_files.h"
#include "core/identify.h"
#include "core/layouts.h"
#include "plugin/tarnel_api.h"
#include "testing/reference.h"

namespace tarnel_hostile {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t UNPACKED_FUNPAINT_BYTES = 33594;  // ends with the frame-1 bitmap
constexpr uint32_t UNPACKED_GUNPAINT_BYTES = 33602;
constexpr uint8_t GROWN_BYTE = 0xA5;

tarnel::ByteView View(const Bytes& bytes) {
    return tarnel::ByteView{bytes.data(), static_cast<uint32_t>(bytes.size())};
}

// mt19937's output is fixed by the C++ standard, so these bytes are the same
// with every compiler and library (distributions are not, hence none here).
Bytes RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator() & 0xFF);
    return bytes;
}

// Random bytes none of which is `avoid`.
Bytes RandomBytesWithout(size_t count, uint32_t seed, uint8_t avoid) {
    Bytes bytes = RandomBytes(count, seed);
    for (uint8_t& b : bytes) {
        if (b == avoid) b = static_cast<uint8_t>(avoid ^ 0x5A);
    }
    return bytes;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Prefix(const Bytes& bytes, size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(count));
}

Bytes Padded(Bytes bytes, size_t size) {
    if (bytes.size() < size) bytes.resize(size, 0);
    return bytes;
}

const Bytes FUNPAINT(tarnel::FUNPAINT_SIGNATURE, tarnel::FUNPAINT_SIGNATURE + 16);
const Bytes DRAZLACE(tarnel::DRAZLACE_SIGNATURE, tarnel::DRAZLACE_SIGNATURE + 15);

// Whole packed files around a stream.
Bytes PackedFunpaint(uint8_t escape, const Bytes& stream) {
    Bytes file = FUNPAINT;
    file.push_back(1);  // packing flag
    file.push_back(escape);
    return Concat(file, stream);
}
Bytes PackedDrazlace(uint8_t escape, const Bytes& stream) {
    Bytes file = DRAZLACE;
    file.push_back(escape);
    return Concat(file, stream);
}
// Load 00 40 and a stream that begins with its escape byte and ends with
// the end marker.
Bytes EscapeBitmap(uint8_t escape, const Bytes& runsAndLiterals) {
    Bytes file = {0x00, 0x40, escape};
    file = Concat(file, runsAndLiterals);
    file.push_back(escape);
    file.push_back(0);
    return file;
}
Bytes FliGraph(uint8_t escape, const Bytes& stream) {
    Bytes file = {0xF0, 0x38, escape, 0x00, 0x00, 0x3F, 0x7F, 0x00};
    return Concat(file, stream);
}

// `count` forward runs E, length, value.
Bytes ForwardRuns(uint8_t escape, size_t count, uint8_t length, uint32_t seed) {
    const Bytes values = RandomBytes(count, seed);
    Bytes stream;
    for (uint8_t v : values) stream.insert(stream.end(), {escape, length, v});
    return stream;
}

// The file of the unpacked layout holding what the stream of `bytes`
// unpacks to, read step by step into a zeroed buffer.
Bytes UnpackedEquivalent(uint8_t code, const Bytes& bytes) {
    Bytes image(tarnel_reference::BUFFER_BYTES, 0);
    tarnel_reference::Unpack(code, bytes, image.data());
    return tarnel::BuildLayoutFile(tarnel::FindLayout(code)->unpackedAs, View(image));
}

class Builder {
public:
    void Refused(const std::string& name, Bytes bytes, int32_t result = RESULT_BAD_FORMAT) {
        files.push_back(HostileFile{name, std::move(bytes), result, 0, {}, 0});
    }
    // Opens; only determinism and the picture's invariants are checked.
    void Opens(const std::string& name, Bytes bytes, uint8_t code) {
        files.push_back(HostileFile{name, std::move(bytes), RESULT_OK, code, {}, 0});
    }
    // Opens and shows the same picture as `same`, a file of `sameCode`.
    void OpensLike(const std::string& name, Bytes bytes, uint8_t code, Bytes same,
                   uint8_t sameCode) {
        files.push_back(
            HostileFile{name, std::move(bytes), RESULT_OK, code, std::move(same), sameCode});
    }
    // A packed file: shows its stream unpacked step by step.
    void OpensPacked(const std::string& name, Bytes bytes, uint8_t code) {
        Bytes same = UnpackedEquivalent(code, bytes);
        OpensLike(name, std::move(bytes), code, std::move(same),
                  tarnel::FindLayout(code)->unpackedAs);
    }
    // A file too short for its frames: shows itself padded with zero bytes.
    void OpensPadded(const std::string& name, Bytes bytes, uint8_t code, size_t size) {
        Bytes same = Padded(bytes, size);
        OpensLike(name, std::move(bytes), code, std::move(same), code);
    }

    std::vector<HostileFile> files;
};

std::string Name(const char* format, unsigned value) {
    char name[64];
    std::snprintf(name, sizeof name, format, value);
    return name;
}

// What one byte more or less does to each layout's file. Size-tested
// layouts are refused, except where the new size is another layout's
// (9,217 and 9,218 bytes at 00 5C are codes 16 and 21, drawn alike; 17,409
// and 17,410 at 00 3C are both code 4). Signature layouts still open: a
// byte cut from an unpacked frame reads as 0, a byte grown lies past every
// frame. Forward streams lose the end marker's length byte (the lone escape
// byte then ends the stream) or gain a byte after it that is never read;
// a backward stream read from the file's end sees its bytes shifted. Code
// 11 needs its end marker as the last two bytes and code 19 needs its
// escape byte last, so both are refused. A code-20 file grown by a byte
// value that occurs nowhere else in it turns into code 19: read backwards
// with that byte as escape byte, its other 10,003 bytes are literals.
enum class After { Refused, Padded, Packed, Original };
struct EdgeCase {
    uint8_t code;
    After cut;
    uint8_t cutCode;
    After grown;
    uint8_t grownCode;
};
// clang-format off
constexpr EdgeCase EDGE_CASES[] = {
    { 1, After::Packed,  1,  After::Packed,   1},
    { 2, After::Padded,  2,  After::Original, 2},
    { 3, After::Padded,  3,  After::Original, 3},
    { 4, After::Refused, 0,  After::Original, 4},
    { 5, After::Refused, 0,  After::Refused,  0},
    { 6, After::Refused, 0,  After::Refused,  0},
    { 7, After::Packed,  7,  After::Packed,   7},
    { 8, After::Refused, 0,  After::Refused,  0},
    { 9, After::Refused, 0,  After::Refused,  0},
    {11, After::Refused, 0,  After::Refused,  0},
    {12, After::Refused, 0,  After::Refused,  0},
    {13, After::Refused, 0,  After::Refused,  0},
    {14, After::Packed,  14, After::Packed,   14},
    {15, After::Refused, 0,  After::Refused,  0},
    {16, After::Refused, 0,  After::Original, 21},
    {17, After::Refused, 0,  After::Refused,  0},
    {18, After::Refused, 0,  After::Refused,  0},
    {19, After::Refused, 0,  After::Refused,  0},
    {20, After::Refused, 0,  After::Packed,   19},
    {21, After::Original, 16, After::Refused, 0},
};
// clang-format on

void AddEdge(Builder& b, const std::string& name, const Bytes& original, uint8_t originalCode,
             Bytes changed, After after, uint8_t code) {
    switch (after) {
        case After::Refused:
            b.Refused(name, std::move(changed));
            break;
        case After::Padded:
            b.OpensPadded(name, std::move(changed), code, original.size());
            break;
        case After::Packed:
            b.OpensPacked(name, std::move(changed), code);
            break;
        case After::Original:
            b.OpensLike(name, std::move(changed), code, original, originalCode);
            break;
    }
}

void CutAndGrown(Builder& b) {
    for (const EdgeCase& edge : EDGE_CASES) {
        const Bytes original = LayoutFile(edge.code, 1000u + edge.code);
        AddEdge(b, Name("cut-code%02u", edge.code), original, edge.code,
                Prefix(original, original.size() - 1), edge.cut, edge.cutCode);
        Bytes grown = original;
        grown.push_back(GROWN_BYTE);
        AddEdge(b, Name("grown-code%02u", edge.code), original, edge.code, std::move(grown),
                edge.grown, edge.grownCode);
    }
}

// Fewer than 4 bytes are never recognised, whatever they hold.
void TinyFiles(Builder& b) {
    const Bytes tiny[] = {
        {},
        {0x00},
        {0xF0},
        {0x00, 0x60},
        {0x00, 0x40},
        {0xF0, 0x3F},
        {0xF0, 0x38},
        {0x00, 0x58},
        {0x00, 0x40, 0x00},
        {0x00, 0x40, 0xFF},
        {0xFF, 0x00, 0xFF},
        {0x00, 0x00, 0x00},
        {0xF0, 0x3F, 'F'},
        {0x00, 0x58, 'D'},
    };
    unsigned n = 0;
    for (const Bytes& bytes : tiny) {
        b.Refused(Name("tiny-%02u-", n++) + std::to_string(bytes.size()) + "-bytes", bytes);
    }
}

// 36,864 bytes is the largest file read; one byte more is refused before
// anything is read, whatever it holds.
void SizeLimit(Builder& b) {
    const Bytes funpaint = LayoutFile(2, 77);
    Bytes atLimit = Concat(funpaint, RandomBytes(tarnel::MAX_FILE_BYTES - funpaint.size(), 78));
    b.OpensLike("limit-36864-funpaint", atLimit, 2, funpaint, 2);
    atLimit.push_back(0);
    b.Refused("limit-36865-funpaint", atLimit);

    // Random bytes this long count at least 12,287 in the length probe
    // (every three bytes count at least one) and match nothing else.
    Bytes random = RandomBytes(tarnel::MAX_FILE_BYTES, 79);
    random[0] = 0x01;  // no load address of any layout
    b.Refused("limit-36864-random", random);
    random.push_back(0);
    b.Refused("limit-36865-random", random);

    const Bytes stream = RandomBytes(tarnel::MAX_FILE_BYTES - 16, 80);
    b.OpensPacked("limit-36864-drazlace-random-stream", PackedDrazlace(0x37, stream), 7);
    b.Refused("limit-36865-drazlace-random-stream", Concat(PackedDrazlace(0x37, stream), Bytes{0}));
    const Bytes koala = LayoutFile(20, 81);
    Bytes koalaAtLimit = Padded(koala, tarnel::MAX_FILE_BYTES + 1);
    b.Refused("limit-36865-koala-padded", koalaAtLimit);
}

// Signatures the file ends inside of, and headers with nothing after them.
void CutSignatures(Builder& b) {
    for (unsigned k = 1; k <= 16; ++k) {
        b.Refused(Name("funpaint-signature-cut-at-%02u", k), Prefix(FUNPAINT, k));
    }
    Bytes header = FUNPAINT;
    header.push_back(0);
    b.OpensPadded("funpaint-header-only-unpacked", header, 2, UNPACKED_FUNPAINT_BYTES);
    header.back() = 1;
    b.OpensPacked("funpaint-header-only-packed", header, 1);
    header.push_back(0x00);
    b.OpensPacked("funpaint-header-and-escape-only", header, 1);

    for (unsigned k = 1; k <= 14; ++k) {
        b.Refused(Name("drazlace-signature-cut-at-%02u", k), Prefix(DRAZLACE, k));
    }
    b.OpensPacked("drazlace-signature-only", DRAZLACE, 7);
    b.OpensPacked("drazlace-signature-and-escape-only", PackedDrazlace(0x10, {}), 7);

    const Bytes gunpaint = LayoutFile(3, 82);
    for (unsigned k = 0; k < 13; ++k) {
        b.Refused(Name("gunpaint-signature-cut-at-%02u", k),
                  Prefix(gunpaint, tarnel::GUNPAINT_SIGNATURE_OFFSET + k));
    }
    b.OpensPadded("gunpaint-ends-with-signature",
                  Prefix(gunpaint, tarnel::GUNPAINT_SIGNATURE_OFFSET + 13), 3,
                  UNPACKED_GUNPAINT_BYTES);

    const Bytes fli = FliGraph(0x33, {});
    for (unsigned k = 1; k < 8; ++k) {
        b.Refused(Name("fli-graph-header-cut-at-%u", k), Prefix(fli, k));
    }
    b.OpensPacked("fli-graph-header-only", fli, 14);
}

void ForwardStreams(Builder& b) {
    // No end marker: the stream ends with the file, after a literal, after
    // an escape byte alone, or after an escape byte and a length.
    const Bytes literals = RandomBytesWithout(5000, 90, 0xE5);
    b.OpensPacked("drazlace-no-end-marker", PackedDrazlace(0xE5, literals), 7);
    b.OpensPacked("drazlace-ends-with-escape", PackedDrazlace(0xE5, Concat(literals, {0xE5})), 7);
    b.OpensPacked("drazlace-ends-with-escape-and-length",
                  PackedDrazlace(0xE5, Concat(literals, {0xE5, 0x20})), 7);
    b.OpensPacked("funpaint-no-end-marker", PackedFunpaint(0xE5, literals), 1);
    b.OpensPacked("funpaint-ends-with-escape-and-length",
                  PackedFunpaint(0xE5, Concat(literals, {0xE5, 0x20})), 1);

    // Runs crossing the output maximum: 97 x 255 = 24,735 bytes for an
    // output of 24,578; 241 x 255 = 61,455 for code 1's 61,422.
    b.OpensPacked("drazlace-runs-cross-maximum",
                  PackedDrazlace(0xC3, Concat(ForwardRuns(0xC3, 97, 255, 91), {0xC3, 0})), 7);
    b.OpensPacked("escape-bitmap-runs-cross-maximum",
                  EscapeBitmap(0xC3, Concat({255, 0x11}, ForwardRuns(0xC3, 96, 255, 92))), 11);
    b.OpensPacked("funpaint-runs-cross-maximum",
                  PackedFunpaint(0xC3, Concat(ForwardRuns(0xC3, 241, 255, 93), {0xC3, 0})), 1);
    b.OpensPacked("drazlace-one-literal-then-runs-cross-maximum",
                  PackedDrazlace(0x01, Concat({0x77}, ForwardRuns(0x01, 200, 200, 94))), 7);

    // Streams made only of escape bytes: E, E, E is a run of E copies of E;
    // with E = 0 the first run is the end marker.
    for (uint8_t escape : {0x00, 0x01, 0x80, 0xFF}) {
        const Bytes onlyEscapes(3000, escape);
        b.OpensPacked(Name("drazlace-only-escapes-%02x", escape),
                      PackedDrazlace(escape, onlyEscapes), 7);
        b.OpensPacked(Name("funpaint-only-escapes-%02x", escape),
                      PackedFunpaint(escape, onlyEscapes), 1);
    }
    // Code 11 must end with E, 0: escape bytes up to that end marker.
    for (uint8_t escape : {0x01, 0x80, 0xFF}) {
        b.OpensPacked(Name("escape-bitmap-only-escapes-%02x", escape),
                      EscapeBitmap(escape, Bytes(2999, escape)), 11);
    }
    // The smallest code-11 file: its first run is the end marker.
    b.OpensPacked("escape-bitmap-four-bytes", {0x00, 0x40, 0x6B, 0x00}, 11);
    // Code 11 streams that open with a literal: taken only when they unpack
    // to at least 10,001 bytes (5,000 + run + 4,801) before the end marker
    // that closes the file.
    const auto literalFirst = [](uint8_t runLength) {
        Bytes file = Concat({0x00, 0x40}, RandomBytesWithout(5000, 96, 0x9C));
        file.insert(file.end(), {0x9C, runLength, 0x11});
        file = Concat(file, RandomBytesWithout(4801, 97, 0x9C));
        file.insert(file.end(), {0x9C, 0});
        return file;
    };
    b.OpensPacked("escape-bitmap-literal-first", literalFirst(200), 11);
    b.Refused("escape-bitmap-literal-first-10000-bytes", literalFirst(199));
    // An end marker early in the stream: the rest is never read.
    b.OpensPacked("drazlace-early-end-marker",
                  PackedDrazlace(0x42, Concat({1, 2, 3, 0x42, 0}, RandomBytes(4000, 95))), 7);
}

void BackwardStreams(Builder& b) {
    // Too short to fill 17,472 bytes: read down to offset 0, header included.
    b.OpensPacked("fli-graph-short-stream", FliGraph(0x55, RandomBytesWithout(100, 100, 0x55)), 14);
    // The escape byte equal to byte 1: after the run at offsets 4, 3, 2 the
    // next escape byte is at offset 1, whose length would lie before the file.
    Bytes stops = FliGraph(0x38, RandomBytesWithout(300, 101, 0x38));
    stops[4] = 0x38;
    b.OpensPacked("fli-graph-escape-at-offset-1", stops, 14);
    // The escape byte equal to byte 0: the header's own E at offset 2 opens
    // a run of byte 1 (56) copies of byte 0.
    b.OpensPacked("fli-graph-escape-f0", FliGraph(0xF0, RandomBytesWithout(300, 102, 0xF0)), 14);
    // Runs of 256 (length byte 0), more than fill the output.
    Bytes longRuns;
    for (const uint8_t v : RandomBytes(80, 103)) longRuns.insert(longRuns.end(), {v, 0x00, 0x99});
    b.OpensPacked("fli-graph-runs-of-256", FliGraph(0x99, longRuns), 14);
    // A stream of only escape bytes: runs of E copies of E.
    b.OpensPacked("fli-graph-only-escapes", FliGraph(0x20, Bytes(3000, 0x20)), 14);

    // Code 19: 10,003 literals, then (reading on down) an escape byte at
    // offset 1 that the walk never reaches as a run: the output is full.
    Bytes pastStart = {0x11, 0xEE};
    pastStart = Concat(pastStart, RandomBytesWithout(10003, 104, 0xEE));
    pastStart.push_back(0xEE);
    b.OpensPacked("backward-bitmap-escape-at-offset-1", pastStart, 19);
    // Code 19 built of runs of 256: 39 x 256 = 9,984, then 19 literals.
    Bytes runs;
    for (const uint8_t v : RandomBytesWithout(19, 105, 0xD0)) runs.push_back(v);
    for (const uint8_t v : RandomBytes(39, 106)) runs.insert(runs.end(), {v, 0x00, 0xD0});
    runs.push_back(0xD0);
    b.OpensPacked("backward-bitmap-runs-of-256", runs, 19);
    // One escape byte fewer: a run short, the probe misses 10,003.
    b.Refused("backward-bitmap-one-run-short", Concat(Prefix(runs, runs.size() - 4), {0xD0}));
}

// The interlaced layouts with their frames beyond the file's end.
void ShortFrames(Builder& b) {
    const Bytes funpaint = LayoutFile(2, 110);
    for (uint32_t size : {100u, 8210u, 18000u, 25594u, 30000u}) {
        b.OpensPadded(Name("funpaint-short-%05u", size), Prefix(funpaint, size), 2,
                      UNPACKED_FUNPAINT_BYTES);
    }
    const Bytes gunpaint = LayoutFile(3, 111);
    for (uint32_t size : {2000u, 8194u, 17410u, 25602u, 30000u}) {
        b.OpensPadded(Name("gunpaint-short-%05u", size), Prefix(gunpaint, size), 3,
                      UNPACKED_GUNPAINT_BYTES);
    }
    // Packed DRAZLACE and FUNPAINT streams that unpack to fewer bytes than
    // the second frame needs.
    for (uint32_t bytes : {500u, 2050u, 10050u, 18000u}) {
        const Bytes stream = Concat(RandomBytesWithout(bytes, 113 + bytes, 0x9A), {0x9A, 0});
        b.OpensPacked(Name("drazlace-unpacks-to-%05u", bytes), PackedDrazlace(0x9A, stream), 7);
        b.OpensPacked(Name("funpaint-packed-unpacks-to-%05u", bytes), PackedFunpaint(0x9A, stream),
                      1);
    }
    // A DRAZLACE signature on a file of the unpacked layout's size: the
    // signature test runs after the size test and wins.
    Bytes drazlaceSized = LayoutFile(6, 114);
    std::memcpy(drazlaceSized.data(), DRAZLACE.data(), DRAZLACE.size());
    b.OpensPacked("drazlace-signature-on-18242-bytes", drazlaceSized, 7);
}

void RandomFiles(Builder& b) {
    std::mt19937 generator(120);
    // Plain random files: nothing matches (the identification test checks
    // this against a plain restatement of the rules, too).
    for (unsigned i = 0; i < 24; ++i) {
        const size_t size = 4 + generator() % (tarnel::MAX_FILE_BYTES - 3);
        b.Refused(Name("random-%02u", i), RandomBytes(size, 200 + i));
    }
    // Random streams behind each packed layout's header.
    for (unsigned i = 0; i < 6; ++i) {
        const size_t size = 1 + generator() % (tarnel::MAX_FILE_BYTES - 20);
        const uint8_t escape = static_cast<uint8_t>(generator() & 0xFF);
        const Bytes stream = RandomBytes(size, 300 + i);
        b.OpensPacked(Name("random-drazlace-stream-%02u", i), PackedDrazlace(escape, stream), 7);
        b.OpensPacked(Name("random-funpaint-stream-%02u", i), PackedFunpaint(escape, stream), 1);
        b.OpensPacked(Name("random-fli-graph-stream-%02u", i), FliGraph(escape, stream), 14);
        const Bytes shortStream = RandomBytes(1 + generator() % 11000, 400 + i);
        b.OpensPacked(Name("random-escape-bitmap-stream-%02u", i),
                      EscapeBitmap(escape, shortStream), 11);
    }
    // Random bytes behind a load address and size: whatever they hold, they
    // open (only determinism and the colours can be checked).
    for (const uint8_t code : {4, 5, 6, 8, 9, 12, 13, 15, 16, 17, 18, 20, 21}) {
        tarnel::LoadAndSize loadAndSize{};
        tarnel::FindLoadAndSize(code, &loadAndSize);
        Bytes bytes = RandomBytes(loadAndSize.size, 500u + code);
        bytes[0] = loadAndSize.load0;
        bytes[1] = loadAndSize.load1;
        b.Opens(Name("random-bytes-as-code%02u", code), bytes, code);
    }
}

}  // namespace

std::vector<uint8_t> MemoryImage(uint32_t seed) {
    return tarnel::RandomMemoryImage(seed);
}

std::vector<uint8_t> LayoutFile(uint8_t code, uint32_t seed) {
    return tarnel::BuildLayoutFile(code, View(MemoryImage(seed)));
}

std::vector<HostileFile> HostileCorpus() {
    Builder b;
    CutAndGrown(b);
    TinyFiles(b);
    SizeLimit(b);
    CutSignatures(b);
    ForwardStreams(b);
    BackwardStreams(b);
    ShortFrames(b);
    RandomFiles(b);
    return std::move(b.files);
}

}  // namespace tarnel_hostile
