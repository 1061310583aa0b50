#include "signal/normaliser.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>
#include "support/reference_walks.h"

namespace {

std::vector<uint8_t> all_values() {
    std::vector<uint8_t> v(256);
    for (int i = 0; i < 256; ++i) v[i] = static_cast<uint8_t>(i);
    return v;
}

// On/off samples from a picture: '#' on, '.' off.
std::vector<uint8_t> samples(const std::string& picture) {
    std::vector<uint8_t> v;
    for (char c : picture) v.push_back(c == '#' ? sample_on : sample_off);
    return v;
}

std::string picture(const std::vector<uint8_t>& v) {
    std::string s;
    for (uint8_t b : v) s += b != 0 ? '#' : '.';
    return s;
}

} // namespace

TEST(Threshold, DefaultLeavesTheMiddleBandOff) {
    std::vector<uint8_t> v = all_values();
    threshold_block(v.data(), v.size(), 30);
    for (int i = 0; i < 256; ++i) {
        const bool on = i <= 112 || i >= 143;
        EXPECT_EQ(v[i], on ? sample_on : sample_off) << i;
    }
}

TEST(Threshold, MatchesTheLevelRuleForEveryThreshold) {
    for (int32_t t : {INT32_MIN, -5, 0, 1, 2, 30, 100, 253, 254, 255, 256, 1000, INT32_MAX}) {
        std::vector<uint8_t> v = all_values();
        threshold_block(v.data(), v.size(), t);
        for (int i = 0; i < 256; ++i) {
            const bool on = sample_level(static_cast<uint8_t>(i)) >= t;
            ASSERT_EQ(v[i], on ? sample_on : sample_off) << "threshold " << t << " sample " << i;
        }
    }
}

TEST(SampleLevel, IsTheDoubledDistanceFromTheMiddle) {
    EXPECT_EQ(sample_level(0), 254);
    EXPECT_EQ(sample_level(255), 254);
    EXPECT_EQ(sample_level(127), 0);
    EXPECT_EQ(sample_level(128), 0);
    EXPECT_EQ(sample_level(112), 30);
    EXPECT_EQ(sample_level(143), 30);
}

TEST(FillGaps, ShortRunsClosedLateEnoughAreFilled) {
    // nfill 40, q 10: nine off samples closed at index 11 are filled, closed at index 10 not.
    std::vector<uint8_t> late = samples("##.........#");
    fill_gaps(late.data(), late.size(), 40);
    EXPECT_EQ(picture(late), "############");

    std::vector<uint8_t> early = samples("#.........#");
    fill_gaps(early.data(), early.size(), 40);
    EXPECT_EQ(picture(early), "#.........#");

    std::vector<uint8_t> ten = samples("#####..........#");
    fill_gaps(ten.data(), ten.size(), 40);
    EXPECT_EQ(picture(ten), "#####..........#");
}

TEST(FillGaps, RunsAtTheBlockEdgesStay) {
    std::vector<uint8_t> v = samples("..##############..#.##..");
    fill_gaps(v.data(), v.size(), 40);
    EXPECT_EQ(picture(v), "..####################..");
}

TEST(FillGaps, AgreesWithThePlainWalkOnRandomBlocks) {
    std::mt19937 random(1);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> block(random() % 3000);
        // Runs of random length, so that both short gaps and long pauses occur.
        std::size_t i = 0;
        bool on = random() % 2;
        while (i < block.size()) {
            std::size_t run = 1 + random() % (on ? 40 : 25);
            for (; run > 0 && i < block.size(); --run) block[i++] = on ? sample_on : sample_off;
            on = !on;
        }
        const int32_t longest_pause = static_cast<int32_t>(random() % 100);
        std::vector<uint8_t> expected = block;
        fill_gaps_reference(expected, longest_pause);
        fill_gaps(block.data(), block.size(), longest_pause);
        ASSERT_EQ(picture(block), picture(expected)) << "round " << round;
    }
}

TEST(MeasureNfill, LongestClosedRunInsideTheThirdQuarter) {
    // 16 samples: the window is [8, 12).
    EXPECT_EQ(measure_longest_pause(samples("################").data(), 16), 0);
    EXPECT_EQ(measure_longest_pause(samples("########..#.####").data(), 16), 2);
    // A run open at the window's end is not counted.
    EXPECT_EQ(measure_longest_pause(samples("#########...####").data(), 16), 0);
    // A run that began before the window is counted from the window's start.
    EXPECT_EQ(measure_longest_pause(samples("#.........#.####").data(), 16), 2);
    // Fewer than four samples: an empty window.
    for (uint32_t n = 0; n < 4; ++n) EXPECT_EQ(measure_longest_pause(samples("#.#.").data(), n), 0);
}

TEST(NormaliseBlock, SaysNfillWasMeasuredWhileItIsZero) {
    SignalOptions settings;
    PulseCalibration calibration;
    std::vector<uint8_t> block(8, 128);
    BlockMeasurement m = normalise_block(block.data(), 8, settings, calibration);
    EXPECT_TRUE(m.pause_measured);
    EXPECT_FALSE(m.calibrated);
    EXPECT_EQ(m.block_length, 8u);
    EXPECT_EQ(m.calibration.longest_pause, 0);
    EXPECT_EQ(block, std::vector<uint8_t>(8, sample_off));

    m = normalise_block(block.data(), 0, settings, calibration);
    EXPECT_TRUE(m.pause_measured);
    EXPECT_EQ(m.block_length, 0u);
}

TEST(NormaliseBlock, LaterBlocksOnlyThresholdAndFill) {
    SignalOptions settings;
    PulseCalibration calibration{40, 55, 88};
    std::vector<uint8_t> block{200, 200, 200, 200, 200, 200, 200, 200, 200, 200,
                               200, 200, 128, 128, 200, 128};
    const BlockMeasurement m =
        normalise_block(block.data(), static_cast<uint32_t>(block.size()), settings, calibration);
    EXPECT_FALSE(m.pause_measured);
    EXPECT_FALSE(m.calibrated);
    EXPECT_EQ(picture(block), "###############.");
    EXPECT_EQ(calibration.longest_pause, 40);
}
