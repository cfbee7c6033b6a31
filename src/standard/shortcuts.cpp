// Conversions through the standard converters, without a handle.
#include <quemba/standard.h>

namespace {

// The standard handles are never null, so a bad handle means not loaded.
int32_t Mapped(int32_t result) {
    return result == CVT_E_BAD_HANDLE ? CVT_E_NOT_INITIALISED : result;
}

}  // namespace

extern "C" QUEMBA_API int32_t KXUSByteToUnicode(uint16_t *output, uint32_t outputSize,
                                                const char *source, uint32_t *count) {
    return Mapped(KXUXLenByteToUnicode(KXZStandardByteUni(), output, outputSize, source, -1, count));
}

extern "C" QUEMBA_API int32_t KXUSLenByteToUnicode(uint16_t *output, uint32_t outputSize,
                                                   const char *source, int32_t sourceLength,
                                                   uint32_t *count) {
    return Mapped(KXUXLenByteToUnicode(KXZStandardByteUni(), output, outputSize, source,
                                       sourceLength, count));
}

extern "C" QUEMBA_API int32_t KXUSByteToUnicodePath(uint16_t *output, uint32_t outputSize,
                                                    const char *source, uint32_t *count) {
    return Mapped(
        KXUXLenByteToUnicodePath(KXZStandardByteUni(), output, outputSize, source, -1, count));
}

extern "C" QUEMBA_API int32_t KXUSLenByteToUnicodePath(uint16_t *output, uint32_t outputSize,
                                                       const char *source, int32_t sourceLength,
                                                       uint32_t *count) {
    return Mapped(KXUXLenByteToUnicodePath(KXZStandardByteUni(), output, outputSize, source,
                                           sourceLength, count));
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToByte(char *output, uint32_t outputSize,
                                                const uint16_t *source, uint32_t *count) {
    return Mapped(KXUXUnicodeToByte(KXZStandardByteUni(), output, outputSize, source, count));
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToBytePath(char *output, uint32_t outputSize,
                                                    const uint16_t *source, uint32_t *count) {
    return Mapped(KXUXUnicodeToBytePath(KXZStandardByteUni(), output, outputSize, source, count));
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToUntermByte(char *output, uint32_t outputSize,
                                                      const uint16_t *source, uint32_t *count) {
    return Mapped(
        KXUXUnicodeToUntermByte(KXZStandardByteUni(), output, outputSize, source, count));
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToUntermBytePath(char *output, uint32_t outputSize,
                                                          const uint16_t *source,
                                                          uint32_t *count) {
    return Mapped(
        KXUXUnicodeToUntermBytePath(KXZStandardByteUni(), output, outputSize, source, count));
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToLowerCase(uint16_t *output, uint32_t outputSize,
                                                     const uint16_t *source, uint32_t *count) {
    return Mapped(KXUXUnicodeToCase(KXZStandardLowerCase(), output, outputSize, source, count));
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToUpperCase(uint16_t *output, uint32_t outputSize,
                                                     const uint16_t *source, uint32_t *count) {
    return Mapped(KXUXUnicodeToCase(KXZStandardUpperCase(), output, outputSize, source, count));
}
