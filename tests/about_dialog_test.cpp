// The About box and the icons. The same tests drive the native build's
// headless dialog model and, under Windows or Wine, the real dialog made from
// this program's own copy of the module's resources; so the model is held to
// what Windows does, and the dialog procedure to the table of its actions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "authoring/icon_art.h"
#include "authoring/layout_files.h"
#include "plugin/tarnel_api.h"
#include "testing/host.h"
#include "testing/random_memory.h"
#include "tests/about_dialog_expected.h"

#if defined(_WIN32)
#include "tests/win32/dialog_driver.h"
#else
#include "plugin/about_dialog.h"
#include "plugin/module.h"
#include "plugin/native/dialog_model.h"
#endif

#ifndef TARNEL_SOURCE_DIR
#error "TARNEL_SOURCE_DIR must name the source tree"
#endif

namespace {

using tarnel_test::kRadioIds;

// ---------------------------------------------------------------------------
// Showing the box and acting on it, on either platform.

#if defined(_WIN32)

using Box = tarnel_test::Win32Box;
using Step = tarnel_test::DialogStep;
using Outcome = tarnel_test::DialogOutcome;

template <typename Show>
Outcome ShowWith(Show show, std::vector<Step> steps, HWND owner = nullptr) {
    return tarnel_test::ShowAndDrive(show, owner, std::move(steps));
}

// Windows needs a display for the dialog (Xvfb under Wine). Without one the
// dialog tests are skipped; with one that still gives no windows, they fail.
#define REQUIRE_WINDOWS()                                                                  \
    do {                                                                                   \
        if (!tarnel_test::CanCreateWindows()) {                                            \
            const char* display = std::getenv("DISPLAY");                                  \
            if (display == nullptr || *display == '\0')                                    \
                GTEST_SKIP() << "no display: run under one (xvfb-run -a) to show dialogs"; \
            FAIL() << "DISPLAY is " << display << " but no window can be created";         \
        }                                                                                  \
    } while (0)

#else

namespace model = tarnel::dialog_model;

class Box {
public:
    explicit Box(HWND dialog) : dialog_(dialog) {}
    HWND Handle() const { return dialog_; }
    bool Checked(int id) const { return model::IsChecked(dialog_, id); }
    bool Enabled(int id) const { return model::IsEnabled(dialog_, id); }
    bool Click(int id) { return model::Click(dialog_, id); }
    void SetCheck(int id, bool checked) { model::SetCheck(dialog_, id, checked); }
    void Command(int id, int notification) {
        model::Send(dialog_, WM_COMMAND, MAKEWPARAM(id, notification),
                    reinterpret_cast<LPARAM>(model::ControlHandle(dialog_, id)));
    }
    void PressEscape() { model::PressEscape(dialog_); }
    void ClickCloseBox() { model::ClickCloseBox(dialog_); }

private:
    HWND dialog_;
};

using Step = std::function<void(Box&)>;

struct Outcome {
    int32_t result = -12345;
    bool opened = false;
    bool closedByItself = false;
    HWND owner = nullptr;
};

// Runs the steps while the dialog is open, as a person at the screen would,
// stopping when the dialog has been ended.
template <typename Show>
Outcome ShowWith(Show show, std::vector<Step> steps, HWND owner = nullptr) {
    Outcome outcome;
    size_t ran = 0;
    model::SetOpenHook([&](HWND dialog) {
        outcome.opened = true;
        Box box(dialog);
        for (Step& step : steps) {
            if (model::HasEnded(dialog)) break;
            step(box);
            ++ran;
        }
    });
    outcome.result = static_cast<int32_t>(show(owner));
    model::SetOpenHook(nullptr);
    outcome.owner = model::LastDialogCall().owner;
    outcome.closedByItself =
        outcome.opened && ran == steps.size() && model::LastDialogCall().endedByProcedure;
    return outcome;
}

#define REQUIRE_WINDOWS() \
    do {                  \
    } while (0)

#endif

Outcome ShowAbout(std::vector<Step> steps, HWND owner = nullptr) {
    return ShowWith(IDP_ShowPlugInDialog, std::move(steps), owner);
}

std::set<int> CheckedRadios(const Box& box) {
    std::set<int> checked;
    for (int id : kRadioIds) {
        if (box.Checked(id)) checked.insert(id);
    }
    return checked;
}

Step Cancel() {
    return [](Box& box) { box.Click(IDCANCEL); };
}

// ---------------------------------------------------------------------------
// Opening.

TEST(AboutBox, OpensWithNothingCheckedAndOnlyInterlaceDisabled) {
    REQUIRE_WINDOWS();
    std::set<int> checked = {-1};
    std::vector<int> disabled;
    const Outcome outcome = ShowAbout({
        [&](Box& box) {
            checked = CheckedRadios(box);
            for (const auto& control : tarnel_test::kExpectedControls) {
                if (control.id != 0xFFFF && !box.Enabled(control.id))
                    disabled.push_back(control.id);
            }
        },
        Cancel(),
    });
    ASSERT_TRUE(outcome.opened);
    EXPECT_TRUE(outcome.closedByItself);
    EXPECT_EQ(outcome.result, RESULT_OK);
    EXPECT_TRUE(checked.empty());
    EXPECT_EQ(disabled, std::vector<int>{1005});
}

TEST(AboutBox, ShownForTheOwnerGiven) {
    REQUIRE_WINDOWS();
#if defined(_WIN32)
    tarnel_test::OwnerWindow ownerWindow(10, 10, 300, 200);
    HWND owner = ownerWindow.Handle();
    ASSERT_NE(owner, nullptr);
#else
    int ownerStandIn = 0;
    HWND owner = &ownerStandIn;
#endif
    const Outcome outcome = ShowAbout({Cancel()}, owner);
    ASSERT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.owner, owner);
    EXPECT_EQ(outcome.result, RESULT_OK);
}

// ---------------------------------------------------------------------------
// The radio buttons.

struct ClickCase {
    const char* name;
    std::vector<int> clicks;
    std::set<int> checkedAfter;
};

class RadioClicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(RadioClicks, LeaveExactlyTheseChecked) {
    REQUIRE_WINDOWS();
    const ClickCase& c = GetParam();
    std::set<int> checked = {-1};
    std::vector<bool> taken;
    const Outcome outcome = ShowAbout({
        [&](Box& box) {
            for (int id : c.clicks) taken.push_back(box.Click(id));
            checked = CheckedRadios(box);
        },
        Cancel(),
    });
    ASSERT_TRUE(outcome.opened);
    EXPECT_TRUE(outcome.closedByItself);
    EXPECT_EQ(outcome.result, RESULT_OK);
    EXPECT_EQ(checked, c.checkedAfter);
    for (size_t i = 0; i < taken.size(); ++i) {
        // Every radio button but the disabled "Interlace" takes the click.
        EXPECT_EQ(taken[i], c.clicks[i] != 1005) << "click on " << c.clicks[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    AboutBox, RadioClicks,
    ::testing::Values(ClickCase{"OstrelOld", {1000}, {1000}},
                      ClickCase{"OstrelNewClearsOstrelOld", {1000, 1001}, {1001}},
                      ClickCase{"OstrelOldClearsOstrelNew", {1001, 1000}, {1000}},
                      ClickCase{"CindralClearsOstrelOld", {1000, 1002}, {1002}},
                      ClickCase{"CindralClearsOstrelNew", {1001, 1002}, {1002}},
                      ClickCase{"ThroughAllThree", {1000, 1001, 1002}, {1002}},
                      ClickCase{"ClickingAgainKeepsIt", {1001, 1001}, {1001}},
                      ClickCase{"NoneClearsBlend", {1004, 1003}, {1003}},
                      ClickCase{"BlendClearsNone", {1003, 1004}, {1004}},
                      ClickCase{"GroupsAreIndependent", {1002, 1003, 1000, 1004}, {1000, 1004}},
                      ClickCase{"InterlaceCannotBeChosen", {1005}, {}},
                      ClickCase{"InterlaceLeavesBlend", {1004, 1005}, {1004}}),
    [](const ::testing::TestParamInfo<ClickCase>& param) { return std::string(param.param.name); });

// The procedure looks at the control id only, whatever the notification.
TEST(AboutBox, CommandsActOnTheControlIdOnly) {
    REQUIRE_WINDOWS();
    std::set<int> afterDoubleClick, afterInterlace, afterNoneFromCode;
    const Outcome outcome = ShowAbout({
        [&](Box& box) {
            box.Command(1002, 5 /* BN_DOUBLECLICKED */);
            box.Command(1004, 0x1234);
            afterDoubleClick = CheckedRadios(box);
            box.Command(1005, 0);  // "Interlace": nothing happens
            box.Command(999, 0);   // no such control: nothing happens
            box.Command(0xFFFF, 0);
            afterInterlace = CheckedRadios(box);
            // "Interlace" belongs to the mixing group and is cleared with it.
            box.SetCheck(1005, true);
            box.Command(1003, 0);
            afterNoneFromCode = CheckedRadios(box);
        },
        Cancel(),
    });
    ASSERT_TRUE(outcome.opened);
    EXPECT_EQ((std::set<int>{1002, 1004}), afterDoubleClick);
    EXPECT_EQ((std::set<int>{1002, 1004}), afterInterlace);
    EXPECT_EQ((std::set<int>{1002, 1003}), afterNoneFromCode);
    EXPECT_EQ(outcome.result, RESULT_OK);
}

// ---------------------------------------------------------------------------
// Closing.

struct CloseCase {
    const char* name;
    std::function<void(Box&)> close;
    int dialogResult;  // what the procedure ends the dialog with
};

class Closing : public ::testing::TestWithParam<CloseCase> {};

TEST_P(Closing, ClosesTheBoxAndReturnsZero) {
    REQUIRE_WINDOWS();
    const CloseCase& c = GetParam();
    const Outcome outcome = ShowAbout({
        [](Box& box) { box.Click(1001); },  // a choice first: it must not matter
        c.close,
    });
    ASSERT_TRUE(outcome.opened);
    EXPECT_TRUE(outcome.closedByItself) << "the box stayed open";
    EXPECT_EQ(outcome.result, RESULT_OK);
#if !defined(_WIN32)
    EXPECT_EQ(model::LastDialogCall().result, c.dialogResult);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    AboutBox, Closing,
    ::testing::Values(CloseCase{"Ok", [](Box& box) { box.Click(IDOK); }, 1},
                      CloseCase{"Cancel", [](Box& box) { box.Click(IDCANCEL); }, 0},
                      CloseCase{"EscapeKey", [](Box& box) { box.PressEscape(); }, 0},
                      CloseCase{"CloseBox", [](Box& box) { box.ClickCloseBox(); }, 0}),
    [](const ::testing::TestParamInfo<CloseCase>& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------
// Nothing is kept.

TEST(AboutBox, NextShowingStartsWithNothingChecked) {
    REQUIRE_WINDOWS();
    std::set<int> first, second = {-1};
    ASSERT_TRUE(ShowAbout({
                              [&](Box& box) {
                                  box.Click(1002);
                                  box.Click(1004);
                                  first = CheckedRadios(box);
                              },
                              [](Box& box) { box.Click(IDOK); },
                          })
                    .opened);
    ASSERT_TRUE(ShowAbout({[&](Box& box) { second = CheckedRadios(box); }, Cancel()}).opened);
    EXPECT_EQ((std::set<int>{1002, 1004}), first);
    EXPECT_TRUE(second.empty());
}

// Every choice the box offers, confirmed with OK, leaves decoding as it was.
TEST(AboutBox, ChoicesDoNotChangeTheNextPage) {
    REQUIRE_WINDOWS();
    const std::vector<uint8_t> memory = tarnel_test::RandomMemory(5150);
    // A single-frame layout (palette mode) and an interlaced, packed one
    // (blend mode): the two things the box's choices name.
    for (tarnel::FormatCode code : {tarnel::FormatCode{20}, tarnel::FormatCode{7}}) {
        SCOPED_TRACE(static_cast<int>(code));
        const std::vector<uint8_t> file = tarnel::BuildLayoutFile(code, tarnel_test::View(memory));
        ASSERT_FALSE(file.empty());
        const std::vector<uint8_t> before = tarnel_test::DecodeFile(file);
        ASSERT_EQ(before.size(), static_cast<size_t>(TARNEL_BITMAP_BLOCK_BYTES));
        for (const std::vector<int>& choice :
             {std::vector<int>{1000, 1003}, std::vector<int>{1001, 1004},
              std::vector<int>{1002, 1005}}) {
            const Outcome outcome = ShowAbout({
                [&](Box& box) {
                    for (int id : choice) box.Click(id);
                },
                [](Box& box) { box.Click(IDOK); },
            });
            ASSERT_TRUE(outcome.opened);
            EXPECT_EQ(tarnel_test::DecodeFile(file), before);
        }
    }
}

// ---------------------------------------------------------------------------
// The radio groups of the template itself, under a procedure that does
// nothing but close: the automatic radio behaviour alone keeps nothing
// exclusive, which is why the module's procedure checks the groups itself.

INT_PTR CALLBACK CloseOnlyProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
    return FALSE;
}

INT_PTR ShowTemplateAlone(HWND owner) {
#if defined(_WIN32)
    HINSTANCE instance = GetModuleHandleA(nullptr);  // this program carries the resources
#else
    HINSTANCE instance = nullptr;
#endif
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(3), owner, CloseOnlyProcedure, 0);
}

TEST(AboutTemplate, RadioButtonsStartTheirOwnGroups) {
    REQUIRE_WINDOWS();
    std::set<int> palette, mixing;
    const Outcome outcome = ShowWith(ShowTemplateAlone, {
                                                            [&](Box& box) {
                                                                box.Click(1000);
                                                                box.Click(1001);
                                                                box.Click(1002);
                                                                palette = CheckedRadios(box);
                                                            },
                                                            [&](Box& box) {
                                                                box.Click(1003);
                                                                box.Click(1004);
                                                                mixing = CheckedRadios(box);
                                                            },
                                                            Cancel(),
                                                        });
    ASSERT_TRUE(outcome.opened);
    EXPECT_TRUE(outcome.closedByItself);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ((std::set<int>{1000, 1001, 1002}), palette);
    EXPECT_EQ((std::set<int>{1000, 1001, 1002, 1003, 1004}), mixing);
}

#if !defined(_WIN32)

// ---------------------------------------------------------------------------
// The native model: built from the same template data as the resource.

TEST(AboutTemplate, ModelHoldsTheTable) {
    model::DialogView dialog;
    std::vector<model::ControlView> controls;
    ShowAbout({[&](Box& box) {
                   dialog = model::Describe(box.Handle());
                   controls = model::Controls(box.Handle());
               },
               Cancel()});
    EXPECT_EQ(dialog.style, tarnel_test::kDialogStyle);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.width, tarnel_test::kDialogWidth);
    EXPECT_EQ(dialog.height, tarnel_test::kDialogHeight);
    EXPECT_EQ(dialog.title, tarnel_test::kDialogTitle);
    EXPECT_EQ(dialog.fontPoints, tarnel_test::kFontPoints);
    EXPECT_EQ(dialog.fontName, tarnel_test::kFontName);

    ASSERT_EQ(controls.size(), static_cast<size_t>(tarnel_test::kExpectedControlCount));
    std::vector<std::string> creditLines;
    for (size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& expected = tarnel_test::kExpectedControls[i];
        const auto& actual = controls[i];
        EXPECT_EQ(static_cast<uint16_t>(actual.id), expected.id);
        EXPECT_EQ(actual.classAtom, expected.classAtom);
        EXPECT_EQ(actual.style, expected.style);
        EXPECT_EQ(actual.x, expected.x);
        EXPECT_EQ(actual.y, expected.y);
        EXPECT_EQ(actual.width, expected.width);
        EXPECT_EQ(actual.height, expected.height);
        if (expected.text != nullptr) {
            EXPECT_EQ(actual.text, expected.text);
        } else {
            creditLines.push_back(actual.text);
        }
    }
    // Six credit lines of our own: a version line, what it does, a copyright.
    ASSERT_EQ(creditLines.size(), static_cast<size_t>(tarnel_test::kCreditLineCount));
    for (const std::string& line : creditLines) EXPECT_FALSE(line.empty());
    EXPECT_EQ(creditLines[0], "tarnel version 1.0");
    EXPECT_NE(std::find_if(creditLines.begin(), creditLines.end(),
                           [](const std::string& line) {
                               return line.find("Copyright") != std::string::npos;
                           }),
              creditLines.end());
}

TEST(AboutDialogProcedure, AnswersEachMessageAsItShould) {
    // WM_INITDIALOG: TRUE, so that the system sets the focus (to OK).
    ShowAbout({Cancel()});
    EXPECT_EQ(model::LastDialogCall().initDialogResult, TRUE);
    std::vector<INT_PTR> answers;
    bool endedByOtherMessages = true;
    ShowAbout({[&](Box& box) {
        for (UINT message :
             {0x0000u /* WM_NULL */, 0x000Fu /* WM_PAINT */, 0x0010u /* WM_CLOSE */,
              0x0113u /* WM_TIMER */, 0x0100u /* WM_KEYDOWN */, 0x0400u /* WM_USER */}) {
            answers.push_back(model::Send(box.Handle(), message, IDOK, 0));
        }
        endedByOtherMessages = model::HasEnded(box.Handle());
        for (int id : {1000, 1003, 1005, 7, IDOK}) {
            answers.push_back(model::Send(box.Handle(), WM_COMMAND, id, 0));
        }
    }});
    EXPECT_FALSE(endedByOtherMessages) << "only WM_COMMAND ends the box";
    EXPECT_EQ(answers, std::vector<INT_PTR>(11, FALSE));
}

TEST(AboutDialogProcedure, ShowPlugInDialogAsksForTemplateThreeOfTheModule) {
    int ownerStandIn = 0;
    const Outcome outcome = ShowAbout({Cancel()}, &ownerStandIn);
    const model::DialogCall call = model::LastDialogCall();
    EXPECT_EQ(outcome.result, RESULT_OK);
    EXPECT_EQ(call.instance, tarnel::ModuleHandle());
    EXPECT_EQ(call.templateName, MAKEINTRESOURCEA(3));
    EXPECT_EQ(call.owner, &ownerStandIn);
    EXPECT_EQ(call.initValue, 0);
    EXPECT_TRUE(call.created);
    // The focus offered at WM_INITDIALOG is the first tab stop: OK.
    EXPECT_NE(call.initDialogFocus, 0u);
}

TEST(AboutDialogProcedure, ResultIsZeroWhateverTheDialogReturned) {
    // A dialog nobody closes is taken down by the model with -1, as one that
    // cannot be created returns -1 on Windows.
    const Outcome outcome = ShowAbout({});
    EXPECT_EQ(model::LastDialogCall().result, -1);
    EXPECT_EQ(outcome.result, RESULT_OK);
}

int g_procedureCalls = 0;
INT_PTR CALLBACK CountingProcedure(HWND, UINT, WPARAM, LPARAM) {
    ++g_procedureCalls;
    return FALSE;
}

TEST(DialogModel, UnknownTemplateIsNotCreated) {
    g_procedureCalls = 0;
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(99), nullptr, CountingProcedure, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, "ABOUT", nullptr, CountingProcedure, 0), -1);
    EXPECT_EQ(g_procedureCalls, 0);
    EXPECT_FALSE(model::LastDialogCall().created);
    EXPECT_EQ(model::FindOpenDialog(), nullptr);
}

TEST(DialogModel, CallsOnAnythingButAnOpenDialogFail) {
    int notADialog = 0;
    EXPECT_EQ(EndDialog(&notADialog, 1), FALSE);
    EXPECT_EQ(CheckRadioButton(&notADialog, 1000, 1002, 1000), FALSE);
    HWND closed = nullptr;
    ShowAbout({[&](Box& box) {
                   closed = box.Handle();
                   EXPECT_EQ(model::FindOpenDialog(), closed);
               },
               Cancel()});
    EXPECT_EQ(model::FindOpenDialog(), nullptr);
    EXPECT_EQ(EndDialog(closed, 1), FALSE);
    EXPECT_FALSE(model::Click(closed, 1000));
}

TEST(DialogModel, EndedDialogTakesNoMoreInput) {
    bool clickAfterEnd = true, escapeAfterEnd = true;
    ShowAbout({[&](Box& box) {
        EXPECT_TRUE(model::Click(box.Handle(), IDOK));
        clickAfterEnd = model::Click(box.Handle(), 1000);
        escapeAfterEnd = model::PressEscape(box.Handle());
    }});
    EXPECT_FALSE(clickAfterEnd);
    EXPECT_FALSE(escapeAfterEnd);
    EXPECT_EQ(model::LastDialogCall().result, 1);
}

TEST(DialogModel, StaticTextsAndGroupBoxesTakeNoClicks) {
    model::SetOpenHook([&](HWND dialog) {
        // Group boxes and static texts all have id -1.
        EXPECT_FALSE(model::Click(dialog, -1));
        EXPECT_TRUE(model::PressEnter(dialog));  // the default button, OK
    });
    const INT_PTR result =
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(3), nullptr, tarnel::AboutDialogProcedure, 0);
    model::SetOpenHook(nullptr);
    EXPECT_EQ(result, 1);
}

#endif  // !_WIN32

// ---------------------------------------------------------------------------
// The icons.

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    uint8_t buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

TEST(Icons, CommittedIconFileIsTheGeneratorsOutput) {
    const std::vector<uint8_t> committed = ReadFile(TARNEL_SOURCE_DIR "/resources/tarnel.ico");
    ASSERT_FALSE(committed.empty()) << "cannot read resources/tarnel.ico";
    const std::vector<uint8_t> generated =
        tarnel_tools::BuildIconFile(tarnel_tools::DrawIconImages());
    EXPECT_TRUE(committed == generated)
        << "resources/tarnel.ico differs from the artwork: rebuild it with make_icons";
}

struct IconEntry {
    uint32_t width, height, colourCount, bitsPerPixel;
};

TEST(Icons, ThreeImagesOfTheStatedSizesAndDepths) {
    const std::vector<uint8_t> file = tarnel_tools::BuildIconFile(tarnel_tools::DrawIconImages());
    ASSERT_GE(file.size(), 6u + 3 * 16);
    EXPECT_EQ(Le16(file, 0), 0u);
    EXPECT_EQ(Le16(file, 2), 1u);  // an icon, not a cursor
    ASSERT_EQ(Le16(file, 4), 3u);
    const IconEntry expected[3] = {{32, 32, 16, 4}, {16, 16, 16, 4}, {32, 32, 0, 8}};
    size_t nextOffset = 6 + 3 * 16;
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(file[entry], expected[i].width);
        EXPECT_EQ(file[entry + 1], expected[i].height);
        EXPECT_EQ(file[entry + 2], expected[i].colourCount);
        EXPECT_EQ(file[entry + 3], 0u);
        EXPECT_EQ(Le16(file, entry + 4), 1u);
        EXPECT_EQ(Le16(file, entry + 6), expected[i].bitsPerPixel);
        const uint32_t bytes = Le32(file, entry + 8);
        const uint32_t offset = Le32(file, entry + 12);
        EXPECT_EQ(offset, nextOffset);
        // Header, palette, colour rows and mask rows, rows padded to 4 bytes.
        const uint32_t w = expected[i].width, bpp = expected[i].bitsPerPixel;
        const uint32_t colourRow = (w * bpp + 31) / 32 * 4, maskRow = (w + 31) / 32 * 4;
        EXPECT_EQ(bytes, 40 + 4 * (1u << bpp) + (colourRow + maskRow) * expected[i].height);
        nextOffset = offset + bytes;
        ASSERT_LE(nextOffset, file.size());
        EXPECT_EQ(Le32(file, offset), 40u);
        EXPECT_EQ(Le32(file, offset + 4), w);
        EXPECT_EQ(Le32(file, offset + 8), 2 * expected[i].height);
        EXPECT_EQ(Le16(file, offset + 12), 1u);
        EXPECT_EQ(Le16(file, offset + 14), bpp);
        EXPECT_EQ(Le32(file, offset + 16), 0u);  // uncompressed
    }
    EXPECT_EQ(nextOffset, file.size());
}

// Reads one pixel of an icon image: its colour, or transparent.
struct Pixel {
    bool transparent;
    uint8_t red, green, blue;
    bool operator==(const Pixel& o) const {
        return transparent == o.transparent &&
               (transparent || (red == o.red && green == o.green && blue == o.blue));
    }
};

Pixel PixelAt(const tarnel_tools::IconImage& image, int x, int y) {
    const std::vector<uint8_t>& b = image.bytes;
    const int size = image.size, bpp = image.bitsPerPixel;
    const size_t palette = 40;
    const size_t colours = palette + 4 * (size_t{1} << bpp);
    const size_t colourRow = static_cast<size_t>((size * bpp + 31) / 32 * 4);
    const size_t mask = colours + colourRow * static_cast<size_t>(size);
    const size_t maskRow = static_cast<size_t>((size + 31) / 32 * 4);
    const size_t row = static_cast<size_t>(size - 1 - y);  // bottom row first
    const bool transparent =
        (b.at(mask + row * maskRow + static_cast<size_t>(x / 8)) >> (7 - x % 8)) & 1;
    const uint8_t packed = b.at(colours + row * colourRow + static_cast<size_t>(x * bpp / 8));
    const int index = bpp == 8 ? packed : (x % 2 == 0 ? packed >> 4 : packed & 0x0F);
    const size_t entry = palette + 4 * static_cast<size_t>(index);
    return Pixel{transparent, b.at(entry + 2), b.at(entry + 1), b.at(entry)};
}

TEST(Icons, ArtworkIsAPageWithATealBandAndTheLettersVic) {
    const std::vector<tarnel_tools::IconImage> images = tarnel_tools::DrawIconImages();
    ASSERT_EQ(images.size(), 3u);
    const Pixel clear{true, 0, 0, 0};
    const Pixel teal{false, 0, 128, 128};
    const Pixel white{false, 255, 255, 255};
    struct Probe {
        int x, y;
        Pixel expected;
        const char* what;
    };
    const std::vector<Probe> large = {
        {0, 0, clear, "outside the page"},
        {30, 2, clear, "cut off by the turned-down corner"},
        {22, 2, clear, "beyond the fold line"},
        {10, 5, white, "the page"},
        {6, 10, teal, "the band"},
        {25, 17, teal, "the band"},
        {7, 11, white, "the V's left stroke"},
        {9, 17, white, "the V's point"},
        {15, 14, white, "the I"},
        {19, 13, white, "the C's back"},
        {12, 13, teal, "between the letters"},
    };
    const std::vector<Probe> small = {
        {0, 0, clear, "outside the page"},
        {14, 0, clear, "cut off by the corner"},
        {4, 1, white, "the page"},
        {2, 4, teal, "the band"},
        {3, 5, white, "the V"},
        {7, 7, white, "the I"},
        {9, 7, white, "the C"},
        {8, 7, teal, "between the letters"},
    };
    for (size_t i = 0; i < images.size(); ++i) {
        const tarnel_tools::IconImage& image = images[i];
        for (const Probe& probe : image.size == 32 ? large : small) {
            const Pixel pixel = PixelAt(image, probe.x, probe.y);
            EXPECT_TRUE(pixel == probe.expected)
                << "image " << i << " at " << probe.x << "," << probe.y << ": " << probe.what;
        }
    }
    // The two large images have the same outline: the same transparent pixels.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            EXPECT_EQ(PixelAt(images[0], x, y).transparent, PixelAt(images[2], x, y).transparent);
        }
    }
}

}  // namespace
