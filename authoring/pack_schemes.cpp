#include "authoring/pack_schemes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tarnel_tools {
namespace {

using Bytes = std::vector<uint8_t>;

// Runs shorter than this are cheaper as literals in the escape streams.
constexpr uint32_t SHORTEST_RUN = 4;

uint32_t RunLength(const Bytes& data, size_t at, uint32_t limit) {
    uint32_t n = 1;
    while (n < limit && at + n < data.size() && data[at + n] == data[at]) ++n;
    return n;
}

uint8_t Low(uint32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}
uint8_t High(uint32_t value) {
    return static_cast<uint8_t>(value >> 8 & 0xFF);
}

// Where the n-th of `count` empty runs goes: spread through `size` bytes of
// data, the first at its start.
size_t EmptyRunAt(uint32_t n, uint32_t count, size_t size) {
    return count == 0 ? size : size * n / count;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "pack_schemes: %s\n", what);
    std::abort();
}

}  // namespace

Bytes PackKoalaRuns(const Bytes& data, uint32_t emptyRuns) {
    constexpr uint8_t ESCAPE = 0xFE;
    Bytes out;
    uint32_t emptied = 0;
    size_t i = 0;
    while (i < data.size()) {
        if (emptied < emptyRuns && i >= EmptyRunAt(emptied, emptyRuns, data.size())) {
            out.insert(out.end(), {ESCAPE, Low(0x55 + emptied), 0});
            ++emptied;
            continue;
        }
        const uint8_t value = data[i];
        const uint32_t length = RunLength(data, i, 255);
        if (length >= SHORTEST_RUN || value == ESCAPE) {
            out.insert(out.end(), {ESCAPE, value, Low(length)});
            i += length;
        } else {
            out.push_back(value);
            i += 1;
        }
    }
    return out;
}

Bytes PackEscapeRuns(const Bytes& data, const EscapeRunsOptions& options) {
    const uint32_t longest = options.zeroIs256 ? 256 : 255;
    const uint32_t emptyRuns = options.zeroIs256 ? 0 : options.emptyRuns;
    uint32_t literalsAsRuns = options.literalsAsRuns;
    bool split = options.splitFirstRun;
    uint32_t emptied = 0;
    size_t between = 0;
    Bytes out;
    auto run = [&](uint8_t escape, uint32_t length, uint8_t value) {
        out.insert(out.end(), {escape, Low(length), value});  // 256 stored as 0
    };
    size_t i = 0;
    while (i < data.size()) {
        const uint8_t escape = options.escapeAt(static_cast<uint32_t>(i));
        if (emptied < emptyRuns && i >= EmptyRunAt(emptied, emptyRuns, data.size())) {
            run(escape, 0, Low(0x33 + emptied));
            ++emptied;
            continue;
        }
        const uint8_t value = data[i];
        const uint32_t length = RunLength(data, i, longest);
        if (split && length >= 2) {
            run(escape, length / 2, value);
            run(escape, length - length / 2, value);
            split = false;
            i += length;
        } else if (length >= SHORTEST_RUN || value == escape) {
            run(escape, length, value);
            i += length;
        } else if (literalsAsRuns > 0) {
            run(escape, 1, value);
            --literalsAsRuns;
            i += 1;
        } else {
            out.push_back(value);
            i += 1;
        }
        while (between < options.between.size() && i >= options.between[between].first) {
            out.push_back(options.between[between].second);
            ++between;
        }
    }
    return out;
}

Bytes PackBackwardRuns(const Bytes& data, uint8_t escape, uint32_t overshoot) {
    Bytes out;
    size_t i = 0;
    while (i < data.size()) {
        const uint8_t value = data[i];
        const bool first = i == 0 && overshoot > 0;
        const uint32_t length = RunLength(data, i, first ? 256 - std::min(overshoot, 255u) : 256);
        if (first) {
            if (length < SHORTEST_RUN || length + overshoot > 256) Fail("no run to overshoot");
            out.insert(out.end(), {value, Low(length + overshoot), escape});
            i += length;
        } else if (length >= SHORTEST_RUN || value == escape) {
            out.insert(out.end(), {value, Low(length), escape});  // 256 stored as 0
            i += length;
        } else {
            out.push_back(value);
            i += 1;
        }
    }
    return out;
}

Bytes PackBdp4(const Bytes& data) {
    Bytes out = {0xFE, 0, 0};  // a block of no literals
    Bytes literals;
    auto flush = [&] {
        if (literals.empty()) return;
        out.insert(out.end(),
                   {0xFE, Low(uint32_t(literals.size())), High(uint32_t(literals.size()))});
        out.insert(out.end(), literals.begin(), literals.end());
        literals.clear();
    };
    size_t i = 0;
    while (i < data.size()) {
        const uint32_t length = RunLength(data, i, 256);
        if (length >= SHORTEST_RUN) {
            flush();
            out.insert(out.end(), {0xFF, Low(length), data[i]});  // 256 stored as 0
            i += length;
        } else {
            literals.push_back(data[i]);
            i += 1;
        }
    }
    flush();
    return out;
}

Bytes PackBdp5(const Bytes& data, uint8_t e1, uint8_t e2) {
    Bytes out = {e2, 0, 0, 0x77};  // a run of nothing
    size_t i = 0;
    while (i < data.size()) {
        const uint8_t value = data[i];
        const uint32_t length = RunLength(data, i, 0xFFFF);
        if (length > 256) {
            out.insert(out.end(), {e2, Low(length), High(length), value});
            i += length;
        } else if (length >= SHORTEST_RUN || value == e1 || value == e2) {
            out.insert(out.end(), {e1, Low(length), value});  // 256 stored as 0
            i += length;
        } else {
            out.push_back(value);
            i += 1;
        }
    }
    return out;
}

Bytes PackMicroIllustrator(const Bytes& data) {
    constexpr uint32_t SHORTEST = 3;
    constexpr uint32_t LONGEST = 0xFFFF;
    bool wideRun = true;
    bool wideBlock = true;
    Bytes out;
    Bytes literals;
    auto flush = [&] {
        for (size_t at = 0; at < literals.size();) {
            const uint32_t n = uint32_t(std::min<size_t>(literals.size() - at, LONGEST));
            if (n >= 128 || wideBlock) {
                out.insert(out.end(), {0x80, High(n), Low(n)});
                wideBlock = false;
            } else {
                out.push_back(Low(0x80 + n));
            }
            out.insert(out.end(), literals.begin() + long(at), literals.begin() + long(at + n));
            at += n;
        }
        literals.clear();
    };
    size_t i = 0;
    while (i < data.size()) {
        const uint32_t length = RunLength(data, i, LONGEST);
        if (length < SHORTEST) {
            literals.push_back(data[i]);
            i += 1;
            continue;
        }
        flush();
        if (length >= 128 || wideRun) {
            out.insert(out.end(), {0x00, High(length), Low(length), data[i]});
            wideRun = false;
        } else {
            out.insert(out.end(), {Low(length), data[i]});
        }
        i += length;
    }
    flush();
    return out;
}

}  // namespace tarnel_tools
