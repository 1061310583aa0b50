#include "recover/take_alignment.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int32_t infinite = std::numeric_limits<int32_t>::max() / 4;

// Costs of the steps.
constexpr int32_t clash_pair = 100;      // both heard clearly, and they differ
constexpr int32_t one_unclear_pair = 5;  // one heard clearly, the other unclear, and they differ
constexpr int32_t both_unclear_pair = 2; // both unclear, and they differ
constexpr int32_t lone_lost = 1;         // a lost bit too many
constexpr int32_t lone_in_gap = 2;       // a bit too few beside lost bits
constexpr int32_t lone_at_damage = 4;    // a bit too many or too few at a damaged place
constexpr int32_t lone_clean = 300;      // a bit too many or too few where all was clean

// The band around the diagonal: wide enough for the miscounts of the lost bits.
constexpr int min_band = 16;
constexpr int max_band = 192;

enum Move : uint8_t { no_move = 0, diagonal = 1, first_alone = 2, second_alone = 3 };

bool damaged(const AlignedBit& bit) {
    return bit.clarity != Clarity::clear;
}

int32_t pair_cost(const AlignedBit& a, const AlignedBit& b) {
    if (a.clarity == Clarity::none || b.clarity == Clarity::none || a.value == b.value) return 0;
    if (a.clarity == Clarity::clear && b.clarity == Clarity::clear) return clash_pair;
    if (a.clarity == Clarity::clear || b.clarity == Clarity::clear) return one_unclear_pair;
    return both_unclear_pair;
}

// A bit of one sequence without a partner, between bits `at - 1` and `at` of the other.
int32_t lone_cost(const AlignedBit& lone, const std::vector<AlignedBit>& other, std::size_t at) {
    if (lone.clarity == Clarity::none) return lone_lost;
    const bool before = at > 0, after = at < other.size();
    if ((before && other[at - 1].clarity == Clarity::none) ||
        (after && other[at].clarity == Clarity::none)) {
        return lone_in_gap;
    }
    if (damaged(lone) || (before && damaged(other[at - 1])) || (after && damaged(other[at]))) {
        return lone_at_damage;
    }
    return lone_clean;
}

// Both sequences clean and as long: the diagonal is the alignment.
Alignment diagonal_alignment(const std::vector<AlignedBit>& first,
                             const std::vector<AlignedBit>& second) {
    Alignment alignment;
    alignment.steps.reserve(first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        const auto at = static_cast<int32_t>(i);
        alignment.steps.push_back({at, at});
        if (first[i].value == second[i].value) {
            ++alignment.clear_pairs;
        } else if (alignment.clashes++ == 0) {
            alignment.first_clash = at;
        }
    }
    return alignment;
}

} // namespace

Alignment align_bits(const std::vector<AlignedBit>& first, const std::vector<AlignedBit>& second) {
    const std::size_t n = first.size(), m = second.size();
    const auto lost = [](const std::vector<AlignedBit>& bits, bool& any_damage) {
        std::size_t count = 0;
        for (const AlignedBit& bit : bits) {
            count += bit.clarity == Clarity::none ? 1 : 0;
            any_damage = any_damage || damaged(bit);
        }
        return count;
    };
    bool any_damage = false;
    const std::size_t lost_bits = lost(first, any_damage) + lost(second, any_damage);
    if (n == m && !any_damage) return diagonal_alignment(first, second);

    const int band =
        static_cast<int>(std::clamp<std::size_t>(min_band + lost_bits / 2, min_band, max_band));
    const std::size_t width = 2 * static_cast<std::size_t>(band) + 1;
    std::vector<int32_t> previous(width, infinite), current(width, infinite);
    std::vector<uint8_t> trace(((n + 1) * width + 3) / 4, 0); // a move in 2 bits per cell
    const auto set_move = [&](std::size_t i, std::size_t k, Move move) {
        const std::size_t cell = i * width + k;
        trace[cell / 4] = static_cast<uint8_t>(trace[cell / 4] | move << (2 * (cell % 4)));
    };
    const auto move_at = [&](std::size_t i, std::size_t k) {
        const std::size_t cell = i * width + k;
        return static_cast<Move>(trace[cell / 4] >> (2 * (cell % 4)) & 3);
    };

    int32_t end_cost = infinite;
    std::size_t end_i = 0, end_j = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        for (std::size_t k = 0; k < width; ++k) {
            const auto j_signed = static_cast<int64_t>(i + k) - band;
            if (j_signed < 0 || j_signed > static_cast<int64_t>(m)) {
                current[k] = infinite;
                continue;
            }
            const auto j = static_cast<std::size_t>(j_signed);
            int32_t best = infinite;
            Move move = no_move;
            if (i == 0 && j == 0) {
                best = 0;
            } else {
                if (i > 0 && j > 0 && previous[k] < infinite) {
                    best = previous[k] + pair_cost(first[i - 1], second[j - 1]);
                    move = diagonal;
                }
                if (i > 0 && k + 1 < width && previous[k + 1] < infinite) {
                    const int32_t cost = previous[k + 1] + lone_cost(first[i - 1], second, j);
                    if (cost < best) {
                        best = cost;
                        move = first_alone;
                    }
                }
                if (j > 0 && k > 0 && current[k - 1] < infinite) {
                    const int32_t cost = current[k - 1] + lone_cost(second[j - 1], first, i);
                    if (cost < best) {
                        best = cost;
                        move = second_alone;
                    }
                }
            }
            current[k] = best;
            if (move != no_move) set_move(i, k, move);
            if (best < infinite && (i == n || j == m) &&
                (best < end_cost || (best == end_cost && i + j > end_i + end_j))) {
                end_cost = best;
                end_i = i;
                end_j = j;
            }
        }
        std::swap(previous, current);
    }

    Alignment alignment;
    std::vector<AlignmentStep>& steps = alignment.steps;
    int32_t first_clash = -1;
    for (std::size_t i = end_i, j = end_j; i > 0 || j > 0;) {
        const std::size_t k = j + static_cast<std::size_t>(band) - i;
        const Move move = move_at(i, k);
        if (move == diagonal) {
            --i;
            --j;
            steps.push_back({static_cast<int32_t>(i), static_cast<int32_t>(j)});
            if (pair_cost(first[i], second[j]) == clash_pair) {
                ++alignment.clashes;
                first_clash = static_cast<int32_t>(i);
            } else if (first[i].clarity == Clarity::clear && second[j].clarity == Clarity::clear) {
                ++alignment.clear_pairs;
            }
        } else if (move == first_alone) {
            --i;
            steps.push_back({static_cast<int32_t>(i), -1});
            if (lone_cost(first[i], second, j) == lone_clean) {
                ++alignment.clashes;
                first_clash = static_cast<int32_t>(i);
            }
        } else {
            --j;
            steps.push_back({-1, static_cast<int32_t>(j)});
            if (lone_cost(second[j], first, i) == lone_clean) {
                ++alignment.clashes;
                first_clash = static_cast<int32_t>(std::min(i, n - 1));
            }
        }
    }
    std::reverse(steps.begin(), steps.end());
    alignment.first_clash = first_clash;
    for (std::size_t i = end_i; i < n; ++i)
        steps.push_back({static_cast<int32_t>(i), -1});
    for (std::size_t j = end_j; j < m; ++j)
        steps.push_back({-1, static_cast<int32_t>(j)});
    return alignment;
}
