// One burst of pulses measured on a grid of pulse centres.
//
// A pulse is half a period high and half a period low (upside down in an inverted recording);
// its centre is the edge in its middle. Within a burst the centres lie on a grid:
//
//        c0        c1        c2                     centre k = c0 + k * period
//     _|~~~~|____|~~~~|____|~~~~|____|_________
//      <- period ->
//
// The fit places the grid from a hint (a centre found by the lattice that spotted the burst),
// refines its phase and period from the slopes on both sides of every inner centre, and then
// measures each grid point: the samples of its high half minus those of its low half, the
// sample cut by an edge counted on the side its value belongs to (recordings of square pulses
// put every edge on a sample boundary, and a guess of where that boundary lies is what would
// otherwise blur the measure). Divided by the samples weighed, that is the pulse's amplitude
// at that point; a pulse is there when the amplitude is nearer the burst's own level than 0.
// Each point's score says how far, in standard deviations of noise, it lies on either side
// of half the level. The burst is the first stretch of pulses in the window (up to two points
// in a row without one), cut to the run of points with the best total score.
#pragma once

#include <cstdint>

#include "demod/sample_history.h"

/// The most grid points one fit looks at.
constexpr int max_grid_points = 40;

/// What a fit starts from.
struct FitRequest {
    double from = 0.0;    // the first pulse centre the burst may have (working samples)
    double to = 0.0;      // the last (the burst is the first run of pulses in between)
    double onset = 0.0;   // where the burst seems to begin (0: anywhere)
    double period = 0.0;  // the pulse period expected
    double period_spread = 0.015; // how far off it may be, as a share
    double centre = 0.0;  // a pulse centre (or the same place modulo the period)
    int polarity = 1;     // 1: pulses go high first; -1: low first
    float noise = 0.f;    // the noise's standard deviation per working sample
    float level = 0.f;    // the pulses' amplitude expected, 0 when unknown
    bool noise_known = false; // `noise` measured in the pauses of enough bursts
};

struct BurstFit {
    bool found = false;       // a run of at least one pulse
    int polarity = 1;
    double centre0 = 0.0;     // grid point 0
    double period = 0.0;
    double expected = 0.0;    // the period the fit started from (the tracked one)
    double spread = 0.0;      // how far off that one was allowed to be, as a share
    int points = 0;           // grid points measured
    int first = 0, last = -1; // the run: grid points first..last hold pulses
    float level = 0.f;        // the burst's amplitude per sample (working units)
    float noise = 0.f;        // the noise it was judged against
    float score = 0.f;        // the run's total score
    int holes = 0;            // points inside the run that clearly hold no pulse
    bool excess = false;      // a pulse far from the burst's level (a click, a dropout's edge)
    bool stray = false;       // a clear pulse outside the run, not next to it
    bool stepped = false;     // the steps between half pulses were found where pulses have them
    bool continued = false;   // pulses go on before the run or right after it: a longer sound
    float z[max_grid_points] = {}; // each point's score: > 0 pulse, < 0 none
    float amplitude[max_grid_points] = {}; // each point's amplitude per sample
    float pause_power = 0.f;  // mean square per sample of the responses in the pauses either side
    int pause_points = 0;     // the points it was measured at

    int pulses() const { return found ? last - first + 1 : 0; }
    double centre(int k) const { return centre0 + k * period; }
    /// The score of point k; 0 (no evidence) beyond the points measured.
    float score_at(int k) const { return k >= 0 && k < points ? z[k] : 0.f; }
};

/// How sharply the burst's run ends, as a share of its level: its end pulses' amplitude less
/// that of the points beyond them. About 1 on the right polarity; about 0.5 on the wrong one,
/// whose grid puts half pulses at the burst's edges.
float edge_sharpness(const BurstFit& fit);

/// Fits the grid to the burst the request describes.
BurstFit fit_burst(const SampleHistory& history, const FitRequest& request);

