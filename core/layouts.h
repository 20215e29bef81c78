// The twenty C64 picture layouts the module knows, one row each: name, file
// name extensions, packing and interlacing, the layout a packed file unpacks
// to, where the background colour is kept and how the picture is drawn
// (which row loop, with which fetcher's sources). Identification
// rules (identify.cpp) and packed-stream parameters (unpack.cpp) are keyed
// by the same names; the video-memory offsets of each way of drawing are in
// layout_sources.h. Everything that can be checked about the rows is checked
// here at compile time.
#ifndef TARNEL_CORE_LAYOUTS_H
#define TARNEL_CORE_LAYOUTS_H

#include <cstddef>
#include <cstdint>

namespace tarnel {

// One byte naming a layout: 1 to 9 and 11 to 21; 0 means unrecognised.
using FormatCode = uint8_t;
constexpr FormatCode FORMAT_UNKNOWN = 0;
// The decoder's code before its first identification.
constexpr FormatCode FORMAT_NOT_IDENTIFIED = 255;

// The layouts by name; the value is the layout's code.
enum class Layout : FormatCode {
    FunpaintPacked = 1,
    Funpaint = 2,
    Gunpaint = 3,
    FliDesigner = 4,
    AdvancedArtStudio = 5,
    Drazlace = 6,
    DrazlacePacked = 7,
    Fli = 8,
    FacePainter = 9,
    AmicaPaintPacked = 11,
    HiresBitmap = 12,
    FliGraph = 13,
    FliGraphPacked = 14,
    ArtStudio = 15,
    Doodle9217 = 16,
    Afli = 17,
    PaintMagic = 18,
    BitmapBackwardPacked = 19,
    Koala = 20,
    Doodle = 21,
    // Opened only when the user names it (core/on_request.h).
    HiresManager = 22,
};
constexpr FormatCode CodeOf(Layout layout) {
    return static_cast<FormatCode>(layout);
}

// Files above this size are refused before anything is allocated or read.
constexpr uint32_t MAX_FILE_BYTES = 36864;
// Every offset a layout's tables give (counted from the file's first byte)
// lies below this: the whole memory image any layout can address. Writers of
// test pictures make memory images of this size.
constexpr uint32_t MEMORY_IMAGE_BYTES = 61440;

constexpr uint32_t PICTURE_WIDTH = 320;
constexpr uint32_t PICTURE_HEIGHT = 200;
constexpr uint32_t PICTURE_PIXELS = PICTURE_WIDTH * PICTURE_HEIGHT;

// Where a layout keeps its background colour.
struct PagePreparation {
    bool backgroundFromImage;   // false: the background is colour 0
    uint32_t backgroundOffset;  // offset of the background byte in the (unpacked) image
};
// No layout keeps its background byte past this offset.
constexpr uint32_t LARGEST_BACKGROUND_OFFSET = 10050;

// Which row loop draws a layout, and with which fetcher's sources (the
// entry of that loop's table in layout_sources.h). Layouts that keep their
// memory alike share a fetcher, named after one of them; packed layouts draw
// their unpacked image as the layout they unpack to.
enum class RowLoop : uint8_t { Multicolour, Hires, Interlaced };
enum class Fetcher : uint8_t {
    // Multicolour
    FliDesigner,
    AdvancedArtStudio,
    Fli,
    Koala,  // also Face Painter, Amica Paint and the backward-packed bitmap
    FliGraph,
    PaintMagic,
    // Hires
    HiresBitmap,
    ArtStudio,
    Doodle,  // both Doodle layouts
    Afli,
    HiresManager,  // opened on request only (core/on_request.h)
    // Interlaced
    Funpaint,
    Gunpaint,
    Drazlace,
};
struct LayoutRoute {
    FormatCode code;
    RowLoop loop;
    Fetcher fetcher;
};

struct LayoutInfo {
    FormatCode code;
    const char* name;        // the usual name of the C64 program that saves it
    const char* extensions;  // its usual file name extensions, lower case, space-separated
    bool packed;             // holds a run-length packed stream
    bool interlaced;         // holds two frames that are blended
    FormatCode unpackedAs;   // layout of the unpacked image (own code if not packed)
    PagePreparation preparation;
    LayoutRoute route;
};

namespace layout_rows {
constexpr PagePreparation BLACK = {false, 0};
constexpr PagePreparation Byte(uint32_t offset) {
    return {true, offset};
}
constexpr LayoutInfo Row(Layout layout, const char* name, const char* extensions, bool packed,
                         bool interlaced, Layout unpackedAs, PagePreparation preparation,
                         RowLoop loop, Fetcher fetcher) {
    const LayoutRoute route = {CodeOf(layout), loop, fetcher};
    return {CodeOf(layout),     name,        extensions, packed, interlaced,
            CodeOf(unpackedAs), preparation, route};
}
}  // namespace layout_rows

constexpr size_t LAYOUT_COUNT = 20;

// In code order. Layouts 6 and 7 keep their background in the byte right
// after the frame-0 bitmap (2,050 to 10,049), at 10,050. The backward-packed
// bitmap has no extension of its own. desktop/mime/tarnel.xml gives the
// same extensions as globs (a ctest compares them).
namespace layout_rows {
// clang-format off
inline constexpr LayoutInfo ROWS[LAYOUT_COUNT] = {
    // layout, name, extensions, packed, interlaced, unpacked as, background, row loop, fetcher
    Row(Layout::FunpaintPacked, "Funpaint II, packed", "fun fp2", true, true, Layout::Funpaint, BLACK, RowLoop::Interlaced, Fetcher::Funpaint),
    Row(Layout::Funpaint, "Funpaint II", "fun fp2", false, true, Layout::Funpaint, BLACK, RowLoop::Interlaced, Fetcher::Funpaint),
    Row(Layout::Gunpaint, "Gunpaint", "gun", false, true, Layout::Gunpaint, BLACK, RowLoop::Interlaced, Fetcher::Gunpaint),
    Row(Layout::FliDesigner, "FLI Designer", "fd2 fli", false, false, Layout::FliDesigner, BLACK, RowLoop::Multicolour, Fetcher::FliDesigner),
    Row(Layout::AdvancedArtStudio, "Advanced Art Studio", "ocp mpic", false, false, Layout::AdvancedArtStudio, Byte(9003), RowLoop::Multicolour, Fetcher::AdvancedArtStudio),
    Row(Layout::Drazlace, "Drazlace", "drl", false, true, Layout::Drazlace, Byte(10050), RowLoop::Interlaced, Fetcher::Drazlace),
    Row(Layout::DrazlacePacked, "Drazlace, packed", "drz", true, true, Layout::Drazlace, Byte(10050), RowLoop::Interlaced, Fetcher::Drazlace),
    Row(Layout::Fli, "FLI (17,665-byte layout)", "fli", false, false, Layout::Fli, BLACK, RowLoop::Multicolour, Fetcher::Fli),
    Row(Layout::FacePainter, "Face Painter", "fpt fcp", false, false, Layout::FacePainter, Byte(10002), RowLoop::Multicolour, Fetcher::Koala),
    Row(Layout::AmicaPaintPacked, "Amica Paint (packed)", "ami", true, false, Layout::Koala, Byte(10002), RowLoop::Multicolour, Fetcher::Koala),
    Row(Layout::HiresBitmap, "Hires bitmap", "hbm hir", false, false, Layout::HiresBitmap, BLACK, RowLoop::Hires, Fetcher::HiresBitmap),
    Row(Layout::FliGraph, "FLI Graph", "bml fbi", false, false, Layout::FliGraph, BLACK, RowLoop::Multicolour, Fetcher::FliGraph),
    Row(Layout::FliGraphPacked, "FLI Graph, packed", "bml fbi", true, false, Layout::FliGraph, BLACK, RowLoop::Multicolour, Fetcher::FliGraph),
    Row(Layout::ArtStudio, "Art Studio", "art aas hpi", false, false, Layout::ArtStudio, BLACK, RowLoop::Hires, Fetcher::ArtStudio),
    Row(Layout::Doodle9217, "Doodle (9,217-byte layout)", "dd ddl", false, false, Layout::Doodle9217, BLACK, RowLoop::Hires, Fetcher::Doodle),
    Row(Layout::Afli, "AFLI (hires FLI)", "afl", false, false, Layout::Afli, BLACK, RowLoop::Hires, Fetcher::Afli),
    Row(Layout::PaintMagic, "Paint Magic", "pmg", false, false, Layout::PaintMagic, Byte(8116), RowLoop::Multicolour, Fetcher::PaintMagic),
    Row(Layout::BitmapBackwardPacked, "Multicolour bitmap, backward-packed", "", true, false, Layout::Koala, Byte(10002), RowLoop::Multicolour, Fetcher::Koala),
    Row(Layout::Koala, "Koala Painter", "koa kla", false, false, Layout::Koala, Byte(10002), RowLoop::Multicolour, Fetcher::Koala),
    Row(Layout::Doodle, "Doodle", "dd ddl", false, false, Layout::Doodle, BLACK, RowLoop::Hires, Fetcher::Doodle),
};
// clang-format on
}  // namespace layout_rows
inline constexpr const LayoutInfo (&LAYOUTS)[LAYOUT_COUNT] = layout_rows::ROWS;

// The short name a user gives each layout by (a converter option, a script's
// argument), in the rows' order: lower case, words joined by '-'.
inline constexpr const char* LAYOUT_KEYS[LAYOUT_COUNT] = {
    "funpaint-packed",     "funpaint",           "gunpaint",        "fli-designer",
    "advanced-art-studio", "drazlace",           "drazlace-packed", "fli",
    "face-painter",        "amica-paint",        "hires",           "fli-graph",
    "fli-graph-packed",    "art-studio",         "doodle-9217",     "afli",
    "paint-magic",         "multicolour-packed", "koala",           "doodle",
};

// The layout of a code, or nullptr for 0, 10 and anything above 21.
constexpr const LayoutInfo* FindLayout(FormatCode code) {
    for (const LayoutInfo& layout : LAYOUTS) {
        if (layout.code == code) return &layout;
    }
    return nullptr;
}
constexpr const LayoutInfo& LayoutOf(Layout layout) {
    return *FindLayout(CodeOf(layout));
}

namespace layout_rows {
constexpr bool RowsAreConsistent() {
    FormatCode previous = 0;
    for (const LayoutInfo& row : LAYOUTS) {
        if (row.code <= previous || row.route.code != row.code) return false;
        previous = row.code;
        const LayoutInfo* unpacked = FindLayout(row.unpackedAs);
        if (unpacked == nullptr || unpacked->packed) return false;
        // A packed layout unpacks to another, and is drawn and interlaced as it.
        if (row.packed != (row.unpackedAs != row.code)) return false;
        if (row.interlaced != unpacked->interlaced) return false;
        if (row.route.loop != unpacked->route.loop || row.route.fetcher != unpacked->route.fetcher)
            return false;
        if (row.interlaced != (row.route.loop == RowLoop::Interlaced)) return false;
        if (row.preparation.backgroundOffset > LARGEST_BACKGROUND_OFFSET) return false;
        if (!row.preparation.backgroundFromImage && row.preparation.backgroundOffset != 0)
            return false;
    }
    return true;
}
}  // namespace layout_rows
static_assert(layout_rows::RowsAreConsistent(),
              "codes ascend; packed layouts unpack to unpacked ones and draw as them; "
              "interlaced layouts use the interlaced loop; background bytes in range");
static_assert(LARGEST_BACKGROUND_OFFSET < MEMORY_IMAGE_BYTES,
              "background bytes lie in the memory image");

}  // namespace tarnel

#endif  // TARNEL_CORE_LAYOUTS_H
