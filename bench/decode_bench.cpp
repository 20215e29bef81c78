// The module's speed against the cost of writing its output: the baseline is
// allocating a block of the decoded page's size and copying that many bytes
// into it. Every benchmark is reported as a multiple of the baseline.
//
//   tarnel_bench [Google Benchmark flags] [--require_targets] [--default_heap]
//
// The program exits with status 1 when a benchmark stops with an error and,
// with --require_targets, also when a page decode takes more than 10 times
// the baseline or a whole cycle more than 12 times.
//
// The heap: glibc gives the top of its heap back to the system whenever a
// free leaves more than its trim threshold there, and it raises that
// threshold only to twice the largest block it has mapped on its own. A page
// decode frees its 64 KiB index picture and the host then frees the 188 KiB
// block, which together with the heap's spare top crosses that line: each
// next decode grows the heap again and the kernel faults in and zeroes the
// block's pages anew, a cost of the C library's policy that dwarfs the
// decoding itself. So by default the program fixes glibc's mapping and trim
// thresholds (1 MiB and 8 MiB) before it runs, the same for the baseline and
// for the decoder; --default_heap leaves glibc's own policy in force.
#include <benchmark/benchmark.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_inputs.h"
#include "bench/ratio_reporter.h"
#include "decoder/dib.h"
#include "formats/identify.h"
#include "formats/unpack.h"
#include "plugin/c64_decoder.h"
#include "plugin/tarnel_api.h"
#include "render/render.h"

namespace {

using tarnel::FormatCode;
using tarnel_bench::View;

constexpr const char* BASELINE_NAME = "Baseline/AllocateAndCopyBlock";
constexpr double PAGE_DECODE_TARGET = 10;
constexpr double WHOLE_CYCLE_TARGET = 12;
// The page decode's index picture buffer.
constexpr size_t PIXEL_INDEX_BYTES = 65535;

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
bool PictureOrSkip(benchmark::State& state, FormatCode code, std::vector<uint8_t>* file) {
    *file = tarnel_bench::PictureFile(code);
    const std::string wrong = CheckIdentifiedAs(*file, code);
    if (wrong.empty()) return true;
    state.SkipWithError(wrong.c_str());
    return false;
}

// The host's whole cycle through the exports: open from memory, decode the
// page, free the block, close.
void WholeCycle(benchmark::State& state, FormatCode code) {
    std::vector<uint8_t> file;
    if (!PictureOrSkip(state, code, &file)) return;
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
void PageDecode(benchmark::State& state, FormatCode code) {
    std::vector<uint8_t> file;
    if (!PictureOrSkip(state, code, &file)) return;
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

// A decoder opened on the picture file of `code` with its page prepared as
// a page decode prepares it: colour table built, background chosen and the
// image unpacked, ready for the renderer.
struct PreparedPage {
    explicit PreparedPage(FormatCode code)
        : file(tarnel_bench::PictureFile(code)),
          error(CheckIdentifiedAs(file, code)),
          decoder(tarnel_bench::MemorySource(file)) {
        if (!error.empty()) return;
        ImageInfo info{};
        if (decoder.GetImageInfo(&info) != RESULT_OK) {
            error = "the file does not open";
            return;
        }
        decoder.BuildColourTable();
        decoder.PreparePage();
        if (code == 1) decoder.UnpackForward1();  // the renderer's own unpacking
    }
    std::vector<uint8_t> file;
    std::string error;
    tarnel::C64Decoder decoder;
};

// Drawing the index picture alone, from the prepared image.
void Render(benchmark::State& state, FormatCode code) {
    PreparedPage page(code);
    if (!page.error.empty()) {
        state.SkipWithError(page.error.c_str());
        return;
    }
    std::vector<uint8_t> pixels(PIXEL_INDEX_BYTES);
    for (auto _ : state) {
        tarnel::RenderFrame(code, page.decoder.Image(), page.decoder.Background(), pixels.data());
        benchmark::ClobberMemory();
    }
}

// Turning a rendered index picture into the bitmap block alone, into a block
// allocated once: palette mode for a single-frame code, blend mode for an
// interlaced one.
void WriteBitmap(benchmark::State& state, FormatCode code) {
    PreparedPage page(code);
    if (!page.error.empty()) {
        state.SkipWithError(page.error.c_str());
        return;
    }
    std::vector<uint8_t> pixels(PIXEL_INDEX_BYTES);
    tarnel::RenderFrame(code, page.decoder.Image(), page.decoder.Background(), pixels.data());
    std::vector<uint8_t> block(TARNEL_BITMAP_BLOCK_BYTES);
    for (auto _ : state) {
        tarnel::WriteDib(pixels.data(), page.decoder.Colours(), block.data());
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
    std::vector<uint8_t> out(tarnel::FILE_BUFFER_BYTES);
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

void RegisterAll() {
    Register(BASELINE_NAME, AllocateAndCopyBlock);
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        Register("PageDecode/" + tarnel_bench::CodeName(layout.code), PageDecode, layout.code);
    }
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        Register("WholeCycle/" + tarnel_bench::CodeName(layout.code), WholeCycle, layout.code);
    }
    for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
        Register("Render/" + tarnel_bench::CodeName(layout.code), Render, layout.code);
    }
    Register("WriteDib/PaletteMode", WriteBitmap, FormatCode{20});
    Register("WriteDib/BlendMode", WriteBitmap, FormatCode{2});
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

}  // namespace

// Fixes glibc's thresholds so that freed blocks stay in the heap; returns
// what is in force, for the report.
const char* SetHeapPolicy(bool keepDefault) {
#if defined(__GLIBC__)
    if (keepDefault) return "glibc's default (dynamic mapping and trim thresholds)";
    if (mallopt(M_MMAP_THRESHOLD, 1 << 20) == 1 && mallopt(M_TRIM_THRESHOLD, 8 << 20) == 1) {
        return "glibc with fixed thresholds: mapping 1 MiB, trim 8 MiB";
    }
    return "glibc's default (fixing its thresholds failed)";
#else
    (void)keepDefault;
    return "the C library's default";
#endif
}

int main(int argc, char** argv) {
    const bool requireTargets = TakeFlag(&argc, argv, "--require_targets");
    const bool defaultHeap = TakeFlag(&argc, argv, "--default_heap");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    std::cout << "Heap: " << SetHeapPolicy(defaultHeap) << "\n";
    RegisterAll();

    tarnel_bench::RatioReporter reporter(
        BASELINE_NAME, {{"PageDecode/", PAGE_DECODE_TARGET}, {"WholeCycle/", WHOLE_CYCLE_TARGET}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!reporter.AllRan()) return 1;
    return requireTargets && !reporter.TargetsMet() ? 1 : 0;
}
