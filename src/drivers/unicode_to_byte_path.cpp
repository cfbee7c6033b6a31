// UTF-16 paths to bytes: as plain text, except that every separator unit
// becomes the byte 0x5C whatever the locale makes of it.
#include "drivers/unicode_to_byte_loop.h"

extern "C" QUEMBA_API int32_t KXUXUnicodeToUntermBytePath(ConverterHandle handle, char *output,
                                                          uint32_t outputSize,
                                                          const uint16_t *source,
                                                          uint32_t *count) {
    return quemba::detail::UnitsToUntermBytes<quemba::detail::PathPieces>(
        handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUXUnicodeToBytePath(ConverterHandle handle, char *output,
                                                    uint32_t outputSize, const uint16_t *source,
                                                    uint32_t *count) {
    return quemba::detail::UnitsToBytes<quemba::detail::PathPieces>(
        handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXZBytePathLength(ConverterHandle handle, const uint16_t *source,
                                                uint32_t *count) {
    return quemba::detail::UnitsLength<quemba::detail::PathPieces>(handle, source, count);
}
