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

/// Walks `size` war-file bytes, appending one character per classified bit to `bits` and the
/// index of every unknown bit to `unknown`.
void classify_block(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                    std::vector<int64_t>& unknown);

/// The walk of `classify_block` for nplat > 0, from change to change over 64-sample masks;
/// the same bits, unknown indexes and state as a walk sample by sample.
void classify_runs(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                   std::vector<int64_t>& unknown);
