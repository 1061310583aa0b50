#include "demod/burst_fit.h"

#include <algorithm>
#include <cmath>

namespace {

// A sample whose middle lies within this distance of an edge is counted by its value.
constexpr double ambiguous_reach = 0.4;
// The share of its own level by which a burst's pulses may differ without noise (pulse shape,
// clipping, sampling).
constexpr float level_spread = 0.08f;
// A point inside the run scoring below minus this is a hole; one outside it scoring above this
// is a stray pulse.
constexpr float hole_score = 2.5f;
constexpr float stray_score = 2.5f;
// How far, as a share, a burst's period may lie from the one expected (speed changes between
// two bursts).
constexpr double period_drift = 0.015;
// Before the grid is refined, straight shares lose some of a pulse: there a point holds a
// pulse above this share of the expected level, and a burst starts above the second share.
constexpr float coarse_pulse = 0.4f;
constexpr float coarse_clear = 0.15f;
// A coarse run scoring this much per point was found at a good phase.
constexpr float good_phase = 0.35f;
// A burst is judged against at least this share of the level expected.
constexpr float least_level = 0.7f;
// The first point of a burst scores above this.
constexpr float clear_score = 1.f;
// A point more than this share above the burst's level (beyond the noise) is an excess.
constexpr float excess_share = 0.7f;

float median(float* values, int count) {
    std::nth_element(values, values + count / 2, values + count);
    float m = values[count / 2];
    if (count % 2 == 0) {
        m = 0.5f * (m + *std::max_element(values, values + count / 2));
    }
    return m;
}

// Where an edge at `position` falls: the last sample wholly before it plus one (`left_end`),
// the first wholly after it (`right_start`); a sample in between is ambiguous.
struct Edge {
    int64_t left_end;
    int64_t right_start;
};

Edge place_edge(double position, double reach) {
    auto j = static_cast<int64_t>(position);
    if (static_cast<double>(j) > position) --j;
    const double d = position - (static_cast<double>(j) + 0.5);
    if (d >= reach) return {j + 1, j + 1};
    if (d <= -reach) return {j, j};
    return {j, j + 1};
}

int32_t window(const SampleHistory& h, int64_t from, int64_t to) {
    if (to <= from) return 0;
    return static_cast<int32_t>(h.sum_before(to) - h.sum_before(from));
}

// The best run of consecutive scores within [from, to]: first and last index and the total.
float best_run(const float* z, int from, int to, int& first, int& last) {
    float best = 0.f, sum = 0.f;
    int start = from;
    first = from;
    last = from - 1;
    for (int k = from; k <= to; ++k) {
        if (sum <= 0.f) {
            sum = 0.f;
            start = k;
        }
        sum += z[k];
        if (sum > best) {
            best = sum;
            first = start;
            last = k;
        }
    }
    return best;
}

// The first burst among the scores: the stretch around the first clearly positive point, up
// to two points in a row without a pulse on either side, cut to its best run.
float first_run(const float* z, int count, float clear, int& first, int& last) {
    int start = 0;
    while (start < count && z[start] <= clear) ++start;
    if (start == count) {
        first = 0;
        last = -1;
        return 0.f;
    }
    int end = start;
    while (end + 1 < count && !(z[end + 1] < 0.f && (end + 2 >= count || z[end + 2] < 0.f))) {
        ++end;
    }
    while (start > 0 && !(z[start - 1] < 0.f && (start < 2 || z[start - 2] < 0.f))) --start;
    return best_run(z, start, end, first, last);
}

} // namespace

float edge_sharpness(const BurstFit& f) {
    if (!f.found || !(f.level > 0.f)) return 0.f;
    auto amp = [&](int k) { return k >= 0 && k < f.points ? f.amplitude[k] : 0.f; };
    return 0.5f * (amp(f.first) + amp(f.last) - amp(f.first - 1) - amp(f.last + 1)) / f.level;
}

float resolved_pulse_response(const SampleHistory& h, double centre, double half, float sign,
                              float& length) {
    const double reach = std::min(ambiguous_reach, 0.5 * half - 0.05);
    const Edge a = place_edge(centre - half, reach > 0.0 ? reach : 0.0);
    const Edge b = place_edge(centre, reach > 0.0 ? reach : 0.0);
    const Edge c = place_edge(centre + half, reach > 0.0 ? reach : 0.0);
    float value = sign * (static_cast<float>(window(h, a.right_start, b.left_end)) -
                          static_cast<float>(window(h, b.right_start, c.left_end)));
    float count = static_cast<float>(std::max<int64_t>(0, b.left_end - a.right_start) +
                                     std::max<int64_t>(0, c.left_end - b.right_start));
    if (a.left_end != a.right_start) {
        // Before the high half: the previous low half (or silence), or this high half.
        const float x = sign * static_cast<float>(h.sample(a.left_end));
        if (x > 0.f) {
            value += x;
            count += 1.f;
        }
    }
    if (b.left_end != b.right_start) {
        value += std::fabs(static_cast<float>(h.sample(b.left_end)));
        count += 1.f;
    }
    if (c.left_end != c.right_start) {
        const float x = sign * static_cast<float>(h.sample(c.left_end));
        if (x < 0.f) {
            value -= x;
            count += 1.f;
        }
    }
    length = count;
    return value;
}

BurstFit fit_burst(const SampleHistory& h, const FitRequest& r) {
    BurstFit f;
    f.polarity = r.polarity;
    f.period = r.period;
    f.expected = r.period;
    f.noise = r.noise;
    const double k0 = std::ceil((r.from - r.centre) / r.period);
    f.centre0 = r.centre + k0 * r.period;
    f.points = static_cast<int>(std::floor((r.to - f.centre0) / r.period)) + 1;
    if (f.points > max_grid_points) f.points = max_grid_points;
    if (f.points < 1) return f;
    const auto sign = static_cast<float>(r.polarity);
    float amp[max_grid_points];
    float scratch[max_grid_points];

    // Coarse: straight shares at the hinted grid, a run against part of the expected level.
    // A hint that missed the phase by a quarter period or more sees weak pulses or none: then
    // the other quarters are tried, and the one that finds the earliest burst wins.
    double half = 0.5 * f.period;
    int first = 0, last = -1;
    float guess = r.level;
    const double hinted = f.centre0;
    // Per quarter: where its first run starts and how well it scores.
    int starts[4], ends[4];
    float scores[4] = {0.f, 0.f, 0.f, 0.f}, guesses[4] = {};
    int tried = 0;
    for (int quarter = 0; quarter < 4; ++quarter, ++tried) {
        f.centre0 = hinted + quarter * 0.25 * f.period;
        float top = 0.f;
        for (int k = 0; k < f.points; ++k) {
            amp[k] = sign * pulse_response(h, f.centre(k), half, 1.f) / static_cast<float>(2.0 * half);
            top = std::max(top, amp[k]);
        }
        if (!(top > 0.f)) continue;
        guesses[quarter] = r.level > 0.f ? r.level : top;
        for (int k = 0; k < f.points; ++k) {
            scratch[k] = (amp[k] - coarse_pulse * guesses[quarter]) / guesses[quarter];
        }
        scores[quarter] = first_run(scratch, f.points, coarse_clear, starts[quarter], ends[quarter]);
        // A run whose pulses are mostly near the level: the hint was good.
        if (quarter == 0 && scores[0] >= good_phase * static_cast<float>(ends[0] - starts[0] + 1)) {
            tried = 1;
            break;
        }
    }
    // The best among the quarters whose first burst starts with the earliest.
    int earliest = f.points;
    for (int q = 0; q < tried; ++q) {
        if (scores[q] > 0.f) earliest = std::min(earliest, starts[q]);
    }
    int best = -1;
    for (int q = 0; q < tried; ++q) {
        if (scores[q] > 0.f && starts[q] <= earliest + 2 && (best < 0 || scores[q] > scores[best])) {
            best = q;
        }
    }
    if (best < 0) return f;
    const int best_first = starts[best];
    first = starts[best];
    last = ends[best];
    guess = guesses[best];
    const double best_centre = hinted + best * 0.25 * f.period;
    (void)best_first;
    f.centre0 = best_centre;
    for (int k = 0; k < f.points; ++k) {
        amp[k] = sign * pulse_response(h, f.centre(k), half, 1.f) / static_cast<float>(2.0 * half);
    }

    // Refine phase and period from the slopes either side of the run's centres: at a distance
    // of a quarter period the response has fallen by the same amount on both sides when the
    // centre is right, and the difference grows with the error. The period's change is held
    // back by what the expected period already says (a ridge regression), since a few noisy
    // centres say little about it.
    for (int pass = 0; pass < 2; ++pass) {
        int n = 0;
        for (int k = first; k <= last; ++k) scratch[n++] = amp[k];
        const float ref = median(scratch, n);
        if (!(ref > 0.f)) break;
        const int inner_first = last - first >= 2 ? first + 1 : first;
        const int inner_last = last - first >= 2 ? last - 1 : last;
        const double q = 0.5 * half;
        double ks[max_grid_points], taus[max_grid_points];
        int used = 0;
        for (int k = inner_first; k <= inner_last; ++k) {
            if (amp[k] < 0.5f * ref) continue;
            const double c = f.centre(k);
            const float late = sign * pulse_response(h, c + q, half, 1.f);
            const float early = sign * pulse_response(h, c - q, half, 1.f);
            const double tau = (late - early) / (8.0 * ref);
            ks[used] = k;
            taus[used] = std::max(-q, std::min(q, tau));
            ++used;
        }
        if (used == 0) break;
        double mean_k = 0.0, mean_tau = 0.0;
        for (int i = 0; i < used; ++i) {
            mean_k += ks[i];
            mean_tau += taus[i];
        }
        mean_k /= used;
        mean_tau /= used;
        double skk = 0.0, skt = 0.0;
        for (int i = 0; i < used; ++i) {
            skk += (ks[i] - mean_k) * (ks[i] - mean_k);
            skt += (ks[i] - mean_k) * (taus[i] - mean_tau);
        }
        // The timing noise of one centre against how far the period may have moved.
        const double timing = 1.5 * r.noise * std::sqrt(2.0 * half) / (8.0 * ref) + 0.05;
        const double drift = period_drift * r.period;
        double slope = skt / (skk + (timing * timing) / (drift * drift));
        slope = std::max(-0.08 * f.period, std::min(0.08 * f.period, slope));
        f.centre0 += mean_tau - slope * mean_k;
        f.period += slope;
        half = 0.5 * f.period;
        for (int k = 0; k < f.points; ++k) {
            amp[k] = sign * pulse_response(h, f.centre(k), half, 1.f) /
                     static_cast<float>(2.0 * half);
        }
        for (int k = 0; k < f.points; ++k) scratch[k] = (amp[k] - coarse_pulse * guess) / guess;
        if (first_run(scratch, f.points, coarse_clear, first, last) <= 0.f) return f;
    }

    // Final measure with the edges' samples resolved by value; the level from the run.
    float length[max_grid_points];
    for (int k = 0; k < f.points; ++k) {
        const float value = resolved_pulse_response(h, f.centre(k), half, sign, length[k]);
        amp[k] = length[k] > 0.f ? value / length[k] : 0.f;
        f.amplitude[k] = amp[k];
    }
    int n = 0;
    for (int k = first; k <= last; ++k) scratch[n++] = amp[k];
    f.level = median(scratch, n);
    // A few points of noise make their own low level: judge against the bursts' level too.
    f.level = std::max(f.level, least_level * r.level);
    if (!(f.level > 0.f)) return f;
    const float noise2 = r.noise * r.noise;
    const float spread2 = (level_spread * f.level) * (level_spread * f.level);
    for (int k = 0; k < f.points; ++k) {
        const float len = length[k] > 0.5f ? length[k] : 0.5f;
        f.z[k] = (amp[k] - 0.5f * f.level) / std::sqrt(noise2 / len + spread2);
    }
    f.score = first_run(f.z, f.points, clear_score, f.first, f.last);
    if (f.score <= 0.f) return f;
    f.found = true;
    for (int k = f.first + 1; k < f.last; ++k) {
        if (f.z[k] < -hole_score) ++f.holes;
    }
    for (int k = f.first; k <= f.last; ++k) {
        const float len = length[k] > 0.5f ? length[k] : 0.5f;
        if (amp[k] > (1.f + excess_share) * f.level + 4.f * r.noise / std::sqrt(len)) {
            f.excess = true;
        }
    }
    // Two and three periods out, in the pauses, nothing should be.
    for (int k = std::max(0, f.first - 3); k <= std::min(f.points - 1, f.last + 3); ++k) {
        if ((k < f.first - 1 || k > f.last + 1) && f.z[k] > stray_score) f.stray = true;
    }
    // The noise, two and three periods into the pauses either side (the next burst starts more
    // than four periods away): points the burst chose, so the noise did not pick them.
    float power = 0.f;
    for (int k = std::max(0, f.first - 3); k <= std::min(f.points - 1, f.last + 3); ++k) {
        if (k >= f.first - 1 && k <= f.last + 1) continue;
        const float m = pulse_response(h, f.centre(k), half, 1.f);
        power += m * m / static_cast<float>(2.0 * half);
        ++f.pause_points;
    }
    if (f.pause_points > 0) f.pause_power = power / static_cast<float>(f.pause_points);
    return f;
}
