// UTF-8 <-> UTF-16: classification, fixed cases, malformed input with its
// position, size queries and random round trips.
#include <quemba/utf8.h>

#include <memory>
#include <random>

#include "quemba_test.h"

namespace {

using qtest::Guarded;
using qtest::S16;
using qtest::U;

constexpr uint16_t kFill = 0x5A5A;
constexpr uint32_t kUntouched = 0xDEADBEEF;

// The classification rule stated as "decodes to a value that needs this
// many bytes", independent of the bit patterns the library tests.
int32_t ReferenceClass(unsigned b0, unsigned b1, unsigned b2) {
    auto cont = [](unsigned b) { return b >= 0x80 && b <= 0xBF; };
    if (b0 < 0x80) return 1;
    if (b0 >= 0xC0 && b0 < 0xE0 && cont(b1)) {
        return (((b0 & 0x1F) << 6) | (b1 & 0x3F)) >= 0x80 ? 2 : LOC_E_BAD_UTF8;
    }
    if (b0 >= 0xE0 && b0 < 0xF0 && cont(b1) && cont(b2)) {
        return (((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F)) >= 0x800 ? 3 : LOC_E_BAD_UTF8;
    }
    return LOC_E_BAD_UTF8;
}

TEST(ClassifyUTF8, MatchesReferenceOnEveryThreeBytePrefix) {
    int mismatches = 0;
    for (unsigned b0 = 0; b0 < 256; ++b0) {
        for (unsigned b1 = 0; b1 < 256; ++b1) {
            for (unsigned b2 = 0; b2 < 256; b2 += (b1 >= 0x80 && b1 < 0xC0) ? 1 : 255) {
                const char p[3] = {static_cast<char>(b0), static_cast<char>(b1), static_cast<char>(b2)};
                if (_ClassifyUTF8Char(p) != ReferenceClass(b0, b1, b2) && ++mismatches < 10) {
                    ADD_FAILURE() << std::hex << b0 << " " << b1 << " " << b2;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ClassifyUTF8, FixedCases) {
    const struct {
        const char *bytes;
        int32_t expected;
    } cases[] = {
        {"", 1},           {"A", 1},           {"\x7F", 1},          {"\xC3\xA9", 2},
        {"\xC2\x80", 2},   {"\xC0\x80", LOC_E_BAD_UTF8},              {"\xC1\x81", LOC_E_BAD_UTF8},
        {"\xE0\x80\x80", LOC_E_BAD_UTF8},   {"\xE0\x9F\xBF", LOC_E_BAD_UTF8}, {"\xE0\xA0\x80", 3},
        {"\xED\xA0\x80", 3}, {"\xEF\xBF\xBF", 3}, {"\xF0\x9F\x98\x80", LOC_E_BAD_UTF8},
        {"\x80", LOC_E_BAD_UTF8}, {"\xBF", LOC_E_BAD_UTF8}, {"\xFF", LOC_E_BAD_UTF8},
        {"\xC3" "A", LOC_E_BAD_UTF8}, {"\xE2\x82" "A", LOC_E_BAD_UTF8},
    };
    for (const auto &c : cases) EXPECT_EQ(_ClassifyUTF8Char(c.bytes), c.expected) << c.bytes;
}

// A lead byte right before the terminator: nothing after it is read (ASan
// sees a read past these exactly sized blocks).
TEST(ClassifyUTF8, StopsAtTheTerminator) {
    for (unsigned lead : {0xC3u, 0xE2u}) {
        auto two = std::make_unique<char[]>(2);
        two[0] = static_cast<char>(lead);
        two[1] = 0;
        EXPECT_EQ(_ClassifyUTF8Char(two.get()), LOC_E_BAD_UTF8);
        uint32_t size = kUntouched;
        EXPECT_EQ(KXLUTF8ToUnicodeSize(two.get(), &size), LOC_E_BAD_UTF8);
    }
    auto three = std::make_unique<char[]>(3);
    three[0] = '\xE2';
    three[1] = '\x82';
    three[2] = 0;
    EXPECT_EQ(_ClassifyUTF8Char(three.get()), LOC_E_BAD_UTF8);
}

// ---- UTF-8 to UTF-16 ----

struct ToUnicodeCase {
    std::string input;
    uint32_t outputSize;
    int32_t result;
    std::u16string written;  // units written, terminator included if any
    uint32_t outSize;        // kUntouched: not written
    ptrdiff_t errorAt;       // -1: no error position
};

TEST(UTF8ToUnicode, FixedCases) {
    const std::u16string nul(1, u'\0');
    const ToUnicodeCase cases[] = {
        {"\xE2\x82\xAC", 4, 0, u"\x20AC" + nul, 4, -1},
        {"\xE2\x82\xAC", 3, LOC_E_BUFFER_TOO_SMALL, u"", 4, -1},
        {"A\xC3\xA9\xE2\x82\xAC", 8, 0, u"A\x00E9\x20AC" + nul, 8, -1},
        {"A\xC3\xA9\xE2\x82\xAC", 7, LOC_E_BUFFER_TOO_SMALL, u"A\x00E9", 8, -1},
        {"A\xC3\xA9\xE2\x82\xAC", 5, LOC_E_BUFFER_TOO_SMALL, u"A", 8, -1},
        {"\xED\xA0\x80\xED\xB0\x80", 6, 0, u"\xD800\xDC00" + nul, 6, -1},
        {"\xEF\xBF\xBF\xC2\x80\x7F", 8, 0, u"\xFFFF\x0080\x007F" + nul, 8, -1},
        // Malformed at the start, in the middle and at the end.
        {"\xF0\x9F\x98\x80", 16, LOC_E_BAD_UTF8, u"", kUntouched, 0},
        {"ab\x80" "cd", 16, LOC_E_BAD_UTF8, u"ab", kUntouched, 2},
        {"ab\xC3", 16, LOC_E_BAD_UTF8, u"ab", kUntouched, 2},
        {"a\xE2\x82", 16, LOC_E_BAD_UTF8, u"a", kUntouched, 1},
        {"\xC3\xA9\xE2\x82" "b", 16, LOC_E_BAD_UTF8, u"\x00E9", kUntouched, 2},
        // Overlong forms: no hidden NUL or ASCII gets through.
        {"a\xC0\x80" "b", 16, LOC_E_BAD_UTF8, u"a", kUntouched, 1},
        {"\xC1\x81", 16, LOC_E_BAD_UTF8, u"", kUntouched, 0},
        {"x\xE0\x81\x81", 16, LOC_E_BAD_UTF8, u"x", kUntouched, 1},
        // Malformed with a full output too: malformed wins.
        {"\xFF" "ab", 2, LOC_E_BAD_UTF8, u"", kUntouched, 0},
        // Output full before the malformed sequence: -500 and the partial size.
        {"ab\xFF", 4, LOC_E_BUFFER_TOO_SMALL, u"a", 4, -1},
        // Empty input: the terminator only when it fits.
        {"", 2, 0, nul, 2, -1},
        {"", 1, LOC_E_BUFFER_TOO_SMALL, u"", 2, -1},
        {"", 0, LOC_E_BUFFER_TOO_SMALL, u"", 2, -1},
        // Odd sizes count whole units only.
        {"ab", 5, LOC_E_BUFFER_TOO_SMALL, u"a", 6, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "input of " << c.input.size() << " bytes, size " << c.outputSize);
        Guarded<uint16_t> out(c.outputSize / 2, kFill);
        uint32_t outSize = kUntouched;
        char *errorPos = reinterpret_cast<char *>(&outSize);  // must be reset
        EXPECT_EQ(KXLUTF8ToUnicode(c.input.c_str(), c.outputSize, out.data(), &outSize, &errorPos), c.result);
        EXPECT_EQ(S16(out.data(), c.written.size()), c.written);
        for (size_t i = c.written.size(); i < out.size(); ++i) EXPECT_EQ(out[i], kFill) << i;
        EXPECT_TRUE(out.intact());
        EXPECT_EQ(outSize, c.outSize);
        if (c.errorAt < 0) {
            EXPECT_EQ(errorPos, nullptr);
        } else {
            EXPECT_EQ(errorPos, c.input.c_str() + c.errorAt);
        }
        // The out-parameters are optional.
        Guarded<uint16_t> again(c.outputSize / 2, kFill);
        EXPECT_EQ(KXLUTF8ToUnicode(c.input.c_str(), c.outputSize, again.data(), nullptr, nullptr), c.result);
        EXPECT_TRUE(again.intact());
    }
}

TEST(UTF8ToUnicode, SizeQuery) {
    const struct {
        std::string input;
        int32_t sizeResult;
        uint32_t size;
    } cases[] = {
        {"", 0, 2},
        {"\x41\xC3\xA9\xE2\x82\xAC", 0, 8},
        {"ab\xF0\x9F\x98\x80", LOC_E_BAD_UTF8, 4},  // the sequences before it, no terminator
        {"\xC0\x80", LOC_E_BAD_UTF8, 0},
    };
    for (const auto &c : cases) {
        uint32_t size = kUntouched;
        EXPECT_EQ(KXLUTF8ToUnicodeSize(c.input.c_str(), &size), c.sizeResult);
        EXPECT_EQ(size, c.size);
        // A null output asks for the size; a malformed sequence is not
        // reported there.
        size = kUntouched;
        char *errorPos = reinterpret_cast<char *>(&size);
        EXPECT_EQ(KXLUTF8ToUnicode(c.input.c_str(), 1000, nullptr, &size, &errorPos), LOC_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(errorPos, nullptr);
    }
}

// ---- UTF-16 to UTF-8 ----

TEST(UnicodeToUTF8, FixedCases) {
    const struct {
        std::u16string input;
        uint32_t outputSize;
        int32_t result;
        std::string written;  // terminator included if any
        uint32_t outSize;
    } cases[] = {
        {u"", 1, 0, std::string(1, '\0'), 1},
        {u"", 0, LOC_E_BUFFER_TOO_SMALL, "", 1},
        {u"\x20AC", 3, LOC_E_BUFFER_TOO_SMALL, "", 4},
        {u"\x20AC", 4, 0, std::string("\xE2\x82\xAC", 4), 4},
        {u"A\x00E9\x20AC", 7, 0, std::string("A\xC3\xA9\xE2\x82\xAC", 7), 7},
        {u"A\x00E9\x20AC", 6, LOC_E_BUFFER_TOO_SMALL, "A\xC3\xA9", 7},
        {u"A\x00E9\x20AC", 3, LOC_E_BUFFER_TOO_SMALL, "A", 7},
        {u"\xD800\xDC00", 7, 0, std::string("\xED\xA0\x80\xED\xB0\x80", 7), 7},
        {u"\x007F\x0080\x07FF\x0800\xFFFF", 12, 0,
         std::string("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", 12), 12},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.outputSize);
        EXPECT_EQ(KXLUnicodeToUTF8Size(U(c.input)), c.outSize);
        Guarded<char> out(c.outputSize, 'Z');
        uint32_t outSize = kUntouched;
        EXPECT_EQ(KXLUnicodeToUTF8(U(c.input), c.outputSize, out.data(), &outSize), c.result);
        EXPECT_EQ(std::string(out.data(), c.written.size()), c.written);
        for (size_t i = c.written.size(); i < out.size(); ++i) EXPECT_EQ(out[i], 'Z') << i;
        EXPECT_TRUE(out.intact());
        EXPECT_EQ(outSize, c.outSize);
        outSize = kUntouched;
        EXPECT_EQ(KXLUnicodeToUTF8(U(c.input), 100, nullptr, &outSize), LOC_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(outSize, c.outSize);
        EXPECT_EQ(KXLUnicodeToUTF8(U(c.input), 100, nullptr, nullptr), LOC_E_BUFFER_TOO_SMALL);
    }
}

// ---- random round trips ----

// UTF-16 text with surrogates (paired and lone) and every length class.
std::u16string RandomUnits(std::mt19937 &rng) {
    static const std::pair<char16_t, char16_t> ranges[] = {
        {0x0001, 0x007F}, {0x0080, 0x07FF}, {0x0800, 0xD7FF}, {0xD800, 0xDFFF}, {0xE000, 0xFFFF}};
    std::uniform_int_distribution<size_t> length(0, 10), which(0, std::size(ranges) - 1);
    std::u16string s(length(rng), u' ');
    for (auto &u : s) {
        const auto [lo, hi] = ranges[which(rng)];
        u = std::uniform_int_distribution<char16_t>(lo, hi)(rng);
    }
    return s;
}

// Standard UTF-8 of one unit (surrogates encoded as if they were scalars).
std::string Encode(char16_t u) {
    std::string s;
    if (u < 0x80) {
        s += static_cast<char>(u);
    } else if (u < 0x800) {
        s += static_cast<char>(0xC0 + u / 64);
        s += static_cast<char>(0x80 + u % 64);
    } else {
        s += static_cast<char>(0xE0 + u / 4096);
        s += static_cast<char>(0x80 + u / 64 % 64);
        s += static_cast<char>(0x80 + u % 64);
    }
    return s;
}

TEST(UTF8RoundTrip, RandomUnitsSurviveAndSizesAgree) {
    std::mt19937 rng(42);
    for (int round = 0; round < 2000; ++round) {
        const std::u16string text = RandomUnits(rng);
        std::string expected;
        std::vector<size_t> ends;
        for (char16_t u : text) {
            expected += Encode(u);
            ends.push_back(expected.size());
        }
        SCOPED_TRACE(testing::Message() << "round " << round);
        const uint32_t utf8Size = KXLUnicodeToUTF8Size(U(text));
        ASSERT_EQ(utf8Size, expected.size() + 1);
        uint32_t queried = 0;
        EXPECT_EQ(KXLUnicodeToUTF8(U(text), 0, nullptr, &queried), LOC_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(queried, utf8Size);

        Guarded<char> utf8(utf8Size, 'Z');
        uint32_t used = 0;
        ASSERT_EQ(KXLUnicodeToUTF8(U(text), utf8Size, utf8.data(), &used), 0);
        EXPECT_EQ(used, utf8Size);
        EXPECT_EQ(std::string(utf8.data(), utf8Size), expected + '\0');
        EXPECT_TRUE(utf8.intact());

        uint32_t utf16Size = 0;
        EXPECT_EQ(KXLUTF8ToUnicodeSize(utf8.data(), &utf16Size), 0);
        EXPECT_EQ(utf16Size, 2 * text.size() + 2);
        Guarded<uint16_t> back(text.size() + 1, kFill);
        used = 0;
        char *errorPos = nullptr;
        ASSERT_EQ(KXLUTF8ToUnicode(utf8.data(), utf16Size, back.data(), &used, &errorPos), 0);
        EXPECT_EQ(used, utf16Size);
        EXPECT_EQ(S16(back.data(), text.size() + 1), text + u'\0');
        EXPECT_TRUE(back.intact());

        // Every smaller size: whole sequences only, no terminator, full size.
        for (uint32_t size = 0; size < utf8Size; ++size) {
            Guarded<char> part(size, 'Z');
            uint32_t reported = 0;
            EXPECT_EQ(KXLUnicodeToUTF8(U(text), size, part.data(), &reported), LOC_E_BUFFER_TOO_SMALL);
            EXPECT_EQ(reported, utf8Size);
            size_t fits = 0;
            for (size_t e : ends) {
                if (e + 1 <= size) fits = e;
            }
            EXPECT_EQ(std::string(part.data(), size), expected.substr(0, fits) + std::string(size - fits, 'Z'));
            EXPECT_TRUE(part.intact());
        }
        for (uint32_t size = 0; size < utf16Size; ++size) {
            Guarded<uint16_t> part(size / 2, kFill);
            uint32_t reported = 0;
            EXPECT_EQ(KXLUTF8ToUnicode(utf8.data(), size, part.data(), &reported, nullptr), LOC_E_BUFFER_TOO_SMALL);
            EXPECT_EQ(reported, utf16Size);
            const size_t fits = size < 2 ? 0 : std::min<size_t>(text.size(), size / 2 - 1);
            EXPECT_EQ(S16(part.data(), part.size()), text.substr(0, fits) + std::u16string(part.size() - fits, kFill));
            EXPECT_TRUE(part.intact());
        }
    }
}

// Damaging one byte of valid UTF-8 is either still acceptable or reported
// at a sequence boundary, with everything before it converted.
TEST(UTF8Malformed, ReportedAtTheDamagedSequence) {
    std::mt19937 rng(99);
    const unsigned char damage[] = {0x80, 0xBF, 0xC0, 0xC1, 0xE0, 0xF0, 0xF8, 0xFF, 'x'};
    for (int round = 0; round < 2000; ++round) {
        std::u16string text = RandomUnits(rng);
        if (text.empty()) continue;
        std::string bytes;
        for (char16_t u : text) bytes += Encode(u);
        const size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(rng);
        bytes[at] = static_cast<char>(damage[round % std::size(damage)]);

        // Expected: walk with the reference classifier.
        std::u16string prefix;
        ptrdiff_t bad = -1;
        for (size_t i = 0; i < bytes.size();) {
            const auto *b = reinterpret_cast<const unsigned char *>(bytes.c_str() + i);
            const int32_t n = ReferenceClass(b[0], b[1], b[1] == 0 ? 0 : b[2]);
            if (n < 0) {
                bad = static_cast<ptrdiff_t>(i);
                break;
            }
            prefix += n == 1 ? b[0] : n == 2 ? ((b[0] & 0x1F) << 6 | (b[1] & 0x3F))
                                             : ((b[0] & 0x0F) << 12 | (b[1] & 0x3F) << 6 | (b[2] & 0x3F));
            i += static_cast<size_t>(n);
        }
        SCOPED_TRACE(testing::Message() << "round " << round << " damaged at " << at);
        Guarded<uint16_t> out(bytes.size() + 1, kFill);
        uint32_t used = kUntouched;
        char *errorPos = nullptr;
        const int32_t r = KXLUTF8ToUnicode(bytes.c_str(), 2 * out.size(), out.data(), &used, &errorPos);
        if (bad < 0) {
            EXPECT_EQ(r, 0);
            EXPECT_EQ(S16(out.data()), prefix);
        } else {
            EXPECT_EQ(r, LOC_E_BAD_UTF8);
            EXPECT_EQ(errorPos, bytes.c_str() + bad);
            EXPECT_EQ(used, kUntouched);
            EXPECT_EQ(S16(out.data(), prefix.size()), prefix);
            EXPECT_EQ(out[prefix.size()], kFill);
            uint32_t size = 0;
            EXPECT_EQ(KXLUTF8ToUnicodeSize(bytes.c_str(), &size), LOC_E_BAD_UTF8);
            EXPECT_EQ(size, 2 * prefix.size());
        }
        EXPECT_TRUE(out.intact());
    }
}

}  // namespace
