// Plain, slow restatements of the identification rules, the length probe and
// the two unpackers, written step by step with signed positions and no
// shortcuts. The fuzzers and the hostile-file test compare the module against
// them: the module's versions are tuned and table-driven, these are meant to
// be read against the rules line by line.
#ifndef TARNEL_TESTING_REFERENCE_H
#define TARNEL_TESTING_REFERENCE_H

#include <cstdint>
#include <cstring>
#include <vector>

namespace tarnel_reference {

constexpr long BUFFER_BYTES = 61440;

// The bytes the backward stream of the whole file unpacks to, its escape
// byte being the file's last byte.
inline uint32_t Probe(const std::vector<uint8_t>& f) {
    const long size = static_cast<long>(f.size());
    if (size < 2) return 0;
    const uint8_t escape = f[size - 1];
    uint32_t count = 0;
    long p = size - 2;
    while (p >= 0) {
        if (f[p] != escape) {
            count += 1;
            p -= 1;
            continue;
        }
        if (p <= 1) break;  // length or value would lie before the file
        count += f[p - 1] == 0 ? 256 : f[p - 1];
        p -= 3;
    }
    return count;
}

struct Found {
    uint8_t code = 0;
    bool interlaced = false;
};

inline bool BytesAt(const std::vector<uint8_t>& f, long offset, const char* text, long count) {
    if (offset + count > static_cast<long>(f.size())) return false;
    return std::memcmp(f.data() + offset, text, static_cast<size_t>(count)) == 0;
}

inline bool Load(const std::vector<uint8_t>& f, uint8_t a, uint8_t b, long size) {
    return static_cast<long>(f.size()) == size && f[0] == a && f[1] == b;
}

// The twenty tests in order; the last one that matches decides.
inline Found Identify(const std::vector<uint8_t>& f) {
    const long size = static_cast<long>(f.size());
    Found found;
    auto match = [&found](uint8_t code, bool interlaced) {
        found.code = code;
        found.interlaced = interlaced;
    };
    if (size >= 17 && BytesAt(f, 0,
                              "\xF0\x3F"
                              "FUNPAINT (MT) ",
                              16))
        match(f[16] != 0 ? 1 : 2, true);
    if (BytesAt(f, 1002, "GUNPAINT (JZ)", 13)) match(3, true);
    if (Load(f, 0x00, 0x3C, 17409)) match(4, false);
    if (Load(f, 0x00, 0x20, 10018)) match(5, false);
    if (Load(f, 0x00, 0x58, 18242)) match(6, true);
    if (BytesAt(f, 0,
                "\x00\x58"
                "DRAZLACE! 1.0",
                15))
        match(7, true);
    if (Load(f, 0x00, 0x3C, 17410)) match(4, false);
    if (Load(f, 0x00, 0x3B, 17665)) match(8, false);
    if (Load(f, 0x00, 0x40, 10004)) match(9, false);
    // The module leaves files of exactly the code-9 size to code 9: such a
    // picture with a black background and an empty first cell would
    // otherwise pass for a packed stream.
    if (size >= 4 && size < 12000 && size != 10004 && f[0] == 0x00 && f[1] == 0x40 &&
        f[2] == f[size - 2] && f[size - 1] == 0) {
        match(11, false);
    }
    if (Load(f, 0x00, 0x20, 8002)) match(12, false);
    if (Load(f, 0x00, 0x3B, 17474)) match(13, false);
    if (size >= 8 && f[0] == 0xF0 && f[1] == 0x38 && f[5] == 0x3F && f[6] == 0x7F && f[7] == 0) {
        match(14, false);
    }
    if (Load(f, 0x00, 0x20, 9009)) match(15, false);
    if (Load(f, 0x00, 0x5C, 9217)) match(16, false);
    if (Load(f, 0x00, 0x40, 16385)) match(17, false);
    if (Load(f, 0x8E, 0x3F, 9332)) match(18, false);
    if (Probe(f) == 10003) match(19, false);
    if (Load(f, 0x00, 0x60, 10003)) match(20, false);
    if (Load(f, 0x00, 0x5C, 9218)) match(21, false);
    // Only when none of the twenty matched: a code-11 stream that opens with
    // a literal. Read from offset 2 with the escape byte at size-2, it must
    // meet its first end marker at size-2, having written at least 10,001
    // bytes.
    if (found.code == 0 && size >= 4 && size < 12000 && f[0] == 0x00 && f[1] == 0x40) {
        const uint8_t escape = f[size - 2];
        long r = 2;
        long written = 0;
        for (;;) {
            if (r >= size) break;  // no end marker
            if (f[r] != escape) {
                written += 1;
                r += 1;
                continue;
            }
            if (r + 1 >= size) break;  // the length would lie past the file
            if (f[r + 1] == 0) {       // the first end marker
                if (r == size - 2 && written >= 10001) match(11, false);
                break;
            }
            if (r + 2 >= size) break;  // the value would lie past the file
            written += f[r + 1];
            r += 3;
        }
    }
    return found;
}

// Forward escape stream: escape byte `escape`, stream from `start`, output
// from `first` upwards, at most `most` bytes.
inline void UnpackForward(const std::vector<uint8_t>& f, uint8_t escape, long start, long first,
                          long most, uint8_t* out) {
    const long size = static_cast<long>(f.size());
    long r = start;
    long w = first;
    long written = 0;
    for (;;) {
        if (r >= size) return;
        uint8_t value = f[r];
        long length = 1;
        if (value != escape) {
            r += 1;
        } else {
            if (r + 1 >= size) return;
            length = f[r + 1];
            if (length == 0) return;  // end marker
            if (r + 2 >= size) return;
            value = f[r + 2];
            r += 3;
        }
        for (long i = 0; i < length; ++i) {
            out[w] = value;
            w += 1;
            written += 1;
            if (written == most) return;
        }
    }
}

// Backward escape stream: read from `last` down, output from `highest` down
// to `lowest`.
inline void UnpackBackward(const std::vector<uint8_t>& f, uint8_t escape, long last, long highest,
                           long lowest, uint8_t* out) {
    long r = last;
    long w = highest;
    for (;;) {
        if (r < 0) return;
        uint8_t value = f[r];
        long length = 1;
        if (value != escape) {
            r -= 1;
        } else {
            if (r <= 1) return;
            length = f[r - 1] == 0 ? 256 : f[r - 1];
            value = f[r - 2];
            r -= 3;
        }
        for (long i = 0; i < length; ++i) {
            out[w] = value;
            if (w == lowest) return;
            w -= 1;
        }
    }
}

// Unpacks the stream of packed code 1, 7, 11, 14 or 19 into `out`
// (BUFFER_BYTES long), writing only what the stream writes. False for other
// codes.
inline bool Unpack(uint8_t code, const std::vector<uint8_t>& f, uint8_t* out) {
    const long size = static_cast<long>(f.size());
    switch (code) {
        // A file too short for the escape byte has no stream byte either.
        case 1:
            if (size > 17) UnpackForward(f, f[17], 18, 18, 61422, out);
            return true;
        case 7:
            if (size > 15) UnpackForward(f, f[15], 16, 2, 24578, out);
            return true;
        case 11:
            // E is the first byte of the end marker, at size-2; the stream
            // begins at offset 2, with E itself or with a literal.
            if (size >= 2) UnpackForward(f, f[size - 2], 2, 2, 24578, out);
            return true;
        case 14:
            if (size > 2) UnpackBackward(f, f[2], size - 1, 17473, 2, out);
            return true;
        case 19:
            if (size > 0) UnpackBackward(f, f[size - 1], size - 2, 10002, 0, out);
            return true;
        default:
            return false;
    }
}

}  // namespace tarnel_reference

#endif  // TARNEL_TESTING_REFERENCE_H
