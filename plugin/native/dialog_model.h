// The native build's headless dialog: DialogBoxParamA, EndDialog and
// CheckRadioButton (declared in platform/win_api.h) work on a model of the
// About box built from the same template data as the Windows resource
// (resources/about_dialog_template.h). Controls keep checked and enabled
// state, and messages reach the module's own dialog procedure as Windows
// delivers them, so the procedure's behaviour can be tested without Windows.
//
// DialogBoxParamA runs the dialog the way Windows does: it creates the
// controls, sends WM_INITDIALOG, and then, while the dialog is "open", calls
// the open hook (the stand-in for the person at the screen). The hook can
// click controls, press keys and read state through the functions below. If
// the dialog has not been ended when the hook returns, nobody is left to close
// it: the model takes it down itself and DialogBoxParamA returns -1.
#ifndef TARNEL_PLUGIN_NATIVE_DIALOG_MODEL_H
#define TARNEL_PLUGIN_NATIVE_DIALOG_MODEL_H

#if defined(_WIN32)
#error "the dialog model stands in for Windows; Windows builds use the real dialog"
#endif

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_api.h"

// Window and control styles the template uses, with their Windows values.
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define DS_SETFONT 0x40u
#define DS_MODALFRAME 0x80u
#define BS_PUSHBUTTON 0x0u
#define BS_DEFPUSHBUTTON 0x1u
#define BS_GROUPBOX 0x7u
#define BS_AUTORADIOBUTTON 0x9u
#define BS_TYPEMASK 0xFu
#define SS_LEFT 0x0u

// Button notification codes (high word of WM_COMMAND's WPARAM).
#define BN_CLICKED 0
#define BN_DOUBLECLICKED 5
#define MAKEWPARAM(low, high) \
    ((WPARAM)(((uint32_t)(uint16_t)(low)) | (((uint32_t)(uint16_t)(high)) << 16)))

namespace tarnel {
namespace dialog_model {

// The dialog as its template describes it.
struct DialogView {
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string title;
    int fontPoints = 0;
    std::string fontName;
};

// One control: its template entry and its current state.
struct ControlView {
    HWND handle = nullptr;
    int id = 0;  // as the template stores it: a 16-bit value, so -1 reads 0xFFFF
    uint16_t classAtom = 0;
    std::string text;
    DWORD style = 0;  // full style, WS_CHILD and WS_VISIBLE included
    int x = 0, y = 0, width = 0, height = 0;
    bool checked = false;
    bool enabled = true;
};

// What the latest DialogBoxParamA call was given and how it ended.
struct DialogCall {
    HINSTANCE instance = nullptr;
    LPCSTR templateName = nullptr;
    HWND owner = nullptr;
    LPARAM initValue = 0;
    bool created = false;           // the template was found and the dialog made
    INT_PTR initDialogResult = 0;   // the procedure's answer to WM_INITDIALOG
    WPARAM initDialogFocus = 0;     // the control offered the focus
    bool endedByProcedure = false;  // EndDialog was called before the model gave up
    INT_PTR result = 0;             // DialogBoxParamA's result
};

// Called with the dialog's handle once it is open; an empty function removes
// the hook. The hook stays in place for every later dialog until replaced.
using OpenHook = std::function<void(HWND dialog)>;
void SetOpenHook(OpenHook hook);

DialogCall LastDialogCall();
int DialogCallCount();

// The innermost dialog now open, or nullptr.
HWND FindOpenDialog();

// Reading a dialog; an unknown handle gives an empty view or nullptr/false.
DialogView Describe(HWND dialog);
std::vector<ControlView> Controls(HWND dialog);
HWND ControlHandle(HWND dialog, int id);  // like GetDlgItem: the first control with `id`
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool HasEnded(HWND dialog);

// A person's actions, handled as Windows' default dialog and button handling
// does. Each returns false when the action reaches nothing: the dialog has
// been ended (and so hidden), or the control takes no clicks (disabled,
// static text, group box).
//   Click: a mouse click on a control. Push buttons send WM_COMMAND with
//     BN_CLICKED; automatic radio buttons first check themselves and clear the
//     other automatic radio buttons of their group, then send it.
//   PressEscape: the dialog manager's WM_COMMAND IDCANCEL.
//   PressEnter: WM_COMMAND with the default push button's id.
//   ClickCloseBox: WM_CLOSE to the procedure; when the procedure leaves it to
//     the default handling, WM_COMMAND IDCANCEL follows.
bool Click(HWND dialog, int id);
bool PressEscape(HWND dialog);
bool PressEnter(HWND dialog);
bool ClickCloseBox(HWND dialog);

// BM_SETCHECK: sets a radio button's check state directly, as a program can;
// false when there is no such radio button.
bool SetCheck(HWND dialog, int id, bool checked);

// Delivers a message straight to the dialog procedure and returns its answer.
INT_PTR Send(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace dialog_model
}  // namespace tarnel

#endif  // TARNEL_PLUGIN_NATIVE_DIALOG_MODEL_H
