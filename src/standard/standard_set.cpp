// The standard converter set: reference-counted init, override and release.
#include <quemba/standard.h>

#include <cstddef>
#include <cstring>

#include "standard/standard_set.h"

extern "C" {
QUEMBA_API uint32_t semStandard = 0;
}

namespace quemba::detail {

static_assert(offsetof(Converter, signature) == 0);

int32_t LoadStandard(Converter *record, uint32_t kind, uint32_t value) {
    __atomic_store_n(&record->signature, 0u, __ATOMIC_RELEASE);
    // The loader writes the signature before the engine fills the function
    // slots; loading aside keeps a concurrent _unilower from seeing that.
    Converter staged{};
    ConverterHandle handle = &staged;
    const int32_t result = kind == CONVERTER_BYTE_UNI
                               ? KXZLoadByteUnicodeConverter(value, 0, &handle)
                               : KXZLoadCaseConverter(value, 0, &handle);
    if (result != CVT_OK) return result;
    constexpr size_t body = offsetof(Converter, loadTag);
    std::memcpy(reinterpret_cast<char *>(record) + body,
                reinterpret_cast<const char *>(&staged) + body, sizeof(Converter) - body);
    __atomic_store_n(&record->signature, staged.signature, __ATOMIC_RELEASE);
    return CVT_OK;
}

}  // namespace quemba::detail

namespace {

using quemba::detail::IsLoaded;
using quemba::detail::LoadStandard;

// The code page that the country-information fill reports for every locale.
constexpr uint32_t kLocaleCodePage = 0;

int32_t LoadByteUni(uint32_t codePage) {
    return LoadStandard(KXZStandardByteUni(), CONVERTER_BYTE_UNI, codePage);
}

int32_t LoadCase(Converter *record, uint32_t subKind) {
    return LoadStandard(record, CONVERTER_CASE, subKind);
}

}  // namespace

extern "C" QUEMBA_API int32_t KXUSStandardUnicodeInit(void) {
    Converter *byteUni = KXZStandardByteUni();
    Converter *lowerCase = KXZStandardLowerCase();
    Converter *upperCase = KXZStandardUpperCase();

    if (IsLoaded(byteUni)) {
        ++byteUni->refCount;
    } else {
        // The locale's code page is always 0 and byteUni is not loaded, so
        // KXUSGetCodePage would only switch LC_TELEPHONE and LC_TIME of the
        // whole process back and forth to say so.
        const int32_t result = LoadByteUni(kLocaleCodePage);
        if (result != CVT_OK) return result;
    }
    if (IsLoaded(lowerCase)) {
        ++lowerCase->refCount;
    } else if (const int32_t result = LoadCase(lowerCase, CASE_LOWER); result != CVT_OK) {
        KXUXUnloadConverter(byteUni);
        return result;
    }
    if (IsLoaded(upperCase)) {
        ++upperCase->refCount;
    } else if (const int32_t result = LoadCase(upperCase, CASE_UPPER); result != CVT_OK) {
        KXUXUnloadConverter(byteUni);
        KXUXUnloadConverter(lowerCase);
        return result;
    }
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUSStandardUnicodeOverride(uint32_t codePage) {
    Converter *byteUni = KXZStandardByteUni();
    Converter *lowerCase = KXZStandardLowerCase();
    Converter *upperCase = KXZStandardUpperCase();

    if (IsLoaded(byteUni) && byteUni->codePage == codePage) return CVT_OK;
    KXUXUnloadConverter(byteUni);  // CVT_E_BAD_HANDLE when not loaded: nothing to give back
    if (const int32_t result = LoadByteUni(codePage); result != CVT_OK) return result;

    if (!IsLoaded(lowerCase)) {
        if (const int32_t result = LoadCase(lowerCase, CASE_LOWER); result != CVT_OK) {
            KXUXUnloadConverter(byteUni);
            return result;
        }
    }
    if (!IsLoaded(upperCase)) {
        if (const int32_t result = LoadCase(upperCase, CASE_UPPER); result != CVT_OK) {
            KXUXUnloadConverter(byteUni);
            KXUXUnloadConverter(lowerCase);
            return result;
        }
    }
    return CVT_OK;
}

extern "C" QUEMBA_API void KXUSStandardUnicodeRelease(void) {
    Converter *const records[] = {KXZStandardByteUni(), KXZStandardLowerCase(),
                                  KXZStandardUpperCase()};
    for (Converter *record : records) {
        if (IsLoaded(record)) KXUXUnloadConverter(record);
    }
}
