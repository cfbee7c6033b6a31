// OEM Euro mode: in the DOS code pages that gained the Euro late, the byte
// 0xCC and U+20AC map to each other whatever the locale says.
#include <quemba/converter.h>

#include "drivers/escape_syntax.h"

namespace {

constexpr unsigned char kEuroByte = 0xCC;
constexpr uint16_t kEuroUnit = 0x20AC;
constexpr uint32_t kOemCodePages[] = {437, 737, 775, 850, 852, 855, 857,
                                      860, 861, 862, 863, 865, 866, 869};

bool IsOemCodePage(uint32_t codePage) {
    for (const uint32_t page : kOemCodePages) {
        if (page == codePage) return true;
    }
    return false;
}

}  // namespace

extern "C" QUEMBA_API const char *KXZByteScannerForOemEuro(ConverterHandle, const char *source,
                                                           int32_t length) {
    if (source == nullptr) return nullptr;
    const auto *p = reinterpret_cast<const unsigned char *>(source);
    const auto limit = static_cast<uint32_t>(length);
    for (uint32_t k = 0; k < limit && p[k] != 0; ++k) {
        if (p[k] == kEuroByte) return source + k;
        if (limit - k >= quemba::detail::kUnitEscapeLength && quemba::detail::IsUnitEscape(p + k)) {
            return source + k;
        }
    }
    return nullptr;
}

extern "C" QUEMBA_API int32_t KXZByteParserForOemEuro(ConverterHandle, uint16_t *output,
                                                      uint32_t space, uint32_t *produced,
                                                      const char *source, uint32_t *consumed) {
    if (space == 0) return CVT_E_BUFFER_FULL;
    if (output == nullptr || source == nullptr) return CVT_E_BAD_PARAMETER;
    const auto *p = reinterpret_cast<const unsigned char *>(source);
    // Whatever the scanner marked that is not an escape is a Euro sign.
    const uint32_t taken = p[0] == quemba::detail::kOpen ? quemba::detail::kUnitEscapeLength : 1;
    if (quemba::detail::HasNul(p, taken)) return CVT_E_NO_MAP;
    *output = taken == 1 ? kEuroUnit : quemba::detail::UnitEscapeValue(p);
    quemba::detail::StoreCount(produced, 1);
    quemba::detail::StoreCount(consumed, taken);
    return CVT_OK;
}

extern "C" QUEMBA_API const uint16_t *KXZUniScannerForOemEuro(ConverterHandle,
                                                              const uint16_t *source,
                                                              int32_t length) {
    if (source == nullptr) return nullptr;
    const auto limit = static_cast<uint32_t>(length);
    for (uint32_t k = 0; k < limit && source[k] != 0; ++k) {
        if (source[k] == kEuroUnit) return source + k;
    }
    return nullptr;
}

extern "C" QUEMBA_API int32_t KXZUniParserForOemEuro(ConverterHandle, char *output,
                                                     uint32_t space, uint32_t *produced,
                                                     const uint16_t *source,
                                                     uint32_t *consumed) {
    if (space == 0) return CVT_E_BUFFER_FULL;
    if (output == nullptr || source == nullptr) return CVT_E_BAD_PARAMETER;
    // The unit's value is not examined: a program's scanner may mark another
    // currency sign to be written as the Euro byte. Only a NUL is refused.
    if (source[0] == 0) return CVT_E_NO_MAP;
    *output = static_cast<char>(kEuroByte);
    quemba::detail::StoreCount(produced, 1);
    quemba::detail::StoreCount(consumed, 1);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXEnableOemEuro(ConverterHandle handle) {
    const int32_t check = KXZCheckHandle(handle, CONVERTER_BYTE_UNI);
    if (check != CVT_OK) return check;
    handle->byteScanAction = SCAN_ESCAPES;
    handle->uniScanAction = SCAN_ESCAPES;
    if (IsOemCodePage(handle->codePage)) {
        handle->byteScanner = KXZByteScannerForOemEuro;
        handle->uniScanner = KXZUniScannerForOemEuro;
        handle->byteParser = KXZByteParserForOemEuro;
        handle->uniParser = KXZUniParserForOemEuro;
    }
    return CVT_OK;
}
