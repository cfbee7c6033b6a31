// UTF-8 <-> UTF-16: reads that stop at the terminator (the sweep holds the
// rest to the model).
#include <quemba/utf8.h>

#include <memory>

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

}  // namespace
