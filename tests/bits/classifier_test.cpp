#include "bits/classifier.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bits/bit_file.h"
#include "signal/normaliser.h"
#include "support/reference_walks.h"

namespace {

// War bytes for bursts and pauses: each pair is (on samples, off samples).
std::vector<uint8_t> war_of(const std::vector<std::pair<int, int>>& bits, bool end_marker = true) {
    std::vector<uint8_t> war;
    for (const auto& [on, off] : bits) {
        war.insert(war.end(), on, sample_on);
        war.insert(war.end(), off, sample_off);
    }
    if (end_marker) war.push_back(war_end_marker);
    return war;
}

std::string classify_all(const std::vector<uint8_t>& war, const PulseCalibration& cal, int32_t k,
                         std::vector<int64_t>& unknown) {
    BitClassifier c = make_classifier(cal, k);
    std::string bits;
    classify_block(c, war.data(), war.size(), bits, unknown);
    return bits;
}

} // namespace

TEST(ToleranceRanges, DefaultDivisor) {
    const BitRanges r = tolerance_ranges(40, 90, 3);
    EXPECT_EQ(r.zero_low, 24);
    EXPECT_EQ(r.zero_high, 56);
    EXPECT_EQ(r.one_low, 74);
    EXPECT_EQ(r.one_high, 106);
    EXPECT_EQ(classify_length(56, r), '0');
    EXPECT_EQ(classify_length(60, r), '?');
    EXPECT_EQ(classify_length(74, r), '1');
    EXPECT_EQ(classify_length(23, r), '?');
    EXPECT_EQ(classify_length(107, r), '?');
}

TEST(ToleranceRanges, LargeDivisorAcceptsOnlyTheExactLengths) {
    const BitRanges r = tolerance_ranges(40, 90, 100);
    EXPECT_EQ(classify_length(40, r), '0');
    EXPECT_EQ(classify_length(41, r), '?');
    EXPECT_EQ(classify_length(90, r), '1');
    EXPECT_EQ(classify_length(89, r), '?');
}

TEST(ToleranceRanges, NegativeDivisorGivesEmptyRanges) {
    const BitRanges r = tolerance_ranges(40, 90, -3);
    for (int e = 0; e < 200; ++e) EXPECT_EQ(classify_length(e, r), '?') << e;
}

TEST(ToleranceRanges, ZeroRangeWinsWhereTheyOverlap) {
    const BitRanges r = tolerance_ranges(40, 50, 1);
    EXPECT_EQ(classify_length(45, r), '0');
    EXPECT_EQ(classify_length(55, r), '1');
}

TEST(Classifier, FirstBurstFromItsOwnStartAfterALeadingPause) {
    // nfill 30 (nplat 20): 25 leading off samples make the first on sample a bit start.
    const PulseCalibration cal{30, 55, 88};
    std::vector<uint8_t> war(25, sample_off);
    const std::vector<uint8_t> bits = war_of({{25, 30}, {58, 30}, {25, 30}});
    war.insert(war.end(), bits.begin(), bits.end());
    std::vector<int64_t> unknown;
    EXPECT_EQ(classify_all(war, cal, 3, unknown), "010");
    EXPECT_TRUE(unknown.empty());
}

TEST(Classifier, FirstBurstFromTheFileStartWithoutALeadingPause) {
    // Ten leading off samples are too short for a bit start: the first burst is measured from
    // the file's first byte, so the 10 off samples count with its 48 on samples: a 1.
    const PulseCalibration cal{30, 55, 88};
    std::vector<uint8_t> war(10, sample_off);
    const std::vector<uint8_t> bits = war_of({{48, 30}, {25, 30}});
    war.insert(war.end(), bits.begin(), bits.end());
    std::vector<int64_t> unknown;
    EXPECT_EQ(classify_all(war, cal, 3, unknown), "10");
}

TEST(Classifier, LastBurstIntoTheEndMarkerIsLost) {
    const PulseCalibration cal{30, 55, 88};
    std::vector<uint8_t> war = war_of({{25, 30}, {25, 30}, {25, 0}}, false);
    war.push_back(war_end_marker);
    std::vector<int64_t> unknown;
    EXPECT_EQ(classify_all(war, cal, 3, unknown), "00");
}

TEST(Classifier, UnknownBitsReportTheSampleIndexOfTheNextBitStart) {
    const PulseCalibration cal{30, 55, 88};
    const std::vector<uint8_t> war = war_of({{25, 30}, {40, 30}, {25, 30}});
    std::vector<int64_t> unknown;
    EXPECT_EQ(classify_all(war, cal, 3, unknown), "0?0");
    EXPECT_EQ(unknown, std::vector<int64_t>{125});
}

TEST(WalkBits, ReportsWhereEachBitLiesAndHowLongItMeasured) {
    // nfill 30 (nplat 20), n0 55, n1 88, k 3: 0 range 44..66, 1 range 77..99.
    const PulseCalibration cal{30, 55, 88};
    // Silence, a 0 bit (burst 25), a 1 bit (burst 58), a short one (burst 5), a 0 bit.
    const std::vector<uint8_t> war = war_of({{0, 40}, {25, 30}, {58, 30}, {5, 30}, {25, 30}});
    BitClassifier c = make_classifier(cal, 3);
    std::vector<WalkedBit> bits;
    walk_bits(c, war.data(), war.size(), [&](const WalkedBit& b) { bits.push_back(b); });
    ASSERT_EQ(bits.size(), 4u);
    const int64_t starts[] = {40, 95, 183, 218, 273};
    const int64_t bursts[] = {25, 58, 5, 25};
    const char chars[] = {'0', '1', '?', '0'};
    for (std::size_t i = 0; i < bits.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bits[i].start, starts[i]);
        EXPECT_EQ(bits[i].end, starts[i + 1]);
        EXPECT_EQ(bits[i].burst, bursts[i]);
        EXPECT_EQ(bits[i].length, bursts[i] + 30);
        EXPECT_EQ(bits[i].bit, chars[i]);
    }

    // Without a pause before it the first bit starts at sample 0.
    std::vector<WalkedBit> first;
    c = make_classifier(cal, 3);
    const std::vector<uint8_t> no_lead = war_of({{25, 30}, {25, 30}});
    walk_bits(c, no_lead.data(), no_lead.size(), [&](const WalkedBit& b) { first.push_back(b); });
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].start, 0);
    EXPECT_EQ(first[0].end, 55);
}

TEST(Classifier, AgreesWithThePlainWalkAcrossBlocks) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> war;
        const int bursts = 1 + static_cast<int>(random() % 60);
        for (int b = 0; b < bursts; ++b) {
            war.insert(war.end(), random() % 70, static_cast<uint8_t>(1 + random() % 255));
            war.insert(war.end(), random() % 45, sample_off);
        }
        war.push_back(war_end_marker);
        const PulseCalibration cal{static_cast<int32_t>(random() % 40),
                                   static_cast<int32_t>(random() % 80),
                                   static_cast<int32_t>(random() % 120)};
        int32_t k = static_cast<int32_t>(random() % 9) - 4;
        if (k == 0) k = 3;

        std::vector<int64_t> expected_unknown;
        const std::string expected = classify_reference(war, cal, k, expected_unknown);

        BitClassifier c = make_classifier(cal, k);
        std::string bits;
        std::vector<int64_t> unknown;
        for (std::size_t at = 0; at < war.size();) {
            const std::size_t size = std::min<std::size_t>(1 + random() % 97, war.size() - at);
            classify_block(c, war.data() + at, size, bits, unknown);
            at += size;
        }
        ASSERT_EQ(bits, expected) << "round " << round;
        ASSERT_EQ(unknown, expected_unknown) << "round " << round;
    }
}

TEST(PutBitChar, LineBreakBeforeThe65thCharacter) {
    BitLine line;
    std::string out;
    for (int i = 0; i < 64; ++i) put_bit_char(line, out, '1');
    EXPECT_EQ(out, std::string(64, '1'));
    put_bit_char(line, out, '0');
    EXPECT_EQ(out, std::string(64, '1') + "\r\n0");
    for (int i = 0; i < 63; ++i) put_bit_char(line, out, '?');
    put_bit_char(line, out, '1');
    EXPECT_EQ(out.size(), 64u + 2 + 64 + 2 + 1);
}
