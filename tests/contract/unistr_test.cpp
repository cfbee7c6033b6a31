// uni* strings: the tokeniser's saved position and the C locale's folding,
// which the sweep's single calls do not show.
#include <quemba/unistr.h>

#include "qtest.h"

namespace {

using namespace qtest;

uint16_t *M(std::u16string &s) { return reinterpret_cast<uint16_t *>(&s[0]); }

// Death-test suites run first, so nothing has been tokenised yet.
TEST(UniTokDeathTest, NullBeforeAnyTokenisationGivesNull) {
    EXPECT_EXIT(std::exit(unitok(nullptr, U(u",")) == nullptr ? 0 : 1), testing::ExitedWithCode(0), "");
}

// The text is cut in place; a later call may bring other delimiters; a new
// string forgets the old one.
TEST(UniTok, KeepsItsPositionAcrossCalls) {
    std::u16string text = u"a,b;c", other = u"x y";
    EXPECT_EQ(unitok(M(text), U(u",")), M(text));
    EXPECT_EQ(unitok(nullptr, U(u";")), M(text) + 2);
    EXPECT_EQ(text, std::u16string(u"a\0b\0c", 5));
    EXPECT_EQ(unitok(M(other), U(u" ")), M(other));
    EXPECT_EQ(unitok(nullptr, U(u" ")), M(other) + 2);
    EXPECT_TRUE(unitok(nullptr, U(u" ")) == nullptr && unitok(nullptr, U(u" ")) == nullptr);
}

}  // namespace
