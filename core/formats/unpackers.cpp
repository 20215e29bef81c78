#include "core/formats/unpackers.h"

#include <algorithm>
#include <cstring>

namespace tarnel::unpackers {

namespace {

// The literals from `at` up to the next `escape`, at most `room` of them,
// copied to `out` (when not null); returns how many.
uint32_t CopyLiterals(ByteView file, uint32_t at, uint8_t escape, uint8_t* out, uint32_t room) {
    const uint32_t span = std::min(file.size - at, room);
    const uint8_t* from = file.data + at;
    const void* found = std::memchr(from, escape, span);
    const uint32_t count =
        found != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(found) - from) : span;
    if (out != nullptr) std::memcpy(out, from, count);
    return count;
}

void Repeat(uint8_t* out, uint8_t value, uint32_t count) {
    if (out != nullptr) std::memset(out, value, count);
}

void Copy(uint8_t* out, const uint8_t* from, uint32_t count) {
    if (out != nullptr) std::memcpy(out, from, count);
}

uint8_t* At(uint8_t* out, uint32_t offset) {
    return out != nullptr ? out + offset : nullptr;
}

}  // namespace

uint32_t EscapeRuns::Fill(uint8_t* out, uint32_t size, uint8_t escape) {
    uint32_t written = std::min(owed_, size);
    Repeat(out, value_, written);
    owed_ -= written;
    while (written < size && at_ < file_.size) {
        if (file_[at_] != escape) {
            const uint32_t literals =
                CopyLiterals(file_, at_, escape, At(out, written), size - written);
            written += literals;
            at_ += literals;
            continue;
        }
        if (!file_.Holds(at_, 3)) break;  // a run cut by the file's end
        uint32_t count = file_[at_ + 1];
        if (count == 0) count = zero_ == ZeroCount::Is256 ? 256 : 0;
        value_ = file_[at_ + 2];
        at_ += 3;
        const uint32_t fits = std::min(count, size - written);
        Repeat(At(out, written), value_, fits);
        written += fits;
        owed_ = count - fits;
    }
    return written;
}

bool EscapeRuns::Take(uint8_t* byte) {
    if (at_ >= file_.size) return false;
    *byte = file_[at_++];
    return true;
}

uint32_t UnpackEscapeRuns(ByteView file, uint32_t start, uint8_t escape, ZeroCount zero,
                          uint8_t* out, uint32_t size) {
    EscapeRuns runs(file, start, zero);
    return runs.Fill(out, size, escape);
}

uint32_t UnpackKoalaRuns(ByteView file, uint32_t start, uint8_t* out, uint32_t size) {
    constexpr uint8_t ESCAPE = 0xFE;
    uint32_t at = start;
    uint32_t written = 0;
    while (written < size && at < file.size) {
        if (file[at] != ESCAPE) {
            const uint32_t literals =
                CopyLiterals(file, at, ESCAPE, At(out, written), size - written);
            written += literals;
            at += literals;
            continue;
        }
        if (!file.Holds(at, 3)) break;
        const uint32_t count = std::min<uint32_t>(file[at + 2], size - written);
        Repeat(At(out, written), file[at + 1], count);
        written += count;
        at += 3;
    }
    return written;
}

uint32_t UnpackBackwardRuns(ByteView file, uint32_t low, uint32_t end, uint8_t escape, uint8_t* out,
                            uint32_t size) {
    if (end > file.size) end = file.size;
    // Bytes [low, next) are still to read, the next one at next - 1; the
    // buffer's bytes [0, high) are still to write, the next one at high - 1.
    uint32_t next = end;
    uint32_t high = size;
    while (high > 0 && next > low) {
        if (file[next - 1] != escape) {
            // A stretch of literals read downwards lands downwards: it keeps
            // its order.
            uint32_t literals = 1;
            const uint32_t most = std::min(next - low, high);
            while (literals < most && file[next - 1 - literals] != escape) ++literals;
            Copy(At(out, high - literals), file.data + next - literals, literals);
            high -= literals;
            next -= literals;
            continue;
        }
        if (next - low < 3) break;  // the count or value would lie below `low`
        uint32_t count = file[next - 2];
        if (count == 0) count = 256;
        const uint8_t value = file[next - 3];
        next -= 3;
        count = std::min(count, high);
        Repeat(At(out, high - count), value, count);
        high -= count;
    }
    return size - high;
}

uint32_t UnpackBdp4(ByteView file, uint32_t start, uint8_t* out, uint32_t size) {
    uint32_t at = start;
    uint32_t written = 0;
    while (written < size && file.Holds(at, 3)) {
        const uint8_t command = file[at];
        if (command == 0xFF) {
            uint32_t count = file[at + 1];
            if (count == 0) count = 256;
            count = std::min(count, size - written);
            Repeat(At(out, written), file[at + 2], count);
            written += count;
            at += 3;
        } else if (command == 0xFE) {
            const uint32_t wanted = file[at + 1] | file[at + 2] << 8;
            at += 3;
            const uint32_t count = std::min({wanted, file.size - at, size - written});
            Copy(At(out, written), file.data + at, count);
            written += count;
            at += count;
            if (count < wanted) break;  // the file or the buffer ends within them
        } else {
            break;  // no such command: the stream is broken
        }
    }
    return written;
}

uint32_t UnpackBdp5(ByteView file, uint32_t start, uint8_t e1, uint8_t e2, uint8_t* out,
                    uint32_t size) {
    uint32_t at = start;
    uint32_t written = 0;
    while (written < size && at < file.size) {
        const uint8_t command = file[at];
        uint32_t count;
        uint8_t value;
        if (command == e2) {
            if (!file.Holds(at, 4)) break;
            count = file[at + 1] | file[at + 2] << 8;
            value = file[at + 3];
            at += 4;
        } else if (command == e1) {
            if (!file.Holds(at, 3)) break;
            count = file[at + 1] == 0 ? 256u : file[at + 1];
            value = file[at + 2];
            at += 3;
        } else {
            if (out != nullptr) out[written] = command;
            written += 1;
            at += 1;
            continue;
        }
        count = std::min(count, size - written);
        Repeat(At(out, written), value, count);
        written += count;
    }
    return written;
}

uint32_t UnpackMicroIllustrator(ByteView file, uint32_t start, uint8_t* out, uint32_t size) {
    uint32_t at = start;
    uint32_t written = 0;
    while (written < size && at < file.size) {
        const uint8_t command = file[at++];
        uint32_t count = command & 0x7F;
        if (count == 0) {
            if (!file.Holds(at, 2)) break;
            count = file[at] << 8 | file[at + 1];
            at += 2;
        }
        if (command < 0x80) {
            if (at >= file.size) break;
            const uint8_t value = file[at++];
            count = std::min(count, size - written);
            Repeat(At(out, written), value, count);
            written += count;
            continue;
        }
        const uint32_t copied = std::min({count, file.size - at, size - written});
        Copy(At(out, written), file.data + at, copied);
        written += copied;
        at += copied;
        if (copied < count) break;
    }
    return written;
}

uint32_t UnpackCountPlusOne(ByteView file, uint32_t start, uint8_t escape, uint8_t* out,
                            uint32_t size, uint32_t* next) {
    uint32_t at = start;
    uint32_t written = 0;
    while (written < size && at < file.size) {
        if (file[at] != escape) {
            const uint32_t literals =
                CopyLiterals(file, at, escape, At(out, written), size - written);
            written += literals;
            at += literals;
            continue;
        }
        if (!file.Holds(at, 3)) break;
        const uint32_t count = std::min<uint32_t>(file[at + 1] + 1u, size - written);
        Repeat(At(out, written), file[at + 2], count);
        written += count;
        at += 3;
    }
    if (next != nullptr) *next = at;
    return written;
}

uint32_t UnpackVhi(ByteView file, uint32_t start, uint8_t* out, uint32_t size) {
    uint32_t at = start;
    uint32_t written = 0;
    while (written < size && file.Holds(at, 2)) {
        const uint8_t command = file[at];
        const uint32_t count = file[at + 1] == 0 ? 256u : file[at + 1];
        at += 2;
        if (command == 0x00) {
            const uint32_t copied = std::min({count, file.size - at, size - written});
            Copy(At(out, written), file.data + at, copied);
            written += copied;
            at += copied;
            if (copied < count) break;
        } else if (command == 0x01) {
            if (at >= file.size) break;
            const uint32_t fits = std::min(count, size - written);
            Repeat(At(out, written), file[at], fits);
            written += fits;
            at += 1;
        } else {
            break;  // no such command: the stream is broken
        }
    }
    return written;
}

uint32_t UnpackCommandRuns(ByteView file, uint32_t start, uint8_t* out, uint32_t size) {
    uint32_t at = start;
    uint32_t written = 0;
    while (written < size && at < file.size) {
        const uint8_t command = file[at++];
        if (command < 0x80) {
            const uint32_t copied = std::min({uint32_t{command}, file.size - at, size - written});
            Copy(At(out, written), file.data + at, copied);
            written += copied;
            at += copied;
            if (copied < command) break;
            continue;
        }
        if (at >= file.size) break;
        const uint32_t count = std::min<uint32_t>(command - 0x80u, size - written);
        Repeat(At(out, written), file[at++], count);
        written += count;
    }
    return written;
}

uint32_t UnpackTruePaint(ByteView file, uint8_t* out, uint32_t size) {
    constexpr uint32_t LOW = 2;
    constexpr uint32_t RUN_VALUE = 79;
    constexpr uint32_t ACTIONS = 120;
    constexpr uint32_t KEYS = 129;
    constexpr uint32_t PAIR_VALUES = 133;
    constexpr uint32_t KEY_COUNT = 9;
    if (file.size < TRUE_PAINT_TABLE_END) return 0;
    // Each byte value's action, the highest key first as the table is read.
    constexpr uint32_t LITERAL = 0x100;
    uint32_t action[256];
    uint8_t pairValue[256] = {};
    for (uint32_t& a : action) a = LITERAL;
    for (uint32_t e = 0; e < KEY_COUNT; ++e) {
        const uint8_t key = file[KEYS + e];  // a higher key of equal value wins
        action[key] = file[ACTIONS + e];
        pairValue[key] = file[PAIR_VALUES + e];
    }
    uint32_t next = file.size;  // bytes [LOW, next) are still to read
    uint32_t high = size;       // buffer bytes [0, high) are still to write
    auto run = [&](uint32_t count, uint8_t value) {
        count = std::min(count, high);
        Repeat(At(out, high - count), value, count);
        high -= count;
    };
    while (high > 0 && next > LOW) {
        const uint8_t b = file[--next];
        switch (action[b]) {
            case 0:
                run(2, pairValue[b]);
                break;
            case 7:
                if (next <= LOW) return size - high;
                run(2u + file[--next], file[RUN_VALUE]);
                break;
            case 11:
                run(3, file[RUN_VALUE]);
                break;
            case 17: {
                if (next - LOW < 2) return size - high;
                const uint32_t count = 2u + file[--next];
                run(count, file[--next]);
                break;
            }
            case 23:
                if (next <= LOW) return size - high;
                run(3, file[--next]);
                break;
            case 25:
                if (next <= LOW) return size - high;
                run(1, file[--next]);
                break;
            default:
                run(1, b);
                break;
        }
    }
    return size - high;
}

}  // namespace tarnel::unpackers
