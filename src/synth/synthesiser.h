// The recording of a program, rendered a block of samples at a time.
//
// Each sample is worked out at the middle of its interval in playback time:
//
//     tape time   tau = tape_time(t)                        (speed, wow)
//     pulse       p   = shape of the segment at tau         (square, sine, tape; -1 .. 1)
//     signal      amplitude * fade(t) * dropout(t) * (invert ? -p : p)
//     sample      signal + dc + hum * sin(2 pi hum_hz t) + noise * gaussian
//
// in steps of the 8-bit scale around silence. With the square shape a segment covers the
// samples from the one nearest its start to the one before the one nearest its end, as in
// `tape_recording`; without impairments both give the same samples. The memory used does not
// grow with the length of the recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "synth/impairments.h"
#include "synth/synth_settings.h"
#include "tape/tape_signal.h"

struct Synthesiser {
    // What the settings fix.
    int rate = 22050;
    PulseShape shape = PulseShape::square;
    TapeMotion motion;
    double gain = 100.0;          // amplitude, negative when inverted, tape shape scaled
    double dc = 0.0;
    double hum = 0.0;
    double hum_hz = 50.0;
    double noise = 0.0;           // RMS of the noise
    double fade = 0.0;
    double dropout_start_us = 0.0;
    double dropout_end_us = 0.0;
    double dropout_level = 1.0;
    double length_us = 0.0;       // playback time of the whole recording
    int64_t total_samples = 0;

    // Where the rendering stands.
    TapeWalker walker;
    TapeSegment segment;          // the segment of the next sample
    int64_t segment_end = 0;      // the first sample after it
    bool segments_left = true;
    int64_t next_sample = 0;
    NoiseSource noise_source;

    // The tape shape's memory of every level change so far.
    TapeFilter filter;
};

/// A synthesiser at the start of the recording of `bytes` (the name's codes, then the
/// program), which must outlive it.
Synthesiser make_synthesiser(const SynthSettings& settings, const std::vector<uint8_t>& bytes);

/// The RMS of the noise the settings ask for, in 8-bit steps.
double noise_rms(const SynthSettings& settings);

/// Renders the next `count` samples into `out`, in 8-bit steps around silence; after the end
/// of the recording it gives silence.
void render_samples(Synthesiser& synth, double* out, std::size_t count);

/// A rendered sample as a raw one (unsigned 8-bit): rounded, 128 added, held within 0..255.
uint8_t raw_sample(double value);
