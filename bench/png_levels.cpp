// tarnel_png_levels: what each zlib compression level costs and gives when
// the converter writes the twenty sample pictures as PNG, against decoding
// them. The pictures are the converter's own samples, decoded through the
// module's exports and turned into RGB rows by the converter's code; each is
// then encoded into memory exactly as the converter writes it (8-bit RGB, no
// interlacing, libpng's default filters), at every level from 0 to 9.
//
//   tarnel_png_levels [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "authoring/sample_pictures.h"
#include "bench/bench_inputs.h"
#include "imageio/image_io.h"

namespace {

using tarnel_tools::RgbImage;

struct Sample {
    std::vector<uint8_t> file;
    RgbImage rgb;
};

// The twenty samples decoded once; empty when any fails.
const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = [] {
        std::vector<Sample> all;
        for (const tarnel_tools::SamplePicture& picture : tarnel_tools::MakeAllSamples()) {
            Sample sample;
            sample.file = picture.bytes;
            const HostImageSource source = tarnel_bench::MemorySource(sample.file);
            TarnelImage image = nullptr;
            if (IDP_OpenImage(&source, &image) != RESULT_OK) return std::vector<Sample>{};
            PageBitmap bitmap{};
            const int32_t decoded = IDP_PageDecode(image, 0, &bitmap);
            IDP_CloseImage(image);
            if (decoded != RESULT_OK) return std::vector<Sample>{};
            const auto* bytes = static_cast<const uint8_t*>(GlobalLock(bitmap.bitmap));
            const std::vector<uint8_t> block(bytes, bytes + TARNEL_BITMAP_BLOCK_BYTES);
            GlobalUnlock(bitmap.bitmap);
            GlobalFree(bitmap.bitmap);
            std::string why;
            if (!tarnel_tools::DibToRgb(block, &sample.rgb, &why)) return std::vector<Sample>{};
            all.push_back(std::move(sample));
        }
        return all;
    }();
    return samples;
}

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

[[noreturn]] void Fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// The PNG file of `image` at zlib level `level`, as the converter makes it;
// empty on failure.
std::vector<uint8_t> EncodePng(const RgbImage& image, int level) {
    std::vector<uint8_t> out;
    std::vector<png_bytep> rows(image.height);
    for (uint32_t y = 0; y < image.height; ++y) {
        rows[y] = const_cast<png_bytep>(image.pixels.data()) + size_t{y} * image.width * 3;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, nullptr);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendToVector, NoFlush);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Decoding the twenty samples through the exports and turning each block
// into RGB rows: what the converter does besides encoding and writing files.
void DecodeSamples(benchmark::State& state) {
    const std::vector<Sample>& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("the samples do not decode");
        return;
    }
    for (auto _ : state) {
        for (const Sample& sample : samples) {
            const HostImageSource source = tarnel_bench::MemorySource(sample.file);
            TarnelImage image = nullptr;
            IDP_OpenImage(&source, &image);
            PageBitmap bitmap{};
            IDP_PageDecode(image, 0, &bitmap);
            const auto* bytes = static_cast<const uint8_t*>(bitmap.bitmap);
            const std::vector<uint8_t> block(bytes, bytes + TARNEL_BITMAP_BLOCK_BYTES);
            GlobalFree(bitmap.bitmap);
            IDP_CloseImage(image);
            RgbImage rgb;
            std::string why;
            tarnel_tools::DibToRgb(block, &rgb, &why);
            benchmark::DoNotOptimize(rgb.pixels.data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * samples.size()));
}

// Encoding the twenty samples at one level.
void EncodeSamples(benchmark::State& state) {
    const std::vector<Sample>& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("the samples do not decode");
        return;
    }
    const int level = static_cast<int>(state.range(0));
    size_t totalBytes = 0;
    for (auto _ : state) {
        totalBytes = 0;
        for (const Sample& sample : samples) {
            const std::vector<uint8_t> png = EncodePng(sample.rgb, level);
            if (png.empty()) state.SkipWithError("PNG encoding failed");
            totalBytes += png.size();
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * samples.size()));
    state.counters["bytes_of_20"] = benchmark::Counter(static_cast<double>(totalBytes));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    if (Samples().empty()) {
        std::cerr << "tarnel_png_levels: the sample pictures do not decode\n";
        return 1;
    }
    benchmark::RegisterBenchmark("DecodeToRgb/TwentySamples", DecodeSamples)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("EncodePng/TwentySamples/Level", EncodeSamples)
        ->DenseRange(0, 9)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
