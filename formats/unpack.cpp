#include "formats/unpack.h"

namespace tarnel {
namespace {

// clang-format off
constexpr PackedVariant PACKED_VARIANTS[] = {
    // code form                  E last  E at  stream  output  most written
    { 1, StreamForm::Forward,  false, 17, 18,  18,     61422},  // unpacks as code 2
    { 7, StreamForm::Forward,  false, 15, 16,  2,      24578},  // unpacks as code 6
    {11, StreamForm::Forward,  false, 2,  2,   2,      24578},  // unpacks as code 20
    {14, StreamForm::Backward, false, 2,  1,   17473,  17472},  // unpacks as code 13
    {19, StreamForm::Backward, true,  0,  2,   10002,  10003},  // unpacks as code 20
};
// clang-format on

// Every variant's output range lies inside the unpack buffer.
constexpr bool OutputRangesFit() {
    for (const PackedVariant& v : PACKED_VARIANTS) {
        if (v.form == StreamForm::Forward && v.firstOutput + v.maxWritten > FILE_BUFFER_BYTES) {
            return false;
        }
        if (v.form == StreamForm::Backward &&
            (v.firstOutput >= FILE_BUFFER_BYTES || v.maxWritten > v.firstOutput + 1)) {
            return false;
        }
    }
    return true;
}
static_assert(OutputRangesFit(), "packed variants write inside the unpack buffer");

bool EscapeByte(ByteView file, const PackedVariant& variant, uint8_t* escape) {
    if (variant.escapeIsLastByte) {
        if (file.size == 0) return false;
        *escape = file[file.size - 1];
        return true;
    }
    if (!file.Holds(variant.escapeOffset)) return false;
    *escape = file[variant.escapeOffset];
    return true;
}

}  // namespace

const PackedVariant* FindPackedVariant(FormatCode code) {
    for (const PackedVariant& variant : PACKED_VARIANTS) {
        if (variant.code == code) return &variant;
    }
    return nullptr;
}

void UnpackForward(ByteView file, const PackedVariant& variant, uint8_t* out) {
    uint8_t escape = 0;
    if (!EscapeByte(file, variant, &escape)) return;  // no stream inside the file
    uint32_t r = variant.streamStart;
    uint8_t* w = out + variant.firstOutput;
    uint32_t room = variant.maxWritten;
    while (r < file.size && room > 0) {
        uint8_t value = file[r];
        uint32_t length = 1;
        if (value != escape) {
            r += 1;
        } else {
            if (r + 1 >= file.size) break;
            length = file[r + 1];
            if (length == 0) break;  // end marker
            if (r + 2 >= file.size) break;
            value = file[r + 2];
            r += 3;
        }
        if (length > room) length = room;  // cut at the output maximum
        for (uint32_t i = 0; i < length; ++i) w[i] = value;
        w += length;
        room -= length;
    }
}

void UnpackBackward(ByteView file, const PackedVariant& variant, uint8_t* out) {
    uint8_t escape = 0;
    if (!EscapeByte(file, variant, &escape)) return;
    if (file.size < variant.streamStart) return;  // the stream holds no byte
    // Bytes [0, remaining) are still unread; the next one read is remaining-1.
    uint32_t remaining = file.size - variant.streamStart + 1;
    uint32_t w = variant.firstOutput;  // next output offset, written downwards
    uint32_t room = variant.maxWritten;
    while (remaining > 0 && room > 0) {
        const uint32_t r = remaining - 1;
        uint8_t value = file[r];
        uint32_t length = 1;
        if (value != escape) {
            remaining -= 1;
        } else {
            if (r < 2) break;  // its length or value byte would lie before the file
            length = file[r - 1] == 0 ? 256u : file[r - 1];
            value = file[r - 2];
            remaining -= 3;
        }
        if (length > room) length = room;  // cut at the lowest output offset
        for (uint32_t i = 0; i < length; ++i) out[w - i] = value;
        w -= length;  // may wrap below offset 0 only when room reaches 0
        room -= length;
    }
}

void Unpack(ByteView file, const PackedVariant& variant, uint8_t* out) {
    if (variant.form == StreamForm::Forward) {
        UnpackForward(file, variant, out);
    } else {
        UnpackBackward(file, variant, out);
    }
}

}  // namespace tarnel
