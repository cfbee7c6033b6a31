// Operation numbers of a converter's auxiliary function, shared by the
// engine that answers them and the settings that ask.
#pragma once

#include <cstdint>

namespace quemba::detail {

inline constexpr uint32_t kAuxCharSize = 1;  // byte length of one character
inline constexpr uint32_t kAuxReserved = 2;  // accepted, does nothing
inline constexpr uint32_t kAuxSetUp = 3;     // the engine's set-up, does nothing

}  // namespace quemba::detail
