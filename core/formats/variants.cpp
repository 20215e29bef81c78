#include "core/formats/variants.h"

#include "core/formats/formats.h"
#include "core/on_request.h"

namespace tarnel {

namespace {

// clang-format off
constexpr LayoutVariants VARIANTS[] = {
    // code, every extension naming it, other sizes
    {CodeOf(Layout::Funpaint), "fun fp2 vic", {}},
    {CodeOf(Layout::Gunpaint), "gun ifl vic", {33603}},
    {CodeOf(Layout::FliDesigner), "fd2 fli vic", {17218}},
    {CodeOf(Layout::AdvancedArtStudio), "ocp mpic mpi shp vic", {}},
    {CodeOf(Layout::Drazlace), "drl dlp vic", {}},
    {CodeOf(Layout::Fli), "fli fed", {}},
    {CodeOf(Layout::FacePainter), "fpt fcp", {}},
    {CodeOf(Layout::HiresBitmap), "hbm hir fgs mon gcd hpi", {8194}},
    {CodeOf(Layout::FliGraph), "bml flg fli vic", {17666}},
    {CodeOf(Layout::ArtStudio), "art aas hpi iph hre gig hpc vic", {9002, 9003}},
    {CodeOf(Layout::Doodle9217), "dd ddl ddp het rph", {}},
    {CodeOf(Layout::Afli), "afl", {}},
    {CodeOf(Layout::PaintMagic), "pmg", {}},
    {CodeOf(Layout::Koala), "koa kla rpm gig ipt lre cwg", {10006, 10007}},
    {CodeOf(Layout::Doodle), "dd ddl ddp het rph", {9026, 9346}},
    {CodeOf(Layout::HiresManager), "him", {}},
};
// clang-format on

}  // namespace

const LayoutVariants* FindLayoutVariants(FormatCode code) {
    for (const LayoutVariants& variants : VARIANTS) {
        if (variants.code == code) return &variants;
    }
    return nullptr;
}

VariantMatch FindLayoutVariant(ByteView file, const char* extension, uint8_t* out) {
    if (extension == nullptr || extension[0] == '\0') return {};
    for (const LayoutVariants& variants : VARIANTS) {
        if (!ListsExtension(variants.extensions, extension)) continue;
        const OpenedAs opened = OpenFileAs(variants.code, file, out);
        // A file that starts with the layout's own address and is two
        // bytes short is cut, not saved without its address.
        const LoadBytes own = OwnLoadOf(variants.code);
        const bool cut = opened.how == OpenAs::Headerless && file.size >= 2 &&
                         file[0] == own.load0 && file[1] == own.load1;
        if (opened.how != OpenAs::Refused && !cut) return {variants.code, opened.how, opened.file};
        for (uint32_t size : variants.sizes) {
            if (size != 0 && size == file.size) return {variants.code, OpenAs::Stored, file};
        }
    }
    return {};
}

bool NameGivesAnother(FormatCode code, ByteView file, const char* extension, uint8_t* out) {
    if (extension == nullptr || extension[0] == '\0' || out == nullptr) return false;
    // The layouts known by a text or a header of their own.
    switch (static_cast<Layout>(code)) {
        case Layout::FunpaintPacked:
        case Layout::Funpaint:
        case Layout::Gunpaint:
        case Layout::DrazlacePacked:
        case Layout::FliGraphPacked:
            return false;
        default:
            break;
    }
    const LayoutVariants* own = FindLayoutVariants(code);
    const LayoutInfo* layout = FindAnyLayout(code);
    if ((own != nullptr && ListsExtension(own->extensions, extension)) ||
        (layout != nullptr && ListsExtension(layout->extensions, extension))) {
        return false;
    }
    for (size_t n = 0; n < FormatReaderCount(); ++n) {
        const FormatReader& reader = FormatReaderAt(n);
        if (ListsExtension(reader.extensions, extension) && reader.sniff(file) != Evidence::None) {
            return true;
        }
    }
    return FindLayoutVariant(file, extension, out).code != FORMAT_UNKNOWN;
}

}  // namespace tarnel
