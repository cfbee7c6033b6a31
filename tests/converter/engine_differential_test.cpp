// The byte/UTF-16 engine steps against a reference that makes one libc call
// per character, in every test locale: every byte and byte pair, every 1- to
// 3-byte sequence, structured 4-byte sequences, every BMP unit and random
// text with errors, each with its status, counts, no-map length and output.
// The steps take whole runs at once where they can; these comparisons hold
// them to the per-character results.
#include <quemba/converter.h>

#include <engine_reference.h>
#include <quemba_test.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <cwchar>
#include <random>
#include <vector>

namespace {

using qtest::AllLocales;
using qtest::LocaleScope;

using qref::kMaxOut;
using qref::Result;

// The step writes into `space` units followed by a canary.
Result OurToUnicode(const unsigned char *src, int32_t count, uint32_t space) {
    uint16_t out[kMaxOut + 1];
    for (uint32_t i = 0; i <= space; ++i) out[i] = 0xA5A5;
    Result r;
    r.status = KXUToUnicode(0, src, out, count, space, &r.consumed, &r.produced, &r.noMap);
    for (uint32_t i = 0; i < r.produced && i < space; ++i) r.out.push_back(out[i]);
    if (out[space] != 0xA5A5) r.status = 12345;  // wrote past its space
    return r;
}

Result OurToByte(const uint16_t *src, int32_t count, uint32_t space) {
    char out[kMaxOut + 1];
    for (uint32_t i = 0; i <= space; ++i) out[i] = static_cast<char>(0xA5);
    Result r;
    r.status = KXUToByte(0, src, out, count, space, &r.consumed, &r.produced, &r.noMap);
    for (uint32_t i = 0; i < r.produced && i < space; ++i) r.out.push_back(static_cast<unsigned char>(out[i]));
    if (out[space] != static_cast<char>(0xA5)) r.status = 12345;
    return r;
}

std::string Hex(const void *p, size_t n, size_t unit) {
    std::string s;
    char buf[8];
    for (size_t i = 0; i < n; ++i) {
        if (unit == 1) std::snprintf(buf, sizeof buf, "%02X ", static_cast<const unsigned char *>(p)[i]);
        else std::snprintf(buf, sizeof buf, "%04X ", static_cast<const uint16_t *>(p)[i]);
        s += buf;
    }
    return s;
}

std::string Describe(const Result &r) {
    return "status " + std::to_string(r.status) + " consumed " + std::to_string(r.consumed) + " produced " +
           std::to_string(r.produced) + " noMap " + std::to_string(r.noMap) + " out " +
           Hex(r.out.data(), r.out.size, 2);
}

// Collects differences; reports the first few in full.
class Differences {
public:
    explicit Differences(std::string locale) : locale_(std::move(locale)) {}
    template <typename Unit>
    void Compare(const Result &ref, const Result &got, const Unit *src, size_t n, int32_t count, uint32_t space) {
        ++checked_;
        if (ref == got) return;
        if (++count_ <= 5) {
            ADD_FAILURE() << locale_ << ": input " << Hex(src, n, sizeof(Unit)) << "count " << count << " space "
                          << space << "\n  reference: " << Describe(ref) << "\n  engine:    " << Describe(got);
        }
    }
    ~Differences() {
        EXPECT_EQ(count_, 0u) << locale_ << ": " << count_ << " of " << checked_ << " comparisons differ";
        EXPECT_GT(checked_, 0u);
    }

private:
    std::string locale_;
    size_t count_ = 0;
    size_t checked_ = 0;
};

void CheckBytes(Differences &d, const unsigned char *src, size_t n, int32_t count, uint32_t space) {
    d.Compare(qref::ToUnicode(reinterpret_cast<const char *>(src), count, space), OurToUnicode(src, count, space), src, n, count, space);
}

void CheckUnits(Differences &d, const uint16_t *src, size_t n, int32_t count, uint32_t space) {
    d.Compare(qref::FromUnits(qref::Map::Bytes, src, count, space), OurToByte(src, count, space), src, n, count, space);
}

class EngineDifferential : public ::testing::TestWithParam<std::string> {};

TEST_P(EngineDifferential, EverySingleByteAndBytePair) {
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    Differences d(GetParam());
    unsigned char s[4] = {0, 0, 0, 0};
    for (int a = 0; a < 256; ++a) {
        s[0] = static_cast<unsigned char>(a);
        s[1] = 0;
        CheckBytes(d, s, 1, -1, 4);
        CheckBytes(d, s, 1, 1, 4);
        CheckBytes(d, s, 1, 1, 1);
        for (int b = 0; b < 256; ++b) {
            s[1] = static_cast<unsigned char>(b);
            s[2] = 0;
            CheckBytes(d, s, 2, -1, 4);
            CheckBytes(d, s, 2, 2, 4);
            CheckBytes(d, s, 2, 2, 1);
            CheckBytes(d, s, 2, 1, 4);
        }
    }
}

// Every 3-byte sequence, in the encodings the steps decode themselves.
class EngineDifferentialThreeBytes : public ::testing::TestWithParam<std::string> {};

TEST_P(EngineDifferentialThreeBytes, EveryThreeByteSequence) {
    // 33 million steps: run natively, under the sanitizers and under qemu,
    // but not once more under valgrind.
    if (getenv("QUEMBA_UNDER_VALGRIND") != nullptr) GTEST_SKIP() << "too slow under valgrind";
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    Differences d(GetParam());
    unsigned char s[4] = {0, 0, 0, 0};
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            for (int c = 0; c < 256; ++c) {
                s[0] = static_cast<unsigned char>(a);
                s[1] = static_cast<unsigned char>(b);
                s[2] = static_cast<unsigned char>(c);
                CheckBytes(d, s, 3, 3, 8);
            }
        }
    }
}

TEST_P(EngineDifferential, StructuredFourByteSequences) {
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    Differences d(GetParam());
    const unsigned char tails[] = {0x00, 0x41, 0x80, 0x8F, 0x90, 0xBF, 0xC0, 0xFF};
    unsigned char s[6] = {0, 0, 0, 0, 0, 0};
    for (int a = 0xE0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            for (unsigned char c : tails) {
                for (unsigned char e : tails) {
                    s[0] = static_cast<unsigned char>(a);
                    s[1] = static_cast<unsigned char>(b);
                    s[2] = c;
                    s[3] = e;
                    s[4] = 0;
                    CheckBytes(d, s, 4, 4, 8);
                    CheckBytes(d, s, 4, -1, 8);
                }
            }
            // Every continuation pair behind this lead and second byte.
            for (int c = 0x80; c < 0xC0 && b >= 0x80 && b < 0xC0; ++c) {
                s[0] = static_cast<unsigned char>(a);
                s[1] = static_cast<unsigned char>(b);
                s[2] = static_cast<unsigned char>(c);
                s[3] = 0x80 | static_cast<unsigned char>(c & 0x3F);
                s[4] = 'z';
                s[5] = 0;
                CheckBytes(d, s, 5, -1, 8);
                CheckBytes(d, s, 5, 3, 8);
            }
        }
    }
}

TEST_P(EngineDifferential, EveryBmpUnit) {
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    Differences d(GetParam());
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
        const uint16_t alone[2] = {static_cast<uint16_t>(u), 0};
        for (uint32_t space : {1u, 2u, 3u, 8u}) {
            CheckUnits(d, alone, 1, -1, space);
            CheckUnits(d, alone, 1, 1, space);
        }
        const uint16_t framed[4] = {'a', static_cast<uint16_t>(u), 'b', 0};
        CheckUnits(d, framed, 3, -1, 16);
        CheckUnits(d, framed, 3, 2, 16);
        CheckUnits(d, framed, 3, -1, 3);
        // The bytes of this unit, back again.
        char bytes[MB_LEN_MAX + 1];
        mbstate_t state{};
        const size_t n = wcrtomb(bytes, static_cast<wchar_t>(u), &state);
        if (n != static_cast<size_t>(-1)) {
            bytes[n] = 0;
            const auto *b = reinterpret_cast<const unsigned char *>(bytes);
            CheckBytes(d, b, n, -1, 4);
            CheckBytes(d, b, n, static_cast<int32_t>(n), 1);
        }
    }
}

// UTF-8 takes 3-byte forms two at a time where eight bytes can be read, and
// units that take three bytes two at a time: every BMP unit beside such a
// unit, and every 3-byte lead with every second byte (valid, overlong,
// surrogate and stray forms) in either place of a pair, with space and
// counts that end inside and after it.
TEST_P(EngineDifferential, PairsOfThreeByteForms) {
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    Differences d(GetParam());
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
        const uint16_t v = static_cast<uint16_t>(u);
        const uint16_t before[6] = {0x3042, v, 0x65E5, 0x672C, 0x8A9E, 0};
        const uint16_t after[6] = {v, 0x3042, 0x65E5, 0x672C, 0x8A9E, 0};
        for (uint32_t space : {5u, 6u, 7u, 16u}) {
            CheckUnits(d, before, 6, -1, space);
            CheckUnits(d, after, 6, -1, space);
        }
        CheckUnits(d, before, 6, 2, 16);
        CheckUnits(d, after, 6, 1, 16);
    }
    const unsigned char thirds[] = {0x00, 0x41, 0x80, 0x9F, 0xA0, 0xBF, 0xC0};
    const unsigned char filler[3] = {0xE6, 0x97, 0xA5};  // U+65E5
    for (int a = 0xE0; a <= 0xEF; ++a) {
        for (int b = 0; b < 256; ++b) {
            for (unsigned char c : thirds) {
                for (int place = 0; place < 2; ++place) {
                    unsigned char s[16];
                    for (int k = 0; k < 15; ++k) s[k] = filler[k % 3];
                    s[place * 3] = static_cast<unsigned char>(a);
                    s[place * 3 + 1] = static_cast<unsigned char>(b);
                    s[place * 3 + 2] = c;
                    s[15] = 0;
                    CheckBytes(d, s, 15, -1, 8);
                    CheckBytes(d, s, 15, 15, 1 + place);
                    CheckBytes(d, s, 15, 8, 8);
                    CheckBytes(d, s, 15, 6 + place, 8);
                }
            }
        }
    }
}

// Random text: runs of ASCII, characters of the locale's encoding, bytes
// or units it rejects, NULs, cut at random counts and spaces.
TEST_P(EngineDifferential, RandomTextWithErrors) {
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    Differences d(GetParam());
    std::mt19937 rng(20261206);
    auto below = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint16_t> units;
        std::string bytes;
        const uint32_t pieces = 1 + below(12);
        for (uint32_t p = 0; p < pieces; ++p) {
            switch (below(10)) {
            case 0: case 1: case 2: case 3: {  // ASCII run, long enough for whole blocks
                const uint32_t n = below(48);
                for (uint32_t i = 0; i < n; ++i) {
                    const char c = static_cast<char>(0x20 + below(0x5F));
                    bytes += c;
                    units.push_back(static_cast<uint16_t>(c));
                }
                break;
            }
            case 4: case 5: case 6: {  // European, Japanese or any BMP characters
                const uint32_t n = 1 + below(8);
                for (uint32_t i = 0; i < n; ++i) {
                    const uint32_t kind = below(4);
                    const uint16_t u = static_cast<uint16_t>(kind == 0   ? 0x80 + below(0x480)
                                                             : kind == 1 ? 0x3041 + below(0x5E)
                                                             : kind == 2 ? 0x4E00 + below(0x2000)
                                                                         : 1 + below(0xFFFF));
                    units.push_back(u);
                    char mb[MB_LEN_MAX];
                    mbstate_t state{};
                    const size_t k = wcrtomb(mb, static_cast<wchar_t>(u), &state);
                    if (k != static_cast<size_t>(-1)) bytes.append(mb, k);
                }
                break;
            }
            case 7: {  // a character beyond the BMP, as the encoding writes it
                char mb[MB_LEN_MAX];
                mbstate_t state{};
                const size_t k = wcrtomb(mb, static_cast<wchar_t>(0x10000 + below(0x100000)), &state);
                if (k != static_cast<size_t>(-1)) bytes.append(mb, k);
                units.push_back(static_cast<uint16_t>(0xD800 + below(0x800)));
                break;
            }
            case 8:  // stray bytes
                bytes += static_cast<char>(0x80 + below(0x80));
                break;
            default:  // an early NUL, rarely
                if (below(4) == 0) {
                    bytes += '\0';
                    units.push_back(0);
                }
                break;
            }
        }
        // Exactly sized storage: an overread is a sanitizer report.
        std::vector<unsigned char> b(bytes.begin(), bytes.end());
        b.push_back(0);
        const uint32_t blen = static_cast<uint32_t>(bytes.size());
        const int32_t bcount = below(3) == 0 ? -1 : static_cast<int32_t>(below(blen + 1));
        const uint32_t bspace = below(4) == 0 ? blen + 1 : below(blen + 2);
        CheckBytes(d, b.data(), b.size(), bcount, bspace);

        units.push_back(0);
        const uint32_t ulen = static_cast<uint32_t>(units.size() - 1);
        const int32_t ucount = below(3) == 0 ? -1 : static_cast<int32_t>(below(ulen + 1));
        const uint32_t uspace = below(4) == 0 ? ulen * 3 + 3 : below(ulen * 3 + 2);
        CheckUnits(d, units.data(), units.size(), ucount, uspace);
    }
}

// What this locale's libc makes of units and bytes, for building texts.
struct Repertoire {
    std::vector<uint16_t> mapped;    // units wcrtomb writes
    std::vector<uint16_t> rejected;  // units wcrtomb rejects
    std::vector<unsigned char> bad;  // bytes mbrtowc rejects alone
    std::vector<unsigned char> lead; // bytes mbrtowc finds incomplete alone
};

Repertoire Survey() {
    Repertoire r;
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
        char mb[MB_LEN_MAX];
        mbstate_t state{};
        (wcrtomb(mb, static_cast<wchar_t>(u), &state) == static_cast<size_t>(-1) ? r.rejected : r.mapped)
            .push_back(static_cast<uint16_t>(u));
    }
    for (int b = 1; b < 256; ++b) {
        const char c = static_cast<char>(b);
        wchar_t w = 0;
        mbstate_t state{};
        const size_t k = mbrtowc(&w, &c, 1, &state);
        if (k == static_cast<size_t>(-1)) r.bad.push_back(static_cast<unsigned char>(b));
        if (k == static_cast<size_t>(-2)) r.lead.push_back(static_cast<unsigned char>(b));
    }
    return r;
}

// Long texts, where the steps keep a memo of libc's answers for codesets
// without a path of their own: a few frequent characters (hits), many rare
// ones (more than the memo holds, so slots collide and are evicted), ASCII
// runs, and errors placed after memoised characters, cut at random counts
// and spaces so that runs end in the middle of the text.
TEST_P(EngineDifferential, LongTextThroughTheMemos) {
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    const Repertoire rep = Survey();
    ASSERT_FALSE(rep.mapped.empty());
    Differences d(GetParam());
    std::mt19937 rng(61206);
    auto below = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    auto pick = [&below](const auto &v) { return v[below(static_cast<uint32_t>(v.size()))]; };
    std::vector<uint16_t> frequent;
    for (int i = 0; i < 40; ++i) frequent.push_back(pick(rep.mapped));
    for (int round = 0; round < 400; ++round) {
        std::vector<uint16_t> units;
        std::string bytes;
        auto put = [&](uint16_t u) {
            units.push_back(u);
            char mb[MB_LEN_MAX];
            mbstate_t state{};
            const size_t k = wcrtomb(mb, static_cast<wchar_t>(u), &state);
            if (k != static_cast<size_t>(-1)) bytes.append(mb, k);
        };
        const uint32_t length = 128 + below(1200);
        while (units.size() < length) {
            const uint32_t kind = below(100);
            if (kind < 60) {
                put(pick(frequent));
            } else if (kind < 90) {
                put(pick(rep.mapped));
            } else if (kind < 97) {
                for (uint32_t n = below(20); n > 0; --n) put(static_cast<uint16_t>(0x20 + below(0x5F)));
            } else if (units.size() >= 64 && below(4) == 0) {
                // An error after memoised characters: a rejected unit, a
                // lone surrogate, a rejected byte, a cut character, a NUL.
                switch (below(5)) {
                case 0:
                    if (!rep.rejected.empty()) units.push_back(pick(rep.rejected));
                    break;
                case 1:
                    units.push_back(static_cast<uint16_t>(0xD800 + below(0x800)));
                    break;
                case 2:
                    if (!rep.bad.empty()) bytes += static_cast<char>(pick(rep.bad));
                    break;
                case 3:
                    if (!rep.lead.empty()) bytes += static_cast<char>(pick(rep.lead));
                    break;
                default:
                    units.push_back(0);
                    bytes += '\0';
                    break;
                }
            }
        }
        std::vector<unsigned char> b(bytes.begin(), bytes.end());
        b.push_back(0);
        const uint32_t blen = static_cast<uint32_t>(bytes.size());
        const int32_t bcount = below(3) == 0 ? -1 : static_cast<int32_t>(blen - below(blen / 4 + 1));
        const uint32_t bspace = below(3) == 0 ? blen : 1 + below(blen);
        CheckBytes(d, b.data(), b.size(), bcount, bspace < qref::kMaxOut ? bspace : qref::kMaxOut);

        units.push_back(0);
        const uint32_t ulen = static_cast<uint32_t>(units.size() - 1);
        const int32_t ucount = below(3) == 0 ? -1 : static_cast<int32_t>(ulen - below(ulen / 4 + 1));
        const uint32_t uspace = below(3) == 0 ? qref::kMaxOut : 1 + below(qref::kMaxOut);
        CheckUnits(d, units.data(), units.size(), ucount, uspace);
    }
}

std::string LocaleName(const ::testing::TestParamInfo<std::string> &info) {
    std::string name = info.param;
    for (char &c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

// A NUL-terminated text is measured in growing pieces, not all at once;
// characters, rejected bytes and a cut character at its end land on every
// offset around the piece ends, with room for every unit.
TEST_P(EngineDifferential, LongTerminatedTextAcrossMeasuredPieces) {
    LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    const Repertoire rep = Survey();
    Differences d(GetParam());
    // The widest character this locale has, repeated.
    std::string wide = "a";
    for (uint16_t u : rep.mapped) {
        char mb[MB_LEN_MAX];
        mbstate_t state{};
        const size_t k = wcrtomb(mb, static_cast<wchar_t>(u), &state);
        if (k > wide.size()) wide.assign(mb, k);
    }
    for (uint32_t shift = 0; shift < 12; ++shift) {
        for (int ending = 0; ending < 3; ++ending) {
            std::string text(shift, 'x');
            while (text.size() < 3 * qref::kMaxOut) text += wide;
            if (ending == 1 && !rep.bad.empty()) text.insert(4096 - shift, 1, static_cast<char>(rep.bad[0]));
            if (ending == 2 && !rep.lead.empty()) text += static_cast<char>(rep.lead[0]);
            std::vector<unsigned char> b(text.begin(), text.end());
            b.push_back(0);
            for (uint32_t space : {qref::kMaxOut, qref::kMaxOut / 2 + shift, 1500u}) {
                CheckBytes(d, b.data(), b.size(), -1, space);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, EngineDifferential, ::testing::ValuesIn(AllLocales()), LocaleName);
INSTANTIATE_TEST_SUITE_P(Locales, EngineDifferentialThreeBytes,
                         ::testing::Values(std::string("en_US.UTF-8"), std::string("de_DE.ISO-8859-1")),
                         LocaleName);

}  // namespace
