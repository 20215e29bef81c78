// Writing the packed streams of core/formats/unpackers.h: each packer turns
// bytes into a stream its unpacker reads back to them. Besides packing well
// they can be told to use every token the stream has: empty runs where a
// count of 0 is one, runs of 256 where it stands for 256, the escape byte
// as data (a run of one), long counts, literals stored as runs, so that a
// sample file exercises every byte's role.
#ifndef TARNEL_AUTHORING_PACK_SCHEMES_H
#define TARNEL_AUTHORING_PACK_SCHEMES_H

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tarnel_tools {

// Koala Painter's GG runs: `$FE value count` (count 0: nothing), runs of
// 4 to 255 bytes and every $FE; `emptyRuns` runs of nothing spread through
// the stream (one at its start).
std::vector<uint8_t> PackKoalaRuns(const std::vector<uint8_t>& data, uint32_t emptyRuns);

struct EscapeRunsOptions {
    // The escape byte of a token that starts at data offset n.
    std::function<uint8_t(uint32_t)> escapeAt;
    bool zeroIs256 = false;  // count 0 stands for 256 (else for nothing)
    uint32_t emptyRuns = 0;  // with !zeroIs256: runs of nothing spread through
    // The first this many literal bytes are stored as runs of one.
    uint32_t literalsAsRuns = 0;
    // The first run of 2 or more bytes is stored as two runs.
    bool splitFirstRun = false;
    // A byte written right after the token that reaches past data offset
    // `first` (a byte between two sections).
    std::vector<std::pair<uint32_t, uint8_t>> between;
};
// Runs `E count value` and literals. Runs may cross from one escape's
// stretch of the data into the next.
std::vector<uint8_t> PackEscapeRuns(const std::vector<uint8_t>& data,
                                    const EscapeRunsOptions& options);

// A backward stream, in file order: read from its last byte down it gives
// `data` from its last byte down. Runs are `value count E` (count 0: 256).
// With `overshoot`, the data starts with a run that is stored `overshoot`
// bytes longer than it is (the unpacker cuts it).
std::vector<uint8_t> PackBackwardRuns(const std::vector<uint8_t>& data, uint8_t escape,
                                      uint32_t overshoot);

// BDP 4's commands: `$FF count value` runs (count 0: 256) and `$FE lo hi`
// blocks of literals; one empty block at the start.
std::vector<uint8_t> PackBdp4(const std::vector<uint8_t>& data);

// BDP 5: runs of up to 256 as `e1 count value` (count 0: 256), longer ones
// as `e2 lo hi value`; e1 and e2 as data in runs of one; one empty e2 run.
std::vector<uint8_t> PackBdp5(const std::vector<uint8_t>& data, uint8_t e1, uint8_t e2);

// Micro Illustrator: `n value` runs (n 1 to 127) and `128+n` blocks of n
// literals; longer ones with a count part of 0 and a 16-bit count, high
// byte first. The first run and the first block of literals take the
// 16-bit form whatever their length.
std::vector<uint8_t> PackMicroIllustrator(const std::vector<uint8_t>& data);

}  // namespace tarnel_tools

#endif  // TARNEL_AUTHORING_PACK_SCHEMES_H
