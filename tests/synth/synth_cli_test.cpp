// zx81synth run as a user runs it: status, messages and the bytes of every file.
#include <gtest/gtest.h>

#include "synth/synth_test_support.h"
#include "sound/sample_source.h"
#include "tape/tape_signal.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// A usage error as every newer tool reports it.
std::string usage_error(const std::string& message) {
    return "zx81synth: " + message + "\nTry 'zx81synth --help' for more information.\n";
}

TEST(SynthCli, HelpDocumentsEveryOption) {
    ScratchDir dir;
    const RunResult r = run_zx81synth({"--help"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("usage: zx81synth [options] PROGRAM OUTPUT\n", 0), 0u);
    for (const char* option :
         {"--name NAME", "--rate HZ", "--bits 8|16|24", "--lead MS", "--trail MS", "--gap MS",
          "--amplitude A",
          "--invert", "--dc D", "--noise L", "--noise NdB", "--hum L[,HZ]", "--speed F",
          "--wow D[,HZ]", "--fade F", "--shape S", "--dropout AT,LEN[,LEVEL]", "--seed N",
          "-h, --help", "-V, --version"}) {
        const std::size_t at = r.out.find(std::string("\n  ") + option);
        ASSERT_NE(at, std::string::npos) << option;
        const char after = r.out[at + 3 + std::strlen(option)];
        EXPECT_TRUE(after == ' ' || after == '\n') << option;
    }
    EXPECT_TRUE(list_dir(dir.path()).empty());
}

TEST(SynthCli, VersionIsOneLine) {
    ScratchDir dir;
    for (const char* option : {"--version", "-V"}) {
        const RunResult r = run_zx81synth({option}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "zx81synth " ZX81_VERSION "\n");
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(run_zx81synth({"-h"}, dir.path()).out, run_zx81synth({"--help"}, dir.path()).out);
}

TEST(SynthCli, WritesTheRawRecording) {
    ScratchDir dir;
    write_file(dir / "hello.p", test_program(20));
    const RunResult r = run_zx81synth({"hello.p", "hello.raw"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"hello.p", "hello.raw"}));

    TapeSignal signal;
    const std::vector<uint8_t> name{0x2D, 0x2A, 0x31, 0x31, 0xB4}; // HELLO
    EXPECT_EQ(read_file(dir / "hello.raw"), tape_recording(signal, name, test_program(20)));
}

// The samples of a sound file as the converter reads them (see sound/sample_source.h).
std::vector<uint8_t> converter_samples(const std::string& path) {
    SampleSource source;
    EXPECT_EQ(open_sample_source(source, path), SourceOpen::ok) << path;
    std::vector<uint8_t> samples;
    uint8_t block[4096];
    uint32_t count = 0;
    while (read_samples(source, block, sizeof block, count) && count > 0) {
        samples.insert(samples.end(), block, block + count);
    }
    close_sample_source(source);
    return samples;
}

// A canonical 44-byte WAV header of 8-bit mono samples at 11025 Hz.
std::vector<uint8_t> wav8_header(uint32_t samples) {
    const uint32_t riff = 36 + samples + (samples & 1);
    std::vector<uint8_t> h{'R', 'I', 'F', 'F'};
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(riff >> 8 * i));
    const uint8_t fmt[] = {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0,
                           0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a'};
    h.insert(h.end(), std::begin(fmt), std::end(fmt));
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(samples >> 8 * i));
    return h;
}

// Every sound file type and width holds the raw recording's samples: 8-bit ones exactly (an
// 8-bit WAV file is the raw samples under the canonical header), wider ones rounded finer,
// within half a step and a bit of the raw sample; the converter reads each back.
TEST(SynthCli, SoundFilesHoldTheSamplesOfTheRawRecording) {
    ScratchDir dir;
    write_file(dir / "p.p", test_program(15));
    const std::vector<std::string> options{"--shape", "tape", "--noise", "2", "--rate", "11025",
                                           "--lead", "0.1"};
    std::vector<std::string> args(options);
    args.insert(args.end(), {"p.p", "r.raw"});
    ASSERT_EQ(run_zx81synth(args, dir.path()).status, 0);
    const std::vector<uint8_t> raw = read_file(dir / "r.raw");
    ASSERT_EQ(raw.size() % 2, 1u); // so that the WAV file needs its pad byte

    const struct {
        const char* name;
        int bits;
        int format;
    } outputs[] = {{"w8.wav", 8, SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
                   {"w16.WAV", 16, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                   {"w24.wav", 24, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                   {"f8.flac", 8, SF_FORMAT_FLAC | SF_FORMAT_PCM_S8},
                   {"f16.flac", 16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                   {"a8.aif", 8, SF_FORMAT_AIFF | SF_FORMAT_PCM_S8},
                   {"a24.aiff", 24, SF_FORMAT_AIFF | SF_FORMAT_PCM_24}};
    for (const auto& output : outputs) {
        args = options;
        args.insert(args.end(), {"--bits", std::to_string(output.bits), "p.p", output.name});
        const RunResult r = run_zx81synth(args, dir.path());
        ASSERT_EQ(r.status, 0) << output.name << r.err;
        EXPECT_EQ(r.out + r.err, "");

        SF_INFO info{};
        SNDFILE* in = sf_open((dir / output.name).c_str(), SFM_READ, &info);
        ASSERT_NE(in, nullptr) << output.name;
        EXPECT_EQ(info.format, output.format) << output.name;
        EXPECT_EQ(info.samplerate, 11025);
        EXPECT_EQ(info.channels, 1);
        // libsndfile gives an 8-bit AIFF file of an odd sample count one silent sample more.
        const std::size_t extra = output.format == (SF_FORMAT_AIFF | SF_FORMAT_PCM_S8) ? 1 : 0;
        std::vector<int> samples(raw.size() + 2);
        ASSERT_EQ(sf_read_int(in, samples.data(), static_cast<sf_count_t>(samples.size())),
                  static_cast<sf_count_t>(raw.size() + extra))
            << output.name;
        sf_close(in);
        if (extra != 0) {
            EXPECT_EQ(samples[raw.size()], 0);
        }
        const double step = 1 << (output.bits - 8); // one 8-bit step at this width
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const double value = (samples[i] >> (32 - output.bits)) / step + 128.0;
            if (output.bits == 8) {
                ASSERT_EQ(value, raw[i]) << output.name << " " << i;
            } else {
                ASSERT_NEAR(value, raw[i], 0.5 + 1.0 / step) << output.name << " " << i;
            }
        }
        const std::vector<uint8_t> read_back = converter_samples(dir / output.name);
        ASSERT_EQ(read_back.size(), raw.size() + extra) << output.name;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            ASSERT_NEAR(read_back[i], raw[i], output.bits == 8 ? 0 : 1) << output.name << i;
        }
    }
    std::vector<uint8_t> wav = wav8_header(static_cast<uint32_t>(raw.size()));
    wav.insert(wav.end(), raw.begin(), raw.end());
    wav.push_back(0);
    EXPECT_EQ(read_file(dir / "w8.wav"), wav);

    // A sound file into a pipe: libsndfile's sizes, written at the end, still reach the header.
    ASSERT_EQ(symlink("/dev/stdout", (dir / "out.wav").c_str()), 0);
    args = options;
    args.insert(args.end(), {"p.p", "out.wav"});
    const RunResult piped = run_zx81synth(args, dir.path());
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(std::vector<uint8_t>(piped.out.begin(), piped.out.end()), wav);
}

TEST(SynthCli, SameSeedSameFileOtherSeedOtherFile) {
    ScratchDir dir;
    write_file(dir / "p.p", test_program(10));
    for (const char* run : {"a", "b"}) {
        run_zx81synth({"--noise", "20dB", "--wow", "0.02", "--seed", "5", "p.p",
                       std::string(run) + ".raw"},
                      dir.path());
    }
    run_zx81synth({"--noise", "20dB", "--wow", "0.02", "--seed", "6", "p.p", "c.raw"}, dir.path());
    EXPECT_EQ(read_file(dir / "a.raw"), read_file(dir / "b.raw"));
    EXPECT_NE(read_file(dir / "a.raw"), read_file(dir / "c.raw"));
}

TEST(SynthCli, ReplacesAnExistingOutput) {
    ScratchDir dir;
    write_file(dir / "p.p", test_program(10));
    write_text(dir / "out.raw", "old");
    EXPECT_EQ(run_zx81synth({"p.p", "out.raw"}, dir.path()).status, 0);
    EXPECT_GT(read_file(dir / "out.raw").size(), 3u);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"out.raw", "p.p"}));
}

struct UsageError {
    std::vector<std::string> args;
    std::string err;
};

class SynthCliUsageErrors : public ::testing::TestWithParam<UsageError> {};

TEST_P(SynthCliUsageErrors, EndWithStatusTwoAndTouchNothing) {
    ScratchDir dir;
    write_file(dir / "hello_world.p", test_program(10));
    write_file(dir / "ok.p", test_program(10));
    write_text(dir / "old.raw", "keep me");
    const RunResult r = run_zx81synth(GetParam().args, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"hello_world.p", "ok.p", "old.raw"}));
    EXPECT_EQ(read_text(dir / "old.raw"), "keep me");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SynthCliUsageErrors,
    ::testing::Values(
        UsageError{{}, usage_error("expected PROGRAM and OUTPUT")},
        UsageError{{"--rate", "5", "ok.p", "old.raw"},
                   usage_error("--rate: 5 is out of range (8000 to 192000)")},
        UsageError{{"--shape", "saw", "ok.p", "old.raw"},
                   usage_error("--shape: 'saw' is not square, sine or tape")},
        UsageError{{"hello_world.p", "old.raw"},
                   usage_error("the name \"HELLO_WORLD\" has '_', which the ZX81 lacks (choose "
                               "another with --name)")},
        UsageError{{"--name", "a@b", "ok.p", "old.raw"},
                   usage_error("the name \"a@b\" has '@', which the ZX81 lacks (choose another "
                               "with --name)")},
        UsageError{{"--name", "CAF\xC3\x89", "ok.p", "old.raw"},
                   usage_error("the name \"CAF\xC3\x89\" has '\xC3\x89', which the ZX81 lacks "
                               "(choose another with --name)")},
        UsageError{{"--name", "A\tB", "ok.p", "old.raw"},
                   usage_error("the name \"A\tB\" has '\\x09', which the ZX81 lacks (choose "
                               "another with --name)")},
        UsageError{{"--name", std::string(128, 'A'), "ok.p", "old.raw"},
                   usage_error("the name \"" + std::string(128, 'A') +
                               "\" is longer than 127 characters")},
        UsageError{{"ok.p", "ok.p"},
                   usage_error("can't write the recording over its program ok.p")},
        UsageError{{"ok.p", "./ok.p"},
                   usage_error("can't write the recording over its program ok.p")}));

TEST(SynthCli, DefaultNameMayBeOverridden) {
    ScratchDir dir;
    write_file(dir / "hello_world.p", test_program(10));
    EXPECT_EQ(run_zx81synth({"--name", "HELLO WORLD", "hello_world.p", "t.raw"}, dir.path()).status,
              0);
}

TEST(SynthCli, MissingProgramIsStatusOne) {
    ScratchDir dir;
    const RunResult r = run_zx81synth({"absent.p", "out.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81synth: can't read absent.p: No such file or directory\n");
    EXPECT_TRUE(list_dir(dir.path()).empty());
}

TEST(SynthCli, ProgramLargerThan64KIsRefused) {
    ScratchDir dir;
    write_file(dir / "big.p", std::vector<uint8_t>(65537, 0x55));
    write_file(dir / "edge.p", std::vector<uint8_t>(65536, 0x00));
    const RunResult r = run_zx81synth({"big.p", "out.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81synth: big.p is larger than 64 KB: not a ZX81 program\n");
    EXPECT_EQ(run_zx81synth({"--rate", "8000", "edge.p", "edge.raw"}, dir.path()).status, 0);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"big.p", "edge.p", "edge.raw"}));
}

TEST(SynthCli, ProgramThatIsADirectoryIsStatusOne) {
    ScratchDir dir;
    const RunResult r = run_zx81synth({".", "out.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81synth: can't read .: it is a directory\n");
}

TEST(SynthCli, UnwritableOutputIsStatusOne) {
    ScratchDir dir;
    write_file(dir / "p.p", test_program(10));
    const RunResult r = run_zx81synth({"p.p", "missing/out.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81synth: can't create missing/out.raw\n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"p.p"});
}

TEST(SynthCli, FullDeviceIsAFailureAndLeavesNothing) {
    ScratchDir dir;
    write_file(dir / "p.p", test_program(10));
    const RunResult r = run_zx81synth({"p.p", "/dev/full"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81synth: can't write /dev/full\n");
}

TEST(SynthCli, TooLongForAWavFileIsRefused) {
    ScratchDir dir;
    write_file(dir / "p.p", test_program(1));
    // Two hours of silence played at half speed: 4 hours at 192000 Hz, 16 bits, 5.5e9 bytes.
    const RunResult r = run_zx81synth({"--rate", "192000", "--bits", "16", "--speed", "0.5",
                                       "--lead", "3600000", "--trail", "3600000", "p.p", "x.wav"},
                                      dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("zx81synth: the recording is too long for a WAV file (", 0), 0u) << r.err;
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"p.p"});
}

TEST(SynthCli, LongRecordingNeedsLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs far more address space than the limit";
#else
    ScratchDir dir;
    write_file(dir / "p.p", test_program(100));
    // Ten minutes at 48000 Hz: 28.8 million samples, more than the 16 MB the run may use.
    const std::string command = "ulimit -v 16384 && exec '" ZX81SYNTH_PATH
                                "' --rate 48000 --trail 600000 p.p /dev/null";
    const RunResult r = run_program("/bin/sh", {"sh", "-c", command}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
#endif
}

} // namespace
