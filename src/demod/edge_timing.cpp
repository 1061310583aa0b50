#include "demod/edge_timing.h"

#include <algorithm>
#include <cmath>

namespace {

// The most steps one fit looks at.
constexpr int max_steps = 64;

// The step at the boundary before sample b: the `width` samples after it less those before.
inline float step(const SampleHistory& h, int64_t b, int width) {
    const uint32_t before = h.sum_before(b) - h.sum_before(b - width);
    const uint32_t after = h.sum_before(b + width) - h.sum_before(b);
    return static_cast<float>(static_cast<int32_t>(after - before));
}

} // namespace

bool fit_edges(const SampleHistory& h, double centre, double period, int first, int last,
               float sign, float level, double reach_periods, double spread, EdgeFit& out) {
    const double half = 0.5 * period;
    const int width = std::max(1, static_cast<int>(0.8 * half));
    // At least two samples, unless that reaches the next step of the same way (a period off).
    const int least_reach = period < 3.0 ? 1 : 2;
    const int reach =
        std::max(least_reach, std::min(7, static_cast<int>(reach_periods * period + 0.5)));
    double index[max_steps], where[max_steps];
    int n = 0;
    // Step j lies at centre + (2 first + j) * half: the fall at each centre (j even), the rise
    // half a period later (j odd), for a pulse that goes high first.
    const int steps = std::min(max_steps, 2 * (last - first) + 1);
    for (int j = 0; j < steps; ++j) {
        const double expected = centre + (2 * first + j) * half;
        const float direction = (j % 2 == 0 ? -1.f : 1.f) * sign;
        // The peak of the step's size near the expected boundary (the next step of the same way
        // is a period off, beyond reach): over the whole reach when it is a few samples, else
        // climbed to from the expected boundary (a step is a broad peak then).
        const auto middle = static_cast<int64_t>(std::floor(expected + 0.5));
        auto value = [&](int64_t b) { return direction * step(h, b, width); };
        int64_t best = middle;
        float best_value, left, right;
        bool flank = false;
        if (reach <= 3 && width <= 4) {
            // The running sums the steps need, each read once.
            uint32_t sums[2 * (3 + 4) + 1];
            const int64_t from = middle - reach - width;
            for (int i = 0; i < 2 * (reach + width) + 1; ++i) sums[i] = h.sum_before(from + i);
            float values[7];
            const int count = 2 * reach + 1;
            int at = 0;
            for (int i = 0; i < count; ++i) {
                const uint32_t twice = sums[i + width] + sums[i + width];
                values[i] = direction * static_cast<float>(static_cast<int32_t>(
                                            sums[i + 2 * width] - twice + sums[i]));
                if (values[i] > values[at]) at = i;
            }
            best = middle - reach + at;
            best_value = values[at];
            flank = at == 0 || at == count - 1; // the flank of a step further away
            left = flank ? 0.f : values[at - 1];
            right = flank ? 0.f : values[at + 1];
        } else {
            best_value = value(middle);
            left = value(middle - 1);
            right = value(middle + 1);
            const int way = right > best_value ? 1 : (left > best_value ? -1 : 0);
            if (way != 0) {
                float behind = best_value;
                float ahead = way > 0 ? right : left;
                while (ahead > best_value) {
                    behind = best_value;
                    best_value = ahead;
                    best += way;
                    if (std::abs(best - middle) >= reach) {
                        flank = true; // still rising at the end of the search
                        break;
                    }
                    ahead = value(best + way);
                }
                left = way > 0 ? behind : ahead;
                right = way > 0 ? ahead : behind;
            }
        }
        // From a high half to a low one the step is twice the amplitude over `width` samples
        // either side; a third of it lost is the most noise may take.
        if (flank || !(best_value > 1.3f * level * static_cast<float>(width))) continue;
        // Between samples: a parabola through the peak and its neighbours.
        float offset = 0.f;
        const float curve = left - 2.f * best_value + right;
        if (curve < 0.f) offset = std::max(-0.5f, std::min(0.5f, 0.5f * (left - right) / curve));
        index[n] = 2 * first + j;
        where[n] = static_cast<double>(best) + offset;
        ++n;
    }
    // Half the steps at least, both ways in a burst of three pulses or more: a slow wave cut
    // into 8-bit steps has them one way only.
    int falls = 0;
    for (int i = 0; i < n; ++i) falls += static_cast<int>(index[i]) % 2 == 0;
    if (n < 1 || 2 * n < steps || (steps >= 5 && (falls == 0 || falls == n))) return false;
    // A step found on a whole sample is off by up to half a sample either way.
    const double scatter = 0.3;
    const double allowed = spread * half;
    double c0 = centre, delta = 0.0;
    for (int pass = 0; pass < 2; ++pass) {
        // Least squares of position on index: position = index * half + c0 + index * delta,
        // delta (the change of the half period) held towards 0.
        double mean_i = 0.0, mean_w = 0.0;
        for (int i = 0; i < n; ++i) {
            mean_i += index[i];
            mean_w += where[i] - index[i] * half;
        }
        mean_i /= n;
        mean_w /= n;
        double sii = 0.0, siw = 0.0;
        for (int i = 0; i < n; ++i) {
            const double di = index[i] - mean_i;
            sii += di * di;
            siw += di * (where[i] - index[i] * half - mean_w);
        }
        const double change = siw / (sii + scatter * scatter / (allowed * allowed));
        delta = std::max(-0.1 * half, std::min(0.1 * half, change));
        c0 = mean_w - delta * mean_i;
        if (pass == 1) break;
        // Drop the steps more than a sample off the grid: noise found where a step was hoped.
        int kept = 0;
        for (int i = 0; i < n; ++i) {
            if (std::fabs(where[i] - (c0 + index[i] * (half + delta))) <= 1.0) {
                index[kept] = index[i];
                where[kept] = where[i];
                ++kept;
            }
        }
        if (kept == n) break;
        n = kept;
        if (n < 1 || 2 * n < steps) return false;
    }
    const double new_half = half + delta;
    out.centre = c0;
    out.period = 2.0 * new_half;
    out.steps = n;
    return true;
}
