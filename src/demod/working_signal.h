// The working signal: what the demodulator analyses instead of the input's own samples.
//
// High rates carry nothing a ZX81 burst needs, so every `factor` input samples are summed into
// one working sample (rates of 80 kHz and more; 44.1 and 48 kHz stay as they are). Working
// samples are fixed-point integers, `working_unit` to full scale, so that running sums of them
// wrap exactly and a window's sum is the difference of two running sums however long the
// recording.
#pragma once

#include <cstddef>
#include <cstdint>

/// One full-scale input unit (1.0) in a working sample.
constexpr float working_unit = 1048576.0f; // 2^20

/// Input samples are held within +-`input_limit` of full scale (floating-point sources may
/// exceed 1.0; NaN counts as the negative limit).
constexpr float input_limit = 4.0f;

/// How many input samples make one working sample at `rate` frames per second: 1 below
/// 80 kHz, else rate / 40000 (working rates of 40 to 80 kHz).
int decimation_factor(int rate);

/// Sums input samples into working samples, remembering a group that is not yet complete.
struct Decimator {
    int factor = 1;
    float scale = working_unit; // working units per input unit, divided by `factor`
    float partial = 0.f;        // sum of the incomplete group so far (scaled)
    int filled = 0;             // its input samples
};

Decimator make_decimator(int factor);

/// Converts `count` input samples into working samples written to `out` (which has room for
/// count / factor + 1) and returns how many were written.
std::size_t decimate(Decimator& decimator, const float* in, std::size_t count, int32_t* out);
