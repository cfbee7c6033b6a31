// The library's version, 6.0.2.0.
#include <quemba/locale_services.h>

extern "C" QUEMBA_API void KXGetKXLOCALEVersion(uint8_t *major, uint8_t *minor,
                                                uint8_t *revision, uint8_t *build) {
    if (major != nullptr) *major = 6;
    if (minor != nullptr) *minor = 0;
    if (revision != nullptr) *revision = 2;
    if (build != nullptr) *build = 0;
}
