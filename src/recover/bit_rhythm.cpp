#include "recover/bit_rhythm.h"

#include <algorithm>
#include <cmath>

namespace {

// Nominal timing at speed 1, in seconds.
constexpr double nominal_pause = 1300e-6;
constexpr double nominal_length0 = 1200e-6; // 4 pulses of 300 us
constexpr double nominal_length1 = 2700e-6; // 9 pulses

// Gaps in parts of the pause.
constexpr double join_below = 0.45;  // pieces of one burst
constexpr double rhythm_below = 1.6; // a pause, with no room for a bit
constexpr double stray_below = 1.5;  // a short burst inside a gap this long is a stray
constexpr double break_from = 30.0;  // a silence: a program may start after it

// The pause relative to a 0 bit's burst (1300 us against 1200 us), used when there is nothing
// learnt to go by.
constexpr double pause_per_length0 = nominal_pause / nominal_length0;

// After this long a silence the speed may have changed: the next pause is learnt afresh.
constexpr double loose_after = 0.25;

// How fast the learnt timing follows the bits.
constexpr double learn_rate = 0.25;

bool counted_exactly(const HeardBit& bit) {
    return bit.pulses == 4 || bit.pulses == 9;
}

} // namespace

BitRhythm::BitRhythm(int rate)
    : rate_(rate), pause_(nominal_pause * rate), length0_(nominal_length0 * rate),
      length1_(nominal_length1 * rate) {}

bool BitRhythm::short_burst(const HeardBit& bit) const {
    if (bit.pulses > 0) return bit.pulses <= 3;
    return static_cast<double>(bit.end - bit.start) < 0.5 * length0_;
}

int64_t BitRhythm::room_for_bits(int64_t gap) const {
    if (static_cast<double>(gap) < rhythm_below * pause_) return 0;
    const double slot = pause_ + 0.5 * (length0_ + length1_);
    const double bits = std::round((static_cast<double>(gap) - pause_) / slot);
    return static_cast<int64_t>(std::clamp(bits, 1.0, 1e12));
}

void BitRhythm::join_into_held(const HeardBit& bit) {
    HeardBit& joined = held_.bit;
    const int pulses = joined.pulses > 0 && bit.pulses > 0 ? joined.pulses + bit.pulses : 0;
    joined.end = std::max(joined.end, bit.end);
    joined.pulses = static_cast<uint8_t>(std::min(pulses, 255));
    joined.certain = false;
    if (pulses == 4 || pulses == 9) {
        joined.value = pulses == 9 ? 1 : 0;
    } else {
        const double length = static_cast<double>(joined.end - joined.start);
        joined.value = length > 0.5 * (length0_ + length1_) ? 1 : 0;
    }
    joined.confidence = std::min(joined.confidence, bit.confidence) * 0.75f;
    if (joined.confidence < 0.5f) joined.confidence = 0.5f;
    held_.joined = true;
}

void BitRhythm::learn(const TapeEvent& event) {
    const HeardBit& bit = event.bit;
    if (!bit.certain || event.joined || !counted_exactly(bit)) return;
    const auto length = static_cast<double>(bit.end - bit.start);
    double& learnt = bit.value != 0 ? length1_ : length0_;
    learnt += learn_rate * (length - learnt);
    if (!before_held_certain_ || event.lost > 0 || event.strays > 0 || event.noise_before ||
        event.after_break) {
        return;
    }
    const auto gap = static_cast<double>(event.gap);
    if (gap < 0.5 * pause_) {
        pause_ = gap; // the speed went up since the pause was learnt
    } else {
        pause_ += learn_rate * (gap - pause_);
    }
}

void BitRhythm::release_held(std::vector<TapeEvent>& out) {
    if (!has_held_) return;
    learn(held_);
    before_held_end_ = held_.bit.end;
    before_held_certain_ = held_.bit.certain && !held_.joined;
    out.push_back(held_);
    has_held_ = false;
}

void BitRhythm::take_noise(const HeardNoise& noise) {
    if (noise.end <= last_end_) return;
    if (!noise_since_) noise_start_ = std::max(noise.start, last_end_);
    noise_since_ = true;
    noise_frames_ += noise.end - std::max(noise.start, last_end_);
}

void BitRhythm::take_bit(const HeardBit& bit, std::vector<TapeEvent>& out) {
    if (has_held_) {
        const int64_t gap = bit.start - held_.bit.end;
        // Two whole bursts are two bits however close they are.
        const bool both_whole = held_.bit.certain && !held_.joined && bit.certain;
        if (static_cast<double>(gap) < join_below * pause_ && !noise_since_ && !both_whole) {
            if (held_.bit.certain && !held_.joined && short_burst(bit)) {
                // A click or a stray pulse right after a whole burst.
                if (pending_strays_++ == 0) {
                    pending_stray_frame_ = bit.start;
                    pending_stray_pulses_ = bit.pulses;
                }
            } else {
                join_into_held(bit);
                last_end_ = held_.bit.end;
            }
            return;
        }
        // A short burst alone in what is otherwise one pause is not a bit.
        const bool stray = before_held_end_ >= 0 && !held_.bit.certain && short_burst(held_.bit) &&
                           !held_.after_break &&
                           static_cast<double>(bit.start - before_held_end_) < stray_below * pause_;
        if (stray) {
            pending_strays_ += held_.strays + 1;
            pending_stray_frame_ = held_.strays > 0 ? held_.stray_frame : held_.bit.start;
            pending_stray_pulses_ = held_.strays > 0 ? held_.stray_pulses : held_.bit.pulses;
            noise_since_ = noise_since_ || held_.noise_before;
            last_end_ = before_held_end_;
            has_held_ = false;
        } else {
            release_held(out);
        }
    }

    TapeEvent event;
    event.bit = bit;
    event.noise_before = noise_since_;
    event.noise_start = noise_start_;
    event.noise_frames = noise_frames_;
    event.strays = pending_strays_;
    event.stray_frame = pending_stray_frame_;
    event.stray_pulses = pending_stray_pulses_;
    if (last_end_ < 0) {
        event.after_break = true;
    } else {
        event.gap = bit.start - last_end_;
        const auto gap = static_cast<double>(event.gap);
        if (gap >= loose_after * rate_) pause_loose_ = true;
        // After a long silence, the first pause between two whole bursts sets the speed,
        // unless it is far longer than the bursts say a pause can be.
        if (pause_loose_ && before_held_certain_ && bit.certain && counted_exactly(bit) &&
            !event.noise_before) {
            const double length0 = bit.value != 0
                                       ? static_cast<double>(bit.end - bit.start) * 1200.0 / 2700.0
                                       : static_cast<double>(bit.end - bit.start);
            const double expected = pause_per_length0 * length0;
            if (gap > 0.5 * expected && gap < rhythm_below * expected) {
                pause_ = gap;
                pause_loose_ = false;
            }
        }
        event.lost = room_for_bits(event.gap);
        event.after_break = event.noise_before || gap >= break_from * pause_;
    }
    held_ = event;
    has_held_ = true;
    last_end_ = bit.end;
    noise_since_ = false;
    noise_frames_ = 0;
    pending_strays_ = 0;
}

void BitRhythm::take(const std::vector<HeardBit>& bits, const std::vector<HeardNoise>& noise,
                     std::vector<TapeEvent>& out) {
    noise_next_ = 0;
    for (const HeardBit& bit : bits) {
        while (noise_next_ < noise.size() && noise[noise_next_].start < bit.start) {
            take_noise(noise[noise_next_++]);
        }
        take_bit(bit, out);
    }
    while (noise_next_ < noise.size())
        take_noise(noise[noise_next_++]);
}

void BitRhythm::finish(std::vector<TapeEvent>& out) {
    release_held(out);
}
