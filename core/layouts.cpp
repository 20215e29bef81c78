#include "core/layouts.h"

namespace tarnel {

// clang-format off
const LayoutInfo LAYOUTS[LAYOUT_COUNT] = {
    // code name                                   packed interl. unpacked as
    { 1, "Funpaint II, packed",                    true,  true,   2},
    { 2, "Funpaint II",                            false, true,   2},
    { 3, "Gunpaint",                               false, true,   3},
    { 4, "FLI Designer",                           false, false,  4},
    { 5, "Advanced Art Studio",                    false, false,  5},
    { 6, "Drazlace",                               false, true,   6},
    { 7, "Drazlace, packed",                       true,  true,   6},
    { 8, "FLI (17,665-byte layout)",               false, false,  8},
    { 9, "Face Painter",                           false, false,  9},
    {11, "Amica Paint (packed)",                   true,  false, 20},
    {12, "Hires bitmap",                           false, false, 12},
    {13, "FLI Graph",                              false, false, 13},
    {14, "FLI Graph, packed",                      true,  false, 13},
    {15, "Art Studio",                             false, false, 15},
    {16, "Doodle (9,217-byte layout)",             false, false, 16},
    {17, "AFLI (hires FLI)",                       false, false, 17},
    {18, "Paint Magic",                            false, false, 18},
    {19, "Multicolour bitmap, backward-packed",    true,  false, 20},
    {20, "Koala Painter",                          false, false, 20},
    {21, "Doodle",                                 false, false, 21},
};
// clang-format on

const LayoutInfo* FindLayout(FormatCode code) {
    for (const LayoutInfo& layout : LAYOUTS) {
        if (layout.code == code) return &layout;
    }
    return nullptr;
}

}  // namespace tarnel
