/* quemba: converter handles.
 *
 * Byte text in the current locale's encoding <-> UTF-16 through handles that
 * carry a policy for unmappable characters, plus case conversion handles.
 * UTF-16 text is unsigned 16-bit units in host byte order, NUL-terminated.
 *
 * Stack, one call at its deepest (libc's and the dynamic loader's frames
 * included, measured by bench/stack_depth.cpp on x86_64 / i386): a
 * conversion or an engine step 6 KB / 4 KB; a length-only mode (null
 * output, KXZLSUnicodeLength and the KXZ...Length functions) 20 KB, the
 * scratch it counts in. What the library learns of libc's answers lives
 * in 17 KB of thread-local storage per thread, not on the stack.
 */
#ifndef QUEMBA_CONVERTER_H
#define QUEMBA_CONVERTER_H

#include <quemba/base.h>

QUEMBA_BEGIN_DECLS

/* Converter kinds. */
#define CONVERTER_BYTE_UNI 1u
#define CONVERTER_COLLATION 2u
#define CONVERTER_CASE 3u
#define CONVERTER_NORMALIZE 4u

/* Case sub-kinds. */
#define CASE_LOWER 0u
#define CASE_UPPER 1u

/* No-map actions; any other stored value acts as NOMAP_STOP. */
#define NOMAP_STOP 0
#define NOMAP_SUBSTITUTE 1
#define NOMAP_FIXER 2

/* Scan actions; any other stored value acts as SCAN_NONE. */
#define SCAN_NONE 0
#define SCAN_ESCAPES 2

/* Setters: leave this setting as it is. For the function setters pass
 * KEEP_FUNCTION cast to the slot's type, e.g. (ByteScanner)KEEP_FUNCTION. */
#define KEEP_SETTING (-1)
#define KEEP_FUNCTION ((uintptr_t)-1)

/* Signature of a loaded record: the bytes "CONV" in memory. */
#define CONVERTER_SIGNATURE 0x564E4F43u

typedef struct Converter Converter;
typedef Converter *ConverterHandle;

/* An engine step converts as far as it can and says why it stopped.
 * count: input units it may read, -1 = up to the NUL; space: output units
 * it may write (it never writes a terminator). consumed and produced are
 * written on every exit, noMapLength only with CVT_E_NO_MAP. */
typedef int32_t (*EngineStep)(uintptr_t engineWord, const void *source, void *destination,
                              int32_t count, uint32_t space, uint32_t *consumed,
                              uint32_t *produced, uint32_t *noMapLength);
typedef int32_t (*AuxFunction)(uint32_t codePage, uint32_t operation, const char *bytes);

/* The six replaceable functions of a byte/Unicode converter. */
typedef int32_t (*ByteNoMapFixer)(ConverterHandle handle, uint16_t *output, uint32_t space,
                                  uint32_t *produced, const char *bytes, uint32_t count);
typedef int32_t (*UniNoMapFixer)(ConverterHandle handle, char *output, uint32_t space,
                                 uint32_t *produced, const uint16_t *units, uint32_t count);
typedef const char *(*ByteScanner)(ConverterHandle handle, const char *source, int32_t length);
typedef const uint16_t *(*UniScanner)(ConverterHandle handle, const uint16_t *source,
                                      int32_t length);
typedef int32_t (*ByteParser)(ConverterHandle handle, uint16_t *output, uint32_t space,
                              uint32_t *produced, const char *source, uint32_t *consumed);
typedef int32_t (*UniParser)(ConverterHandle handle, char *output, uint32_t space,
                             uint32_t *produced, const uint16_t *source, uint32_t *consumed);

/* The record behind a handle. Its layout is part of the interface:
 * KXZLoadConverter with allocate 0 loads into storage the caller provides.
 * 92 bytes on i386, 136 on x86_64. Treat the fields as read-only. */
struct Converter {
    uint32_t signature;
    uint32_t loadTag;
    int32_t refCount;
    uint32_t engineTag;
    uint32_t kind;
    EngineStep toUnicodeStep;
    EngineStep toByteStep;
    AuxFunction auxFunction;
    uint16_t defaultSubUni;
    uint8_t defaultSubByte;
    uint16_t subUni;
    uint8_t subByte;
    int32_t byteNoMapAction;
    int32_t uniNoMapAction;
    int32_t byteScanAction;
    int32_t uniScanAction;
    ByteNoMapFixer byteNoMapFixer;
    UniNoMapFixer uniNoMapFixer;
    ByteScanner byteScanner;
    UniScanner uniScanner;
    ByteParser byteParser;
    UniParser uniParser;
    uint32_t codePage;
    uint32_t subKind;
    uintptr_t engineData;
};

/* ---- Loading, checking, resetting, unloading ---- */

QUEMBA_API int32_t KXZLoadConverter(uint32_t codePage, uint32_t kind, uint32_t subKind,
                                    int32_t allocate, ConverterHandle *handle);
QUEMBA_API int32_t KXZLoadByteUnicodeConverter(uint32_t codePage, int32_t allocate,
                                               ConverterHandle *handle);
QUEMBA_API int32_t KXZLoadCaseConverter(uint32_t subKind, int32_t allocate,
                                        ConverterHandle *handle);
QUEMBA_API int32_t KXUXLoadByteUnicodeConverter(uint32_t codePage, ConverterHandle *handle);
QUEMBA_API int32_t KXUXLoadCaseConverter(uint32_t subKind, ConverterHandle *handle);
QUEMBA_API int32_t KXUXLoadCollationConverter(uint32_t countryCode, ConverterHandle *handle);
QUEMBA_API int32_t KXUXLoadNormalizeConverter(uint32_t subKind, ConverterHandle *handle);

QUEMBA_API ConverterHandle KXZStandardByteUni(void);
QUEMBA_API ConverterHandle KXZStandardLowerCase(void);
QUEMBA_API ConverterHandle KXZStandardUpperCase(void);

QUEMBA_API int32_t KXUXUnloadConverter(ConverterHandle handle);
/* kind 0 accepts any kind. */
QUEMBA_API int32_t KXZCheckHandle(ConverterHandle handle, uint32_t kind);
QUEMBA_API int32_t KXUXResetConverter(ConverterHandle handle);

/* Writes the empty string; CVT_E_NOT_AVAILABLE for any code page but 0. */
QUEMBA_API int32_t KXZGetConverterPath(uint32_t codePage, char *path);
/* Decimal text of value, at most five bytes with the NUL (text must hold 5).
 * Values of 10000 and above, which have no four-digit form, give "9999". */
QUEMBA_API void KXZIToA(uint32_t value, char *text);

/* ---- The locale engine ---- */

QUEMBA_API int32_t KXUGetInfo(uint32_t request, Converter *record);
QUEMBA_API int32_t KXUToUnicode(uintptr_t engineWord, const void *source, void *destination,
                                int32_t count, uint32_t space, uint32_t *consumed,
                                uint32_t *produced, uint32_t *noMapLength);
QUEMBA_API int32_t KXUToByte(uintptr_t engineWord, const void *source, void *destination,
                             int32_t count, uint32_t space, uint32_t *consumed,
                             uint32_t *produced, uint32_t *noMapLength);
QUEMBA_API int32_t KXUToUpper(uintptr_t engineWord, const void *source, void *destination,
                              int32_t count, uint32_t space, uint32_t *consumed,
                              uint32_t *produced, uint32_t *noMapLength);
QUEMBA_API int32_t KXUToLower(uintptr_t engineWord, const void *source, void *destination,
                              int32_t count, uint32_t space, uint32_t *consumed,
                              uint32_t *produced, uint32_t *noMapLength);
QUEMBA_API int32_t KXUAux(uint32_t codePage, uint32_t operation, const char *bytes);
QUEMBA_API int32_t KXUCaseAux(uint32_t codePage, uint32_t operation, const char *bytes);

/* ---- Settings ---- */

QUEMBA_API int32_t KXUXGetNoMapAction(ConverterHandle handle, int32_t *byteAction,
                                      int32_t *uniAction);
QUEMBA_API int32_t KXUXSetNoMapAction(ConverterHandle handle, int32_t byteAction,
                                      int32_t uniAction);
QUEMBA_API int32_t KXUXGetScanAction(ConverterHandle handle, int32_t *byteAction,
                                     int32_t *uniAction);
QUEMBA_API int32_t KXUXSetScanAction(ConverterHandle handle, int32_t byteAction,
                                     int32_t uniAction);
QUEMBA_API int32_t KXUXGetSubByte(ConverterHandle handle, uint8_t *subByte);
QUEMBA_API int32_t KXUXSetSubByte(ConverterHandle handle, uint8_t subByte);
QUEMBA_API int32_t KXUXGetSubUni(ConverterHandle handle, uint16_t *subUni);
QUEMBA_API int32_t KXUXSetSubUni(ConverterHandle handle, uint16_t subUni);
QUEMBA_API int32_t KXUXGetByteFunctions(ConverterHandle handle, ByteNoMapFixer *fixer,
                                        ByteScanner *scanner, ByteParser *parser);
QUEMBA_API int32_t KXUXSetByteFunctions(ConverterHandle handle, ByteNoMapFixer fixer,
                                        ByteScanner scanner, ByteParser parser);
QUEMBA_API int32_t KXUXGetUniFunctions(ConverterHandle handle, UniNoMapFixer *fixer,
                                       UniScanner *scanner, UniParser *parser);
QUEMBA_API int32_t KXUXSetUniFunctions(ConverterHandle handle, UniNoMapFixer fixer,
                                       UniScanner scanner, UniParser parser);
/* Returns -1 or -2 (libc's answers) for a character it cannot size. */
QUEMBA_API int32_t KXUXGetCharSize(ConverterHandle handle, const char *bytes, uint32_t *size);

/* ---- Byte to UTF-16 ---- */

/* sourceLength -1: NUL-terminated. A null output selects the length-only
 * mode: count receives the units needed, NUL not counted. */
QUEMBA_API int32_t KXUXLenByteToUnicode(ConverterHandle handle, uint16_t *output,
                                        uint32_t outputSize, const char *source,
                                        int32_t sourceLength, uint32_t *count);
QUEMBA_API int32_t KXUXByteToUnicode(ConverterHandle handle, uint16_t *output,
                                     uint32_t outputSize, const char *source, uint32_t *count);
QUEMBA_API int32_t KXUXByteToUnicodePath(ConverterHandle handle, uint16_t *output,
                                         uint32_t outputSize, const char *source,
                                         uint32_t *count);
QUEMBA_API int32_t KXUXLenByteToUnicodePath(ConverterHandle handle, uint16_t *output,
                                            uint32_t outputSize, const char *source,
                                            int32_t sourceLength, uint32_t *count);
QUEMBA_API int32_t KXZLSUnicodeLength(ConverterHandle handle, const char *source,
                                      int32_t sourceLength, uint32_t *count);

/* ---- UTF-16 to bytes ---- */

QUEMBA_API int32_t KXUXUnicodeToUntermByte(ConverterHandle handle, char *output,
                                           uint32_t outputSize, const uint16_t *source,
                                           uint32_t *count);
QUEMBA_API int32_t KXUXUnicodeToByte(ConverterHandle handle, char *output, uint32_t outputSize,
                                     const uint16_t *source, uint32_t *count);
QUEMBA_API int32_t KXZByteLength(ConverterHandle handle, const uint16_t *source,
                                 uint32_t *count);

/* Paths: U+005C, U+00A5, U+20A9 and U+F8F7 are each written as the byte 0x5C. */
QUEMBA_API int32_t KXUXUnicodeToUntermBytePath(ConverterHandle handle, char *output,
                                               uint32_t outputSize, const uint16_t *source,
                                               uint32_t *count);
QUEMBA_API int32_t KXUXUnicodeToBytePath(ConverterHandle handle, char *output,
                                         uint32_t outputSize, const uint16_t *source,
                                         uint32_t *count);
QUEMBA_API int32_t KXZBytePathLength(ConverterHandle handle, const uint16_t *source,
                                     uint32_t *count);

/* ---- UTF-16 to UTF-16 ---- */

QUEMBA_API int32_t KXUXUnicodeToCase(ConverterHandle handle, uint16_t *output,
                                     uint32_t outputSize, const uint16_t *source,
                                     uint32_t *count);
QUEMBA_API int32_t KXUXUnicodeToCollation(ConverterHandle handle, uint16_t *output,
                                          uint32_t outputSize, const uint16_t *source,
                                          uint32_t *count);
QUEMBA_API int32_t KXUXUnicodeToNormalized(ConverterHandle handle, uint16_t *output,
                                           uint32_t outputSize, const uint16_t *source,
                                           uint32_t *count);
QUEMBA_API int32_t KXZCaseLength(ConverterHandle handle, const uint16_t *source,
                                 uint32_t *count);
QUEMBA_API int32_t KXZCollationLength(ConverterHandle handle, const uint16_t *source,
                                      uint32_t *count);
QUEMBA_API int32_t KXZNormalizedLength(ConverterHandle handle, const uint16_t *source,
                                       uint32_t *count);

/* ---- Escapes and OEM Euro ----
 * Unit escape in byte text: "[" four upper-case hex digits "]" (6 bytes).
 * Byte escape in UTF-16 text: "[" two upper-case hex digits "]" (4 units). */

QUEMBA_API int32_t KXZNoMapByteFixer(ConverterHandle handle, uint16_t *output, uint32_t space,
                                     uint32_t *produced, const char *bytes, uint32_t count);
QUEMBA_API int32_t KXZNoMapUniFixer(ConverterHandle handle, char *output, uint32_t space,
                                    uint32_t *produced, const uint16_t *units, uint32_t count);
QUEMBA_API const char *KXZByteScanner(ConverterHandle handle, const char *source,
                                      int32_t length);
QUEMBA_API const uint16_t *KXZUniScanner(ConverterHandle handle, const uint16_t *source,
                                         int32_t length);
QUEMBA_API int32_t KXZByteParser(ConverterHandle handle, uint16_t *output, uint32_t space,
                                 uint32_t *produced, const char *source, uint32_t *consumed);
QUEMBA_API int32_t KXZUniParser(ConverterHandle handle, char *output, uint32_t space,
                                uint32_t *produced, const uint16_t *source, uint32_t *consumed);
QUEMBA_API const char *KXZByteScannerForOemEuro(ConverterHandle handle, const char *source,
                                                int32_t length);
QUEMBA_API int32_t KXZByteParserForOemEuro(ConverterHandle handle, uint16_t *output,
                                           uint32_t space, uint32_t *produced,
                                           const char *source, uint32_t *consumed);
QUEMBA_API const uint16_t *KXZUniScannerForOemEuro(ConverterHandle handle,
                                                   const uint16_t *source, int32_t length);
QUEMBA_API int32_t KXZUniParserForOemEuro(ConverterHandle handle, char *output, uint32_t space,
                                          uint32_t *produced, const uint16_t *source,
                                          uint32_t *consumed);
QUEMBA_API int32_t KXUXEnableOemEuro(ConverterHandle handle);

QUEMBA_END_DECLS

#endif
