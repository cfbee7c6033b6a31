// Loading converters: into fresh heap records or in place.
#include <quemba/converter.h>

#include <cstdlib>
#include <cstring>

#include "converter/record.h"

namespace {

constexpr uint32_t kLoadTag = 3;
constexpr uint32_t kEngineRequest = 3;

}  // namespace

extern "C" QUEMBA_API int32_t KXZLoadConverter(uint32_t codePage, uint32_t kind, uint32_t subKind,
                                               int32_t allocate, ConverterHandle *handle) {
    if (handle == nullptr || (allocate == 0 && *handle == nullptr)) return CVT_E_BAD_PARAMETER;

    Converter *record = nullptr;
    bool keepAllocated = false;
    if (allocate != 0) {
        record = static_cast<Converter *>(std::malloc(sizeof(Converter)));
        if (record == nullptr) return CVT_E_NO_MEMORY;
        keepAllocated = true;
    } else {
        record = *handle;
        // Reloading a live heap record in place must not turn it into one
        // that is never freed.
        keepAllocated = record->signature == CONVERTER_SIGNATURE && quemba::detail::IsAllocated(record);
    }

    std::memset(record, 0, sizeof(Converter));
    record->signature = CONVERTER_SIGNATURE;
    record->loadTag = kLoadTag;
    record->refCount = 1;
    record->kind = kind;
    record->codePage = codePage;
    record->subKind = subKind;
    quemba::detail::SetAllocated(record, keepAllocated);

    if (KXUGetInfo(kEngineRequest, record) != CVT_OK) {
        if (allocate != 0) {
            std::free(record);
        } else {
            // A half-filled record must not pass the handle check.
            record->signature = 0;
        }
        return CVT_E_LOAD_FAILED;
    }
    KXUXResetConverter(record);
    *handle = record;
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXZLoadByteUnicodeConverter(uint32_t codePage, int32_t allocate,
                                                          ConverterHandle *handle) {
    return KXZLoadConverter(codePage, CONVERTER_BYTE_UNI, 0, allocate, handle);
}

extern "C" QUEMBA_API int32_t KXZLoadCaseConverter(uint32_t subKind, int32_t allocate,
                                                   ConverterHandle *handle) {
    return KXZLoadConverter(0, CONVERTER_CASE, subKind, allocate, handle);
}

extern "C" QUEMBA_API int32_t KXUXLoadByteUnicodeConverter(uint32_t codePage,
                                                           ConverterHandle *handle) {
    if (handle == nullptr) return CVT_E_BAD_PARAMETER;
    *handle = nullptr;
    if (codePage != 0) return CVT_E_NOT_AVAILABLE;
    return KXZLoadConverter(0, CONVERTER_BYTE_UNI, 0, 1, handle);
}

extern "C" QUEMBA_API int32_t KXUXLoadCaseConverter(uint32_t subKind, ConverterHandle *handle) {
    if (handle == nullptr) return CVT_E_BAD_PARAMETER;
    *handle = nullptr;
    return KXZLoadConverter(0, CONVERTER_CASE, subKind, 1, handle);
}
