#include "bench/bench_inputs.h"

#include <cstring>
#include <random>

#include "formats/layout_files.h"
#include "formats/pack.h"

namespace tarnel_bench {
namespace {

constexpr uint32_t PICTURE_SEED = 20240601;
constexpr uint32_t PROBE_SEED = 36864;
constexpr uint32_t PACKED_SEED = 1001;

// One run starts at about one position in this many; with runs of 4 to 255
// bytes (130 on average) that gives about 40% of the bytes as literals.
constexpr uint32_t RUN_START_ONE_IN = 88;
constexpr uint32_t SHORTEST_RUN = 4;
constexpr uint32_t LONGEST_RUN = 255;

// The lowest offset a variant writes: forward streams write upwards from
// their first output offset, backward streams downwards to this offset.
uint32_t LowestOutput(const tarnel::PackedVariant& variant) {
    return variant.form == tarnel::StreamForm::Forward
               ? variant.firstOutput
               : variant.firstOutput + 1 - variant.maxWritten;
}

std::vector<uint8_t> PictureLikeBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        const uint8_t value = static_cast<uint8_t>(generator() & 0xFF);
        size_t length = 1;
        if (generator() % RUN_START_ONE_IN == 0) {
            length = SHORTEST_RUN + generator() % (LONGEST_RUN - SHORTEST_RUN + 1);
        }
        for (; length > 0 && bytes.size() < count; --length) bytes.push_back(value);
    }
    return bytes;
}

int32_t TARNEL_CDECL GrantWithinFile(uintptr_t userValue, uint32_t needed, uint32_t* available) {
    const auto* file = reinterpret_cast<const std::vector<uint8_t>*>(userValue);
    if (needed > file->size()) return 0;
    *available = static_cast<uint32_t>(file->size());
    return 1;
}

}  // namespace

HostImageSource MemorySource(const std::vector<uint8_t>& file) {
    HostImageSource source{};
    source.data = file.data();
    source.size = static_cast<uint32_t>(file.size());
    source.readCallback = GrantWithinFile;
    source.userValue = reinterpret_cast<uintptr_t>(&file);
    return source;
}

std::vector<uint8_t> PictureFile(tarnel::FormatCode code) {
    std::mt19937 generator(PICTURE_SEED);
    std::vector<uint8_t> memory(tarnel::FILE_BUFFER_BYTES);
    for (uint8_t& b : memory) b = static_cast<uint8_t>(generator() & 0xFF);
    return tarnel::BuildLayoutFile(code, View(memory));
}

std::vector<uint8_t> FullProbeFile() {
    std::mt19937 generator(PROBE_SEED);
    std::vector<uint8_t> file(tarnel::MAX_FILE_BYTES);
    for (uint8_t& b : file) b = static_cast<uint8_t>(generator() % 255);  // never 255
    file[0] = 0x01;  // no load address or header of any layout
    file.back() = 255;
    return file;
}

std::vector<uint8_t> FullOutputPackedFile(const tarnel::PackedVariant& variant,
                                          std::vector<uint8_t>* data) {
    // An image of the unpacked layout whose packed part is exactly the
    // output range: the packer stores image bytes [lowest, end) and the
    // unpacker puts them back at the same offsets.
    const uint32_t lowest = LowestOutput(variant);
    std::vector<uint8_t> image = PictureLikeBytes(lowest + variant.maxWritten, PACKED_SEED);
    data->assign(image.begin() + lowest, image.end());
    return tarnel::PackFile(variant.code, View(image));
}

std::string CheckFillsOutput(const std::vector<uint8_t>& file, const tarnel::PackedVariant& variant,
                             const std::vector<uint8_t>& data) {
    const uint32_t lowest = LowestOutput(variant);
    // Two unpacks over different fillings: a byte left unwritten would keep
    // its filling in one of them and differ from the data there.
    for (const uint8_t filling : {uint8_t{0x00}, uint8_t{0xFF}}) {
        std::vector<uint8_t> out(tarnel::FILE_BUFFER_BYTES, filling);
        tarnel::Unpack(View(file), variant, out.data());
        if (std::memcmp(out.data() + lowest, data.data(), data.size()) != 0) {
            return "the output range does not hold the packed data";
        }
        for (uint32_t i = 0; i < out.size(); ++i) {
            if ((i < lowest || i >= lowest + data.size()) && out[i] != filling) {
                return "a byte outside the output range was written";
            }
        }
    }
    return {};
}

std::string CodeName(tarnel::FormatCode code) {
    const char digits[] = {static_cast<char>('0' + code / 10), static_cast<char>('0' + code % 10),
                           '\0'};
    return std::string("Code") + digits;
}

}  // namespace tarnel_bench
