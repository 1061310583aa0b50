// Pulse responses along a grid of pulse centres, from window edges the neighbours share.
//
// A pulse centred at c weighs the half period before c against the half period after it. On
// a grid c_k = c0 + k * period the windows of neighbouring points meet, so the responses of
// n points need the running sums at 2n + 1 edges (c0 + j * half) instead of 3n:
//
//     edge:   2k-1        2k         2k+1       2k+2       2k+3
//              |   high    |   low    |   high   |   low    |
//              <-- point k -->        <-- point k+1 -->
//
// The slopes either side of each centre (the responses a quarter period early and late, which
// say how far the centre is off) use the edges shifted by a quarter period the same way.
#pragma once

#include "demod/sample_history.h"

/// Responses (straight shares) of pulses centred at `c0 + k * period`, k = from..to, times
/// `sign`, into out[k].
void grid_responses(const SampleHistory& history, double c0, double period, int from, int to,
                    float sign, float* out);

/// The level of silence around a burst: `at` plus `slope` per sample from position `from`
/// (DC offset and mains hum move it).
struct Baseline {
    double from = 0.0;
    float at = 0.f;
    float slope = 0.f;
    float level(int64_t sample) const {
        return at + slope * static_cast<float>(static_cast<double>(sample) + 0.5 - from);
    }
};

/// Responses of the same grid with each edge's cut sample counted on the side its value
/// belongs to, into value[k], and the samples weighed into length[k]. Recordings of square
/// pulses put every edge on a sample boundary; a sample within 0.4 of a sample of an edge is
/// counted, by its value above `baseline`, as the high half when positive (before the high
/// half), whole (at the centre, by its magnitude), or as the low half when negative (after it).
void grid_resolved(const SampleHistory& history, double c0, double period, int from, int to,
                   float sign, const Baseline& baseline, float* value, float* length);
