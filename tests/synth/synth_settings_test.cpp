#include <gtest/gtest.h>

#include "synth/synth_settings.h"

#include <string>
#include <vector>

namespace {

struct Parsed {
    ToolCommand outcome;
    SynthSettings settings;
    std::string message;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "zx81synth");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    Parsed p;
    p.outcome = parse_synth_options(static_cast<int>(argv.size()), argv.data(), p.settings,
                                    p.message);
    return p;
}

TEST(SynthOptions, DefaultsLeaveEveryImpairmentOff) {
    const Parsed p = parse({"prog.p", "out.raw"});
    ASSERT_EQ(p.outcome, ToolCommand::run);
    const SynthSettings& s = p.settings;
    EXPECT_EQ(s.program_name, "prog.p");
    EXPECT_EQ(s.output_name, "out.raw");
    EXPECT_FALSE(s.sound_file);
    EXPECT_EQ(s.gap_ms, 5000.0);
    EXPECT_EQ(s.rate, 22050);
    EXPECT_EQ(s.bits, 8);
    EXPECT_EQ(s.amplitude, 100);
    EXPECT_FALSE(s.invert);
    EXPECT_EQ(s.dc, 0.0);
    EXPECT_EQ(s.noise, 0.0);
    EXPECT_FALSE(s.noise_is_snr);
    EXPECT_EQ(s.hum, 0.0);
    EXPECT_EQ(s.speed, 1.0);
    EXPECT_EQ(s.wow_depth, 0.0);
    EXPECT_EQ(s.fade, 0.0);
    EXPECT_EQ(s.shape, PulseShape::square);
    EXPECT_EQ(s.lead_ms, 0.0);
    EXPECT_EQ(s.trail_ms, 0.0);
    EXPECT_EQ(s.dropout_ms, 0.0);
    EXPECT_TRUE(s.tape_name.empty());
}

TEST(SynthOptions, ReadsEveryOptionInBothSpellings) {
    const Parsed p = parse({"--name", "MY PROG", "--rate=44100", "--bits", "16", "--amplitude",
                            "60", "--invert", "--dc=-12.5", "--noise", "3", "--hum", "8,60",
                            "--speed", "0.95", "--wow=0.02,1.5", "--fade", "0.4", "--shape",
                            "tape", "--lead", "500", "--trail=250", "--gap", "800", "--dropout", "100,2,0.1",
                            "--seed", "18446744073709551615", "a.p", "B.WAV"});
    ASSERT_EQ(p.outcome, ToolCommand::run) << p.message;
    const SynthSettings& s = p.settings;
    EXPECT_EQ(s.tape_name, "MY PROG");
    EXPECT_EQ(s.rate, 44100);
    EXPECT_EQ(s.bits, 16);
    EXPECT_TRUE(s.sound_file);
    EXPECT_EQ(s.sound_type, SoundFileType::wav);
    EXPECT_EQ(s.gap_ms, 800.0);
    EXPECT_EQ(s.amplitude, 60);
    EXPECT_TRUE(s.invert);
    EXPECT_EQ(s.dc, -12.5);
    EXPECT_EQ(s.noise, 3.0);
    EXPECT_EQ(s.hum, 8.0);
    EXPECT_EQ(s.hum_hz, 60.0);
    EXPECT_EQ(s.speed, 0.95);
    EXPECT_EQ(s.wow_depth, 0.02);
    EXPECT_EQ(s.wow_hz, 1.5);
    EXPECT_EQ(s.fade, 0.4);
    EXPECT_EQ(s.shape, PulseShape::tape);
    EXPECT_EQ(s.lead_ms, 500.0);
    EXPECT_EQ(s.trail_ms, 250.0);
    EXPECT_EQ(s.dropout_at_ms, 100.0);
    EXPECT_EQ(s.dropout_ms, 2.0);
    EXPECT_EQ(s.dropout_level, 0.1);
    EXPECT_EQ(s.seed, 18446744073709551615ull);
    EXPECT_EQ(s.program_name, "a.p");
    EXPECT_EQ(s.output_name, "B.WAV");
}

TEST(SynthOptions, NoiseInDecibelsIsARatio) {
    const Parsed p = parse({"--noise", "26dB", "a.p", "b.raw"});
    ASSERT_EQ(p.outcome, ToolCommand::run);
    EXPECT_TRUE(p.settings.noise_is_snr);
    EXPECT_EQ(p.settings.noise_snr_db, 26.0);
}

TEST(SynthOptions, OptionalFieldsKeepTheirDefaults) {
    const Parsed p = parse({"--hum", "5", "--wow", "0.1", "--dropout", "10,1", "a.p", "b"});
    ASSERT_EQ(p.outcome, ToolCommand::run);
    EXPECT_EQ(p.settings.hum_hz, 50.0);
    EXPECT_EQ(p.settings.wow_hz, 0.5);
    EXPECT_EQ(p.settings.dropout_level, 0.05);
}

TEST(SynthOptions, DoubleDashEndsTheOptions) {
    const Parsed p = parse({"--rate", "8000", "--", "--odd.p", "-out"});
    ASSERT_EQ(p.outcome, ToolCommand::run) << p.message;
    EXPECT_EQ(p.settings.program_name, "--odd.p");
    EXPECT_EQ(p.settings.output_name, "-out");
}

TEST(SynthOptions, HelpAndVersionWinOverEverythingAfterThem) {
    EXPECT_EQ(parse({"--help"}).outcome, ToolCommand::help);
    EXPECT_EQ(parse({"-h"}).outcome, ToolCommand::help);
    EXPECT_EQ(parse({"a.p", "--version", "--rate", "1"}).outcome, ToolCommand::version);
    EXPECT_EQ(parse({"a.p", "-V"}).outcome, ToolCommand::version);
}

struct BadCase {
    std::vector<std::string> args;
    const char* message;
};

class SynthOptionErrors : public ::testing::TestWithParam<BadCase> {};

TEST_P(SynthOptionErrors, GiveOneClearLine) {
    std::vector<std::string> args = GetParam().args;
    const Parsed p = parse(args);
    EXPECT_EQ(p.outcome, ToolCommand::usage_error);
    EXPECT_EQ(p.message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SynthOptionErrors,
    ::testing::Values(
        BadCase{{"a.p"}, "expected PROGRAM and OUTPUT"},
        BadCase{{"a.p", "b", "c"}, "unexpected argument 'c'"},
        BadCase{{"--frobnicate", "a.p", "b"}, "unknown option '--frobnicate'"},
        BadCase{{"-x", "a.p", "b"}, "unknown option '-x'"},
        BadCase{{"a.p", "b", "--rate"}, "option '--rate' needs a value"},
        BadCase{{"--rate", "7999", "a.p", "b"}, "--rate: 7999 is out of range (8000 to 192000)"},
        BadCase{{"--rate", "192001", "a.p", "b"},
                "--rate: 192001 is out of range (8000 to 192000)"},
        BadCase{{"--rate", "22050.5", "a.p", "b"}, "--rate: 22050.5 is not a whole number"},
        BadCase{{"--rate", "fast", "a.p", "b"}, "--rate: 'fast' is not a number"},
        BadCase{{"--rate=", "a.p", "b"}, "--rate: '' is not a number"},
        BadCase{{"--bits", "12", "a.p", "b.wav"}, "--bits: '12' is not 8, 16 or 24"},
        BadCase{{"--bits", "24", "a.p", "b.raw"},
                "--bits 24 needs a sound file (OUTPUT ending in .wav, .flac, .aif or .aiff); raw "
                "output is 8-bit"},
        BadCase{{"--amplitude", "0", "a.p", "b"}, "--amplitude: 0 is out of range (1 to 127)"},
        BadCase{{"--amplitude", "128", "a.p", "b"}, "--amplitude: 128 is out of range (1 to 127)"},
        BadCase{{"--invert=yes", "a.p", "b"}, "option '--invert' takes no value"},
        BadCase{{"--dc", "-200", "a.p", "b"}, "--dc: -200 is out of range (-127 to 127)"},
        BadCase{{"--noise", "-1", "a.p", "b"}, "--noise: -1 is out of range (0 to 127)"},
        BadCase{{"--noise", "lotsdB", "a.p", "b"}, "--noise: 'lots' is not a number"},
        BadCase{{"--noise", "101dB", "a.p", "b"}, "--noise: 101 is out of range (-20 to 100)"},
        BadCase{{"--hum", "5,0", "a.p", "b"}, "--hum: 0 is out of range (1 to 1000)"},
        BadCase{{"--hum", "5,50,3", "a.p", "b"}, "--hum: '5,50,3' has too many fields"},
        BadCase{{"--speed", "0", "a.p", "b"}, "--speed: 0 is out of range (0.5 to 2)"},
        BadCase{{"--speed", "nan", "a.p", "b"}, "--speed: 'nan' is not a number"},
        BadCase{{"--wow", "0.6", "a.p", "b"}, "--wow: 0.6 is out of range (0 to 0.5)"},
        BadCase{{"--wow", "0.1,", "a.p", "b"}, "--wow: '' is not a number"},
        BadCase{{"--fade", "1.5", "a.p", "b"}, "--fade: 1.5 is out of range (0 to 1)"},
        BadCase{{"--shape", "triangle", "a.p", "b"},
                "--shape: 'triangle' is not square, sine or tape"},
        BadCase{{"--lead", "-5", "a.p", "b"}, "--lead: -5 is out of range (0 to 3.6e+06)"},
        BadCase{{"--trail", "1e9", "a.p", "b"}, "--trail: 1e9 is out of range (0 to 3.6e+06)"},
        BadCase{{"--gap", "-1", "a.p", "b"}, "--gap: -1 is out of range (0 to 3.6e+06)"},
        BadCase{{"--dropout", "100", "a.p", "b"},
                "--dropout: '100' needs AT,LENGTH (milliseconds)"},
        BadCase{{"--dropout", "100,2,1.5", "a.p", "b"}, "--dropout: 1.5 is out of range (0 to 1)"},
        BadCase{{"--seed", "-3", "a.p", "b"},
                "--seed: '-3' is not a whole number from 0 to 2^64-1"},
        BadCase{{"--seed", "18446744073709551616", "a.p", "b"},
                "--seed: '18446744073709551616' is not a whole number from 0 to 2^64-1"},
        BadCase{{"--name", "", "a.p", "b"}, "--name: the name is empty"}));

TEST(ParseNumber, AcceptsPlainDecimalsOnly) {
    double v = 0;
    EXPECT_TRUE(parse_number("12", v));
    EXPECT_EQ(v, 12.0);
    EXPECT_TRUE(parse_number("-0.5", v));
    EXPECT_EQ(v, -0.5);
    EXPECT_TRUE(parse_number("2e3", v));
    EXPECT_EQ(v, 2000.0);
    for (const char* bad : {"", " 1", "1 ", "0x10", "inf", "nan", "1,5", "--1", "1e999"}) {
        EXPECT_FALSE(parse_number(bad, v)) << bad;
    }
}

TEST(SplitFields, SplitsAtEveryComma) {
    EXPECT_EQ(split_fields(""), std::vector<std::string>{""});
    EXPECT_EQ(split_fields("a"), std::vector<std::string>{"a"});
    EXPECT_EQ(split_fields("a,"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(split_fields("1,2,3"), (std::vector<std::string>{"1", "2", "3"}));
}

} // namespace
