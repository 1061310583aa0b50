#include "signal/calibration.h"

#include <gtest/gtest.h>

#include <vector>

#include "signal/normaliser.h"

namespace {

PeriodHistogram histogram_of(std::initializer_list<std::pair<int, int32_t>> counts) {
    PeriodHistogram h{};
    for (const auto& [index, count] : counts) h[index] = count;
    return h;
}

// A block whose third quarter holds bits of the given lengths: `burst` on samples, then a
// pause that makes each bit `length` long.
std::vector<uint8_t> block_with_bits(const std::vector<int>& lengths, int burst) {
    std::vector<uint8_t> bits;
    for (int length : lengths) {
        bits.insert(bits.end(), burst, sample_on);
        bits.insert(bits.end(), length - burst, sample_off);
    }
    bits.push_back(sample_on);
    // Window [s, s + s/2) with s = size/2: put the bits right at s.
    const std::size_t s = 2 * bits.size();
    std::vector<uint8_t> block(s, sample_off);
    block.insert(block.end(), bits.begin(), bits.end());
    block.resize(2 * s, sample_off);
    return block;
}

} // namespace

TEST(Peaks, TwoClearPeaks) {
    const PeriodHistogram h = histogram_of({{40, 100}, {90, 100}});
    EXPECT_EQ(lowest_peak(h, 0), 40);
    EXPECT_EQ(highest_peak(h, 0), 90);
}

TEST(Peaks, SearchPassesNeighboursAboveAQuarter) {
    const PeriodHistogram h = histogram_of({{39, 10}, {40, 100}, {41, 30}});
    EXPECT_EQ(lowest_peak(h, 0), 40);
    EXPECT_EQ(highest_peak(h, 0), 40);
}

TEST(Peaks, EmptyHistogramKeepsTheStart) {
    const PeriodHistogram h{};
    EXPECT_EQ(lowest_peak(h, 0), 0);
    EXPECT_EQ(highest_peak(h, 0), 0);
    EXPECT_EQ(lowest_peak(h, 55), 55);
}

TEST(Peaks, SmallCountsNeverStopTheSearch) {
    // While the largest count is below 4 no count is below its quarter: the searches run to
    // the far end and keep the largest.
    const PeriodHistogram h = histogram_of({{10, 3}, {300, 2}});
    EXPECT_EQ(lowest_peak(h, 0), 10);
    EXPECT_EQ(highest_peak(h, 0), 10);
}

TEST(PeriodHistogram, CountsDistancesBetweenBitStarts) {
    const std::vector<uint8_t> block = block_with_bits({55, 88, 55, 55, 88}, 30);
    const PeriodHistogram h = period_histogram(block.data(), static_cast<uint32_t>(block.size()), 10);
    // The walk starts at the second bit start (the first burst is skipped as "inside a burst").
    EXPECT_EQ(h[55], 2);
    EXPECT_EQ(h[88], 2);
}

TEST(PeriodHistogram, DistancesOf512OrMoreAreNotCounted) {
    const std::vector<uint8_t> block = block_with_bits({600, 600, 600, 600}, 30);
    const PeriodHistogram h = period_histogram(block.data(), static_cast<uint32_t>(block.size()), 10);
    EXPECT_EQ(h, PeriodHistogram{});
}

TEST(CalibrateBitLengths, SetsTheLengths) {
    std::vector<int> lengths;
    for (int i = 0; i < 40; ++i) lengths.push_back(i % 3 == 0 ? 88 : 55);
    const std::vector<uint8_t> block = block_with_bits(lengths, 30);
    PulseCalibration c{30, 0, 0};
    calibrate_bit_lengths(block.data(), static_cast<uint32_t>(block.size()), c);
    EXPECT_EQ(c.zero_length, 55);
    EXPECT_EQ(c.one_length, 88);
}

TEST(CalibrateBitLengths, NoPauseLongEnoughLeavesBothAtZero) {
    const std::vector<uint8_t> block(4000, sample_on);
    PulseCalibration c{30, 0, 0};
    calibrate_bit_lengths(block.data(), 4000, c);
    EXPECT_EQ(c.zero_length, 0);
    EXPECT_EQ(c.one_length, 0);
}

TEST(Nplat, TwoThirdsRoundedTowardsZero) {
    EXPECT_EQ(shortest_pause_of(29), 19);
    EXPECT_EQ(shortest_pause_of(30), 20);
    EXPECT_EQ(shortest_pause_of(1), 0);
    EXPECT_EQ(shortest_pause_of(INT32_MAX), 1431655764);
}
