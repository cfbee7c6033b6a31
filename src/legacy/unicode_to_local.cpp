// UTF-16 to local text for the table-handle API: where libc's state is
// clean, whole runs go through the engine's runs; the rest one unit at a
// time.
#include <quemba/table_handle.h>

#include <climits>
#include <cstring>
#include <cwchar>

#include "common/kept_characters.h"
#include "converter/engine_runs.h"
#include "converter/measured_input.h"

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
    uint32_t in = 0;
    quemba::detail::ToByteMemo &memo = quemba::detail::ToByteMemo::ThisThread();
    quemba::detail::ToByteRuns runs(memo);
    // A unit writes a byte or more, except one libc keeps for the next.
    auto measured = quemba::detail::MeasuredInput<uint16_t>::Terminated(input, room, 1);
    bool kept = true;  // everything libc kept has been written
    std::mbstate_t state{};
    while (input[in] != 0 && room != 0) {
        // Runs start and end on character boundaries in the initial state,
        // where they give what one call per unit would.
        if (std::mbsinit(&state)) {
            const uint32_t available = measured.Available(in, room);
            const quemba::detail::RunResult run =
                runs.Take(input + in, in < available ? available - in : 0, output + written, room);
            in += run.consumed;
            written += run.produced;
            room -= run.produced;
            if (input[in] == 0 || room == 0) break;
        }
        const auto wc = static_cast<wchar_t>(input[in]);
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
        ++in;
        written += static_cast<uint32_t>(n);
        room -= static_cast<uint32_t>(n);
    }
    if (result == 0 && kept) kept = FlushKept(state, output, written, room);
    if (result == 0 && (input[in] != 0 || !kept)) result = LOC_E_BUFFER_TOO_SMALL;
    output[written] = 0;
    if (outCount != nullptr) *outCount = written + 1;
    return result;
}
