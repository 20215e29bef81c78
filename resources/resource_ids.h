// Resource ids and the string table's texts, shared by the Windows resource
// script and the native build's stand-in for LoadStringA.
#ifndef TARNEL_RESOURCES_RESOURCE_IDS_H
#define TARNEL_RESOURCES_RESOURCE_IDS_H

#define IDS_PLUGIN_NAME 1
#define IDS_DEFAULT_EXTENSION 4
#define IDS_FORMAT_DESCRIPTION 5
#define IDS_FORMAT_SHORT_NAME 6

#define IDI_DOCUMENT 2
#define IDI_DOCUMENT_COPY 7
#define IDD_ABOUT 3

// Controls of the About box.
#define IDC_PALETTE_OSTREL_OLD 1000
#define IDC_PALETTE_OSTREL_NEW 1001
#define IDC_PALETTE_CINDRAL 1002
#define IDC_MIXING_NONE 1003
#define IDC_MIXING_BLEND 1004
#define IDC_MIXING_INTERLACE 1005

// The string table, as X(id, text) entries.
#define TARNEL_STRING_TABLE(X)                             \
    X(IDS_PLUGIN_NAME, "Vedozedez64 Oziduruv Evadovu")     \
    X(IDS_DEFAULT_EXTENSION, "VIC")                        \
    X(IDS_FORMAT_DESCRIPTION, "Commodore64 Graphic Files") \
    X(IDS_FORMAT_SHORT_NAME, "VIC")

#endif  // TARNEL_RESOURCES_RESOURCE_IDS_H
