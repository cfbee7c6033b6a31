// Dropping a reference; the last one unloads the record.
#include <quemba/converter.h>

#include <cstdlib>

#include "converter/record.h"

extern "C" QUEMBA_API int32_t KXUXUnloadConverter(ConverterHandle handle) {
    const int32_t check = KXZCheckHandle(handle, 0);
    if (check != CVT_OK) return check;
    if (--handle->refCount > 0) return CVT_OK;

    handle->signature = 0;
    // Records loaded in place, the static standard ones among them, carry
    // no allocation mark and stay put.
    if (!quemba::detail::IsAllocated(handle)) return CVT_OK;
    std::free(handle);
    return CVT_OK;
}
