// Include in one source file of a test program: its strdup then takes the
// place of libc's, for the library too, and fails on request.
#pragma once

#include <cstdlib>
#include <cstring>

namespace qtest {
inline int strdup_countdown = 0;  // the n-th strdup from now returns null
}

extern "C" char *strdup(const char *s) noexcept {
    if (qtest::strdup_countdown > 0 && --qtest::strdup_countdown == 0) return nullptr;
    const size_t n = std::strlen(s) + 1;
    char *copy = static_cast<char *>(std::malloc(n));
    return copy != nullptr ? static_cast<char *>(std::memcpy(copy, s, n)) : nullptr;
}
