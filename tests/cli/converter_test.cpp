// The converter end to end: it runs the built executable in a scratch directory on recordings
// made by the tape-signal generator and checks status, both streams and every file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

#include "signal/normaliser.h"
#include "support/test_support.h"
#include "tape/tape_signal.h"
#include "support/reference_walks.h"

namespace {

const std::vector<uint8_t> name_test{0x39, 0x2A, 0x38, 0xB9}; // "test", last code marked

std::vector<uint8_t> program_bytes(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 5);
    return bytes;
}

std::vector<uint8_t> recording(int rate, const std::vector<uint8_t>& program,
                               const std::vector<uint8_t>& name = name_test) {
    TapeSignal signal;
    signal.rate = rate;
    signal.lead_ms = 20;
    signal.trail_ms = 20;
    return tape_recording(signal, name, program);
}

std::string full_run_stdout(int shortest_pause, int zero_length, int one_length,
                            const std::string& prefix = "", const std::string& base = "game") {
    return "... creating war file " + prefix + base +
           ".war\n\nnplat = " + std::to_string(shortest_pause) +
           "\n\nnplat = " + std::to_string(shortest_pause) + " n0=" + std::to_string(zero_length) +
           " n1=" + std::to_string(one_length) + "\n... creating bit file " + prefix + base +
           ".bit\npathbuf=[" + prefix + "] ZxName=[test]\n... creating P file " + prefix +
           "test.p\n";
}

class Converter : public testing::Test {
  protected:
    ScratchDir dir;

    void put(const std::string& name, const std::vector<uint8_t>& bytes) { write_file(dir / name, bytes); }
    RunResult run(const std::vector<std::string>& args) { return run_zx81tape(args, dir.path()); }
};

} // namespace

TEST_F(Converter, UsageWithoutArguments) {
    const RunResult r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::size_t first = r.out.find('\n');
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(r.out.substr(0, first + 1), " zx81tape  filename.raw [n=NN] \n");
    const std::size_t second = r.out.find('\n', first + 1);
    const std::string build_line = r.out.substr(first + 1, second - first - 1);
    // The date and time of the build, as "Aug 30 1998" and "15:57:28", end the line.
    char month[4];
    int day = 0, year = 0, hour = -1, minute = -1, sec = -1;
    const std::string when = build_line.substr(build_line.size() - 20);
    EXPECT_EQ(std::sscanf(when.c_str(), "%3s %2d %4d %2d:%2d:%2d", month, &day, &year, &hour,
                          &minute, &sec),
              6)
        << build_line;
    EXPECT_TRUE(day >= 1 && day <= 31 && year >= 2000 && hour >= 0 && sec >= 0) << build_line;
    EXPECT_EQ(r.out.substr(second + 1, 2), "\n ");
    EXPECT_NE(r.out.find(" the maximum. The data MUST be save in RAW format (that is\n"),
              std::string::npos);
    EXPECT_NE(r.out.find(" name of the program). Make sure recording level is > 50% of\n"),
              std::string::npos);
    const std::string tail = "   -m                 // more information when processing\n"
                             " intermediate files:\n"
                             "    filename.war      // normalized raw file\n"
                             "    filename.bit      // converted war file ('0','1','?')\n"
                             "    'name'.p          // bit file => p file\n";
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 30);
    EXPECT_TRUE(list_dir(dir.path()).empty());
}

TEST_F(Converter, WholeConversionAtSeveralRates) {
    const std::vector<uint8_t> program = program_bytes(300);
    for (int rate : {11025, 22050, 44100}) {
        SCOPED_TRACE(rate);
        ScratchDir run_dir;
        const std::vector<uint8_t> raw = recording(rate, program);
        write_file(run_dir / "game.raw", raw);
        const RunResult r = run_zx81tape({"game.raw"}, run_dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");

        int shortest_pause = -1, zero_length = -1, one_length = -1;
        const std::size_t line = r.out.find("\nnplat = ", r.out.find("\nnplat = ") + 1);
        ASSERT_NE(line, std::string::npos) << r.out;
        ASSERT_EQ(std::sscanf(r.out.c_str() + line, "\nnplat = %d n0=%d n1=%d", &shortest_pause,
                              &zero_length, &one_length),
                  3);
        EXPECT_NEAR(zero_length, 0.0025 * rate, 2);
        EXPECT_NEAR(one_length, 0.0040 * rate, 2);
        EXPECT_EQ(r.out, full_run_stdout(shortest_pause, zero_length, one_length));

        // The war file: the thresholded, gap-filled samples and the end marker.
        const std::vector<uint8_t> war = read_file(run_dir / "game.war");
        ASSERT_EQ(war.size(), raw.size() + 1);
        EXPECT_EQ(war.back(), 0xFF);
        std::vector<uint8_t> expected = raw;
        threshold_block(expected.data(), expected.size(), 30);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            ASSERT_TRUE(war[i] == 0x00 || war[i] == 0xF0) << i;
            if (expected[i] != 0) {
                ASSERT_EQ(war[i], 0xF0) << i;
            }
        }

        std::vector<uint8_t> tape = name_test;
        tape.insert(tape.end(), program.begin(), program.end());
        EXPECT_EQ(read_text(run_dir / "game.bit"), bit_file_text(bits_of(tape)));
        EXPECT_EQ(read_file(run_dir / "test.p"), program);
        EXPECT_EQ(list_dir(run_dir.path()),
                  (std::vector<std::string>{"game.bit", "game.raw", "game.war", "test.p"}));
    }
}

TEST_F(Converter, WarFileAtTheDefaultRateIsExact) {
    put("game.raw", recording(22050, program_bytes(40)));
    const RunResult r = run({"game.raw", "-m"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "... creating war file game.war\ntreshhold=30 bread=" +
                         std::to_string(read_file(dir / "game.raw").size()) + " nfill=29\n" +
                         full_run_stdout(19, 55, 88).substr(31));
}

TEST_F(Converter, SecondRunReusesAndOptionsRebuild) {
    put("game.raw", recording(22050, program_bytes(64)));
    ASSERT_EQ(run({"game.raw"}).status, 0);
    write_text(dir / "test.p", "old");

    const std::string measured = "... creating war file game.war\n\nnplat = 19\n\nnplat = 19 n0=55 n1=88\n";
    RunResult r = run({"game.raw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, measured + "... using existing file game.bit\npathbuf=[] ZxName=[test]\n"
                                "... using existing file test.p\n");
    EXPECT_EQ(read_text(dir / "test.p"), "old");

    r = run({"game.raw", "-p"});
    EXPECT_EQ(r.out, measured + "... using existing file game.bit\npathbuf=[] ZxName=[test]\n"
                                "... creating P file test.p\n");
    EXPECT_EQ(read_file(dir / "test.p"), program_bytes(64));

    write_text(dir / "game.bit", "0");
    r = run({"game.raw", "-B"});
    EXPECT_EQ(r.out, full_run_stdout(19, 55, 88).substr(0, measured.size()) +
                         "... creating bit file game.bit\npathbuf=[] ZxName=[test]\n"
                         "... using existing file test.p\n");

    write_text(dir / "test.p", "old");
    r = run({"game.raw", "-r"});
    EXPECT_EQ(r.out, full_run_stdout(19, 55, 88));
    EXPECT_EQ(read_file(dir / "test.p"), program_bytes(64));
}

TEST_F(Converter, CleanUpRemovesWarAndBitFiles) {
    put("game.raw", recording(22050, program_bytes(16)));
    RunResult r = run({"game.raw", "-c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run_stdout(19, 55, 88) +
                         "... cleaning up intermediate file: game.war\n"
                         "... cleaning up intermediate file: game.bit\n");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"game.raw", "test.p"}));
}

TEST_F(Converter, StartingFromABitFile) {
    std::vector<uint8_t> tape = name_test;
    tape.push_back(0x12);
    tape.push_back(0x34);
    write_text(dir / "tape.bit", bit_file_text(bits_of(tape)));
    RunResult r = run({"tape.bit", "-c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "pathbuf=[] ZxName=[test]\n... creating P file test.p\n"
                     "... cleaning up intermediate file: tape.war\n"
                     "... cleaning up intermediate file: tape.bit\n");
    EXPECT_EQ(read_file(dir / "test.p"), (std::vector<uint8_t>{0x12, 0x34}));
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"test.p"});
}

TEST_F(Converter, AMissingBitFileHasNoName) {
    const RunResult r = run({"tape.bit"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, " *** error ***   Can't read name from file tape.bit \n");
}

TEST_F(Converter, OtherExtensionStartingWithBReadsTheDerivedBitName) {
    write_text(dir / "tape.BAK", "garbage");
    write_text(dir / "tape.bit", bits_of({0x80, 0x41}));
    RunResult r = run({"tape.BAK", "-c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "pathbuf=[] ZxName=[_]\n... creating P file _.p\n"
                     "... cleaning up intermediate file: tape.war\n"
                     "... cleaning up intermediate file: tape.bit\n");
    EXPECT_EQ(read_text(dir / "_.p"), "A");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"_.p", "tape.BAK"}));
}

TEST_F(Converter, PFileInputDoesNothing) {
    write_text(dir / "tape.p", "x");
    RunResult r = run({"tape.p", "-r", "-c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"tape.p"});
}

TEST_F(Converter, GivenNameAndSavedNameInBothOrders) {
    write_text(dir / "tape.bit", bits_of({0x39, 0x2A, 0x38, 0xB9, 0x01}));
    RunResult r = run({"tape.bit", "-fmine.p"});
    EXPECT_EQ(r.out, "... creating P file mine.p\n");
    EXPECT_EQ(read_file(dir / "mine.p"), std::vector<uint8_t>{0x01});

    r = run({"tape.bit", "-fother.p", "-z"});
    EXPECT_EQ(r.out, "pathbuf=[] ZxName=[test]\n... creating P file test.p\n");

    r = run({"tape.bit", "-z", "-fthird.p"});
    EXPECT_EQ(r.out, "... creating P file third.p\n");
    EXPECT_FALSE(exists(dir / "other.p"));
}

TEST_F(Converter, GivenNameAloneIsEmpty) {
    write_text(dir / "tape.bit", bits_of({0x80}));
    const RunResult r = run({"tape.bit", "-f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "... creating P file \n");
    EXPECT_EQ(r.err, "missing p-filename -f\n *** error ***   Can't open output file  \n");
}

TEST_F(Converter, MissingSavedName) {
    write_text(dir / "tape.bit", "0101");
    RunResult r = run({"tape.bit"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "*** error *** Could not get the saved name \n");

    r = run({"tape.bit", "-fout.p"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "*** warning *** Could not get the saved name... creating P file out.p\n");
    EXPECT_EQ(read_file(dir / "out.p"), std::vector<uint8_t>{});
}

TEST_F(Converter, InputInAnotherDirectoryPutsThePFileBesideIt) {
    ASSERT_EQ(mkdir((dir / "tapes").c_str(), 0755), 0);
    put("tapes/game.raw", recording(22050, program_bytes(20)));
    const RunResult r = run({"tapes/game.raw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run_stdout(19, 55, 88, "tapes/"));
    EXPECT_EQ(read_file(dir / "tapes/test.p"), program_bytes(20));
}

TEST_F(Converter, UnknownBitsUnderEachPolicy) {
    std::string bits = bits_of({0x39, 0x2A, 0x38, 0xB9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    bits += "?0000001";
    write_text(dir / "tape.bit", bits);
    RunResult r = run({"tape.bit"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "pathbuf=[] ZxName=[test]\n... creating P file test.p\nerror at cnt=5 (0x0005)\n");
    EXPECT_EQ(r.err, "** aborted because of 1 error(s) !! (use -i or -o to try again)\n");
    EXPECT_EQ(read_file(dir / "test.p"), std::vector<uint8_t>(5, 0xFF));

    r = run({"tape.bit", "-o", "-p"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / "test.p").back(), 0x81);
    r = run({"tape.bit", "-o", "-i", "-p"});
    EXPECT_EQ(read_file(dir / "test.p").back(), 0x01);
}

TEST_F(Converter, UnknownBitsInTheRecordingAreReported) {
    // The recording of "test" and the byte 0xFF, whose third bit is a burst of 6 pulses:
    // neither a 0 (4 pulses) nor a 1 (9). At 22050 Hz a pulse is about 3 samples high and 4
    // low, and the pause after a bit 29 samples.
    std::vector<uint8_t> raw(441, 128);
    int bit_index = 0;
    int odd_bit_start = 0;
    for (uint8_t byte : {0x39, 0x2A, 0x38, 0xB9, 0xFF}) {
        for (int i = 7; i >= 0; --i, ++bit_index) {
            const int pulses = bit_index == 34 ? 6 : (byte >> i) & 1 ? 9 : 4;
            if (bit_index == 35) odd_bit_start = static_cast<int>(raw.size());
            for (int p = 0; p < pulses; ++p) {
                raw.insert(raw.end(), 3, 228);
                raw.insert(raw.end(), 4, 28);
            }
            raw.insert(raw.end(), 29, 128);
        }
    }
    raw.insert(raw.end(), 441, 128);
    put("game.raw", raw);
    const RunResult r = run({"game.raw"});
    EXPECT_EQ(r.status, 0);
    const std::string lines = "... creating bit file game.bit\nunknown bit, nsample=" +
                              std::to_string(odd_bit_start) + " in war file\npathbuf=[] ZxName=[test]\n" +
                              "... creating P file test.p\nerror at cnt=0 (0x0000)\n";
    EXPECT_NE(r.out.find(lines), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "** aborted because of 1 error(s) !! (use -i or -o to try again)\n");
    EXPECT_EQ(read_text(dir / "game.bit"), bit_file_text(bits_of({0x39, 0x2A, 0x38, 0xB9}) + "11?11111"));
    EXPECT_EQ(read_file(dir / "test.p"), std::vector<uint8_t>{});
}

TEST_F(Converter, UnknownOptionsAreReportedAndTheRunGoesOn) {
    const RunResult r = run({"missing.raw", "-e", "x=5", "hello"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "... creating war file missing.war\n");
    EXPECT_EQ(r.err, "unknown option -e\nunknown option x=5\n"
                     " *** error ***   Can't read file missing.raw \n");
    EXPECT_TRUE(list_dir(dir.path()).empty());
}

TEST_F(Converter, TooShortRecordingsCannotBeCalibrated) {
    for (std::size_t size : {0, 1, 2, 3}) {
        SCOPED_TRACE(size);
        put("short.raw", std::vector<uint8_t>(size, 200));
        const RunResult r = run({"short.raw"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "... creating war file short.war\n");
        EXPECT_EQ(r.err, "*** error *** Could not compute 0,1 bit length in samples\n");
        std::vector<uint8_t> war(size, 0xF0);
        war.push_back(0xFF);
        EXPECT_EQ(read_file(dir / "short.war"), war);
    }
}

TEST_F(Converter, ExactlyOneBlockOfSamples) {
    std::vector<uint8_t> raw = recording(22050, program_bytes(3000));
    ASSERT_LT(raw.size(), 2000000u);
    raw.resize(2000000, 128);
    put("game.raw", raw);
    const RunResult r = run({"game.raw", "-m"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "... creating war file game.war\ntreshhold=30 bread=2000000 nfill=29\n" +
                         full_run_stdout(19, 55, 88).substr(31));
    EXPECT_EQ(read_file(dir / "game.war").size(), 2000001u);
    EXPECT_EQ(read_file(dir / "test.p"), program_bytes(3000));
}

TEST_F(Converter, ZeroToleranceDivisorStopsBeforeAnyFileIsOpened) {
    put("game.raw", recording(22050, program_bytes(16)));
    RunResult r = run({"game.raw", "k=0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "*** error *** k=0 is not allowed (the tolerance divisor must not be 0)\n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"game.raw"});

    // A bit file that is reused needs no divisor.
    ASSERT_EQ(run({"game.raw"}).status, 0);
    r = run({"game.raw", "k=0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    r = run({"game.raw", "k=0", "-b"});
    EXPECT_EQ(r.status, 1);
}

TEST_F(Converter, NegativeDivisorMakesEveryBitUnknown) {
    // Every bit is '?': the name decoder reads them as 0 bits (eight unmarked spaces, "_"),
    // and the assembler leaves all of them out.
    put("game.raw", recording(22050, program_bytes(4)));
    const RunResult r = run({"game.raw", "k=-2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_text(dir / "game.bit"), bit_file_text(std::string(64, '?')));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 6 + 64 + 2 + 64);
    EXPECT_NE(r.out.find("pathbuf=[] ZxName=[________]\n... creating P file ________.p\n"),
              std::string::npos);
    EXPECT_EQ(r.err, "** aborted because of 64 error(s) !! (use -i or -o to try again)\n");
    EXPECT_EQ(read_file(dir / "________.p"), std::vector<uint8_t>{});
}

TEST_F(Converter, InputThatIsItsOwnWarFileIsRefused) {
    put("tape.war", {1, 2, 3});
    const RunResult r = run({"tape.war"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, " *** error ***   Can't use tape.war as both input and war file \n");
    EXPECT_EQ(read_file(dir / "tape.war"), (std::vector<uint8_t>{1, 2, 3}));
}
