#include "demod/sample_history.h"

#include <algorithm>

SampleHistory::SampleHistory(int capacity_log2)
    : samples_(std::size_t{1} << capacity_log2, 0), sums_(std::size_t{1} << capacity_log2, 0),
      mask_((int64_t{1} << capacity_log2) - 1) {}

void SampleHistory::append(const int32_t* samples, std::size_t count) {
    uint32_t running = running_;
    const auto size = static_cast<std::size_t>(mask_ + 1);
    while (count > 0) {
        // Up to the end of the ring in one stretch. Sum i + 1 lands one slot later, so the last
        // sum of a stretch that ends the ring wraps to slot 0.
        const auto at = static_cast<std::size_t>(end_ & mask_);
        const std::size_t n = std::min(count, size - at);
        int32_t* x = samples_.data() + at;
        uint32_t* sum = sums_.data() + at + 1;
        const std::size_t inner = at + n == size ? n - 1 : n;
        for (std::size_t i = 0; i < inner; ++i) {
            x[i] = samples[i];
            running += static_cast<uint32_t>(samples[i]);
            sum[i] = running;
        }
        if (inner < n) {
            x[inner] = samples[inner];
            running += static_cast<uint32_t>(samples[inner]);
            sums_[0] = running;
        }
        samples += n;
        count -= n;
        end_ += static_cast<int64_t>(n);
    }
    running_ = running;
}
