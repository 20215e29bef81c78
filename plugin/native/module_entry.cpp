// The native load hook: when the library (or a program linking the module
// statically) is loaded, hand the module its handle as Windows would.
#include <dlfcn.h>

#include "plugin/module.h"

namespace {

__attribute__((constructor)) void AttachModule() {
    Dl_info info{};
    void* handle = nullptr;
    if (dladdr(reinterpret_cast<void*>(&AttachModule), &info) != 0) handle = info.dli_fbase;
    DllMain(handle, DLL_PROCESS_ATTACH, nullptr);
}

}  // namespace
