// Over many generated inputs, every locale, every no-map and scan action and
// every output size: the length-only count is what the conversion writes
// given room, and a smaller buffer gets a prefix of that, terminated where
// the function terminates, with the canaries intact.
#include "driver_test.h"

#include <cstdio>

namespace {

using dtest::ByteOutcome;
using dtest::Loaded;
using dtest::UniOutcome;
using qtest::LocaleScope;

constexpr uint32_t kSlack = 32;

std::string Hex(const std::u16string &s) {
    std::string out;
    char buf[8];
    for (char16_t c : s) {
        std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
        out += buf;
    }
    return out;
}
std::string Hex(const std::string &s) {
    std::string out;
    char buf[8];
    for (char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
        out += buf;
    }
    return out;
}

// The result of a call that stopped after `count` of the `needed` units.
template <typename Outcome>
void ExpectPrefixResult(const Outcome &o, uint32_t needed, int32_t finalResult) {
    if (o.count < needed) {
        EXPECT_EQ(o.result, CVT_E_BUFFER_FULL);
    } else if (o.result != finalResult) {
        // Stopping exactly at the last unit may hide why the input ended.
        EXPECT_NE(finalResult, CVT_OK);
        EXPECT_EQ(o.result, CVT_E_BUFFER_FULL);
    }
}

void CheckBytes(ConverterHandle h, const std::string &bytes, int32_t length) {
    SCOPED_TRACE("bytes " + Hex(bytes) + " length " + std::to_string(length));
    uint32_t needed = 0xDEAD, again = 0xBEEF;
    const int32_t measured = KXUXLenByteToUnicode(h, nullptr, 0, bytes.c_str(), length, &needed);
    ASSERT_EQ(KXZLSUnicodeLength(h, bytes.c_str(), length, &again), measured);
    ASSERT_EQ(again, needed);

    const UniOutcome roomy = dtest::BytesToUni(h, bytes, length, needed + 1 + kSlack);
    ASSERT_EQ(roomy.result, measured);
    ASSERT_EQ(roomy.count, needed);
    ASSERT_TRUE(roomy.terminated);
    ASSERT_TRUE(roomy.intact);

    for (uint32_t size = 0; size <= needed + 1; ++size) {
        SCOPED_TRACE("size " + std::to_string(size));
        const UniOutcome o = dtest::BytesToUni(h, bytes, length, size);
        ASSERT_TRUE(o.intact);
        if (size == 0) {
            ASSERT_EQ(o.result, CVT_E_BUFFER_FULL);
            ASSERT_EQ(o.count, 0u);
            continue;
        }
        ASSERT_LE(o.count, size - 1);
        ASSERT_TRUE(o.terminated);
        ASSERT_EQ(o.text, roomy.text.substr(0, o.count));
        ExpectPrefixResult(o, needed, measured);
        if (testing::Test::HasFailure()) return;
    }
}

void CheckUnits(bool path, ConverterHandle h, const std::u16string &text) {
    SCOPED_TRACE(std::string(path ? "path " : "text ") + Hex(text));
    const dtest::UniToByteFn unterm = path ? KXUXUnicodeToUntermBytePath : KXUXUnicodeToUntermByte;
    const dtest::UniToByteFn term = path ? KXUXUnicodeToBytePath : KXUXUnicodeToByte;
    const uint16_t *src = qtest::U(text);

    uint32_t needed = 0xDEAD, again = 0xBEEF, third = 0xF00D;
    const int32_t measured = unterm(h, nullptr, 0, src, &needed);
    ASSERT_EQ(term(h, nullptr, 0, src, &again), measured);
    ASSERT_EQ(again, needed);
    ASSERT_EQ((path ? KXZBytePathLength : KXZByteLength)(h, src, &third), measured);
    ASSERT_EQ(third, needed);

    const ByteOutcome roomy = dtest::UniToBytes(unterm, h, text, needed + kSlack);
    ASSERT_EQ(roomy.result, measured);
    ASSERT_EQ(roomy.count, needed);
    ASSERT_TRUE(roomy.intact);
    const ByteOutcome roomyTerm = dtest::UniToBytes(term, h, text, needed + 1 + kSlack);
    ASSERT_EQ(roomyTerm.result, measured);
    ASSERT_EQ(roomyTerm.text, roomy.text);
    ASSERT_TRUE(roomyTerm.terminated);

    for (uint32_t size = 0; size <= needed + 1; ++size) {
        SCOPED_TRACE("size " + std::to_string(size));
        const ByteOutcome u = dtest::UniToBytes(unterm, h, text, size);
        ASSERT_TRUE(u.intact);
        ASSERT_LE(u.count, size);
        ASSERT_EQ(u.text, roomy.text.substr(0, u.count));
        ExpectPrefixResult(u, needed, measured);

        const ByteOutcome t = dtest::UniToBytes(term, h, text, size);
        ASSERT_TRUE(t.intact);
        if (size == 0) {
            ASSERT_EQ(t.result, CVT_E_BUFFER_FULL);
            ASSERT_EQ(t.count, 0u);
            continue;
        }
        ASSERT_LE(t.count, size - 1);
        ASSERT_TRUE(t.terminated);
        ASSERT_EQ(t.text, roomy.text.substr(0, t.count));
        ExpectPrefixResult(t, needed, measured);
        if (testing::Test::HasFailure()) return;
    }
}

const int32_t kNoMapActions[] = {NOMAP_STOP, NOMAP_SUBSTITUTE, NOMAP_FIXER};
const int32_t kScanActions[] = {SCAN_NONE, SCAN_ESCAPES};

TEST(LengthProperty, BytesToUnicode) {
    std::mt19937 rng(20240611);
    for (const std::string &name : qtest::AllLocales()) {
        LocaleScope locale(name);
        for (int32_t noMap : kNoMapActions) {
            for (int32_t scan : kScanActions) {
                SCOPED_TRACE(name + " no-map " + std::to_string(noMap) + " scan " +
                             std::to_string(scan));
                Loaded h;
                ASSERT_EQ(KXUXSetNoMapAction(h, noMap, KEEP_SETTING), CVT_OK);
                ASSERT_EQ(KXUXSetScanAction(h, scan, KEEP_SETTING), CVT_OK);
                for (int i = 0; i < 30; ++i) {
                    const bool longOne = i < 2;
                    std::string bytes = dtest::RandomBytes(
                        rng, longOne ? 300 + rng() % 300 : rng() % 40);
                    int32_t length = -1;
                    if (i % 3 == 1) {
                        length = static_cast<int32_t>(rng() % (bytes.size() + 1));
                    } else if (i % 3 == 2 && !bytes.empty()) {
                        // Counted input with a NUL inside.
                        bytes[rng() % bytes.size()] = 0;
                        length = static_cast<int32_t>(bytes.size());
                    }
                    CheckBytes(h, bytes, length);
                    if (HasFailure()) return;
                }
            }
        }
    }
}

TEST(LengthProperty, UnicodeToBytes) {
    std::mt19937 rng(4151);
    for (const std::string &name : qtest::AllLocales()) {
        LocaleScope locale(name);
        for (int32_t noMap : kNoMapActions) {
            for (int32_t scan : kScanActions) {
                SCOPED_TRACE(name + " no-map " + std::to_string(noMap) + " scan " +
                             std::to_string(scan));
                Loaded h;
                ASSERT_EQ(KXUXSetNoMapAction(h, KEEP_SETTING, noMap), CVT_OK);
                ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, scan), CVT_OK);
                for (int i = 0; i < 30; ++i) {
                    const bool longOne = i < 2;
                    const std::u16string text =
                        dtest::RandomUnits(rng, longOne ? 300 + rng() % 200 : rng() % 30);
                    CheckUnits(false, h, text);
                    CheckUnits(true, h, text);
                    if (HasFailure()) return;
                }
            }
        }
    }
}

TEST(LengthProperty, PathsWithASeparatorAtEveryPosition) {
    const char16_t separators[] = {u'\\', u'\u00A5', u'\u20A9', u'\uF8F7'};
    std::mt19937 rng(77);
    for (const std::string &name : qtest::AllLocales()) {
        LocaleScope locale(name);
        const std::u16string base = dtest::RandomUnits(rng, 24);
        for (int32_t noMap : kNoMapActions) {
            for (int32_t scan : kScanActions) {
                SCOPED_TRACE(name + " no-map " + std::to_string(noMap) + " scan " +
                             std::to_string(scan));
                Loaded h;
                ASSERT_EQ(KXUXSetNoMapAction(h, KEEP_SETTING, noMap), CVT_OK);
                ASSERT_EQ(KXUXSetScanAction(h, KEEP_SETTING, scan), CVT_OK);
                for (size_t at = 0; at < base.size(); ++at) {
                    std::u16string path = base;
                    path[at] = separators[at % 4];
                    CheckUnits(true, h, path);
                    if (HasFailure()) return;
                }
                // Long paths: a separator every k units, across the scratch size.
                for (size_t every : {1u, 7u, 64u}) {
                    std::u16string path = dtest::RandomUnits(rng, 300);
                    for (size_t at = 0; at < path.size(); at += every) {
                        path[at] = separators[(at / every) % 4];
                    }
                    CheckUnits(true, h, path);
                    if (HasFailure()) return;
                }
            }
        }
    }
}

}  // namespace
