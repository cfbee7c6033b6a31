// Table-handle API: local <-> Unicode, monocase, collation weights and
// character comparison with fuzzer-chosen sizes and substitutes, against
// libc called once per character.
#include <quemba/table_handle.h>

#include <climits>
#include <cwchar>
#include <cwctype>

#include "fuzz_common.h"

namespace {

struct Local {
    int32_t code = 0;
    std::vector<uint16_t> units;
};

// A rejected byte becomes one substitute (the state starts afresh after
// it); a character above U+FFFF one substitute for all its bytes.
Local LocalModel(const char *s, uint16_t sub, uint32_t room) {
    Local r;
    size_t left = std::strlen(s);
    std::mbstate_t st{};
    while (*s != 0 && room != 0) {
        wchar_t w = 0;
        size_t n = std::mbrtowc(&w, s, left, &st);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) {
            if (sub == 0) return r.code = LOC_E_NO_MAP, r;
            st = std::mbstate_t{};
            w = sub;
            n = 1;
        } else if (static_cast<uint32_t>(w) > 0xFFFF) {
            if (sub == 0) return r.code = LOC_E_NO_MAP, r;
            w = sub;
        }
        r.units.push_back(static_cast<uint16_t>(w));
        s += n;
        left -= n;
        --room;
    }
    if (*s != 0) r.code = LOC_E_BUFFER_TOO_SMALL;
    return r;
}

struct Bytes {
    int32_t code = 0;
    std::string bytes;
};

Bytes UnicodeModel(const uint16_t *u, uint8_t sub, uint32_t room) {
    Bytes r;
    std::mbstate_t st{};
    while (*u != 0 && room != 0) {
        char buf[MB_LEN_MAX];
        size_t n = std::wcrtomb(buf, static_cast<wchar_t>(*u), &st);
        if (n == static_cast<size_t>(-1)) {
            if (sub == 0) return r.code = LOC_E_NO_MAP, r;
            st = std::mbstate_t{};
            buf[0] = static_cast<char>(sub);
            n = 1;
        }
        if (n > room) break;
        r.bytes.append(buf, n);
        room -= static_cast<uint32_t>(n);
        ++u;
    }
    if (*u != 0) r.code = LOC_E_BUFFER_TOO_SMALL;
    return r;
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    qfuzz::PickLocale(in);
    const uint32_t handle = in.ConsumeIntegral<uint32_t>();
    const uint32_t outSize = in.ConsumeIntegralInRange<uint32_t>(0, 300);

    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {
        const std::string text = qfuzz::ConsumeBytes(in, 300);
        const uint16_t sub = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint16_t>();
        qfuzz::Guarded<uint16_t> out(outSize);
        uint32_t count = 0xDEADBEEF;
        const int32_t r = KXLocalToUnicode(handle, out.data(), outSize, text.c_str(), sub, &count);
        FUZZ_CHECK(out.intact());
        if (outSize == 0) {
            FUZZ_CHECK(r == LOC_E_BAD_ARGUMENT && count == 0xDEADBEEF);
            break;
        }
        const Local m = LocalModel(text.c_str(), sub, outSize - 1);
        FUZZ_CHECK(r == m.code && count == m.units.size() + 1);
        FUZZ_CHECK(out.prefix(m.units.size()) == m.units && out[m.units.size()] == 0);
        break;
    }
    case 1: {
        const std::vector<uint16_t> text = qfuzz::ConsumeUnits(in, 200);
        const uint8_t sub = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint8_t>();
        qfuzz::Guarded<char> out(outSize);
        uint32_t count = 0xDEADBEEF;
        const int32_t r = KXUnicodeToLocal(handle, out.data(), outSize, text.data(), sub, &count);
        FUZZ_CHECK(out.intact());
        if (outSize == 0) {
            FUZZ_CHECK(r == LOC_E_BAD_ARGUMENT && count == 0xDEADBEEF);
            break;
        }
        const Bytes m = UnicodeModel(text.data(), sub, outSize - 1);
        FUZZ_CHECK(r == m.code && count == m.bytes.size() + 1);
        FUZZ_CHECK(std::string(out.data(), m.bytes.size()) == m.bytes && out[m.bytes.size()] == 0);
        break;
    }
    case 2: {
        const std::vector<uint16_t> text = qfuzz::ConsumeUnits(in, 200);
        const size_t length = text.size() - 1;
        qfuzz::Guarded<uint16_t> out(outSize);
        uint32_t count = 0xDEADBEEF;
        const int32_t r = KXUnicodeToMonocase(handle, out.data(), outSize, text.data(), &count);
        FUZZ_CHECK(out.intact());
        if (outSize == 0) {
            FUZZ_CHECK(r == LOC_E_BAD_ARGUMENT && count == 0xDEADBEEF);
            break;
        }
        const size_t fits = std::min<size_t>(length, outSize - 1);
        for (size_t i = 0; i < fits; ++i) FUZZ_CHECK(out[i] == static_cast<uint16_t>(std::towlower(text[i])));
        if (fits == length) {
            FUZZ_CHECK(r == 0 && count == length + 1 && out[length] == 0);
        } else {
            FUZZ_CHECK(r == LOC_E_BUFFER_TOO_SMALL && count == fits && out[fits] == out.kFill);
        }
        break;
    }
    default: {
        const std::vector<uint16_t> text = qfuzz::ConsumeUnits(in, 60);
        std::vector<wchar_t> wide(text.begin(), text.end());
        const size_t needed = std::wcsxfrm(nullptr, wide.data(), 0);
        std::vector<wchar_t> xf(needed + 1);
        std::wcsxfrm(xf.data(), wide.data(), needed + 1);
        qfuzz::Guarded<uint16_t> out(outSize);
        uint32_t count = 0xDEADBEEF;
        const int32_t r = KXUnicodeToCollation(handle, out.data(), outSize, text.data(), 0, &count);
        FUZZ_CHECK(out.intact());
        if (outSize == 0) {
            FUZZ_CHECK(r == LOC_E_BUFFER_TOO_SMALL && count == 0);
        } else {
            const size_t kept = std::min<size_t>(needed, outSize - 1);
            FUZZ_CHECK(r == (needed < outSize ? 0 : LOC_E_BUFFER_TOO_SMALL) && count == kept);
            for (size_t i = 0; i < kept; ++i) FUZZ_CHECK(out[i] == static_cast<uint16_t>(xf[i]));
            FUZZ_CHECK(out[kept] == 0);
        }
        // Character comparison: antisymmetric, 0 with itself.
        const uint16_t a = in.ConsumeIntegral<uint16_t>(), b = in.ConsumeIntegral<uint16_t>();
        const int32_t ab = KXUnicodeCompare(handle, a, b), ba = KXUnicodeCompare(handle, b, a);
        FUZZ_CHECK((ab == -1 || ab == 0 || ab == 1) && ab == -ba && KXUnicodeCompare(handle, a, a) == 0);
        break;
    }
    }
    return 0;
}
