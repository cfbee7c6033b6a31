/* quemba: declarations shared by every family header. */
#ifndef QUEMBA_BASE_H
#define QUEMBA_BASE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define QUEMBA_API __attribute__((visibility("default")))
#else
#define QUEMBA_API
#endif

#ifdef __cplusplus
#define QUEMBA_BEGIN_DECLS extern "C" {
#define QUEMBA_END_DECLS }
#else
#define QUEMBA_BEGIN_DECLS
#define QUEMBA_END_DECLS
#endif

/* Result codes. Every status-returning function returns 0 or one of these. */
#define CVT_OK 0
#define CVT_E_EARLY_TERMINATOR (-525)
#define CVT_E_UNSUPPORTED_OP (-526)
#define CVT_E_SOURCE_EXHAUSTED (-529)
#define CVT_E_BUFFER_FULL (-530)
#define CVT_E_BAD_PARAMETER (-531)
#define CVT_E_NO_MAP (-532)
#define CVT_E_WRONG_KIND (-533)
#define CVT_E_BAD_HANDLE (-534)
#define CVT_E_NULL_HANDLE (-535)
#define CVT_E_LOAD_FAILED (-536)
#define CVT_E_NO_MEMORY (-538)
#define CVT_E_NOT_AVAILABLE (-543)
#define CVT_E_NOT_INITIALISED (-544)

#define LOC_E_BAD_ARGUMENT (-1)
#define LOC_E_NO_MEMORY (-494)
#define LOC_E_NO_MAP (-499)
#define LOC_E_BUFFER_TOO_SMALL (-500)
#define LOC_E_BAD_UTF8 (-506)

#endif
