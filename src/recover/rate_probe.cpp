#include "recover/rate_probe.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int guessed_rates[] = {8000, 11025, 44100, 176400, 352800};
constexpr int common_rates[] = {8000,  11025, 16000, 22050,  24000,  32000,  44100,
                                48000, 88200, 96000, 176400, 192000, 352800, 384000};
constexpr double pulse_seconds = 300e-6;

// Enough to decide: this many certain bits of each value.
constexpr int enough_bits = 200;

} // namespace

struct RateProbe::Guess {
    explicit Guess(int rate) : demod(rate) {}
    Demodulator demod;
    Heard heard;
    int certain = 0;
    double length[2] = {0.0, 0.0};
    int count[2] = {0, 0};
};

RateProbe::RateProbe() {
    for (int rate : guessed_rates)
        guesses_.push_back(std::make_unique<Guess>(rate));
}

RateProbe::~RateProbe() = default;

void RateProbe::feed(const float* samples, std::size_t count) {
    for (auto& guess : guesses_) {
        guess->heard.bits.clear();
        guess->heard.noise.clear();
        guess->demod.feed(samples, count, guess->heard);
        for (const HeardBit& bit : guess->heard.bits) {
            if (!bit.certain || (bit.pulses != 4 && bit.pulses != 9)) continue;
            ++guess->certain;
            const int v = bit.value != 0 ? 1 : 0;
            guess->length[v] += static_cast<double>(bit.end - bit.start);
            ++guess->count[v];
        }
    }
}

bool RateProbe::decided() const {
    return std::any_of(guesses_.begin(), guesses_.end(), [](const auto& guess) {
        return guess->count[0] >= enough_bits && guess->count[1] >= enough_bits;
    });
}

int RateProbe::rate() const {
    const Guess* best = nullptr;
    for (const auto& guess : guesses_) {
        if (guess->count[0] == 0 || guess->count[1] == 0) continue;
        if (best == nullptr || guess->certain > best->certain) best = guess.get();
    }
    if (best == nullptr || best->certain < 16) return 0;
    const double difference = best->length[1] / best->count[1] - best->length[0] / best->count[0];
    if (difference <= 0.0) return 0;
    // The demodulator's range: a tape far too fast or slow for it is at least tried.
    return std::clamp(snap_rate(difference / 5.0 / pulse_seconds), 8000, 384000);
}

int snap_rate(double measured) {
    for (int common : common_rates) {
        if (std::fabs(measured / common - 1.0) <= 0.05) return common;
    }
    return static_cast<int>(std::lround(measured / 10.0) * 10);
}
