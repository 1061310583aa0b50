// The bit lengths of one recording, measured from the recording itself.
//
// After the gap fill every bit on the tape is one unbroken burst followed by a pause:
//
//     ____||||||||||||________||||||||||||||||||||||||________||||...
//         ^ bit start  pause  ^ bit start              pause  ^
//         |<---- zero_length ----->|<----------- one_length ------->|
//
// A bit start is an on sample after at least the shortest pause of off samples. The distance
// from one bit start to the next is the length of a bit: `zero_length` for a 0 bit (4 pulses
// and a pause), `one_length` for a 1 bit (9 pulses and a pause). Both come from a histogram of
// those distances over the third quarter of a block: the first peak from below and the first
// peak from above. The converter prints them as n0 and n1, the longest pause as nfill and the
// shortest as nplat.
#pragma once

#include <array>
#include <cstdint>

/// The measured lengths, in samples; 0 means not measured yet.
struct PulseCalibration {
    int32_t longest_pause = 0; // the longest pause between two bits in the measurement window
    int32_t zero_length = 0;   // bit start to next bit start for a 0 bit
    int32_t one_length = 0;    // bit start to next bit start for a 1 bit
};

constexpr int period_histogram_size = 512;
using PeriodHistogram = std::array<int32_t, period_histogram_size>;

/// The shortest pause that separates two bits: two thirds of the longest, rounded towards zero.
inline int32_t shortest_pause_of(int32_t longest_pause) {
    return static_cast<int32_t>((int64_t{2} * longest_pause) / 3);
}

/// The measurement window of a block of `block_length` samples: its third quarter,
/// [first, end).
struct Window {
    uint32_t first;
    uint32_t end;
};
inline Window measurement_window(uint32_t block_length) {
    const uint32_t s = block_length / 2;
    return {s, s + s / 2};
}

/// Counts the distances between successive bit starts in the measurement window of `block`
/// (distances of 512 samples or more are not counted).
PeriodHistogram period_histogram(const uint8_t* block, uint32_t block_length,
                                 int32_t shortest_pause);

/// The first peak of the histogram from below, starting from `start`: the search stops at the
/// first count that is below a quarter of the largest count met so far.
int32_t lowest_peak(const PeriodHistogram& histogram, int32_t start);

/// The same search from the top of the histogram down.
int32_t highest_peak(const PeriodHistogram& histogram, int32_t start);

/// One calibration pass over a gap-filled block: sets `zero_length` and `one_length` (each
/// search starts from the value the previous pass left).
void calibrate_bit_lengths(const uint8_t* block, uint32_t block_length,
                           PulseCalibration& calibration);
