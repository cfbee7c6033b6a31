// Converter tables live nowhere on disk: every path is empty.
#include <quemba/converter.h>

extern "C" QUEMBA_API int32_t KXZGetConverterPath(uint32_t codePage, char *path) {
    if (path == nullptr) return CVT_E_BAD_PARAMETER;
    path[0] = '\0';
    return codePage == 0 ? CVT_OK : CVT_E_NOT_AVAILABLE;
}
