// UTF-8 <-> UTF-16: classification, fixed cases, malformed input with its
// position, size queries and random round trips.
#include <quemba/utf8.h>

#include <algorithm>
#include <memory>
#include <random>

#include "quemba_test.h"

namespace {

using qtest::Guarded;
using qtest::S16;
using qtest::U;

using qtest::kUnset;
constexpr uint16_t kFill = 0x5A5A;

// The rule stated as "a lead, its continuation bytes, and a value that
// needs that many bytes", independent of the bit tests of the library.
int32_t ReferenceClass(const unsigned char *b) {
    auto cont = [](unsigned c) { return c >= 0x80 && c <= 0xBF; };
    if (b[0] < 0x80) return 1;
    if (b[0] >= 0xC0 && b[0] < 0xE0 && cont(b[1])) {
        return ((b[0] & 0x1F) << 6 | (b[1] & 0x3F)) >= 0x80 ? 2 : LOC_E_BAD_UTF8;
    }
    if (b[0] >= 0xE0 && b[0] < 0xF0 && cont(b[1]) && cont(b[2])) {
        return ((b[0] & 0x0F) << 12 | (b[1] & 0x3F) << 6 | (b[2] & 0x3F)) >= 0x800 ? 3 : LOC_E_BAD_UTF8;
    }
    return LOC_E_BAD_UTF8;
}

uint16_t ReferenceDecode(const unsigned char *b, int32_t n) {
    if (n == 1) return b[0];
    if (n == 2) return static_cast<uint16_t>((b[0] & 0x1F) << 6 | (b[1] & 0x3F));
    return static_cast<uint16_t>((b[0] & 0x0F) << 12 | (b[1] & 0x3F) << 6 | (b[2] & 0x3F));
}

std::string Encode(char16_t u) {
    if (u < 0x80) return std::string(1, static_cast<char>(u));
    if (u < 0x800) return {static_cast<char>(0xC0 + u / 64), static_cast<char>(0x80 + u % 64)};
    return {static_cast<char>(0xE0 + u / 4096), static_cast<char>(0x80 + u / 64 % 64),
            static_cast<char>(0x80 + u % 64)};
}

// UTF-16 text with every length class and surrogates, paired or not.
std::u16string RandomUnits(std::mt19937 &rng) {
    static const char16_t bounds[][2] = {
        {0x01, 0x7F}, {0x80, 0x7FF}, {0x800, 0xD7FF}, {0xD800, 0xDFFF}, {0xE000, 0xFFFF}};
    std::u16string s(rng() % 11, u' ');
    for (auto &u : s) {
        const auto *b = bounds[rng() % std::size(bounds)];
        u = static_cast<char16_t>(b[0] + rng() % (b[1] - b[0] + 1));
    }
    return s;
}

TEST(ClassifyUTF8, MatchesReferenceOnEveryThreeBytePrefix) {
    int mismatches = 0;
    for (unsigned v = 0; v < (1u << 24); ++v) {
        const unsigned char b[3] = {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v)};
        if (_ClassifyUTF8Char(reinterpret_cast<const char *>(b)) != ReferenceClass(b) && ++mismatches < 10) {
            ADD_FAILURE() << std::hex << v;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// A lead byte right before the terminator: nothing after it is read (ASan
// sees a read past these exactly sized blocks).
TEST(ClassifyUTF8, StopsAtTheTerminator) {
    for (std::string bytes : {"\xC3", "\xE2", "\xE2\x82"}) {
        auto block = std::make_unique<char[]>(bytes.size() + 1);
        std::copy(bytes.c_str(), bytes.c_str() + bytes.size() + 1, block.get());
        EXPECT_EQ(_ClassifyUTF8Char(block.get()), LOC_E_BAD_UTF8);
        uint32_t size = kUnset;
        EXPECT_EQ(KXLUTF8ToUnicodeSize(block.get(), &size), LOC_E_BAD_UTF8);
        EXPECT_EQ(size, 0u);
    }
}

TEST(UTF8ToUnicode, FixedCases) {
    const std::u16string N(1, 0);
    const struct {
        std::string input;
        uint32_t outputSize;
        int32_t result;
        std::u16string written;  // terminator included if any
        uint32_t outSize;        // kUnset: not written
        ptrdiff_t errorAt;       // -1: none
    } cases[] = {
        {"\xE2\x82\xAC", 4, 0, u"\x20AC" + N, 4, -1}, {"\xE2\x82\xAC", 3, LOC_E_BUFFER_TOO_SMALL, u"", 4, -1},
        {"x\xC3\xA9\xE2\x82\xAC", 7, LOC_E_BUFFER_TOO_SMALL, u"x\x00E9", 8, -1},
        {"\xED\xA0\x80\xED\xB0\x80", 6, 0, u"\xD800\xDC00" + N, 6, -1},
        // Malformed at the start, in the middle and at the end.
        {"\xF0\x9F\x98\x80", 16, LOC_E_BAD_UTF8, u"", kUnset, 0}, {"xy\x80z", 16, LOC_E_BAD_UTF8, u"xy", kUnset, 2},
        {"x\xE2\x82", 16, LOC_E_BAD_UTF8, u"x", kUnset, 1},
        // Overlong forms: no hidden NUL or ASCII gets through.
        {"x\xC0\x80y", 16, LOC_E_BAD_UTF8, u"x", kUnset, 1}, {"\xC1\x81", 16, LOC_E_BAD_UTF8, u"", kUnset, 0},
        {"x\xE0\x81\x81", 16, LOC_E_BAD_UTF8, u"x", kUnset, 1},
        // Malformed before the output fills: -506; after: -500 with the
        // size of the sequences before the malformed one.
        {"\xFFxy", 2, LOC_E_BAD_UTF8, u"", kUnset, 0}, {"xy\xFF", 4, LOC_E_BUFFER_TOO_SMALL, u"x", 4, -1},
        // Empty input: the terminator only when it fits.
        {"", 2, 0, N, 2, -1}, {"", 1, LOC_E_BUFFER_TOO_SMALL, u"", 2, -1}, {"xy", 5, LOC_E_BUFFER_TOO_SMALL, u"x", 6, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.input.size() << " bytes, size " << c.outputSize);
        Guarded<uint16_t> out(c.outputSize / 2, kFill);
        uint32_t outSize = kUnset;
        char mark = 0;
        char *errorPos = &mark;  // must be reset
        EXPECT_EQ(KXLUTF8ToUnicode(c.input.c_str(), c.outputSize, out.data(), &outSize, &errorPos), c.result);
        EXPECT_EQ(S16(out.data(), out.size()), c.written + std::u16string(out.size() - c.written.size(), kFill));
        EXPECT_TRUE(out.intact() && outSize == c.outSize);
        EXPECT_EQ(errorPos, c.errorAt < 0 ? nullptr : c.input.c_str() + c.errorAt);
        // Size query: a null output, malformed sequences not reported.
        uint32_t needed = kUnset, queried = kUnset;
        KXLUTF8ToUnicodeSize(c.input.c_str(), &needed);
        EXPECT_EQ(KXLUTF8ToUnicode(c.input.c_str(), 99, nullptr, &queried, &errorPos), LOC_E_BUFFER_TOO_SMALL);
        EXPECT_TRUE(queried == needed && errorPos == nullptr);
    }
}

TEST(UnicodeToUTF8, FixedCases) {
    const struct {
        std::u16string input;
        uint32_t outputSize;
        int32_t result;
        std::string written;  // terminator included if any
        uint32_t outSize;
    } cases[] = {
        {u"", 1, 0, std::string(1, '\0'), 1}, {u"", 0, LOC_E_BUFFER_TOO_SMALL, "", 1},
        {u"\x20AC", 3, LOC_E_BUFFER_TOO_SMALL, "", 4}, {u"A\x00E9\x20AC", 6, LOC_E_BUFFER_TOO_SMALL, "A\xC3\xA9", 7},
        {u"\xD800\xDC00", 7, 0, std::string("\xED\xA0\x80\xED\xB0\x80", 7), 7},
        {u"\x007F\x0080\x07FF\x0800\xFFFF", 12, 0,
         std::string("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", 12), 12},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(KXLUnicodeToUTF8Size(U(c.input)), c.outSize);
        Guarded<char> out(c.outputSize, 'Z');
        uint32_t outSize = kUnset, queried = kUnset;
        EXPECT_EQ(KXLUnicodeToUTF8(U(c.input), c.outputSize, out.data(), &outSize), c.result);
        EXPECT_EQ(std::string(out.data(), out.size()), c.written + std::string(out.size() - c.written.size(), 'Z'));
        EXPECT_TRUE(out.intact() && outSize == c.outSize);
        EXPECT_EQ(KXLUnicodeToUTF8(U(c.input), 99, nullptr, &queried), LOC_E_BUFFER_TOO_SMALL);
        EXPECT_EQ(queried, c.outSize);
    }
}

// Out and back; the sizes the queries give are the sizes the conversions
// use; every smaller output holds whole units or sequences only. Then one
// damaged byte: either still acceptable, or reported at the sequence where
// the reference walk stops, the text before it converted.
TEST(UTF8RoundTrip, RandomUnitsSurviveSizesAgreeDamageIsFound) {
    std::mt19937 rng(42);
    const unsigned char damage[] = {0x80, 0xBF, 0xC0, 0xC1, 0xE0, 0xF0, 0xF8, 0xFF, 'x'};
    for (int round = 0; round < 2000; ++round) {
        const std::u16string text = RandomUnits(rng);
        std::string expected;
        std::vector<size_t> ends{0};
        for (char16_t u : text) ends.push_back((expected += Encode(u)).size());
        SCOPED_TRACE(testing::Message() << "round " << round);
        const uint32_t utf8Size = KXLUnicodeToUTF8Size(U(text));
        ASSERT_EQ(utf8Size, expected.size() + 1);
        Guarded<char> utf8(utf8Size, 'Z');
        uint32_t used = 0, utf16Size = 0, again = 0;
        ASSERT_EQ(KXLUnicodeToUTF8(U(text), utf8Size, utf8.data(), &used), 0);
        EXPECT_TRUE(used == utf8Size && std::string(utf8.data(), utf8Size) == expected + '\0');
        EXPECT_EQ(KXLUTF8ToUnicodeSize(utf8.data(), &utf16Size), 0);
        EXPECT_EQ(utf16Size, 2 * text.size() + 2);
        Guarded<uint16_t> back(text.size() + 1, kFill);
        ASSERT_EQ(KXLUTF8ToUnicode(utf8.data(), utf16Size, back.data(), &again, nullptr), 0);
        EXPECT_TRUE(again == utf16Size && S16(back.data(), back.size()) == text + u'\0');
        EXPECT_TRUE(utf8.intact() && back.intact());
        for (uint32_t size = 0; size < utf8Size; ++size) {
            Guarded<char> part(size, 'Z');
            const size_t fits = size == 0 ? 0 : *std::prev(std::upper_bound(ends.begin(), ends.end(), size - 1));
            EXPECT_EQ(KXLUnicodeToUTF8(U(text), size, part.data(), &used), LOC_E_BUFFER_TOO_SMALL);
            EXPECT_TRUE(used == utf8Size && part.intact());
            EXPECT_EQ(std::string(part.data(), size), expected.substr(0, fits) + std::string(size - fits, 'Z'));
        }
        for (uint32_t size = 0; size < utf16Size; ++size) {
            Guarded<uint16_t> part(size / 2, kFill);
            const size_t fits = size < 2 ? 0 : size / 2 - 1;
            EXPECT_EQ(KXLUTF8ToUnicode(utf8.data(), size, part.data(), &used, nullptr), LOC_E_BUFFER_TOO_SMALL);
            EXPECT_TRUE(used == utf16Size && part.intact());
            EXPECT_EQ(S16(part.data(), part.size()), text.substr(0, fits) + std::u16string(part.size() - fits, kFill));
        }

        if (expected.empty()) continue;
        std::string bytes = expected;
        bytes[rng() % bytes.size()] = static_cast<char>(damage[round % std::size(damage)]);
        std::u16string prefix;
        size_t at = 0;
        int32_t n = 1;
        for (; at < bytes.size(); at += n) {
            const auto *b = reinterpret_cast<const unsigned char *>(bytes.c_str() + at);
            if ((n = ReferenceClass(b)) < 0) break;
            prefix += ReferenceDecode(b, n);
        }
        const bool bad = n < 0;
        Guarded<uint16_t> out(bytes.size() + 1, kFill);
        uint32_t size = kUnset;
        char *errorPos = nullptr;
        used = kUnset;
        EXPECT_EQ(KXLUTF8ToUnicode(bytes.c_str(), 2 * out.size(), out.data(), &used, &errorPos), bad ? LOC_E_BAD_UTF8 : 0);
        EXPECT_EQ(errorPos, bad ? bytes.c_str() + at : nullptr);
        EXPECT_EQ(used, bad ? kUnset : 2 * prefix.size() + 2);
        EXPECT_EQ(S16(out.data(), prefix.size() + 1), prefix + static_cast<char16_t>(bad ? kFill : 0));
        EXPECT_EQ(KXLUTF8ToUnicodeSize(bytes.c_str(), &size), bad ? LOC_E_BAD_UTF8 : 0);
        EXPECT_TRUE(size == 2 * prefix.size() + (bad ? 0 : 2) && out.intact());
    }
}

}  // namespace
