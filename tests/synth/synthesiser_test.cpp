#include <gtest/gtest.h>

#include "synth/synth_test_support.h"
#include "synth/synthesiser.h"
#include "tape/tape_signal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const std::vector<uint8_t> name_codes{0x39, 0x2A, 0x38, 0xB9};

std::vector<uint8_t> tape_of(const std::vector<uint8_t>& program) {
    std::vector<uint8_t> bytes(name_codes);
    bytes.insert(bytes.end(), program.begin(), program.end());
    return bytes;
}

// The whole recording, rendered in blocks of `block` samples.
std::vector<double> render(const SynthSettings& settings, const std::vector<uint8_t>& bytes,
                           std::size_t block = 4096) {
    Synthesiser synth = make_synthesiser(settings, bytes);
    std::vector<double> out(static_cast<std::size_t>(synth.total_samples));
    for (std::size_t at = 0; at < out.size(); at += block) {
        render_samples(synth, out.data() + at, std::min(block, out.size() - at));
    }
    return out;
}

std::vector<uint8_t> render_u8(const SynthSettings& settings, const std::vector<uint8_t>& bytes) {
    const std::vector<double> samples = render(settings, bytes);
    std::vector<uint8_t> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(), raw_sample);
    return out;
}

double peak_of(const std::vector<double>& samples, std::size_t from = 0,
               std::size_t to = SIZE_MAX) {
    double peak = 0.0;
    for (std::size_t i = from; i < std::min(to, samples.size()); ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    return peak;
}

class PlainRecording : public ::testing::TestWithParam<int> {};

TEST_P(PlainRecording, IsExactlyTheTapeSignalGenerators) {
    const std::vector<uint8_t> program = test_program(60);
    SynthSettings settings;
    settings.rate = GetParam();
    settings.amplitude = 90;
    settings.lead_ms = 12.5;
    settings.trail_ms = 40.0;
    TapeSignal signal;
    signal.rate = GetParam();
    signal.amplitude = 90;
    signal.lead_ms = 12.5;
    signal.trail_ms = 40.0;
    EXPECT_EQ(render_u8(settings, tape_of(program)), tape_recording(signal, name_codes, program));
}

INSTANTIATE_TEST_SUITE_P(Rates, PlainRecording,
                         ::testing::Values(8000, 11025, 22050, 44100, 48000, 96000, 192000));

TEST(Synthesiser, BlockSizeDoesNotChangeTheSamples) {
    const std::vector<uint8_t> bytes = tape_of(test_program(20));
    SynthSettings settings;
    settings.shape = PulseShape::tape;
    settings.noise = 4.0;
    settings.wow_depth = 0.05;
    settings.hum = 3.0;
    const std::vector<double> whole = render(settings, bytes, 1 << 20);
    for (std::size_t block : {1u, 7u, 1000u}) {
        EXPECT_EQ(render(settings, bytes, block), whole) << block;
    }
}

TEST(Synthesiser, GivesSilenceAfterTheEnd) {
    SynthSettings settings;
    Synthesiser synth = make_synthesiser(settings, name_codes);
    std::vector<double> out(static_cast<std::size_t>(synth.total_samples) + 100);
    render_samples(synth, out.data(), out.size());
    for (std::size_t i = static_cast<std::size_t>(synth.total_samples); i < out.size(); ++i) {
        EXPECT_EQ(out[i], 0.0);
    }
}

TEST(Synthesiser, SpeedChangesTheLength) {
    const std::vector<uint8_t> bytes = tape_of(test_program(10));
    SynthSettings settings;
    const auto normal = static_cast<double>(make_synthesiser(settings, bytes).total_samples);
    settings.speed = 0.8;
    EXPECT_NEAR(make_synthesiser(settings, bytes).total_samples, normal / 0.8, 1.0);
    settings.speed = 2.0;
    EXPECT_NEAR(make_synthesiser(settings, bytes).total_samples, normal / 2.0, 1.0);
}

TEST(Synthesiser, InvertMirrorsEverySample) {
    const std::vector<uint8_t> bytes = tape_of(test_program(10));
    SynthSettings settings;
    settings.shape = PulseShape::sine;
    const std::vector<double> plain = render(settings, bytes);
    settings.invert = true;
    const std::vector<double> inverted = render(settings, bytes);
    ASSERT_EQ(plain.size(), inverted.size());
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(inverted[i], -plain[i]) << i;
}

TEST(Synthesiser, DcShiftsEverySample) {
    const std::vector<uint8_t> bytes = tape_of(test_program(10));
    SynthSettings settings;
    const std::vector<double> plain = render(settings, bytes);
    settings.dc = -20.0;
    const std::vector<double> shifted = render(settings, bytes);
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(shifted[i], plain[i] - 20.0) << i;
}

TEST(Synthesiser, EveryShapePeaksAtTheAmplitude) {
    const std::vector<uint8_t> bytes = tape_of(test_program(30));
    for (PulseShape shape : {PulseShape::square, PulseShape::sine, PulseShape::tape}) {
        SynthSettings settings;
        settings.rate = 96000;
        settings.amplitude = 80;
        settings.shape = shape;
        const double peak = peak_of(render(settings, bytes));
        EXPECT_LE(peak, 80.0 + 1e-9) << static_cast<int>(shape);
        EXPECT_GE(peak, 79.0) << static_cast<int>(shape);
    }
}

TEST(Synthesiser, TapeShapeRingsIntoThePause) {
    // One 0 bit: its pause starts 1200 us in. Square silence there, tape ringing.
    SynthSettings settings;
    settings.rate = 96000;
    settings.shape = PulseShape::tape;
    const std::vector<double> samples = render(settings, {0x00});
    const auto at = [&](double us) { return static_cast<std::size_t>(us * 96000 / 1e6); };
    EXPECT_GT(peak_of(samples, at(1210), at(1400)), 5.0);
    EXPECT_LT(peak_of(samples, at(2300), at(2500)), 0.1);
}

TEST(Synthesiser, NoiseFollowsTheSeedAndTheLevel) {
    const std::vector<uint8_t> bytes{};
    SynthSettings settings;
    settings.lead_ms = 1000.0;
    settings.noise = 5.0;
    settings.seed = 99;
    const std::vector<double> a = render(settings, bytes);
    EXPECT_EQ(render(settings, bytes), a);
    settings.seed = 100;
    EXPECT_NE(render(settings, bytes), a);
    double squares = 0.0;
    for (double x : a) squares += x * x;
    EXPECT_NEAR(std::sqrt(squares / a.size()), 5.0, 0.1);
}

TEST(Synthesiser, NoiseInDecibelsIsRelativeToTheAmplitude) {
    SynthSettings settings;
    settings.amplitude = 100;
    settings.noise_is_snr = true;
    settings.noise_snr_db = 20.0;
    EXPECT_NEAR(noise_rms(settings), 10.0, 1e-9);
    settings.noise_snr_db = 40.0;
    EXPECT_NEAR(noise_rms(settings), 1.0, 1e-9);
}

TEST(Synthesiser, HumIsASineOfItsPeakAndFrequency) {
    SynthSettings settings;
    settings.rate = 8000;
    settings.lead_ms = 100.0;
    settings.hum = 10.0;
    settings.hum_hz = 50.0;
    const std::vector<double> samples = render(settings, {});
    ASSERT_EQ(samples.size(), 800u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = (i + 0.5) / 8000.0;
        ASSERT_NEAR(samples[i], 10.0 * std::sin(2.0 * 3.14159265358979 * 50.0 * t), 1e-9) << i;
    }
}

TEST(Synthesiser, FadeLowersTheEndOfTheRecording) {
    const std::vector<uint8_t> bytes = tape_of(test_program(40));
    SynthSettings settings;
    settings.fade = 0.75;
    const std::vector<double> samples = render(settings, bytes);
    const std::size_t tenth = samples.size() / 10;
    EXPECT_NEAR(peak_of(samples, 0, tenth), 100.0, 1.0);
    EXPECT_NEAR(peak_of(samples, samples.size() - tenth), 25.0 + 7.5, 2.0);
}

TEST(Synthesiser, DropoutKeepsOnlyItsLevel) {
    const std::vector<uint8_t> bytes = tape_of(test_program(40));
    SynthSettings settings;
    settings.rate = 10000;
    const std::vector<double> plain = render(settings, bytes);
    settings.dropout_at_ms = 50.0;
    settings.dropout_ms = 20.0;
    settings.dropout_level = 0.1;
    const std::vector<double> dropped = render(settings, bytes);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const bool inside = i >= 500 && i < 700;
        ASSERT_DOUBLE_EQ(dropped[i], inside ? 0.1 * plain[i] : plain[i]) << i;
    }
}

} // namespace

namespace {

TEST(RawSample, RoundsAndHoldsWithinRange) {
    EXPECT_EQ(raw_sample(0.0), 128);
    EXPECT_EQ(raw_sample(100.0), 228);
    EXPECT_EQ(raw_sample(-100.0), 28);
    EXPECT_EQ(raw_sample(10.4), 138);
    EXPECT_EQ(raw_sample(-10.6), 117);
    EXPECT_EQ(raw_sample(500.0), 255);
    EXPECT_EQ(raw_sample(-500.0), 0);
}

} // namespace
