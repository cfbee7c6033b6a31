// The engine's byte/UTF-16 steps with a memo that the caller keeps for the
// length of one conversion call, across its steps. The drivers call these
// directly when a converter's step is the engine's own.
#pragma once

#include <quemba/converter.h>

#include "converter/memo.h"

namespace quemba::detail {

int32_t EngineToUnicode(const void *source, void *destination, int32_t count, uint32_t space,
                        uint32_t *consumed, uint32_t *produced, uint32_t *noMapLength, ToUnicodeMemo &memo);

int32_t EngineToByte(const void *source, void *destination, int32_t count, uint32_t space, uint32_t *consumed,
                     uint32_t *produced, uint32_t *noMapLength, ToByteMemo &memo);

}  // namespace quemba::detail
