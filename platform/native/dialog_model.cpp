// Native stand-in for the dialog calls; completed by the headless dialog model.
#include "platform/win_api.h"

extern "C" INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) {
    return -1;
}
extern "C" BOOL EndDialog(HWND, INT_PTR) {
    return FALSE;
}
extern "C" BOOL CheckRadioButton(HWND, int, int, int) {
    return FALSE;
}
