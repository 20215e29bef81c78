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

// The family type every format is a kind of, listed first in MimeTypes.
// The file name extensions and the other MIME types come from the
// library's format table (tarnel_format_at).
constexpr wchar_t kGenericMimeType[] = L"image/x-c64-picture";

// The identifying patterns WIC matches before it offers a file to the codec
// (its Initialize then decides by the whole content, and the file's name
// where the stream gives one). A C64 file opens with its load address: one
// pattern for each address a layout family loads at. Gunpaint pictures,
// CharPad projects, SpritePad sets, Fluff64 images, RIFF CGFX files, GoDot
// pictures, C64 OS pictures, BDP and Drazpaint files carry a signature
// instead, and Petmate projects open with their version. The packed
// multicolour bitmaps known by their stream alone are found when they load
// at $6000, as the Koala Painter pictures they unpack to. The formats that
// open only by their name have a pattern too, for streams that give the
// name: character sets load at the start of any page, and the first
// SpritePad's files start with three colours.
struct Pattern {
    ULONG position;
    ULONG length;
    BYTE bytes[13];
    BYTE any[13] = {};  // bits that match anything (WIC's mask is their complement)
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
    {0, 3, {'C', 'T', 'M'}},
    {0, 3, {'S', 'P', 'D'}},
    {0, 7, {'F', 'L', 'U', 'F', 'F', '6', '4'}},
    {0,
     12,
     {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'C', 'G', 'F', 'X'},
     {0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}},  // any file length
    {0, 4, {0xd0, 0xc5, 0xd4, '2'}},         // "PET2" in shifted PETSCII: C64 OS pictures
    {0, 10, {'{', '"', 'v', 'e', 'r', 's', 'i', 'o', 'n', '"'}},  // Petmate's JSON, version first
    // Found by name.
    {0, 1, {0x00}},        // a page: character sets (.64c), Logo Painter ($1800)
    {0, 2, {0x42, 0x00}},  // $0042: 64-character fonts, sprite banks
    {0, 2, {0xb0, 0xf0}},  // $F0B0: character sets 9 bytes a character
    {0, 3, {0x00, 0x00, 0x00}, {0x0f, 0x0f, 0x0f}},  // three colours: the first SpritePad
    {0, 4, {'G', 'O', 'D', '0'}, {0, 0, 0, 0x01}},   // GoDot pictures and clips (GOD0, GOD1)
    // Past the load address: BDP's headers and Drazpaint's signature. After
    // the patterns of the first bytes, as a file may end before them.
    {2, 6, {0x02, 0x04, 0x10, '6', '0', '0'}},
    {2, 8, {'B', 'D', 'P', ' ', '5', '.', '0', '0'}},
    {2, 13, {'D', 'R', 'A', 'Z', 'P', 'A', 'I', 'N', 'T', ' ', '1', '.', '4'}},
    // Last, since it lies past the end of shorter files: Wine stops at the
    // first pattern a memory stream cannot seek to, and looks at no later one.
    {1002, 13, {'G', 'U', 'N', 'P', 'A', 'I', 'N', 'T', ' ', '(', 'J', 'Z', ')'}},
};

}  // namespace tarnel_wic

#endif  // TARNEL_WIC_CODEC_IDS_H
