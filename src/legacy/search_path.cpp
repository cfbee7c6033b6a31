#include <quemba/table_handle.h>

#include <cstdlib>
#include <cstring>

extern "C" QUEMBA_API int32_t KXLSetPrimaryUnicodeSearchPath(const char *path) {
    const size_t size = std::strlen(path) + 1;
    // Copy first, so that a failed allocation leaves the old path usable.
    auto *copy = static_cast<char *>(std::malloc(size));
    if (copy == nullptr) return LOC_E_NO_MEMORY;
    std::memcpy(copy, path, size);
    std::free(strUnicodeSearchPath);
    strUnicodeSearchPath = copy;
    return 0;
}
