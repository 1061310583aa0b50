#include "demod/sample_history.h"

SampleHistory::SampleHistory(int capacity_log2)
    : samples_(std::size_t{1} << capacity_log2, 0), sums_(std::size_t{1} << capacity_log2, 0),
      mask_((int64_t{1} << capacity_log2) - 1) {}

void SampleHistory::append(const int32_t* samples, std::size_t count) {
    uint32_t running = running_;
    int64_t at = end_;
    for (std::size_t i = 0; i < count; ++i, ++at) {
        samples_[static_cast<std::size_t>(at & mask_)] = samples[i];
        running += static_cast<uint32_t>(samples[i]);
        sums_[static_cast<std::size_t>((at + 1) & mask_)] = running;
    }
    running_ = running;
    end_ = at;
}
