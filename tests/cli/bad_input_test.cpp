// The converter on odd input: inputs that are not files, odd names, values at the limits,
// recordings that hold no signal, bit files of noise and of great length. Each run must end
// with a clear message and status 0 or 1, never a crash or a hang, and leave no temporary file.
#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "reliability_support.h"
#include "support/test_support.h"
#include "tape/tape_signal.h"

namespace {

// The directory part of a name, up to and including its last '/'.
std::string directory_of(const std::string& base) {
    const std::size_t slash = base.rfind('/');
    return slash == std::string::npos || slash == 0 ? "" : base.substr(0, slash + 1);
}

// The output of a complete run of `test_recording()` from a raw file of the given base name.
std::string full_run_out(const std::string& base) {
    return "... creating war file " + base +
           ".war\n"
           "\nnplat = 19\n"
           "\nnplat = 19 n0=55 n1=88\n"
           "... creating bit file " +
           base +
           ".bit\n"
           "pathbuf=[" +
           directory_of(base) +
           "] ZxName=[test]\n"
           "... creating P file " +
           directory_of(base) + "test.p\n";
}

const char no_calibration[] = "*** error *** Could not compute 0,1 bit length in samples\n";

std::string last_line(const std::string& text) {
    const std::size_t end = text.size() > 0 && text.back() == '\n' ? text.size() - 1 : text.size();
    const std::size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1);
}

// Bit-file text for `bytes`: eight characters a byte, 64 to a line, CR LF between lines.
std::string bit_text(const std::vector<uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() * 8 + bytes.size() / 4 + 2);
    int column = 0;
    for (uint8_t byte : bytes) {
        if (column == 64) {
            text += "\r\n";
            column = 0;
        }
        for (int bit = 7; bit >= 0; --bit) text += (byte >> bit) & 1 ? '1' : '0';
        column += 8;
    }
    return text;
}

} // namespace

// ---- Inputs that are not regular files ------------------------------------------------------

TEST(BadInput, DirectoryAsInput) {
    ScratchDir dir;
    mkdir((dir / "tape").c_str(), 0755);
    const RunResult r = run_zx81tape({"tape"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "... creating war file tape.war\n");
    EXPECT_EQ(r.err, " *** error ***   Can't read file tape \n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"tape"});
}

TEST(BadInput, DanglingSymbolicLink) {
    ScratchDir dir;
    ASSERT_EQ(symlink("nowhere.raw", (dir / "tape.raw").c_str()), 0);
    const RunResult r = run_zx81tape({"tape.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "... creating war file tape.war\n");
    EXPECT_EQ(r.err, " *** error ***   Can't read file tape.raw \n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"tape.raw"});
}

TEST(BadInput, MissingInput) {
    ScratchDir dir;
    const RunResult r = run_zx81tape({"tape.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " *** error ***   Can't read file tape.raw \n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{});
}

TEST(BadInput, FifoAsInputIsReadLikeAFile) {
    ScratchDir dir;
    ASSERT_EQ(mkfifo((dir / "tape.raw").c_str(), 0644), 0);
    const std::vector<uint8_t> raw = test_recording();
    std::thread writer([&] {
        const int fd = open((dir / "tape.raw").c_str(), O_WRONLY);
        std::size_t done = 0;
        while (fd >= 0 && done < raw.size()) {
            const ssize_t n = write(fd, raw.data() + done, raw.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(fd);
    });
    const RunResult r = run_zx81tape({"tape.raw"}, dir.path());
    writer.join();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run_out("tape"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / "test.p"), test_program());
}

// /dev/null itself would put the war file into /dev (its name is the input's plus ".war"), so
// the test reaches it through a link.
TEST(BadInput, DevNullAsInputIsAnEmptyRecording) {
    ScratchDir dir;
    ASSERT_EQ(symlink("/dev/null", (dir / "null.raw").c_str()), 0);
    const RunResult r = run_zx81tape({"null.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "... creating war file null.war\n");
    EXPECT_EQ(r.err, no_calibration);
    EXPECT_EQ(read_file(dir / "null.war"), std::vector<uint8_t>{0xFF});
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"null.raw", "null.war"}));
}

// ---- Odd names ------------------------------------------------------------------------------

TEST(BadInput, NamesWithSpacesUtf8AndLeadingDashes) {
    const char* bases[] = {"my tape", "b\xC3\xA4nd \xE2\x98\x83", "-tape", "-r", "--", " "};
    for (const char* base : bases) {
        ScratchDir dir;
        const std::string input = std::string(base) + ".raw";
        write_file(dir / input, test_recording());
        const RunResult r = run_zx81tape({input}, dir.path());
        EXPECT_EQ(r.status, 0) << base;
        EXPECT_EQ(r.out, full_run_out(base)) << base;
        EXPECT_EQ(r.err, "") << base;
        EXPECT_EQ(list_dir(dir.path()),
                  (std::vector<std::string>{std::string(base) + ".bit", input,
                                            std::string(base) + ".war", "test.p"}))
            << base;
        EXPECT_EQ(read_file(dir / "test.p"), test_program()) << base;
    }
}

TEST(BadInput, ALeadingDashInArgumentOneIsTheInputNotAnOption) {
    ScratchDir dir;
    write_file(dir / "-r", test_recording());
    const RunResult r = run_zx81tape({"-r"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run_out("-r"));
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"-r", "-r.bit", "-r.war", "test.p"}));
}

TEST(BadInput, GivenPNameWithSpacesAndUtf8) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    const std::string p_name = "my g\xC3\xA4me \xE2\x98\x83.p";
    const RunResult r = run_zx81tape({"tape.raw", "-f" + p_name}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(last_line(r.out), "... creating P file " + p_name + "\n");
    EXPECT_EQ(read_file(dir / p_name), test_program());
}

// A name of 4,000 characters: nested directories keep every component within the system's
// limit.
TEST(BadInput, AFourThousandCharacterName) {
    ScratchDir dir;
    std::string name;
    while (name.size() + 200 < 4000 - 8) {
        name += std::string(199, 'd') + "/";
        mkdir((dir / name).c_str(), 0755);
    }
    name += std::string(4000 - 4 - name.size(), 'n') + ".raw";
    ASSERT_EQ(name.size(), 4000u);
    write_file(dir / name, test_recording());

    const RunResult r = run_zx81tape({name}, dir.path());
    const std::string base = name.substr(0, name.size() - 4);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run_out(base));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / (directory_of(base) + "test.p")), test_program());
    EXPECT_TRUE(exists(dir / (base + ".war")));
    EXPECT_TRUE(exists(dir / (base + ".bit")));
    EXPECT_TRUE(temp_files(dir / directory_of(base)).empty());
}

TEST(BadInput, AFourThousandCharacterComponentCannotBeRead) {
    ScratchDir dir;
    const std::string name(4000, 'n');
    const RunResult r = run_zx81tape({name}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "... creating war file " + name + ".war\n");
    EXPECT_EQ(r.err, " *** error ***   Can't read file " + name + " \n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{});
}

TEST(BadInput, AFourThousandCharacterPNameCannotBeCreated) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    const std::string p_name(4000, 'p');
    const RunResult r = run_zx81tape({"tape.raw", "-f" + p_name}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " *** error ***   Can't open output file " + p_name + " \n");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"tape.bit", "tape.raw", "tape.war"}));
}

// ---- Values at and beyond the 32-bit limits -------------------------------------------------

TEST(BadInput, ThresholdsThatLeaveNoSignal) {
    // A threshold of 0 or below makes every sample on, one above 254 every sample off: either
    // way there is no bit to measure.
    for (const char* n : {"n=0", "n=-1", "n=255", "n=2147483647", "n=2147483648",
                          "n=99999999999999999999", "n=-2147483648", "n=-2147483649"}) {
        ScratchDir dir;
        write_file(dir / "tape.raw", test_recording());
        const RunResult r = run_zx81tape({"tape.raw", n}, dir.path());
        EXPECT_EQ(r.status, 1) << n;
        EXPECT_EQ(r.out, "... creating war file tape.war\n") << n;
        EXPECT_EQ(r.err, no_calibration) << n;
        EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"tape.raw", "tape.war"})) << n;
    }
}

TEST(BadInput, ThresholdsAtTheEdgesOfTheSignal) {
    for (const char* n : {"n=1", "n=199", "n=+200", " n=30"}) {
        ScratchDir dir;
        write_file(dir / "tape.raw", test_recording());
        const RunResult r = run_zx81tape({"tape.raw", n}, dir.path());
        EXPECT_EQ(r.status, 0) << n;
        EXPECT_EQ(read_file(dir / "test.p"), test_program()) << n;
    }
}

TEST(BadInput, LargeDivisorsLeaveOnlyExactLengths) {
    // d = (n1 - n0) / k is 0: only a bit of exactly n0 or n1 samples is known; the others
    // are reported and left out, and the run still ends with status 0.
    for (const char* k : {"k=2147483647", "k=2147483648", "k=-2147483648", "k=-2147483649",
                          "k=99999999999999999999"}) {
        ScratchDir dir;
        write_file(dir / "tape.raw", test_recording());
        const RunResult r = run_zx81tape({"tape.raw", k, "-fout.p"}, dir.path());
        EXPECT_EQ(r.status, 0) << k;
        EXPECT_NE(r.out.find("unknown bit, nsample="), std::string::npos) << k;
        EXPECT_EQ(r.err.rfind("** aborted because of ", 0), 0u) << k;
        EXPECT_TRUE(exists(dir / "out.p")) << k;
    }
}

TEST(BadInput, DivisorZeroStopsBeforeAnyFileIsWritten) {
    for (const char* k : {"k=0", "K=0", "k=-0", "k=abc", "k="}) {
        ScratchDir dir;
        write_file(dir / "tape.raw", test_recording());
        const RunResult r = run_zx81tape({"tape.raw", k}, dir.path());
        EXPECT_EQ(r.status, 1) << k;
        EXPECT_EQ(r.out, "") << k;
        EXPECT_EQ(r.err, "*** error *** k=0 is not allowed (the tolerance divisor must not be 0)\n")
            << k;
        EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"tape.raw"}) << k;
    }
}

TEST(BadInput, DivisorZeroIsHarmlessWhenNoBitFileIsBuilt) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    ASSERT_EQ(run_zx81tape({"tape.raw"}, dir.path()).status, 0);
    // The bit file is reused, or the run starts from it: the divisor is never used.
    for (const char* input : {"tape.raw", "tape.bit"}) {
        const RunResult r = run_zx81tape({input, "k=0", "-p"}, dir.path());
        EXPECT_EQ(r.status, 0) << input;
        EXPECT_EQ(r.err, "") << input;
        EXPECT_EQ(read_file(dir / "test.p"), test_program()) << input;
    }
}

TEST(BadInput, NegativeDivisorMakesEveryBitUnknown) {
    for (const char* k : {"k=-1", "k=-3"}) {
        ScratchDir dir;
        write_file(dir / "tape.raw", test_recording());
        const RunResult r = run_zx81tape({"tape.raw", k, "-fout.p"}, dir.path());
        const std::size_t bits = 8 * (test_name_codes().size() + test_program().size());
        EXPECT_EQ(r.status, 0) << k;
        EXPECT_EQ(read_text(dir / "tape.bit").find_first_not_of("?\r\n"), std::string::npos) << k;
        EXPECT_EQ(r.err, "** aborted because of " + std::to_string(bits) +
                             " error(s) !! (use -i or -o to try again)\n")
            << k;
        EXPECT_EQ(read_file(dir / "out.p"), std::vector<uint8_t>{}) << k;

        // Under -i every unknown bit is a 0: the name decodes as 39 "_" and is dropped.
        const RunResult zeros = run_zx81tape({"tape.bit", "-i", "-fzeros.p"}, dir.path());
        EXPECT_EQ(zeros.status, 0) << k;
        EXPECT_EQ(read_file(dir / "zeros.p"), std::vector<uint8_t>(bits / 8 - 39, 0)) << k;
    }
}

// ---- Recordings without a usable signal -----------------------------------------------------

TEST(BadInput, RecordingsOfOneLevel) {
    struct Case {
        const char* what;
        std::vector<uint8_t> pattern;
    };
    const Case cases[] = {
        {"silence (all 0x80)", {0x80}},
        {"all 0x00", {0x00}},
        {"all 0xFF", {0xFF}},
        {"alternating 0x00 0xFF", {0x00, 0xFF}},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        std::vector<uint8_t> raw;
        while (raw.size() < 100000) raw.insert(raw.end(), c.pattern.begin(), c.pattern.end());
        write_file(dir / "tape.raw", raw);
        const RunResult r = run_zx81tape({"tape.raw"}, dir.path());
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.out, "... creating war file tape.war\n") << c.what;
        EXPECT_EQ(r.err, no_calibration) << c.what;
        EXPECT_EQ(read_file(dir / "tape.war").size(), raw.size() + 1) << c.what;
    }
}

TEST(BadInput, AlternatingSilenceAndSignalIsAStreamOfZeroBits) {
    // Every other sample is on: each one starts a bit of two samples, which is the only length
    // measured, so every bit is a 0 and the saved name is 39 "_".
    ScratchDir dir;
    std::vector<uint8_t> raw;
    for (int i = 0; i < 50000; ++i) raw.insert(raw.end(), {0x80, 0xFF});
    write_file(dir / "tape.raw", raw);
    const RunResult r = run_zx81tape({"tape.raw"}, dir.path());
    const std::string name(39, '_');
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "... creating war file tape.war\n\nnplat = 0\n\nnplat = 0 n0=2 n1=2\n"
                     "... creating bit file tape.bit\n"
                     "pathbuf=[] ZxName=[" +
                         name +
                         "]\n"
                         "... creating P file " +
                         name + ".p\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / (name + ".p")), std::vector<uint8_t>(50000 / 8 - 39, 0));
}

TEST(BadInput, OneLongPauseInTheCalibrationWindow) {
    // A second of silence in the middle of the third quarter: it is taken for the pause between
    // two bits, so no bit is short enough to be measured.
    std::vector<uint8_t> program(200);
    for (std::size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> raw = tape_recording(TapeSignal{}, test_name_codes(), program);
    const std::size_t s = raw.size() / 2;
    raw.insert(raw.begin() + static_cast<long>(s + s / 4), 22050, 0x80);
    const std::size_t window_end = raw.size() / 2 + raw.size() / 4;
    ASSERT_GT(window_end, s + s / 4 + 22050) << "the pause must end inside the window";

    ScratchDir dir;
    write_file(dir / "tape.raw", raw);
    const RunResult r = run_zx81tape({"tape.raw", "-m"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, no_calibration);
    EXPECT_NE(r.out.find("nfill=22"), std::string::npos) << r.out;
}

TEST(BadInput, RawFileOfRandomBytes) {
    std::mt19937 random(7);
    std::vector<uint8_t> raw(300000);
    for (uint8_t& v : raw) v = static_cast<uint8_t>(random());
    ScratchDir dir;
    write_file(dir / "tape.raw", raw);
    const RunResult r = run_zx81tape({"tape.raw", "-fout.p"}, dir.path());
    // Noise has bits of every length: most are unknown, reported and left out.
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind("** aborted because of ", 0), 0u) << r.err;
    EXPECT_NE(r.out.find("unknown bit, nsample="), std::string::npos);
    EXPECT_TRUE(exists(dir / "out.p"));
    EXPECT_EQ(read_file(dir / "tape.war").size(), raw.size() + 1);
    EXPECT_TRUE(temp_files(dir.path()).empty());
}

// ---- Bit files ------------------------------------------------------------------------------

TEST(BadInput, BitFileOfRandomBytes) {
    std::mt19937 random(11);
    std::string text(1 << 20, '\0');
    for (char& c : text) c = static_cast<char>(random());
    // Enough bit characters among the noise for a name and some bytes.
    for (std::size_t i = 0; i < text.size(); i += 97) text[i] = "01?"[random() % 3];

    // What the converter must make of it: '0' '1' '?' are bits (with -o a '?' is a 1), all
    // else is skipped. The P file is these bytes less the saved name's (at most 39).
    std::vector<uint8_t> bytes;
    unsigned group = 0;
    int group_bits = 0;
    for (char c : text) {
        if (c != '0' && c != '1' && c != '?') continue;
        group = group << 1 | (c != '0' ? 1u : 0u);
        if (++group_bits == 8) {
            bytes.push_back(static_cast<uint8_t>(group));
            group = 0;
            group_bits = 0;
        }
    }
    ScratchDir dir;
    write_text(dir / "noise.bit", text);
    const RunResult r = run_zx81tape({"noise.bit", "-o", "-fout.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::vector<uint8_t> p = read_file(dir / "out.p");
    ASSERT_GE(bytes.size(), p.size());
    EXPECT_EQ(p, std::vector<uint8_t>(bytes.end() - static_cast<long>(p.size()), bytes.end()));
    EXPECT_LE(bytes.size() - p.size(), 39u);
}

TEST(BadInput, BitFileOfNoBitsAtAll) {
    ScratchDir dir;
    write_text(dir / "empty.bit", "");
    write_text(dir / "noise.bit", "abc\r\n\r\nxyz");
    for (const char* input : {"empty.bit", "noise.bit"}) {
        RunResult r = run_zx81tape({input}, dir.path());
        EXPECT_EQ(r.status, 1) << input;
        EXPECT_EQ(r.err, "*** error *** Could not get the saved name \n") << input;
        r = run_zx81tape({input, "-fout.p", "-p"}, dir.path());
        EXPECT_EQ(r.status, 0) << input;
        EXPECT_EQ(r.out, "*** warning *** Could not get the saved name... creating P file out.p\n")
            << input;
        EXPECT_EQ(read_file(dir / "out.p"), std::vector<uint8_t>{}) << input;
    }
}

TEST(BadInput, BitFileOfOneHundredMegabytes) {
    // The name "big" and then pseudo-random bytes, as bit text of about 100,000,000 bytes.
    std::vector<uint8_t> bytes{0x27, 0x2E, 0x2C | 0x80};
    const std::size_t program_size = 100000000 / 66 * 8;
    uint32_t state = 12345;
    while (bytes.size() < 3 + program_size) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes.push_back(static_cast<uint8_t>(state >> 11));
    }
    ScratchDir dir;
    {
        const std::string text = bit_text(bytes);
        ASSERT_GT(text.size(), 99000000u);
        write_text(dir / "big.bit", text);
    }
    const RunResult r = run_zx81tape({"big.bit"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "pathbuf=[] ZxName=[big]\n... creating P file big.p\n");
    EXPECT_EQ(r.err, "");
    const std::vector<uint8_t> p = read_file(dir / "big.p");
    ASSERT_EQ(p.size(), program_size);
    EXPECT_TRUE(std::equal(p.begin(), p.end(), bytes.begin() + 3));
}
