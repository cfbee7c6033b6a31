// Real text in every charset, with glibc's iconv as the reference. The text
// is every string of glibc's locale sources (every script glibc knows),
// each line kept where the charset can hold all of it.
#include <quemba/converter.h>
#include <quemba/locale_services.h>
#include <quemba/standard.h>
#include <quemba/table_handle.h>

#include <dirent.h>
#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "quemba_test.h"

namespace {

constexpr const char *kLocaleSources = "/usr/share/i18n/locales";
constexpr uint32_t kGuard = 8;

// Each line with a <Uxxxx> in it, those written as the characters, BMP
// only (characters above U+FFFF are unmappable by design). Under valgrind,
// every 40th line.
const std::vector<std::u16string> &Corpus() {
    static const std::vector<std::u16string> lines = [] {
        std::set<std::u16string> unique;
        DIR *dir = opendir(kLocaleSources);
        if (dir == nullptr) return std::vector<std::u16string>{};
        // readdir64: the 32-bit readdir refuses 64-bit inode numbers.
        while (const dirent64 *entry = readdir64(dir)) {
            if (entry->d_name[0] == '.') continue;
            std::ifstream file(std::string(kLocaleSources) + "/" + entry->d_name);
            std::string line;
            while (std::getline(file, line)) {
                if (line.find("<U") == std::string::npos) continue;
                std::u16string text;
                bool bmp = true;
                for (size_t i = 0; i < line.size() && bmp; ++i) {
                    unsigned long cp = static_cast<unsigned char>(line[i]);
                    const bool raw = line.compare(i, 2, "<U") != 0;
                    if (!raw) {
                        char *end = nullptr;
                        cp = std::strtoul(line.c_str() + i + 2, &end, 16);
                        if (*end == '>') i = static_cast<size_t>(end - line.c_str());
                        else cp = '<';
                    }
                    bmp = cp != 0 && cp <= 0xFFFF && (cp < 0xD800 || cp > 0xDFFF) && (!raw || cp < 0x80);
                    text += static_cast<char16_t>(cp);
                }
                if (bmp) unique.insert(text);
            }
        }
        closedir(dir);
        const size_t stride = getenv("QUEMBA_UNDER_VALGRIND") != nullptr ? 40 : 1;
        std::vector<std::u16string> kept;
        size_t i = 0;
        for (const std::u16string &line : unique) {
            if (i++ % stride == 0) kept.push_back(line);
        }
        return kept;
    }();
    return lines;
}

// iconv between two charsets, opened once: each call converts a whole
// text from the initial state; false where iconv refuses any of it.
class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    bool operator()(const std::string &in, std::string &out) {
        if (!ok()) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.assign(in.size() * 4 + 16, '\0');
        char *src = const_cast<char *>(in.data());
        size_t srcLeft = in.size();
        char *dst = &out[0];
        size_t dstLeft = out.size();
        const bool done = iconv(cd_, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) &&
                          iconv(cd_, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1);
        out.resize(out.size() - dstLeft);
        return done && srcLeft == 0;
    }

private:
    iconv_t cd_;
};

std::string AsBytes(const std::u16string &units) {
    return std::string(reinterpret_cast<const char *>(units.data()), units.size() * 2);
}

std::u16string AsUnits(const std::string &bytes) {
    return std::u16string(reinterpret_cast<const char16_t *>(bytes.data()), bytes.size() / 2);
}

bool Separator(char16_t u) { return u == 0x5C || u == 0xA5 || u == 0x20A9 || u == 0xF8F7; }

// The corpus in the current locale's charset: the text in UTF-16 and as
// iconv writes it, and the reference both ways.
struct Text {
    std::u16string units;      // the lines the charset holds, each ending in a newline
    std::string bytes;         // iconv's bytes for them
    std::u16string decoded;    // iconv's UTF-16 for those bytes
    size_t lines = 0;
    std::vector<size_t> lineStarts;  // where each line starts in units
    std::vector<size_t> byteStarts;  // and in bytes
};

Text MakeText(const char *codeset) {
    Text t;
    Iconv toBytes(codeset, "UTF-16LE"), toUnits("UTF-16LE", codeset);
    for (const std::u16string &line : Corpus()) {
        std::string bytes;
        if (!toBytes(AsBytes(line + u'\n'), bytes)) continue;
        t.lineStarts.push_back(t.units.size());
        t.byteStarts.push_back(t.bytes.size());
        t.units += line + u'\n';
        t.bytes += bytes;
        ++t.lines;
    }
    std::string decoded;
    if (toUnits(t.bytes, decoded)) t.decoded = AsUnits(decoded);
    return t;
}

std::string Mismatch(const std::u16string &got, const std::u16string &want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    char text[96];
    std::snprintf(text, sizeof text, "sizes %zu/%zu, first difference at %zu: %04X/%04X", got.size(), want.size(), i,
                  i < got.size() ? unsigned(got[i]) : 0u, i < want.size() ? unsigned(want[i]) : 0u);
    return text;
}

std::string Mismatch(const std::string &got, const std::string &want) {
    return Mismatch(std::u16string(got.begin(), got.end()), std::u16string(want.begin(), want.end()));
}

// Bytes to UTF-16 through a handle, counted or NUL-terminated; the
// length-only mode must agree. Canaries behind the given size.
std::u16string Decode(ConverterHandle h, const std::string &bytes, bool counted) {
    const int32_t length = counted ? static_cast<int32_t>(bytes.size()) : -1;
    uint32_t need = 0;
    EXPECT_EQ(KXUXLenByteToUnicode(h, nullptr, 0, bytes.c_str(), length, &need), CVT_OK);
    std::vector<uint16_t> out(need + 1 + kGuard, 0xA5A5);
    uint32_t count = 0;
    EXPECT_EQ(KXUXLenByteToUnicode(h, out.data(), need + 1, bytes.c_str(), length, &count), CVT_OK);
    EXPECT_EQ(count, need);
    EXPECT_EQ(out[need + 1], 0xA5A5);
    return std::u16string(out.begin(), out.begin() + count);
}

template <typename Convert>
std::string Encode(const std::u16string &units, Convert convert) {
    std::u16string z = units + u'\0';
    const auto *src = reinterpret_cast<const uint16_t *>(z.c_str());
    uint32_t need = 0;
    EXPECT_EQ(convert(nullptr, 0, src, &need), CVT_OK);
    std::vector<char> out(need + 1 + kGuard, '\xA5');
    uint32_t count = 0;
    EXPECT_EQ(convert(out.data(), need + 1, src, &count), CVT_OK);
    EXPECT_EQ(count, need);
    EXPECT_EQ(out[need + 1], '\xA5');
    return std::string(out.data(), count);
}

class Charsets : public testing::TestWithParam<std::string> {};

TEST_P(Charsets, RealTextAsIconvHasIt) {
    qtest::LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    ASSERT_FALSE(Corpus().empty()) << "no locale sources in " << kLocaleSources;
    const char *codeset = nl_langinfo(CODESET);
    const Text t = MakeText(codeset);
    ASSERT_GT(t.lines, 0u);
    ASSERT_FALSE(t.decoded.empty()) << "iconv cannot read back its own " << codeset;
    RecordProperty("characters", static_cast<int>(t.units.size()));
    std::printf("%-22s %-16s %8zu lines %9zu characters\n", GetParam().c_str(), codeset, t.lines, t.units.size());

    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    // The escapes stay out of the way: the text has brackets of its own.
    ASSERT_EQ(KXUXSetScanAction(h, SCAN_NONE, SCAN_NONE), CVT_OK);
    for (bool counted : {true, false}) {
        const std::u16string got = Decode(h, t.bytes, counted);
        EXPECT_TRUE(got == t.decoded) << (counted ? "counted: " : "terminated: ") << Mismatch(got, t.decoded);
    }
    std::string got = Encode(t.units, [h](char *o, uint32_t n, const uint16_t *s, uint32_t *c) {
        return KXUXUnicodeToByte(h, o, n, s, c);
    });
    EXPECT_TRUE(got == t.bytes) << "to bytes: " << Mismatch(got, t.bytes);

    // Paths: separators aside, the same bytes.
    std::u16string path;
    for (char16_t u : t.units) {
        if (!Separator(u)) path += u;
    }
    std::string pathBytes;
    ASSERT_TRUE(Iconv(codeset, "UTF-16LE")(AsBytes(path), pathBytes));
    got = Encode(path, [h](char *o, uint32_t n, const uint16_t *s, uint32_t *c) {
        return KXUXUnicodeToBytePath(h, o, n, s, c);
    });
    EXPECT_TRUE(got == pathBytes) << "path: " << Mismatch(got, pathBytes);

    // The engine steps alone, in one step each.
    std::vector<uint16_t> units(t.decoded.size() + kGuard);
    uint32_t consumed = 0, produced = 0, noMap = 0;
    EXPECT_EQ(KXUToUnicode(0, t.bytes.c_str(), units.data(), static_cast<int32_t>(t.bytes.size()),
                           static_cast<uint32_t>(units.size()), &consumed, &produced, &noMap),
              CVT_E_SOURCE_EXHAUSTED);
    EXPECT_TRUE(std::u16string(units.begin(), units.begin() + produced) == t.decoded);
    std::vector<char> stepBytes(t.bytes.size() + kGuard);
    EXPECT_EQ(KXUToByte(0, t.units.c_str(), stepBytes.data(), -1, static_cast<uint32_t>(stepBytes.size()), &consumed,
                        &produced, &noMap),
              CVT_OK);
    EXPECT_TRUE(std::string(stepBytes.data(), produced) == t.bytes);

    // The standard shortcuts and the table-handle pair.
    ASSERT_EQ(KXUSStandardUnicodeInit(), CVT_OK);
    got = Encode(t.units, [](char *o, uint32_t n, const uint16_t *s, uint32_t *c) {
        return KXUSUnicodeToByte(o, n, s, c);
    });
    EXPECT_TRUE(got == t.bytes) << "standard: " << Mismatch(got, t.bytes);
    KXUSStandardUnicodeRelease();
    std::vector<uint16_t> local(t.decoded.size() + 1 + kGuard, 0xA5A5);
    uint32_t count = 0;
    EXPECT_EQ(KXLocalToUnicode(0, local.data(), static_cast<uint32_t>(t.decoded.size() + 1), t.bytes.c_str(), 0,
                               &count),
              0);
    EXPECT_TRUE(std::u16string(local.begin(), local.begin() + count - 1) == t.decoded) << "KXLocalToUnicode";
    std::vector<char> bytes(t.bytes.size() + 1 + kGuard, '\xA5');
    const std::u16string z = t.units + u'\0';
    EXPECT_EQ(KXUnicodeToLocal(0, bytes.data(), static_cast<uint32_t>(t.bytes.size() + 1),
                               reinterpret_cast<const uint16_t *>(z.c_str()), 0, &count),
              0);
    EXPECT_TRUE(std::string(bytes.data(), count - 1) == t.bytes) << "KXUnicodeToLocal";
    EXPECT_EQ(bytes[t.bytes.size() + 1], '\xA5');
    KXUXUnloadConverter(h);
}

// Lines cut where the conversion stops: an unmappable unit, or an escape
// in the bytes, at every offset of a line. Whatever libc kept before the
// cut comes out before it, so each side converts as it would alone.
TEST_P(Charsets, CutAtEveryOffset) {
    qtest::LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    const char *codeset = nl_langinfo(CODESET);
    const Text t = MakeText(codeset);
    ConverterHandle h = nullptr;
    ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
    ASSERT_EQ(KXUXSetScanAction(h, SCAN_ESCAPES, SCAN_NONE), CVT_OK);
    Iconv toBytes(codeset, "UTF-16LE"), toUnits("UTF-16LE", codeset);
    // A unit the charset cannot hold, and its escape.
    char16_t reject = 0;
    for (uint32_t u = 0x100; reject == 0 && u <= 0xFFFF; ++u) {
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        if (std::wcrtomb(bytes, static_cast<wchar_t>(u), &state) == static_cast<size_t>(-1)) {
            reject = static_cast<char16_t>(u);
        }
    }
    ASSERT_NE(reject, 0);
    char escape[8];
    std::snprintf(escape, sizeof escape, "[%04X]", unsigned(reject));
    const size_t step = getenv("QUEMBA_UNDER_VALGRIND") != nullptr ? 400 : t.lines / 60 + 1;
    int failures = 0;
    for (size_t i = 0; i < t.lines && failures < 5; i += step) {
        const size_t end = i + 1 < t.lines ? t.lineStarts[i + 1] : t.units.size();
        const std::u16string line = t.units.substr(t.lineStarts[i], end - t.lineStarts[i]);
        if (line.find(u'[') != std::u16string::npos) continue;  // an escape of its own
        for (size_t at = 0; at <= line.size() && failures < 5; ++at) {
            const std::u16string head = line.substr(0, at), tail = line.substr(at);
            std::string headBytes, tailBytes;
            // A syllable cut in two (TSCII) has no bytes of its own.
            if (!toBytes(AsBytes(head), headBytes) || !toBytes(AsBytes(tail), tailBytes)) continue;
            const std::string got = Encode(head + reject + tail, [h](char *o, uint32_t n, const uint16_t *s,
                                                                     uint32_t *c) {
                return KXUXUnicodeToByte(h, o, n, s, c);
            });
            const std::string want = headBytes + escape + tailBytes;
            if (got != want) {
                ++failures;
                ADD_FAILURE() << "unmappable unit at " << at << " of line " << i << ": " << Mismatch(got, want);
            }
            // The same place in the bytes, with the escape there.
            std::string headUnits, tailUnits;
            if (!toUnits(headBytes, headUnits) || !toUnits(tailBytes, tailUnits)) {
                continue;
            }
            // Every room the line's conversion can stop at: what is written
            // is the start of the whole, and never a kept character short.
            if (at == 0) {
                const std::u16string whole = Decode(h, tailBytes, true);
                for (uint32_t size = 1; size <= whole.size() + 1; ++size) {
                    std::vector<uint16_t> out(size + kGuard, 0xA5A5);
                    uint32_t count = 0;
                    const int32_t r = KXUXLenByteToUnicode(h, out.data(), size, tailBytes.c_str(),
                                                           static_cast<int32_t>(tailBytes.size()), &count);
                    if (r != (size > whole.size() ? CVT_OK : CVT_E_BUFFER_FULL) || count >= size ||
                        whole.compare(0, count, std::u16string(out.begin(), out.begin() + count)) != 0 ||
                        out[size] != 0xA5A5) {
                        ++failures;
                        ADD_FAILURE() << "line " << i << " in " << size << " units: " << r << ", " << count;
                        break;
                    }
                }
            }
            const std::u16string back = Decode(h, want, at % 2 == 0);
            const std::u16string wantBack = AsUnits(headUnits) + reject + AsUnits(tailUnits);
            if (back != wantBack) {
                ++failures;
                ADD_FAILURE() << "escape at " << at << " of line " << i << ": " << Mismatch(back, wantBack);
            }
        }
    }
    KXUXUnloadConverter(h);
}

// The multibyte helpers step by whole characters: forwards, backwards and
// counting agree, and no step ends inside a character (iconv reads every
// prefix they leave whole).
TEST_P(Charsets, HelpersStepByCharacters) {
    qtest::LocaleScope scope(GetParam());
    ASSERT_TRUE(scope.ok());
    const char *codeset = nl_langinfo(CODESET);
    const Text t = MakeText(codeset);
    Iconv toUnits("UTF-16LE", codeset);
    const size_t step = getenv("QUEMBA_UNDER_VALGRIND") != nullptr ? 400 : t.lines / 200 + 1;
    int failures = 0;
    for (size_t i = 0; i < t.lines && failures < 5; i += step) {
        const size_t end = i + 1 < t.lines ? t.byteStarts[i + 1] : t.bytes.size();
        const std::string line = t.bytes.substr(t.byteStarts[i], end - t.byteStarts[i]);
        const char *s = line.c_str();
        std::vector<const char *> forwards;
        std::mbstate_t state{};
        for (const char *p = s; *p != 0;) {
            const char *next = KXNextChar(p);
            const int32_t length = KXLmblen(p, static_cast<uint32_t>(line.size() - static_cast<size_t>(p - s)));
            if (next <= p || next != KXNextChar_r(p, &state) || length != next - p) {
                ++failures;
                ADD_FAILURE() << "line " << i << ": step at byte " << (p - s);
                break;
            }
            p = next;
            forwards.push_back(p);
            std::string prefix;
            if (!toUnits(std::string(s, p), prefix)) {
                ++failures;
                ADD_FAILURE() << "line " << i << ": a step ends inside a character at byte " << (p - s);
                break;
            }
        }
        std::vector<const char *> backwards;
        for (const char *p = s + line.size(); p != s; p = KXPrevChar(s, p)) backwards.push_back(p);
        std::reverse(backwards.begin(), backwards.end());
        if (forwards != backwards || KXLmbslen(s) != forwards.size()) {
            ++failures;
            ADD_FAILURE() << "line " << i << ": " << forwards.size() << " steps forwards, " << backwards.size()
                          << " backwards, " << KXLmbslen(s) << " counted";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, Charsets, testing::ValuesIn(qtest::CharsetLocales()),
                         [](const testing::TestParamInfo<std::string> &info) {
                             return qtest::LocaleTestName(info.param);
                         });

}  // namespace
