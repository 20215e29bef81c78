// The About box of the built tarnel.apl, shown on a real (or Wine's) desktop:
// the program loads the DLL with LoadLibrary, calls IDP_ShowPlugInDialog like
// the viewer, and works the dialog with real mouse and keyboard input. It
// carries no resources of its own, so the dialog can only come from the DLL.
// It saves a screenshot of the box (a BMP, turned into a PNG by the script
// that runs it) to look at.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/about_dialog_expected.h"
#include "tests/win32/dialog_driver.h"

#ifndef TARNEL_MODULE_PATH
#error "TARNEL_MODULE_PATH must name the built tarnel.apl"
#endif
#ifndef TARNEL_ARTIFACT_DIR
#error "TARNEL_ARTIFACT_DIR must name the folder for the screenshot"
#endif

namespace {

using tarnel_test::DialogOutcome;
using tarnel_test::DialogStep;
using tarnel_test::kExpectedControls;
using tarnel_test::kRadioIds;
using tarnel_test::Win32Box;

using ShowPlugInDialogFunction = int32_t(WINAPI*)(HWND owner);

class AboutDialogGui : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryA(TARNEL_MODULE_PATH);
        if (module_ != nullptr) {
            show_ = reinterpret_cast<ShowPlugInDialogFunction>(
                reinterpret_cast<void*>(GetProcAddress(module_, "IDP_ShowPlugInDialog")));
        }
    }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
        module_ = nullptr;
        show_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << "cannot load " << TARNEL_MODULE_PATH;
        ASSERT_NE(show_, nullptr) << "IDP_ShowPlugInDialog is not exported";
        ASSERT_TRUE(tarnel_test::CanCreateWindows())
            << "no display: run under a display (xvfb-run -a)";
    }

    DialogOutcome Show(std::vector<DialogStep> steps, HWND owner) {
        return tarnel_test::ShowAndDrive(show_, owner, std::move(steps));
    }

    static HMODULE module_;
    static ShowPlugInDialogFunction show_;
};

HMODULE AboutDialogGui::module_ = nullptr;
ShowPlugInDialogFunction AboutDialogGui::show_ = nullptr;

std::set<int> CheckedRadios(const Win32Box& box) {
    std::set<int> checked;
    for (int id : kRadioIds) {
        if (box.Checked(id)) checked.insert(id);
    }
    return checked;
}

// Real input, as a person gives it: the pointer moves to a point of the
// screen and the left button goes down and up there.
void MouseClickAt(POINT point) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((point.x * 65535 + width / 2) / (width - 1));
        input.mi.dy = static_cast<LONG>((point.y * 65535 + height / 2) / (height - 1));
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

POINT CentreOf(const RECT& rect) {
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void MouseClickControl(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MouseClickAt(CentreOf(rect));
}

void KeyPress(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// The middle of the caption's close box: the points of the window that the
// window itself reports as HTCLOSE.
bool FindCloseBox(HWND window, POINT* centre) {
    RECT rect{};
    GetWindowRect(window, &rect);
    long sumX = 0, sumY = 0, count = 0;
    for (LONG y = rect.top; y < rect.top + 48 && y < rect.bottom; ++y) {
        for (LONG x = rect.right - 64; x < rect.right; ++x) {
            const LRESULT hit = SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
            if (hit == HTCLOSE) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    }
    if (count == 0) return false;
    *centre = POINT{sumX / count, sumY / count};
    return true;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// ---------------------------------------------------------------------------

TEST_F(AboutDialogGui, OpensFromTheModulesTemplate) {
    tarnel_test::OwnerWindow owner(16, 16, 560, 480);
    ASSERT_NE(owner.Handle(), nullptr);
    std::string title;
    std::set<int> checked = {-1};
    std::vector<HWND> children;
    DWORD style = 0;
    const DialogOutcome outcome = Show(
        {
            [&](Win32Box& box) {
                title = TextOf(box.Handle());
                style = static_cast<DWORD>(GetWindowLongA(box.Handle(), GWL_STYLE));
                checked = CheckedRadios(box);
                for (HWND child = GetWindow(box.Handle(), GW_CHILD); child != nullptr;
                     child = GetWindow(child, GW_HWNDNEXT)) {
                    children.push_back(child);
                }
                // Read while the controls exist.
                for (size_t i = 0; i < children.size() && i < 17; ++i) {
                    SCOPED_TRACE(i);
                    const auto& expected = kExpectedControls[i];
                    HWND child = children[i];
                    EXPECT_EQ(static_cast<uint16_t>(GetDlgCtrlID(child)), expected.id);
                    EXPECT_EQ(ClassOf(child),
                              expected.classAtom == tarnel_test::kButtonAtom ? "Button" : "Static");
                    if (expected.text != nullptr)
                        EXPECT_EQ(TextOf(child), expected.text);
                    else
                        EXPECT_FALSE(TextOf(child).empty());
                    // WS_TABSTOP on none of the radio buttons, WS_DISABLED on
                    // "Interlace" alone: the styles as created.
                    const DWORD childStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
                    EXPECT_EQ(childStyle, expected.style)
                        << std::hex << childStyle << " for " << TextOf(child);
                    EXPECT_EQ(IsWindowEnabled(child) != FALSE, (expected.style & WS_DISABLED) == 0);
                }
            },
            [](Win32Box& box) { box.Click(IDCANCEL); },
        },
        owner.Handle());
    ASSERT_TRUE(outcome.opened) << "no dialog appeared";
    EXPECT_TRUE(outcome.closedByItself);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.owner, owner.Handle());
    EXPECT_EQ(title, "About tarnel");
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
    EXPECT_TRUE(checked.empty()) << "a radio button is checked at open";
    EXPECT_EQ(children.size(), 17u);
}

// Clicking with the mouse: "Cindral" clears the other palette buttons,
// "None" clears "Blend", "Interlace" cannot be chosen.
TEST_F(AboutDialogGui, MouseClicksKeepEachGroupExclusive) {
    tarnel_test::OwnerWindow owner(16, 16, 560, 480);
    std::set<int> afterOstrel, afterCindral, afterBlend, afterNone, afterInterlace;
    bool interlaceEnabled = true;
    auto click = [](int id) {
        return [id](Win32Box& box) { MouseClickControl(box.Handle(), id); };
    };
    auto read = [](std::set<int>& into) {
        return [&into](Win32Box& box) { into = CheckedRadios(box); };
    };
    const DialogOutcome outcome = Show(
        {
            click(1000),
            click(1001),
            read(afterOstrel),
            click(1002),
            read(afterCindral),
            click(1004),
            read(afterBlend),
            click(1003),
            read(afterNone),
            [&](Win32Box& box) {
                interlaceEnabled = box.Enabled(1005);
                MouseClickControl(box.Handle(), 1005);
            },
            read(afterInterlace),
            click(IDOK),
        },
        owner.Handle());
    ASSERT_TRUE(outcome.opened);
    EXPECT_TRUE(outcome.closedByItself) << "OK did not close the box";
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ((std::set<int>{1001}), afterOstrel);
    EXPECT_EQ((std::set<int>{1002}), afterCindral);
    EXPECT_EQ((std::set<int>{1002, 1004}), afterBlend);
    EXPECT_EQ((std::set<int>{1002, 1003}), afterNone);
    EXPECT_FALSE(interlaceEnabled);
    EXPECT_EQ((std::set<int>{1002, 1003}), afterInterlace) << "Interlace took a click";
}

struct CloseWay {
    const char* name;
    DialogStep close;
};

class AboutDialogClosing : public AboutDialogGui, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(AboutDialogClosing, ReturnsZero) {
    tarnel_test::OwnerWindow owner(16, 16, 560, 480);
    const DialogOutcome outcome = Show(
        {
            [](Win32Box& box) {
                MouseClickControl(box.Handle(), 1001);
                SetForegroundWindow(box.Handle());
            },
            GetParam().close,
        },
        owner.Handle());
    ASSERT_TRUE(outcome.opened);
    EXPECT_TRUE(outcome.closedByItself) << GetParam().name << " did not close the box";
    EXPECT_EQ(outcome.result, 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachWay, AboutDialogClosing,
    ::testing::Values(
        CloseWay{"OkButton", [](Win32Box& box) { MouseClickControl(box.Handle(), IDOK); }},
        CloseWay{"CancelButton", [](Win32Box& box) { MouseClickControl(box.Handle(), IDCANCEL); }},
        CloseWay{"EscapeKey", [](Win32Box&) { KeyPress(VK_ESCAPE); }},
        CloseWay{"CloseBox",
                 [](Win32Box& box) {
                     POINT point{};
                     ASSERT_TRUE(FindCloseBox(box.Handle(), &point)) << "no close box";
                     MouseClickAt(point);
                 }},
        CloseWay{"CloseMessage",
                 [](Win32Box& box) { PostMessageA(box.Handle(), WM_CLOSE, 0, 0); }}),
    [](const ::testing::TestParamInfo<CloseWay>& param) { return std::string(param.param.name); });

// A dialog that cannot be made (its owner is no window) still gives 0.
TEST_F(AboutDialogGui, ReturnsZeroWhenTheDialogCannotBeCreated) {
    HWND notAWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x0BADF00D));
    ASSERT_FALSE(IsWindow(notAWindow));
    const DialogOutcome outcome = Show({[](Win32Box& box) { box.Click(IDCANCEL); }}, notAWindow);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.result, 0);
}

// ---------------------------------------------------------------------------
// What a person sees: every text fits its control, and a screenshot.

struct Fit {
    std::string text;
    int needed;  // pixels the text needs, its decoration included
    int width;   // pixels the control has
};

Fit MeasureControl(HWND control) {
    Fit fit;
    fit.text = TextOf(control);
    HDC dc = GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    SIZE extent{};
    GetTextExtentPoint32A(dc, fit.text.c_str(), static_cast<int>(fit.text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT client{};
    GetClientRect(control, &client);
    fit.width = client.right - client.left;
    fit.needed = extent.cx;
    if (ClassOf(control) == "Button") {
        const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_AUTORADIOBUTTON) {
            fit.needed += GetSystemMetrics(SM_CXMENUCHECK) + 4;  // the circle and a gap
        } else if (type == BS_GROUPBOX) {
            fit.needed += 16;  // the frame's corner on either side of the caption
        } else {
            fit.needed += 2 * (GetSystemMetrics(SM_CXEDGE) + 2);  // edges and the focus frame
        }
    }
    return fit;
}

bool SaveScreenBmp(const RECT& rect, const std::string& path) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom row first, as BMP files have it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        SelectObject(memory, old);
        const DWORD rowBytes = static_cast<DWORD>((width * 3 + 3) & ~3);
        const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + imageBytes;
        if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
            saved = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                    std::fwrite(bits, 1, imageBytes, out) == imageBytes;
            saved = (std::fclose(out) == 0) && saved;
        }
        // A blank capture is no screenshot: the box must show some detail.
        std::set<uint32_t> colours;
        const auto* pixels = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = pixels + y * rowBytes + x * 3;
                colours.insert(p[0] | p[1] << 8 | p[2] << 16);
            }
        }
        saved = saved && colours.size() >= 3;
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

TEST_F(AboutDialogGui, TextsFitTheirControlsAndScreenshotIsSaved) {
    tarnel_test::OwnerWindow owner(16, 16, 560, 480);
    std::vector<Fit> fits;
    std::string fontName;
    bool saved = false;
    const std::string directory = TARNEL_ARTIFACT_DIR;
    CreateDirectoryA(directory.c_str(), nullptr);
    const std::string path = directory + "/about-dialog.bmp";
    DeleteFileA(path.c_str());
    auto idle = [](Win32Box&) {};
    const DialogOutcome outcome = Show(
        {
            [&](Win32Box& box) {
                for (HWND child = GetWindow(box.Handle(), GW_CHILD); child != nullptr;
                     child = GetWindow(child, GW_HWNDNEXT)) {
                    fits.push_back(MeasureControl(child));
                }
                LOGFONTA font{};
                GetObjectA(reinterpret_cast<HFONT>(SendMessageA(box.Handle(), WM_GETFONT, 0, 0)),
                           sizeof font, &font);
                fontName = font.lfFaceName;
                // Show a choice in each group on the screenshot.
                box.Click(1001);
                box.Click(1004);
                RedrawWindow(
                    box.Handle(), nullptr, nullptr,
                    RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            },
            idle,
            idle,
            idle,
            idle,
            idle,
            [&](Win32Box& box) {
                RECT rect{};
                GetWindowRect(box.Handle(), &rect);
                saved = SaveScreenBmp(rect, path);
            },
            [](Win32Box& box) { box.Click(IDOK); },
        },
        owner.Handle());
    ASSERT_TRUE(outcome.opened);
    EXPECT_TRUE(outcome.closedByItself);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(saved) << "no screenshot at " << path;
    std::printf("dialog font: %s\n", fontName.c_str());
    ASSERT_EQ(fits.size(), 17u);
    for (const Fit& fit : fits) {
        std::printf("  %-68s needs %3d of %3d px\n", ("\"" + fit.text + "\"").c_str(), fit.needed,
                    fit.width);
        EXPECT_LE(fit.needed, fit.width) << "\"" << fit.text << "\" does not fit its control";
    }
}

}  // namespace
