// The library's version, from the CMake project version.
#include <quemba/locale_services.h>

extern "C" QUEMBA_API void KXGetKXLOCALEVersion(uint8_t *major, uint8_t *minor,
                                                uint8_t *revision, uint8_t *build) {
    if (major != nullptr) *major = QUEMBA_VERSION_MAJOR;
    if (minor != nullptr) *minor = QUEMBA_VERSION_MINOR;
    if (revision != nullptr) *revision = QUEMBA_VERSION_REVISION;
    if (build != nullptr) *build = QUEMBA_VERSION_BUILD;
}
