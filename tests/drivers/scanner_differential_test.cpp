// The default byte scanner searches with libc; here it is held to a plain
// position-by-position scan over random text full of near-escapes, NULs
// and every kind of length. Path conversions find their separators in
// blocks; they are held to a unit-by-unit search the same way.
#include <quemba/converter.h>

#include <quemba_test.h>

#include <random>

namespace {

bool IsHexDigit(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Examines positions k while length - k, as unsigned, is at least 6 and the
// byte at k is not NUL; returns the first unit escape.
const char *ReferenceScan(const char *source, int32_t length) {
    const auto *p = reinterpret_cast<const unsigned char *>(source);
    for (uint32_t k = 0; static_cast<uint32_t>(length) - k >= 6 && p[k] != 0; ++k) {
        if (p[k] == '[' && IsHexDigit(p[k + 1]) && IsHexDigit(p[k + 2]) && IsHexDigit(p[k + 3]) &&
            IsHexDigit(p[k + 4]) && p[k + 5] == ']') {
            return source + k;
        }
    }
    return nullptr;
}

std::string RandomText(std::mt19937 &rng, size_t length) {
    static const char kAlphabet[] = "[[[]]]0123456789ABCDEFabcdefxyz \x80\xC3\xA9";
    std::string s;
    while (s.size() < length) {
        switch (rng() % 8) {
        case 0:  // a whole escape
            s += "[00E9]";
            break;
        case 1:  // an escape cut short or with a wrong digit
            s += std::string("[0G41]").substr(0, 1 + rng() % 6);
            break;
        case 2:
            if (rng() % 6 == 0) s += '\0';
            break;
        default:
            s += kAlphabet[rng() % (sizeof kAlphabet - 1)];
            break;
        }
    }
    s.resize(length);
    return s;
}

TEST(ByteScannerDifferential, RandomTextAtEveryLength) {
    std::mt19937 rng(7);
    size_t compared = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(rng, rng() % 80);
        // Exactly sized storage with its NUL: an overread is a sanitizer report.
        std::vector<char> storage(text.begin(), text.end());
        storage.push_back('\0');
        const char *src = storage.data();
        const int32_t n = static_cast<int32_t>(text.size());
        for (int32_t length = -1; length <= n; ++length) {
            const char *start = src + (length > 0 ? rng() % 3 % length : 0);
            const int32_t rest = length < 0 ? -1 : length - static_cast<int32_t>(start - src);
            ASSERT_EQ(KXZByteScanner(nullptr, start, rest), ReferenceScan(start, rest))
                << "text " << testing::PrintToString(text) << " from " << (start - src) << " length " << rest;
            ++compared;
        }
    }
    EXPECT_GT(compared, 100000u);
}

TEST(ByteScannerDifferential, LongTextWithOneEscapeAnywhere) {
    std::string text(300, 'a');
    for (size_t at = 0; at + 6 <= text.size(); at += 7) {
        std::string t = text;
        t.replace(at, 6, "[20AC]");
        t[at / 2] = '[';  // a lone bracket before it
        std::vector<char> storage(t.begin(), t.end());
        storage.push_back('\0');
        for (int32_t length : {-1, static_cast<int32_t>(at + 6), static_cast<int32_t>(at + 5), 300}) {
            EXPECT_EQ(KXZByteScanner(nullptr, storage.data(), length), ReferenceScan(storage.data(), length))
                << "escape at " << at << " length " << length;
        }
    }
}

// Path conversion against the same conversion done piece by piece by hand:
// the text between separators through the plain conversion, and one 0x5C
// byte per separator.
TEST(PathSeparatorDifferential, RandomPathsMatchPiecewiseConversion) {
    qtest::LocaleScope scope("en_US.UTF-8");
    ASSERT_TRUE(scope.ok());
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    const uint16_t units[] = {'a', 'b', '/', 0x5C, 0xA5, 0x20A9, 0xF8F7, 0xE9, 0x4E2D, 0xD800, '.', 0x5B};
    std::mt19937 rng(11);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint16_t> path;
        const size_t n = rng() % 600;
        for (size_t i = 0; i < n; ++i) path.push_back(units[rng() % (sizeof units / sizeof units[0])]);
        path.push_back(0);

        std::string expected;
        std::vector<uint16_t> piece;
        auto flush = [&] {
            piece.push_back(0);
            std::vector<char> out(piece.size() * 6 + 1);
            uint32_t count = 0;
            ASSERT_EQ(KXUXUnicodeToByte(h, out.data(), static_cast<uint32_t>(out.size()), piece.data(), &count), CVT_OK);
            expected.append(out.data(), count);
            piece.clear();
        };
        for (size_t i = 0; i + 1 < path.size(); ++i) {
            const uint16_t u = path[i];
            if (u == 0x5C || u == 0xA5 || u == 0x20A9 || u == 0xF8F7) {
                flush();
                expected += '\\';
            } else {
                piece.push_back(u);
            }
        }
        flush();

        std::vector<char> out(path.size() * 6 + 1);
        uint32_t count = 0;
        ASSERT_EQ(KXUXUnicodeToBytePath(h, out.data(), static_cast<uint32_t>(out.size()), path.data(), &count), CVT_OK);
        EXPECT_EQ(std::string(out.data(), count), expected) << "round " << round;
        uint32_t measured = 0;
        ASSERT_EQ(KXUXUnicodeToBytePath(h, nullptr, 0, path.data(), &measured), CVT_OK);
        EXPECT_EQ(measured, expected.size()) << "round " << round;
    }
    KXUXUnloadConverter(h);
}

}  // namespace
