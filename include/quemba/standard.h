/* quemba: the standard converters.
 *
 * One process-wide set of three converters (byte/Unicode for the current
 * locale, lower case, upper case), reference-counted, and handle-free
 * shortcuts that convert through them. UTF-16 text is unsigned 16-bit units
 * in host byte order, NUL-terminated. The shortcuts take the stack of the
 * handle conversions (quemba/converter.h): 6 KB, 20 KB in a length-only
 * mode; the comparisons 4 KB.
 */
#ifndef QUEMBA_STANDARD_H
#define QUEMBA_STANDARD_H

#include <quemba/converter.h>

QUEMBA_BEGIN_DECLS

/* ---- The set ----
 * Init takes one reference on each converter, loading those that are not
 * loaded; Release drops one on each that is loaded. Override reloads the
 * byte/Unicode converter for codePage (count 1, settings back to their
 * defaults) unless it already has that code page, and loads the case
 * converters if they are not loaded. Init, Override and Release are not
 * serialised by the library. The handles are KXZStandardByteUni(),
 * KXZStandardLowerCase() and KXZStandardUpperCase(). */
QUEMBA_API int32_t KXUSStandardUnicodeInit(void);
QUEMBA_API int32_t KXUSStandardUnicodeOverride(uint32_t codePage);
QUEMBA_API void KXUSStandardUnicodeRelease(void);

/* Code page (that of the loaded standard byte/Unicode converter, else 0) and
 * the country code of the environment's locale. Either pointer may be null.
 * When the locale data cannot be read both values come from nothing but the
 * standard converter: the code page as above, the country code 0. Returns 0. */
QUEMBA_API int32_t KXUSGetCodePage(uint32_t *codePage, uint32_t *countryCode);

/* Exported for old programs; the library never reads or writes it. */
QUEMBA_API extern uint32_t semStandard;

/* ---- Shortcuts ----
 * The KXUX function of the same name on the standard handle, arguments
 * passed on unchanged; CVT_E_BAD_HANDLE becomes CVT_E_NOT_INITIALISED, all
 * other results pass through. The non-Len byte forms convert up to the NUL. */
QUEMBA_API int32_t KXUSByteToUnicode(uint16_t *output, uint32_t outputSize, const char *source,
                                     uint32_t *count);
QUEMBA_API int32_t KXUSLenByteToUnicode(uint16_t *output, uint32_t outputSize,
                                        const char *source, int32_t sourceLength,
                                        uint32_t *count);
QUEMBA_API int32_t KXUSByteToUnicodePath(uint16_t *output, uint32_t outputSize,
                                         const char *source, uint32_t *count);
QUEMBA_API int32_t KXUSLenByteToUnicodePath(uint16_t *output, uint32_t outputSize,
                                            const char *source, int32_t sourceLength,
                                            uint32_t *count);
QUEMBA_API int32_t KXUSUnicodeToByte(char *output, uint32_t outputSize, const uint16_t *source,
                                     uint32_t *count);
QUEMBA_API int32_t KXUSUnicodeToBytePath(char *output, uint32_t outputSize,
                                         const uint16_t *source, uint32_t *count);
QUEMBA_API int32_t KXUSUnicodeToUntermByte(char *output, uint32_t outputSize,
                                           const uint16_t *source, uint32_t *count);
QUEMBA_API int32_t KXUSUnicodeToUntermBytePath(char *output, uint32_t outputSize,
                                               const uint16_t *source, uint32_t *count);
QUEMBA_API int32_t KXUSUnicodeToLowerCase(uint16_t *output, uint32_t outputSize,
                                          const uint16_t *source, uint32_t *count);
QUEMBA_API int32_t KXUSUnicodeToUpperCase(uint16_t *output, uint32_t outputSize,
                                          const uint16_t *source, uint32_t *count);

/* ---- Case-blind comparison ----
 * _unilower lower-cases the low 16 bits of ch (result 0 to 65535) through
 * the standard lower-case converter; if that is not loaded it initialises
 * the standard set once, for good (this first use is safe from several
 * threads at once), and returns the unit unchanged if that fails. */
QUEMBA_API int32_t _unilower(int32_t ch);
/* 0 when equal without regard to case, else the difference of the first
 * differing pair of lower-cased units. */
QUEMBA_API int32_t kxusuniicmp(const uint16_t *s1, const uint16_t *s2);
/* As kxusuniicmp over at most n units. */
QUEMBA_API int32_t kxusuninicmp(const uint16_t *s1, const uint16_t *s2, uint32_t n);

QUEMBA_END_DECLS

#endif
