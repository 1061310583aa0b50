#include <gtest/gtest.h>

#include "tape/tape_signal.h"

#include <cmath>
#include <vector>

namespace {

std::vector<TapeSegment> all_segments(const std::vector<uint8_t>& bytes, double lead_ms,
                                      double trail_ms) {
    TapeWalker walker = make_tape_walker(bytes, lead_ms, trail_ms);
    std::vector<TapeSegment> segments;
    TapeSegment segment;
    while (next_tape_segment(walker, segment)) segments.push_back(segment);
    return segments;
}

TEST(TapeWalker, GivesLeadPulsesPausesAndTrail) {
    // 0x80: a 1 bit (9 pulses) then seven 0 bits (4 pulses each).
    const std::vector<uint8_t> bytes{0x80};
    const auto segments = all_segments(bytes, 2.0, 3.0);
    ASSERT_EQ(segments.size(), 1 + (18 + 1) + 7 * (8 + 1) + 1u);

    EXPECT_EQ(segments[0].level, TapeLevel::silent);
    EXPECT_DOUBLE_EQ(segments[0].end_us, 2000.0);
    for (int h = 0; h < 18; ++h) {
        const TapeSegment& s = segments[1 + h];
        EXPECT_EQ(s.level, h % 2 == 0 ? TapeLevel::high : TapeLevel::low) << h;
        EXPECT_DOUBLE_EQ(s.end_us - s.start_us, 150.0) << h;
    }
    EXPECT_EQ(segments[19].level, TapeLevel::silent);
    EXPECT_DOUBLE_EQ(segments[19].end_us - segments[19].start_us, 1300.0);
    EXPECT_EQ(segments.back().level, TapeLevel::silent);
    EXPECT_DOUBLE_EQ(segments.back().end_us - segments.back().start_us, 3000.0);
}

TEST(TapeWalker, SegmentsFollowEachOtherWithoutGaps) {
    const std::vector<uint8_t> bytes{0x26, 0xB9, 0x00, 0xFF};
    const auto segments = all_segments(bytes, 1.5, 0.0);
    double clock = 0.0;
    for (const TapeSegment& s : segments) {
        EXPECT_EQ(s.start_us, clock);
        EXPECT_GE(s.end_us, s.start_us);
        clock = s.end_us;
    }
    EXPECT_EQ(clock, tape_duration_us(bytes, 1.5, 0.0));
}

TEST(TapeWalker, NoBytesGivesLeadAndTrailOnly) {
    const std::vector<uint8_t> none;
    const auto segments = all_segments(none, 1.0, 2.0);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_DOUBLE_EQ(segments[1].end_us, 3000.0);
}

TEST(TapeDuration, IsTwoAndAHalfMillisecondsPerZeroBitAndFourPerOneBit) {
    EXPECT_DOUBLE_EQ(tape_duration_us({0x00}, 0.0, 0.0), 8 * 2500.0);
    EXPECT_DOUBLE_EQ(tape_duration_us({0xFF}, 0.0, 0.0), 8 * 4000.0);
    EXPECT_DOUBLE_EQ(tape_duration_us({0x0F, 0xF0}, 10.0, 5.0), 15000.0 + 8 * 2500.0 + 8 * 4000.0);
}

TEST(TapeRecording, LastsAsLongAsTheSegmentsAtEveryRate) {
    const std::vector<uint8_t> name{0x2D, 0xB4};
    const std::vector<uint8_t> program{0x00, 0x12, 0x80};
    std::vector<uint8_t> bytes(name);
    bytes.insert(bytes.end(), program.begin(), program.end());
    for (int rate : {11025, 22050, 44100, 48000, 96000}) {
        TapeSignal signal;
        signal.rate = rate;
        signal.lead_ms = 7.0;
        signal.trail_ms = 3.0;
        const auto samples = tape_recording(signal, name, program);
        EXPECT_EQ(static_cast<double>(samples.size()),
                  std::llround(tape_duration_us(bytes, 7.0, 3.0) * rate / 1e6))
            << rate;
    }
}

} // namespace
