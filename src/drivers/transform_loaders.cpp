// Loaders for the converter kinds that only the Unicode-to-Unicode drivers use.
#include <quemba/converter.h>
#include <quemba/standard.h>

namespace {
constexpr uint32_t kLargestCountryCode = 999;
}

extern "C" QUEMBA_API int32_t KXUXLoadCollationConverter(uint32_t countryCode,
                                                         ConverterHandle *handle) {
    if (handle == nullptr) return CVT_E_BAD_PARAMETER;
    *handle = nullptr;
    if (countryCode == 0) {
        const int32_t result = KXUSGetCodePage(nullptr, &countryCode);
        if (result != CVT_OK) return result;
    }
    if (countryCode > kLargestCountryCode) return CVT_E_BAD_PARAMETER;
    // The country code only selects whether to try; the record does not keep it.
    return KXZLoadConverter(0, CONVERTER_COLLATION, 0, 1, handle);
}

extern "C" QUEMBA_API int32_t KXUXLoadNormalizeConverter(uint32_t subKind,
                                                         ConverterHandle *handle) {
    if (handle == nullptr) return CVT_E_BAD_PARAMETER;
    // Unlike the other loaders this one leaves the caller's variable alone on failure.
    return KXZLoadConverter(0, CONVERTER_NORMALIZE, subKind, 1, handle);
}
