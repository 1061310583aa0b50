#include "demod/pulse_period.h"

#include <algorithm>
#include <vector>

namespace {
// A shorter lag whose correlation reaches this share of the strongest peak is the period.
constexpr float shorter_peak_share = 0.8f;
// Half the period found correlating this well instead is the period.
constexpr float half_peak_share = 0.6f;

float correlation(const float* y, std::size_t count, std::size_t lag) {
    float sum = 0.f;
    for (std::size_t i = 0; i + lag < count; ++i) sum += y[i] * y[i + lag];
    return sum;
}
} // namespace

PeriodEstimate estimate_pulse_period(const float* y, std::size_t count, int min_lag, int max_lag) {
    PeriodEstimate none;
    if (min_lag < 2) min_lag = 2;
    if (max_lag < min_lag || static_cast<std::size_t>(max_lag) * 2 >= count) return none;
    const float zero = correlation(y, count, 0);
    if (!(zero > 0.f)) return none;
    // Correlations from min_lag - 1 to max_lag + 1, for the neighbours of every peak.
    std::vector<float> r(static_cast<std::size_t>(max_lag + 2), 0.f);
    for (int lag = min_lag - 1; lag <= max_lag + 1; ++lag) {
        // Scaled to the full length, so that long lags are not penalised by fewer products.
        r[static_cast<std::size_t>(lag)] = correlation(y, count, static_cast<std::size_t>(lag)) *
                                           static_cast<float>(count) /
                                           static_cast<float>(count - static_cast<std::size_t>(lag));
    }
    auto is_peak = [&](int lag) {
        const auto i = static_cast<std::size_t>(lag);
        return r[i] > 0.f && r[i] >= r[i - 1] && r[i] >= r[i + 1];
    };
    int best = -1;
    for (int lag = min_lag; lag <= max_lag; ++lag) {
        if (is_peak(lag) && (best < 0 || r[static_cast<std::size_t>(lag)] >
                                             r[static_cast<std::size_t>(best)])) {
            best = lag;
        }
    }
    if (best < 0) return none;
    for (int lag = min_lag; lag < best; ++lag) {
        if (is_peak(lag) &&
            r[static_cast<std::size_t>(lag)] >= shorter_peak_share * r[static_cast<std::size_t>(best)]) {
            best = lag;
            break;
        }
    }
    auto refined = [&](int lag) {
        const auto b = static_cast<std::size_t>(lag);
        const float left = r[b - 1], mid = r[b], right = r[b + 1];
        const float curve = left - 2.f * mid + right;
        double offset = curve < 0.f ? 0.5 * (left - right) / curve : 0.0;
        return lag + std::max(-0.5, std::min(0.5, offset));
    };
    double period = refined(best);
    float strength = r[static_cast<std::size_t>(best)];
    // At low rates a period of a few samples may peak weakly between two lags while its double
    // peaks clearly: half the period correlating nearly as well is the period.
    while (period / 2.0 >= min_lag) {
        const double half = period / 2.0;
        const auto i = static_cast<std::size_t>(half);
        const double share = half - static_cast<double>(i);
        const double at_half = (1.0 - share) * r[i] + share * r[i + 1];
        if (at_half < half_peak_share * strength) break;
        period = half;
        strength = static_cast<float>(at_half);
    }
    PeriodEstimate e;
    e.period = period;
    e.strength = strength / zero;
    return e;
}
