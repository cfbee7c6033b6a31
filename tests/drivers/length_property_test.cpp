// Over generated input, every test locale, every no-map and scan action and
// every output size from 0 up: the length-only count is what the conversion
// writes given room, and a smaller buffer gets a prefix of that, terminated
// where the function terminates, with the count matching and canaries intact.
#include "driver_test.h"

namespace {

template <typename Outcome, typename String>
void CheckSmaller(const Outcome &o, uint32_t size, bool terminates, const String &full,
                  int32_t finalResult) {
    SCOPED_TRACE("size " + std::to_string(size));
    ASSERT_TRUE(o.intact);
    if (terminates && size == 0) {  // no room even for the terminator: nothing written
        ASSERT_TRUE(o.result == CVT_E_BUFFER_FULL && o.count == 0);
        return;
    }
    ASSERT_LE(o.count, terminates ? size - 1 : size);
    ASSERT_TRUE(o.terminated || !terminates);
    ASSERT_EQ(o.text, full.substr(0, o.count));
    if (o.count < full.size()) {
        ASSERT_EQ(o.result, CVT_E_BUFFER_FULL);
    } else if (o.result != finalResult) {  // stopped right at the end: why it ended is unseen
        ASSERT_TRUE(finalResult != CVT_OK && o.result == CVT_E_BUFFER_FULL);
    }
}

void CheckBytes(ConverterHandle h, const std::string &bytes, int32_t length) {
    SCOPED_TRACE(testing::PrintToString(bytes) + " length " + std::to_string(length));
    uint32_t needed = 0xDEAD, again = 0xBEEF;
    const int32_t measured = KXUXLenByteToUnicode(h, nullptr, 0, bytes.c_str(), length, &needed);
    ASSERT_EQ(KXZLSUnicodeLength(h, bytes.c_str(), length, &again), measured);
    ASSERT_EQ(again, needed);
    const auto roomy = dtest::BytesToUni(h, bytes, length, needed + 33);
    ASSERT_TRUE(roomy.result == measured && roomy.count == needed && roomy.terminated && roomy.intact);
    for (uint32_t size = 0; size <= needed + 1 && !testing::Test::HasFailure(); ++size) {
        CheckSmaller(dtest::BytesToUni(h, bytes, length, size), size, true, roomy.text, measured);
    }
}

void CheckUnits(bool path, ConverterHandle h, const std::u16string &text) {
    SCOPED_TRACE(testing::PrintToString(text) + (path ? " as a path" : ""));
    const dtest::UniToByteFn unterm = path ? KXUXUnicodeToUntermBytePath : KXUXUnicodeToUntermByte;
    const dtest::UniToByteFn term = path ? KXUXUnicodeToBytePath : KXUXUnicodeToByte;
    const uint16_t *src = qtest::U(text);
    uint32_t needed = 0xDEAD, again = 0xBEEF, third = 0xF00D;
    const int32_t measured = unterm(h, nullptr, 0, src, &needed);
    ASSERT_EQ(term(h, nullptr, 0, src, &again), measured);
    ASSERT_EQ((path ? KXZBytePathLength : KXZByteLength)(h, src, &third), measured);
    ASSERT_TRUE(again == needed && third == needed);
    const auto roomy = dtest::UniToBytes(unterm, h, text, needed + 32);
    ASSERT_TRUE(roomy.result == measured && roomy.count == needed && roomy.intact);
    for (uint32_t size = 0; size <= needed + 1 && !testing::Test::HasFailure(); ++size) {
        CheckSmaller(dtest::UniToBytes(unterm, h, text, size), size, false, roomy.text, measured);
        CheckSmaller(dtest::UniToBytes(term, h, text, size), size, true, roomy.text, measured);
    }
}

// Runs `check` with a converter set to each combination of the actions.
template <typename Check>
void ForEverySetting(bool byteSide, Check check) {
    for (const std::string &name : qtest::AllLocales()) {
        qtest::LocaleScope locale(name);
        for (int32_t noMap : {NOMAP_STOP, NOMAP_SUBSTITUTE, NOMAP_FIXER}) {
            for (int32_t scan : {SCAN_NONE, SCAN_ESCAPES}) {
                SCOPED_TRACE(name + " no-map " + std::to_string(noMap) + " scan " + std::to_string(scan));
                dtest::Loaded h;
                ASSERT_EQ(KXUXSetNoMapAction(h, byteSide ? noMap : -1, byteSide ? -1 : noMap), CVT_OK);
                ASSERT_EQ(KXUXSetScanAction(h, byteSide ? scan : -1, byteSide ? -1 : scan), CVT_OK);
                check(h);
                if (testing::Test::HasFailure()) return;
            }
        }
    }
}

TEST(LengthProperty, BytesToUnicode) {
    std::mt19937 rng(20240611);
    ForEverySetting(true, [&](ConverterHandle h) {
        for (int i = 0; i < 30 && !HasFailure(); ++i) {
            std::string bytes = dtest::RandomBytes(rng, i < 2 ? 300 + rng() % 300 : rng() % 40);
            int32_t length = -1;
            if (i % 3 == 1) length = static_cast<int32_t>(rng() % (bytes.size() + 1));
            if (i % 3 == 2 && !bytes.empty()) {  // counted, with a NUL inside
                bytes[rng() % bytes.size()] = 0;
                length = static_cast<int32_t>(bytes.size());
            }
            CheckBytes(h, bytes, length);
        }
    });
}

TEST(LengthProperty, UnicodeToBytes) {
    std::mt19937 rng(4151);
    ForEverySetting(false, [&](ConverterHandle h) {
        for (int i = 0; i < 30 && !HasFailure(); ++i) {
            const std::u16string text = dtest::RandomUnits(rng, i < 2 ? 300 + rng() % 100 : rng() % 30);
            CheckUnits(false, h, text);
            CheckUnits(true, h, text);
        }
    });
}

TEST(LengthProperty, PathsWithASeparatorAtEveryPosition) {
    const char16_t separators[] = {u'\\', u'\u00A5', u'\u20A9', u'\uF8F7'};
    std::mt19937 rng(77);
    ForEverySetting(false, [&](ConverterHandle h) {
        const std::u16string base = dtest::RandomUnits(rng, 24);
        for (size_t at = 0; at < base.size() && !HasFailure(); ++at) {
            std::u16string path = base;
            path[at] = separators[at % 4];
            CheckUnits(true, h, path);
        }
        // Long paths with a separator every k units, across the scratch size.
        for (size_t every : {1u, 7u, 64u}) {
            std::u16string path = dtest::RandomUnits(rng, 300);
            for (size_t at = 0; at < path.size(); at += every) path[at] = separators[(at / every) % 4];
            CheckUnits(true, h, path);
        }
    });
}

}  // namespace
