/* quemba: UTF-16 string functions.
 *
 * The classic NUL-terminated string operations on UTF-16 strings: unsigned
 * 16-bit units in host byte order. Every function works unit by unit;
 * surrogate pairs get no special treatment. No pointer is checked for null
 * and every destination must be large enough. Counts are in units, except
 * unisize, which counts bytes.
 */
#ifndef QUEMBA_UNISTR_H
#define QUEMBA_UNISTR_H

#include <quemba/base.h>

QUEMBA_BEGIN_DECLS

QUEMBA_API uint32_t unilen(const uint16_t *s);
/* Bytes including the terminator: 2 * unilen(s) + 2. */
QUEMBA_API uint32_t unisize(const uint16_t *s);

QUEMBA_API uint16_t *unicpy(uint16_t *dest, const uint16_t *src);
/* Returns the address of the terminator written in dest. */
QUEMBA_API uint16_t *unipcpy(uint16_t *dest, const uint16_t *src);
/* Copies at most n units; terminates only when src ended first; no filling. */
QUEMBA_API uint16_t *unincpy(uint16_t *dest, const uint16_t *src, int32_t n);
QUEMBA_API uint16_t *unicat(uint16_t *dest, const uint16_t *src);
/* Appends at most n units and always terminates. */
QUEMBA_API uint16_t *unincat(uint16_t *dest, const uint16_t *src, int32_t n);

/* Differences of the first differing units, taken as unsigned 16-bit. */
QUEMBA_API int32_t unicmp(const uint16_t *s1, const uint16_t *s2);
QUEMBA_API int32_t unincmp(const uint16_t *s1, const uint16_t *s2, uint32_t n);
/* Case-blind: compares the monocase (towlower in the current locale) forms. */
QUEMBA_API int32_t uniicmp(const uint16_t *s1, const uint16_t *s2);
QUEMBA_API int32_t uninicmp(const uint16_t *s1, const uint16_t *s2, uint32_t n);

QUEMBA_API uint16_t *unichr(const uint16_t *s, uint16_t c);
QUEMBA_API uint16_t *unirchr(const uint16_t *s, uint16_t c);
QUEMBA_API uint16_t *unistr(const uint16_t *s, const uint16_t *sub);
QUEMBA_API uint16_t *unipbrk(const uint16_t *s, const uint16_t *accept);
QUEMBA_API uint32_t unispn(const uint16_t *s, const uint16_t *accept);
QUEMBA_API uint32_t unicspn(const uint16_t *s, const uint16_t *reject);

QUEMBA_API uint16_t *uniset(uint16_t *s, uint16_t c);
QUEMBA_API uint16_t *uninset(uint16_t *s, uint16_t c, int32_t n);
QUEMBA_API uint16_t *unirev(uint16_t *s);
/* Tokeniser with one process-wide saved position; not thread-safe.
 * unitok(NULL, delim) before any tokenisation returns NULL. */
QUEMBA_API uint16_t *unitok(uint16_t *s, const uint16_t *delim);

QUEMBA_END_DECLS

#endif
