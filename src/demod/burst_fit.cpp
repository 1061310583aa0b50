#include "demod/burst_fit.h"

#include "demod/pulse_grid.h"

#include <algorithm>
#include <cmath>

namespace {

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
// How far an edge on a whole sample moves a centre's estimate (samples, RMS).
constexpr double sampling_jitter = 0.3;
// A coarse run scoring this much per point was found at a good phase.
constexpr float good_phase = 0.35f;
// A burst is judged against at least this share of the level expected.
constexpr float least_level = 0.7f;
// The first point of a burst scores above this.
constexpr float clear_score = 1.f;
// A point more than this share above the burst's level (beyond the noise) is an excess.
constexpr float excess_share = 0.7f;

// The median of a few values (reordered).
float median(float* values, int count) {
    for (int i = 1; i < count; ++i) {
        const float v = values[i];
        int j = i;
        for (; j > 0 && values[j - 1] > v; --j) values[j] = values[j - 1];
        values[j] = v;
    }
    return count % 2 == 1 ? values[count / 2] : 0.5f * (values[count / 2 - 1] + values[count / 2]);
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

namespace {

// The grid's coarse amplitudes (straight shares), computed as far as they are needed, a few
// points at a time.
struct CoarseGrid {
    const SampleHistory& history;
    const BurstFit& fit;
    float sign;
    float* amp;
    int evaluated = 0;

    float at(int k) {
        if (k >= evaluated) {
            const int to = std::min(fit.points - 1, std::max(k, evaluated + 7));
            grid_responses(history, fit.centre0, fit.period, evaluated, to, sign, amp);
            const auto window = static_cast<float>(fit.period);
            for (int i = evaluated; i <= to; ++i) amp[i] /= window;
            evaluated = to + 1;
        }
        return amp[k];
    }
};

// The first run of the coarse grid against `guess`, evaluating only what it needs: the first
// clearly positive point, the stretch around it up to two points in a row without a pulse,
// cut to its best run.
float coarse_first_run(CoarseGrid& g, float guess, int& first, int& last) {
    const int count = g.fit.points;
    auto score = [&](int k) { return (g.at(k) - coarse_pulse * guess) / guess; };
    int start = 0;
    while (start < count && score(start) <= coarse_clear) ++start;
    if (start == count) return 0.f;
    int end = start;
    while (end + 1 < count && !(score(end + 1) < 0.f && (end + 2 >= count || score(end + 2) < 0.f))) {
        ++end;
    }
    while (start > 0 && !(score(start - 1) < 0.f && (start < 2 || score(start - 2) < 0.f))) {
        --start;
    }
    float z[max_grid_points];
    for (int k = start; k <= end; ++k) z[k] = score(k);
    return best_run(z, start, end, first, last);
}

} // namespace

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
    double half = 0.5 * f.period;

    // Coarse: straight shares at the hinted grid, a run against part of the expected level.
    // A hint that missed the phase by a quarter period or more sees weak pulses or none: then
    // the other quarters are tried, and among those that find the earliest burst the best one
    // wins.
    float guess = r.level;
    if (!(guess > 0.f)) {
        // No level known yet: the strongest point of the window.
        CoarseGrid g{h, f, sign, amp};
        for (int k = 0; k < f.points; ++k) guess = std::max(guess, g.at(k));
        if (!(guess > 0.f)) return f;
    }
    const double hinted = f.centre0;
    int starts[4] = {}, ends[4] = {};
    float scores[4] = {};
    int tried = 0;
    for (int quarter = 0; quarter < 4; ++quarter) {
        f.centre0 = hinted + quarter * 0.25 * f.period;
        CoarseGrid g{h, f, sign, amp};
        scores[quarter] = coarse_first_run(g, guess, starts[quarter], ends[quarter]);
        tried = quarter + 1;
        // A run whose pulses are mostly near the level: the hint was good.
        if (quarter == 0 &&
            scores[0] >= good_phase * static_cast<float>(ends[0] - starts[0] + 1)) {
            break;
        }
    }
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
    int first = starts[best], last = ends[best];
    f.centre0 = hinted + best * 0.25 * f.period;

    // The chosen quarter's coarse amplitudes, from the run to three points past it.
    {
        CoarseGrid g{h, f, sign, amp};
        if (best == tried - 1) g.evaluated = std::min(f.points, last + 3);
        g.at(std::min(f.points - 1, last + 3));
    }

    // Refine phase and period from the slopes either side of the run's inner centres: at a
    // distance of a quarter period the response has fallen by the same amount on both sides
    // when the centre is right, and the difference grows with the error. The period's change
    // is held back by what the expected period already says (a ridge regression), since a few
    // noisy centres say little about it.
    {
        int n = 0;
        for (int k = first; k <= last; ++k) scratch[n++] = amp[k];
        const float ref = median(scratch, n);
        const int inner_first = last - first >= 2 ? first + 1 : first;
        const int inner_last = last - first >= 2 ? last - 1 : last;
        const double q = 0.5 * half;
        float slopes[max_grid_points];
        grid_slopes(h, f.centre0, f.period, inner_first, inner_last, sign, slopes);
        double ks[max_grid_points], taus[max_grid_points];
        int used = 0;
        for (int k = inner_first; k <= inner_last && ref > 0.f; ++k) {
            if (amp[k] < 0.5f * ref) continue;
            ks[used] = k;
            taus[used] = std::max(-q, std::min(q, slopes[k] / (8.0 * ref)));
            ++used;
        }
        if (used > 0) {
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
            // The timing noise of one centre against how far the period may have moved
            // (noise, and the sampling: square pulses put their edges on whole samples, which
            // moves each centre's estimate by up to a third of a sample).
            const double noisy = 1.5 * r.noise * std::sqrt(2.0 * half) / (8.0 * ref);
            const double timing = std::sqrt(noisy * noisy + sampling_jitter * sampling_jitter);
            const double drift = period_drift * r.period;
            double slope = skt / (skk + (timing * timing) / (drift * drift));
            slope = std::max(-0.08 * f.period, std::min(0.08 * f.period, slope));
            f.centre0 += mean_tau - slope * mean_k;
            f.period += slope;
            half = 0.5 * f.period;
        }
    }

    // Final measure with the edges' samples resolved by value, judged against the level of the
    // coarse run's points (or part of the bursts' level, when a few points of noise make their
    // own low one); the range widens while the run comes within three points of its ends.
    float length[max_grid_points];
    float value[max_grid_points];
    int lo = std::max(0, first - 3), hi = std::min(f.points - 1, last + 3);
    float linear[max_grid_points]; // the coarse amplitudes, for the noise in the pauses
    std::copy(amp + lo, amp + hi + 1, linear + lo);
    const int linear_lo = lo, linear_hi = hi;
    grid_resolved(h, f.centre0, f.period, lo, hi, sign, value, length);
    for (int k = lo; k <= hi; ++k) amp[k] = length[k] > 0.f ? value[k] / length[k] : 0.f;
    {
        int n = 0;
        for (int k = first; k <= last; ++k) scratch[n++] = amp[k];
        f.level = std::max(median(scratch, n), least_level * r.level);
    }
    if (!(f.level > 0.f)) return f;
    const float noise2 = r.noise * r.noise;
    const float spread2 = (level_spread * f.level) * (level_spread * f.level);
    auto score = [&](int from, int to) {
        for (int k = from; k <= to; ++k) {
            f.amplitude[k] = amp[k];
            const float len = length[k] > 0.5f ? length[k] : 0.5f;
            f.z[k] = (amp[k] - 0.5f * f.level) / std::sqrt(noise2 / len + spread2);
        }
    };
    auto measure = [&](int from, int to) {
        grid_resolved(h, f.centre0, f.period, from, to, sign, value, length);
        for (int k = from; k <= to; ++k) amp[k] = length[k] > 0.f ? value[k] / length[k] : 0.f;
        score(from, to);
    };
    score(lo, hi);
    int done_lo = lo, done_hi = hi;
    for (;;) {
        if (lo < done_lo) measure(lo, done_lo - 1);
        if (hi > done_hi) measure(std::max(done_hi + 1, lo), hi);
        done_lo = lo;
        done_hi = hi;
        int a0 = 0, a1 = -1;
        f.score = first_run(f.z + lo, hi - lo + 1, clear_score, a0, a1);
        if (f.score <= 0.f) return f;
        f.first = lo + a0;
        f.last = lo + a1;
        const int want_lo = std::max(0, f.first - 3), want_hi = std::min(f.points - 1, f.last + 3);
        if (want_lo >= lo && want_hi <= hi) break;
        lo = std::min(lo, want_lo);
        hi = std::max(hi, want_hi);
    }
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
    // Two and three periods out, in the pauses, nothing should be: a pulse there is a stray,
    // and the responses there are the noise (at points the burst chose, not the noise).
    float power = 0.f;
    for (int k = std::max(lo, f.first - 3); k <= std::min(hi, f.last + 3); ++k) {
        if (k >= f.first - 1 && k <= f.last + 1) continue;
        if (f.z[k] > stray_score) f.stray = true;
        if (k < linear_lo || k > linear_hi) continue;
        power += linear[k] * linear[k] * static_cast<float>(f.period);
        ++f.pause_points;
    }
    if (f.pause_points > 0) f.pause_power = power / static_cast<float>(f.pause_points);
    return f;
}
