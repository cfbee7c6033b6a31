/* quemba: UTF-8 <-> UTF-16 conversion.
 *
 * Works unit by unit, independent of the locale: every accepted UTF-8
 * sequence of one to three bytes becomes one UTF-16 unit and every unit,
 * surrogates included, becomes one sequence. Four-byte sequences are
 * rejected; a surrogate pair travels as two three-byte sequences.
 *
 * Overlong forms are malformed (lead bytes 0xC0 and 0xC1, 0xE0 followed by
 * 0x80..0x9F), so no other spelling of a unit, NUL included, gets through.
 * Encoded surrogates (0xED 0xA0..0xBF) are accepted: the library writes
 * them for surrogate units and reads its own output back.
 *
 * Sizes are in bytes and include the terminator (2 bytes for UTF-16, 1 for
 * UTF-8). A null output asks for the size: LOC_E_BUFFER_TOO_SMALL with the
 * size in *outSize. An output too small gets LOC_E_BUFFER_TOO_SMALL, the
 * complete units or sequences that fit, no terminator, and the size the
 * whole input needs in *outSize. For an empty input the terminator is
 * written only when it fits; otherwise nothing is written.
 *
 * Stack: at most 4 KB a call, the dynamic loader's frames included.
 */
#ifndef QUEMBA_UTF8_H
#define QUEMBA_UTF8_H

#include <quemba/base.h>

QUEMBA_BEGIN_DECLS

/* Length (1, 2 or 3) of the UTF-8 sequence at p, or LOC_E_BAD_UTF8. Never
 * reads past a NUL byte. */
QUEMBA_API int32_t _ClassifyUTF8Char(const char *p);

/* *outSize = bytes of the UTF-16 form with terminator. On LOC_E_BAD_UTF8
 * it holds 2 bytes per sequence before the malformed one. */
QUEMBA_API int32_t KXLUTF8ToUnicodeSize(const char *input, uint32_t *outSize);

/* outSize and errorPos may be NULL. On LOC_E_BAD_UTF8 *errorPos points at
 * the malformed sequence (else it is set to NULL) and *outSize is left
 * alone. A malformed sequence after the output filled up is not reported:
 * the result stays LOC_E_BUFFER_TOO_SMALL. */
QUEMBA_API int32_t KXLUTF8ToUnicode(const char *input, uint32_t outputSize, uint16_t *output,
                                    uint32_t *outSize, char **errorPos);

/* Bytes of the UTF-8 form with terminator, at least 1. */
QUEMBA_API uint32_t KXLUnicodeToUTF8Size(const uint16_t *input);

QUEMBA_API int32_t KXLUnicodeToUTF8(const uint16_t *input, uint32_t outputSize, char *output,
                                    uint32_t *outSize);

QUEMBA_END_DECLS

#endif
