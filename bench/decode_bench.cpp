// The module's speed against the cost of writing its output: the baseline is
// allocating a block of the decoded page's size and copying that many bytes
// into it. Every benchmark is reported as a multiple of the baseline.
//
//   tarnel_bench [Google Benchmark flags] [--require_targets] [--fixed_heap]
//
// The program exits with status 1 when a benchmark stops with an error and,
// with --require_targets, also when a target is missed: a page decode above
// 5 times the baseline, a whole host cycle above 6 times, a decode through
// the C library (into the caller's buffer, decoder reused) above 4 times.
//
// The pictures come in two kinds: Random (every byte random: nothing flat,
// packed streams almost all literals) and Art (drawn like real pictures:
// flat areas, dithering, runs; see bench_inputs.h).
//
// The heap: the figures that count are those under the C library's own
// policy, as a user's process has it, so by default nothing is changed (and
// the report names GLIBC_TUNABLES when it is set). glibc gives the top of its
// heap back to the system when a free leaves more than its trim threshold
// there, and the next allocation then faults the pages in again: a decode
// must not depend on that not happening. --fixed_heap fixes glibc's mapping
// and trim thresholds (1 MiB and 8 MiB) before the run, for the baseline and
// the decoder alike, to show the decoder's work without the heap's policy.
#include <benchmark/benchmark.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_inputs.h"
#include "bench/ratio_reporter.h"
#include "core/decode.h"
#include "core/identify.h"
#include "core/unpack.h"
#include "plugin/c64_decoder.h"
#include "plugin/dib.h"
#include "plugin/tarnel_api.h"
#include "tarnel/tarnel.h"

namespace {

using tarnel::FormatCode;
using tarnel_bench::View;

constexpr const char* BASELINE_NAME = "Baseline/AllocateAndCopyBlock";
constexpr double PAGE_DECODE_TARGET = 5;
constexpr double WHOLE_CYCLE_TARGET = 6;
constexpr double LIBRARY_DECODE_TARGET = 4;

void AllocateAndCopyBlock(benchmark::State& state) {
    const std::vector<uint8_t> source(TARNEL_BITMAP_BLOCK_BYTES, 0x5A);
    for (auto _ : state) {
        void* block = std::malloc(TARNEL_BITMAP_BLOCK_BYTES);
        if (block == nullptr) {
            state.SkipWithError("out of memory");
            break;
        }
        std::memcpy(block, source.data(), TARNEL_BITMAP_BLOCK_BYTES);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        std::free(block);
    }
}

// A kind of picture: its name in the benchmark names and its file maker.
struct PictureKind {
    const char* name;
    std::vector<uint8_t> (*file)(FormatCode code);
};
constexpr PictureKind PICTURE_KINDS[] = {
    {"Random", tarnel_bench::PictureFile},
    {"Art", tarnel_bench::ArtFile},
};
const PictureKind& RANDOM = PICTURE_KINDS[0];

// The code identification gives the file, or an error text.
std::string CheckIdentifiedAs(const std::vector<uint8_t>& file, FormatCode code) {
    if (file.empty()) return "no file could be built";
    if (file.size() > tarnel::MAX_FILE_BYTES) return "the file is too large to open";
    const tarnel::Identification found = tarnel::Identify(View(file));
    if (found.code != code) return "the file is identified as " + std::to_string(found.code);
    return {};
}

// The benchmark picture of `code` in `file`; false, with the benchmark
// skipped, when it cannot be built or is not identified as its code.
bool PictureOrSkip(benchmark::State& state, const PictureKind& kind, FormatCode code,
                   std::vector<uint8_t>* file) {
    *file = kind.file(code);
    const std::string wrong = CheckIdentifiedAs(*file, code);
    if (wrong.empty()) return true;
    state.SkipWithError(wrong.c_str());
    return false;
}

// The host's whole cycle through the exports: open from memory, decode the
// page, free the block, close.
void WholeCycle(benchmark::State& state, const PictureKind& kind, FormatCode code) {
    std::vector<uint8_t> file;
    if (!PictureOrSkip(state, kind, code, &file)) return;
    const HostImageSource source = tarnel_bench::MemorySource(file);
    for (auto _ : state) {
        TarnelImage image = nullptr;
        if (IDP_OpenImage(&source, &image) != RESULT_OK) {
            state.SkipWithError("the file does not open");
            break;
        }
        PageBitmap bitmap{};
        const int32_t decoded = IDP_PageDecode(image, 0, &bitmap);
        if (decoded == RESULT_OK) GlobalFree(bitmap.bitmap);
        IDP_CloseImage(image);
        if (decoded != RESULT_OK) {
            state.SkipWithError("the page does not decode");
            break;
        }
    }
}

// Page decode alone on an open decoder, the block freed after each.
void PageDecode(benchmark::State& state, const PictureKind& kind, FormatCode code) {
    std::vector<uint8_t> file;
    if (!PictureOrSkip(state, kind, code, &file)) return;
    const HostImageSource source = tarnel_bench::MemorySource(file);
    TarnelImage image = nullptr;
    if (IDP_OpenImage(&source, &image) != RESULT_OK) {
        state.SkipWithError("the file does not open");
        return;
    }
    for (auto _ : state) {
        PageBitmap bitmap{};
        if (IDP_PageDecode(image, 0, &bitmap) != RESULT_OK) {
            state.SkipWithError("the page does not decode");
            break;
        }
        GlobalFree(bitmap.bitmap);
    }
    IDP_CloseImage(image);
}

// The C library as an application uses it for many files: one decoder made
// once, the default options, each file decoded into the caller's RGB buffer
// (libtarnel.so, through its exported functions).
void LibraryDecode(benchmark::State& state, const PictureKind& kind, FormatCode code) {
    std::vector<uint8_t> file;
    if (!PictureOrSkip(state, kind, code, &file)) return;
    tarnel_decoder* decoder = tarnel_decoder_new();
    if (decoder == nullptr) {
        state.SkipWithError("no decoder");
        return;
    }
    tarnel_options options;
    tarnel_options_init(&options);
    constexpr size_t stride = size_t{TARNEL_WIDTH} * 3;
    std::vector<uint8_t> pixels(stride * TARNEL_HEIGHT);
    for (auto _ : state) {
        tarnel_info info;
        if (tarnel_decode(decoder, file.data(), file.size(), &options, pixels.data(), stride,
                          &info) != TARNEL_OK) {
            state.SkipWithError("the file does not decode");
            break;
        }
        benchmark::ClobberMemory();
    }
    tarnel_decoder_free(decoder);
}

// The picture file of `code` with the image it is drawn from chosen (and,
// for packed layouts, unpacked) as a page decode chooses it.
struct PreparedPage {
    explicit PreparedPage(FormatCode code)
        : file(RANDOM.file(code)), error(CheckIdentifiedAs(file, code)) {
        if (!error.empty()) return;
        image = tarnel::ChooseImage(code, View(file), scratch.data());
        interlaced = tarnel::FindLayout(code)->interlaced;
    }
    std::vector<uint8_t> file;
    std::string error;
    std::vector<uint8_t> scratch = std::vector<uint8_t>(tarnel::LARGEST_IMAGE_BYTES);
    tarnel::ByteView image;
    bool interlaced = false;
};

// Drawing the page alone, as a page decode draws it: from the chosen image
// straight into a bitmap block allocated once (header and rows).
void Draw(benchmark::State& state, FormatCode code) {
    PreparedPage page(code);
    if (!page.error.empty()) {
        state.SkipWithError(page.error.c_str());
        return;
    }
    std::vector<uint8_t> block(TARNEL_BITMAP_BLOCK_BYTES);
    const tarnel::PixelTable& pixels = tarnel::BitmapPixels(page.interlaced);
    uint8_t* topRow =
        block.data() + TARNEL_BITMAP_HEADER_BYTES + (199 * ptrdiff_t{TARNEL_BITMAP_ROW_BYTES});
    for (auto _ : state) {
        tarnel::DrawImage(code, page.image, pixels, topRow,
                          -static_cast<ptrdiff_t>(TARNEL_BITMAP_ROW_BYTES));
        benchmark::ClobberMemory();
    }
}

// The twenty identification tests on a file of the largest size accepted,
// whose length probe reads every byte.
void IdentifyFullProbe(benchmark::State& state) {
    const std::vector<uint8_t> file = tarnel_bench::FullProbeFile();
    const tarnel::ByteView view = View(file);
    if (tarnel::ProbeUnpackedLength(view) != file.size() - 1 || tarnel::Identify(view).matched) {
        state.SkipWithError("the probe does not walk the whole file, or a test matches");
        return;
    }
    for (auto _ : state) {
        tarnel::Identification found = tarnel::Identify(view);
        benchmark::DoNotOptimize(found);
    }
}

// One unpacker on a file whose stream fills the variant's output maximum.
void Unpack(benchmark::State& state, FormatCode code) {
    const tarnel::PackedVariant* variant = tarnel::FindPackedVariant(code);
    std::vector<uint8_t> data;
    const std::vector<uint8_t> file = tarnel_bench::FullOutputPackedFile(*variant, &data);
    std::string wrong = CheckIdentifiedAs(file, code);
    if (wrong.empty()) wrong = tarnel_bench::CheckFillsOutput(file, *variant, data);
    if (!wrong.empty()) {
        state.SkipWithError(wrong.c_str());
        return;
    }
    const tarnel::ByteView view = View(file);
    std::vector<uint8_t> out(tarnel::MEMORY_IMAGE_BYTES);
    for (auto _ : state) {
        tarnel::Unpack(view, *variant, out.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(file.size()) + " bytes to " + std::to_string(data.size()));
}

// Every benchmark in microseconds, so the table's columns compare at a glance.
template <typename... Args>
void Register(const std::string& name, Args&&... args) {
    benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMicrosecond);
}

// `group`/Kind/CodeNN for every kind of picture and every code.
void RegisterPerPicture(const std::string& group,
                        void (*function)(benchmark::State&, const PictureKind&, FormatCode)) {
    for (const PictureKind& kind : PICTURE_KINDS) {
        for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
            Register(group + "/" + kind.name + "/" + tarnel_bench::CodeName(layout.code), function,
                     std::cref(kind), layout.code);
        }
    }
}

void RegisterAll() {
    Register(BASELINE_NAME, AllocateAndCopyBlock);
    RegisterPerPicture("PageDecode", PageDecode);
    RegisterPerPicture("WholeCycle", WholeCycle);
    RegisterPerPicture("Library", LibraryDecode);
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        Register("Draw/" + tarnel_bench::CodeName(layout.code), Draw, layout.code);
    }
    Register("Identify/FullProbe36864", IdentifyFullProbe);
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        if (layout.packed)
            Register("Unpack/" + tarnel_bench::CodeName(layout.code), Unpack, layout.code);
    }
}

// Removes `flag` from the arguments; true when it was there.
bool TakeFlag(int* argc, char** argv, const char* flag) {
    bool found = false;
    int kept = 0;
    for (int i = 0; i < *argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], flag) == 0) {
            found = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    *argc = kept;
    return found;
}

// With `fixed`, fixes glibc's thresholds so that freed blocks stay in the
// heap; returns what is in force, for the report.
std::string SetHeapPolicy(bool fixed) {
#if defined(__GLIBC__)
    if (!fixed) {
        const char* tunables = std::getenv("GLIBC_TUNABLES");
        if (tunables != nullptr && *tunables != '\0') {
            return std::string("glibc's default, but GLIBC_TUNABLES is set: ") + tunables;
        }
        return "glibc's default (no mallopt, no tunables)";
    }
    if (mallopt(M_MMAP_THRESHOLD, 1 << 20) == 1 && mallopt(M_TRIM_THRESHOLD, 8 << 20) == 1) {
        return "glibc with fixed thresholds: mapping 1 MiB, trim 8 MiB";
    }
    return "glibc's default (fixing its thresholds failed)";
#else
    (void)fixed;
    return "the C library's default";
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const bool requireTargets = TakeFlag(&argc, argv, "--require_targets");
    const bool fixedHeap = TakeFlag(&argc, argv, "--fixed_heap");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    std::cout << "Heap: " << SetHeapPolicy(fixedHeap) << "\n";
    RegisterAll();

    tarnel_bench::RatioReporter reporter(BASELINE_NAME, {{"PageDecode/", PAGE_DECODE_TARGET},
                                                         {"WholeCycle/", WHOLE_CYCLE_TARGET},
                                                         {"Library/", LIBRARY_DECODE_TARGET}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!reporter.AllRan()) return 1;
    return requireTargets && !reporter.TargetsMet() ? 1 : 0;
}
