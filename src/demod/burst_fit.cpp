#include "demod/burst_fit.h"

#include "demod/edge_timing.h"
#include "demod/pulse_grid.h"
#include "demod/turns.h"

#include <algorithm>
#include <cmath>

namespace {

// The share of its own level by which a burst's pulses may differ without noise (pulse shape,
// clipping, sampling).
constexpr float level_spread = 0.08f;
// A point inside the run scoring below minus this is a hole; one outside it scoring above this
// is a stray pulse.
constexpr float hole_score = 2.5f;
// A pulse's straight responses an eighth of a period either side of its centre add up to at
// least this share of the level times the period.
constexpr float flat_share = 0.2f;
// At a few samples a period, where edges on whole samples can make a real pulse look flat (one
// sample high, then one low and one high again), the share is lower.
constexpr float flat_share_rough = 0.1f;
// That test is made where half the level over a period stands this many times above the noise.
constexpr float flat_noise = 8.f;
constexpr float stray_score = 2.5f;
// Before the grid is placed, a point's envelope says whether it holds a pulse: above this share
// of the expected level (noise alone reaches about a fifth of it at the noise the demodulator
// copes with), and a burst starts with a point at least this much more.
constexpr float coarse_pulse = 0.45f;
constexpr float coarse_clear = 0.25f;
constexpr float coarse_alone = 0.5f;
// Or three points in a row this far above the share for a pulse.
constexpr float coarse_row = 0.f;
// A point whose envelope is below this share of the level holds no pulse, whatever its
// neighbours; nor does a weak one (below the second share) that with the next two stays below
// the third share on average: a pause, whose noise can lift a point or two.
constexpr float coarse_empty = 0.25f;
constexpr float coarse_weak = 0.6f;
constexpr float coarse_gap = 0.6f;
// ...except at a few samples a period, where the envelope of pulses whose edges fall on whole
// samples is lower and rougher.
constexpr float coarse_gap_rough = 0.5f;
constexpr double rough_period = 8.0;
// A point beside a burst whose amplitude is above this share of the level may hold a pulse the
// grid missed.
constexpr float partial_pulse = 0.15f;
// How far from the hinted grid a step between half pulses is looked for, in periods.
constexpr double edge_reach = 0.3;
// A window whose strongest point is above this share of the level expected is looked at again
// against that point.
constexpr float quieter_burst = 0.25f;
// With no level known, the level guessed is this share of the window's strongest point.
constexpr float unknown_level_share = 0.75f;
// A run of three or more found against this share of the level expected, before a run found
// late in the window, is the burst.
constexpr float weaker_burst = 0.65f;
// The least share of the level expected that a run's steps are judged against.
constexpr float run_level_share = 0.6f;
// A burst is judged against at least this share of the level expected.
constexpr float least_level = 0.55f;
// The first point of a burst scores above this.
constexpr float clear_score = 1.f;
// A point more than this share of the burst's level above or below it (beyond the noise) is
// out of line.
constexpr float deviation_share = 0.6f;

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

// Where a grid's pulses are, whatever its phase: each point's envelope, the sizes of the
// responses an eighth of a period either side of it (a quarter period apart, for square
// pulses they add up to the amplitude times the window at any phase), computed as far as they
// are needed, a few points at a time.
struct CoarseEnvelope {
    const SampleHistory& history;
    const BurstFit& fit;
    float* amp;
    float early[max_grid_points]; // the responses an eighth of a period before each point
    float late[max_grid_points];  // and after it
    int evaluated = 0;

    float at(int k) {
        if (k >= evaluated) {
            const int to = std::min(fit.points - 1, std::max(k, evaluated + 3));
            grid_responses(history, fit.centre0 - 0.125 * fit.period, fit.period, evaluated, to,
                           1.f, early);
            grid_responses(history, fit.centre0 + 0.125 * fit.period, fit.period, evaluated, to,
                           1.f, late);
            const auto scale = static_cast<float>(1.0 / fit.period);
            for (int i = evaluated; i <= to; ++i) {
                amp[i] = (std::fabs(early[i]) + std::fabs(late[i])) * scale;
            }
            evaluated = to + 1;
        }
        return amp[k];
    }

    // Where the responses of points first..last peak, relative to the points, in samples: the
    // response near a centre is close to a cosine of the distance, and the two responses a
    // quarter period apart give its phase (their sum the cosine, their difference the sine).
    double peak_offset(int first, int last) const {
        double re = 0.0, im = 0.0;
        for (int k = first; k <= last; ++k) {
            re += early[k] + late[k];
            im += early[k] - late[k];
        }
        return -turns(im, re) * fit.period;
    }
};

// The first run of the envelope against `guess`, evaluating only what it needs: the first
// clearly positive point, the stretch around it up to a point without a pulse, cut to its best
// run.
float coarse_first_run(CoarseEnvelope& g, float guess, int& first, int& last) {
    const int count = g.fit.points;
    const float per_guess = 1.f / guess;
    auto score = [&](int k) { return (g.at(k) - coarse_pulse * guess) * per_guess; };
    auto empty = [&](int k) { return g.at(k) < coarse_empty * guess; };
    // No pulse at k: clearly none; or below the threshold and, with the next point beyond
    // (step -1 or 1), below it on average; or weak and, with the two beyond, well below it.
    auto ends_at = [&](int k, int step) {
        const int next = k + step, after = k + 2 * step;
        // Clearly empty, and not a dip with a pulse right after it.
        if (empty(k) && !(next >= 0 && next < count && score(next) > coarse_clear)) return true;
        if (next < 0 || next >= count) return score(k) < 0.f;
        if (score(k) < 0.f && g.at(k) + g.at(next) < 2.f * coarse_pulse * guess) return true;
        return after >= 0 && after < count && g.at(k) < coarse_weak * guess &&
               g.at(k) + g.at(next) + g.at(after) <
                   3.f * (g.fit.period < rough_period ? coarse_gap_rough : coarse_gap) * guess;
    };
    // A burst starts at a clearly positive point with a pulse after it, or a strong one alone
    // (a stray pulse): noise lifts a lone point now and then; or at three positive points in
    // a row (a burst weaker than the level expected, one side clipped by a hum).
    auto starts = [&](int k) {
        if (score(k) > coarse_clear &&
            ((k + 1 < count && score(k + 1) > 0.f) || score(k) > coarse_alone)) {
            return true;
        }
        return k + 2 < count && score(k) > coarse_row && score(k + 1) > coarse_row &&
               score(k + 2) > coarse_row;
    };
    int start = 0;
    while (start < count && !starts(start)) ++start;
    if (start == count) return 0.f;
    int end = start;
    while (end + 1 < count && !ends_at(end + 1, 1)) ++end;
    while (start > 0 && !ends_at(start - 1, -1)) --start;
    float z[max_grid_points];
    for (int k = start; k <= end; ++k) z[k] = score(k);
    return best_run(z, start, end, first, last);
}

// The silence's level along a burst, from the mean of the pauses either side of it (from three
// quarters of a period to two and a half periods beyond its pulses' centres), a straight line
// between them.
Baseline silence_around(const SampleHistory& h, double first, double last, double period) {
    auto mean = [&](double from, double to) {
        const auto a = static_cast<int64_t>(std::floor(from)), b = static_cast<int64_t>(std::floor(to));
        if (b <= a) return 0.f;
        const auto sum = static_cast<int32_t>(h.sum_before(b) - h.sum_before(a));
        return static_cast<float>(sum) / static_cast<float>(b - a);
    };
    const double before_mid = first - 1.625 * period, after_mid = last + 1.625 * period;
    const float before = mean(first - 2.5 * period, first - 0.75 * period);
    const float after = mean(last + 0.75 * period, last + 2.5 * period);
    Baseline b;
    b.from = before_mid;
    b.at = before;
    b.slope = after_mid > before_mid ? static_cast<float>((after - before) / (after_mid - before_mid)) : 0.f;
    return b;
}

} // namespace

BurstFit fit_burst(const SampleHistory& h, const FitRequest& r) {
    BurstFit f;
    f.polarity = r.polarity;
    f.period = r.period;
    f.expected = r.period;
    f.spread = r.period_spread;
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

    // Where the burst is: the first run of the envelope against part of the expected level.
    float guess = r.level;
    CoarseEnvelope envelope{h, f, amp, {}, {}, 0};
    if (!(guess > 0.f)) {
        // No level known yet: part of the strongest point of the window (a burst's first pulse
        // can stand out, a step from the silence added to it, and the burst before be weaker).
        for (int k = 0; k < f.points; ++k) guess = std::max(guess, envelope.at(k));
        guess *= unknown_level_share;
        if (!(guess > 0.f)) return f;
    }
    int first = 0, last = -1;
    if (coarse_first_run(envelope, guess, first, last) <= 0.f) {
        // Nothing near the level expected: perhaps the level fell at once (a fade reaching the
        // last 8-bit steps, a dropout): try again against the strongest point of the window.
        float top = 0.f;
        for (int k = 0; k < f.points; ++k) top = std::max(top, envelope.at(k));
        if (!(top > quieter_burst * guess && top < guess)) return f;
        guess = top;
        if (coarse_first_run(envelope, guess, first, last) <= 0.f) return f;
    }
    if (r.onset > 0.0 && r.level > 0.f) {
        // A run found well after the onset, or a pulse or two alone: the burst's pulses may be
        // weaker than the level expected (a fade reaching the last 8-bit steps halves it at
        // once, and a burst may begin at the old level). Three of them or more against a lower
        // level, before the run found or around it, are the burst.
        const int onset = static_cast<int>(std::ceil((r.onset - f.centre0) / f.period));
        const bool late = first > onset + 2, short_run = last - first <= 1;
        int weak_first = 0, weak_last = -1;
        if ((late || short_run) &&
            coarse_first_run(envelope, weaker_burst * guess, weak_first, weak_last) > 0.f &&
            weak_last - weak_first >= 2 &&
            ((late && weak_last < first - 1) ||
             (short_run && weak_first <= first && weak_last >= last + 2))) {
            first = weak_first;
            last = weak_last;
            guess *= weaker_burst;
        }
    }
    // The grid moved onto the run's pulses: their centres are where the responses peak (for
    // pulses going low first, where they dip).
    {
        double shift = envelope.peak_offset(first, last);
        if (r.polarity < 0) shift += shift > 0.0 ? -half : half;
        f.centre0 += shift;
    }

    // The grid from the steps between the run's half pulses, looked for near the hinted grid
    // (or half a period away: a hint can only be that far off when it has the polarity wrong).
    // Pulses have them; noise, a click, a slow wave cut into steps by 8-bit samples have not.
    // The steps are judged against the run's own level where it is lower (a fade), though not
    // much lower than the level expected.
    float step_level = guess;
    {
        int n = 0;
        for (int k = first; k <= last && n < max_grid_points; ++k) scratch[n++] = envelope.at(k);
        step_level = std::min(guess, std::max(median(scratch, n), run_level_share * guess));
    }
    EdgeFit e;
    if (fit_edges(h, f.centre0, f.period, first, last, sign, step_level, edge_reach,
                  r.period_spread, e) ||
        fit_edges(h, f.centre0 + half, f.period, first, last, sign, step_level, edge_reach,
                  r.period_spread, e)) {
        f.centre0 = e.centre;
        f.period = e.period;
        half = 0.5 * f.period;
        f.stepped = true;
    }

    // Final measure with the edges' samples resolved by value, judged against the level of the
    // coarse run's points (or part of the bursts' level, when a few points of noise make their
    // own low one); the range widens while the run comes within three points of its ends.
    float length[max_grid_points];
    float value[max_grid_points];
    int lo = std::max(0, first - 3), hi = std::min(f.points - 1, last + 3);
    const Baseline baseline = silence_around(h, f.centre(first), f.centre(last), f.period);
    grid_resolved(h, f.centre0, f.period, lo, hi, sign, baseline, value, length);
    for (int k = lo; k <= hi; ++k) amp[k] = length[k] > 0.f ? value[k] / length[k] : 0.f;
    {
        int n = 0;
        for (int k = first; k <= last; ++k) scratch[n++] = amp[k];
        f.level = std::max(median(scratch, n), least_level * r.level);
    }
    if (!(f.level > 0.f)) return f;
    // The noise the points are judged against: the one expected, or, where the pauses around
    // the run turn out four times noisier or more (a loud sound, before any burst told the
    // noise), half theirs (a pause point may catch a pulse the run missed); then the run is
    // found again.
    float noise = r.noise;
    // The straight responses two and three periods out from a run, in its pauses: the noise
    // there, and a stray pulse (below).
    float linear[max_grid_points];
    int linear_first = -1, linear_last = -1;
    auto pause_responses = [&](int run_first, int run_last) {
        if (run_first == linear_first && run_last == linear_last) return;
        linear_first = run_first;
        linear_last = run_last;
        grid_responses(h, f.centre0, f.period, std::max(0, run_first - 3), run_first - 2, 1.f, linear);
        grid_responses(h, f.centre0, f.period, run_last + 2, std::min(f.points - 1, run_last + 3), 1.f, linear);
    };
    auto pause_noise = [&](int run_first, int run_last) {
        pause_responses(run_first, run_last);
        float power = 0.f;
        int count = 0;
        for (int k : {run_first - 3, run_first - 2, run_last + 2, run_last + 3}) {
            if (k < 0 || k >= f.points) continue;
            power += linear[k] * linear[k] / static_cast<float>(f.period);
            ++count;
        }
        return count > 0 ? std::sqrt(power / static_cast<float>(count)) : 0.f;
    };
    f.noise = noise;
    float noise2 = noise * noise;
    const float spread2 = (level_spread * f.level) * (level_spread * f.level);
    auto score = [&](int from, int to) {
        for (int k = from; k <= to; ++k) {
            f.amplitude[k] = amp[k];
            const float len = length[k] > 0.5f ? length[k] : 0.5f;
            f.z[k] = (amp[k] - 0.5f * f.level) / std::sqrt(noise2 / len + spread2);
        }
    };
    auto measure = [&](int from, int to) {
        grid_resolved(h, f.centre0, f.period, from, to, sign, baseline, value, length);
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
    if (const float local = pause_noise(f.first, f.last); local > 4.f * noise) {
        noise = 0.5f * local;
        f.noise = noise;
        noise2 = noise * noise;
        score(lo, hi);
        int a0 = 0, a1 = -1;
        f.score = first_run(f.z + lo, hi - lo + 1, clear_score, a0, a1);
        if (f.score <= 0.f) return f;
        f.first = lo + a0;
        f.last = lo + a1;
    }
    if (f.stepped && f.period < rough_period) {
        // At a few samples a period each edge falls on the nearest sample, up to half a sample
        // (an eighth of a period or more) off: a grid fitted to the steps of most of a burst
        // can miss its end pulse by a quarter period and measure it half there. A point beside
        // the run holding part of a pulse asks for the grid to be fitted again with it.
        int wide_first = f.first, wide_last = f.last;
        if (f.first > lo && amp[f.first - 1] > partial_pulse * f.level) --wide_first;
        if (f.last < hi && amp[f.last + 1] > partial_pulse * f.level) ++wide_last;
        EdgeFit wide;
        if ((wide_first < f.first || wide_last > f.last) &&
            fit_edges(h, f.centre0, f.period, wide_first, wide_last, sign, step_level, edge_reach,
                      r.period_spread, wide)) {
            f.centre0 = wide.centre;
            f.period = wide.period;
            measure(lo, hi);
            int a0 = 0, a1 = -1;
            f.score = first_run(f.z + lo, hi - lo + 1, clear_score, a0, a1);
            if (f.score <= 0.f) return f;
            f.first = lo + a0;
            f.last = lo + a1;
        }
    }
    // A point whose straight responses are small (an eighth of a period either side, so that
    // the phase does not matter) holds no pulse, whatever its samples cut by the edges say
    // against a baseline gone wrong (a pause far from the silence level measured, under a hum
    // or an offset) or a tape's ringing: the run ends before it, and inside the run it is a
    // hole (below).
    float straight[max_grid_points];
    {
        float early[max_grid_points], late[max_grid_points];
        grid_responses(h, f.centre0 - 0.125 * f.period, f.period, f.first, f.last, 1.f, early);
        grid_responses(h, f.centre0 + 0.125 * f.period, f.period, f.first, f.last, 1.f, late);
        for (int k = f.first; k <= f.last; ++k) straight[k] = std::fabs(early[k]) + std::fabs(late[k]);
    }
    // Where noise could make a pulse look that flat, the scores judge alone.
    const bool quiet =
        0.5f * f.level * std::sqrt(static_cast<float>(f.period)) > flat_noise * noise;
    const float share = f.period < rough_period ? flat_share_rough : flat_share;
    const float least = quiet ? share * f.level * static_cast<float>(f.period) : 0.f;
    while (f.first <= f.last && straight[f.first] < least) ++f.first;
    while (f.last >= f.first && straight[f.last] < least) --f.last;
    if (f.first > f.last) return f;
    f.found = true;
    if (f.first == 0) {
        // The window cut the run: do pulses go on before it (a longer sound, not a burst)?
        float before[1];
        grid_responses(h, f.centre0 - f.period, f.period, 0, 0, sign, before);
        f.continued = before[0] > 0.5f * f.level * static_cast<float>(f.period);
    }
    {
        // Two to four periods after the run a pause has begun: a sound that goes on there,
        // whatever its phase, is no burst.
        float early[max_grid_points], late[max_grid_points];
        const int a = f.last + 2, b = f.last + 4;
        if (b < max_grid_points) {
            grid_responses(h, f.centre0 - 0.125 * f.period, f.period, a, b, 1.f, early);
            grid_responses(h, f.centre0 + 0.125 * f.period, f.period, a, b, 1.f, late);
            const float loud = 0.7f * f.level * static_cast<float>(f.period);
            bool all = true;
            for (int k = a; k <= b; ++k) all = all && std::fabs(early[k]) + std::fabs(late[k]) > loud;
            f.continued = f.continued || all;
        }
    }
    // A hole: a point well below the level inside the run. Where the pauses' noise was taken
    // over, it is judged against the noise known as well: a gap that the pauses' noise hides (a
    // pause between two bursts too close, where a hum or something else makes the pauses loud)
    // is still a gap.
    const float known2 = r.noise_known ? r.noise * r.noise : noise2;
    auto known_z = [&](int k) {
        const float len = length[k] > 0.5f ? length[k] : 0.5f;
        return (amp[k] - 0.5f * f.level) / std::sqrt(known2 / len + spread2);
    };
    for (int k = f.first + 1; k < f.last; ++k) {
        if (f.z[k] < -hole_score || known_z(k) < -hole_score) ++f.holes;
    }
    for (int k = f.first + 1; k < f.last; ++k) {
        if (straight[k] < least && !(f.z[k] < -hole_score || known_z(k) < -hole_score)) ++f.holes;
    }
    for (int k = f.first; k <= f.last; ++k) {
        // Beyond what noise explains, no pulse of a burst stands far from its level: a click,
        // a dropout's edge or a louder part did that.
        const float len = length[k] > 0.5f ? length[k] : 0.5f;
        if (std::fabs(amp[k] - f.level) > deviation_share * f.level + 4.f * noise / std::sqrt(len)) {
            f.excess = true;
        }
    }
    // Two and three periods out, in the pauses, nothing should be: a pulse there is a stray,
    // and the straight responses there are the noise (at points the burst chose, not the
    // noise).
    const int before = std::max(lo, f.first - 3), after = std::min(hi, f.last + 3);
    pause_responses(f.first, f.last);
    float power = 0.f;
    for (int k = before; k <= after; ++k) {
        if (k >= f.first - 1 && k <= f.last + 1) continue;
        if (f.z[k] > stray_score) f.stray = true;
        power += linear[k] * linear[k] / static_cast<float>(f.period);
        ++f.pause_points;
    }
    if (f.pause_points > 0) f.pause_power = power / static_cast<float>(f.pause_points);
    return f;
}
