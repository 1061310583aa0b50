// The honesty property, the one that matters most: whatever damage a recording suffers, no
// program is called intact or repaired unless its name and bytes are exactly those saved.
// Random programs (machine code in a REM line, or BASIC lines full of numbers that the
// structure holds) with random damage of every kind a tape suffers: dropouts (silent or faint,
// up to 200 ms), bursts with 3, 5, 6, 7 or 8 pulses, clicks inside bursts and in pauses,
// noise; recovered alone, repaired from the structure where it allows, and saved twice with
// damage in either copy or both, merged. ZX81_HONESTY_TRIALS sets the number of recordings of
// each test (make rescue-honesty runs many more than make test).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>

#include "recover/damaged_tape.h"
#include "recover/recover_test_support.h"
#include "recover/take_merge.h"

namespace {

int trials() {
    const char* text = std::getenv("ZX81_HONESTY_TRIALS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 40;
}

struct Tally {
    int intact = 0, repaired = 0, damaged = 0, wrong = 0;
};

// One copy of `all` (name and program) on the tape, with random bursts of the wrong pulse
// count, a dropout and clicks when `damage` says so.
void damaged_copy(DamagedTape& tape, const std::vector<uint8_t>& all, bool damage,
                  std::mt19937& random) {
    std::vector<std::pair<std::size_t, int>> pulses;
    const int odd = damage && random() % 3 == 0 ? 1 + static_cast<int>(random() % 3) : 0;
    for (int k = 0; k < odd; ++k) {
        const int counts[] = {3, 5, 6, 7, 8};
        pulses.emplace_back(random() % (all.size() * 8), counts[random() % 5]);
    }
    std::sort(pulses.begin(), pulses.end());
    const double start = static_cast<double>(tape.samples.size()) / tape.rate;
    tape.bytes(all, pulses);
    const double end = static_cast<double>(tape.samples.size()) / tape.rate;
    if (!damage) return;
    std::uniform_real_distribution<double> within(start, end);
    if (random() % 2 == 0) { // a dropout of up to 200 ms, silent or faint
        const double length = 0.0005 * (1 + random() % 400);
        tape.dropout(within(random), length, random() % 2 == 0 ? 0.0 : 0.02 * (random() % 5));
    }
    const int clicks = random() % 3 == 0 ? 1 + static_cast<int>(random() % 4) : 0;
    for (int k = 0; k < clicks; ++k) {
        tape.click(within(random), 1 + static_cast<int>(random() % 4),
                   (random() % 2 == 0 ? 1.0f : -1.0f) * (0.5f + 0.1f * (random() % 20)));
    }
}

// Settles what was found (as takes of recording `recording`) and holds every program called
// intact or repaired to one of `originals`.
void settle_and_check(std::vector<Take>& takes, const std::vector<uint8_t>& name,
                      const std::vector<std::vector<uint8_t>>& originals, int trial, Tally& tally) {
    for (const RecoveredProgram& p : settle_takes(takes)) {
        if (p.verdict == Verdict::damaged) ++tally.damaged;
        if (p.verdict != Verdict::intact && p.verdict != Verdict::repaired) continue;
        ++(p.verdict == Verdict::intact ? tally.intact : tally.repaired);
        const bool right = p.name == name && std::find(originals.begin(), originals.end(),
                                                       p.bytes) != originals.end();
        if (!right) {
            ++tally.wrong;
            ADD_FAILURE() << "trial " << trial << ": " << (p.takes.size()) << " takes, "
                          << (p.verdict == Verdict::intact ? "intact" : "repaired")
                          << " with wrong bytes";
        }
    }
}

void add_takes(const std::vector<float>& samples, int rate, int recording,
               std::vector<Take>& takes) {
    for (RecoveredProgram& p : recover_samples(samples, rate)) {
        if (p.verdict != Verdict::not_a_program)
            takes.push_back(make_take(std::move(p), recording));
    }
}

std::vector<uint8_t> random_program(std::mt19937& random, int trial, std::size_t most) {
    const std::size_t size = 300 + random() % (most - 300);
    const auto seed = static_cast<uint32_t>(trial);
    return random() % 2 == 0 ? shaped_program(size, seed) : lined_program(size, seed);
}

const int rates[] = {11025, 22050, 44100, 48000, 96000};

TEST(Honesty, NoProgramWithWrongBytesIsEverCalledIntactOrRepaired) {
    std::mt19937 random(2024);
    Tally tally;
    for (int trial = 0; trial < trials(); ++trial) {
        DamagedTape tape;
        tape.rate = rates[random() % 5];
        const std::vector<uint8_t> program = random_program(random, trial, 2000);
        const std::vector<uint8_t> name = name_codes("HONEST" + std::to_string(trial));
        std::vector<uint8_t> all = name;
        all.insert(all.end(), program.begin(), program.end());
        tape.silence(0.5);
        damaged_copy(tape, all, true, random);
        tape.silence(0.5);
        if (random() % 2 == 0) tape.noise(0.01 * (random() % 20), random());

        std::vector<Take> takes;
        add_takes(tape.samples, tape.rate, 0, takes);
        settle_and_check(takes, name, {program}, trial, tally);
    }
    EXPECT_EQ(tally.wrong, 0);
    std::printf("honesty: %d recordings, %d programs intact, %d repaired (all right), "
                "%d damaged\n",
                trials(), tally.intact, tally.repaired, tally.damaged);
}

// A program saved twice, damaged in one copy or in both; sometimes the second copy is an
// edited version of the same length, which must never be merged into the first; sometimes
// the copies are two recordings of the tape.
TEST(Honesty, NoMergeOfTakesGivesWrongBytes) {
    std::mt19937 random(1981);
    Tally tally;
    for (int trial = 0; trial < trials(); ++trial) {
        const int rate = rates[random() % 5];
        const std::vector<uint8_t> program = random_program(random, trial, 1200);
        std::vector<uint8_t> second = program;
        if (random() % 6 == 0) { // edited between the saves: a few bytes of the REM or lines
            for (int k = 0; k < 1 + static_cast<int>(random() % 3); ++k)
                second[130 + random() % (second.size() - 180)] ^=
                    static_cast<uint8_t>(1 << (random() % 8));
        }
        const std::vector<uint8_t> name = name_codes("TWICE" + std::to_string(trial));
        std::vector<uint8_t> first_all = name, second_all = name;
        first_all.insert(first_all.end(), program.begin(), program.end());
        second_all.insert(second_all.end(), second.begin(), second.end());
        const int damaged = static_cast<int>(random() % 3); // the first, the second, both
        const bool apart = random() % 3 == 0;               // two recordings

        DamagedTape one, other;
        one.rate = other.rate = rate;
        one.silence(0.5);
        damaged_copy(one, first_all, damaged != 1, random);
        DamagedTape& next = apart ? other : one;
        next.silence(apart ? 0.5 : 1.0);
        damaged_copy(next, second_all, damaged != 0, random);
        one.silence(0.5);
        other.silence(0.5);
        if (random() % 2 == 0) one.noise(0.01 * (random() % 20), random());
        if (random() % 2 == 0) other.noise(0.01 * (random() % 20), random());

        std::vector<Take> takes;
        add_takes(one.samples, rate, 0, takes);
        if (apart) add_takes(other.samples, rate, 1, takes);
        settle_and_check(takes, name, {program, second}, trial, tally);
    }
    EXPECT_EQ(tally.wrong, 0);
    std::printf("honesty of merges: %d tapes saved twice, %d programs intact, %d repaired (all "
                "right), %d damaged\n",
                trials(), tally.intact, tally.repaired, tally.damaged);
}

} // namespace
