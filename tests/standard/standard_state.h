// The standard set's reference counts, and a fixture that starts every test
// with nothing loaded.
#pragma once

#include <quemba/standard.h>

#include <gtest/gtest.h>

#include <array>

namespace qtest {

// References on byteUni, lowerCase, upperCase; 0 for a record not loaded.
inline std::array<int32_t, 3> Counts() {
    std::array<int32_t, 3> n{};
    const ConverterHandle h[] = {KXZStandardByteUni(), KXZStandardLowerCase(), KXZStandardUpperCase()};
    for (int i = 0; i < 3; ++i) n[i] = KXZCheckHandle(h[i], 0) == CVT_OK ? h[i]->refCount : 0;
    return n;
}

// Drops every reference, _unilower's included.
inline void UnloadStandardSet() {
    for (int i = 0; i < 1000 && Counts() != std::array<int32_t, 3>{}; ++i) KXUSStandardUnicodeRelease();
    ASSERT_EQ(Counts(), (std::array<int32_t, 3>{}));
}

class StandardSetTest : public ::testing::Test {
protected:
    void SetUp() override { UnloadStandardSet(); }
    void TearDown() override { UnloadStandardSet(); }
};

}  // namespace qtest
