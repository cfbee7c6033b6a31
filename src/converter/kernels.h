// The block kernels behind the runs and scans, one table per instruction
// set, and the table this process uses: chosen once, on first use, from
// what the CPU runs (QUEMBA_SIMD=scalar|sse2|avx2 may ask for a lesser one).
//
// Each variant's code lives in its own file with internal linkage: an
// inline function compiled both with and without AVX2 would be merged by
// the linker into one copy, possibly the one this CPU cannot run.
#pragma once

#include <atomic>
#include <cstdint>

namespace quemba::detail {

// What a block kernel converted: input units taken, output units written.
struct BlockRun {
    uint32_t taken;
    uint32_t written;
};

struct KernelTable {
    const char *name;
    // Bytes 0x01-0x7F (Latin1: 0x01-0xFF) to units, up to n; how many taken.
    uint32_t (*widenAscii)(const unsigned char *s, uint16_t *d, uint32_t n);
    uint32_t (*widenLatin1)(const unsigned char *s, uint16_t *d, uint32_t n);
    // Units 0x0001-0x007F (Latin1: 0x0001-0x00FF) to bytes, up to n.
    uint32_t (*narrowAscii)(const uint16_t *s, char *d, uint32_t n);
    uint32_t (*narrowLatin1)(const uint16_t *s, char *d, uint32_t n);
    // Units before the NUL, at most max.
    uint32_t (*unitLength)(const uint16_t *s, uint32_t max);
    // Units before the first `unit` or NUL, at most max.
    uint32_t (*unitOrNul)(const uint16_t *s, uint32_t max, uint16_t unit);
    // The first path separator at or after s, or null at the NUL.
    const uint16_t *(*findPathSeparator)(const uint16_t *s);
    // UTF-8 to units and back in whole blocks of valid forms (1 to 3 bytes,
    // encoded surrogates included), n input units without a NUL, at most
    // room output units; what they leave is for the one-sequence code.
    BlockRun (*utf8ToUnits)(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room);
    BlockRun (*unitsToUtf8)(const uint16_t *s, uint32_t n, unsigned char *d, uint32_t room);
    // The same blocks as libc reads and writes UTF-8 (no surrogates),
    // stopping at a NUL, for the engine's runs; null where there are none.
    BlockRun (*utf8ToUnitsAsLibc)(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room);
    BlockRun (*unitsToUtf8AsLibc)(const uint16_t *s, uint32_t n, unsigned char *d, uint32_t room);
};

extern const KernelTable kScalarKernels;
extern const KernelTable kSse2Kernels;
extern const KernelTable kAvx2Kernels;

// The SSE2 UTF-8 blocks, which the AVX2 table shares.
BlockRun Utf8ToUnitsSse2(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room);
BlockRun UnitsToUtf8Sse2(const uint16_t *s, uint32_t n, unsigned char *d, uint32_t room);
BlockRun Utf8ToUnitsAsLibcSse2(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room);
BlockRun UnitsToUtf8AsLibcSse2(const uint16_t *s, uint32_t n, unsigned char *d, uint32_t room);

// Units written as the byte 0x5C in paths.
constexpr uint16_t kPathSeparators[4] = {0x005C, 0x00A5, 0x20A9, 0xF8F7};

extern std::atomic<const KernelTable *> gKernels;
const KernelTable *ChooseKernels();

inline const KernelTable &Kernels() {
    const KernelTable *table = gKernels.load(std::memory_order_acquire);
    if (__builtin_expect(table == nullptr, 0)) table = ChooseKernels();
    return *table;
}

}  // namespace quemba::detail
