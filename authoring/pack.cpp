#include "authoring/pack.h"

#include <algorithm>
#include <cstring>

#include "core/identify.h"
#include "core/unpack.h"

namespace tarnel {
namespace {

// Runs shorter than this are cheaper as literals (a run costs three bytes),
// unless the value is the escape byte, which can only be stored as a run.
constexpr uint32_t SHORTEST_PACKED_RUN = 4;

// Length of the run of equal bytes starting at `at`, at most `limit`.
uint32_t RunLength(ByteView data, uint32_t at, uint32_t limit) {
    uint32_t n = 1;
    while (n < limit && at + n < data.size && data[at + n] == data[at]) ++n;
    return n;
}

}  // namespace

uint8_t LeastFrequentByte(ByteView data) {
    uint32_t counts[256] = {};
    for (uint32_t i = 0; i < data.size; ++i) counts[data[i]] += 1;
    return static_cast<uint8_t>(std::min_element(counts, counts + 256) - counts);
}

std::vector<uint8_t> PackForwardStream(ByteView data, uint8_t escape, bool startWithRun) {
    std::vector<uint8_t> out;
    out.reserve(data.size + data.size / 8 + 2);
    uint32_t i = 0;
    while (i < data.size) {
        const uint8_t value = data[i];
        const uint32_t length = RunLength(data, i, 255);
        if (length >= SHORTEST_PACKED_RUN || value == escape || (i == 0 && startWithRun)) {
            out.insert(out.end(), {escape, static_cast<uint8_t>(length), value});
            i += length;
        } else {
            out.push_back(value);
            i += 1;
        }
    }
    out.insert(out.end(), {escape, 0});  // end marker
    return out;
}

std::vector<uint8_t> PackBackwardStream(ByteView data, uint8_t escape) {
    // Tokens in file order cover the data in increasing order; a run is
    // stored as value, length, escape so that, read backwards, the escape
    // comes first. Length 256 is stored as 0.
    std::vector<uint8_t> out;
    out.reserve(data.size + data.size / 8);
    uint32_t i = 0;
    while (i < data.size) {
        const uint8_t value = data[i];
        const uint32_t length = RunLength(data, i, 256);
        if (length >= SHORTEST_PACKED_RUN || value == escape) {
            out.insert(out.end(), {value, static_cast<uint8_t>(length & 0xFF), escape});
            i += length;
        } else {
            out.push_back(value);
            i += 1;
        }
    }
    return out;
}

std::vector<uint8_t> PackFile(FormatCode packedCode, ByteView image) {
    const PackedVariant* variant = FindPackedVariant(packedCode);
    if (variant == nullptr) return {};
    std::vector<uint8_t> file;
    switch (packedCode) {
        case CodeOf(
            Layout::FunpaintPacked): {  // FUNPAINT signature, packing flag, escape byte, stream
            if (image.size < variant->firstOutput) return {};
            const ByteView data{image.data + variant->firstOutput,
                                image.size - variant->firstOutput};
            const uint8_t escape = LeastFrequentByte(data);
            file.assign(FUNPAINT_SIGNATURE, FUNPAINT_SIGNATURE + sizeof FUNPAINT_SIGNATURE);
            file.push_back(1);  // packed
            file.push_back(escape);
            const std::vector<uint8_t> stream = PackForwardStream(data, escape, false);
            file.insert(file.end(), stream.begin(), stream.end());
            return file;
        }
        case CodeOf(Layout::DrazlacePacked): {  // DRAZLACE signature, escape byte, stream
            if (image.size < variant->firstOutput) return {};
            const ByteView data{image.data + variant->firstOutput,
                                image.size - variant->firstOutput};
            const uint8_t escape = LeastFrequentByte(data);
            file.assign(DRAZLACE_SIGNATURE, DRAZLACE_SIGNATURE + sizeof DRAZLACE_SIGNATURE);
            file.push_back(escape);
            const std::vector<uint8_t> stream = PackForwardStream(data, escape, false);
            file.insert(file.end(), stream.begin(), stream.end());
            return file;
        }
        case CodeOf(
            Layout::AmicaPaintPacked): {  // load 00 40, stream beginning with its escape byte
            if (image.size < variant->firstOutput) return {};
            const ByteView data{image.data + variant->firstOutput,
                                image.size - variant->firstOutput};
            const uint8_t escape = LeastFrequentByte(data);
            file = {0x00, 0x40};
            const std::vector<uint8_t> stream = PackForwardStream(data, escape, true);
            file.insert(file.end(), stream.begin(), stream.end());
            if (file.size() >= 12000 || file.size() == 10004) return {};
            return file;
        }
        case CodeOf(Layout::FliGraphPacked): {  // eight header bytes (escape at 2), then the stream
            const ByteView data{image.data + 2, image.size >= 2 ? image.size - 2 : 0};
            const uint8_t escape = LeastFrequentByte(data);
            file.assign(FLI_GRAPH_PACKED_HEADER, FLI_GRAPH_PACKED_HEADER + 8);
            file[2] = escape;
            const std::vector<uint8_t> stream = PackBackwardStream(data, escape);
            file.insert(file.end(), stream.begin(), stream.end());
            return file;
        }
        case CodeOf(Layout::BitmapBackwardPacked): {  // the stream, then its escape byte as the
                                                      // file's last byte
            const uint8_t escape = LeastFrequentByte(image);
            file = PackBackwardStream(image, escape);
            file.push_back(escape);
            // Must not pass as an unpacked bitmap of the same size.
            if (file.size() >= 2 && file[0] == 0x00 && (file[1] == 0x60 || file[1] == 0x5C) &&
                (file.size() == 10003 || file.size() == 9218)) {
                return {};
            }
            return file;
        }
        default:
            return {};
    }
}

}  // namespace tarnel
