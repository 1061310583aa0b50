#include "demod/pulse_grid.h"

#include <algorithm>
#include <cmath>

namespace {

// The most edges one call uses: (to - from + 1) points need 2 per point and 3 more.
constexpr int max_edges = 2 * 64 + 4;

// The running sum up to an edge, straight share: an exact whole part and a fraction.
struct EdgeSum {
    uint32_t whole;
    float part;
};

inline EdgeSum edge_sum(const SampleHistory& h, double position) {
    auto i = static_cast<int64_t>(position);
    if (static_cast<double>(i) > position) --i;
    const auto share = static_cast<float>(position - static_cast<double>(i));
    return {h.sum_before(i), share * static_cast<float>(h.sample(i))};
}

// Edges at c0 + (first + j) * half for j = 0..count-1.
void edge_sums(const SampleHistory& h, double c0, double half, int first, int count, EdgeSum* out) {
    for (int j = 0; j < count; ++j) out[j] = edge_sum(h, c0 + (first + j) * half);
}

// A sample whose middle lies within this distance of an edge is counted by its value.
constexpr double ambiguous_reach = 0.4;

// Where an edge falls for the resolved response: the sums before the last sample wholly left
// of it and before the first wholly right of it, and the sample between when there is one.
struct ResolvedEdge {
    uint32_t left_end;    // running sum at the end of the samples wholly before the edge
    uint32_t right_start; // running sum at the start of the samples wholly after it
    int64_t left_index, right_index;
    float cut;            // the sample cut by the edge (0 when none)
    bool ambiguous;
};

inline ResolvedEdge resolved_edge(const SampleHistory& h, double position, double reach,
                                  const Baseline& baseline) {
    auto j = static_cast<int64_t>(position);
    if (static_cast<double>(j) > position) --j;
    const double d = position - (static_cast<double>(j) + 0.5);
    ResolvedEdge e;
    if (d >= reach) {
        e.left_index = e.right_index = j + 1;
        e.ambiguous = false;
        e.cut = 0.f;
    } else if (d <= -reach) {
        e.left_index = e.right_index = j;
        e.ambiguous = false;
        e.cut = 0.f;
    } else {
        e.left_index = j;
        e.right_index = j + 1;
        e.ambiguous = true;
        e.cut = static_cast<float>(h.sample(j)) - baseline.level(j);
    }
    e.left_end = h.sum_before(e.left_index);
    e.right_start = e.ambiguous ? h.sum_before(e.right_index) : e.left_end;
    return e;
}

} // namespace

void grid_responses(const SampleHistory& h, double c0, double period, int from, int to,
                    float sign, float* out) {
    if (to < from) return;
    const double half = 0.5 * period;
    EdgeSum e[max_edges];
    const int count = std::min(max_edges, 2 * (to - from) + 3);
    edge_sums(h, c0, half, 2 * from - 1, count, e);
    for (int k = from; k <= to && 2 * (k - from) + 2 < count; ++k) {
        const EdgeSum& a = e[2 * (k - from)];
        const EdgeSum& b = e[2 * (k - from) + 1];
        const EdgeSum& c = e[2 * (k - from) + 2];
        const auto whole = static_cast<int32_t>(2u * b.whole - a.whole - c.whole);
        out[k] = sign * (static_cast<float>(whole) + 2.f * b.part - a.part - c.part);
    }
}

void grid_resolved(const SampleHistory& h, double c0, double period, int from, int to, float sign,
                   const Baseline& baseline, float* value, float* length) {
    if (to < from) return;
    const double half = 0.5 * period;
    const double reach = std::max(0.0, std::min(ambiguous_reach, 0.5 * half - 0.05));
    ResolvedEdge e[max_edges];
    const int count = std::min(max_edges, 2 * (to - from) + 3);
    for (int j = 0; j < count; ++j) {
        e[j] = resolved_edge(h, c0 + (2 * from - 1 + j) * half, reach, baseline);
    }
    for (int k = from; k <= to && 2 * (k - from) + 2 < count; ++k) {
        const ResolvedEdge& a = e[2 * (k - from)];     // before the high half
        const ResolvedEdge& b = e[2 * (k - from) + 1]; // the centre
        const ResolvedEdge& c = e[2 * (k - from) + 2]; // after the low half
        // The halves' sums above the silence's level (their lengths may differ by a sample,
        // and an offset would then count).
        const int64_t high_count = std::max<int64_t>(0, b.left_index - a.right_index);
        const int64_t low_count = std::max<int64_t>(0, c.left_index - b.right_index);
        const auto high = static_cast<float>(static_cast<int32_t>(b.left_end - a.right_start)) -
                          static_cast<float>(high_count) *
                              baseline.level((a.right_index + b.left_index) / 2);
        const auto low = static_cast<float>(static_cast<int32_t>(c.left_end - b.right_start)) -
                         static_cast<float>(low_count) *
                             baseline.level((b.right_index + c.left_index) / 2);
        float v = sign * (high - low);
        auto n = static_cast<float>(high_count + low_count);
        if (a.ambiguous) {
            // Before the high half: the previous low half (or silence), or this high half.
            const float x = sign * a.cut;
            if (x > 0.f) {
                v += x;
                n += 1.f;
            }
        }
        if (b.ambiguous) {
            v += std::fabs(b.cut);
            n += 1.f;
        }
        if (c.ambiguous) {
            const float x = sign * c.cut;
            if (x < 0.f) {
                v -= x;
                n += 1.f;
            }
        }
        value[k] = v;
        length[k] = n;
    }
}
