#include <quemba/table_handle.h>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>

extern "C" QUEMBA_API int32_t KXUnicodeToLocal(uint32_t, char *output, uint32_t outputSize,
                                               const uint16_t *input, uint8_t noMapByte,
                                               uint32_t *outCount) {
    if (output == nullptr || outputSize == 0 || input == nullptr) return LOC_E_BAD_ARGUMENT;
    int32_t result = 0;
    uint32_t room = outputSize - 1;
    uint32_t written = 0;
    const size_t longest = MB_CUR_MAX;
    std::mbstate_t state{};
    while (*input != 0 && room != 0) {
        const auto wc = static_cast<wchar_t>(*input);
        size_t n;
        if (room >= longest) {
            n = std::wcrtomb(output + written, wc, &state);
        } else {
            // Near the end: convert aside so that no character is cut.
            char scratch[MB_LEN_MAX];
            n = std::wcrtomb(scratch, wc, &state);
            if (n != static_cast<size_t>(-1)) {
                if (n > room) break;
                std::memcpy(output + written, scratch, n);
            }
        }
        if (n == static_cast<size_t>(-1)) {
            if (noMapByte == 0) {
                result = LOC_E_NO_MAP;
                break;
            }
            state = std::mbstate_t{};
            output[written] = static_cast<char>(noMapByte);
            n = 1;
        }
        ++input;
        written += static_cast<uint32_t>(n);
        room -= static_cast<uint32_t>(n);
    }
    if (result == 0 && *input != 0) result = LOC_E_BUFFER_TOO_SMALL;
    output[written] = 0;
    if (outCount != nullptr) *outCount = written + 1;
    return result;
}
