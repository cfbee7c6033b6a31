// Current code page and the environment locale's country code.
#include <quemba/locale_services.h>
#include <quemba/standard.h>

#include "standard/standard_set.h"

extern "C" QUEMBA_API int32_t KXUSGetCodePage(uint32_t *codePage, uint32_t *countryCode) {
    CountryInfo info;
    // What a failed fill left in the record is not worth reporting.
    const bool filled = _KXGetCountryInfo(&info) == 0;
    if (codePage != nullptr) *codePage = filled ? info.code_page : 0;
    if (countryCode != nullptr) *countryCode = filled ? static_cast<uint32_t>(info.country_code) : 0;

    const Converter *byteUni = KXZStandardByteUni();
    if (codePage != nullptr && quemba::detail::IsLoaded(byteUni)) *codePage = byteUni->codePage;
    return CVT_OK;
}
