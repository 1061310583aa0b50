#include "synth/impairments.h"

#include <algorithm>
#include <cmath>

#include "tape/tape_signal.h"

namespace {
constexpr double pi = 3.14159265358979323846;

// The wow's angular frequency per microsecond.
double wow_omega(const TapeMotion& motion) { return 2.0 * pi * motion.wow_hz / 1e6; }
} // namespace

double tape_time_us(const TapeMotion& motion, double play_us) {
    if (motion.wow_depth == 0.0) return motion.speed * play_us;
    const double w = wow_omega(motion);
    return motion.speed * (play_us + motion.wow_depth / w * (1.0 - std::cos(w * play_us)));
}

double play_time_us(const TapeMotion& motion, double tape_us) {
    if (motion.speed == 1.0 && motion.wow_depth == 0.0) return tape_us;
    if (motion.wow_depth == 0.0) return tape_us / motion.speed;
    // tape(t) - speed * t lies in [0, 2 speed depth / w], which brackets the answer; the
    // function rises steadily, so halving the bracket converges.
    const double w = wow_omega(motion);
    double high = tape_us / motion.speed;
    double low = high - 2.0 * motion.wow_depth / w;
    while (high - low > 1e-3) {
        const double mid = 0.5 * (low + high);
        if (tape_time_us(motion, mid) < tape_us) {
            low = mid;
        } else {
            high = mid;
        }
    }
    return 0.5 * (low + high);
}

int64_t boundary_sample(double play_us, int rate) {
    return static_cast<int64_t>(std::llround(play_us * rate / 1e6));
}

NoiseSource make_noise_source(uint64_t seed) {
    NoiseSource noise;
    noise.state = seed;
    return noise;
}

uint64_t next_random(NoiseSource& noise) {
    uint64_t z = (noise.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double next_gaussian(NoiseSource& noise) {
    if (noise.has_spare) {
        noise.has_spare = false;
        return noise.spare;
    }
    // Two uniform values in (0, 1]: 53 random bits each, never 0 so the logarithm is finite.
    const double u1 = (static_cast<double>(next_random(noise) >> 11) + 1.0) / 9007199254740992.0;
    const double u2 = (static_cast<double>(next_random(noise) >> 11) + 1.0) / 9007199254740992.0;
    const double radius = std::sqrt(-2.0 * std::log(u1));
    noise.spare = radius * std::sin(2.0 * pi * u2);
    noise.has_spare = true;
    return radius * std::cos(2.0 * pi * u2);
}

namespace {
// The pole of the tape shape, per microsecond: decay and angular frequency of the ringing.
std::complex<double> tape_pole() {
    const double w0 = 2.0 * pi * tape_resonance_hz / 1e6;
    return {-tape_damping * w0, w0 * std::sqrt(1.0 - tape_damping * tape_damping)};
}
} // namespace

void add_tape_step(TapeFilter& filter, double at_us, double step) {
    filter.ringing = filter.ringing * std::exp(tape_pole() * (at_us - filter.ref_us)) + step;
    filter.ref_us = at_us;
    filter.level += step;
}

double tape_filter_output(const TapeFilter& filter, double t_us) {
    // A step's response is 1 - e^(-z w0 t) (cos(wd t) + a sin(wd t)), a = z / sqrt(1 - z^2):
    // the real part of (1 - i a) e^(p t).
    const double a = tape_damping / std::sqrt(1.0 - tape_damping * tape_damping);
    const std::complex<double> now =
        filter.ringing * std::exp(tape_pole() * (t_us - filter.ref_us));
    return filter.level - (now * std::complex<double>(1.0, -a)).real();
}

double tape_step_response(double t_us) {
    if (t_us <= 0.0) return 0.0;
    const double w0 = 2.0 * pi * tape_resonance_hz / 1e6;
    const double root = std::sqrt(1.0 - tape_damping * tape_damping);
    const double wd = w0 * root;
    const double decay = std::exp(-tape_damping * w0 * t_us);
    return 1.0 - decay * (std::cos(wd * t_us) + tape_damping / root * std::sin(wd * t_us));
}

double tape_burst_peak() {
    // The burst's edges: up at 0, then down by 2 and up by 2 every half pulse, up by 1 at the
    // end; its response sampled every microsecond until it has settled.
    const int halves = 2 * one_bit_pulses;
    const double end_us = halves * pulse_high_us + tape_settle_us;
    double peak = 0.0;
    for (double t = 0.0; t < end_us; t += 1.0) {
        double y = tape_step_response(t);
        for (int h = 1; h <= halves; ++h) {
            const double step = h == halves ? 1.0 : (h % 2 == 1 ? -2.0 : 2.0);
            y += step * tape_step_response(t - h * pulse_high_us);
        }
        peak = std::max(peak, std::fabs(y));
    }
    return peak;
}

double fade_gain(double fade, double play_us, double length_us) {
    if (fade == 0.0 || length_us <= 0.0) return 1.0;
    return 1.0 - fade * std::min(1.0, std::max(0.0, play_us / length_us));
}
