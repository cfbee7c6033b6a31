// Which kernels this process uses, decided on the first conversion.
#include <cpuid.h>

#include <cstdlib>
#include <cstring>

#include "converter/kernels.h"

namespace quemba::detail {

std::atomic<const KernelTable *> gKernels{nullptr};

namespace {

bool CpuHasSse2() {
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) != 0 && (d & bit_SSE2) != 0;
}

// AVX2 needs the OS to save the YMM registers too (XCR0 bits 1 and 2).
bool CpuHasAvx2() {
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
    if ((c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return false;
    unsigned xcr0, xcr0High;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    if ((xcr0 & 6) != 6) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_AVX2) != 0;
}

}  // namespace

// Racing first calls all pick the same table; whichever store lands last
// changes nothing.
const KernelTable *ChooseKernels() {
    const KernelTable *best = &kScalarKernels;
    const bool sse2 = CpuHasSse2();
    if (CpuHasAvx2() && sse2) {
        best = &kAvx2Kernels;
    } else if (sse2) {
        best = &kSse2Kernels;
    }
    // A lesser variant on request; anything else (unknown, or more than the
    // CPU runs) gets the best.
    const KernelTable *table = best;
    if (const char *wanted = std::getenv("QUEMBA_SIMD")) {
        if (std::strcmp(wanted, "scalar") == 0) {
            table = &kScalarKernels;
        } else if (std::strcmp(wanted, "sse2") == 0 && sse2) {
            table = &kSse2Kernels;
        }
    }
    gKernels.store(table, std::memory_order_release);
    return table;
}

}  // namespace quemba::detail
