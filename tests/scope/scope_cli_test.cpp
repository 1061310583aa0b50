// zx81scope end to end: the built executable run in a scratch directory, its numbers compared
// with what the built zx81tape prints for the same recording, its files, streams and status.
#include <gtest/gtest.h>

#include "scope_test_support.h"
#include "signal/normaliser.h"
#include "well_formed.h"

#include <sndfile.h>

namespace {

class Scope : public testing::Test {
  protected:
    ScratchDir dir;

    void put(const std::string& name, const std::vector<uint8_t>& bytes) {
        write_file(dir / name, bytes);
    }
    RunResult scope(const std::vector<std::string>& args) {
        return run_zx81scope(args, dir.path());
    }

    // Runs both tools on the recording with the same threshold and tolerance and checks that
    // the report says what the converter printed. Returns the report.
    std::string expect_agreement(const std::vector<uint8_t>& samples, int threshold = 30,
                                 int tolerance = 3) {
        put("tape.raw", samples);
        const RunResult tape =
            run_zx81tape({"tape.raw", "-r", "-m", "n=" + std::to_string(threshold),
                          "k=" + std::to_string(tolerance)},
                         dir.path());
        EXPECT_EQ(tape.status, 0) << tape.err;
        const RunResult r =
            scope({"--threshold", std::to_string(threshold), "--tolerance",
                   std::to_string(tolerance), "--max-strips", "100000", "tape.raw"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const std::string html = read_text(dir / "tape.html");
        EXPECT_EQ(xml_problem(html), "");

        const ConverterNumbers c = parse_converter(tape.out);
        const ReportNumbers s = parse_report(html);
        EXPECT_EQ(s.longest_pause, c.longest_pause);
        EXPECT_EQ(s.shortest_pause, c.shortest_pause);
        EXPECT_EQ(s.zero_length, c.zero_length);
        EXPECT_EQ(s.one_length, c.one_length);
        EXPECT_EQ(s.unknown, static_cast<int64_t>(c.unknown.size()));
        EXPECT_EQ(s.strips, c.unknown);
        EXPECT_EQ(s.saved_name, c.saved_name);
        // Every bit of the bit file is counted.
        int64_t bits = 0;
        for (char ch : read_text(dir / "tape.bit"))
            bits += ch == '0' || ch == '1' || ch == '?';
        EXPECT_EQ(s.bits, bits);
        return html;
    }
};

std::vector<uint8_t> with_cut_pulses(std::vector<uint8_t> samples, std::size_t size,
                                     std::vector<int64_t> bits, int pulses) {
    for (int64_t n : bits) {
        while (!bit_is_one(size, n))
            ++n;
        cut_pulses(samples, size, n, pulses);
    }
    return samples;
}

} // namespace

TEST_F(Scope, TheNumbersAreTheConvertersOnACleanRecording) {
    const std::string html = expect_agreement(clean_recording(400));
    EXPECT_EQ(parse_report(html).unknown, 0);
    EXPECT_EQ(html.find("class=\"strip\""), std::string::npos);
}

TEST_F(Scope, TheNumbersAreTheConvertersOnADropout) {
    std::vector<uint8_t> samples = clean_recording(400);
    const int64_t first = bit_start_sample(400, 700) + 12;
    dropout(samples, first, first + 500);
    const std::string html = expect_agreement(samples);
    const ReportNumbers r = parse_report(html);
    ASSERT_GE(r.strips.size(), 1u);
    // The strips are at the dropout: the first ends where the silence does or after it.
    EXPECT_GE(r.strips.front(), first);
    EXPECT_LE(r.strips.back(), first + 500 + 2 * 88);
}

TEST_F(Scope, TheNumbersAreTheConvertersOnBitsWithTooFewPulses) {
    // A 1 bit of 5 pulses measures about 62 and passes as a 0 bit, of 8 pulses about 82 and
    // passes as a 1 bit: no '?' for either, in the report as in the converter.
    const std::pair<int, int64_t> cases[] = {{5, 0}, {6, 3}, {7, 3}, {8, 0}};
    for (const auto& [pulses, unknown] : cases) {
        SCOPED_TRACE(pulses);
        const std::string html =
            expect_agreement(with_cut_pulses(clean_recording(400), 400, {100, 900, 2800}, pulses));
        EXPECT_EQ(parse_report(html).unknown, unknown);
    }
}

TEST_F(Scope, TheNumbersAreTheConvertersWithOtherThresholdsAndTolerances) {
    const std::vector<uint8_t> samples =
        with_cut_pulses(clean_recording(400, 40), 400, {150, 1200}, 7);
    for (const auto& [n, k] :
         std::vector<std::pair<int, int>>{{30, 3}, {60, 3}, {30, 10}, {75, 6}, {20, 1}}) {
        SCOPED_TRACE(testing::Message() << "n=" << n << " k=" << k);
        expect_agreement(samples, n, k);
    }
}

TEST_F(Scope, TheNumbersAreTheConvertersOverSeveralBlocks) {
    std::vector<uint8_t> samples = clean_recording(3800);
    ASSERT_GT(samples.size(), block_samples);
    const auto boundary = static_cast<int64_t>(block_samples);
    dropout(samples, boundary - 60, boundary + 90);
    const std::string html = expect_agreement(with_cut_pulses(samples, 3800, {500, 29000}, 6));
    EXPECT_GE(parse_report(html).unknown, 2);
}

TEST_F(Scope, ARecordingThatCannotBeCalibratedStillGetsAReport) {
    put("low.raw", clean_recording(100, 12));
    const RunResult tape = run_zx81tape({"low.raw"}, dir.path());
    EXPECT_EQ(tape.status, 1);
    EXPECT_EQ(tape.err, "*** error *** Could not compute 0,1 bit length in samples\n");
    const RunResult r = scope({"low.raw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "... creating report low.html\nnfill=0 nplat=0 n0=0 n1=0\n"
                     "the bit lengths could not be measured\n");
    const std::string html = read_text(dir / "low.html");
    EXPECT_EQ(xml_problem(html), "");
    EXPECT_EQ(report_value(html, "n0"), "0");
    // A lower threshold finds the signal.
    EXPECT_EQ(scope({"low.raw", "--threshold=20"}).status, 0);
    EXPECT_EQ(report_value(read_text(dir / "low.html"), "n0"), "55");
}

TEST_F(Scope, ADamagedBitInTheCalibrationWindowIsShownThere) {
    // Bit 2000 of 3232 lies in the calibration window; with five pulses its pause is the
    // longest, so nfill grows and no bit start is left to measure n0 from.
    put("tape.raw", with_cut_pulses(clean_recording(400), 400, {2000}, 5));
    const RunResult tape = run_zx81tape({"tape.raw", "-m"}, dir.path());
    EXPECT_EQ(tape.status, 1);
    EXPECT_EQ(tape.err, "*** error *** Could not compute 0,1 bit length in samples\n");
    const ConverterNumbers c = parse_converter(tape.out);
    ASSERT_GT(c.longest_pause, 29);
    const RunResult r = scope({"tape.raw"});
    EXPECT_EQ(r.status, 0);
    const std::string html = read_text(dir / "tape.html");
    const ReportNumbers s = parse_report(html);
    EXPECT_EQ(s.longest_pause, c.longest_pause);
    EXPECT_EQ(s.shortest_pause, c.shortest_pause);
    EXPECT_EQ(s.zero_length, c.zero_length);
    EXPECT_EQ(s.one_length, c.one_length);
    EXPECT_NE(report_value(html, "verdict").find("The histogram below shows"), std::string::npos);
}

TEST_F(Scope, TheSummaryAndTheDefaultReportName) {
    put("tape.raw", clean_recording(100));
    const RunResult r = scope({"tape.raw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "... creating report tape.html\nnfill=29 nplat=19 n0=55 n1=88\n"
              "k=3: 0 range 44..66, 1 range 77..99\n832 bits, 0 unknown, saved name [test]\n");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"tape.html", "tape.raw"}));
}

TEST_F(Scope, MinusOChoosesTheReportAndOptionsGoAnywhere) {
    put("tape.raw", clean_recording(100));
    const RunResult r = scope({"-o", "out.x", "tape.raw", "--max-strips=3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"out.x", "tape.raw"}));
    EXPECT_EQ(scope({"--output=other.html", "--", "tape.raw"}).status, 0);
    EXPECT_TRUE(exists(dir / "other.html"));
}

TEST_F(Scope, MaxStripsLimitsTheStripsAndCountsTheRest) {
    put("tape.raw", with_cut_pulses(clean_recording(400), 400, {100, 300, 500, 700, 900}, 6));
    ASSERT_EQ(scope({"tape.raw", "--max-strips", "2"}).status, 0);
    const std::string html = read_text(dir / "tape.html");
    EXPECT_EQ(parse_report(html).strips.size(), 2u);
    EXPECT_EQ(parse_report(html).unknown, 5);
    EXPECT_NE(report_value(html, "strips").find("3 more not drawn"), std::string::npos);
    ASSERT_EQ(scope({"tape.raw", "--max-strips", "0"}).status, 0);
    EXPECT_EQ(parse_report(read_text(dir / "tape.html")).strips.size(), 0u);
}

TEST_F(Scope, FromAndToChooseTheStrips) {
    put("tape.raw", with_cut_pulses(clean_recording(400), 400, {100, 300, 500, 700, 900}, 6));
    ASSERT_EQ(scope({"tape.raw"}).status, 0);
    const std::vector<int64_t> all = parse_report(read_text(dir / "tape.html")).strips;
    ASSERT_EQ(all.size(), 5u);
    ASSERT_EQ(
        scope({"tape.raw", "--from", std::to_string(all[1]), "--to", std::to_string(all[3] + 1)})
            .status,
        0);
    const std::string html = read_text(dir / "tape.html");
    EXPECT_EQ(parse_report(html).strips, (std::vector<int64_t>{all[1], all[2], all[3]}));
    EXPECT_EQ(parse_report(html).unknown, 5); // the numbers are still the whole recording's
    EXPECT_EQ(report_value(html, "shown"),
              std::to_string(all[1]) + ".." + std::to_string(all[3] + 1));
}

TEST_F(Scope, SvgWritesSeparateWellFormedFiles) {
    put("tape.raw", with_cut_pulses(clean_recording(400), 400, {100, 300}, 6));
    const RunResult r = scope({"tape.raw", "--svg"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> files{"tape-lengths.svg", "tape-overview.svg",
                                         "tape-periods.svg", "tape-strip-1.svg",
                                         "tape-strip-2.svg", "tape.raw"};
    EXPECT_EQ(list_dir(dir.path()), files);
    for (const std::string& f : files) {
        if (f == "tape.raw") continue;
        const std::string svg = read_text(dir / f);
        EXPECT_EQ(xml_problem(svg), "") << f;
        EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=", 0), 0u) << f;
        EXPECT_NE(r.out.find("... creating report " + f + "\n"), std::string::npos) << f;
    }
    EXPECT_EQ(scope({"tape.raw", "--svg", "-o", "pics/x.html"}).status, 1); // no such folder
    ASSERT_EQ(run_program("/bin/mkdir", {"mkdir", "pics"}, dir.path()).status, 0);
    EXPECT_EQ(scope({"tape.raw", "--svg", "-o", "pics/x.html"}).status, 0);
    EXPECT_TRUE(exists(dir / "pics/x-overview.svg"));
}

TEST_F(Scope, HelpAndVersion) {
    for (const char* arg : {"--help", "-h"}) {
        const RunResult r = scope({arg});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("usage: zx81scope [options] RECORDING [-o REPORT.html]\n", 0), 0u);
        EXPECT_EQ(r.err, "");
    }
    for (const char* arg : {"--version", "-V"}) {
        const RunResult v = scope({arg});
        EXPECT_EQ(v.status, 0);
        EXPECT_EQ(v.out, "zx81scope " ZX81_VERSION "\n");
    }
}

TEST_F(Scope, UsageErrorsGiveStatusTwoAndWriteNothing) {
    put("tape.raw", clean_recording(50));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no recording given"},
        {{"tape.raw", "other.raw"}, "more than one recording given ('tape.raw', 'other.raw')"},
        {{"tape.raw", "--bogus"}, "unknown option '--bogus'"},
        {{"tape.raw", "-x"}, "unknown option '-x'"},
        {{"tape.raw", "--threshold"}, "option '--threshold' needs a value"},
        {{"tape.raw", "--threshold", "3x"}, "option '--threshold' needs a whole number, not '3x'"},
        {{"tape.raw", "--threshold", "99999999999"},
         "option '--threshold' needs a whole number, not '99999999999'"},
        {{"tape.raw", "--tolerance", "0"},
         "option '--tolerance' must not be 0 (it divides n1 - n0)"},
        {{"tape.raw", "--max-strips", "-1"},
         "option '--max-strips' needs a count of 0 or more, not '-1'"},
        {{"tape.raw", "--from", ""}, "option '--from' needs a sample index of 0 or more, not ''"},
        {{"tape.raw", "--from", "10", "--to", "10"}, "--to must be greater than --from"},
        {{"tape.raw", "--from", "999999999"},
         "--from 999999999 is not inside the recording (" +
             std::to_string(clean_recording(50).size()) + " samples)"},
        {{"tape.raw", "-o", ""}, "option '-o' needs a file name"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(message);
        const RunResult r = scope(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "zx81scope: " + message +
                             "\nTry 'zx81scope --help' for more information.\n");
    }
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"tape.raw"});
}

TEST_F(Scope, AnUnreadableRecordingGivesStatusOne) {
    for (const char* name : {"missing.raw", "."}) {
        const RunResult r = scope({name});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string("zx81scope: cannot read the recording ") + name + "\n");
    }
    EXPECT_TRUE(list_dir(dir.path()).empty());
}

TEST_F(Scope, TheRecordingIsNeverOverwritten) {
    const std::vector<uint8_t> samples = clean_recording(50);
    put("tape.html", samples);
    const RunResult r = scope({"tape.html"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81scope: will not write the report over the recording tape.html\n");
    EXPECT_EQ(read_file(dir / "tape.html"), samples);
    EXPECT_EQ(scope({"tape.html", "-o", "./tape.html"}).status, 1);
    EXPECT_EQ(read_file(dir / "tape.html"), samples);
}

TEST_F(Scope, AReportThatCannotBeWrittenGivesStatusOne) {
    put("tape.raw", clean_recording(50));
    const RunResult r = scope({"tape.raw", "-o", "no/such/dir/r.html"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zx81scope: cannot write the report no/such/dir/r.html\n");
    const RunResult full = scope({"tape.raw", "-o", "/dev/full"});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "zx81scope: cannot write the report /dev/full\n");
}

TEST_F(Scope, ASoundFileGivesTheNumbersOfItsRawTwinAndItsRate) {
    // A 16-bit WAV whose high bytes are the raw recording's samples less 128.
    const std::vector<uint8_t> samples = clean_recording(200);
    std::vector<short> wide(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) wide[i] = static_cast<short>((samples[i] - 128) * 256);
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* wav = sf_open((dir / "tape.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(wav, nullptr);
    ASSERT_EQ(sf_writef_short(wav, wide.data(), static_cast<sf_count_t>(wide.size())),
              static_cast<sf_count_t>(wide.size()));
    ASSERT_EQ(sf_close(wav), 0);

    put("twin.raw", samples);
    const RunResult raw = scope({"twin.raw"});
    const RunResult r = scope({"tape.wav"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, raw.out.substr(0, raw.out.find("twin")) + "tape" +
                         raw.out.substr(raw.out.find("twin") + 4));
    const std::string html = read_text(dir / "tape.html");
    EXPECT_EQ(xml_problem(html), "");
    EXPECT_NE(html.find("22050 samples a second"), std::string::npos);
}
