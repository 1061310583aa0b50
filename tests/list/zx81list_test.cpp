// End to end: the built zx81list run in a scratch directory.
#include <gtest/gtest.h>

#include "container/p81_format.h"
#include "container/tzx_format.h"
#include "support/p_file_builder.h"
#include "support/test_support.h"

namespace {

RunResult run_zx81list(const std::vector<std::string>& args, const std::string& cwd,
                       const std::string* input = nullptr) {
    std::vector<std::string> argv{"zx81list"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(ZX81LIST_PATH, argv, cwd, input);
}

std::vector<uint8_t> hello() {
    BuildOptions options;
    options.autostart = 10;
    options.screen = {{0x2D, 0x2A, 0x31, 0x31, 0x34}};
    return build_p_file(
        {text_line(10, "REM HI"), text_line(20, "PRINT \"HELLO\";2**3"), text_line(30, "GOTO 20")},
        options);
}

const char hello_readable[] = "  10 REM HI\n"
                              "  20 PRINT \"HELLO\";2**3\n"
                              "  30 GOTO 20\n";
const char hello_zmakebas[] = "10 REM HI\n"
                              "20 PRINT \"HELLO\";2 ** 3\n"
                              "30 GOTO 20\n";

class Zx81List : public ::testing::Test {
  protected:
    void SetUp() override {
        write_file(dir / "hello.p", hello());
        std::vector<uint8_t> damaged = hello();
        damaged[0x76] ^= 0x01;   // line 10's length
        damaged.push_back(0x00); // and a trailing byte
        write_file(dir / "damaged.p", damaged);
    }
    /// The scratch directory holds exactly the two inputs, unchanged.
    void expect_inputs_untouched() {
        EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"damaged.p", "hello.p"}));
        EXPECT_EQ(read_file(dir / "hello.p"), hello());
    }
    ScratchDir dir;
};

TEST_F(Zx81List, ListsReadableByDefault) {
    const RunResult r = run_zx81list({"hello.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, hello_readable);
    EXPECT_EQ(r.err, "");
    expect_inputs_untouched();
}

TEST_F(Zx81List, ListsInTheZmakebasStyle) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--style=zmakebas", "hello.p"},
          std::vector<std::string>{"--style", "zmakebas", "hello.p"},
          std::vector<std::string>{"-s", "zmakebas", "hello.p"}}) {
        const RunResult r = run_zx81list(args, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, hello_zmakebas);
        EXPECT_EQ(r.err, "");
    }
    const RunResult readable = run_zx81list({"--style=readable", "hello.p"}, dir.path());
    EXPECT_EQ(readable.out, hello_readable);
}

TEST_F(Zx81List, ZmakebasStyleWarnsAboutLinesItCannotRebuild) {
    const RunResult r = run_zx81list({"--style=zmakebas", "damaged.p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "# length field 5 does not end on the line's NEWLINE\n" +
                         std::string(hello_zmakebas));
    EXPECT_EQ(r.err,
              "zx81list: damaged.p: line 10: length field 5 does not end on the line's NEWLINE\n");
    const RunResult readable = run_zx81list({"damaged.p"}, dir.path());
    EXPECT_EQ(readable.status, 0);
    EXPECT_EQ(readable.out, hello_readable);
}

TEST_F(Zx81List, Info) {
    const RunResult r = run_zx81list({"--info", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "file:       198 bytes\n"
                     "VERSN:      0 (ZX81)\n"
                     "program:    51 bytes, 3 lines\n"
                     "display:    30 bytes, collapsed\n"
                     "variables:  1 byte, 0 variables\n"
                     "D_FILE:     0x40B0\n"
                     "VARS:       0x40CE\n"
                     "E_LINE:     0x40CF (E_LINE - 0x4009 = 198)\n"
                     "auto-start: line 10 (NXTLIN 0x407D)\n"
                     "TV system:  PAL (MARGIN 55)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(run_zx81list({"-i", "hello.p"}, dir.path()).out, r.out);
}

TEST_F(Zx81List, Screen) {
    const RunResult r = run_zx81list({"--screen", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    std::string expected = "HELLO" + std::string(27, ' ') + "\n";
    for (int row = 1; row < 24; ++row)
        expected += std::string(32, ' ') + "\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
}

TEST_F(Zx81List, CheckPassesASoundFile) {
    const RunResult r = run_zx81list({"--check", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(Zx81List, CheckReportsEveryFinding) {
    const RunResult r = run_zx81list({"-c", "hello.p", "damaged.p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "damaged.p: offset 0x0076: line 10: length field 5 does not end on its "
                     "NEWLINE (it should be 4)\n"
                     "damaged.p: offset 0x00C6: 1 trailing byte after E_LINE 0x40CF\n");
    EXPECT_EQ(r.err, "");
    expect_inputs_untouched();
}

TEST_F(Zx81List, SeveralFilesGetHeaders) {
    const RunResult r = run_zx81list({"hello.p", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "hello.p:\n" + std::string(hello_readable) + "\nhello.p:\n" + hello_readable);
    const RunResult z = run_zx81list({"-s", "zmakebas", "hello.p", "hello.p"}, dir.path());
    EXPECT_EQ(z.out,
              "# hello.p\n" + std::string(hello_zmakebas) + "\n# hello.p\n" + hello_zmakebas);
}

TEST_F(Zx81List, ReadsStandardInput) {
    const std::vector<uint8_t> bytes = hello();
    const std::string input(bytes.begin(), bytes.end());
    const RunResult r = run_zx81list({"-"}, dir.path(), &input);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, hello_readable);
    const RunResult check = run_zx81list({"--check", "-"}, dir.path(), &input);
    EXPECT_EQ(check.status, 0);
    const std::string cut = input.substr(0, input.size() - 1);
    const RunResult damaged = run_zx81list({"--check", "-"}, dir.path(), &cut);
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.out,
              "(standard input): offset 0x0007: VARS 0x40CE lies beyond the end of the file\n"
              "(standard input): offset 0x00C5: the file is truncated: E_LINE 0x40CF makes it "
              "198 bytes, it has 197\n");
}

TEST_F(Zx81List, UnreadableFileIsStatus1AndTheOthersAreStillDone) {
    const RunResult r = run_zx81list({"--check", "missing.p", "damaged.p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81list: missing.p: No such file or directory\n");
    EXPECT_NE(r.out.find("damaged.p: offset 0x0076"), std::string::npos);
    const RunResult directory = run_zx81list({"."}, dir.path());
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err, "zx81list: .: Is a directory\n");
    expect_inputs_untouched();
}

TEST_F(Zx81List, AFileThatIsNotAProgramIsStatus1AndTheOthersAreStillListed) {
    write_text(dir / "empty.p", "");
    write_text(dir / "notes.txt", std::string(200, 'x') + "\n");
    // The start of a WAV file: RIFF header, format chunk, then samples.
    const char header[] = "RIFF\x24\x10\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0";
    std::string wav(header, sizeof header - 1);
    wav.resize(4096, '\x80');
    write_text(dir / "tape.wav", wav);
    const RunResult r =
        run_zx81list({"empty.p", "notes.txt", "tape.wav", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "zx81list: empty.p: not a ZX81 program: too short for the system variables (0 "
              "bytes, they need 116)\n"
              "zx81list: notes.txt: not a ZX81 program: E_LINE 0x7878 lies outside the file "
              "(201 bytes)\n"
              "zx81list: tape.wav: not a ZX81 program: E_LINE 0x6645 lies outside the file "
              "(4096 bytes)\n");
    EXPECT_EQ(r.out, "hello.p:\n" + std::string(hello_readable));
    for (const char* view : {"--info", "--screen"}) {
        const RunResult v = run_zx81list({view, "empty.p"}, dir.path());
        EXPECT_EQ(v.status, 1) << view;
        EXPECT_EQ(v.out, "") << view;
    }
}

TEST_F(Zx81List, UsageErrors) {
    const std::string hint = "Try 'zx81list --help' for more information.\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{}, "zx81list: no input file\n" + hint},
        {{"--info"}, "zx81list: no input file\n" + hint},
        {{"--style=fancy", "hello.p"},
         "zx81list: unknown style 'fancy' (readable or zmakebas)\n" + hint},
        {{"--colour", "hello.p"}, "zx81list: unknown option '--colour'\n" + hint},
        {{"-x", "hello.p"}, "zx81list: unknown option '-x'\n" + hint},
        {{"hello.p", "--style"}, "zx81list: option '--style' needs a value\n" + hint},
        {{"--info=yes", "hello.p"}, "zx81list: option '--info' takes no value\n" + hint},
        {{"--colour=red", "hello.p"}, "zx81list: unknown option '--colour=red'\n" + hint},
        {{"-s"}, "zx81list: option '-s' needs a value\n" + hint},
    };
    for (const auto& c : cases) {
        const RunResult r = run_zx81list(c.args, dir.path());
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.out, "") << c.err;
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(Zx81List, HelpAndVersion) {
    const RunResult help = run_zx81list({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: zx81list [OPTION]... FILE...\n", 0), 0u);
    for (const char* option : {"--style", "--info", "--screen", "--check", "--help", "--version"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(run_zx81list({"-h"}, dir.path()).out, help.out);
    for (const char* option : {"--version", "-V"}) {
        const RunResult version = run_zx81list({option}, dir.path());
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, "zx81list " ZX81_VERSION "\n");
    }
}

TEST_F(Zx81List, OptionsMayFollowTheFiles) {
    const RunResult r = run_zx81list({"hello.p", "--check"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}


// Two programs in one .p81 and one .tzx file: each listed under its saved name, --info with
// the container and each program's name, offset and size, damage after the programs read.
TEST_F(Zx81List, ListsEveryProgramOfAP81OrTzxFile) {
    std::vector<SavedProgram> programs(2);
    programs[0].name = {0x2D, 0x2A, 0x31, 0x31, 0xB4}; // HELLO
    programs[0].bytes = hello();
    programs[1].name = {0x26, 0x1D, 0x00, 0x0B, 0x1D, 0x8B}; // A1 "1"
    programs[1].bytes = build_p_file({text_line(5, "CLS")});
    std::vector<uint8_t> p81, tzx;
    std::size_t bad;
    ProgramProblem problem;
    ASSERT_TRUE(write_p81(programs, p81, bad, problem));
    ASSERT_TRUE(write_tzx(programs, tzx_default_pause_ms, tzx, bad, problem));
    write_file(dir / "two.p81", p81);
    write_file(dir / "two.tzx", tzx);
    write_file(dir / "cut.p81", std::vector<uint8_t>(p81.begin(), p81.end() - 1));

    for (const std::string file : {"two.p81", "two.tzx"}) {
        const RunResult r = run_zx81list({file}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, file + " #1 \"HELLO\":\n" + hello_readable + "\n" + file +
                             " #2 \"A1 \"1\"\":\n   5 CLS\n");
    }
    const RunResult zmakebas = run_zx81list({"-s", "zmakebas", "two.p81"}, dir.path());
    EXPECT_EQ(zmakebas.out, "# two.p81 #1 \"HELLO\"\n" + std::string(hello_zmakebas) +
                                "\n# two.p81 #2 \"A1 \"1\"\"\n5 CLS\n");

    const RunResult info = run_zx81list({"--info", "two.tzx"}, dir.path());
    EXPECT_EQ(info.status, 0);
    const std::string first = info.out.substr(0, info.out.find("VERSN:"));
    EXPECT_EQ(first, "two.tzx: .tzx, 2 programs, " + std::to_string(tzx.size()) +
                         " bytes\n\ntwo.tzx #1 \"HELLO\":\nname:       HELLO\n"
                         "offset:     0x00000A\nP file:     198 bytes\n");
    EXPECT_NE(info.out.find("\n\ntwo.tzx #2 \"A1 \"1\"\":\nname:       A1 \"1\"\n"
                            "offset:     0x000132\nP file:     "),
              std::string::npos);

    const std::size_t size = programs[1].bytes.size();
    char damage[160];
    std::snprintf(damage, sizeof damage,
                  "offset 0x00D1: E_LINE 0x%04zX makes the program %zu bytes long, but %zu are "
                  "left\n",
                  0x4009 + size, size, size - 1);
    const RunResult cut = run_zx81list({"cut.p81"}, dir.path());
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.out, "cut.p81 #1 \"HELLO\":\n" + std::string(hello_readable));
    EXPECT_EQ(cut.err, std::string("zx81list: cut.p81: ") + damage);
    const RunResult check = run_zx81list({"--check", "cut.p81", "two.p81"}, dir.path());
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, std::string("cut.p81: ") + damage);
    EXPECT_EQ(check.err, "");
}

} // namespace
