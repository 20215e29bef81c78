#include "core/prepare.h"

namespace tarnel {
namespace {

struct PreparationRow {
    FormatCode code;
    PagePreparation preparation;
};

// Layouts 6 and 7 keep their background in the byte right after the frame-0
// bitmap (2,050 to 10,049), at 10,050. Code 1 is packed too, but the renderer
// unpacks it just before drawing.
// clang-format off
constexpr PreparationRow PAGE_PREPARATIONS[] = {
    // code  unpack first  from image  offset
    { 1, {false,       false,      0}},
    { 2, {false,       false,      0}},
    { 3, {false,       false,      0}},
    { 4, {false,       false,      0}},
    { 5, {false,       true,       9003}},
    { 6, {false,       true,       10050}},
    { 7, {true,        true,       10050}},
    { 8, {false,       false,      0}},
    { 9, {false,       true,       10002}},
    {11, {true,        true,       10002}},
    {12, {false,       false,      0}},
    {13, {false,       false,      0}},
    {14, {true,        false,      0}},
    {15, {false,       false,      0}},
    {16, {false,       false,      0}},
    {17, {false,       false,      0}},
    {18, {false,       true,       8116}},
    {19, {true,        true,       10002}},
    {20, {false,       true,       10002}},
    {21, {false,       false,      0}},
};
// clang-format on

constexpr bool OffsetsInsideBuffer() {
    for (const PreparationRow& row : PAGE_PREPARATIONS) {
        if (row.preparation.backgroundOffset > LARGEST_BACKGROUND_OFFSET) return false;
    }
    return true;
}
static_assert(OffsetsInsideBuffer(), "no background byte lies past LARGEST_BACKGROUND_OFFSET");
static_assert(LARGEST_BACKGROUND_OFFSET < MEMORY_IMAGE_BYTES,
              "background bytes lie in the memory image");

}  // namespace

const PagePreparation* FindPagePreparation(FormatCode code) {
    for (const PreparationRow& row : PAGE_PREPARATIONS) {
        if (row.code == code) return &row.preparation;
    }
    return nullptr;
}

uint8_t BackgroundColour(FormatCode code, ByteView image) {
    const PagePreparation* preparation = FindPagePreparation(code);
    if (preparation == nullptr || !preparation->backgroundFromImage ||
        !image.Holds(preparation->backgroundOffset)) {
        return 0;
    }
    return image[preparation->backgroundOffset] & 0x0F;
}

}  // namespace tarnel
