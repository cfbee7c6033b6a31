/* quemba: locale services.
 *
 * Locale selection by the library's own category numbers, the fixed-layout
 * country-information record, multibyte-aware byte-string helpers,
 * collation, case change and number formatting. Byte strings are
 * NUL-terminated, in the encoding of the current locale.
 */
#ifndef QUEMBA_LOCALE_SERVICES_H
#define QUEMBA_LOCALE_SERVICES_H

#include <quemba/base.h>

QUEMBA_BEGIN_DECLS

/* ==== Locale selection and country information ==== */

/* Library category numbers for KXLsetlocale: 0 LC_ALL, 1 LC_COLLATE,
 * 2 LC_CTYPE, 3 LC_MONETARY, 4 LC_NUMERIC, 5 LC_TIME. */

/* Country information. The layout is fixed (the same on i386 and x86_64);
 * the library writes bytes 0 to 141 and never touches the reserved tail.
 * Text fields are NUL-terminated in the current locale's encoding; a text
 * from libc that does not fit its field, terminator included, is cut after
 * the last whole character (as LC_CTYPE reads it) that fits, except that an
 * am_string or pm_string that does not fit leaves the field empty.
 * grouping and mon_grouping hold libc's grouping, cut after the group sizes
 * that fit, with the first size turned into its digit ("3" followed by the
 * byte 3); an empty grouping becomes the string "0". country_code,
 * am_string and pm_string come from the locale the environment names, the
 * rest from the current locale. */
typedef struct CountryInfo {
    char decimal_point[4];     /*   0 */
    char thousands_sep[4];     /*   4 */
    char grouping[4];          /*   8 */
    char int_curr_symbol[8];   /*  12 */
    char currency_symbol[4];   /*  20 */
    char mon_decimal_point[4]; /*  24 */
    char mon_thousands_sep[4]; /*  28 */
    char mon_grouping[8];      /*  32 */
    char positive_sign[4];     /*  40 */
    char negative_sign[4];     /*  44 */
    char int_frac_digits;      /*  48 */
    char frac_digits;          /*  49 */
    char p_cs_precedes;        /*  50 */
    char p_sep_by_space;       /*  51 */
    char n_cs_precedes;        /*  52 */
    char n_sep_by_space;       /*  53 */
    char p_sign_posn;          /*  54 */
    char n_sign_posn;          /*  55 */
    uint32_t code_page;        /*  56: always 0 */
    int32_t country_code;      /*  60: international telephone prefix */
    char sep_1[2];             /*  64: " " */
    char sep_2[2];             /*  66: "/" */
    char sep_3[2];             /*  68: ":" */
    char sep_4[2];             /*  70: "" (byte 71 is not written) */
    uint32_t reserved;         /*  72: 0 */
    char am_string[33];        /*  76 */
    char pm_string[33];        /* 109 */
    char reserved_tail[50];    /* 142 to 191: never read or written */
} CountryInfo;

/* Sets one category (library numbering) and returns the environment
 * locale's country code as three digits ("049"), or null when the category
 * is above 5, libc rejects the name, or the country information cannot be
 * read (the new setting then stays). A null name only queries. A country
 * code outside 0 to 999 gives "000". The result lives in one static buffer
 * that every successful call overwrites. */
QUEMBA_API char *KXLsetlocale(int32_t category, const char *locale);

/* Fills *info: 0, or -1 for a null info or when the locale data cannot be
 * read. LC_TELEPHONE and LC_TIME are switched to the environment's locale
 * (or to "C" if the environment names none that libc has) for the call and
 * are back as they were on return, also after a failure. */
QUEMBA_API int32_t _KXGetCountryInfo(CountryInfo *info);

/* _KXGetCountryInfo that returns info whatever the outcome. */
QUEMBA_API CountryInfo *KXLlocaleconv(CountryInfo *info);

/* Stores 6, 0, 2, 0; null pointers are skipped. */
QUEMBA_API void KXGetKXLOCALEVersion(uint8_t *major, uint8_t *minor, uint8_t *revision,
                                     uint8_t *build);

/* ==== end of locale selection and country information ==== */


/* ==== Multibyte character and string helpers ==== */

/* Character boundaries come from libc in the current LC_CTYPE locale. The
 * length of a character is mbrtowc(NULL, p, 16, state) with one state per
 * string walk; a negative length (invalid or incomplete sequence) is a bad
 * sequence, which never fails a call: each function stops or skips there.
 * Counts are 32-bit. */
QUEMBA_END_DECLS
#include <time.h>
#include <wchar.h>
QUEMBA_BEGIN_DECLS

/* Bytes of the character at s, as mblen(s, n) from the initial state: 0 at
 * the terminator or for a NULL s, -1 for a bad or incomplete sequence or
 * n == 0. Where libc holds a letter back to see whether an accent follows
 * (CP1255, CP1258, TCVN5712-1), the letter alone: the shortest prefix that
 * is a character. */
QUEMBA_API int32_t KXLmblen(const char *s, uint32_t n);
/* Bytes before the terminator. */
QUEMBA_API uint32_t KXstrlen(const char *s);
/* Characters before the terminator; in a multibyte locale only those
 * before the first bad sequence. */
QUEMBA_API uint32_t KXLmbslen(const char *s);

/* Next character; s itself at the terminator, the terminator's address
 * after a bad sequence, NULL for a NULL s. A NULL state uses mbrlen's
 * hidden state. */
QUEMBA_API char *KXNextChar_r(const char *s, mbstate_t *state);
/* As KXNextChar_r, each character measured as KXLmblen(s, 16). */
QUEMBA_API char *KXNextChar(const char *s);
/* Start of the character holding the byte before pos; start when pos is
 * start or when the walk from start meets the terminator or a bad sequence
 * first; NULL when start is NULL or pos lies before start. */
QUEMBA_API char *KXPrevChar(const char *start, const char *pos);

/* Shortens s in place to fewer than max bytes without splitting a
 * character, unless it is already shorter; returns the new length. A
 * negative max counts as 0: s becomes empty and 0 is returned. */
QUEMBA_API int32_t KXLTruncateString(char *s, int32_t max);
/* Copies at most n characters; writes one terminator only when src ends
 * first, or, in a multibyte locale, at a bad sequence. NULL when dest or
 * src is NULL; n of 0 writes nothing. */
QUEMBA_API char *KXstrncpy(char *dest, const char *src, uint32_t n);
/* Copies whole characters into dest of size bytes, terminator included,
 * and always terminates. NULL when dest or src is NULL; size 0 writes
 * nothing and returns dest. */
QUEMBA_API char *KXLstrbcpy(char *dest, const char *src, uint32_t size);
/* First character of s whose bytes equal those of a character of accept,
 * or NULL. In a multibyte locale NULL also as soon as the search meets a
 * bad sequence in either string. */
QUEMBA_API char *KXLstrpbrk(const char *s, const char *accept);

/* ==== end of multibyte character and string helpers ==== */


/* ==== Collation, case and number formatting ==== */

/* strcoll, strxfrm and strftime of libc, results unchanged. */
QUEMBA_API int32_t KXLstrcoll(const char *s1, const char *s2);
QUEMBA_API uint32_t KXLstrxfrm(char *dest, const char *src, uint32_t n);
QUEMBA_API uint32_t KXLstrftime(char *s, uint32_t max, const char *format, const struct tm *time);

/* Collates at most n characters, one character pair at a time; a nonzero
 * strcoll result is returned unchanged, a string that ends first gives -1
 * or 1. At an invalid or incomplete sequence in either string the walk
 * stops and the rest of both strings is compared byte by byte as unsigned
 * values, giving -1, 0 or 1. */
QUEMBA_API int32_t KXstrncoll(const char *s1, const char *s2, uint32_t n);

/* Exact comparison of the UTF-16 forms of two strings: the difference of
 * the first differing units, each taken as unsigned 16-bit; 0 only for
 * equal strings. Characters above U+FFFF take part as surrogate pairs.
 * Each byte that starts an invalid or incomplete sequence takes part as
 * the unit 0xDC00 + byte (a lone low surrogate, which no valid character
 * gives), and the walk goes on after it. Nothing is allocated. */
QUEMBA_API int32_t KXLstricmp(const char *s1, const char *s2);

/* In-place case change of the single-byte characters (tolower/toupper of
 * the byte as unsigned char); stops silently at a bad sequence. */
QUEMBA_API char *KXLstrlwr(char *s);
QUEMBA_API char *KXLstrupr(char *s);

/* Digits in radix 2..36, lower-case letters, no leading zeros; another
 * radix gives "". buf needs 33 bytes. KXltoa writes a minus sign in radix
 * 10 only; other radixes print the two's-complement bit pattern. */
QUEMBA_API char *KXultoa(uint32_t value, char *buf, int32_t radix);
QUEMBA_API char *KXltoa(int32_t value, char *buf, int32_t radix);

/* ==== end of collation, case and number formatting ==== */

QUEMBA_END_DECLS

#endif
