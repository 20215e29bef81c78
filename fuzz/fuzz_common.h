// Shared by the fuzz targets: a failed check prints what broke and aborts,
// which libFuzzer reports as a finding and saves the input for.
#ifndef TARNEL_FUZZ_FUZZ_COMMON_H
#define TARNEL_FUZZ_FUZZ_COMMON_H

#include <cstdio>
#include <cstdlib>

namespace tarnel_fuzz {

inline void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace tarnel_fuzz

#endif  // TARNEL_FUZZ_FUZZ_COMMON_H
