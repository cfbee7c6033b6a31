// Runs for the engine steps: whole stretches of characters converted at
// once, with exactly the results that one libc call per character gives.
// A run stops before anything it is not sure of (a NUL, the end of its
// input or space, a byte or unit it does not handle); the step's
// per-character loop takes it from there.
//
// The locale's codeset is read once per call. UTF-8 and ISO-8859-1 are
// decoded and encoded here; codesets known to map ASCII to itself widen and
// narrow ASCII here; everything else goes to libc in bulk
// (mbsnrtowcs/wcsnrtombs), falling back to one character at a time around
// anything bulk conversion cannot vouch for.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "converter/codeset.h"
#include "converter/measure.h"
#include "converter/memo.h"
#include "converter/utf8_runs.h"
#include "converter/widen_narrow.h"

namespace quemba::detail {

// Characters a bulk libc call handles at once; after a bulk call that
// could not vouch for its result, as many go one at a time.
constexpr uint32_t kBulkChars = 256;

class ToUnicodeRuns {
public:
    explicit ToUnicodeRuns(ToUnicodeMemo &memo) : ToUnicodeRuns(memo.Codeset(), memo) {}

    uint32_t LongestChar() const { return longest_; }

    RunResult Take(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        switch (codeset_.kind) {
        case Codeset::Utf8:
            return Utf8ToUnits(s, n, d, room);
        case Codeset::Latin1: {
            const uint32_t k = WidenRun<true>(s, d, n < room ? n : room);
            return RunResult{k, k};
        }
        case Codeset::AsciiSuperset: {
            const uint32_t k = WidenRun<false>(s, d, n < room ? n : room);
            if (k != 0) return RunResult{k, k};
            return Memo(s, n, d, room);
        }
        case Codeset::Other:
            return Memo(s, n, d, room);
        }
        return RunResult{0, 0};
    }

private:
    ToUnicodeRuns(CodesetTraits codeset, ToUnicodeMemo &memo)
        : codeset_(codeset), longest_(LongestFor(codeset)), memo_(memo) {}

    // Bytes one unit may take. Where libc composes a unit from a letter and
    // its marks (the codesets not vouched for), several characters' worth.
    static uint32_t LongestFor(CodesetTraits codeset) {
        constexpr uint32_t kComposed = 4;
        if (codeset.kind == Codeset::Latin1) return 1;
        const uint32_t longest = static_cast<uint32_t>(MB_CUR_MAX);
        return codeset.kind == Codeset::Utf8 || codeset.bulk ? longest : longest * kComposed;
    }

    RunResult Memo(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        const RunResult r = memo_.Take(s, n, d, room);
        if (r.produced != 0) return r;
        return Bulk(s, n, d, room);
    }

    RunResult Bulk(const unsigned char *s, uint32_t n, uint16_t *d, uint32_t room) {
        if (!codeset_.bulk) return RunResult{0, 0};
        if (slow_ != 0) {
            --slow_;
            return RunResult{0, 0};
        }
        if (n == 0) return RunResult{0, 0};
        wchar_t wide[kBulkChars];
        std::mbstate_t state{};
        const char *p = reinterpret_cast<const char *>(s);
        const size_t want = room < kBulkChars ? room : kBulkChars;
        // `want` characters fit in this many bytes, so the byte limit cuts
        // no character that the count does not cut; it also keeps libc from
        // measuring the whole rest of the input on every call.
        const size_t limit = want * longest_ < n ? want * longest_ : n;
        const size_t k = mbsnrtowcs(wide, &p, limit, want, &state);
        // A rejected or cut character, or one beyond the BMP, is for the
        // per-character loop to report; a NUL ends the run before it.
        bool usable = k != static_cast<size_t>(-1) && k != 0 && std::mbsinit(&state) != 0;
        uint32_t used = 0;
        if (usable) {
            if (p == nullptr) {
                const void *nul = std::memchr(s, 0, limit);
                used = static_cast<uint32_t>(static_cast<const unsigned char *>(nul) - s);
            } else {
                used = static_cast<uint32_t>(reinterpret_cast<const unsigned char *>(p) - s);
            }
            for (size_t j = 0; j < k && usable; ++j) usable = static_cast<uint32_t>(wide[j]) <= 0xFFFF && wide[j] != 0;
        }
        if (!usable) {
            slow_ = kBulkChars;
            return RunResult{0, 0};
        }
        for (size_t j = 0; j < k; ++j) d[j] = static_cast<uint16_t>(wide[j]);
        return RunResult{used, static_cast<uint32_t>(k)};
    }

    CodesetTraits codeset_;
    uint32_t longest_;
    uint32_t slow_ = 0;
    ToUnicodeMemo &memo_;
};

class ToByteRuns {
public:
    explicit ToByteRuns(ToByteMemo &memo) : codeset_(memo.Codeset()), memo_(memo) {}

    RunResult Take(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
        switch (codeset_.kind) {
        case Codeset::Utf8:
            return UnitsToUtf8(s, n, d, room);
        case Codeset::Latin1: {
            const uint32_t k = NarrowRun<true>(s, d, n < room ? n : room);
            return RunResult{k, k};
        }
        case Codeset::AsciiSuperset: {
            const uint32_t k = NarrowRun<false>(s, d, n < room ? n : room);
            if (k != 0) return RunResult{k, k};
            const RunResult r = memo_.Take<true>(s, n, d, room);
            if (r.consumed != 0) return r;
            return Bulk(s, n, d, room);
        }
        case Codeset::Other: {
            const RunResult r = memo_.Take<false>(s, n, d, room);
            if (r.consumed != 0) return r;
            return Bulk(s, n, d, room);
        }
        }
        return RunResult{0, 0};
    }

private:
    RunResult Bulk(const uint16_t *s, uint32_t n, char *d, uint32_t room) {
        if (!codeset_.bulk) return RunResult{0, 0};
        if (slow_ != 0) {
            --slow_;
            return RunResult{0, 0};
        }
        // Only as many units as surely fit the space, so that the bulk
        // result is used whole.
        if (longest_ == 0) longest_ = static_cast<uint32_t>(MB_CUR_MAX);
        const uint32_t fit = room / longest_ < kBulkChars ? room / longest_ : kBulkChars;
        wchar_t wide[kBulkChars];
        uint32_t k = 0;
        while (k < fit && k < n && s[k] != 0) {
            wide[k] = static_cast<wchar_t>(s[k]);
            ++k;
        }
        if (k == 0) return RunResult{0, 0};
        char bytes[kBulkChars * 4];
        if (size_t{k} * longest_ > sizeof bytes) k = static_cast<uint32_t>(sizeof bytes / longest_);
        std::mbstate_t state{};
        const wchar_t *p = wide;
        const size_t made = wcsnrtombs(bytes, &p, k, sizeof bytes, &state);
        // A unit without a mapping, or bytes that do not all fit, are for
        // the per-character loop to report.
        if (made == static_cast<size_t>(-1) || made > room || p != wide + k || !std::mbsinit(&state)) {
            slow_ = kBulkChars;
            return RunResult{0, 0};
        }
        std::memcpy(d, bytes, made);
        return RunResult{k, static_cast<uint32_t>(made)};
    }

    CodesetTraits codeset_;
    uint32_t longest_ = 0;
    uint32_t slow_ = 0;
    ToByteMemo &memo_;
};

}  // namespace quemba::detail
