// With the default settings, UTF-16 text comes back from bytes unchanged:
// what the locale cannot encode travels as unit escapes.
#include "driver_test.h"

namespace {

using dtest::Loaded;
using qtest::LocaleScope;

std::u16string RandomBmpText(std::mt19937 &rng) {
    std::uniform_int_distribution<uint32_t> unit(1, 0xFFFF);
    std::uniform_int_distribution<int> kind(0, 4);
    std::u16string s(rng() % 48, u'a');
    for (char16_t &c : s) {
        switch (kind(rng)) {
        case 0: c = static_cast<char16_t>(0x20 + rng() % 0x5F); break;  // ASCII
        case 1: c = static_cast<char16_t>(0xA0 + rng() % 0x60); break;  // Latin-1
        case 2: c = static_cast<char16_t>(0x3040 + rng() % 0x60); break;  // kana
        case 3: c = static_cast<char16_t>(0xD800 + rng() % 0x800); break;  // surrogates
        default: c = static_cast<char16_t>(unit(rng)); break;
        }
    }
    return s;
}

// Some encodings map a character one way only (EUC-JP writes U+00A5 as the
// byte 0x5C, which reads back as U+005C); no driver can bring those back.
bool LocaleMapsBack(char16_t unit) {
    std::string bytes;
    if (!dtest::Encode(std::u16string(1, unit), &bytes)) return true;
    std::mbstate_t state{};
    wchar_t wide = 0;
    return std::mbrtowc(&wide, bytes.data(), bytes.size(), &state) == bytes.size() &&
           wide == static_cast<wchar_t>(unit);
}

TEST(RoundTrip, DefaultsBringTextBack) {
    std::mt19937 rng(99);
    for (const std::string &name : qtest::AllLocales()) {
        SCOPED_TRACE(name);
        LocaleScope locale(name);
        Loaded h;
        int checked = 0, escaped = 0;
        for (int i = 0; i < 400; ++i) {
            std::u16string text = RandomBmpText(rng);
            for (char16_t &c : text) {
                if (!LocaleMapsBack(c)) c = u'x';
            }
            if (i % 5 == 0) text += u"[41][00e9][12345]";  // look-alikes that are not escapes
            if (dtest::HasUnitEscapeLookAlike(text)) continue;

            uint32_t size = 0;
            ASSERT_EQ(KXUXUnicodeToByte(h, nullptr, 0, qtest::U(text), &size), CVT_OK);
            std::string bytes(size + 1, '\x7F');
            uint32_t written = 0;
            ASSERT_EQ(KXUXUnicodeToByte(h, bytes.data(), size + 1, qtest::U(text), &written),
                      CVT_OK);
            ASSERT_EQ(written, size);
            bytes.resize(written);
            std::string direct;
            if (!dtest::Encode(text, &direct)) ++escaped;

            std::u16string back(text.size() + 1, u'?');
            uint32_t units = 0;
            ASSERT_EQ(KXUXByteToUnicode(h, reinterpret_cast<uint16_t *>(back.data()),
                                        static_cast<uint32_t>(back.size()), bytes.c_str(), &units),
                      CVT_OK);
            back.resize(units);
            ASSERT_EQ(back, text);
            ++checked;
        }
        EXPECT_GT(checked, 300);
        EXPECT_GT(escaped, 100) << "the text must include units the locale cannot encode";
    }
}

}  // namespace
