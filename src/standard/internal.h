// The three process-wide standard records, shared inside the library.
#pragma once

#include <quemba/converter.h>

namespace quemba::detail {

// Static storage, zero at start: not loaded until loaded in place.
extern Converter byteUni;
extern Converter lowerCase;
extern Converter upperCase;

}  // namespace quemba::detail
