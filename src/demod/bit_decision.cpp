#include "demod/bit_decision.h"

#include <algorithm>
#include <cmath>

namespace {

// The pulses of a 0 and of a 1.
constexpr int zero_pulses = 4;
constexpr int one_pulses = 9;
// A gap within this many periods of the usual one is ordinary.
constexpr double gap_tolerance = 0.4;
// An end may be moved when the pulse score it contradicts is at most this.
constexpr float move_cost_limit = 3.f;
// Next to an ordinary pause an end's own scores may contradict it this much; with nothing to
// compare with they must agree by this much.
constexpr float joined_margin = -3.f;
constexpr float alone_margin = 1.0f;
// A burst's period may differ from the one expected by this share (or a little more than the
// expected one was allowed to be off).
constexpr double period_tolerance = 0.06;

bool sound_pulses(int pulses) { return pulses == zero_pulses || pulses == one_pulses; }

float cost_to_include(const BurstFit& f, int k) {
    const float z = f.score_at(k);
    return z < 0.f ? -z : 0.f;
}
float cost_to_exclude(const BurstFit& f, int k) {
    const float z = f.score_at(k);
    return z > 0.f ? z : 0.f;
}

// How far a burst's start (or end) agrees with its own scores: the end pulse's score and
// minus the score of the point beyond it, whichever is smaller.
float start_margin(const BurstFit& f) {
    const float in = f.score_at(f.first), out = -f.score_at(f.first - 1);
    return in < out ? in : out;
}
float end_margin(const BurstFit& f) {
    const float in = f.score_at(f.last), out = -f.score_at(f.last + 1);
    return in < out ? in : out;
}

bool side_holds(Side side, float margin) {
    switch (side.join) {
    case Join::regular:
        return side.sound && margin > joined_margin;
    case Join::none:
        return margin > alone_margin;
    case Join::broken:
        return false;
    }
    return false;
}

} // namespace

PauseLink link_pause(const BurstFit& before, const BurstFit& after, double period,
                     double usual_gap, double long_gap) {
    PauseLink link;
    const double from = before.centre(before.last);
    const double to = after.centre(after.first);
    if (to - from > long_gap || period <= 0.0) return link;
    link.gap = (to - from) / period;
    const double off = link.gap - usual_gap;
    if (std::fabs(off) <= gap_tolerance) {
        link.join = Join::regular;
        return link;
    }
    link.join = Join::broken;
    // Of two moves that both make the pause ordinary, the one that leaves both bursts with the
    // pulses of a bit (a noise pulse beside a 4 and a weak first pulse of the 9 after it) is
    // the likelier; else the one its pulses contradict least.
    auto prefer_end = [&](int change, float end_cost, float start_cost) {
        const bool end_sound = sound_pulses(before.pulses() + change) && sound_count(after);
        const bool start_sound = sound_count(before) && sound_pulses(after.pulses() + change);
        if (end_sound != start_sound) return end_sound;
        return end_cost <= start_cost;
    };
    if (std::fabs(off - 1.0) <= gap_tolerance) {
        // One pulse short: the earlier burst's next point or the later one's previous point.
        const float end_cost = cost_to_include(before, before.last + 1);
        const float start_cost = cost_to_include(after, after.first - 1);
        const bool end = prefer_end(1, end_cost, start_cost);
        if ((end ? end_cost : start_cost) <= move_cost_limit) {
            (end ? link.move_end : link.move_start) = 1;
            link.join = Join::regular;
            link.gap -= 1.0;
        }
    } else if (std::fabs(off + 1.0) <= gap_tolerance &&
               before.last > before.first && after.last > after.first) {
        // One pulse too many: drop the earlier burst's last or the later one's first.
        const float end_cost = cost_to_exclude(before, before.last);
        const float start_cost = cost_to_exclude(after, after.first);
        const bool end = prefer_end(-1, end_cost, start_cost);
        if ((end ? end_cost : start_cost) <= move_cost_limit) {
            (end ? link.move_end : link.move_start) = -1;
            link.join = Join::regular;
            link.gap += 1.0;
        }
    }
    return link;
}

bool sound_count(const BurstFit& f) { return sound_pulses(f.pulses()); }

namespace {

bool clean_burst(const BurstFit& f) { return f.holes == 0 && !f.excess && !f.stray; }

} // namespace

bool sound_burst(const BurstFit& f) { return sound_count(f) && clean_burst(f); }

HeardBit decide_bit(const BurstFit& f, Side start, Side end, int frames) {
    HeardBit bit;
    const int pulses = f.pulses();
    const double half = 0.5 * f.period;
    bit.start = std::llround((f.centre(f.first) - half) * frames);
    bit.end = std::llround((f.centre(f.last) + half) * frames);
    bit.pulses = static_cast<uint8_t>(pulses > 255 ? 255 : pulses);
    bit.value = pulses >= 7 ? 1 : 0;
    bit.after_pause = start.join == Join::regular;
    const bool count_right = sound_count(f);
    const bool clean = clean_burst(f);
    const bool in_line =
        std::fabs(f.period / f.expected - 1.0) <= std::max(period_tolerance, 1.5 * f.spread);
    const bool sides = side_holds(start, start_margin(f)) && side_holds(end, end_margin(f));
    bit.certain = count_right && clean && in_line && sides;
    if (bit.certain) {
        bit.confidence = 1.f;
    } else {
        // How far the count lies from the nearer of 4 and 9.
        const int distance = pulses <= 6 ? std::abs(pulses - 4) : std::abs(pulses - 9);
        static const float by_distance[] = {0.95f, 0.85f, 0.65f, 0.55f};
        bit.confidence = by_distance[distance < 3 ? distance : 3];
        if (!clean) bit.confidence = 0.5f + 0.5f * (bit.confidence - 0.5f);
    }
    return bit;
}
