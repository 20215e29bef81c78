// The About box's dialog template, as data. One table serves both the
// resource script (windres runs it through the C preprocessor) and the native
// build's headless dialog model, so the two cannot drift apart.
//
// The style names (WS_*, DS_*, BS_*, SS_*) and IDOK/IDCANCEL are left to the
// includer: <windows.h> in the resource script and on Windows, the native
// dialog model's header elsewhere. Keep this file plain C preprocessor input:
// the resource compiler reads it too.
#ifndef TARNEL_RESOURCES_ABOUT_DIALOG_TEMPLATE_H
#define TARNEL_RESOURCES_ABOUT_DIALOG_TEMPLATE_H

#include "resources/resource_ids.h"

// The dialog itself: position and size in dialog units, style, title, font.
#define TARNEL_ABOUT_X 0
#define TARNEL_ABOUT_Y 0
#define TARNEL_ABOUT_WIDTH 227
#define TARNEL_ABOUT_HEIGHT 186
#define TARNEL_ABOUT_STYLE (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT)
#define TARNEL_ABOUT_TITLE "About tarnel"
#define TARNEL_ABOUT_FONT_POINTS 8
#define TARNEL_ABOUT_FONT_NAME "MS Sans Serif"

// The predefined window classes, by the atoms a classic template stores for
// them. Written as numbers so that the resource compiler stores the atom and
// not a class name.
#define TARNEL_CLASS_BUTTON 0x0080
#define TARNEL_CLASS_STATIC 0x0082

// Every control carries WS_CHILD | WS_VISIBLE; this table gives the styles
// beyond those. Order matters: it is the tab order, and WS_GROUP marks where a
// radio group starts. Each palette button, "Blend" and "Interlace" start
// groups of their own, so the dialog procedure keeps the groups exclusive.
//
// X(id, class atom, text, style, x, y, width, height)
#define TARNEL_ABOUT_CONTROLS(X)                                                                  \
    X(IDOK, TARNEL_CLASS_BUTTON, "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 58, 162, 50, 14)            \
    X(IDCANCEL, TARNEL_CLASS_BUTTON, "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 111, 162, 50, 14)      \
    X(-1, TARNEL_CLASS_BUTTON, "Color palette scheme", BS_GROUPBOX | WS_GROUP, 13, 17, 83, 51)    \
    X(IDC_PALETTE_OSTREL_OLD, TARNEL_CLASS_BUTTON, "Ostrel Old", BS_AUTORADIOBUTTON | WS_GROUP,   \
      16, 29, 53, 10)                                                                             \
    X(IDC_PALETTE_OSTREL_NEW, TARNEL_CLASS_BUTTON, "Ostrel New", BS_AUTORADIOBUTTON | WS_GROUP,   \
      16, 42, 57, 10)                                                                             \
    X(IDC_PALETTE_CINDRAL, TARNEL_CLASS_BUTTON, "Cindral", BS_AUTORADIOBUTTON | WS_GROUP, 16, 55, \
      39, 10)                                                                                     \
    X(-1, TARNEL_CLASS_BUTTON, "Color mixing", BS_GROUPBOX | WS_GROUP, 104, 17, 107, 51)          \
    X(IDC_MIXING_NONE, TARNEL_CLASS_BUTTON, "None", BS_AUTORADIOBUTTON, 107, 29, 33, 10)          \
    X(IDC_MIXING_BLEND, TARNEL_CLASS_BUTTON, "Blend", BS_AUTORADIOBUTTON | WS_GROUP, 107, 42, 34, \
      10)                                                                                         \
    X(IDC_MIXING_INTERLACE, TARNEL_CLASS_BUTTON, "Interlace",                                     \
      BS_AUTORADIOBUTTON | WS_GROUP | WS_DISABLED, 107, 55, 43, 10)                               \
    X(-1, TARNEL_CLASS_STATIC, "tarnel version 1.0", SS_LEFT | WS_GROUP, 66, 89, 86, 8)           \
    X(-1, TARNEL_CLASS_STATIC, "Decodes bitmap pictures", SS_LEFT | WS_GROUP, 62, 108, 90, 8)     \
    X(-1, TARNEL_CLASS_STATIC, "from Commodore 64 paint programs", SS_LEFT | WS_GROUP, 41, 116,   \
      135, 8)                                                                                     \
    X(-1, TARNEL_CLASS_STATIC,                                                                    \
      "This plug-in currently supports 18 various C64 graphic file types", SS_LEFT | WS_GROUP, 8, \
      73, 211, 8)                                                                                 \
    X(-1, TARNEL_CLASS_STATIC, "Copyright (C) the tarnel authors", SS_LEFT | WS_GROUP, 46, 131,   \
      121, 8)                                                                                     \
    X(-1, TARNEL_CLASS_STATIC, "Made in C++ for Windows and Linux", SS_LEFT | WS_GROUP, 45, 141,  \
      122, 8)                                                                                     \
    X(-1, TARNEL_CLASS_STATIC, "image plug-in", SS_LEFT | WS_GROUP, 79, 99, 50, 8)

#endif  // TARNEL_RESOURCES_ABOUT_DIALOG_TEMPLATE_H
