/* quemba: table-handle Unicode API.
 *
 * An older, handle-based interface for local <-> Unicode conversion,
 * collation weights and monocasing. No tables exist behind it: every table
 * handle handed out is -1 (0xFFFFFFFF), handles passed in are ignored, and
 * the work is done by libc in the current locale. Sizes count output
 * elements (UTF-16 units or bytes) including the terminator.
 *
 * Result codes: 0, LOC_E_BAD_ARGUMENT, LOC_E_NO_MEMORY, LOC_E_NO_MAP,
 * LOC_E_BUFFER_TOO_SMALL (see quemba/base.h).
 *
 * Stack, one call at its deepest, libc's frames included (x86_64 / i386):
 * KXLocalToUnicode 7 KB / 5 KB, KXUnicodeToLocal 4 KB / 1 KB,
 * KXUnicodeToCollation 21 KB (libc's wcsxfrm), the others 4 KB.
 */
#ifndef QUEMBA_TABLE_HANDLE_H
#define QUEMBA_TABLE_HANDLE_H

#include <quemba/base.h>

QUEMBA_BEGIN_DECLS

/* One slot of _aUnicodeInfo: a handle word and a 13-byte name buffer
 * (up to 12 characters and a NUL). */
typedef struct UnicodeInfoSlot {
    uint32_t *handle;
    char *name;
} UnicodeInfoSlot;

/* Slots, in order: Unicode-to-local, monocase, collation, local-to-Unicode.
 * The words and names they point to are zero and stay so. */
QUEMBA_API extern UnicodeInfoSlot _aUnicodeInfo[4];

/* Function-pointer words kept for programs that link against them; the
 * library never sets or calls them. */
typedef void (*UnicodeTableProc)(void);
QUEMBA_API extern UnicodeTableProc _pprocUnicodeToCollation;
QUEMBA_API extern UnicodeTableProc _pprocUnicodeToMonocase;
QUEMBA_API extern UnicodeTableProc _pprocLocalToUnicode;
QUEMBA_API extern UnicodeTableProc _pprocUnicodeToLocal;

/* The last path given to KXLSetPrimaryUnicodeSearchPath, owned by the
 * library; NULL until then. */
QUEMBA_API extern char *strUnicodeSearchPath;
QUEMBA_API extern int32_t _iCodePage;
QUEMBA_API extern int32_t _iCountryCode;

/* Table management. These read none of their arguments and return 0; the
 * handle-giving ones store -1 in *handle (which must not be NULL). */
QUEMBA_API int32_t KXInitUnicodeTables(void);
QUEMBA_API int32_t KXFreeUnicodeTables(void);
QUEMBA_API int32_t KXLoadRuleTable(const void *table, uint32_t *handle);
QUEMBA_API int32_t KXUnloadRuleTable(uint32_t handle);
QUEMBA_API int32_t KXGetUnicodeToLocalHandle(uint32_t *handle);
QUEMBA_API int32_t KXGetLocalToUnicodeHandle(uint32_t *handle);
QUEMBA_API int32_t KXGetMonocaseHandle(uint32_t *handle);
QUEMBA_API int32_t KXGetCollationHandle(uint32_t *handle);

/* Replaces strUnicodeSearchPath with a copy of path. The copy is made
 * first: if that fails the old path stays and LOC_E_NO_MEMORY is returned. */
QUEMBA_API int32_t KXLSetPrimaryUnicodeSearchPath(const char *path);

/* Local bytes -> UTF-16, one unit per character. A rejected (invalid or
 * incomplete) sequence gives LOC_E_NO_MAP, or with noMapChar != 0 one
 * noMapChar for one byte; the conversion state is reset after each, so the
 * next byte is judged afresh. A character above U+FFFF does not fit one unit:
 * it gives LOC_E_NO_MAP, or one noMapChar for all its bytes. The output is
 * terminated on every path past the argument check; *outCount counts the
 * terminator. */
QUEMBA_API int32_t KXLocalToUnicode(uint32_t handle, uint16_t *output, uint32_t outputSize,
                                    const char *input, uint16_t noMapChar, uint32_t *outCount);

/* UTF-16 -> local bytes, unit by unit (surrogates are not paired). A unit
 * without a mapping gives LOC_E_NO_MAP, or with noMapByte != 0 that byte.
 * No character is written in part; the output is always terminated. */
QUEMBA_API int32_t KXUnicodeToLocal(uint32_t handle, char *output, uint32_t outputSize,
                                    const uint16_t *input, uint8_t noMapByte, uint32_t *outCount);

/* Collation weights (wcsxfrm, low 16 bits of each) of input. output, input
 * and outCount are required; *outCount receives the weights without the
 * terminator. When output is too small it receives the first
 * outputSize - 1 weights of the whole transform, terminated, and
 * LOC_E_BUFFER_TOO_SMALL. */
QUEMBA_API int32_t KXUnicodeToCollation(uint32_t handle, uint16_t *output, uint32_t outputSize,
                                        const uint16_t *input, uint32_t spare, uint32_t *outCount);

/* towlower of each unit. When output is too small the part that fits is
 * left unterminated and LOC_E_BUFFER_TOO_SMALL is returned. */
QUEMBA_API int32_t KXUnicodeToMonocase(uint32_t handle, uint16_t *output, uint32_t outputSize,
                                       const uint16_t *input, uint32_t *outCount);

/* -1, 0 or 1 as ch1 collates before, equal to or after ch2. */
QUEMBA_API int32_t KXUnicodeCompare(uint32_t handle, uint16_t ch1, uint16_t ch2);

QUEMBA_END_DECLS

#endif
