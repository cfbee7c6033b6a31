// Byte -> UTF-16 through a handle: the four entry points, the length-only
// mode and the standard shortcuts, under fuzzer-chosen locale, settings,
// code page, source length and output size.
#include <quemba/converter.h>
#include <quemba/standard.h>

#include <cwchar>

#include "fuzz_common.h"

namespace {

constexpr uint32_t kCodePages[] = {0, 437, 850, 866, 869, 1252, 65001};

struct Result {
    int32_t code;
    std::vector<uint16_t> units;
};

// What the conversion must give when no escape is met: one mbrtowc per
// character; an invalid sequence is one unmappable byte, a character above
// U+FFFF is unmappable as a whole, an incomplete one runs to the end.
Result Model(const char *src, int32_t length, int32_t action, uint16_t subUni) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    const bool counted = length >= 0;
    const size_t avail = counted ? static_cast<size_t>(length) : std::strlen(src);
    Result r{CVT_OK, {}};
    size_t pos = 0;
    std::mbstate_t state{};
    for (;;) {
        if (counted && pos == avail) return r;
        if (src[pos] == 0) {
            r.code = counted ? CVT_E_EARLY_TERMINATOR : CVT_OK;
            return r;
        }
        wchar_t wide = 0;
        const size_t n = std::mbrtowc(&wide, src + pos, avail - pos, &state);
        size_t bad;
        if (n == static_cast<size_t>(-2)) {
            bad = 1;  // nothing after the end completes it: its first byte is refused
        } else if (n == static_cast<size_t>(-1) || n == 0) {
            bad = 1;
        } else if (static_cast<uint32_t>(wide) > 0xFFFF) {
            bad = n;
        } else {
            r.units.push_back(static_cast<uint16_t>(wide));
            pos += n;
            continue;
        }
        state = std::mbstate_t{};
        if (action == NOMAP_SUBSTITUTE) {
            r.units.push_back(subUni);
        } else if (action == NOMAP_FIXER) {
            for (size_t i = 0; i < bad; ++i) {
                const unsigned char b = static_cast<unsigned char>(src[pos + i]);
                for (uint16_t u : {uint16_t(u'['), uint16_t(kHex[b >> 4]), uint16_t(kHex[b & 15]),
                                   uint16_t(u']')}) {
                    r.units.push_back(u);
                }
            }
        } else {
            r.code = CVT_E_NO_MAP;
            return r;
        }
        pos += bad;
    }
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    qfuzz::PickLocale(in);

    // The converter: allocated for code page 0, for a chosen code page, or
    // the standard one (used through the shortcuts).
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
        FUZZ_CHECK(KXUSStandardUnicodeOverride(codePage) == CVT_OK);
        h = KXZStandardByteUni();
    }

    // Settings, valid or not: an invalid pair is refused and changes nothing.
    int32_t before[2], after[2];
    const int32_t noMap = in.ConsumeIntegralInRange(-3, 3);
    KXUXGetNoMapAction(h, &before[0], &before[1]);
    const int32_t setNoMap = KXUXSetNoMapAction(h, noMap, KEEP_SETTING);
    KXUXGetNoMapAction(h, &after[0], &after[1]);
    if (noMap < -1 || noMap > 2) {
        FUZZ_CHECK(setNoMap == CVT_E_BAD_PARAMETER && after[0] == before[0] && after[1] == before[1]);
    } else {
        FUZZ_CHECK(setNoMap == CVT_OK && after[0] == (noMap == -1 ? before[0] : noMap));
    }
    const int32_t scan = in.ConsumeIntegralInRange(-2, 3);
    KXUXGetScanAction(h, &before[0], &before[1]);
    const int32_t setScan = KXUXSetScanAction(h, scan, KEEP_SETTING);
    KXUXGetScanAction(h, &after[0], &after[1]);
    const bool scanValid = scan == -1 || scan == 0 || scan == 2;
    FUZZ_CHECK(setScan == (scanValid ? CVT_OK : CVT_E_BAD_PARAMETER));
    FUZZ_CHECK(after[0] == (scanValid && scan != -1 ? scan : before[0]));
    const uint16_t subUni = in.ConsumeBool() ? 0xFFFD : in.ConsumeIntegral<uint16_t>();
    FUZZ_CHECK(KXUXSetSubUni(h, subUni) == CVT_OK);
    if (in.ConsumeBool()) FUZZ_CHECK(KXUXEnableOemEuro(h) == CVT_OK);

    int32_t action = 0, scanAction = 0;
    KXUXGetNoMapAction(h, &action, nullptr);
    KXUXGetScanAction(h, &scanAction, nullptr);

    // The source: counted sources live in a block of exactly that many
    // bytes, so a read past the count is caught.
    const bool counted = in.ConsumeBool();
    std::string text = qfuzz::ConsumeBytes(in, 600, counted);
    int32_t length = -1;
    std::vector<char> block;
    const char *src = text.c_str();
    if (counted) {
        length = static_cast<int32_t>(in.ConsumeIntegralInRange<size_t>(0, text.size()));
        block.assign(text.begin(), text.begin() + length);
        src = block.data();
        if (length == 0) src = text.c_str();  // an empty block has no address
    }

    auto convert = [&](uint16_t *out, uint32_t outSize, uint32_t *count) {
        if (standard) return KXUSLenByteToUnicode(out, outSize, src, length, count);
        return KXUXLenByteToUnicode(h, out, outSize, src, length, count);
    };

    // Length-only mode.
    uint32_t needed = 0xDEADBEEF;
    const int32_t lengthCode = convert(nullptr, 0, &needed);
    FUZZ_CHECK(needed <= 4u * 600u);

    // Enough room: the same decisions as the length-only mode.
    qfuzz::Guarded<uint16_t> full(needed + 2 + in.ConsumeIntegralInRange(0, 8));
    uint32_t count = 0xDEADBEEF;
    const int32_t code = convert(full.data(), full.size(), &count);
    FUZZ_CHECK(full.intact());
    FUZZ_CHECK(code == lengthCode && count == needed && full[count] == 0);
    for (size_t i = count + 1; i < full.size(); ++i) FUZZ_CHECK(full[i] == full.kFill);
    const std::vector<uint16_t> expected = full.prefix(count);

    // Other entry points give the same.
    if (!counted && !standard) {
        qfuzz::Guarded<uint16_t> again(full.size());
        uint32_t c2 = 0;
        FUZZ_CHECK(KXUXByteToUnicode(h, again.data(), again.size(), src, &c2) == code);
        FUZZ_CHECK(c2 == count && again.prefix(c2 + 1) == full.prefix(count + 1));
        FUZZ_CHECK(KXUXByteToUnicodePath(h, again.data(), again.size(), src, &c2) == code);
        FUZZ_CHECK(c2 == count && again.prefix(c2 + 1) == full.prefix(count + 1));
    }
    if (!standard) {
        qfuzz::Guarded<uint16_t> again(full.size());
        uint32_t c2 = 0;
        FUZZ_CHECK(KXUXLenByteToUnicodePath(h, again.data(), again.size(), src, length, &c2) == code);
        FUZZ_CHECK(c2 == count && again.prefix(c2 + 1) == full.prefix(count + 1));
        uint32_t c3 = 0;
        FUZZ_CHECK(KXZLSUnicodeLength(h, src, length, &c3) == lengthCode && c3 == needed);
    }

    // Exactly room for the result: equal, or full at the very end.
    {
        qfuzz::Guarded<uint16_t> exact(needed + 1);
        uint32_t c = 0;
        const int32_t r = convert(exact.data(), exact.size(), &c);
        FUZZ_CHECK(exact.intact() && c == needed && exact.prefix(c) == expected && exact[c] == 0);
        FUZZ_CHECK(r == code || r == CVT_E_BUFFER_FULL);
    }

    // Less room: a terminated prefix, never beyond the size.
    {
        const uint32_t small = in.ConsumeIntegralInRange<uint32_t>(0, needed + 1);
        qfuzz::Guarded<uint16_t> part(small);
        uint32_t c = 0xDEADBEEF;
        const int32_t r = convert(part.data(), small, &c);
        FUZZ_CHECK(part.intact());
        if (small > 0) {
            FUZZ_CHECK(c < small && part[c] == 0);
            const std::vector<uint16_t> got = part.prefix(c);
            FUZZ_CHECK(std::equal(got.begin(), got.end(), expected.begin()));
            // Short of the whole result only for want of room.
            FUZZ_CHECK(c == needed ? (r == code || r == CVT_E_BUFFER_FULL) : r == CVT_E_BUFFER_FULL);
            for (size_t i = c + 1; i < small; ++i) FUZZ_CHECK(part[i] == part.kFill);
        }
        // Null count with an output is allowed.
        if (small > 0) convert(part.data(), small, nullptr);
        FUZZ_CHECK(part.intact());
    }

    // Against one mbrtowc per character, when no escape takes part.
    bool escapes = false;
    if (scanAction == SCAN_ESCAPES) {
        ByteScanner scanner = nullptr;
        KXUXGetByteFunctions(h, nullptr, &scanner, nullptr);
        escapes = scanner(h, src, length) != nullptr;
    }
    if (!escapes) {
        const Result m = Model(src, length, action, subUni);
        if (m.code != code || m.units != expected) {
            std::fprintf(stderr, "action %d length %d source:", action, length);
            const size_t n = length < 0 ? std::strlen(src) : static_cast<size_t>(length);
            for (size_t i = 0; i < n; ++i) std::fprintf(stderr, " %02X", src[i] & 0xFF);
            std::fprintf(stderr, "\nmodel %d:", m.code);
            for (uint16_t u : m.units) std::fprintf(stderr, " %04X", u);
            std::fprintf(stderr, "\nlibrary %d:", code);
            for (uint16_t u : expected) std::fprintf(stderr, " %04X", u);
            std::fprintf(stderr, "\n");
        }
        FUZZ_CHECK(m.code == code && m.units == expected);
    }

    if (standard) {
        KXUSStandardUnicodeRelease();
        FUZZ_CHECK(KXZCheckHandle(h, 0) == CVT_E_BAD_HANDLE);
    } else {
        FUZZ_CHECK(KXUXUnloadConverter(h) == CVT_OK);
    }
    return 0;
}
