// The scope's bit walk against the converter's classifier: same bits, same unknown indices,
// same state afterwards, for any way of cutting the war file into pieces.
#include "scope/bit_walk.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "scope_test_support.h"
#include "signal/normaliser.h"

namespace {

struct Walked {
    std::string chars;
    std::vector<int64_t> unknown;
    std::vector<WalkedBit> bits;
    BitClassifier state;
};

// Both walks over `war`, cut into pieces of the sizes in `cuts` (repeated to the end).
void walk_both(const std::vector<uint8_t>& war, const PulseCalibration& cal, int32_t k,
               const std::vector<std::size_t>& cuts, Walked& reference, Walked& walked) {
    reference.state = make_classifier(cal, k);
    walked.state = make_classifier(cal, k);
    std::size_t at = 0;
    for (std::size_t n = 0; at < war.size(); ++n) {
        const std::size_t size = std::min(cuts[n % cuts.size()], war.size() - at);
        classify_block(reference.state, war.data() + at, size, reference.chars, reference.unknown);
        walk_bits(walked.state, war.data() + at, size, walked.bits);
        at += size;
    }
    for (const WalkedBit& b : walked.bits) {
        walked.chars += b.bit;
        if (b.bit == '?') walked.unknown.push_back(b.end);
    }
}

void expect_same(const Walked& reference, const Walked& walked) {
    EXPECT_EQ(walked.chars, reference.chars);
    EXPECT_EQ(walked.unknown, reference.unknown);
    EXPECT_EQ(walked.state.r, reference.state.r);
    EXPECT_EQ(walked.state.m, reference.state.m);
    EXPECT_EQ(walked.state.nsample, reference.state.nsample);
    EXPECT_EQ(walked.state.started, reference.state.started);
}

std::vector<uint8_t> war_of(const std::vector<std::pair<int, int>>& runs) {
    std::vector<uint8_t> war;
    for (const auto& [on, off] : runs) {
        war.insert(war.end(), static_cast<std::size_t>(on), sample_on);
        war.insert(war.end(), static_cast<std::size_t>(off), sample_off);
    }
    war.push_back(war_end_marker);
    return war;
}

} // namespace

TEST(BitWalk, ReportsWhereEachBitLiesAndHowLongItMeasured) {
    // nfill 30 (nplat 20), n0 55, n1 88, k 3: 0 range 44..66, 1 range 77..99.
    const PulseCalibration cal{30, 55, 88};
    // Silence, a 0 bit (burst 25), a 1 bit (burst 58), a short one (burst 5), a 0 bit.
    const std::vector<uint8_t> war = war_of({{0, 40}, {25, 30}, {58, 30}, {5, 30}, {25, 30}});
    BitClassifier c = make_classifier(cal, 3);
    std::vector<WalkedBit> bits;
    walk_bits(c, war.data(), war.size(), bits);
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
}

TEST(BitWalk, AFirstBitWithoutAPauseBeforeItStartsAtSampleZero) {
    const PulseCalibration cal{30, 55, 88};
    const std::vector<uint8_t> war = war_of({{25, 30}, {25, 30}});
    BitClassifier c = make_classifier(cal, 3);
    std::vector<WalkedBit> bits;
    walk_bits(c, war.data(), war.size(), bits);
    ASSERT_EQ(bits.size(), 2u);
    EXPECT_EQ(bits[0].start, 0);
    EXPECT_EQ(bits[0].end, 55);
}

TEST(BitWalk, AgreesWithTheClassifierOnRandomWarFilesCutAnyWay) {
    std::mt19937 random(9);
    // Calibrations that give nplat 0 (every on sample a bit start), a small one and the usual.
    const PulseCalibration cals[] = {{1, 3, 7}, {4, 9, 15}, {29, 55, 88}};
    const int32_t ks[] = {3, 1, -2, 7};
    for (const PulseCalibration& cal : cals) {
        for (int32_t k : ks) {
            std::vector<std::pair<int, int>> runs;
            for (int i = 0; i < 400; ++i) {
                runs.emplace_back(std::uniform_int_distribution<int>(0, 70)(random),
                                  std::uniform_int_distribution<int>(0, 45)(random));
            }
            const std::vector<uint8_t> war = war_of(runs);
            const std::vector<std::vector<std::size_t>> cuts = {
                {war.size()}, {1}, {7, 1, 64, 3}, {1000, 9}};
            for (const auto& cut : cuts) {
                SCOPED_TRACE(testing::Message()
                             << "nfill=" << cal.nfill << " k=" << k << " cut=" << cut[0]);
                Walked reference, walked;
                walk_both(war, cal, k, cut, reference, walked);
                expect_same(reference, walked);
            }
        }
    }
}

TEST(BitWalk, AgreesWithTheClassifierOnANormalisedRecording) {
    std::vector<uint8_t> war = clean_recording(200);
    int64_t n = 100;
    while (!bit_is_one(200, n))
        ++n;
    cut_pulses(war, 200, n, 6);
    dropout(war, bit_start_sample(200, 300) + 5, bit_start_sample(200, 300) + 200);
    PulseCalibration cal;
    SignalOptions settings;
    normalise_block(war.data(), static_cast<uint32_t>(war.size()), settings, cal);
    ASSERT_GT(cal.n1, cal.n0);
    war.push_back(war_end_marker);
    Walked reference, walked;
    walk_both(war, cal, 3, {4096}, reference, walked);
    expect_same(reference, walked);
    EXPECT_FALSE(reference.unknown.empty());
}
