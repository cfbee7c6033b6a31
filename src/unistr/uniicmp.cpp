#include <quemba/table_handle.h>
#include <quemba/unistr.h>

#include <cstddef>
#include <cstdint>

namespace {

// The slots of _aUnicodeInfo are in a fixed order; monocase is the second.
constexpr size_t kMonocaseSlot = 1;

// Monocase form of one unit, through the table-handle API like every
// other monocasing in the library.
uint16_t _KXLMonoCase(uint16_t c) {
    const uint16_t in[2] = {c, 0};
    uint16_t out[2] = {0, 0};
    uint32_t count = 0;
    const auto handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(_aUnicodeInfo[kMonocaseSlot].handle));
    KXUnicodeToMonocase(handle, out, 2, in, &count);
    return out[0];
}

int32_t MonoDifference(uint16_t a, uint16_t b) {
    return static_cast<int32_t>(a) - static_cast<int32_t>(b);
}

}  // namespace

extern "C" QUEMBA_API int32_t uniicmp(const uint16_t *s1, const uint16_t *s2) {
    for (;; ++s1, ++s2) {
        const uint16_t m1 = _KXLMonoCase(*s1);
        const uint16_t m2 = _KXLMonoCase(*s2);
        // Stopping at either terminator keeps us inside both strings.
        if (m1 != m2 || *s1 == 0 || *s2 == 0) return MonoDifference(m1, m2);
    }
}

extern "C" QUEMBA_API int32_t uninicmp(const uint16_t *s1, const uint16_t *s2, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        const uint16_t m1 = _KXLMonoCase(s1[i]);
        const uint16_t m2 = _KXLMonoCase(s2[i]);
        if (m1 != m2 || s1[i] == 0 || s2[i] == 0) return MonoDifference(m1, m2);
    }
    return 0;
}
