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

/* (filled in with the country-information record) */

/* ==== end of locale selection and country information ==== */


/* ==== Multibyte character and string helpers ==== */

/* (filled in with the multibyte helpers) */

/* ==== end of multibyte character and string helpers ==== */


/* ==== Collation, case and number formatting ==== */

/* (filled in with collation, case and number formatting) */

/* ==== end of collation, case and number formatting ==== */

QUEMBA_END_DECLS

#endif
