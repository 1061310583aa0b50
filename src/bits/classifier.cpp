#include "bits/classifier.h"

#include "signal/runs.h"

BitRanges tolerance_ranges(int32_t n0, int32_t n1, int32_t tolerance_divisor) {
    const int64_t d = (int64_t{n1} - n0) / tolerance_divisor;
    return {n0 - d, n0 + d, n1 - d, n1 + d};
}

BitClassifier make_classifier(const PulseCalibration& calibration, int32_t tolerance_divisor) {
    BitClassifier c;
    c.nfill = calibration.nfill;
    c.nplat = nplat_of(calibration.nfill);
    c.ranges = tolerance_ranges(calibration.n0, calibration.n1, tolerance_divisor);
    return c;
}

namespace {

// One on sample: a bit start when the pause before it is long enough.
inline void on_sample(BitClassifier& c, std::string& bits, std::vector<int64_t>& unknown) {
    if (c.r >= c.nplat) {
        if (c.started) {
            const char bit = classify_length(c.m - c.r + c.nfill, c.ranges);
            if (bit == '?') unknown.push_back(c.nsample);
            bits += bit;
        }
        c.m = 0;
    }
    c.started = true;
    c.r = 0;
    ++c.m;
    ++c.nsample;
}

} // namespace

void classify_block(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                    std::vector<int64_t>& unknown) {
    if (c.nplat <= 0) {
        // Every on sample is a bit start: no run can be skipped.
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] != 0) {
                on_sample(c, bits, unknown);
            } else {
                ++c.r;
                ++c.m;
                ++c.nsample;
            }
        }
        return;
    }
    // Only the first on sample of a burst can be a bit start; the rest of the burst and the
    // pause after it just count.
    std::size_t i = 0;
    while (i < size) {
        if (data[i] != 0) {
            on_sample(c, bits, unknown);
            const std::size_t off = find_off(data, i + 1, size);
            const auto burst = static_cast<int64_t>(off - i - 1);
            c.m += burst;
            c.nsample += burst;
            i = off;
        } else {
            const std::size_t on = find_on(data, i, size);
            const auto pause = static_cast<int64_t>(on - i);
            c.r += pause;
            c.m += pause;
            c.nsample += pause;
            i = on;
        }
    }
}
