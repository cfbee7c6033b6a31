// Local text to UTF-16 for the table-handle API: where libc's state is
// clean, whole runs go through the engine's runs; the rest one character
// at a time.
#include <quemba/table_handle.h>

#include <cwchar>

#include "common/char_look_ahead.h"
#include "common/kept_characters.h"
#include "converter/engine_runs.h"
#include "converter/measured_input.h"

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
    const auto *src = reinterpret_cast<const unsigned char *>(input);
    int32_t result = 0;
    uint32_t room = outputSize - 1;
    uint32_t written = 0;
    uint32_t in = 0;
    quemba::detail::ToUnicodeMemo &memo = quemba::detail::ToUnicodeMemo::ThisThread();
    quemba::detail::ToUnicodeRuns runs(memo);
    auto measured = quemba::detail::MeasuredInput<unsigned char>::Terminated(src, room, runs.LongestChar());
    std::mbstate_t state{};
    bool kept = true;  // everything libc kept has been given back
    while (src[in] != 0 && room != 0) {
        uint32_t available = measured.Available(in, room);
        // Runs start and end on character boundaries in the initial state,
        // where they give what one call per character would.
        if (std::mbsinit(&state)) {
            const quemba::detail::RunResult run =
                runs.Take(src + in, in < available ? available - in : 0, output + written, room);
            in += run.consumed;
            written += run.produced;
            room -= run.produced;
            if (src[in] == 0 || room == 0) break;
            available = measured.Available(in, room);
        }
        const std::mbstate_t before = state;
        wchar_t wc = kNoWide;
        // No character is longer than the look-ahead; some charsets'
        // decoders cost the length they are shown on every call.
        constexpr uint32_t kLookAhead = static_cast<uint32_t>(quemba::detail::kCharLookAhead);
        const uint32_t left = available - in;
        size_t n = quemba::detail::DecodeOne(&wc, input + in, left < kLookAhead ? left : kLookAhead, state);
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
            in += static_cast<uint32_t>(n);
            continue;
        } else if (static_cast<uint32_t>(wc) > 0xFFFF) {
            // Does not fit one unit: unmappable here, replaced as a whole.
            if (noMapChar == 0) {
                result = LOC_E_NO_MAP;
                break;
            }
            wc = static_cast<wchar_t>(noMapChar);
        }
        in += static_cast<uint32_t>(n);
        output[written++] = static_cast<uint16_t>(wc);
        --room;
    }
    if (result == 0 && kept) kept = FlushKept(state, output, written, room);
    if (result == 0 && (src[in] != 0 || !kept)) result = LOC_E_BUFFER_TOO_SMALL;
    output[written] = 0;
    if (outCount != nullptr) *outCount = written + 1;
    return result;
}
