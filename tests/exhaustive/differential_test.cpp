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
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>
#include <random>

#include "engine_reference.h"
#include "quemba_test.h"

namespace {

using qtest::LocaleScope;

// The byte-to-UTF-16 driver with the defaults, on input without escapes,
// over the engine model: each unmappable sequence becomes U+FFFD, and so
// does the first byte of a character the end cuts off.
std::u16string ByteDriverModel(const char *src, int32_t length) {
    std::u16string out;
    const uint32_t avail = length < 0 ? static_cast<uint32_t>(std::strlen(src)) : static_cast<uint32_t>(length);
    uint32_t pos = 0;
    while (pos < avail && src[pos] != 0) {
        const qref::Result r =
            qref::ToUnicode(src + pos, length < 0 ? -1 : static_cast<int32_t>(avail - pos), qref::kMaxOut);
        out += r.out.str16();
        pos += r.consumed;
        if (r.status == CVT_E_NO_MAP || (r.status == CVT_E_SOURCE_EXHAUSTED && pos < avail)) {
            out += u'\uFFFD';
            if (r.status == CVT_E_SOURCE_EXHAUSTED) ++pos;
        }
    }
    return out;
}

// One unit alone, as the engine model writes it: its bytes, or nothing
// when it has none.
std::string UnitBytes(uint16_t u, bool *mapped = nullptr) {
    const uint16_t src[2] = {u, 0};
    const qref::Result r = qref::FromUnits(qref::Map::Bytes, src, -1, 16);
    if (mapped != nullptr) *mapped = r.status == CVT_OK;
    return r.status == CVT_OK ? r.out.bytes() : std::string();
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
        bool mapped = false;
        const std::string mb = UnitBytes(static_cast<uint16_t>(u), &mapped);
        const uint32_t n = static_cast<uint32_t>(mb.size());

        // Engine step to bytes, with room and with one byte too few.
        char out[16];
        uint32_t consumed = 0, produced = 0, noMap = 0;
        int32_t r = KXUToByte(0, src, out, -1, 16, &consumed, &produced, &noMap);
        if (mapped ? r != CVT_OK || produced != n || std::string(out, produced) != mb
                   : r != CVT_E_NO_MAP || consumed != 1 || produced != 0 || noMap != 1) {
            diffs.Add("KXUToByte", std::hex, u, "status", std::dec, r);
        }
        if (mapped && n != 0) {
            r = KXUToByte(0, src, out, -1, n - 1, &consumed, &produced, &noMap);
            if (r != CVT_E_BUFFER_FULL || consumed != 0 || produced != 0) diffs.Add("KXUToByte short", std::hex, u);
        }

        // Drivers with the defaults: the bytes, or the escape; the path form
        // writes separators as 0x5C.
        std::string want = mb;
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
        if (mapped && n != 0) {
            wchar_t back = 0;
            std::mbstate_t st{};
            const std::string &bytes = mb;
            const size_t m = std::mbrtowc(&back, bytes.c_str(), n, &st);
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

// The UTF-16-to-byte driver with the defaults, over the engine model: each
// unmappable unit becomes its bracketed escape; the path form writes
// separators as 0x5C.
std::string UnitDriverModel(const uint16_t *src, bool path) {
    std::string out;
    auto separator = [path](uint16_t u) { return path && (u == 0x5C || u == 0xA5 || u == 0x20A9 || u == 0xF8F7); };
    while (*src != 0) {
        if (separator(*src)) {
            out += '\\';
            ++src;
            continue;
        }
        int32_t piece = 0;
        while (src[piece] != 0 && !separator(src[piece])) ++piece;
        const qref::Result r = qref::FromUnits(qref::Map::Bytes, src, src[piece] == 0 ? -1 : piece, qref::kMaxOut);
        if (r.status == CVT_E_BUFFER_FULL) std::abort();
        out += r.out.bytes();
        src += r.consumed;
        if (r.status == CVT_E_NO_MAP) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "[%04X]", src[-1]);
            out += esc;
        }
    }
    return out;
}

// Caller buffers with canaries behind the given size.
constexpr uint32_t kGuard = 8;
constexpr uint16_t kCanaryUnit = 0xA5A5;
constexpr char kCanaryByte = static_cast<char>(0xA5);

// Long texts through the drivers, where the engine keeps a memo of libc's
// answers across the steps of one call (the length-only modes measure in
// steps of a few thousand units): frequent and rare characters, ASCII
// letters, and errors after memoised characters.
TEST_P(Exhaustive, LongTextsThroughTheDrivers) {
    LocaleScope scope(GetParam());
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    std::vector<uint16_t> mapped, rejected;
    std::vector<char> badBytes;
    for (uint32_t u = 0x80; u <= 0xFFFF; ++u) {
        bool ok = false;
        UnitBytes(static_cast<uint16_t>(u), &ok);
        (ok ? mapped : rejected).push_back(static_cast<uint16_t>(u));
    }
    for (int b = 0x80; b < 256; ++b) {
        const char c = static_cast<char>(b);
        std::mbstate_t st{};
        if (std::mbrtowc(nullptr, &c, 1, &st) == static_cast<size_t>(-1)) badBytes.push_back(c);
    }
    std::mt19937 rng(1206);
    auto below = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    std::vector<uint16_t> frequent;
    for (int i = 0; i < 30 && !mapped.empty(); ++i) frequent.push_back(mapped[below(mapped.size())]);
    Diffs diffs;
    for (int round = 0; round < 40; ++round) {
        std::vector<uint16_t> units;
        std::string bytes;
        const size_t length = 1000 + below(6000);
        while (units.size() < length) {
            const size_t kind = below(100);
            uint16_t u = static_cast<uint16_t>('a' + below(26));
            if (kind < 60 && !frequent.empty()) u = frequent[below(frequent.size())];
            else if (kind < 85 && !mapped.empty()) u = mapped[below(mapped.size())];
            else if (kind == 99 && units.size() > 300) {
                // An error after memoised characters.
                if (!rejected.empty()) units.push_back(rejected[below(rejected.size())]);
                if (!badBytes.empty()) bytes += badBytes[below(badBytes.size())];
                continue;
            }
            units.push_back(u);
            bytes += UnitBytes(u);
        }
        units.push_back(0);

        const std::string want = UnitDriverModel(units.data(), false);
        const std::string wantPath = UnitDriverModel(units.data(), true);
        const uint32_t size = static_cast<uint32_t>(want.size() + 1);
        std::vector<char> out(size + kGuard, kCanaryByte);
        uint32_t count = 0, need = 0;
        int32_t r = KXUXUnicodeToByte(h, out.data(), size, units.data(), &count);
        const int32_t l = KXUXUnicodeToByte(h, nullptr, 0, units.data(), &need);
        if (r != CVT_OK || l != CVT_OK || std::string(out.data(), count) != want || need != count ||
            out[count] != 0 || out[size] != kCanaryByte) {
            diffs.Add("KXUXUnicodeToByte round", round, "result", r, l, "count", count, want.size(), need);
        }
        std::fill(out.begin(), out.end(), kCanaryByte);
        const uint32_t pathSize = static_cast<uint32_t>(wantPath.size() + 1);
        r = KXUXUnicodeToBytePath(h, out.data(), pathSize, units.data(), &count);
        KXUXUnicodeToBytePath(h, nullptr, 0, units.data(), &need);
        if (r != CVT_OK || std::string(out.data(), count) != wantPath || need != count ||
            out[pathSize] != kCanaryByte) {
            diffs.Add("KXUXUnicodeToBytePath round", round, "result", r, "count", count, wantPath.size(), need);
        }

        const std::u16string wantUnits = ByteDriverModel(bytes.c_str(), static_cast<int32_t>(bytes.size()));
        const uint32_t unitSize = static_cast<uint32_t>(wantUnits.size() + 1);
        std::vector<uint16_t> conv(unitSize + kGuard, kCanaryUnit);
        for (int32_t length : {-1, static_cast<int32_t>(bytes.size())}) {
            r = KXUXLenByteToUnicode(h, conv.data(), unitSize, bytes.c_str(), length, &count);
            const int32_t m = KXUXLenByteToUnicode(h, nullptr, 0, bytes.c_str(), length, &need);
            if (r != CVT_OK || m != CVT_OK || qtest::S16(conv.data(), count) != wantUnits || need != count ||
                conv[count] != 0 || conv[unitSize] != kCanaryUnit) {
                diffs.Add("KXUXLenByteToUnicode round", round, "length", length, "result", r, m, "count", count,
                          wantUnits.size(), need);
            }
        }
    }
    EXPECT_EQ(diffs.count(), 0) << diffs.text();
    KXUXUnloadConverter(h);
}

// A callback that changes the locale in the middle of a call: what the
// engine learnt before it must not be used after it.
const char *g_switchTo = nullptr;

int32_t SwitchingUniFixer(ConverterHandle h, char *output, uint32_t space, uint32_t *produced,
                          const uint16_t *units, uint32_t count) {
    if (g_switchTo != nullptr) setlocale(LC_ALL, g_switchTo);
    g_switchTo = nullptr;
    return KXZNoMapUniFixer(h, output, space, produced, units, count);
}

// Writes U+FFFD for each unmappable sequence, as the default substitution.
int32_t SwitchingByteFixer(ConverterHandle, uint16_t *output, uint32_t space, uint32_t *produced, const char *,
                           uint32_t) {
    if (g_switchTo != nullptr) setlocale(LC_ALL, g_switchTo);
    g_switchTo = nullptr;
    if (space == 0) return CVT_E_BUFFER_FULL;
    output[0] = 0xFFFD;
    *produced = 1;
    return CVT_OK;
}

struct SwitchCase {
    const char *from;
    const char *to;
};

class LocaleSwitch : public testing::TestWithParam<SwitchCase> {};

TEST_P(LocaleSwitch, ACallbackChangesTheLocaleMidCall) {
    const SwitchCase c = GetParam();
    // Units both codesets write, each differently, and one the first rejects.
    std::vector<uint16_t> common;
    uint16_t trigger = 0;
    std::string before, after;
    {
        LocaleScope from(c.from);
        ASSERT_TRUE(from.ok());
        std::vector<std::string> inFrom(0x10000);
        for (uint32_t u = 0x80; u <= 0xFFFF; ++u) {
            char mb[MB_LEN_MAX];
            std::mbstate_t st{};
            const size_t n = std::wcrtomb(mb, static_cast<wchar_t>(u), &st);
            if (n == static_cast<size_t>(-1)) {
                if (trigger == 0) trigger = static_cast<uint16_t>(u);
            } else {
                inFrom[u].assign(mb, n);
            }
        }
        ASSERT_TRUE(setlocale(LC_ALL, c.to) != nullptr);
        for (uint32_t u = 0x80; u <= 0xFFFF && common.size() < 40; ++u) {
            char mb[MB_LEN_MAX];
            std::mbstate_t st{};
            const size_t n = std::wcrtomb(mb, static_cast<wchar_t>(u), &st);
            if (n != static_cast<size_t>(-1) && !inFrom[u].empty() && inFrom[u] != std::string(mb, n)) {
                common.push_back(static_cast<uint16_t>(u));
            }
        }
    }
    ASSERT_NE(trigger, 0);
    ASSERT_GE(common.size(), 4u);
    std::vector<uint16_t> units;
    for (int i = 0; i < 400; ++i) units.push_back(common[i % common.size()]);
    const size_t half = units.size();
    units.push_back(trigger);
    for (int i = 0; i < 400; ++i) units.push_back(common[i % common.size()]);
    units.push_back(0);

    LocaleScope scope(c.from);
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    ASSERT_EQ(KXUXSetUniFunctions(h, SwitchingUniFixer, KXZUniScanner, KXZUniParser), CVT_OK);
    ASSERT_EQ(KXUXSetByteFunctions(h, SwitchingByteFixer, KXZByteScanner, KXZByteParser), CVT_OK);
    ASSERT_EQ(KXUXSetNoMapAction(h, NOMAP_FIXER, NOMAP_FIXER), CVT_OK);

    // Units: the first half in the first codeset, the rest in the second.
    const std::vector<uint16_t> head(units.begin(), units.begin() + static_cast<long>(half));
    std::vector<uint16_t> tail(units.begin() + static_cast<long>(half) + 1, units.end());
    std::string want;
    {
        std::vector<uint16_t> z(head);
        z.push_back(0);
        want = UnitDriverModel(z.data(), false);
    }
    char esc[8];
    std::snprintf(esc, sizeof esc, "[%04X]", trigger);
    want += esc;
    setlocale(LC_ALL, c.to);
    want += UnitDriverModel(tail.data(), false);
    setlocale(LC_ALL, c.from);

    const uint32_t size = static_cast<uint32_t>(want.size() + 1);
    for (bool measure : {false, true}) {
        std::vector<char> out(size + kGuard, kCanaryByte);
        uint32_t count = 0;
        g_switchTo = c.to;
        const int32_t r = KXUXUnicodeToByte(h, measure ? nullptr : out.data(), measure ? 0 : size, units.data(), &count);
        setlocale(LC_ALL, c.from);
        EXPECT_EQ(r, CVT_OK);
        EXPECT_EQ(count, want.size()) << (measure ? "length-only" : "conversion");
        if (!measure) {
            EXPECT_TRUE(std::string(out.data(), count) == want);
            EXPECT_EQ(out[size], kCanaryByte);
        }
    }

    // Bytes: the first half's bytes in the first codeset, a byte it
    // rejects, then the same bytes again, read in the second codeset.
    std::string first;
    {
        std::vector<uint16_t> z(head);
        z.push_back(0);
        first = UnitDriverModel(z.data(), false);
    }
    char bad = 0;
    for (int b = 0x80; b < 256 && bad == 0; ++b) {
        const char ch = static_cast<char>(b);
        std::mbstate_t st{};
        if (std::mbrtowc(nullptr, &ch, 1, &st) == static_cast<size_t>(-1)) bad = ch;
    }
    ASSERT_NE(bad, 0);
    const std::string bytes = first + bad + first;
    std::u16string wantUnits = ByteDriverModel(first.c_str(), -1) + u'\uFFFD';
    setlocale(LC_ALL, c.to);
    wantUnits += ByteDriverModel(first.c_str(), -1);
    setlocale(LC_ALL, c.from);
    const uint32_t unitSize = static_cast<uint32_t>(wantUnits.size() + 1);
    for (bool measure : {false, true}) {
        std::vector<uint16_t> conv(unitSize + kGuard, kCanaryUnit);
        uint32_t count = 0;
        g_switchTo = c.to;
        const int32_t r = KXUXByteToUnicode(h, measure ? nullptr : conv.data(), measure ? 0 : unitSize, bytes.c_str(), &count);
        setlocale(LC_ALL, c.from);
        EXPECT_EQ(r, CVT_OK);
        EXPECT_EQ(count, wantUnits.size()) << (measure ? "length-only" : "conversion");
        if (!measure) {
            EXPECT_TRUE(qtest::S16(conv.data(), count) == wantUnits);
            EXPECT_EQ(conv[unitSize], kCanaryUnit);
        }
    }
    KXUXUnloadConverter(h);
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleSwitch,
                         testing::Values(SwitchCase{"ja_JP.EUC-JP", "ru_RU.CP1251"},
                                         SwitchCase{"ru_RU.CP1251", "ja_JP.EUC-JP"},
                                         SwitchCase{"en_US.UTF-8", "ja_JP.EUC-JP"},
                                         SwitchCase{"ja_JP.EUC-JP", "en_US.UTF-8"}),
                         [](const testing::TestParamInfo<SwitchCase> &info) {
                             std::string name = std::string(info.param.from) + "_to_" + info.param.to;
                             for (char &c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

// Every charset, and the locales of our own; under valgrind, the first few
// charsets only.
std::vector<std::string> ExhaustiveLocales() {
    std::vector<std::string> names = qtest::CharsetLocales();
    if (getenv("QUEMBA_UNDER_VALGRIND") != nullptr) names.resize(5);
    names.insert(names.end(), {"de_DE.UTF-8", "fi_FI.UTF-8", "qz_QZ.UTF-8"});
    return names;
}

INSTANTIATE_TEST_SUITE_P(Locales, Exhaustive, testing::ValuesIn(ExhaustiveLocales()),
                         [](const testing::TestParamInfo<std::string> &info) {
                             return qtest::LocaleTestName(info.param);
                         });

}  // namespace
