// The timing of a burst from its edges: where each half pulse begins, found at whole samples,
// and the grid of pulse centres fitted to them.
//
// Inside a burst the level steps up or down every half period. At a step the sum of the few
// samples after a boundary less the sum of those before it peaks (in the step's direction)
// at the boundary where the step is: a square pulse recorded at a low rate puts each step on a
// whole sample, a rounded one puts the peak near its middle. Each step is climbed to from where
// the expected grid puts it (within a few samples), placed between samples by a parabola, and
// the grid's first centre and period are then fitted to all of them by least squares, the
// period held back towards the one expected as much as the steps' scatter asks for; steps far
// off the fitted grid (noise) are dropped and the fit repeated.
#pragma once

#include "demod/sample_history.h"

/// A grid refitted to a burst's steps.
struct EdgeFit {
    double centre = 0.0; // the pulse centre of grid point 0 (the centre of `first` below)
    double period = 0.0;
    int steps = 0;       // the steps the fit used
};

/// Fits the grid `centre + k * period` (k = first..last, pulses high first when `sign` is 1,
/// low first when -1) to the steps between its pulses' halves: the centre of each pulse and
/// the boundary after it, except after the last, each looked for within `reach` periods of
/// where the grid puts it; a step counts when it is at least two thirds of what pulses of
/// amplitude `level` (per sample) make. `spread` is how far the period may be off, as a share. False
/// when fewer than half the steps were found, or (with five or more) only falls or only rises.
bool fit_edges(const SampleHistory& history, double centre, double period, int first, int last,
               float sign, float level, double reach, double spread, EdgeFit& out);
