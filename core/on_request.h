// Layouts opened only when the user names one: never chosen from a file's
// bytes, because their files match one of the twenty layouts by size and
// load address, and identification by content stays as it is. Each row
// says how its files are known once named, and how they are drawn.
#ifndef TARNEL_CORE_ON_REQUEST_H
#define TARNEL_CORE_ON_REQUEST_H

#include <cstddef>
#include <cstdint>

#include "core/layout_sources.h"
#include "core/layouts.h"

namespace tarnel {

struct OnRequestLayout {
    LayoutInfo info;
    const char* key;       // the short name users give it
    uint32_t size;         // its files' exact size
    uint8_t load0, load1;  // their load address
    uint32_t markOffset;   // every such file holds `mark` here
    uint8_t mark;
    HiresSources sources;  // drawn as a hires layout from these
    uint32_t hiddenLines;  // lines at the top its program does not show
};

// Hires Manager (by Cosmos): a hires FLI like AFLI with the order reversed,
// the bitmap first and then eight screens, screen k for line k of each cell
// row. Its first cell row is not shown, so lines 0-7 show the background.
// Only unpacked files: the packed form is not documented well enough.
// clang-format off
inline constexpr OnRequestLayout ON_REQUEST_LAYOUTS[] = {
    {layout_rows::Row(Layout::HiresManager, "Hires Manager", "him", false, false, Layout::HiresManager,
                      layout_rows::BLACK, RowLoop::Hires, Fetcher::HiresManager),
     "hires-manager", 16385, 0x00, 0x40, 3, 0xFF,
     {Fetcher::HiresManager, 2, 8194, true, false}, 8},
};
// clang-format on
constexpr size_t ON_REQUEST_LAYOUT_COUNT = sizeof ON_REQUEST_LAYOUTS / sizeof ON_REQUEST_LAYOUTS[0];

constexpr const OnRequestLayout* FindOnRequestLayout(FormatCode code) {
    for (const OnRequestLayout& layout : ON_REQUEST_LAYOUTS) {
        if (layout.info.code == code) return &layout;
    }
    return nullptr;
}

// A layout of either kind, or nullptr.
constexpr const LayoutInfo* FindAnyLayout(FormatCode code) {
    if (const LayoutInfo* layout = FindLayout(code)) return layout;
    const OnRequestLayout* onRequest = FindOnRequestLayout(code);
    return onRequest != nullptr ? &onRequest->info : nullptr;
}

constexpr bool OnRequestRowsAreSound() {
    for (const OnRequestLayout& layout : ON_REQUEST_LAYOUTS) {
        if (FindLayout(layout.info.code) != nullptr || layout.size > MAX_FILE_BYTES ||
            layout.markOffset >= layout.size || layout.hiddenLines % 8 != 0 ||
            layout.hiddenLines >= PICTURE_HEIGHT) {
            return false;
        }
        // Every byte the drawing reads lies inside the file.
        const HiresSources& s = layout.sources;
        if (s.bitmapBase + 25 * CELL_ROW_BITMAP_BYTES > layout.size ||
            s.screenBase + 7 * SCREEN_BANK_STRIDE + 25 * CELL_COLUMNS > layout.size) {
            return false;
        }
    }
    return true;
}
static_assert(OnRequestRowsAreSound(),
              "on-request codes are not among the twenty, and their files hold what is drawn");

}  // namespace tarnel

#endif  // TARNEL_CORE_ON_REQUEST_H
