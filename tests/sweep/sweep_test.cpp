// Every family of shared checks over every test locale and every input
// family: short strings exhaustively, BMP units, random text with errors,
// long texts and paths. Each input gets the next variant of the settings,
// so the settings rotate with it.
#include <cwchar>
#include <random>

#include "qtest.h"

namespace {

using qcheck::Families;

class Sweep : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { qcheck::UseLocale(GetParam()); }
    void TearDown() override { setlocale(LC_ALL, "C"); }

    // False once a failure is recorded, so a broken build stops early.
    bool Run(const std::string &bytes) { return Each([&](const qcheck::Family &f) { if (f.bytes) f.bytes(bytes, next_); }); }
    bool Run(const std::u16string &units) { return Each([&](const qcheck::Family &f) { if (f.units) f.units(units, next_); }); }
    template <typename Call>
    bool Each(Call call) {
        for (const auto &f : Families()) call(f);
        ++next_;
        return !HasFailure();
    }
    uint32_t next_ = 0;
};

// The BMP units this locale's charset can write, each with its bytes.
struct Known {
    std::vector<char16_t> units;
    std::vector<std::string> bytes;
};
Known KnownCharacters() {
    Known k;
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
        char buf[MB_LEN_MAX * 2];
        std::mbstate_t state{};
        const size_t n = std::wcrtomb(buf, static_cast<wchar_t>(u), &state);
        if (n == static_cast<size_t>(-1) || (u >= 0xD800 && u <= 0xDFFF)) continue;
        const size_t flush = std::wcrtomb(buf + n, L'\0', &state);
        k.units.push_back(static_cast<char16_t>(u));
        k.bytes.emplace_back(buf, n + flush - 1);
    }
    return k;
}

TEST_P(Sweep, EveryOneAndTwoByteString) {
    // In a charset of single bytes a pair is two characters met alone already.
    const unsigned stride = qcheck::Stride(61) * (MB_CUR_MAX == 1 ? 5 : 1);
    for (unsigned i = 0; i < 0x10100; i += stride) {
        const std::string s = i < 0x100 ? std::string(1, char(i)) : std::string{char((i - 0x100) >> 8), char(i)};
        if (!Run(s)) return;
    }
}

// Three bytes from the bytes that lead, trail, end or start a sequence in
// some charset, and the four-byte shapes of GB18030 and EUC-TW.
TEST_P(Sweep, ThreeAndFourByteStrings) {
    const std::string kBytes("\x00\x0A\x30\x39\x41\x5B\x5D\x7E\x7F\x80\x81\x8E\x8F\xA1\xC3\xE3\xF0\xFE\xFF", 19);
    const unsigned stride = qcheck::Stride(13);
    unsigned n = 0;
    for (char a : kBytes)
        for (char b : kBytes)
            for (char c : kBytes) {
                if (n++ % stride == 0 && !Run(std::string{a, b, c})) return;
            }
    for (unsigned lead : {0x81, 0x84, 0x8E, 0x90, 0xE3, 0xF4, 0xF7, 0xFE})
        for (unsigned second : {0x30, 0x39, 0x90, 0xA1, 0xA2, 0xB0})
            for (unsigned third : {0x81, 0xA1, 0xFE, 0x30})
                for (unsigned fourth : {0x30, 0x39, 0xA1, 0xFE}) {
                    if (n++ % stride == 0 && !Run(std::string{char(lead), char(second), char(third), char(fourth)})) return;
                }
}

// Each BMP unit alone, and every fifth between letters and before a bracket.
TEST_P(Sweep, EveryBmpUnit) {
    const unsigned stride = qcheck::Stride(61);
    for (uint32_t u = 1; u <= 0xFFFF; u += stride) {
        if (!Run(std::u16string(1, char16_t(u)))) return;
        if (u % 5 == 0 && !Run(std::u16string{u'a', char16_t(u), u'[', char16_t(u)})) return;
    }
}

// Known characters, ASCII, escapes written as text, refused bytes and
// units, NULs: the same random text as bytes and as units.
TEST_P(Sweep, RandomTextWithErrors) {
    const Known known = KnownCharacters();
    std::mt19937 rng(7);
    const int count = getenv("QUEMBA_QUICK") != nullptr ? 20 : 400;
    for (int i = 0; i < count; ++i) {
        std::string bytes;
        std::u16string units;
        const int length = std::uniform_int_distribution<int>(0, i % 10 == 0 ? 4000 : 60)(rng);
        for (int j = 0; j < length; ++j) {
            const unsigned pick = rng() % 16;
            if (pick < 8 && !known.units.empty()) {
                const size_t k = rng() % known.units.size();
                units += known.units[k];
                bytes += known.bytes[k];
            } else if (pick < 12) {
                const char c = "aZ09[]{}\\/:. E"[rng() % 14];
                units += char16_t(c);
                bytes += c;
            } else if (pick < 13) {
                // Escapes, and what looks like one but is not.
                static const char *const kEscapes[] = {"[00E9]", "[00e9]", "[0G41]", "[41]", "[D800]", "[005C]"};
                const std::string e = kEscapes[rng() % 6];
                units += std::u16string(e.begin(), e.end());
                bytes += e;
            } else if (pick < 15) {
                // A stray byte, or a form UTF-8 forbids: overlong, surrogate, past U+10FFFF.
                static const char *const kMalformed[] = {"\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF"};
                units += char16_t(0x80 + rng() % 0xFF80);
                bytes += rng() % 2 ? std::string(1, char(0x80 + rng() % 0x80)) : kMalformed[rng() % 4];
            } else {
                units += rng() % 4 == 0 ? u'\0' : char16_t(0xD800 + rng() % 0x800);
                bytes += rng() % 4 == 0 ? '\0' : char(0x80 + rng() % 0x80);
            }
        }
        if (!Run(bytes) || !Run(units)) return;
    }
}

// Texts longer than the pieces the length-only modes measure in and than
// the memo of libc's answers: frequent and rare characters, then an error.
TEST_P(Sweep, LongTexts) {
    const Known known = KnownCharacters();
    if (known.units.empty()) return;
    std::mt19937 rng(11);
    for (size_t length : {5000u, 9000u, 20000u}) {
        std::string bytes;
        std::u16string units;
        // Runs from one script at a time: 40 neighbours of a random character.
        size_t base = 0;
        while (units.size() < length) {
            if (rng() % 24 == 0) base = rng() % known.units.size();
            const size_t k = rng() % 8 == 0 ? rng() % known.units.size() : (base + rng() % 40) % known.units.size();
            units += known.units[k];
            bytes += known.bytes[k];
        }
        if (!Run(bytes) || !Run(units)) return;
        if (!Run(bytes + "\xFF" + bytes.substr(0, 100)) || !Run(units + u"\xDC00" + units.substr(0, 100))) return;
        // An error, and the end, at each offset of three 16-byte blocks: in
        // the text, in ASCII with a 2-byte letter now and then, in CJK.
        std::string latin, cjk;
        std::u16string latinUnits;
        for (size_t k = 0; k < 1100; ++k) {
            latin += known.bytes[(k % 9 ? 31 + k % 90 : 160 + k % 40) % known.bytes.size()];
            latinUnits += known.units[(k % 9 ? 31 + k % 90 : 160 + k % 40) % known.units.size()];
            cjk += known.bytes[(0x4DFF + k % 40) % known.bytes.size()];
        }
        static const char *const kBad[] = {"\xFF", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x9F\x98\x80", "\x80"};
        // The quick stride, prime to 16, still meets every offset in a block.
        for (size_t at = 1000; at < 1048; at += qcheck::Stride(3)) {
            for (const std::string *text : {&bytes, &latin, &cjk})
                if (!Run(text->substr(0, at) + kBad[at % 5] + text->substr(at, 40))) return;
            if (!Run(units.substr(0, at))) return;
            // A lead cut short by another at each lane of a block, the other complete.
            for (const char *cut : {"\xD5\xD5\x80", "\xE3\x81\xE3\x81\x81"})
                if (!Run(std::string(at % 16, 'a') + cut + latin.substr(0, 40))) return;
            // A terminator near the start, text after it (ASCII first) that must stay unread;
            // the units also counted past it, as the engine's steps take them in variants
            // 5875 on (with room for blocks).
            if (!Run(latin.substr(0, at % 4) + '\0' + std::string(64, 'a') + latin)) return;
            next_ += 5875;
            const bool counted = Run(latinUnits.substr(0, at % 16) + u'\0' + latinUnits);
            next_ -= 5875;
            if (!counted) return;
        }
    }
}

// Paths: separators of both kinds, drive letters, dots and what the
// charset cannot write.
TEST_P(Sweep, RandomPaths) {
    std::mt19937 rng(3);
    const std::u16string kPieces[] = {u"/", u"\\", u"C:", u".", u"..", u"dir", u"\u00E9t\u00E9", u"\u65E5\u672C",
                                      u"\u0416", u"[005C]", u"[005c]", u"\u00A5", u"\u20A9", u"\uF8F7", u"\uFFFF"};
    for (int i = 0; i < 200; ++i) {
        std::u16string path;
        for (int j = rng() % 12; j > 0; --j) path += kPieces[rng() % std::size(kPieces)];
        if (!Run(path)) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, Sweep, testing::ValuesIn(qcheck::Locales()), qtest::LocaleTestName);

}  // namespace
