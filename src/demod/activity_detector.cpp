#include "demod/activity_detector.h"

#include <cmath>

#include "demod/working_signal.h"

namespace {
// A chunk is loud at this many times the floor, or at the lower factor twice in a row.
constexpr float loud_factor = 4.f;
constexpr float loud_again_factor = 2.5f;
// A chunk quieter than the floor pulls it down by this share of the difference.
constexpr float fall_share = 0.25f;
// Each quiet chunk's share in the quiet chunks' mean.
constexpr float quiet_share = 1.f / 16.f;
// The floor may double in this many seconds of steady sound.
constexpr double doubling_seconds = 0.1;
} // namespace

ActivityDetector make_activity_detector(int working_rate) {
    ActivityDetector d;
    d.chunk = working_rate < 16000 ? 4 : (working_rate < 32000 ? 8 : 16);
    d.lag = static_cast<int>(std::lround(working_rate * 60e-6));
    if (d.lag < 1) d.lag = 1;
    // A quarter of a 16-bit step, squared: the differences of digital silence stay below it.
    const float step = working_unit / 32768.f * 0.25f;
    d.floor_min = step * step;
    const double chunks_per_doubling = doubling_seconds * working_rate / d.chunk;
    d.rise = static_cast<float>(std::exp(std::log(2.0) / chunks_per_doubling));
    return d;
}

float chunk_energy(const SampleHistory& history, int64_t from, int chunk, int lag) {
    // The chunk lies whole in the ring (its start is a multiple of its size); the lagged
    // samples before it may not, at the ring's start.
    float sum = 0.f;
    int i = 0;
    for (; i < lag && i < chunk; ++i) {
        const auto d = static_cast<float>(history.sample(from + i) - history.sample(from + i - lag));
        sum += d * d;
    }
    const int32_t* x = history.samples_from(from);
    for (; i < chunk; ++i) {
        const auto d = static_cast<float>(x[i] - x[i - lag]);
        sum += d * d;
    }
    return sum;
}

bool chunk_is_loud(ActivityDetector& d, float energy) {
    const float per_sample = energy / static_cast<float>(d.chunk);
    if (d.floor <= 0.f) d.floor = per_sample > d.floor_min ? per_sample : d.floor_min;
    const float floor = d.floor > d.floor_min ? d.floor : d.floor_min;
    const bool loud = per_sample > loud_factor * floor ||
                      (per_sample > loud_again_factor * floor && !d.quiet_before);
    d.quiet_before = per_sample <= loud_again_factor * floor;
    if (!loud) {
        d.quiet_mean = d.quiet_mean > 0.f ? d.quiet_mean + (per_sample - d.quiet_mean) * quiet_share
                                          : per_sample;
    }
    if (per_sample < d.floor) {
        d.floor += fall_share * (per_sample - d.floor);
    } else if (per_sample < 2.f * d.floor) {
        // Quiet but above the floor: the floor follows the quiet chunks' mean.
        d.floor += 0.5f * fall_share * (per_sample - d.floor);
    } else {
        d.floor *= d.rise;
    }
    if (d.floor < d.floor_min) d.floor = d.floor_min;
    return loud;
}
