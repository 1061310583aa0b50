// The sample rate of a raw recording, measured from its ZX81 pulses.
//
// A headerless file does not say its rate. A ZX81 pulse lasts about 300 us, a 1 bit's burst
// has 5 pulses more than a 0 bit's, so the difference of their mean lengths is 5 pulse periods
// whatever the rate:
//
//   rate = (mean 1 burst - mean 0 burst) / 5 / 300 us
//
// The recording's start is demodulated as if it were 8000, 11025, 44100, 176400 and 352800 Hz
// (each guess also hears bursts at half and twice its speed, so together they cover 4 to
// 700 kHz);
// the guess that hears the most certain bits gives the lengths. A rate within 5 % of a common
// one (8000, 11025, ... 384000) is taken as that one. A tape played too fast or too slow
// measures as a lower or higher rate: the bits decode the same, only times are scaled.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "demod/demodulator.h"

class RateProbe {
  public:
    RateProbe();
    ~RateProbe();

    /// Takes the next samples of the recording's start.
    void feed(const float* samples, std::size_t count);

    /// True once enough bursts were heard to decide.
    bool decided() const;

    /// The measured rate, or 0 when no ZX81 bursts were heard.
    int rate() const;

  private:
    struct Guess;
    std::vector<std::unique_ptr<Guess>> guesses_;
};

/// The common rate within 5 % of `measured`, or `measured` rounded to 10 Hz.
int snap_rate(double measured);
