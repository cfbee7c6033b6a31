// The Converter record is loaded in place in caller storage, so its layout is
// fixed for both targets.
#include <quemba/converter.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

#define AT(field, i386, x86_64) \
    static_assert(offsetof(Converter, field) == (sizeof(void *) == 4 ? (i386) : (x86_64)), #field)

static_assert(sizeof(void *) == 4 || sizeof(void *) == 8);
static_assert(sizeof(Converter) == (sizeof(void *) == 4 ? 92 : 136));
static_assert(alignof(Converter) == alignof(void *));
AT(signature, 0, 0);
AT(loadTag, 4, 4);
AT(refCount, 8, 8);
AT(engineTag, 12, 12);
AT(kind, 16, 16);
AT(toUnicodeStep, 20, 24);
AT(toByteStep, 24, 32);
AT(auxFunction, 28, 40);
AT(defaultSubUni, 32, 48);
AT(defaultSubByte, 34, 50);
AT(allocated, 35, 51);
AT(subUni, 36, 52);
AT(subByte, 38, 54);
AT(byteNoMapAction, 40, 56);
AT(uniNoMapAction, 44, 60);
AT(byteScanAction, 48, 64);
AT(uniScanAction, 52, 68);
AT(byteNoMapFixer, 56, 72);
AT(uniNoMapFixer, 60, 80);
AT(byteScanner, 64, 88);
AT(uniScanner, 68, 96);
AT(byteParser, 72, 104);
AT(uniParser, 76, 112);
AT(codePage, 80, 120);
AT(subKind, 84, 124);
AT(engineData, 88, 128);

#undef AT

TEST(RecordLayout, SignatureReadsConvInMemory) {
    Converter record{};
    record.signature = CONVERTER_SIGNATURE;
    EXPECT_EQ(std::memcmp(&record.signature, "CONV", 4), 0);
}

}  // namespace
