// Writes the hostile-file corpus and the fuzzers' seed corpora.
//
//   tarnel_make_corpus OUT
//
// OUT/hostile/<name>          every hostile file
// OUT/hostile/EXPECTED.txt    one line per file: name, open result, layout code
// OUT/hostile-formats/<name>  hostile files of the formats beyond the twenty
// OUT/hostile-formats/EXPECTED.txt  name, the C library's result, format code
// OUT/seeds/<target>/<name>   seeds of each fuzz target: files of every
//                             layout drawn from random memory images (the
//                             packed ones made by the packers) and the
//                             hostile files that reach the target's code
//                             (for fuzz_library behind four option bytes)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "authoring/format_samples.h"
#include "core/formats/formats.h"
#include "core/layouts.h"
#include "testing/hostile_corpus.h"
#include "testing/hostile_formats.h"

namespace {

namespace fs = std::filesystem;

bool Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string LayoutName(uint8_t code, uint32_t seed) {
    char name[32];
    std::snprintf(name, sizeof name, "layout-code%02u-seed%u", code, seed);
    return name;
}

// The four option bytes fuzz_library reads before the file: pixel format,
// row padding, palette flag and palette seed, varied with `n`.
void PrefixLibraryOptions(size_t n, std::vector<uint8_t>* bytes) {
    const uint8_t options[4] = {static_cast<uint8_t>(n % 4), static_cast<uint8_t>(n * 7 % 32),
                                static_cast<uint8_t>(n / 4 % 2), static_cast<uint8_t>(n)};
    bytes->insert(bytes->begin(), options, options + 4);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    const std::vector<tarnel_hostile::HostileFile> hostile = tarnel_hostile::HostileCorpus();
    bool ok = true;

    const fs::path hostileDir = out / "hostile";
    fs::create_directories(hostileDir);
    std::ofstream expected(hostileDir / "EXPECTED.txt", std::ios::trunc);
    for (const tarnel_hostile::HostileFile& file : hostile) {
        ok = Write(hostileDir / file.name, file.bytes) && ok;
        expected << file.name << ' ' << file.result << ' ' << int(file.code) << '\n';
    }

    // The other formats' hostile files, named with the extension callers
    // give as the hint.
    const fs::path formatsDir = out / "hostile-formats";
    fs::create_directories(formatsDir);
    std::ofstream formatsExpected(formatsDir / "EXPECTED.txt", std::ios::trunc);
    for (const tarnel_hostile::HostileFormatFile& file : tarnel_hostile::HostileFormatFiles()) {
        ok = Write(formatsDir / file.name, file.bytes) && ok;
        // As the C library gives it: 0, or the refusal's result code.
        using tarnel_hostile::Outcome;
        const int result = file.outcome == Outcome::Opens       ? 0
                           : file.outcome == Outcome::Refused   ? -2
                           : file.outcome == Outcome::NoCharset ? -8
                                                                : -3;
        formatsExpected << file.name << ' ' << result << ' ' << int(file.code) << '\n';
    }
    const uint8_t packedCodes[] = {1, 7, 11, 14, 19};
    std::vector<std::string> targets = {"fuzz_exports", "fuzz_library", "fuzz_identify"};
    for (uint8_t code : packedCodes) targets.push_back("fuzz_unpack" + std::to_string(code));
    size_t seeds = 0;
    for (const std::string& target : targets) {
        const fs::path dir = out / "seeds" / target;
        fs::create_directories(dir);
        const bool unpacker = target.rfind("fuzz_unpack", 0) == 0;
        const int unpackCode = unpacker ? std::stoi(target.substr(11)) : 0;
        for (const tarnel::LayoutInfo& layout : tarnel::LAYOUTS) {
            if (unpacker && layout.code != unpackCode) continue;
            for (uint32_t seed = 1; seed <= (unpacker ? 6u : 2u); ++seed) {
                std::vector<uint8_t> bytes = tarnel_hostile::LayoutFile(layout.code, seed);
                if (bytes.empty()) continue;
                if (target == "fuzz_library") PrefixLibraryOptions(seed + layout.code, &bytes);
                ok = Write(dir / LayoutName(layout.code, seed), bytes) && ok;
                seeds += 1;
            }
        }
        for (const tarnel_hostile::HostileFile& file : hostile) {
            if (unpacker && file.code != unpackCode) continue;
            std::vector<uint8_t> bytes = file.bytes;
            if (target == "fuzz_library") PrefixLibraryOptions(seeds, &bytes);
            ok = Write(dir / file.name, bytes) && ok;
            seeds += 1;
        }
    }
    // The formats' targets: their samples and hostile files behind the
    // option bytes, the second of which for fuzz_format0 picks the format's extension (its
    // index in the format table, after the twenty and Hires Manager).
    std::vector<tarnel_tools::FormatSample> samples = tarnel_tools::MakeFormatSamples();
    for (tarnel_tools::FormatSample& sample : tarnel_tools::MakePetsciiSamples()) {
        samples.push_back(std::move(sample));
    }
    const std::vector<tarnel_hostile::HostileFormatFile> formatFiles =
        tarnel_hostile::HostileFormatFiles();
    std::vector<int> codes = {0};
    for (size_t n = 0; n < tarnel::FormatReaderCount(); ++n) {
        codes.push_back(tarnel::FormatReaderAt(n).code);
    }
    for (int code : codes) {
        const std::string target = "fuzz_format" + std::to_string(code);
        targets.push_back(target);
        const fs::path dir = out / "seeds" / target;
        fs::create_directories(dir);
        auto seed = [&](const std::string& name, uint8_t format, const std::vector<uint8_t>& file,
                        size_t n) {
            if (code != 0 && format != code) return;
            std::vector<uint8_t> bytes(file);
            uint8_t index = 0;  // the twenty and Hires Manager come first in the table
            for (size_t row = 0; row < tarnel::FormatReaderCount(); ++row) {
                if (tarnel::FormatReaderAt(row).code == format)
                    index = static_cast<uint8_t>(21 + row);
            }
            const uint8_t prefix[2] = {static_cast<uint8_t>(n % 8), index};
            bytes.insert(bytes.begin(), prefix, prefix + 2);
            ok = Write(dir / name, bytes) && ok;
            seeds += 1;
        };
        for (size_t n = 0; n < samples.size(); ++n) {
            seed(samples[n].fileName, samples[n].code, samples[n].bytes, n);
        }
        for (size_t n = 0; n < formatFiles.size(); ++n) {
            const tarnel_hostile::HostileFormatFile& file = formatFiles[n];
            seed(file.name, file.code != 0 ? file.code : static_cast<uint8_t>(code), file.bytes, n);
        }
    }
    std::printf("%zu hostile files, %zu seeds for %zu targets in %s\n", hostile.size(), seeds,
                targets.size(), out.string().c_str());
    if (!ok) std::fprintf(stderr, "some files could not be written\n");
    return ok ? 0 : 1;
}
