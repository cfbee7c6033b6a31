// Fault injection for the library's copies of locale names: include in
// exactly one source file of a test program. The program's own strdup takes
// the place of libc's for the library too.
#pragma once

#include <cstdlib>
#include <cstring>

namespace qtest {
// The n-th strdup from now returns null (0: none fails).
inline int strdup_failure_countdown = 0;

class StrdupFailure {
public:
    explicit StrdupFailure(int nth) { strdup_failure_countdown = nth; }
    ~StrdupFailure() { strdup_failure_countdown = 0; }
    StrdupFailure(const StrdupFailure &) = delete;
    StrdupFailure &operator=(const StrdupFailure &) = delete;
    // True once the armed failure has been handed out.
    bool fired() const { return strdup_failure_countdown == 0; }
};
}  // namespace qtest

extern "C" char *strdup(const char *s) noexcept {
    if (qtest::strdup_failure_countdown > 0 && --qtest::strdup_failure_countdown == 0) return nullptr;
    const size_t n = std::strlen(s) + 1;
    char *copy = static_cast<char *>(std::malloc(n));
    if (copy != nullptr) std::memcpy(copy, s, n);
    return copy;
}
