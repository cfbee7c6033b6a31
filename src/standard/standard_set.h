// Loading and testing the standard records, shared by the standard modules.
#pragma once

#include <quemba/converter.h>

namespace quemba::detail {

// Loaded means carrying the signature; the acquire read pairs with the
// publishing store in LoadStandard, so a loaded record is seen whole.
inline bool IsLoaded(const Converter *record) {
    return __atomic_load_n(&record->signature, __ATOMIC_ACQUIRE) == CONVERTER_SIGNATURE;
}

// Loads a standard record afresh: kind CONVERTER_BYTE_UNI with the code page
// `value`, or CONVERTER_CASE with the sub-kind `value`. The record shows no
// signature until it is complete, and none if the load fails.
int32_t LoadStandard(Converter *record, uint32_t kind, uint32_t value);

}  // namespace quemba::detail
