// Table management: there are no tables, so every handle is -1 and loading
// or freeing has nothing to do.
#include <quemba/table_handle.h>

namespace {

constexpr uint32_t kTableHandle = 0xFFFFFFFFu;

}  // namespace

extern "C" QUEMBA_API int32_t KXInitUnicodeTables(void) { return 0; }

extern "C" QUEMBA_API int32_t KXFreeUnicodeTables(void) { return 0; }

extern "C" QUEMBA_API int32_t KXLoadRuleTable(const void *, uint32_t *handle) {
    *handle = kTableHandle;
    return 0;
}

extern "C" QUEMBA_API int32_t KXUnloadRuleTable(uint32_t) { return 0; }

extern "C" QUEMBA_API int32_t KXGetUnicodeToLocalHandle(uint32_t *handle) {
    *handle = kTableHandle;
    return 0;
}

extern "C" QUEMBA_API int32_t KXGetLocalToUnicodeHandle(uint32_t *handle) {
    *handle = kTableHandle;
    return 0;
}

extern "C" QUEMBA_API int32_t KXGetMonocaseHandle(uint32_t *handle) {
    *handle = kTableHandle;
    return 0;
}

extern "C" QUEMBA_API int32_t KXGetCollationHandle(uint32_t *handle) {
    *handle = kTableHandle;
    return 0;
}
