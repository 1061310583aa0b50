// The round trip at the goals' levels: two programs on one recording, with a leader before
// them and a gap between them, recorded with one impairment at its goal level, must both come
// back byte for byte, intact, at zx81rescue's defaults.
#include <gtest/gtest.h>

#include "recover/recover_test_support.h"
#include "rescue/rescue_test_support.h"

namespace {

enum class Leader { noise, voice, click, silence };

struct RescueCase {
    const char* label;
    int rate;
    SynthSettings synth; // per program: shape, amplitude, speed, wow, fade
    double noise = 0.0;  // over the whole recording
    double dc = 0.0;
    double hum = 0.0;
    int bits = 0;                 // 0: raw 8-bit; 8 or 16: WAV
    std::size_t first_size = 300; // bytes of the two programs
    std::size_t second_size = 1200;
    double peak = 0.0; // the pulses' peak, when finer than whole steps
};

std::ostream& operator<<(std::ostream& os, const RescueCase& c) {
    return os << c.label;
}

SynthSettings with(void (*change)(SynthSettings&)) {
    SynthSettings settings;
    change(settings);
    return settings;
}

class RescueRoundTrip : public ::testing::TestWithParam<RescueCase> {};

TEST_P(RescueRoundTrip, RecoversBothProgramsIntact) {
    const RescueCase& c = GetParam();
    std::size_t index = 0; // each case its own leader and gap
    for (const char* p = c.label; *p != '\0'; ++p)
        index += static_cast<unsigned char>(*p);
    index %= 4;
    const std::vector<uint8_t> first = shaped_program(c.first_size, 21);
    const std::vector<uint8_t> second = shaped_program(c.second_size, 22);

    TestRecording recording;
    recording.rate = c.rate;
    // Leaders as loud as the program, or a little louder: a quiet tape is quiet throughout.
    const double peak = c.peak > 0.0 ? c.peak : c.synth.amplitude;
    switch (static_cast<Leader>(index)) {
    case Leader::noise:
        recording.noise(2.0, 0.3 * peak);
        break;
    case Leader::voice:
        recording.voice(2.0, 0.6 * peak);
        break;
    case Leader::click:
        recording.silence(0.5);
        recording.click(1.2 * peak);
        break;
    case Leader::silence:
        recording.silence(10.0);
        break;
    }
    recording.silence(0.5);
    recording.program("FIRST", first, c.synth, c.peak);
    const double gaps[] = {0.0, 0.1, 1.0, 10.0};
    recording.silence(gaps[index]);
    recording.program("SECOND PROGRAM", second, c.synth, c.peak);
    recording.silence(1.0);
    recording.impair(c.noise, c.dc, c.hum);

    ScratchDir dir;
    const std::string name = c.bits == 0 ? "tape.raw" : "tape.wav";
    if (c.bits == 0) {
        write_raw(dir / name, recording);
    } else {
        write_wav(dir / name, {&recording}, c.bits);
    }
    const RunResult run = run_zx81rescue({"-o", "out", name}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(read_file(dir / "out/FIRST.p") == first) << run.out;
    EXPECT_TRUE(read_file(dir / "out/SECOND_PROGRAM.p") == second) << run.out;
    EXPECT_NE(run.out.find(name + ": 2 programs, 2 intact, 0 damaged\n"), std::string::npos)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Goals, RescueRoundTrip,
    ::testing::Values(
        RescueCase{"noise16_11025", 11025, {}, 16.0}, RescueCase{"noise32_22050", 22050, {}, 32.0},
        RescueCase{"noise32_44100_tape", 44100,
                   with([](SynthSettings& s) { s.shape = PulseShape::tape; }), 32.0, 0, 0, 16},
        RescueCase{"noise64_96000", 96000, {}, 64.0, 0, 0, 16},
        RescueCase{"noise64_192000", 192000, {}, 64.0, 0, 0, 16},
        RescueCase{"dc120_22050", 22050, {}, 0.0, 120.0},
        RescueCase{"hum120_44100", 44100, {}, 0.0, 0.0, 120.0, 16},
        RescueCase{"hum120_176400", 176400, {}, 0.0, 0.0, 120.0, 16},
        RescueCase{"amplitude1_8bit", 22050, with([](SynthSettings& s) { s.amplitude = 1; })},
        // 60 dB below the 16-bit full scale of 32768: a peak of 32.8, 0.128 of an 8-bit step.
        RescueCase{"minus60dB_16bit", 44100, {}, 0.0, 0, 0, 16, 300, 1200, 0.128},
        RescueCase{"wow04_11025", 11025, with([](SynthSettings& s) {
                       s.wow_depth = 0.4;
                       s.wow_hz = 0.5;
                   })},
        RescueCase{"wow05_44100", 44100, with([](SynthSettings& s) {
                       s.wow_depth = 0.5;
                       s.wow_hz = 1.0;
                   }),
                   0, 0, 0, 16},
        RescueCase{"wow05_192000", 192000, with([](SynthSettings& s) {
                       s.wow_depth = 0.5;
                       s.wow_hz = 0.5;
                   }),
                   0, 0, 0, 16},
        RescueCase{"fade99_22050", 22050, with([](SynthSettings& s) { s.fade = 0.99; })},
        RescueCase{"speed05_11025", 11025, with([](SynthSettings& s) { s.speed = 0.5; })},
        RescueCase{"speed14_11025", 11025, with([](SynthSettings& s) { s.speed = 1.4; })},
        RescueCase{"speed20_48000", 48000, with([](SynthSettings& s) { s.speed = 2.0; }), 0, 0, 0,
                   16},
        RescueCase{"speed05_176400", 176400, with([](SynthSettings& s) { s.speed = 0.5; }), 0, 0, 0,
                   16},
        RescueCase{"inverted_sine_22050", 22050, with([](SynthSettings& s) {
                       s.invert = true;
                       s.shape = PulseShape::sine;
                   })},
        RescueCase{"sixteen_kilobytes_11025", 11025, {}, 4.0, 0, 0, 0, 16384, 300}),
    [](const ::testing::TestParamInfo<RescueCase>& param) {
        return std::string(param.param.label);
    });

} // namespace
