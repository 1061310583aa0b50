// zx81synth on .p81 and .tzx files: one recording of every program, each exactly what a run on
// that program alone gives, the gap between them; and zx81tape recovers each.
#include <gtest/gtest.h>

#include "container/p81_format.h"
#include "container/tzx_format.h"
#include "program/saved_name_text.h"
#include "support/p_file_builder.h"
#include "synth/synth_test_support.h"

#include <string>
#include <vector>

namespace {

SavedProgram program(const std::string& name, const std::vector<BasicLine>& lines) {
    SavedProgram p;
    std::string bad;
    EXPECT_EQ(saved_name_from_text(name, p.name, bad), NameTextProblem::none);
    p.bytes = build_p_file(lines);
    return p;
}

std::vector<SavedProgram> two_programs() {
    return {program("FIRST", {text_line(10, "PRINT \"ONE\""), text_line(20, "GOTO 10")}),
            program("SECOND 2", {text_line(10, "FOR I=1 TO 9"), text_line(20, "PRINT I*I"),
                                 text_line(30, "NEXT I")})};
}

std::vector<uint8_t> part(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t size) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<long>(from),
                                bytes.begin() + static_cast<long>(from + size));
}

TEST(ContainerRecording, IsEachProgramAloneWithTheGapBetween) {
    ScratchDir dir;
    const std::vector<SavedProgram> programs = two_programs();
    std::vector<uint8_t> p81, tzx;
    std::size_t bad;
    ProgramProblem problem;
    ASSERT_TRUE(write_p81(programs, p81, bad, problem));
    ASSERT_TRUE(write_tzx(programs, tzx_default_pause_ms, tzx, bad, problem));
    write_file(dir / "two.p81", p81);
    write_file(dir / "two.tzx", tzx);
    write_file(dir / "first.p", programs[0].bytes);
    write_file(dir / "second.p", programs[1].bytes);

    // Tape-shaped pulses, noise and an offset: every program's recording starts them afresh.
    const std::vector<std::string> options{"--shape", "tape", "--noise", "1", "--dc", "3",
                                           "--lead", "200", "--trail", "100", "--seed", "9"};
    const auto synth = [&](std::vector<std::string> args) {
        args.insert(args.begin(), options.begin(), options.end());
        const RunResult r = run_zx81synth(args, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
    };
    synth({"--gap", "500", "two.p81", "two.raw"});
    synth({"--gap", "500", "two.tzx", "tzx.raw"});
    synth({"first.p", "first.raw"});
    synth({"--name", "SECOND 2", "second.p", "second.raw"});
    const std::vector<uint8_t> both = read_file(dir / "two.raw");
    const std::vector<uint8_t> first = read_file(dir / "first.raw");
    const std::vector<uint8_t> second = read_file(dir / "second.raw");
    EXPECT_EQ(read_file(dir / "tzx.raw"), both);

    const std::size_t gap = 11025; // 500 ms at 22050 Hz
    ASSERT_EQ(both.size(), first.size() + gap + second.size());
    EXPECT_TRUE(part(both, 0, first.size()) == first);
    EXPECT_TRUE(part(both, first.size() + gap, second.size()) == second);
    for (std::size_t i = first.size(); i < first.size() + gap; ++i) {
        ASSERT_NEAR(both[i], 131, 8) << i; // silence, the offset and the noise
    }

    // Each program played alone comes back through zx81tape identical, under its saved name.
    write_file(dir / "tape1.raw", part(both, 0, first.size()));
    write_file(dir / "tape2.raw", part(both, first.size() + gap, second.size()));
    for (const char* tape : {"tape1.raw", "tape2.raw"}) {
        const RunResult r = run_zx81tape({tape}, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(read_file(dir / "first.p") == programs[0].bytes);
    EXPECT_TRUE(read_file(dir / "second_2.p") == programs[1].bytes);
}

TEST(ContainerRecording, RefusesNameDamageAndEmptiness) {
    ScratchDir dir;
    const std::vector<SavedProgram> programs = two_programs();
    std::vector<uint8_t> p81, tzx;
    std::size_t bad;
    ProgramProblem problem;
    ASSERT_TRUE(write_p81(programs, p81, bad, problem));
    ASSERT_TRUE(write_tzx({}, tzx_default_pause_ms, tzx, bad, problem));
    write_file(dir / "two.p81", p81);
    write_file(dir / "cut.p81", part(p81, 0, p81.size() - 1));
    write_file(dir / "empty.tzx", tzx);

    RunResult r = run_zx81synth({"--name", "X", "two.p81", "out.raw"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "zx81synth: --name names the program of a P file; the programs of two.p81 "
                     "keep their saved names\nTry 'zx81synth --help' for more information.\n");
    r = run_zx81synth({"cut.p81", "out.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    char expected[160];
    std::snprintf(expected, sizeof expected,
                  "zx81synth: cut.p81: offset 0x%04zX: E_LINE 0x%04X makes the program %zu bytes "
                  "long, but %zu are left\n",
                  programs[0].name.size() + programs[0].bytes.size() + programs[1].name.size(),
                  static_cast<unsigned>(0x4009 + programs[1].bytes.size()),
                  programs[1].bytes.size(), programs[1].bytes.size() - 1);
    EXPECT_EQ(r.err, expected);
    r = run_zx81synth({"empty.tzx", "out.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81synth: empty.tzx holds no ZX81 program\n");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"cut.p81", "empty.tzx", "two.p81"}));
}

} // namespace
