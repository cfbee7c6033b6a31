// Character-aware measuring, stepping, copying, truncation and search.
#include <quemba/locale_services.h>

#include "byte_strings.h"

#include <climits>

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

constexpr long kNull = -1;  // expected offset standing for a null result

// Offset of a result pointer from base, or kNull.
long Offset(const char *result, const char *base) { return result == nullptr ? kNull : result - base; }

TEST(ByteLength, CountsBytesInEveryLocale) {
    for (const auto &name : qtest::AllLocales()) {
        LocaleScope scope(name);
        EXPECT_EQ(KXstrlen(""), 0u) << name;
        EXPECT_EQ(KXstrlen("a\xC3\xA9\xFF" "b"), 5u) << name;
    }
}

TEST(ByteLength, MblenPassesThrough) {
    LocaleScope scope(kUtf8);
    KXLmblen(nullptr, 0);
    EXPECT_EQ(KXLmblen("\xC3\xA9", 2), 2);
    EXPECT_EQ(KXLmblen("\xC3\xA9", 1), -1);
    EXPECT_EQ(KXLmblen("\xFF", 1), -1);
    EXPECT_EQ(KXLmblen("", 1), 0);
}

TEST(CharacterCount, CountsUpToTheFirstBadSequence) {
    struct Case {
        const char *locale;
        std::string text;
        uint32_t count;
    };
    const Case cases[] = {
        {kC, "", 0},
        {kC, "abc", 3},
        {kC, "a\xFF" "b", 3},  // single-byte path: every byte counts
        {kLatin1, "\xE9t\xE9", 3},
        {kCp1251, "\x98\xFF", 2},  // 0x98 has no character, still one byte
        {kUtf8, "", 0},
        {kUtf8, "a\xC3\xA9", 2},
        {kUtf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 4},
        {kUtf8, "\xFF" "abc", 0},
        {kUtf8, "ab\xFF" "cd", 2},
        {kUtf8, "ab\xC3", 2},
        {kUtf8, "ab\xE2\x82" "cd", 2},
        {kEucJp, "\xA4\xA2\x8E\xB1\x8F\xB0\xA1" "a", 4},
        {kEucJp, "\xFF" "a", 0},
        {kEucJp, "a\xA4" "Ab", 1},
        {kEucJp, "ab\xA4", 2},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        EXPECT_EQ(KXLmbslen(c.text.c_str()), c.count) << c.locale << " " << Escaped(c.text);
    }
}

TEST(NextCharacter, StepsOneCharacterOrSkipsABadSequence) {
    struct Case {
        const char *locale;
        std::string text;
        long next;
    };
    const Case cases[] = {
        {kC, "", 0},
        {kC, "ab", 1},
        {kC, "\x80" "a", 2},  // C has no characters above 0x7F
        {kLatin1, "\xE9x", 1},
        {kCp1251, "\xFFx", 1},
        {kCp1251, "\x98x", 2},
        {kUtf8, "\xC3\xA9x", 2},
        {kUtf8, "\xE2\x82\xAC", 3},
        {kUtf8, "\xF0\x9F\x98\x80x", 4},
        {kUtf8, "\xFF" "ab", 3},
        {kUtf8, "\xC3" "a", 2},
        {kUtf8, "\xC3", 1},
        {kEucJp, "\x8F\xB0\xA1x", 3},
        {kEucJp, "\xA4\xA2", 2},
        {kEucJp, "\xA4" "A", 2},
        {kEucJp, "\xA4", 1},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        const char *s = c.text.c_str();
        mbstate_t state{};
        EXPECT_EQ(Offset(KXNextChar_r(s, &state), s), c.next) << c.locale << " " << Escaped(c.text);
        EXPECT_EQ(Offset(KXNextChar_r(s, nullptr), s), c.next) << c.locale << " " << Escaped(c.text);
        mblen(nullptr, 0);
        EXPECT_EQ(Offset(KXNextChar(s), s), c.next) << c.locale << " " << Escaped(c.text);
    }
}

TEST(NextCharacter, WalksAStringWithTheCallersState) {
    LocaleScope scope(kUtf8);
    const char *s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const long expected[] = {1, 3, 6, 10, 10};
    mbstate_t state{};
    const char *p = s;
    for (long offset : expected) {
        p = KXNextChar_r(p, &state);
        EXPECT_EQ(p - s, offset);
    }
}

TEST(NextCharacter, NullStringGivesNull) {
    mbstate_t state{};
    EXPECT_EQ(KXNextChar(nullptr), nullptr);
    EXPECT_EQ(KXNextChar_r(nullptr, &state), nullptr);
    EXPECT_EQ(KXNextChar_r(nullptr, nullptr), nullptr);
}

TEST(PreviousCharacter, FindsTheCharacterBeforePos) {
    struct Case {
        const char *locale;
        std::string text;
        long pos;
        long result;
    };
    const Case cases[] = {
        {kC, "abc", 0, 0},
        {kC, "abc", 2, 1},
        {kC, "abc", 10, 0},  // the walk meets the terminator first
        {kC, "a\x80" "b", 3, 0},
        {kLatin1, "\xE9\xE9", 2, 1},
        {kCp1251, "\xFF\xFF", 2, 1},
        {kCp1251, "a\x98" "b", 3, 0},
        {kUtf8, "a\xC3\xA9", 0, 0},
        {kUtf8, "a\xC3\xA9", 1, 0},
        {kUtf8, "a\xC3\xA9", 2, 1},  // inside a character: its start
        {kUtf8, "a\xC3\xA9", 3, 1},
        {kUtf8, "\xF0\x9F\x98\x80" "b", 5, 4},
        {kUtf8, "\xF0\x9F\x98\x80" "b", 3, 0},
        {kUtf8, "\xFF" "abc", 3, 0},
        {kUtf8, "ab\xFF" "cd", 2, 1},
        {kUtf8, "ab\xFF" "cd", 4, 0},
        {kUtf8, "ab\xC3", 3, 0},
        {kEucJp, "a\x8F\xB0\xA1" "b", 5, 4},
        {kEucJp, "a\x8F\xB0\xA1" "b", 4, 1},
        {kEucJp, "a\x8F\xB0\xA1" "b", 2, 1},
        {kEucJp, "a\xA4" "Ab", 4, 0},
        {kEucJp, "a\xA4" "Ab", 1, 0},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        char buf[32] = {};  // room for positions past the terminator
        std::memcpy(buf, c.text.c_str(), c.text.size() + 1);
        EXPECT_EQ(Offset(KXPrevChar(buf, buf + c.pos), buf), c.result)
            << c.locale << " " << Escaped(c.text) << " pos " << c.pos;
    }
}

TEST(PreviousCharacter, NullStartOrPosBeforeStartGivesNull) {
    const char text[] = "abc";
    EXPECT_EQ(KXPrevChar(nullptr, text), nullptr);
    EXPECT_EQ(KXPrevChar(text + 1, text), nullptr);
}

TEST(Truncation, LeavesFewerThanMaxBytesOfWholeCharacters) {
    struct Case {
        const char *locale;
        std::string text;
        int32_t max;
        std::string result;
    };
    const Case cases[] = {
        {kC, "abcdef", 3, "ab"},
        {kC, "abcdef", 6, "abcde"},
        {kC, "abcdef", 7, "abcdef"},
        {kC, "abcdef", 1, ""},
        {kC, "abcdef", 0, ""},
        {kC, "abcdef", -1, ""},
        {kC, "abcdef", INT32_MIN, ""},
        {kC, "", 0, ""},
        {kC, "", -5, ""},
        {kC, "a\x80" "bc", 3, ""},  // bad sequence before byte max
        {kLatin1, "\xE9\xE9\xE9", 2, "\xE9"},
        {kCp1251, "\xFF\xFF\xFF", 3, "\xFF\xFF"},
        {kCp1251, "\x98xyz", 2, ""},
        {kUtf8, "a\xC3\xA9", 3, "a"},
        {kUtf8, "a\xC3\xA9", 2, "a"},
        {kUtf8, "a\xC3\xA9", 4, "a\xC3\xA9"},
        {kUtf8, "a\xF0\x9F\x98\x80" "b", 5, "a"},
        {kUtf8, "a\xF0\x9F\x98\x80" "b", 6, "a\xF0\x9F\x98\x80"},
        {kUtf8, "\xFF" "abc", 2, ""},
        {kUtf8, "ab\xFF" "c", 3, ""},
        {kUtf8, "ab\xFF" "c", 2, "a"},
        {kUtf8, "abc\xC3", 4, ""},
        {kUtf8, "abc\xC3", 5, "abc\xC3"},  // shorter than max: untouched
        {kEucJp, "\xA4\xA2\xA4\xA4", 4, "\xA4\xA2"},
        {kEucJp, "\xA4\xA2\xA4\xA4", 3, "\xA4\xA2"},
        {kEucJp, "\xA4\xA2\xA4\xA4", 2, ""},
        {kEucJp, "a\xA4" "Ab", 4, ""},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        auto buf = qtest::GuardedCopy(c.text);
        EXPECT_EQ(KXLTruncateString(buf.data(), c.max), static_cast<int32_t>(c.result.size()))
            << c.locale << " " << Escaped(c.text) << " max " << c.max;
        EXPECT_EQ(std::string(buf.data()), c.result) << c.locale << " " << Escaped(c.text) << " max " << c.max;
        // Only the terminator moves: the bytes behind it stay as they were.
        EXPECT_EQ(std::memcmp(buf.data() + c.result.size() + 1, c.text.c_str() + c.result.size() + 1,
                              c.text.size() - c.result.size()),
                  0);
        EXPECT_TRUE(buf.intact());
    }
}

// dest gets exactly `written`; the guarded buffer has just that size, so a
// byte more would hit the canaries.
struct CopyCase {
    const char *locale;
    std::string src;
    uint32_t limit;
    std::string written;
};

TEST(CharacterCopy, CopiesAtMostNCharacters) {
    const CopyCase cases[] = {
        {kC, "abc", 2, "ab"},
        {kC, "abc", 3, "abc"},
        {kC, "ab", 5, "ab\0"s},
        {kC, "abc", 0, ""},
        {kC, "", 3, "\0"s},
        {kC, "a\x80" "b", 3, "a\x80" "b"},
        {kLatin1, "\xE9\xE9\xE9", 2, "\xE9\xE9"},
        {kCp1251, "\x98\xFF", 5, "\x98\xFF\0"s},
        {kUtf8, "", 2, "\0"s},
        {kUtf8, "a\xC3\xA9" "b", 2, "a\xC3\xA9"},
        {kUtf8, "a\xC3\xA9", 5, "a\xC3\xA9\0"s},
        {kUtf8, "\xF0\x9F\x98\x80" "b", 1, "\xF0\x9F\x98\x80"},
        {kUtf8, "\xFF" "ab", 3, "\0"s},
        {kUtf8, "a\xFF" "b", 3, "a\0"s},
        {kUtf8, "ab\xC3", 5, "ab\0"s},
        {kUtf8, "ab\xE2\x82" "c", 5, "ab\0"s},
        {kEucJp, "\x8F\xB0\xA1\xA4\xA2", 1, "\x8F\xB0\xA1"},
        {kEucJp, "\x8F\xB0\xA1\xA4\xA2", 9, "\x8F\xB0\xA1\xA4\xA2\0"s},
        {kEucJp, "\xFF" "a", 2, "\0"s},
        {kEucJp, "a\xA4" "A", 3, "a\0"s},
        {kEucJp, "ab\xA4", 5, "ab\0"s},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        Guarded<char> dest(c.written.size(), 'X');
        EXPECT_EQ(KXstrncpy(dest.data(), c.src.c_str(), c.limit), dest.data());
        EXPECT_EQ(std::string(dest.data(), dest.size()), c.written) << c.locale << " " << Escaped(c.src) << " n " << c.limit;
        EXPECT_TRUE(dest.intact()) << c.locale << " " << Escaped(c.src) << " n " << c.limit;
    }
}

TEST(ByteBoundedCopy, CopiesWholeCharactersAndTerminates) {
    // limit is the destination size here.
    const CopyCase cases[] = {
        {kC, "abcdef", 4, "abc\0"s},
        {kC, "abcdef", 1, "\0"s},
        {kC, "abcdef", 0, ""},
        {kC, "ab", 3, "ab\0"s},
        {kC, "\x80\x81", 3, "\x80\x81\0"s},
        {kLatin1, "\xE9\xE9\xE9", 3, "\xE9\xE9\0"s},
        {kCp1251, "\x98\x98", 2, "\x98\0"s},
        {kUtf8, "a\xC3\xA9", 3, "a\0"s},
        {kUtf8, "a\xC3\xA9", 4, "a\xC3\xA9\0"s},
        {kUtf8, "a\xC3\xA9", 0, ""},
        {kUtf8, "\xF0\x9F\x98\x80" "a", 4, "\0"s},
        {kUtf8, "\xF0\x9F\x98\x80" "a", 5, "\xF0\x9F\x98\x80\0"s},
        {kUtf8, "\xFF" "a", 5, "\0"s},
        {kUtf8, "a\xFF" "b", 5, "a\0"s},
        {kUtf8, "a\xC3", 5, "a\0"s},
        {kEucJp, "\x8F\xB0\xA1", 3, "\0"s},
        {kEucJp, "\x8F\xB0\xA1", 4, "\x8F\xB0\xA1\0"s},
        {kEucJp, "\x80" "a\xA4\xA2", 4, "\x80" "a\0"s},
        {kEucJp, "\xFF" "a", 5, "\0"s},
        {kEucJp, "a\xA4" "A", 5, "a\0"s},
        {kEucJp, "ab\xA4", 5, "ab\0"s},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        Guarded<char> dest(c.limit, 'X');
        EXPECT_EQ(KXLstrbcpy(dest.data(), c.src.c_str(), c.limit), dest.data());
        EXPECT_EQ(std::string(dest.data(), c.written.size()), c.written) << c.locale << " " << Escaped(c.src) << " size " << c.limit;
        for (uint32_t i = static_cast<uint32_t>(c.written.size()); i < c.limit; ++i) EXPECT_EQ(dest[i], 'X');
        EXPECT_TRUE(dest.intact()) << c.locale << " " << Escaped(c.src) << " size " << c.limit;
    }
}

TEST(Copies, NullPointersWriteNothing) {
    for (const char *locale : {kC, kUtf8}) {
        LocaleScope scope(locale);
        Guarded<char> dest(4, 'X');
        EXPECT_EQ(KXstrncpy(dest.data(), nullptr, 3), nullptr);
        EXPECT_EQ(KXstrncpy(nullptr, "abc", 3), nullptr);
        EXPECT_EQ(KXLstrbcpy(dest.data(), nullptr, 4), nullptr);
        EXPECT_EQ(KXLstrbcpy(nullptr, "abc", 4), nullptr);
        EXPECT_EQ(std::string(dest.data(), 4), "XXXX");
        EXPECT_TRUE(dest.intact());
    }
}

TEST(CharacterSearch, FindsTheFirstCharacterOfTheSet) {
    struct Case {
        const char *locale;
        std::string text;
        std::string accept;
        long found;
    };
    const Case cases[] = {
        {kC, "abc", "", kNull},
        {kC, "abc", "xc", 2},
        {kC, "", "a", kNull},
        {kC, "abc", "xyz", kNull},
        {kC, "a\x80" "b", "\x80", 1},
        {kLatin1, "x\xE9y", "\xE9", 1},
        {kCp1251, "a\x98" "b", "b\x98", 1},
        {kUtf8, "abc", "", kNull},
        {kUtf8, "abc", "xc", 2},
        {kUtf8, "", "a", kNull},
        {kUtf8, "a\xC3\xA9" "b", "b\xC3\xA9", 1},
        {kUtf8, "a\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 1},
        {kUtf8, "\xC3\xA9", "\xC3\xA8", kNull},  // same lead byte is no match
        {kUtf8, "a\xC3\xA9", "\xA9", kNull},     // bad sequence in accept
        {kUtf8, "ab", "b\xFF", kNull},
        {kUtf8, "ab", "\xFF" "a", kNull},
        {kUtf8, "ab", "a\xFF", 0},  // found before the bad sequence
        {kUtf8, "\xFF" "a", "a", kNull},
        {kUtf8, "a\xFF" "b", "b", kNull},
        {kUtf8, "ab\xFF", "b", 1},
        {kUtf8, "ab\xC3", "x", kNull},
        {kEucJp, "\xA4\xA2\xA4\xA4", "\xA4\xA4", 2},
        {kEucJp, "\xA4\xA2\xA4\xA4", "\xA2\xA4", kNull},  // bytes straddle two characters
        {kEucJp, "a\xA4" "A", "A", kNull},
        {kEucJp, "a\x8F\xB0\xA1", "\x8F\xB0\xA1", 1},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        const char *s = c.text.c_str();
        EXPECT_EQ(Offset(KXLstrpbrk(s, c.accept.c_str()), s), c.found)
            << c.locale << " " << Escaped(c.text) << " in " << Escaped(c.accept);
    }
}

}  // namespace
