// Defects the fuzzing of the normaliser found, each pinned by the input that showed it. The
// sanitizer build (`make sanitize`) is what turns them into failures.
#include "signal/normaliser.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

// The fuzzer cut its samples into four blocks, the first of them empty, with a threshold above
// every level: the empty block's null buffer went to memset.
TEST(NormaliserFindings, EmptyBlockWithEveryLevelOffPassedNullToMemset) {
    threshold_block(nullptr, 0, 0x7F808001);
    threshold_block(nullptr, 0, INT32_MAX);
    threshold_block(nullptr, 0, 30);

    SignalOptions settings;
    settings.threshold = 0x7F808001;
    PulseCalibration calibration;
    EXPECT_TRUE(normalise_block(nullptr, 0, settings, calibration).pause_measured);
    EXPECT_EQ(calibration.longest_pause, 0);

    std::vector<uint8_t> block{0x80};
    normalise_block(block.data(), 1, settings, calibration);
    EXPECT_EQ(block[0], sample_off);
}
