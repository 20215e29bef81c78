// What the About box's template must hold, written out here by hand (styles
// as the numbers Windows gives them), so that the template data the module
// builds from can be checked against it, and the bytes a classic DLGTEMPLATE
// of it must have.
#ifndef TARNEL_TESTS_ABOUT_DIALOG_EXPECTED_H
#define TARNEL_TESTS_ABOUT_DIALOG_EXPECTED_H

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel_test {

// Window styles: WS_CHILD 0x40000000 | WS_VISIBLE 0x10000000 on every control,
// WS_TABSTOP 0x00010000, WS_GROUP 0x00020000, WS_DISABLED 0x08000000.
// Button types: BS_PUSHBUTTON 0, BS_DEFPUSHBUTTON 1, BS_GROUPBOX 7,
// BS_AUTORADIOBUTTON 9. SS_LEFT is 0.
constexpr uint16_t kButtonAtom = 0x0080;
constexpr uint16_t kStaticAtom = 0x0082;

// WS_POPUP 0x80000000 | WS_CAPTION 0x00C00000 | WS_SYSMENU 0x00080000 |
// DS_MODALFRAME 0x80 | DS_SETFONT 0x40.
constexpr uint32_t kDialogStyle = 0x80C800C0u;
constexpr int kDialogWidth = 227;
constexpr int kDialogHeight = 186;
constexpr const char* kDialogTitle = "About tarnel";
constexpr int kFontPoints = 8;
constexpr const char* kFontName = "MS Sans Serif";

struct ExpectedControl {
    uint16_t id;  // as stored: -1 is 0xFFFF
    uint16_t classAtom;
    const char* text;  // nullptr: a credit line, worded freely
    uint32_t style;
    int x, y, width, height;
};

constexpr int kCreditLineCount = 6;
constexpr const char* kSupportedTypesLine =
    "This plug-in currently supports 18 various C64 graphic file types";

// Seventeen controls, in template order.
constexpr ExpectedControl kExpectedControls[] = {
    {1, kButtonAtom, "OK", 0x50010001u, 58, 162, 50, 14},
    {2, kButtonAtom, "Cancel", 0x50010000u, 111, 162, 50, 14},
    {0xFFFF, kButtonAtom, "Color palette scheme", 0x50020007u, 13, 17, 83, 51},
    {1000, kButtonAtom, "Ostrel Old", 0x50020009u, 16, 29, 53, 10},
    {1001, kButtonAtom, "Ostrel New", 0x50020009u, 16, 42, 57, 10},
    {1002, kButtonAtom, "Cindral", 0x50020009u, 16, 55, 39, 10},
    {0xFFFF, kButtonAtom, "Color mixing", 0x50020007u, 104, 17, 107, 51},
    {1003, kButtonAtom, "None", 0x50000009u, 107, 29, 33, 10},
    {1004, kButtonAtom, "Blend", 0x50020009u, 107, 42, 34, 10},
    {1005, kButtonAtom, "Interlace", 0x58020009u, 107, 55, 43, 10},
    {0xFFFF, kStaticAtom, nullptr, 0x50020000u, 66, 89, 86, 8},
    {0xFFFF, kStaticAtom, nullptr, 0x50020000u, 62, 108, 90, 8},
    {0xFFFF, kStaticAtom, nullptr, 0x50020000u, 41, 116, 135, 8},
    {0xFFFF, kStaticAtom, kSupportedTypesLine, 0x50020000u, 8, 73, 211, 8},
    {0xFFFF, kStaticAtom, nullptr, 0x50020000u, 46, 131, 121, 8},
    {0xFFFF, kStaticAtom, nullptr, 0x50020000u, 45, 141, 122, 8},
    {0xFFFF, kStaticAtom, nullptr, 0x50020000u, 79, 99, 50, 8},
};
constexpr int kExpectedControlCount = sizeof kExpectedControls / sizeof kExpectedControls[0];

// The radio buttons: palette 1000..1002, mixing 1003..1005.
constexpr int kRadioIds[] = {1000, 1001, 1002, 1003, 1004, 1005};

// The bytes of a classic DLGTEMPLATE (not DLGTEMPLATEEX) of the table above,
// with `creditLines` (six, in template order) as the free texts: the header
// (style, extended style 0, item count, position, size, no menu, the default
// class, the title, the point size and the face name), then each item on a
// 4-byte boundary (style, extended style 0, position, size, 16-bit id,
// 0xFFFF and the class atom, the text, no creation data). Texts are UTF-16
// with a terminating zero; the last item is not padded.
inline std::vector<uint8_t> ClassicTemplateBytes(const std::vector<std::string>& creditLines) {
    std::vector<uint8_t> out;
    auto word = [&out](uint32_t value) {
        out.push_back(static_cast<uint8_t>(value & 0xFF));
        out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    };
    auto dword = [&word](uint32_t value) {
        word(value & 0xFFFF);
        word(value >> 16);
    };
    auto text = [&word](const std::string& s) {
        for (unsigned char c : s) word(c);  // the texts are plain ASCII
        word(0);
    };
    dword(kDialogStyle);
    dword(0);
    word(kExpectedControlCount);
    word(0);
    word(0);
    word(kDialogWidth);
    word(kDialogHeight);
    word(0);  // no menu
    word(0);  // the predefined dialog class
    text(kDialogTitle);
    word(kFontPoints);
    text(kFontName);
    size_t credit = 0;
    for (const ExpectedControl& control : kExpectedControls) {
        while (out.size() % 4 != 0) out.push_back(0);
        dword(control.style);
        dword(0);
        word(static_cast<uint32_t>(control.x));
        word(static_cast<uint32_t>(control.y));
        word(static_cast<uint32_t>(control.width));
        word(static_cast<uint32_t>(control.height));
        word(control.id);
        word(0xFFFF);
        word(control.classAtom);
        text(control.text != nullptr ? std::string(control.text) : creditLines.at(credit++));
        word(0);  // creation data: none
    }
    return out;
}

}  // namespace tarnel_test

#endif  // TARNEL_TESTS_ABOUT_DIALOG_EXPECTED_H
