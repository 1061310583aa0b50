// The demodulator's pieces where a fault would hide behind the others: exact window sums over
// any length of recording, the period found without knowing the speed, the grid fitted to
// pulses whose edges fall on whole samples, and the quick angle the phases come from.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "demod/edge_timing.h"
#include "demod/pulse_period.h"
#include "demod/sample_history.h"
#include "demod/turns.h"
#include "demod/working_signal.h"

namespace {

// Square pulses (high then low, amplitude 1 << 18) with the given period in samples, each edge
// on the sample nearest its time, from `start`, `count` of them, silence around.
std::vector<int32_t> square_burst(double period, double start, int count, std::size_t length) {
    std::vector<int32_t> x(length, 0);
    for (int p = 0; p < count; ++p) {
        const double rise = start + p * period, fall = rise + period / 2, end = rise + period;
        for (auto i = static_cast<std::size_t>(std::lround(rise));
             i < static_cast<std::size_t>(std::lround(end)) && i < length; ++i) {
            x[i] = static_cast<double>(i) < std::round(fall) ? (1 << 18) : -(1 << 18);
        }
    }
    return x;
}

TEST(SampleHistory, WindowSumsStayExactAcrossTheRing) {
    SampleHistory h(8); // 256 samples, so the ring turns many times
    std::vector<int32_t> all;
    uint32_t state = 1;
    for (int block = 0; block < 50; ++block) {
        std::vector<int32_t> x(97);
        for (int32_t& v : x) {
            state = state * 1664525u + 1013904223u;
            v = static_cast<int32_t>(state >> 9) - (1 << 22); // up to 4 x full scale
        }
        h.append(x.data(), x.size());
        all.insert(all.end(), x.begin(), x.end());
    }
    ASSERT_EQ(h.end(), static_cast<int64_t>(all.size()));
    for (int64_t from = h.end() - 250; from < h.end() - 60; from += 7) {
        const int64_t to = from + 53;
        int64_t direct = 0;
        for (int64_t i = from; i < to; ++i) direct += all[static_cast<std::size_t>(i)];
        EXPECT_EQ(static_cast<int32_t>(h.sum_before(to) - h.sum_before(from)), direct);
        EXPECT_EQ(h.sample(from), all[static_cast<std::size_t>(from)]);
    }
}

TEST(WorkingSignal, HighRatesAreSummedAndNothingOverflows) {
    EXPECT_EQ(decimation_factor(44100), 1);
    EXPECT_EQ(decimation_factor(96000), 2);
    EXPECT_EQ(decimation_factor(192000), 4);
    Decimator d = make_decimator(4);
    const float in[] = {1.f, 1.f, 1.f, 1.f, -100.f, 0.f, 0.f, 0.f, std::nanf(""), 0.5f};
    int32_t out[4];
    ASSERT_EQ(decimate(d, in, 10, out), 2u);
    EXPECT_EQ(out[0], static_cast<int32_t>(working_unit));
    EXPECT_EQ(out[1], static_cast<int32_t>(-input_limit * working_unit / 4)); // held at -4
    ASSERT_EQ(decimate(d, in, 2, out), 1u); // the partial group completes
}

// The period of a burst, at speeds and rates where a period is 3.3 to 29 samples long. (Below
// that a whole number of samples can match two or three periods better than one; the
// demodulator then weighs the parts by their pulse strength, which the round trips at 11025 Hz
// and speed 1.4 exercise.)
TEST(PulsePeriod, FoundAtAnySpeed) {
    for (double period : {3.31, 6.62, 13.23, 28.8}) {
        const auto length = static_cast<std::size_t>(40 * period + 200);
        std::vector<int32_t> x = square_burst(period, 100.3, 9, length);
        std::vector<float> y(x.begin(), x.end());
        double mean = 0;
        for (float v : y) mean += v;
        for (float& v : y) v -= static_cast<float>(mean / y.size());
        const PeriodEstimate e = estimate_pulse_period(y.data(), y.size(), 2,
                                                       static_cast<int>(2.5 * period) + 2);
        EXPECT_NEAR(e.period, period, 0.1 * period); // near enough for the fit to take over
        EXPECT_GT(e.strength, 0.3f);
    }
}

// A grid started a fifth of a sample and 1 % off is put back on pulses whose edges were
// rounded to whole samples.
TEST(EdgeTiming, GridFittedToRoundedEdges) {
    for (double period : {3.31, 6.615, 13.23}) {
        const double start = 50.37;
        const std::vector<int32_t> x = square_burst(period, start, 9, 400);
        SampleHistory h(10);
        h.append(x.data(), x.size());
        const double centre = start + period / 2; // the first pulse's centre
        EdgeFit e;
        ASSERT_TRUE(fit_edges(h, centre + 0.2, period * 1.01, 0, 8, 1.f,
                              static_cast<float>(1 << 18), 0.3, 0.05, e));
        EXPECT_NEAR(e.period, period, 0.015 * period) << "period " << period;
        EXPECT_NEAR(e.centre, centre, 0.25) << "period " << period;
        EXPECT_GE(e.steps, 15) << "period " << period;
    }
}

} // namespace

namespace {

TEST(Turns, WithinAThousandthOfATurnAllRound) {
    const double pi = 3.14159265358979323846;
    for (int i = -500; i <= 500; ++i) {
        const double angle = i * pi / 500.0;
        for (double radius : {1e-6, 1.0, 3e6}) {
            const double t = turns(radius * std::sin(angle), radius * std::cos(angle));
            EXPECT_GT(t, -0.5 - 1e-12);
            EXPECT_LE(t, 0.5);
            // Half a turn either way is the same angle.
            const double off = std::remainder(t - angle / (2.0 * pi), 1.0);
            EXPECT_NEAR(off, 0.0, 0.001) << "angle " << angle;
        }
    }
    EXPECT_EQ(turns(0.0, 0.0), 0.0);
}

} // namespace
