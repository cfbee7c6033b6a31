#include <quemba/table_handle.h>

#include <climits>
#include <cstring>
#include <cwchar>

#include "common/kept_characters.h"

namespace {

// Writes the bytes of what libc keeps in `state`; false when they do not fit.
bool FlushKept(std::mbstate_t &state, char *output, uint32_t &written, uint32_t &room) {
    return quemba::detail::GiveBackEncoded(state, [&](const char *bytes, size_t n) {
        if (n > room) return false;
        std::memcpy(output + written, bytes, n);
        written += static_cast<uint32_t>(n);
        room -= static_cast<uint32_t>(n);
        return true;
    });
}

}  // namespace

extern "C" QUEMBA_API int32_t KXUnicodeToLocal(uint32_t, char *output, uint32_t outputSize,
                                               const uint16_t *input, uint8_t noMapByte,
                                               uint32_t *outCount) {
    if (output == nullptr || outputSize == 0 || input == nullptr) return LOC_E_BAD_ARGUMENT;
    int32_t result = 0;
    uint32_t room = outputSize - 1;
    uint32_t written = 0;
    bool kept = true;  // everything libc kept has been written
    std::mbstate_t state{};
    while (*input != 0 && room != 0) {
        const auto wc = static_cast<wchar_t>(*input);
        const std::mbstate_t before = state;
        // Converted aside so that no character is cut.
        char scratch[MB_LEN_MAX];
        size_t n = std::wcrtomb(scratch, wc, &state);
        if (n == static_cast<size_t>(-1)) {
            // What libc kept before the rejected unit is text.
            state = before;
            if (!FlushKept(state, output, written, room)) {
                kept = false;
                break;
            }
            if (noMapByte == 0) {
                result = LOC_E_NO_MAP;
                break;
            }
            if (room == 0) break;
            state = std::mbstate_t{};
            scratch[0] = static_cast<char>(noMapByte);
            n = 1;
        } else if (n > room) {
            state = before;
            break;
        }
        std::memcpy(output + written, scratch, n);
        ++input;
        written += static_cast<uint32_t>(n);
        room -= static_cast<uint32_t>(n);
    }
    if (result == 0 && kept) kept = FlushKept(state, output, written, room);
    if (result == 0 && (*input != 0 || !kept)) result = LOC_E_BUFFER_TOO_SMALL;
    output[written] = 0;
    if (outCount != nullptr) *outCount = written + 1;
    return result;
}
