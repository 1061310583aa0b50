// The fast paths end to end: a recording several blocks long, rough as a real tape, through
// the built converter; the war file and the bit file must be exactly what plain walks, sample
// by sample, make of it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "signal/normaliser.h"
#include "support/reference_walks.h"
#include "support/test_support.h"
#include "tape/tape_signal.h"

namespace {

// Every half pulse starts near the middle and every sample carries noise below threshold 30.
std::vector<uint8_t> rough_recording(std::size_t at_least) {
    std::mt19937 random(41);
    TapeSignal signal;
    signal.rate = 44100;
    signal.lead_ms = 100;
    std::vector<uint8_t> program(at_least / 550 + 1);
    for (uint8_t& b : program) b = static_cast<uint8_t>(random());
    const std::vector<uint8_t> clean = tape_recording(signal, {0x38, 0x3A, 0xB5}, program);
    std::vector<uint8_t> out(clean.size());
    int previous = 128;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        int v = clean[i];
        if (v != previous && v != 128) v = 128 + (v - 128) / 8;
        previous = clean[i];
        out[i] = static_cast<uint8_t>(v + static_cast<int>(random() % 13) - 6);
    }
    return out;
}

// The war file the plain way: threshold, nfill from the first block, fill block by block.
std::vector<uint8_t> war_reference(const std::vector<uint8_t>& raw, PulseCalibration& cal) {
    std::vector<uint8_t> war;
    for (std::size_t from = 0; from < raw.size(); from += block_samples) {
        const std::size_t n = std::min<std::size_t>(block_samples, raw.size() - from);
        std::vector<uint8_t> block =
            threshold_reference({raw.begin() + from, raw.begin() + from + n}, 30);
        if (cal.longest_pause == 0)
            cal.longest_pause = measure_longest_pause(block.data(), static_cast<uint32_t>(n));
        fill_gaps_reference(block, cal.longest_pause);
        if (cal.zero_length == 0 || cal.one_length == 0) {
            calibrate_bit_lengths(block.data(), static_cast<uint32_t>(n), cal);
        }
        war.insert(war.end(), block.begin(), block.end());
    }
    war.push_back(war_end_marker);
    return war;
}

} // namespace

TEST(SpeedIdentity, ThreeBlockRecordingGivesThePlainWarAndBitFiles) {
    ScratchDir dir;
    const std::vector<uint8_t> raw = rough_recording(5 * block_samples / 2);
    ASSERT_GT(raw.size(), 2 * block_samples);
    write_file(dir / "long.raw", raw);

    const RunResult run = run_zx81tape({"long.raw", "-r"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    PulseCalibration cal;
    const std::vector<uint8_t> war = war_reference(raw, cal);
    ASSERT_GT(cal.zero_length, 0);
    EXPECT_TRUE(read_file(dir / "long.war") == war);
    std::vector<int64_t> unknown;
    const std::string bits = bit_file_text(classify_reference(war, cal, 3, unknown));
    EXPECT_EQ(bits.find('?'), std::string::npos);
    EXPECT_TRUE(read_text(dir / "long.bit") == bits);
    EXPECT_TRUE(exists(dir / "sup.p"));
}
