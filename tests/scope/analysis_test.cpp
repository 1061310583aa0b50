// The analysis in-process: a recording written to a scratch file, the converter's steps run
// over it, and what the report will draw checked against the recording and the core.
#include "scope/analysis.h"

#include <gtest/gtest.h>

#include "scope_test_support.h"
#include "signal/normaliser.h"

namespace {

class Analysis : public testing::Test {
  protected:
    ScratchDir dir;
    ScopeSettings settings;

    ScopeAnalysis analyse(const std::vector<uint8_t>& samples) {
        return analysis_of(samples, settings, dir);
    }
};

} // namespace

TEST_F(Analysis, ACleanRecordingGivesEveryBitAndNoStrip) {
    const ScopeAnalysis a = analyse(clean_recording(300));
    EXPECT_TRUE(a.calibrated);
    EXPECT_EQ(a.calibration.longest_pause, 29);
    EXPECT_EQ(a.calibration.zero_length, 55);
    EXPECT_EQ(a.calibration.one_length, 88);
    EXPECT_EQ(a.shortest_pause, 19);
    EXPECT_EQ(a.bits, 8 * 304);
    EXPECT_EQ(a.unknown, 0);
    EXPECT_TRUE(a.strips.empty());
    EXPECT_EQ(a.saved_name, "test");
    EXPECT_TRUE(a.name_complete);
    EXPECT_EQ(a.file_rate, 0);
    EXPECT_DOUBLE_EQ(a.rate, 22000); // (88 - 55) samples in 1.5 ms
    // Every classified length falls in one of the ranges.
    int64_t counted = 0;
    for (std::size_t e = 0; e < a.lengths.size(); ++e) {
        if (a.lengths[e] == 0) continue;
        counted += a.lengths[e];
        EXPECT_NE(classify_length(static_cast<int64_t>(e), a.ranges), '?') << e;
    }
    EXPECT_EQ(counted, a.bits);
}

TEST_F(Analysis, TheCalibrationHistogramIsTheCoresOnTheFirstBlock) {
    std::vector<uint8_t> samples = clean_recording(300);
    const ScopeAnalysis a = analyse(samples);
    PulseCalibration cal;
    normalise_block(samples.data(), static_cast<uint32_t>(samples.size()), SignalOptions{}, cal);
    ASSERT_TRUE(a.have_periods);
    EXPECT_EQ(a.periods, period_histogram(samples.data(), static_cast<uint32_t>(samples.size()),
                                          shortest_pause_of(cal.longest_pause)));
    EXPECT_EQ(lowest_peak(a.periods, 0), a.calibration.zero_length);
    EXPECT_EQ(highest_peak(a.periods, 0), a.calibration.one_length);
    const Window w = measurement_window(static_cast<uint32_t>(samples.size()));
    EXPECT_EQ(a.periods_first, w.first);
    EXPECT_EQ(a.periods_end, w.end);
}

TEST_F(Analysis, ADropoutGivesStripsAroundIt) {
    std::vector<uint8_t> samples = clean_recording(300);
    const int64_t first = bit_start_sample(300, 1000) + 10; // inside the burst of bit 1000
    dropout(samples, first, first + 400);
    const ScopeAnalysis a = analyse(samples);
    ASSERT_GE(a.unknown, 1);
    ASSERT_EQ(a.strips.size(), static_cast<std::size_t>(a.unknown));
    for (const Strip& s : a.strips) {
        SCOPED_TRACE(s.number);
        EXPECT_EQ(s.unknown.bit, '?');
        // The unknown bit touches the dropout, and the window holds both.
        EXPECT_LE(s.unknown.start, first + 400);
        EXPECT_GE(s.unknown.end, first);
        ASSERT_FALSE(s.parts.empty());
        EXPECT_LE(s.parts.front().first, s.unknown.start);
        EXPECT_GE(s.parts.back().end, s.unknown.end);
    }
    EXPECT_EQ(a.strips[0].unknown.start, bit_start_sample(300, 1000));
    // The pause track shows the dropout: a pause of more than twice nfill in its column.
    EXPECT_GT(a.columns[column_of(a, first + 200)].pause, 2 * a.calibration.longest_pause);
    EXPECT_EQ(a.columns[column_of(a, a.strips[0].unknown.end)].unknown, 1);
}

TEST_F(Analysis, AStripHoldsTheRecordingItsWarSamplesAndItsBits) {
    std::vector<uint8_t> samples = clean_recording(300);
    int64_t n = 500;
    while (!bit_is_one(300, n))
        ++n;
    cut_pulses(samples, 300, n, 6);
    const ScopeAnalysis a = analyse(samples);
    ASSERT_EQ(a.strips.size(), 1u);
    const Strip& s = a.strips[0];
    EXPECT_EQ(s.unknown.start, bit_start_sample(300, n));
    EXPECT_EQ(s.unknown.end, bit_start_sample(300, n + 1));
    ASSERT_EQ(s.parts.size(), 1u);
    const StripPart& part = s.parts[0];
    ASSERT_EQ(part.raw.size(), static_cast<std::size_t>(part.end - part.first));
    ASSERT_EQ(part.war.size(), part.raw.size());
    std::vector<uint8_t> war = samples;
    PulseCalibration cal;
    normalise_block(war.data(), static_cast<uint32_t>(war.size()), SignalOptions{}, cal);
    for (std::size_t i = 0; i < part.raw.size(); ++i) {
        EXPECT_EQ(part.raw[i], samples[static_cast<std::size_t>(part.first) + i]) << i;
        EXPECT_EQ(part.war[i], war[static_cast<std::size_t>(part.first) + i]) << i;
    }
    // Its bits tile the window: each starts where the one before it ended.
    ASSERT_GE(s.bits.size(), 3u);
    for (std::size_t i = 1; i < s.bits.size(); ++i)
        EXPECT_EQ(s.bits[i].start, s.bits[i - 1].end);
    EXPECT_LE(s.bits.front().start, part.first);
    EXPECT_GE(s.bits.back().end, part.end - 1);
}

TEST_F(Analysis, ALongBitIsDrawnAsItsStartAndItsEnd) {
    std::vector<uint8_t> samples = clean_recording(300);
    const int64_t first = bit_start_sample(300, 1000) + 10;
    dropout(samples, first, first + 1000);
    const ScopeAnalysis a = analyse(samples);
    ASSERT_FALSE(a.strips.empty());
    const Strip& s = a.strips[0];
    ASSERT_EQ(s.parts.size(), 2u);
    EXPECT_EQ(s.parts[0].first, s.unknown.start - 88);
    EXPECT_EQ(s.parts[0].end, s.unknown.start + 2 * 88);
    EXPECT_EQ(s.parts[1].first, s.unknown.end - 2 * 88);
    EXPECT_EQ(s.parts[1].end, s.unknown.end + 88);
    for (const StripPart& part : s.parts) {
        ASSERT_EQ(part.raw.size(), static_cast<std::size_t>(part.end - part.first));
        for (std::size_t i = 0; i < part.raw.size(); ++i) {
            ASSERT_EQ(part.raw[i], samples[static_cast<std::size_t>(part.first) + i]) << i;
        }
    }
}

TEST_F(Analysis, StripsStopAtTheLimitAndTheRangeChoosesThem) {
    std::vector<uint8_t> samples = clean_recording(300);
    std::vector<int64_t> damaged;
    for (int64_t n = 100; damaged.size() < 6; n += 150) {
        while (!bit_is_one(300, n))
            ++n;
        cut_pulses(samples, 300, n, 6);
        damaged.push_back(bit_start_sample(300, n + 1));
    }
    settings.max_strips = 4;
    ScopeAnalysis a = analyse(samples);
    EXPECT_EQ(a.unknown, 6);
    EXPECT_EQ(a.shown_unknown, 6);
    ASSERT_EQ(a.strips.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(a.strips[i].unknown.end, damaged[i]);
        EXPECT_EQ(a.strips[i].number, static_cast<int64_t>(i + 1));
    }

    settings.max_strips = 50;
    settings.from = damaged[2];
    settings.to = damaged[4];
    a = analyse(samples);
    EXPECT_EQ(a.unknown, 6);
    EXPECT_EQ(a.shown_unknown, 2);
    ASSERT_EQ(a.strips.size(), 2u);
    EXPECT_EQ(a.strips[0].unknown.end, damaged[2]);
    EXPECT_EQ(a.strips[0].number, 3);
    EXPECT_EQ(a.strips[1].unknown.end, damaged[3]);
    EXPECT_EQ(a.columns.size(), static_cast<std::size_t>(overview_columns));
}

TEST_F(Analysis, ALowRecordingCannotBeCalibratedButIsStillDrawn) {
    const ScopeAnalysis a = analyse(clean_recording(100, 12)); // level 24, below 30
    EXPECT_FALSE(a.calibrated);
    EXPECT_EQ(a.calibration.longest_pause, 0);
    EXPECT_FALSE(a.have_periods);
    EXPECT_TRUE(a.have_window);
    EXPECT_EQ(a.bits, 0);
    EXPECT_TRUE(a.strips.empty());
    ASSERT_FALSE(a.columns.empty());
    EXPECT_EQ(a.columns[500].high, 140);
    EXPECT_EQ(a.columns[500].low, 116);
}

TEST_F(Analysis, AnEmptyRecordingGivesAnEmptyAnalysis) {
    const ScopeAnalysis a = analyse({});
    EXPECT_EQ(a.length, 0);
    EXPECT_FALSE(a.calibrated);
    EXPECT_TRUE(a.columns.empty());
}

TEST_F(Analysis, BlocksAreTreatedOneByOneAsTheConverterDoes) {
    // Longer than one block: the second block is normalised by itself, with the first
    // block's nfill, and the classifier runs on over the boundary.
    std::vector<uint8_t> samples = clean_recording(3800);
    ASSERT_GT(samples.size(), block_samples);
    // One dropout across the boundary, one inside a burst of the second block.
    const auto boundary = static_cast<int64_t>(block_samples);
    dropout(samples, boundary - 100, boundary + 150);
    const int64_t n = (3800 + 4) * 8 * (boundary + 5000) / static_cast<int64_t>(samples.size());
    dropout(samples, bit_start_sample(3800, n) + 10, bit_start_sample(3800, n) + 310);
    const ScopeAnalysis a = analyse(samples);

    std::vector<uint8_t> war;
    PulseCalibration cal;
    for (std::size_t at = 0; at < samples.size(); at += block_samples) {
        std::vector<uint8_t> block(samples.begin() + static_cast<std::ptrdiff_t>(at),
                                   samples.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                         samples.size(), at + block_samples)));
        normalise_block(block.data(), static_cast<uint32_t>(block.size()), SignalOptions{}, cal);
        war.insert(war.end(), block.begin(), block.end());
    }
    war.push_back(war_end_marker);
    BitClassifier c = make_classifier(cal, 3);
    std::string bits;
    std::vector<int64_t> unknown;
    classify_block(c, war.data(), war.size(), bits, unknown);

    EXPECT_EQ(a.calibration.zero_length, cal.zero_length);
    EXPECT_EQ(a.calibration.one_length, cal.one_length);
    EXPECT_EQ(a.bits, static_cast<int64_t>(bits.size()));
    ASSERT_EQ(a.strips.size(), unknown.size());
    for (std::size_t i = 0; i < unknown.size(); ++i)
        EXPECT_EQ(a.strips[i].unknown.end, unknown[i]);
    EXPECT_GE(a.unknown, 1);
}

TEST_F(Analysis, AStripAtTheEndOfTheRecordingHoldsTheEndMarker) {
    std::vector<uint8_t> samples = clean_recording(300);
    samples.resize(samples.size() - 441 - 20); // the trailing silence and part of the last pause
    const int64_t last = bit_start_sample(300, 304 * 8 - 1);
    for (int64_t i = last + 12; i < static_cast<int64_t>(samples.size()); ++i) {
        samples[static_cast<std::size_t>(i)] = 128; // the last bit cut short
    }
    const ScopeAnalysis a = analyse(samples);
    ASSERT_FALSE(a.strips.empty());
    const Strip& s = a.strips.back();
    EXPECT_EQ(s.unknown.start, last);
    EXPECT_EQ(s.unknown.end, static_cast<int64_t>(samples.size()));
    const StripPart& part = s.parts.back();
    EXPECT_EQ(part.end, static_cast<int64_t>(samples.size()) + 1);
    EXPECT_EQ(part.raw.size() + 1, part.war.size());
    EXPECT_EQ(part.war.back(), war_end_marker);
}
