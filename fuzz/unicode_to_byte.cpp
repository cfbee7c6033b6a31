// UTF-16 -> bytes through a handle: terminated, unterminated and path forms,
// the length-only modes and the standard shortcuts, under fuzzer-chosen
// locale, settings, code page and output size; and the round trip back.
#include <quemba/converter.h>
#include <quemba/standard.h>

#include <climits>
#include <cwchar>

#include "fuzz_common.h"

namespace {

constexpr uint32_t kCodePages[] = {0, 437, 850, 866, 869, 1252, 65001};

bool IsSeparator(uint16_t u) { return u == 0x5C || u == 0xA5 || u == 0x20A9 || u == 0xF8F7; }

struct Result {
    int32_t code;
    std::string bytes;
};

// One wcrtomb per unit; a unit libc rejects goes to the no-map action;
// with `path`, separators become 0x5C.
Result Model(const uint16_t *src, bool path, int32_t action, uint8_t subByte) {
    Result r{CVT_OK, {}};
    std::mbstate_t state{};
    for (; *src != 0; ++src) {
        if (path && IsSeparator(*src)) {
            r.bytes += '\\';
            continue;
        }
        char buf[MB_LEN_MAX];
        const size_t n = std::wcrtomb(buf, static_cast<wchar_t>(*src), &state);
        if (n != static_cast<size_t>(-1)) {
            r.bytes.append(buf, n);
            continue;
        }
        state = std::mbstate_t{};
        if (action == NOMAP_SUBSTITUTE) {
            r.bytes += static_cast<char>(subByte);
        } else if (action == NOMAP_FIXER) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "[%04X]", *src);
            r.bytes += esc;
        } else {
            r.code = CVT_E_NO_MAP;
            return r;
        }
    }
    return r;
}

// The UTF-16 text holds a unit escape spelled out, which the way back reads.
bool HoldsUnitEscape(const std::vector<uint16_t> &s) {
    auto hex = [](uint16_t u) { return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F'); };
    for (size_t k = 0; k + 5 < s.size(); ++k) {
        if (s[k] == '[' && hex(s[k + 1]) && hex(s[k + 2]) && hex(s[k + 3]) && hex(s[k + 4]) &&
            s[k + 5] == ']')
            return true;
    }
    return false;
}

// Every unit that libc encodes decodes back to itself.
bool UnitsSurviveLibc(const std::vector<uint16_t> &s) {
    for (uint16_t u : s) {
        if (u == 0) break;
        char buf[MB_LEN_MAX];
        std::mbstate_t st{};
        const size_t n = std::wcrtomb(buf, static_cast<wchar_t>(u), &st);
        if (n == static_cast<size_t>(-1)) continue;
        wchar_t back = 0;
        st = std::mbstate_t{};
        if (std::mbrtowc(&back, buf, n, &st) != n || static_cast<uint32_t>(back) != u) return false;
    }
    return true;
}

using UntermFn = int32_t (*)(ConverterHandle, char *, uint32_t, const uint16_t *, uint32_t *);

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    qfuzz::PickLocale(in);

    const int how = in.ConsumeIntegralInRange(0, 2);
    const uint32_t codePage = kCodePages[in.ConsumeIntegralInRange<size_t>(0, 6)];
    ConverterHandle h = nullptr;
    bool standard = false;
    if (how == 0) {
        FUZZ_CHECK(KXUXLoadByteUnicodeConverter(0, &h) == CVT_OK);
    } else if (how == 1) {
        FUZZ_CHECK(KXZLoadByteUnicodeConverter(codePage, 1, &h) == CVT_OK);
    } else {
        standard = true;
        FUZZ_CHECK(KXUSStandardUnicodeInit() == CVT_OK);
        FUZZ_CHECK(KXUSStandardUnicodeOverride(codePage) == CVT_OK);
        h = KXZStandardByteUni();
    }
    const bool defaults = in.ConsumeBool();
    if (!defaults) {
        const int32_t noMap = in.ConsumeIntegralInRange(-3, 3);
        const int32_t r = KXUXSetNoMapAction(h, KEEP_SETTING, noMap);
        FUZZ_CHECK(r == (noMap >= -1 && noMap <= 2 ? CVT_OK : CVT_E_BAD_PARAMETER));
        const int32_t scan = in.ConsumeIntegralInRange(-3, 3);
        int32_t old = 0, now = 0;
        KXUXGetScanAction(h, nullptr, &old);
        const int32_t s = KXUXSetScanAction(h, KEEP_SETTING, scan);
        KXUXGetScanAction(h, nullptr, &now);
        FUZZ_CHECK(s == (scan == 2 || scan <= 0 ? CVT_OK : CVT_E_BAD_PARAMETER));
        FUZZ_CHECK(now == (s == CVT_OK && scan != -1 ? scan : old));
        FUZZ_CHECK(KXUXSetSubByte(h, in.ConsumeIntegral<uint8_t>()) == CVT_OK);
        if (in.ConsumeBool()) FUZZ_CHECK(KXUXEnableOemEuro(h) == CVT_OK);
    }
    int32_t action = 0, scanAction = 0;
    uint8_t subByte = 0;
    KXUXGetNoMapAction(h, nullptr, &action);
    KXUXGetScanAction(h, nullptr, &scanAction);
    KXUXGetSubByte(h, &subByte);

    const bool path = in.ConsumeBool();
    const std::vector<uint16_t> text = qfuzz::ConsumeUnits(in, 400);
    const uint16_t *src = text.data();

    UntermFn unterm = path ? (standard ? nullptr : KXUXUnicodeToUntermBytePath)
                           : (standard ? nullptr : KXUXUnicodeToUntermByte);
    UntermFn term = path ? KXUXUnicodeToBytePath : KXUXUnicodeToByte;
    auto callUnterm = [&](char *out, uint32_t n, uint32_t *c) {
        if (standard) return path ? KXUSUnicodeToUntermBytePath(out, n, src, c) : KXUSUnicodeToUntermByte(out, n, src, c);
        return unterm(h, out, n, src, c);
    };
    auto callTerm = [&](char *out, uint32_t n, uint32_t *c) {
        if (standard) return path ? KXUSUnicodeToBytePath(out, n, src, c) : KXUSUnicodeToByte(out, n, src, c);
        return term(h, out, n, src, c);
    };

    // Length-only modes agree with each other and with the direct companion.
    uint32_t needed = 0xDEADBEEF, neededTerm = 0xDEADBEEF;
    const int32_t lengthCode = callUnterm(nullptr, 0, &needed);
    FUZZ_CHECK(callTerm(nullptr, 0, &neededTerm) == lengthCode && neededTerm == needed);
    FUZZ_CHECK(callTerm(nullptr, 0, nullptr) == lengthCode);
    if (!standard) {
        uint32_t direct = 0xDEADBEEF;
        const int32_t r = path ? KXZBytePathLength(h, src, &direct) : KXZByteLength(h, src, &direct);
        FUZZ_CHECK(r == lengthCode && direct == needed);
    }
    FUZZ_CHECK(needed <= 6u * 400u);

    // Room to spare: the same decisions as the length-only mode.
    qfuzz::Guarded<char> full(needed + 2 + in.ConsumeIntegralInRange(0, 8));
    uint32_t count = 0xDEADBEEF;
    const int32_t code = callTerm(full.data(), full.size(), &count);
    if (code != lengthCode || count != needed) {
        std::fprintf(stderr, "length-only %d/%u, conversion %d/%u, action %d, scan %d, path %d, source:",
                     lengthCode, needed, code, count, action, scanAction, path);
        for (const uint16_t *p = src; *p != 0; ++p) std::fprintf(stderr, " %04X", *p);
        std::fprintf(stderr, "\n");
    }
    FUZZ_CHECK(full.intact() && code == lengthCode && count == needed && full[count] == 0);
    for (size_t i = count + 1; i < full.size(); ++i) FUZZ_CHECK(full[i] == full.kFill);
    const std::vector<char> expected = full.prefix(count);

    // Unterminated with exactly the room needed: the same bytes, no NUL; the
    // result is full when input remains behind them.
    {
        qfuzz::Guarded<char> exact(needed);
        uint32_t c = 0xDEADBEEF;
        const int32_t r = callUnterm(exact.data(), exact.size(), &c);
        FUZZ_CHECK(exact.intact() && (r == code || r == CVT_E_BUFFER_FULL) && c == needed &&
                   exact.prefix(c) == expected);
    }

    // Any smaller room: a prefix of whole characters, never past the size.
    for (int round = 0; round < 2; ++round) {
        const uint32_t small = in.ConsumeIntegralInRange<uint32_t>(0, needed + 1);
        const bool terminated = round == 0;
        qfuzz::Guarded<char> part(small);
        uint32_t c = 0xDEADBEEF;
        const int32_t r = terminated ? callTerm(part.data(), small, &c) : callUnterm(part.data(), small, &c);
        FUZZ_CHECK(part.intact());
        const uint32_t room = terminated ? (small == 0 ? 0 : small - 1) : small;
        if (terminated && small == 0) {
            FUZZ_CHECK(r != CVT_OK || needed == 0);  // refused or empty, nothing written
            continue;
        }
        FUZZ_CHECK(c <= room && c <= needed);
        const std::vector<char> got = part.prefix(c);
        FUZZ_CHECK(std::equal(got.begin(), got.end(), expected.begin()));
        if (terminated) FUZZ_CHECK(part[c] == 0);
        for (size_t i = c + (terminated ? 1 : 0); i < small; ++i) FUZZ_CHECK(part[i] == part.kFill);
        FUZZ_CHECK(c == needed ? (r == code || r == CVT_E_BUFFER_FULL) : r == CVT_E_BUFFER_FULL);
        if (c < needed) {
            // Only a character (or escape) that did not fit is missing.
            FUZZ_CHECK(room - c < 7);
        }
    }

    // Against one wcrtomb per unit when no escape is read.
    bool escapes = false;
    if (scanAction == SCAN_ESCAPES) {
        UniScanner scanner = nullptr;
        KXUXGetUniFunctions(h, nullptr, &scanner, nullptr);
        escapes = scanner(h, src, -1) != nullptr;
    }
    if (!escapes) {
        const Result m = Model(src, path, action, subByte);
        FUZZ_CHECK(m.code == code && m.bytes == std::string(expected.begin(), expected.end()));
    }

    // With the defaults the bytes come back as the same UTF-16 text, unless
    // the text spells out an escape itself or libc does not map a unit back.
    if (defaults && !path && code == CVT_OK && !HoldsUnitEscape(text) && UnitsSurviveLibc(text)) {
        std::string bytes(expected.begin(), expected.end());
        uint32_t n = 0;
        FUZZ_CHECK(KXUXLenByteToUnicode(h, nullptr, 0, bytes.c_str(), -1, &n) == CVT_OK);
        qfuzz::Guarded<uint16_t> back(n + 1);
        uint32_t m = 0;
        FUZZ_CHECK(KXUXByteToUnicode(h, back.data(), back.size(), bytes.c_str(), &m) == CVT_OK);
        FUZZ_CHECK(back.intact() && m == n && back.prefix(m + 1) == text);
    }

    if (standard) {
        KXUSStandardUnicodeRelease();
        KXUSStandardUnicodeRelease();
        FUZZ_CHECK(KXZCheckHandle(h, 0) == CVT_E_BAD_HANDLE);
    } else {
        FUZZ_CHECK(KXUXUnloadConverter(h) == CVT_OK);
    }
    return 0;
}
