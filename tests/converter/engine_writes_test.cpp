// The engine steps write exactly the units they report as produced: the
// rest of the space stays as the caller left it, wherever a stop falls in a
// long run of plain text (the steps convert such runs in blocks).
#include <quemba/converter.h>

#include "quemba_test.h"

namespace {

using qtest::Guarded;
using qtest::LocaleScope;

constexpr uint16_t kFill = 0x5A5A;

TEST(EngineWrites, NothingBeyondWhatIsProducedToUnicode) {
    const struct {
        const char *locale;
        char stop;  // a byte that ends the run of plain text
    } cases[] = {
        {"C", '\0'}, {"C", '\x80'}, {"de_DE.ISO-8859-1", '\0'}, {"en_US.UTF-8", '\xFF'},
        {"en_US.UTF-8", '\0'}, {"ja_JP.EUC-JP", '\xFF'}, {"ru_RU.CP1251", '\0'},
    };
    for (const auto &c : cases) {
        LocaleScope scope(c.locale);
        for (uint32_t at = 0; at < 40; ++at) {
            SCOPED_TRACE(std::string(c.locale) + " stop at " + std::to_string(at));
            std::string text(48, 'q');
            text[at] = c.stop;
            Guarded<uint16_t> out(64, kFill);
            uint32_t consumed = 0, produced = 0, noMap = 0;
            KXUToUnicode(0, text.data(), out.data(), 48, 64, &consumed, &produced, &noMap);
            EXPECT_EQ(produced, at);
            for (uint32_t i = produced; i < 64; ++i) ASSERT_EQ(out[i], kFill) << "unit " << i;
            EXPECT_TRUE(out.intact());
        }
    }
}

TEST(EngineWrites, NothingBeyondWhatIsProducedToBytes) {
    for (const char *locale : {"C", "de_DE.ISO-8859-1", "en_US.UTF-8", "ja_JP.EUC-JP", "ru_RU.CP1251"}) {
        LocaleScope scope(locale);
        for (uint32_t at = 0; at < 40; ++at) {
            SCOPED_TRACE(std::string(locale) + " stop at " + std::to_string(at));
            // A lone surrogate has no multibyte form in any test locale.
            std::u16string text(48, u'q');
            text[at] = static_cast<char16_t>(0xD800);
            Guarded<char> out(64, 'Z');
            uint32_t consumed = 0, produced = 0, noMap = 0;
            EXPECT_EQ(KXUToByte(0, text.c_str(), out.data(), -1, 64, &consumed, &produced, &noMap), CVT_E_NO_MAP);
            EXPECT_EQ(produced, at);
            for (uint32_t i = produced; i < 64; ++i) ASSERT_EQ(out[i], 'Z') << "byte " << i;

            // The unterminated driver writes nothing but what it counts.
            ConverterHandle h = nullptr;
            ASSERT_EQ(KXUXLoadByteUnicodeConverter(0, &h), CVT_OK);
            ASSERT_EQ(KXUXSetNoMapAction(h, KEEP_SETTING, NOMAP_STOP), CVT_OK);
            Guarded<char> unterm(64, 'Z');
            uint32_t count = 0;
            EXPECT_EQ(KXUXUnicodeToUntermByte(h, unterm.data(), 64, qtest::U(text), &count), CVT_E_NO_MAP);
            EXPECT_EQ(count, at);
            for (uint32_t i = count; i < 64; ++i) ASSERT_EQ(unterm[i], 'Z') << "byte " << i;
            EXPECT_TRUE(out.intact() && unterm.intact());
            KXUXUnloadConverter(h);
        }
    }
}

}  // namespace
