#include <gtest/gtest.h>

#include "synth/impairments.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

TEST(TapeMotion, WithoutImpairmentBothClocksAgree) {
    const TapeMotion motion;
    for (double t : {0.0, 150.0, 1e6, 123456.789}) {
        EXPECT_EQ(tape_time_us(motion, t), t);
        EXPECT_EQ(play_time_us(motion, t), t);
    }
}

TEST(TapeMotion, ASlowTapeStretchesTheRecording) {
    TapeMotion motion;
    motion.speed = 0.8;
    EXPECT_DOUBLE_EQ(play_time_us(motion, 1000.0), 1250.0);
    EXPECT_DOUBLE_EQ(tape_time_us(motion, 1250.0), 1000.0);
}

TEST(TapeMotion, PlayTimeInvertsTapeTimeUnderWow) {
    TapeMotion motion;
    motion.speed = 1.05;
    motion.wow_depth = 0.3;
    motion.wow_hz = 2.0;
    for (double tape = 0.0; tape < 3e6; tape += 12345.6) {
        EXPECT_NEAR(tape_time_us(motion, play_time_us(motion, tape)), tape, 0.01) << tape;
    }
}

TEST(TapeMotion, WowSwingsTheSpeedAroundItsMean) {
    TapeMotion motion;
    motion.wow_depth = 0.1;
    motion.wow_hz = 1.0;
    // A quarter period in, the tape runs 10 % fast; three quarters in, 10 % slow.
    const double dt = 1.0;
    EXPECT_NEAR((tape_time_us(motion, 250000 + dt) - tape_time_us(motion, 250000)) / dt, 1.1,
                1e-6);
    EXPECT_NEAR((tape_time_us(motion, 750000 + dt) - tape_time_us(motion, 750000)) / dt, 0.9,
                1e-6);
    // After a whole period the tape is where it would be without wow.
    EXPECT_NEAR(tape_time_us(motion, 1e6), 1e6, 1e-6);
}

TEST(BoundarySample, IsTheNearestSample) {
    EXPECT_EQ(boundary_sample(150.0, 22050), 3);   // 3.3075
    EXPECT_EQ(boundary_sample(300.0, 22050), 7);   // 6.615
    EXPECT_EQ(boundary_sample(1e6, 48000), 48000);
}

TEST(NoiseSource, IsTheSameForTheSameSeed) {
    NoiseSource a = make_noise_source(42);
    NoiseSource b = make_noise_source(42);
    NoiseSource c = make_noise_source(43);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const double x = next_gaussian(a);
        EXPECT_EQ(x, next_gaussian(b));
        differs = differs || x != next_gaussian(c);
    }
    EXPECT_TRUE(differs);
}

TEST(NoiseSource, FirstRandomValuesArePinned) {
    // splitmix64 from seed 0: values every implementation must give.
    NoiseSource noise = make_noise_source(0);
    EXPECT_EQ(next_random(noise), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(next_random(noise), 0x6E789E6AA1B965F4ull);
}

TEST(NoiseSource, GaussianHasMeanZeroAndDeviationOne) {
    NoiseSource noise = make_noise_source(7);
    const int n = 200000;
    double sum = 0.0, squares = 0.0;
    int beyond_three = 0;
    for (int i = 0; i < n; ++i) {
        const double x = next_gaussian(noise);
        sum += x;
        squares += x * x;
        beyond_three += std::fabs(x) > 3.0;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.01);
    EXPECT_NEAR(std::sqrt(squares / n), 1.0, 0.01);
    EXPECT_NEAR(beyond_three / static_cast<double>(n), 0.0027, 0.0006);
}

TEST(TapeStepResponse, StartsAtZeroOvershootsAndSettles) {
    EXPECT_EQ(tape_step_response(-5.0), 0.0);
    EXPECT_EQ(tape_step_response(0.0), 0.0);
    double peak = 0.0;
    for (double t = 0.0; t < 300.0; t += 1.0) peak = std::max(peak, tape_step_response(t));
    // The overshoot of a second-order system with damping 0.3: exp(-pi z / sqrt(1 - z^2)).
    EXPECT_NEAR(peak, 1.0 + std::exp(-3.14159265358979 * 0.3 / std::sqrt(1.0 - 0.09)), 1e-3);
    EXPECT_NEAR(tape_step_response(tape_settle_us), 1.0, 1e-4);
}

TEST(TapeStepResponse, BurstPeakIsAboveTheSteadyLevel) {
    const double peak = tape_burst_peak();
    EXPECT_GT(peak, 1.2);
    EXPECT_LT(peak, 3.0);
}

TEST(FadeGain, FallsInAStraightLine) {
    EXPECT_EQ(fade_gain(0.0, 500.0, 1000.0), 1.0);
    EXPECT_DOUBLE_EQ(fade_gain(0.6, 0.0, 1000.0), 1.0);
    EXPECT_DOUBLE_EQ(fade_gain(0.6, 500.0, 1000.0), 0.7);
    EXPECT_DOUBLE_EQ(fade_gain(0.6, 1000.0, 1000.0), 0.4);
    EXPECT_DOUBLE_EQ(fade_gain(0.6, 2000.0, 1000.0), 0.4);
}

} // namespace

namespace {

TEST(TapeFilter, IsTheSumOfItsStepResponses) {
    struct Step {
        double at_us, step;
    };
    const Step steps[] = {{100, 1}, {250, -2}, {400, 2}, {550, -1}, {1850, 1}, {2000, -2}};
    TapeFilter filter;
    std::size_t added = 0;
    for (double t = 0.0; t < 4000.0; t += 7.3) {
        while (added < std::size(steps) && steps[added].at_us <= t) {
            add_tape_step(filter, steps[added].at_us, steps[added].step);
            ++added;
        }
        double expected = 0.0;
        for (std::size_t i = 0; i < added; ++i) {
            expected += steps[i].step * tape_step_response(t - steps[i].at_us);
        }
        ASSERT_NEAR(tape_filter_output(filter, t), expected, 1e-9) << t;
    }
    EXPECT_EQ(filter.level, -1.0);
}

} // namespace
