// The kernels that come in variants per instruction set (see core/cpu.h):
// their signatures, and the x86 variants, which live one file per family and
// set in core/x86/. Each family (pixels.cpp, render.cpp, unpack.cpp) keeps
// its plain variant and lists all of its variants, widest first, for
// ChooseKernel. Only x86 builds declare, compile and list the x86 variants.
#ifndef TARNEL_CORE_KERNELS_H
#define TARNEL_CORE_KERNELS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/byte_view.h"
#include "core/cpu.h"
#include "core/layouts.h"
#include "core/pixels.h"
#include "core/row_loops.h"
#include "core/unpack.h"

// The AVX-512 unpackers are built for 64-bit x86 alone.
#if TARNEL_X86_KERNELS && defined(__x86_64__)
#define TARNEL_X86_64_KERNELS 1
#else
#define TARNEL_X86_64_KERNELS 0
#endif

// Every function in core/x86/ carries its instruction set as a target
// attribute; the files are not compiled with -m flags. Inline functions of
// shared headers (row_loops.h, <cstring>, ...) that such a file compiled
// would otherwise be emitted with the wider set, and the linker may keep
// that copy for the plain callers as well.
#if TARNEL_X86_KERNELS
#define TARNEL_TARGET_SSSE3 __attribute__((target("ssse3")))
#define TARNEL_TARGET_AVX2 __attribute__((target("avx2")))
#define TARNEL_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#endif

namespace tarnel {

// Row converters (pixels.cpp). Pixel u shows colour a[u] (b null) or the
// blend of colours a[u] and b[u]; with `pairs`, a holds pair indices
// 16 * first + second instead. False, with nothing written, for a table the
// variant does not serve: the caller then converts plainly.
using VectorRowKernel = bool (*)(const uint8_t* a, const uint8_t* b, bool pairs,
                                 const PixelTable& table, uint8_t* out);
// `rows` rows of indices, one after another in `indices`; row k goes to
// out + k * stride. False, with nothing written, as above.
using VectorRowsKernel = bool (*)(const uint8_t* indices, uint32_t rows, const PixelTable& table,
                                  uint8_t* out, ptrdiff_t stride);

// Row loops (render.cpp) for a picture drawn as pixels: a family gives the
// loop of a route, or nullptr where it has none for the route's kind.
using PixelRowLoop = row_loops::RowLoopFunction<row_loops::PixelSink>;

// Unpackers (unpack.cpp), given the stream's escape byte, and the backward
// search for the next run (LiteralsBackward in unpack.h).
using UnpackKernel = void (*)(ByteView file, const PackedVariant& variant, uint8_t* out,
                              uint8_t escape);
// LiteralsKernel: in unpack.h.

// Literals looked for one by one before a stretch is handed to memchr: the
// stretches between two runs are often this short.
constexpr uint32_t SHORT_STRETCH = 16;

// How many bytes from `from` on, before `end`, differ from `escape`. Shared
// by the forward unpackers: plain, and AVX-512 for long stretches.
inline uint32_t LiteralsForward(ByteView file, uint32_t from, uint32_t end, uint8_t escape) {
    const uint32_t directEnd = end - from > SHORT_STRETCH ? from + SHORT_STRETCH : end;
    uint32_t at = from;
    while (at < directEnd && file[at] != escape) ++at;
    if (at < directEnd || at == end) return at - from;
    const void* found = std::memchr(file.data + at, escape, end - at);
    const uint32_t stop =
        found != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(found) - file.data)
                         : end;
    return stop - from;
}

#if TARNEL_X86_KERNELS
// core/x86/pixels_ssse3.cpp, pixels_avx2.cpp: tables made from a palette,
// three-byte formats.
bool VectorRowSsse3(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                    uint8_t* out);
bool VectorRowAvx2(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                   uint8_t* out);
// core/x86/pixels_avx512.cpp: any table of a three-byte format.
bool VectorRowAvx512(const uint8_t* a, const uint8_t* b, bool pairs, const PixelTable& table,
                     uint8_t* out);
bool VectorRowsAvx512(const uint8_t* indices, uint32_t rows, const PixelTable& table, uint8_t* out,
                      ptrdiff_t stride);

// core/x86/render_ssse3.cpp: every kind. core/x86/render_avx512.cpp:
// multicolour and interlaced.
PixelRowLoop RowLoopSsse3(RowLoop loop, Fetcher fetcher);
PixelRowLoop RowLoopAvx512(RowLoop loop, Fetcher fetcher);
#endif

#if TARNEL_X86_64_KERNELS
// core/x86/unpack_avx512.cpp.
void UnpackForwardAvx512(ByteView file, const PackedVariant& variant, uint8_t* out, uint8_t escape);
void UnpackBackwardAvx512(ByteView file, const PackedVariant& variant, uint8_t* out,
                          uint8_t escape);
uint32_t LiteralsBackwardAvx512(ByteView file, uint32_t end, uint8_t escape);
#endif

}  // namespace tarnel

#endif  // TARNEL_CORE_KERNELS_H
