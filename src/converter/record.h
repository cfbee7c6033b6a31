// Library-private state kept inside a Converter without changing its layout.
#pragma once

#include <quemba/converter.h>

#include <cstddef>

namespace quemba::detail {

// The padding byte after defaultSubByte records whether the loader
// allocated the record, so that the last unload never frees caller storage.
inline constexpr size_t kAllocatedMarkOffset = offsetof(Converter, defaultSubByte) + 1;
static_assert(offsetof(Converter, subUni) == kAllocatedMarkOffset + 1,
              "the allocation mark must live in padding");

inline bool IsAllocated(const Converter *record) {
    return reinterpret_cast<const unsigned char *>(record)[kAllocatedMarkOffset] == 1;
}

inline void SetAllocated(Converter *record, bool allocated) {
    reinterpret_cast<unsigned char *>(record)[kAllocatedMarkOffset] = allocated ? 1 : 0;
}

}  // namespace quemba::detail
