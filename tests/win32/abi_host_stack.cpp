// A stack-depth probe for the DLL host test, kept in its own translation unit
// so that the compiler cannot inline it into the calls it brackets.
#include "tests/win32/abi_host_stack.h"

namespace abi_host {

uintptr_t StackMarkHere() {
    volatile unsigned char here = 0;
    const uintptr_t address = reinterpret_cast<uintptr_t>(&here);
    return address;
}

}  // namespace abi_host
