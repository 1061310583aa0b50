// From on/off samples to bits.
//
// A bit starts at an on sample that follows at least the shortest pause (nplat) of off
// samples. At each bit start the bit that has just ended is classified by its length, the
// samples of its burst plus the standard pause, the longest pause measured (nfill):
//
//     bit start                               next bit start
//     v                                       v
//     ||||||||||||||||||_____________________||||...
//     |<--- burst ----->|<------ pause ----->|
//     |<----------- since_bit_start -------->|
//
// length = burst + longest_pause, burst = since_bit_start - pause. With the calibrated lengths
// n0 and n1 (zero_length, one_length) and d = (n1 - n0) / k, the 0 range is n0 - d .. n0 + d
// and the 1 range n1 - d .. n1 + d, both ends included; the 0 range is tested first. A length
// in neither range is an unknown bit, '?'.
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
BitRanges tolerance_ranges(int32_t zero_length, int32_t one_length, int32_t tolerance_divisor);

/// '0', '1' or '?' for a bit of `length` samples.
inline char classify_length(int64_t length, const BitRanges& ranges) {
    if (length >= ranges.zero_low && length <= ranges.zero_high) return '0';
    if (length >= ranges.one_low && length <= ranges.one_high) return '1';
    return '?';
}

/// The walk over the war file; it carries over from one block to the next.
struct BitClassifier {
    int64_t longest_pause = 0;  // the standard pause, added to every burst
    int64_t shortest_pause = 0; // the shortest pause before a bit start
    BitRanges ranges{};
    int64_t pause = 0;           // length of the current off run
    int64_t since_bit_start = 0; // samples since the last bit start (or the start of the file)
    int64_t position = 0;        // index of the next sample in the war file (nsample)
    bool started = false;        // whether any on sample has been seen
};

/// A classifier at the start of a war file.
BitClassifier make_classifier(const PulseCalibration& calibration, int32_t tolerance_divisor);

/// One classified bit, with sample indices in the war file:
///
///     start                  burst end        end (the next bit start, nsample)
///     v                      v                v
///     ||||||||||||||||||||||||________________||||...
///     |<------- burst ------>|<---- pause --->|
struct WalkedBit {
    int64_t start = 0;  // its bit start (0 for a first bit that had no pause before it)
    int64_t end = 0;    // the next bit start, where it was classified
    int64_t burst = 0;  // samples from its start to the pause after it
    int64_t length = 0; // burst + longest_pause, the length that was classified
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
    b.length = b.burst + c.longest_pause;
    b.bit = classify_length(b.length, c.ranges);
    return b;
}

// No shortest pause: every on sample is a bit start, so the walk goes sample by sample.
template <typename OnBit>
void walk_every_sample(BitClassifier& c, const uint8_t* data, std::size_t size, OnBit& on_bit) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            ++c.pause;
        } else {
            if (c.pause >= c.shortest_pause) {
                if (c.started)
                    on_bit(bit_ending(c, c.position - c.since_bit_start, c.position, c.pause));
                c.since_bit_start = 0;
            }
            c.started = true;
            c.pause = 0;
        }
        ++c.since_bit_start;
        ++c.position;
    }
}

// A shortest pause of a sample or more: only an on sample after an off one can be a bit start,
// so the walk visits the changes of each group of 64 samples, lowest bit first, and keeps
// positions instead of counters: the pause and the samples since the bit start follow from
// where the pause and the bit began.
template <typename OnBit>
void walk_changes(BitClassifier& c, const uint8_t* data, std::size_t size, OnBit& on_bit) {
    const int64_t first = c.position;
    uint64_t last_on = c.started && c.pause == 0 ? 1 : 0;
    int64_t gap_start = first - c.pause;           // where the current off run began
    int64_t bit_start = first - c.since_bit_start; // where the current bit began
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
            const int64_t pause = i - gap_start;
            if (pause >= c.shortest_pause) {
                if (started) on_bit(bit_ending(c, bit_start, i, pause));
                bit_start = i;
            }
            started = true;
        }
    }
    const int64_t end = first + static_cast<int64_t>(size);
    c.pause = last_on != 0 ? 0 : end - gap_start;
    c.since_bit_start = end - bit_start;
    c.position = end;
    c.started = started;
}

} // namespace classifier_detail

template <typename OnBit>
void walk_bits(BitClassifier& c, const uint8_t* data, std::size_t size, OnBit&& on_bit) {
    if (c.shortest_pause <= 0) {
        classifier_detail::walk_every_sample(c, data, size, on_bit);
    } else {
        classifier_detail::walk_changes(c, data, size, on_bit);
    }
}
