// The About box: version and credit lines, and two groups of radio buttons
// whose choice only toggles on screen; nothing is read back or stored.
#ifndef TARNEL_PLUGIN_ABOUT_DIALOG_H
#define TARNEL_PLUGIN_ABOUT_DIALOG_H

#include "platform/win_api.h"

namespace tarnel {

INT_PTR CALLBACK AboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tarnel

#endif  // TARNEL_PLUGIN_ABOUT_DIALOG_H
