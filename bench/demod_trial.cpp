#include "demod_trial.h"

#include <algorithm>
#include <cmath>

#include "synth/impairments.h"
#include "synth/synthesiser.h"
#include "tape/tape_signal.h"

namespace {

// A sample in 8-bit steps around silence as unsigned 8-bit (128 added) and as signed 16-bit
// (256 times), rounded and held within range.
uint8_t sample_u8(double value) {
    return static_cast<uint8_t>(std::clamp(std::nearbyint(128.0 + value), 0.0, 255.0));
}
int16_t sample_s16(double value) {
    return static_cast<int16_t>(std::clamp(std::nearbyint(256.0 * value), -32768.0, 32767.0));
}

float stored(double value, SampleFormat format) {
    switch (format) {
    case SampleFormat::u8:
        return (static_cast<float>(sample_u8(value)) - 128.f) / 128.f;
    case SampleFormat::s16:
        return static_cast<float>(sample_s16(value)) / 32768.f;
    case SampleFormat::f32:
        break;
    }
    return static_cast<float>(value / 128.0);
}

} // namespace

Recording synth_recording(const SynthSettings& settings, const std::vector<uint8_t>& bytes,
                          SampleFormat format, double gain) {
    Recording r;
    r.rate = settings.rate;
    Synthesiser synth = make_synthesiser(settings, bytes);
    r.samples.resize(static_cast<std::size_t>(synth.total_samples));
    std::vector<double> block(65536);
    for (std::size_t at = 0; at < r.samples.size(); at += block.size()) {
        const std::size_t n = std::min(block.size(), r.samples.size() - at);
        render_samples(synth, block.data(), n);
        for (std::size_t i = 0; i < n; ++i) r.samples[at + i] = stored(gain * block[i], format);
    }

    // The bursts' edges, placed as the synthesiser places them.
    TapeWalker walker = make_tape_walker(bytes, settings.lead_ms, settings.trail_ms);
    TapeMotion motion;
    motion.speed = settings.speed;
    motion.wow_depth = settings.wow_depth;
    motion.wow_hz = settings.wow_hz;
    TapeSegment segment;
    bool in_burst = false;
    std::size_t bit = 0;
    while (next_tape_segment(walker, segment)) {
        const bool silent = segment.level == TapeLevel::silent;
        if (!silent && !in_burst) {
            TrueBit b;
            b.start = boundary_sample(play_time_us(motion, segment.start_us), settings.rate);
            const std::size_t byte = bit / 8;
            b.value = static_cast<uint8_t>((bytes[byte] >> (7 - bit % 8)) & 1);
            r.bits.push_back(b);
            ++bit;
        } else if (silent && in_burst) {
            r.bits.back().end = boundary_sample(play_time_us(motion, segment.start_us), settings.rate);
        }
        in_burst = !silent;
    }
    return r;
}

Recording burst_recording(int rate, const std::vector<int>& pulses, double amplitude,
                          double noise, uint64_t seed, double lead_ms, double low) {
    Recording r;
    r.rate = rate;
    std::vector<double> samples;
    auto hold = [&](double until_us, double value) {
        const auto end = static_cast<std::size_t>(boundary_sample(until_us, rate));
        if (end > samples.size()) samples.resize(end, value);
    };
    double clock = lead_ms * 1000.0;
    hold(clock, 0.0);
    for (int count : pulses) {
        TrueBit b;
        b.start = boundary_sample(clock, rate);
        b.value = count == zero_bit_pulses ? 0 : (count == one_bit_pulses ? 1 : 2);
        for (int p = 0; p < count; ++p) {
            clock += pulse_high_us;
            hold(clock, amplitude);
            clock += pulse_low_us;
            hold(clock, low * amplitude);
        }
        b.end = boundary_sample(clock, rate);
        r.bits.push_back(b);
        clock += bit_pause_us;
        hold(clock, 0.0);
    }
    clock += 20000.0;
    hold(clock, 0.0);
    NoiseSource source = make_noise_source(seed);
    r.samples.resize(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double v = samples[i] + (noise > 0.0 ? noise * next_gaussian(source) : 0.0);
        r.samples[i] = stored(v, SampleFormat::u8);
    }
    return r;
}

std::vector<int> random_bursts(std::size_t count, double damaged, uint64_t seed) {
    static const int odd[] = {1, 2, 3, 5, 6, 7, 8, 10, 11};
    NoiseSource source = make_noise_source(seed * 104729 + 3);
    std::vector<int> pulses;
    for (std::size_t i = 0; i < count; ++i) {
        const double u = static_cast<double>(next_random(source) >> 11) / 9007199254740992.0;
        const uint64_t pick = next_random(source);
        if (u < damaged) {
            pulses.push_back(odd[pick % 9]);
        } else {
            pulses.push_back(pick & 1 ? one_bit_pulses : zero_bit_pulses);
        }
    }
    return pulses;
}

void add_click(Recording& r, int64_t at, int length, float value, double half_pulse) {
    // The samples it moves by a third of full scale or more (a click of the half pulse's own
    // sign hardly changes it), counted per true bit.
    std::vector<int> moved(r.bits.size(), 0);
    for (int64_t i = std::max<int64_t>(0, at);
         i < at + length && i < static_cast<int64_t>(r.samples.size()); ++i) {
        float& sample = r.samples[static_cast<std::size_t>(i)];
        const bool changed = std::fabs(sample - value) > 1.f / 3.f;
        sample = value;
        if (!changed) continue;
        for (std::size_t b = 0; b < r.bits.size(); ++b) {
            if (r.bits[b].end > i && r.bits[b].start <= i) ++moved[b];
        }
    }
    for (std::size_t b = 0; b < r.bits.size(); ++b) {
        if (moved[b] >= 0.5 * half_pulse) r.bits[b].clicked = true;
    }
}

void mark_cut(Recording& r, int64_t from, int64_t to) {
    for (TrueBit& b : r.bits) {
        const bool overlaps = b.end > from && b.start < to;
        const bool inside = b.start >= from && b.end <= to;
        if (overlaps && !inside) b.value = 2;
    }
}

Heard demodulate(const Recording& recording, std::size_t block) {
    Demodulator demod(recording.rate);
    Heard heard;
    for (std::size_t at = 0; at < recording.samples.size(); at += block) {
        demod.feed(recording.samples.data() + at, std::min(block, recording.samples.size() - at),
                   heard);
    }
    demod.finish(heard);
    return heard;
}

TrialResult compare_bits(const std::vector<TrueBit>& truth, const std::vector<HeardBit>& heard) {
    TrialResult result;
    result.true_bits = static_cast<std::size_t>(
        std::count_if(truth.begin(), truth.end(), [](const TrueBit& b) { return b.value < 2; }));
    result.heard_bits = heard.size();
    std::vector<int> times_heard(truth.size(), 0);
    std::size_t t = 0;
    for (const HeardBit& h : heard) {
        while (t < truth.size() && truth[t].end <= h.start) ++t;
        // The true bit overlapping it most: the one at t or the next.
        std::size_t best = truth.size();
        int64_t best_overlap = 0;
        for (std::size_t k = t; k < truth.size() && truth[k].start < h.end; ++k) {
            const int64_t overlap = std::min(h.end, truth[k].end) - std::max(h.start, truth[k].start);
            if (overlap > best_overlap) {
                best_overlap = overlap;
                best = k;
            }
        }
        if (best == truth.size()) {
            ++result.extra;
            if (h.certain) ++result.wrong_certain;
            continue;
        }
        const TrueBit& b = truth[best];
        if (++times_heard[best] > 1) {
            ++result.extra;
            if (h.certain) ++result.wrong_certain;
            continue;
        }
        if (b.value > 1) {
            if (h.certain) ++result.wrong_certain;
            continue;
        }
        if (h.certain && b.clicked) ++result.clicked_certain;
        if (!h.certain) {
            ++result.uncertain;
        } else if (h.value == b.value) {
            ++result.right_certain;
        } else {
            ++result.wrong_certain;
        }
    }
    for (std::size_t k = 0; k < truth.size(); ++k) {
        if (truth[k].value < 2 && times_heard[k] == 0) ++result.missed;
    }
    return result;
}

std::vector<uint8_t> random_tape_bytes(std::size_t size, uint64_t seed) {
    std::vector<uint8_t> bytes = {0x38, 0x2A, 0x31, 0x3A, 0x31, 0xA9}; // SELBIE... a name
    NoiseSource source = make_noise_source(seed * 7919 + 17);
    for (std::size_t i = 0; i + 1 < size; ++i) {
        bytes.push_back(static_cast<uint8_t>(next_random(source) >> 56));
    }
    bytes.push_back(0x80);
    return bytes;
}
