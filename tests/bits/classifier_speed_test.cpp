// The walk over 64-sample masks against a plain walk, sample by sample: the same bits, each
// with the same start, end, burst, length and character, and the same state after every piece
// of the war file.
#include "bits/classifier.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "signal/normaliser.h"

// Where std::vector's comparison finds it.
static bool operator==(const WalkedBit& a, const WalkedBit& b) {
    return a.start == b.start && a.end == b.end && a.burst == b.burst && a.length == b.length &&
           a.bit == b.bit;
}

namespace {

// The walk one sample at a time, on the classifier's own state.
void walk_reference(BitClassifier& c, const std::vector<uint8_t>& war, std::size_t from,
                    std::size_t end, std::vector<WalkedBit>& bits) {
    for (std::size_t i = from; i < end; ++i) {
        if (war[i] != 0 && c.pause >= c.shortest_pause) {
            if (c.started) {
                WalkedBit b;
                b.start = c.position - c.since_bit_start;
                b.end = c.position;
                b.burst = c.since_bit_start - c.pause;
                b.length = b.burst + c.longest_pause;
                b.bit = classify_length(b.length, c.ranges);
                bits.push_back(b);
            }
            c.since_bit_start = 0;
        }
        if (war[i] != 0) {
            c.started = true;
            c.pause = 0;
        } else {
            ++c.pause;
        }
        ++c.since_bit_start;
        ++c.position;
    }
}

// Bursts and pauses of random lengths around n0 and n1, on samples of any non-zero value,
// sometimes with short breaks inside the bursts and a leading pause or burst.
std::vector<uint8_t> random_war(std::mt19937& random, int bits) {
    std::vector<uint8_t> war;
    if (random() % 2) war.insert(war.end(), random() % 120, 0);
    for (int b = 0; b < bits; ++b) {
        const std::size_t burst = 1 + random() % 60;
        for (std::size_t k = 0; k < burst; ++k) {
            const bool gap = random() % 23 == 0;
            war.push_back(gap ? 0 : static_cast<uint8_t>(1 + random() % 255));
        }
        war.insert(war.end(), random() % 90, 0);
    }
    war.push_back(war_end_marker);
    return war;
}

} // namespace

TEST(WalkBits, AgreesWithThePlainWalkPieceByPiece) {
    std::mt19937 random(31);
    for (int round = 0; round < 400; ++round) {
        const std::vector<uint8_t> war = random_war(random, 1 + static_cast<int>(random() % 80));
        PulseCalibration cal;
        cal.longest_pause = 1 + static_cast<int32_t>(random() % 90); // nplat from 0 to 59
        cal.zero_length = 20 + static_cast<int32_t>(random() % 40);
        cal.one_length = cal.zero_length + 10 + static_cast<int32_t>(random() % 60);
        const int32_t k = 1 + static_cast<int32_t>(random() % 5);

        BitClassifier fast = make_classifier(cal, k);
        BitClassifier plain = fast;
        std::vector<WalkedBit> fast_bits, plain_bits;
        for (std::size_t from = 0; from < war.size();) {
            const std::size_t end = std::min(war.size(), from + 1 + random() % 300);
            walk_bits(fast, war.data() + from, end - from,
                      [&](const WalkedBit& b) { fast_bits.push_back(b); });
            walk_reference(plain, war, from, end, plain_bits);
            ASSERT_EQ(fast.pause, plain.pause) << "round " << round << " at " << end;
            ASSERT_EQ(fast.since_bit_start, plain.since_bit_start)
                << "round " << round << " at " << end;
            ASSERT_EQ(fast.position, plain.position);
            ASSERT_EQ(fast.started, plain.started);
            from = end;
        }
        ASSERT_TRUE(fast_bits == plain_bits) << "round " << round;
    }
}

TEST(WalkBits, AllOffThenAllOnKeepCounting) {
    PulseCalibration cal{30, 40, 90};
    BitClassifier fast = make_classifier(cal, 3);
    BitClassifier plain = fast;
    std::string fast_bits;
    std::vector<int64_t> fast_unknown;
    std::vector<WalkedBit> plain_bits;
    std::vector<uint8_t> war(300, 0);
    war.insert(war.end(), 200, sample_on);
    war.insert(war.end(), 100, 0);
    war.push_back(war_end_marker);
    for (std::size_t from = 0; from < war.size(); from += 128) {
        const std::size_t end = std::min(war.size(), from + 128);
        classify_block(fast, war.data() + from, end - from, fast_bits, fast_unknown);
        walk_reference(plain, war, from, end, plain_bits);
        ASSERT_EQ(fast.pause, plain.pause);
        ASSERT_EQ(fast.since_bit_start, plain.since_bit_start);
        ASSERT_EQ(fast.started, plain.started);
    }
    ASSERT_EQ(plain_bits.size(), 1u);
    EXPECT_EQ(plain_bits[0].bit, '?');
    EXPECT_EQ(fast_bits, "?");
    EXPECT_EQ(fast_unknown, std::vector<int64_t>{600});
}
