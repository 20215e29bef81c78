// The files the benchmarks work on, made deterministically from seeds so
// that every run measures the same bytes.
#ifndef TARNEL_BENCH_BENCH_INPUTS_H
#define TARNEL_BENCH_BENCH_INPUTS_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_view.h"
#include "core/layouts.h"
#include "core/unpack.h"
#include "plugin/tarnel_api.h"

namespace tarnel_bench {

inline tarnel::ByteView View(const std::vector<uint8_t>& bytes) {
    return tarnel::ByteView{bytes.data(), static_cast<uint32_t>(bytes.size())};
}

// A picture file of `code` drawn from a memory image of uniformly random
// bytes (every cell, colour and bit pattern), built with the layout writers.
// Empty when the writers cannot store it.
std::vector<uint8_t> PictureFile(tarnel::FormatCode code);

// A picture file of `code` that looks like drawn art rather than noise: a
// sky of colour bands with dithered seams, a ground of a few repeating
// textures, flat shapes with edges through their border cells, a little fine
// detail, and colour memory that repeats across neighbouring cells (runs the
// packers can use). FLI layouts change screen colours from row to row in the
// sky; interlaced layouts draw the same shapes in both frames with dithering
// in opposite phase. Deterministic per code. Empty when the writers cannot
// store it.
std::vector<uint8_t> ArtFile(tarnel::FormatCode code);

// A file of MAX_FILE_BYTES whose length probe walks every byte: its last
// byte (the probe's escape byte) occurs nowhere else, so every other byte is
// a literal, and no other identification test matches it.
std::vector<uint8_t> FullProbeFile();

// A packed file for `variant` whose stream fills the variant's output
// maximum exactly: the unpacked data is picture-like, runs of 4 to 255 equal
// bytes between literals, with about 40% of the output bytes from literals.
// `data` receives the bytes the stream unpacks to (in output order from the
// variant's first output offset upwards for forward streams, from its lowest
// output offset upwards for backward ones).
std::vector<uint8_t> FullOutputPackedFile(const tarnel::PackedVariant& variant,
                                          std::vector<uint8_t>* data);

// Checks that unpacking `file` writes exactly `data` over the variant's whole
// output range and nothing outside it; returns an empty string when it does,
// otherwise what is wrong.
std::string CheckFillsOutput(const std::vector<uint8_t>& file, const tarnel::PackedVariant& variant,
                             const std::vector<uint8_t>& data);

// A host source record serving `file` from memory, as a viewer that has
// read the whole file does: the callback grants every request within it.
// `file` must outlive the record.
HostImageSource MemorySource(const std::vector<uint8_t>& file);

// "Code07" for code 7: benchmark names that sort in code order.
std::string CodeName(tarnel::FormatCode code);

}  // namespace tarnel_bench

#endif  // TARNEL_BENCH_BENCH_INPUTS_H
