// Locale selection by the library's category numbers; the answer is the
// environment locale's country code as three digits.
#include <quemba/locale_services.h>

#include <locale.h>
#include <stdint.h>

#include <iterator>

namespace {

// Library category number -> host category.
constexpr int LC_MAP[6] = {LC_ALL, LC_COLLATE, LC_CTYPE, LC_MONETARY, LC_NUMERIC, LC_TIME};

char countryIDstring[4];

}  // namespace

extern "C" QUEMBA_API char *KXLsetlocale(int32_t category, const char *locale) {
    const uint32_t index = static_cast<uint32_t>(category);
    if (index >= std::size(LC_MAP)) return nullptr;
    if (setlocale(LC_MAP[index], locale) == nullptr) return nullptr;

    CountryInfo info;
    if (_KXGetCountryInfo(&info) != 0) return nullptr;

    // Three digits is all the buffer holds; anything else is no country.
    const int32_t code = info.country_code;
    const int32_t digits = code >= 0 && code <= 999 ? code : 0;
    countryIDstring[0] = static_cast<char>('0' + digits / 100);
    countryIDstring[1] = static_cast<char>('0' + digits / 10 % 10);
    countryIDstring[2] = static_cast<char>('0' + digits % 10);
    countryIDstring[3] = '\0';
    return countryIDstring;
}
