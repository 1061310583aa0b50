// The word and mask helpers of runs.h against plain walks, byte by byte and bit by bit.
#include "signal/runs.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Random samples in runs of random length; on samples take any non-zero value when `any_on`.
std::vector<uint8_t> random_runs(std::mt19937& random, std::size_t size, int longest,
                                 bool any_on) {
    std::vector<uint8_t> v(size);
    bool on = random() % 2 != 0;
    for (std::size_t i = 0; i < size;) {
        std::size_t run = 1 + random() % static_cast<unsigned>(longest);
        for (; run > 0 && i < size; --run, ++i) {
            v[i] = on ? (any_on ? static_cast<uint8_t>(1 + random() % 255) : 0xF0) : 0;
        }
        on = !on;
    }
    return v;
}

std::size_t find_on_reference(const std::vector<uint8_t>& v, std::size_t from, std::size_t end) {
    while (from < end && v[from] == 0) ++from;
    return from;
}

std::size_t find_off_reference(const std::vector<uint8_t>& v, std::size_t from,
                               std::size_t end) {
    while (from < end && v[from] != 0) ++from;
    return from;
}

uint64_t mask_reference(const uint8_t* data, std::size_t count) {
    uint64_t mask = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (data[k] != 0) mask |= uint64_t{1} << k;
    }
    return mask;
}

bool has_run_reference(uint64_t mask, int64_t length) {
    if (length <= 0) return true;
    int64_t run = 0;
    for (int k = 0; k < 64; ++k) {
        run = (mask >> k) & 1 ? run + 1 : 0;
        if (run >= length) return true;
    }
    return false;
}

// A 64-bit value with runs of set and clear bits, as a burst looks.
uint64_t random_mask(std::mt19937& random) {
    switch (random() % 4) {
    case 0: return (uint64_t{random()} << 32) ^ random();
    case 1: return 0;
    case 2: return ~uint64_t{0};
    default: {
        uint64_t mask = 0;
        bool set = random() % 2 != 0;
        for (int k = 0; k < 64;) {
            int run = 1 + static_cast<int>(random() % 20);
            for (; run > 0 && k < 64; --run, ++k) {
                if (set) mask |= uint64_t{1} << k;
            }
            set = !set;
        }
        return mask;
    }
    }
}

} // namespace

TEST(OnBytes, MarksExactlyTheNonZeroBytesForEveryValue) {
    for (int value = 0; value < 256; ++value) {
        for (int at = 0; at < 8; ++at) {
            // The byte among neighbours of every kind: zero, 0x80, 0xFF, 0x01.
            for (uint64_t fill : {0x0ull, 0x8080808080808080ull, ~0ull, 0x0101010101010101ull}) {
                uint64_t word = fill & ~(uint64_t{0xFF} << (8 * at));
                word |= uint64_t(value) << (8 * at);
                uint64_t expected = 0;
                for (int k = 0; k < 8; ++k) {
                    if (((word >> (8 * k)) & 0xFF) != 0) expected |= uint64_t{0x80} << (8 * k);
                }
                ASSERT_EQ(on_bytes(word), expected) << value << " at " << at;
            }
        }
    }
}

TEST(FindRuns, AgreeWithThePlainWalkFromEveryStart) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        const std::vector<uint8_t> v =
            random_runs(random, 1 + random() % 200, 1 + static_cast<int>(random() % 30), true);
        for (std::size_t from = 0; from <= v.size(); ++from) {
            const std::size_t end = from + random() % (v.size() - from + 1);
            ASSERT_EQ(find_on(v.data(), from, end), find_on_reference(v, from, end));
            ASSERT_EQ(find_off(v.data(), from, end), find_off_reference(v, from, end));
        }
    }
}

TEST(FindRuns, EmptyAndFullRanges) {
    const std::vector<uint8_t> zeros(100, 0);
    const std::vector<uint8_t> ones(100, 0x01);
    EXPECT_EQ(find_on(zeros.data(), 0, 100), 100u);
    EXPECT_EQ(find_off(ones.data(), 3, 100), 100u);
    EXPECT_EQ(find_on(ones.data(), 37, 100), 37u);
    EXPECT_EQ(find_off(zeros.data(), 37, 100), 37u);
    EXPECT_EQ(find_on(ones.data(), 50, 50), 50u);
}

TEST(OnMask, AgreesWithThePlainWalkOnRandomSamples) {
    std::mt19937 random(12);
    for (int round = 0; round < 2000; ++round) {
        const std::vector<uint8_t> v =
            random_runs(random, 64 + 15, 1 + static_cast<int>(random() % 12), round % 2 == 0);
        const std::size_t at = random() % 16; // any alignment
        const uint64_t expected = mask_reference(v.data() + at, 64);
        ASSERT_EQ(on_mask_64(v.data() + at), expected) << round;
        ASSERT_EQ(on_mask_64_portable(v.data() + at), expected) << round;
        const std::size_t count = random() % 65;
        ASSERT_EQ(on_mask(v.data() + at, count), mask_reference(v.data() + at, count)) << round;
    }
}

TEST(SetOn, SetsTheMarkedSamplesAndKeepsEveryOtherByte) {
    std::mt19937 random(13);
    for (int round = 0; round < 2000; ++round) {
        const std::vector<uint8_t> before = random_runs(random, 64 + 15, 9, true);
        const std::size_t at = random() % 16;
        const uint64_t mask = random_mask(random) & ~mask_reference(before.data() + at, 64);
        std::vector<uint8_t> expected = before;
        for (int k = 0; k < 64; ++k) {
            if ((mask >> k) & 1) expected[at + static_cast<std::size_t>(k)] = 0xF0;
        }
        std::vector<uint8_t> fast = before;
        set_on_64(fast.data() + at, mask);
        ASSERT_EQ(fast, expected) << round;
        std::vector<uint8_t> portable = before;
        set_on_64_portable(portable.data() + at, mask);
        ASSERT_EQ(portable, expected) << round;
    }
}

TEST(BitHelpers, LowestHighestAndRange) {
    for (int k = 0; k < 64; ++k) {
        const uint64_t bit = uint64_t{1} << k;
        EXPECT_EQ(lowest_bit(bit), k);
        EXPECT_EQ(highest_bit(bit), k);
        EXPECT_EQ(lowest_bit(~uint64_t{0} << k), k);
        EXPECT_EQ(highest_bit(~uint64_t{0} >> k), 63 - k);
    }
    EXPECT_EQ(bit_range(0, 0), 0u);
    EXPECT_EQ(bit_range(3, 3), 0u);
    EXPECT_EQ(bit_range(1, 4), 0xEu);
    EXPECT_EQ(bit_range(0, 63), ~uint64_t{0} >> 1);
}

TEST(HasRunOf, AgreesWithThePlainCountForEveryLength) {
    std::mt19937 random(14);
    for (int round = 0; round < 3000; ++round) {
        const uint64_t mask = random_mask(random);
        for (int64_t length = -1; length <= 66; ++length) {
            ASSERT_EQ(has_run_of(mask, length), has_run_reference(mask, length))
                << std::hex << mask << std::dec << " length " << length;
        }
    }
}
