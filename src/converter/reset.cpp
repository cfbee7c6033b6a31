// Default settings of a byte/Unicode converter.
#include <quemba/converter.h>

extern "C" QUEMBA_API int32_t KXUXResetConverter(ConverterHandle handle) {
    const int32_t check = KXZCheckHandle(handle, 0);
    if (check != CVT_OK) return check;
    // Only byte/Unicode converters carry settings.
    if (handle->kind != CONVERTER_BYTE_UNI) return CVT_OK;

    handle->byteNoMapAction = NOMAP_SUBSTITUTE;
    handle->uniNoMapAction = NOMAP_FIXER;
    handle->byteScanAction = SCAN_ESCAPES;
    handle->uniScanAction = SCAN_NONE;
    handle->byteNoMapFixer = KXZNoMapByteFixer;
    handle->byteScanner = KXZByteScanner;
    handle->byteParser = KXZByteParser;
    handle->uniNoMapFixer = KXZNoMapUniFixer;
    handle->uniScanner = KXZUniScanner;
    handle->uniParser = KXZUniParser;
    handle->subByte = handle->defaultSubByte;
    handle->subUni = handle->defaultSubUni;
    return CVT_OK;
}
