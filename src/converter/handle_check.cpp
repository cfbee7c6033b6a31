// Validation of converter handles, done first by every handle function.
#include <quemba/converter.h>

extern "C" QUEMBA_API int32_t KXZCheckHandle(ConverterHandle handle, uint32_t kind) {
    if (handle == nullptr) return CVT_E_NULL_HANDLE;
    if (handle->signature != CONVERTER_SIGNATURE) return CVT_E_BAD_HANDLE;
    if (kind > CONVERTER_NORMALIZE) return CVT_E_BAD_PARAMETER;
    if (kind == 0 || kind == handle->kind) return CVT_OK;
    return CVT_E_WRONG_KIND;
}
