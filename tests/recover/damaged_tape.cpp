#include "recover/damaged_tape.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "demod/demodulator.h"
#include "recover/bit_rhythm.h"
#include "recover/program_finder.h"

void DamagedTape::silence(double seconds) {
    samples.resize(samples.size() + static_cast<std::size_t>(seconds * rate), 0.0f);
}

void DamagedTape::bytes(const std::vector<uint8_t>& bytes,
                        const std::vector<std::pair<std::size_t, int>>& pulses) {
    // Edges on the sample nearest their exact time, as the tape-signal generator places them.
    double clock = static_cast<double>(samples.size()) / rate;
    const auto level_until = [&](double until, float level) {
        const auto end = static_cast<std::size_t>(std::llround(until * rate));
        if (end > samples.size()) samples.resize(end, level);
    };
    std::size_t next = 0;
    for (std::size_t i = 0; i < bytes.size() * 8; ++i) {
        const int bit = bytes[i / 8] >> (7 - i % 8) & 1;
        int count = bit != 0 ? 9 : 4;
        if (next < pulses.size() && pulses[next].first == i) count = pulses[next++].second;
        for (int p = 0; p < count; ++p) {
            level_until(clock += 150e-6, 0.8f);
            level_until(clock += 150e-6, -0.8f);
        }
        level_until(clock += 1300e-6, 0.0f);
    }
}

void DamagedTape::dropout(double start, double length, double level) {
    const auto first = static_cast<std::size_t>(start * rate);
    const auto last = std::min(samples.size(), static_cast<std::size_t>((start + length) * rate));
    for (std::size_t i = first; i < last; ++i)
        samples[i] *= static_cast<float>(level);
}

void DamagedTape::click(double at, int width, float height) {
    const auto first = static_cast<std::size_t>(at * rate);
    for (std::size_t i = first; i < std::min(samples.size(), first + width); ++i) {
        samples[i] += height;
    }
}

void DamagedTape::noise(double rms, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<float> gaussian(0.0f, static_cast<float>(rms));
    for (float& v : samples)
        v += gaussian(random);
}

std::vector<RecoveredProgram> recover_samples(const std::vector<float>& samples, int rate) {
    Demodulator demod(rate);
    BitRhythm rhythm(rate);
    ProgramFinder finder(rate, 0);
    std::vector<RecoveredProgram> found;
    std::vector<TapeEvent> events;
    Heard heard;
    constexpr std::size_t block = 65536;
    for (std::size_t i = 0; i < samples.size(); i += block) {
        heard = Heard{};
        events.clear();
        demod.feed(samples.data() + i, std::min(block, samples.size() - i), heard);
        rhythm.take(heard.bits, heard.noise, events);
        finder.take(events, found);
    }
    heard = Heard{};
    events.clear();
    demod.finish(heard);
    rhythm.take(heard.bits, heard.noise, events);
    rhythm.finish(events);
    finder.take(events, found);
    finder.finish(found);
    return found;
}
