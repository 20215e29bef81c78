// The codec's identity: its GUIDs, names and the file types it registers.
// Shared by the codec and its test (the test checks the registry against its
// own copy of the documented layout, not against these tables' use).
#ifndef TARNEL_WIC_CODEC_IDS_H
#define TARNEL_WIC_CODEC_IDS_H

#include <windows.h>

namespace tarnel_wic {

// {DE368DA4-B05B-430F-9988-B71FFA06F562}: the decoder's class.
constexpr CLSID kDecoderClsid = {
    0xde368da4, 0xb05b, 0x430f, {0x99, 0x88, 0xb7, 0x1f, 0xfa, 0x06, 0xf5, 0x62}};
// {901326AC-5018-4221-9539-F092B0DCDB3C}: the container format, "a C64 picture".
constexpr GUID kContainerFormat = {
    0x901326ac, 0x5018, 0x4221, {0x95, 0x39, 0xf0, 0x92, 0xb0, 0xdc, 0xdb, 0x3c}};
// {54DE47C7-CB8A-4013-A10D-EB398235BDCB}: the vendor, the tarnel developers.
constexpr GUID kVendor = {
    0x54de47c7, 0xcb8a, 0x4013, {0xa1, 0x0d, 0xeb, 0x39, 0x82, 0x35, 0xbd, 0xcb}};

constexpr wchar_t kDecoderClsidText[] = L"{DE368DA4-B05B-430F-9988-B71FFA06F562}";
constexpr wchar_t kContainerFormatText[] = L"{901326AC-5018-4221-9539-F092B0DCDB3C}";
constexpr wchar_t kVendorText[] = L"{54DE47C7-CB8A-4013-A10D-EB398235BDCB}";

constexpr wchar_t kFriendlyName[] = L"tarnel Commodore 64 picture decoder";
constexpr wchar_t kAuthor[] = L"the tarnel developers";

// Every picture is decoded to this pixel format, at this resolution.
constexpr double kDpi = 96.0;

// A file name extension and the MIME type of its layout family, as
// desktop/mime/tarnel.xml lists them (scripts/test_wic.sh checks the two
// lists agree).
struct FileType {
    const wchar_t* extension;
    const wchar_t* mime_type;
};

constexpr FileType kFileTypes[] = {
    {L".koa", L"image/x-c64-koala"},
    {L".kla", L"image/x-c64-koala"},
    {L".fun", L"image/x-c64-funpaint"},
    {L".fp2", L"image/x-c64-funpaint"},
    {L".gun", L"image/x-c64-gunpaint"},
    {L".drl", L"image/x-c64-drazlace"},
    {L".drz", L"image/x-c64-drazlace"},
    {L".fli", L"image/x-c64-fli"},
    {L".fd2", L"image/x-c64-fli"},
    {L".bml", L"image/x-c64-fli-graph"},
    {L".fbi", L"image/x-c64-fli-graph"},
    {L".afl", L"image/x-c64-afli"},
    {L".art", L"image/x-c64-art-studio"},
    {L".aas", L"image/x-c64-art-studio"},
    {L".hpi", L"image/x-c64-art-studio"},
    {L".ocp", L"image/x-c64-advanced-art-studio"},
    {L".mpic", L"image/x-c64-advanced-art-studio"},
    {L".hbm", L"image/x-c64-hires"},
    {L".hir", L"image/x-c64-hires"},
    {L".fpt", L"image/x-c64-face-painter"},
    {L".fcp", L"image/x-c64-face-painter"},
    {L".ami", L"image/x-c64-amica-paint"},
    {L".dd", L"image/x-c64-doodle"},
    {L".ddl", L"image/x-c64-doodle"},
    {L".pmg", L"image/x-c64-paint-magic"},
};

// The family type every layout is a kind of, listed first in MimeTypes.
constexpr wchar_t kGenericMimeType[] = L"image/x-c64-picture";

// The identifying patterns WIC matches before it offers a file to the codec
// (its Initialize then decides by the whole content). A C64 file opens with
// its load address: one pattern for each address a layout family loads at.
// Gunpaint pictures carry a signature instead. The packed multicolour
// bitmaps known by their stream alone are found when they load at $6000,
// as the Koala Painter pictures they unpack to.
struct Pattern {
    ULONG position;
    ULONG length;
    BYTE bytes[13];
};

constexpr Pattern kPatterns[] = {
    {0, 2, {0x00, 0x20}},  // $2000: Art Studio, Advanced Art Studio, hires bitmaps
    {0, 2, {0xf0, 0x38}},  // $38F0: FLI Graph, packed
    {0, 2, {0x00, 0x3b}},  // $3B00: FLI, FLI Graph
    {0, 2, {0x00, 0x3c}},  // $3C00: FLI Designer
    {0, 2, {0x8e, 0x3f}},  // $3F8E: Paint Magic
    {0, 2, {0xf0, 0x3f}},  // $3FF0: Funpaint II
    {0, 2, {0x00, 0x40}},  // $4000: Face Painter, Amica Paint, AFLI, Gunpaint
    {0, 2, {0x00, 0x58}},  // $5800: Drazlace
    {0, 2, {0x00, 0x5c}},  // $5C00: Doodle
    {0, 2, {0x00, 0x60}},  // $6000: Koala Painter, packed multicolour bitmaps
    {1002, 13, {'G', 'U', 'N', 'P', 'A', 'I', 'N', 'T', ' ', '(', 'J', 'Z', ')'}},
};

}  // namespace tarnel_wic

#endif  // TARNEL_WIC_CODEC_IDS_H
