#include "plugin/module.h"

namespace tarnel {
namespace {
HINSTANCE moduleHandle = nullptr;
}  // namespace

HINSTANCE ModuleHandle() {
    return moduleHandle;
}

}  // namespace tarnel

// Stores the instance handle when the process attaches; nothing else, for any
// reason. The native build calls this from its load hook.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) tarnel::moduleHandle = instance;
    return TRUE;
}
