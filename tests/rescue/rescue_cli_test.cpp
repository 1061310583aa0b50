// zx81rescue from the outside: its report and JSON against their documented form, its files,
// its channels and its exit statuses.
#include <gtest/gtest.h>

#include <cctype>

#include "recover/recover_test_support.h"
#include "rescue/json_reader.h"
#include "rescue/rescue_test_support.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The line with every digit of its leading time span replaced by 9: the times depend on where
// the demodulator puts the edges, the rest of the line does not.
std::string without_times(std::string line) {
    for (std::size_t i = 0; i < std::min<std::size_t>(line.size(), 22); ++i) {
        if (std::isdigit(static_cast<unsigned char>(line[i]))) line[i] = '9';
    }
    return line;
}

SynthSettings dropout_at(double ms) {
    SynthSettings settings;
    settings.dropout_at_ms = ms;
    settings.dropout_ms = 30.0;
    settings.dropout_level = 0.0;
    return settings;
}

TEST(RescueCli, ExitStatusesAndUsageErrors) {
    ScratchDir dir;
    TestRecording silent;
    silent.silence(3.0);
    write_raw(dir / "silent.raw", silent);
    TestRecording good;
    good.silence(0.5);
    good.program("GOOD", shaped_program(300));
    write_raw(dir / "good.raw", good);

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string try_help = "Try 'zx81rescue --help' for more information.\n";
    const std::vector<Case> cases = {
        {{}, 2, "zx81rescue: no recording given\n" + try_help},
        {{"--loud", "good.raw"}, 2, "zx81rescue: unknown option '--loud'\n" + try_help},
        {{"-x", "good.raw"}, 2, "zx81rescue: unknown option '-x'\n" + try_help},
        {{"--channel=up", "good.raw"},
         2,
         "zx81rescue: --channel: 'up' is not one of auto, left, right, mix\n" + try_help},
        {{"--rate", "7000", "good.raw"},
         2,
         "zx81rescue: --rate: '7000' is not a rate from 8000 to 384000 Hz\n" + try_help},
        {{"-j", "0", "good.raw"},
         2,
         "zx81rescue: --jobs: '0' is not a number from 1 to 256\n" + try_help},
        {{"good.raw", "-o"}, 2, "zx81rescue: option '-o' needs a value\n" + try_help},
        {{"--json", "good.raw", "good.raw"},
         2,
         "zx81rescue: --json good.raw would write over a recording\n"},
        {{"-q", "missing.wav"}, 1, "zx81rescue: missing.wav: cannot be read\n"},
        {{"-q", "silent.raw"}, 1, ""},
        {{"-q", "good.raw"}, 0, ""},
        {{"-q", "--force", "good.raw", "silent.raw"}, 1, ""},
    };
    for (const Case& c : cases) {
        const RunResult run = run_zx81rescue(c.args, dir.path());
        EXPECT_EQ(run.status, c.status) << c.args.size() << run.err;
        EXPECT_EQ(run.err, c.err);
        if (c.args.size() > 1 && c.args[0] == "-q") {
            EXPECT_EQ(run.out, "");
        }
    }
    // A recording that cannot be read still has its place in a well-formed JSON report.
    const RunResult missing =
        run_zx81rescue({"--json", "-", "missing.wav", "good.raw"}, dir.path());
    EXPECT_EQ(missing.status, 1);
    Json json;
    ASSERT_TRUE(parse_json(missing.out, json)) << missing.out;
    EXPECT_EQ(json["recordings"].items.at(0)["status"].text, "unreadable");
    EXPECT_EQ(json["recordings"].items.at(1)["programs"].items.at(0)["verdict"].text, "intact");

    const RunResult help = run_zx81rescue({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: zx81rescue [OPTION]... RECORDING...\n", 0), 0u);
    const RunResult version = run_zx81rescue({"-V"}, dir.path());
    EXPECT_EQ(version.out, "zx81rescue " ZX81_VERSION "\n");
}

// One recording with an intact program, a damaged one and another machine's tape (a ZX80's:
// the same bits, but no name and the memory from 0x4000): every line of the report, and the
// JSON report with every field the README documents.
TEST(RescueCli, ReportsHaveTheirDocumentedForm) {
    ScratchDir dir;
    TestRecording recording;
    recording.silence(1.0);
    recording.program("HELLO", shaped_program(335, 3));
    recording.silence(1.0);
    recording.program("WORN", shaped_program(500, 4), dropout_at(3000));
    recording.silence(1.0);
    const int64_t zx80_start = recording.frames();
    recording.bytes(shaped_program(400, 5));
    recording.silence(1.0);
    write_raw(dir / "tape.raw", recording);

    const RunResult run = run_zx81rescue({"--json", "report.json", "tape.raw"}, dir.path());
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_GE(lines.size(), 6u) << run.out;
    EXPECT_EQ(lines[0].rfind("tape.raw: 22050 Hz (measured), mono, 00:", 0), 0u) << run.out;
    EXPECT_EQ(without_times(lines[1]),
              "  99:99.999-99:99.999  intact      335 bytes  HELLO -> HELLO.p");
    EXPECT_EQ(without_times(lines[2]),
              "  99:99.999-99:99.999  damaged     500 bytes  WORN -> WORN.p");
    EXPECT_NE(run.out.find("a gap of "), std::string::npos) << run.out;
    EXPECT_EQ(
        without_times(lines[lines.size() - 2]),
        "  99:99.999-99:99.999  not a program: 3200 bursts that start no ZX81 program (a fast "
        "loader, another machine's tape, or a program whose start is missing)");
    EXPECT_EQ(lines.back(), "tape.raw: 2 programs, 1 intact, 1 damaged; 1 block that is not a "
                            "program");
    EXPECT_EQ(read_file(dir / "HELLO.p"), shaped_program(335, 3));

    Json json;
    ASSERT_TRUE(parse_json(read_text(dir / "report.json"), json)) << read_text(dir / "report.json");
    EXPECT_EQ(json["status"].number, 1);
    ASSERT_EQ(json["recordings"].items.size(), 1u);
    const Json& tape = json["recordings"].items[0];
    EXPECT_EQ(tape.keys(),
              (std::vector<std::string>{"recording", "status", "rate", "rate_measured", "channels",
                                        "samples", "duration_s", "programs"}));
    EXPECT_EQ(tape["rate"].number, 22050);
    const std::vector<Json>& programs = tape["programs"].items;
    ASSERT_GE(programs.size(), 2u);
    for (const Json& p : programs) {
        EXPECT_EQ(p.keys(),
                  (std::vector<std::string>{"name", "file", "bit_file", "same_as", "problem",
                                            "bytes", "expected_bytes", "verdict", "start_s",
                                            "end_s", "start_sample", "end_sample", "channel",
                                            "bursts", "findings", "takes", "decisions"}));
    }
    EXPECT_TRUE(json["merge"].type == Json::Type::null);
    ASSERT_EQ(programs[0]["takes"].items.size(), 1u);
    EXPECT_EQ(programs[0]["takes"].items[0].keys(),
              (std::vector<std::string>{"recording", "channel", "start_s", "end_s", "start_sample",
                                        "end_sample", "verdict"}));
    EXPECT_EQ(programs[0]["takes"].items[0]["recording"].text, "tape.raw");
    EXPECT_EQ(programs[0]["name"].text, "HELLO");
    EXPECT_EQ(programs[0]["file"].text, "HELLO.p");
    EXPECT_EQ(programs[0]["verdict"].text, "intact");
    EXPECT_NEAR(programs[0]["start_s"].number, 1.0, 0.005);
    EXPECT_EQ(programs[1]["verdict"].text, "damaged");
    bool lost = false;
    for (const Json& finding : programs[1]["findings"].items) {
        EXPECT_EQ(finding.keys(),
                  (std::vector<std::string>{"kind", "damage", "time", "time_s", "sample", "offset",
                                            "name_index", "message"}));
        if (finding["kind"].text != "lost-bits") continue;
        lost = true;
        EXPECT_NEAR(finding["time_s"].number, programs[1]["start_s"].number + 3.0, 0.05);
    }
    EXPECT_TRUE(lost);
    EXPECT_EQ(programs.back()["verdict"].text, "not-a-program");
    EXPECT_TRUE(programs.back()["name"].type == Json::Type::null);
    EXPECT_TRUE(programs.back()["file"].type == Json::Type::null);
    EXPECT_NEAR(programs.back()["start_sample"].number, static_cast<double>(zx80_start), 100);
}

// A ROM-format block and then a fast loader's: the program, and the fast loader's block
// reported with its times, never written.
TEST(RescueCli, ReportsAFastLoaderAsNotAProgram) {
    ScratchDir dir;
    TestRecording recording;
    recording.silence(1.0);
    recording.program("LOADER", shaped_program(400, 6));
    recording.silence(0.5);
    const double fast_start = static_cast<double>(recording.frames()) / recording.rate;
    recording.fast_loader(5.0);
    recording.silence(1.0);
    write_raw(dir / "tape.raw", recording);

    const RunResult run = run_zx81rescue({"--json", "report.json", "tape.raw"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out;
    Json json;
    ASSERT_TRUE(parse_json(read_text(dir / "report.json"), json));
    const std::vector<Json>& programs = json["recordings"].items.at(0)["programs"].items;
    ASSERT_EQ(programs.size(), 2u) << run.out;
    EXPECT_EQ(programs[0]["verdict"].text, "intact");
    EXPECT_EQ(programs[1]["verdict"].text, "not-a-program");
    EXPECT_NEAR(programs[1]["start_s"].number, fast_start, 0.01);
    EXPECT_NEAR(programs[1]["end_s"].number, fast_start + 5.0, 0.01);
    EXPECT_EQ(list_dir(dir.path()),
              (std::vector<std::string>{"LOADER.p", "report.json", "tape.raw"}));
}

// Names that collide, files that exist, bit files that zx81tape finishes.
TEST(RescueCli, WritesEveryProgramUnderItsOwnNameAndNeverOverwrites) {
    ScratchDir dir;
    const std::vector<uint8_t> one = shaped_program(300, 1), two = shaped_program(400, 2);
    const std::string long_name(127, 'N');
    TestRecording recording;
    recording.silence(0.5);
    recording.program("SAME", one);
    recording.silence(0.3);
    recording.program("SAME", two);
    recording.silence(0.3);
    recording.program("SAME", one);
    recording.silence(0.3);
    recording.program(long_name, two);
    write_raw(dir / "tape.raw", recording);
    TestRecording copy;
    copy.silence(0.5);
    copy.program("SAME", one);
    write_raw(dir / "copy.raw", copy);
    write_file(dir / "SAME.p", {1, 2, 3});

    RunResult run = run_zx81rescue({"--bits", "tape.raw"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zx81rescue: tape.raw: SAME.p exists (--force replaces it)\n");
    EXPECT_EQ(read_file(dir / "SAME.p"), (std::vector<uint8_t>{1, 2, 3}));

    // The two copies of the first SAME are takes of one program; the other recording's copy
    // is the same bytes again.
    run = run_zx81rescue({"--bits", "--force", "tape.raw", "copy.raw"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(read_file(dir / "SAME.p"), one);
    EXPECT_EQ(read_file(dir / "SAME-2.p"), two);
    EXPECT_EQ(read_file(dir / (long_name + ".p")), two);
    EXPECT_NE(run.out.find("SAME -> SAME.p, SAME.bit (2 takes)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("tape.raw: 3 programs (4 takes), 3 intact, 0 damaged\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("SAME: the same bytes as SAME.p, not written again"), std::string::npos);
    EXPECT_FALSE(exists(dir / "SAME-3.p"));

    // The bit file: 64 bits a line, CR LF between lines, the name's bits first; zx81tape
    // turns it into the same program.
    const std::string bits = read_text(dir / "SAME-2.bit");
    EXPECT_EQ(bits.size(), 8 * (4 + two.size()) + 2 * ((8 * (4 + two.size()) - 1) / 64));
    EXPECT_EQ(bits.substr(0, 32), "00111000001001100011001010101010"); // S A M E+0x80
    EXPECT_EQ(bits.substr(64, 2), "\r\n");
    ScratchDir finish;
    write_text(finish / "SAME.bit", bits);
    EXPECT_EQ(run_zx81tape({"SAME.bit"}, finish.path()).status, 0);
    EXPECT_EQ(read_file(finish / "same.p"), two);

    // A second run finds everything in place: nothing to replace, nothing refused.
    run = run_zx81rescue({"-q", "tape.raw"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
}

// Stereo: the channels are takes of each program, merged; a capture whose channels are in
// opposite phase decodes in auto and cancels out in mix.
TEST(RescueCli, MergesTheChannelsAsTakes) {
    ScratchDir dir;
    const std::vector<uint8_t> a = shaped_program(300, 5), b = shaped_program(300, 6);
    TestRecording left, right;
    for (TestRecording* channel : {&left, &right})
        channel->silence(0.5);
    left.program("A", a);
    right.program("A", a, dropout_at(2000));
    for (TestRecording* channel : {&left, &right})
        channel->silence(0.5);
    left.program("B", b, dropout_at(2000));
    right.program("B", b);
    write_wav(dir / "stereo.wav", {&left, &right}, 16);

    RunResult run = run_zx81rescue({"stereo.wav"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(read_file(dir / "A.p"), a);
    EXPECT_EQ(read_file(dir / "B.p"), b);
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_GE(lines.size(), 8u) << run.out;
    EXPECT_EQ(lines[0].rfind("stereo.wav: 22050 Hz, 2 channels, ", 0), 0u);
    EXPECT_EQ(without_times(lines[1]),
              "  99:99.999-99:99.999  repaired    300 bytes  A -> A.p (2 takes)");
    EXPECT_NE(lines[2].find("take 1: "), std::string::npos);
    EXPECT_NE(lines[2].find(", left channel, intact"), std::string::npos) << run.out;
    EXPECT_NE(lines[3].find(", right channel, damaged"), std::string::npos) << run.out;
    EXPECT_NE(lines[4].find("take 2 "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("take 1 heard it clearly"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("take 2 heard it clearly"), std::string::npos) << run.out;
    EXPECT_EQ(lines.back(), "stereo.wav: 2 programs (4 takes), 0 intact, 2 repaired, 0 damaged");

    run = run_zx81rescue({"-q", "--force", "--channel", "left", "stereo.wav"}, dir.path());
    EXPECT_EQ(run.status, 1);

    TestRecording inverted = left;
    for (double& v : inverted.samples)
        v = -v;
    write_wav(dir / "opposite.wav", {&left, &inverted}, 16);
    run = run_zx81rescue({"-q", "-o", "auto", "opposite.wav"}, dir.path());
    EXPECT_EQ(read_file(dir / "auto/A.p"), a);
    run = run_zx81rescue({"-o", "mix", "--channel=mix", "opposite.wav"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("opposite.wav: no program found\n"), std::string::npos) << run.out;
}

TEST(RescueCli, ReportsRecordingsInTheirOrderWhateverFinishesFirst) {
    ScratchDir dir;
    TestRecording longer, shorter;
    longer.silence(0.5);
    longer.program("LONGER", shaped_program(3000, 8));
    shorter.silence(0.5);
    shorter.program("SHORTER", shaped_program(300, 9));
    write_raw(dir / "1.raw", longer);
    write_raw(dir / "2.raw", shorter);
    const RunResult run = run_zx81rescue({"-j", "2", "1.raw", "2.raw", "1.raw"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    std::string closing;
    for (const std::string& line : lines_of(run.out)) {
        if (line.find(": 1 program") != std::string::npos) closing += line.substr(0, 5);
    }
    EXPECT_EQ(closing, "1.raw2.raw1.raw");
}

} // namespace
