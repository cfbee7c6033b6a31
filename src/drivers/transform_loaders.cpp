// Loaders for the converter kinds that only the Unicode-to-Unicode drivers use.
#include <quemba/converter.h>

extern "C" QUEMBA_API int32_t KXUXLoadNormalizeConverter(uint32_t subKind,
                                                         ConverterHandle *handle) {
    if (handle == nullptr) return CVT_E_BAD_PARAMETER;
    // Unlike the other loaders this one leaves the caller's variable alone on failure.
    return KXZLoadConverter(0, CONVERTER_NORMALIZE, subKind, 1, handle);
}
