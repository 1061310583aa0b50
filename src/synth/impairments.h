// What happens to a recording between the ZX81 and the converter, as plain functions of time.
//
// Times are in microseconds. Two clocks run: tape time, the time the ZX81 saved at, and
// playback time, the time of the samples written. They differ by the tape speed and the wow:
//
//     speed(t) = speed * (1 + depth * sin(2 pi f t))        (playback time t)
//     tape(t)  = speed * (t + depth / (2 pi f) * (1 - cos(2 pi f t)))
//
// The noise comes from a generator of our own, so a seed gives the same samples on every
// system and with every standard library.
#pragma once

#include <complex>
#include <cstdint>

/// How the tape moves at playback.
struct TapeMotion {
    double speed = 1.0;     // mean speed over the speed when saved
    double wow_depth = 0.0; // peak deviation as a fraction of the mean, below 1
    double wow_hz = 0.5;    // swings per second
};

/// The tape time that passes the head at playback time `play_us`.
double tape_time_us(const TapeMotion& motion, double play_us);

/// The playback time at which tape time `tape_us` passes the head: the inverse of
/// `tape_time_us`, exact without wow and to a nanosecond with it.
double play_time_us(const TapeMotion& motion, double tape_us);

/// The sample whose interval holds the playback time `play_us`: the sample nearest to it as a
/// boundary, as the tape-signal generator places its edges.
int64_t boundary_sample(double play_us, int rate);

/// A random sequence: splitmix64, then Box-Muller for the Gaussian values.
struct NoiseSource {
    uint64_t state = 0;
    bool has_spare = false;  // Box-Muller makes two values at a time
    double spare = 0.0;
};

NoiseSource make_noise_source(uint64_t seed);

/// The next 64 random bits.
uint64_t next_random(NoiseSource& noise);

/// The next value of a Gaussian with mean 0 and standard deviation 1.
double next_gaussian(NoiseSource& noise);

/// The tape shape: the response of played-back tape, a resonant low-pass of the second order,
/// to a step from 0 to 1 `t_us` ago (0 before the step). It overshoots and rings at about
/// `tape_resonance_hz` and settles at 1 within about a millisecond.
constexpr double tape_resonance_hz = 5000.0;
constexpr double tape_damping = 0.3;
double tape_step_response(double t_us);

/// After this long a step's ringing is below 1e-4 of the step.
constexpr double tape_settle_us = 1000.0;

/// The tape shape's response to every step so far, without a list of them: the ringing of a
/// step is the real part of a complex exponential, so the ringing of all of them adds up to
/// one complex number that decays and turns with time.
struct TapeFilter {
    double level = 0.0;                // the sum of the steps, where the response settles
    std::complex<double> ringing{};    // the steps' complex exponentials at `ref_us`
    double ref_us = 0.0;
};

/// Adds a step of `step` at `at_us` (no earlier than the last one added).
void add_tape_step(TapeFilter& filter, double at_us, double step);

/// The response at `t_us`, the sum of `step * tape_step_response(t_us - at_us)` over the
/// steps, for any time from shortly before the last step on.
double tape_filter_output(const TapeFilter& filter, double t_us);

/// The peak of the tape-shape response to a burst of nine pulses of unit height, the figure
/// that scales the tape shape to the chosen amplitude.
double tape_burst_peak();

/// The gain of the fade at playback time `play_us` of a recording `length_us` long: from 1 at
/// the start down to 1 - `fade` at the end, in a straight line.
double fade_gain(double fade, double play_us, double length_us);
