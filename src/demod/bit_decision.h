// From measured bursts to bits: the pauses between neighbours as a second witness, and how
// sure each bit is.
//
// A ZX81 puts the same pause after every bit, so the gap from one burst's last pulse centre to
// the next burst's first, in pulse periods, is the same all along a program:
//
//     ...|~|_|~|_|_________________________|~|_|~|...
//          last   half + pause + half   first            about 5.33 periods
//
// A gap one period longer or shorter than that means one end of the two bursts was misjudged
// (or a pulse was lost or added there). Noise makes an end pulse hard to judge now and then;
// it rarely makes both the end pulse and the pause around it wrong, so the gap decides which
// end to move, when moving it contradicts its own pulse only a little. Otherwise the gap is
// broken and neither side of it can be trusted.
#pragma once

#include <cstdint>

#include "demod/burst_fit.h"
#include "demod/demodulator.h"

/// How one side of a burst meets the signal beyond it.
enum class Join : uint8_t {
    none,    // silence, noise or a long gap: nothing to compare with
    regular, // an ordinary bit pause to the neighbouring burst
    broken,  // a gap no ordinary pause explains: pulses lost or gained there
};

/// One side of a burst: how it meets its neighbour, and whether that neighbour is itself a
/// sound burst (4 or 9 pulses, clean): a regular pause to a damaged or doubtful burst is weaker
/// evidence, and a run of bursts that are all odd says the demodulator has the wrong period.
struct Side {
    Join join = Join::none;
    bool sound = false;
};

/// What the pause between two bursts says.
struct PauseLink {
    Join join = Join::none;
    int move_end = 0;    // pulses to add to the earlier burst's end (-1, 0 or 1)
    int move_start = 0;  // pulses to add to the later burst's start (-1, 0 or 1)
    double gap = 0.0;    // the gap in periods, after the moves
};

/// Reads the pause between `before` and `after`. `usual_gap` is the ordinary gap in periods
/// of `period`; a gap longer than `long_gap` working samples leaves both sides without a
/// neighbour.
PauseLink link_pause(const BurstFit& before, const BurstFit& after, double period,
                     double usual_gap, double long_gap);

/// True when a burst has the pulses of a bit, 4 or 9.
bool sound_count(const BurstFit& fit);

/// True when a burst's ends can vouch for its neighbours': the pulses of a bit, and clean
/// (no hole, no pulse far off its level, no stray).
bool sound_burst(const BurstFit& fit);

/// The bit a fitted burst stands for. `start` and `end` say how its sides meet their
/// neighbours; its own period must be close to the one expected; `frames` is input frames per
/// working sample. Certain needs 4 or 9 pulses, every point of the burst clean, its period in
/// line, and each side either joined by an ordinary pause to a sound neighbour (its own end
/// pulses not contradicting) or, with nothing beyond, its end pulses firm on their own.
HeardBit decide_bit(const BurstFit& fit, Side start, Side end, int frames);
