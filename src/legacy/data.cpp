// The data objects of the table-handle interface. Programs link against
// them; the library itself only reads the monocase slot.
#include <quemba/table_handle.h>

#include <cstddef>

namespace {

// A table name of up to 12 characters and its terminator.
constexpr size_t kTableNameSize = 13;

uint32_t _hUnicodeToLocal;
char _strUnicodeToLocal[kTableNameSize];
uint32_t _hMonocase;
char _strMonocase[kTableNameSize];
uint32_t _hCollation;
char _strCollation[kTableNameSize];
uint32_t _hLocalToUnicode;
char _strLocalToUnicode[kTableNameSize];

}  // namespace

extern "C" {

QUEMBA_API UnicodeInfoSlot _aUnicodeInfo[4] = {
    {&_hUnicodeToLocal, _strUnicodeToLocal},
    {&_hMonocase, _strMonocase},
    {&_hCollation, _strCollation},
    {&_hLocalToUnicode, _strLocalToUnicode},
};

QUEMBA_API UnicodeTableProc _pprocUnicodeToCollation;
QUEMBA_API UnicodeTableProc _pprocUnicodeToMonocase;
QUEMBA_API UnicodeTableProc _pprocLocalToUnicode;
QUEMBA_API UnicodeTableProc _pprocUnicodeToLocal;

QUEMBA_API char *strUnicodeSearchPath;
QUEMBA_API int32_t _iCodePage;
QUEMBA_API int32_t _iCountryCode;

}
