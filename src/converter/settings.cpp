// Reading and changing the unmappable-character policy of one handle.
#include <quemba/converter.h>

namespace {

constexpr uint32_t kAuxCharSize = 1;

bool IsNoMapAction(int32_t value) { return value >= KEEP_SETTING && value <= NOMAP_FIXER; }

bool IsByteScanAction(int32_t value) {
    return value == KEEP_SETTING || value == SCAN_NONE || value == SCAN_ESCAPES;
}

// Negative values below the keep value pass, and act as SCAN_NONE.
bool IsUniScanAction(int32_t value) { return value <= SCAN_NONE || value == SCAN_ESCAPES; }

void Store(int32_t &field, int32_t value) {
    if (value != KEEP_SETTING) field = value;
}

template <typename Function>
void Install(Function &slot, Function value, Function fallback) {
    if (value == nullptr) {
        slot = fallback;
    } else if (reinterpret_cast<uintptr_t>(value) != KEEP_FUNCTION) {
        slot = value;
    }
}

template <typename T>
void Report(T *out, T value) {
    if (out != nullptr) *out = value;
}

int32_t Check(ConverterHandle handle) { return KXZCheckHandle(handle, CONVERTER_BYTE_UNI); }

}  // namespace

extern "C" QUEMBA_API int32_t KXUXGetNoMapAction(ConverterHandle handle, int32_t *byteAction,
                                                 int32_t *uniAction) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Report(byteAction, handle->byteNoMapAction);
    Report(uniAction, handle->uniNoMapAction);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXSetNoMapAction(ConverterHandle handle, int32_t byteAction,
                                                 int32_t uniAction) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (!IsNoMapAction(byteAction) || !IsNoMapAction(uniAction)) return CVT_E_BAD_PARAMETER;
    Store(handle->byteNoMapAction, byteAction);
    Store(handle->uniNoMapAction, uniAction);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXGetScanAction(ConverterHandle handle, int32_t *byteAction,
                                                int32_t *uniAction) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Report(byteAction, handle->byteScanAction);
    Report(uniAction, handle->uniScanAction);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXSetScanAction(ConverterHandle handle, int32_t byteAction,
                                                int32_t uniAction) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (!IsByteScanAction(byteAction) || !IsUniScanAction(uniAction)) return CVT_E_BAD_PARAMETER;
    Store(handle->byteScanAction, byteAction);
    Store(handle->uniScanAction, uniAction);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXGetSubByte(ConverterHandle handle, uint8_t *subByte) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (subByte == nullptr) return CVT_E_BAD_PARAMETER;
    *subByte = handle->subByte;
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXSetSubByte(ConverterHandle handle, uint8_t subByte) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    handle->subByte = subByte;
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXGetSubUni(ConverterHandle handle, uint16_t *subUni) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (subUni == nullptr) return CVT_E_BAD_PARAMETER;
    *subUni = handle->subUni;
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXSetSubUni(ConverterHandle handle, uint16_t subUni) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    handle->subUni = subUni;
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXGetByteFunctions(ConverterHandle handle, ByteNoMapFixer *fixer,
                                                   ByteScanner *scanner, ByteParser *parser) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Report(fixer, handle->byteNoMapFixer);
    Report(scanner, handle->byteScanner);
    Report(parser, handle->byteParser);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXSetByteFunctions(ConverterHandle handle, ByteNoMapFixer fixer,
                                                   ByteScanner scanner, ByteParser parser) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Install(handle->byteNoMapFixer, fixer, &KXZNoMapByteFixer);
    Install(handle->byteScanner, scanner, &KXZByteScanner);
    Install(handle->byteParser, parser, &KXZByteParser);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXGetUniFunctions(ConverterHandle handle, UniNoMapFixer *fixer,
                                                  UniScanner *scanner, UniParser *parser) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Report(fixer, handle->uniNoMapFixer);
    Report(scanner, handle->uniScanner);
    Report(parser, handle->uniParser);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXSetUniFunctions(ConverterHandle handle, UniNoMapFixer fixer,
                                                  UniScanner scanner, UniParser parser) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Install(handle->uniNoMapFixer, fixer, &KXZNoMapUniFixer);
    Install(handle->uniScanner, scanner, &KXZUniScanner);
    Install(handle->uniParser, parser, &KXZUniParser);
    return CVT_OK;
}

extern "C" QUEMBA_API int32_t KXUXGetCharSize(ConverterHandle handle, const char *bytes,
                                              uint32_t *size) {
    Report(size, uint32_t{0});
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (bytes == nullptr || size == nullptr) return CVT_E_BAD_PARAMETER;
    const int32_t answer = handle->auxFunction(handle->codePage, kAuxCharSize, bytes);
    if (answer < 0) return answer;
    *size = static_cast<uint32_t>(answer);
    return CVT_OK;
}
