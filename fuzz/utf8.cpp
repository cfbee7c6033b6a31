// UTF-8 <-> UTF-16: classification, size queries and both conversions with
// every output size up to the needed one, against a decoder written out
// here; UTF-16 -> UTF-8 -> UTF-16 gives the same units.
#include <quemba/utf8.h>

#include "fuzz_common.h"

namespace {

bool Cont(uint8_t b) { return (b & 0xC0) == 0x80; }

// Length of the sequence at p: 1 to 3, or 0 when malformed. Overlong forms
// are malformed, encoded surrogates are not.
int Classify(const uint8_t *p) {
    if (p[0] < 0x80) return 1;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) return Cont(p[1]) ? 2 : 0;
    if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        if (!Cont(p[1]) || (p[0] == 0xE0 && p[1] < 0xA0)) return 0;
        return Cont(p[2]) ? 3 : 0;
    }
    return 0;
}

struct Decoded {
    std::vector<uint16_t> units;
    size_t bad = SIZE_MAX;  // offset of the first malformed sequence
};

Decoded Decode(const std::string &s) {
    Decoded d;
    const auto *p = reinterpret_cast<const uint8_t *>(s.c_str());
    size_t i = 0;
    while (p[i] != 0) {
        const int n = Classify(p + i);
        if (n == 0) {
            d.bad = i;
            return d;
        }
        uint16_t u = p[i];
        if (n == 2) u = static_cast<uint16_t>((p[i] & 0x1F) << 6 | (p[i + 1] & 0x3F));
        if (n == 3) u = static_cast<uint16_t>((p[i] & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F));
        d.units.push_back(u);
        i += static_cast<size_t>(n);
    }
    return d;
}

std::string Encode(const std::vector<uint16_t> &units) {
    std::string s;
    for (uint16_t u : units) {
        if (u == 0) break;
        if (u <= 0x7F) {
            s += static_cast<char>(u);
        } else if (u <= 0x7FF) {
            s += static_cast<char>(0xC0 | u >> 6);
            s += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            s += static_cast<char>(0xE0 | u >> 12);
            s += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return s;
}

}  // namespace

int qfuzz::FuzzOne(FuzzedDataProvider &in) {
    if (in.ConsumeBool()) {
        // UTF-8 in.
        const std::string text = qfuzz::ConsumeBytes(in, 500);
        const Decoded d = Decode(text);
        const uint32_t full = static_cast<uint32_t>(2 * d.units.size() + 2);
        FUZZ_CHECK(_ClassifyUTF8Char(text.c_str()) ==
                   (Classify(reinterpret_cast<const uint8_t *>(text.c_str())) ?: LOC_E_BAD_UTF8));
        uint32_t sz = 0xDEADBEEF;
        const int32_t sr = KXLUTF8ToUnicodeSize(text.c_str(), &sz);
        FUZZ_CHECK(d.bad == SIZE_MAX ? sr == 0 && sz == full : sr == LOC_E_BAD_UTF8 && sz == full - 2);

        // Size query.
        uint32_t q = 0xDEADBEEF;
        char *err = reinterpret_cast<char *>(1);
        FUZZ_CHECK(KXLUTF8ToUnicode(text.c_str(), 0, nullptr, &q, &err) == LOC_E_BUFFER_TOO_SMALL);
        FUZZ_CHECK(q == sz && err == nullptr);

        // Output of a fuzzer-chosen size in bytes.
        const uint32_t bytes = in.ConsumeIntegralInRange<uint32_t>(0, full + 4);
        qfuzz::Guarded<uint16_t> out((bytes + 1) / 2);
        uint32_t got = 0xDEADBEEF;
        err = reinterpret_cast<char *>(1);
        const int32_t r = KXLUTF8ToUnicode(text.c_str(), bytes, out.data(), &got, &err);
        FUZZ_CHECK(out.intact());
        if (d.bad != SIZE_MAX && (d.units.empty() || 2 + 2 * d.units.size() <= bytes)) {
            // Every unit before the malformed sequence fits: it is reported.
            FUZZ_CHECK(r == LOC_E_BAD_UTF8 && err == text.c_str() + d.bad && got == 0xDEADBEEF);
        } else if (d.bad == SIZE_MAX && bytes >= full) {
            FUZZ_CHECK(r == 0 && got == full && err == nullptr && out.prefix(d.units.size() + 1) ==
                       [&] { auto v = d.units; v.push_back(0); return v; }());
            for (size_t i = d.units.size() + 1; i < out.size(); ++i) FUZZ_CHECK(out[i] == out.kFill);
        } else {
            FUZZ_CHECK(r == LOC_E_BUFFER_TOO_SMALL && got == sz && err == nullptr);
            const size_t n = std::min(d.units.size(), bytes >= 2 ? (bytes - 2) / 2 : size_t(0));
            const std::vector<uint16_t> head(d.units.begin(), d.units.begin() + n);
            FUZZ_CHECK(out.prefix(n) == head);
            for (size_t i = n; i < out.size(); ++i) FUZZ_CHECK(out[i] == out.kFill);
        }
    } else {
        // UTF-16 in.
        const std::vector<uint16_t> units = qfuzz::ConsumeUnits(in, 300);
        const std::string enc = Encode(units);
        const uint32_t full = static_cast<uint32_t>(enc.size() + 1);
        FUZZ_CHECK(KXLUnicodeToUTF8Size(units.data()) == full);
        uint32_t q = 0xDEADBEEF;
        FUZZ_CHECK(KXLUnicodeToUTF8(units.data(), 0, nullptr, &q) == LOC_E_BUFFER_TOO_SMALL && q == full);
        const uint32_t bytes = in.ConsumeIntegralInRange<uint32_t>(0, full + 4);
        qfuzz::Guarded<char> out(bytes);
        uint32_t got = 0xDEADBEEF;
        const int32_t r = KXLUnicodeToUTF8(units.data(), bytes, out.data(), &got);
        FUZZ_CHECK(out.intact() && got == full);
        if (bytes >= full) {
            FUZZ_CHECK(r == 0 && std::string(out.data(), enc.size()) == enc && out[enc.size()] == 0);
            // And back: the same units.
            uint32_t backSize = 0;
            FUZZ_CHECK(KXLUTF8ToUnicodeSize(out.data(), &backSize) == 0 && backSize == 2 * units.size());
            qfuzz::Guarded<uint16_t> back(units.size());
            FUZZ_CHECK(KXLUTF8ToUnicode(out.data(), backSize, back.data(), nullptr, nullptr) == 0);
            FUZZ_CHECK(back.intact() && back.prefix(units.size()) == units);
        } else {
            // Whole sequences only, no terminator.
            FUZZ_CHECK(r == LOC_E_BUFFER_TOO_SMALL);
            size_t n = 0, len = 0;
            for (uint16_t u : units) {
                const size_t l = u == 0 ? 0 : u <= 0x7F ? 1 : u <= 0x7FF ? 2 : 3;
                if (l == 0 || len + l + 1 > bytes) break;
                len += l;
                ++n;
            }
            FUZZ_CHECK(std::string(out.data(), len) == enc.substr(0, len));
            for (size_t i = len; i < bytes; ++i) FUZZ_CHECK(out[i] == out.kFill);
        }
    }
    return 0;
}
