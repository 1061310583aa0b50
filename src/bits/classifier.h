// From on/off samples to bits.
//
// A bit starts at an on sample that follows at least `nplat` off samples. At each bit start
// the bit that has just ended is classified by e, the length of its burst plus the standard
// pause `nfill`:
//
//     bit start                        next bit start
//     v                                v
//     ||||||||||||||||||______________||||...
//     |<---- m - r ---->|<---- r ---->|
//
// e = m - r + nfill. The 0 range is n0 - d .. n0 + d and the 1 range n1 - d .. n1 + d, both
// ends included, with d = (n1 - n0) / k; the 0 range is tested first. A length in neither
// range is an unknown bit, '?'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "signal/calibration.h"
#include "signal/runs.h"

/// The two accepted length ranges, both ends included.
struct BitRanges {
    int64_t zero_low, zero_high;
    int64_t one_low, one_high;
};

/// The ranges for the calibrated lengths and a tolerance divisor that is not 0.
BitRanges tolerance_ranges(int32_t n0, int32_t n1, int32_t tolerance_divisor);

/// '0', '1' or '?' for a bit of length e.
inline char classify_length(int64_t e, const BitRanges& ranges) {
    if (e >= ranges.zero_low && e <= ranges.zero_high) return '0';
    if (e >= ranges.one_low && e <= ranges.one_high) return '1';
    return '?';
}

/// The walk over the war file; it carries over from one block to the next.
struct BitClassifier {
    int64_t nfill = 0;     // the standard pause, added to every burst
    int64_t nplat = 0;     // the shortest pause before a bit start
    BitRanges ranges{};
    int64_t r = 0;         // length of the current off run
    int64_t m = 0;         // samples since the last bit start (or the start of the file)
    int64_t nsample = 0;   // index of the next sample in the war file
    bool started = false;  // whether any on sample has been seen
};

/// A classifier at the start of a war file.
BitClassifier make_classifier(const PulseCalibration& calibration, int32_t tolerance_divisor);

/// One classified bit, with sample indices in the war file:
///
///     start                  burst end        end (the next bit start, nsample)
///     v                      v                v
///     ||||||||||||||||||||||||________________||||...
///     |<------- burst ------>|<------ r ----->|
struct WalkedBit {
    int64_t start = 0;  // its bit start (0 for a first bit that had no pause before it)
    int64_t end = 0;    // the next bit start, where it was classified
    int64_t burst = 0;  // samples from its start to the pause after it (m - r)
    int64_t length = 0; // e = burst + nfill, the length that was classified
    char bit = '?';     // '0', '1' or '?'
};

/// The walk over `size` war-file bytes: calls `on_bit(const WalkedBit&)` for every bit that
/// ends in them, in order, and leaves the state for the next bytes. The converter keeps only
/// each bit's character (`classify_block`); a picture of the decoding keeps the rest. Inlined
/// into each caller, so that what a caller does not use costs nothing.
template <typename OnBit>
void walk_bits(BitClassifier& c, const uint8_t* data, std::size_t size, OnBit&& on_bit);

/// Walks `size` war-file bytes, appending one character per classified bit to `bits` and the
/// index of every unknown bit to `unknown`.
void classify_block(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                    std::vector<int64_t>& unknown);

namespace classifier_detail {

// The bit that ends at the bit start `end`, which began at `start` and whose pause lasted
// `pause` samples.
inline WalkedBit bit_ending(const BitClassifier& c, int64_t start, int64_t end, int64_t pause) {
    WalkedBit b;
    b.start = start;
    b.end = end;
    b.burst = end - start - pause;
    b.length = b.burst + c.nfill;
    b.bit = classify_length(b.length, c.ranges);
    return b;
}

// nplat <= 0: every on sample is a bit start, so the walk goes sample by sample.
template <typename OnBit>
void walk_every_sample(BitClassifier& c, const uint8_t* data, std::size_t size, OnBit& on_bit) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            ++c.r;
        } else {
            if (c.r >= c.nplat) {
                if (c.started) on_bit(bit_ending(c, c.nsample - c.m, c.nsample, c.r));
                c.m = 0;
            }
            c.started = true;
            c.r = 0;
        }
        ++c.m;
        ++c.nsample;
    }
}

// nplat > 0: only an on sample after an off one can be a bit start, so the walk visits the
// changes of each group of 64 samples, lowest bit first, and keeps positions instead of
// counters: r and m follow from where the pause and the bit began.
template <typename OnBit>
void walk_changes(BitClassifier& c, const uint8_t* data, std::size_t size, OnBit& on_bit) {
    const int64_t first = c.nsample;
    uint64_t last_on = c.started && c.r == 0 ? 1 : 0;
    int64_t gap_start = first - c.r; // where the current off run began
    int64_t bit_start = first - c.m; // where the current bit began
    bool started = c.started;
    for (std::size_t base = 0; base < size; base += 64) {
        const std::size_t count = size - base < 64 ? size - base : 64;
        const uint64_t on = on_mask(data + base, count);
        uint64_t changes = change_mask(on, count, last_on);
        while (changes != 0) {
            const int pos = lowest_bit(changes);
            changes &= changes - 1;
            const int64_t i = first + static_cast<int64_t>(base) + pos;
            if (((on >> pos) & 1) == 0) {
                gap_start = i;
                continue;
            }
            const int64_t r = i - gap_start;
            if (r >= c.nplat) {
                if (started) on_bit(bit_ending(c, bit_start, i, r));
                bit_start = i;
            }
            started = true;
        }
    }
    const int64_t end = first + static_cast<int64_t>(size);
    c.r = last_on != 0 ? 0 : end - gap_start;
    c.m = end - bit_start;
    c.nsample = end;
    c.started = started;
}

} // namespace classifier_detail

template <typename OnBit>
void walk_bits(BitClassifier& c, const uint8_t* data, std::size_t size, OnBit&& on_bit) {
    if (c.nplat <= 0) {
        classifier_detail::walk_every_sample(c, data, size, on_bit);
    } else {
        classifier_detail::walk_changes(c, data, size, on_bit);
    }
}
