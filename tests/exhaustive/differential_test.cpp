// In every test locale, every single byte, every byte pair and every BMP
// unit go through the engine steps and the drivers, and the results are
// compared with libc called the way the engine works: one mbrtowc or
// wcrtomb per character; an invalid sequence is one unmappable byte, a
// character above U+FFFF is unmappable with all its bytes, an incomplete
// one runs to the end of the input.
#include <quemba/converter.h>

#include <climits>
#include <cwchar>
#include <cwctype>
#include <sstream>

#include "engine_reference.h"
#include "quemba_test.h"

namespace {

using qtest::LocaleScope;

// The byte-to-UTF-16 driver with the defaults, on input without escapes:
// each unmappable sequence becomes U+FFFD.
std::u16string ByteDriverModel(const char *src, int32_t length) {
    std::u16string out;
    const size_t avail = length < 0 ? std::strlen(src) : static_cast<size_t>(length);
    size_t pos = 0;
    std::mbstate_t st{};
    while (pos < avail && src[pos] != 0) {
        wchar_t w = 0;
        const size_t n = std::mbrtowc(&w, src + pos, avail - pos, &st);
        size_t bad = 0;
        if (n == static_cast<size_t>(-2)) bad = avail - pos;
        else if (n == static_cast<size_t>(-1) || n == 0) bad = 1;
        else if (static_cast<uint32_t>(w) > 0xFFFF) bad = n;
        if (bad == 0) {
            out += static_cast<char16_t>(w);
            pos += n;
        } else {
            out += u'\uFFFD';
            pos += bad;
            st = std::mbstate_t{};
        }
    }
    return out;
}

// Collects the first few differences of a sweep.
class Diffs {
public:
    template <typename... T>
    void Add(T &&...what) {
        if (count_++ < 5) {
            std::ostringstream o;
            ((o << what << ' '), ...);
            text_ += o.str() + "\n";
        }
    }
    int count() const { return count_; }
    const std::string &text() const { return text_; }

private:
    int count_ = 0;
    std::string text_;
};

std::string Hex(const std::string &bytes) {
    std::ostringstream o;
    o << std::hex;
    for (unsigned char c : bytes) o << int(c) << '.';
    return o.str();
}

// One byte string through the engine (NUL-terminated and counted) and the
// driver (conversion and length-only mode).
void CheckBytes(ConverterHandle h, const std::string &bytes, Diffs &diffs) {
    for (int32_t count : {-1, static_cast<int32_t>(bytes.size())}) {
        uint16_t out[8];
        uint32_t consumed = 0, produced = 0, noMap = 0;
        const int32_t r = KXUToUnicode(0, bytes.c_str(), out, count, 8, &consumed, &produced, &noMap);
        const qref::Result m = qref::ToUnicode(bytes.c_str(), count, 8);
        if (r != m.status || consumed != m.consumed || produced != m.produced ||
            qtest::S16(out, produced) != m.out.str16() || (r == CVT_E_NO_MAP && noMap != m.noMap)) {
            diffs.Add("engine", Hex(bytes), "count", count, "status", r, m.status, "consumed", consumed, m.consumed);
        }
        uint16_t conv[16];
        uint32_t n = 0, need = 0;
        const int32_t d = KXUXLenByteToUnicode(h, conv, 16, bytes.c_str(), count, &n);
        const int32_t l = KXUXLenByteToUnicode(h, nullptr, 0, bytes.c_str(), count, &need);
        const std::u16string want = ByteDriverModel(bytes.c_str(), count);
        if (d != CVT_OK || l != CVT_OK || qtest::S16(conv, n) != want || need != n || conv[n] != 0) {
            diffs.Add("driver", Hex(bytes), "count", count, "result", d, l);
        }
    }
}

class Exhaustive : public testing::TestWithParam<std::string> {};

TEST_P(Exhaustive, EveryByteAndBytePair) {
    LocaleScope scope(GetParam());
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    Diffs diffs;
    for (int b = 1; b < 256; ++b) CheckBytes(h, std::string(1, static_cast<char>(b)), diffs);
    for (int b1 = 1; b1 < 256; ++b1) {
        for (int b2 = 1; b2 < 256; ++b2) {
            const char pair[3] = {static_cast<char>(b1), static_cast<char>(b2), 0};
            CheckBytes(h, pair, diffs);
        }
    }
    EXPECT_EQ(diffs.count(), 0) << diffs.text();
    KXUXUnloadConverter(h);
}

TEST_P(Exhaustive, EveryBmpUnit) {
    LocaleScope scope(GetParam());
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    Diffs diffs;
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
        const uint16_t src[2] = {static_cast<uint16_t>(u), 0};
        char mb[MB_LEN_MAX];
        std::mbstate_t st{};
        const size_t n = std::wcrtomb(mb, static_cast<wchar_t>(u), &st);
        const bool mapped = n != static_cast<size_t>(-1);

        // Engine step to bytes, with room and with one byte too few.
        char out[16];
        uint32_t consumed = 0, produced = 0, noMap = 0;
        int32_t r = KXUToByte(0, src, out, -1, 16, &consumed, &produced, &noMap);
        if (mapped ? r != CVT_OK || produced != n || std::memcmp(out, mb, n) != 0
                   : r != CVT_E_NO_MAP || consumed != 1 || produced != 0 || noMap != 1) {
            diffs.Add("KXUToByte", std::hex, u, "status", std::dec, r);
        }
        if (mapped) {
            r = KXUToByte(0, src, out, -1, static_cast<uint32_t>(n - 1), &consumed, &produced, &noMap);
            if (r != CVT_E_BUFFER_FULL || consumed != 0 || produced != 0) diffs.Add("KXUToByte short", std::hex, u);
        }

        // Drivers with the defaults: the bytes, or the escape; the path form
        // writes separators as 0x5C.
        std::string want = mapped ? std::string(mb, n) : std::string();
        if (!mapped) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "[%04X]", u);
            want = esc;
        }
        uint32_t count = 0, need = 0;
        r = KXUXUnicodeToByte(h, out, 16, src, &count);
        KXUXUnicodeToByte(h, nullptr, 0, src, &need);
        if (r != CVT_OK || std::string(out, count) != want || need != count || out[count] != 0) {
            diffs.Add("KXUXUnicodeToByte", std::hex, u, std::dec, r);
        }
        const bool separator = u == 0x5C || u == 0xA5 || u == 0x20A9 || u == 0xF8F7;
        r = KXUXUnicodeToBytePath(h, out, 16, src, &count);
        if (r != CVT_OK || std::string(out, count) != (separator ? std::string("\\") : want)) {
            diffs.Add("KXUXUnicodeToBytePath", std::hex, u, std::dec, r);
        }

        // And back through the engine and the driver, as libc reads it.
        if (mapped) {
            wchar_t back = 0;
            st = std::mbstate_t{};
            const size_t m = std::mbrtowc(&back, mb, n, &st);
            const std::string bytes(mb, n);
            const qref::Result model = qref::ToUnicode(bytes.c_str(), -1, 8);
            uint16_t units[8];
            r = KXUToUnicode(0, bytes.c_str(), units, -1, 8, &consumed, &produced, &noMap);
            if (r != model.status || qtest::S16(units, produced) != model.out.str16()) {
                diffs.Add("KXUToUnicode back", std::hex, u, std::dec, r);
            }
            if (m == n && static_cast<uint32_t>(back) == u && bytes.find('[') == std::string::npos) {
                uint16_t conv[8];
                if (KXUXByteToUnicode(h, conv, 8, bytes.c_str(), &count) != CVT_OK || count != 1 || conv[0] != u) {
                    diffs.Add("round trip", std::hex, u);
                }
            }
        }

        // Case steps.
        uint16_t cased[2];
        KXUToLower(0, src, cased, -1, 2, &consumed, &produced, &noMap);
        if (produced != 1 || cased[0] != static_cast<uint16_t>(std::towlower(u))) diffs.Add("lower", std::hex, u);
        KXUToUpper(0, src, cased, -1, 2, &consumed, &produced, &noMap);
        if (produced != 1 || cased[0] != static_cast<uint16_t>(std::towupper(u))) diffs.Add("upper", std::hex, u);
    }
    EXPECT_EQ(diffs.count(), 0) << diffs.text();
    KXUXUnloadConverter(h);
}

INSTANTIATE_TEST_SUITE_P(Locales, Exhaustive,
                         testing::Values("C", "en_US.UTF-8", "de_DE.UTF-8", "de_DE.ISO-8859-1", "ja_JP.EUC-JP",
                                         "fi_FI.UTF-8", "ru_RU.CP1251", "qz_QZ.UTF-8"),
                         [](const testing::TestParamInfo<std::string> &info) {
                             std::string name = info.param;
                             for (char &c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
