// Reading and changing the unmappable-character policy of one handle.
#include <quemba/converter.h>

#include "converter/aux_operations.h"

namespace {

bool IsNoMapAction(int32_t value) { return value >= KEEP_SETTING && value <= NOMAP_FIXER; }

bool IsByteScanAction(int32_t value) {
    return value == KEEP_SETTING || value == SCAN_NONE || value == SCAN_ESCAPES;
}

// Negative values below the keep value pass, and act as SCAN_NONE.
bool IsUniScanAction(int32_t value) { return value <= SCAN_NONE || value == SCAN_ESCAPES; }

template <typename T>
void Report(T *out, T value) {
    if (out != nullptr) *out = value;
}

int32_t Check(ConverterHandle handle) { return KXZCheckHandle(handle, CONVERTER_BYTE_UNI); }

using Action = int32_t Converter::*;

// The byte and the Unicode side of one action.
int32_t GetActions(ConverterHandle handle, Action byteSide, Action uniSide, int32_t *byteAction,
                   int32_t *uniAction) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Report(byteAction, handle->*byteSide);
    Report(uniAction, handle->*uniSide);
    return CVT_OK;
}

// Both values are validated before either is stored.
int32_t SetActions(ConverterHandle handle, Action byteSide, Action uniSide, bool valid,
                   int32_t byteAction, int32_t uniAction) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (!valid) return CVT_E_BAD_PARAMETER;
    if (byteAction != KEEP_SETTING) handle->*byteSide = byteAction;
    if (uniAction != KEEP_SETTING) handle->*uniSide = uniAction;
    return CVT_OK;
}

template <typename T>
int32_t GetSubstitute(ConverterHandle handle, T Converter::*field, T *out) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (out == nullptr) return CVT_E_BAD_PARAMETER;
    *out = handle->*field;
    return CVT_OK;
}

template <typename T>
int32_t SetSubstitute(ConverterHandle handle, T Converter::*field, T value) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    handle->*field = value;
    return CVT_OK;
}

// The fixer, scanner and parser slots of one side, with their defaults.
template <typename Fixer, typename Scanner, typename Parser>
struct Slots {
    Fixer Converter::*fixer;
    Scanner Converter::*scanner;
    Parser Converter::*parser;
    Fixer defaultFixer;
    Scanner defaultScanner;
    Parser defaultParser;
};

constexpr Slots<ByteNoMapFixer, ByteScanner, ByteParser> kByteSlots = {
    &Converter::byteNoMapFixer, &Converter::byteScanner, &Converter::byteParser,
    &KXZNoMapByteFixer,         &KXZByteScanner,         &KXZByteParser};
constexpr Slots<UniNoMapFixer, UniScanner, UniParser> kUniSlots = {
    &Converter::uniNoMapFixer, &Converter::uniScanner, &Converter::uniParser,
    &KXZNoMapUniFixer,         &KXZUniScanner,         &KXZUniParser};

// Null restores the default, KEEP_FUNCTION keeps, anything else is stored.
template <typename Function>
void Install(Function &slot, Function value, Function fallback) {
    if (value == nullptr) {
        slot = fallback;
    } else if (reinterpret_cast<uintptr_t>(value) != KEEP_FUNCTION) {
        slot = value;
    }
}

template <typename Fixer, typename Scanner, typename Parser>
int32_t GetFunctions(ConverterHandle handle, const Slots<Fixer, Scanner, Parser> &slots, Fixer *fixer,
                     Scanner *scanner, Parser *parser) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Report(fixer, handle->*slots.fixer);
    Report(scanner, handle->*slots.scanner);
    Report(parser, handle->*slots.parser);
    return CVT_OK;
}

template <typename Fixer, typename Scanner, typename Parser>
int32_t SetFunctions(ConverterHandle handle, const Slots<Fixer, Scanner, Parser> &slots, Fixer fixer,
                     Scanner scanner, Parser parser) {
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    Install(handle->*slots.fixer, fixer, slots.defaultFixer);
    Install(handle->*slots.scanner, scanner, slots.defaultScanner);
    Install(handle->*slots.parser, parser, slots.defaultParser);
    return CVT_OK;
}

}  // namespace

extern "C" QUEMBA_API int32_t KXUXGetNoMapAction(ConverterHandle handle, int32_t *byteAction,
                                                 int32_t *uniAction) {
    return GetActions(handle, &Converter::byteNoMapAction, &Converter::uniNoMapAction, byteAction,
                      uniAction);
}

extern "C" QUEMBA_API int32_t KXUXSetNoMapAction(ConverterHandle handle, int32_t byteAction,
                                                 int32_t uniAction) {
    return SetActions(handle, &Converter::byteNoMapAction, &Converter::uniNoMapAction,
                      IsNoMapAction(byteAction) && IsNoMapAction(uniAction), byteAction, uniAction);
}

extern "C" QUEMBA_API int32_t KXUXGetScanAction(ConverterHandle handle, int32_t *byteAction,
                                                int32_t *uniAction) {
    return GetActions(handle, &Converter::byteScanAction, &Converter::uniScanAction, byteAction,
                      uniAction);
}

extern "C" QUEMBA_API int32_t KXUXSetScanAction(ConverterHandle handle, int32_t byteAction,
                                                int32_t uniAction) {
    return SetActions(handle, &Converter::byteScanAction, &Converter::uniScanAction,
                      IsByteScanAction(byteAction) && IsUniScanAction(uniAction), byteAction,
                      uniAction);
}

extern "C" QUEMBA_API int32_t KXUXGetSubByte(ConverterHandle handle, uint8_t *subByte) {
    return GetSubstitute(handle, &Converter::subByte, subByte);
}

extern "C" QUEMBA_API int32_t KXUXSetSubByte(ConverterHandle handle, uint8_t subByte) {
    return SetSubstitute(handle, &Converter::subByte, subByte);
}

extern "C" QUEMBA_API int32_t KXUXGetSubUni(ConverterHandle handle, uint16_t *subUni) {
    return GetSubstitute(handle, &Converter::subUni, subUni);
}

extern "C" QUEMBA_API int32_t KXUXSetSubUni(ConverterHandle handle, uint16_t subUni) {
    return SetSubstitute(handle, &Converter::subUni, subUni);
}

extern "C" QUEMBA_API int32_t KXUXGetByteFunctions(ConverterHandle handle, ByteNoMapFixer *fixer,
                                                   ByteScanner *scanner, ByteParser *parser) {
    return GetFunctions(handle, kByteSlots, fixer, scanner, parser);
}

extern "C" QUEMBA_API int32_t KXUXSetByteFunctions(ConverterHandle handle, ByteNoMapFixer fixer,
                                                   ByteScanner scanner, ByteParser parser) {
    return SetFunctions(handle, kByteSlots, fixer, scanner, parser);
}

extern "C" QUEMBA_API int32_t KXUXGetUniFunctions(ConverterHandle handle, UniNoMapFixer *fixer,
                                                  UniScanner *scanner, UniParser *parser) {
    return GetFunctions(handle, kUniSlots, fixer, scanner, parser);
}

extern "C" QUEMBA_API int32_t KXUXSetUniFunctions(ConverterHandle handle, UniNoMapFixer fixer,
                                                  UniScanner scanner, UniParser parser) {
    return SetFunctions(handle, kUniSlots, fixer, scanner, parser);
}

extern "C" QUEMBA_API int32_t KXUXGetCharSize(ConverterHandle handle, const char *bytes,
                                              uint32_t *size) {
    Report(size, uint32_t{0});
    const int32_t check = Check(handle);
    if (check != CVT_OK) return check;
    if (bytes == nullptr || size == nullptr) return CVT_E_BAD_PARAMETER;
    const int32_t answer = handle->auxFunction(handle->codePage, quemba::detail::kAuxCharSize, bytes);
    if (answer < 0) return answer;
    *size = static_cast<uint32_t>(answer);
    return CVT_OK;
}
