#include "core/formats/variants.h"

#include "core/formats/formats.h"
#include "core/on_request.h"

namespace tarnel {

namespace {

// clang-format off
constexpr LayoutVariants VARIANTS[] = {
    // code, every extension naming it, other sizes, end marker's escape (0: none)
    {CodeOf(Layout::Funpaint), "fun fp2 vic", {}, 0},
    {CodeOf(Layout::Gunpaint), "gun ifl vic", {33603}, 0},
    {CodeOf(Layout::FliDesigner), "fd2 fli vic", {17218}, 0},
    {CodeOf(Layout::AdvancedArtStudio), "ocp mpic mpi shp vic", {}, 0},
    {CodeOf(Layout::Drazlace), "drl dlp vic", {}, 0},
    {CodeOf(Layout::Fli), "fli", {}, 0},
    {CodeOf(Layout::FacePainter), "fpt fcp", {}, 0},
    {CodeOf(Layout::AmicaPaintPacked), "ami", {}, 0xC2},
    {CodeOf(Layout::HiresBitmap), "hbm hir fgs mon gcd hpi", {8194}, 0},
    {CodeOf(Layout::FliGraph), "bml flg fli vic", {17666, 17665}, 0},
    {CodeOf(Layout::ArtStudio), "art aas hpi iph hre gig hpc vic", {9002, 9003}, 0},
    {CodeOf(Layout::Doodle9217), "dd ddl ddp het rph", {}, 0},
    {CodeOf(Layout::Afli), "afl", {}, 0},
    {CodeOf(Layout::PaintMagic), "pmg", {}, 0},
    {CodeOf(Layout::Koala), "koa kla rpm gig ipt lre cwg", {10006, 10007}, 0},
    {CodeOf(Layout::Doodle), "dd ddl ddp het rph", {9026, 9346}, 0},
    {CodeOf(Layout::HiresManager), "him", {}, 0},
};
// clang-format on

}  // namespace

const LayoutVariants* FindLayoutVariants(FormatCode code) {
    for (const LayoutVariants& variants : VARIANTS) {
        if (variants.code == code) return &variants;
    }
    return nullptr;
}

namespace {

// Where a forward stream from offset 2 with escape byte `escape` ends: just
// after its end marker (escape, 0), or 0 when it has none.
uint32_t EndOfStream(ByteView file, uint8_t escape) {
    for (uint32_t at = 2; at < file.size;) {
        if (file[at] != escape) {
            ++at;
            continue;
        }
        if (!file.Holds(at + 1)) return 0;
        if (file[at + 1] == 0) return at + 2;
        at += 3;  // escape, count, value
    }
    return 0;
}

}  // namespace

VariantMatch FindLayoutVariant(ByteView file, const char* extension, uint8_t* out) {
    if (extension == nullptr || extension[0] == '\0') return {};
    for (const LayoutVariants& variants : VARIANTS) {
        if (!ListsExtension(variants.extensions, extension)) continue;
        // Read to the stream's end marker; what follows it is not drawn. The
        // program's own escape byte, or the one a stream opening with a run
        // shows at its start.
        ByteView picture = file;
        if (variants.endMarkerEscape != 0) {
            for (const uint8_t escape :
                 {variants.endMarkerEscape, file.Holds(2) ? file[2] : variants.endMarkerEscape}) {
                const uint32_t end = EndOfStream(file, escape);
                if (end == 0) continue;
                picture.size = end;
                if (OpenFileAs(variants.code, picture, out).how != OpenAs::Refused) break;
                picture.size = file.size;
            }
        }
        const uint32_t ignored = file.size - picture.size;
        const OpenedAs opened = OpenFileAs(variants.code, picture, out);
        // A file that starts with the layout's own address and is two
        // bytes short is cut, not saved without its address.
        const LoadBytes own = OwnLoadOf(variants.code);
        const bool cut = opened.how == OpenAs::Headerless && picture.size >= 2 &&
                         picture[0] == own.load0 && picture[1] == own.load1;
        if (opened.how != OpenAs::Refused && !cut) {
            return {variants.code, opened.how, opened.file, ignored};
        }
        for (uint32_t size : variants.sizes) {
            if (size != 0 && size == picture.size) return {variants.code, OpenAs::Stored, picture};
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
