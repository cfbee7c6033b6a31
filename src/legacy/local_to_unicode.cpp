#include <quemba/table_handle.h>

#include <cstring>
#include <cwchar>

namespace {

// Invalid or incomplete; 0 (a NUL character) cannot come from a non-NUL
// byte, but taking it as progress would stall the walk.
bool Rejected(size_t n) { return n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0; }

}  // namespace

extern "C" QUEMBA_API int32_t KXLocalToUnicode(uint32_t, uint16_t *output, uint32_t outputSize,
                                               const char *input, uint16_t noMapChar,
                                               uint32_t *outCount) {
    if (output == nullptr || outputSize == 0 || input == nullptr) return LOC_E_BAD_ARGUMENT;
    int32_t result = 0;
    uint32_t room = outputSize - 1;
    uint32_t written = 0;
    size_t remaining = std::strlen(input);
    std::mbstate_t state{};
    while (*input != 0 && room != 0) {
        wchar_t wc = 0;
        size_t n = std::mbrtowc(&wc, input, remaining, &state);
        if (Rejected(n)) {
            if (noMapChar == 0) {
                result = LOC_E_NO_MAP;
                break;
            }
            // A rejected sequence leaves the state undefined.
            state = std::mbstate_t{};
            wc = static_cast<wchar_t>(noMapChar);
            n = 1;
        } else if (static_cast<uint32_t>(wc) > 0xFFFF) {
            // Does not fit one unit: unmappable here, replaced as a whole.
            if (noMapChar == 0) {
                result = LOC_E_NO_MAP;
                break;
            }
            wc = static_cast<wchar_t>(noMapChar);
        }
        input += n;
        remaining -= n;
        output[written++] = static_cast<uint16_t>(wc);
        --room;
    }
    if (result == 0 && *input != 0) result = LOC_E_BUFFER_TOO_SMALL;
    output[written] = 0;
    if (outCount != nullptr) *outCount = written + 1;
    return result;
}
