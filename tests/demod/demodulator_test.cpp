// The demodulator end to end on recordings whose bits are known: every bit back and certain
// under the impairments it is meant to survive, and never a certain bit that is wrong where
// the recording is damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "demod_trial.h"
#include "synth/impairments.h"
#include "tape/tape_signal.h"

namespace {

struct Case {
    const char* name;
    int rate;
    void (*apply)(SynthSettings&);
    SampleFormat format;
    double gain; // applied to every sample before it is stored
};

void none(SynthSettings&) {}

std::string describe(const TrialResult& r) {
    return "true " + std::to_string(r.true_bits) + ", heard " + std::to_string(r.heard_bits) +
           ", right and certain " + std::to_string(r.right_certain) + ", uncertain " +
           std::to_string(r.uncertain) + ", wrong but certain " +
           std::to_string(r.wrong_certain) + ", missed " + std::to_string(r.missed) +
           ", extra " + std::to_string(r.extra);
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

// A random program of a random size (a few hundred bytes to keep the suite fast; the limits
// program walks 16 KB ones), between silences, comes back bit for bit, every bit certain.
TEST_P(RoundTrip, EveryBitBackAndCertain) {
    const Case& c = GetParam();
    SynthSettings s;
    s.rate = c.rate;
    s.lead_ms = 300;
    s.trail_ms = 300;
    s.seed = static_cast<uint64_t>(c.rate);
    c.apply(s);
    const std::size_t size = 300 + static_cast<std::size_t>(c.rate) % 400;
    const Recording rec = synth_recording(s, random_tape_bytes(size, c.rate), c.format, c.gain);
    const Heard heard = demodulate(rec);
    const TrialResult r = compare_bits(rec.bits, heard.bits);
    EXPECT_TRUE(r.perfect()) << describe(r);
}

const Case cases[] = {
    {"clean_11025", 11025, none, SampleFormat::u8, 1.0},
    {"clean_22050", 22050, none, SampleFormat::u8, 1.0},
    {"clean_48000", 48000, none, SampleFormat::u8, 1.0},
    {"clean_192000", 192000, none, SampleFormat::u8, 1.0},
    {"noise16_11025", 11025, [](SynthSettings& s) { s.noise = 16; }, SampleFormat::u8, 1.0},
    {"noise32_22050", 22050, [](SynthSettings& s) { s.noise = 32; }, SampleFormat::u8, 1.0},
    {"noise32_44100", 44100, [](SynthSettings& s) { s.noise = 32; }, SampleFormat::u8, 1.0},
    {"noise56_96000", 96000, [](SynthSettings& s) { s.noise = 56; }, SampleFormat::u8, 1.0},
    {"dc100_22050", 22050, [](SynthSettings& s) { s.dc = 100; }, SampleFormat::u8, 1.0},
    {"hum60_44100", 44100, [](SynthSettings& s) { s.hum = 60; }, SampleFormat::u8, 1.0},
    {"amplitude1_22050", 22050, [](SynthSettings& s) { s.amplitude = 1; }, SampleFormat::u8, 1.0},
    {"minus60dB_s16_44100", 44100, none, SampleFormat::s16, 0.128}, // 100 steps to 0.1 of one
    {"wow05_22050", 22050, [](SynthSettings& s) { s.wow_depth = 0.5; s.wow_hz = 0.7; },
     SampleFormat::u8, 1.0},
    {"fade99_44100", 44100, [](SynthSettings& s) { s.fade = 0.99; }, SampleFormat::u8, 1.0},
    {"speed05_22050", 22050, [](SynthSettings& s) { s.speed = 0.5; }, SampleFormat::u8, 1.0},
    {"speed14_11025", 11025, [](SynthSettings& s) { s.speed = 1.4; }, SampleFormat::u8, 1.0},
    {"speed2_44100", 44100, [](SynthSettings& s) { s.speed = 2.0; }, SampleFormat::u8, 1.0},
    {"sine_22050", 22050, [](SynthSettings& s) { s.shape = PulseShape::sine; }, SampleFormat::u8,
     1.0},
    {"tape_noise8_44100", 44100,
     [](SynthSettings& s) {
         s.shape = PulseShape::tape;
         s.noise = 8;
     },
     SampleFormat::u8, 1.0},
    {"inverted_noise16_22050", 22050,
     [](SynthSettings& s) {
         s.invert = true;
         s.noise = 16;
     },
     SampleFormat::u8, 1.0},
};

INSTANTIATE_TEST_SUITE_P(Impairments, RoundTrip, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return std::string(param.param.name);
                         });

// The samples fed in blocks of any size give the same bits as fed at once.
TEST(Demodulator, BlocksOfAnySizeHearTheSame) {
    SynthSettings s;
    s.rate = 44100;
    s.noise = 20;
    s.lead_ms = 100;
    s.trail_ms = 100;
    const Recording rec = synth_recording(s, random_tape_bytes(200, 7));
    const Heard whole = demodulate(rec, rec.samples.size());
    const Heard pieces = demodulate(rec, 1237);
    ASSERT_EQ(whole.bits.size(), pieces.bits.size());
    for (std::size_t i = 0; i < whole.bits.size(); ++i) {
        EXPECT_EQ(whole.bits[i].start, pieces.bits[i].start);
        EXPECT_EQ(whole.bits[i].value, pieces.bits[i].value);
        EXPECT_EQ(whole.bits[i].certain, pieces.bits[i].certain);
    }
}

// Pulses other programs make: unipolar ones (high, then silence), either way up.
TEST(Demodulator, UnipolarPulsesComeBack) {
    for (int rate : {22050, 48000}) {
        for (double amplitude : {100.0, -100.0}) {
            const auto seed = static_cast<uint64_t>(rate);
            const Recording r = burst_recording(rate, random_bursts(1500, 0.0, seed), amplitude,
                                                4.0, seed, 100.0, 0.0);
            const TrialResult t = compare_bits(r.bits, demodulate(r).bits);
            EXPECT_TRUE(t.perfect()) << "rate " << rate << ", amplitude " << amplitude << ": "
                                     << describe(t);
        }
    }
}

// Bursts of the wrong count (1, 2, 3, 5, 6, 7, 8, 10, 11 pulses), clicks, and dropouts that cut
// bursts, at several rates and noise levels: no certain bit where there is no right value, no
// certain bit with a wrong one.
TEST(Demodulator, DamageIsNeverCertain) {
    const int rates[] = {11025, 22050, 44100, 96000};
    for (int i = 0; i < 8; ++i) {
        const int rate = rates[i % 4];
        const double noise = i < 4 ? 0.0 : 16.0;
        const auto seed = static_cast<uint64_t>(i + 1);
        Recording r = burst_recording(rate, random_bursts(600, 0.05, seed), 100, noise, seed);
        NoiseSource source = make_noise_source(seed);
        for (int c = 0; c < 6; ++c) {
            const auto at = static_cast<int64_t>(next_random(source) % r.samples.size());
            add_click(r, at, 2 + static_cast<int>(next_random(source) % 10),
                      next_random(source) & 1 ? 1.f : -1.f, pulse_high_us * rate / 1e6);
        }
        const TrialResult t = compare_bits(r.bits, demodulate(r).bits);
        EXPECT_EQ(t.wrong_certain, 0u) << "odd bursts and clicks, rate " << rate << ", noise "
                                       << noise << ": " << describe(t);

        SynthSettings s;
        s.rate = rate;
        s.noise = noise;
        s.seed = seed;
        s.lead_ms = 100;
        s.trail_ms = 100;
        s.dropout_at_ms = 250 + 37 * i;
        s.dropout_ms = 0.7 + 2.3 * i;
        s.dropout_level = i % 2 ? 0.0 : 0.05;
        Recording d = synth_recording(s, random_tape_bytes(150, seed));
        mark_cut(d, static_cast<int64_t>(s.dropout_at_ms * rate / 1000.0),
                 static_cast<int64_t>((s.dropout_at_ms + s.dropout_ms) * rate / 1000.0));
        const TrialResult td = compare_bits(d.bits, demodulate(d).bits);
        EXPECT_EQ(td.wrong_certain, 0u) << "a dropout of " << s.dropout_ms << " ms, rate " << rate
                                        << ", noise " << noise << ": " << describe(td);
    }
}

// What is not a ZX81's comes out as noise, not bits: a stretch of noise, a tone and a voice-like
// sound before a program; a lone pulse after it is a bit-like thing of one pulse, never certain.
TEST(Demodulator, OtherSoundsAreNoiseAndAStrayPulseIsNotABit) {
    const int rate = 44100;
    SynthSettings s;
    s.rate = rate;
    s.lead_ms = 2500;
    s.trail_ms = 300;
    Recording rec = synth_recording(s, random_tape_bytes(200, 3));
    NoiseSource source = make_noise_source(11);
    const double pi = 3.14159265358979323846;
    for (int64_t i = rate / 10; i < rate * 2; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v;
        if (t < 0.7) {
            v = 0.3 * next_gaussian(source);
        } else if (t < 1.3) {
            v = 0.6 * std::sin(2 * pi * 2000 * t);
        } else {
            v = 0.5 * std::sin(2 * pi * 180 * t) * (0.6 + 0.4 * std::sin(2 * pi * 3 * t)) +
                0.2 * std::sin(2 * pi * 720 * t);
        }
        rec.samples[static_cast<std::size_t>(i)] = static_cast<float>(v);
    }
    // A lone pulse 150 ms after the last bit.
    const int64_t stray = rec.bits.back().end + rate * 15 / 100;
    const auto half = static_cast<int64_t>(pulse_high_us * rate / 1e6);
    for (int64_t i = 0; i < 2 * half; ++i) {
        rec.samples[static_cast<std::size_t>(stray + i)] = i < half ? 100.f / 128 : -100.f / 128;
    }
    const Heard heard = demodulate(rec);
    const TrialResult r = compare_bits(rec.bits, heard.bits);
    EXPECT_EQ(r.right_certain, r.true_bits) << describe(r);
    ASSERT_FALSE(heard.noise.empty());
    EXPECT_LE(heard.noise.front().start, rate / 10 + rate / 100);
    EXPECT_GE(heard.noise.back().end, rate * 2 - rate / 100);
    EXPECT_GE(heard.bits.front().start, rate * 2); // nothing heard as bits in the sounds
    const HeardBit& last = heard.bits.back();
    EXPECT_NEAR(static_cast<double>(last.start), static_cast<double>(stray), 2.0);
    EXPECT_EQ(last.pulses, 1);
    EXPECT_FALSE(last.certain);
}

// Noise that rings like a burst just before the first bit, an eighth as loud as the pulses: it
// is taken while no level is known yet, but the first bit shows it up as noise, and that bit
// is heard as if it came first.
TEST(Demodulator, AWeakBurstBeforeTheFirstBitIsNoise) {
    SynthSettings s;
    s.rate = 11025;
    s.noise = 3;
    s.lead_ms = 300;
    s.trail_ms = 300;
    Recording rec = synth_recording(s, random_tape_bytes(100, 3));
    const double half = 150e-6 * rec.rate;
    const double from = static_cast<double>(rec.bits.front().start) - 50.0 - 20.0 * half;
    for (int i = 0; i < static_cast<int>(20.0 * half); ++i) {
        const auto at = static_cast<std::size_t>(from) + static_cast<std::size_t>(i);
        rec.samples[at] += static_cast<int>(i / half) % 2 == 0 ? 0.1f : -0.1f;
    }
    const TrialResult r = compare_bits(rec.bits, demodulate(rec).bits);
    EXPECT_TRUE(r.perfect()) << describe(r);
}

// Silence, and digital silence in particular, is nothing.
TEST(Demodulator, SilenceHearsNothing) {
    Recording rec;
    rec.rate = 22050;
    rec.samples.assign(22050 * 3, 0.f);
    const Heard heard = demodulate(rec);
    EXPECT_TRUE(heard.bits.empty());
    EXPECT_TRUE(heard.noise.empty());
}

} // namespace
