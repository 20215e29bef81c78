// The one place that decides which instruction set the kernels use.
//
// Each kernel (a row converter, a row loop, an unpacker) comes in variants
// for AVX-512, AVX2, SSSE3 and plain C++, not every kernel in every one.
// The plain variants live with their family (pixels.cpp, render.cpp,
// unpack.cpp), the others one file per family and instruction set in
// core/x86/ (core/kernels.h declares them). Each family lists its variants
// in order of preference; ChooseKernel takes the first that the processor
// runs. What the processor has is asked once per process, at
// the first use, and never changes: the one process-wide fact the library
// keeps.
#ifndef TARNEL_CORE_CPU_H
#define TARNEL_CORE_CPU_H

#include <cstddef>
#include <cstdint>

// 1 where the x86 variants are built: GCC or Clang for a 32- or 64-bit x86
// processor. Elsewhere (WebAssembly) the files of core/x86/ compile to
// nothing and every family has its plain variant alone.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARNEL_X86_KERNELS 1
#else
#define TARNEL_X86_KERNELS 0
#endif

namespace tarnel {

// Narrowest first; each variant gives exactly the bytes of the plain one.
enum class InstructionSet : uint8_t { Plain, Ssse3, Avx2, Avx512 };

// The widest set this processor (and build) has. AVX-512 here means
// AVX512F, AVX512BW and AVX512VBMI together.
InstructionSet WidestInstructionSet();

// True when kernels may use `set`: the processor has it, and no test has
// capped the sets below it.
bool MayUse(InstructionSet set);

template <typename Kernel>
struct KernelVariant {
    InstructionSet set;
    Kernel kernel;  // nullptr: no variant for this set
};

// The first variant, in the order given (widest first, plain last), that
// MayUse allows; the last variant when none is.
template <typename Kernel, size_t N>
Kernel ChooseKernel(const KernelVariant<Kernel> (&variants)[N]) {
    for (size_t i = 0; i + 1 < N; ++i) {
        if (variants[i].kernel != nullptr && MayUse(variants[i].set)) return variants[i].kernel;
    }
    return variants[N - 1].kernel;
}

// For tests only, which compare every variant on one machine: kernels use
// no set wider than `widest` until the next call (InstructionSet::Avx512
// lifts the cap). Not part of the C library's interface: libtarnel.so does
// not export it (the core is built with hidden visibility).
void CapInstructionSetForTests(InstructionSet widest);

}  // namespace tarnel

#endif  // TARNEL_CORE_CPU_H
