// From raw samples to on/off samples.
//
// A raw sample is unsigned 8-bit, silence near 128. Its level is its distance from the middle,
// doubled: 2v - 256 above the middle, 254 - 2v below it (0 and 255 give 254, 127 and 128 give
// 0). A sample whose level reaches the threshold is on (0xF0), any other is off (0x00):
//
//   raw   128 200  60 190  70 128 128 128 128 128 200  55 ...
//   war   00  F0  F0  F0  F0  00  00  00  00  00  F0  F0 ...
//
// The wave of a burst crosses the middle, so a burst still holds short off stretches after the
// threshold; the gap fill closes every off stretch shorter than a quarter of the longest pause
// measured between two bits (nfill), so that each bit becomes one burst and one pause.
#pragma once

#include <cstddef>
#include <cstdint>

#include "signal/calibration.h"
#include "signal/runs.h"

constexpr uint8_t sample_on = 0xF0;
constexpr uint8_t sample_off = 0x00;
constexpr uint8_t war_end_marker = 0xFF;
constexpr uint32_t block_samples = 2000000;

/// What the war step is told: the signal layer's own settings.
struct SignalOptions {
    int32_t threshold = 30; // the smallest level that counts as signal (the converter's n=)
};

/// What the normalisation of one block measured, for the caller to report as it goes.
struct BlockMeasurement {
    uint32_t block_length = 0;    // samples in the block
    bool pause_measured = false;  // the longest pause was measured here (it may still be 0)
    bool calibrated = false;      // a calibration pass ran on this block
    PulseCalibration calibration; // the calibration after the block
};

/// The level of a raw sample: 0 at the middle of the scale, 254 at either end.
inline int32_t sample_level(uint8_t v) { return v >= 128 ? 2 * v - 256 : 254 - 2 * v; }

/// The raw values that are off for a threshold: the band [first, first + count) around the
/// middle of the scale (count 0: every sample is on; count 256: every sample is off).
struct OffBand {
    int first = 0;
    int count = 0;
};
OffBand off_band(int32_t threshold);

/// Replaces every sample by 0x00 when `sample - base`, as an unsigned byte, is below `width`,
/// otherwise by 0xF0; the vectorised core of `threshold_block` (width 0 turns all on).
void threshold_band(uint8_t* block, std::size_t size, uint8_t base, uint8_t width);

/// Replaces every sample by 0xF0 when its level is at least `threshold`, otherwise by 0x00.
/// An empty block (`size` 0) is left alone; `block` may then be null.
void threshold_block(uint8_t* block, std::size_t size, int32_t threshold);

/// The longest off run in the measurement window that an on sample inside the window closes
/// (counted from the window's start when it began before it); 0 when there is none.
int32_t measure_longest_pause(const uint8_t* block, uint32_t block_length);

/// Turns to on every off run that an on sample at index i closes, when the run is shorter than
/// `longest_pause` / 4 and i is greater than `longest_pause` / 4. Runs at the block's start and
/// end stay.
void fill_gaps(uint8_t* block, std::size_t size, int32_t longest_pause);

/// For a group of 64 samples with at least one on (`on`, bit k for sample k) and every sample
/// past q: the off samples between its first and its last on sample, when every off run there
/// is shorter than `q`, with `done` set; 0 with `done` clear when some run is not. Then all of
/// them are filled by three mask operations; otherwise the group is walked change by change.
inline uint64_t fill_inside_group(uint64_t on, int64_t q, bool& done) {
    const uint64_t inside = ~on & bit_range(lowest_bit(on), highest_bit(on));
    done = inside == 0 || !has_run_of(inside, q);
    return done ? inside : 0;
}

/// Where the gap fill stands between two calls of `fill_gaps_from`.
struct GapWalk {
    int64_t q = 0;              // runs shorter than this are filled: longest_pause / 4
    bool in_gap = true;         // the last sample seen was off (a block starts in a gap)
    std::size_t gap_start = 0;  // where the current off run began
};

/// The gap fill over [from, end) of `block`, carrying on from where `walk` stands; runs that
/// started before `from` are filled back to their start. Calling it on consecutive ranges
/// gives the same block as one `fill_gaps` over their union.
void fill_gaps_from(uint8_t* block, std::size_t from, std::size_t end, GapWalk& walk);

/// `threshold_block` then `fill_gaps`, done strip by strip in one pass over the block.
void threshold_and_fill(uint8_t* block, std::size_t size, int32_t threshold, int32_t longest_pause);

/// `threshold_and_fill` taken a range at a time, so that a block can be normalised while it is
/// still being read: calling `normalise_range` on consecutive ranges from the block's start
/// gives the block `threshold_and_fill` gives. The fill may change samples before `from`, back
/// to the start of the off run that reaches into the range, never after `end`.
struct RangeNormaliser {
    OffBand band;
    GapWalk walk;
};
RangeNormaliser make_range_normaliser(int32_t threshold, int32_t longest_pause);
void normalise_range(RangeNormaliser& normaliser, uint8_t* block, std::size_t from,
                     std::size_t end);

/// Whether every later block is normalised by `threshold_and_fill` alone (the longest pause
/// and both bit lengths are known), and what `normalise_block` then says of a block.
inline bool calibration_complete(const PulseCalibration& c) {
    return c.longest_pause != 0 && c.zero_length != 0 && c.one_length != 0;
}

/// Thresholds and gap-fills one block in place, measuring the longest pause while it is 0 and
/// calibrating the bit lengths while one of them is still 0; says which it did.
BlockMeasurement normalise_block(uint8_t* block, uint32_t block_length,
                                 const SignalOptions& options, PulseCalibration& calibration);
