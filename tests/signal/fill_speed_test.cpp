// The fast threshold and gap fill (vector strips, 64-sample masks, the fused pass) against
// plain walks, sample by sample, on random blocks and on generated recordings.
#include "signal/normaliser.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tape/tape_signal.h"
#include "support/reference_walks.h"

namespace {

// On/off samples in runs of random length up to `longest_on` and `longest_off`.
std::vector<uint8_t> random_on_off(std::mt19937& random, std::size_t size, int longest_on,
                                   int longest_off) {
    std::vector<uint8_t> v(size);
    bool on = random() % 2 != 0;
    for (std::size_t i = 0; i < size;) {
        const int longest = on ? longest_on : longest_off;
        std::size_t run = 1 + random() % static_cast<unsigned>(longest);
        for (; run > 0 && i < size; --run) v[i++] = on ? sample_on : sample_off;
        on = !on;
    }
    return v;
}

// A recording as a real tape gives it: every half pulse starts near the middle, and every
// sample carries some noise.
std::vector<uint8_t> rough_recording(std::mt19937& random, int rate, int bytes) {
    TapeSignal signal;
    signal.rate = rate;
    signal.amplitude = 60 + static_cast<int>(random() % 60);
    signal.lead_ms = 50;
    signal.trail_ms = 20;
    std::vector<uint8_t> program(static_cast<std::size_t>(bytes));
    for (uint8_t& b : program) b = static_cast<uint8_t>(random());
    const std::vector<uint8_t> clean = tape_recording(signal, {0x26, 0xA7}, program);
    std::vector<uint8_t> out(clean.size());
    int previous = 128;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        int v = clean[i];
        if (v != previous && v != 128) v = 128 + (v - 128) / 4;
        previous = clean[i];
        v += static_cast<int>(random() % 21) - 10;
        out[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    return out;
}

std::vector<uint8_t> random_raw(std::mt19937& random, std::size_t size) {
    std::vector<uint8_t> v(size);
    for (uint8_t& b : v) b = static_cast<uint8_t>(random());
    return v;
}

} // namespace

TEST(OffBand, HoldsExactlyTheValuesBelowTheThreshold) {
    for (int32_t t = -3; t <= 260; ++t) {
        const OffBand band = off_band(t);
        for (int v = 0; v < 256; ++v) {
            const bool in_band = v >= band.first && v < band.first + band.count;
            ASSERT_EQ(in_band, sample_level(static_cast<uint8_t>(v)) < t) << t << " " << v;
        }
    }
}

TEST(ThresholdBlock, AgreesWithTheLevelRuleAtEverySizeAndAlignment) {
    std::mt19937 random(21);
    for (int round = 0; round < 400; ++round) {
        const std::vector<uint8_t> raw = random_raw(random, random() % 300);
        const std::size_t at = raw.empty() ? 0 : random() % (raw.size() + 1);
        const int32_t t = static_cast<int32_t>(random() % 270) - 5;
        std::vector<uint8_t> fast = raw;
        threshold_block(fast.data() + at, fast.size() - at, t);
        std::vector<uint8_t> expected = threshold_reference(raw, t);
        std::copy(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(at), expected.begin());
        ASSERT_EQ(fast, expected) << "round " << round;
    }
}

TEST(FillGaps, MaskWalkAgreesWithThePlainWalkForManyPauseLengths) {
    std::mt19937 random(22);
    for (int round = 0; round < 600; ++round) {
        // Short runs as inside a burst, long ones as pauses, and q from 0 to past a group.
        const std::vector<uint8_t> block =
            random_on_off(random, random() % 5000, 1 + static_cast<int>(random() % 30),
                          1 + static_cast<int>(random() % (round % 3 == 0 ? 300 : 40)));
        const auto longest_pause = static_cast<int32_t>(random() % 400);
        std::vector<uint8_t> expected = block;
        fill_gaps_reference(expected, longest_pause);
        std::vector<uint8_t> fast = block;
        fill_gaps(fast.data(), fast.size(), longest_pause);
        ASSERT_EQ(fast, expected) << "round " << round << " nfill " << longest_pause;
    }
}

TEST(FillGaps, OnSamplesOfAnyValueKeepTheirBytes) {
    // Only filled samples are written; an on sample that is not 0xF0 stays as it was.
    std::vector<uint8_t> block(200, 0x00);
    for (std::size_t i = 0; i < block.size(); i += 3) block[i] = static_cast<uint8_t>(1 + i);
    std::vector<uint8_t> expected = block;
    fill_gaps_reference(expected, 40);
    fill_gaps(block.data(), block.size(), 40);
    EXPECT_EQ(block, expected);
    EXPECT_EQ(block[30], 31);
    EXPECT_EQ(block[31], sample_on);
}

TEST(FillGapsFrom, ConsecutiveRangesGiveTheWholeFill) {
    std::mt19937 random(23);
    for (int round = 0; round < 300; ++round) {
        const std::vector<uint8_t> block =
            random_on_off(random, 1 + random() % 3000, 1 + static_cast<int>(random() % 20),
                          1 + static_cast<int>(random() % 90));
        const auto longest_pause = static_cast<int32_t>(random() % 300);
        std::vector<uint8_t> whole = block;
        fill_gaps(whole.data(), whole.size(), longest_pause);

        std::vector<uint8_t> pieces = block;
        GapWalk walk;
        walk.q = longest_pause / 4;
        for (std::size_t from = 0; from < pieces.size();) {
            const std::size_t end = std::min(pieces.size(), from + 1 + random() % 200);
            fill_gaps_from(pieces.data(), from, end, walk);
            from = end;
        }
        ASSERT_EQ(pieces, whole) << "round " << round;
    }
}

TEST(FillInsideGroup, FillsEveryInnerRunOrLeavesTheGroupToTheWalk) {
    std::mt19937 random(24);
    for (int round = 0; round < 5000; ++round) {
        // A group of samples as a picture; bit k is sample k.
        const std::vector<uint8_t> group = random_on_off(
            random, 64, 1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 30));
        uint64_t on = 0;
        for (int k = 0; k < 64; ++k) {
            if (group[static_cast<std::size_t>(k)] != 0) on |= uint64_t{1} << k;
        }
        if (on == 0) continue;
        const int64_t q = static_cast<int64_t>(random() % 70);
        // The plain answer: the inner runs, and whether all are shorter than q.
        uint64_t inner = 0;
        bool all_short = true;
        int last_on = -1;
        for (int k = 0; k < 64; ++k) {
            if (((on >> k) & 1) == 0) continue;
            if (last_on >= 0 && k - last_on > 1) {
                for (int j = last_on + 1; j < k; ++j) inner |= uint64_t{1} << j;
                if (k - last_on - 1 >= q) all_short = false;
            }
            last_on = k;
        }
        bool done = false;
        const uint64_t filled = fill_inside_group(on, q, done);
        ASSERT_EQ(done, all_short) << "round " << round;
        ASSERT_EQ(filled, all_short ? inner : 0) << "round " << round;
    }
}

TEST(ThresholdAndFill, IsThresholdThenFillOnRandomRawBlocks) {
    std::mt19937 random(25);
    for (int round = 0; round < 60; ++round) {
        // Sizes across the 16384-sample strips, including exact multiples.
        const std::size_t size = round % 5 == 0 ? 16384 * (1 + random() % 3) : random() % 70000;
        const std::vector<uint8_t> raw = random_raw(random, size);
        const int32_t t = static_cast<int32_t>(random() % 256);
        const auto longest_pause = static_cast<int32_t>(random() % 200);
        std::vector<uint8_t> expected = threshold_reference(raw, t);
        fill_gaps_reference(expected, longest_pause);
        std::vector<uint8_t> fused = raw;
        threshold_and_fill(fused.data(), fused.size(), t, longest_pause);
        ASSERT_EQ(fused, expected) << "round " << round;
    }
}

TEST(ThresholdAndFill, ThresholdsThatTurnEverySampleOnOrOff) {
    std::mt19937 random(28);
    const std::vector<uint8_t> raw = random_raw(random, 40000);
    for (int32_t t : {INT32_MIN, -5, 0, 1, 254, 255, 1000, INT32_MAX}) {
        std::vector<uint8_t> expected = threshold_reference(raw, t);
        fill_gaps_reference(expected, 60);
        std::vector<uint8_t> fused = raw;
        threshold_and_fill(fused.data(), fused.size(), t, 60);
        ASSERT_EQ(fused, expected) << "threshold " << t;
    }
}

TEST(ThresholdAndFill, IsThresholdThenFillOnGeneratedRecordings) {
    std::mt19937 random(26);
    for (int rate : {11025, 22050, 44100, 96000}) {
        const std::vector<uint8_t> raw = rough_recording(random, rate, 60);
        for (int32_t t : {10, 30, 80}) {
            for (int32_t longest_pause : {0, 8, 29, 57, 125, 1000}) {
                std::vector<uint8_t> expected = threshold_reference(raw, t);
                fill_gaps_reference(expected, longest_pause);
                std::vector<uint8_t> fused = raw;
                threshold_and_fill(fused.data(), fused.size(), t, longest_pause);
                ASSERT_EQ(fused, expected) << rate << " " << t << " " << longest_pause;
            }
        }
    }
}

TEST(NormaliseBlock, BlockAfterBlockAgreesWithThePlainSteps) {
    // The first block measures nfill and takes the separate steps; later ones the fused pass.
    std::mt19937 random(27);
    const std::vector<uint8_t> raw = rough_recording(random, 44100, 200);
    SignalOptions settings;
    const uint32_t block = static_cast<uint32_t>(raw.size() / 3 + 1);
    PulseCalibration calibration;
    PulseCalibration reference;
    for (std::size_t from = 0; from < raw.size(); from += block) {
        const std::size_t n = std::min<std::size_t>(block, raw.size() - from);
        std::vector<uint8_t> fast(raw.begin() + static_cast<std::ptrdiff_t>(from),
                                  raw.begin() + static_cast<std::ptrdiff_t>(from + n));
        std::vector<uint8_t> expected = threshold_reference(fast, settings.threshold);
        if (reference.longest_pause == 0) {
            reference.longest_pause =
                measure_longest_pause(expected.data(), static_cast<uint32_t>(n));
        }
        fill_gaps_reference(expected, reference.longest_pause);

        normalise_block(fast.data(), static_cast<uint32_t>(n), settings, calibration);
        ASSERT_EQ(calibration.longest_pause, reference.longest_pause);
        ASSERT_EQ(fast, expected) << "block at " << from;
    }
    EXPECT_GT(calibration.longest_pause, 0);
    EXPECT_GT(calibration.zero_length, 0);
}
