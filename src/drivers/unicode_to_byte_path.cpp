// UTF-16 paths to bytes: as plain text, except that every separator unit
// becomes the byte 0x5C whatever the locale makes of it.
#include "drivers/unicode_to_byte_loop.h"

using namespace quemba::detail;

extern "C" QUEMBA_API int32_t KXUXUnicodeToUntermBytePath(ConverterHandle handle, char *output,
                                                          uint32_t outputSize,
                                                          const uint16_t *source,
                                                          uint32_t *count) {
    return UnitsToUntermBytes<PathPieces>(handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUXUnicodeToBytePath(ConverterHandle handle, char *output,
                                                    uint32_t outputSize, const uint16_t *source,
                                                    uint32_t *count) {
    return UnitsToBytes<PathPieces>(handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXZBytePathLength(ConverterHandle handle, const uint16_t *source,
                                                uint32_t *count) {
    return UnitsLength<PathPieces>(handle, source, count);
}
