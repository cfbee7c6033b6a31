// Conversions through the standard converters, without a handle.
#include <quemba/standard.h>

namespace {

// Forwards to a driver with one of the standard handles. Those are never
// null, so a bad handle means not loaded.
template <auto Driver, ConverterHandle (*Standard)(), typename... Args>
int32_t Through(Args... args) {
    const int32_t result = Driver(Standard(), args...);
    return result == CVT_E_BAD_HANDLE ? CVT_E_NOT_INITIALISED : result;
}

constexpr auto kByteUni = KXZStandardByteUni;

}  // namespace

extern "C" QUEMBA_API int32_t KXUSByteToUnicode(uint16_t *output, uint32_t outputSize,
                                                const char *source, uint32_t *count) {
    return Through<KXUXLenByteToUnicode, kByteUni>(output, outputSize, source, -1, count);
}

extern "C" QUEMBA_API int32_t KXUSLenByteToUnicode(uint16_t *output, uint32_t outputSize,
                                                   const char *source, int32_t sourceLength,
                                                   uint32_t *count) {
    return Through<KXUXLenByteToUnicode, kByteUni>(output, outputSize, source, sourceLength, count);
}

extern "C" QUEMBA_API int32_t KXUSByteToUnicodePath(uint16_t *output, uint32_t outputSize,
                                                    const char *source, uint32_t *count) {
    return Through<KXUXLenByteToUnicodePath, kByteUni>(output, outputSize, source, -1, count);
}

extern "C" QUEMBA_API int32_t KXUSLenByteToUnicodePath(uint16_t *output, uint32_t outputSize,
                                                       const char *source, int32_t sourceLength,
                                                       uint32_t *count) {
    return Through<KXUXLenByteToUnicodePath, kByteUni>(output, outputSize, source, sourceLength,
                                                       count);
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToByte(char *output, uint32_t outputSize,
                                                const uint16_t *source, uint32_t *count) {
    return Through<KXUXUnicodeToByte, kByteUni>(output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToBytePath(char *output, uint32_t outputSize,
                                                    const uint16_t *source, uint32_t *count) {
    return Through<KXUXUnicodeToBytePath, kByteUni>(output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToUntermByte(char *output, uint32_t outputSize,
                                                      const uint16_t *source, uint32_t *count) {
    return Through<KXUXUnicodeToUntermByte, kByteUni>(output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToUntermBytePath(char *output, uint32_t outputSize,
                                                          const uint16_t *source,
                                                          uint32_t *count) {
    return Through<KXUXUnicodeToUntermBytePath, kByteUni>(output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToLowerCase(uint16_t *output, uint32_t outputSize,
                                                     const uint16_t *source, uint32_t *count) {
    return Through<KXUXUnicodeToCase, KXZStandardLowerCase>(output, outputSize, source, count);
}

extern "C" QUEMBA_API int32_t KXUSUnicodeToUpperCase(uint16_t *output, uint32_t outputSize,
                                                     const uint16_t *source, uint32_t *count) {
    return Through<KXUXUnicodeToCase, KXZStandardUpperCase>(output, outputSize, source, count);
}
