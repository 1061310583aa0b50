#include "signal/normaliser.h"

#include <cstring>

#include "signal/runs.h"

namespace {

// One sample against the band of off values [base, base + width): one unsigned compare.
inline uint8_t on_or_off(uint8_t v, uint8_t base, uint8_t width) {
    return static_cast<uint8_t>(v - base) < width ? sample_off : sample_on;
}

} // namespace

OffBand off_band(int32_t threshold) {
    OffBand band;
    for (int v = 0; v < 256; ++v) {
        if (sample_level(static_cast<uint8_t>(v)) < threshold) {
            if (band.count == 0) band.first = v;
            ++band.count;
        }
    }
    return band;
}

void threshold_band(uint8_t* block, std::size_t size, uint8_t base, uint8_t width) {
    // Fixed-length strips with no branch inside: the compiler turns each into a few vector
    // instructions (16 or 32 samples at a time) at the usual optimisation level.
    constexpr std::size_t strip = 64;
    std::size_t i = 0;
    for (; i + strip <= size; i += strip) {
        uint8_t* p = block + i;
        for (std::size_t j = 0; j < strip; ++j) p[j] = on_or_off(p[j], base, width);
    }
    for (; i < size; ++i) block[i] = on_or_off(block[i], base, width);
}

void threshold_block(uint8_t* block, std::size_t size, int32_t threshold) {
    if (size == 0) return; // an empty block may come without a buffer at all
    // The off samples form one band around the middle of the scale.
    const OffBand band = off_band(threshold);
    if (band.count == 256) {
        std::memset(block, sample_off, size);
        return;
    }
    threshold_band(block, size, static_cast<uint8_t>(band.first), static_cast<uint8_t>(band.count));
}

int32_t measure_longest_pause(const uint8_t* block, uint32_t block_length) {
    const Window window = measurement_window(block_length);
    int32_t longest_pause = 0;
    int32_t pause = 0;
    for (uint32_t i = window.first; i < window.end; ++i) {
        if (block[i] == 0) {
            ++pause;
        } else {
            if (pause > longest_pause) longest_pause = pause;
            pause = 0;
        }
    }
    return longest_pause;
}

void fill_gaps_from(uint8_t* block, std::size_t from, std::size_t end, GapWalk& walk) {
    // 64 samples at a time as a mask of on samples. A group whose runs inside are all short
    // is filled by mask operations alone (the common case inside a burst); any other group's
    // changes (on after off, off after on) are visited lowest bit first, a few register
    // operations each. Filled samples are collected in a mask and written back together.
    const int64_t q = walk.q;
    uint64_t last_on = walk.in_gap ? 0 : 1; // the sample before `from`
    std::size_t gap_start = walk.gap_start;
    for (std::size_t base = from; base < end; base += 64) {
        const std::size_t count = end - base < 64 ? end - base : 64;
        const uint64_t on = on_mask(block + base, count);
        uint64_t filled = 0;
        bool done = false;
        if (on != 0 && count == 64 && static_cast<int64_t>(base) > q) {
            // Every on sample here is past q, so only the lengths of the runs decide.
            filled = fill_inside_group(on, q, done);
        }
        if (done) {
            const int lo = lowest_bit(on);
            const int hi = highest_bit(on);
            if (lo > 0 && last_on == 1) gap_start = base;
            if (lo > 0 || last_on == 0) {
                // The first on sample closes the run [gap_start, base + lo).
                const auto r = static_cast<int64_t>(base + lo - gap_start);
                if (r < q) {
                    if (gap_start < base) {
                        std::memset(block + gap_start, sample_on, base - gap_start);
                        filled |= bit_range(0, lo);
                    } else {
                        filled |= bit_range(static_cast<int>(gap_start - base), lo);
                    }
                }
            }
            last_on = hi == 63 ? 1 : 0;
            if (hi < 63) gap_start = base + static_cast<std::size_t>(hi) + 1;
        } else {
            uint64_t changes = change_mask(on, count, last_on);
            while (changes != 0) {
                const int pos = lowest_bit(changes);
                changes &= changes - 1;
                const std::size_t i = base + static_cast<std::size_t>(pos);
                if (((on >> pos) & 1) == 0) {
                    gap_start = i;
                    continue;
                }
                // An on sample that closes the off run [gap_start, i).
                const auto r = static_cast<int64_t>(i - gap_start);
                if (r >= q || static_cast<int64_t>(i) <= q) continue;
                if (gap_start < base) {
                    std::memset(block + gap_start, sample_on, base - gap_start);
                    filled |= bit_range(0, pos);
                } else {
                    filled |= bit_range(static_cast<int>(gap_start - base), pos);
                }
            }
        }
        if (filled == 0) continue;
        if (count == 64) {
            set_on_64(block + base, filled);
        } else {
            for (std::size_t k = 0; k < count; ++k) {
                if ((filled >> k) & 1) block[base + k] = sample_on;
            }
        }
    }
    walk.in_gap = last_on == 0;
    walk.gap_start = gap_start;
}

void fill_gaps(uint8_t* block, std::size_t size, int32_t longest_pause) {
    // An off run at the very start is never filled: for it r equals the index of the on
    // sample that closes it, so r < q and i > q cannot both hold.
    GapWalk walk;
    walk.q = longest_pause / 4;
    fill_gaps_from(block, 0, size, walk);
}

RangeNormaliser make_range_normaliser(int32_t threshold, int32_t longest_pause) {
    RangeNormaliser normaliser;
    normaliser.band = off_band(threshold);
    normaliser.walk.q = longest_pause / 4;
    return normaliser;
}

void normalise_range(RangeNormaliser& normaliser, uint8_t* block, std::size_t from,
                     std::size_t end) {
    // Each strip is filled while its thresholded samples are still in the nearest cache.
    constexpr std::size_t strip = 16384;
    const OffBand& band = normaliser.band;
    for (; from < end; from += strip) {
        const std::size_t n = end - from < strip ? end - from : strip;
        if (band.count == 256) {
            std::memset(block + from, sample_off, n);
        } else {
            threshold_band(block + from, n, static_cast<uint8_t>(band.first),
                           static_cast<uint8_t>(band.count));
        }
        fill_gaps_from(block, from, from + n, normaliser.walk);
    }
}

void threshold_and_fill(uint8_t* block, std::size_t size, int32_t threshold,
                        int32_t longest_pause) {
    RangeNormaliser normaliser = make_range_normaliser(threshold, longest_pause);
    normalise_range(normaliser, block, 0, size);
}

BlockMeasurement normalise_block(uint8_t* block, uint32_t block_length,
                                 const SignalOptions& options, PulseCalibration& calibration) {
    BlockMeasurement measured;
    measured.block_length = block_length;
    if (calibration.longest_pause == 0) {
        threshold_block(block, block_length, options.threshold);
        calibration.longest_pause = measure_longest_pause(block, block_length);
        measured.pause_measured = true;
        if (calibration.longest_pause != 0)
            fill_gaps(block, block_length, calibration.longest_pause);
    } else {
        // Measured on an earlier block: threshold and fill in one pass.
        threshold_and_fill(block, block_length, options.threshold, calibration.longest_pause);
    }
    if (calibration.longest_pause != 0 &&
        (calibration.zero_length == 0 || calibration.one_length == 0)) {
        calibrate_bit_lengths(block, block_length, calibration);
        measured.calibrated = true;
    }
    measured.calibration = calibration;
    return measured;
}
