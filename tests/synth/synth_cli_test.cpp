// zx81synth run as a user runs it: status, messages and the bytes of every file.
#include <gtest/gtest.h>

#include "synth/synth_test_support.h"
#include "synth/wav_file.h"
#include "tape/tape_signal.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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
    EXPECT_EQ(r.out.rfind("usage: zx81synth [options] PROGRAM.p OUTPUT\n", 0), 0u);
    for (const char* option :
         {"--name NAME", "--rate HZ", "--bits 8|16", "--lead MS", "--trail MS", "--amplitude A",
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

TEST(SynthCli, WavFileHoldsTheSameSamplesAsRaw) {
    ScratchDir dir;
    write_file(dir / "p.p", test_program(15));
    for (const char* wav : {"eight.wav", "sixteen.WAV"}) {
        const bool sixteen = wav[0] == 's';
        std::vector<std::string> args{"--shape", "tape", "--noise", "2", "--rate", "11025"};
        if (sixteen) args.insert(args.end(), {"--bits", "16"});
        args.insert(args.end(), {"p.p", wav});
        ASSERT_EQ(run_zx81synth(args, dir.path()).status, 0);
    }
    ASSERT_EQ(run_zx81synth({"--shape", "tape", "--noise", "2", "--rate", "11025", "p.p", "r.raw"},
                            dir.path())
                  .status,
              0);
    const std::vector<uint8_t> raw = read_file(dir / "r.raw");
    const std::vector<uint8_t> eight = read_file(dir / "eight.wav");
    const std::vector<uint8_t> sixteen = read_file(dir / "sixteen.WAV");

    const auto header8 = wav_header(11025, 8, static_cast<int64_t>(raw.size()));
    ASSERT_EQ(eight.size(), 44 + raw.size() + raw.size() % 2);
    EXPECT_TRUE(std::equal(header8.begin(), header8.end(), eight.begin()));
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), eight.begin() + 44));
    if (raw.size() % 2 == 1) {
        EXPECT_EQ(eight.back(), 0);
    }

    const auto header16 = wav_header(11025, 16, static_cast<int64_t>(raw.size()));
    ASSERT_EQ(sixteen.size(), 44 + 2 * raw.size());
    EXPECT_TRUE(std::equal(header16.begin(), header16.end(), sixteen.begin()));
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto s = static_cast<int16_t>(get_le16(&sixteen[44 + 2 * i]));
        // The 16-bit sample is the finer one: within half a step of the 8-bit sample.
        ASSERT_NEAR(s / 256.0 + 128.0, raw[i], 0.5 + 1.0 / 256) << i;
    }
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
        UsageError{{}, usage_error("expected PROGRAM.p and OUTPUT")},
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
