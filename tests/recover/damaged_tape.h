// The damage generator of the honesty tests: a recording of known bytes with the damage a
// tape suffers, and the recovery run over it in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "recover/recovered_program.h"

/// A recording with damage of known kinds, rendered with sharp pulses (the damage generator of
/// the honesty tests): floats at full scale 1.0, the pulses at 0.8.
struct DamagedTape {
    int rate = 22050;
    std::vector<float> samples;

    /// Silence.
    void silence(double seconds);
    /// The bursts of `bytes`; `pulses` maps a bit's index (from this call's first bit) to the
    /// number of pulses it gets instead of 4 or 9.
    void bytes(const std::vector<uint8_t>& bytes,
               const std::vector<std::pair<std::size_t, int>>& pulses = {});
    /// Leaves only `level` of the signal from `start` for `length` seconds.
    void dropout(double start, double length, double level);
    /// A click: `width` samples of `height` at `at` seconds.
    void click(double at, int width, float height);
    /// White noise of RMS `rms` over everything so far.
    void noise(double rms, uint64_t seed);
};

/// Runs the demodulator, the rhythm and the finder over one channel's samples.
std::vector<RecoveredProgram> recover_samples(const std::vector<float>& samples, int rate);
