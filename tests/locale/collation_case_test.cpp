// Collation, comparison through UTF-16, case change and number text.
#include <quemba/locale_services.h>

#include "byte_strings.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdlib>

using namespace std::string_literals;
using qtest::Escaped;
using qtest::Guarded;
using qtest::LocaleScope;

namespace {

constexpr const char *kC = "C";
constexpr const char *kLatin1 = "de_DE.ISO-8859-1";
constexpr const char *kCp1251 = "ru_RU.CP1251";
constexpr const char *kUtf8 = "en_US.UTF-8";
constexpr const char *kEucJp = "ja_JP.EUC-JP";

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(PassThrough, CollationFollowsTheLocale) {
    {
        LocaleScope scope(kC);
        EXPECT_GT(KXLstrcoll("a", "B"), 0);
    }
    LocaleScope scope(kUtf8);
    EXPECT_LT(KXLstrcoll("a", "B"), 0);
    EXPECT_EQ(KXLstrcoll("abc", "abc"), 0);

    // Transforms order like the collation, and fit when sized by a query.
    const uint32_t need_a = KXLstrxfrm(nullptr, "a", 0);
    const uint32_t need_b = KXLstrxfrm(nullptr, "B", 0);
    Guarded<char> xa(need_a + 1, 'X');
    Guarded<char> xb(need_b + 1, 'X');
    EXPECT_EQ(KXLstrxfrm(xa.data(), "a", xa.size()), need_a);
    EXPECT_EQ(KXLstrxfrm(xb.data(), "B", xb.size()), need_b);
    EXPECT_LT(std::strcmp(xa.data(), xb.data()), 0);
    EXPECT_TRUE(xa.intact());
    EXPECT_TRUE(xb.intact());

    Guarded<char> small(2, 'X');
    EXPECT_EQ(KXLstrxfrm(small.data(), "abcdef", small.size()), KXLstrxfrm(nullptr, "abcdef", 0));
    EXPECT_TRUE(small.intact());
}

TEST(PassThrough, TimeFormattingFitsTheBuffer) {
    LocaleScope scope("de_DE.UTF-8");
    struct tm t = {};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_wday = 2;
    Guarded<char> buf(11, 'X');
    EXPECT_EQ(KXLstrftime(buf.data(), buf.size(), "%Y-%m-%d", &t), 10u);
    EXPECT_STREQ(buf.data(), "2024-03-05");
    EXPECT_TRUE(buf.intact());

    Guarded<char> day(16, 'X');
    EXPECT_EQ(KXLstrftime(day.data(), day.size(), "%A", &t), 8u);
    EXPECT_STREQ(day.data(), "Dienstag");
    EXPECT_TRUE(day.intact());

    Guarded<char> tight(10, 'X');
    EXPECT_EQ(KXLstrftime(tight.data(), tight.size(), "%Y-%m-%d", &t), 0u);
    EXPECT_TRUE(tight.intact());
}

TEST(CountedCollation, ComparesAtMostNCharacters) {
    struct Case {
        const char *locale;
        std::string s1;
        std::string s2;
        uint32_t n;
        int expected;
        bool exact;  // otherwise only the sign counts
    };
    const Case cases[] = {
        {kC, "abc", "abd", 2, 0, true},
        {kC, "abc", "abd", 3, -1, false},
        {kC, "ab", "abc", 5, -1, true},
        {kC, "abc", "ab", 5, 1, true},
        {kC, "", "", 1, 0, true},
        {kC, "a", "b", 0, 0, true},
        {kC, "", "b", 0, 0, true},
        {kC, "a", "B", 1, 1, false},
        {kC, "\xE9", "f", 1, 1, false},
        {kC, "\x80" "a", "\x81" "a", 1, -1, false},
        {kLatin1, "\xE9", "f", 1, -1, false},  // collation, not byte order
        {kLatin1, "a", "B", 1, -1, false},
        {kCp1251, "\x98", "\x98", 1, 0, true},
        {kCp1251, "\xFF" "a", "\xFF" "b", 1, 0, true},
        {kCp1251, "\xFF" "a", "\xFF" "b", 2, -1, false},
        {kUtf8, "a", "B", 1, -1, false},
        {kUtf8, "\xC3\xA9", "f", 1, -1, false},
        {kUtf8, "\xC3\xA9x", "\xC3\xA9y", 1, 0, true},
        {kUtf8, "\xC3\xA9x", "\xC3\xA9y", 2, -1, false},
        {kUtf8, "a\xC3\xA9", "a\xC3\xA9z", 2, 0, true},
        {kUtf8, "a\xC3\xA9", "a\xC3\xA9z", 3, -1, true},
        {kUtf8, "\xF0\x9F\x98\x80" "a", "\xF0\x9F\x98\x80" "b", 1, 0, true},
        // Bad sequences: the rest is ordered by its bytes.
        {kUtf8, "\xFF", "a", 1, 1, true},
        {kUtf8, "a", "\xFF", 1, -1, true},
        {kUtf8, "a\xFF" "x", "a\xFF" "y", 5, -1, true},
        {kUtf8, "a\xFF" "x", "a\xFF" "y", 1, 0, true},
        {kUtf8, "a\xFF", "a\xFF", 5, 0, true},
        {kUtf8, "\xE2\x82" "b", "\xE2\x82" "a", 1, 1, true},
        {kUtf8, "\xC3", "\xC3\xA9", 1, -1, true},
        {kUtf8, "ab\xC3", "ab\xC3", 9, 0, true},
        {kEucJp, "\xA4\xA2x", "\xA4\xA2y", 1, 0, true},
        {kEucJp, "\xA4\xA2x", "\xA4\xA2y", 2, -1, false},
        {kEucJp, "\x8F\xB0\xA1", "\x8F\xB0\xA1", 4, 0, true},
        {kEucJp, "\xA4" "A", "\xA4\xA2", 1, -1, true},
        {kEucJp, "a\xA4", "a\xA4", 3, 0, true},
        {kEucJp, "\xFF", "\xA4\xA2", 1, 1, true},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        const int32_t result = KXstrncoll(c.s1.c_str(), c.s2.c_str(), c.n);
        const auto what = std::string(c.locale) + " " + Escaped(c.s1) + " " + Escaped(c.s2) + " n " + std::to_string(c.n);
        if (c.exact) {
            EXPECT_EQ(result, c.expected) << what;
        } else {
            EXPECT_EQ(Sign(result), c.expected) << what;
        }
    }
}

TEST(CountedCollation, KeepsTheCollationResultUnreduced) {
    for (const char *locale : {kC, kUtf8}) {
        LocaleScope scope(locale);
        for (const auto &[a, b] : {std::pair{"a", "B"}, std::pair{"z", "a"}, std::pair{"xa", "xC"}}) {
            const std::string ca(1, a[std::strlen(a) - 1]);
            const std::string cb(1, b[std::strlen(b) - 1]);
            EXPECT_EQ(KXstrncoll(a, b, 5), KXLstrcoll(ca.c_str(), cb.c_str())) << locale << " " << a << " " << b;
        }
    }
}

TEST(Utf16Comparison, DiffersAtTheFirstUnequalUnit) {
    struct Case {
        const char *locale;
        std::string s1;
        std::string s2;
        int32_t expected;
    };
    const Case cases[] = {
        {kC, "abc", "ABC", 32},
        {kC, "abc", "abc", 0},
        {kC, "", "", 0},
        {kC, "ab", "abc", -'c'},
        {kC, "b", "a", 1},
        {kC, "a\x80", "a\x81", -1},  // bytes without a character stay apart
        {kC, "a\x80", "a", 0xDC80},
        {kLatin1, "\xE9", "\xC9", 0xE9 - 0xC9},
        {kLatin1, "\xFF", "a", 0xFF - 0x61},
        {kCp1251, "\xFF", "\xDF", 0x44F - 0x42F},
        {kCp1251, "\x98", "\x98", 0},
        {kCp1251, "\x98" "a", "\x98" "b", -1},
        {kCp1251, "\x98", "\xFF", 0xDC98 - 0x44F},
        {kUtf8, "\xC3\xA9", "\xC3\x89", 0xE9 - 0xC9},
        {kUtf8, "\xE2\x82\xAC", "a", 0x20AC - 0x61},
        {kUtf8, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 0},
        {kUtf8, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81", 0xDE00 - 0xDE01},
        {kUtf8, "\xF0\x9F\x98\x80", "\xEF\x98\x80", 0xD83D - 0xF600},  // U+1F600 against U+F600
        {kUtf8, "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF", 0xDBFF - 0xFFFF},
        {kUtf8, "\xF4\x90\x80\x80", "\xF4\x90\x80\x81", -1},  // beyond U+10FFFF: byte by byte
        {kUtf8, "\xF4\x90\x80\x80", "\xF4\x8F\xBF\xBF", 0xDCF4 - 0xDBFF},
        {kUtf8, "\xED\xA0\x80", "\xED\xA0\x81", -1},
        {kUtf8, "\x80" "a", "\x81" "a", -1},
        {kUtf8, "\xFF", "", 0xDCFF},
        {kUtf8, "a\xFF", "a\xFE", 1},
        {kUtf8, "a\xFF" "b", "a\xFF" "c", -1},
        {kUtf8, "\xE2\x82" "a", "\xE2\x82" "b", -1},
        {kUtf8, "\xC3" "a", "\xC3\xA1", 0xDCC3 - 0xE1},
        {kUtf8, "a\xC3", "a\xC3\xA9", 0xDCC3 - 0xE9},
        {kUtf8, "a\xC3", "a\xC3", 0},
        {kUtf8, "a\xE2\x82", "a\xE2\x83", -1},
        {kEucJp, "\xA4\xA2", "\xA4\xA4", 0x3042 - 0x3044},
        {kEucJp, "\x8F\xB0\xA1", "\xA4\xA2", 0x4E02 - 0x3042},
        {kEucJp, "\x8E\xB1", "\xFF", 0xFF71 - 0xDCFF},
        {kEucJp, "\xFF", "\xFE", 1},
        {kEucJp, "a\xA4" "A", "a\xA4" "B", -1},
        {kEucJp, "a\xA4", "a", 0xDCA4},
        {kEucJp, "a\xA4", "a\xA4\xA2", 0xDCA4 - 0x3042},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        const auto what = std::string(c.locale) + " " + Escaped(c.s1) + " " + Escaped(c.s2);
        EXPECT_EQ(KXLstricmp(c.s1.c_str(), c.s2.c_str()), c.expected) << what;
        EXPECT_EQ(KXLstricmp(c.s2.c_str(), c.s1.c_str()), -c.expected) << what;
    }
}

TEST(CaseChange, MapsSingleByteCharactersUpToABadSequence) {
    struct Case {
        const char *locale;
        std::string text;
        std::string upper;
        std::string lower;
    };
    const Case cases[] = {
        {kC, "", "", ""},
        {kC, "aB1z", "AB1Z", "ab1z"},
        {kC, "aB\x80zZ", "AB\x80zZ", "ab\x80zZ"},
        {kLatin1, "\xE9z\xC9\xFF\xDF", "\xC9Z\xC9\xFF\xDF", "\xE9z\xE9\xFF\xDF"},
        {kCp1251, "\xFF" "a\xDF", "\xDF" "A\xDF", "\xFF" "a\xFF"},
        {kCp1251, "aA\x98" "bB", "AA\x98" "bB", "aa\x98" "bB"},
        {kUtf8, "", "", ""},
        {kUtf8, "a\xC3\xA9z", "A\xC3\xA9Z", "a\xC3\xA9z"},
        {kUtf8, "A\xC3\x89Z", "A\xC3\x89Z", "a\xC3\x89z"},
        {kUtf8, "\xFF" "aB", "\xFF" "aB", "\xFF" "aB"},
        {kUtf8, "aA\xFF" "bB", "AA\xFF" "bB", "aa\xFF" "bB"},
        {kUtf8, "aB\xC3", "AB\xC3", "ab\xC3"},
        {kEucJp, "a\xA4\xA2z", "A\xA4\xA2Z", "a\xA4\xA2z"},
        {kEucJp, "\x8F\xB0\xA1" "bB", "\x8F\xB0\xA1" "BB", "\x8F\xB0\xA1" "bb"},
        {kEucJp, "\xFF" "aB", "\xFF" "aB", "\xFF" "aB"},
        {kEucJp, "aA\xA4" "bB", "AA\xA4" "bB", "aa\xA4" "bB"},
        {kEucJp, "aB\xA4", "AB\xA4", "ab\xA4"},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        auto up = qtest::GuardedCopy(c.text);
        auto low = qtest::GuardedCopy(c.text);
        EXPECT_EQ(KXLstrupr(up.data()), up.data());
        EXPECT_EQ(KXLstrlwr(low.data()), low.data());
        EXPECT_EQ(std::string(up.data(), c.text.size() + 1), c.upper + '\0') << c.locale << " " << Escaped(c.text);
        EXPECT_EQ(std::string(low.data(), c.text.size() + 1), c.lower + '\0') << c.locale << " " << Escaped(c.text);
        EXPECT_TRUE(up.intact());
        EXPECT_TRUE(low.intact());
    }
}

// Every output gets the longest buffer a result may need; the bytes after
// the terminator must stay untouched.
void ExpectWrittenExactly(const Guarded<char> &buf, const std::string &what) {
    const size_t used = std::strlen(buf.data()) + 1;
    for (size_t i = used; i < buf.size(); ++i) ASSERT_EQ(buf.data()[i], 'X') << what << " byte " << i;
    EXPECT_TRUE(buf.intact()) << what;
}

// The text is canonical in its radix: lower-case digits below the radix,
// no leading zero, and libc reads it back as the value.
void ExpectCanonical(const char *text, uint32_t value, int radix, const std::string &what) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    ASSERT_NE(text[0], '\0') << what;
    EXPECT_TRUE(text[0] != '0' || (value == 0 && text[1] == '\0')) << what << " -> " << text;
    for (const char *p = text; *p != '\0'; ++p) {
        const char *digit = std::strchr(kDigits, *p);
        ASSERT_TRUE(digit != nullptr && digit - kDigits < radix) << what << " -> " << text;
    }
    errno = 0;
    char *end = nullptr;
    const unsigned long long back = std::strtoull(text, &end, radix);
    EXPECT_EQ(errno, 0) << what;
    EXPECT_EQ(*end, '\0') << what;
    EXPECT_EQ(back, value) << what << " -> " << text;
}

std::vector<uint32_t> SampleValues(uint32_t radix) {
    std::vector<uint32_t> values = {0, 1, radix - 1, radix, radix + 1, 255, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (uint64_t p = radix; p <= 0xFFFFFFFFu; p *= radix) {
        values.push_back(static_cast<uint32_t>(p - 1));
        values.push_back(static_cast<uint32_t>(p));
    }
    uint32_t x = 12345;
    for (int i = 0; i < 40; ++i) values.push_back(x = x * 1103515245u + 12345u);
    return values;
}

TEST(NumberText, UnsignedInEveryRadix) {
    for (int32_t radix = 2; radix <= 36; ++radix) {
        for (uint32_t value : SampleValues(static_cast<uint32_t>(radix))) {
            const auto what = std::to_string(value) + " radix " + std::to_string(radix);
            Guarded<char> buf(33, 'X');
            ASSERT_EQ(KXultoa(value, buf.data(), radix), buf.data());
            ExpectCanonical(buf.data(), value, radix, what);
            ExpectWrittenExactly(buf, what);
        }
    }
}

TEST(NumberText, SignedInEveryRadix) {
    for (int32_t radix = 2; radix <= 36; ++radix) {
        for (uint32_t bits : SampleValues(static_cast<uint32_t>(radix))) {
            const auto value = static_cast<int32_t>(bits);
            const auto what = std::to_string(value) + " radix " + std::to_string(radix);
            Guarded<char> buf(33, 'X');
            ASSERT_EQ(KXltoa(value, buf.data(), radix), buf.data());
            if (radix == 10) {
                char expected[16];
                snprintf(expected, sizeof expected, "%" PRId32, value);
                EXPECT_STREQ(buf.data(), expected) << what;
            } else {
                ExpectCanonical(buf.data(), bits, radix, what);  // the two's-complement pattern
            }
            ExpectWrittenExactly(buf, what);
        }
    }
}

TEST(NumberText, KnownResults) {
    struct Case {
        int64_t value;  // negative values go through KXltoa
        int32_t radix;
        const char *text;
    };
    const Case cases[] = {
        {255, 16, "ff"},
        {0, 2, "0"},
        {35, 36, "z"},
        {0xFFFFFFFF, 36, "1z141z3"},
        {0xFFFFFFFF, 2, "11111111111111111111111111111111"},
        {-255, 10, "-255"},
        {-1, 16, "ffffffff"},
        {-1, 2, "11111111111111111111111111111111"},
        {INT32_MIN, 10, "-2147483648"},
        {INT32_MIN, 16, "80000000"},
    };
    for (const auto &c : cases) {
        Guarded<char> buf(33, 'X');
        if (c.value < 0) {
            KXltoa(static_cast<int32_t>(c.value), buf.data(), c.radix);
        } else {
            KXultoa(static_cast<uint32_t>(c.value), buf.data(), c.radix);
        }
        EXPECT_STREQ(buf.data(), c.text) << c.value << " radix " << c.radix;
        ExpectWrittenExactly(buf, c.text);
    }
}

TEST(NumberText, RadixOutsideTwoToThirtySixGivesTheEmptyString) {
    for (int32_t radix : {INT32_MIN, -10, -1, 0, 1, 37, 64, INT32_MAX}) {
        for (int32_t value : {0, 10, -10}) {
            Guarded<char> u(33, 'X');
            Guarded<char> s(33, 'X');
            EXPECT_EQ(KXultoa(static_cast<uint32_t>(value), u.data(), radix), u.data());
            EXPECT_EQ(KXltoa(value, s.data(), radix), s.data());
            EXPECT_STREQ(u.data(), "") << value << " radix " << radix;
            EXPECT_STREQ(s.data(), "") << value << " radix " << radix;
            ExpectWrittenExactly(u, "unsigned");
            ExpectWrittenExactly(s, "signed");
        }
    }
}

}  // namespace
