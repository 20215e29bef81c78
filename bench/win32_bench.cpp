// The Windows module's speed as the viewer meets it: the built tarnel.apl
// loaded with LoadLibrary and driven through its exports, each figure a
// multiple of a baseline measured in the same process: allocating a block
// of the decoded page's size (192,040 bytes) with malloc and copying that
// many bytes into it. A plain timing program, since Google Benchmark is not
// built for Windows here.
//
//   tarnel_win32_bench [--repetitions N] [--filter TEXT] [--require_targets] [--smoke]
//
// Each benchmark runs in batches of at least BATCH_SECONDS; the figure is the
// lowest time per iteration over the batches (wall time from the performance
// counter: the lowest of several batches is the one least disturbed by other
// processes). Under qemu's user-mode emulation (TARNEL_EMULATED set, as
// scripts/test.sh does there) it says that its figures were emulated.
// --smoke runs every benchmark once, without timing, to prove that the
// module loads and every input opens and decodes. Exit status 1
// when something fails and, with --require_targets, when a page decode takes
// more than 5 times the baseline or a whole cycle more than 6 times.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_inputs.h"
#include "core/identify.h"
#include "core/layouts.h"
#include "plugin/tarnel_api.h"

#ifndef TARNEL_MODULE_PATH
#error "TARNEL_MODULE_PATH must name the built tarnel.apl"
#endif

namespace {

using tarnel::FormatCode;

constexpr double BATCH_SECONDS = 0.02;
constexpr double PAGE_DECODE_TARGET = 5;
constexpr double WHOLE_CYCLE_TARGET = 6;

using OpenImageFn = int32_t(WINAPI*)(const HostImageSource* source, TarnelImage* image);
using PageDecodeFn = int32_t(WINAPI*)(TarnelImage image, int32_t page, PageBitmap* bitmap);
using CloseImageFn = int32_t(WINAPI*)(TarnelImage image);

struct Module {
    OpenImageFn open = nullptr;
    PageDecodeFn decode = nullptr;
    CloseImageFn close = nullptr;
};

template <typename F>
F Export(HMODULE module, const char* name) {
    F f;
    FARPROC address = GetProcAddress(module, name);
    static_assert(sizeof f == sizeof address, "function pointers");
    std::memcpy(&f, &address, sizeof f);
    return f;
}

bool LoadModule(Module* m) {
    std::string path = TARNEL_MODULE_PATH;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) c = c == '/' ? '\\' : c;
    const HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
        return false;
    }
    m->open = Export<OpenImageFn>(handle, "IDP_OpenImage");
    m->decode = Export<PageDecodeFn>(handle, "IDP_PageDecode");
    m->close = Export<CloseImageFn>(handle, "IDP_CloseImage");
    return m->open != nullptr && m->decode != nullptr && m->close != nullptr;
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One iteration of a benchmark; false when the module failed.
using Iteration = std::function<bool()>;

struct Options {
    int repetitions = 5;
    std::string filter;
    bool requireTargets = false;
    bool smoke = false;
};

// The lowest seconds per iteration over the batches, or a negative number
// when an iteration failed.
double Measure(const Iteration& iteration, const Options& options) {
    if (!iteration()) return -1;  // warm-up, and the check of the first run
    if (options.smoke) return 0;
    long count = 1;
    for (;;) {
        const double start = Now();
        for (long i = 0; i < count; ++i) {
            if (!iteration()) return -1;
        }
        if (Now() - start >= BATCH_SECONDS) break;
        count *= 2;
    }
    double best = 1e30;
    for (int r = 0; r < options.repetitions; ++r) {
        const double start = Now();
        for (long i = 0; i < count; ++i) {
            if (!iteration()) return -1;
        }
        const double perIteration = (Now() - start) / static_cast<double>(count);
        if (perIteration < best) best = perIteration;
    }
    return best;
}

void* volatile sink;

bool AllocateAndCopyBlock(const std::vector<uint8_t>& source) {
    void* block = std::malloc(TARNEL_BITMAP_BLOCK_BYTES);
    if (block == nullptr) return false;
    std::memcpy(block, source.data(), TARNEL_BITMAP_BLOCK_BYTES);
    sink = block;
    std::free(sink);
    return true;
}

bool WholeCycle(const Module& m, const HostImageSource& source) {
    TarnelImage image = nullptr;
    if (m.open(&source, &image) != RESULT_OK) return false;
    PageBitmap bitmap{};
    const int32_t decoded = m.decode(image, 0, &bitmap);
    if (decoded == RESULT_OK) GlobalFree(bitmap.bitmap);
    m.close(image);
    return decoded == RESULT_OK;
}

bool PageDecode(const Module& m, TarnelImage image) {
    PageBitmap bitmap{};
    if (m.decode(image, 0, &bitmap) != RESULT_OK) return false;
    GlobalFree(bitmap.bitmap);
    return true;
}

struct PictureKind {
    const char* name;
    std::vector<uint8_t> (*file)(FormatCode code);
};
const PictureKind PICTURE_KINDS[] = {
    {"Random", tarnel_bench::PictureFile},
    {"Art", tarnel_bench::ArtFile},
};

struct Result {
    std::string name;
    double seconds;
    double target;  // 0: none
};

class Runner {
public:
    explicit Runner(const Options& options) : options_(options) {}

    void Run(const std::string& name, double target, const Iteration& iteration) {
        if (!options_.filter.empty() && name != BASELINE &&
            name.find(options_.filter) == std::string::npos) {
            return;
        }
        const double seconds = Measure(iteration, options_);
        if (seconds < 0) {
            std::printf("%-32s FAILED\n", name.c_str());
            failures_ += 1;
            return;
        }
        if (!options_.smoke) std::printf("%-32s %10.2f us\n", name.c_str(), seconds * 1e6);
        std::fflush(stdout);
        results_.push_back(Result{name, seconds, target});
    }

    // Calls `run` with the name `group`/Kind/CodeNN and the file of every
    // kind and code, once each file is checked to be of its code.
    void RunPerPicture(
        const std::string& group,
        const std::function<void(const std::string&, const std::vector<uint8_t>&)>& run) {
        for (const PictureKind& kind : PICTURE_KINDS) {
            for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
                const std::string name =
                    group + "/" + kind.name + "/" + tarnel_bench::CodeName(layout.code);
                const std::vector<uint8_t> file = kind.file(layout.code);
                if (file.empty() || file.size() > tarnel::MAX_FILE_BYTES ||
                    tarnel::Identify(tarnel_bench::View(file)).code != layout.code) {
                    std::printf("%-32s FAILED: the input is not a file of its code\n",
                                name.c_str());
                    failures_ += 1;
                    continue;
                }
                run(name, file);
            }
        }
    }

    // Prints the ratios; returns false when a target was missed.
    bool Report() const {
        if (options_.smoke) {
            std::printf("%zu benchmarks ran once, %d failed.\n", results_.size(), failures_);
            return true;
        }
        double baseline = 0;
        for (const Result& r : results_) {
            if (r.name == BASELINE) baseline = r.seconds;
        }
        if (baseline <= 0) return false;
        std::printf(
            "\nEach benchmark as a multiple of the baseline %s (%.2f us), from the lowest\n"
            "time per iteration over %d batches:\n",
            BASELINE, baseline * 1e6, options_.repetitions);
        int missed = 0;
        for (const Result& r : results_) {
            const double ratio = r.seconds / baseline;
            std::printf("  %-32s %10.2f us %8.2f x", r.name.c_str(), r.seconds * 1e6, ratio);
            if (r.target > 0) {
                const bool met = ratio <= r.target;
                std::printf("   target %.0f x: %s", r.target, met ? "met" : "MISSED");
                if (!met) missed += 1;
            }
            std::printf("\n");
        }
        if (missed == 0) {
            std::printf("Targets: all met.\n");
        } else {
            std::printf("Targets missed by %d benchmark(s).\n", missed);
        }
        return missed == 0;
    }

    int Failures() const { return failures_; }

    static constexpr const char* BASELINE = "Baseline/AllocateAndCopyBlock";

private:
    const Options& options_;
    std::vector<Result> results_;
    int failures_ = 0;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repetitions" && i + 1 < argc) {
            options->repetitions = std::atoi(argv[++i]);
            if (options->repetitions < 1) return false;
        } else if (arg == "--filter" && i + 1 < argc) {
            options->filter = argv[++i];
        } else if (arg == "--require_targets") {
            options->requireTargets = true;
        } else if (arg == "--smoke") {
            options->smoke = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: tarnel_win32_bench [--repetitions N] [--filter TEXT] "
                     "[--require_targets] [--smoke]\n");
        return 2;
    }
    Module module;
    if (!LoadModule(&module)) return 1;
    std::printf("Heap: the process heap (GlobalAlloc) and the C runtime's malloc\n");
    // scripts/test.sh sets TARNEL_EMULATED when the kernel cannot run 32-bit
    // programs and qemu translates every instruction: then the figures are
    // the emulator's, not the module's.
    const char* emulated = std::getenv("TARNEL_EMULATED");
    if (emulated != nullptr && *emulated != '\0' && std::strcmp(emulated, "0") != 0) {
        std::printf(
            "EMULATED: this process runs under qemu's user-mode emulation (TARNEL_EMULATED is "
            "set); its timings and ratios measure the emulator and mean nothing.\n");
    }
    Runner runner(options);

    const std::vector<uint8_t> source(TARNEL_BITMAP_BLOCK_BYTES, 0x5A);
    runner.Run(Runner::BASELINE, 0, [&] { return AllocateAndCopyBlock(source); });
    runner.RunPerPicture("PageDecode", [&](const std::string& name,
                                           const std::vector<uint8_t>& file) {
        const HostImageSource src = tarnel_bench::MemorySource(file);
        TarnelImage image = nullptr;
        const bool opened = module.open(&src, &image) == RESULT_OK;
        runner.Run(name, PAGE_DECODE_TARGET, [&] { return opened && PageDecode(module, image); });
        if (opened) module.close(image);
    });
    runner.RunPerPicture(
        "WholeCycle", [&](const std::string& name, const std::vector<uint8_t>& file) {
            const HostImageSource src = tarnel_bench::MemorySource(file);
            runner.Run(name, WHOLE_CYCLE_TARGET, [&] { return WholeCycle(module, src); });
        });

    const bool met = runner.Report();
    if (runner.Failures() > 0) {
        std::printf("%d benchmark(s) failed.\n", runner.Failures());
        return 1;
    }
    return options.requireTargets && !met ? 1 : 0;
}
