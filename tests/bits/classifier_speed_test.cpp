// The classifier's walk over 64-sample masks against a plain walk, sample by sample: the same
// bits, the same unknown-bit indexes and the same state after every piece of the war file.
#include "bits/classifier.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "signal/normaliser.h"

namespace {

// The walk one sample at a time, on the classifier's own state.
void classify_reference(BitClassifier& c, const std::vector<uint8_t>& war, std::size_t from,
                        std::size_t end, std::string& bits, std::vector<int64_t>& unknown) {
    for (std::size_t i = from; i < end; ++i) {
        if (war[i] != 0 && c.r >= c.nplat) {
            if (c.started) {
                const char bit = classify_length(c.m - c.r + c.nfill, c.ranges);
                if (bit == '?') unknown.push_back(c.nsample);
                bits += bit;
            }
            c.m = 0;
        }
        if (war[i] != 0) {
            c.started = true;
            c.r = 0;
        } else {
            ++c.r;
        }
        ++c.m;
        ++c.nsample;
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

TEST(ClassifyRuns, AgreesWithThePlainWalkPieceByPiece) {
    std::mt19937 random(31);
    for (int round = 0; round < 400; ++round) {
        const std::vector<uint8_t> war = random_war(random, 1 + static_cast<int>(random() % 80));
        PulseCalibration cal;
        cal.nfill = 1 + static_cast<int32_t>(random() % 90); // nplat from 0 to 59
        cal.n0 = 20 + static_cast<int32_t>(random() % 40);
        cal.n1 = cal.n0 + 10 + static_cast<int32_t>(random() % 60);
        const int32_t k = 1 + static_cast<int32_t>(random() % 5);

        BitClassifier fast = make_classifier(cal, k);
        BitClassifier plain = fast;
        std::string fast_bits, plain_bits;
        std::vector<int64_t> fast_unknown, plain_unknown;
        for (std::size_t from = 0; from < war.size();) {
            const std::size_t end = std::min(war.size(), from + 1 + random() % 300);
            classify_block(fast, war.data() + from, end - from, fast_bits, fast_unknown);
            classify_reference(plain, war, from, end, plain_bits, plain_unknown);
            ASSERT_EQ(fast.r, plain.r) << "round " << round << " at " << end;
            ASSERT_EQ(fast.m, plain.m) << "round " << round << " at " << end;
            ASSERT_EQ(fast.nsample, plain.nsample);
            ASSERT_EQ(fast.started, plain.started);
            from = end;
        }
        ASSERT_EQ(fast_bits, plain_bits) << "round " << round;
        ASSERT_EQ(fast_unknown, plain_unknown) << "round " << round;
    }
}

TEST(ClassifyRuns, AllOffThenAllOnKeepCounting) {
    PulseCalibration cal{30, 40, 90};
    BitClassifier fast = make_classifier(cal, 3);
    BitClassifier plain = fast;
    std::string fast_bits, plain_bits;
    std::vector<int64_t> fast_unknown, plain_unknown;
    std::vector<uint8_t> war(300, 0);
    war.insert(war.end(), 200, sample_on);
    war.insert(war.end(), 100, 0);
    war.push_back(war_end_marker);
    for (std::size_t from = 0; from < war.size(); from += 128) {
        const std::size_t end = std::min(war.size(), from + 128);
        classify_runs(fast, war.data() + from, end - from, fast_bits, fast_unknown);
        classify_reference(plain, war, from, end, plain_bits, plain_unknown);
        ASSERT_EQ(fast.r, plain.r);
        ASSERT_EQ(fast.m, plain.m);
        ASSERT_EQ(fast.started, plain.started);
    }
    EXPECT_EQ(fast_bits, plain_bits);
    EXPECT_EQ(fast_bits, "?");
    EXPECT_EQ(fast_unknown, std::vector<int64_t>{600});
}
