// How many bytes one character-length query lets libc examine. No
// character is longer, so "incomplete" means the bytes end inside one.
#pragma once

#include <climits>
#include <cstddef>

namespace quemba::detail {

inline constexpr size_t kCharLookAhead = 16;
static_assert(kCharLookAhead >= MB_LEN_MAX);

}  // namespace quemba::detail
