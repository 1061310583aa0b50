// The finder on bursts as a perfect demodulator would hear them: every program of a recording
// found in order whatever lies between them, and damage located, never passed as intact.
#include "recover/program_finder.h"

#include <random>

#include <gtest/gtest.h>

#include "program/system_variables.h"
#include "program/saved_name_text.h"
#include "recover/recover_test_support.h"

namespace {

bool has_finding(const RecoveredProgram& p, FindingKind kind, int64_t offset) {
    for (const RecoveryFinding& f : p.findings) {
        if (f.kind == kind && f.offset == offset && f.damage) return true;
    }
    return false;
}

std::string describe(const RecoveredProgram& p) {
    std::string text = saved_name_text(p.name) + ": " + std::to_string(p.bytes.size()) + " bytes";
    for (const RecoveryFinding& f : p.findings) {
        text += "\n  " + std::to_string(f.offset) + ": " + f.message;
    }
    return text;
}

TEST(ProgramFinder, FindsEveryProgramInOrderWhateverLiesBetween) {
    const std::vector<uint8_t> a = shaped_program(300, 1);
    const std::vector<uint8_t> b = shaped_program(2000, 2);
    const std::vector<uint8_t> c = shaped_program(700, 3);
    const std::vector<uint8_t> d = shaped_program(16384, 4);
    const std::string long_name(127, 'L');
    HeardTape tape;
    tape.burst(1); // a click, then junk bursts and a short gap right before the name
    tape.silence(2.0);
    for (int i = 0; i < 20; ++i) {
        tape.burst(i % 7);
        tape.silence(0.001 * (i % 3));
    }
    tape.silence(0.02);
    tape.program("FIRST", a);
    tape.burst(1); // the ZX81's stray pulse
    tape.silence(0.1);
    tape.program("SECOND", b);
    tape.program("THIRD", c); // no gap at all
    tape.silence(10.0);
    tape.program(long_name, d);
    tape.burst(1);
    tape.silence(1.0);

    const std::vector<RecoveredProgram> found = find_programs(tape);
    ASSERT_EQ(found.size(), 4u);
    const std::vector<std::pair<std::string, const std::vector<uint8_t>*>> expected = {
        {"FIRST", &a}, {"SECOND", &b}, {"THIRD", &c}, {long_name, &d}};
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].verdict, Verdict::intact) << describe(found[i]);
        EXPECT_EQ(saved_name_text(found[i].name), expected[i].first);
        EXPECT_TRUE(found[i].bytes == *expected[i].second) << describe(found[i]);
        EXPECT_EQ(found[i].bits.size(), 8 * (found[i].name.size() + found[i].bytes.size()));
    }
    EXPECT_LT(found[0].end, found[1].start);
    EXPECT_EQ(found[1].end + tape.frame(1300e-6), found[2].start);
}

TEST(ProgramFinder, FollowsSlowAndFastTapesAndSpeedChanges) {
    const std::vector<uint8_t> program = shaped_program(4000, 5);
    for (double speed : {0.5, 0.8, 1.4, 2.0}) {
        HeardTape tape;
        tape.speed = speed;
        tape.silence(1.0);
        tape.program("SPEED", program);
        const auto found = find_programs(tape);
        ASSERT_EQ(found.size(), 1u) << speed;
        EXPECT_EQ(found[0].verdict, Verdict::intact) << speed << describe(found[0]);
        EXPECT_TRUE(found[0].bytes == program) << speed;
    }
    // Wow: the speed swinging between 0.5 and 1.5 while the program plays, and a silence
    // during which it changes by half.
    HeardTape tape;
    tape.rate = 11025;
    tape.silence(0.5);
    tape.bytes(name_codes("WOW"));
    for (std::size_t i = 0; i < program.size(); ++i) {
        tape.speed = 1.0 + 0.5 * std::sin(2 * 3.14159265 * 0.5 * tape.clock);
        tape.bytes({program[i]});
    }
    tape.silence(3.0);
    tape.speed = 1.5;
    tape.program("AFTER", program);
    const auto found = find_programs(tape);
    ASSERT_EQ(found.size(), 2u);
    for (const RecoveredProgram& p : found) {
        EXPECT_EQ(p.verdict, Verdict::intact) << describe(p);
        EXPECT_TRUE(p.bytes == program);
    }
}

// One kind of damage at byte 200 of a program: where it is found and what the finder says.
struct Damage {
    const char* label;
    FindingKind kind;
    void (*apply)(std::vector<HeardBit>& bits, std::size_t at, int rate);
    bool bytes_right; // the damage leaves the bytes right (the finding is still damage)
};

std::ostream& operator<<(std::ostream& os, const Damage& d) {
    return os << d.label;
}

class ProgramDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(ProgramDamage, IsLocatedAndNeverIntact) {
    const Damage& damage = GetParam();
    const std::vector<uint8_t> program = shaped_program(1000, 6);
    HeardTape tape;
    tape.silence(1.0);
    tape.program("DAMAGED", program);
    const std::size_t name_bits = 8 * 7;
    const std::size_t at = name_bits + 8 * 200 + 2; // bit 5 of byte 200
    damage.apply(tape.bits, at, tape.rate);
    tape.silence(1.0);

    const auto found = find_programs(tape);
    ASSERT_EQ(found.size(), 1u);
    const RecoveredProgram& p = found[0];
    EXPECT_EQ(p.verdict, Verdict::damaged);
    EXPECT_TRUE(has_finding(p, damage.kind, 200)) << describe(p);
    if (damage.bytes_right) {
        EXPECT_TRUE(p.bytes == program) << describe(p);
    }
    if (damage.kind != FindingKind::cut_short) {
        EXPECT_EQ(p.bytes.size(), program.size());
        // Everything after the damage is still in its place.
        EXPECT_TRUE(std::equal(p.bytes.begin() + 202, p.bytes.end(), program.begin() + 202));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ProgramDamage,
    ::testing::Values(
        Damage{"unclear_burst", FindingKind::uncertain_bits,
               [](std::vector<HeardBit>& bits, std::size_t at, int) {
                   bits[at].certain = false;
                   bits[at].pulses = static_cast<uint8_t>(bits[at].value ? 7 : 5);
               },
               true},
        Damage{"dropout", FindingKind::lost_bits,
               [](std::vector<HeardBit>& bits, std::size_t at, int) {
                   bits.erase(bits.begin() + static_cast<std::ptrdiff_t>(at),
                              bits.begin() + static_cast<std::ptrdiff_t>(at + 3));
               },
               false},
        Damage{"click_in_pause", FindingKind::stray_burst,
               [](std::vector<HeardBit>& bits, std::size_t at, int rate) {
                   HeardBit click;
                   click.start = bits[at].end + rate * 600 / 1000000;
                   click.end = click.start + 2;
                   click.pulses = 1;
                   bits.insert(bits.begin() + static_cast<std::ptrdiff_t>(at + 1), click);
               },
               true},
        Damage{"burst_split_in_two", FindingKind::uncertain_bits,
               [](std::vector<HeardBit>& bits, std::size_t at, int rate) {
                   HeardBit first = bits[at];
                   HeardBit second = bits[at];
                   first.certain = second.certain = false;
                   first.pulses = 3;
                   first.end = first.start + rate * 900 / 1000000;
                   second.start = first.end + rate * 300 / 1000000;
                   second.pulses = static_cast<uint8_t>(bits[at].pulses - 4);
                   bits[at] = first;
                   bits.insert(bits.begin() + static_cast<std::ptrdiff_t>(at + 1), second);
               },
               true},
        Damage{"recording_ends", FindingKind::cut_short,
               [](std::vector<HeardBit>& bits, std::size_t at, int) { bits.resize(at - 2); },
               false}),
    [](const ::testing::TestParamInfo<Damage>& param) { return std::string(param.param.label); });

// A small machine-code program that loads over its own system variables: only E_LINE makes
// sense. It counts as a program when silence confirms where E_LINE says it ends.
TEST(ProgramFinder, TakesAnOverlayOnlyWhenTheRecordingConfirmsItsEnd) {
    std::vector<uint8_t> program(60, 0xC9);
    program[sysvar::e_line] = static_cast<uint8_t>((p_file_origin + 60) & 0xFF);
    program[sysvar::e_line + 1] = static_cast<uint8_t>((p_file_origin + 60) >> 8);
    program.back() = 0x80;

    HeardTape confirmed;
    confirmed.silence(1.0);
    confirmed.program("MC", program);
    confirmed.silence(2.0);
    const auto found = find_programs(confirmed);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].verdict, Verdict::intact) << describe(found[0]);
    EXPECT_TRUE(found[0].bytes == program);
    EXPECT_FALSE(found[0].findings.empty()); // the structure check's notes
    EXPECT_FALSE(any_damage(found[0].findings));

    HeardTape goes_on = confirmed;
    goes_on.bits.erase(goes_on.bits.end() - 0, goes_on.bits.end());
    goes_on.clock -= 2.0;
    std::mt19937 random(7);
    std::vector<uint8_t> more(100);
    for (uint8_t& b : more)
        b = static_cast<uint8_t>(random() & 0x7F);
    goes_on.bytes(more);
    const auto none = find_programs(goes_on);
    for (const RecoveredProgram& p : none) {
        EXPECT_EQ(p.verdict, Verdict::not_a_program) << describe(p);
    }
}

TEST(ProgramFinder, ReportsBurstsThatStartNoProgramAsABlock) {
    HeardTape tape;
    tape.silence(1.0);
    std::mt19937 random(3);
    const int64_t start = tape.frame(tape.clock);
    for (int i = 0; i < 500; ++i)
        tape.burst(static_cast<int>(random() % 12));
    const int64_t end = tape.bits.back().end;
    tape.silence(1.0);
    tape.program("AFTER", shaped_program(300));

    const auto found = find_programs(tape);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].verdict, Verdict::not_a_program);
    EXPECT_EQ(found[0].start, start);
    EXPECT_EQ(found[0].end, end);
    EXPECT_EQ(found[0].bursts, 500u);
    EXPECT_EQ(found[1].verdict, Verdict::intact);
}

} // namespace
