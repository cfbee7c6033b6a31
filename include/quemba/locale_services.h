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
 * from libc that does not fit its field, terminator included, leaves the
 * field empty. grouping and mon_grouping hold libc's grouping with the first
 * size turned into its digit ("3" followed by the byte 3); an empty grouping
 * becomes the string "0". country_code, am_string and pm_string come from
 * the locale the environment names, the rest from the current locale. */
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

/* (filled in with the multibyte helpers) */

/* ==== end of multibyte character and string helpers ==== */


/* ==== Collation, case and number formatting ==== */

/* (filled in with collation, case and number formatting) */

/* ==== end of collation, case and number formatting ==== */

QUEMBA_END_DECLS

#endif
