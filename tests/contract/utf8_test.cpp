// UTF-8 <-> UTF-16: the classification of every three-byte start, reads
// that stop at the terminator, and examples by hand.
#include <quemba/utf8.h>

#include <memory>

#include "models.h"
#include "qtest.h"

namespace {

using namespace qtest;

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

// Encoded surrogates pass on purpose (the library reads its own output
// back); overlong forms and four-byte sequences do not.
TEST(UTF8ToUnicode, Examples) {
    const std::u16string N(1, 0);
    const struct { std::string input; uint32_t size; int32_t result; std::u16string written; uint32_t outSize; ptrdiff_t errorAt; } rows[] = {
        {"\xE2\x82\xAC", 4, 0, u"\x20AC" + N, 4, -1},     {"x\xC3\xA9\xE2\x82\xAC", 7, LOC_E_BUFFER_TOO_SMALL, u"x\x00E9", 8, -1},
        {"\xED\xA0\x80\xED\xB0\x80", 6, 0, u"\xD800\xDC00" + N, 6, -1},
        {"\xF0\x9F\x98\x80", 16, LOC_E_BAD_UTF8, u"", kUnset, 0}, {"x\xC0\x80y", 16, LOC_E_BAD_UTF8, u"x", kUnset, 1},
        {"x\xE0\x81\x81", 16, LOC_E_BAD_UTF8, u"x", kUnset, 1},
        // Malformed after the output filled up: too small, with the size of what came before.
        {"xy\xFF", 4, LOC_E_BUFFER_TOO_SMALL, u"x", 4, -1}, {"\xFFxy", 2, LOC_E_BAD_UTF8, u"", kUnset, 0},
        {"", 2, 0, N, 2, -1},                                 {"", 1, LOC_E_BUFFER_TOO_SMALL, u"", 2, -1},
    };
    for (const auto &row : rows) {
        Guarded<uint16_t> out(row.size / 2);
        uint32_t outSize = kUnset;
        char mark = 0, *errorPos = &mark;
        EXPECT_EQ(KXLUTF8ToUnicode(row.input.c_str(), row.size, out.data(), &outSize, &errorPos), row.result);
        EXPECT_TRUE(S16(out.data(), row.written.size()) == row.written && out.untouchedFrom(row.written.size()) &&
                    out.intact() && outSize == row.outSize && errorPos == (row.errorAt < 0 ? nullptr : row.input.c_str() + row.errorAt))
            << (&row - rows);
    }
}

}  // namespace
