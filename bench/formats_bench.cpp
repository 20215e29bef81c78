// The formats beyond the twenty layouts: each format's decode through the
// C library (decoder reused, into the caller's buffer) against the cost of
// writing its output, allocating a block of the picture's size and copying
// that many bytes into it. After the run each decode is stated as a multiple
// of its own copy.
//
//   tarnel_formats_bench [Google Benchmark flags] [--require_targets]
//
// Exits with status 1 when a benchmark stops with an error and, with
// --require_targets, also when a decode takes above 10 times its copy.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "authoring/format_samples.h"
#include "tarnel/tarnel.h"

namespace {

constexpr double DECODE_TARGET = 10;

struct Input {
    std::string name;  // the sample's file name: its extension is the hint
    std::vector<uint8_t> bytes;
    size_t outputBytes = 0;
    size_t stride = 0;
    std::vector<uint8_t> companion;  // a .scr's .col
};

// Character screens draw with the made-up character ROM, as given by a caller.
const std::vector<uint8_t> CHARGEN = tarnel_tools::MadeUpChargen();

// The largest sample of each format.
std::vector<Input> Inputs() {
    std::map<int, Input> largest;
    std::vector<tarnel_tools::FormatSample> samples = tarnel_tools::MakeFormatSamples();
    for (tarnel_tools::FormatSample& sample : tarnel_tools::MakePetsciiSamples()) {
        samples.push_back(std::move(sample));
    }
    for (const tarnel_tools::FormatSample& sample : samples) {
        const size_t bytes = size_t{sample.width} * sample.height * 3;
        Input& input = largest[sample.code];
        if (bytes <= input.outputBytes) continue;
        input = {sample.fileName, sample.bytes, bytes, size_t{sample.width} * 3, sample.companion};
    }
    std::vector<Input> inputs;
    for (auto& entry : largest) inputs.push_back(entry.second);
    return inputs;
}

void Copy(benchmark::State& state, const Input& input) {
    const std::vector<uint8_t> source(input.outputBytes, 0x5A);
    for (auto _ : state) {
        void* block = std::malloc(input.outputBytes);
        if (block == nullptr) {
            state.SkipWithError("out of memory");
            break;
        }
        std::memcpy(block, source.data(), input.outputBytes);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        std::free(block);
    }
}

void Decode(benchmark::State& state, const Input& input) {
    tarnel_decoder* decoder = tarnel_decoder_new();
    std::vector<uint8_t> pixels(input.outputBytes);
    tarnel_decode_options options;
    tarnel_decode_options_init(&options);
    options.file_name = input.name.c_str();
    options.charset = CHARGEN.data();
    options.charset_size = CHARGEN.size();
    if (!input.companion.empty()) {
        options.companion = input.companion.data();
        options.companion_size = input.companion.size();
    }
    for (auto _ : state) {
        if (tarnel_decode_ex(decoder, input.bytes.data(), input.bytes.size(), &options,
                             pixels.data(), input.stride, nullptr) != TARNEL_OK) {
            state.SkipWithError("the sample does not decode");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    tarnel_decoder_free(decoder);
}

// Keeps each benchmark's best time and, at the end, states every
// Decode/NAME as a multiple of Copy/NAME.
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                ++errors_;
                continue;
            }
            const double seconds = run.GetAdjustedCPUTime();
            const std::string name = run.benchmark_name();
            auto found = best_.find(name);
            if (found == best_.end() || seconds < found->second) best_[name] = seconds;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-40s %12s\n", "decode as a multiple of its copy", "x_copy");
        for (const auto& [name, seconds] : best_) {
            if (name.rfind("Decode/", 0) != 0) continue;
            const auto copy = best_.find("Copy/" + name.substr(7));
            if (copy == best_.end() || copy->second <= 0) continue;
            const double ratio = seconds / copy->second;
            const bool met = ratio <= DECODE_TARGET;
            targetsMet_ = targetsMet_ && met;
            std::printf("%-40s %12.2f%s\n", name.c_str(), ratio, met ? "" : "  above the target");
        }
    }
    bool TargetsMet() const { return targetsMet_; }
    bool AllRan() const { return errors_ == 0; }

private:
    std::map<std::string, double> best_;
    bool targetsMet_ = true;
    int errors_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    bool requireTargets = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--require_targets") == 0) {
            requireTargets = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    static const std::vector<Input> inputs = Inputs();
    for (const Input& input : inputs) {
        benchmark::RegisterBenchmark(("Copy/" + input.name).c_str(), Copy, input);
        benchmark::RegisterBenchmark(("Decode/" + input.name).c_str(), Decode, input);
    }
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!reporter.AllRan()) return 1;
    return requireTargets && !reporter.TargetsMet() ? 1 : 0;
}
