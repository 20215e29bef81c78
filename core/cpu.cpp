#include "core/cpu.h"

#include <atomic>

namespace tarnel {
namespace {

InstructionSet AskProcessor() {
#if TARNEL_X86_KERNELS
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi")) {
        return InstructionSet::Avx512;
    }
    if (__builtin_cpu_supports("avx2")) return InstructionSet::Avx2;
    if (__builtin_cpu_supports("ssse3")) return InstructionSet::Ssse3;
#endif
    return InstructionSet::Plain;
}

// Lowered only by CapInstructionSetForTests.
std::atomic<uint8_t> testCap{static_cast<uint8_t>(InstructionSet::Avx512)};

}  // namespace

InstructionSet WidestInstructionSet() {
    static const InstructionSet widest = AskProcessor();
    return widest;
}

bool MayUse(InstructionSet set) {
    return WidestInstructionSet() >= set &&
           testCap.load(std::memory_order_relaxed) >= static_cast<uint8_t>(set);
}

void CapInstructionSetForTests(InstructionSet widest) {
    testCap.store(static_cast<uint8_t>(widest), std::memory_order_relaxed);
}

}  // namespace tarnel
