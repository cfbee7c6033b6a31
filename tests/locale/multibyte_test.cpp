// Character-aware measuring, stepping, copying, truncation and search.
#include <quemba/locale_services.h>

#include <quemba_test.h>

#include <climits>

using namespace std::string_literals;
using namespace qtest;

namespace {

constexpr long kNull = -1;  // expected offset standing for a null result

std::string What(const char *locale, const std::string &text, long n) {
    return std::string(locale) + " " + testing::PrintToString(text) + " " + std::to_string(n);
}

TEST(ByteLength, BytesAndMblen) {
    for (const auto &name : AllLocales()) {
        LocaleScope scope(name);
        EXPECT_TRUE(KXstrlen("a\xC3\xA9\xFF" "b") == 5 && KXstrlen("") == 0) << name;
    }
    LocaleScope scope(kUtf8);
    KXLmblen(nullptr, 0);
    EXPECT_TRUE(KXLmblen("\xC3\xA9", 2) == 2 && KXLmblen("\xC3\xA9", 1) == -1 && KXLmblen("\xFF", 1) == -1);
    EXPECT_EQ(KXLmblen("", 1), 0);
}

TEST(CharacterCount, CountsUpToTheFirstBadSequence) {
    const struct { const char *locale; std::string text; uint32_t count; } cases[] = {
        {kC, "", 0}, {kC, "abc", 3}, {kC, "a\xFF" "b", 3},  // single-byte path: every byte counts
        {kLatin1, "\xE9t\xE9", 3}, {kCp1251, "\x98\xFF", 2},  // 0x98 has no character, still one byte
        {kUtf8, "", 0}, {kUtf8, "a\xC3\xA9", 2}, {kUtf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 4},
        {kUtf8, "\xFF" "abc", 0}, {kUtf8, "ab\xFF" "cd", 2}, {kUtf8, "ab\xC3", 2}, {kUtf8, "ab\xE2\x82" "cd", 2},
        {kEucJp, "\xA4\xA2\x8E\xB1\x8F\xB0\xA1" "a", 4}, {kEucJp, "\xFF" "a", 0}, {kEucJp, "a\xA4" "Ab", 1},
        {kEucJp, "ab\xA4", 2},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        EXPECT_EQ(KXLmbslen(c.text.c_str()), c.count) << What(c.locale, c.text, 0);
    }
}

TEST(NextCharacter, StepsOneCharacterOrSkipsABadSequence) {
    const struct { const char *locale; std::string text; long next; } cases[] = {
        {kC, "", 0}, {kC, "ab", 1}, {kC, "\x80" "a", 2},  // C has no characters above 0x7F
        {kLatin1, "\xE9x", 1}, {kCp1251, "\xFFx", 1}, {kCp1251, "\x98x", 2}, {kUtf8, "\xC3\xA9x", 2},
        {kUtf8, "\xE2\x82\xAC", 3}, {kUtf8, "\xF0\x9F\x98\x80x", 4}, {kUtf8, "\xFF" "ab", 3}, {kUtf8, "\xC3" "a", 2},
        {kUtf8, "\xC3", 1}, {kEucJp, "\x8F\xB0\xA1x", 3}, {kEucJp, "\xA4\xA2", 2}, {kEucJp, "\xA4" "A", 2},
        {kEucJp, "\xA4", 1},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        const char *s = c.text.c_str();
        mbstate_t state{};
        mblen(nullptr, 0);
        EXPECT_EQ(Offset(KXNextChar_r(s, &state), s), c.next) << What(c.locale, c.text, 0);
        EXPECT_EQ(Offset(KXNextChar_r(s, nullptr), s), c.next) << What(c.locale, c.text, 0);
        EXPECT_EQ(Offset(KXNextChar(s), s), c.next) << What(c.locale, c.text, 0);
    }
    // A walk with the caller's state; null gives null.
    LocaleScope scope(kUtf8);
    const char *s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", *p = s;
    mbstate_t state{};
    for (long offset : {1, 3, 6, 10, 10}) EXPECT_EQ((p = KXNextChar_r(p, &state)) - s, offset);
    EXPECT_TRUE(!KXNextChar(nullptr) && !KXNextChar_r(nullptr, &state) && !KXNextChar_r(nullptr, nullptr));
}

TEST(PreviousCharacter, FindsTheCharacterBeforePos) {
    const struct { const char *locale; std::string text; long pos, result; } cases[] = {
        {kC, "abc", 0, 0}, {kC, "abc", 2, 1}, {kC, "abc", 10, 0},  // the walk meets the terminator first
        {kC, "a\x80" "b", 3, 0}, {kLatin1, "\xE9\xE9", 2, 1}, {kCp1251, "\xFF\xFF", 2, 1}, {kCp1251, "a\x98" "b", 3, 0},
        {kUtf8, "a\xC3\xA9", 0, 0}, {kUtf8, "a\xC3\xA9", 1, 0}, {kUtf8, "a\xC3\xA9", 3, 1},
        {kUtf8, "a\xC3\xA9", 2, 1},  // inside a character: its start
        {kUtf8, "\xF0\x9F\x98\x80" "b", 5, 4}, {kUtf8, "\xF0\x9F\x98\x80" "b", 3, 0}, {kUtf8, "\xFF" "abc", 3, 0},
        {kUtf8, "ab\xFF" "cd", 2, 1}, {kUtf8, "ab\xFF" "cd", 4, 0}, {kUtf8, "ab\xC3", 3, 0},
        {kEucJp, "a\x8F\xB0\xA1" "b", 5, 4}, {kEucJp, "a\x8F\xB0\xA1" "b", 4, 1}, {kEucJp, "a\x8F\xB0\xA1" "b", 2, 1},
        {kEucJp, "a\xA4" "Ab", 4, 0}, {kEucJp, "a\xA4" "Ab", 1, 0},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        char buf[32] = {};  // room for positions past the terminator
        std::memcpy(buf, c.text.c_str(), c.text.size() + 1);
        EXPECT_EQ(Offset(KXPrevChar(buf, buf + c.pos), buf), c.result) << What(c.locale, c.text, c.pos);
    }
    const char text[] = "abc";
    EXPECT_TRUE(KXPrevChar(nullptr, text) == nullptr && KXPrevChar(text + 1, text) == nullptr);
}

TEST(Truncation, LeavesFewerThanMaxBytesOfWholeCharacters) {
    const struct { const char *locale; std::string text; int32_t max; std::string result; } cases[] = {
        {kC, "abcdef", 3, "ab"}, {kC, "abcdef", 6, "abcde"}, {kC, "abcdef", 7, "abcdef"}, {kC, "abcdef", 1, ""},
        {kC, "abcdef", 0, ""}, {kC, "abcdef", -1, ""}, {kC, "abcdef", INT32_MIN, ""}, {kC, "", -5, ""},
        {kC, "a\x80" "bc", 3, ""},  // bad sequence before byte max
        {kLatin1, "\xE9\xE9\xE9", 2, "\xE9"}, {kCp1251, "\xFF\xFF\xFF", 3, "\xFF\xFF"}, {kCp1251, "\x98xyz", 2, ""},
        {kUtf8, "a\xC3\xA9", 3, "a"}, {kUtf8, "a\xC3\xA9", 2, "a"}, {kUtf8, "a\xC3\xA9", 4, "a\xC3\xA9"},
        {kUtf8, "a\xF0\x9F\x98\x80" "b", 5, "a"}, {kUtf8, "a\xF0\x9F\x98\x80" "b", 6, "a\xF0\x9F\x98\x80"},
        {kUtf8, "\xFF" "abc", 2, ""}, {kUtf8, "ab\xFF" "c", 3, ""}, {kUtf8, "ab\xFF" "c", 2, "a"},
        {kUtf8, "abc\xC3", 4, ""}, {kUtf8, "abc\xC3", 5, "abc\xC3"},  // shorter than max: untouched
        {kEucJp, "\xA4\xA2\xA4\xA4", 4, "\xA4\xA2"}, {kEucJp, "\xA4\xA2\xA4\xA4", 3, "\xA4\xA2"},
        {kEucJp, "\xA4\xA2\xA4\xA4", 2, ""}, {kEucJp, "a\xA4" "Ab", 4, ""},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        auto buf = GuardedCopy(c.text);
        EXPECT_EQ(KXLTruncateString(buf.data(), c.max), int32_t(c.result.size())) << What(c.locale, c.text, c.max);
        // Only the terminator moves: the bytes behind it stay as they were.
        std::string after = c.text + '\0';
        after[c.result.size()] = '\0';
        EXPECT_TRUE(std::string(buf.data(), after.size()) == after && buf.intact());
    }
}

// The copy's destination has exactly the size `written` needs, so a byte
// more would hit the canaries; `limit` counts characters for KXstrncpy and
// is the destination size for KXLstrbcpy.
TEST(Copies, WholeCharactersWithinTheLimit) {
    const struct { bool bounded; const char *locale; std::string src; uint32_t limit; std::string written; } cases[] = {
        {false, kC, "abc", 2, "ab"}, {false, kC, "abc", 3, "abc"}, {false, kC, "ab", 5, "ab\0"s},
        {false, kC, "abc", 0, ""}, {false, kC, "", 3, "\0"s}, {false, kC, "a\x80" "b", 3, "a\x80" "b"},
        {false, kLatin1, "\xE9\xE9\xE9", 2, "\xE9\xE9"}, {false, kCp1251, "\x98\xFF", 5, "\x98\xFF\0"s},
        {false, kUtf8, "", 2, "\0"s}, {false, kUtf8, "a\xC3\xA9" "b", 2, "a\xC3\xA9"},
        {false, kUtf8, "a\xC3\xA9", 5, "a\xC3\xA9\0"s}, {false, kUtf8, "\xF0\x9F\x98\x80" "b", 1, "\xF0\x9F\x98\x80"},
        {false, kUtf8, "\xFF" "ab", 3, "\0"s}, {false, kUtf8, "a\xFF" "b", 3, "a\0"s}, {false, kUtf8, "ab\xC3", 5, "ab\0"s},
        {false, kUtf8, "ab\xE2\x82" "c", 5, "ab\0"s}, {false, kEucJp, "\x8F\xB0\xA1\xA4\xA2", 1, "\x8F\xB0\xA1"},
        {false, kEucJp, "\x8F\xB0\xA1\xA4\xA2", 9, "\x8F\xB0\xA1\xA4\xA2\0"s}, {false, kEucJp, "\xFF" "a", 2, "\0"s},
        {false, kEucJp, "a\xA4" "A", 3, "a\0"s}, {false, kEucJp, "ab\xA4", 5, "ab\0"s},
        {true, kC, "abcdef", 4, "abc\0"s}, {true, kC, "abcdef", 1, "\0"s}, {true, kC, "abcdef", 0, ""},
        {true, kC, "ab", 3, "ab\0"s}, {true, kC, "\x80\x81", 3, "\x80\x81\0"s},
        {true, kLatin1, "\xE9\xE9\xE9", 3, "\xE9\xE9\0"s}, {true, kCp1251, "\x98\x98", 2, "\x98\0"s},
        {true, kUtf8, "a\xC3\xA9", 3, "a\0"s}, {true, kUtf8, "a\xC3\xA9", 4, "a\xC3\xA9\0"s},
        {true, kUtf8, "a\xC3\xA9", 0, ""}, {true, kUtf8, "\xF0\x9F\x98\x80" "a", 4, "\0"s},
        {true, kUtf8, "\xF0\x9F\x98\x80" "a", 5, "\xF0\x9F\x98\x80\0"s}, {true, kUtf8, "\xFF" "a", 5, "\0"s},
        {true, kUtf8, "a\xFF" "b", 5, "a\0"s}, {true, kUtf8, "a\xC3", 5, "a\0"s}, {true, kEucJp, "\x8F\xB0\xA1", 3, "\0"s},
        {true, kEucJp, "\x8F\xB0\xA1", 4, "\x8F\xB0\xA1\0"s}, {true, kEucJp, "\x80" "a\xA4\xA2", 4, "\x80" "a\0"s},
        {true, kEucJp, "\xFF" "a", 5, "\0"s}, {true, kEucJp, "a\xA4" "A", 5, "a\0"s}, {true, kEucJp, "ab\xA4", 5, "ab\0"s},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        // KXLstrbcpy gets its whole size, of which it may leave a tail untouched.
        Guarded<char> dest(c.bounded ? c.limit : c.written.size(), 'X');
        char *result = c.bounded ? KXLstrbcpy(dest.data(), c.src.c_str(), c.limit)
                                 : KXstrncpy(dest.data(), c.src.c_str(), c.limit);
        const std::string tail(dest.size() - c.written.size(), 'X');
        EXPECT_EQ(std::string(dest.data(), dest.size()), c.written + tail) << What(c.locale, c.src, c.limit);
        EXPECT_TRUE(result == dest.data() && dest.intact());
    }
    for (const char *locale : {kC, kUtf8}) {  // null pointers write nothing
        LocaleScope scope(locale);
        Guarded<char> dest(4, 'X');
        EXPECT_TRUE(!KXstrncpy(dest.data(), nullptr, 3) && !KXstrncpy(nullptr, "abc", 3));
        EXPECT_TRUE(!KXLstrbcpy(dest.data(), nullptr, 4) && !KXLstrbcpy(nullptr, "abc", 4));
        EXPECT_TRUE(std::string(dest.data(), 4) == "XXXX" && dest.intact());
    }
}

TEST(CharacterSearch, FindsTheFirstCharacterOfTheSet) {
    const struct { const char *locale; std::string text, accept; long found; } cases[] = {
        {kC, "abc", "", kNull}, {kC, "abc", "xc", 2}, {kC, "", "a", kNull}, {kC, "abc", "xyz", kNull},
        {kC, "a\x80" "b", "\x80", 1}, {kLatin1, "x\xE9y", "\xE9", 1}, {kCp1251, "a\x98" "b", "b\x98", 1},
        {kUtf8, "abc", "", kNull}, {kUtf8, "abc", "xc", 2}, {kUtf8, "", "a", kNull},
        {kUtf8, "a\xC3\xA9" "b", "b\xC3\xA9", 1}, {kUtf8, "a\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 1},
        {kUtf8, "\xC3\xA9", "\xC3\xA8", kNull},  // same lead byte is no match
        {kUtf8, "a\xC3\xA9", "\xA9", kNull},     // bad sequence in accept
        {kUtf8, "ab", "b\xFF", kNull}, {kUtf8, "ab", "\xFF" "a", kNull},
        {kUtf8, "ab", "a\xFF", 0},  // found before the bad sequence
        {kUtf8, "\xFF" "a", "a", kNull}, {kUtf8, "a\xFF" "b", "b", kNull}, {kUtf8, "ab\xFF", "b", 1},
        {kUtf8, "ab\xC3", "x", kNull}, {kEucJp, "\xA4\xA2\xA4\xA4", "\xA4\xA4", 2},
        {kEucJp, "\xA4\xA2\xA4\xA4", "\xA2\xA4", kNull},  // bytes straddle two characters
        {kEucJp, "a\xA4" "A", "A", kNull}, {kEucJp, "a\x8F\xB0\xA1", "\x8F\xB0\xA1", 1},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        const char *s = c.text.c_str();
        EXPECT_EQ(Offset(KXLstrpbrk(s, c.accept.c_str()), s), c.found) << What(c.locale, c.text + "|" + c.accept, 0);
    }
}

}  // namespace
