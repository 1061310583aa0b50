// The recent working samples and their running sums, for window sums at any position.
//
// A ring of 2^n samples. Beside each sample it keeps the sum of every sample before it,
// modulo 2^32: the sum over a window of fewer than 2^9 samples is then the difference of two
// running sums, exact at any length of recording. Positions are in working samples; sample i
// covers [i, i + 1), its middle is i + 0.5. A window may start and end anywhere: the sample its
// edge cuts counts in part (see `soft_sum`). Before the first sample the history holds silence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class SampleHistory {
  public:
    /// A history of 2^`capacity_log2` samples.
    explicit SampleHistory(int capacity_log2);

    /// Appends `count` samples; the oldest ones beyond the capacity are forgotten.
    void append(const int32_t* samples, std::size_t count);

    /// One past the newest sample.
    int64_t end() const { return end_; }
    /// How many samples are kept.
    int64_t capacity() const { return mask_ + 1; }

    /// Sample `i`, for end() - capacity() <= i < end().
    int32_t sample(int64_t i) const { return samples_[static_cast<std::size_t>(i & mask_)]; }
    /// The samples from `i` on as they lie in the ring (contiguous up to the ring's end).
    const int32_t* samples_from(int64_t i) const {
        return samples_.data() + static_cast<std::size_t>(i & mask_);
    }
    /// The sum of every sample before `i`, modulo 2^32.
    uint32_t sum_before(int64_t i) const { return sums_[static_cast<std::size_t>(i & mask_)]; }

  private:
    std::vector<int32_t> samples_;
    std::vector<uint32_t> sums_;
    int64_t mask_;
    int64_t end_ = 0;
    uint32_t running_ = 0;
};

/// Where a window edge at `position` falls: the sample it cuts and how much of that sample lies
/// before the edge. `sharpness` is 1 for a straight share (the part of the sample's interval
/// before the edge) and larger to count the sample whole on the side of its middle, except
/// within 0.5 / sharpness of it.
struct WindowEdge {
    int64_t sample;
    float share;
};

inline WindowEdge window_edge(double position, float sharpness) {
    auto i = static_cast<int64_t>(position);
    if (static_cast<double>(i) > position) --i;
    float share = (static_cast<float>(position - static_cast<double>(i)) - 0.5f) * sharpness + 0.5f;
    share = share < 0.f ? 0.f : (share > 1.f ? 1.f : share);
    return {i, share};
}

/// The pulse response at `centre`: the sum over the `half` before it minus the sum over the
/// `half` after it. A square pulse (high then low) centred there gives its amplitude times the
/// window's length; silence, a constant and a slow ramp give about 0.
inline float pulse_response(const SampleHistory& h, double centre, double half, float sharpness) {
    const WindowEdge a = window_edge(centre - half, sharpness);
    const WindowEdge b = window_edge(centre, sharpness);
    const WindowEdge c = window_edge(centre + half, sharpness);
    const uint32_t whole = 2u * h.sum_before(b.sample) - h.sum_before(a.sample) -
                           h.sum_before(c.sample);
    return static_cast<float>(static_cast<int32_t>(whole)) +
           2.f * b.share * static_cast<float>(h.sample(b.sample)) -
           a.share * static_cast<float>(h.sample(a.sample)) -
           c.share * static_cast<float>(h.sample(c.sample));
}
