// With the default settings UTF-16 text comes back from bytes unchanged:
// what the locale cannot encode travels as unit escapes.
#include "driver_test.h"

namespace {

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
    const uint32_t ranges[][2] = {{0x20, 0x5F}, {0xA0, 0x60}, {0x3040, 0x60}, {0xD800, 0x800}, {1, 0xFFFF}};
    for (const std::string &name : qtest::AllLocales()) {
        qtest::LocaleScope locale(name);
        dtest::Loaded h;
        int checked = 0, escaped = 0;
        for (int i = 0; i < 400; ++i) {
            std::u16string text(rng() % 48, u'a');
            for (char16_t &c : text) {
                const auto &r = ranges[rng() % 5];
                c = static_cast<char16_t>(r[0] + rng() % r[1]);
                if (!LocaleMapsBack(c)) c = u'x';
            }
            if (i % 5 == 0) text += u"[41][00e9][12345]";  // look-alikes that are no escapes
            if (dtest::HasUnitEscapeLookAlike(text)) continue;
            std::string direct;
            escaped += dtest::Encode(text, &direct) ? 0 : 1;

            uint32_t size = 0, written = 0, units = 0;
            ASSERT_EQ(KXUXUnicodeToByte(h, nullptr, 0, qtest::U(text), &size), CVT_OK);
            std::string bytes(size + 1, '\x7F');
            ASSERT_EQ(KXUXUnicodeToByte(h, bytes.data(), size + 1, qtest::U(text), &written), CVT_OK);
            std::u16string back(text.size() + 1, u'?');
            ASSERT_EQ(KXUXByteToUnicode(h, reinterpret_cast<uint16_t *>(back.data()),
                                        static_cast<uint32_t>(back.size()), bytes.c_str(), &units),
                      CVT_OK);
            ASSERT_EQ(back.substr(0, units), text) << name;
            ++checked;
        }
        EXPECT_GT(checked, 300) << name;
        EXPECT_GT(escaped, 100) << name << ": too few units the locale cannot encode";
    }
}

}  // namespace
