// The headless dialog model behind the native DialogBoxParamA, EndDialog and
// CheckRadioButton; see dialog_model.h.
#include "plugin/native/dialog_model.h"

#include <memory>
#include <utility>

#include "resources/about_dialog_template.h"

namespace tarnel {
namespace dialog_model {
namespace {

struct TemplateControl {
    int id;
    uint16_t classAtom;
    const char* text;
    DWORD style;  // beyond WS_CHILD and WS_VISIBLE
    int x, y, width, height;
};

#define TARNEL_MODEL_CONTROL(id, classAtom, text, style, x, y, width, height) \
    {id, classAtom, text, style, x, y, width, height},
constexpr TemplateControl ABOUT_CONTROLS[] = {TARNEL_ABOUT_CONTROLS(TARNEL_MODEL_CONTROL)};
#undef TARNEL_MODEL_CONTROL

struct Control {
    ControlView view;
};

struct Dialog {
    DialogView view;
    // Controls live as long as the dialog and never move: their addresses
    // are their handles.
    std::vector<std::unique_ptr<Control>> controls;
    DLGPROC procedure = nullptr;
    bool ended = false;
    INT_PTR result = 0;
};

struct ModelState {
    OpenHook hook;
    std::vector<Dialog*> open;  // innermost last
    DialogCall lastCall;
    int callCount = 0;
};

ModelState& State() {
    static ModelState state;
    return state;
}

Dialog* Find(HWND handle) {
    for (Dialog* dialog : State().open) {
        if (static_cast<HWND>(dialog) == handle) return dialog;
    }
    return nullptr;
}

Control* FindControl(Dialog& dialog, int id) {
    const uint16_t wanted = static_cast<uint16_t>(id);
    for (const auto& control : dialog.controls) {
        if (static_cast<uint16_t>(control->view.id) == wanted) return control.get();
    }
    return nullptr;
}

DWORD ButtonType(const Control& control) {
    return control.view.style & BS_TYPEMASK;
}

bool IsAutoRadio(const Control& control) {
    return control.view.classAtom == TARNEL_CLASS_BUTTON &&
           ButtonType(control) == BS_AUTORADIOBUTTON;
}

bool HasCheckState(const Control& control) {
    // Only radio buttons carry a check state in this box.
    return IsAutoRadio(control);
}

bool IsPushButton(const Control& control) {
    return control.view.classAtom == TARNEL_CLASS_BUTTON &&
           (ButtonType(control) == BS_PUSHBUTTON || ButtonType(control) == BS_DEFPUSHBUTTON);
}

std::unique_ptr<Dialog> MakeAboutDialog(DLGPROC procedure) {
    auto dialog = std::make_unique<Dialog>();
    dialog->view.style = TARNEL_ABOUT_STYLE;
    dialog->view.x = TARNEL_ABOUT_X;
    dialog->view.y = TARNEL_ABOUT_Y;
    dialog->view.width = TARNEL_ABOUT_WIDTH;
    dialog->view.height = TARNEL_ABOUT_HEIGHT;
    dialog->view.title = TARNEL_ABOUT_TITLE;
    dialog->view.fontPoints = TARNEL_ABOUT_FONT_POINTS;
    dialog->view.fontName = TARNEL_ABOUT_FONT_NAME;
    dialog->procedure = procedure;
    for (const TemplateControl& entry : ABOUT_CONTROLS) {
        auto control = std::make_unique<Control>();
        ControlView& view = control->view;
        view.handle = static_cast<HWND>(control.get());
        view.id = static_cast<uint16_t>(entry.id);
        view.classAtom = entry.classAtom;
        view.text = entry.text;
        view.style = WS_CHILD | WS_VISIBLE | entry.style;
        view.x = entry.x;
        view.y = entry.y;
        view.width = entry.width;
        view.height = entry.height;
        view.checked = false;  // a template checks nothing
        view.enabled = (view.style & WS_DISABLED) == 0;
        dialog->controls.push_back(std::move(control));
    }
    return dialog;
}

INT_PTR Deliver(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return dialog.procedure(static_cast<HWND>(&dialog), message, wParam, lParam);
}

LPARAM HandleParam(Control* control) {
    return reinterpret_cast<LPARAM>(control == nullptr ? nullptr : control->view.handle);
}

// The automatic radio behaviour: clear every other enabled automatic radio
// button of the clicked button's group. A group runs from a control with
// WS_GROUP up to the next one.
void ClearRestOfGroup(Dialog& dialog, const Control& clicked) {
    size_t index = 0;
    while (dialog.controls[index].get() != &clicked) ++index;
    size_t first = index;
    while (first > 0 && (dialog.controls[first]->view.style & WS_GROUP) == 0) --first;
    for (size_t i = first; i < dialog.controls.size(); ++i) {
        Control& other = *dialog.controls[i];
        if (i > first && (other.view.style & WS_GROUP) != 0) break;
        if (&other != &clicked && IsAutoRadio(other) && other.view.enabled)
            other.view.checked = false;
    }
}

// The dialog manager's choice for the focus at WM_INITDIALOG: the first
// enabled control with WS_TABSTOP.
Control* FirstTabStop(Dialog& dialog) {
    for (const auto& control : dialog.controls) {
        if ((control->view.style & WS_TABSTOP) != 0 && control->view.enabled) return control.get();
    }
    return nullptr;
}

}  // namespace

void SetOpenHook(OpenHook hook) {
    State().hook = std::move(hook);
}

DialogCall LastDialogCall() {
    return State().lastCall;
}

int DialogCallCount() {
    return State().callCount;
}

HWND FindOpenDialog() {
    const auto& open = State().open;
    return open.empty() ? nullptr : static_cast<HWND>(open.back());
}

DialogView Describe(HWND handle) {
    const Dialog* dialog = Find(handle);
    return dialog == nullptr ? DialogView{} : dialog->view;
}

std::vector<ControlView> Controls(HWND handle) {
    std::vector<ControlView> views;
    if (const Dialog* dialog = Find(handle)) {
        for (const auto& control : dialog->controls) views.push_back(control->view);
    }
    return views;
}

HWND ControlHandle(HWND handle, int id) {
    Dialog* dialog = Find(handle);
    Control* control = dialog == nullptr ? nullptr : FindControl(*dialog, id);
    return control == nullptr ? nullptr : control->view.handle;
}

bool IsChecked(HWND handle, int id) {
    Dialog* dialog = Find(handle);
    Control* control = dialog == nullptr ? nullptr : FindControl(*dialog, id);
    return control != nullptr && control->view.checked;
}

bool IsEnabled(HWND handle, int id) {
    Dialog* dialog = Find(handle);
    Control* control = dialog == nullptr ? nullptr : FindControl(*dialog, id);
    return control != nullptr && control->view.enabled;
}

bool HasEnded(HWND handle) {
    const Dialog* dialog = Find(handle);
    return dialog != nullptr && dialog->ended;
}

bool Click(HWND handle, int id) {
    Dialog* dialog = Find(handle);
    if (dialog == nullptr || dialog->ended) return false;
    Control* control = FindControl(*dialog, id);
    if (control == nullptr || !control->view.enabled) return false;
    if (IsAutoRadio(*control)) {
        control->view.checked = true;
        ClearRestOfGroup(*dialog, *control);
    } else if (!IsPushButton(*control)) {
        return false;  // group boxes and static texts let clicks through
    }
    Deliver(*dialog, WM_COMMAND, MAKEWPARAM(control->view.id, BN_CLICKED), HandleParam(control));
    return true;
}

bool PressEscape(HWND handle) {
    Dialog* dialog = Find(handle);
    if (dialog == nullptr || dialog->ended) return false;
    Deliver(*dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0),
            HandleParam(FindControl(*dialog, IDCANCEL)));
    return true;
}

bool PressEnter(HWND handle) {
    Dialog* dialog = Find(handle);
    if (dialog == nullptr || dialog->ended) return false;
    int id = IDOK;
    for (const auto& control : dialog->controls) {
        if (control->view.classAtom == TARNEL_CLASS_BUTTON &&
            ButtonType(*control) == BS_DEFPUSHBUTTON) {
            id = control->view.id;
            break;
        }
    }
    Control* button = FindControl(*dialog, id);
    if (button != nullptr && !button->view.enabled) return true;  // the key is swallowed
    Deliver(*dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), HandleParam(button));
    return true;
}

bool ClickCloseBox(HWND handle) {
    Dialog* dialog = Find(handle);
    if (dialog == nullptr || dialog->ended) return false;
    if (Deliver(*dialog, WM_CLOSE, 0, 0) != FALSE) return true;
    // The default dialog handling turns WM_CLOSE into the Cancel button's
    // command, unless that button exists and is disabled.
    Control* cancel = FindControl(*dialog, IDCANCEL);
    if (cancel == nullptr || cancel->view.enabled)
        Deliver(*dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), HandleParam(cancel));
    return true;
}

bool SetCheck(HWND handle, int id, bool checked) {
    Dialog* dialog = Find(handle);
    Control* control = dialog == nullptr ? nullptr : FindControl(*dialog, id);
    if (control == nullptr || !HasCheckState(*control)) return false;
    control->view.checked = checked;
    return true;
}

INT_PTR Send(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = Find(handle);
    return dialog == nullptr ? 0 : Deliver(*dialog, message, wParam, lParam);
}

}  // namespace dialog_model
}  // namespace tarnel

using tarnel::dialog_model::DialogCall;

extern "C" INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                                   DLGPROC procedure, LPARAM initValue) {
    using namespace tarnel::dialog_model;
    ModelState& state = State();
    ++state.callCount;
    state.lastCall = DialogCall{};
    state.lastCall.instance = instance;
    state.lastCall.templateName = templateName;
    state.lastCall.owner = owner;
    state.lastCall.initValue = initValue;

    // The module's one template, by number; anything else is not found.
    if (templateName != MAKEINTRESOURCEA(IDD_ABOUT) || procedure == nullptr) {
        state.lastCall.result = -1;
        return -1;
    }
    std::unique_ptr<Dialog> dialog = MakeAboutDialog(procedure);
    state.lastCall.created = true;
    state.open.push_back(dialog.get());

    Control* focus = FirstTabStop(*dialog);
    const WPARAM focusParam =
        reinterpret_cast<WPARAM>(focus == nullptr ? nullptr : focus->view.handle);
    state.lastCall.initDialogFocus = focusParam;
    state.lastCall.initDialogResult = Deliver(*dialog, WM_INITDIALOG, focusParam, initValue);

    if (!dialog->ended && state.hook) {
        // A copy: the hook may replace itself.
        OpenHook hook = state.hook;
        hook(static_cast<HWND>(dialog.get()));
    }

    const bool ended = dialog->ended;
    const INT_PTR result = ended ? dialog->result : -1;
    state.open.pop_back();
    state.lastCall.endedByProcedure = ended;
    state.lastCall.result = result;
    return result;
}

extern "C" BOOL EndDialog(HWND handle, INT_PTR result) {
    using namespace tarnel::dialog_model;
    Dialog* dialog = Find(handle);
    if (dialog == nullptr) return FALSE;
    // As on Windows, a later call replaces the result of an earlier one.
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

extern "C" BOOL CheckRadioButton(HWND handle, int firstId, int lastId, int checkId) {
    using namespace tarnel::dialog_model;
    Dialog* dialog = Find(handle);
    if (dialog == nullptr) return FALSE;
    // Every control whose id lies in the range is set: the one given is
    // checked, the others cleared, disabled ones included.
    for (const auto& control : dialog->controls) {
        const int id = control->view.id;
        if (id < firstId || id > lastId || !HasCheckState(*control)) continue;
        control->view.checked = (id == checkId);
    }
    return TRUE;
}
