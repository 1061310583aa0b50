#include "recover/channel_choice.h"

#include <algorithm>
#include <tuple>

namespace {

struct Score {
    int intact = 0;
    int programs = 0;
    int64_t certain_bits = 0;
    double confidence = 0.0;
    std::size_t bursts = 0; // of the blocks that are not programs
    std::size_t items = 0;

    auto key() const {
        return std::make_tuple(intact, programs, certain_bits, confidence, bursts, items);
    }
};

Score score_of(const std::deque<RecoveredProgram>& queue, std::size_t count) {
    Score score;
    for (std::size_t i = 0; i < count; ++i) {
        const RecoveredProgram& p = queue[i];
        ++score.items;
        score.bursts += p.bursts;
        if (p.verdict == Verdict::not_a_program) continue;
        ++score.programs;
        if (p.verdict == Verdict::intact) ++score.intact;
        for (const ProgramBit& bit : p.bits) {
            score.certain_bits += bit.certain ? 1 : 0;
            score.confidence += bit.confidence;
        }
    }
    return score;
}

} // namespace

ChannelChoice::ChannelChoice(int channels) : queues_(static_cast<std::size_t>(channels)) {}

void ChannelChoice::take(int channel, std::vector<RecoveredProgram>& found) {
    auto& queue = queues_[static_cast<std::size_t>(channel)];
    for (RecoveredProgram& p : found)
        queue.push_back(std::move(p));
    found.clear();
}

void ChannelChoice::release(const std::vector<int64_t>& settled, bool finished,
                            std::vector<RecoveredProgram>& out) {
    const std::size_t channels = queues_.size();
    for (;;) {
        // The group starts with the earliest item of any channel.
        std::size_t first = channels;
        for (std::size_t c = 0; c < channels; ++c) {
            if (queues_[c].empty()) continue;
            if (first == channels || queues_[c].front().start < queues_[first].front().start) {
                first = c;
            }
        }
        if (first == channels) return;

        // Everything that overlaps it, and what overlaps that.
        std::vector<std::size_t> taken(channels, 0);
        int64_t end = queues_[first].front().end;
        taken[first] = 1;
        for (bool grown = true; grown;) {
            grown = false;
            for (std::size_t c = 0; c < channels; ++c) {
                while (taken[c] < queues_[c].size() && queues_[c][taken[c]].start < end) {
                    end = std::max(end, queues_[c][taken[c]].end);
                    ++taken[c];
                    grown = true;
                }
            }
        }
        if (!finished) {
            for (std::size_t c = 0; c < channels; ++c) {
                if (taken[c] == queues_[c].size() && settled[c] < end) return;
            }
        }

        std::size_t best = first;
        Score best_score = score_of(queues_[first], taken[first]);
        for (std::size_t c = 0; c < channels; ++c) {
            const Score score = score_of(queues_[c], taken[c]);
            if (score.key() > best_score.key() || (score.key() == best_score.key() && c < best)) {
                best = c;
                best_score = score;
            }
        }
        // The other channels' programs go along as takes of the same programs.
        for (std::size_t c = 0; c < channels; ++c) {
            for (std::size_t i = 0; i < taken[c]; ++i) {
                RecoveredProgram& item = queues_[c].front();
                if (c == best || item.verdict != Verdict::not_a_program) {
                    item.companion = c != best;
                    out.push_back(std::move(item));
                }
                queues_[c].pop_front();
            }
        }
    }
}
