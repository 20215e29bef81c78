// A stack-depth probe for the DLL host test.
//
// StackMark() returns the address of a local variable of a function that is
// compiled apart from its callers and called through a volatile pointer, so it
// is never inlined: its frame starts exactly at the caller's stack pointer.
// Two marks taken from the same function around a call differ when that call
// left the stack pointer elsewhere, which is what a caller/callee mismatch of
// the calling convention does (WINAPI callee removes its arguments, __cdecl
// caller removes them).
#ifndef TARNEL_TESTS_WIN32_ABI_HOST_STACK_H
#define TARNEL_TESTS_WIN32_ABI_HOST_STACK_H

#include <stdint.h>

namespace abi_host {

uintptr_t StackMarkHere();

inline uintptr_t StackMark() {
    uintptr_t (*volatile probe)() = &StackMarkHere;
    return probe();
}

}  // namespace abi_host

#endif  // TARNEL_TESTS_WIN32_ABI_HOST_STACK_H
