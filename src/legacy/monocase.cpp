#include <quemba/table_handle.h>

#include <cwctype>

extern "C" QUEMBA_API int32_t KXUnicodeToMonocase(uint32_t, uint16_t *output, uint32_t outputSize,
                                                  const uint16_t *input, uint32_t *outCount) {
    if (output == nullptr || outputSize == 0 || input == nullptr) return LOC_E_BAD_ARGUMENT;
    uint32_t room = outputSize - 1;
    uint32_t written = 0;
    while (*input != 0 && room != 0) {
        output[written++] = static_cast<uint16_t>(std::towlower(static_cast<wint_t>(*input)));
        ++input;
        --room;
    }
    int32_t result = 0;
    if (*input == 0) {
        output[written++] = 0;
    } else {
        // Input remains: the part that fits stays unterminated.
        result = LOC_E_BUFFER_TOO_SMALL;
    }
    if (outCount != nullptr) *outCount = written;
    return result;
}
