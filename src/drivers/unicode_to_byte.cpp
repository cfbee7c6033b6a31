// UTF-16 text to bytes in the locale's encoding, with the unit escapes of
// the converter's no-map policy.
#include "drivers/unicode_to_byte_loop.h"

extern "C" QUEMBA_API int32_t KXUXUnicodeToUntermByte(ConverterHandle handle, char *output,
                                                      uint32_t outputSize,
                                                      const uint16_t *source, uint32_t *count) {
    return quemba::detail::UnitsToUntermBytes<quemba::detail::TextPieces>(
        handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUXUnicodeToByte(ConverterHandle handle, char *output,
                                                uint32_t outputSize, const uint16_t *source,
                                                uint32_t *count) {
    return quemba::detail::UnitsToBytes<quemba::detail::TextPieces>(
        handle, output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXZByteLength(ConverterHandle handle, const uint16_t *source,
                                            uint32_t *count) {
    return quemba::detail::UnitsLength<quemba::detail::TextPieces>(handle, source, count);
}
