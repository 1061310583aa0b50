// The honesty property, the one that matters most: whatever damage a recording suffers, no
// program is called intact unless its name and bytes are exactly those saved. Random programs
// with random damage of every kind a tape suffers: dropouts (silent or faint), bursts with 3,
// 5, 6, 7 or 8 pulses, clicks inside bursts and in pauses, noise. ZX81_HONESTY_TRIALS sets the
// number of recordings (make rescue-honesty runs many more than make test).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>

#include "recover/damaged_tape.h"
#include "recover/recover_test_support.h"

namespace {

int trials() {
    const char* text = std::getenv("ZX81_HONESTY_TRIALS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 40;
}

TEST(Honesty, NoProgramWithWrongBytesIsEverCalledIntact) {
    std::mt19937 random(2024);
    const int rates[] = {11025, 22050, 44100, 48000, 96000};
    int intact = 0, damaged = 0, wrong = 0;
    for (int trial = 0; trial < trials(); ++trial) {
        DamagedTape tape;
        tape.rate = rates[random() % 5];
        const std::vector<uint8_t> program =
            shaped_program(300 + random() % 1700, static_cast<uint32_t>(trial));
        const std::vector<uint8_t> name = name_codes("HONEST" + std::to_string(trial));
        std::vector<uint8_t> all = name;
        all.insert(all.end(), program.begin(), program.end());

        // Bursts with the wrong number of pulses.
        std::vector<std::pair<std::size_t, int>> pulses;
        const int odd = random() % 3 == 0 ? 1 + static_cast<int>(random() % 3) : 0;
        for (int k = 0; k < odd; ++k) {
            const int counts[] = {3, 5, 6, 7, 8};
            pulses.emplace_back(random() % (all.size() * 8), counts[random() % 5]);
        }
        std::sort(pulses.begin(), pulses.end());
        tape.silence(0.5);
        const double start = 0.5;
        tape.bytes(all, pulses);
        const double end = static_cast<double>(tape.samples.size()) / tape.rate;
        tape.silence(0.5);

        std::uniform_real_distribution<double> within(start, end);
        if (random() % 3 == 0) { // a dropout, silent or faint
            const double length = 0.0005 * (1 + random() % 400);
            tape.dropout(within(random), length, random() % 2 == 0 ? 0.0 : 0.02 * (random() % 5));
        }
        const int clicks = random() % 3 == 0 ? 1 + static_cast<int>(random() % 4) : 0;
        for (int k = 0; k < clicks; ++k) {
            tape.click(within(random), 1 + static_cast<int>(random() % 4),
                       (random() % 2 == 0 ? 1.0f : -1.0f) * (0.5f + 0.1f * (random() % 20)));
        }
        if (random() % 2 == 0) tape.noise(0.01 * (random() % 20), random());

        for (const RecoveredProgram& p : recover_samples(tape.samples, tape.rate)) {
            if (p.verdict == Verdict::damaged) ++damaged;
            if (p.verdict != Verdict::intact) continue;
            ++intact;
            if (p.bytes != program || p.name != name) {
                ++wrong;
                ADD_FAILURE() << "trial " << trial << " at " << tape.rate
                              << " Hz: intact with wrong bytes";
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    std::printf("honesty: %d recordings, %d programs intact (all right), %d damaged\n", trials(),
                intact, damaged);
}

} // namespace
