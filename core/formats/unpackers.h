// The run-length packers of C64 paint programs beyond the twenty layouts'
// two: each reads a stream from a file and writes its bytes into a buffer
// of the size the caller knows the unpacked image to have, and stops when
// that buffer is full (the rest of the stream is not read) or when the
// stream ends (a run cut by the file's end is not used; a block of literals
// cut by it gives the bytes there are). None reads outside the file nor
// writes outside the buffer. Each returns how many bytes it wrote: the
// buffer's size when the stream filled it. A null buffer only counts: what
// a format's test of a file's bytes needs.
//
// Most streams mark a run with an escape byte E, any other byte standing
// for itself (a literal); they differ in the order of a run's bytes and in
// what a count of 0 means.
#ifndef TARNEL_CORE_FORMATS_UNPACKERS_H
#define TARNEL_CORE_FORMATS_UNPACKERS_H

#include <cstdint>

#include "core/byte_view.h"

namespace tarnel::unpackers {

// What a run's count of 0 stands for.
enum class ZeroCount : uint8_t {
    Nothing,  // a run of no bytes: the token is skipped
    Is256,    // 256 copies
};

// A forward stream of runs `E count value` and literals, read from `start`
// on. With ZeroCount::Nothing it is the stream of Drazpaint, Drazlace,
// Amica Paint and others; with Is256 that of BDP, UFLI, GoDot and others.
// Reading can go on in a further buffer (Fill again) with another escape
// byte: a run that did not fit the last buffer carries on into the next,
// the way the streams of several sections one after the other are read.
class EscapeRuns {
public:
    EscapeRuns(ByteView file, uint32_t start, ZeroCount zero)
        : file_(file), at_(start), zero_(zero) {}

    // Writes up to `size` bytes into `out` (null: counts them) with `escape`
    // as the escape byte; returns how many.
    uint32_t Fill(uint8_t* out, uint32_t size, uint8_t escape);
    // Takes the next byte of the file as it is (a byte that stands between
    // sections); false at the file's end.
    bool Take(uint8_t* byte);
    // The offset of the next byte to read: the file's size when all of it
    // was read.
    uint32_t Position() const { return at_; }

private:
    ByteView file_;
    uint32_t at_;
    ZeroCount zero_;
    uint32_t owed_ = 0;  // copies of `value_` still to write
    uint8_t value_ = 0;
};

// The forward stream of runs `E count value` from `start`, in one go.
uint32_t UnpackEscapeRuns(ByteView file, uint32_t start, uint8_t escape, ZeroCount zero,
                          uint8_t* out, uint32_t size);

// Koala Painter's compressed files (GG) and compressed Doodle: runs
// `$FE value count`, a count of 0 a run of nothing; forward from `start`.
uint32_t UnpackKoalaRuns(ByteView file, uint32_t start, uint8_t* out, uint32_t size);

// A backward stream: read from offset `end` - 1 down to offset `low`
// (bytes below `low` are never read), and written from the buffer's last
// byte down. In file order a run is `value count E`, a count of 0 standing
// for 256. Zoomatic, and the backward-packed FLI pictures.
uint32_t UnpackBackwardRuns(ByteView file, uint32_t low, uint32_t end, uint8_t escape, uint8_t* out,
                            uint32_t size);

// BDP 4: commands only, from `start`: `$FF count value` a run (count 0:
// 256), `$FE lo hi` then lo + 256 hi literal bytes. Any other command byte
// ends the stream as broken.
uint32_t UnpackBdp4(ByteView file, uint32_t start, uint8_t* out, uint32_t size);

// BDP 5: two escape bytes; `e1 count value` (count 0: 256) and
// `e2 lo hi value` (a 16-bit count; 0: nothing), e2 tested first.
uint32_t UnpackBdp5(ByteView file, uint32_t start, uint8_t e1, uint8_t e2, uint8_t* out,
                    uint32_t size);

// Micro Illustrator: a command byte b below 128 gives b copies of the next
// byte; from 128 up, b - 128 literal bytes follow. A count part of 0 is
// followed by a 16-bit count, high byte first (itself 0: nothing), then the
// value or the literals.
uint32_t UnpackMicroIllustrator(ByteView file, uint32_t start, uint8_t* out, uint32_t size);

// Pixel Perfect: runs `E n value`, n + 1 copies (1 to 256), and literals;
// forward from `start`. `*next` (when not null) is set to the offset after
// the last byte read.
uint32_t UnpackCountPlusOne(ByteView file, uint32_t start, uint8_t escape, uint8_t* out,
                            uint32_t size, uint32_t* next);

// VHI: commands `$00 n` then n literal bytes, `$01 n value` a run (n 0:
// 256 in both); any other command byte ends the stream as broken.
uint32_t UnpackVhi(ByteView file, uint32_t start, uint8_t* out, uint32_t size);

// ESH and SHI: a command byte b below 128 is followed by b literal bytes;
// from 128 up, the next byte repeated b - 128 times (0 and 128: nothing).
uint32_t UnpackCommandRuns(ByteView file, uint32_t start, uint8_t* out, uint32_t size);

// True Paint's self-extracting files: read backwards from the last byte
// down to offset 2, written from the buffer's last byte down. Nine key
// bytes (at 137 down to 129) each name an action (at 128 down to 120):
// 0 two copies of the byte at 133 + key; 7 (2 + next) copies of the byte at
// 79; 11 three copies of it; 17 (2 + next) copies of the byte after; 23
// three copies of the next byte; 25 the next byte as it is; any other the
// key byte itself. "Next" is the following byte read, downwards. The file
// is at least TRUE_PAINT_TABLE_END bytes.
constexpr uint32_t TRUE_PAINT_TABLE_END = 142;
uint32_t UnpackTruePaint(ByteView file, uint8_t* out, uint32_t size);

}  // namespace tarnel::unpackers

#endif  // TARNEL_CORE_FORMATS_UNPACKERS_H
