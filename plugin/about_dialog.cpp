#include "plugin/about_dialog.h"

#include "plugin/module.h"
#include "plugin/tarnel_api.h"
#include "resources/resource_ids.h"

namespace tarnel {

// Each palette button, "Blend" and "Interlace" start radio groups of their
// own in the template, so the automatic radio behaviour clears nothing; the
// explicit CheckRadioButton calls make each group of the box exclusive.
INT_PTR CALLBACK AboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;  // let the system set the focus; nothing is checked
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            switch (id) {
                case IDOK:
                    EndDialog(dialog, 1);
                    break;
                case IDCANCEL:
                    EndDialog(dialog, 0);
                    break;
                case IDC_PALETTE_OSTREL_OLD:
                case IDC_PALETTE_OSTREL_NEW:
                case IDC_PALETTE_CINDRAL:
                    CheckRadioButton(dialog, IDC_PALETTE_OSTREL_OLD, IDC_PALETTE_CINDRAL, id);
                    break;
                case IDC_MIXING_NONE:
                case IDC_MIXING_BLEND:
                    CheckRadioButton(dialog, IDC_MIXING_NONE, IDC_MIXING_INTERLACE, id);
                    break;
                default:
                    break;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace tarnel

extern "C" int32_t WINAPI IDP_ShowPlugInDialog(HWND owner) {
    DialogBoxParamA(tarnel::ModuleHandle(), MAKEINTRESOURCEA(IDD_ABOUT), owner,
                    tarnel::AboutDialogProcedure, 0);
    return RESULT_OK;
}
