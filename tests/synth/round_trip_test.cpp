// The round trip: a program recorded by zx81synth, converted back by zx81tape at its default
// options, must come back byte for byte under its saved name. Each case is one rate or one
// impairment at a moderate level; the harder ones say which n= or k= they need and why.
#include <gtest/gtest.h>

#include "support/p_file_builder.h"
#include "synth/synth_test_support.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct RoundTrip {
    const char* label;
    std::vector<std::string> synth_options;
    std::vector<std::string> converter_options; // empty: the defaults, n=30 k=3
    std::string output = "tape.raw";            // the recording; .wav gives a WAV file
};

std::ostream& operator<<(std::ostream& os, const RoundTrip& c) { return os << c.label; }

std::string case_name(const ::testing::TestParamInfo<RoundTrip>& param_info) {
    return param_info.param.label;
}

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, GivesBackTheIdenticalProgram) {
    const RoundTrip& c = GetParam();
    ScratchDir dir;
    const std::vector<uint8_t> program = test_program(300);
    ASSERT_EQ(run_program("/bin/mkdir", {"mkdir", "src"}, dir.path()).status, 0);
    write_file(dir / "src/Round Trip.p", program);

    std::vector<std::string> synth_args(c.synth_options);
    synth_args.insert(synth_args.end(), {"src/Round Trip.p", c.output});
    const RunResult synth = run_zx81synth(synth_args, dir.path());
    ASSERT_EQ(synth.status, 0) << synth.err;

    std::vector<std::string> convert_args{c.output};
    convert_args.insert(convert_args.end(), c.converter_options.begin(),
                        c.converter_options.end());
    const RunResult convert = run_zx81tape(convert_args, dir.path());
    EXPECT_EQ(convert.status, 0) << convert.err;
    EXPECT_EQ(convert.err, "");
    EXPECT_NE(convert.out.find("ZxName=[round_trip]"), std::string::npos) << convert.out;
    // The saved name "ROUND TRIP" names the P file: small letters, "_" for the space.
    std::vector<std::string> files{"round_trip.p", "src", "tape.bit", c.output, "tape.war"};
    std::sort(files.begin(), files.end());
    ASSERT_EQ(list_dir(dir.path()), files);
    EXPECT_TRUE(read_file(dir / "round_trip.p") == program) << "the P file differs";
}

// Every rate the converter is asked to read, with sharp and with tape-like pulses.
INSTANTIATE_TEST_SUITE_P(
    Rates, RoundTripTest,
    ::testing::Values(RoundTrip{"square_11025", {"--rate", "11025"}, {}},
                      RoundTrip{"square_22050", {}, {}},
                      RoundTrip{"square_44100", {"--rate", "44100"}, {}},
                      RoundTrip{"square_48000", {"--rate", "48000"}, {}},
                      RoundTrip{"square_96000", {"--rate", "96000"}, {}},
                      RoundTrip{"tape_11025", {"--rate", "11025", "--shape", "tape"}, {}},
                      RoundTrip{"tape_22050", {"--shape", "tape"}, {}},
                      RoundTrip{"tape_44100", {"--rate", "44100", "--shape", "tape"}, {}},
                      RoundTrip{"tape_48000", {"--rate", "48000", "--shape", "tape"}, {}},
                      RoundTrip{"tape_96000", {"--rate", "96000", "--shape", "tape"}, {}},
                      // zx81tape reads WAV files too: 8-bit samples as they are, 16-bit by
                      // their high bytes.
                      RoundTrip{"wav_8_bit_22050", {}, {}, "tape.wav"},
                      RoundTrip{"wav_16_bit_48000",
                                {"--rate", "48000", "--bits", "16", "--shape", "tape"},
                                {},
                                "tape.wav"}),
    case_name);

// One impairment at a time at a moderate level, 22050 Hz, the converter's defaults.
INSTANTIATE_TEST_SUITE_P(
    Impairments, RoundTripTest,
    ::testing::Values(
        RoundTrip{"amplitude_30", {"--amplitude", "30"}, {}},
        RoundTrip{"inverted", {"--invert"}, {}},
        RoundTrip{"dc_plus_8", {"--dc", "8"}, {}},
        RoundTrip{"dc_minus_8", {"--dc", "-8"}, {}},
        RoundTrip{"noise_rms_1", {"--noise", "1"}, {}},
        RoundTrip{"noise_40dB", {"--noise", "40dB", "--seed", "3"}, {}},
        RoundTrip{"hum_8", {"--hum", "8"}, {}},
        RoundTrip{"hum_8_at_60Hz", {"--hum", "8,60"}, {}},
        RoundTrip{"speed_0_9", {"--speed", "0.9"}, {}},
        RoundTrip{"speed_1_1", {"--speed", "1.1"}, {}},
        RoundTrip{"wow_5_percent", {"--wow", "0.05,0.5"}, {}},
        RoundTrip{"flutter_2_percent", {"--wow", "0.02,8"}, {}},
        RoundTrip{"fade_60_percent", {"--fade", "0.6"}, {}},
        RoundTrip{"sine_pulses", {"--shape", "sine"}, {}},
        RoundTrip{"tape_pulses", {"--shape", "tape"}, {}},
        RoundTrip{"lead_and_trail", {"--lead", "3000", "--trail", "2000"}, {}},
        RoundTrip{"dropout_0_2ms", {"--dropout", "4000,0.2"}, {}},
        RoundTrip{"everything_at_once_44100",
                  {"--rate", "44100", "--shape", "tape", "--amplitude", "70", "--dc", "-4",
                   "--noise", "1", "--hum", "3", "--speed", "0.97", "--wow", "0.02,0.7",
                   "--fade", "0.3", "--lead", "1000", "--trail", "500", "--seed", "11"},
                  {}}),
    case_name);

// Harder cases: the default threshold n=30 asks a sample to be 15 steps from the middle.
INSTANTIATE_TEST_SUITE_P(
    HarderCases, RoundTripTest,
    ::testing::Values(
        // Pulses only 8 steps high never reach the default threshold: n=8 lets them count.
        RoundTrip{"amplitude_8_needs_n8", {"--amplitude", "8"}, {"n=8"}},
        // Noise of RMS 8 crosses the default threshold in the pauses and splits them; a
        // threshold far above the noise (level 120 is 60 steps, 7.5 RMS) keeps them whole.
        RoundTrip{"noise_rms_8_needs_n120", {"--noise", "8"}, {"n=120"}},
        // An offset of 40 steps puts silence above the default threshold: n=120 is above it
        // and the pulses still reach it on one side.
        RoundTrip{"dc_40_needs_n120", {"--dc", "40"}, {"n=120"}},
        // Hum of 40 steps peak does the same for part of every mains cycle.
        RoundTrip{"hum_40_needs_n120", {"--hum", "40"}, {"n=120"}},
        // Faded to a twentieth, the end of the recording is 5 steps high: n=6.
        RoundTrip{"fade_95_percent_needs_n6", {"--fade", "0.95"}, {"n=6"}},
        // Wow of 18 % moves the bit lengths so far that the 0 and 1 ranges need widening: k=2.
        RoundTrip{"wow_18_percent_needs_k2", {"--wow", "0.18,0.5"}, {"k=2"}},
        // Tape-shaped pulses in noise at 44100 Hz: the threshold well above the noise.
        RoundTrip{"tape_noise_6_needs_n100",
                  {"--rate", "44100", "--shape", "tape", "--noise", "6"},
                  {"n=100"}}),
    case_name);

} // namespace

namespace {

// A program as a ZX81 saves it, full display included, through a realistic recording.
TEST(RoundTripOfABasicProgram, ComesBackUnderItsSavedName) {
    BuildOptions options;
    options.full_display = true;
    options.screen = {{0x2D, 0x2A, 0x31, 0x31, 0x34}}; // HELLO on the first row
    options.autostart = 10;
    const std::vector<uint8_t> program = build_p_file(
        {text_line(10, "FOR I=1 TO 10"), text_line(20, "PRINT \"ZX81 \";I*I"),
         text_line(30, "NEXT I"), text_line(40, "GOTO 10")},
        options);
    ScratchDir dir;
    write_file(dir / "squares.p", program);
    ASSERT_EQ(run_zx81synth({"--name", "SQUARES 2", "--rate", "44100", "--shape", "tape",
                             "--noise", "45dB", "--wow", "0.02,0.8", "--amplitude", "90",
                             "--lead", "500", "squares.p", "tape.raw"},
                            dir.path())
                  .status,
              0);
    const RunResult convert = run_zx81tape({"tape.raw"}, dir.path());
    EXPECT_EQ(convert.status, 0) << convert.err;
    EXPECT_EQ(convert.err, "");
    EXPECT_TRUE(read_file(dir / "squares_2.p") == program);
}

} // namespace
