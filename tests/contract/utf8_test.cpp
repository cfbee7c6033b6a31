// UTF-8 <-> UTF-16: the classification of every three-byte start and reads
// that stop at the terminator.
#include <quemba/utf8.h>

#include <memory>

#include "models.h"
#include "qtest.h"

namespace {

using namespace qtest;

TEST(ClassifyUTF8, MatchesTheRuleOnEveryThreeByteStart) {
    int mismatches = 0;
    for (unsigned v = 0; v < (1u << 24); v += qcheck::Stride(251)) {
        const unsigned char b[3] = {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        if (_ClassifyUTF8Char(reinterpret_cast<const char *>(b)) != qref::Utf8Class(b) && ++mismatches < 10) ADD_FAILURE() << std::hex << v;
    }
}

// A lead right before the terminator: nothing after it is read (ASan sees
// a read past these exactly sized blocks).
TEST(ClassifyUTF8, StopsAtTheTerminator) {
    for (std::string bytes : {"\xC3", "\xE2", "\xE2\x82"}) {
        auto block = std::make_unique<char[]>(bytes.size() + 1);
        std::copy(bytes.c_str(), bytes.c_str() + bytes.size() + 1, block.get());
        uint32_t size = kUnset;
        EXPECT_TRUE(_ClassifyUTF8Char(block.get()) == LOC_E_BAD_UTF8 &&
                    KXLUTF8ToUnicodeSize(block.get(), &size) == LOC_E_BAD_UTF8 && size == 0u) << bytes.size();
    }
}

}  // namespace
