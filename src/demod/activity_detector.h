// Where anything happens at all: a cheap look at every sample, so that the demodulator's real
// work is spent only where there is signal.
//
// The working samples are cut into chunks of a fixed size (about a pulse period at speed 1).
// A chunk's energy is the sum of squared differences between samples a short lag apart: a
// difference ignores DC, drift and mains hum, and answers to the pulses at any speed. The
// floor follows the energy of the quiet chunks: it falls quickly to a quieter chunk and rises
// slowly, so the pauses between bits hold it down and a lasting noise lifts it in a fraction
// of a second. A chunk is loud well above the floor.
#pragma once

#include <cstdint>

#include "demod/sample_history.h"

struct ActivityDetector {
    int chunk = 16;            // working samples per chunk
    int lag = 1;               // the difference's lag
    float floor = 0.f;         // energy per sample of the quiet chunks; 0 before the first
    float floor_min = 0.f;     // below this everything is silence (a fraction of a 16-bit step)
    float rise = 1.f;          // factor by which the floor may rise per chunk
    bool quiet_before = true;  // the previous chunk was not loud
    float quiet_mean = 0.f;    // energy per sample of the chunks that are not loud, on average
};

/// A detector for `working_rate` working samples per second.
ActivityDetector make_activity_detector(int working_rate);

/// The difference energy of the chunk starting at `from` (a multiple of the chunk size, at
/// least `lag` samples after the start of what `history` still holds).
float chunk_energy(const SampleHistory& history, int64_t from, int chunk, int lag);

/// Takes the next chunk's energy; true when the chunk is loud.
bool chunk_is_loud(ActivityDetector& detector, float energy);

/// The noise's variance per working sample that the quiet chunks imply (white noise doubles
/// its variance in a difference).
inline float quiet_noise_variance(const ActivityDetector& detector) {
    return 0.5f * detector.quiet_mean;
}
