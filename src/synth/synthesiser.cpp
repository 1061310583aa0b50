#include "synth/synthesiser.h"

#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;

// Moves to the next segment; false when there is none.
bool advance_segment(Synthesiser& s) {
    if (!s.segments_left || !next_tape_segment(s.walker, s.segment)) {
        s.segments_left = false;
        s.segment.level = TapeLevel::silent;
        return false;
    }
    s.segment_end = boundary_sample(play_time_us(s.motion, s.segment.end_us), s.rate);
    const double level = static_cast<double>(s.segment.level);
    if (s.shape == PulseShape::tape && level != s.filter.level) {
        add_tape_step(s.filter, s.segment.start_us, level - s.filter.level);
    }
    return true;
}

double pulse_at(Synthesiser& s, double play_us) {
    const double level = static_cast<double>(s.segment.level);
    switch (s.shape) {
    case PulseShape::square:
        return level;
    case PulseShape::sine: {
        if (level == 0.0) return 0.0;
        const double tau = tape_time_us(s.motion, play_us);
        const double length = s.segment.end_us - s.segment.start_us;
        double phase = length > 0.0 ? (tau - s.segment.start_us) / length : 0.0;
        phase = phase < 0.0 ? 0.0 : (phase > 1.0 ? 1.0 : phase);
        return level * std::sin(pi * phase);
    }
    case PulseShape::tape:
        return tape_filter_output(s.filter, tape_time_us(s.motion, play_us));
    }
    return 0.0;
}

} // namespace

double noise_rms(const SynthSettings& settings) {
    if (settings.noise_is_snr) {
        return settings.amplitude / std::pow(10.0, settings.noise_snr_db / 20.0);
    }
    return settings.noise;
}

Synthesiser make_synthesiser(const SynthSettings& settings, const std::vector<uint8_t>& bytes) {
    Synthesiser s;
    s.rate = settings.rate;
    s.shape = settings.shape;
    s.motion.speed = settings.speed;
    s.motion.wow_depth = settings.wow_depth;
    s.motion.wow_hz = settings.wow_hz;
    s.gain = settings.invert ? -settings.amplitude : settings.amplitude;
    if (s.shape == PulseShape::tape) s.gain /= tape_burst_peak();
    s.dc = settings.dc;
    s.hum = settings.hum;
    s.hum_hz = settings.hum_hz;
    s.noise = noise_rms(settings);
    s.fade = settings.fade;
    s.dropout_start_us = settings.dropout_at_ms * 1000.0;
    s.dropout_end_us = s.dropout_start_us + settings.dropout_ms * 1000.0;
    s.dropout_level = settings.dropout_level;
    s.length_us =
        play_time_us(s.motion, tape_duration_us(bytes, settings.lead_ms, settings.trail_ms));
    s.total_samples = boundary_sample(s.length_us, s.rate);
    s.walker = make_tape_walker(bytes, settings.lead_ms, settings.trail_ms);
    s.noise_source = make_noise_source(settings.seed);
    advance_segment(s);
    return s;
}

void render_samples(Synthesiser& s, double* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, ++s.next_sample) {
        while (s.segments_left && s.next_sample >= s.segment_end) advance_segment(s);
        const double play_us = (static_cast<double>(s.next_sample) + 0.5) * 1e6 / s.rate;
        double gain = s.gain * fade_gain(s.fade, play_us, s.length_us);
        if (play_us >= s.dropout_start_us && play_us < s.dropout_end_us) gain *= s.dropout_level;
        double y = gain * pulse_at(s, play_us) + s.dc;
        if (s.hum != 0.0) y += s.hum * std::sin(2.0 * pi * s.hum_hz * play_us / 1e6);
        if (s.noise != 0.0) y += s.noise * next_gaussian(s.noise_source);
        out[i] = y;
    }
}

uint8_t raw_sample(double value) {
    const double v = std::nearbyint(128.0 + value);
    return static_cast<uint8_t>(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v));
}
