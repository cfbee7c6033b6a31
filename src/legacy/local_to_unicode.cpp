#include <quemba/table_handle.h>

#include <cstring>
#include <cwchar>

#include "common/kept_characters.h"

namespace {

using quemba::detail::kNoWide;

// Writes the characters libc keeps in `state`; false when they do not fit.
bool FlushKept(std::mbstate_t &state, uint16_t *output, uint32_t &written, uint32_t &room) {
    return quemba::detail::GiveBackDecoded(state, [&](wchar_t wc) {
        if (room == 0) return false;
        output[written++] = static_cast<uint16_t>(wc);
        --room;
        return true;
    });
}

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
    bool kept = true;  // everything libc kept has been given back
    while (*input != 0 && room != 0) {
        const std::mbstate_t before = state;
        wchar_t wc = kNoWide;
        size_t n = quemba::detail::DecodeOne(&wc, input, remaining, state);
        if (quemba::detail::NoText(n, wc)) {
            // What libc kept before the rejected sequence is text.
            state = before;
            if (!FlushKept(state, output, written, room)) {
                kept = false;
                break;
            }
            if (noMapChar == 0) {
                result = LOC_E_NO_MAP;
                break;
            }
            if (room == 0) break;
            // A rejected sequence leaves the state undefined.
            state = std::mbstate_t{};
            wc = static_cast<wchar_t>(noMapChar);
            n = 1;
        } else if (wc == kNoWide) {
            // Taken and kept by libc until it sees what follows.
            input += n;
            remaining -= n;
            continue;
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
    if (result == 0 && kept) kept = FlushKept(state, output, written, room);
    if (result == 0 && (*input != 0 || !kept)) result = LOC_E_BUFFER_TOO_SMALL;
    output[written] = 0;
    if (outCount != nullptr) *outCount = written + 1;
    return result;
}
