// Module-wide state: the instance handle stored when the process attaches.
#ifndef TARNEL_PLUGIN_MODULE_H
#define TARNEL_PLUGIN_MODULE_H

#include "platform/win_api.h"

namespace tarnel {

HINSTANCE ModuleHandle();

}  // namespace tarnel

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

#endif  // TARNEL_PLUGIN_MODULE_H
