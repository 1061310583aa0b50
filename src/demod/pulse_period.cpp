#include "demod/pulse_period.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A shorter lag whose correlation reaches this share of the strongest peak is the period.
constexpr float shorter_peak_share = 0.8f;
// A part of the period found correlating this well instead is the period.
constexpr float part_peak_share = 0.6f;
// Below this many samples a period is searched in quarter samples: at whole lags its peak can
// fall between two of them (and lose to its double), and a parabola through whole lags places
// it to a few percent only.
constexpr int fine_below = 40;

// The correlation of y with itself `lag` samples later (the later sample interpolated).
float correlation(const float* y, std::size_t count, double lag) {
    const auto whole = static_cast<std::size_t>(lag);
    const auto part = static_cast<float>(lag - static_cast<double>(whole));
    float sum = 0.f;
    if (part == 0.f) {
        for (std::size_t i = 0; i + whole < count; ++i) sum += y[i] * y[i + whole];
    } else {
        for (std::size_t i = 0; i + whole + 1 < count; ++i) {
            sum += y[i] * (y[i + whole] + part * (y[i + whole + 1] - y[i + whole]));
        }
    }
    // Scaled to the full length, so that long lags are not penalised by fewer products.
    return sum * static_cast<float>(count) / static_cast<float>(count - whole);
}

} // namespace

PeriodEstimate estimate_pulse_period(const float* y, std::size_t count, int min_lag, int max_lag) {
    PeriodEstimate none;
    if (min_lag < 2) min_lag = 2;
    if (max_lag < min_lag || static_cast<std::size_t>(max_lag) * 2 >= count) return none;
    const float zero = correlation(y, count, 0.0);
    if (!(zero > 0.f)) return none;
    const double step = max_lag < fine_below ? 0.25 : 1.0;
    // Correlations from a step below min_lag to a step above max_lag.
    const int steps = static_cast<int>((max_lag - min_lag) / step) + 3;
    std::vector<float> r(static_cast<std::size_t>(steps));
    auto lag_of = [&](int i) { return min_lag + (i - 1) * step; };
    for (int i = 0; i < steps; ++i) r[static_cast<std::size_t>(i)] = correlation(y, count, lag_of(i));
    auto at = [&](int i) { return r[static_cast<std::size_t>(i)]; };
    auto is_peak = [&](int i) { return at(i) > 0.f && at(i) >= at(i - 1) && at(i) >= at(i + 1); };
    int best = -1;
    for (int i = 1; i + 1 < steps; ++i) {
        if (is_peak(i) && (best < 0 || at(i) > at(best))) best = i;
    }
    if (best < 0) return none;
    for (int i = 1; i < best; ++i) {
        if (is_peak(i) && at(i) >= shorter_peak_share * at(best)) {
            best = i;
            break;
        }
    }
    // Between steps: a parabola through the peak and its neighbours.
    const float left = at(best - 1), mid = at(best), right = at(best + 1);
    const float curve = left - 2.f * mid + right;
    const double offset = curve < 0.f ? 0.5 * (left - right) / curve : 0.0;
    double period = lag_of(best) + std::max(-0.5, std::min(0.5, offset)) * step;
    float strength = mid;
    // A half, third or quarter of the period correlating nearly as well is the period: at a few
    // samples a period, a whole number of samples can match two or three periods better than
    // one.
    for (int divisor = 4; divisor >= 2; --divisor) {
        const double part = period / divisor;
        if (part < min_lag) continue;
        const float at_part = correlation(y, count, part);
        if (at_part >= part_peak_share * strength) {
            period = part;
            strength = at_part;
            break;
        }
    }
    PeriodEstimate e;
    e.period = period;
    e.strength = strength / zero;
    return e;
}
