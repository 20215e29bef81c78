// Drives a real modal About box on Windows (or Wine) from inside its own
// message loop: a thread timer, dispatched by the dialog's modal loop, finds
// the open dialog and runs the test's steps, one per tick, so that the
// dialog paints and handles posted messages between steps. A dialog still
// open well after the last step is ended by force and reported, so a box
// that does not close fails the test instead of hanging it.
#ifndef TARNEL_TESTS_WIN32_DIALOG_DRIVER_H
#define TARNEL_TESTS_WIN32_DIALOG_DRIVER_H

#if !defined(_WIN32)
#error "drives real Windows dialogs"
#endif

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tarnel_test {

// An open dialog, read and worked through the Win32 API.
class Win32Box {
public:
    explicit Win32Box(HWND dialog) : dialog_(dialog) {}
    HWND Handle() const { return dialog_; }

    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    bool Enabled(int id) const {
        HWND control = GetDlgItem(dialog_, id);
        return control != nullptr && IsWindowEnabled(control);
    }

    // A click on a control: a disabled control takes no mouse input, and
    // static texts and group boxes let clicks through; buttons get BM_CLICK,
    // which runs their own mouse handling (press, release, notify).
    bool Click(int id) {
        HWND control = GetDlgItem(dialog_, id);
        if (control == nullptr || !IsWindowEnabled(control)) return false;
        char className[16] = {};
        GetClassNameA(control, className, sizeof className);
        if (lstrcmpiA(className, "Button") != 0) return false;
        const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_GROUPBOX) return false;
        SendMessageA(control, BM_CLICK, 0, 0);
        return true;
    }

    // BM_SETCHECK, as a program sets a button's state.
    void SetCheck(int id, bool checked) {
        SendDlgItemMessageA(dialog_, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    // WM_COMMAND as a control would send it.
    void Command(int id, int notification) {
        SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, notification),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
    }

    // The Escape key, to the window with the focus; the dialog's message loop
    // hands it to the dialog manager, which turns it into IDCANCEL.
    void PressEscape() {
        HWND focus = GetFocus();
        if (focus == nullptr || (focus != dialog_ && !IsChild(dialog_, focus))) focus = dialog_;
        const LPARAM down = 1 | (static_cast<LPARAM>(MapVirtualKeyA(VK_ESCAPE, 0)) << 16);
        PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, down);
        PostMessageA(focus, WM_KEYUP, VK_ESCAPE, down | (3 << 30));
    }

    // What the close box sends: SC_CLOSE, which the default handling turns
    // into WM_CLOSE and the default dialog handling into IDCANCEL.
    void ClickCloseBox() { PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }

private:
    HWND dialog_;
};

using DialogStep = std::function<void(Win32Box&)>;

struct DialogOutcome {
    int32_t result = -12345;      // what the show function returned
    bool opened = false;          // a dialog appeared and the steps ran
    bool closedByItself = false;  // it closed without being ended by force
    HWND owner = nullptr;         // the dialog's owner window, as Windows reports it
};

namespace dialog_driver_detail {

struct Run {
    std::vector<DialogStep> steps;
    size_t nextStep = 0;
    int idleTicks = 0;
    bool busy = false;
    bool forced = false;
    bool opened = false;
    HWND owner = nullptr;
};

inline Run*& CurrentRun() {
    static Run* run = nullptr;
    return run;
}

inline BOOL CALLBACK FindDialogWindow(HWND window, LPARAM found) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

inline HWND OpenDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialogWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Run* run = CurrentRun();
    if (run == nullptr || run->busy) return;
    HWND dialog = OpenDialog();
    if (dialog == nullptr) return;
    run->busy = true;
    if (run->nextStep < run->steps.size()) {
        if (run->nextStep == 0) {
            run->opened = true;
            run->owner = GetWindow(dialog, GW_OWNER);
        }
        Win32Box box(dialog);
        run->steps[run->nextStep++](box);
    } else if (++run->idleTicks > 100) {  // about 3 s after the last step
        run->forced = true;
        EndDialog(dialog, 0x7E57);
    }
    run->busy = false;
}

}  // namespace dialog_driver_detail

// Calls `show(owner)`, which must open a modal dialog, and runs `steps` on it
// while it is open, one per timer tick.
template <typename Show>
DialogOutcome ShowAndDrive(Show show, HWND owner, std::vector<DialogStep> steps) {
    namespace detail = dialog_driver_detail;
    detail::Run run;
    run.steps = std::move(steps);
    detail::CurrentRun() = &run;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, detail::Tick);
    DialogOutcome outcome;
    outcome.result = show(owner);
    if (timer != 0) KillTimer(nullptr, timer);
    detail::CurrentRun() = nullptr;
    // Drop a tick that may already be queued.
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    outcome.opened = run.opened;
    outcome.closedByItself = run.opened && !run.forced && run.nextStep == run.steps.size();
    outcome.owner = run.owner;
    return outcome;
}

// Under Wine, top-level windows are "managed" by default: Wine waits for an
// X window manager to confirm each one being shown or hidden, and on a bare
// virtual display, which has none, every wait runs to its 2 s time-out. This
// program's windows are made unmanaged instead (Wine then frames them
// itself), through Wine's per-program settings, before the first window
// brings up Wine's display driver. Nothing happens on Windows.
inline void UseUnmanagedWindowsUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) return;
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + name + "\\X11 Driver";
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(handle, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(handle);
}

// Whether this process can create windows at all: under Wine that needs an
// X display.
inline bool CanCreateWindows() {
    static const bool prepared = (UseUnmanagedWindowsUnderWine(), true);
    (void)prepared;
    HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (probe == nullptr) return false;
    DestroyWindow(probe);
    return true;
}

// A plain top-level window to own the dialog, as the viewer's main window does.
class OwnerWindow {
public:
    OwnerWindow(int x, int y, int width, int height) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        windowClass.lpszClassName = "tarnel_test_owner";
        RegisterClassA(&windowClass);  // fails harmlessly when already registered
        window_ = CreateWindowExA(0, "tarnel_test_owner", "tarnel test host",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width, height, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnerWindow() {
        if (window_ != nullptr) DestroyWindow(window_);
    }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

}  // namespace tarnel_test

#endif  // TARNEL_TESTS_WIN32_DIALOG_DRIVER_H
