// Takes end to end: a program saved twice with damage in one copy comes back exact and
// repaired; two recordings damaged in different places merge; the structure repairs what it
// pins and leaves the rest damaged, with a bit file to finish by hand; recordings that are
// not takes of one tape are refused.
#include <cstdio>

#include <gtest/gtest.h>

#include "program/p_file_model.h"
#include "recover/damaged_tape.h"
#include "recover/recover_test_support.h"
#include "rescue/json_reader.h"
#include "rescue/rescue_test_support.h"

namespace {

// Damage generator samples at full scale 1.0 put on the 8-bit scale: pulses of 0.8 become 100,
// the synthesiser's default amplitude.
constexpr double damage_scale = 125.0;

// A copy of `program` saved as `name`, with bursts of `pulses` pulses at `bits` (counted from
// the program's first bit, after the name).
void copy_with_bad_bits(TestRecording& recording, const std::string& name,
                        const std::vector<uint8_t>& program,
                        const std::vector<std::pair<std::size_t, int>>& bad) {
    DamagedTape tape;
    tape.rate = recording.rate;
    std::vector<uint8_t> all = name_codes(name);
    std::vector<std::pair<std::size_t, int>> pulses;
    for (const auto& b : bad)
        pulses.emplace_back(8 * all.size() + b.first, b.second);
    all.insert(all.end(), program.begin(), program.end());
    tape.bytes(all, pulses);
    recording.append(tape.samples, damage_scale);
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

struct TwiceCase {
    const char* label;
    int rate;
    int bits;           // 0: raw 8-bit; 16: WAV
    double dropout_ms;  // a dropout this long in the damaged copy, or 0
    double level;       // what the dropout leaves of the signal
    int bad_bits;       // bursts with the wrong pulse count in the damaged copy
    int damaged;        // 0: the first copy, 1: the second
    bool lined;         // BASIC lines, else a REM line of machine code
    double noise = 0.0; // over the whole recording
    std::size_t first_bad = 900; // the first bad burst, counted from the program's first bit
    int first_pulses = 6;        // and its pulses
};

std::ostream& operator<<(std::ostream& os, const TwiceCase& c) {
    return os << c.label;
}

class SavedTwice : public ::testing::TestWithParam<TwiceCase> {};

// The goal: a dropout of up to 200 ms, or up to 3 damaged bits, in one copy of a program
// saved twice: the exact program, repaired.
TEST_P(SavedTwice, ComesBackExactAndRepaired) {
    const TwiceCase& c = GetParam();
    const std::vector<uint8_t> program =
        c.lined ? lined_program(600, static_cast<uint32_t>(c.rate)) : shaped_program(600, 31);
    TestRecording recording;
    recording.rate = c.rate;
    recording.silence(0.5);
    for (int copy = 0; copy < 2; ++copy) {
        const bool damaged = copy == c.damaged;
        if (c.bad_bits > 0) {
            std::vector<std::pair<std::size_t, int>> bad;
            const int counts[] = {c.first_pulses, 3, 7};
            for (int k = 0; damaged && k < c.bad_bits; ++k)
                bad.emplace_back(c.first_bad + 1500 * static_cast<std::size_t>(k), counts[k]);
            copy_with_bad_bits(recording, "TWICE", program, bad);
        } else {
            SynthSettings settings;
            if (damaged) {
                settings.dropout_at_ms = 7000.0;
                settings.dropout_ms = c.dropout_ms;
                settings.dropout_level = c.level;
            }
            recording.program("TWICE", program, settings);
        }
        recording.silence(1.0);
    }
    recording.impair(c.noise, 0.0, 0.0);

    ScratchDir dir;
    const std::string name = c.bits == 0 ? "tape.raw" : "tape.wav";
    if (c.bits == 0) {
        write_raw(dir / name, recording);
    } else {
        write_wav(dir / name, {&recording}, c.bits);
    }
    const RunResult run = run_zx81rescue({name}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(read_file(dir / "TWICE.p") == program) << run.out;
    char line[80];
    std::snprintf(line, sizeof line, "  repaired %6zu bytes  TWICE -> TWICE.p (2 takes)\n",
                  program.size());
    EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(name + ": 1 program (2 takes), 0 intact, 1 repaired, 0 damaged\n"),
              std::string::npos)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Goals, SavedTwice,
    ::testing::Values(TwiceCase{"dropout200_first_22050", 22050, 0, 200, 0.0, 0, 0, false},
                      TwiceCase{"dropout200_second_44100_wav", 44100, 16, 200, 0.0, 0, 1, true},
                      TwiceCase{"dropout150_faint_first_11025", 11025, 0, 150, 0.05, 0, 0, true},
                      TwiceCase{"dropout60_second_96000_wav", 96000, 16, 60, 0.0, 0, 1, false},
                      TwiceCase{"bad1_first_22050", 22050, 0, 0, 0, 1, 0, true},
                      TwiceCase{"bad2_second_48000_wav", 48000, 16, 0, 0, 2, 1, false},
                      TwiceCase{"bad3_first_22050_noisy", 22050, 0, 0, 0, 3, 0, true, 3.0},
                      TwiceCase{"bad3_second_44100", 44100, 0, 0, 0, 3, 1, false},
                      // E_LINE's first bit: the damaged copy may read another length.
                      TwiceCase{"bad1_in_e_line_first_22050", 22050, 0, 0, 0, 1, 0, false, 0.0,
                                8 * 0x0B, 7}),
    [](const ::testing::TestParamInfo<TwiceCase>& param) {
        return std::string(param.param.label);
    });

// Two recordings of a tape, each with a dropout in another place: merged, the report shows
// the program once with both takes and every decision, in its lines and in the JSON report.
TEST(RescueTakes, MergesTwoRecordingsDamagedInDifferentPlaces) {
    ScratchDir dir;
    const std::vector<uint8_t> program = shaped_program(600, 41);
    for (const char* file : {"a.raw", "b.raw"}) {
        TestRecording recording;
        recording.silence(file[0] == 'a' ? 0.5 : 1.5);
        SynthSettings settings;
        settings.dropout_at_ms = file[0] == 'a' ? 3000.0 : 9000.0;
        settings.dropout_ms = 150.0;
        settings.dropout_level = 0.0;
        recording.program("TAKES", program, settings);
        recording.silence(1.0);
        write_raw(dir / file, recording);
    }
    const RunResult run =
        run_zx81rescue({"--merge", "--json", "report.json", "a.raw", "b.raw"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(read_file(dir / "TAKES.p") == program);
    EXPECT_EQ(run.out.rfind("a.raw: 22050 Hz (measured), mono, 00:", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\nb.raw: 22050 Hz (measured), mono, 00:"), std::string::npos);
    EXPECT_NE(run.out.find("\nmerge of 2 recordings:\n"), std::string::npos);
    EXPECT_NE(run.out.find("  repaired    600 bytes  TAKES -> TAKES.p (2 takes)\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("\n      take 1: a.raw 00:00.500-"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n      take 2: b.raw 00:01.500-"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("take 1 lost them in a gap; take 2 heard them clearly"),
              std::string::npos);
    EXPECT_NE(run.out.find("take 2 lost them in a gap; take 1 heard them clearly"),
              std::string::npos);
    EXPECT_NE(run.out.find("merge of 2 recordings: 1 program (2 takes), 0 intact, 1 repaired, "
                           "0 damaged\n"),
              std::string::npos);

    Json json;
    ASSERT_TRUE(parse_json(read_text(dir / "report.json"), json));
    EXPECT_TRUE(json["recordings"].items.at(1)["programs"].items.empty());
    const Json& merge = json["merge"];
    EXPECT_EQ(merge.keys(), (std::vector<std::string>{"status", "refusal", "programs"}));
    EXPECT_EQ(merge["status"].text, "merged");
    const Json& p = merge["programs"].items.at(0);
    EXPECT_EQ(p["verdict"].text, "repaired");
    ASSERT_EQ(p["takes"].items.size(), 2u);
    EXPECT_EQ(p["takes"].items[1]["recording"].text, "b.raw");
    EXPECT_EQ(p["takes"].items[0]["verdict"].text, "damaged");
    ASSERT_FALSE(p["decisions"].items.empty());
    const Json& decision = p["decisions"].items[0];
    EXPECT_EQ(decision.keys(), (std::vector<std::string>{"kind", "offset", "name_index", "bytes",
                                                         "times", "message"}));
    EXPECT_EQ(decision["kind"].text, "takes");
    ASSERT_EQ(decision["times"].items.size(), 2u);
    EXPECT_EQ(decision["times"].items[1].keys(),
              (std::vector<std::string>{"take", "time", "time_s", "sample"}));
    EXPECT_NEAR(decision["times"].items[0]["time_s"].number, 3.5, 0.05);
}

// One copy: a bad burst in a line's NEWLINE is repaired from the structure; one in REM text
// is not, and the bit file leaves it as '?' to finish by hand. A burst of 6 pulses leaves its
// neighbours' facing sides unconfirmed, so they are unclear too: the repair decides all three,
// and the bit file keeps all three as '?'.
TEST(RescueTakes, RepairsFromTheStructureOnlyWhatItPins) {
    ScratchDir dir;
    const std::vector<uint8_t> lines = lined_program(500, 2);
    const std::size_t newline = parse_p_file(lines).lines.at(2).end - 1;
    TestRecording pinned;
    pinned.silence(0.5);
    copy_with_bad_bits(pinned, "PINNED", lines, {{8 * newline + 1, 6}}); // 0x76: bit 6 is 1
    pinned.silence(0.5);
    write_raw(dir / "pinned.raw", pinned);
    RunResult run = run_zx81rescue({"pinned.raw"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(read_file(dir / "PINNED.p") == lines);
    EXPECT_NE(run.out.find(" bytes  PINNED -> PINNED.p\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  repaired  "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bits 7, 6 and 5 unclear (4, 6 and 9 pulses): only 011 fits the "
                           "structure; 001 would break it: line 30 would not end in a NEWLINE "
                           "where its length says"),
              std::string::npos)
        << run.out;

    const std::vector<uint8_t> rem = shaped_program(300, 3);
    TestRecording free_text;
    free_text.silence(0.5);
    copy_with_bad_bits(free_text, "FREE", rem, {{8 * 140 + 4, 6}});
    free_text.silence(0.5);
    write_raw(dir / "free.raw", free_text);
    run = run_zx81rescue({"--bits", "free.raw"}, dir.path());
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("  damaged     300 bytes  FREE -> FREE.p, FREE.bit\n"),
              std::string::npos)
        << run.out;
    std::string bits = read_text(dir / "FREE.bit");
    ASSERT_EQ(count_of(bits, "?"), 3u);
    for (int bit = 3; bit <= 5; ++bit) { // counted from the most significant
        const std::size_t unknown = 8 * (4 + 140) + static_cast<std::size_t>(bit);
        const std::size_t at = unknown + 2 * (unknown / 64); // CR LF after every 64 bits
        ASSERT_EQ(bits[at], '?');
        bits[at] = static_cast<char>('0' + (rem[140] >> (7 - bit) & 1));
    }
    ScratchDir finish;
    write_text(finish / "FREE.bit", bits);
    EXPECT_EQ(run_zx81tape({"FREE.bit"}, finish.path()).status, 0);
    EXPECT_TRUE(read_file(finish / "free.p") == rem);
}

// Recordings that are not takes of one tape: a program of the same name and length that
// differs, or no program in common. Nothing is written.
TEST(RescueTakes, RefusesToMergeRecordingsOfDifferentTapes) {
    ScratchDir dir;
    std::vector<uint8_t> edited = shaped_program(300, 51);
    edited[200] ^= 0x10;
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> tapes = {
        {"a.raw", shaped_program(300, 51)}, {"b.raw", edited}, {"c.raw", shaped_program(320, 52)}};
    for (const auto& tape : tapes) {
        TestRecording recording;
        recording.silence(0.5);
        recording.program(tape.first[0] == 'c' ? "OTHER" : "HELLO", tape.second);
        recording.silence(0.5);
        write_raw(dir / tape.first, recording);
    }
    RunResult run = run_zx81rescue({"--merge", "a.raw", "b.raw"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zx81rescue: --merge: HELLO (300 bytes) on b.raw is not the program HELLO "
                       "on a.raw: they differ in 1 bit that both heard clearly, at offset "
                       "0x00C8; --merge takes recordings of one tape\n");
    EXPECT_NE(run.out.find("\nmerge of 2 recordings: refused, nothing written\n"),
              std::string::npos)
        << run.out;
    run = run_zx81rescue({"--merge", "-q", "a.raw", "c.raw"}, dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zx81rescue: --merge: c.raw holds none of the programs on the other "
                       "recording; --merge takes recordings of one tape\n");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.raw", "b.raw", "c.raw"}));
}

} // namespace
