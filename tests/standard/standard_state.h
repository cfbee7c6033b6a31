// State of the process-wide standard set, for the standard tests.
#pragma once

#include <quemba/standard.h>

#include <gtest/gtest.h>

namespace qtest {

// References held on a standard record; 0 when it is not loaded.
inline int32_t Count(ConverterHandle record) {
    return KXZCheckHandle(record, 0) == CVT_OK ? record->refCount : 0;
}

struct Counts {
    int32_t byteUni, lowerCase, upperCase;
    bool operator==(const Counts &) const = default;
};

inline Counts StandardCounts() {
    return {Count(KXZStandardByteUni()), Count(KXZStandardLowerCase()),
            Count(KXZStandardUpperCase())};
}

inline void PrintTo(const Counts &c, std::ostream *os) {
    *os << "{" << c.byteUni << ", " << c.lowerCase << ", " << c.upperCase << "}";
}

// Drops every reference, _unilower's included, so that each test starts
// with nothing loaded.
inline void UnloadStandardSet() {
    for (int i = 0; i < 1000 && !(StandardCounts() == Counts{0, 0, 0}); ++i) {
        KXUSStandardUnicodeRelease();
    }
    ASSERT_EQ(StandardCounts(), (Counts{0, 0, 0}));
}

class StandardSetTest : public ::testing::Test {
protected:
    void SetUp() override { UnloadStandardSet(); }
    void TearDown() override { UnloadStandardSet(); }
};

}  // namespace qtest
