// End to end: the built zx81pack run in a scratch directory.
#include <gtest/gtest.h>

#include "support/p_file_builder.h"
#include "support/test_support.h"

namespace {

RunResult run_zx81pack(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv{"zx81pack"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(ZX81PACK_PATH, argv, cwd);
}

std::vector<uint8_t> hello() {
    return build_p_file({text_line(10, "PRINT \"HELLO\""), text_line(20, "GOTO 10")});
}
std::vector<uint8_t> game() {
    return build_p_file({rem_line(1, std::vector<uint8_t>(3000, 0x76)), text_line(10, "STOP")});
}

void append_le(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A .tzx of one program as the layout table has it, field by field.
std::vector<uint8_t> tzx_layout(const std::vector<uint8_t>& name, const std::vector<uint8_t>& p) {
    const auto n = static_cast<uint32_t>(name.size() + p.size());
    std::vector<uint8_t> out = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20, 0x19};
    append_le(out, 88 + n, 4);
    append_le(out, 5000, 2);
    append_le(out, 0, 4);
    out.insert(out.end(), {0, 0});
    append_le(out, 8 * n, 4);
    out.insert(out.end(), {18, 2, 0x03});
    for (uint32_t w : {530, 520, 530, 520, 530, 520, 530, 4689, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) {
        append_le(out, w, 2);
    }
    out.push_back(0x03);
    for (int i = 0; i < 8; ++i) {
        append_le(out, 530, 2);
        append_le(out, 520, 2);
    }
    append_le(out, 530, 2);
    append_le(out, 4689, 2);
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::vector<uint8_t> hello_name = {0x2D, 0x2A, 0x31, 0x31, 0xB4};            // HELLO
const std::vector<uint8_t> game_name = {0x32, 0x3E, 0x00, 0x2C, 0x26, 0x32, 0xAA}; // MY GAME

std::string hex4(std::size_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04zX", value);
    return text;
}

std::string list_line(int number, std::size_t offset, std::size_t bytes, const char* name) {
    char line[80];
    std::snprintf(line, sizeof line, "%4d  0x%06zX  %5zu  %s\n", number, offset, bytes, name);
    return line;
}

class Zx81Pack : public ::testing::Test {
  protected:
    void SetUp() override {
        write_file(dir / "hello.p", hello());
        write_file(dir / "game.p", game());
    }
    ScratchDir dir;
};

} // namespace

TEST_F(Zx81Pack, JoinWritesTheTzxLayoutByteForByte) {
    const RunResult r = run_zx81pack({"join", "-o", "one.tzx", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "one.tzx: 1 program, " + std::to_string(103 + 5 + hello().size()) + " bytes\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / "one.tzx"), tzx_layout(hello_name, hello()));
}

TEST_F(Zx81Pack, JoinSplitAndListRoundTrip) {
    RunResult r = run_zx81pack({"join", "-o", "two.p81", "hello.p", "--name", "my game", "game.p"},
                               dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<uint8_t> p81 = hello_name;
    const std::vector<uint8_t> h = hello(), g = game();
    p81.insert(p81.end(), h.begin(), h.end());
    p81.insert(p81.end(), game_name.begin(), game_name.end());
    p81.insert(p81.end(), g.begin(), g.end());
    EXPECT_EQ(read_file(dir / "two.p81"), p81);

    // .p81 to .tzx and back again, with a program named twice.
    r = run_zx81pack({"join", "--pause=3000", "-o", "tape.tzx", "two.p81", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    r = run_zx81pack({"list", "tape.tzx"}, dir.path());
    EXPECT_EQ(r.status, 0);
    const std::size_t second = 10 + 93 + 5 + h.size(), third = second + 93 + 7 + g.size();
    EXPECT_EQ(r.out, "tape.tzx: .tzx, 3 programs\n"
                     "   #  offset      bytes  name\n" +
                         list_line(1, 10, h.size(), "HELLO") +
                         list_line(2, second, g.size(), "MY GAME") +
                         list_line(3, third, h.size(), "HELLO"));
    EXPECT_EQ(r.err, "");

    ASSERT_EQ(run_program("/bin/mkdir", {"mkdir", "out"}, dir.path()).status, 0);
    r = run_zx81pack({"split", "-o", "out", "tape.tzx"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "out/HELLO.p: " + std::to_string(h.size()) + " bytes, saved as \"HELLO\"\n" +
                  "out/MY_GAME.p: " + std::to_string(g.size()) + " bytes, saved as \"MY GAME\"\n" +
                  "out/HELLO-2.p: " + std::to_string(h.size()) + " bytes, saved as \"HELLO\"\n");
    EXPECT_EQ(list_dir(dir / "out"),
              (std::vector<std::string>{"HELLO-2.p", "HELLO.p", "MY_GAME.p"}));
    EXPECT_EQ(read_file(dir / "out/HELLO.p"), h);
    EXPECT_EQ(read_file(dir / "out/HELLO-2.p"), h);
    EXPECT_EQ(read_file(dir / "out/MY_GAME.p"), g);
}

TEST_F(Zx81Pack, NothingIsReplacedWithoutForce) {
    ASSERT_EQ(run_zx81pack({"join", "-o", "two.p81", "hello.p", "game.p"}, dir.path()).status, 0);
    write_text(dir / "GAME.p", "mine");
    write_text(dir / "old.tzx", "mine");

    RunResult r = run_zx81pack({"split", "two.p81"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "zx81pack: GAME.p exists (use --force to replace it)\n");
    EXPECT_FALSE(exists(dir / "HELLO.p")); // nothing of that file is written
    r = run_zx81pack({"join", "-o", "old.tzx", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81pack: old.tzx exists (use --force to replace it)\n");
    EXPECT_EQ(read_text(dir / "GAME.p"), "mine");
    EXPECT_EQ(read_text(dir / "old.tzx"), "mine");

    EXPECT_EQ(run_zx81pack({"split", "--force", "two.p81"}, dir.path()).status, 0);
    EXPECT_EQ(read_file(dir / "GAME.p"), game());
    EXPECT_EQ(read_file(dir / "HELLO.p"), hello());
    EXPECT_EQ(run_zx81pack({"join", "-f", "-o", "old.tzx", "hello.p"}, dir.path()).status, 0);
    EXPECT_EQ(read_file(dir / "old.tzx"), tzx_layout(hello_name, hello()));
}

TEST_F(Zx81Pack, DamageIsReportedWithItsOffset) {
    ASSERT_EQ(run_zx81pack({"join", "-o", "two.p81", "hello.p", "game.p"}, dir.path()).status, 0);
    std::vector<uint8_t> cut = read_file(dir / "two.p81");
    cut.resize(cut.size() - 1);
    write_file(dir / "cut.p81", cut);
    std::vector<uint8_t> long_p = hello();
    long_p.push_back(0x00);
    write_file(dir / "long.p", long_p);

    RunResult r = run_zx81pack({"split", "cut.p81"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "zx81pack: cut.p81: offset " + hex4(5 + hello().size() + 4) + ": E_LINE " +
                         hex4(0x4009 + game().size()) + " makes the program " +
                         std::to_string(game().size()) + " bytes long, but " +
                         std::to_string(game().size() - 1) + " are left\n");
    EXPECT_EQ(list_dir(dir.path()),
              (std::vector<std::string>{"cut.p81", "game.p", "hello.p", "long.p", "two.p81"}));

    r = run_zx81pack({"join", "-o", "x.p81", "long.p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "zx81pack: long.p: offset " + hex4(hello().size()) +
                         ": 1 byte after E_LINE left out\n");
    EXPECT_EQ(read_file(dir / "x.p81").size(), 4 + hello().size());
}

TEST_F(Zx81Pack, UsageErrorsExitWithTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command (join, split or list)"},
        {{"merge", "a.p"}, "unknown command 'merge' (join, split or list)"},
        {{"join", "hello.p"}, "join: no output file (-o OUT.p81 or -o OUT.tzx)"},
        {{"join", "-o", "x.bin", "hello.p"},
         "join: 'x.bin' does not end in .p81 or .tzx (name the format with --format)"},
        {{"join", "-o", "x.p81", "--pause", "10", "hello.p"},
         "option '--pause' goes with a .tzx output only"},
        {{"list", "--force", "hello.p"}, "option '--force' does not go with list"},
        {{"split"}, "split: no input file"},
        {{"join", "-o", "x.tzx", "hello.p", "--name", "X"}, "--name 'X' is not followed by a file"},
        {{"join", "-o"}, "option '-o' needs a value"},
        {{"list", "--bogus", "hello.p"}, "unknown option '--bogus'"},
    };
    for (const auto& [args, message] : cases) {
        const RunResult r = run_zx81pack(args, dir.path());
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "zx81pack: " + message + "\nTry 'zx81pack --help' for more information.\n");
    }
    const RunResult r =
        run_zx81pack({"join", "-o", "x.tzx", "--name", "A_B", "hello.p"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "zx81pack: hello.p: the saved name \"A_B\" has '_', which the ZX81 lacks\n");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"game.p", "hello.p"}));
    EXPECT_EQ(run_zx81pack({"--help"}, dir.path()).status, 0);
    EXPECT_EQ(run_zx81pack({"-V"}, dir.path()).out, "zx81pack " ZX81_VERSION "\n");
}
